// memreader: takes the one message out of the POSIX shared-memory object "/shared", prints it
// and removes the object, so that each message is read once.
//
// Run it with no arguments after a writer (examples/shmwriter, its partner) has stored a
// zero-terminated line at the start of "/shared". In order: open (creating the object if it is
// missing), remove the name, learn the size, map 8192 bytes read-only, copy the readable bytes
// out, print, unmap, close. Any failed call ends the program through report_failure (abort).
// Status 0 when a whole message was printed; status 1, with a line on standard error, when the
// object was empty, its message had no terminating zero within the bytes that can be read, or
// the object shrank while it was read.
//
// The name goes as soon as the object is open, so that memreader only ever removes the object
// it reads: a writer that comes later makes a new object, which the next run reads, instead of
// writing into this one and being removed with it unread. Where the name cannot be removed
// (another user's object), the message is still printed first and the failure reported after.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "mapped_copy.h"
#include "report_failure.h"
#include "shm_message.h"
#include "visible_text.h"

namespace {

constexpr char kObjectName[] = "/shared";

// Prints the message in the copied bytes and says on standard error what was wrong with it,
// if anything. Returns the exit status.
int print_message(const char* bytes, std::size_t readable) {
    if (readable == 0) {
        std::fprintf(stderr, "memreader: \"%s\" is empty: there is no message to read\n",
                     kObjectName);
        return 1;
    }
    const Message message = find_message(bytes, readable);
    static char shown[kVisibleGrowth * kMappedBytes];
    const std::size_t length = visible_text(bytes, message.length, shown, stdout_is_terminal());
    std::printf("Read data from memory : %.*s \n", static_cast<int>(length), shown);
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
    const bool unlinked = shm_unlink(kObjectName) == 0;
    const int unlink_error = errno;

    struct stat object {};
    if (fstat(fd, &object) < 0) report_failure("reading the size of shared memory failed \n");

    void* mapped = mmap(nullptr, kMappedBytes, PROT_READ, MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED) report_failure("mapping failed ....! \n");

    // The bytes are copied out before anything looks at them, and the size is read again
    // afterwards: a writer that shrank the object in the meantime made the copy fault, or left
    // zeros in it where its bytes were.
    const std::size_t readable = readable_bytes(object.st_size);
    static char copy[kMappedBytes];
    const bool copied = copy_from_mapping(copy, mapped, readable);
    if (fstat(fd, &object) < 0) report_failure("reading the size of shared memory failed \n");
    int status = 1;
    if (copied && readable_bytes(object.st_size) >= readable) {
        status = print_message(copy, readable);
    } else {
        std::fprintf(stderr, "memreader: \"%s\" shrank while it was read: its message is lost\n",
                     kObjectName);
    }

    if (munmap(mapped, kMappedBytes) < 0) report_failure("Unmapping failed....! \n");
    if (!unlinked) {
        errno = unlink_error;
        report_failure("unlink failed \n");
    }
    if (close(fd) < 0) report_failure("closing shared memory session failed \n");
    return status;
}
