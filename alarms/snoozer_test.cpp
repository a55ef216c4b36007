// snoozer end to end: the real program through pipes (and a pseudo-terminal), requests typed
// as a person would, alarms and reports compared byte for byte.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <set>
#include <string>
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

constexpr char kPrompt[] = "Alarm> ";

std::string greeting(const Child& snoozer) {
    return "in main, pid is : " + std::to_string(snoozer.pid) + " \n";
}

Child start() {
    Child snoozer = spawn({SNOOZER_PATH});
    EXPECT_EQ(snoozer.read_until(snoozer.out, kPrompt), greeting(snoozer) + kPrompt);
    return snoozer;
}

// Ends the program with end of input and returns the rest of its output.
std::string finish(Child& snoozer) {
    snoozer.close_input();
    EXPECT_TRUE(exited_with(snoozer.wait(), 0)) << describe_status(snoozer.status);
    return snoozer.read_to_eof(snoozer.out);
}

TEST(Snoozer, ThePromptComesBackBeforeTheAlarm) {
    Child snoozer = start();
    snoozer.write("1 tea\n");
    EXPECT_EQ(snoozer.read_until(snoozer.out, kPrompt), kPrompt);  // not " (1) tea" first
    EXPECT_EQ(snoozer.read_until(snoozer.out, "\n"), " (1) tea\n");
    EXPECT_EQ(finish(snoozer), "");
    EXPECT_EQ(snoozer.read_to_eof(snoozer.err), "");
}

TEST(Snoozer, AlarmsTypedTogetherPrintInDueOrder) {
    Child snoozer = start();
    snoozer.write("2 later\n0 now\n1 soon\n");
    const std::string seen = snoozer.read_until(snoozer.out, " (2) later\n");
    EXPECT_EQ(count(seen, kPrompt), 3u) << seen;
    EXPECT_EQ(erase_all(seen, kPrompt), " (0) now\n (1) soon\n (2) later\n");
    EXPECT_EQ(finish(snoozer), "");
}

// Each line, then a one-second sentinel: what the line printed shows before the sentinel.
struct Case {
    std::string input;
    std::string alarm;   // on standard output
    std::string report;  // on standard error
};

TEST(Snoozer, RequestsAndBadCommands) {
    const std::string bad = "Bad command\n";
    const Case cases[] = {
        {"0 now\n", " (0) now\n", ""},
        {"0hello\n", " (0) hello\n", ""},
        {"  +0 \t spaced  out \n", " (0) spaced  out \n", ""},
        {"0 " + std::string(100, 'm') + "\n", " (0) " + std::string(64, 'm') + "\n", ""},
        {"\n", "", ""},  // a bare newline: only a new prompt
        {"5\n", "", bad},
        {"5   \n", "", bad},
        {"hello\n", "", bad},
        {"-3 never\n", "", bad},
        {"4294967297 wraps\n", "", bad},
        // Beyond 127 characters the rest of the line is read as a line of its own.
        {"0 " + std::string(200, 'x') + "\n", " (0) " + std::string(64, 'x') + "\n", bad},
    };
    // All at once, so that the sentinels' second passes only once.
    std::vector<Child> programs;
    for (const Case& c : cases) {
        programs.push_back(start());
        programs.back().write(c.input + "1 end\n");
    }
    for (size_t i = 0; i < programs.size(); ++i) {
        Child& snoozer = programs[i];
        const Case& c = cases[i];
        SCOPED_TRACE("input \"" + c.input + "\"");
        std::string out = snoozer.read_until(snoozer.out, " (1) end\n");
        EXPECT_EQ(snoozer.read_until(snoozer.err, c.report, 100ms), c.report);
        out += finish(snoozer);
        const size_t lines = c.input.size() > 128 ? 2 : 1;
        EXPECT_EQ(count(out, kPrompt), lines + 1);  // one after each line read
        EXPECT_EQ(erase_all(out, kPrompt), c.alarm + " (1) end\n");
        EXPECT_EQ(snoozer.read_to_eof(snoozer.err), "") << "reported more than once";
    }
}

TEST(Snoozer, EndOfInputEndsAtOnceDroppingPendingAlarms) {
    Child snoozer = start();
    snoozer.write("5 never shown\n");
    snoozer.read_until(snoozer.out, kPrompt);
    snoozer.close_input();
    // Generous, but well short of the pending alarm's five seconds.
    EXPECT_TRUE(exited_with(snoozer.wait(3s), 0)) << describe_status(snoozer.status);
    EXPECT_EQ(snoozer.read_to_eof(snoozer.out), "");
    EXPECT_EQ(snoozer.read_to_eof(snoozer.err), "");
}

