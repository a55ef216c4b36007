// snoozefork: a console alarm service with one child process per request.
//
// Run it with no arguments. A worker thread prompts "Alarm" and reads requests such as
// "3 tea": seconds, then a message of up to 64 characters. Each request is checked, then
// served by a child made with fork, which sleeps and prints "(3) tea \n" while the worker
// prompts again. "Bad command \n" on standard error answers a line that is not a request.
// End of input ends the program, but pending children carry on and still print. Children are
// reaped by the kernel as they end, so none lingers as a zombie. See also snoozer, the same
// service with a thread per request.
#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "alarm_request.h"
#include "line_read.h"
#include "output_check.h"
#include "report.h"

namespace {

// The worker's handle. File-scope state rather than a local of main: main ends through
// pthread_exit while the worker runs on, and a handle in main's frame would end with that
// frame; here it names the worker for as long as the worker runs.
pthread_t thr;

constexpr int kLineLimit = 120;
constexpr char kWriteError[] = "snoozefork: write error";

// The child's whole life: sleep, print, leave. _exit, so that nothing the worker had
// buffered is flushed a second time from here. Status 1 is this program's fixed status for
// an alarm child, not a failure report: the children are reaped by the kernel unwaited
// (SA_NOCLDWAIT, set in main), so nothing reads it.
[[noreturn]] void serve_alarm(const AlarmRequest& request) {
    sleep(static_cast<unsigned>(request.seconds));
    std::printf("(%d) %s \n", request.seconds, request.message);
    flush_output(stdout, kWriteError);  // an alarm that could not be shown is said once
    _exit(1);
}

// Checks one request line and forks its alarm. A bad line is reported once, here, and forks
// nothing.
void start_alarm(const char* line) {
    AlarmRequest request;
    if (!parse_alarm_request(line, request)) {
        report_text("Bad command \n");
        return;
    }
    // A child inherits unflushed output and would print it again.
    std::fflush(stdout);
    const pid_t child = fork();
    if (child < 0) {
        report_error(errno, "Fork failed \n");
        return;
    }
    if (child == 0) serve_alarm(request);
}

// The worker: prompts, reads and starts alarms until end of input, which ends the process.
void* thread_start(void*) {
    char line[kLineLimit];
    for (;;) {
        std::printf("Alarm");
        flush_output(stdout, kWriteError);
        if (!read_line(line, kLineLimit, stdin)) std::exit(output_status(kWriteError, 0));
        if (std::strlen(line) <= 1) continue;
        start_alarm(line);
    }
}

}  // namespace

int main() {
    // Ended children are reaped by the kernel instead of staying zombies.
    struct sigaction reap = {};
    reap.sa_handler = SIG_DFL;
    reap.sa_flags = SA_NOCLDWAIT;
    sigemptyset(&reap.sa_mask);
    if (sigaction(SIGCHLD, &reap, nullptr) != 0) report_error(errno, "sigaction");

    // The worker's first prompt waits on the stream's lock, so the creation notice comes
    // before it.
    flockfile(stdout);
    const int error = pthread_create(&thr, nullptr, thread_start, nullptr);
    if (error != 0) exit_with_error(error, "thread creation failed.. \n");
    std::puts("thread created succesfully.. ");
    flush_output(stdout, kWriteError);
    funlockfile(stdout);
    pthread_exit(nullptr);
}
