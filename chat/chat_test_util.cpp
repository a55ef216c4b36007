// Helpers of the chat's end-to-end tests (chat_test_util.h).
#include "chat_test_util.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/ip.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace chat::test {
namespace {

using namespace std::chrono_literals;

uint16_t checksum(const std::string& bytes) {
    uint32_t sum = 0;
    for (size_t i = 0; i < bytes.size(); i += 2) {
        sum += static_cast<uint32_t>(static_cast<uint8_t>(bytes[i]) << 8);
        if (i + 1 < bytes.size()) sum += static_cast<uint8_t>(bytes[i + 1]);
    }
    while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

void put16(std::string& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<char>(value >> 8);
    bytes[at + 1] = static_cast<char>(value & 0xff);
}

// An IPv4 header (no options) for `payload_size` bytes of `protocol`; the kernel fills in the
// checksum.
std::string ip_header(uint8_t protocol, in_addr_t from, in_addr_t to, size_t payload_size) {
    iphdr h{};
    h.version = 4;
    h.ihl = 5;
    h.ttl = 64;
    h.protocol = protocol;
    h.tot_len = htons(static_cast<uint16_t>(sizeof h + payload_size));
    h.saddr = from;
    h.daddr = to;
    return {reinterpret_cast<const char*>(&h), sizeof h};
}

// A UDP header (checksum 0: none) for `payload_size` bytes.
std::string udp_header(uint16_t from_port, uint16_t to_port, size_t payload_size) {
    std::string h(8, '\0');
    put16(h, 0, from_port);
    put16(h, 2, to_port);
    put16(h, 4, static_cast<uint16_t>(8 + payload_size));
    return h;
}

// Sends one IPv4 packet, header and all, over a raw socket: packets that no ordinary socket
// sends. False, with the reason in `why`, when raw sockets are not ours to use.
bool send_raw(const std::string& packet, in_addr_t to, std::string* why) {
    const int fd = ::socket(AF_INET, SOCK_RAW, IPPROTO_RAW);
    if (fd < 0) {
        *why = std::string("no raw socket: ") + std::strerror(errno);
        return false;
    }
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_addr.s_addr = to;
    const ssize_t sent =
        ::sendto(fd, packet.data(), packet.size(), 0,
                 reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    ::close(fd);
    EXPECT_EQ(sent, static_cast<ssize_t>(packet.size())) << std::strerror(errno);
    return true;
}

}  // namespace

sockaddr_in server_address() {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(kPort);
    a.sin_addr.s_addr = inet_addr(CHAT_SERVER_ADDRESS);
    return a;
}

Udp::Udp(bool as_server, const char* address) {
    fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in self = server_address();
    if (!as_server) self.sin_port = 0;
    if (address != nullptr) self.sin_addr.s_addr = inet_addr(address);
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&self), sizeof self), 0);
}

Udp::~Udp() { ::close(fd); }

void Udp::send_to(const std::string& bytes, const sockaddr_in& to) {
    EXPECT_EQ(::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                       sizeof to),
              static_cast<ssize_t>(bytes.size()));
}

sockaddr_in Udp::address() const {
    sockaddr_in self{};
    socklen_t length = sizeof self;
    EXPECT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&self), &length), 0);
    return self;
}

std::optional<Datagram> Udp::receive(std::chrono::milliseconds timeout) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) != 1) return std::nullopt;
    char chunk[2048];
    Datagram d;
    socklen_t length = sizeof d.from;
    const ssize_t n =
        ::recvfrom(fd, chunk, sizeof chunk, 0, reinterpret_cast<sockaddr*>(&d.from), &length);
    if (n < 0) return std::nullopt;
    d.bytes.assign(chunk, static_cast<size_t>(n));
    return d;
}

bool port_bound() { return osf::test::udp_port_bound(kPort); }

osf::test::Child start_replier(const osf::test::SpawnOptions& options) {
    osf::test::Child replier = osf::test::spawn({REPLIER_PATH}, options);
    EXPECT_TRUE(osf::test::eventually(port_bound, 5s)) << "replier did not bind port 1234";
    return replier;
}

// The local end of the socket connected to the server's address and port: asker's. Its port
// is 0 if there is none.
sockaddr_in connected_client() {
    const sockaddr_in server = server_address();
    char remote[16];
    std::snprintf(remote, sizeof remote, "%08X:%04X", server.sin_addr.s_addr, kPort);
    sockaddr_in client{};
    client.sin_family = AF_INET;
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line);  // header
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, peer;
        fields >> slot >> local >> peer;
        if (peer != remote) continue;
        client.sin_addr.s_addr =
            static_cast<in_addr_t>(std::stoul(local.substr(0, 8), nullptr, 16));
        client.sin_port = htons(static_cast<uint16_t>(std::stoi(local.substr(9), nullptr, 16)));
    }
    return client;
}

bool send_udp_from(const char* from, uint16_t from_port, const std::string& bytes,
                   std::string* why) {
    const in_addr_t to = server_address().sin_addr.s_addr;
    return send_raw(ip_header(IPPROTO_UDP, inet_addr(from), to, 8 + bytes.size()) +
                        udp_header(from_port, kPort, bytes.size()) + bytes,
                    to, why);
}

bool send_unreachable(uint8_t code, const sockaddr_in& client, std::string* why) {
    const in_addr_t server = server_address().sin_addr.s_addr;
    std::string icmp(8, '\0');
    icmp[0] = 3;
    icmp[1] = static_cast<char>(code);
    icmp += ip_header(IPPROTO_UDP, client.sin_addr.s_addr, server, 8 + 80);
    icmp += udp_header(ntohs(client.sin_port), kPort, 80);
    put16(icmp, 2, checksum(icmp));
    return send_raw(ip_header(IPPROTO_ICMP, server, client.sin_addr.s_addr, icmp.size()) + icmp,
                    client.sin_addr.s_addr, why);
}

}  // namespace chat::test
