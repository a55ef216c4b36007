// The alarm request line shared by snoozer and snoozefork: seconds, then the message.
//
// A line is a request when a two-field scan finds both the seconds (a decimal integer with an
// optional sign) and a message of 1 to 64 characters that runs from the first character that
// is not white space to the end of the line, the newline excluded; characters beyond the 64th
// are ignored. A negative or out-of-range number of seconds is not a request: it could only
// become a sleep that never ends.
#pragma once

// The message's longest length, in characters. A macro as well, so that the request scan's
// format can be written from it as a string literal (which the compiler checks).
#define OSF_ALARM_MESSAGE_MAX 64
inline constexpr int kAlarmMessageMax = OSF_ALARM_MESSAGE_MAX;

struct AlarmRequest {
    int seconds = 0;
    char message[kAlarmMessageMax + 1] = {};
};

// Parses `line` into `request` with the scan "%d %64[^\n]", 64 being kAlarmMessageMax (its blank
// matches any white space, or none). Returns false, leaving the request unusable, when the line is
// not a request.
bool parse_alarm_request(const char* line, AlarmRequest& request) noexcept;
