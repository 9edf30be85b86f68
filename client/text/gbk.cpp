#include "text/gbk.h"

#include <iconv.h>

#include <cerrno>

namespace tavren {
namespace {

// One iconv descriptor per direction, opened once; the client is single-threaded
// but tests may run clients on other threads, hence thread_local.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in`; on a character that cannot be converted, writes `bad` and
  // skips `skip` input bytes (the whole UTF-8 character, or one GBK byte).
  template <class SkipFn>
  std::string run(std::string_view in, std::string_view bad, SkipFn skip) {
    std::string out;
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out.reserve(in.size() * 2 + 4);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buf[512];
    while (srcLeft > 0) {
      char* dst = buf;
      std::size_t dstLeft = sizeof buf;
      std::size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buf, static_cast<std::size_t>(dst - buf));
      if (r == static_cast<std::size_t>(-1)) {
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL (a cut sequence at the end): replace and go on.
        out.append(bad);
        std::size_t n = skip(src, srcLeft);
        src += n;
        srcLeft -= n;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    return out;
  }

 private:
  iconv_t cd_;
};

std::size_t Utf8CharLength(const char* p, std::size_t left) {
  unsigned char ch = static_cast<unsigned char>(*p);
  std::size_t n = ch < 0x80 ? 1 : ch < 0xE0 ? 2 : ch < 0xF0 ? 3 : 4;
  if (ch >= 0x80 && ch < 0xC0) n = 1;  // a stray continuation byte
  return n < left ? n : left;
}

}  // namespace

std::string Utf8ToGbk(std::string_view utf8) {
  thread_local Converter conv("GBK", "UTF-8");
  return conv.run(utf8, "?", Utf8CharLength);
}

std::string GbkToUtf8(std::string_view gbk) {
  thread_local Converter conv("UTF-8", "GBK");
  return conv.run(gbk, "\xEF\xBF\xBD", [](const char*, std::size_t) { return std::size_t{1}; });
}

std::string Utf8Prefix(std::string_view utf8, std::size_t n) {
  std::size_t i = 0;
  std::size_t chars = 0;
  while (i < utf8.size()) {
    if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
      if (chars == n) break;
      ++chars;
    }
    ++i;
  }
  return std::string(utf8.substr(0, i));
}

bool IsSingleByteText(std::string_view text) {
  for (unsigned char ch : text)
    if (ch >= 0x80) return false;
  return true;
}

}  // namespace tavren
