// The list menus end to end: the real ringhost program (ringmenu.o in a plain C host) driven
// through pipes, its whole output compared byte for byte (ringmenu_test_util.h); each menu
// option on its own is in ringmenu_options_test.cpp. One test runs the real `clear`.
#include <gtest/gtest.h>

#include <string>

#include "process.h"
#include "ringmenu_test_util.h"

namespace {

using namespace ringlist::menu_test;
using osf::test::describe_status;
using osf::test::exited_with;

TEST(RingMenu, InsertThenDeleteSessionWordForWord) {
    const std::string out = session("1\n2\n5\ny\n1\n4\nn\ny\n2\n2\nn\nn\n");
    const std::string expected = std::string(kClear) + kTop +
                                 // insertion menu, option 2, value 5
                                 kClear + kInsertMenu + display_text({}) + kOption + kEnter +
                                 display_text({5}) + kInsertAgain +
                                 // option 1, value 4
                                 kClear + kInsertMenu + display_text({5}) + kOption + kEnter +
                                 display_text({4, 5}) + kInsertAgain + kAnother +
                                 // deletion menu (no list shown before it), option 2
                                 kClear + kTop + kClear + kDeleteMenu + kOption +
                                 "\nthe element you are deleting is: 5" + ring({4}) + kDeleteAgain +
                                 kAnother + host_end({4});
    EXPECT_EQ(out, expected);
}

TEST(RingMenu, AnswersOtherThanLowerCaseYOrNRepeatTheQuestion) {
    const std::string out = session("1\n1\n3\nY\nyes\nN\nn\nx\nn\n");
    // "yes": 'y' answers, then "es" is read as the next option, which is no option.
    const std::string expected =
        std::string(kClear) + kTop + kClear + kInsertMenu + display_text({}) + kOption + kEnter +
        display_text({3}) + kInsertAgain + kInsertAgain + kClear + kInsertMenu + display_text({3}) +
        kOption + "\ninvalid option" + display_text({3}) + kInsertAgain + kInsertAgain + kAnother +
        kAnother + host_end({3});
    EXPECT_EQ(out, expected);
}

TEST(RingMenu, TopLevelChoiceOtherThanOneOrTwoIsInvalid) {
    for (const char* choice : {"3\n", "0\n", "-1\n", "insert\n"}) {
        SCOPED_TRACE(choice);
        EXPECT_EQ(
            session(std::string(choice) + "n\n"),
            std::string(kClear) + kTop + "\nINVALID option enter 1 or 2" + kAnother + host_end({}));
    }
}

// End of input at each kind of prompt: the menus return at once (status 0, no spinning), and
// the host shows the list they leave.
TEST(RingMenu, EndOfInputAtEveryPromptEndsTheSession) {
    struct Case {
        const char* name;
        std::string input;
        std::string last;  // the end of the output before the host's closing display
        Values left;
    };
    const Case cases[] = {
        {"top choice", "", kTop, {}},
        {"top y/n", "3\n", kAnother, {}},
        {"insertion option", "1\n", kOption, {}},
        {"insert value", "1\n1\n", kEnter, {}},
        {"insert position", "1\n3\n", kPos, {}},
        {"insert number", fill({4}) + "1\n6\n", kNumBefore, {4}},
        {"insert y/n", "1\n1\n5\n", display_text({5}) + kInsertAgain, {5}},
        {"value without newline", "1\n1\n5", std::string(kEnter), {5}},
        {"deletion option", fill({4}) + "2\n", kOption, {4}},
        {"delete position", fill({4}) + "2\n3\n", kDelPos, {4}},
        {"delete number", fill({4}) + "2\n7\n", kDelNumAfter, {4}},
        {"delete y/n", fill({4, 5}) + "2\n1\n", ring({5}) + kDeleteAgain, {5}},
        {"y/n after a wrong answer", "3\nY\n", std::string(kAnother) + kAnother, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = session(c.input);
        const std::string tail = c.last + host_end(c.left);
        ASSERT_GE(out.size(), tail.size()) << out;
        EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
    }
}

// The real clear, for a terminal type it knows: its output comes first, before each menu.
TEST(RingMenu, RealClearRunsBeforeEachMenu) {
    const auto clear =
        osf::test::run({"/usr/bin/clear"}, "", osf::test::kDefaultTimeout, with_env("TERM=xterm"));
    ASSERT_TRUE(exited_with(clear.status, 0));
    ASSERT_FALSE(clear.out.empty());
    const auto result = osf::test::run({RINGHOST_PATH}, "3\nn\n", osf::test::kDefaultTimeout,
                                       with_env("TERM=xterm"));
    EXPECT_TRUE(exited_with(result.status, 0)) << describe_status(result.status);
    EXPECT_EQ(result.out,
              clear.out + kTop + "\nINVALID option enter 1 or 2" + kAnother + host_end({}));
}

// Fills the list to 40 values and empties it again through every kind of deletion: run under
// the sanitizer build, this is the memory check of the menus and the store.
TEST(RingMenu, FillAndEmptyLeavesNothingBehind) {
    Values values;
    for (int v = 1; v <= 40; ++v) values.push_back(v);
    std::string input = fill(values) + "2\n";
    const char* deletions[] = {"1\n", "2\n", "3\n2\n", "4\n3\n", "5\n1\n", "8\n", "9\n"};
    for (int i = 0; i < 40; ++i) input += std::string(deletions[i % 7]) + "y\n";
    input += "2\nn\nn\n";  // one more from the empty list
    const std::string out = session(input);
    EXPECT_NE(out.find(ring({}) + kDeleteAgain), std::string::npos);
    EXPECT_NE(out.find("\nlinked list is empty to delete"), std::string::npos);
    const std::string tail = std::string(kAnother) + host_end({});
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
}

}  // namespace
