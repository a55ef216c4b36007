// visible_text: on a terminal every C0 control character but tab and newline, and DEL, shows
// as cat -v shows it; bytes of 128 and above pass; elsewhere every byte passes unchanged.
#include "visible_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string shown(const std::string& text, bool terminal) {
    std::string out(2 * text.size(), '\0');
    out.resize(visible_text(text.data(), text.size(), out.data(), terminal));
    return out;
}

TEST(VisibleText, ControlCharactersShowAsCatVShowsThemOnATerminalOnly) {
    struct Case {
        std::string text;
        std::string on_terminal;
    };
    const Case cases[] = {
        {"plain text\tand a tab\n", "plain text\tand a tab\n"},
        {"\x1b]0;title\x07\x1b[2J", "^[]0;title^G^[[2J"},
        {std::string("\0\x01\x1f\x7f", 4), "^@^A^_^?"},
        {"over\rwrite\b", "over^Mwrite^H"},
        {"caf\xc3\xa9 \x80\x9b\xff", "caf\xc3\xa9 \x80\x9b\xff"},  // 128 and above pass
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        EXPECT_EQ(shown(c.text, true), c.on_terminal);
        EXPECT_EQ(shown(c.text, false), c.text);
    }
}

}  // namespace
