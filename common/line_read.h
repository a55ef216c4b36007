// read_line: one line of input with a byte limit that counts the terminating zero.
//
// At most limit - 1 characters are stored, then a zero byte; the newline stays in the buffer
// when it fits, and the rest of an over-long line is left for the next read. Returns false at
// end of input (nothing read) or on a read error; report_input_end then says which.
#pragma once

#include <cstdio>

inline bool read_line(char* buffer, int limit, std::FILE* in) noexcept {
    return std::fgets(buffer, limit, in) != nullptr;
}

// After read_line returned false: "<message>: end of input\n" on standard error when the input
// ended, or perror's report of the read's own error. (errno says nothing at end of input: it
// holds whatever an earlier call left there.)
inline void report_input_end(const char* message, std::FILE* in) noexcept {
    if (std::ferror(in) != 0) {
        std::perror(message);
    } else {
        std::fprintf(stderr, "%s: end of input\n", message);
    }
}
