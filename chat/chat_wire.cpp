// The chat's wire format, sockets and turns (see chat_wire.h).
#include "chat_wire.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "chat_text.h"
#include "line_read.h"
#include "output_check.h"
#include "report.h"

#ifndef CHAT_SERVER_ADDRESS
#define CHAT_SERVER_ADDRESS "127.0.0.1"
#endif

namespace {

constexpr char kPrompt[] = "Enter the data : \t";

// The server's fixed address (family, port 1234, the compiled-in IPv4 address).
sockaddr_in chat_server_address() noexcept {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kChatPort);
    address.sin_addr.s_addr = inet_addr(CHAT_SERVER_ADDRESS);
    return address;
}

// Prints the text of a datagram of `received` bytes (chat_text.h) as "%s \n", made visible
// when `out` is a terminal.
void print_chat_text(const char* buffer, std::size_t received, std::FILE* out) noexcept {
    char shown[kChatShownSize];
    const bool terminal = isatty(fileno(out)) == 1;
    const std::size_t length = chat_text(buffer, received, shown, terminal);
    std::fprintf(out, "%.*s \n", static_cast<int>(length), shown);
}

// Clears every byte after the text's zero byte, so that a datagram never carries the remains
// of an earlier, longer line.
void clear_filler(char* buffer) noexcept {
    const size_t length = strnlen(buffer, kChatBufferSize);
    if (length + 1 < kChatBufferSize)
        std::memset(buffer + length + 1, 0, kChatBufferSize - length - 1);
}

// Prompts on `out` and reads the user's line from `in` into `buffer`, its filler cleared. At
// end of input, or when the read fails, says so with `failure` and returns false. Output
// that could not be written is said with `write_error`.
bool prompt_line(char* buffer, std::FILE* in, std::FILE* out, const char* failure,
                 const char* write_error) noexcept {
    std::fputs(kPrompt, out);
    flush_output(out, write_error);
    if (!read_line(buffer, kChatBufferSize, in)) {
        report_input_end(failure, in);
        return false;
    }
    clear_filler(buffer);
    return true;
}

// Whether a failed send of a reply to `error` says that the sender cannot be answered, rather
// than that something of ours failed: a source port of 0 (EINVAL), a broadcast source (EACCES),
// a source no route leads back to, or one the host's own rules forbid to reach.
bool sender_unanswerable(int error) noexcept {
    switch (error) {
        case EINVAL:       // port 0
        case EACCES:       // a broadcast address
        case EPERM:        // the host's packet filter
        case ENETUNREACH:  // no route back
        case EHOSTUNREACH:
        case EADDRNOTAVAIL:
            return true;
        default:
            return false;
    }
}

// Whether a failed send or receive on the client's connected socket reports what the network
// said about an earlier datagram (an ICMP error: port or host unreachable and the like), rather
// than a failure of the call itself. Such an error is reported at the next call on the socket,
// and anyone on the path can send one.
bool network_refusal(int error) noexcept {
    switch (error) {
        case ECONNREFUSED:  // port unreachable: nothing listens there
        case EHOSTUNREACH:
        case ENETUNREACH:
        case EHOSTDOWN:
        case ENONET:
        case ENOPROTOOPT:  // protocol unreachable
        case EPROTO:       // parameter problem
        case EMSGSIZE:     // fragmentation needed
            return true;
        default:
            return false;
    }
}

// The dotted address of `peer`, for the reports on standard error.
struct AddressText {
    char text[INET_ADDRSTRLEN] = "?";
};
AddressText address_text(const sockaddr_in& peer) noexcept {
    AddressText out;
    inet_ntop(AF_INET, &peer.sin_addr, out.text, sizeof out.text);
    return out;
}

// Sends asker's line. An ICMP error about an earlier datagram is reported by the first call
// after it and fails that send before anything goes out; the second attempt reports the send
// itself.
void send_line(int sock, const char* buffer) noexcept {
    if (send(sock, buffer, kChatBufferSize, 0) >= 0) return;
    if (network_refusal(errno) && send(sock, buffer, kChatBufferSize, 0) >= 0) return;
    report_failure("Sending information to client failed...! \n");
}

