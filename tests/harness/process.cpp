// The harness's children once started: feeding them, reading with time limits, waiting, running
// one to its end (process.h); and where the harness's failures go. Starting them: spawn.cpp.
#include "process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

namespace osf::test {
namespace {

using Clock = std::chrono::steady_clock;

// Where the harness's troubles go: a failed test case under GoogleTest (harness_main.cpp), else
// standard error and exit status 1 (a benchmark driver).
void (*failure_report)(const std::string&) = [](const std::string& message) {
    std::fprintf(stderr, "harness: %s\n", message.c_str());
    std::exit(1);
};

void close_fd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// Reads once from s.fd into s.pending, waiting at most `wait`. Returns false if nothing came.
bool fill(Stream& s, milliseconds wait) {
    if (s.eof || s.fd < 0) return false;
    pollfd p{s.fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(wait.count()));
    if (ready <= 0) return false;
    char chunk[4096];
    const ssize_t n = ::read(s.fd, chunk, sizeof chunk);
    if (n <= 0) {  // end of file, or EIO on a pty whose other side has closed
        s.eof = true;
        return false;
    }
    s.pending.append(chunk, static_cast<size_t>(n));
    if (s.drop_emulator_notes) drop_emulator_notes(s.pending);
    return true;
}

milliseconds left_until(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? left : milliseconds{0};
}

// Feeds `input` to a started child, reads both its streams to their end and waits for it.
Result finish(Child child, std::string_view input, milliseconds timeout) {
    Result result;
    if (child.pid <= 0) return result;
    child.write(input);
    child.close_input();
    // Read both streams together so that neither pipe fills up and blocks the child.
    const auto deadline = Clock::now() + timeout;
    while ((!child.out.eof || !child.err.eof) && Clock::now() < deadline) {
        pollfd p[2] = {{child.out.eof ? -1 : child.out.fd, POLLIN, 0},
                       {child.err.eof ? -1 : child.err.fd, POLLIN, 0}};
        if (::poll(p, 2, static_cast<int>(left_until(deadline).count())) <= 0) continue;
        if (p[0].revents) child.read_some(child.out, milliseconds{0});
        if (p[1].revents) child.read_some(child.err, milliseconds{0});
    }
    result.status = child.wait(left_until(deadline) + milliseconds{100});
    result.out = std::move(child.out.pending);
    result.err = std::move(child.err.pending);
    return result;
}

}  // namespace

Child::Child(Child&& other) noexcept { *this = std::move(other); }

Child& Child::operator=(Child&& other) noexcept {
    std::swap(pid, other.pid);
    std::swap(in, other.in);
    std::swap(out, other.out);
    std::swap(err, other.err);
    std::swap(status, other.status);
    std::swap(reaped, other.reaped);
    return *this;
}

Child::~Child() {
    if (pid > 0 && !reaped) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    close_fd(in);
    close_fd(out.fd);
    close_fd(err.fd);
}

void Child::write(std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(in, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failure(std::string("writing to the child's input: ") + std::strerror(errno));
            return;
        }
        text.remove_prefix(static_cast<size_t>(n));
    }
}

void Child::close_input() {
    if (in >= 0 && in == out.fd) {
        // On a pseudo-terminal, end of input is the EOF character at the start of a line.
        const char eof_char = 4;
        write(std::string_view(&eof_char, 1));
        return;
    }
    close_fd(in);
}

std::string Child::read_until(Stream& s, std::string_view needle, milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const size_t at = s.pending.find(needle);
        if (at != std::string::npos) {
            std::string head = s.pending.substr(0, at + needle.size());
            s.pending.erase(0, at + needle.size());
            return head;
        }
        if (s.eof || Clock::now() >= deadline) break;
        fill(s, left_until(deadline));
    }
    failure("waited in vain for \"" + std::string(needle) + "\"; got \"" + s.pending + "\"" +
            (s.eof ? " and end of file" : " before the time limit"));
    return std::exchange(s.pending, {});
}

std::string Child::read_to_eof(Stream& s, milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!s.eof && Clock::now() < deadline) fill(s, left_until(deadline));
    if (!s.eof) failure("no end of file in time; got \"" + s.pending + "\"");
    return std::exchange(s.pending, {});
}

std::string Child::read_for(Stream& s, milliseconds window) {
    const auto deadline = Clock::now() + window;
    // One read at least: with no window, what has come by now.
    while (fill(s, left_until(deadline)) && Clock::now() < deadline) {
    }
    return std::exchange(s.pending, {});
}

bool Child::read_some(Stream& s, milliseconds wait) {
    fill(s, wait);
    return !s.eof;
}

bool eventually(const std::function<bool()>& holds, milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!holds()) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(milliseconds(2));
    }
    return true;
}

int Child::wait(milliseconds timeout) {
    const auto reaped_now = [this] {
        int seen = 0;
        if (!reaped && ::waitpid(pid, &seen, WNOHANG) == pid) {
            status = seen;
            reaped = true;
        }
        return reaped;
    };
    if (eventually(reaped_now, timeout)) return status;
    failure("child " + std::to_string(pid) + " did not end in time; killed");
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    reaped = true;
    return -1;
}

bool Child::wait_stopped(milliseconds timeout) {
    bool stopped = false;
    eventually(
        [&] {
            int seen = 0;
            if (reaped || ::waitpid(pid, &seen, WNOHANG | WUNTRACED) != pid) return reaped;
            stopped = WIFSTOPPED(seen);
            if (!stopped) {
                status = seen;
                reaped = true;
            }
            return true;
        },
        timeout);
    if (stopped) return true;
    failure("child " + std::to_string(pid) + " did not stop in time (" +
            (reaped ? describe_status(status) : "still running") + ")");
    return false;
}

void Child::resume() { ::kill(pid, SIGCONT); }

bool Child::ended() {
    if (!reaped && ::waitpid(pid, &status, WNOHANG) == pid) reaped = true;
    return reaped;
}

Result run(const std::vector<std::string>& argv, std::string_view input, milliseconds timeout,
           const SpawnOptions& options) {
    return finish(spawn(argv, options), input, timeout);
}

Result run_function(void (*body)(), milliseconds timeout) {
    return finish(spawn_function(body), "", timeout);
}

void set_failure_report(void (*report)(const std::string& message)) { failure_report = report; }

void failure(const std::string& message) { failure_report(message); }

}  // namespace osf::test
