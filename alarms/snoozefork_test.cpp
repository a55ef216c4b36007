// snoozefork end to end: the real program through pipes (and a pseudo-terminal), requests typed
// as a person would, alarms printed by its children, reports compared byte for byte.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "alarm_test_util.h"
#include "process.h"

namespace {

using namespace std::chrono_literals;
using alarms::test::count;
using alarms::test::erase_all;
using osf::test::Child;
using osf::test::describe_status;
using osf::test::exited_with;
using osf::test::spawn;

constexpr char kNotice[] = "thread created succesfully.. \n";
constexpr char kPrompt[] = "Alarm";

Child start(const osf::test::SpawnOptions& options = {}) {
    Child snoozefork = spawn({SNOOZEFORK_PATH}, options);
    EXPECT_EQ(snoozefork.read_until(snoozefork.out, kPrompt), std::string(kNotice) + kPrompt);
    return snoozefork;
}

// Ends the worker with end of input; returns the rest of the output, up to the moment the last
// child has gone too.
std::string finish(Child& snoozefork) {
    snoozefork.close_input();
    EXPECT_TRUE(exited_with(snoozefork.wait(), 0)) << describe_status(snoozefork.status);
    return snoozefork.read_to_eof(snoozefork.out);
}

TEST(Snoozefork, ThePromptComesBackBeforeTheAlarm) {
    Child snoozefork = start();
    snoozefork.write("1 tea\n");
    EXPECT_EQ(snoozefork.read_until(snoozefork.out, kPrompt), kPrompt);  // not "(1) tea" first
    EXPECT_EQ(snoozefork.read_until(snoozefork.out, "\n"), "(1) tea \n");
    EXPECT_EQ(finish(snoozefork), "");
    EXPECT_EQ(snoozefork.read_to_eof(snoozefork.err), "");
}

TEST(Snoozefork, AlarmsTypedTogetherPrintInDueOrder) {
    Child snoozefork = start();
    snoozefork.write("2 later\n0 now\n1 soon\n");
    const std::string seen = snoozefork.read_until(snoozefork.out, "(2) later \n");
    EXPECT_EQ(count(seen, kPrompt), 3u) << seen;
    EXPECT_EQ(erase_all(seen, kPrompt), "(0) now \n(1) soon \n(2) later \n");
    EXPECT_EQ(finish(snoozefork), "");
}

struct Case {
    std::string input;
    std::string alarm;   // on standard output
    std::string report;  // on standard error
};

// Each line, then a one-second sentinel: what the line printed shows before the sentinel. A
// bad line is reported once and makes no child.
TEST(Snoozefork, RequestsAndBadCommands) {
    const std::string bad = "Bad command \n";
    const Case cases[] = {
        {"0 now\n", "(0) now \n", ""},
        {"0hello\n", "(0) hello \n", ""},
        {"  +0 \t spaced  out \n", "(0) spaced  out  \n", ""},
        {"0 " + std::string(100, 'm') + "\n", "(0) " + std::string(64, 'm') + " \n", ""},
        {"\n", "", ""},  // a bare newline: only a new prompt
        {"5\n", "", bad},
        {"5   \n", "", bad},
        {"hello\n", "", bad},
        {"-3 never\n", "", bad},
        {"4294967297 wraps\n", "", bad},
        // Beyond 119 characters the rest of the line is read as a line of its own.
        {"0 " + std::string(200, 'x') + "\n", "(0) " + std::string(64, 'x') + " \n", bad},
    };
    std::vector<Child> programs;
    for (const Case& c : cases) {
        programs.push_back(start());
        programs.back().write(c.input + "1 end\n");
    }
    for (size_t i = 0; i < programs.size(); ++i) {
        Child& snoozefork = programs[i];
        const Case& c = cases[i];
        SCOPED_TRACE("input \"" + c.input + "\"");
        std::string out = snoozefork.read_until(snoozefork.out, "(1) end \n");
        out += finish(snoozefork);
        const size_t lines = c.input.size() > 120 ? 2 : 1;
        EXPECT_EQ(count(out, kPrompt), lines + 1);  // one after each line read
        EXPECT_EQ(erase_all(out, kPrompt), c.alarm + "(1) end \n");
        EXPECT_EQ(snoozefork.read_to_eof(snoozefork.err), c.report);
    }
}

TEST(Snoozefork, PendingAlarmsOutliveTheEndOfInput) {
    Child snoozefork = start();
    snoozefork.write("2 tea\n");
    snoozefork.read_until(snoozefork.out, kPrompt);
    snoozefork.close_input();
    EXPECT_TRUE(exited_with(snoozefork.wait(), 0)) << describe_status(snoozefork.status);
    // The program ended before its alarm fell due; its child prints it all the same.
    EXPECT_EQ(snoozefork.read_for(snoozefork.out, 0ms), "");
    EXPECT_EQ(snoozefork.read_to_eof(snoozefork.out), "(2) tea \n");
    EXPECT_EQ(snoozefork.read_to_eof(snoozefork.err), "");
}

TEST(Snoozefork, ChildrenThatHavePrintedAreReaped) {
    Child snoozefork = start();
    snoozefork.write("0 a\n0 b\n0 c\n1 d\n");
    std::string seen;
    ASSERT_TRUE(alarms::test::read_until_count(snoozefork, seen, " \n", 4, 10s)) << seen;
    // A child may still be on its way out just after its print; a zombie stays for good.
    std::vector<std::string> children = alarms::test::children_of(snoozefork.pid);
    for (int i = 0; i < 100 && !children.empty(); ++i) {
        std::this_thread::sleep_for(20ms);
        children = alarms::test::children_of(snoozefork.pid);
    }
    EXPECT_TRUE(children.empty()) << "children left (pid state): " << children.front();
    EXPECT_EQ(finish(snoozefork), "");
}

TEST(Snoozefork, OnATerminalPromptsAndAlarmsShowAtOnce) {
    osf::test::SpawnOptions terminal;
    terminal.pty = true;
    Child snoozefork = start(terminal);
    snoozefork.write("0 on the terminal\n");
    const std::string seen = snoozefork.read_until(snoozefork.out, "(0) on the terminal \n");
    snoozefork.write("\n");
    EXPECT_EQ(count(seen + snoozefork.read_until(snoozefork.out, kPrompt), kPrompt), 2u);
    snoozefork.close_input();  // Ctrl-D
    EXPECT_TRUE(exited_with(snoozefork.wait(), 0)) << describe_status(snoozefork.status);
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
    Child snoozefork = start(options);
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

TEST(Snoozefork, IsBuiltForX86_64) {
    EXPECT_EQ(osf::test::elf_kind(SNOOZEFORK_PATH), "ELF64 x86-64");
}

}  // namespace
