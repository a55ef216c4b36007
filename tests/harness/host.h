// What the tests learn about the host and the files: whether i386 programs run through an
// emulator (and what the emulator adds to their output), the environment that preloads the
// injection library, a UDP port's owner, a failure report's source line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace osf::test {

// Whether this test program, and so every program of its architecture that it starts, runs
// through an emulator (qemu-user, through binfmt_misc): told by what the kernel executes for
// it, so it holds in a root or a container that has no binfmt_misc mounted.
bool i386_emulated();

// Takes every complete line that the emulator (qemu-user) wrote of its own out of `text`
// ("qemu: uncaught target signal 6 (Aborted) - core dumped"); an incomplete one waits for the
// rest of it.
void drop_emulator_notes(std::string& text);

// Environment entries (for SpawnOptions::env) that preload the test library inject.cpp into
// the child: `fail` becomes OSF_FAIL ("pthread_create:2-4", "fork:1"), `stop_after`
// OSF_STOP_AFTER ("fstat"). Under AddressSanitizer the runtime is told to accept a library
// loaded before it.
std::vector<std::string> inject_env(std::string_view fail, std::string_view stop_after = {});

// Whether some socket is bound to UDP port `port` (IPv4 or IPv6), read from the kernel's socket
// tables, so that looking never takes the port.
bool udp_port_bound(int port);

// What is wrong with `err` as a report_failure report of `message` ("<message> at
// \"<file>\":<line>: <error>\n", `file` relative to the repository) whose line is the
// report_failure call with that message; "" when nothing is.
std::string failure_report_mismatch(const std::string& err, const std::string& message,
                                    const std::string& file, const std::string& error);

}  // namespace osf::test
