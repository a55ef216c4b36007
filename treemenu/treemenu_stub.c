/* treemenu_stub: a recording stand-in for the eight routines treemenu.o calls.
 *
 * Linked with treemenu.o into treemenu_stubbed, the program the driver's tests run. Each
 * routine writes one line starting with '@' to standard output, between the driver's own
 * lines, naming the call, its arguments and its result. Tree roots are handles into a small
 * pool, shown as #1, #2, ... (null as "null"), so that a test can follow which root went
 * where. It defines none of the module-wide variables: treemenu.o's own are linked.
 */
#include <stdio.h>

#include "treemenu.h"

struct node {
    int id;
};

enum { kPoolSize = 1000 };
static struct node pool[kPoolSize];
static int handed_out;

static void show(const struct node *root) {
    if (root == NULL) {
        fputs("null", stdout);
    } else {
        printf("#%d", root->id);
    }
}

/* Every insert and delete returns a handle not seen before. */
static struct node *fresh_root(void) {
    struct node *n = &pool[handed_out % kPoolSize];
    n->id = ++handed_out;
    return n;
}

static void record_print(const char *name, struct node *root) {
    printf("@%s(", name);
    show(root);
    puts(")");
}

static struct node *record_change(const char *name, struct node *root, int value) {
    struct node *result = fresh_root();
    printf("@%s(", name);
    show(root);
    printf(", %d) -> ", value);
    show(result);
    putchar('\n');
    return result;
}

void sort(void) { puts("@sort()"); }
struct node *insert_tree(struct node *root, int value) {
    return record_change("insert_tree", root, value);
}
void print_inorder(struct node *root) { record_print("print_inorder", root); }
void print_pre_order(struct node *root) { record_print("print_pre_order", root); }
void print_post_order(struct node *root) { record_print("print_post_order", root); }
void print_level_order(struct node *root) { record_print("print_level_order", root); }
struct node *bst_delete_node(struct node *root, int value) {
    return record_change("bst_delete_node", root, value);
}
void rb_tree(void) { puts("@rb_tree()"); }
