// Test helpers for memreader's end-to-end tests: run the real reader, or start it (or the
// example writer) stopped in the window after a call, and the texts the reader prints.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "process.h"
#include "shared_object_test_util.h"

namespace shm::test {

inline constexpr char kHead[] = "Read data from memory : ";

inline osf::test::Result run_reader(const std::vector<std::string>& prefix = {}) {
    std::vector<std::string> argv = prefix;
    argv.emplace_back(MEMREADER_PATH);
    return osf::test::run(argv, "");
}

// Starts `program` stopped right after the call that `stop` names (OSF_STOP_AFTER): memreader
// after "fstat" with its object open and locked, its size read, nothing read yet, or after
// "fstat:2" with the message copied out, nothing printed yet; shmwriter after
// "posix_fallocate" with its new object's room reserved, nothing written or published yet.
inline osf::test::Child spawn_stopped(const std::string& program, const std::string& stop,
                                      const std::string& redirect = "",
                                      const std::string& argument = "") {
    std::vector<std::string> argv{program};
    if (!argument.empty()) argv.push_back(argument);
    osf::test::Child child =
        osf::test::spawn(osf::test::redirected(argv, redirect, osf::test::inject_env("", stop)));
    child.wait_stopped();
    return child;
}

inline osf::test::Result finish(osf::test::Child& child) {
    osf::test::Result r;
    r.out = child.read_to_eof(child.out);
    r.err = child.read_to_eof(child.err);
    r.status = child.wait();
    return r;
}

// Runs the reader stopped right after `stop`, does `meanwhile` in that window, and lets the
// reader finish.
inline osf::test::Result run_reader_interrupted(const std::function<void()>& meanwhile,
                                                const std::string& redirect = "",
                                                const std::string& stop = "fstat") {
    osf::test::Child reader = spawn_stopped(MEMREADER_PATH, stop, redirect);
    meanwhile();
    reader.resume();
    return finish(reader);
}

inline std::string printed(const std::string& message) { return kHead + message + " \n"; }

inline std::string not_terminated(size_t readable) {
    return "memreader: the message in \"/shared\" is not terminated: no zero byte in its first " +
           std::to_string(readable) + " bytes\n";
}

inline constexpr char kEmpty[] = "memreader: \"/shared\" is empty: there is no message to read\n";

}  // namespace shm::test
