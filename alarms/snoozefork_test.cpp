// snoozefork end to end, what only it does (what it shares with snoozer is in
// alarm_service_test.cpp): alarms outlive the end of input, children are reaped, failed worker
// creation and failed forks. The real program through pipes, texts compared byte for byte.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "alarm_test_util.h"
#include "process.h"

namespace {

using namespace std::chrono_literals;
using alarms::test::erase_all;
using alarms::test::finish;
using alarms::test::start;
using osf::test::Child;
using osf::test::describe_status;
using osf::test::exited_with;
using osf::test::spawn;

const alarms::test::AlarmService kSnoozefork = alarms::test::snoozefork_service(SNOOZEFORK_PATH);
const std::string kPrompt = kSnoozefork.prompt;

// By its output: the program ends before its alarm, which its child prints all the same (a
// host slower than the alarm's seconds can print it first: tried again with a longer one).
TEST(Snoozefork, PendingAlarmsOutliveTheEndOfInput) {
    alarms::test::retry_with_longer_alarms(2, [](int seconds) {
        Child snoozefork = start(kSnoozefork);
        snoozefork.write(std::to_string(seconds) + " tea\n");
        snoozefork.read_until(snoozefork.out, kPrompt);
        snoozefork.close_input();
        EXPECT_TRUE(exited_with(snoozefork.wait(), 0)) << describe_status(snoozefork.status);
        if (!snoozefork.read_for(snoozefork.out, 0ms).empty()) return false;
        EXPECT_EQ(snoozefork.read_to_eof(snoozefork.out), kSnoozefork.alarm(seconds, "tea"));
        EXPECT_EQ(snoozefork.read_to_eof(snoozefork.err), "");
        return true;
    });
}

TEST(Snoozefork, ChildrenThatHavePrintedAreReaped) {
    Child snoozefork = start(kSnoozefork);
    snoozefork.write("0 a\n0 b\n0 c\n1 d\n");
    std::string seen;
    ASSERT_TRUE(alarms::test::read_until_count(snoozefork, seen, " \n", 4, 10s)) << seen;
    // A child may still be on its way out just after its print; a zombie stays for good (the
    // ten seconds only stop a hung test).
    std::vector<std::string> children;
    osf::test::eventually([&] {
        children = alarms::test::children_of(snoozefork.pid);
        return children.empty();
    });
    EXPECT_TRUE(children.empty()) << "children left (pid state): " << children.front();
    EXPECT_EQ(finish(snoozefork), "");
}

TEST(Snoozefork, AFailedWorkerCreationEndsWithStatusOne) {
    osf::test::SpawnOptions options;
    options.env = osf::test::inject_env("pthread_create:1");
    Child snoozefork = spawn({SNOOZEFORK_PATH}, options);
    EXPECT_EQ(snoozefork.read_to_eof(snoozefork.out), "");
    EXPECT_EQ(snoozefork.read_to_eof(snoozefork.err),
              "thread creation failed.. \n: Resource temporarily unavailable\n");
    EXPECT_TRUE(exited_with(snoozefork.wait(), 1)) << describe_status(snoozefork.status);
}

// A failed fork (the first one fails at the call) is reported and the worker goes on with
// the next line.
TEST(Snoozefork, AFailedForkIsReportedAndTheWorkerGoesOn) {
    osf::test::SpawnOptions options;
    options.env = osf::test::inject_env("fork:1");
    Child snoozefork = start(kSnoozefork, options);
    snoozefork.write("1 tea\n");
    EXPECT_EQ(snoozefork.read_until(snoozefork.err, "\n", 5s), "Fork failed \n");
    EXPECT_EQ(snoozefork.read_until(snoozefork.err, "\n", 5s),
              ": Resource temporarily unavailable\n");
    EXPECT_EQ(snoozefork.read_until(snoozefork.out, kPrompt), kPrompt);
    snoozefork.write("tea\n");  // a bad line is still told apart, before any fork
    EXPECT_EQ(snoozefork.read_until(snoozefork.err, "\n", 5s), "Bad command \n");
    EXPECT_EQ(snoozefork.read_until(snoozefork.out, kPrompt), kPrompt);
    snoozefork.write("0 coffee\n");  // the next fork succeeds
    const std::string seen = snoozefork.read_until(snoozefork.out, "(0) coffee \n");
    EXPECT_EQ(erase_all(seen + finish(snoozefork), kPrompt), "(0) coffee \n");
    EXPECT_EQ(snoozefork.read_to_eof(snoozefork.err), "");
}

}  // namespace
