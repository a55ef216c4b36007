// snoozer: a console alarm service with one thread per request.
//
// Run it with no arguments and type requests such as "5 tea": seconds, then a message of up to
// 64 characters. Each request gets a thread of its own that sleeps that long and prints
// " (5) tea", while the prompt "Alarm> " comes back at once, so any number of alarms can be
// pending together. End of input ends the program at once; pending alarms are dropped.
// Standard error carries "Bad command\n" for a line that is not a request. See also snoozefork,
// the same service with a child process per request.
#include <errno.h>
#include <pthread.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "alarm_request.h"
#include "line_read.h"
#include "output_check.h"
#include "report.h"

namespace {

constexpr int kLineLimit = 128;

// An alarm thread needs only a scan, a sleep and a print: a small stack, instead of the 8 MiB
// default, keeps ten thousand pending alarms well within a 32-bit address space. The
// sanitizers' runtimes want more room on every thread's stack.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr size_t kAlarmStackSize = 512 * 1024;
#else
constexpr size_t kAlarmStackSize = 64 * 1024;
#endif

constexpr char kWriteError[] = "snoozer: write error";

void prompt() {
    std::printf("Alarm> ");
    flush_output(stdout, kWriteError);
}

// One alarm: parses its own copy of the request line (and frees it), then sleeps and prints,
// or reports a bad command. A plain function at file scope, as pthread_create takes a function
// pointer and no closure: all the state an alarm has travels in its line, so the alarms share
// no state but the standard streams. Each alarm goes out in one print and one flush under the
// stream's lock, so alarms that fall due together never split one another's lines.
void* threadfunc(void* arg) {
    char* line = static_cast<char*>(arg);
    AlarmRequest request;
    const bool parsed = parse_alarm_request(line, request);
    std::free(line);
    if (!parsed) {
        report_text("Bad command\n");
    } else {
        sleep(static_cast<unsigned>(request.seconds));
        flockfile(stdout);
        std::printf(" (%d) %s\n", request.seconds, request.message);
        flush_output(stdout, kWriteError);
        funlockfile(stdout);
    }
    pthread_detach(pthread_self());
    return nullptr;
}

// Starts the alarm thread for one request line. A request that cannot get its thread is
// reported and dropped; the alarms already pending are unaffected.
void start_alarm(const char* line, const pthread_attr_t* attributes) {
    // The thread's own copy: the main thread reads the next line into `line` at once.
    char* copy = strdup(line);
    if (copy == nullptr) {
        report_error(ENOMEM, "thread creation failed\n");
        return;
    }
    pthread_t thread;
    const int error = pthread_create(&thread, attributes, threadfunc, copy);
    if (error != 0) {
        std::free(copy);
        report_error(error, "thread creation failed\n");
    }
}

}  // namespace

int main() {
    std::printf("in main, pid is : %d \n", getpid());

    pthread_attr_t attributes;
    int error = pthread_attr_init(&attributes);
    if (error == 0) error = pthread_attr_setstacksize(&attributes, kAlarmStackSize);
    if (error != 0) exit_with_error(error, "thread creation failed\n");

    char line[kLineLimit];
    for (;;) {
        prompt();
        if (!read_line(line, kLineLimit, stdin)) {
            // End the process at once, pending alarms and all. _exit, not exit: exit would
            // flush the streams without their locks while an alarm thread may be printing.
            // Status 1 if some output could not be written.
            _exit(output_status(kWriteError, 0));
        }
        if (std::strlen(line) <= 1) continue;
        start_alarm(line, &attributes);
    }
}
