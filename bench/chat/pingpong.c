/* pingpong: the limit for the chat's round trip. Two processes bounce one 80-byte datagram
 * over UDP/IPv4 on 127.0.0.1 with blocking sendto and recvfrom, as replier and asker do, but
 * with no terminal, no standard I/O and no person in between.
 *
 *   pingpong ROUNDS TRIPS
 * The server side binds an ephemeral port of 127.0.0.1 and answers every datagram to its
 * sender; the client sends, waits for the answer and checks it came back whole. After a short
 * warm-up it times ROUNDS rounds of TRIPS round trips and prints the best round as
 * "<round trips per second> <microseconds per round trip>". An i386 program, like the chat.
 */
#define _POSIX_C_SOURCE 200809L
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "clock.h"
#include "count_arg.h"
#include "report.h"

enum { kDatagram = 80, kWarmUp = 200 };

/* The server: answers each datagram to its sender, until killed. */
static void serve(int sock) {
    char buffer[kDatagram];
    struct sockaddr_in peer;
    for (;;) {
        socklen_t length = sizeof peer;
        if (recvfrom(sock, buffer, sizeof buffer, 0, (struct sockaddr*)&peer, &length) < 0)
            exit_with_error(errno, "pingpong: server recvfrom");
        if (sendto(sock, buffer, sizeof buffer, 0, (struct sockaddr*)&peer, sizeof peer) < 0)
            exit_with_error(errno, "pingpong: server sendto");
    }
}

static void round_trip(int sock, const struct sockaddr_in* server, long i) {
    char buffer[kDatagram] = {0};
    char answer[kDatagram];
    snprintf(buffer, sizeof buffer, "line %ld\n", i);
    if (sendto(sock, buffer, sizeof buffer, 0, (const struct sockaddr*)server, sizeof *server) < 0)
        exit_with_error(errno, "pingpong: client sendto");
    const ssize_t n = recvfrom(sock, answer, sizeof answer, 0, NULL, NULL);
    if (n < 0) exit_with_error(errno, "pingpong: client recvfrom");
    if (n != kDatagram || memcmp(answer, buffer, kDatagram) != 0) {
        report_text("pingpong: round trip %ld came back changed\n", i);
        exit(1);
    }
}

int main(int argc, char** argv) {
    const int rounds = argc == 3 ? (int)count_arg(argv[1], INT_MAX) : 0;
    const long trips = argc == 3 ? count_arg(argv[2], INT_MAX) : 0;
    if (rounds <= 0 || trips <= 0) {
        report_text("usage: pingpong ROUNDS TRIPS\n");
        return 2;
    }

    struct sockaddr_in server;
    memset(&server, 0, sizeof server);
    server.sin_family = AF_INET;
    server.sin_port = 0;
    server.sin_addr.s_addr = inet_addr("127.0.0.1");
    const int server_sock = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (server_sock < 0) exit_with_error(errno, "pingpong: socket");
    if (bind(server_sock, (struct sockaddr*)&server, sizeof server) < 0)
        exit_with_error(errno, "pingpong: bind");
    socklen_t length = sizeof server;
    if (getsockname(server_sock, (struct sockaddr*)&server, &length) < 0)
        exit_with_error(errno, "pingpong: getsockname");

    const pid_t child = fork();
    if (child < 0) exit_with_error(errno, "pingpong: fork");
    if (child == 0) serve(server_sock);
    close(server_sock);

    const int sock = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (sock < 0) exit_with_error(errno, "pingpong: socket");
    long i = 0;
    for (; i < kWarmUp; ++i) round_trip(sock, &server, i);
    double best = 1e30;
    for (int r = 0; r < rounds; ++r) {
        const double start = now_seconds();
        for (long n = 0; n < trips; ++n, ++i) round_trip(sock, &server, i);
        const double seconds = now_seconds() - start;
        if (seconds < best) best = seconds;
    }
    kill(child, SIGTERM);
    waitpid(child, NULL, 0);
    printf("%.0f %.1f\n", (double)trips / best, best / (double)trips * 1e6);
    return 0;
}
