// What the store's cir_sll_display prints for a list: the text that the store's unit tests
// and the menus' end-to-end tests both expect.
#pragma once

#include <string>
#include <vector>

namespace ringlist::test {

inline std::string display_text(const std::vector<int>& values) {
    if (values.empty()) return "\nCircular list is Empty";
    std::string text = "\ncircular single linked list elements:\n";
    for (size_t i = 0; i + 1 < values.size(); ++i) text += std::to_string(values[i]) + " -> ";
    return text + std::to_string(values.back()) + "\n";
}

}  // namespace ringlist::test
