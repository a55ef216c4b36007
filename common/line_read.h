// read_line: one line of input with a byte limit that counts the terminating zero.
//
// At most limit - 1 characters are stored, then a zero byte; the newline stays in the buffer
// when it fits, and the rest of an over-long line is left for the next read. Returns false at
// end of input (nothing read) or on a read error; report_input_end (report.h) then says which.
#pragma once

#include <cstdio>

inline bool read_line(char* buffer, int limit, std::FILE* in) noexcept {
    return std::fgets(buffer, limit, in) != nullptr;
}
