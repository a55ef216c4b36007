// The failure reports of the programs, the examples and the benchmark drivers.
#pragma once

#include <source_location>

// report_failure: the report of the socket and shared-memory programs. Writes
// "<message> at \"<file>\":<line>: <strerror(errno)>\n" to standard error, naming the source
// position of the caller (the check that failed), then aborts. The message texts end in "\n"
// themselves, so the position and the error text stand on a line of their own.
[[noreturn]] void report_failure(
    const char* message, std::source_location where = std::source_location::current()) noexcept;

// report_error: perror for a call that returns its error number instead of setting errno (the
// pthread functions): "<message>: <strerror(error)>\n" on standard error, exactly as perror
// writes it with errno set to `error`. Returns; what follows is the caller's choice.
void report_error(int error, const char* message) noexcept;

// exit_with_error: report_error, then exit with status 1 (the examples' and the benchmark
// drivers' way out of a failed call).
[[noreturn]] void exit_with_error(int error, const char* message) noexcept;
