#pragma once

// UTF-8, read and written one code point at a time.

#include <cstddef>
#include <string>
#include <string_view>

namespace pellix::utf8 {

// Reads the code point at `pos` and moves `pos` past it. A malformed sequence (a stray byte, a
// sequence cut short, an overlong form, a surrogate or a value beyond U+10FFFF) reads as U+FFFD
// and moves `pos` by one byte.
char32_t decode(std::string_view text, std::size_t& pos);

// Appends `codePoint` (at most U+10FFFF) as UTF-8.
void append(std::string& out, char32_t codePoint);

// UTF-16 code units; malformed sequences become U+FFFD as `decode` reads them.
std::u16string toUtf16(std::string_view text);

}  // namespace pellix::utf8
