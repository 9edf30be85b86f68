// Wire and file text is GBK; the server keeps its own text in UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace tavren::server {

// UTF-8 to GBK; characters GBK lacks become '?'.
std::string toGbk(std::string_view utf8);

}  // namespace tavren::server
