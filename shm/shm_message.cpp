// Finding the message within the readable bytes of the mapping (see shm_message.h).
#include "shm_message.h"

#include <cstring>

std::size_t readable_bytes(off_t object_size) noexcept {
    if (object_size <= 0) return 0;
    if (static_cast<unsigned long long>(object_size) < kMappedBytes)
        return static_cast<std::size_t>(object_size);
    return kMappedBytes;
}

Message find_message(const char* bytes, std::size_t readable) noexcept {
    if (readable == 0) return {};
    const void* zero = std::memchr(bytes, '\0', readable);
    if (zero == nullptr) return {readable, false};
    return {static_cast<std::size_t>(static_cast<const char*>(zero) - bytes), true};
}
