// visible_text_fuzz: a libFuzzer target for visible_text (cmake/OsfFuzz.cmake).
//
// Each input is the text, in a heap buffer of exactly its size, shown into one of exactly
// kVisibleGrowth times that size, so that a read or write past either is an ASan report. Not
// to a terminal the text must come out as it came. To a terminal, the output is read with a
// UTF-8 decoder of its own (code points from the bits, the shortest form checked against the
// value) and must hold no C0 control but tab and newline, no DEL, and no C1 control: a byte
// of 0x80 to 0x9f may reach the terminal only inside a well-formed sequence (not overlong, no
// surrogate, nothing above U+10FFFF) of a character from U+00A0 up. Text that holds none of
// these (well-formed UTF-8 without controls among it) must pass unchanged, and showing the
// output again must change nothing. A failed check aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "visible_text.h"

namespace {

// The code point of the well-formed UTF-8 sequence at text[i], and its size; size 0 if none
// starts there.
struct Decoded {
    char32_t code = 0;
    std::size_t size = 0;
};

Decoded decode(const std::string& text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t size = 0;
    if ((lead & 0xe0U) == 0xc0U) {
        size = 2;
    } else if ((lead & 0xf0U) == 0xe0U) {
        size = 3;
    } else if ((lead & 0xf8U) == 0xf0U) {
        size = 4;
    } else {
        return {};
    }
    if (i + size > text.size()) return {};
    char32_t code = lead & (0x7fU >> size);
    for (std::size_t k = 1; k < size; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xc0U) != 0x80U) return {};
        code = (code << 6U) | (c & 0x3fU);
    }
    const char32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < shortest[size] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return {};
    return {code, size};
}

bool c0_or_del(unsigned char c) { return (c < 0x20 && c != '\t' && c != '\n') || c == 0x7f; }
bool c1(char32_t code) { return code >= 0x80 && code <= 0x9f; }

// Whether `text` holds nothing that a terminal acts on: no C0 control but tab and newline, no
// DEL, no C1 control, whether a lone byte or a well-formed sequence.
bool harmless(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const Decoded d = c < 0x80 ? Decoded{c, 1} : decode(text, i);
        if (c0_or_del(c) || c1(d.size != 0 ? d.code : c)) return false;
        i += d.size != 0 ? d.size : 1;
    }
    return true;
}

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "visible_text: %s\n", what);
    std::abort();
}

std::string shown(const std::string& text, bool terminal) {
    // Heap buffers of exactly the sizes visible_text is promised.
    const auto in = std::make_unique<char[]>(text.size());
    const auto out = std::make_unique<char[]>(kVisibleGrowth * text.size());
    text.copy(in.get(), text.size());
    const std::size_t n = visible_text(in.get(), text.size(), out.get(), terminal);
    check(n <= kVisibleGrowth * text.size(), "more than kVisibleGrowth bytes for each byte");
    return {out.get(), n};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    check(shown(text, false) == text, "not to a terminal, the text changed");

    const std::string out = shown(text, true);
    check(harmless(out), "a control character reaches the terminal");
    if (harmless(text)) check(out == text, "text with no control character changed");
    check(shown(out, true) == out, "showing the shown text again changed it");
    return 0;
}
