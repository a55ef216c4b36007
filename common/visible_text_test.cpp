// visible_text: on a terminal every C0 control character but tab and newline, DEL and the C1
// controls (lone or in UTF-8) show as cat -v shows them; every other byte of 128 and above
// passes; elsewhere every byte passes unchanged.
#include "visible_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string shown(const std::string& text, bool terminal) {
    std::string out(kVisibleGrowth * text.size(), '\0');
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
        // UTF-8 (U+00C0 and U+041F end in bytes of the C1 range) and stray bytes
        {"caf\xc3\xa9 \xc3\x80\xd0\x9f \xe2\x82\xac \xe2\x80\x9b \xc2\xa0\xff\xc3",
         "caf\xc3\xa9 \xc3\x80\xd0\x9f \xe2\x82\xac \xe2\x80\x9b \xc2\xa0\xff\xc3"},
        {"\x9b"
         "2J\x80\x9f",
         "M-^[2JM-^@M-^_"},  // lone C1 bytes
        {"\xc2\x9b"
         "2J\xc2\x9d"
         "0;t\xc2\x9c",
         "M-BM-^[2JM-BM-^]0;tM-BM-^\\"},           // U+009B...
        {"\xe0\x82\x9b\xc2", "\xe0M-^BM-^[\xc2"},  // overlong U+009B: not UTF-8, lone bytes
        {"\xf4\x90\x80\x80", "\xf4M-^PM-^@M-^@"},  // above U+10FFFF: not UTF-8 either
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        EXPECT_EQ(shown(c.text, true), c.on_terminal);
        EXPECT_EQ(shown(c.text, false), c.text);
    }
}

}  // namespace
