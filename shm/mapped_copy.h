// copy_message_pages: copies a message out of a shared mapping, surviving pages that cannot be
// read.
//
// Reading a page of a mapping can fault (SIGBUS): a page past the object's end, when a writer
// shrank the object after we learnt its size; or a page that the object never had written,
// which tmpfs must supply on the first read and cannot when it is full. The copy is made with
// SIGBUS caught, so that such a read is reported instead of ending the program, and it goes no
// further than the message needs: page by page, up to the first page that holds a zero byte.
#pragma once

#include <cstddef>

inline constexpr std::size_t kPageBytes = 4096;

struct PageCopy {
    std::size_t length = 0;  // bytes copied: whole pages up to the one with the first zero byte
    bool faulted = false;    // a page could not be read; `length` counts those before it
};

// Copies from `mapped` to `to`, page by page, at most `readable` bytes, stopping after the first
// page that holds a zero byte.
PageCopy copy_message_pages(char* to, const void* mapped, std::size_t readable) noexcept;
