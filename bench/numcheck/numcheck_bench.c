/* numcheck_bench: numcheck's throughput in lines per second on a fixed mix of valid and invalid
 * lines, side by side with a strtol-based check of the same lines, in one run.
 *
 * Built in the i386 tree with numcheck.o itself, run by bench.sh (make bench). Both checks see the
 * same lines in the same order; before timing, the program makes sure they agree on every line, so
 * both do the same job. Each check is timed in alternating rounds and the best round counts, which
 * keeps the noise of a busy machine out of the table. Prints two rows of the benchmark table
 * (bench/lib.sh) on standard output.
 */
#define _POSIX_C_SOURCE 200809L
#include <ctype.h>
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "clock.h"
#include "numcheck.h"
#include "report.h"

/* The mix: typed lines as a line read returns them, 12 valid and 8 invalid. */
static const char* const kLines[] = {
    "42\n",    "-17\n", "+2147483647\n", "0\n",     "123456\n",  "7\n",  "-2147483647\n",
    "65536\n", "+99\n", "1000000\n",     "31415\n", "2718281\n", "4x\n", "4 2\n",
    "+-4\n",   "4.5\n", "abc\n",         " 12\n",   "12 \n",     "-x\n",
};
enum { kLineCount = sizeof kLines / sizeof kLines[0], kRounds = 5 };
static const long kPassesPerRound = 200000; /* passes over the mix */

/* The usual way: strtol, then insist that the number is the whole line and fits an int. The
 * value is taken without its sign, as numcheck takes it. */
__attribute__((noinline)) static int strtol_check(const char* line) {
    if (isspace((unsigned char)line[0])) return 36; /* strtol would skip leading blanks */
    char* end = NULL;
    errno = 0;
    const long value = strtol(line, &end, 10);
    if (end == line || errno == ERANGE || end[0] != '\n' || end[1] != '\0') return 36;
    if (value > INT_MAX || value < -INT_MAX) return 36;
    return (int)(value < 0 ? -value : value);
}

static volatile unsigned sink; /* keeps the results alive */

static double round_seconds(int (*check)(const char*)) {
    unsigned total = 0;
    const double start = now_seconds();
    for (long pass = 0; pass < kPassesPerRound; ++pass)
        for (int i = 0; i < kLineCount; ++i) total += (unsigned)check(kLines[i]);
    const double seconds = now_seconds() - start;
    sink += total;
    return seconds;
}

int main(void) {
    for (int i = 0; i < kLineCount; ++i) {
        if (numcheck(kLines[i]) != strtol_check(kLines[i])) {
            report_text("numcheck_bench: the checks disagree on line %d\n", i);
            return 1;
        }
    }
    double best_numcheck = 1e9;
    double best_strtol = 1e9;
    for (int r = 0; r < kRounds; ++r) {
        const double a = round_seconds(numcheck);
        const double b = round_seconds(strtol_check);
        if (a < best_numcheck) best_numcheck = a;
        if (b < best_strtol) best_strtol = b;
    }
    const double lines = (double)kPassesPerRound * kLineCount;
    /* Two rows of the benchmark table (bench/lib.sh): tab-separated fields. */
    printf(
        "numcheck\tnumcheck (i386 numcheck.o), %d-line mix (12 valid, 8 invalid); best of %d"
        " rounds of %g million\t%.0f\tlines/s\t%.2fx the strtol check; %.1f ns/line\n",
        kLineCount, kRounds, lines / 1e6, lines / best_numcheck, best_strtol / best_numcheck,
        best_numcheck / lines * 1e9);
    printf(
        "numcheck\tstrtol-based check of the same lines, same rounds\t%.0f\tlines/s\t"
        "reference; %.1f ns/line\n",
        lines / best_strtol, best_strtol / lines * 1e9);
    return 0;
}
