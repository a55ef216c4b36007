// The chat, shared by replier and asker: its wire format, its sockets and one exchange of each
// side, so that the programs' mains only set up and repeat a turn. Every datagram is exactly 80
// bytes and holds a zero-terminated line (at most 79 characters, the newline included when it
// fitted); bytes after the zero carry no meaning, and we send them as zeros. A receiver takes
// the text to be the bytes received before the first zero: never more than the 80, and never
// more than the datagram held, since peers other than ours send only their line.
#pragma once

#include <cstdio>

inline constexpr int kChatPort = 1234;
inline constexpr int kChatBufferSize = 80;
inline constexpr int kUdpProtocol = 17;  // IPPROTO_UDP, given explicitly

// replier's socket: UDP, bound to the server's address and port. A failed call ends the
// program through report_failure.
int open_replier_socket() noexcept;

// asker's socket: UDP, connected to the server's address and port, so that answers are taken
// from the server alone: a datagram from anyone else never reaches asker and cannot take the
// conversation over. A failed call ends the program through report_failure.
int open_asker_socket() noexcept;

// The 80-byte buffer of either side, zeroed; if it cannot be had, exit_with_error (status 1).
char* chat_buffer() noexcept;

// One exchange of replier: waits for a datagram, shows its text on `out` ("%s \n"), prompts,
// reads the operator's line from `in` and sends it back to that datagram's sender. A sender that
// cannot be answered (source port 0, a broadcast source) is no failure of ours: the reply is
// reported on standard error and dropped. A datagram from the server's own address and port is
// forged: it is dropped, with a line on standard error, unshown and unanswered. False when the
// input has ended or failed, after its report ("Entering the data failed \n: end of input").
bool replier_turn(int sock, char* buffer, std::FILE* in, std::FILE* out) noexcept;

// One exchange of asker: prompts on `out`, reads a line from `in`, sends it, waits for the
// answer and shows its text. What the network says about our datagrams (an ICMP error, such as
// "Connection refused" when nothing listens at the server's port) is said on standard error,
// and asker waits on: there is no time-out. False when the input has ended or failed, after its
// report ("Accessing the data failed \n: end of input").
bool asker_turn(int sock, char* buffer, std::FILE* in, std::FILE* out) noexcept;
