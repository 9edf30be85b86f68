// The rules engine as tables of hands: what wins, with and without wild tiles,
// and which settlement items a winning hand scores.
#include <gtest/gtest.h>

#include <string>

#include "rules/scoring.h"
#include "rules/win.h"

namespace tavren::server {
namespace {

// "123s 456m 789p 11z **": s 条, m 萬, p 筒, z honours 1..7 (東南西北中發白), * a wild tile.
Counts parse(const std::string& text) {
  Counts c;
  std::string digits;
  for (char ch : text) {
    if (ch >= '0' && ch <= '9') {
      digits += ch;
    } else if (ch == '*') {
      ++c.wilds;
    } else if (ch == 's' || ch == 'm' || ch == 'p' || ch == 'z') {
      int group = ch == 'z' ? 0 : ch == 's' ? 1 : ch == 'm' ? 2 : 3;
      for (char d : digits) ++c.c[faceOf(group, d - '0')];
      digits.clear();
    }
  }
  return c;
}

int face(const std::string& t) {
  return faceOf(t[1] == 'z' ? 0 : t[1] == 's' ? 1 : t[1] == 'm' ? 2 : 3, t[0] - '0');
}

struct WinCase {
  const char* hand;
  bool concealed14;
  bool wins;
};

TEST(WinDetection, HandsWithAndWithoutWildTiles) {
  const WinCase cases[] = {
      {"123s 456s 789s 123m 55p", true, true},
      {"123s 456s 789s 124m 55p", true, false},
      {"111s 222s 333s 444m 55z", true, true},
      {"123s 456s 789s 12m 55p *", true, true},   // the wild tile is 3萬
      {"123s 456s 789s 1m 55p **", true, true},   // two wilds make the run
      {"123s 456s 789s 123m 5p *", true, true},   // wild pairs the 5筒
      {"123s 456s 789s 19m 5p **", true, false},  // 1萬 9萬 5筒 with two wilds cannot close
      {"**************", true, true},             // fourteen wilds
      {"1s 4s 7s 2m 5m 8m 3p 6p 9p 1z 2z 3z 4z 5z", true, false},
      {"1122s 3344m 5566p 77z", true, true},    // seven pairs
      {"1122s 3344m 5566p 7z *", true, true},   // seven pairs with a wild
      {"1122s 3344m 5566p 77z", false, false},  // seven pairs need a concealed hand
      {"19s 19m 19p 1234567z 1s", true, true},  // thirteen orphans
      {"19s 19m 19p 123456z **", true, true},   // thirteen orphans, two wilds
      {"19s 19m 19p 123456z 1s 2s", true, false},
      {"123s 55p", false, true},  // after three melds
      {"1s *", false, true},      // after four melds: a pair with a wild
      {"12s", false, false},
      {"234s 345s 456s 567s 99s", true, true},
      {"1112345678999s 5s", true, true},  // nine gates on a five
  };
  for (const auto& tc : cases) {
    Counts c = parse(tc.hand);
    EXPECT_EQ(isWin(c, tc.concealed14), tc.wins) << tc.hand;
  }
}

TEST(WinDetection, DistanceCountsWildTilesStillMissing) {
  EXPECT_EQ(distance(parse("123s 456s 789s 12m 55p")), 1);  // thirteen tiles, ready
  EXPECT_EQ(distance(parse("123s 456s 789s 12m 5p *")), 1);
  EXPECT_LE(distance(parse("123s 456s 789s 123m 55p")), 0);
  EXPECT_GT(distance(parse("1s 4s 7s 2m 5m 8m 3p 6p 9p 1z 2z 3z 4z")), 3);
}

// Every set of three with wild tiles filling its gaps must be accepted: compare the
// table-driven check with a plain search on random hands.
bool slowWin(Counts c, bool pairUsed) {
  int f = 0;
  while (f < kFaces && c.c[f] == 0) ++f;
  if (f == kFaces) return pairUsed ? c.wilds % 3 == 0 : (c.wilds >= 2 && (c.wilds - 2) % 3 == 0);
  auto tryTake = [&](std::initializer_list<int> faces) {
    Counts d = c;
    for (int x : faces) {
      if (x >= 0 && d.c[x] > 0)
        --d.c[x];
      else if (d.wilds > 0)
        --d.wilds;
      else
        return false;
    }
    return true;
  };
  (void)tryTake;
  for (int k = 1; k <= std::min<int>(c.c[f], 3); ++k) {
    Counts d = c;
    d.c[f] -= k;
    d.wilds -= 3 - k;
    if (d.wilds >= 0 && slowWin(d, pairUsed)) return true;
  }
  if (!pairUsed)
    for (int k = 1; k <= std::min<int>(c.c[f], 2); ++k) {
      Counts d = c;
      d.c[f] -= k;
      d.wilds -= 2 - k;
      if (d.wilds >= 0 && slowWin(d, true)) return true;
    }
  if (!isHonour(f)) {
    int r = rankOf(f);
    for (int low = r - 2; low <= r; ++low) {
      if (low < 1 || low > 7) continue;
      Counts d = c;
      bool ok = true;
      for (int x = low; x < low + 3; ++x) {
        int fx = f + (x - r);
        if (x < r) {
          if (d.wilds-- <= 0) ok = false;
        } else if (d.c[fx] > 0) {
          --d.c[fx];
        } else if (d.wilds-- <= 0) {
          ok = false;
        }
      }
      if (ok && d.wilds >= 0 && slowWin(d, pairUsed)) return true;
    }
  }
  return false;
}

TEST(WinDetection, AgreesWithPlainSearchOnRandomHands) {
  std::uint64_t s = 12345;
  auto next = [&] {
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<int>(s >> 33);
  };
  int wins = 0;
  for (int n = 0; n < 20000; ++n) {
    Counts c;
    int tiles = 0;
    const int group = next() % 4;  // bias towards one suit so that wins occur
    while (tiles < 14) {
      int pick = next() % 100;
      if (pick < 8) {
        ++c.wilds;
        ++tiles;
        continue;
      }
      int f = pick < 60 && group > 0 ? faceOf(group, 1 + next() % 9) : next() % kFaces;
      if (c.c[f] < 4) {
        ++c.c[f];
        ++tiles;
      }
    }
    bool fast = isStandardWin(c);
    ASSERT_EQ(fast, slowWin(c, false)) << n;
    wins += fast;
  }
  EXPECT_GT(wins, 100);
}

struct ScoreCase {
  const char* name;
  const char* hand;
  const char* win;  // the winning tile, "*" for a wild tile
  bool selfDrawn;
  int dealerStreak;
  // What must hold.
  bool (*check)(const Score&);
};

WinContext context(const ScoreCase& sc) {
  WinContext ctx;
  ctx.hand = parse(sc.hand);
  ctx.winFace = std::string(sc.win) == "*" ? -1 : face(sc.win);
  ctx.selfDrawn = sc.selfDrawn;
  ctx.dealerStreak = sc.dealerStreak;
  ctx.seatWind = 1;   // 南
  ctx.roundWind = 0;  // 東
  return ctx;
}

TEST(Scoring, EveryItemOfTheSheet) {
  const ScoreCase cases[] = {
      {"自摸 and 门清", "123s 456s 789s 123m 55p", "5p", true, 0,
       [](const Score& s) { return s.selfDrawnFan == 1 && s.concealedFan == 1 && s.fans == 2; }},
      {"no 自摸 on a discard", "123s 456s 789s 123m 55p", "5p", false, 0,
       [](const Score& s) { return s.selfDrawnFan == 0 && s.concealedFan == 1; }},
      {"圈风 and 门风", "111z 222z 123s 456s 55p", "5p", true, 0,
       [](const Score& s) { return s.roundWindSets == 1 && s.seatWindSets == 1; }},
      {"暗刻 on self-draw", "111s 222m 333p 456s 77z", "7z", true, 0,
       [](const Score& s) { return s.concealedSets == 3; }},
      {"暗刻 not for the set the discard completes", "111s 222m 333p 456s 77z", "1s", false, 0,
       [](const Score& s) { return s.concealedSets == 2; }},
      {"庄家", "123s 456s 789s 123m 55p", "5p", true, 1,
       [](const Score& s) { return s.dealer == 1; }},
      {"连庄", "123s 456s 789s 123m 55p", "5p", true, 3,
       [](const Score& s) { return s.dealer == 3; }},
      {"边张", "123s 456m 789m 111p 55z", "3s", false, 0,
       [](const Score& s) { return s.edgeWait && !s.closedWait && !s.pairWait; }},
      {"坎张", "123s 456m 789m 111p 55z", "2s", false, 0,
       [](const Score& s) { return s.closedWait && !s.edgeWait && !s.pairWait; }},
      {"吊张", "123s 456m 789m 111p 55z", "5z", false, 0,
       [](const Score& s) { return s.pairWait && !s.edgeWait && !s.closedWait; }},
      {"no wait item with a wild tile in hand", "123s 456m 789m 11p 55z *", "2s", false, 0,
       [](const Score& s) { return !s.pairWait && !s.edgeWait && !s.closedWait; }},
      {"八张", "123s 456s 789s 11s 123m", "1s", false, 0,
       [](const Score& s) { return s.eightOfSuit; }},
      {"缺门", "123s 456s 789s 123m 55z", "5z", false, 0,
       [](const Score& s) { return s.missingSuits == 1; }},
      {"一般高", "123s 123s 789s 456m 55p", "5p", false, 0,
       [](const Score& s) { return s.twinRuns == 1; }},
      {"财神", "123s 456s 789s 12m 55p *", "5p", false, 0,
       [](const Score& s) { return s.wilds == 1; }},
      {"老少", "123s 789s 456m 111p 55z", "5z", false, 0,
       [](const Score& s) { return s.oldYoung == 1; }},
      {"四归一", "111s 123s 456m 789p 55z", "5z", false, 0,
       [](const Score& s) { return s.fourOfFace == 1; }},
      {"小连", "333s 444s 456m 789p 55z", "5z", false, 0,
       [](const Score& s) { return s.smallChains == 1 && s.bigChains == 0; }},
      {"大连", "333s 444s 555s 789p 55z", "5z", false, 0,
       [](const Score& s) { return s.bigChains == 1 && s.smallChains == 0; }},
      {"混一色", "123s 456s 789s 111z 55z", "5z", false, 0,
       [](const Score& s) { return s.mixedSuit && !s.pureSuit; }},
      {"清一色", "123s 456s 789s 111s 55s", "5s", false, 0,
       [](const Score& s) { return s.pureSuit && !s.mixedSuit; }},
      {"风一色", "111z 222z 333z 444z 55z", "5z", false, 0,
       [](const Score& s) { return s.honoursOnly; }},
      {"捉五", "123s 46m 789m 111p 55z 5m", "5m", false, 0,
       [](const Score& s) { return s.catchFive; }},
      {"一条龙", "123s 456s 789s 111m 55p", "5p", false, 0,
       [](const Score& s) { return s.dragonRun; }},
      {"碰碰胡", "111s 222m 333p 444z 55z", "5z", false, 0,
       [](const Score& s) { return s.allSets; }},
      {"十三幺", "19s 19m 19p 1234567z 1s", "1s", true, 0,
       [](const Score& s) { return s.thirteenOrphans; }},
      {"豪华七对", "1111s 3344m 5566p 77z", "7z", true, 0,
       [](const Score& s) { return s.luxurySevenPairs; }},
      {"七对", "1122s 3344m 5566p 77z", "7z", true, 0,
       [](const Score& s) { return s.sevenPairs && !s.luxurySevenPairs; }},
  };
  for (const auto& sc : cases) {
    Score s = scoreHand(context(sc));
    ASSERT_TRUE(s.win) << sc.name;
    EXPECT_TRUE(sc.check(s)) << sc.name;
    EXPECT_EQ(s.total, (s.base + s.points) << s.fans) << sc.name;
  }
}

TEST(Scoring, KongsAndOpenMelds) {
  WinContext ctx;
  ctx.hand = parse("123s 55p");
  ctx.winFace = face("5p");
  ctx.melds[0] = Meld{MeldKind::ExposedKong, static_cast<std::uint8_t>(face("7m")), 2};
  ctx.melds[1] = Meld{MeldKind::ConcealedKong, static_cast<std::uint8_t>(face("8m")), -1};
  ctx.melds[2] = Meld{MeldKind::AddedKong, static_cast<std::uint8_t>(face("9p")), 1};
  ctx.meldCount = 3;
  Score s = scoreHand(ctx);
  ASSERT_TRUE(s.win);
  EXPECT_EQ(s.exposedKongs, 2);
  EXPECT_EQ(s.concealedKongs, 1);
  EXPECT_EQ(s.concealedFan, 0);
  EXPECT_EQ(s.fourOfFace, 0);  // a kong is not 四归一
}

TEST(Scoring, TheCallSetsTheBase) {
  WinContext ctx;
  ctx.hand = parse("123s 456s 789s 123m 55p");
  ctx.winFace = face("5p");
  ctx.tou = 3;
  ctx.mo = 2;
  ctx.selfDrawn = true;
  Score s = scoreHand(ctx);
  EXPECT_EQ(s.base, 5);
  ctx.selfDrawn = false;
  EXPECT_EQ(scoreHand(ctx).base, 3);
}

TEST(Scoring, ThreePiecesToWin) {
  // A plain open hand on a discard: nothing but a run-of-the-mill shape.
  WinContext ctx;
  ctx.hand = parse("234s 55p");
  ctx.winFace = face("5p");
  ctx.melds[0] = Meld{MeldKind::Chi, static_cast<std::uint8_t>(face("3m")), 0};
  ctx.melds[1] = Meld{MeldKind::Chi, static_cast<std::uint8_t>(face("5p")), 0};
  ctx.melds[2] = Meld{MeldKind::Chi, static_cast<std::uint8_t>(face("6s")), 0};
  ctx.meldCount = 3;
  Score s = scoreHand(ctx);
  ASSERT_TRUE(s.win);
  EXPECT_LT(s.points + s.fans, Score::kMinimumPieces);
  EXPECT_FALSE(s.qualifies());
}

}  // namespace
}  // namespace tavren::server
