// numcheck: checks that a typed line is a plain decimal integer and gives its value, or the
// invalid mark 36. Delivered as the object numcheck.o, declared in numcheck.h, for outside
// programs that read numbers as text lines.
//
// One scan from the start: an optional sign at the first place (skipped, it does not change
// the value), then digits, each folded into the value modulo 2^32. The scan ends at the
// newline or at the first sign or non-digit; the text is accepted only when the scan ended on
// its last character (index length - 1), which in a whole line is the newline. A '.' followed
// by the byte 1 ends the check at once with 0.
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
    unsigned value = 0;  // unsigned, so that long digit runs wrap instead of overflowing
    while (text[i] != '\n') {
        if (i == 0 && (text[0] == '+' || text[0] == '-')) i = 1;
        // As unsigned char, so that bytes above 127 are plain non-digits.
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '+' || c == '-') break;
        // text[i] is not the zero byte here, so text[i + 1] is still inside the text.
        if (c == '.' && text[i + 1] == '\x01') return 0;
        if (c < '0' || c > '9') break;
        value = value * 10u + (c - '0');
        ++i;
    }
    const bool ended_on_last_character = text[i] != '\0' && text[i + 1] == '\0';
    return ended_on_last_character ? static_cast<int>(value) : kInvalid;
}
