// shmwriter: leaves one line in the POSIX shared-memory object "/shared" for memreader (its
// partner, shm/memreader) to read once.
//
// Run as `shmwriter "some text"`, or `shmwriter` and type the line (it reads one line of
// standard input, the newline dropped). Leaves "/shared" holding the line and its terminating
// zero, and nothing else, in place of any message there before. The line may hold at most 8191
// characters, so that its zero falls within the 8192 bytes the reader maps. An example partner:
// failures are reported with perror and status 1.
//
// It publishes whole, so that a reader sees the older message or the new one, never half of one
// and never an empty object: it builds the message in an object of its own, which has no name
// yet (O_TMPFILE in /dev/shm, where the C library keeps its shared-memory objects), with its
// room reserved first, then gives that object a private name and moves it over "/shared" in one
// rename. If anything fails on the way (no room left in /dev/shm, say) it says so, and an
// older message in "/shared" stays as it was; if the writer is killed half-way, its nameless
// object goes with it.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "report.h"

namespace {

constexpr char kObjectName[] = "/shared";
constexpr char kFolder[] = "/dev/shm";
constexpr char kObjectPath[] = "/dev/shm/shared";
constexpr std::size_t kLongestLine = 8191;

// A nameless object in /dev/shm holding exactly `line` and its zero byte, its room reserved
// before a byte is written (a full /dev/shm is a clean error here, not a fault in the write).
int build(const std::string& line) {
    const std::size_t size = line.size() + 1;
    const int fd = open(kFolder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd < 0) exit_with_error(errno, "shmwriter: making an object in /dev/shm");
    const int error = posix_fallocate(fd, 0, static_cast<off_t>(size));
    if (error != 0) {
        char what[80];
        std::snprintf(what, sizeof what, "shmwriter: reserving %zu bytes in /dev/shm", size);
        exit_with_error(error, what);
    }
    void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED) exit_with_error(errno, "shmwriter: mmap");
    // mmap reports failure as MAP_FAILED, handled above, never as a null pointer:
    // cppcheck-suppress nullPointerOutOfMemory
    std::memcpy(mapped, line.c_str(), size);  // the text and its terminating zero
    // cppcheck-suppress nullPointerOutOfMemory
    if (munmap(mapped, size) < 0) exit_with_error(errno, "shmwriter: munmap");
    return fd;
}

// Gives the object open on `fd` the name "/shared", in place of any object that held it.
void publish(int fd) {
    char own[64];
    std::snprintf(own, sizeof own, "%s/.shared.shmwriter.%d", kFolder, static_cast<int>(getpid()));
    char opened[64];
    std::snprintf(opened, sizeof opened, "/proc/self/fd/%d", fd);
    unlink(own);  // left by an earlier writer of our process id that was killed right here
    if (linkat(AT_FDCWD, opened, AT_FDCWD, own, AT_SYMLINK_FOLLOW) < 0)
        exit_with_error(errno, "shmwriter: naming the new object");
    if (rename(own, kObjectPath) < 0) {
        const int error = errno;
        unlink(own);
        exit_with_error(error, "shmwriter: moving the new object to /dev/shm/shared");
    }
    if (close(fd) < 0) exit_with_error(errno, "shmwriter: close");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2) {
        report_text("usage: shmwriter [line]   (without a line: one from standard input)\n");
        return 2;
    }
    std::string line;
    if (argc == 2) {
        line = argv[1];
    } else {
        if (isatty(STDIN_FILENO)) {
            std::printf("Line for \"%s\": ", kObjectName);
            std::fflush(stdout);
        }
        if (!std::getline(std::cin, line)) {
            report_text("shmwriter: no line on standard input\n");
            return 1;
        }
    }
    if (line.size() > kLongestLine) {
        report_text("shmwriter: the line has %zu characters; the reader takes at most %zu\n",
                    line.size(), kLongestLine);
        return 1;
    }
    publish(build(line));
    std::printf("stored %zu characters and a zero byte in \"%s\"\n", line.size(), kObjectName);
    return 0;
}
