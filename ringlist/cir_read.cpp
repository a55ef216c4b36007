// cir_read.cpp: the console reads of the circular list and its menus: numbers with "%d",
// answers with " %c", from standard input. Part of ringmenu.o; nothing here is exported.
#include "cir_read.h"

#include <cctype>
#include <cstdio>

namespace {

// Drops the rest of a token that "%d" refused. scanf has already taken what it could not use
// but the last character ("-" of "-x"), and pushed that one back; everything up to the next
// white space goes, the white space stays.
void skip_token() noexcept {
    int c;
    while ((c = std::getchar()) != EOF) {
        if (std::isspace(c)) {
            std::ungetc(c, stdin);
            return;
        }
    }
}

}  // namespace

ReadStatus cir_read_int(int* number) noexcept {
    std::fflush(stdout);
    // NOLINTNEXTLINE(cert-err34-c): the menus read numbers with "%d", as their dialogue does
    const int got = std::scanf("%d", number);
    if (got == 1) return ReadStatus::value;
    if (got == EOF) return ReadStatus::ended;
    skip_token();
    return ReadStatus::unreadable;
}

ReadStatus cir_read_answer(char* answer) noexcept {
    std::fflush(stdout);
    return std::scanf(" %c", answer) == 1 ? ReadStatus::value : ReadStatus::ended;
}

bool cir_input_ended() noexcept { return std::feof(stdin) || std::ferror(stdin); }
