// shm_message_fuzz: a libFuzzer target for readable_bytes and find_message (cmake/OsfFuzz.cmake).
//
// An input's first 8 bytes are the object's size (any off_t, negative ones too), the rest its
// bytes. Those that the mapping lets us read are copied into a heap buffer of exactly that
// many bytes (filled up with 'x' when the input is shorter), so that a read past them is an
// ASan report. The readable bytes must be all of the object that the mapping covers and no
// more; the message must end at its first zero byte when one is readable, and take every
// readable byte when none is. A failed check aborts.
#include <sys/types.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "shm_message.h"

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "shm_message: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::int64_t object_size = 0;
    const std::size_t head = std::min(size, sizeof object_size);
    std::memcpy(&object_size, data, head);
    const std::size_t readable = readable_bytes(static_cast<off_t>(object_size));
    const auto object = static_cast<std::uint64_t>(std::max<std::int64_t>(object_size, 0));
    check(readable <= kMappedBytes && readable <= object, "reads past the mapping or the object");
    check(readable == kMappedBytes || readable == object, "leaves some of the object unread");

    const auto bytes = std::make_unique<char[]>(readable);
    std::memset(bytes.get(), 'x', readable);
    std::memcpy(bytes.get(), data + head, std::min(size - head, readable));
    const Message message = find_message(bytes.get(), readable);
    check(message.length <= readable, "the message is longer than the readable bytes");
    check(std::memchr(bytes.get(), '\0', message.length) == nullptr, "a zero within the message");
    if (message.terminated) {
        check(message.length < readable && bytes[message.length] == '\0', "no zero ends it");
    } else {
        check(message.length == readable, "an unterminated message leaves readable bytes out");
    }
    return 0;
}
