// The chat end to end: the real i386 replier and asker on loopback, and raw datagrams from the
// test itself playing the other side, including hostile ones: senders that cannot be answered,
// strangers, ICMP errors, and text meant to act on the terminal.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/ip.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "process.h"

namespace {

using namespace std::chrono_literals;
using osf::test::Child;
using osf::test::spawn;

constexpr char kPrompt[] = "Enter the data : \t";
constexpr int kPort = 1234;

std::string wire(const std::string& text) {  // text, zero byte, zero filler: 80 bytes
    std::string bytes = text;
    bytes.resize(80, '\0');
    return bytes;
}

sockaddr_in server_address() {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(kPort);
    a.sin_addr.s_addr = inet_addr(CHAT_SERVER_ADDRESS);
    return a;
}

struct Datagram {
    std::string bytes;
    sockaddr_in from{};
};

// A UDP socket of the test's own: a client on an ephemeral port, or the server on port 1234;
// on the server's address unless another is given.
struct Udp {
    int fd = -1;
    explicit Udp(bool as_server = false, const char* address = nullptr) {
        fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in self = server_address();
        if (!as_server) self.sin_port = 0;
        if (address != nullptr) self.sin_addr.s_addr = inet_addr(address);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&self), sizeof self), 0);
    }
    ~Udp() { ::close(fd); }
    void send_to(const std::string& bytes, const sockaddr_in& to) {
        ASSERT_EQ(::sendto(fd, bytes.data(), bytes.size(), 0,
                           reinterpret_cast<const sockaddr*>(&to), sizeof to),
                  static_cast<ssize_t>(bytes.size()));
    }
    void send(const std::string& bytes) { send_to(bytes, server_address()); }
    std::optional<Datagram> receive(std::chrono::milliseconds timeout = 10s) {
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
};

// True once some socket is bound to UDP port 1234 (read from /proc, so that the check itself
// never takes the port).
bool port_bound() {
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line);  // header
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local;
        fields >> slot >> local;
        if (local.size() > 5 && local.substr(local.size() - 5) == ":04D2") return true;
    }
    return false;
}

