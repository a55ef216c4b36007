// ioctl_trigger: opens a device node and works it, the outside partner of the tasklister and
// dirscan modules (any ioctl on their node makes them log a table to the kernel log).
//
//   ioctl_trigger DEVICE [ACTION...]
//     NUMBER          ioctl(fd, NUMBER, 0) from the main thread (decimal, or hex with 0x)
//     thread:NUMBER   the same ioctl from a second thread, which then ends
//     read, write     read or write one byte
//     wait:MS         sleep MS milliseconds, the node still open
//     hold            wait for a line (or the end) on standard input, the node still open
// With no action it opens the node and closes it again. Once the node is open it prints its
// process id and then, for each action, the thread that ran it and the result (0, or -1 with the
// error number and its text), one line each. Exits 0 if every action succeeded, 1 if one failed, 2
// if the node cannot be opened or the arguments are wrong. Built static for i386, so it runs in the
// kernel test bed's busybox initramfs as well as on the host.
#include <fcntl.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "report.h"

namespace {

struct IoctlCall {
    int fd;
    unsigned long number;
    long result;
    int error;
    long tid;
};

long thread_id() { return syscall(SYS_gettid); }

void report(const char* what, long tid, long result, int error) {
    if (result < 0)
        std::printf("%s (tid %ld): %ld errno %d (%s)\n", what, tid, result, error,
                    std::strerror(error));
    else
        std::printf("%s (tid %ld): %ld\n", what, tid, result);
    std::fflush(stdout);
}

void* run_ioctl(void* arg) {
    auto* call = static_cast<IoctlCall*>(arg);
    call->tid = thread_id();
    call->result = ioctl(call->fd, call->number, 0UL);
    call->error = errno;
    return nullptr;
}

// A 32-bit ioctl number in decimal or 0x hex; false if the text is not one.
bool parse_number(const char* text, unsigned long& number) {
    if (*text == '\0' || *text == '-') return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 0);
    if (errno != 0 || *end != '\0' || value > 0xffffffffULL) return false;
    number = static_cast<unsigned long>(value);
    return true;
}

// Runs one action; returns true if its call succeeded, and sets `known` false for a bad action.
bool run_action(int fd, const std::string& action, bool& known) {
    known = true;
    if (action == "read") {
        char byte;
        const long result = read(fd, &byte, 1);
        report("read", thread_id(), result, errno);
        return result >= 0;
    }
    if (action == "write") {
        const long result = write(fd, "x", 1);
        report("write", thread_id(), result, errno);
        return result >= 0;
    }
    if (action == "hold") {
        char byte = 0;
        long got;
        while ((got = read(STDIN_FILENO, &byte, 1)) > 0 && byte != '\n') {
        }
        report("hold", thread_id(), got < 0 ? -1 : 0, errno);
        return got >= 0;
    }
    if (action.rfind("wait:", 0) == 0) {
        unsigned long ms = 0;
        if (!parse_number(action.c_str() + 5, ms)) {
            known = false;
            return false;
        }
        timespec pause{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
        while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
        }
        report(action.c_str(), thread_id(), 0, 0);
        return true;
    }
    const bool threaded = action.rfind("thread:", 0) == 0;
    IoctlCall call{fd, 0, -1, 0, 0};
    if (!parse_number(action.c_str() + (threaded ? 7 : 0), call.number)) {
        known = false;
        return false;
    }
    if (threaded) {
        pthread_t thread;
        const int error = pthread_create(&thread, nullptr, run_ioctl, &call);
        if (error != 0) {
            report_error(error, "ioctl_trigger: pthread_create");
            return false;
        }
        pthread_join(thread, nullptr);
    } else {
        run_ioctl(&call);
    }
    const std::string what = "ioctl " + std::to_string(call.number);
    report(what.c_str(), call.tid, call.result, call.error);
    return call.result >= 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(
            stderr,
            "usage: ioctl_trigger DEVICE [NUMBER|thread:NUMBER|read|write|wait:MS|hold]...\n");
        return 2;
    }
    const int fd = open(argv[1], O_RDWR);
    if (fd < 0) {
        const int error = errno;
        report_error(error, ("ioctl_trigger: open " + std::string(argv[1])).c_str());
        return 2;
    }
    // Printed once the node is open, so a script can wait for this line.
    std::printf("ioctl_trigger: pid %ld\n", static_cast<long>(getpid()));
    std::fflush(stdout);
    bool all_succeeded = true;
    for (int i = 2; i < argc; ++i) {
        bool known = true;
        if (!run_action(fd, argv[i], known)) all_succeeded = false;
        if (!known) {
            report_text("ioctl_trigger: unknown action '%s'\n", argv[i]);
            close(fd);
            return 2;
        }
    }
    close(fd);
    return all_succeeded ? 0 : 1;
}
