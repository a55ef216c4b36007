// visible_text: text that came from outside (a chat peer's datagram, the message in a
// shared-memory object), made fit to show on standard output.
//
// On a terminal, control characters act instead of showing: an escape sequence sets the window
// title, clears the screen or moves the cursor over earlier lines, a carriage return overwrites
// the line. So on a terminal each control character of C0 but tab and newline, and DEL, is
// shown the way `cat -v` shows it: a caret and the character 64 places up (ESC as ^[, BEL as
// ^G, CR as ^M, NUL as ^@), DEL as ^?. The C1 controls act as well (0x9b is CSI, 0x9d starts an
// OSC string), whether they come as a lone byte of 0x80 to 0x9f or in UTF-8 as U+0080 to U+009F
// (0xc2 0x80 to 0xc2 0x9f): each of their bytes shows as `cat -v` shows it, "M-" and the caret
// form of the low seven bits, so the lone 0x9b shows as M-^[ and U+009B as M-BM-^[. Every
// other byte of 128 and above passes unchanged, in well-formed UTF-8 (where 0x80 to 0x9f are
// continuation bytes, as in the euro sign 0xe2 0x82 0xac) or not, so that text in any script
// stays readable. Anywhere else (a pipe, a file) the bytes go out as they came.
#pragma once

#include <cstddef>

// How many bytes a byte of text may take once shown: a lone C1 byte takes four ("M-^[").
inline constexpr std::size_t kVisibleGrowth = 4;

// Writes the form of `text` (its first `length` bytes) to show into `shown`, which has room
// for kVisibleGrowth * length bytes, and returns the number of bytes written. `terminal` says
// whether the text goes to a terminal.
std::size_t visible_text(const char* text, std::size_t length, char* shown, bool terminal) noexcept;

// Whether standard output is a terminal (asked once; the answer does not change while we run).
bool stdout_is_terminal() noexcept;