Child start_replier() {
    Child replier = spawn({REPLIER_PATH});
    for (int i = 0; i < 500 && !port_bound(); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(port_bound()) << "replier did not bind port 1234";
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

// A datagram to the server from any source address and port, 0 and broadcast ones included.
bool send_udp_from(const char* from, uint16_t from_port, const std::string& bytes,
                   std::string* why) {
    const in_addr_t to = server_address().sin_addr.s_addr;
    return send_raw(ip_header(IPPROTO_UDP, inet_addr(from), to, 8 + bytes.size()) +
                        udp_header(from_port, kPort, bytes.size()) + bytes,
                    to, why);
}

// An ICMP destination-unreachable message (`code` 3: port, 13: filtered) about an 80-byte datagram
// that `client` sent to the server, as anyone on the path could send it.
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

TEST(Chat, AskerAndReplierExchangeLines) {
    ASSERT_FALSE(port_bound()) << "port 1234 is taken by another program";
    Child replier = start_replier();
    Child asker = spawn({ASKER_PATH});

    EXPECT_EQ(asker.read_until(asker.out, kPrompt), kPrompt);
    asker.write("hello\n");
    EXPECT_EQ(replier.read_until(replier.out, kPrompt), std::string("hello\n \n") + kPrompt);
    replier.write("hi\n");
    EXPECT_EQ(asker.read_until(asker.out, kPrompt), std::string("hi\n \n") + kPrompt);
    asker.write("how are you?\n");
    EXPECT_EQ(replier.read_until(replier.out, kPrompt),
              std::string("how are you?\n \n") + kPrompt);
    replier.write("fine\n");
    EXPECT_EQ(asker.read_until(asker.out, kPrompt), std::string("fine\n \n") + kPrompt);

    // End of input ends each side with status 1 after its perror report.
    asker.close_input();
    EXPECT_TRUE(osf::test::exited_with(asker.wait(), 1)) << osf::test::describe_status(asker.status);
    EXPECT_EQ(asker.read_to_eof(asker.out), "");
    EXPECT_EQ(asker.read_to_eof(asker.err).rfind("Accessing the data failed \n: ", 0), 0u);

    Udp client;
    client.send(wire("last\n"));
    EXPECT_EQ(replier.read_until(replier.out, kPrompt), std::string("last\n \n") + kPrompt);
    replier.close_input();
    EXPECT_TRUE(osf::test::exited_with(replier.wait(), 1))
        << osf::test::describe_status(replier.status);
    EXPECT_EQ(replier.read_to_eof(replier.err).rfind("Entering the data failed \n: ", 0), 0u);
}

TEST(Chat, ReplierPrintsNoMoreThanTheTextWithinEightyBytes) {
    Child replier = start_replier();
    Udp client;
    auto exchange = [&](const std::string& datagram, const std::string& reply) {
        client.send(datagram);
        std::string shown = replier.read_until(replier.out, kPrompt);
        replier.write(reply);
        auto answer = client.receive();
        EXPECT_TRUE(answer.has_value()) << "no reply to the client";
        if (answer) {
            EXPECT_EQ(answer->bytes, wire(reply)) << "reply datagram";
        }
        return shown.substr(0, shown.size() - sizeof kPrompt + 1);
    };

    // A short line after a long one: nothing of the long one shows, and the replies' filler
    // is cleared even though a longer reply went before.
    EXPECT_EQ(exchange(wire("a much longer line than the one that follows\n"),
                       "a reply long enough to leave remains behind\n"),
              "a much longer line than the one that follows\n \n");
    EXPECT_EQ(exchange(std::string("hi\n") + '\0', "ok\n"), "hi\n \n");
    // 80 bytes and no zero byte: exactly those 80 bytes.
    EXPECT_EQ(exchange(std::string(80, 'z'), "z\n"), std::string(80, 'z') + " \n");
    // Longer than 80 bytes: cut to the first 80.
    EXPECT_EQ(exchange(std::string(50, 'a') + std::string(50, 'b'), "cut\n"),
              std::string(50, 'a') + std::string(30, 'b') + " \n");
    // An empty datagram overwrites nothing: the server's own last reply shows again.
    EXPECT_EQ(exchange("", "again\n"), "cut\n \n");
    // To a pipe, control characters and bytes above 127 go out as they came.
    EXPECT_EQ(exchange(wire("\x1b[2J\r\x7f\x01\xc3\xa9\n"), "raw\n"),
              "\x1b[2J\r\x7f\x01\xc3\xa9\n \n");
}

TEST(Chat, EachReplyGoesToTheClientWhoseLineWasShown) {
    Child replier = start_replier();
    Udp a, b;
    a.send(wire("from a\n"));
    EXPECT_EQ(replier.read_until(replier.out, kPrompt), std::string("from a\n \n") + kPrompt);
    b.send(wire("from b\n"));  // waits in the server's queue until a has its answer
    replier.write("to a\n");
    auto to_a = a.receive();
    ASSERT_TRUE(to_a.has_value());
    EXPECT_EQ(to_a->bytes, wire("to a\n"));
    EXPECT_EQ(replier.read_until(replier.out, kPrompt), std::string("from b\n \n") + kPrompt);
    replier.write("to b\n");
    auto to_b = b.receive();
    ASSERT_TRUE(to_b.has_value());
    EXPECT_EQ(to_b->bytes, wire("to b\n"));
    EXPECT_FALSE(a.receive(200ms).has_value()) << "client a got b's reply too";
}

TEST(Chat, AnOverlongReplyLineIsSentInTwoParts) {
    Child replier = start_replier();
    Udp client;
    client.send(wire("first\n"));
    replier.read_until(replier.out, kPrompt);
    replier.write(std::string(100, 'r') + "\n");
    auto first = client.receive();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->bytes, wire(std::string(79, 'r')));
    // The rest of the line waits in the input and answers the next datagram.
    client.send(wire("second\n"));
    EXPECT_EQ(replier.read_until(replier.out, kPrompt), std::string("second\n \n") + kPrompt);
    auto second = client.receive();
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->bytes, wire(std::string(21, 'r') + "\n"));
}

