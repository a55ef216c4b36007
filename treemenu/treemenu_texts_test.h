// The tree menu's own texts as its tests expect them, byte for byte: shared by the driver's
// tests (against a recording stub) and the runnable program's tests (with the example routines).
#pragma once

namespace treemenu::test {

inline constexpr char kMenu[] =
    "1.sorting technique \n"
    "2.binary search insertion: \n"
    "3.print_inorder \n"
    "4.print_pre_order \n"
    "5.print_post_order \n"
    "6.print_level_order \n"
    "7.delete element from binary tree \n"
    "8.red black tree \n"
    "0.exit \n";
inline constexpr char kPrompt[] = "\nEnter the option to select the program : \n";
inline constexpr char kWrong[] = "enter correct option \n";
inline constexpr char kInsert[] = "enter the NUMBER you want to insert : \n";
inline constexpr char kDelete[] = "enter the number to delete : \n";
inline constexpr char kInorder[] = "elements in inorder_form is : \n";

}  // namespace treemenu::test
