// A seated table whose program folder is a fresh directory of its own, so the
// record file of one test never meets another's; frames of the hand's end.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "shell/result_windows.h"
#include "support/play_fixture.h"

namespace tavren::testing {

struct EndTable : Play {
  std::string folder;
  EndTable() {
    char tmpl[] = "/tmp/tavren-results-XXXXXX";
    folder = mkdtemp(tmpl);
    platform.folder = folder;
  }
  ~EndTable() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  std::vector<std::string>& State(int k) { return ScoreList(c, k); }
  std::vector<std::string>& Grade(int s) { return HeroControl(c, "Grade", s).items; }
  std::vector<std::string>& Num() { return HeroControl(c, "Num", 0).items; }
  std::string RecordPath() const { return folder + "/info.qx"; }
};

// Instruction 9 for `side`: the coin amount in bytes 16..23, value(1) the sign switch.
inline Frame ResultFrame(const Play& t, int side, std::uint64_t amount, int positive) {
  Frame f = ServerFrame(protocol::kInsResult, t.seat(side), {0, positive, 0, 0});
  for (int i = 0; i < 8; ++i) f[16 + static_cast<std::size_t>(i)] = (amount >> (8 * i)) & 0xFF;
  return f;
}

// Settlement rows of one side: row r is frame byte 14 + r.
struct SettleRows {
  int stake = 10;
  int currency = 1;
  std::array<std::uint8_t, 103> rows{};
  SettleRows& set(int r, int v) {
    rows[static_cast<std::size_t>(r)] = static_cast<std::uint8_t>(v);
    return *this;
  }
  SettleRows& amount(std::int64_t coins) {
    const std::uint64_t m = coins < 0 ? static_cast<std::uint64_t>(-coins) : coins;
    for (int i = 0; i < 8; ++i) set(25 + i, static_cast<int>((m >> (8 * i)) & 0xFF));
    return set(33, coins < 0 ? 2 : 0);
  }
  SettleRows& level(const std::string& gbk) {
    for (std::size_t i = 0; i < gbk.size() && i < 16; ++i)
      rows[34 + i] = static_cast<std::uint8_t>(gbk[i]);
    return *this;
  }
};

inline Frame SettlementFrame(const Play& t, int side, const SettleRows& r) {
  Frame f = ServerFrame(protocol::kInsSettlement, t.seat(side), {0, r.stake, 0, r.currency});
  for (int row = 2; row < 103; ++row)
    f[static_cast<std::size_t>(14 + row)] = r.rows[static_cast<std::size_t>(row)];
  return f;
}

}  // namespace tavren::testing
