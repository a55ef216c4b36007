// inject: a library that tests preload (LD_PRELOAD) into a program under test, to make chosen
// library calls fail or to stop the program right after a chosen call. Failure paths and race
// windows are then reached deterministically, at the call itself, whatever the host: natively
// or under an emulator, with or without a sanitizer, and without process limits that an
// emulator would trip over first. The harness builds the environment (inject_env in host.h).
//
//   OSF_FAIL=<call>:<n>[-<m>][,<call>:<n>[-<m>]...]
//       calls n to m of <call> (counted from 1 in the process) fail with EAGAIN, without
//       doing anything: pthread_create returns the error, fork returns -1 with errno set.
//   OSF_STOP_AFTER=<call>[:<n>]
//       once call n (the first if none is named) of <call> has returned, the program stops
//       itself with SIGSTOP; the test does what it wants in that window and resumes it with
//       SIGCONT.
//
// Calls that can fail: pthread_create, fork. Stop points: fstat, posix_fallocate.
//
// Only the program's own calls pass through here; the C library's internal uses of the same
// functions do not. A call not named in either variable goes straight to the real function.
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Whether `list` (the value of OSF_FAIL) names call number `n` of `call`.
bool listed(const char* list, const char* call, unsigned long n) {
    const std::size_t length = std::strlen(call);
    for (const char* at = list; at != nullptr && *at != '\0';) {
        const char* next = std::strchr(at, ',');
        if (std::strncmp(at, call, length) == 0 && at[length] == ':') {
            char* end = nullptr;
            const unsigned long first = std::strtoul(at + length + 1, &end, 10);
            unsigned long last = first;
            if (*end == '-') last = std::strtoul(end + 1, &end, 10);
            if (n >= first && n <= last) return true;
        }
        at = next != nullptr ? next + 1 : nullptr;
    }
    return false;
}

// Counts a call of `call` and tells whether this one is to fail.
bool should_fail(const char* call, std::atomic<unsigned long>& calls) {
    const unsigned long n = ++calls;
    const char* list = std::getenv("OSF_FAIL");
    return list != nullptr && listed(list, call, n);
}

// Counts a call of `call` and stops the process after it if OSF_STOP_AFTER names this call.
void stop_after(const char* call, std::atomic<unsigned long>& calls) {
    const unsigned long n = ++calls;
    const char* name = std::getenv("OSF_STOP_AFTER");
    const std::size_t length = std::strlen(call);
    if (name == nullptr || std::strncmp(name, call, length) != 0) return;
    if (name[length] == '\0'
            ? n != 1
            : name[length] != ':' || std::strtoul(name + length + 1, nullptr, 10) != n)
        return;
    const int saved = errno;
    ::raise(SIGSTOP);
    // cppcheck-suppress unreachableCode // raise(SIGSTOP) returns when the test resumes us
    errno = saved;
}

std::atomic<unsigned long> fstat_calls{0};
std::atomic<unsigned long> fallocate_calls{0};

// The next definition of `name` after this library: the C library's (or a sanitizer's).
template <typename Function>
Function real(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

// The C library's declarations name their parameters in its reserved style (__fd): ours stand
// in for them with names of our own.
// NOLINTBEGIN(readability-inconsistent-declaration-parameter-name)
extern "C" {

int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*),
                   void* argument) {
    static std::atomic<unsigned long> calls{0};
    if (should_fail("pthread_create", calls)) return EAGAIN;
    static const auto next = real<decltype(&pthread_create)>("pthread_create");
    return next(thread, attributes, start, argument);
}

pid_t fork() {
    static std::atomic<unsigned long> calls{0};
    if (should_fail("fork", calls)) {
        errno = EAGAIN;
        return -1;
    }
    static const auto next = real<decltype(&fork)>("fork");
    return next();
}

// fstat and fstat64 are one stop point, "fstat": a 32-bit program built with a 64-bit off_t
// calls the second under the first one's name. (A stop point must be a call that the
// sanitizers' runtimes do not make through the library themselves: mmap is one they do.)
int fstat(int fd, struct stat* status) {
    static const auto next = real<decltype(&fstat)>("fstat");
    const int result = next(fd, status);
    stop_after("fstat", fstat_calls);
    return result;
}

int fstat64(int fd, struct stat64* status) {
    static const auto next = real<decltype(&fstat64)>("fstat64");
    const int result = next(fd, status);
    stop_after("fstat", fstat_calls);
    return result;
}

// posix_fallocate and posix_fallocate64 likewise, as "posix_fallocate".
int posix_fallocate(int fd, off_t offset, off_t length) {
    static const auto next = real<decltype(&posix_fallocate)>("posix_fallocate");
    const int result = next(fd, offset, length);
    stop_after("posix_fallocate", fallocate_calls);
    return result;
}

int posix_fallocate64(int fd, off64_t offset, off64_t length) {
    static const auto next = real<decltype(&posix_fallocate64)>("posix_fallocate64");
    const int result = next(fd, offset, length);
    stop_after("posix_fallocate", fallocate_calls);
    return result;
}

}  // extern "C"
// NOLINTEND(readability-inconsistent-declaration-parameter-name)
