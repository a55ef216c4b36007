// read_line: the limit counts the terminating zero; the newline stays when it fits; the rest
// of an over-long line waits for the next read.
#include "line_read.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

TEST(ReadLine, SplitsLongLinesAtTheLimitAndKeepsNewlines) {
    const std::string input = std::string(85, 'x') + "\nab\n";
    std::FILE* in = ::fmemopen(const_cast<char*>(input.data()), input.size(), "r");
    ASSERT_NE(in, nullptr);
    char buffer[80];
    ASSERT_TRUE(read_line(buffer, 80, in));
    EXPECT_EQ(std::string(buffer), std::string(79, 'x'));  // 79 characters, no newline
    ASSERT_TRUE(read_line(buffer, 80, in));
    EXPECT_EQ(std::string(buffer), "xxxxxx\n");
    ASSERT_TRUE(read_line(buffer, 80, in));
    EXPECT_EQ(std::string(buffer), "ab\n");
    EXPECT_FALSE(read_line(buffer, 80, in));  // end of input
    std::fclose(in);
}

}  // namespace
