// Starting and running the harness's children (process.h), and what their ends mean.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include "process.h"

namespace osf::test {

namespace {

using Clock = std::chrono::steady_clock;

milliseconds left_until(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? left : milliseconds{0};
}

// Starts a child with its standard streams on pipes (or a pseudo-terminal) that runs `argv`,
// or `body` when it is given.
Child start(const std::vector<std::string>& argv, void (*body)(), const SpawnOptions& options) {
    Child child;
    int in_pipe[2] = {-1, -1}, out_pipe[2] = {-1, -1}, err_pipe[2] = {-1, -1};
    int master = -1;
    std::string slave_name;
    if (options.pty) {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
            failure(std::string("no pseudo-terminal: ") + std::strerror(errno));
            return child;
        }
        slave_name = ::ptsname(master);
    } else if (::pipe2(in_pipe, O_CLOEXEC) != 0 || ::pipe2(out_pipe, O_CLOEXEC) != 0) {
        failure(std::string("pipe: ") + std::strerror(errno));
        return child;
    }
    if (::pipe2(err_pipe, O_CLOEXEC) != 0) {
        failure(std::string("pipe: ") + std::strerror(errno));
        return child;
    }

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) {
        if (options.pty) {
            ::setsid();
            const int slave = ::open(slave_name.c_str(), O_RDWR);
            if (slave < 0) ::_exit(127);
            termios t{};
            if (::tcgetattr(slave, &t) == 0) {
                t.c_lflag &= ~static_cast<tcflag_t>(ECHO);   // what the test types is not echoed
                t.c_oflag &= ~static_cast<tcflag_t>(ONLCR);  // output bytes arrive unchanged
                ::tcsetattr(slave, TCSANOW, &t);
            }
            ::dup2(slave, 0);
            ::dup2(slave, 1);
            if (slave > 2) ::close(slave);
        } else {
            ::dup2(in_pipe[0], 0);
            ::dup2(out_pipe[1], 1);
        }
        ::dup2(err_pipe[1], 2);
        for (const auto& e : options.env) ::putenv(const_cast<char*>(e.c_str()));
        if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) ::_exit(127);
        ::signal(SIGPIPE, SIG_DFL);
        if (body != nullptr) {
            body();
            ::_exit(0);
        }
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    if (pid < 0) {
        failure(std::string("fork: ") + std::strerror(errno));
        return child;
    }
    child.pid = pid;
    if (options.pty) {
        child.in = master;
        child.out.fd = master;
    } else {
        ::close(in_pipe[0]);
        ::close(out_pipe[1]);
        child.in = in_pipe[1];
        child.out.fd = out_pipe[0];
    }
    ::close(err_pipe[1]);
    child.err.fd = err_pipe[0];
    // Under emulation an i386 program may also be started through another (setpriv, bash).
    child.err.drop_emulator_notes = i386_emulated();
    // A child that dies must not kill the test with SIGPIPE when the test writes to it.
    ::signal(SIGPIPE, SIG_IGN);
    return child;
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

Child spawn(const std::vector<std::string>& argv, const SpawnOptions& options) {
    return start(argv, nullptr, options);
}

Child spawn_function(void (*body)(), const SpawnOptions& options) {
    return start({}, body, options);
}

Result run(const std::vector<std::string>& argv, std::string_view input, milliseconds timeout,
           const SpawnOptions& options) {
    return finish(spawn(argv, options), input, timeout);
}

Result run_function(void (*body)(), milliseconds timeout) {
    return finish(spawn_function(body), "", timeout);
}

bool exited_with(int status, int code) {
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == code;
}

bool killed_by(int status, int signal) {
    return status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == signal;
}

std::string describe_status(int status) {
    if (status == -1) return "no status (killed after the time limit)";
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return std::string("signal ") + ::strsignal(WTERMSIG(status));
    return "wait status " + std::to_string(status);
}

TempDir::TempDir() {
    char pattern[] = "/tmp/osfacets-test-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (made == nullptr) {
        failure(std::string("mkdtemp: ") + std::strerror(errno));
        return;
    }
    path = made;
}

TempDir::~TempDir() {
    if (path.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

}  // namespace osf::test
