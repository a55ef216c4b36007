// The shown text of a received chat datagram (see chat_text.h).
#include "chat_text.h"

#include <cstring>

std::size_t chat_text(const char* buffer, std::size_t received, char* shown,
                      bool terminal) noexcept {
    return visible_text(buffer, strnlen(buffer, received), shown, terminal);
}
