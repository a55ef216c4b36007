#include "visible_text.h"

#include <unistd.h>

#include <cstring>

namespace {

// C0 control characters but tab and newline, and DEL: what a terminal acts on.
bool acts_on_terminal(unsigned char c) noexcept {
    return (c < 0x20 && c != '\t' && c != '\n') || c == 0x7f;
}

}  // namespace

std::size_t visible_text(const char* text, std::size_t length, char* shown,
                         bool terminal) noexcept {
    if (!terminal) {
        std::memcpy(shown, text, length);
        return length;
    }
    std::size_t n = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (acts_on_terminal(c)) {
            shown[n++] = '^';
            shown[n++] = c == 0x7f ? '?' : static_cast<char>(c + 0x40);
        } else {
            shown[n++] = static_cast<char>(c);
        }
    }
    return n;
}

bool stdout_is_terminal() noexcept {
    static const bool terminal = isatty(STDOUT_FILENO) == 1;
    return terminal;
}
