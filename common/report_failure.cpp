// The failure reports: report_failure (report_failure.h), report_error and exit_with_error
// (report_error.h).
#include "report_failure.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "report_error.h"

void report_failure(const char* message, std::source_location where) noexcept {
    // Take the error number before anything (even flushing stdout) can change it.
    const int error = errno;
    std::fflush(stdout);
    std::fprintf(stderr, "%s at \"%s\":%d: %s\n", message, where.file_name(),
                 static_cast<int>(where.line()), std::strerror(error));
    std::abort();
}

void report_error(int error, const char* message) noexcept {
    errno = error;
    std::perror(message);
}

void exit_with_error(int error, const char* message) noexcept {
    report_error(error, message);
    std::exit(1);
}
