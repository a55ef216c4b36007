// shmwriter: leaves one line in the POSIX shared-memory object "/shared" for memreader (its
// partner, shm/memreader) to read once.
//
// Run as `shmwriter "some text"`, or `shmwriter` and type the line (it reads one line of
// standard input, the newline dropped). Creates "/shared" (or takes the one there, replacing
// its message), sizes it to the line and its terminating zero, and stores both at its start
// through a shared mapping. The line may hold at most 8191 characters, so that its zero falls
// within the 8192 bytes the reader maps. An example partner: failures are reported with perror
// and status 1.
//
// It takes part in memreader's hand-over: it writes holding an advisory lock (flock) on the
// object, which memreader holds while it reads and removes the name. An object whose name was
// removed while we waited for the lock has no link left: we let it go and open "/shared" anew,
// so that the message goes into an object that the next reader finds.
#include <fcntl.h>
#include <sys/file.h>
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
constexpr std::size_t kLongestLine = 8191;

// Opens "/shared", creating it if need be, and takes its lock: the descriptor of an object that
// still has its name.
int open_locked() {
    for (;;) {
        const int fd = shm_open(kObjectName, O_RDWR | O_CREAT, 0666);
        if (fd < 0) exit_with_error(errno, "shmwriter: shm_open");
        if (flock(fd, LOCK_EX) < 0) exit_with_error(errno, "shmwriter: flock");
        struct stat object = {};
        if (fstat(fd, &object) < 0) exit_with_error(errno, "shmwriter: fstat");
        if (object.st_nlink > 0) return fd;
        close(fd);  // a reader took this one and removed its name meanwhile
    }
}

// Makes "/shared" hold exactly `line` and its zero byte.
void store(const std::string& line) {
    const std::size_t size = line.size() + 1;
    const int fd = open_locked();
    if (ftruncate(fd, static_cast<off_t>(size)) < 0) exit_with_error(errno, "shmwriter: ftruncate");
    void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED) exit_with_error(errno, "shmwriter: mmap");
    // mmap reports failure as MAP_FAILED, handled above, never as a null pointer:
    // cppcheck-suppress nullPointerOutOfMemory
    std::memcpy(mapped, line.c_str(), size);  // the text and its terminating zero
    // cppcheck-suppress nullPointerOutOfMemory
    if (munmap(mapped, size) < 0) exit_with_error(errno, "shmwriter: munmap");
    if (close(fd) < 0) exit_with_error(errno, "shmwriter: close");  // and the lock with it
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr,
                     "usage: shmwriter [line]   (without a line: one from standard input)\n");
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
            std::fprintf(stderr, "shmwriter: no line on standard input\n");
            return 1;
        }
    }
    if (line.size() > kLongestLine) {
        std::fprintf(stderr,
                     "shmwriter: the line has %zu characters; the reader takes at most %zu\n",
                     line.size(), kLongestLine);
        return 1;
    }
    store(line);
    std::printf("stored %zu characters and a zero byte in \"%s\"\n", line.size(), kObjectName);
    return 0;
}
