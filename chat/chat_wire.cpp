#include "chat_wire.h"

#include <arpa/inet.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "visible_text.h"

#ifndef CHAT_SERVER_ADDRESS
#define CHAT_SERVER_ADDRESS "127.0.0.1"
#endif

sockaddr_in chat_server_address() noexcept {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kChatPort);
    address.sin_addr.s_addr = inet_addr(CHAT_SERVER_ADDRESS);
    return address;
}

void print_chat_text(const char* buffer) noexcept {
    char shown[2 * kChatBufferSize];
    const std::size_t length =
        visible_text(buffer, strnlen(buffer, kChatBufferSize), shown, stdout_is_terminal());
    std::printf("%.*s \n", static_cast<int>(length), shown);
}

void clear_filler(char* buffer) noexcept {
    const size_t length = strnlen(buffer, kChatBufferSize);
    if (length + 1 < kChatBufferSize)
        std::memset(buffer + length + 1, 0, kChatBufferSize - length - 1);
}

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

bool network_refusal(int error) noexcept {
    // The errors an ICMP message sets on a connected UDP socket.
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
