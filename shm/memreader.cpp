// memreader: takes the one message out of the POSIX shared-memory object "/shared", prints it
// and removes the object, so that each message is read once.
//
// Run it with no arguments after a writer (examples/shmwriter, its partner) has stored a
// zero-terminated line at the start of "/shared". In order: open (creating the object if it is
// missing), learn its size, map 8192 bytes read-only, print, unmap, unlink, close. Any failed
// call ends the program through report_failure (abort). Status 0 when a whole message was
// printed; status 1, with a line on standard error, when the object was empty or its message
// had no terminating zero within the bytes that can be read. The object is removed either way.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "report_failure.h"
#include "shm_message.h"

namespace {

constexpr char kObjectName[] = "/shared";

// Prints what the mapping holds and says on standard error what was wrong with it, if anything.
// Returns the exit status.
int print_message(const char* bytes, std::size_t readable) {
    if (readable == 0) {
        std::fprintf(stderr, "memreader: \"%s\" is empty: there is no message to read\n",
                     kObjectName);
        return 1;
    }
    const Message message = find_message(bytes, readable);
    std::printf("Read data from memory : %.*s \n", static_cast<int>(message.length), bytes);
    // The message stands on the terminal before any remark about it or any later failure.
    std::fflush(stdout);
    if (!message.terminated) {
        std::fprintf(stderr,
                     "memreader: the message in \"%s\" is not terminated: no zero byte in its "
                     "first %zu bytes\n",
                     kObjectName, readable);
        return 1;
    }
    return 0;
}

}  // namespace

int main() {
    const int fd = shm_open(kObjectName, O_RDWR | O_CREAT, 0777);
    if (fd < 0) report_failure("shared memory is not opened \n");

    struct stat object {};
    if (fstat(fd, &object) < 0) report_failure("reading the size of shared memory failed \n");

    void* mapped = mmap(nullptr, kMappedBytes, PROT_READ, MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED) report_failure("mapping failed ....! \n");

    const int status =
        print_message(static_cast<const char*>(mapped), readable_bytes(object.st_size));

    if (munmap(mapped, kMappedBytes) < 0) report_failure("Unmapping failed....! \n");
    if (shm_unlink(kObjectName) < 0) report_failure("unlink failed \n");
    if (close(fd) < 0) report_failure("closing shared memory session failed \n");
    return status;
}
