/* sort.c: treemenu's option 1, a selection sort of five numbers read from standard input,
 * shown before and after.
 *
 * It works in the module-wide variables arr, i, j, min and temp, and defines them here: these
 * definitions take the place of treemenu.o's weak ones when the two are linked.
 */
#include <stdio.h>

#include "int_read.h"
#include "treeparts.h"

int arr[5];
short i, j, min;
int temp;

void selection_sort(void) {
    for (i = 0; i < 4; ++i) {
        min = i;
        for (j = (short)(i + 1); j < 5; ++j)
            if (arr[j] < arr[min]) min = j;
        temp = arr[min];
        arr[min] = arr[i];
        arr[i] = temp;
    }
}

static void print_arr(const char *title) {
    printf("%s", title);
    for (i = 0; i < 5; ++i) printf(i == 0 ? "%d" : " %d", arr[i]);
    putchar('\n');
}

void sort(void) {
    puts("enter 5 numbers to sort : ");
    for (i = 0; i < 5; ++i) {
        if (read_int(&arr[i]) != INT_READ_VALUE) {
            puts("sorting needs 5 numbers: nothing sorted ");
            return;
        }
    }
    print_arr("before sorting : ");
    selection_sort();
    print_arr("after sorting : ");
}
