// Starting the harness's children (process.h), what their ends mean, and temporary directories.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "process.h"

namespace osf::test {

namespace {

// The ends of a child's standard streams, as start() makes them: pipes, or a pseudo-terminal
// (its master, and the slave's name for the child to open) for standard input and output.
struct Ends {
    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    int master = -1;
    std::string slave_name;
};

// Makes the ends for `options`; fails the test and returns false if it cannot.
bool open_ends(Ends& ends, const SpawnOptions& options) {
    if (options.pty) {
        ends.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (ends.master < 0 || ::grantpt(ends.master) != 0 || ::unlockpt(ends.master) != 0) {
            failure(std::string("no pseudo-terminal: ") + std::strerror(errno));
            return false;
        }
        ends.slave_name = ::ptsname(ends.master);
    } else if (::pipe2(ends.in, O_CLOEXEC) != 0 || ::pipe2(ends.out, O_CLOEXEC) != 0) {
        failure(std::string("pipe: ") + std::strerror(errno));
        return false;
    }
    if (::pipe2(ends.err, O_CLOEXEC) != 0) {
        failure(std::string("pipe: ") + std::strerror(errno));
        return false;
    }
    return true;
}

// In the child: puts standard input and output on the pseudo-terminal's slave, as the
// child's controlling terminal, without echo or newline translation.
void take_terminal(const std::string& slave_name) {
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
}

// In the child: its streams, environment and directory, then `body` or the program `args`
// (made before the fork: the child of a threaded test must not allocate).
[[noreturn]] void become_child(char* const* args, void (*body)(), const SpawnOptions& options,
                               const Ends& ends) {
    if (options.pty) {
        take_terminal(ends.slave_name);
    } else {
        ::dup2(ends.in[0], 0);
        ::dup2(ends.out[1], 1);
    }
    ::dup2(ends.err[1], 2);
    for (const auto& e : options.env) ::putenv(const_cast<char*>(e.c_str()));
    if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) ::_exit(127);
    ::signal(SIGPIPE, SIG_DFL);
    if (body != nullptr) {
        body();
        ::_exit(0);
    }
    ::execv(args[0], args);
    ::_exit(127);
}

// In the test: keeps the test's ends of the streams in `child` and closes the child's.
void keep_parent_ends(Child& child, const Ends& ends, bool pty) {
    if (pty) {
        child.in = ends.master;
        child.out.fd = ends.master;
    } else {
        ::close(ends.in[0]);
        ::close(ends.out[1]);
        child.in = ends.in[1];
        child.out.fd = ends.out[0];
    }
    ::close(ends.err[1]);
    child.err.fd = ends.err[0];
    // Under emulation an i386 program may also be started through another (setpriv, bash).
    child.err.drop_emulator_notes = i386_emulated();
}

// Starts a child with its standard streams on pipes (or a pseudo-terminal) that runs `argv`,
// or `body` when it is given.
Child start(const std::vector<std::string>& argv, void (*body)(), const SpawnOptions& options) {
    Child child;
    Ends ends;
    if (!open_ends(ends, options)) return child;
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) become_child(args.data(), body, options, ends);
    if (pid < 0) {
        failure(std::string("fork: ") + std::strerror(errno));
        return child;
    }
    child.pid = pid;
    keep_parent_ends(child, ends, options.pty);
    // A child that dies must not kill the test with SIGPIPE when the test writes to it.
    ::signal(SIGPIPE, SIG_IGN);
    return child;
}

}  // namespace

Child spawn(const std::vector<std::string>& argv, const SpawnOptions& options) {
    return start(argv, nullptr, options);
}

Child spawn_function(void (*body)(), const SpawnOptions& options) {
    return start({}, body, options);
}

std::vector<std::string> redirected(const std::vector<std::string>& argv,
                                    const std::string& redirect,
                                    const std::vector<std::string>& env) {
    std::vector<std::string> command{"/bin/sh", "-c", "exec /usr/bin/env \"$@\" " + redirect, "sh"};
    command.insert(command.end(), env.begin(), env.end());
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
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
    std::error_code error;
    std::string pattern = (std::filesystem::current_path(error) / "osfacets-test-XXXXXX").string();
    if (error || ::mkdtemp(pattern.data()) == nullptr) {
        failure(std::string("mkdtemp: ") + std::strerror(error ? error.value() : errno));
        return;
    }
    path = pattern;
}

TempDir::~TempDir() {
    if (path.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

}  // namespace osf::test
