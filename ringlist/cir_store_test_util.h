// Helpers of the list store's unit tests: the console swapped for memory streams, the ring as
// the globals hold it, and building and freeing it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "display_text_test_util.h"
#include "ringlist.h"

namespace ringlist::store_test {

using Values = std::vector<int>;

// Runs `body` with `input` on stdin and returns what it wrote to stdout.
std::string console(const std::string& input, const std::function<void()>& body);

// The ring from head to tail, walked through `end`; fails the test unless the walk comes back
// to the head after exactly `size` nodes.
Values ring();

// Whether `node` is one of the ring's nodes.
bool in_ring(const c_node* node);

// Frees every node and clears the globals: an empty list.
void free_ring();

// Builds the ring through cir_ins_end, one value read per call.
void fill(const Values& values);

using ringlist::test::display_text;

}  // namespace ringlist::store_test
