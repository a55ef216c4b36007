// cir_read.h: console reads shared by the list store and its menus (internal to ringmenu.o).
#pragma once

// What one read from standard input yielded.
enum class ReadStatus {
    value,       // a number (or an answer character) was read
    unreadable,  // the next token is not a number; it has been consumed
    ended,       // standard input is at its end (or failed): nothing more will come
};

// Reads one "%d" number. An unreadable token is consumed whole, so that a caller that asks
// again gets the next token instead of the same one forever. Pending output is flushed first,
// so that prompts show even when standard output is a pipe.
ReadStatus cir_read_int(int* number) noexcept;

// Reads one answer character with " %c" (white space skipped).
ReadStatus cir_read_answer(char* answer) noexcept;

// True once standard input has ended: the menus stop at once after an operation whose read hit it.
bool cir_input_ended() noexcept;
