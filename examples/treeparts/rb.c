/* rb.c: treemenu's option 8, a red-black tree demonstration.
 *
 * rb_tree reads numbers from standard input until a word that is not a number (or the end of
 * input), inserts each into a red-black tree of its own with the classic repairs (recolour
 * the parent, uncle and grandparent while the uncle is red; otherwise one or two rotations),
 * prints the tree with each node's colour, and frees it.
 */
#include <stdio.h>
#include <stdlib.h>

#include "int_read.h"
#include "treeparts.h"

static void set_colour(struct rb_set *set, struct rb_node *n, enum rb_colour colour) {
    if (n->colour != colour) {
        n->colour = colour;
        ++set->recolourings;
    }
}

/* Puts `child` where `old` hung from its parent (or at the root). */
static void replace_child(struct rb_set *set, struct rb_node *old, struct rb_node *child) {
    child->parent = old->parent;
    if (old->parent == NULL)
        set->root = child;
    else if (old == old->parent->left)
        old->parent->left = child;
    else
        old->parent->right = child;
}

static void rotate_left(struct rb_set *set, struct rb_node *x) {
    struct rb_node *y = x->right;
    x->right = y->left;
    if (y->left != NULL) y->left->parent = x;
    replace_child(set, x, y);
    y->left = x;
    x->parent = y;
    ++set->rotations;
}

static void rotate_right(struct rb_set *set, struct rb_node *x) {
    struct rb_node *y = x->left;
    x->left = y->right;
    if (y->right != NULL) y->right->parent = x;
    replace_child(set, x, y);
    y->right = x;
    x->parent = y;
    ++set->rotations;
}

static int is_red(const struct rb_node *n) { return n != NULL && n->colour == RB_RED; }

/* Repairs a red node `z` whose parent may be red too. */
static void repair_after_insert(struct rb_set *set, struct rb_node *z) {
    while (is_red(z->parent)) {
        struct rb_node *parent = z->parent;
        struct rb_node *grand = parent->parent; /* a red parent is never the root */
        const int parent_is_left = parent == grand->left;
        struct rb_node *uncle = parent_is_left ? grand->right : grand->left;
        if (is_red(uncle)) {
            set_colour(set, parent, RB_BLACK);
            set_colour(set, uncle, RB_BLACK);
            set_colour(set, grand, RB_RED);
            z = grand;
            continue;
        }
        if (parent_is_left) {
            if (z == parent->right) {
                rotate_left(set, parent);
                parent = z;
            }
            set_colour(set, parent, RB_BLACK);
            set_colour(set, grand, RB_RED);
            rotate_right(set, grand);
        } else {
            if (z == parent->left) {
                rotate_right(set, parent);
                parent = z;
            }
            set_colour(set, parent, RB_BLACK);
            set_colour(set, grand, RB_RED);
            rotate_left(set, grand);
        }
        break;
    }
    set_colour(set, set->root, RB_BLACK);
}

int rb_insert(struct rb_set *set, int key) {
    struct rb_node *parent = NULL;
    struct rb_node **link = &set->root;
    while (*link != NULL) {
        parent = *link;
        if (key == parent->key) return 0;
        link = key < parent->key ? &parent->left : &parent->right;
    }
    struct rb_node *fresh = malloc(sizeof *fresh);
    if (fresh == NULL) return -1;
    fresh->key = key;
    fresh->colour = RB_RED;
    fresh->left = fresh->right = NULL;
    fresh->parent = parent;
    *link = fresh;
    repair_after_insert(set, fresh);
    return 1;
}

static void free_nodes(struct rb_node *n) {
    if (n == NULL) return;
    free_nodes(n->left);
    free_nodes(n->right);
    free(n);
}

void rb_clear(struct rb_set *set) {
    free_nodes(set->root);
    set->root = NULL;
}

int rb_black_height(const struct rb_node *root) {
    int height = 0;
    for (const struct rb_node *n = root; n != NULL; n = n->left)
        if (n->colour == RB_BLACK) ++height;
    return height;
}

static void write_subtree(FILE *out, const struct rb_node *n, int depth, const char *side) {
    if (n == NULL) return;
    fprintf(out, "%*s%s%d %s\n", 2 * depth, "", side, n->key,
            n->colour == RB_RED ? "red" : "black");
    write_subtree(out, n->left, depth + 1, "L ");
    write_subtree(out, n->right, depth + 1, "R ");
}

void rb_write(FILE *out, const struct rb_node *root) {
    if (root == NULL) {
        fputs("(empty)\n", out);
        return;
    }
    write_subtree(out, root, 0, "");
}

void rb_tree(void) {
    struct rb_set set = {NULL, 0, 0};
    long inserted = 0, ignored = 0;
    int value = 0;
    puts("red black tree: enter numbers to insert, then a word (like end) to finish : ");
    while (read_int(&value) == INT_READ_VALUE) {
        const int added = rb_insert(&set, value);
        if (added < 0) {
            puts("no memory left for another node: stopping here ");
            break;
        }
        if (added)
            ++inserted;
        else
            ++ignored;
    }
    printf("inserted %ld, duplicates ignored %ld, rotations %ld, recolourings %ld\n", inserted,
           ignored, set.rotations, set.recolourings);
    puts("the tree (L: left child, R: right child):");
    rb_write(stdout, set.root);
    printf("black height %d\n", rb_black_height(set.root));
    rb_clear(&set);
}
