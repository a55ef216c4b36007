/* read_value.c: the number reads of sort and rb_tree, from the standard input they share with
 * treemenu's own reads.
 */
#include <stdio.h>

#include "int_read.h"
#include "treeparts.h"

int read_value(int *value) {
    switch (read_int(value)) {
        case INT_READ_VALUE:
            return 1;
        case INT_READ_UNREADABLE:
            return 0;
        case INT_READ_ENDED:
            break;
    }
    return EOF;
}
