// replier: the answering half of a console chat over UDP.
//
// Binds UDP port 1234 of the compiled-in server address, then for ever: waits for a datagram,
// prints the line it carries, asks the operator for a reply line and sends it back to whoever
// sent that datagram. Run it first, then `asker` (its partner) in another terminal.
// Ends with status 1 at end of input; aborts with a report on any failed socket call of ours.
// A sender that cannot be answered (source port 0, a broadcast source) is no failure of ours:
// its reply is reported on standard error and dropped, and replier goes on serving.
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

// Says on standard error that the reply to `peer` could not be sent, and why.
void report_dropped_reply(const sockaddr_in& peer, int error) {
    char address[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address);
    std::fflush(stdout);
    std::fprintf(stderr, "replier: %s port %u cannot be answered (%s): the reply was dropped\n",
                 address, static_cast<unsigned>(ntohs(peer.sin_port)), std::strerror(error));
}

}  // namespace

int main() {
    const int sock = socket(AF_INET, SOCK_DGRAM, kUdpProtocol);
    if (sock < 0) report_failure("socket creation in server failed .... ! \n");

    // The address record names our own address for the bind, then the latest sender.
    sockaddr_in address = chat_server_address();
    socklen_t length = sizeof address;
    if (bind(sock, reinterpret_cast<sockaddr*>(&address), length) < 0)
        report_failure("binding failed...! \n");

    char* buffer = static_cast<char*>(std::calloc(1, kChatBufferSize));
    if (buffer == nullptr) {
        std::perror("allocating memory for buffer dynamically - failed \n");
        std::exit(1);
    }

    for (;;) {
        if (recvfrom(sock, buffer, kChatBufferSize, 0, reinterpret_cast<sockaddr*>(&address),
                     &length) < 0)
            report_failure("receiving request in server failed...! \n");
        print_chat_text(buffer);
        std::printf("Enter the data : \t");
        std::fflush(stdout);

        if (!read_line(buffer, kChatBufferSize, stdin)) {
            std::perror("Entering the data failed \n");
            std::exit(1);
        }
        clear_filler(buffer);
        if (sendto(sock, buffer, kChatBufferSize, 0, reinterpret_cast<sockaddr*>(&address),
                   sizeof address) < 0) {
            const int error = errno;
            if (!sender_unanswerable(error))
                report_failure("Sending information to client failed...! \n");
            report_dropped_reply(address, error);
        }
    }
}
