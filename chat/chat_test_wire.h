// The chat's datagram as the tests build one: `text`, then zero bytes up to the 80 bytes of a
// datagram.
#pragma once

#include <string>

#include "chat_wire.h"

namespace chat::test {

inline std::string wire(const std::string& text) {
    std::string bytes = text;
    bytes.resize(static_cast<size_t>(kChatBufferSize), '\0');
    return bytes;
}

}  // namespace chat::test
