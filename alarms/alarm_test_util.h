// Helpers shared by the alarm programs' end-to-end tests: counting texts in output, reading a
// process's /proc entries.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

#include "process.h"

namespace alarms::test {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif

// How many times `needle` occurs in `text` (without overlaps).
size_t count(std::string_view text, std::string_view needle);

// `text` with every occurrence of `needle` taken out.
std::string erase_all(std::string text, std::string_view needle);

// A number field of /proc/<pid>/status ("Threads", "VmSize", ...), or -1 if there is none.
long status_field(pid_t pid, const std::string& name);

// The children of `pid` as "<pid> <state>" (state Z: a zombie), found by scanning /proc.
std::vector<std::string> children_of(pid_t pid);

// Reads `child`'s standard output into `seen` until `needle` occurs `times` times in it or the
// time limit passes. Returns whether it did.
bool read_until_count(osf::test::Child& child, std::string& seen, std::string_view needle,
                      size_t times, osf::test::milliseconds timeout);

}  // namespace alarms::test
