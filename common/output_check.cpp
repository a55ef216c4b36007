// Checking standard output (see output_check.h).
#include "output_check.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "report.h"

namespace {

std::atomic<bool> reported{false};

}  // namespace

bool flush_output(std::FILE* out, const char* report) noexcept {
    if (std::fflush(out) == 0 && std::ferror(out) == 0) return true;
    const int error = errno;
    if (!reported.exchange(true)) report_text("%s: %s\n", report, std::strerror(error));
    return false;
}

int output_status(const char* report, int status) noexcept {
    return flush_output(stdout, report) ? status : 1;
}

void hold_closed_standard_streams() noexcept {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        const int held = open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
        if (held > fd) {
            dup2(held, fd);
            close(held);
        }
    }
}
