/* treemenu.h: what a program linked with treemenu.o must supply, and what it may share.
 *
 * treemenu.o holds `main`: a console menu that calls the eight routines below, one per option,
 * and keeps the root of one binary search tree between calls. The partner object defines
 * `struct node` (the driver only passes pointers to it around: null is the empty tree) and
 * the eight routines, with C linkage. Plain C partners link with: gcc -m32 partner.c treemenu.o
 */
#ifndef OSFACETS_TREEMENU_H
#define OSFACETS_TREEMENU_H

#ifdef __cplusplus
extern "C" {
#endif

struct node;

/* Option 1: a sorting demonstration; it reads and prints whatever it needs itself. */
void sort(void);
/* Option 2: inserts `value` into the tree under `root`; returns the tree's new root. */
struct node *insert_tree(struct node *root, int value);
/* Options 3 to 6: print the tree under `root` (null: the empty tree). */
void print_inorder(struct node *root);
void print_pre_order(struct node *root);
void print_post_order(struct node *root);
void print_level_order(struct node *root);
/* Option 7: removes `value` from the tree under `root`; returns the tree's new root. */
struct node *bst_delete_node(struct node *root, int value);
/* Option 8: a self-contained red-black tree demonstration. */
void rb_tree(void);

/* Module-wide variables for the sorting routines. treemenu.o defines them weakly (zeroed):
 * a partner may define them itself with these very types, and its definitions are the ones
 * linked; a partner that leaves them out uses treemenu.o's. The driver never touches them. */
extern int arr[5];
extern short i, j, min;
extern int temp, option;

#ifdef __cplusplus
}
#endif

#endif
