// The example partner's routines on their own: the search tree's insert, delete and four
// traversals, the selection sort, and the red-black tree's invariants as it grows.
#include "treeparts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

// What one of the write_* functions writes for `root`.
std::string written(void (*write)(FILE*, const node*), const node* root) {
    char* buffer = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&buffer, &size);
    write(out, root);
    std::fclose(out);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

std::string inorder(const node* root) { return written(write_inorder, root); }
std::string pre_order(const node* root) { return written(write_pre_order, root); }

node* tree_of(const std::vector<int>& keys) {
    node* root = nullptr;
    for (const int key : keys) root = insert_tree(root, key);
    return root;
}

// A tree freed at the end of the test.
struct Tree {
    node* root;
    explicit Tree(const std::vector<int>& keys) : root(tree_of(keys)) {}
    ~Tree() { bst_free(root); }
};

//        50
//     30     70
//   20  40  60  80
//      35 45   65
const std::vector<int> kKnown = {50, 30, 70, 20, 40, 60, 80, 35, 45, 65};

TEST(Traversals, KnownTreeInEachOrder) {
    const Tree t(kKnown);
    EXPECT_EQ(inorder(t.root), "20 30 35 40 45 50 60 65 70 80\n");
    EXPECT_EQ(pre_order(t.root), "50 30 20 40 35 45 70 60 65 80\n");
    EXPECT_EQ(written(write_post_order, t.root), "20 35 45 40 30 65 60 80 70 50\n");
    EXPECT_EQ(written(write_level_order, t.root), "50 30 70 20 40 60 80 35 45 65\n");
}

TEST(Traversals, EmptyTreeIsAnEmptyLine) {
    for (auto write : {write_inorder, write_pre_order, write_post_order, write_level_order})
        EXPECT_EQ(written(write, nullptr), "\n");
}

TEST(Traversals, SingleNodeAndNegativeValues) {
    const Tree one({-5});
    EXPECT_EQ(written(write_level_order, one.root), "-5\n");
    const Tree chain({3, -1, -7, 0});  // a left chain with a right twig
    EXPECT_EQ(written(write_level_order, chain.root), "3 -1 -7 0\n");
    EXPECT_EQ(written(write_post_order, chain.root), "-7 0 -1 3\n");
}

TEST(Insert, DuplicatesAreIgnoredAndRootKept) {
    Tree t(kKnown);
    const node* before = t.root;
    for (const int key : kKnown) t.root = insert_tree(t.root, key);
    EXPECT_EQ(t.root, before);
    EXPECT_EQ(pre_order(t.root), "50 30 20 40 35 45 70 60 65 80\n");
}

struct Deletion {
    const char* name;
    std::vector<int> keys;
    int remove;
    const char* pre_order_after;
};

void PrintTo(const Deletion& d, std::ostream* os) { *os << d.name; }

class Delete : public ::testing::TestWithParam<Deletion> {};

