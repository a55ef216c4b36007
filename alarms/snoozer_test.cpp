// snoozer end to end, what only it does (what it shares with snoozefork is in
// alarm_service_test.cpp): end of input drops pending alarms, thousands of alarm threads at
// once, a failed thread creation. The real program through pipes, texts compared byte for byte.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>

#include "alarm_test_util.h"
#include "process.h"

namespace {

using namespace std::chrono_literals;
using alarms::test::count;
using alarms::test::erase_all;
using alarms::test::finish;
using alarms::test::start;
using osf::test::Child;
using osf::test::describe_status;
using osf::test::exited_with;

const alarms::test::AlarmService kSnoozer = alarms::test::snoozer_service(SNOOZER_PATH);
const std::string kPrompt = kSnoozer.prompt;

// The lines of `text` (each without its newline), as a set.
std::set<std::string> lines_of(const std::string& text) {
    std::set<std::string> lines;
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        lines.insert(text.substr(at, end - at));
    return lines;
}

// By its output: the program ends without the alarm (a host slower than the alarm's seconds
// can print it on the way out: tried again with a longer one).
TEST(Snoozer, EndOfInputEndsAtOnceDroppingPendingAlarms) {
    alarms::test::retry_with_longer_alarms(2, [](int seconds) {
        Child snoozer = start(kSnoozer);
        snoozer.write(std::to_string(seconds) + " never shown\n");
        snoozer.read_until(snoozer.out, kPrompt);
        snoozer.close_input();
        EXPECT_TRUE(exited_with(snoozer.wait(), 0)) << describe_status(snoozer.status);
        const std::string out = snoozer.read_to_eof(snoozer.out);
        if (out == kSnoozer.alarm(seconds, "never shown")) return false;
        EXPECT_EQ(out, "");
        EXPECT_EQ(snoozer.read_to_eof(snoozer.err), "");
        return true;
    });
}

// Thousands of alarms pending at once, each with its own thread, all print. They are pending
// together when the program has taken the last request before the first alarm falls due, and
// its own output shows whether it did: no alarm comes before the last prompt. The sanitizers'
// runtimes are too heavy per thread for the full count.
TEST(Snoozer, ThousandsOfPendingAlarmsAllPrint) {
    const size_t alarms = alarms::test::kSanitized ? 500 : 5000;
    alarms::test::retry_with_longer_alarms(2, [&](int seconds) {
        Child snoozer = start(kSnoozer);
        std::string seen;
        std::string batch;
        for (size_t i = 0; i < alarms; ++i) {
            batch += std::to_string(seconds) + " a" + std::to_string(i) + "\n";
            if (batch.size() > 2000 || i + 1 == alarms) {
                snoozer.write(batch);
                batch.clear();
                seen += snoozer.read_for(snoozer.out, 0ms);  // keep the output pipe from filling
            }
        }
        const bool prompted = alarms::test::read_until_count(snoozer, seen, kPrompt, alarms, 30s);
        EXPECT_TRUE(prompted) << count(seen, kPrompt) << " prompts came back for " << alarms
                              << " requests";
        if (!prompted) return true;  // failed already
        const size_t first_alarm = seen.find('\n');
        if (first_alarm != std::string::npos && first_alarm < seen.rfind(kPrompt)) return false;
        // The first alarm is due `seconds` after the last request (a retry makes them long).
        EXPECT_TRUE(alarms::test::read_until_count(snoozer, seen, "\n", alarms,
                                                   std::chrono::seconds(seconds) + 30s))
            << count(seen, "\n") << " of " << alarms << " alarms printed";
        seen += finish(snoozer);
        EXPECT_EQ(snoozer.read_to_eof(snoozer.err), "");
        const std::set<std::string> printed = lines_of(erase_all(seen, kPrompt));
        EXPECT_EQ(printed.size(), alarms);
        const std::string due = " (" + std::to_string(seconds) + ") ";
        EXPECT_TRUE(printed.count(due + "a0") &&
                    printed.count(due + "a" + std::to_string(alarms - 1)));
        return true;
    });
}

// Every alarm served gives its thread's memory back: under an address-space limit that holds
// a few hundred alarm threads, three thousand alarms, a hundred at a time, all get their
// threads and print. (Native x86-64 only: an emulator or a sanitizer reserves address space
// of its own far beyond such a limit.)
TEST(Snoozer, AlarmsServedOneAfterAnotherNeverRunOutOfThreads) {
    if (alarms::test::kSanitized || sizeof(void*) == 4) GTEST_SKIP() << "native x86-64 only";
    Child snoozer =
        osf::test::spawn({"/bin/sh", "-c", "ulimit -v 65536 && exec \"$0\"", SNOOZER_PATH});
    std::string seen = snoozer.read_until(snoozer.out, kPrompt);
    for (int batch = 0; batch < 30; ++batch) {
        std::string requests;
        for (int i = 0; i < 100; ++i) requests += "0 a" + std::to_string(batch * 100 + i) + "\n";
        snoozer.write(requests);
        // A thread that could not be made is reported before the prompt that follows it.
        const size_t prompts = count(seen, kPrompt) + 100;
        const size_t lines = count(seen, "\n") + 100;
        ASSERT_TRUE(alarms::test::read_until_count(snoozer, seen, kPrompt, prompts, 30s));
        ASSERT_EQ(snoozer.read_for(snoozer.err, 0ms), "") << "batch " << batch;
        ASSERT_TRUE(alarms::test::read_until_count(snoozer, seen, "\n", lines, 30s)) << seen;
    }
    finish(snoozer);
}

// A request whose thread cannot be made is reported and dropped; the program and the alarms
// already pending carry on, and later requests get their threads again. The third to fifth
// thread creations fail at the call itself.
TEST(Snoozer, AFailedThreadCreationDropsOnlyThatRequest) {
    osf::test::SpawnOptions options;
    options.env = osf::test::inject_env("pthread_create:3-5");
    Child snoozer = start(kSnoozer, options);
    const std::string failure = "thread creation failed\n: Resource temporarily unavailable\n";
    std::string seen;
    for (int i = 1; i <= 6; ++i) {
        snoozer.write("1 r" + std::to_string(i) + "\n");
        // Each failure is reported before the next prompt.
        seen += snoozer.read_until(snoozer.out, kPrompt);
        const std::string reported = snoozer.read_for(snoozer.err, 0ms);
        EXPECT_EQ(reported, i >= 3 && i <= 5 ? failure : "") << "request " << i;
    }
    // Once the alarms are due, the requests that got their threads print (in any order).
    seen = erase_all(seen, kPrompt);
    ASSERT_TRUE(alarms::test::read_until_count(snoozer, seen, "\n", 3, 10s)) << seen;
    EXPECT_EQ(lines_of(seen), (std::set<std::string>{" (1) r1", " (1) r2", " (1) r6"}));

    snoozer.write("0 after\n");  // the alarm and the next prompt may come in either order
    const std::string after = snoozer.read_until(snoozer.out, " (0) after\n");
    EXPECT_EQ(erase_all(after + finish(snoozer), kPrompt), " (0) after\n");
    EXPECT_EQ(snoozer.read_to_eof(snoozer.err), "");
}

}  // namespace
