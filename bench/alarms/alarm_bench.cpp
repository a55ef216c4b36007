// alarm_bench: measures the alarm services from the outside, through their standard streams.
//
//   alarm_bench lateness <program> <prompt> <alarms> <seconds> <format>
//       Sends <alarms> requests "<seconds> m<i>", each as soon as the prompt is back, and times
//       every printed alarm against its due time (the moment its request was sent plus the
//       seconds). Prints three rows of the benchmark table: median, 99th percentile and
//       maximum lateness, the first and last against their goals (5 ms, 50 ms).
//       <format> is how the program prints an alarm, with %d for the seconds and %s for the
//       message (" (%d) %s\n" for snoozer, "(%d) %s \n" for snoozefork).
//   alarm_bench memory <snoozer> <alarms>
//       Leaves <alarms> alarms pending (ten minutes each) and prints two rows: the growth of
//       the address space (VmSize, goal under 100 KiB) and of the resident memory (VmRSS) per
//       pending alarm.
// Rows go to standard output as bench/lib.sh describes them. Run by bench/alarms/bench.sh.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "count_arg.h"
#include "process.h"
#include "report.h"

namespace {

using Clock = std::chrono::steady_clock;

using osf::test::Child;
using std::chrono::milliseconds;

// The program being measured. Static, so that its destructor (which kills and reaps it) runs
// also when the harness ends the driver on a failure.
Child program;

// Starts `path` with pipes for its standard streams, as the program under measure.
Child& start(const char* path) {
    program = osf::test::spawn({path});
    return program;
}

// One row of the benchmark table (bench/lib.sh): tab-separated fields.
void row(const std::string& measure, const std::string& result, const char* unit,
         const std::string& goal) {
    std::printf("alarms\t%s\t%s\t%s\t%s\n", measure.c_str(), result.c_str(), unit, goal.c_str());
}

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// 10000 -> "10,000"
std::string grouped(long value) {
    const std::string digits = std::to_string(value);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0 && digits[i - 1] != '-') out += ',';
        out += digits[i];
    }
    return out;
}

std::string verdict(const std::string& goal, bool met) {
    return goal + (met ? ": met" : ": MISSED");
}

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

long status_kib(pid_t pid, const char* field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(key.size()));
    return -1;
}

// Waits until `prompt` has come back `times` more times; drops everything before it.
void await_prompts(Child& p, const std::string& prompt, size_t times) {
    for (; times > 0; --times) p.read_until(p.out, prompt);
}

// The output of a running lateness measurement: every write of the program is a whole prompt
// or a whole alarm line, so the stream is read as a row of those.
struct Lateness {
    std::string prompt;
    std::string format;
    int seconds = 0;
    std::vector<Clock::time_point> due;
    std::vector<char> printed;
    std::vector<double> late_ms;
    size_t prompts = 0;
    bool stray = false;  // a line that is no alarm of ours
};

void take(std::string& pending, Lateness& m, Clock::time_point when) {
    for (;;) {
        if (pending.rfind(m.prompt, 0) == 0) {
            pending.erase(0, m.prompt.size());
            ++m.prompts;
            continue;
        }
        if (m.prompt.rfind(pending, 0) == 0) return;  // nothing, or a prompt in the making
        const size_t nl = pending.find('\n');
        if (nl == std::string::npos) return;
        const std::string line = pending.substr(0, nl + 1);
        pending.erase(0, nl + 1);
        const size_t at = line.find(" m");
        const long index =
            at == std::string::npos ? -1 : std::strtol(line.c_str() + at + 2, nullptr, 10);
        char expected[128] = "";
        if (index >= 0 && index < static_cast<long>(m.due.size())) {
            const std::string message = "m" + std::to_string(index);
            std::snprintf(expected, sizeof expected, m.format.c_str(), m.seconds, message.c_str());
        }
        if (line != expected || m.printed[static_cast<size_t>(index)]) {
            m.stray = true;
            continue;
        }
        m.printed[static_cast<size_t>(index)] = 1;
        m.late_ms.push_back(ms(when - m.due[static_cast<size_t>(index)]));
    }
}

// Reads and takes what comes within `wait_ms`; false at end of output.
bool pump(Child& p, Lateness& m, milliseconds wait) {
    const bool more = p.read_some(p.out, wait);
    take(p.out.pending, m, Clock::now());
    return more;
}

