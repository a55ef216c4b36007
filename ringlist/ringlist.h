/* ringlist.h: the circular list of integers and its console menus, for C and C++ hosts.
 *
 * Link the i386 object ringmenu.o into a program that supplies `main` and `cir_display`; with
 * the install prefix P (this header is P/include/osfacets/ringlist.h: #include <ringlist.h>):
 *     gcc -m32 -I P/include/osfacets host.c P/lib/osfacets/ringmenu.o
 * The list is one ring per process, kept in the globals below: `end` points to the tail (null
 * while the list is empty), the head is `end->next`, and `size` counts the nodes. Positions run
 * from 1 at the head to `size` at the tail; 0 stands for the tail and `size` + 1 for the head.
 * Every operation talks to the console: inserts read the value from standard input, removals
 * print the value they remove. The object needs only the C library.
 */
#ifndef OSFACETS_RINGLIST_H
#define OSFACETS_RINGLIST_H

#ifdef __cplusplus
extern "C" {
#define RINGLIST_NOEXCEPT noexcept
#else
#define RINGLIST_NOEXCEPT
#endif

/* One node of the ring, taken from the heap at its insert and freed at its removal. */
struct c_node {
    int data;
    struct c_node *next;
};
typedef struct c_node c_node; /* NOLINT(modernize-use-using): C hosts include this header */

/* The list's whole state. `end` takes the place of the linker's own `end` symbol in any
 * program that links ringmenu.o. */
extern struct c_node *end;    /* the tail, or null when the list is empty */
extern int size;              /* the number of nodes in the ring */
extern struct c_node *c_p;    /* the walking pointer of the last walk */
extern struct c_node *c_temp; /* the node being inserted or removed; null between operations */

/* Inserts: each prints "\nEnter the element you want to insert" and reads the value. */
void cir_ins_beg(void) RINGLIST_NOEXCEPT;
void cir_ins_end(void) RINGLIST_NOEXCEPT;
void cir_ins_pos(int p) RINGLIST_NOEXCEPT;

/* The position of the first node holding k, counted from the head, or 0 (with a message). */
int cir_search(int k) RINGLIST_NOEXCEPT;

/* Prints the list from head to tail. */
void cir_sll_display(void) RINGLIST_NOEXCEPT;

/* Removals: each prints the value it removes. */
void cir_del_beg(void) RINGLIST_NOEXCEPT;
void cir_del_end(void) RINGLIST_NOEXCEPT;
void cir_del_pos(int p) RINGLIST_NOEXCEPT;

/* The menus: runs until the user answers 'n' or standard input ends; returns 0. */
int ringmenu(void) RINGLIST_NOEXCEPT;

/* Supplied by the host: shows the list; the deletion menu calls it after every deletion. */
void cir_display(void);

#undef RINGLIST_NOEXCEPT
#ifdef __cplusplus
}
#endif

#endif
