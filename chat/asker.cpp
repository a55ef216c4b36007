// asker: the speaking half of a console chat over UDP.
//
// For ever: prompts for a line, sends it as one 80-byte datagram to UDP port 1234 of the
// compiled-in server address, waits for the answer and prints it. Start `replier` (its
// partner) first. Ends with status 1 at end of input; aborts with a report on any failed
// socket call of ours.
//
// The socket is connected to the server, so answers are taken from the server's address and
// port only: a datagram from anyone else never reaches us, and cannot take the conversation
// over. A connected socket also hears what the network says about our datagrams: when nothing
// listens at the server's port, the receive reports "Connection refused". That is said on
// standard error, and asker keeps waiting, as it always does: there is no time-out, and with
// no server it waits for an answer until killed.
#include <arpa/inet.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "chat_wire.h"
#include "line_read.h"
#include "report_failure.h"

namespace {

// Sends the line. An ICMP error about an earlier datagram (which anyone on the path can send)
// is reported by the first call after it and fails that send before anything goes out; the
// second attempt reports the send itself.
void send_line(int sock, const char* buffer) {
    if (send(sock, buffer, kChatBufferSize, 0) >= 0) return;
    if (network_refusal(errno) && send(sock, buffer, kChatBufferSize, 0) >= 0) return;
    report_failure("Sending information to client failed...! \n");
}

// Receives the answer into `buffer`, waiting through the network's refusals of our line.
void receive_answer(int sock, char* buffer, const sockaddr_in& server) {
    while (recv(sock, buffer, kChatBufferSize, 0) < 0) {
        const int error = errno;
        if (!network_refusal(error)) report_failure("receiving request in server failed...! \n");
        char address[INET_ADDRSTRLEN] = "?";
        inet_ntop(AF_INET, &server.sin_addr, address, sizeof address);
        std::fprintf(stderr,
                     "asker: the line did not reach %s port %u (%s); still waiting for an answer\n",
                     address, static_cast<unsigned>(ntohs(server.sin_port)), std::strerror(error));
    }
}

}  // namespace

int main() {
    const int sock = socket(AF_INET, SOCK_DGRAM, kUdpProtocol);
    if (sock < 0) report_failure("socket creation in server failed .... ! \n");

    // The destination of every send, and the only source of answers.
    const sockaddr_in server = chat_server_address();
    if (connect(sock, reinterpret_cast<const sockaddr*>(&server), sizeof server) < 0)
        report_failure("connecting to server failed...! \n");

    char* buffer = static_cast<char*>(std::calloc(1, kChatBufferSize));
    if (buffer == nullptr) {
        std::perror("allocating memory for buffer dynamically - failed \n");
        std::exit(1);
    }

    for (;;) {
        std::printf("Enter the data : \t");
        std::fflush(stdout);
        if (!read_line(buffer, kChatBufferSize, stdin)) {
            std::perror("Accessing the data failed \n");
            std::exit(1);
        }
        clear_filler(buffer);
        send_line(sock, buffer);
        receive_answer(sock, buffer, server);
        print_chat_text(buffer);
        std::fflush(stdout);
    }
}
