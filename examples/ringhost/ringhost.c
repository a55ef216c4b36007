/* ringhost.c: a host for the circular-list menus. Its main calls ringmenu (in ringmenu.o) and
 * it supplies cir_display, which the deletion menu calls to show the list after each deletion.
 * Run it at a terminal: build/i386/examples/ringhost/ringhost; it reads the menu choices and
 * numbers from standard input and ends when the user answers 'n' or input ends (Ctrl-D),
 * showing the list as the menus left it.
 * Built as a plain C program: gcc -m32 ringhost.c ringmenu.o.
 */
#include <stdio.h>

#include "ringlist.h"

/* Shows the ring as the host sees it through the list's own globals: the nodes from the head
 * (end->next) round to the tail, the count and the tail's value. */
void cir_display(void) {
    if (end == NULL) {
        printf("\n[ring: empty, size %d]", size);
        return;
    }
    printf("\n[ring:");
    const struct c_node *node = end->next;
    do {
        printf(" %d", node->data);
        node = node->next;
    } while (node != end->next);
    printf(" | size %d, tail %d]", size, end->data);
}

/* Runs the menus, then shows the list as they left it. */
int main(void) {
    const int status = ringmenu();
    cir_display();
    putchar('\n');
    return status;
}
