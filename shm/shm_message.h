// The message in a shared-memory object, found without reading past the object or the mapping.
//
// A mapping longer than its object faults (SIGBUS) on the pages past the object's end, and a
// text with no zero byte has no end of its own: so the reader looks only at the bytes that are
// both inside the object and inside the mapping, and says whether a zero byte ends the message
// there.
#pragma once

#include <sys/types.h>

#include <cstddef>

inline constexpr std::size_t kMappedBytes = 8192;  // two 4 KiB pages from offset 0

// How many bytes of an object of `object_size` bytes the mapping lets us read.
std::size_t readable_bytes(off_t object_size) noexcept;

struct Message {
    std::size_t length = 0;   // characters before the zero byte, or every readable byte
    bool terminated = false;  // a zero byte ends it within the readable bytes
};

Message find_message(const char* bytes, std::size_t readable) noexcept;
