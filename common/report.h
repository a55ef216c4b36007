/* report.h: every failure report of the programs, the examples and the benchmark drivers, for
 * C and C++ alike. Each name says what follows the report: report_error and report_input_end
 * return, exit_with_error exits with status 1, report_failure (C++ only) aborts.
 *
 * Header-only, so that a program built from its one source file (the test kernels' guest
 * programs) can include it by a relative path.
 */
#ifndef OSF_COMMON_REPORT_H
#define OSF_COMMON_REPORT_H

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef __cplusplus
#include <source_location>
#define OSF_NOEXCEPT noexcept
#else
#define OSF_NOEXCEPT
#endif

/* Returns. perror's line, "<message>: <strerror(error)>\n" on standard error, for the error
 * number given: errno for a call that sets it, the result for one that returns its error
 * number (the pthread functions). */
static inline void report_error(int error, const char *message) OSF_NOEXCEPT {
    errno = error;
    perror(message);
}

/* Exits. report_error, then exit with status 1. */
__attribute__((noreturn)) static inline void exit_with_error(int error,
                                                             const char *message) OSF_NOEXCEPT {
    report_error(error, message);
    exit(1);
}

/* Returns. A report in the program's own words: printf's FORMAT and its arguments on standard
 * error, the format ending in its own "\n". C and C++ share this header, hence C's variadic. */
__attribute__((format(printf, 1, 2))) static inline void report_text(  // NOLINT(cert-dcl50-cpp)
    const char *format, ...) OSF_NOEXCEPT {
    va_list arguments;
    va_start(arguments, format);
    vfprintf(stderr, format, arguments);
    va_end(arguments);
}

/* Returns. After a line read from `in` found nothing: "<message>: end of input\n" on standard
 * error when the input ended, or perror's line for the read's own error. (errno says nothing
 * at end of input: it holds whatever an earlier call left there.) */
static inline void report_input_end(const char *message, FILE *in) OSF_NOEXCEPT {
    if (ferror(in) != 0)
        perror(message);
    else
        report_text("%s: end of input\n", message);
}

#ifdef __cplusplus
/* Aborts. Writes "<message> at \"<file>\":<line>: <strerror(errno)>\n" to standard error,
 * naming the source position of the caller (the check that failed), then aborts. The message
 * texts end in "\n" themselves, so the position and the error text stand on a line of their
 * own. */
[[noreturn]] static inline void report_failure(
    const char *message, std::source_location where = std::source_location::current()) noexcept {
    // Take the error number before anything (even flushing stdout) can change it.
    const int error = errno;
    fflush(stdout);
    fprintf(stderr, "%s at \"%s\":%d: %s\n", message, where.file_name(),
            static_cast<int>(where.line()), strerror(error));
    abort();
}
#endif
#undef OSF_NOEXCEPT

#endif
