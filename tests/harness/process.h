// Test harness: run a real program with pipes (or a pseudo-terminal) on its standard streams,
// talk to it, and read what it writes with a time limit on every read, so that a program that
// hangs fails its test instead of hanging the suite. The benchmark drivers use it too: what
// goes wrong (a time limit passed, a pipe that could not be made) goes to the failure report,
// which fails the running test case under GoogleTest (harness_main.cpp) and otherwise ends the
// program with a message and status 1.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host.h"

namespace osf::test {

using std::chrono::milliseconds;
inline constexpr milliseconds kDefaultTimeout{10000};

// One output stream of a child, with the bytes read from it but not yet handed out.
struct Stream {
    int fd = -1;
    std::string pending;
    bool eof = false;
    // An emulator's own notes ("qemu: uncaught target signal ...") are taken out as they come:
    // set on every child's standard error when i386 programs run under emulation.
    bool drop_emulator_notes = false;
};

struct SpawnOptions {
    bool pty = false;              // stdin and stdout on a pseudo-terminal instead of pipes
    std::vector<std::string> env;  // extra NAME=value entries
    std::string cwd;               // working directory, if not empty
};

// A running child. Its destructor kills it (SIGKILL) if it still runs, and reaps it.
struct Child {
    pid_t pid = -1;
    int in = -1;      // write end of the child's standard input
    Stream out;       // the child's standard output (the terminal, with pty)
    Stream err;       // the child's standard error
    int status = -1;  // wait status once reaped
    bool reaped = false;

    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    Child(Child&& other) noexcept;
    Child& operator=(Child&& other) noexcept;
    ~Child();

    void write(std::string_view text);  // to standard input, all of it
    void close_input();                 // end of input for the child

    // Bytes up to and including the first `needle`; fails the test if it does not come in time.
    std::string read_until(Stream& s, std::string_view needle,
                           milliseconds timeout = kDefaultTimeout);
    // Everything up to end of file (or what came before the timeout, which fails the test).
    std::string read_to_eof(Stream& s, milliseconds timeout = kDefaultTimeout);
    // Whatever arrives within `window` (with none, what has come by now); no failure if
    // nothing does.
    std::string read_for(Stream& s, milliseconds window);
    // Reads once into s.pending what arrives first, waiting at most `wait` (for timing from
    // outside: it returns as soon as something came). False at end of file.
    bool read_some(Stream& s, milliseconds wait);

    // Waits for the child to end; on timeout kills it and fails the test. Returns the wait status.
    int wait(milliseconds timeout = kDefaultTimeout);
    // Waits until the child has stopped itself (OSF_STOP_AFTER, see inject_env); fails the test
    // and returns false if it does not in time. resume() lets it go on.
    bool wait_stopped(milliseconds timeout = kDefaultTimeout);
    void resume();
    // True if the child has ended by now (reaps it).
    bool ended();
};

Child spawn(const std::vector<std::string>& argv, const SpawnOptions& options = {});
// A child that runs `body` (a function of this program) instead of another program, then
// leaves with status 0 unless `body` ends it otherwise.
Child spawn_function(void (*body)(), const SpawnOptions& options = {});

// Runs a program to completion with `input` on its standard input.
struct Result {
    std::string out;
    std::string err;
    int status = -1;
};
Result run(const std::vector<std::string>& argv, std::string_view input,
           milliseconds timeout = kDefaultTimeout, const SpawnOptions& options = {});
// Standard output that no write reaches, as the shell makes it (for `redirected`), and the
// system's text for the error that a write to it meets.
inline constexpr std::pair<const char*, const char*> kUnwritableOutputs[] = {
    {">/dev/full", "No space left on device"}, {">&-", "Bad file descriptor"}};

// `argv` as the shell runs it with its standard output redirected as `redirect` says
// (">/dev/full", ">&-"), and with `env` (NAME=value entries) set for it alone.
std::vector<std::string> redirected(const std::vector<std::string>& argv,
                                    const std::string& redirect,
                                    const std::vector<std::string>& env = {});
// Runs `body` in a child (spawn_function) to its end, with no input.
Result run_function(void (*body)(), milliseconds timeout = kDefaultTimeout);

// Where the harness's failures go from now on (see above), and one such failure.
void set_failure_report(void (*report)(const std::string& message));
void failure(const std::string& message);

bool exited_with(int status, int code);
bool killed_by(int status, int signal);
std::string describe_status(int status);

// A state that nothing announces (a port bound, a child gone, a file opened): true as soon as
// `holds()` is, false if it still is not once `limit` has passed. Every wait of the tests for
// such a state goes through it; none sleeps to order events.
bool eventually(const std::function<bool()>& holds, milliseconds limit = kDefaultTimeout);

// A temporary directory in the working directory (a test's is in the build tree; /tmp may be
// mounted noexec, and tests run programs they put there), removed with everything in it at the
// end of its scope.
struct TempDir {
    std::string path;
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
};

}  // namespace osf::test
