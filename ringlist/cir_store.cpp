// cir_store.cpp: the circular singly linked list of integers behind ringmenu. One ring per
// process, kept in the globals `end` (the tail), `size`, `c_p` and `c_temp`; inserts read the
// value from standard input, removals print the value they remove. Part of ringmenu.o, called
// by the menus (ringmenu.cpp) and by any host that links the object (see ringlist.h).
#include <cstdio>
#include <cstdlib>

#include "int_read.h"

#pragma GCC visibility push(default)
#include "ringlist.h"
#pragma GCC visibility pop

extern "C" {
c_node* end = nullptr;
int size = 0;
c_node* c_p = nullptr;
c_node* c_temp = nullptr;
}

namespace {

// Prompts for and reads the value of a new node, then takes the node from the heap. Returns
// null when no number comes or no memory is left, and the list stays as it was: a token that
// is no number and a lack of memory are said; the end of input is not (nothing was typed, and
// the menus end there at once, as at every other prompt).
c_node* new_node() noexcept {
    std::printf("\nEnter the element you want to insert");
    int value = 0;
    switch (read_int(&value)) {
        case INT_READ_VALUE:
            break;
        case INT_READ_UNREADABLE:
            std::printf("\nthat is not a number: nothing inserted");
            return nullptr;
        case INT_READ_ENDED:
            return nullptr;
    }
    auto* node = static_cast<c_node*>(std::malloc(sizeof(c_node)));
    if (node == nullptr) {
        std::printf("\nout of memory: nothing inserted");
        return nullptr;
    }
    node->data = value;
    node->next = nullptr;
    return node;
}

// Links `node` in after the tail, where it becomes the head; an empty ring becomes `node` alone.
void link_as_head(c_node* node) noexcept {
    if (end != nullptr) {
        node->next = end->next;
        end->next = node;
    } else {
        end = node;
        node->next = node;
    }
}

// Frees a node that is already out of the ring; no global is left pointing at it.
void release(c_node* node) noexcept {
    if (c_p == node) c_p = nullptr;
    std::free(node);
    c_temp = nullptr;
    --size;
}

bool empty_for_removal() noexcept {
    if (size != 0 && end != nullptr) return false;
    std::printf("\nlinked list is empty to delete");
    return true;
}

}  // namespace

extern "C" {

void cir_ins_beg() noexcept {
    c_temp = new_node();
    if (c_temp == nullptr) return;
    link_as_head(c_temp);
    ++size;
    c_temp = nullptr;
}

void cir_ins_end() noexcept {
    if (size == 0) {
        cir_ins_beg();
        return;
    }
    c_temp = new_node();
    if (c_temp == nullptr) return;
    link_as_head(c_temp);
    end = c_temp;
    c_temp = nullptr;
    ++size;
}

void cir_ins_pos(int p) noexcept {
    if (p > size + 1 || p < 0) {
        std::printf("\npostion is beyond list size");
    } else if (p == 1 || p == size + 1) {
        cir_ins_beg();
    } else if (p == size || p == 0) {
        cir_ins_end();
    } else {
        c_temp = new_node();
        if (c_temp == nullptr) return;
        c_p = end;
        for (int i = 1; i < p; ++i) c_p = c_p->next;  // to the node at position p - 1
        c_temp->next = c_p->next;
        c_p->next = c_temp;
        c_temp = nullptr;
        ++size;
    }
}

int cir_search(int k) noexcept {
    if (size == 0 || end == nullptr) {
        std::printf("\nlist is empty to cir_search");
        return 0;
    }
    c_p = end->next;
    for (int position = 1;; ++position) {
        if (c_p->data == k) return position;
        if (c_p == end) break;
        c_p = c_p->next;
    }
    std::printf("Given number not found in the list");
    return 0;
}

void cir_sll_display() noexcept {
    if (size == 0 || end == nullptr) {
        std::printf("\nCircular list is Empty");
        return;
    }
    std::printf("\ncircular single linked list elements:\n");
    for (c_p = end->next; c_p != end; c_p = c_p->next) std::printf("%d -> ", c_p->data);
    std::printf("%d\n", end->data);
}

void cir_del_beg() noexcept {
    if (empty_for_removal()) return;
    c_temp = end->next;
    std::printf("\nthe element you are deleting is %d", c_temp->data);
    if (c_temp == end) {
        end = nullptr;
    } else {
        end->next = c_temp->next;
    }
    release(c_temp);
}

void cir_del_end() noexcept {
    if (empty_for_removal()) return;
    c_p = end->next;
    while (c_p->next != end) c_p = c_p->next;  // the node before the tail (the tail if alone)
    c_temp = end;
    std::printf("\nthe element you are deleting is: %d", c_temp->data);
    if (c_temp == c_p) {
        end = nullptr;
    } else {
        c_p->next = c_temp->next;
        end = c_p;
    }
    release(c_temp);
}

void cir_del_pos(int p) noexcept {
    if (size == 0 || end == nullptr) {
        std::printf("\nlinked list is empty to delete");
    } else if (p < 0 || p > size + 1) {
        std::printf("\ninvalid position");
    } else if (p == 1 || p == size + 1) {
        cir_del_beg();
    } else if (p == size || p == 0) {
        cir_del_end();
    } else {
        c_p = end->next;
        for (int i = 2; i < p; ++i) c_p = c_p->next;  // to the node at position p - 1
        c_temp = c_p->next;
        std::printf("\nthe element you are going to delete is :%d", c_temp->data);
        c_p->next = c_temp->next;
        release(c_temp);
    }
}

}  // extern "C"
