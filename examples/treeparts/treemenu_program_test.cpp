// treemenu end to end: treemenu.o linked with the example routines, driven through its
// standard input like a person at the menu, its output compared byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "process.h"
#include "treemenu_texts_test.h"

namespace {

using osf::test::exited_with;
using osf::test::run;
using osf::test::spawn;

using namespace treemenu::test;
const std::string P = kPrompt;

// Tree nodes live until the program ends, with no routine to free them: the leak check of
// the sanitizer build leaves those alone and checks everything else.
osf::test::SpawnOptions options(bool pty = false) {
    osf::test::SpawnOptions o;
    o.pty = pty;
    o.env = {"LSAN_OPTIONS=print_suppressions=0:suppressions=" TREEPARTS_LSAN_SUPPRESSIONS};
    return o;
}

std::string inserts(std::initializer_list<int> values) {
    std::string text;
    for (const int v : values) text += "2\n" + std::to_string(v) + "\n";
    return text;
}

TEST(TreemenuProgram, InsertPrintDeleteSortAndRedBlack) {
    const std::string input = inserts({50, 30, 70, 20, 40, 60, 80}) +
                              "3\n4\n5\n6\n"
                              "7\n30\n3\n4\n"
                              "7\n50\n6\n"
                              "1\n9 -3 7 0 4\n"
                              "8\n10 20 30 15 25 5 20 end\n"
                              "9\n0\n";
    std::string expected = kMenu;
    for (int n = 0; n < 7; ++n) expected += P + kInsert;
    expected += P + "elements in inorder_form is : \n20 30 40 50 60 70 80\n";
    expected += P + "elements in pre_order_form is : \n50 30 20 40 70 60 80\n";
    expected += P + "elements in post_order_form is : \n20 40 30 60 80 70 50\n";
    expected += P + "elements in level_order_form is : \n50 30 70 20 40 60 80\n";
    expected += P + kDelete;
    expected += P + "elements in inorder_form is : \n20 40 50 60 70 80\n";
    expected += P + "elements in pre_order_form is : \n50 40 20 70 60 80\n";
    expected += P + kDelete;
    expected += P + "elements in level_order_form is : \n60 40 70 20 80\n";
    expected += P +
                "enter 5 numbers to sort : \n"
                "before sorting : 9 -3 7 0 4\n"
                "after sorting : -3 0 4 7 9\n";
    expected += P +
                "red black tree: enter numbers to insert, then a word (like end) to finish : \n"
                "inserted 6, duplicates ignored 1, rotations 1, recolourings 7\n"
                "the tree (L: left child, R: right child):\n"
                "20 black\n"
                "  L 10 black\n"
                "    L 5 red\n"
                "    R 15 red\n"
                "  R 30 black\n"
                "    L 25 red\n"
                "black height 2\n";
    expected += P + "enter correct option \n" + P;

    const auto result = run({TREEMENU_PATH}, input, osf::test::kDefaultTimeout, options());
    EXPECT_EQ(result.out, expected);
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(exited_with(result.status, 0)) << osf::test::describe_status(result.status);
}

TEST(TreemenuProgram, EmptyTreeDuplicatesAndMissingKeys) {
    const std::string input = "3\n6\n7\n4\n" + inserts({4, 4, -2}) + "7\n99\n3\n0\n";
    const std::string expected = kMenu + P + "elements in inorder_form is : \n\n" + P +
                                 "elements in level_order_form is : \n\n" + P + kDelete + P +
                                 kInsert + P + kInsert + P + kInsert + P + kDelete + P +
                                 "elements in inorder_form is : \n-2 4\n" + P;
    const auto result = run({TREEMENU_PATH}, input, osf::test::kDefaultTimeout, options());
    EXPECT_EQ(result.out, expected);
    EXPECT_TRUE(exited_with(result.status, 0)) << osf::test::describe_status(result.status);
}

// The routines' own reads share standard input with the driver: a short sort or an
// unfinished red-black list at end of input still ends the program with status 0.
TEST(TreemenuProgram, RoutinesStopAtWordsAndEndOfInput) {
    struct Case {
        std::string input;
        std::string tail;  // expected after the menu and first prompt
    } const cases[] = {
        {"1\n1 2 x\n0\n",
         "enter 5 numbers to sort : \nsorting needs 5 numbers: nothing sorted \n" + P},
        {"1\n1 2\n", "enter 5 numbers to sort : \nsorting needs 5 numbers: nothing sorted \n" + P},
        {"8\n7 3\n",
         "red black tree: enter numbers to insert, then a word (like end) to finish : \n"
         "inserted 2, duplicates ignored 0, rotations 0, recolourings 1\n"
         "the tree (L: left child, R: right child):\n7 black\n  L 3 red\nblack height 1\n" +
             P},
        {"8\nstop\n0\n",
         "red black tree: enter numbers to insert, then a word (like end) to finish : \n"
         "inserted 0, duplicates ignored 0, rotations 0, recolourings 0\n"
         "the tree (L: left child, R: right child):\n(empty)\nblack height 0\n" +
             P},
    };
    for (const auto& c : cases) {
        const auto result = run({TREEMENU_PATH}, c.input, osf::test::kDefaultTimeout, options());
        EXPECT_EQ(result.out, kMenu + P + c.tail) << c.input;
        EXPECT_TRUE(exited_with(result.status, 0)) << c.input;
    }
}

// A person at a terminal: each prompt shows before the program waits for the answer.
TEST(TreemenuProgram, PromptsShowBeforeEachReadOnATerminal) {
    auto child = spawn({TREEMENU_PATH}, options(true));
    child.read_until(child.out, "Enter the option to select the program : ");
    child.write("2\n");
    child.read_until(child.out, "enter the NUMBER you want to insert : ");
    child.write("8\n");
    child.read_until(child.out, "Enter the option to select the program : ");
    child.write("1\n");
    child.read_until(child.out, "enter 5 numbers to sort : ");
    child.write("5 4 3 2 1\n");
    EXPECT_NE(child.read_until(child.out, "after sorting : 1 2 3 4 5").find("before sorting : "),
              std::string::npos);
    child.write("8\n");
    child.read_until(child.out, "to finish : ");
    child.write("1 2 3 end\n");
    child.read_until(child.out, "black height 1");
    child.write("0\n");
    EXPECT_TRUE(exited_with(child.wait(), 0));
}

// Memory errors over a whole dialogue, under valgrind's memcheck. It runs on the x86-64 build
// of the same sources: valgrind needs the C library's debugging symbols, which Debian gives
// x86-64 with no change to the system (i386's would need a second dpkg architecture), and it
// cannot run under an emulator. The i386 build's dialogues run under AddressSanitizer.
#if defined(__x86_64__) && !defined(__SANITIZE_ADDRESS__)
TEST(TreemenuProgram, NoInvalidAccessUnderMemcheck) {
    const std::string input = inserts({5, 3, 8, 1, 4, 7, 9, 2, 6}) +
                              "3\n4\n5\n6\n7\n5\n7\n1\n7\n3\n6\n1\n3 1 2 5 4\n"
                              "8\n5 1 9 3 7 2 8 4 6 end\n0\n";
    const auto result = run({"/usr/bin/valgrind", "--tool=memcheck", "-q", "--error-exitcode=99",
                             "--leak-check=no", TREEMENU_PATH},
                            input, std::chrono::milliseconds(60000));
    EXPECT_TRUE(exited_with(result.status, 0)) << result.err;
    EXPECT_EQ(result.err, "");
}
#endif

}  // namespace
