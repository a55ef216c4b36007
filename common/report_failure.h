// report_failure: the failure report of the socket and shared-memory programs. (The reports
// that take an error number are in report_error.h.)
#pragma once

#include <source_location>

// Writes
// "<message> at \"<file>\":<line>: <strerror(errno)>\n" to standard error, naming the source
// position of the caller (the check that failed), then aborts. The message texts end in "\n"
// themselves, so the position and the error text stand on a line of their own.
[[noreturn]] void report_failure(
    const char* message, std::source_location where = std::source_location::current()) noexcept;
