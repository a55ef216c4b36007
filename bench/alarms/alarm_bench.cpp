// alarm_bench: measures the alarm services from the outside, through their standard streams.
//
//   alarm_bench lateness <program> <prompt> <alarms> <seconds> <format>
//       Sends <alarms> requests "<seconds> m<i>", each as soon as the prompt is back, and times
//       every printed alarm against its due time (the moment its request was sent plus the
//       seconds). Prints one table row: median, 99th percentile and maximum lateness.
//       <format> is how the program prints an alarm, with %d for the seconds and %s for the
//       message (" (%d) %s\n" for snoozer, "(%d) %s \n" for snoozefork).
//   alarm_bench memory <snoozer> <alarms>
//       Leaves <alarms> alarms pending (ten minutes each) and prints the growth of the address
//       space (VmSize) and of the resident memory (VmRSS) per pending alarm.
// Run by bench/alarms/bench.sh.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Program {
    pid_t pid = -1;
    int in = -1;
    int out = -1;
    std::string pending;  // output read but not yet looked at
};

Program start(const char* path) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        std::exit(1);
    }
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, 2);
        execl(path, path, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    return Program{pid, in[1], out[0], {}};
}

// Reads what is there (waiting at most `wait_ms`); false at end of output.
bool read_some(Program& p, int wait_ms) {
    pollfd fd{p.out, POLLIN, 0};
    if (poll(&fd, 1, wait_ms) <= 0) return true;
    char chunk[65536];
    const ssize_t n = read(p.out, chunk, sizeof chunk);
    if (n <= 0) return false;
    p.pending.append(chunk, static_cast<size_t>(n));
    return true;
}

void send(Program& p, const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = write(p.in, text.data() + done, text.size() - done);
        if (n <= 0) {
            std::perror("write");
            std::exit(1);
        }
        done += static_cast<size_t>(n);
    }
}

void finish(Program& p) {
    close(p.in);  // end of input ends both programs
    kill(p.pid, SIGTERM);
    waitpid(p.pid, nullptr, 0);
    close(p.out);
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
void await_prompts(Program& p, const std::string& prompt, size_t times) {
    while (times > 0) {
        const size_t at = p.pending.find(prompt);
        if (at != std::string::npos) {
            p.pending.erase(0, at + prompt.size());
            --times;
            continue;
        }
        if (!read_some(p, 10000)) {
            std::fprintf(stderr, "alarm_bench: the program ended early\n");
            std::exit(1);
        }
    }
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

void take(Program& p, Lateness& m, Clock::time_point when) {
    for (;;) {
        if (p.pending.rfind(m.prompt, 0) == 0) {
            p.pending.erase(0, m.prompt.size());
            ++m.prompts;
            continue;
        }
        if (m.prompt.rfind(p.pending, 0) == 0) return;  // nothing, or a prompt in the making
        const size_t nl = p.pending.find('\n');
        if (nl == std::string::npos) return;
        const std::string line = p.pending.substr(0, nl + 1);
        p.pending.erase(0, nl + 1);
        const size_t at = line.find(" m");
        const long index = at == std::string::npos ? -1 : std::atol(line.c_str() + at + 2);
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
bool pump(Program& p, Lateness& m, int wait_ms) {
    const bool more = read_some(p, wait_ms);
    take(p, m, Clock::now());
    return more;
}

int lateness(const char* path, const std::string& prompt, int alarms, int seconds,
             const char* format) {
    Program p = start(path);
    Lateness m{prompt, format, seconds, std::vector<Clock::time_point>(static_cast<size_t>(alarms)),
               std::vector<char>(static_cast<size_t>(alarms), 0), {}, 0, false};
    const auto await_prompts = [&](size_t total) {
        while (m.prompts < total) {
            if (!pump(p, m, 10000)) {
                std::fprintf(stderr, "alarm_bench: %s ended early\n", path);
                std::exit(1);
            }
        }
    };
    // The greeting line before the first prompt is no alarm: forget it.
    await_prompts(1);
    m.stray = false;
    m.late_ms.clear();
    for (int i = 0; i < alarms; ++i) {
        m.due[static_cast<size_t>(i)] = Clock::now() + std::chrono::seconds(seconds);
        send(p, std::to_string(seconds) + " m" + std::to_string(i) + "\n");
        await_prompts(static_cast<size_t>(i) + 2);
    }
    const double window = ms(m.due.back() - m.due.front());
    const auto deadline = m.due.back() + std::chrono::seconds(10);
    while (m.late_ms.size() < static_cast<size_t>(alarms) && Clock::now() < deadline) {
        if (!pump(p, m, 50)) break;
    }
    finish(p);

    std::vector<double>& late = m.late_ms;
    std::sort(late.begin(), late.end());
    const char* slash = std::strrchr(path, '/');
    const char* name = slash ? slash + 1 : path;
    if (late.empty()) {
        std::printf("%-11s %7d %8d %11s %10s %10s %10s   MISSED\n", name, alarms, 0, "-", "-",
                    "-", "-");
        return 1;
    }
    const auto quantile = [&](double q) {
        const auto at = static_cast<size_t>(q * static_cast<double>(late.size()));
        return late[std::min(late.size() - 1, at)];
    };
    const bool met = late.size() == static_cast<size_t>(alarms) && !m.stray &&
                     quantile(0.5) < 5.0 && late.back() < 50.0;
    std::printf("%-11s %7d %8zu %11.0f %10.2f %10.2f %10.2f   %s%s\n", name, alarms, late.size(),
                window, quantile(0.5), quantile(0.99), late.back(), met ? "met" : "MISSED",
                m.stray ? " (stray output)" : "");
    return 0;
}

int memory(const char* path, int alarms) {
    Program p = start(path);
    const std::string prompt = "Alarm> ";
    await_prompts(p, prompt, 1);
    const long size0 = status_kib(p.pid, "VmSize"), rss0 = status_kib(p.pid, "VmRSS");
    std::string batch;
    for (int i = 0; i < alarms; ++i) {
        batch += "600 m" + std::to_string(i) + "\n";
        if (batch.size() > 4000 || i + 1 == alarms) {
            send(p, batch);
            batch.clear();
            read_some(p, 0);
        }
    }
    await_prompts(p, prompt, static_cast<size_t>(alarms));
    const long threads = status_kib(p.pid, "Threads");
    const long size = status_kib(p.pid, "VmSize"), rss = status_kib(p.pid, "VmRSS");
    finish(p);
    const double per_size = static_cast<double>(size - size0) / alarms;
    const double per_rss = static_cast<double>(rss - rss0) / alarms;
    std::printf("%-11s %7d %8ld %14.1f %14.1f %12.1f   %s\n", "snoozer", alarms, threads - 1,
                per_size, per_rss, static_cast<double>(size) / 1024.0,
                threads - 1 == alarms && per_size < 100.0 ? "met" : "MISSED");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    if (argc == 7 && std::strcmp(argv[1], "lateness") == 0)
        return lateness(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]), argv[6]);
    if (argc == 4 && std::strcmp(argv[1], "memory") == 0)
        return memory(argv[2], std::atoi(argv[3]));
    std::fprintf(stderr,
                 "usage: alarm_bench lateness PROGRAM PROMPT ALARMS SECONDS FORMAT\n"
                 "       alarm_bench memory SNOOZER ALARMS\n");
    return 2;
}
