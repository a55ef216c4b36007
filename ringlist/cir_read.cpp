// cir_read.cpp: the console reads of the circular list and its menus, from standard input,
// beside read_int's numbers (int_read.h): answers with " %c". Part of ringmenu.o; nothing here
// is exported.
#include "cir_read.h"

#include <cstdio>

bool cir_read_answer(char* answer) noexcept {
    std::fflush(stdout);
    return std::scanf(" %c", answer) == 1;
}

bool cir_input_ended() noexcept { return std::feof(stdin) || std::ferror(stdin); }
