// UTF-8 read one code point at a time: a malformed sequence is one U+FFFD per byte it spoils.

#include "text/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace pellix::utf8 {
namespace {

std::u32string decodeAll(std::string_view text) {
    std::u32string out;
    for (std::size_t pos = 0; pos < text.size();) out.push_back(decode(text, pos));
    return out;
}

TEST(Utf8, DecodesEncodesAndReplacesMalformedSequences) {
    const std::pair<std::string, std::u32string> cases[] = {
        {"A\u3000\uFF11", U"A\u3000\uFF11"},
        {"\U0001F600", U"\U0001F600"},
        {"\xC0\xB1", U"\uFFFD\uFFFD"},                      // overlong '1'
        {"\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"},            // a surrogate
        {"\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
        {"\xE3\x81", U"\uFFFD\uFFFD"},                      // cut short
        {"\x80\x31", U"\uFFFD1"},                           // a stray continuation byte
        {"\xE3\x31", U"\uFFFD1"},                           // a lead without its continuation
    };
    for (const auto& [text, decoded] : cases) EXPECT_EQ(decodeAll(text), decoded);
    // Every length encodes and reads back.
    for (char32_t cp : {U'\u007F', U'\u0080', U'\u07FF', U'\u0800', U'\uFFFD', U'\U00010000', U'\U0010FFFF'}) {
        std::string text;
        append(text, cp);
        EXPECT_EQ(decodeAll(text), std::u32string(1, cp)) << static_cast<unsigned>(cp);
    }
    EXPECT_EQ(toUtf16("a\U0001F600\u3000"), u"a\U0001F600\u3000");
    EXPECT_EQ(toUtf16("\xC0\xB1"), u"\uFFFD\uFFFD");
}

}  // namespace
}  // namespace pellix::utf8
