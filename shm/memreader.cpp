// memreader: takes the one message out of the POSIX shared-memory object "/shared", prints it
// and removes the object, so that each message is read once.
//
// Run it with no arguments after a writer (examples/shmwriter, its partner) has stored a
// zero-terminated line at the start of "/shared". In order: open the object for reading (it
// creates nothing: a missing object is no message), lock it, learn its size, map 8192 bytes
// read-only, copy the message's pages out, print, unmap, remove the object, close. Any failed
// call ends the program through report_failure (abort). Status 0 when a whole message was
// printed; status 1, with a line on standard error, when there was no message, its message had
// no terminating zero within the bytes that can be read, the object shrank or could not be
// read, "/shared" is not a shared-memory object at all, or the message could not be written out.
//
// The hand-over: a writer of its own may hold an advisory lock (flock) on the object while it
// writes in place, and memreader holds it from before it learns the size until after it removed
// the object, so it never reads half of such a writer's message. The example writer needs no
// lock: it builds each message in an object of its own and moves it under the name whole. An
// object of size 0 holds no message yet: it is reported and left in place. The object is
// removed only once its message is out, and only if nothing was written into it since it was
// read; a message that could not be read or written out stays for the next run.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
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
constexpr int kLockWaitSeconds = 5;                // the longest a writer may hold the lock

// The reports of open_locked when there is nothing to read: each returns -1, no descriptor.
int no_message() {
    report_text("memreader: \"%s\" is empty: there is no message to read\n", kObjectName);
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
    report_text("memreader: \"%s\" is %s, not a shared-memory object: left alone\n", kObjectName,
                kind);
    return -1;
}

// Takes the object's lock, trying again every 10 ms while a writer holds it, for at most
// kLockWaitSeconds. A poll rather than a blocking lock broken by an alarm: no signal mask or
// disposition inherited from the parent can stretch the wait. False if the writer held it
// longer.
bool lock_object(int fd) {
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const time_t deadline = now.tv_sec + kLockWaitSeconds;
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            report_failure("locking shared memory failed \n");
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (now.tv_sec >= deadline) return false;
        const timespec pause = {0, 10 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    return true;
}

bool same_object(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether the name "/shared" still leads to `object`.
bool name_holds(const struct stat& object) {
    struct stat named = {};
    return lstat(kObjectPath, &named) == 0 && same_object(named, object);
}

// Whether the object open on `fd` still starts with the `length` bytes of `copy`.
bool still_holds(int fd, const char* copy, std::size_t length) {
    static char now[kMappedBytes];
    return pread(fd, now, length, 0) == static_cast<ssize_t>(length) &&
           std::memcmp(now, copy, length) == 0;
}

// Removes the object whose message was printed, unless a writer that takes no lock wrote into it
// after the copy was made. Its name first moves to a private one, so that no writer opens the
// object by name any more; then an object that still holds the copied bytes is removed, while
// one that changed, or a newer object that had taken the name meanwhile, gets the name back for
// the next run. Signals wait until the name is settled, so none leaves it under the private one.
void take_away(int fd, const struct stat& object, const char* copy, std::size_t length) {
    if (!name_holds(object)) return;  // a newer object holds the name, or none does
    char moved[64];
    std::snprintf(moved, sizeof moved, "/dev/shm/.shared.memreader.%d", static_cast<int>(getpid()));
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &previous);
    if (rename(kObjectPath, moved) == 0) {
        struct stat now = {};
        if (lstat(moved, &now) == 0 && same_object(now, object) && now.st_size == object.st_size &&
            still_holds(fd, copy, length)) {
            if (unlink(moved) < 0) report_failure("unlink failed \n");
        } else if (renameat2(AT_FDCWD, moved, AT_FDCWD, kObjectPath, RENAME_NOREPLACE) < 0) {
            // Yet another object took the name meanwhile: the newest message stands, as when
            // one writer replaces another's unread message.
            unlink(moved);
        }
    } else if (errno != ENOENT) {
        // Another user's object in the sticky /dev/shm: reported as shm_unlink reports it.
        if (errno == EPERM) errno = EACCES;
        report_failure("unlink failed \n");
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
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
        report_text(
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
        report_text(
            "memreader: the message could not be written out (%s): it stays in \"%s\" "
            "for the next run\n",
            std::strerror(error), kObjectName);
    } else {
        report_text(
            "memreader: the message could not be written out (%s), and a newer one "
            "holds \"%s\": this one is lost\n",
            std::strerror(error), kObjectName);
    }
}

// A page of the object that did not shrink could not be read: tmpfs had no room to bring in a
// page that was never written (a full /dev/shm), or no memory for it.
void report_unreadable(int fd) {
    struct statvfs space = {};
    const int error = fstatvfs(fd, &space) == 0 && space.f_bavail == 0 ? ENOSPC : ENOMEM;
    report_text("memreader: \"%s\" could not be read (%s): it stays for the next run\n",
                kObjectName, std::strerror(error));
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
            report_text("memreader: \"%s\" is held by its writer for too long: try again later\n",
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

    // The message's pages are copied out before anything looks at them, and the size is read
    // again afterwards: a writer that takes no part in the lock and shrank the object in the
    // meantime made the copy fault, or left zeros in it where its bytes were.
    const std::size_t readable = readable_bytes(object.st_size);
    const off_t size_read = object.st_size;
    static char copy[kMappedBytes];
    const PageCopy copied = copy_message_pages(copy, mapped, readable);
    if (fstat(fd, &object) < 0) report_failure("reading the size of shared memory failed \n");
    int status = 1;
    int output_error = 0;
    bool printed = false;
    // Unfaulted, the message (its zero byte included) must lie within the object as it is now:
    // a zero past its end is a zero that shrinking left.
    const Message message = find_message(copy, copied.length);
    const std::size_t needed = message.terminated ? message.length + 1 : copied.length;
    if (copied.faulted ? object.st_size < size_read : readable_bytes(object.st_size) < needed) {
        // Its writer is rewriting it: the object stays, with whatever that writer leaves.
        report_text("memreader: \"%s\" shrank while it was read: its message is lost\n",
                    kObjectName);
    } else if (copied.faulted) {
        report_unreadable(fd);
    } else {
        status = print_message(copy, copied.length, output_error);
        printed = output_error == 0;
    }

    if (munmap(mapped, kMappedBytes) < 0) report_failure("Unmapping failed....! \n");
    // Only the object read goes, and only once its message is out.
    if (output_error != 0) report_unwritten(output_error, name_holds(object));
    if (printed) take_away(fd, object, copy, copied.length);
    if (close(fd) < 0) report_failure("closing shared memory session failed \n");
    return status;
}
