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
// no server it waits for an answer until killed. The exchange itself is in chat_wire.
#include <cstdio>

#include "chat_wire.h"
#include "output_check.h"

int main() {
    // Started without standard input or output, the socket must not take their place.
    hold_closed_standard_streams();
    const int sock = open_asker_socket();
    char* buffer = chat_buffer();
    while (asker_turn(sock, buffer, stdin, stdout)) {
    }
    return 1;
}
