// Unit tests of the list store (and of ringmenu's hold on it across calls), run against ringmenu.o
// itself, the object a host links, with standard input and output swapped for memory streams.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cir_store_test_util.h"
#include "ringlist.h"

// The test binary links with --wrap=malloc, so that a test can make the store's allocation
// fail; every other allocation passes through.
namespace {
bool fail_malloc = false;
}
// The two names are the linker's (ld --wrap): NOLINTBEGIN(bugprone-reserved-identifier)
extern "C" void* __real_malloc(size_t bytes);
extern "C" void* __wrap_malloc(size_t bytes) {
    return fail_malloc ? nullptr : __real_malloc(bytes);
}
// NOLINTEND(bugprone-reserved-identifier)

// The deletion menu's display; the store tests never call it.
extern "C" void cir_display(void) {}

namespace {

using ringlist::store_test::console;
using ringlist::store_test::display_text;
using ringlist::store_test::fill;
using ringlist::store_test::free_ring;
using ringlist::store_test::in_ring;
using ringlist::store_test::ring;
using ringlist::store_test::Values;

constexpr char kEnter[] = "\nEnter the element you want to insert";
constexpr char kBeyond[] = "\npostion is beyond list size";
constexpr char kNotNumber[] = "\nthat is not a number: nothing inserted";

class Store : public ::testing::Test {
protected:
    void SetUp() override { free_ring(); }
    void TearDown() override {
        fail_malloc = false;
        free_ring();
    }
};

TEST_F(Store, InsertsAtTheEndsBuildTheRingInOrder) {
    EXPECT_EQ(console("1\n2\n3\n", [] { cir_ins_end(), cir_ins_end(), cir_ins_end(); }),
              std::string(kEnter) + kEnter + kEnter);
    EXPECT_EQ(ring(), (Values{1, 2, 3}));
    EXPECT_EQ(console("0\n", cir_ins_beg), kEnter);
    EXPECT_EQ(ring(), (Values{0, 1, 2, 3}));
    EXPECT_EQ(end->data, 3);
    EXPECT_EQ(c_temp, nullptr);
}

TEST_F(Store, InsertAtPositionWrapsRoundTheRing) {
    struct Case {
        Values before;
        int p;
        Values after;  // 9 is the value typed
        bool rejected;
    };
    const Case cases[] = {
        {{1, 2, 3}, 4, {9, 1, 2, 3}, false},  // size + 1: the new head
        {{1, 2, 3}, 3, {1, 2, 3, 9}, false},  // size: after the tail
        {{1, 2, 3}, 2, {1, 9, 2, 3}, false},
        {{1, 2, 3}, 1, {9, 1, 2, 3}, false},
        {{1, 2, 3}, 0, {1, 2, 3, 9}, false},  // 0: the tail side
        {{1, 2, 3, 4, 5}, 4, {1, 2, 3, 9, 4, 5}, false},
        {{1, 2, 3, 4, 5}, 2, {1, 9, 2, 3, 4, 5}, false},
        {{7}, 1, {9, 7}, false},  // p = 1 is tested before p = size
        {{7}, 2, {9, 7}, false},
        {{7}, 0, {7, 9}, false},
        {{}, 0, {9}, false},
        {{}, 1, {9}, false},
        {{}, 2, {}, true},
        {{1, 2, 3}, 5, {1, 2, 3}, true},
        {{1, 2, 3}, -1, {1, 2, 3}, true},
        {{1, 2, 3}, 2147483647, {1, 2, 3}, true},
        {{1, 2, 3}, -2147483647 - 1, {1, 2, 3}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("p = " + std::to_string(c.p) + " on " + display_text(c.before));
        free_ring();
        fill(c.before);
        const std::string out = console("9\n", [&] { cir_ins_pos(c.p); });
        EXPECT_EQ(out, c.rejected ? kBeyond : kEnter);
        EXPECT_EQ(ring(), c.after);
        EXPECT_EQ(c_temp, nullptr);
    }
}

TEST_F(Store, UnreadableValueInsertsNothingAndIsConsumed) {
    struct Case {
        std::string input;
        Values after;  // after two cir_ins_end calls on 1, 2
        std::string out;
    };
    const std::string failed = std::string(kEnter) + kNotNumber;
    const Case cases[] = {
        {"abc 5\n", {1, 2, 5}, failed + kEnter},
        {"- 5\n", {1, 2, 5}, failed + kEnter},
        {"x5 6\n", {1, 2, 6}, failed + kEnter},
        {"12abc\n", {1, 2, 12}, std::string(kEnter) + failed},
        {"", {1, 2}, std::string(kEnter) + kEnter},  // end of input: no number, and no word
        {"abc", {1, 2}, failed + kEnter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("input '" + c.input + "'");
        free_ring();
        fill({1, 2});
        EXPECT_EQ(console(c.input, [] { cir_ins_end(), cir_ins_end(); }), c.out);
        EXPECT_EQ(ring(), c.after);
    }
}

TEST_F(Store, FailedAllocationLeavesTheListUnchanged) {
    fill({1, 2});
    fail_malloc = true;
    const std::string out =
        console("5\n6\n7\n", [] { cir_ins_beg(), cir_ins_end(), cir_ins_pos(2); });
    fail_malloc = false;
    const std::string failed = std::string(kEnter) + "\nout of memory: nothing inserted";
    EXPECT_EQ(out, failed + failed + failed);
    EXPECT_EQ(ring(), (Values{1, 2}));
    EXPECT_EQ(c_temp, nullptr);
}

TEST_F(Store, SearchFindsTheFirstMatchFromTheHead) {
    struct Case {
        Values list;
        int k;
        int position;
        std::string out;
    };
    const Case cases[] = {
        {{4, 8, 4}, 4, 1, ""},
        {{4, 8, 4}, 8, 2, ""},
        {{1, 2, 3}, 3, 3, ""},
        {{5}, 5, 1, ""},
        {{4, 8, 4}, 5, 0, "Given number not found in the list"},
        {{}, 5, 0, "\nlist is empty to cir_search"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("k = " + std::to_string(c.k) + " in " + display_text(c.list));
        free_ring();
        fill(c.list);
        int position = -1;
        EXPECT_EQ(console("", [&] { position = cir_search(c.k); }), c.out);
        EXPECT_EQ(position, c.position);
        EXPECT_EQ(ring(), c.list);
    }
}

TEST_F(Store, DisplayPrintsHeadToTail) {
    for (const Values& list : {Values{}, Values{5}, Values{5, 7, 9}, Values{-1, 0}}) {
        free_ring();
        fill(list);
        EXPECT_EQ(console("", cir_sll_display), display_text(list));
    }
    free_ring();
    fill({5, 7, 9});
    EXPECT_EQ(console("", cir_sll_display),
              "\ncircular single linked list elements:\n5 -> 7 -> 9\n");
}

TEST_F(Store, RemovalsFollowThePositionRules) {
    enum Op { beg, tail, pos };
    struct Case {
        Values before;
        Op op;
        int p;
        Values after;
        std::string out;
    };
    const std::string beg_of = "\nthe element you are deleting is ";
    const std::string end_of = "\nthe element you are deleting is: ";
    const std::string mid_of = "\nthe element you are going to delete is :";
    const std::string empty = "\nlinked list is empty to delete";
    const Case cases[] = {
        {{1, 2, 3}, beg, 0, {2, 3}, beg_of + "1"},
        {{1, 2, 3}, tail, 0, {1, 2}, end_of + "3"},
        {{7}, beg, 0, {}, beg_of + "7"},
        {{7}, tail, 0, {}, end_of + "7"},
        {{}, beg, 0, {}, empty},
        {{}, tail, 0, {}, empty},
        {{1, 2, 3, 4, 5}, pos, 3, {1, 2, 4, 5}, mid_of + "3"},
        {{1, 2, 3, 4, 5}, pos, 2, {1, 3, 4, 5}, mid_of + "2"},
        {{1, 2, 3, 4, 5}, pos, 4, {1, 2, 3, 5}, mid_of + "4"},
        {{1, 2, 3}, pos, 1, {2, 3}, beg_of + "1"},
        {{1, 2, 3}, pos, 4, {2, 3}, beg_of + "1"},  // size + 1: the head
        {{1, 2, 3}, pos, 3, {1, 2}, end_of + "3"},
        {{1, 2, 3}, pos, 0, {1, 2}, end_of + "3"},  // 0: the tail
        {{1, 2}, pos, 2, {1}, end_of + "2"},
        {{7}, pos, 1, {}, beg_of + "7"},
        {{7}, pos, 0, {}, end_of + "7"},
        {{7}, pos, 2, {}, beg_of + "7"},
        {{1, 2, 3}, pos, 5, {1, 2, 3}, "\ninvalid position"},
        {{1, 2, 3}, pos, -1, {1, 2, 3}, "\ninvalid position"},
        {{}, pos, 1, {}, empty},
        {{}, pos, 0, {}, empty},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("op " + std::to_string(c.op) + " p = " + std::to_string(c.p) + " on " +
                     display_text(c.before));
        free_ring();
        fill(c.before);
        const std::string out = console("", [&] {
            if (c.op == beg) cir_del_beg();
            if (c.op == tail) cir_del_end();
            if (c.op == pos) cir_del_pos(c.p);
        });
        EXPECT_EQ(out, c.out);
        EXPECT_EQ(ring(), c.after);
        EXPECT_EQ(c_temp, nullptr);
        EXPECT_TRUE(c_p == nullptr || in_ring(c_p)) << "c_p points at a removed node";
    }
}

TEST_F(Store, EmptiedRingStartsAfreshOnTheNextInsert) {
    for (auto remove : {cir_del_beg, cir_del_end}) {
        free_ring();
        fill({7});
        console("", [&] { remove(); });
        EXPECT_EQ(end, nullptr);
        EXPECT_EQ(size, 0);
        EXPECT_EQ(console("", cir_sll_display), "\nCircular list is Empty");
        console("8\n", cir_ins_end);
        ASSERT_NE(end, nullptr);
        EXPECT_EQ(end->next, end) << "a single node links to itself";
        EXPECT_EQ(ring(), (Values{8}));
    }
}

TEST_F(Store, WalkingPointerNeverKeepsAFreedNode) {
    fill({1, 2, 3});
    int position = 0;
    console("", [&] { position = cir_search(1); });  // leaves c_p on the head
    ASSERT_EQ(position, 1);
    console("", cir_del_beg);
    EXPECT_TRUE(c_p == nullptr || in_ring(c_p));
    console("", [&] { position = cir_search(3); });  // c_p on the tail
    console("", cir_del_end);
    EXPECT_TRUE(c_p == nullptr || in_ring(c_p));
    console("", cir_del_end);  // the last node
    EXPECT_EQ(end, nullptr);
    EXPECT_EQ(c_p, nullptr);
}

// The list belongs to the process, not to one call of ringmenu: a second call finds it as the
// first left it, and a call that meets the end of input returns 0 at once, the list intact.
TEST_F(Store, RingmenuCallsShareTheList) {
    ::setenv("TERM", "dumb", 1);  // clear prints nothing for a dumb terminal
    int result = -1;
    console("1\n2\n5\nn\nn\n", [&] { result = ringmenu(); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ring(), (Values{5}));

    const std::string out = console("1\n2\n6\nn\nn\n", [&] { result = ringmenu(); });
    EXPECT_EQ(result, 0);
    EXPECT_NE(out.find(display_text({5}) + "\nEnter the option:"), std::string::npos) << out;
    EXPECT_EQ(ring(), (Values{5, 6}));

    result = -1;
    console("1\n2\n", [&] { result = ringmenu(); });  // input ends at the value
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ring(), (Values{5, 6}));
    console("", [&] { result = ringmenu(); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ring(), (Values{5, 6}));
}

}  // namespace
