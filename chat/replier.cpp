// replier: the answering half of a console chat over UDP.
//
// Binds UDP port 1234 of the compiled-in server address, then for ever: waits for a datagram,
// prints the line it carries, asks the operator for a reply line and sends it back to whoever
// sent that datagram. Run it first, then `asker` (its partner) in another terminal.
// Ends with status 1 at end of input; aborts with a report on any failed socket call of ours.
// A sender that cannot be answered (source port 0, a broadcast source) is no failure of ours:
// its reply is reported on standard error and dropped, and replier goes on serving. A datagram
// that claims to come from replier's own address and port is forged: it is dropped, so that
// replier never answers itself. The exchange itself is in chat_wire.
#include <cstdio>

#include "chat_wire.h"
#include "output_check.h"

int main() {
    // Started without standard input or output, the socket must not take their place.
    hold_closed_standard_streams();
    const int sock = open_replier_socket();
    char* buffer = chat_buffer();
    while (replier_turn(sock, buffer, stdin, stdout)) {
    }
    return 1;
}
