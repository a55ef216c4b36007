// cir_read.cpp: the console reads of the circular list and its menus, from standard input:
// numbers as "%d" reads them (int_read.h), answers with " %c". Part of ringmenu.o; nothing
// here is exported.
#include "cir_read.h"

#include <cstdio>

#include "int_read.h"

ReadStatus cir_read_int(int* number) noexcept {
    switch (read_int(number)) {
        case INT_READ_VALUE:
            return ReadStatus::value;
        case INT_READ_UNREADABLE:
            return ReadStatus::unreadable;
        case INT_READ_ENDED:
            break;
    }
    return ReadStatus::ended;
}

ReadStatus cir_read_answer(char* answer) noexcept {
    std::fflush(stdout);
    return std::scanf(" %c", answer) == 1 ? ReadStatus::value : ReadStatus::ended;
}

bool cir_input_ended() noexcept { return std::feof(stdin) || std::ferror(stdin); }
