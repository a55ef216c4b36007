#include "visible_text.h"

#include <unistd.h>

#include <cstring>

namespace {

// C0 control characters but tab and newline, and DEL: what a terminal acts on.
bool acts_on_terminal(unsigned char c) noexcept {
    return (c < 0x20 && c != '\t' && c != '\n') || c == 0x7f;
}

bool is_c1(unsigned char c) noexcept { return c >= 0x80 && c <= 0x9f; }

bool continuation(const char* text, std::size_t i, std::size_t length, unsigned char low,
                  unsigned char high) noexcept {
    if (i >= length) return false;
    const auto c = static_cast<unsigned char>(text[i]);
    return c >= low && c <= high;
}

// The length of the well-formed UTF-8 sequence at text[i] (no overlong forms, no surrogates,
// nothing above U+10FFFF), or 0 if none starts there.
std::size_t utf8_sequence(const char* text, std::size_t i, std::size_t length) noexcept {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t size = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        size = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        size = 3;
        if (lead == 0xe0) low = 0xa0;
        if (lead == 0xed) high = 0x9f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        size = 4;
        if (lead == 0xf0) low = 0x90;
        if (lead == 0xf4) high = 0x8f;
    } else {
        return 0;
    }
    if (!continuation(text, i + 1, length, low, high)) return 0;
    for (std::size_t k = 2; k < size; ++k)
        if (!continuation(text, i + k, length, 0x80, 0xbf)) return 0;
    return size;
}

// Writes `c` as cat -v shows it: "M-" for the high bit, then the low seven bits, themselves
// shown as a caret form when they are a control character.
std::size_t cat_v(unsigned char c, char* shown) noexcept {
    std::size_t n = 0;
    if (c >= 0x80) {
        shown[n++] = 'M';
        shown[n++] = '-';
        c = static_cast<unsigned char>(c - 0x80);
    }
    if (c < 0x20 || c == 0x7f) {
        shown[n++] = '^';
        shown[n++] = c == 0x7f ? '?' : static_cast<char>(c + 0x40);
    } else {
        shown[n++] = static_cast<char>(c);
    }
    return n;
}

}  // namespace

std::size_t visible_text(const char* text, std::size_t length, char* shown,
                         bool terminal) noexcept {
    if (!terminal) {
        std::memcpy(shown, text, length);
        return length;
    }
    std::size_t n = 0;
    for (std::size_t i = 0; i < length;) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (acts_on_terminal(c)) {
            n += cat_v(c, shown + n);
            ++i;
            continue;
        }
        if (c < 0x80) {
            shown[n++] = static_cast<char>(c);
            ++i;
            continue;
        }
        const std::size_t size = utf8_sequence(text, i, length);
        if (size == 2 && c == 0xc2 && is_c1(static_cast<unsigned char>(text[i + 1]))) {
            // U+0080 to U+009F: both bytes as cat -v shows them ("M-BM-^[" for U+009B). Other
            // leads with these continuation bytes are letters (0xc3 0x80 is U+00C0).
            n += cat_v(c, shown + n);
            n += cat_v(static_cast<unsigned char>(text[i + 1]), shown + n);
        } else if (size > 0) {
            std::memcpy(shown + n, text + i, size);
            n += size;
        } else if (is_c1(c)) {
            n += cat_v(c, shown + n);  // a lone byte of 0x80 to 0x9f: "M-^[" for 0x9b
        } else {
            shown[n++] = static_cast<char>(c);
        }
        i += size > 0 ? size : 1;
    }
    return n;
}

bool stdout_is_terminal() noexcept {
    static const bool terminal = isatty(STDOUT_FILENO) == 1;
    return terminal;
}
