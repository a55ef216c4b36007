// treemenu: the main of a console exercise about sorting and search trees.
//
// Prints its menu once, then for ever prompts for an option number and calls one outside
// routine per option (treemenu.h: sort, insert_tree, the four traversals, bst_delete_node,
// rb_tree), keeping the root of one binary search tree between calls. Option 0 ends it with
// status 0, and so does end of input at any read. Built as the relocatable object treemenu.o,
// linked by a partner that supplies the routines (see examples/treeparts for one); it needs
// nothing from the C++ runtime, only libc's standard streams.
#include "treemenu.h"

#include <cstdio>

#include "int_read.h"

// The sorting routines' module-wide variables, zeroed. Weak, so that a partner's own
// definitions take their place at link time, while a partner without them still links.
extern "C" {
[[gnu::weak]] int arr[5];
[[gnu::weak]] short i, j, min;
[[gnu::weak]] int temp, option;
}

namespace {

void print_menu() noexcept {
    std::puts("1.sorting technique ");
    std::puts("2.binary search insertion: ");
    std::puts("3.print_inorder ");
    std::puts("4.print_pre_order ");
    std::puts("5.print_post_order ");
    std::puts("6.print_level_order ");
    std::puts("7.delete element from binary tree ");
    std::puts("8.red black tree ");
    std::puts("0.exit ");
}

void reject_option() noexcept { std::puts("enter correct option "); }

// Prints `prompt` (a line of its own) and reads a number into `number`; a token that is no
// number is answered with reject_option.
int_read prompt_number(const char* prompt, int* number) noexcept {
    std::puts(prompt);
    const int_read read = read_int(number);
    if (read == INT_READ_UNREADABLE) reject_option();
    return read;
}

// Prompts for a number and, when one comes, applies `change` with it to the tree under `root`.
// Returns false at end of input.
bool change_tree(const char* prompt, node* (*change)(node*, int), node*& root) noexcept {
    int number = 0;
    const int_read read = prompt_number(prompt, &number);
    if (read == INT_READ_VALUE) root = change(root, number);
    return read != INT_READ_ENDED;
}

// Carries out one option on the tree under `root`. Returns false when the program should end:
// option 0, or end of input while reading the number an option needs.
bool dispatch(int option, node*& root) noexcept {
    switch (option) {
        case 0:
            return false;
        case 1:
            sort();
            break;
        case 2:
            return change_tree("enter the NUMBER you want to insert : ", insert_tree, root);
        case 3:
            std::puts("elements in inorder_form is : ");
            print_inorder(root);
            break;
        case 4:
            std::puts("elements in pre_order_form is : ");
            print_pre_order(root);
            break;
        case 5:
            std::puts("elements in post_order_form is : ");
            print_post_order(root);
            break;
        case 6:
            std::puts("elements in level_order_form is : ");
            print_level_order(root);
            break;
        case 7:
            return change_tree("enter the number to delete : ", bst_delete_node, root);
        case 8:
            rb_tree();
            break;
        default:
            reject_option();
            break;
    }
    return true;
}

}  // namespace

int main() {
    node* root = nullptr;
    print_menu();
    for (;;) {
        // cppcheck-suppress shadowVariable // on purpose: the module-wide one is the partner's
        int option = 0;  // this loop's own; the module-wide `option` belongs to the partner
        const int_read read = prompt_number("\nEnter the option to select the program : ", &option);
        if (read == INT_READ_ENDED) break;
        if (read == INT_READ_VALUE && !dispatch(option, root)) break;
    }
    return 0;
}
