// The one table of score items: each item lands in its row of the settlement
// frame and under its name in the log, and nowhere else.
#include "engine/score_items.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace tavren::server::test {
namespace {

struct ItemCase {
  std::function<void(Score&)> set;
  int row;
  int byte;  // the row's byte
  const char* names;
};

TEST(ScoreItems, EachItemHasItsRowAndItsName) {
  const ItemCase cases[] = {
      {[](Score& s) { s.thirteenOrphans = true; }, 3, 4, "十三幺"},
      {[](Score& s) { s.luxurySevenPairs = true; }, 3, 2, "豪华七对"},
      {[](Score& s) { s.sevenPairs = true; }, 3, 1, "七对"},
      {[](Score& s) { s.pureSuit = true; }, 4, 8, "清一色"},
      {[](Score& s) { s.honoursOnly = true; }, 4, 4, "风一色"},
      {[](Score& s) { s.catchFive = true; }, 4, 2, "捉五"},
      {[](Score& s) { s.dragonRun = true; }, 4, 1, "一条龙"},
      {[](Score& s) { s.allSets = true; }, 4, 0x80, "碰碰胡"},
      {[](Score& s) { s.mixedSuit = true; }, 5, 0x80, "混一色"},
      {[](Score& s) { s.selfDrawnFan = 1; }, 7, 1, "自摸"},
      {[](Score& s) { s.exposedKongs = 2; }, 8, 2, "明杠2"},
      {[](Score& s) { s.concealedKongs = 1; }, 9, 1, "暗杠"},
      {[](Score& s) { s.roundWindSets = 1; }, 10, 1, "圈风"},
      {[](Score& s) { s.seatWindSets = 1; }, 11, 1, "门风"},
      {[](Score& s) { s.concealedFan = 1; }, 12, 1, "门清"},
      {[](Score& s) { s.concealedSets = 3; }, 13, 3, "暗刻3"},
      {[](Score& s) { s.dealer = 1; }, 14, 1, "庄家"},
      {[](Score& s) { s.dealer = 3; }, 14, 3, "连庄3"},
      {[](Score& s) { s.dealer = 20; }, 14, 15, "连庄20"},
      {[](Score& s) { s.edgeWait = true; }, 15, 1, "边张"},
      {[](Score& s) { s.closedWait = true; }, 16, 1, "坎张"},
      {[](Score& s) { s.pairWait = true; }, 17, 1, "吊张"},
      {[](Score& s) { s.eightOfSuit = true; }, 18, 1, "八张"},
      {[](Score& s) { s.missingSuits = 2; }, 19, 2, "缺门2"},
      {[](Score& s) { s.twinRuns = 1; }, 21, 1, "一般高"},
      {[](Score& s) { s.wilds = 2; }, 22, 2, "财神2"},
      {[](Score& s) { s.oldYoung = 1; }, 23, 1, "老少"},
      {[](Score& s) { s.fourOfFace = 1; }, 24, 1, "四归一"},
      {[](Score& s) { s.handTypePoints = 300; }, 50, 255, ""},
      {[](Score& s) { s.smallChains = 1; }, 100, 1, "小连"},
      {[](Score& s) { s.bigChains = 1; }, 101, 1, "大连"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.names);
    Score sc;
    c.set(sc);
    Frame f;
    writeScoreRows(f, sc);
    for (std::size_t at = 0; at < f.b.size(); ++at) {
      const int want = at == kSheetOffset + static_cast<std::size_t>(c.row) ? c.byte : 0;
      EXPECT_EQ(f.b[at], want) << "byte " << at;
    }
    EXPECT_EQ(scoreItemNames(sc, false), c.names);
  }
}

TEST(ScoreItems, ItemsShareTheirRowsAndListInTheSheetsOrder) {
  Score sc;
  sc.selfDrawnFan = 1;
  sc.pureSuit = true;
  sc.dragonRun = true;
  sc.allSets = true;
  sc.wilds = 2;
  sc.dealer = 2;
  Frame f;
  writeScoreRows(f, sc);
  EXPECT_EQ(f.b[kSheetOffset + 4], 8 | 1 | 0x80);
  EXPECT_EQ(f.b[kSheetOffset + 7], 1);
  EXPECT_EQ(f.b[kSheetOffset + 14], 2);
  EXPECT_EQ(f.b[kSheetOffset + 22], 2);
  EXPECT_EQ(scoreItemNames(sc, false), "自摸 清一色 一条龙 碰碰胡 连庄2 财神2");
  // One seat paid the whole win: 包胡 comes last.
  EXPECT_EQ(scoreItemNames(sc, true), "自摸 清一色 一条龙 碰碰胡 连庄2 财神2 包胡");
  EXPECT_EQ(scoreItemNames(Score{}, true), "包胡");
}

}  // namespace
}  // namespace tavren::server::test
