// Tests of numcheck, linked from the object numcheck.o that is installed (the object library
// itself, not a rebuild of the source). Each table row is one text and the result it must give.
#include "numcheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Case {
    std::string text;  // std::string, so rows may hold any byte, the zero byte aside
    int expected;
};

void expect_table(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        // A fresh heap copy of exactly the text and its zero byte, so that ASan sees any read
        // past the end.
        std::vector<char> copy(c.text.begin(), c.text.end());
        copy.push_back('\0');
        EXPECT_EQ(numcheck(copy.data()), c.expected)
            << "text: \"" << testing::PrintToString(c.text) << "\"";
    }
}

TEST(Numcheck, AcceptsOptionalSignThenDigitsThenNewline) {
    expect_table(
        {{"42\n", 42}, {"0\n", 0}, {"007\n", 7}, {"2147483647\n", 2147483647}, {"36\n", 36}});
}

TEST(Numcheck, SignIsSkippedAndDoesNotChangeTheValue) {
    expect_table({{"+42\n", 42}, {"-42\n", 42}, {"-0\n", 0}, {"+\n", 0}, {"-\n", 0}});
}

TEST(Numcheck, EmptyLineGivesZeroButEmptyTextIsInvalid) { expect_table({{"\n", 0}, {"", 36}}); }

TEST(Numcheck, RejectsMalformedLines) {
    expect_table({{"4 2\n", 36},
                  {" 42\n", 36},
                  {"42 \n", 36},
                  {"4x\n", 36},
                  {"x4\n", 36},
                  {"+-4\n", 36},
                  {"--4\n", 36},
                  {"4-\n", 36},
                  {"4+2\n", 36},
                  {"4.5\n", 36},
                  {"+", 36},
                  {"\n\n", 36},
                  {"42\n7", 36}});
}

TEST(Numcheck, TheScanMustEndOnTheLastCharacter) {
    // Without a newline the scan stops on the zero byte, one place past the last character...
    expect_table({{"42", 36}, {"7", 36}});
    // ...unless a non-digit stops it on the last character itself.
    expect_table({{"42x", 42}, {"-42x", 42}, {"x", 0}, {"4-", 4}, {"42x\n", 36}});
}

// The result is a signed 32-bit int and the sign is ignored, so 2147483647 is the largest value
// it can give back; one beyond it, of either sign, is malformed (it would come back as another
// number, as the wrapped values noted below), and leading zeros do not count.
TEST(Numcheck, ValueBeyondTheLargestIntIsInvalid) {
    expect_table({{"2147483647\n", 2147483647},
                  {"-2147483647\n", 2147483647},
                  {"00000000000000000000002147483647\n", 2147483647},
                  {"2147483648\n", 36},   // 2^31
                  {"-2147483648\n", 36},  // INT_MIN typed: its value, 2^31, does not fit
                  {"2147483650\n", 36},
                  {"4294967295\n", 36},            // 2^32 - 1: once -1
                  {"4294967338\n", 36},            // 2^32 + 42: once 42
                  {"-4294967296\n", 36},           // 2^32: once 0
                  {"18446744073709551658\n", 36},  // 2^64 + 42
                  {"21474836470", 36},             // no newline: the scan stops on the zero
                  {"2147483648x", 36},             // the scan stops on the last character
                  {"99999999999.\x01", 0},         // the '.' rule goes before the range
                  {"99999999999x.\x01\n", 36}});
}

TEST(Numcheck, BytesAbove127AreNotDigits) {
    // 0xB2 and 0xB9 are '2' and '9' with the top bit set. As plain (signed) chars they are
    // negative, and a digit test that indexes a table with them reads outside it.
    expect_table({{"4\xB2\n", 36}, {"\xB9\n", 36}, {"4\xB2", 4}, {"\xFF", 0}, {"\x80\n", 36}});
}

TEST(Numcheck, DotFollowedByByteOneEndsTheCheckWithZero) {
    expect_table({{"42.\x01\n", 0},
                  {".\x01", 0},
                  {"-.\x01", 0},
                  {"7.\x01 trailing garbage", 0},
                  {"42.1\n", 36},  // the digit '1' is not the byte 1
                  {"42.\n", 36},
                  {"42.", 42},          // the '.' is the last character: an ordinary stop
                  {"4x.\x01\n", 36}});  // the scan stopped at the x, before the '.'
}

TEST(Numcheck, NullPointerIsInvalid) { EXPECT_EQ(numcheck(nullptr), 36); }

}  // namespace
