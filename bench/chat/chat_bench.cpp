// chat_bench: the chat's round trip on loopback, with the real replier and asker.
//
//   chat_bench REPLIER ASKER ROUNDS TRIPS
// Starts replier (which binds UDP port 1234 of 127.0.0.1), then asker, both with pipes for
// their standard streams, and plays both people at once: types a line at asker, waits until
// replier shows it and prompts, types the reply at replier, waits until asker shows it and
// prompts again. That is one round trip: one line each way. Every shown text is compared with
// what was typed, so a lost or garbled line stops the run. After a short warm-up it times
// ROUNDS rounds of TRIPS round trips and prints the best round as "<round trips per second>
// <microseconds per round trip>". Exits 1 (with the reason on stderr) if either program fails.
// Run by bench/chat/bench.sh, which first checks that port 1234 is free.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../count_arg.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kPrompt[] = "Enter the data : \t";

struct Program {
    const char* name = "";
    pid_t pid = -1;
    int in = -1;
    int out = -1;
    int err = -1;
    std::string pending;  // output read but not yet looked at
};

// The programs started and not yet stopped: whatever way chat_bench ends, they end with it
// (a replier left behind would keep port 1234).
std::vector<pid_t> running;

void stop_all() {
    for (const pid_t pid : running) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    running.clear();
}

[[noreturn]] void fail(const char* what) {
    std::perror(what);
    std::exit(1);
}

Program start(const char* path) {
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        fail("chat_bench: pipe");
    const pid_t pid = fork();
    if (pid < 0) fail("chat_bench: fork");
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        execl(path, path, static_cast<char*>(nullptr));
        _exit(127);
    }
    running.push_back(pid);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    const char* slash = std::strrchr(path, '/');
    return Program{slash ? slash + 1 : path, pid, in[1], out[0], err[0], {}};
}

// What the program wrote to standard error so far (read without waiting).
std::string errors_of(Program& p) {
    std::string text;
    char chunk[4096];
    pollfd fd{p.err, POLLIN, 0};
    while (poll(&fd, 1, 0) == 1) {
        const ssize_t n = read(p.err, chunk, sizeof chunk);
        if (n <= 0) break;
        text.append(chunk, static_cast<size_t>(n));
    }
    return text;
}

[[noreturn]] void program_failed(Program& p, const char* what) {
    std::fprintf(stderr, "chat_bench: %s %s\n", p.name, what);
    const std::string errors = errors_of(p);
    if (!errors.empty()) std::fprintf(stderr, "%s: %s", p.name, errors.c_str());
    std::exit(1);
}

void type(Program& p, const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = write(p.in, text.data() + done, text.size() - done);
        if (n <= 0) program_failed(p, "stopped reading its input");
        done += static_cast<size_t>(n);
    }
}

// Waits (at most 10 s) until the program has printed `expected` and nothing else.
void expect(Program& p, const std::string& expected) {
    while (p.pending.size() < expected.size()) {
        pollfd fd{p.out, POLLIN, 0};
        if (poll(&fd, 1, 10000) != 1) program_failed(p, "printed nothing within 10 s");
        char chunk[4096];
        const ssize_t n = read(p.out, chunk, sizeof chunk);
        if (n <= 0) program_failed(p, "ended");
        p.pending.append(chunk, static_cast<size_t>(n));
    }
    if (p.pending != expected) {
        std::fprintf(stderr, "chat_bench: %s printed \"%s\", expected \"%s\"\n", p.name,
                     p.pending.c_str(), expected.c_str());
        std::exit(1);
    }
    p.pending.clear();
}

// True once some socket is bound to UDP port 1234 (read from /proc, never taking the port).
bool port_bound() {
    for (const char* table_path : {"/proc/net/udp", "/proc/net/udp6"}) {
        std::ifstream table(table_path);
        std::string line;
        std::getline(table, line);  // header
        while (std::getline(table, line)) {
            std::istringstream fields(line);
            std::string slot, local;
            fields >> slot >> local;
            if (local.size() > 5 && local.substr(local.size() - 5) == ":04D2") return true;
        }
    }
    return false;
}

bool alive(const Program& p) { return waitpid(p.pid, nullptr, WNOHANG) == 0; }

void round_trip(Program& asker, Program& replier, long i) {
    const std::string line = "line " + std::to_string(i) + "\n";
    const std::string reply = "reply " + std::to_string(i) + "\n";
    type(asker, line);
    expect(replier, line + " \n" + kPrompt);
    type(replier, reply);
    expect(asker, reply + " \n" + kPrompt);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc == 5 ? static_cast<int>(count_arg(argv[3])) : 0;
    const long trips = argc == 5 ? count_arg(argv[4]) : 0;
    if (rounds <= 0 || trips <= 0) {
        std::fprintf(stderr, "usage: chat_bench REPLIER ASKER ROUNDS TRIPS\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    std::atexit(stop_all);

    Program replier = start(argv[1]);
    for (int i = 0; i < 500 && !port_bound() && alive(replier); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!alive(replier)) program_failed(replier, "ended at start");
    if (!port_bound()) program_failed(replier, "did not bind UDP port 1234 within 5 s");

    Program asker = start(argv[2]);
    expect(asker, kPrompt);
    long i = 0;
    for (; i < 200; ++i) round_trip(asker, replier, i);  // warm-up

    double best = 1e30;
    for (int r = 0; r < rounds; ++r) {
        const auto begin = Clock::now();
        for (long n = 0; n < trips; ++n, ++i) round_trip(asker, replier, i);
        const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        if (seconds < best) best = seconds;
    }
    stop_all();
    std::printf("%.0f %.1f\n", static_cast<double>(trips) / best,
                best / static_cast<double>(trips) * 1e6);
    return 0;
}
