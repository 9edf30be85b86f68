#include "table/tiles.h"

namespace tavren {

int CharCount(const std::string& utf8) {
  int n = 0;
  for (unsigned char ch : utf8)
    if ((ch & 0xC0) != 0x80) ++n;
  return n;
}

std::string PadRight(const std::string& text, int width) {
  std::string out = text;
  for (int n = CharCount(text); n < width; ++n) out.push_back(' ');
  return out;
}

std::string SeatName(int index) {
  static const char* const kNames[7] = {"北", "西", "南", "东", "北", "西", "南"};
  if (index < 0 || index > 6) return {};
  return kNames[index];
}

}  // namespace tavren
