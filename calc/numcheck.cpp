// numcheck: checks that a typed line is a plain decimal integer and gives its value, or the
// invalid mark 36. Delivered as the object numcheck.o, declared in numcheck.h, for outside
// programs that read numbers as text lines.
//
// One scan from the start: an optional sign at the first place (skipped, it does not change
// the value), then digits, each folded into the value. The scan ends at the newline or at the
// first sign or non-digit; the text is accepted only when the scan ended on its last character
// (index length - 1), which in a whole line is the newline, and only when the value fits the
// result: a value beyond 2147483647 (INT_MAX) makes the text malformed, since the int result
// could only hand it back as another number. A '.' followed by the byte 1 ends the check at
// once with 0.
//
// The length is not measured in a pass of its own: every byte the scan stepped over is a sign
// or a digit, so the text's zero byte lies at or after the stop, and "the stop is the last
// character" is "the byte at the stop is not the zero byte and the next one is". That reads
// nothing past the stop but one byte, needs no strlen, and has no length - 1 to underflow for
// the empty text.
#include "numcheck.h"

#include <cstddef>

namespace {

constexpr int kInvalid = 36;

}  // namespace

int numcheck(const char* text) noexcept {
    if (text == nullptr) return kInvalid;
    std::size_t i = 0;
    int value = 0;
    // Set once the value no longer fits an int; the scan goes on all the same, for the '.'
    // rule and the end of the text. (The checked operations store a wrapped value from then
    // on, which no longer matters.)
    bool too_large = false;
    while (text[i] != '\n') {
        if (i == 0 && (text[0] == '+' || text[0] == '-')) i = 1;
        // As unsigned char, so that bytes above 127 are plain non-digits.
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '+' || c == '-') break;
        // text[i] is not the zero byte here, so text[i + 1] is still inside the text.
        if (c == '.' && text[i + 1] == '\x01') return 0;
        if (c < '0' || c > '9') break;
        too_large |= __builtin_mul_overflow(value, 10, &value);
        too_large |= __builtin_add_overflow(value, c - '0', &value);
        ++i;
    }
    const bool ended_on_last_character = text[i] != '\0' && text[i + 1] == '\0';
    return ended_on_last_character && !too_large ? value : kInvalid;
}
