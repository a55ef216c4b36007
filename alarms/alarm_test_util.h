// Helpers shared by the alarm programs' end-to-end tests: the two alarm services' own texts,
// starting and ending them, counting texts in output, reading a process's /proc entries.
#pragma once

#include <sys/types.h>

#include <functional>
#include <ostream>
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

// What tells the two alarm services apart at their standard streams.
struct AlarmService {
    std::string name;         // snoozer or snoozefork
    std::string path;         // the program
    std::string prompt;       // "Alarm> " or "Alarm"
    std::string bad_command;  // the report of a line that is not a request
    size_t line_limit = 0;    // the read limit, the terminating zero included
    // The opening line before the first prompt (snoozer's names the process id).
    std::string greeting(pid_t pid) const;
    // The alarm as printed for `seconds` and `message`.
    std::string alarm(int seconds, const std::string& message) const;
};
// GoogleTest names a service by its name in test names and messages.
inline void PrintTo(const AlarmService& service, std::ostream* out) { *out << service.name; }
AlarmService snoozer_service(const std::string& path);
AlarmService snoozefork_service(const std::string& path);

// Starts the service and reads its greeting and first prompt.
osf::test::Child start(const AlarmService& service, const osf::test::SpawnOptions& options = {});

// Ends the service with end of input (status 0) and returns the rest of its standard output, up
// to the moment every process holding it has gone (snoozefork's children too).
std::string finish(osf::test::Child& service);

// How many times `needle` occurs in `text` (without overlaps).
size_t count(std::string_view text, std::string_view needle);

// `text` with every occurrence of `needle` taken out.
std::string erase_all(std::string text, std::string_view needle);

// The children of `pid` as "<pid> <state>" (state Z: a zombie), found by scanning /proc.
std::vector<std::string> children_of(pid_t pid);

// Reads `child`'s standard output into `seen` until `needle` occurs `times` times in it. The
// work's own progress decides how long that may take: it gives up only when `stall` passes
// without a new occurrence (or at end of output), so a slow host is no failure. Returns whether
// it got them all.
bool read_until_count(osf::test::Child& child, std::string& seen, std::string_view needle,
                      size_t times, osf::test::milliseconds stall);

// Runs `attempt` with alarms of `seconds` until it returns true; it returns false when the
// program's own output shows that the host was too slow for what it checks (an alarm came
// before a prompt it was to follow). Each try's alarms last twice as long as the last try
// took, plus two seconds; the third such output fails the test.
void retry_with_longer_alarms(int seconds, const std::function<bool(int seconds)>& attempt);

}  // namespace alarms::test