TEST(Chat, AskerSendsCleanDatagramsAndPrintsAnswersWithinEightyBytes) {
    ASSERT_FALSE(port_bound()) << "port 1234 is taken by another program";
    Udp server(true);
    Child asker = spawn({ASKER_PATH});
    asker.read_until(asker.out, kPrompt);

    asker.write("a long first line, long enough to leave remains\n");
    auto first = server.receive();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->bytes, wire("a long first line, long enough to leave remains\n"));
    server.send_to(std::string(80, 'y'), first->from);  // no zero byte
    EXPECT_EQ(asker.read_until(asker.out, kPrompt), std::string(80, 'y') + " \n" + kPrompt);

    asker.write("hi\n");
    auto second = server.receive();
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->bytes, wire("hi\n")) << "remains of earlier lines went out";
    server.send_to("", second->from);  // an empty answer: the line just sent shows
    EXPECT_EQ(asker.read_until(asker.out, kPrompt), std::string("hi\n \n") + kPrompt);

    asker.write("x\n");
    auto third = server.receive();
    ASSERT_TRUE(third.has_value());
    server.send_to(std::string(90, 'w'), third->from);  // cut to 80
    EXPECT_EQ(asker.read_until(asker.out, kPrompt), std::string(80, 'w') + " \n" + kPrompt);

    // Datagrams from anyone but the server (another port of its address, another address of
    // the host with the server's port) are not taken as the answer: asker keeps waiting, and
    // its next line still goes to the server.
    asker.write("y\n");
    auto fourth = server.receive();
    ASSERT_TRUE(fourth.has_value());
    Udp stranger;
    Udp impostor(true, "127.0.0.2");
    stranger.send_to(wire("stranger\n"), fourth->from);
    impostor.send_to(wire("impostor\n"), fourth->from);
    EXPECT_EQ(asker.read_for(asker.out, 200ms), "") << "a stranger's datagram was shown";
    server.send_to(wire("the answer\n"), fourth->from);
    EXPECT_EQ(asker.read_until(asker.out, kPrompt), std::string("the answer\n \n") + kPrompt);
    asker.write("to you\n");
    auto fifth = server.receive();
    ASSERT_TRUE(fifth.has_value());
    EXPECT_EQ(fifth->bytes, wire("to you\n"));
    EXPECT_FALSE(stranger.receive(200ms).has_value()) << "the line went to the stranger";
    EXPECT_FALSE(impostor.receive(0ms).has_value()) << "the line went to the impostor";
}

// A sender that cannot be answered (port 0, a broadcast source) is shown like any other; its
// reply is reported on standard error and dropped, and replier goes on serving.
TEST(Chat, ReplierReportsAReplyItCannotSendAndServesOn) {
    struct Case {
        const char* from;
        int port;
        std::string report;
    };
    const Case cases[] = {
        {"127.0.0.1", 0, "replier: 127.0.0.1 port 0 cannot be answered (Invalid argument)"},
        {"127.255.255.255", 4000,
         "replier: 127.255.255.255 port 4000 cannot be answered (Permission denied)"},
        {"255.255.255.255", 4000,
         "replier: 255.255.255.255 port 4000 cannot be answered (Permission denied)"},
    };
    Child replier = start_replier();
    Udp client;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " port " + std::to_string(c.port));
        std::string why;
        if (!send_udp_from(c.from, c.port, wire("hostile\n"), &why)) GTEST_SKIP() << why;
        EXPECT_EQ(replier.read_until(replier.out, kPrompt), std::string("hostile\n \n") + kPrompt);
        replier.write("lost\n");
        EXPECT_EQ(replier.read_until(replier.err, "\n"), c.report + ": the reply was dropped\n");
        client.send(wire("still there?\n"));
        EXPECT_EQ(replier.read_until(replier.out, kPrompt),
                  std::string("still there?\n \n") + kPrompt);
        replier.write("yes\n");
        auto answer = client.receive();
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(answer->bytes, wire("yes\n"));
    }
    EXPECT_FALSE(replier.ended()) << osf::test::describe_status(replier.status);
}

