// visible_text: text that came from outside (a chat peer's datagram, the message in a
// shared-memory object), made fit to show on standard output.
//
// On a terminal, control characters act instead of showing: an escape sequence sets the window
// title, clears the screen or moves the cursor over earlier lines, a carriage return overwrites
// the line. So on a terminal each control character of C0 but tab and newline, and DEL, is
// shown the way `cat -v` shows it: a caret and the character 64 places up (ESC as ^[, BEL as
// ^G, CR as ^M, NUL as ^@), DEL as ^?. Bytes of 128 and above pass unchanged, so that UTF-8 text
// stays readable. Anywhere else (a pipe, a file) the bytes go out as they came.
#pragma once

#include <cstddef>

// Writes the form of `text` (its first `length` bytes) to show into `shown`, which has room
// for 2 * length bytes, and returns the number of bytes written. `terminal` says whether the
// text goes to a terminal.
std::size_t visible_text(const char* text, std::size_t length, char* shown, bool terminal) noexcept;

// Whether standard output is a terminal (asked once; the answer does not change while we run).
bool stdout_is_terminal() noexcept;
