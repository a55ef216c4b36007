// Helpers for the alarm programs' end-to-end tests (see alarm_test_util.h).
#include "alarm_test_util.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace alarms::test {

std::string AlarmService::greeting(pid_t pid) const {
    if (name == "snoozer") return "in main, pid is : " + std::to_string(pid) + " \n";
    return "thread created succesfully.. \n";
}

std::string AlarmService::alarm(int seconds, const std::string& message) const {
    const std::string number = "(" + std::to_string(seconds) + ") ";
    if (name == "snoozer") return " " + number + message + "\n";
    return number + message + " \n";
}

AlarmService snoozer_service(const std::string& path) {
    return {"snoozer", path, "Alarm> ", "Bad command\n", 128};
}

AlarmService snoozefork_service(const std::string& path) {
    return {"snoozefork", path, "Alarm", "Bad command \n", 120};
}

osf::test::Child start(const AlarmService& service, const osf::test::SpawnOptions& options) {
    osf::test::Child child = osf::test::spawn({service.path}, options);
    EXPECT_EQ(child.read_until(child.out, service.prompt),
              service.greeting(child.pid) + service.prompt);
    return child;
}

std::string finish(osf::test::Child& service) {
    service.close_input();
    EXPECT_TRUE(osf::test::exited_with(service.wait(), 0))
        << osf::test::describe_status(service.status);
    return service.read_to_eof(service.out);
}

size_t count(std::string_view text, std::string_view needle) {
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::string_view::npos;
         at = text.find(needle, at + needle.size()))
        ++n;
    return n;
}

std::string erase_all(std::string text, std::string_view needle) {
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at))
        text.erase(at, needle.size());
    return text;
}

std::vector<std::string> children_of(pid_t pid) {
    std::vector<std::string> children;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string text;
        if (!std::getline(stat, text)) continue;  // the process has gone meanwhile
        // "<pid> (<command>) <state> <ppid> ...": the command may hold blanks and parentheses.
        const size_t close = text.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(text.substr(close + 1));
        std::string state;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == pid) {
            children.push_back(name);
            children.back().append(" ").append(state);
        }
    }
    return children;
}

bool read_until_count(osf::test::Child& child, std::string& seen, std::string_view needle,
                      size_t times, osf::test::milliseconds stall) {
    auto deadline = std::chrono::steady_clock::now() + stall;
    for (size_t got = count(seen, needle); got < times;) {
        if (child.out.eof || std::chrono::steady_clock::now() >= deadline) return false;
        seen += child.read_for(child.out, osf::test::milliseconds{20});
        const size_t now = count(seen, needle);
        if (now > got) deadline = std::chrono::steady_clock::now() + stall;
        got = now;
    }
    return true;
}

void retry_with_longer_alarms(int seconds, const std::function<bool(int seconds)>& attempt) {
    for (int tries = 1;; ++tries) {
        const auto started = std::chrono::steady_clock::now();
        if (attempt(seconds)) return;
        const auto took = std::chrono::duration_cast<std::chrono::seconds>(
            std::chrono::steady_clock::now() - started);
        ASSERT_LT(tries, 3) << "with " << seconds << " s alarms an alarm still came before a "
                            << "prompt it was to follow";
        seconds = static_cast<int>(2 * took.count() + 2);
    }
}

}  // namespace alarms::test
