// What the fuzz targets share: a reader over the fuzzer's bytes, the client in
// the simulated world, and the checks of every invariant the client's model
// keeps. A broken invariant aborts with a message, so a wrong state is a finding
// just like a crash.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "core/client.h"
#include "platform/sim/sim_world.h"

namespace tavren::fuzz {

// Takes bytes from the front of the input; past the end every read gives 0.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return at_ >= size_; }
  std::size_t left() const { return empty() ? 0 : size_ - at_; }
  std::uint8_t byte() { return empty() ? 0 : data_[at_++]; }
  std::uint16_t u16() { return static_cast<std::uint16_t>(byte() << 8 | byte()); }
  // Up to `n` bytes (fewer at the end of the input).
  std::basic_string<std::uint8_t> bytes(std::size_t n) {
    n = std::min(n, left());
    std::basic_string<std::uint8_t> out(data_ + at_, n);
    at_ += n;
    return out;
  }
  std::string text(std::size_t n) {
    auto b = bytes(n);
    return std::string(b.begin(), b.end());
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

[[noreturn]] inline void Broken(const char* what, long value) {
  std::fprintf(stderr, "invariant broken: %s (%ld)\n", what, value);
  std::abort();
}

inline void Require(bool ok, const char* what, long value = 0) {
  if (!ok) Broken(what, value);
}

// A folder of its own for the files a client writes (the record file, the
// settings it changes), made once per process on a memory file system when
// there is one (a file written to disk per input costs more than the rest of
// the input), and emptied for every input, so that nothing one input wrote is
// read by the next and a finding replays alone as it ran.
inline const std::string& FreshFolder() {
  struct Folder {
    std::string path;
    Folder() {
      std::error_code ec;
      const bool shm = std::filesystem::is_directory("/dev/shm", ec);
      std::string pattern = std::string(shm ? "/dev/shm" : "/tmp") + "/tavren-fuzz-XXXXXX";
      const char* made = mkdtemp(pattern.data());
      if (made == nullptr) Broken("cannot make a scratch folder", 0);
      path = made;
    }
    ~Folder() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  };
  static const Folder folder;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder.path, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::error_code ignored;
    std::filesystem::remove_all(it->path(), ignored);
  }
  if (ec) Broken("cannot empty the scratch folder", 0);
  return folder.path;
}

// What an input costs is mostly virtual time: the client's pump ticks every
// 50 ms (the server's robots act every 700 ms) whatever else happens. An input
// gets a budget of it, longer than the longest timer of the program under test;
// once it is spent, a step that would let time pass lets 1 ms pass.
class TimeBudget {
 public:
  explicit TimeBudget(std::int64_t ms) : left_(ms) {}
  std::int64_t take(std::int64_t wantMs) {
    const std::int64_t ms = std::min(wantMs, left_);
    left_ -= ms;
    return std::max<std::int64_t>(ms, 1);
  }

 private:
  std::int64_t left_;
};

inline void DumpHands(const Client& c) {
  for (int side = 0; side < kSides; ++side) {
    const HandRecord& h = c.table.custom[static_cast<std::size_t>(side)];
    std::fprintf(stderr, "side %d first %d count %d meld %d:", side, h.first, h.count,
                 h.meldCursor);
    for (const TileSlot& s : h.mj) std::fprintf(stderr, " %d/%x/%d", s.typ, s.value, s.ind);
    std::fprintf(stderr, "\n");
  }
}

template <class Ring>
void CheckRing(const Ring& r, const char* what) {
  Require(r.read < Ring::kSize, what, static_cast<long>(r.read));
  Require(r.write < Ring::kSize, what, static_cast<long>(r.write));
}

// Everything the model promises whatever the server sent.
inline void CheckClient(const Client& c) {
  CheckRing(c.link.ReceiveRing, "receive ring pointer");
  CheckRing(c.link.SendRing, "send ring pointer");
  CheckRing(c.link.ProxyBuffer, "proxy buffer pointer");
  const TableModel& t = c.table;
  Require(t.MJPOINT >= 0 && t.MJPOINT < kWallTiles, "MJPOINT in the wall", t.MJPOINT);
  Require(t.MJFIRST >= 0 && t.MJFIRST < kWallTiles, "MJFIRST in the wall", t.MJFIRST);
  Require(t.LastDiscardInd >= -1 && t.LastDiscardInd < kWallTiles, "last discard control",
          t.LastDiscardInd);
  Require(c.link.BlinkTile >= -1 && c.link.BlinkTile < kWallTiles, "blink control",
          c.link.BlinkTile);
  // Each of the 144 tile controls stands in at most one place a hand claims.
  std::array<bool, kWallTiles> claimed{};
  for (int side = 0; side < kSides; ++side) {
    const HandRecord& h = t.custom[static_cast<std::size_t>(side)];
    Require(h.first >= 0 && h.first <= kSlots, "first standing slot", h.first);
    Require(h.count >= 0 && h.first + h.count <= kSlots, "standing tiles within the record",
            h.first + h.count);
    Require(h.meldCursor >= 0 && h.meldCursor <= kSlots, "meld cursor", h.meldCursor);
    for (int k = 0; k < kSlots; ++k) {
      const TileSlot& s = h.mj[static_cast<std::size_t>(k)];
      Require(s.typ >= kSlotEmpty && s.typ <= kSlotAddedKong, "slot kind", s.typ);
      Require(s.ind >= -1 && s.ind < kWallTiles, "slot control", s.ind);
      // The slots the record claims: its melds and the standing tiles of its row
      // (slots past the row, and empty ones, keep what they last held and claim
      // nothing).
      const bool standing = k >= h.first && k < h.first + h.count && s.typ == kSlotStanding;
      const bool meld = s.typ >= kSlotChi;
      if ((standing || meld) && s.ind >= 0) {
        bool& seen = claimed[static_cast<std::size_t>(s.ind)];
        if (seen) {
          DumpHands(c);
          Broken("a tile control in two slots", s.ind);
        }
        seen = true;
      }
    }
  }
}

}  // namespace tavren::fuzz
