// alarm_request_fuzz: a libFuzzer target for parse_alarm_request (cmake/OsfFuzz.cmake).
//
// Each input, cut at its first zero byte, becomes a line in a heap buffer of exactly its size,
// so that a read past its zero byte is an ASan report. Whether it is a request, and which, is
// compared with the rule of alarm_request.h applied by other means (strtoll for the seconds,
// the message taken by hand). A request must have seconds of 0 or more and a message of 1 to
// 64 characters, no newline among them, the first no white space; printed back as a line
// ("%d %s\n") it must parse to the same request. A failed check aborts.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "alarm_request.h"

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "parse_alarm_request: %s\n", what);
    std::abort();
}

// The request `line` makes by the rule: a number that fits 0..INT_MAX, then, past any white
// space, the message up to the newline, at most kAlarmMessageMax characters of it.
bool model(const char* line, AlarmRequest& request) {
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(line, &end, 10);
    if (end == line || errno == ERANGE || value < 0 || value > INT_MAX) return false;
    while (std::isspace(static_cast<unsigned char>(*end)) != 0) ++end;
    const std::size_t length =
        std::min(std::strcspn(end, "\n"), static_cast<std::size_t>(kAlarmMessageMax));
    if (length == 0) return false;
    request.seconds = static_cast<int>(value);
    std::memcpy(request.message, end, length);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto* zero = static_cast<const std::uint8_t*>(std::memchr(data, 0, size));
    const std::size_t length = zero != nullptr ? static_cast<std::size_t>(zero - data) : size;
    const auto line = std::make_unique<char[]>(length + 1);
    std::memcpy(line.get(), data, length);

    AlarmRequest request;
    AlarmRequest expected;
    const bool parsed = parse_alarm_request(line.get(), request);
    check(parsed == model(line.get(), expected), "a request by the rule or not, wrongly");
    if (!parsed) return 0;
    const std::string message = request.message;
    check(request.seconds == expected.seconds && message == expected.message, "another request");
    check(request.seconds >= 0, "negative seconds");
    check(!message.empty() && message.size() <= kAlarmMessageMax, "the message's length");
    check(message.find('\n') == std::string::npos, "a newline in the message");
    check(std::isspace(static_cast<unsigned char>(message[0])) == 0, "white space first");

    char printed[32 + kAlarmMessageMax];
    std::snprintf(printed, sizeof printed, "%d %s\n", request.seconds, request.message);
    AlarmRequest again;
    check(parse_alarm_request(printed, again) && again.seconds == request.seconds &&
              message == again.message,
          "printed back, the request parses to another");
    return 0;
}
