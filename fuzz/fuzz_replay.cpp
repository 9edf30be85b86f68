// The replay reader on arbitrary bytes: it never faults, gives back only
// entries of the sizes their kinds have, hand starts that point at HandStart
// entries, and what it gives back, written again, reads back the same and whole.
// The same bytes read from a file give the same as from memory, and the kept-
// games list takes the file too.
#include <fstream>

#include "fuzz_support.h"
#include "replay/replay_file.h"

using namespace tavren;
using namespace tavren::replay;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ReadResult r = ParseReplay(data, size);
  fuzz::Require(r.ok() || !r.error.empty(), "a failed read without a message");
  std::size_t starts = 0;
  for (std::size_t i = 0; i < r.entries.size(); ++i) {
    const Entry& e = r.entries[i];
    const auto kind = static_cast<int>(e.kind);
    fuzz::Require(kind >= 0 && kind <= static_cast<int>(EntryKind::SeatHands), "entry kind", kind);
    // A snapshot of the hands is taken only whole and within its bounds.
    if (e.kind == EntryKind::SeatHands)
      if (const auto s = ParseSeatHands(e.bytes)) {
        for (const auto& tiles : s->tiles) {
          fuzz::Require(tiles.size() <= kMaxHandTiles, "hand tiles",
                        static_cast<long>(tiles.size()));
          for (std::uint8_t t : tiles) fuzz::Require(IsTileCode(t), "tile code", t);
        }
        fuzz::Require(SeatHandsBytes(*s) == e.bytes, "a snapshot written again differs");
      }
    if (e.kind == EntryKind::Received || e.kind == EntryKind::Sent)
      fuzz::Require(e.bytes.size() == kFrameBytes, "frame size", static_cast<long>(e.bytes.size()));
    if (e.kind == EntryKind::HandStart) {
      fuzz::Require(starts < r.handStarts.size() && r.handStarts[starts] == i, "hand start index",
                    static_cast<long>(i));
      ++starts;
    }
    fuzz::Require(e.ms >= 0 && e.ms <= 0xFFFFFFFFll, "entry time", static_cast<long>(e.ms));
  }
  fuzz::Require(starts == r.handStarts.size(), "hand starts", static_cast<long>(starts));
  if (!r.header.account.empty() || !r.entries.empty())
    fuzz::Require(r.header.version == kFormatVersion, "version of a read header",
                  static_cast<long>(r.header.version));

  const std::string& folder = fuzz::FreshFolder();
  const std::string original = folder + "/input.tmr";
  {
    std::ofstream f(original, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const ReadResult fromFile = ReadReplay(original);
  fuzz::Require(fromFile.error == r.error && fromFile.entries.size() == r.entries.size(),
                "file and memory disagree", static_cast<long>(fromFile.entries.size()));

  // What was read, written again, is a whole file with the same content.
  if (r.header.version == kFormatVersion) {
    const std::string again = folder + "/again.tmr";
    std::remove(again.c_str());
    Writer w;
    if (!w.open(again, r.header)) fuzz::Broken("cannot write the scratch file", 0);
    for (const Entry& e : r.entries) w.append(e.kind, e.ms, e.bytes.data(), e.bytes.size());
    w.close();
    const ReadResult back = ReadReplay(again);
    fuzz::Require(back.ok(), "a written file reads back damaged");
    fuzz::Require(back.entries.size() == r.entries.size(), "entries written and read",
                  static_cast<long>(back.entries.size()));
    for (std::size_t i = 0; i < back.entries.size(); ++i)
      fuzz::Require(back.entries[i].kind == r.entries[i].kind &&
                        back.entries[i].ms == r.entries[i].ms &&
                        back.entries[i].bytes == r.entries[i].bytes,
                    "an entry changed on the way", static_cast<long>(i));
    fuzz::Require(back.header.account == r.header.account.substr(0, kMaxTextBytes) &&
                      back.header.seat == r.header.seat &&
                      back.header.startUnixMs == r.header.startUnixMs,
                  "the header changed on the way");
    std::remove(again.c_str());
  }
  const std::vector<KeptGame> kept = ListReplays(folder);
  fuzz::Require(kept.size() == 1, "kept games in the folder", static_cast<long>(kept.size()));
  fuzz::Require(kept[0].damaged == !r.ok(), "damaged flag");
  fuzz::Require(kept[0].hands == static_cast<int>(r.handStarts.size()), "hands listed");
  std::remove(original.c_str());
  return 0;
}
