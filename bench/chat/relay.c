/* relay: the honest limit for the chat's round trip. It makes exactly the chat's hops and
 * nothing else: a line typed at one relay's pipe goes out as one 80-byte datagram on
 * 127.0.0.1 to the other, which writes it to its own pipe, and the answer comes back the same
 * way, with the chat's texts on the pipes. No standard I/O buffering, no checks beyond the
 * calls' results, no failure report: plain read, write, sendto and recvfrom.
 *
 * Built twice (bench/CMakeLists.txt): relay_replier (RELAY_REPLIER defined) binds UDP port
 * 1234 and answers each datagram to its sender, as replier does; relay_asker sends to it, as
 * asker does. chat_bench drives the pair as it drives the chat. An i386 program, like the chat.
 */
#define _POSIX_C_SOURCE 200809L
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include "report.h"

enum { kDatagram = 80, kPort = 1234 };

static const char kPrompt[] = "Enter the data : \t";

/* Writes the text of an 80-byte datagram, " \n" and the prompt to standard output, at once. */
static void show(const char *datagram) {
    char out[kDatagram + 2 + sizeof kPrompt];
    const size_t length = strnlen(datagram, kDatagram);
    memcpy(out, datagram, length);
    memcpy(out + length, " \n", 2);
    memcpy(out + length + 2, kPrompt, sizeof kPrompt - 1);
    if (write(1, out, length + 2 + sizeof kPrompt - 1) < 0) exit_with_error(errno, "relay: write");
}

/* Reads one line from standard input into a zero-filled 80-byte datagram (the driver writes
 * one whole line and waits). Returns 0 at end of input. */
static int take_line(char *datagram) {
    memset(datagram, 0, kDatagram);
    const ssize_t n = read(0, datagram, kDatagram - 1);
    if (n < 0) exit_with_error(errno, "relay: read");
    return n > 0;
}

int main(void) {
    char datagram[kDatagram];
    struct sockaddr_in peer;
    memset(&peer, 0, sizeof peer);
    peer.sin_family = AF_INET;
    peer.sin_port = htons(kPort);
    peer.sin_addr.s_addr = inet_addr("127.0.0.1");
    const int sock = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (sock < 0) exit_with_error(errno, "relay: socket");
#ifdef RELAY_REPLIER
    if (bind(sock, (struct sockaddr *)&peer, sizeof peer) < 0)
        exit_with_error(errno, "relay: bind");
    for (;;) {
        socklen_t length = sizeof peer;
        if (recvfrom(sock, datagram, kDatagram, 0, (struct sockaddr *)&peer, &length) < 0)
            exit_with_error(errno, "relay: recvfrom");
        show(datagram);
        if (!take_line(datagram)) return 1;
        if (sendto(sock, datagram, kDatagram, 0, (struct sockaddr *)&peer, sizeof peer) < 0)
            exit_with_error(errno, "relay: sendto");
    }
#else
    if (write(1, kPrompt, sizeof kPrompt - 1) < 0) exit_with_error(errno, "relay: write");
    for (;;) {
        if (!take_line(datagram)) return 1;
        if (sendto(sock, datagram, kDatagram, 0, (struct sockaddr *)&peer, sizeof peer) < 0)
            exit_with_error(errno, "relay: sendto");
        if (recvfrom(sock, datagram, kDatagram, 0, NULL, NULL) < 0)
            exit_with_error(errno, "relay: recvfrom");
        show(datagram);
    }
#endif
}
