// The chat end to end: the real i386 replier and asker on loopback, and raw datagrams from the
// test itself playing the other side.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
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

// A UDP socket of the test's own: a client on an ephemeral port, or the server on port 1234.
struct Udp {
    int fd = -1;
    explicit Udp(bool as_server = false) {
        fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in self = server_address();
        if (!as_server) self.sin_port = 0;
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

    // A datagram from some other sender is taken as the answer, and the next line goes there.
    asker.write("y\n");
    auto fourth = server.receive();
    ASSERT_TRUE(fourth.has_value());
    Udp stranger;
    stranger.send_to(wire("stranger\n"), fourth->from);
    EXPECT_EQ(asker.read_until(asker.out, kPrompt), std::string("stranger\n \n") + kPrompt);
    asker.write("to you\n");
    auto redirected = stranger.receive();
    ASSERT_TRUE(redirected.has_value());
    EXPECT_EQ(redirected->bytes, wire("to you\n"));
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
