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
// with no zero byte prints as exactly its 80 bytes. On a terminal its control characters show
// visibly (visible_text.h); to a pipe or a file its bytes go out as they came.
void print_chat_text(const char* buffer) noexcept;

// Clears every byte after the text's zero byte, so that a datagram never carries the remains
// of an earlier, longer line.
void clear_filler(char* buffer) noexcept;

// Whether a failed send of a reply to `error` says that the sender cannot be answered, rather
// than that something of ours failed: a source port of 0 (EINVAL), a broadcast source (EACCES),
// a source no route leads back to, or one the host's own rules forbid to reach.
bool sender_unanswerable(int error) noexcept;

// Whether a failed send or receive on the client's connected socket reports what the network
// said about an earlier datagram (an ICMP error: port or host unreachable and the like), rather
// than a failure of the call itself. Such an error is reported at the next call on the socket,
// and anyone on the path can send one.
bool network_refusal(int error) noexcept;
