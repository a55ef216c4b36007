// report_failure: the exact report line, naming the caller's file and line and the error that
// was current when the check failed, followed by an abort; report_error and exit_with_error:
// perror's line for an error number given.
#include "report.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "process.h"

namespace {

using osf::test::describe_status;
using osf::test::exited_with;
using osf::test::killed_by;
using osf::test::run_function;

TEST(ReportFailure, NamesTheCallSiteAndTheCurrentErrorThenAborts) {
    const auto r = run_function([] {
        errno = EADDRINUSE;
        report_failure("binding failed...! \n");
    });
    EXPECT_EQ(
        osf::test::failure_report_mismatch(r.err, "binding failed...! \n", "common/report_test.cpp",
                                           "Address already in use"),
        "");
    EXPECT_TRUE(killed_by(r.status, SIGABRT)) << describe_status(r.status);
}

TEST(ReportFailure, KeepsTheErrorEvenWhenStdoutMustBeFlushedFirst) {
    const auto r = run_function([] {
        // Pending output to a closed stdout makes the flush fail and set errno to EBADF.
        std::printf("pending");
        ::close(1);
        errno = ENOENT;
        report_failure("unlink failed \n");
    });
    EXPECT_NE(r.err.find(": No such file or directory\n"), std::string::npos) << r.err;
    EXPECT_TRUE(killed_by(r.status, SIGABRT)) << describe_status(r.status);
}

TEST(ReportError, WritesPerrorsLineForTheErrorGiven) {
    const auto reported = run_function([] {
        errno = 0;
        report_error(EAGAIN, "thread creation failed\n");
    });
    EXPECT_EQ(reported.err, "thread creation failed\n: Resource temporarily unavailable\n");
    EXPECT_TRUE(exited_with(reported.status, 0)) << describe_status(reported.status);
    const auto ended = run_function([] { exit_with_error(ENOENT, "shmwriter: shm_open"); });
    EXPECT_EQ(ended.err, "shmwriter: shm_open: No such file or directory\n");
    EXPECT_TRUE(exited_with(ended.status, 1)) << describe_status(ended.status);
}

}  // namespace
