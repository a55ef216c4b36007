/* traversals.c: treemenu's options 3 to 6, the tree printed in order, pre-order, post-order
 * and level by level, each on one line with the values separated by blanks.
 */
#include <stdio.h>

#include "treeparts.h"

/* Writes one value, with a blank before it unless it is the line's first. */
static void put_value(FILE *out, int value, int *count) {
    fprintf(out, *count == 0 ? "%d" : " %d", value);
    ++*count;
}

static void inorder(FILE *out, const struct node *n, int *count) {
    if (n == NULL) return;
    inorder(out, n->left, count);
    put_value(out, n->data, count);
    inorder(out, n->right, count);
}

static void pre_order(FILE *out, const struct node *n, int *count) {
    if (n == NULL) return;
    put_value(out, n->data, count);
    pre_order(out, n->left, count);
    pre_order(out, n->right, count);
}

static void post_order(FILE *out, const struct node *n, int *count) {
    if (n == NULL) return;
    post_order(out, n->left, count);
    post_order(out, n->right, count);
    put_value(out, n->data, count);
}

/* Writes the nodes `depth` levels below `n`, left to right; returns how many there were. */
static int level(FILE *out, const struct node *n, int depth, int *count) {
    if (n == NULL) return 0;
    if (depth == 0) {
        put_value(out, n->data, count);
        return 1;
    }
    return level(out, n->left, depth - 1, count) + level(out, n->right, depth - 1, count);
}

void write_inorder(FILE *out, const struct node *root) {
    int count = 0;
    inorder(out, root, &count);
    fputc('\n', out);
}

void write_pre_order(FILE *out, const struct node *root) {
    int count = 0;
    pre_order(out, root, &count);
    fputc('\n', out);
}

void write_post_order(FILE *out, const struct node *root) {
    int count = 0;
    post_order(out, root, &count);
    fputc('\n', out);
}

/* Level by level from the root, with no queue to allocate: each level is found by a walk
 * from the root, until a level holds no node. */
void write_level_order(FILE *out, const struct node *root) {
    int count = 0;
    for (int depth = 0; level(out, root, depth, &count) > 0; ++depth) {
    }
    fputc('\n', out);
}

void print_inorder(struct node *root) { write_inorder(stdout, root); }
void print_pre_order(struct node *root) { write_pre_order(stdout, root); }
void print_post_order(struct node *root) { write_post_order(stdout, root); }
void print_level_order(struct node *root) { write_level_order(stdout, root); }
