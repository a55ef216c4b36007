// The chat's wire format, shared by replier and asker: every datagram is exactly 80 bytes and
// holds a zero-terminated line (at most 79 characters, the newline included when it fitted);
// bytes after the zero carry no meaning, and we send them as zeros.
#pragma once

#include <netinet/in.h>

inline constexpr int kChatPort = 1234;
inline constexpr int kChatBufferSize = 80;
inline constexpr int kUdpProtocol = 17;  // IPPROTO_UDP, given explicitly

// The server's fixed address (family, port 1234, the compiled-in IPv4 address).
sockaddr_in chat_server_address() noexcept;

// Prints a received text as "%s \n", reading no further than the 80-byte buffer: a datagram
// with no zero byte prints as exactly its 80 bytes.
void print_chat_text(const char* buffer) noexcept;

// Clears every byte after the text's zero byte, so that a datagram never carries the remains
// of an earlier, longer line.
void clear_filler(char* buffer) noexcept;
