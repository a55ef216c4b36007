// threads: a process with a few threads that only sleep, to look at from inside the test guest:
// tasklister logs it once, as its main thread (pid equal to lwpid), while /proc/PID/task
// lists every thread.
//
//   threads [COUNT [SECONDS]]
// Starts COUNT threads (default 3) besides the main one, prints
// "threads: pid PID, thread ids TID..." once they all run, and ends after SECONDS (default
// 600) with status 0; 2 if the arguments are wrong or a thread cannot be started. Static, of
// the guest's architecture: the kernel test bed puts it in the guest's /bin (make vm).
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "count_arg.h"

namespace {

pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t started = PTHREAD_COND_INITIALIZER;
std::vector<long> thread_ids;

void* sleeper(void*) {
    pthread_mutex_lock(&lock);
    thread_ids.push_back(syscall(SYS_gettid));
    pthread_cond_signal(&started);
    pthread_mutex_unlock(&lock);
    for (;;) pause();
}

}  // namespace

int main(int argc, char** argv) {
    const long count = argc > 1 ? count_arg(argv[1], 100) : 3;
    const long seconds = argc > 2 ? count_arg(argv[2], 86400) : 600;
    if (argc > 3 || count == 0 || seconds == 0) {
        std::fprintf(stderr, "usage: threads [COUNT [SECONDS]]\n");
        return 2;
    }
    thread_ids.reserve(static_cast<size_t>(count));
    for (long i = 0; i < count; ++i) {
        pthread_t thread;
        const int error = pthread_create(&thread, nullptr, sleeper, nullptr);
        if (error != 0) {
            std::fprintf(stderr, "threads: pthread_create: %s\n", std::strerror(error));
            return 2;
        }
    }
    pthread_mutex_lock(&lock);
    while (thread_ids.size() < static_cast<size_t>(count)) pthread_cond_wait(&started, &lock);
    std::printf("threads: pid %ld, thread ids", static_cast<long>(getpid()));
    for (const long id : thread_ids) std::printf(" %ld", id);
    std::printf("\n");
    std::fflush(stdout);
    pthread_mutex_unlock(&lock);
    sleep(static_cast<unsigned>(seconds));
    return 0;
}
