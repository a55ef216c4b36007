// report_failure: the exact report line, naming the caller's file and line and the error that
// was current when the check failed, followed by an abort.
#include "report_failure.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <utility>

#include "process.h"

namespace {

struct Captured {
    std::string err;
    int status = -1;
};

// Runs `body` in a child process with its standard error on a pipe.
template <typename Body>
Captured in_child(Body body) {
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], 2);
        ::close(fds[0]);
        ::signal(SIGABRT, SIG_DFL);
        body();
        ::_exit(0);
    }
    ::close(fds[1]);
    Captured c;
    char chunk[512];
    ssize_t n;
    while ((n = ::read(fds[0], chunk, sizeof chunk)) > 0) c.err.append(chunk, n);
    ::close(fds[0]);
    ::waitpid(pid, &c.status, 0);
    c.err = osf::test::without_emulator_notes(std::move(c.err));
    return c;
}

[[noreturn]] void fail_to_bind() { errno = EADDRINUSE; report_failure("binding failed...! \n"); }
constexpr int kFailToBindLine = __LINE__ - 1;

TEST(ReportFailure, NamesTheCallSiteAndTheCurrentErrorThenAborts) {
    const Captured c = in_child([] { fail_to_bind(); });
    EXPECT_EQ(c.err, "binding failed...! \n at \"common/report_failure_test.cpp\":" +
                         std::to_string(kFailToBindLine) + ": Address already in use\n");
    EXPECT_TRUE(osf::test::killed_by(c.status, SIGABRT)) << osf::test::describe_status(c.status);
}

TEST(ReportFailure, KeepsTheErrorEvenWhenStdoutMustBeFlushedFirst) {
    const Captured c = in_child([] {
        // Pending output to a closed stdout makes the flush fail and set errno to EBADF.
        std::printf("pending");
        ::close(1);
        errno = ENOENT;
        report_failure("unlink failed \n");
    });
    EXPECT_NE(c.err.find(": No such file or directory\n"), std::string::npos) << c.err;
    EXPECT_TRUE(osf::test::killed_by(c.status, SIGABRT)) << osf::test::describe_status(c.status);
}

}  // namespace
