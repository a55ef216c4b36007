#include "chat_wire.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>

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
    const int length = static_cast<int>(strnlen(buffer, kChatBufferSize));
    std::printf("%.*s \n", length, buffer);
}

void clear_filler(char* buffer) noexcept {
    const size_t length = strnlen(buffer, kChatBufferSize);
    if (length + 1 < kChatBufferSize)
        std::memset(buffer + length + 1, 0, kChatBufferSize - length - 1);
}
