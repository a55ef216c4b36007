/* int_read.h: one decimal integer from standard input, as the console menus and their partner
 * routines read numbers. It reads what "%d" reads (white space skipped, an optional sign,
 * digits), and a value beyond the range of int is held at INT_MIN or INT_MAX, on every
 * architecture: "%d" alone leaves that undefined, and glibc's result then depends on the size
 * of long. A token that is no number is dropped up to the next white space (never past it), so
 * that the next read sees fresh input and no loop repeats on the same token. Standard output
 * is flushed first, so that a prompt reaches a reader on a pipe before the read blocks.
 *
 * Header-only and plain C, for C and C++ alike: every object that includes it keeps a private
 * copy, so the delivered objects export nothing more.
 */
#ifndef OSF_COMMON_INT_READ_H
#define OSF_COMMON_INT_READ_H

#include <limits.h>
#include <stdio.h>

enum int_read {
    INT_READ_VALUE,      /* a number was read */
    INT_READ_UNREADABLE, /* the next token is not a number; it has been dropped */
    INT_READ_ENDED,      /* standard input is at its end (or failed): nothing more will come */
};

static inline enum int_read read_int(int *value) {
    long long wide = 0;
    int got;
    fflush(stdout);
    /* NOLINTNEXTLINE(cert-err34-c): out-of-range values are held at the ends of int below */
    got = scanf("%lld", &wide);
    if (got == 1) {
        *value = wide < INT_MIN ? INT_MIN : wide > INT_MAX ? INT_MAX : (int)wide;
        return INT_READ_VALUE;
    }
    if (got == EOF) return INT_READ_ENDED;
    got = scanf("%*[^ \t\n\v\f\r]");
    (void)got; /* an end of input here shows at the next read */
    return INT_READ_UNREADABLE;
}

#endif
