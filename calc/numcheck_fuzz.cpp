// numcheck_fuzz: a libFuzzer target for numcheck, built with clang under AddressSanitizer and
// UndefinedBehaviorSanitizer in the i386 sanitizer tree and run for a bounded time by CTest
// (make check-sanitize).
//
// Each input, cut at its first zero byte, becomes a heap text of exactly that size, so any
// read past its zero byte is an ASan report. numcheck's result is compared with a plain
// two-pass model (measure the length first, then scan, then compare the stop with length - 1),
// which checks numcheck's one-pass shortcut for the end of the text; the model keeps the digits
// as text and takes their value only when at most ten significant digits make at most
// 2147483647, which checks numcheck's digit-by-digit test of the range. A difference aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "numcheck.h"

namespace {

// The value of decimal digits (leading zeros allowed), or -1 when it is beyond 2147483647.
long long value_of(const std::string& digits) {
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) return 0;
    const std::string significant = digits.substr(first);
    if (significant.size() > 10) return -1;
    const long long value = std::stoll(significant);
    return value > 2147483647 ? -1 : value;
}

int two_pass_model(const char* text) {
    const std::size_t length = std::strlen(text);
    std::size_t i = 0;
    std::string digits;
    while (text[i] != '\n') {
        if (i == 0 && (text[0] == '+' || text[0] == '-')) i = 1;
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '+' || c == '-') break;
        if (c == '.' && text[i + 1] == 1) return 0;
        if (c < '0' || c > '9') break;
        digits += static_cast<char>(c);
        ++i;
    }
    const long long value = value_of(digits);
    if (length == 0 || i != length - 1 || value < 0) return 36;
    return static_cast<int>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const void* zero = std::memchr(data, 0, size);
    const std::size_t length =
        zero != nullptr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - data)
                        : size;
    std::vector<char> text(data, data + length);
    text.push_back('\0');

    const int got = numcheck(text.data());
    const int expected = two_pass_model(text.data());
    if (got != expected) {
        std::fprintf(stderr, "numcheck gave %d, the two-pass model %d, for %zu bytes\n", got,
                     expected, length);
        std::abort();
    }
    return 0;
}
