#include "engine/score_items.h"

#include <algorithm>

namespace tavren::server {

namespace {

// Items the frame carries as bits of a shared row.
constexpr int kFlag = 1;

constexpr ScoreItem kItems[] = {
    {"自摸", nullptr, 7, 0, 255, [](const Score& s) { return s.selfDrawnFan; }},
    {"门清", nullptr, 12, 0, 255, [](const Score& s) { return s.concealedFan; }},
    {"十三幺", nullptr, 3, 4, kFlag, [](const Score& s) { return int{s.thirteenOrphans}; }},
    {"豪华七对", nullptr, 3, 2, kFlag, [](const Score& s) { return int{s.luxurySevenPairs}; }},
    {"七对", nullptr, 3, 1, kFlag, [](const Score& s) { return int{s.sevenPairs}; }},
    {"清一色", nullptr, 4, 8, kFlag, [](const Score& s) { return int{s.pureSuit}; }},
    {"混一色", nullptr, 5, 0x80, kFlag, [](const Score& s) { return int{s.mixedSuit}; }},
    {"风一色", nullptr, 4, 4, kFlag, [](const Score& s) { return int{s.honoursOnly}; }},
    {"捉五", nullptr, 4, 2, kFlag, [](const Score& s) { return int{s.catchFive}; }},
    {"一条龙", nullptr, 4, 1, kFlag, [](const Score& s) { return int{s.dragonRun}; }},
    {"碰碰胡", nullptr, 4, 0x80, kFlag, [](const Score& s) { return int{s.allSets}; }},
    {"明杠", nullptr, 8, 0, 255, [](const Score& s) { return s.exposedKongs; }},
    {"暗杠", nullptr, 9, 0, 255, [](const Score& s) { return s.concealedKongs; }},
    {"圈风", nullptr, 10, 0, 255, [](const Score& s) { return s.roundWindSets; }},
    {"门风", nullptr, 11, 0, 255, [](const Score& s) { return s.seatWindSets; }},
    {"暗刻", nullptr, 13, 0, 255, [](const Score& s) { return s.concealedSets; }},
    {"庄家", "连庄", 14, 0, 15, [](const Score& s) { return s.dealer; }},
    {"边张", nullptr, 15, 0, 255, [](const Score& s) { return int{s.edgeWait}; }},
    {"坎张", nullptr, 16, 0, 255, [](const Score& s) { return int{s.closedWait}; }},
    {"吊张", nullptr, 17, 0, 255, [](const Score& s) { return int{s.pairWait}; }},
    {"八张", nullptr, 18, 0, 255, [](const Score& s) { return int{s.eightOfSuit}; }},
    {"缺门", nullptr, 19, 0, 255, [](const Score& s) { return s.missingSuits; }},
    {"一般高", nullptr, 21, 0, 255, [](const Score& s) { return s.twinRuns; }},
    {"财神", nullptr, 22, 0, 255, [](const Score& s) { return s.wilds; }},
    {"老少", nullptr, 23, 0, 255, [](const Score& s) { return s.oldYoung; }},
    {"四归一", nullptr, 24, 0, 255, [](const Score& s) { return s.fourOfFace; }},
    {"小连", nullptr, 100, 0, 255, [](const Score& s) { return s.smallChains; }},
    {"大连", nullptr, 101, 0, 255, [](const Score& s) { return s.bigChains; }},
    {nullptr, nullptr, 50, 0, 255, [](const Score& s) { return s.handTypePoints; }},
};

}  // namespace

std::span<const ScoreItem> scoreItems() {
  return kItems;
}

void writeScoreRows(Frame& f, const Score& sc) {
  for (const ScoreItem& item : kItems) {
    const int v = item.value(sc);
    std::uint8_t& row = f.b[kSheetOffset + static_cast<std::size_t>(item.row)];
    if (item.bit != 0) {
      if (v > 0) row = static_cast<std::uint8_t>(row | item.bit);
    } else {
      row = static_cast<std::uint8_t>(std::clamp(v, 0, item.cap));
    }
  }
}

std::string scoreItemNames(const Score& sc, bool liable) {
  std::string out;
  auto add = [&](const char* name, int n) {
    if (n <= 0) return;
    out += out.empty() ? "" : " ";
    out += name;
    if (n > 1) out += std::to_string(n);
  };
  for (const ScoreItem& item : kItems) {
    if (!item.name) continue;
    const int v = item.value(sc);
    add(item.repeatName && v >= 2 ? item.repeatName : item.name, v);
  }
  if (liable) add("包胡", 1);
  return out;
}

}  // namespace tavren::server
