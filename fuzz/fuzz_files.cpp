// The files the client reads that anyone may have edited: the record file of
// finished hands (read back into the result window) and the phrase file, from
// arbitrary bytes, with arbitrary section and key names on the profile class.
#include <fstream>

#include "chat/phrases.h"
#include "fuzz_support.h"
#include "shell/ini_file.h"
#include "shell/record_file.h"
#include "shell/shell.h"
#include "text/gbk.h"

using namespace tavren;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  const std::uint8_t which = in.byte();
  const std::string section = in.text(in.byte() % 24);
  const std::string key = in.text(in.byte() % 24);
  const std::string content = in.text(in.left());
  sim::World world;
  sim::SimPlatform platform(world);
  platform.folder = fuzz::FreshFolder();
  Client c(platform);
  platform.attach(c);
  const std::string path =
      platform.folder + "/" + ((which & 1) ? kPhraseFileName : kRecordFileName);
  {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(content.data(), static_cast<std::streamsize>(content.size()));
  }
  classIniFile ini;
  ini.INIFileName = path;
  const std::string value = ini.GetIniKey(section, key);
  // The cut at 1023 bytes is on the file's GBK bytes; in UTF-8 a double-byte
  // character takes three bytes and so does the mark of a byte that is not GBK.
  fuzz::Require(Utf8ToGbk(value).size() <= 1023, "profile value length",
                static_cast<long>(Utf8ToGbk(value).size()));
  fuzz::Require(value.find('\0') == std::string::npos, "NUL in a profile value");
  if (which & 1) {
    RunGuardedEvent(c, [&] {
      LoadPhraseWindow(c);
      for (int list = 1; list <= 2; ++list) {
        for (int i = 0; i < kMaxPhrases + 2; ++i) (void)PhraseAt(c, list, i);
        OpenPhraseList(c, list);
      }
      HidePhraseWindow(c);
    });
  } else {
    RunGuardedEvent(c, [&] {
      for (int n = 0; n <= 3; ++n) ReadHandRecord(c, n);
      ReadHandRecord(c, which >> 1);
    });
  }
  fuzz::CheckClient(c);
  return 0;
}
