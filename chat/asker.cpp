// asker: the speaking half of a console chat over UDP.
//
// For ever: prompts for a line, sends it as one 80-byte datagram to UDP port 1234 of the
// compiled-in server address, waits for the answer and prints it. Start `replier` (its
// partner) first. Ends with status 1 at end of input; aborts with a report on any failed
// socket call. There is no time-out: with no server it waits for an answer until killed.
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>

#include "chat_wire.h"
#include "line_read.h"
#include "report_failure.h"

int main() {
    const int sock = socket(AF_INET, SOCK_DGRAM, kUdpProtocol);
    if (sock < 0) report_failure("socket creation in server failed .... ! \n");

    // The destination of every send, and from the first answer on, whoever sent the answer.
    sockaddr_in address = chat_server_address();
    socklen_t length = sizeof address;

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
        if (sendto(sock, buffer, kChatBufferSize, 0, reinterpret_cast<sockaddr*>(&address),
                   sizeof address) < 0)
            report_failure("Sending information to client failed...! \n");

        if (recvfrom(sock, buffer, kChatBufferSize, 0, reinterpret_cast<sockaddr*>(&address),
                     &length) < 0)
            report_failure("receiving request in server failed...! \n");
        print_chat_text(buffer);
        std::fflush(stdout);
    }
}
