// cir_read.h: console reads shared by the list store and its menus (internal to ringmenu.o).
// Numbers are read with read_int (int_read.h).
#pragma once

// Reads one answer character with " %c" (white space skipped), pending output flushed first.
// False when standard input has ended.
bool cir_read_answer(char* answer) noexcept;

// True once standard input has ended: the menus stop at once after an operation whose read hit it.
bool cir_input_ended() noexcept;
