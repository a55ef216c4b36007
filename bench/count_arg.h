/* count_arg.h: reads a benchmark driver's count argument (alarms, seconds, rounds, trips,
 * calls): a positive decimal number no larger than INT_MAX. Anything else gives 0, which each
 * driver answers with its usage line. Plain C, so the C and the C++ drivers share it. */
#ifndef OSF_BENCH_COUNT_ARG_H
#define OSF_BENCH_COUNT_ARG_H

#include <errno.h>
#include <limits.h>
#include <stdlib.h>

static inline long count_arg(const char* text) {
    char* end;
    errno = 0;
    const long value = strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || value <= 0 || value > INT_MAX) return 0;
    return value;
}

#endif
