/* partner.c: the smallest plain C partner of treemenu.o, built by link_test.sh in three ways
 * to show how treemenu.o's module-wide variables meet a partner's:
 *   -DVARIABLES_STRONG   the partner defines them, initialised (its definitions win);
 *   -DVARIABLES_COMMON   tentative definitions, compiled with -fcommon (common symbols);
 *   -DVARIABLES_NONE     the partner only uses them (treemenu.o's definitions are linked).
 * Option 1 (sort) prints what the partner sees in them, then changes them.
 */
#include <stdio.h>

#include "treemenu.h"

#if defined(VARIABLES_STRONG)
int arr[5] = {42, 1, 2, 3, 4};
short i = 1, j = 2, min = 3;
int temp = 4, option = 5;
#elif defined(VARIABLES_COMMON)
int arr[5];
short i, j, min;
int temp, option;
#elif !defined(VARIABLES_NONE)
#error "say which kind of partner to build"
#endif

struct node {
    int value;
};

static struct node only;

void sort(void) {
    printf("partner sees arr[0]=%d i=%d j=%d min=%d temp=%d option=%d\n", arr[0], i, j, min, temp,
           option);
    arr[0] += 100;
    i += 100;
    option += 100;
}
struct node *insert_tree(struct node *root, int value) {
    (void)root;
    only.value = value;
    return &only;
}
void print_inorder(struct node *root) { printf("holds %d\n", root ? root->value : -1); }
void print_pre_order(struct node *root) { print_inorder(root); }
void print_post_order(struct node *root) { print_inorder(root); }
void print_level_order(struct node *root) { print_inorder(root); }
struct node *bst_delete_node(struct node *root, int value) {
    return root != NULL && root->value == value ? NULL : root;
}
void rb_tree(void) { puts("rb_tree"); }
