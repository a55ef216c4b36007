// Parsing of the alarm request line (see alarm_request.h); used by snoozer and snoozefork.
#include "alarm_request.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

#define OSF_TEXT(x) #x
#define OSF_DIGITS(x) OSF_TEXT(x)
// The request line's two-field scan, "%d %64[^\n]", its width written from the message's
// longest length.
constexpr char kRequestScan[] = "%d %" OSF_DIGITS(OSF_ALARM_MESSAGE_MAX) "[^\n]";
#undef OSF_DIGITS
#undef OSF_TEXT

// True if the number the scan took as the seconds fits a signed 32-bit integer. The scan
// itself gives no sign of an overflow (it keeps some truncated value), so the same leading
// number is read again with a wider conversion that does report it.
bool seconds_in_range(const char* line) noexcept {
    errno = 0;
    const long long value = std::strtoll(line, nullptr, 10);
    return errno != ERANGE && value >= INT_MIN && value <= INT_MAX;
}

}  // namespace

bool parse_alarm_request(const char* line, AlarmRequest& request) noexcept {
    // The request line's own two-field scan; seconds_in_range catches what %d cannot report.
    // NOLINTNEXTLINE(cert-err34-c)
    const int fields = std::sscanf(line, kRequestScan, &request.seconds, request.message);
    return fields == 2 && request.seconds >= 0 && seconds_in_range(line);
}
