/* treeparts.h: the example partner of treemenu.o, seen from inside.
 *
 * The eight routines treemenu.o calls are declared in treemenu.h; this header adds the node
 * record they share and the pieces the routines are built from, so that tests can reach them
 * without going through standard input and output.
 */
#ifndef OSFACETS_TREEPARTS_H
#define OSFACETS_TREEPARTS_H

#include <stdio.h>

#include "treemenu.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A node of the binary search tree behind insert_tree and bst_delete_node. */
struct node {
    int data;
    struct node *left;
    struct node *right;
};

/* Frees every node under `root`. */
void bst_free(struct node *root);

/* The four traversals, one line each on `out`: the values separated by blanks, then a
 * newline (just the newline for an empty tree). print_inorder and the others write these to
 * standard output. */
void write_inorder(FILE *out, const struct node *root);
void write_pre_order(FILE *out, const struct node *root);
void write_post_order(FILE *out, const struct node *root);
void write_level_order(FILE *out, const struct node *root);

/* Sorts arr[0..4] in place, smallest first (selection sort over i, j, min and temp). */
void selection_sort(void);

/* The red-black tree behind rb_tree. */
enum rb_colour { RB_RED, RB_BLACK };

struct rb_node {
    int key;
    enum rb_colour colour;
    struct rb_node *left;
    struct rb_node *right;
    struct rb_node *parent;
};

struct rb_set {
    struct rb_node *root;
    long rotations;    /* done so far by rb_insert */
    long recolourings; /* nodes whose colour rb_insert's repairs changed */
};

/* Inserts `key`: returns 1 if added, 0 if already there, -1 if no memory was left. */
int rb_insert(struct rb_set *set, int key);
/* Frees every node of `set` and empties it. */
void rb_clear(struct rb_set *set);
/* Number of black nodes on every path from the root down to a missing child. */
int rb_black_height(const struct rb_node *root);
/* Writes the tree, one node a line (value and colour), children indented under their
 * parent, the left one first and marked L, the right one R. */
void rb_write(FILE *out, const struct rb_node *root);

#ifdef __cplusplus
}
#endif

#endif
