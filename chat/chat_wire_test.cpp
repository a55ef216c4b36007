// One turn of each side of the chat, reached in-process: the test's own sockets on ephemeral
// loopback ports (not port 1234, so these need no lock), input and output as memory streams.
#include "chat_wire.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "chat_test_wire.h"

namespace {

using chat::test::wire;

// A UDP socket bound to an ephemeral port of 127.0.0.1, and that address.
struct Socket {
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    Socket() {
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = inet_addr("127.0.0.1");
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        socklen_t length = sizeof address;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    }
    ~Socket() { ::close(fd); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    void send_to(const std::string& text, const sockaddr_in& to) const {
        const std::string bytes = wire(text);
        ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                 sizeof to);
    }
    std::string receive() const {  // what came within 5 s
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, 5000) != 1) return "(nothing)";
        char bytes[2 * kChatBufferSize];
        const ssize_t n = ::recv(fd, bytes, sizeof bytes, 0);
        return n < 0 ? "(nothing)" : std::string(bytes, static_cast<size_t>(n));
    }
};

// What a turn printed, and the input it read from.
struct Streams {
    std::string input;
    std::FILE* in;
    char* printed = nullptr;
    size_t size = 0;
    std::FILE* out = ::open_memstream(&printed, &size);
    explicit Streams(std::string text) : input(std::move(text)) {
        in = ::fmemopen(input.data(), input.size(), "r");
    }
    ~Streams() {
        std::fclose(in);
        std::fclose(out);
        std::free(printed);
    }
    Streams(const Streams&) = delete;
    Streams& operator=(const Streams&) = delete;
    std::string output() {
        std::fflush(out);
        return {printed, size};
    }
};

TEST(ChatTurn, ReplierShowsTheLineAndAnswersItsSenderUntilInputEnds) {
    const Socket replier, client;
    char* buffer = chat_buffer();
    Streams operator_line("hi\n");
    client.send_to("hello\n", replier.address);
    EXPECT_TRUE(replier_turn(replier.fd, buffer, operator_line.in, operator_line.out));
    EXPECT_EQ(operator_line.output(), "hello\n \nEnter the data : \t");
    EXPECT_EQ(client.receive(), wire("hi\n"));

    client.send_to("bye\n", replier.address);  // the input has ended meanwhile
    EXPECT_FALSE(replier_turn(replier.fd, buffer, operator_line.in, operator_line.out));
    std::free(buffer);
}

TEST(ChatTurn, AskerSendsTheLineAndShowsTheAnswer) {
    Socket server, asker;
    ASSERT_EQ(
        ::connect(asker.fd, reinterpret_cast<sockaddr*>(&server.address), sizeof server.address),
        0);
    char* buffer = chat_buffer();
    Streams user_line("hello\n");
    server.send_to("hi\n", asker.address);  // the answer waits in asker's queue
    EXPECT_TRUE(asker_turn(asker.fd, buffer, user_line.in, user_line.out));
    EXPECT_EQ(server.receive(), wire("hello\n"));
    EXPECT_EQ(user_line.output(), "Enter the data : \thi\n \n");
    EXPECT_FALSE(asker_turn(asker.fd, buffer, user_line.in, user_line.out));  // end of input
    std::free(buffer);
}

}  // namespace
