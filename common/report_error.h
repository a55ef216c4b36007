/* report_error.h: the failure reports that take an error number, in the manner of perror, for
 * C and C++ alike (the programs, the examples and the benchmark drivers). Defined with
 * report_failure in report_failure.cpp.
 */
#ifndef OSF_COMMON_REPORT_ERROR_H
#define OSF_COMMON_REPORT_ERROR_H

#ifdef __cplusplus
extern "C" {
#define OSF_NOEXCEPT noexcept
#else
#define OSF_NOEXCEPT
#endif

/* perror for a call that returns its error number instead of setting errno (the pthread
 * functions): "<message>: <strerror(error)>\n" on standard error, exactly as perror writes it
 * with errno set to `error`. Returns; what follows is the caller's choice. */
void report_error(int error, const char *message) OSF_NOEXCEPT;

/* report_error, then exit with status 1: the way out of a failed call for the examples and the
 * benchmark drivers (pass errno for a call that sets it). */
__attribute__((noreturn)) void exit_with_error(int error, const char *message) OSF_NOEXCEPT;

#ifdef __cplusplus
}
#endif
#undef OSF_NOEXCEPT

#endif