// Receives asker's answer into `buffer`, waiting through the network's refusals of our line.
// Returns the number of bytes received (at most the 80 of the buffer).
std::size_t receive_answer(int sock, char* buffer) noexcept {
    ssize_t received = 0;
    while ((received = recv(sock, buffer, kChatBufferSize, 0)) < 0) {
        const int error = errno;
        if (!network_refusal(error)) report_failure("receiving request in server failed...! \n");
        const sockaddr_in server = chat_server_address();
        report_text("asker: the line did not reach %s port %u (%s); still waiting for an answer\n",
                    address_text(server).text, static_cast<unsigned>(ntohs(server.sin_port)),
                    std::strerror(error));
    }
    return static_cast<std::size_t>(received);
}

// Whether `sender` is the server's own address and port: a datagram from there is forged (the
// server sends none to itself), and answering it would send our reply to ourselves.
bool is_own_address(const sockaddr_in& sender) noexcept {
    const sockaddr_in own = chat_server_address();
    return sender.sin_family == own.sin_family && sender.sin_port == own.sin_port &&
           sender.sin_addr.s_addr == own.sin_addr.s_addr;
}

// Receives the next datagram for replier into `buffer`, with its sender in `sender`; datagrams
// that claim to come from the server itself are dropped with a line on standard error. Returns
// the number of bytes received.
std::size_t receive_request(int sock, char* buffer, sockaddr_in& sender, std::FILE* out) noexcept {
    for (;;) {
        socklen_t length = sizeof sender;
        const ssize_t received = recvfrom(sock, buffer, kChatBufferSize, 0,
                                          reinterpret_cast<sockaddr*>(&sender), &length);
        if (received < 0) report_failure("receiving request in server failed...! \n");
        if (!is_own_address(sender)) return static_cast<std::size_t>(received);
        std::fflush(out);
        report_text("replier: a datagram from our own address %s port %u was dropped\n",
                    address_text(sender).text, static_cast<unsigned>(ntohs(sender.sin_port)));
    }
}

}  // namespace

int open_replier_socket() noexcept {
    const int sock = socket(AF_INET, SOCK_DGRAM, kUdpProtocol);
    if (sock < 0) report_failure("socket creation in server failed .... ! \n");
    const sockaddr_in address = chat_server_address();
    if (bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0)
        report_failure("binding failed...! \n");
    return sock;
}

int open_asker_socket() noexcept {
    const int sock = socket(AF_INET, SOCK_DGRAM, kUdpProtocol);
    if (sock < 0) report_failure("socket creation in server failed .... ! \n");
    const sockaddr_in server = chat_server_address();
    if (connect(sock, reinterpret_cast<const sockaddr*>(&server), sizeof server) < 0)
        report_failure("connecting to server failed...! \n");
    return sock;
}

char* chat_buffer() noexcept {
    char* buffer = static_cast<char*>(std::calloc(1, kChatBufferSize));
    if (buffer == nullptr)
        exit_with_error(errno, "allocating memory for buffer dynamically - failed \n");
    return buffer;
}

bool replier_turn(int sock, char* buffer, std::FILE* in, std::FILE* out) noexcept {
    // The address record of the latest sender, whom the reply goes to.
    sockaddr_in sender{};
    print_chat_text(buffer, receive_request(sock, buffer, sender, out), out);
    if (!prompt_line(buffer, in, out, "Entering the data failed \n", "replier: write error"))
        return false;
    if (sendto(sock, buffer, kChatBufferSize, 0, reinterpret_cast<sockaddr*>(&sender),
               sizeof sender) < 0) {
        const int error = errno;
        if (!sender_unanswerable(error))
            report_failure("Sending information to client failed...! \n");
        std::fflush(out);
        report_text("replier: %s port %u cannot be answered (%s): the reply was dropped\n",
                    address_text(sender).text, static_cast<unsigned>(ntohs(sender.sin_port)),
                    std::strerror(error));
    }
    return true;
}

bool asker_turn(int sock, char* buffer, std::FILE* in, std::FILE* out) noexcept {
    if (!prompt_line(buffer, in, out, "Accessing the data failed \n", "asker: write error"))
        return false;
    send_line(sock, buffer);
    print_chat_text(buffer, receive_answer(sock, buffer), out);
    flush_output(out, "asker: write error");
    return true;
}
