// Helpers of the chat's end-to-end tests: the test's own UDP sockets playing either side, the
// wire format, the programs started as the tests need them, and raw packets that no ordinary
// socket sends (a datagram from port 0 or a broadcast source, a forged ICMP error).
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "chat_test_wire.h"
#include "process.h"

namespace chat::test {

inline constexpr char kPrompt[] = "Enter the data : \t";
inline constexpr int kPort = 1234;

// The server's address and port.
sockaddr_in server_address();

struct Datagram {
    std::string bytes;
    sockaddr_in from{};
};

// A UDP socket of the test's own: a client on an ephemeral port, or the server on port 1234;
// on the server's address unless another is given.
struct Udp {
    int fd = -1;
    explicit Udp(bool as_server = false, const char* address = nullptr);
    ~Udp();
    Udp(const Udp&) = delete;
    Udp& operator=(const Udp&) = delete;
    void send_to(const std::string& bytes, const sockaddr_in& to);
    void send(const std::string& bytes) { send_to(bytes, server_address()); }
    sockaddr_in address() const;  // where it is bound
    std::optional<Datagram> receive(std::chrono::milliseconds timeout = std::chrono::seconds(10));
};

// True once some socket is bound to UDP port 1234.
bool port_bound();

// The real replier, started and bound to port 1234.
osf::test::Child start_replier(const osf::test::SpawnOptions& options = {});

// The local end of the socket connected to the server's address and port: asker's. Its port
// is 0 if there is none.
sockaddr_in connected_client();

// A datagram to the server from any source address and port, 0 and broadcast ones included,
// over a raw socket. False, with the reason in `why`, when raw sockets are not ours to use.
bool send_udp_from(const char* from, uint16_t from_port, const std::string& bytes,
                   std::string* why);

// An ICMP destination-unreachable message (`code` 3: port, 13: filtered) about an 80-byte
// datagram that `client` sent to the server, as anyone on the path could send it.
bool send_unreachable(uint8_t code, const sockaddr_in& client, std::string* why);

}  // namespace chat::test