TEST_P(Delete, LeavesTheExpectedTree) {
    const Deletion& d = GetParam();
    Tree t(d.keys);
    t.root = bst_delete_node(t.root, d.remove);
    EXPECT_EQ(pre_order(t.root), d.pre_order_after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Delete,
    ::testing::Values(
        Deletion{"Leaf", {50, 30, 70, 20}, 20, "50 30 70\n"},
        Deletion{"OnlyLeftChild", {50, 30, 70, 20, 10}, 30, "50 20 10 70\n"},
        Deletion{"OnlyRightChild", {50, 30, 70, 80, 90}, 70, "50 30 80 90\n"},
        Deletion{
            "TwoChildrenSuccessorIsRightChild", {50, 30, 70, 60, 80, 90}, 70, "50 30 80 60 90\n"},
        Deletion{"TwoChildrenSuccessorDeeper",
                 {50, 30, 70, 60, 80, 75, 77, 85},
                 70,
                 "50 30 75 60 80 77 85\n"},
        Deletion{"RootWithTwoChildren", {50, 30, 70, 60}, 50, "60 30 70\n"},
        Deletion{"RootWithOneChild", {50, 30, 20}, 50, "30 20\n"},
        Deletion{"OnlyNode", {50}, 50, "\n"},
        Deletion{"MissingKey", {50, 30, 70}, 99, "50 30 70\n"}, Deletion{"EmptyTree", {}, 1, "\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Insert, RandomInsertsAndDeletesMatchASet) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> key(-500, 500);
    std::set<int> expected;
    node* root = nullptr;
    for (int n = 0; n < 3000; ++n) {
        const int k = key(random);
        if (n % 3 == 2) {
            root = bst_delete_node(root, k);
            expected.erase(k);
        } else {
            root = insert_tree(root, k);
            expected.insert(k);
        }
    }
    std::string want;
    for (const int k : expected) want += (want.empty() ? "" : " ") + std::to_string(k);
    EXPECT_EQ(inorder(root), want + "\n");
    for (const int k : std::set<int>(expected)) root = bst_delete_node(root, k);
    EXPECT_EQ(root, nullptr);
}

struct SortCase {
    std::vector<int> in;
    std::vector<int> out;
};

TEST(SelectionSort, SortsArrInPlace) {
    const SortCase cases[] = {
        {{5, 3, 8, 1, 4}, {1, 3, 4, 5, 8}},
        {{1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}},
        {{5, 4, 3, 2, 1}, {1, 2, 3, 4, 5}},
        {{2, 2, -1, 2, -1}, {-1, -1, 2, 2, 2}},
        {{2147483647, -2147483647 - 1, 0, 7, -7}, {-2147483647 - 1, -7, 0, 7, 2147483647}},
    };
    for (const auto& c : cases) {
        for (int k = 0; k < 5; ++k) arr[k] = c.in[k];
        selection_sort();
        EXPECT_EQ(std::vector<int>(arr, arr + 5), c.out);
    }
}

// The red-black rules, checked over the whole tree: returns the black height of `n`'s
// subtree, or -1 after reporting the first rule broken.
int check_subtree(const rb_node* n, const rb_node* parent, const int* low, const int* high) {
    if (n == nullptr) return 1;
    if (n->parent != parent) {
        ADD_FAILURE() << n->key << ": wrong parent link";
        return -1;
    }
    if ((low && n->key <= *low) || (high && n->key >= *high)) {
        ADD_FAILURE() << n->key << ": out of order";
        return -1;
    }
    if (n->colour == RB_RED &&
        ((n->left && n->left->colour == RB_RED) || (n->right && n->right->colour == RB_RED))) {
        ADD_FAILURE() << n->key << ": red node with a red child";
        return -1;
    }
    const int left = check_subtree(n->left, n, low, &n->key);
    const int right = check_subtree(n->right, n, &n->key, high);
    if (left < 0 || right < 0) return -1;
    if (left != right) {
        ADD_FAILURE() << n->key << ": black heights " << left << " and " << right;
        return -1;
    }
    return left + (n->colour == RB_BLACK ? 1 : 0);
}

int count_nodes(const rb_node* n) {
    return n == nullptr ? 0 : 1 + count_nodes(n->left) + count_nodes(n->right);
}

// Inserts `keys` one by one, checking every rule after each insertion.
void insert_checked(const std::vector<int>& keys) {
    rb_set set{};
    std::set<int> expected;
    for (const int key : keys) {
        const bool fresh = expected.insert(key).second;
        ASSERT_EQ(rb_insert(&set, key), fresh ? 1 : 0) << key;
        ASSERT_NE(set.root, nullptr);
        ASSERT_EQ(set.root->colour, RB_BLACK) << "root red after inserting " << key;
        const int height = check_subtree(set.root, nullptr, nullptr, nullptr);
        ASSERT_GT(height, 0) << "after inserting " << key;
        ASSERT_EQ(rb_black_height(set.root) + 1, height);
        ASSERT_EQ(count_nodes(set.root), static_cast<int>(expected.size()));
    }
    rb_clear(&set);
    EXPECT_EQ(set.root, nullptr);
}

TEST(RedBlack, RulesHoldAfterEachRandomInsertion) {
    std::mt19937 random(11);
    std::uniform_int_distribution<int> key(-100000, 100000);
    std::vector<int> keys(3000);
    for (int& k : keys) k = key(random);
    insert_checked(keys);
}

TEST(RedBlack, RulesHoldForAscendingAndDescendingKeys) {
    std::vector<int> up, down;
    for (int k = 0; k < 3000; ++k) {
        up.push_back(k);
        down.push_back(3000 - k);
    }
    insert_checked(up);
    insert_checked(down);
}

TEST(RedBlack, DuplicatesAndFewDistinctKeys) {
    std::mt19937 random(3);
    std::uniform_int_distribution<int> key(0, 40);
    std::vector<int> keys(2000);
    for (int& k : keys) k = key(random);
    insert_checked(keys);
}

TEST(RedBlack, WritesEachNodeWithItsColour) {
    rb_set set{};
    for (const int key : {10, 20, 30, 15, 25, 5}) rb_insert(&set, key);
    char* buffer = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&buffer, &size);
    rb_write(out, set.root);
    std::fclose(out);
    EXPECT_EQ(std::string(buffer, size),
              "20 black\n"
              "  L 10 black\n"
              "    L 5 red\n"
              "    R 15 red\n"
              "  R 30 black\n"
              "    L 25 red\n");
    std::free(buffer);
    EXPECT_EQ(rb_black_height(set.root), 2);
    EXPECT_EQ(set.rotations, 1);
    rb_clear(&set);
}

}  // namespace
