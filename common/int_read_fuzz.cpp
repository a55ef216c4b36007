// int_read_fuzz: a libFuzzer target for read_int (cmake/OsfFuzz.cmake).
//
// Each input becomes standard input, a memory stream over its bytes (glibc lets a program
// assign stdin), and read_int is called until it reports the end. Where each call leaves the
// stream says what it took, and that is checked against the rule of int_read.h: a number is
// white space, an optional sign and all the digits that follow, held at INT_MIN or INT_MAX;
// an unreadable token is dropped up to the next white space and never past it; the end comes
// when only white space is left. Every other call takes at least one byte, so none repeats on
// the same token. A failed check aborts.
#include <algorithm>
#include <cctype>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "int_read.h"

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "read_int: %s\n", what);
    std::abort();
}

bool space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool digit(char c) { return c >= '0' && c <= '9'; }

// Whether `token` starts as a number does: a digit, or a sign and a digit.
bool starts_number(const std::string& token) {
    const std::size_t first = !token.empty() && (token[0] == '-' || token[0] == '+') ? 1 : 0;
    return first < token.size() && digit(token[first]);
}

// The value of a token of an optional sign and digits, held at the ends of int; or false when
// the token is not that.
bool value_of(const std::string& token, int& value) {
    if (!starts_number(token)) return false;
    const bool negative = token[0] == '-';
    const std::size_t first = token[0] == '-' || token[0] == '+' ? 1 : 0;
    long long magnitude = 0;
    for (std::size_t i = first; i < token.size(); ++i) {
        if (!digit(token[i])) return false;
        magnitude = std::min(magnitude * 10 + (token[i] - '0'), 1LL + INT_MAX);
    }
    value = static_cast<int>(negative ? std::max(-magnitude, static_cast<long long>(INT_MIN))
                                      : std::min(magnitude, static_cast<long long>(INT_MAX)));
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto bytes = std::make_unique<char[]>(size);
    std::memcpy(bytes.get(), data, size);
    std::FILE* const saved = stdin;
    stdin = fmemopen(bytes.get(), size, "r");
    check(stdin != nullptr, "fmemopen failed");

    std::size_t taken = 0;  // what the calls so far took
    for (std::size_t calls = 0;; ++calls) {
        check(calls <= size, "more calls than bytes");
        int value = 0;
        const enum int_read got = read_int(&value);
        const auto now = static_cast<std::size_t>(std::ftell(stdin));
        std::size_t start = taken;
        while (start < now && space(text[start])) ++start;
        const std::string token = text.substr(start, now - start);
        if (got == INT_READ_ENDED) {
            check(now == size && token.empty(), "ended before the last token");
            break;
        }
        check(now > taken, "a call took nothing");
        check(token.find_first_of(" \t\n\v\f\r") == std::string::npos, "a token past white space");
        if (got == INT_READ_VALUE) {
            int expected = 0;
            check(value_of(token, expected) && value == expected, "another number");
            check(now == size || !digit(text[now]), "digits left after the number");
        } else {
            check(got == INT_READ_UNREADABLE, "no such result");
            check(now == size || space(text[now]), "an unreadable token only partly dropped");
            check(!token.empty() && !starts_number(token), "a number dropped as unreadable");
        }
        taken = now;
    }
    std::fclose(stdin);
    stdin = saved;
    return 0;
}
