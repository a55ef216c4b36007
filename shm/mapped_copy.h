// copy_from_mapping: copies bytes out of a shared mapping, surviving an object that shrinks.
//
// A writer may shrink the object at any time (ftruncate, or an open with O_TRUNC), also after
// we learnt its size: then reading the pages past its new end faults (SIGBUS). The copy is
// made with SIGBUS caught, so that such a read is reported instead of ending the program.
#pragma once

#include <cstddef>

// Copies `length` bytes from `mapped` to `to`. False if the mapping faulted on the way (the
// object shrank under it); `to` then holds no meaningful bytes.
bool copy_from_mapping(char* to, const void* mapped, std::size_t length) noexcept;