int lateness(const char* path, const std::string& prompt, int alarms, int seconds,
             const char* format) {
    Child& p = start(path);
    Lateness m{prompt,
               format,
               seconds,
               std::vector<Clock::time_point>(static_cast<size_t>(alarms)),
               std::vector<char>(static_cast<size_t>(alarms), 0),
               {},
               0,
               false};
    const auto wait_for_prompts = [&](size_t total) {
        while (m.prompts < total) {
            if (!pump(p, m, milliseconds(10000))) {
                report_text("alarm_bench: %s ended early\n", path);
                std::exit(1);
            }
        }
    };
    // The greeting line before the first prompt is no alarm: forget it.
    wait_for_prompts(1);
    m.stray = false;
    m.late_ms.clear();
    for (int i = 0; i < alarms; ++i) {
        m.due[static_cast<size_t>(i)] = Clock::now() + std::chrono::seconds(seconds);
        p.write(std::to_string(seconds) + " m" + std::to_string(i) + "\n");
        wait_for_prompts(static_cast<size_t>(i) + 2);
    }
    const double window = ms(m.due.back() - m.due.front());
    const auto deadline = m.due.back() + std::chrono::seconds(10);
    while (m.late_ms.size() < static_cast<size_t>(alarms) && Clock::now() < deadline) {
        if (!pump(p, m, milliseconds(50))) break;
    }
    program = Child();  // killed and reaped

    std::vector<double>& late = m.late_ms;
    std::sort(late.begin(), late.end());
    const char* slash = std::strrchr(path, '/');
    const std::string name = slash ? slash + 1 : path;
    const std::string measure = name + ": lateness, " + grouped(alarms) + " alarms due within " +
                                fixed(window / 1000.0, 2) + " s: ";
    // Alarms that never came, or lines that were no alarm of ours, are said beside the median.
    std::string trouble;
    if (late.size() != static_cast<size_t>(alarms))
        trouble += " (only " + std::to_string(late.size()) + " printed)";
    if (m.stray) trouble += " (stray output)";
    if (late.empty()) {
        row(measure + "median", "-", "ms", "goal < 5 ms: MISSED" + trouble);
        return 1;
    }
    const auto quantile = [&](double q) {
        const auto at = static_cast<size_t>(q * static_cast<double>(late.size()));
        return late[std::min(late.size() - 1, at)];
    };
    const bool complete = trouble.empty();
    row(measure + "median", fixed(quantile(0.5), 2), "ms",
        verdict("goal < 5 ms", complete && quantile(0.5) < 5.0) + trouble);
    row(measure + "99th percentile", fixed(quantile(0.99), 2), "ms", "");
    row(measure + "maximum", fixed(late.back(), 2), "ms",
        verdict("goal < 50 ms", complete && late.back() < 50.0));
    return 0;
}

int memory(const char* path, int alarms) {
    Child& p = start(path);
    const std::string prompt = "Alarm> ";
    await_prompts(p, prompt, 1);
    const long size0 = status_kib(p.pid, "VmSize"), rss0 = status_kib(p.pid, "VmRSS");
    std::string batch;
    for (int i = 0; i < alarms; ++i) {
        batch += "600 m" + std::to_string(i) + "\n";
        if (batch.size() > 4000 || i + 1 == alarms) {
            p.write(batch);
            batch.clear();
            p.read_some(p.out, milliseconds(0));  // keep the output pipe from filling
        }
    }
    await_prompts(p, prompt, static_cast<size_t>(alarms));
    const long threads = status_kib(p.pid, "Threads");
    const long size = status_kib(p.pid, "VmSize"), rss = status_kib(p.pid, "VmRSS");
    program = Child();
    const double per_size = static_cast<double>(size - size0) / alarms;
    const double per_rss = static_cast<double>(rss - rss0) / alarms;
    const std::string measure = "snoozer: " + grouped(alarms) + " alarms pending, ";
    const std::string trouble =
        threads - 1 == alarms ? "" : " (only " + std::to_string(threads - 1) + " threads)";
    row(measure + "address space (VmSize) per alarm", fixed(per_size, 1), "KiB",
        verdict("goal < 100 KiB", threads - 1 == alarms && per_size < 100.0) + trouble);
    row(measure + "resident memory (VmRSS) per alarm", fixed(per_rss, 1), "KiB", "");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 7 && std::strcmp(argv[1], "lateness") == 0) {
        const long alarms = count_arg(argv[4], INT_MAX);
        const long seconds = count_arg(argv[5], INT_MAX);
        if (alarms > 0 && seconds > 0)
            return lateness(argv[2], argv[3], static_cast<int>(alarms), static_cast<int>(seconds),
                            argv[6]);
    }
    if (argc == 4 && std::strcmp(argv[1], "memory") == 0) {
        const long alarms = count_arg(argv[3], INT_MAX);
        if (alarms > 0) return memory(argv[2], static_cast<int>(alarms));
    }
    report_text(
        "usage: alarm_bench lateness PROGRAM PROMPT ALARMS SECONDS FORMAT\n"
        "       alarm_bench memory SNOOZER ALARMS\n");
    return 2;
}
