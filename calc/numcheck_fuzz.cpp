// numcheck_fuzz: a libFuzzer target for numcheck, built with clang under AddressSanitizer and
// UndefinedBehaviorSanitizer in the i386 sanitizer tree and run for a bounded time by CTest
// (make check-sanitize).
//
// Each input, cut at its first zero byte, becomes a heap text of exactly that size, so any
// read past its zero byte is an ASan report. numcheck's result is compared with a plain
// two-pass model (measure the length first, then scan, then compare the stop with length - 1),
// which checks numcheck's one-pass shortcut for the end of the text; a difference aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "numcheck.h"

namespace {

int two_pass_model(const char* text) {
    const std::size_t length = std::strlen(text);
    std::size_t i = 0;
    std::uint32_t value = 0;
    while (text[i] != '\n') {
        if (i == 0 && (text[0] == '+' || text[0] == '-')) i = 1;
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '+' || c == '-') break;
        if (c == '.' && text[i + 1] == 1) return 0;
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
        ++i;
    }
    if (length > 0 && i == length - 1) return static_cast<int>(value);
    return 36;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const void* zero = std::memchr(data, 0, size);
    const std::size_t length =
        zero != nullptr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - data) : size;
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
