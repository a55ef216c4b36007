// The driver in treemenu.o against the recording stub (treemenu_stubbed): the exact lines it
// prints, the calls it makes, the roots it threads through them, and how it ends.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "process.h"
#include "treemenu_texts_test.h"

namespace {

using namespace std::chrono_literals;
using osf::test::exited_with;
using osf::test::run;
using osf::test::spawn;

using namespace treemenu::test;

struct Dialogue {
    const char* name;
    std::string input;
    std::string after_menu;  // everything printed after the menu, up to the end
};

void PrintTo(const Dialogue& d, std::ostream* os) { *os << d.name; }

std::string P() { return kPrompt; }

class Driver : public ::testing::TestWithParam<Dialogue> {};

TEST_P(Driver, PrintsExactlyAndEndsWithStatusZero) {
    const Dialogue& d = GetParam();
    const auto result = run({TREEMENU_STUBBED_PATH}, d.input);
    EXPECT_EQ(result.out, kMenu + d.after_menu);
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(exited_with(result.status, 0)) << osf::test::describe_status(result.status);
}

INSTANTIATE_TEST_SUITE_P(
    Options, Driver,
    ::testing::Values(
        Dialogue{"ZeroAtFirstPromptCallsNothing", "0\n", P()},
        Dialogue{"NineAndMinusOneAreWrong", "9\n-1\n0\n", P() + kWrong + P() + kWrong + P()},
        // Out of range for an int: saturated, never wrapped round onto a valid option.
        Dialogue{"LargeOptionsAreWrong", "100\n-2147483648\n4294967299\n-4294967293\n0\n",
                 P() + kWrong + P() + kWrong + P() + kWrong + P() + kWrong + P()},
        Dialogue{"InorderOfEmptyTreeGetsNull", "3\n0\n",
                 P() + kInorder + "@print_inorder(null)\n" + P()},
        Dialogue{"EachOptionCallsItsRoutine", "1\n4\n5\n6\n8\n0\n",
                 P() + "@sort()\n" + P() + "elements in pre_order_form is : \n" +
                     "@print_pre_order(null)\n" + P() + "elements in post_order_form is : \n" +
                     "@print_post_order(null)\n" + P() + "elements in level_order_form is : \n" +
                     "@print_level_order(null)\n" + P() + "@rb_tree()\n" + P()},
        Dialogue{"RootThreadsThroughInsertsAndDelete", "2\n5\n2\n3\n2\n8\n7\n3\n3\n4\n0\n",
                 P() + kInsert + "@insert_tree(null, 5) -> #1\n" + P() + kInsert +
                     "@insert_tree(#1, 3) -> #2\n" + P() + kInsert + "@insert_tree(#2, 8) -> #3\n" +
                     P() + kDelete + "@bst_delete_node(#3, 3) -> #4\n" + P() + kInorder +
                     "@print_inorder(#4)\n" + P() + "elements in pre_order_form is : \n" +
                     "@print_pre_order(#4)\n" + P()},
        Dialogue{"NegativeNumbersAreValues", "2\n-7\n7\n-7\n0\n",
                 P() + kInsert + "@insert_tree(null, -7) -> #1\n" + P() + kDelete +
                     "@bst_delete_node(#1, -7) -> #2\n" + P()},
        Dialogue{"OptionsMayShareALine", "  2 5   3\n\n0 9\n",
                 P() + kInsert + "@insert_tree(null, 5) -> #1\n" + P() + kInorder +
                     "@print_inorder(#1)\n" + P()}),
    [](const auto& info) { return std::string(info.param.name); });

// What the driver does with input that holds no number where it wants one, and with end of
// input at each of its reads.
INSTANTIATE_TEST_SUITE_P(
    UnreadableAndEnd, Driver,
    ::testing::Values(
        Dialogue{"EndAtFirstPrompt", "", P()},
        Dialogue{"EndAfterSomeOptions", "3\n9\n",
                 P() + kInorder + "@print_inorder(null)\n" + P() + kWrong + P()},
        Dialogue{"WordIsWrongOptionAndDropped", "abc\n0\n", P() + kWrong + P()},
        Dialogue{"WordsOnOneLineEachCount", "x yz 0\n", P() + kWrong + P() + kWrong + P()},
        Dialogue{"NumberThenJunkInOneToken", "3abc\n0\n",
                 P() + kInorder + "@print_inorder(null)\n" + P() + kWrong + P()},
        Dialogue{"LoneSignDoesNotSwallowNextLine", "-\n3\n0\n",
                 P() + kWrong + P() + kInorder + "@print_inorder(null)\n" + P()},
        Dialogue{"WordAtEndOfInput", "abc", P() + kWrong + P()},
        Dialogue{"WordForInsertCallsNothing", "2\nfive\n3\n0\n",
                 P() + kInsert + kWrong + P() + kInorder + "@print_inorder(null)\n" + P()},
        Dialogue{"WordForDeleteKeepsRoot", "2\n4\n7\nfour\n3\n0\n",
                 P() + kInsert + "@insert_tree(null, 4) -> #1\n" + P() + kDelete + kWrong + P() +
                     kInorder + "@print_inorder(#1)\n" + P()},
        Dialogue{"EndWhileReadingInsertValue", "2\n", P() + kInsert},
        Dialogue{"EndWhileReadingDeleteValue", "2\n1\n7\n",
                 P() + kInsert + "@insert_tree(null, 1) -> #1\n" + P() + kDelete}),
    [](const auto& info) { return std::string(info.param.name); });

// A long run of wrong options, then end of input: each is answered once and the program ends.
TEST(DriverInput, ManyWrongOptionsThenEndOfInput) {
    std::string input;
    std::string expected = kMenu + P();
    for (int n = 0; n < 5000; ++n) {
        input += (n % 2 ? "9\n" : "junk\n");
        expected += kWrong + P();
    }
    const auto result = run({TREEMENU_STUBBED_PATH}, input);
    EXPECT_EQ(result.out, expected);
    EXPECT_TRUE(exited_with(result.status, 0)) << osf::test::describe_status(result.status);
}

// Each prompt reaches a reader on a pipe before the driver blocks for the answer.
TEST(DriverInput, PromptsReachAPipeBeforeEachRead) {
    auto child = spawn({TREEMENU_STUBBED_PATH});
    EXPECT_EQ(child.read_until(child.out, kPrompt), kMenu + P());
    child.write("2\n");
    EXPECT_EQ(child.read_until(child.out, kInsert), kInsert);
    child.write("42\n");
    EXPECT_EQ(child.read_until(child.out, kPrompt), "@insert_tree(null, 42) -> #1\n" + P());
    child.write("7\n");
    EXPECT_EQ(child.read_until(child.out, kDelete), kDelete);
    child.write("42\n");
    EXPECT_EQ(child.read_until(child.out, kPrompt), "@bst_delete_node(#1, 42) -> #2\n" + P());
    EXPECT_FALSE(child.ended());
    child.write("0\n");
    EXPECT_EQ(child.read_to_eof(child.out), "");
    EXPECT_TRUE(exited_with(child.wait(), 0));
}

}  // namespace
