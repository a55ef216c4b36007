// The alarm request line: what counts as a request, and what its two fields hold.
#include "alarm_request.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
    std::string line;
    bool request;
    int seconds;
    std::string message;
};

TEST(AlarmRequest, RequestsAndOtherLines) {
    const std::string long_message(100, 'm');
    const Case cases[] = {
        {"5 hello\n", true, 5, "hello"},
        {"5hello\n", true, 5, "hello"},         // no blank needed
        {"  7 \t  x y  \n", true, 7, "x y  "},  // leading blanks go, trailing ones stay
        {"+3 plus", true, 3, "plus"},           // no newline at the end
        {"0 now\n", true, 0, "now"},
        {"-0 zero\n", true, 0, "zero"},
        {"2147483647 max\n", true, 2147483647, "max"},
        {"1 " + long_message + "\n", true, 1, long_message.substr(0, 64)},
        {"1 " + std::string(64, 'e') + "\n", true, 1, std::string(64, 'e')},
        {"5\n", false, 0, ""},      // a number alone
        {"5   \n", false, 0, ""},   // a number followed only by blanks
        {"hello\n", false, 0, ""},  // a word alone
        {"x 5\n", false, 0, ""},
        {"-3 never\n", false, 0, ""},  // negative: a sleep that would never end
        {"-2147483648 never\n", false, 0, ""},
        {"2147483648 overflow\n", false, 0, ""},  // beyond 32 bits
        {"99999999999999999999 overflow\n", false, 0, ""},
        {"-99999999999 overflow\n", false, 0, ""},
        {"4294967297 wraps\n", false, 0, ""},  // would otherwise wrap round to 1
        {"\n", false, 0, ""},
        {"", false, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line \"" + c.line + "\"");
        AlarmRequest request;
        const bool parsed = parse_alarm_request(c.line.c_str(), request);
        EXPECT_EQ(parsed, c.request);
        if (parsed && c.request) {
            EXPECT_EQ(request.seconds, c.seconds);
            EXPECT_EQ(std::string(request.message), c.message);
        }
    }
}

}  // namespace