// What the network says about asker's datagrams (ICMP errors, from the host or forged by
// anyone on the path) neither ends asker nor loses its line: with no server it says so and
// waits on; an error pending when a line goes out does not keep that line from the server.
TEST(Chat, AskerWaitsThroughTheNetworksRefusals) {
    ASSERT_FALSE(port_bound()) << "port 1234 is taken by another program";
    const std::string still_waiting =
        std::string("asker: the line did not reach ") + CHAT_SERVER_ADDRESS + " port 1234 (";
    Child asker = spawn({ASKER_PATH});
    asker.read_until(asker.out, kPrompt);
    asker.write("anybody there?\n");
    EXPECT_EQ(asker.read_until(asker.err, "\n"),
              still_waiting + "Connection refused); still waiting for an answer\n");

    // The server comes up late and answers: the answer is taken.
    Udp server(true);
    const sockaddr_in client = connected_client();
    ASSERT_NE(client.sin_port, 0) << "asker's socket is not connected to the server";
    server.send_to(wire("late\n"), client);
    EXPECT_EQ(asker.read_until(asker.out, kPrompt), std::string("late\n \n") + kPrompt);

    // A forged "port unreachable" while the user types: the next line reaches the server all
    // the same.
    std::string why;
    if (!send_unreachable(3, client, &why)) GTEST_SKIP() << why;
    asker.write("second\n");
    auto second = server.receive();
    ASSERT_TRUE(second.has_value()) << "the line after a forged refusal was lost";
    EXPECT_EQ(second->bytes, wire("second\n"));

    // A forged "administratively filtered" while asker waits: said, and the answer still comes.
    ASSERT_TRUE(send_unreachable(13, client, &why)) << why;
    EXPECT_EQ(asker.read_until(asker.err, "\n"),
              still_waiting + "No route to host); still waiting for an answer\n");
    server.send_to(wire("here\n"), second->from);
    EXPECT_EQ(asker.read_until(asker.out, kPrompt), std::string("here\n \n") + kPrompt);
    EXPECT_FALSE(asker.ended()) << osf::test::describe_status(asker.status);
}

// A peer's text that would act on the terminal (set the window title, clear the screen, move
// the cursor) shows visibly there, on both sides; UTF-8 text passes. To a pipe the same bytes
// go out unchanged (ReplierPrintsNoMoreThanTheTextWithinEightyBytes).
TEST(Chat, ControlCharactersFromThePeerShowVisiblyOnATerminal) {
    const std::string hostile = "\x1b]0;owned\x07\x1b[2J\r\x7f\x1b[1Acaf\xc3\xa9\n";
    const std::string visible = "^[]0;owned^G^[[2J^M^?^[[1Acaf\xc3\xa9\n \n";
    osf::test::SpawnOptions terminal;
    terminal.pty = true;
    {
        ASSERT_FALSE(port_bound()) << "port 1234 is taken by another program";
        Child replier = spawn({REPLIER_PATH}, terminal);
        for (int i = 0; i < 500 && !port_bound(); ++i) std::this_thread::sleep_for(10ms);
        Udp client;
        client.send(wire(hostile));
        EXPECT_EQ(replier.read_until(replier.out, kPrompt), visible + kPrompt);
    }
    ASSERT_FALSE(port_bound()) << "port 1234 is taken by another program";
    Udp server(true);
    Child asker = spawn({ASKER_PATH}, terminal);
    asker.read_until(asker.out, kPrompt);
    asker.write("hi\n");
    auto line = server.receive();
    ASSERT_TRUE(line.has_value());
    server.send_to(wire(hostile), line->from);
    EXPECT_EQ(asker.read_until(asker.out, kPrompt), visible + kPrompt);
}

TEST(Chat, ASecondReplierFailsToBindAndAborts) {
    Child first = start_replier();
    auto second = osf::test::run({REPLIER_PATH}, "");
    EXPECT_TRUE(osf::test::killed_by(second.status, SIGABRT))
        << osf::test::describe_status(second.status);
    const std::string head = "binding failed...! \n at \"chat/replier.cpp\":";
    const std::string tail = ": Address already in use\n";
    ASSERT_EQ(second.err.rfind(head, 0), 0u) << second.err;
    ASSERT_GT(second.err.size(), head.size() + tail.size());
    EXPECT_EQ(second.err.substr(second.err.size() - tail.size()), tail) << second.err;

    // The line named is the check that failed.
    const int line = std::stoi(second.err.substr(head.size()));
    std::ifstream source(std::string(OSF_SOURCE_DIR) + "/chat/replier.cpp");
    std::string text;
    for (int i = 0; i < line && std::getline(source, text); ++i) {
    }
    EXPECT_NE(text.find("report_failure(\"binding failed"), std::string::npos)
        << "line " << line << " is: " << text;
}

}  // namespace
