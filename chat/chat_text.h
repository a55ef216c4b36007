// The text of a received chat datagram, as replier and asker show it.
#pragma once

#include <cstddef>

#include "chat_wire.h"
#include "visible_text.h"

// Room for the shown form of one datagram's text.
inline constexpr std::size_t kChatShownSize = kVisibleGrowth * kChatBufferSize;

// Writes into `shown` (kChatShownSize bytes) the text of a datagram of `received` bytes (at
// most kChatBufferSize) in `buffer`: the bytes received up to the first zero byte, never those
// that an earlier, longer datagram or our own line left in the buffer after them. On a terminal
// (`terminal`) its control characters show visibly (visible_text.h); elsewhere its bytes go out
// as they came. Returns the number of bytes written.
std::size_t chat_text(const char* buffer, std::size_t received, char* shown,
                      bool terminal) noexcept;
