/* clock.h: the benchmark drivers' clock: CLOCK_MONOTONIC in seconds. Plain C and header-only,
 * for the C and the C++ drivers alike. */
#ifndef OSF_BENCH_CLOCK_H
#define OSF_BENCH_CLOCK_H

#include <time.h>

/* NOLINTNEXTLINE(modernize-redundant-void-arg): the C drivers need the prototype */
static inline double now_seconds(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

#endif
