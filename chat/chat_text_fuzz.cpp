// chat_text_fuzz: a libFuzzer target for chat_text (cmake/OsfFuzz.cmake).
//
// An input's first byte gives the number of bytes received (0 to kChatBufferSize), the rest
// the chat buffer's bytes: those received, then what an earlier datagram or our own line left
// after them (made up with 'x' where the input is shorter). The buffer and the shown text are
// heap blocks of exactly their sizes, so that a read or write past either is an ASan report.
// Not to a terminal the text shown must be the bytes received up to the first zero. On a
// terminal it must hold no C0 control but tab and newline and no DEL, and, like the other, be
// the same whatever the buffer holds past that text. A failed check aborts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "chat_text.h"

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "chat_text: %s\n", what);
    std::abort();
}

std::string shown(const char* buffer, std::size_t received, bool terminal) {
    const auto out = std::make_unique<char[]>(kChatShownSize);
    return {out.get(), chat_text(buffer, received, out.get(), terminal)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t received = data[0] % (kChatBufferSize + 1);
    const auto buffer = std::make_unique<char[]>(kChatBufferSize);
    std::memset(buffer.get(), 'x', kChatBufferSize);
    std::memcpy(buffer.get(), data + 1, std::min<std::size_t>(size - 1, kChatBufferSize));
    const std::string text(buffer.get(), std::find(buffer.get(), buffer.get() + received, '\0'));

    // The same text, and nothing but zeros after it.
    const auto alone = std::make_unique<char[]>(kChatBufferSize);
    text.copy(alone.get(), text.size());

    check(shown(buffer.get(), received, false) == text, "not the text received up to its zero");
    const std::string out = shown(buffer.get(), received, true);
    check(out == shown(alone.get(), text.size(), true), "shows more than the text received");
    for (const char c : out) {
        const auto byte = static_cast<unsigned char>(c);
        check(byte >= 0x20 || byte == '\t' || byte == '\n', "a C0 control reaches the terminal");
        check(byte != 0x7f, "DEL reaches the terminal");
    }
    return 0;
}
