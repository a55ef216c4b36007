#include "process.h"

#include <elf.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
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

void failure(const std::string& message) { failure_report(message); }

// What qemu-user writes to the program's standard error when the program dies of a signal.
constexpr std::string_view kEmulatorNote = "qemu: uncaught target signal ";

// Takes every complete emulator note line out of `text`; an incomplete one waits for its rest.
void erase_emulator_notes(std::string& text) {
    for (size_t at = text.find(kEmulatorNote); at != std::string::npos;
         at = text.find(kEmulatorNote, at)) {
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        text.erase(at, end + 1 - at);
    }
}

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
    if (s.drop_emulator_notes) erase_emulator_notes(s.pending);
    return true;
}

// Whether one binfmt_misc entry is enabled and claims 32-bit little-endian x86 executables:
// its magic starts with the ELF32 LSB identification and holds machine 3 (EM_386) at byte 18.
bool claims_i386(const std::filesystem::path& entry) {
    std::ifstream file(entry);
    std::string line;
    bool enabled = false, i386 = false, at_start = false;
    while (std::getline(file, line)) {
        if (line == "enabled") enabled = true;
        if (line == "offset 0") at_start = true;
        if (line.rfind("magic ", 0) == 0) {
            const std::string magic = line.substr(6);
            i386 = magic.size() >= 40 && magic.rfind("7f454c460101", 0) == 0 &&
                   magic.substr(36, 4) == "0300";
        }
    }
    return enabled && i386 && at_start;
}

milliseconds left_until(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? left : milliseconds{0};
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
    while (!s.eof && Clock::now() < deadline) fill(s, left_until(deadline));
    return std::exchange(s.pending, {});
}

bool Child::read_some(Stream& s, milliseconds wait) {
    fill(s, wait);
    return !s.eof;
}

int Child::wait(milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!reaped) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            reaped = true;
            break;
        }
        if (Clock::now() >= deadline) {
            failure("child " + std::to_string(pid) + " did not end in time; killed");
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            reaped = true;
            return -1;
        }
        std::this_thread::sleep_for(milliseconds(2));
    }
    return status;
}

bool Child::wait_stopped(milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!reaped) {
        int seen = 0;
        const pid_t r = ::waitpid(pid, &seen, WNOHANG | WUNTRACED);
        if (r == pid && WIFSTOPPED(seen)) return true;
        if (r == pid) {
            status = seen;
            reaped = true;
            break;
        }
        if (Clock::now() >= deadline) break;
        std::this_thread::sleep_for(milliseconds(2));
    }
    failure("child " + std::to_string(pid) + " did not stop in time (" +
            (reaped ? describe_status(status) : "still running") + ")");
    return false;
}

void Child::resume() { ::kill(pid, SIGCONT); }

bool Child::ended() {
    if (!reaped && ::waitpid(pid, &status, WNOHANG) == pid) reaped = true;
    return reaped;
}

Child spawn(const std::vector<std::string>& argv, const SpawnOptions& options) {
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
                t.c_lflag &= ~static_cast<tcflag_t>(ECHO);  // what the test types is not echoed
                t.c_oflag &= ~static_cast<tcflag_t>(ONLCR); // output bytes arrive unchanged
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

Result run(const std::vector<std::string>& argv, std::string_view input, milliseconds timeout,
           const SpawnOptions& options) {
    Child child = spawn(argv, options);
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
        if (p[0].revents) fill(child.out, milliseconds{0});
        if (p[1].revents) fill(child.err, milliseconds{0});
    }
    result.status = child.wait(left_until(deadline) + milliseconds{100});
    result.out = std::move(child.out.pending);
    result.err = std::move(child.err.pending);
    return result;
}

void set_failure_report(void (*report)(const std::string& message)) { failure_report = report; }

std::vector<std::string> inject_env(std::string_view fail, std::string_view stop_after) {
    std::vector<std::string> env{"LD_PRELOAD=" OSF_INJECT_LIBRARY};
    if (!fail.empty()) env.push_back("OSF_FAIL=" + std::string(fail));
    if (!stop_after.empty()) env.push_back("OSF_STOP_AFTER=" + std::string(stop_after));
#if defined(__SANITIZE_ADDRESS__)
    // The runtime insists on being loaded first unless told otherwise.
    const char* options = std::getenv("ASAN_OPTIONS");
    env.push_back(std::string("ASAN_OPTIONS=") + (options != nullptr ? options : "") +
                  (options != nullptr && *options != '\0' ? ":" : "") +
                  "verify_asan_link_order=0");
#endif
    return env;
}

bool i386_emulated() {
    static const bool emulated = [] {
        const std::filesystem::path root = "/proc/sys/fs/binfmt_misc";
        std::ifstream status(root / "status");
        std::string state;
        if (!std::getline(status, state) || state != "enabled") return false;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(root, error)) {
            const std::string name = entry.path().filename();
            if (name != "register" && name != "status" && claims_i386(entry.path())) return true;
        }
        return false;
    }();
    return emulated;
}

std::string without_emulator_notes(std::string text) {
    if (i386_emulated()) erase_emulator_notes(text);
    return text;
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

bool udp_port_bound(int port) {
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, ":%04X", static_cast<unsigned>(port));
    for (const char* path : {"/proc/net/udp", "/proc/net/udp6"}) {
        std::ifstream table(path);
        std::string line;
        std::getline(table, line);  // the header
        while (std::getline(table, line)) {
            std::istringstream fields(line);
            std::string slot, local;
            fields >> slot >> local;  // "0100007F:04D2": address and port in hexadecimal
            if (local.size() > 5 && local.compare(local.size() - 5, 5, wanted) == 0) return true;
        }
    }
    return false;
}

std::string elf_kind(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    unsigned char ident[EI_NIDENT + 4] = {};
    if (!file.read(reinterpret_cast<char*>(ident), sizeof ident)) return "";
    if (std::memcmp(ident, ELFMAG, SELFMAG) != 0) return "";
    // e_machine follows e_type right after e_ident in both classes (little-endian x86).
    const unsigned machine = ident[EI_NIDENT + 2] | (ident[EI_NIDENT + 3] << 8);
    std::string kind = ident[EI_CLASS] == ELFCLASS32 ? "ELF32" : "ELF64";
    if (machine == EM_386) return kind + " i386";
    if (machine == EM_X86_64) return kind + " x86-64";
    return kind + " machine " + std::to_string(machine);
}

}  // namespace osf::test
