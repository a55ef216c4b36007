// The list menus end to end: the real ringhost program (ringmenu.o in a plain C host) driven
// through pipes, its whole output compared byte for byte. A stand-in `clear` on PATH prints a
// mark, so the tests see exactly where the screen is cleared; one test runs the real one.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "process.h"

namespace {

using osf::test::describe_status;
using osf::test::exited_with;
using Values = std::vector<int>;

constexpr char kClear[] = "<clear>";
constexpr char kTop[] =
    "\n   OPERATIONS TO BE PERFORMED ON CSLL\n  1.INSERT\n  2.DELETE\nDo you want to insert or "
    "delete? :";
constexpr char kInsertMenu[] =
    "\n\t       MENU FOR CSLL ISNERTION        \n\n\t1. Insert at the beginning\n\t2. Insert at "
    "the end\n\t3. Insert at a given position \n\t4. Insert before a given position\n\t5. Insert "
    "after a given position\n\t6. Insert before a given number\n\t7. Insert after a given "
    "number\n\t8. Insert at the middle\n\t9. Insert at penultimate c_node.";
constexpr char kDeleteMenu[] =
    "\n\t       MENU for CSLL DELETION      \n\n\t1. DELETE at the beginning\n\t2. DELETE at "
    "the end\n\t3. DELETE at a given position \n\t4. DELETE before a given position\n\t5. "
    "DELETE after a given position\n\t6. DELETE before a given number\n\t7. DELETE after a "
    "given number\n\t8. DELETE at the middle\n\t9. DELETE at penultimate c_node.";
constexpr char kOption[] = "\nEnter the option:";
constexpr char kAnother[] = "\nDo you want to perform another operation(y/n)?:";
constexpr char kInsertAgain[] = "\nDo you want to insert another element(y/n)?:";
constexpr char kDeleteAgain[] = "\nDo you want to Delete another element(y/n)?:";
constexpr char kEnter[] = "\nEnter the element you want to insert";
constexpr char kNotNumber[] = "\nthat is not a number: nothing inserted";

// The store's display of the list (shown by the insertion menu).
std::string listing(const Values& values) {
    if (values.empty()) return "\nCircular list is Empty";
    std::string text = "\ncircular single linked list elements:\n";
    for (size_t i = 0; i + 1 < values.size(); ++i) text += std::to_string(values[i]) + " -> ";
    return text + std::to_string(values.back()) + "\n";
}

// The host's cir_display (after each deletion, and once more when the menus return).
std::string ring(const Values& values) {
    if (values.empty()) return "\n[ring: empty, size 0]";
    std::string text = "\n[ring:";
    for (int v : values) text += " " + std::to_string(v);
    return text + " | size " + std::to_string(values.size()) + ", tail " +
           std::to_string(values.back()) + "]";
}

// The end of every session: the host shows the list, then a newline.
std::string host_end(const Values& values) { return ring(values) + "\n"; }

osf::test::SpawnOptions with_env(const std::string& entry) {
    osf::test::SpawnOptions options;
    options.env.push_back(entry);
    return options;
}

// Runs ringhost on `input` with a `clear` that prints kClear; expects it to end with status 0.
std::string session(const std::string& input) {
    osf::test::TempDir bin;
    const std::string clear = bin.path + "/clear";
    std::ofstream(clear) << "#!/bin/sh\nprintf '" << kClear << "'\n";
    ::chmod(clear.c_str(), 0755);
    const auto result = osf::test::run({RINGHOST_PATH}, input, osf::test::kDefaultTimeout,
                                       with_env("PATH=" + bin.path + ":/usr/bin:/bin"));
    EXPECT_TRUE(exited_with(result.status, 0)) << describe_status(result.status);
    EXPECT_EQ(result.err, "");
    return result.out;
}

// Input that builds `values` through insertion option 2 and comes back to the top question.
std::string fill(const Values& values) {
    if (values.empty()) return "";
    std::string input = "1\n";
    for (size_t i = 0; i < values.size(); ++i) {
        input += "2\n" + std::to_string(values[i]) + (i + 1 < values.size() ? "\ny\n" : "\nn\n");
    }
    return input + "y\n";
}

TEST(RingMenu, InsertThenDeleteSessionWordForWord) {
    const std::string out = session("1\n2\n5\ny\n1\n4\nn\ny\n2\n2\nn\nn\n");
    const std::string expected =
        std::string(kClear) + kTop +
        // insertion menu, option 2, value 5
        kClear + kInsertMenu + listing({}) + kOption + kEnter + listing({5}) + kInsertAgain +
        // option 1, value 4
        kClear + kInsertMenu + listing({5}) + kOption + kEnter + listing({4, 5}) + kInsertAgain +
        kAnother +
        // deletion menu (no list shown before it), option 2
        kClear + kTop + kClear + kDeleteMenu + kOption + "\nthe element you are deleting is: 5" +
        ring({4}) + kDeleteAgain + kAnother + host_end({4});
    EXPECT_EQ(out, expected);
}

// One menu option carried out on a list: what it prints after "Enter the option:" up to the
// display of the list, and the list it leaves.
struct OptionCase {
    const char* name;
    Values before;
    int menu;           // 1 insert, 2 delete
    std::string typed;  // the option and what it asks for
    std::string printed;
    Values after;
};

void PrintTo(const OptionCase& c, std::ostream* os) { *os << c.name; }

class MenuOption : public ::testing::TestWithParam<OptionCase> {};

TEST_P(MenuOption, PrintsAndLeavesTheList) {
    const OptionCase& c = GetParam();
    const std::string out =
        session(fill(c.before) + std::to_string(c.menu) + "\n" + c.typed + "n\nn\n");
    const std::string shown =
        c.menu == 1 ? listing(c.after) + kInsertAgain : ring(c.after) + kDeleteAgain;
    const std::string tail = c.printed + shown + kAnother + host_end(c.after);
    const size_t at = out.rfind(kOption);
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_EQ(out.substr(at + sizeof kOption - 1), tail);
    // The menu of the chosen kind came just before, after a clear.
    const std::string menu =
        c.menu == 1 ? std::string(kInsertMenu) + listing(c.before) : std::string(kDeleteMenu);
    EXPECT_EQ(out.substr(0, at).rfind(kClear + menu), at - menu.size() - sizeof kClear + 1);
}

const std::string kPos = "\nEnter the position you want to insert";
const std::string kBefore = "\nEnter the position before which you want to insert";
const std::string kAfter = "\nEnter the position after which you want to insert";
const std::string kNumBefore = "enter number before which you want to insert";
const std::string kNumAfter = "enter number after which you want to insert";
const std::string kBeyond = "\npostion is beyond list size";
const std::string kNotFound = "Given number not found in the list";

INSTANTIATE_TEST_SUITE_P(
    Insertion, MenuOption,
    ::testing::Values(
        OptionCase{"1_at_beginning", {1, 2, 3}, 1, "1\n9\n", kEnter, {9, 1, 2, 3}},
        OptionCase{"1_into_empty", {}, 1, "1\n9\n", kEnter, {9}},
        OptionCase{"2_at_end", {1, 2, 3}, 1, "2\n9\n", kEnter, {1, 2, 3, 9}},
        OptionCase{"3_position_2", {1, 2, 3}, 1, "3\n2\n9\n", kPos + kEnter, {1, 9, 2, 3}},
        OptionCase{"3_size_plus_1_appends", {1, 2, 3}, 1, "3\n4\n9\n", kPos + kEnter, {1, 2, 3, 9}},
        OptionCase{
            "3_size_goes_after_tail", {1, 2, 3}, 1, "3\n3\n9\n", kPos + kEnter, {1, 2, 3, 9}},
        OptionCase{"3_beyond", {1, 2, 3}, 1, "3\n5\n", kPos + kBeyond, {1, 2, 3}},
        OptionCase{"3_unreadable", {1, 2, 3}, 1, "3\nabc\n", kPos + kNotNumber, {1, 2, 3}},
        OptionCase{"4_before_3", {1, 2, 3}, 1, "4\n3\n9\n", kBefore + kEnter, {1, 9, 2, 3}},
        OptionCase{"4_before_1_is_tail", {1, 2, 3}, 1, "4\n1\n9\n", kBefore + kEnter, {1, 2, 3, 9}},
        OptionCase{"4_lowest_int", {1, 2, 3}, 1, "4\n-2147483648\n", kBefore + kBeyond, {1, 2, 3}},
        OptionCase{"5_after_2", {1, 2, 3}, 1, "5\n2\n9\n", kAfter + kEnter, {1, 2, 3, 9}},
        OptionCase{"5_after_1", {1, 2, 3}, 1, "5\n1\n9\n", kAfter + kEnter, {1, 9, 2, 3}},
        OptionCase{"5_highest_int", {1, 2, 3}, 1, "5\n2147483647\n", kAfter + kBeyond, {1, 2, 3}},
        OptionCase{"6_before_2", {1, 2, 3}, 1, "6\n2\n9\n", kNumBefore + kEnter, {1, 9, 2, 3}},
        OptionCase{
            "6_before_head_appends", {1, 2, 3}, 1, "6\n1\n9\n", kNumBefore + kEnter, {1, 2, 3, 9}},
        OptionCase{"6_not_found", {1, 2, 3}, 1, "6\n5\n", kNumBefore + kNotFound, {1, 2, 3}},
        OptionCase{"7_after_2", {1, 2, 3}, 1, "7\n2\n9\n", kNumAfter + kEnter, {1, 2, 3, 9}},
        OptionCase{"7_after_1", {1, 2, 3}, 1, "7\n1\n9\n", kNumAfter + kEnter, {1, 9, 2, 3}},
        OptionCase{
            "7_after_tail_is_head", {1, 2, 3}, 1, "7\n3\n9\n", kNumAfter + kEnter, {9, 1, 2, 3}},
        OptionCase{"7_into_empty",
                   {},
                   1,
                   "7\n4\n9\n",
                   kNumAfter + "\nlist is empty to cir_search" + kEnter,
                   {9}},
        OptionCase{"7_not_found", {1, 2, 3}, 1, "7\n5\n", kNumAfter + kNotFound, {1, 2, 3}},
        OptionCase{"8_middle_of_4", {1, 2, 3, 4}, 1, "8\n9\n", kEnter, {1, 2, 9, 3, 4}},
        OptionCase{"8_middle_of_5", {1, 2, 3, 4, 5}, 1, "8\n9\n", kEnter, {1, 2, 3, 9, 4, 5}},
        OptionCase{"9_penultimate", {1, 2, 3}, 1, "9\n9\n", kEnter, {1, 2, 3, 9}},
        OptionCase{"9_into_empty", {}, 1, "9\n9\n", kEnter, {9}},
        OptionCase{
            "value_unreadable", {1, 2}, 1, "2\nx7\n", std::string(kEnter) + kNotNumber, {1, 2}},
        OptionCase{"option_10", {1}, 1, "10\n", "\ninvalid option", {1}},
        OptionCase{"option_unreadable", {1}, 1, "two\n", "\ninvalid option", {1}}),
    [](const auto& info) { return std::string(info.param.name); });

const std::string kDelPos = "\nEnter the position you want to Delete";
const std::string kDelBefore = "\nEnter the position before which you want to delete";
const std::string kDelAfter = "\nEnter the position after which you want to delete";
const std::string kDelNumBefore = "enter number before which you want to delete";
const std::string kDelNumAfter = "enter number after which you want to delete";
const std::string kHeadGone = "\nthe element you are deleting is ";
const std::string kTailGone = "\nthe element you are deleting is: ";
const std::string kMidGone = "\nthe element you are going to delete is :";
const Values kFive{1, 2, 3, 4, 5};

INSTANTIATE_TEST_SUITE_P(
    Deletion, MenuOption,
    ::testing::Values(
        OptionCase{"1_beginning", kFive, 2, "1\n", kHeadGone + "1", {2, 3, 4, 5}},
        OptionCase{"1_only_node", {7}, 2, "1\n", kHeadGone + "7", {}},
        OptionCase{"2_end", kFive, 2, "2\n", kTailGone + "5", {1, 2, 3, 4}},
        OptionCase{"2_empty", {}, 2, "2\n", "\nlinked list is empty to delete", {}},
        OptionCase{"3_position_3", kFive, 2, "3\n3\n", kDelPos + kMidGone + "3", {1, 2, 4, 5}},
        OptionCase{
            "3_size_plus_1_is_head", kFive, 2, "3\n6\n", kDelPos + kHeadGone + "1", {2, 3, 4, 5}},
        OptionCase{"3_zero_is_tail", kFive, 2, "3\n0\n", kDelPos + kTailGone + "5", {1, 2, 3, 4}},
        OptionCase{"3_invalid", kFive, 2, "3\n7\n", kDelPos + "\ninvalid position", kFive},
        OptionCase{"3_unreadable", kFive, 2, "3\nzz\n",
                   kDelPos + "\nthat is not a number: nothing deleted", kFive},
        OptionCase{"4_before_3", kFive, 2, "4\n3\n", kDelBefore + kMidGone + "2", {1, 3, 4, 5}},
        OptionCase{
            "4_before_1_is_tail", kFive, 2, "4\n1\n", kDelBefore + kTailGone + "5", {1, 2, 3, 4}},
        OptionCase{"5_after_3", kFive, 2, "5\n3\n", kDelAfter + kMidGone + "4", {1, 2, 3, 5}},
        OptionCase{
            "5_after_tail_is_head", kFive, 2, "5\n5\n", kDelAfter + kHeadGone + "1", {2, 3, 4, 5}},
        OptionCase{"5_highest_int", kFive, 2, "5\n2147483647\n", kDelAfter + "\ninvalid position",
                   kFive},
        OptionCase{"6_before_3", kFive, 2, "6\n3\n", kDelNumBefore + kMidGone + "2", {1, 3, 4, 5}},
        OptionCase{"6_before_head_is_tail",
                   kFive,
                   2,
                   "6\n1\n",
                   kDelNumBefore + kTailGone + "5",
                   {1, 2, 3, 4}},
        OptionCase{"6_not_found", kFive, 2, "6\n9\n", kDelNumBefore + kNotFound, kFive},
        OptionCase{"7_after_3", kFive, 2, "7\n3\n", kDelNumAfter + kMidGone + "4", {1, 2, 3, 5}},
        OptionCase{"7_after_tail_is_head",
                   kFive,
                   2,
                   "7\n5\n",
                   kDelNumAfter + kHeadGone + "1",
                   {2, 3, 4, 5}},
        OptionCase{
            "7_in_empty", {}, 2, "7\n5\n", kDelNumAfter + "\nlist is empty to cir_search", {}},
        OptionCase{"8_middle_of_5", kFive, 2, "8\n", kMidGone + "3", {1, 2, 4, 5}},
        OptionCase{"9_penultimate_of_5", kFive, 2, "9\n", kMidGone + "4", {1, 2, 3, 5}},
        OptionCase{"9_of_2_is_head", {1, 2}, 2, "9\n", kHeadGone + "1", {2}},
        OptionCase{"option_0", {1}, 2, "0\n", "\ninvalid option", {1}},
        OptionCase{"option_unreadable", {1}, 2, "?\n", "\ninvalid option", {1}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RingMenu, AnswersOtherThanLowerCaseYOrNRepeatTheQuestion) {
    const std::string out = session("1\n1\n3\nY\nyes\nN\nn\nx\nn\n");
    // "yes": 'y' answers, then "es" is read as the next option, which is no option.
    const std::string expected = std::string(kClear) + kTop + kClear + kInsertMenu + listing({}) +
                                 kOption + kEnter + listing({3}) + kInsertAgain + kInsertAgain +
                                 kClear + kInsertMenu + listing({3}) + kOption +
                                 "\ninvalid option" + listing({3}) + kInsertAgain + kInsertAgain +
                                 kAnother + kAnother + host_end({3});
    EXPECT_EQ(out, expected);
}

TEST(RingMenu, TopLevelChoiceOtherThanOneOrTwoIsInvalid) {
    for (const char* choice : {"3\n", "0\n", "-1\n", "insert\n"}) {
        SCOPED_TRACE(choice);
        EXPECT_EQ(
            session(std::string(choice) + "n\n"),
            std::string(kClear) + kTop + "\nINVALID option enter 1 or 2" + kAnother + host_end({}));
    }
}

// End of input at each kind of prompt: the menus return at once (status 0, no spinning), and
// the host shows the list they leave.
TEST(RingMenu, EndOfInputAtEveryPromptEndsTheSession) {
    struct Case {
        const char* name;
        std::string input;
        std::string last;  // the end of the output before the host's closing display
        Values left;
    };
    const Case cases[] = {
        {"top choice", "", kTop, {}},
        {"top y/n", "3\n", kAnother, {}},
        {"insertion option", "1\n", kOption, {}},
        {"insert value", "1\n1\n", kEnter, {}},
        {"insert position", "1\n3\n", kPos, {}},
        {"insert number", fill({4}) + "1\n6\n", kNumBefore, {4}},
        {"insert y/n", "1\n1\n5\n", listing({5}) + kInsertAgain, {5}},
        {"value without newline", "1\n1\n5", std::string(kEnter), {5}},
        {"deletion option", fill({4}) + "2\n", kOption, {4}},
        {"delete position", fill({4}) + "2\n3\n", kDelPos, {4}},
        {"delete number", fill({4}) + "2\n7\n", kDelNumAfter, {4}},
        {"delete y/n", fill({4, 5}) + "2\n1\n", ring({5}) + kDeleteAgain, {5}},
        {"y/n after a wrong answer", "3\nY\n", std::string(kAnother) + kAnother, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = session(c.input);
        const std::string tail = c.last + host_end(c.left);
        ASSERT_GE(out.size(), tail.size()) << out;
        EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
    }
}

// The real clear, for a terminal type it knows: its output comes first, before each menu.
TEST(RingMenu, RealClearRunsBeforeEachMenu) {
    const auto clear =
        osf::test::run({"/usr/bin/clear"}, "", osf::test::kDefaultTimeout, with_env("TERM=xterm"));
    ASSERT_TRUE(exited_with(clear.status, 0));
    ASSERT_FALSE(clear.out.empty());
    const auto result = osf::test::run({RINGHOST_PATH}, "3\nn\n", osf::test::kDefaultTimeout,
                                       with_env("TERM=xterm"));
    EXPECT_TRUE(exited_with(result.status, 0)) << describe_status(result.status);
    EXPECT_EQ(result.out,
              clear.out + kTop + "\nINVALID option enter 1 or 2" + kAnother + host_end({}));
}

// Fills the list to 40 values and empties it again through every kind of deletion: run under
// the sanitizer build, this is the memory check of the menus and the store.
TEST(RingMenu, FillAndEmptyLeavesNothingBehind) {
    Values values;
    for (int v = 1; v <= 40; ++v) values.push_back(v);
    std::string input = fill(values) + "2\n";
    const char* deletions[] = {"1\n", "2\n", "3\n2\n", "4\n3\n", "5\n1\n", "8\n", "9\n"};
    for (int i = 0; i < 40; ++i) input += std::string(deletions[i % 7]) + "y\n";
    input += "2\nn\nn\n";  // one more from the empty list
    const std::string out = session(input);
    EXPECT_NE(out.find(ring({}) + kDeleteAgain), std::string::npos);
    EXPECT_NE(out.find("\nlinked list is empty to delete"), std::string::npos);
    const std::string tail = std::string(kAnother) + host_end({});
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
}

}  // namespace
