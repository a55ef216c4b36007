// The two alarm services end to end, through what they share: the request line, the prompt
// coming back before the alarm, alarms in due order, bad commands reported once, a terminal.
// Each case runs against every service this tree builds (snoozer in both trees, snoozefork in
// the x86-64 one), the real program driven through pipes or a pseudo-terminal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "alarm_test_util.h"
#include "process.h"

namespace {

using alarms::test::AlarmService;
using alarms::test::count;
using alarms::test::erase_all;
using alarms::test::finish;
using alarms::test::retry_with_longer_alarms;
using alarms::test::start;
using osf::test::Child;

struct Services : testing::TestWithParam<AlarmService> {};

// A host slower than the alarm can show it before the prompt: tried again with a longer one.
TEST_P(Services, ThePromptComesBackBeforeTheAlarm) {
    const AlarmService& s = GetParam();
    retry_with_longer_alarms(1, [&](int seconds) {
        Child service = start(s);
        service.write(std::to_string(seconds) + " tea\n");
        const std::string alarm = s.alarm(seconds, "tea");
        const std::string first = service.read_until(service.out, s.prompt);
        if (first == alarm + s.prompt) return false;
        EXPECT_EQ(first, s.prompt);
        EXPECT_EQ(service.read_until(service.out, alarm), alarm);
        EXPECT_EQ(finish(service), "");
        EXPECT_EQ(service.read_to_eof(service.err), "");
        return true;
    });
}

// The order is due only if the program took every request within the shortest alarm's
// seconds, which its output shows: that alarm (the first request) comes after the last prompt.
TEST_P(Services, AlarmsTypedTogetherPrintInDueOrder) {
    const AlarmService& s = GetParam();
    retry_with_longer_alarms(1, [&](int u) {
        Child service = start(s);
        const auto request = [](int seconds, const char* message) {
            return std::to_string(seconds) + " " + message + "\n";
        };
        service.write(request(u, "first") + request(3 * u, "later") + request(0, "now") +
                      request(2 * u, "soon"));
        const std::string seen = service.read_until(service.out, s.alarm(3 * u, "later"));
        const size_t first = seen.find(s.alarm(u, "first"));
        if (first != std::string::npos && first < seen.rfind(s.prompt)) return false;
        EXPECT_EQ(count(seen, s.prompt), 4u) << seen;
        EXPECT_EQ(erase_all(seen, s.prompt), s.alarm(0, "now") + s.alarm(u, "first") +
                                                 s.alarm(2 * u, "soon") + s.alarm(3 * u, "later"));
        EXPECT_EQ(finish(service), "");
        return true;
    });
}

// Each line, then a sentinel alarm: what the line printed shows before the sentinel (on a
// host slower than the sentinel's seconds, tried again with a longer one). A bad line is
// reported once (and makes no snoozefork child).
TEST_P(Services, RequestsAndBadCommands) {
    const AlarmService& s = GetParam();
    struct Case {
        std::string input;
        std::string alarm;   // on standard output
        std::string report;  // on standard error
    };
    const std::string& bad = s.bad_command;
    const Case cases[] = {
        {"0 now\n", s.alarm(0, "now"), ""},
        {"0hello\n", s.alarm(0, "hello"), ""},
        {"  +0 \t spaced  out \n", s.alarm(0, "spaced  out "), ""},
        {"0 " + std::string(100, 'm') + "\n", s.alarm(0, std::string(64, 'm')), ""},
        {"\n", "", ""},  // a bare newline: only a new prompt
        {"5\n", "", bad},
        {"5   \n", "", bad},
        {"hello\n", "", bad},
        {"-3 never\n", "", bad},
        {"4294967297 wraps\n", "", bad},
        // Beyond the read limit the rest of the line is read as a line of its own.
        {"0 " + std::string(200, 'x') + "\n", s.alarm(0, std::string(64, 'x')), bad},
    };
    retry_with_longer_alarms(1, [&](int seconds) {
        // All at once, so that the sentinels' seconds pass only once.
        const std::string end = s.alarm(seconds, "end");
        std::vector<Child> programs;
        for (const Case& c : cases) {
            programs.push_back(start(s));
            programs.back().write(c.input + std::to_string(seconds) + " end\n");
        }
        for (size_t i = 0; i < programs.size(); ++i) {
            Child& service = programs[i];
            const Case& c = cases[i];
            SCOPED_TRACE("input \"" + c.input + "\"");
            std::string out = service.read_until(service.out, end);
            out += finish(service);
            const size_t alarm = out.find(c.alarm);
            if (!c.alarm.empty() && alarm != std::string::npos && alarm > out.find(end))
                return false;
            const size_t lines = c.input.size() >= s.line_limit ? 2 : 1;
            EXPECT_EQ(count(out, s.prompt), lines + 1);  // one after each line read
            EXPECT_EQ(erase_all(out, s.prompt), c.alarm + end);
            EXPECT_EQ(service.read_to_eof(service.err), c.report);
        }
        return true;
    });
}

TEST_P(Services, OnATerminalPromptsAndAlarmsShowAtOnce) {
    const AlarmService& s = GetParam();
    osf::test::SpawnOptions terminal;
    terminal.pty = true;
    Child service = start(s, terminal);
    service.write("0 on the terminal\n");
    std::string seen = service.read_until(service.out, s.alarm(0, "on the terminal"));
    // The prompt after the request and the alarm come in either order; the prompt after the
    // empty line comes only once that line is read.
    service.write("\n");
    EXPECT_TRUE(
        alarms::test::read_until_count(service, seen, s.prompt, 2, std::chrono::seconds(10)))
        << seen;
    service.close_input();  // Ctrl-D
    EXPECT_TRUE(osf::test::exited_with(service.wait(), 0))
        << osf::test::describe_status(service.status);
}

// Output that cannot be written (a full device, a closed descriptor) is said once, however many
// prompts and alarms fail, and the service ends with status 1 at end of input.
TEST_P(Services, OutputThatCannotBeWrittenIsSaidOnceAndFails) {
    const AlarmService& s = GetParam();
    for (const auto& [redirect, error] : osf::test::kUnwritableOutputs) {
        SCOPED_TRACE(redirect);
        const osf::test::Result r =
            osf::test::run(osf::test::redirected({s.path}, redirect), "0 now\n\n0 again\n");
        EXPECT_EQ(r.err, s.name + ": write error: " + error + "\n");
        EXPECT_TRUE(osf::test::exited_with(r.status, 1)) << osf::test::describe_status(r.status);
    }
}

// Every service this tree builds: snoozer always, snoozefork in the x86-64 trees.
std::vector<AlarmService> services() {
    std::vector<AlarmService> all{alarms::test::snoozer_service(SNOOZER_PATH)};
#ifdef SNOOZEFORK_PATH
    all.push_back(alarms::test::snoozefork_service(SNOOZEFORK_PATH));
#endif
    return all;
}

INSTANTIATE_TEST_SUITE_P(Alarm, Services, testing::ValuesIn(services()),
                         [](const testing::TestParamInfo<AlarmService>& info) {
                             return info.param.name;
                         });

}  // namespace
