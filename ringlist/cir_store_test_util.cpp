// Helpers of the list store's unit tests (cir_store_test_util.h).
#include "cir_store_test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "ringlist.h"

namespace ringlist::store_test {

std::string console(const std::string& input, const std::function<void()>& body) {
    std::string in_copy = input;
    FILE* in = in_copy.empty() ? std::fopen("/dev/null", "r")
                               : fmemopen(in_copy.data(), in_copy.size(), "r");
    char* written = nullptr;
    size_t length = 0;
    FILE* out = open_memstream(&written, &length);
    std::fflush(stdout);
    FILE* const saved_in = stdin;
    FILE* const saved_out = stdout;
    stdin = in;
    stdout = out;
    body();
    stdin = saved_in;
    stdout = saved_out;
    std::fclose(in);
    std::fclose(out);
    std::string text(written, length);
    std::free(written);
    return text;
}

Values ring() {
    Values values;
    if (end == nullptr) {
        EXPECT_EQ(size, 0) << "empty ring with a nonzero size";
        return values;
    }
    const c_node* node = end->next;
    do {
        values.push_back(node->data);
        node = node->next;
    } while (node != end->next && values.size() <= static_cast<size_t>(size));
    EXPECT_EQ(static_cast<int>(values.size()), size) << "size differs from the ring's length";
    EXPECT_EQ(node, end->next) << "the ring does not close at the head";
    return values;
}

bool in_ring(const c_node* node) {
    if (end == nullptr) return false;
    const c_node* n = end;
    for (int i = 0; i < size; ++i, n = n->next) {
        if (n == node) return true;
    }
    return false;
}

void free_ring() {
    while (end != nullptr) {
        c_node* head = end->next;
        if (head == end) {
            end = nullptr;
        } else {
            end->next = head->next;
        }
        std::free(head);
    }
    size = 0;
    c_p = c_temp = nullptr;
}

void fill(const Values& values) {
    std::string input;
    for (const int v : values) input += std::to_string(v) + "\n";
    console(input, [&] {
        for (size_t i = 0; i < values.size(); ++i) cir_ins_end();
    });
    ASSERT_EQ(ring(), values);
}

}  // namespace ringlist::store_test
