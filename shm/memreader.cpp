// memreader: takes the one message out of the POSIX shared-memory object "/shared", prints it
// and removes the object, so that each message is read once.
//
// Run it with no arguments after a writer (examples/shmwriter, its partner) has stored a
// zero-terminated line at the start of "/shared". In order: open the object for reading (it
// creates nothing: a missing object is no message), lock it, learn its size, map 8192 bytes
// read-only, copy the readable bytes out, print, unmap, remove the name, close. Any failed call
// ends the program through report_failure (abort). Status 0 when a whole message was printed;
// status 1, with a line on standard error, when there was no message, its message had no
// terminating zero within the bytes that can be read, the object shrank while it was read,
// "/shared" is not a shared-memory object at all, or the message could not be written out.
//
// The hand-over: a writer that takes part (shmwriter) holds an advisory lock (flock) on the
// object while it writes, and memreader holds it from before it learns the size until after it
// removed the name. So the reader never sees half a message, and a writer that waited for the
// lock finds the object's name gone (no link left) and makes a new object, which the next run
// reads. An object of size 0 holds no message yet (its writer may not have taken the lock yet):
// it is reported and left in place. The message is removed only once it is written out.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "mapped_copy.h"
#include "report.h"
#include "shm_message.h"
#include "visible_text.h"

namespace {

constexpr char kObjectName[] = "/shared";
constexpr char kObjectPath[] = "/dev/shm/shared";  // where the C library keeps it
constexpr unsigned kLockWaitSeconds = 5;           // the longest a writer may hold the lock

// The reports of open_locked when there is nothing to read: each returns -1, no descriptor.
int no_message() {
    std::fprintf(stderr, "memreader: \"%s\" is empty: there is no message to read\n", kObjectName);
    return -1;
}

// "/shared" that is not a shared-memory object (a FIFO, a directory, a link) is not ours to
// open or remove.
int not_ours(mode_t mode) {
    const char* kind = S_ISFIFO(mode)   ? "a FIFO"
                       : S_ISDIR(mode)  ? "a directory"
                       : S_ISLNK(mode)  ? "a symbolic link"
                       : S_ISSOCK(mode) ? "a socket"
                       : S_ISCHR(mode)  ? "a character device"
                       : S_ISBLK(mode)  ? "a block device"
                                        : "not a regular file";
    std::fprintf(stderr, "memreader: \"%s\" is %s, not a shared-memory object: left alone\n",
                 kObjectName, kind);
    return -1;
}

void wake(int /*signal*/) {}

// Takes the object's lock, waiting at most kLockWaitSeconds for a writer to finish. False if the
// writer held it longer.
bool lock_object(int fd) {
    struct sigaction waking = {};
    waking.sa_handler = wake;  // no SA_RESTART: the alarm ends the wait
    sigemptyset(&waking.sa_mask);
    sigaction(SIGALRM, &waking, nullptr);
    alarm(kLockWaitSeconds);
    const int locked = flock(fd, LOCK_EX);
    const int error = errno;
    alarm(0);
    if (locked == 0) return true;
    errno = error;
    if (error != EINTR) report_failure("locking shared memory failed \n");
    return false;
}

// Whether the name "/shared" still leads to `object`.
bool name_holds(const struct stat& object) {
    struct stat named = {};
    return stat(kObjectPath, &named) == 0 && named.st_dev == object.st_dev &&
           named.st_ino == object.st_ino;
}

// Prints the message in the copied bytes and says on standard error what was wrong with it,
// if anything. Returns the exit status; `output_error` is the output's error number if the
// message could not be written out, else 0.
int print_message(const char* bytes, std::size_t readable, int& output_error) {
    const Message message = find_message(bytes, readable);
    static char shown[kVisibleGrowth * kMappedBytes];
    const std::size_t length = visible_text(bytes, message.length, shown, stdout_is_terminal());
    std::printf("Read data from memory : %.*s \n", static_cast<int>(length), shown);
    // The message stands on the terminal before any remark about it or any later failure.
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        output_error = errno;
        return 1;
    }
    if (!message.terminated) {
        std::fprintf(stderr,
                     "memreader: the message in \"%s\" is not terminated: no zero byte in its "
                     "first %zu bytes\n",
                     kObjectName, readable);
        return 1;
    }
    return 0;
}

// The message could not be written out (the output's error in `error`): it stays for the next
// run, unless a newer object holds the name already.
void report_unwritten(int error, bool stays) {
    if (stays) {
        std::fprintf(stderr,
                     "memreader: the message could not be written out (%s): it stays in \"%s\" "
                     "for the next run\n",
                     std::strerror(error), kObjectName);
    } else {
        std::fprintf(stderr,
                     "memreader: the message could not be written out (%s), and a newer one "
                     "holds \"%s\": this one is lost\n",
                     std::strerror(error), kObjectName);
    }
}

// Opens "/shared" for reading and takes its lock. Returns the descriptor, with the object's
// status in `object`; or -1, after its report, when there is nothing to read (exit status 1).
int open_locked(struct stat& object) {
    // What is not a regular file is not even opened (a FIFO would block, a device act).
    if (lstat(kObjectPath, &object) == 0 && !S_ISREG(object.st_mode))
        return not_ours(object.st_mode);
    for (;;) {
        const int fd = shm_open(kObjectName, O_RDONLY | O_NONBLOCK, 0);
        if (fd < 0 && errno == ENOENT) return no_message();
        if (fd < 0) report_failure("shared memory is not opened \n");
        if (!lock_object(fd)) {
            std::fprintf(stderr,
                         "memreader: \"%s\" is held by its writer for too long: try again later\n",
                         kObjectName);
            return -1;
        }
        if (fstat(fd, &object) < 0) report_failure("reading the size of shared memory failed \n");
        if (!S_ISREG(object.st_mode)) return not_ours(object.st_mode);
        if (object.st_size == 0) return no_message();  // its writer has yet to write: left alone
        if (object.st_nlink > 0) return fd;
        close(fd);  // no link left: another reader took this message while we waited
    }
}

}  // namespace

int main() {
    struct stat object = {};
    const int fd = open_locked(object);
    if (fd < 0) return 1;

    // cppcheck-suppress constVariablePointer // munmap takes it as a plain void*
    void* mapped = mmap(nullptr, kMappedBytes, PROT_READ, MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED) report_failure("mapping failed ....! \n");

    // The bytes are copied out before anything looks at them, and the size is read again
    // afterwards: a writer that takes no part in the lock and shrank the object in the meantime
    // made the copy fault, or left zeros in it where its bytes were.
    const std::size_t readable = readable_bytes(object.st_size);
    static char copy[kMappedBytes];
    const bool copied = copy_from_mapping(copy, mapped, readable);
    if (fstat(fd, &object) < 0) report_failure("reading the size of shared memory failed \n");
    int status = 1;
    int output_error = 0;
    if (copied && readable_bytes(object.st_size) >= readable) {
        status = print_message(copy, readable, output_error);
    } else {
        std::fprintf(stderr, "memreader: \"%s\" shrank while it was read: its message is lost\n",
                     kObjectName);
    }

    if (munmap(mapped, kMappedBytes) < 0) report_failure("Unmapping failed....! \n");
    // Only the name of the object read goes, and only once its message is out.
    const bool ours = name_holds(object);
    if (output_error != 0) {
        report_unwritten(output_error, ours);
    } else if (ours && shm_unlink(kObjectName) < 0) {
        report_failure("unlink failed \n");
    }
    if (close(fd) < 0) report_failure("closing shared memory session failed \n");
    return status;
}
