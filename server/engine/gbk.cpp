#include "engine/gbk.h"

#include <iconv.h>

namespace tavren::server {

std::string toGbk(std::string_view utf8) {
  iconv_t cd = iconv_open("GBK", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(utf8);
  std::string out(utf8.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* o = out.data();
  std::size_t oLeft = out.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &o, &oLeft) != static_cast<std::size_t>(-1)) break;
    // Skip one unconvertible input byte (and its UTF-8 continuation bytes).
    if (oLeft == 0) break;
    *o++ = '?';
    --oLeft;
    do {
      ++in;
      --inLeft;
    } while (inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80);
  }
  iconv_close(cd);
  out.resize(out.size() - oLeft);
  return out;
}

}  // namespace tavren::server