TEST(Snoozer, OnATerminalPromptsAndAlarmsShowAtOnce) {
    osf::test::SpawnOptions terminal;
    terminal.pty = true;
    Child snoozer = spawn({SNOOZER_PATH}, terminal);
    EXPECT_EQ(snoozer.read_until(snoozer.out, kPrompt), greeting(snoozer) + kPrompt);
    snoozer.write("0 on the terminal\n");
    const std::string seen = snoozer.read_until(snoozer.out, " (0) on the terminal\n");
    snoozer.write("\n");
    EXPECT_EQ(count(seen + snoozer.read_until(snoozer.out, kPrompt), kPrompt), 2u);
    snoozer.close_input();  // Ctrl-D
    EXPECT_TRUE(exited_with(snoozer.wait(), 0)) << describe_status(snoozer.status);
}

// Thousands of alarms pending at once (each with its own thread) all print. The sanitizers'
// runtimes are too heavy per thread for the full count.
TEST(Snoozer, ThousandsOfPendingAlarmsAllPrint) {
    const size_t alarms = alarms::test::kSanitized ? 500 : 5000;
    Child snoozer = start();
    const auto started = std::chrono::steady_clock::now();
    std::string seen;
    std::string batch;
    for (size_t i = 0; i < alarms; ++i) {
        batch += "2 a" + std::to_string(i) + "\n";
        if (batch.size() > 2000 || i + 1 == alarms) {
            snoozer.write(batch);
            batch.clear();
            seen += snoozer.read_for(snoozer.out, 0ms);  // keep the output pipe from filling
        }
    }
    ASSERT_TRUE(alarms::test::read_until_count(snoozer, seen, kPrompt, alarms, 30s))
        << count(seen, kPrompt) << " prompts came back for " << alarms << " requests";
    // Two seconds after the first request none can have printed: all are pending together.
    const long threads = alarms::test::status_field(snoozer.pid, "Threads");
    if (std::chrono::steady_clock::now() - started < std::chrono::milliseconds(1900)) {
        EXPECT_GE(threads, static_cast<long>(alarms) + 1);  // (a sanitizer may add its own)
    } else {
        std::cout << "note: the requests took too long to check that all were pending at once\n";
    }
    ASSERT_TRUE(alarms::test::read_until_count(snoozer, seen, "\n", alarms, 30s))
        << count(seen, "\n") << " of " << alarms << " alarms printed";
    seen += finish(snoozer);
    EXPECT_EQ(snoozer.read_to_eof(snoozer.err), "");

    std::set<std::string> printed;
    const std::string lines = erase_all(seen, kPrompt);
    for (size_t at = 0, end; (end = lines.find('\n', at)) != std::string::npos; at = end + 1)
        printed.insert(lines.substr(at, end - at));
    EXPECT_EQ(printed.size(), alarms);
    EXPECT_TRUE(printed.count(" (2) a0") && printed.count(" (2) a" + std::to_string(alarms - 1)));
}

// A request whose thread cannot be made is reported and dropped; the program and the alarms
// already pending carry on, and later requests get their threads again. The third to fifth
// thread creations fail at the call itself.
TEST(Snoozer, AFailedThreadCreationDropsOnlyThatRequest) {
    osf::test::SpawnOptions options;
    options.env = osf::test::inject_env("pthread_create:3-5");
    Child snoozer = spawn({SNOOZER_PATH}, options);
    EXPECT_EQ(snoozer.read_until(snoozer.out, kPrompt), greeting(snoozer) + kPrompt);
    const std::string failure = "thread creation failed\n: Resource temporarily unavailable\n";
    std::string seen;
    for (int i = 1; i <= 6; ++i) {
        snoozer.write("1 r" + std::to_string(i) + "\n");
        // Each failure is reported before the next prompt.
        seen += snoozer.read_until(snoozer.out, kPrompt);
        const std::string reported = snoozer.read_for(snoozer.err, 10ms);
        EXPECT_EQ(reported, i >= 3 && i <= 5 ? failure : "") << "request " << i;
    }
    // Once the alarms are due, the requests that got their threads print (in any order).
    seen = erase_all(seen, kPrompt);
    ASSERT_TRUE(alarms::test::read_until_count(snoozer, seen, "\n", 3, 10s)) << seen;
    std::set<std::string> printed;
    for (size_t at = 0, end; (end = seen.find('\n', at)) != std::string::npos; at = end + 1)
        printed.insert(seen.substr(at, end - at));
    EXPECT_EQ(printed, (std::set<std::string>{" (1) r1", " (1) r2", " (1) r6"}));

    snoozer.write("0 after\n");  // the alarm and the next prompt may come in either order
    const std::string after = snoozer.read_until(snoozer.out, " (0) after\n");
    EXPECT_EQ(erase_all(after + finish(snoozer), kPrompt), " (0) after\n");
    EXPECT_EQ(snoozer.read_to_eof(snoozer.err), "");
}

TEST(Snoozer, IsBuiltForItsArchitecture) {
    EXPECT_EQ(osf::test::elf_kind(SNOOZER_PATH), EXPECTED_KIND);
}

}  // namespace
