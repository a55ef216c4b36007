/* read_value.c: the number reads of sort and rb_tree, from the standard input they share with
 * treemenu's own reads.
 */
#include <stdio.h>

#include "treeparts.h"

int read_value(int *value) {
    fflush(stdout); /* the prompt reaches a reader on a pipe before we wait */
    /* NOLINTNEXTLINE(cert-err34-c): "%d", as treemenu's own reads of the same input */
    const int got = scanf("%d", value);
    if (got == 1) return 1;
    if (got == EOF) return EOF;
    /* Not a number: drop the token (up to white space, never past it). */
    if (scanf("%*[^ \t\n\v\f\r]") == EOF) return EOF;
    return 0;
}
