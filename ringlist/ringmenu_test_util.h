// The list menus' dialogue as the end-to-end tests expect it: the program's texts, the list as
// the store and the host show it, and ringhost run on some input with a stand-in `clear` on
// PATH that prints a mark, so that the tests see exactly where the screen is cleared.
#pragma once

#include <string>
#include <vector>

#include "display_text_test_util.h"
#include "process.h"

namespace ringlist::menu_test {

using Values = std::vector<int>;

inline constexpr char kClear[] = "<clear>";
inline constexpr char kTop[] =
    "\n   OPERATIONS TO BE PERFORMED ON CSLL\n  1.INSERT\n  2.DELETE\nDo you want to insert or "
    "delete? :";
inline constexpr char kInsertMenu[] =
    "\n\t       MENU FOR CSLL ISNERTION        \n\n\t1. Insert at the beginning\n\t2. Insert at "
    "the end\n\t3. Insert at a given position \n\t4. Insert before a given position\n\t5. Insert "
    "after a given position\n\t6. Insert before a given number\n\t7. Insert after a given "
    "number\n\t8. Insert at the middle\n\t9. Insert at penultimate c_node.";
inline constexpr char kDeleteMenu[] =
    "\n\t       MENU for CSLL DELETION      \n\n\t1. DELETE at the beginning\n\t2. DELETE at "
    "the end\n\t3. DELETE at a given position \n\t4. DELETE before a given position\n\t5. "
    "DELETE after a given position\n\t6. DELETE before a given number\n\t7. DELETE after a "
    "given number\n\t8. DELETE at the middle\n\t9. DELETE at penultimate c_node.";
inline constexpr char kOption[] = "\nEnter the option:";
inline constexpr char kAnother[] = "\nDo you want to perform another operation(y/n)?:";
inline constexpr char kInsertAgain[] = "\nDo you want to insert another element(y/n)?:";
inline constexpr char kDeleteAgain[] = "\nDo you want to Delete another element(y/n)?:";
inline constexpr char kEnter[] = "\nEnter the element you want to insert";
inline constexpr char kNotNumber[] = "\nthat is not a number: nothing inserted";

inline const std::string kPos = "\nEnter the position you want to insert";
inline const std::string kBefore = "\nEnter the position before which you want to insert";
inline const std::string kAfter = "\nEnter the position after which you want to insert";
inline const std::string kNumBefore = "enter number before which you want to insert";
inline const std::string kNumAfter = "enter number after which you want to insert";
inline const std::string kBeyond = "\npostion is beyond list size";
inline const std::string kNotFound = "Given number not found in the list";
inline const std::string kDelPos = "\nEnter the position you want to Delete";
inline const std::string kDelBefore = "\nEnter the position before which you want to delete";
inline const std::string kDelAfter = "\nEnter the position after which you want to delete";
inline const std::string kDelNumBefore = "enter number before which you want to delete";
inline const std::string kDelNumAfter = "enter number after which you want to delete";
inline const std::string kHeadGone = "\nthe element you are deleting is ";
inline const std::string kTailGone = "\nthe element you are deleting is: ";
inline const std::string kMidGone = "\nthe element you are going to delete is :";
inline const Values kFive{1, 2, 3, 4, 5};

// The store's display of the list (shown by the insertion menu).
using ringlist::test::display_text;

// The host's cir_display (after each deletion, and once more when the menus return).
std::string ring(const Values& values);

// The end of every session: the host shows the list, then a newline.
std::string host_end(const Values& values);

// Spawn options with one more environment entry.
osf::test::SpawnOptions with_env(const std::string& entry);

// Runs ringhost on `input` with a `clear` that prints kClear; expects it to end with status 0
// and to write nothing on standard error. Returns its standard output.
std::string session(const std::string& input);

// Input that builds `values` through insertion option 2 and comes back to the top question.
std::string fill(const Values& values);

}  // namespace ringlist::menu_test
