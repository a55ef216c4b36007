/* bst.c: the binary search tree that treemenu's options 2 and 7 change.
 *
 * insert_tree and bst_delete_node take the tree's root and return its new root, which the
 * driver keeps for the next call. Keys are ints; a key already present is not added again,
 * and deleting a missing key leaves the tree as it was.
 */
#include <stdio.h>
#include <stdlib.h>

#include "report.h"
#include "treeparts.h"

struct node *insert_tree(struct node *root, int value) {
    struct node **link = &root;
    while (*link != NULL) {
        if (value == (*link)->data) return root;
        link = value < (*link)->data ? &(*link)->left : &(*link)->right;
    }
    struct node *fresh = malloc(sizeof *fresh);
    if (fresh == NULL) {
        report_text("no memory left for another node: %d not inserted\n", value);
        return root;
    }
    fresh->data = value;
    fresh->left = fresh->right = NULL;
    *link = fresh;
    return root;
}

/* A node with two children takes the value of its in-order successor (the leftmost node of
 * its right subtree), and that successor, which has no left child, is unlinked instead. */
struct node *bst_delete_node(struct node *root, int value) {
    struct node **link = &root;
    while (*link != NULL && (*link)->data != value)
        link = value < (*link)->data ? &(*link)->left : &(*link)->right;
    struct node *target = *link;
    if (target == NULL) return root;

    if (target->left != NULL && target->right != NULL) {
        struct node **successor = &target->right;
        while ((*successor)->left != NULL) successor = &(*successor)->left;
        struct node *gone = *successor;
        target->data = gone->data;
        *successor = gone->right;
        free(gone);
    } else {
        *link = target->left != NULL ? target->left : target->right;
        free(target);
    }
    return root;
}

void bst_free(struct node *root) {
    while (root != NULL) {
        bst_free(root->left);
        struct node *right = root->right;
        free(root);
        root = right;
    }
}
