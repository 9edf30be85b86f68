// GBK, the double-byte code page of everything on the wire and in files,
// and UTF-8, the text inside the program.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tavren {

// UTF-8 to GBK. A character GBK cannot hold becomes '?'.
std::string Utf8ToGbk(std::string_view utf8);

// GBK to UTF-8. A byte sequence that is not GBK becomes U+FFFD per bad byte.
std::string GbkToUtf8(std::string_view gbk);

// The first `n` characters of a UTF-8 text.
std::string Utf8Prefix(std::string_view utf8, std::size_t n);

// True when every character is a single byte (ASCII): account names and keys.
bool IsSingleByteText(std::string_view text);

}  // namespace tavren
