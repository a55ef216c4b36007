/* count_arg.h: reads a count argument (alarms, seconds, rounds, trips, calls, threads): a
 * whole decimal number from 1 to `most`. Anything else, a number beyond the range of long
 * among them, gives 0, which each program answers with its usage line. Plain C and
 * header-only, so that the C and the C++ programs share it, the static guest programs built
 * from one source file among them. */
#ifndef OSF_BENCH_COUNT_ARG_H
#define OSF_BENCH_COUNT_ARG_H

#include <errno.h>
#include <limits.h>
#include <stdlib.h>

static inline long count_arg(const char* text, long most) {
    char* end;
    errno = 0;
    const long value = strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || value < 1 || value > most) return 0;
    return value;
}

#endif
