// Each menu option of the list menus on its own, end to end through ringhost: what it prints
// and the list it leaves, for the insertion and the deletion menu.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "ringmenu_test_util.h"

namespace {

using namespace ringlist::menu_test;

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
        c.menu == 1 ? display_text(c.after) + kInsertAgain : ring(c.after) + kDeleteAgain;
    const std::string tail = c.printed + shown + kAnother + host_end(c.after);
    const size_t at = out.rfind(kOption);
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_EQ(out.substr(at + sizeof kOption - 1), tail);
    // The menu of the chosen kind came just before, after a clear.
    const std::string menu =
        c.menu == 1 ? std::string(kInsertMenu) + display_text(c.before) : std::string(kDeleteMenu);
    EXPECT_EQ(out.substr(0, at).rfind(kClear + menu), at - menu.size() - sizeof kClear + 1);
}

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

}  // namespace
