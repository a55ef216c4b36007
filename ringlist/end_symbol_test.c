/* end_symbol_test.c: a plain C host linked with ringmenu.o, as an outside program would be
 * (gcc -m32 host.c ringmenu.o). It checks that the list's `end` is the one the program sees,
 * not the end-of-data mark the linker would otherwise provide under that name, and that the
 * program's heap and stdio work as usual. Run by CTest; prints "ok" and exits 0 on success.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ringlist.h"

/* the linker's own end-of-data mark: NOLINTNEXTLINE(bugprone-reserved-identifier) */
extern char _end[];

void cir_display(void) {}

static int failures = 0;

static void check(int ok, const char *what) {
    if (!ok) {
        fprintf(stderr, "FAIL: %s\n", what);
        ++failures;
    }
}

int main(void) {
    static char input[] = "11 22\n";
    FILE *const console_in = stdin, *const console_out = stdout;
    stdin = fmemopen(input, strlen(input), "r");
    stdout = fopen("/dev/null", "w");
    check(stdin != NULL && stdout != NULL, "memory streams");

    check(end == NULL && size == 0, "the list starts empty");
    check((void *)&end != (void *)_end, "`end` is the list's own variable, not the linker's mark");
    cir_ins_end();
    cir_ins_end();
    check(end != NULL && end->data == 22, "`end` is the tail");
    check(end != NULL && end->next->data == 11 && end->next->next == end, "the head follows it");
    check(size == 2, "size counts both nodes");

    char *block = malloc(1 << 20); /* the heap is unaffected by our `end` */
    check(block != NULL, "a large allocation");
    if (block != NULL) memset(block, 0x5a, 1 << 20);
    free(block);

    cir_del_beg();
    cir_del_end();
    check(end == NULL && size == 0, "emptied again");

    fclose(stdin);
    fclose(stdout);
    stdin = console_in;
    stdout = console_out;
    if (failures == 0) puts("ok");
    return failures == 0 ? 0 : 1;
}
