#include "rules/scoring.h"

#include <algorithm>

#include "rules/win.h"

namespace tavren::server {
namespace {

enum SetKind : std::uint8_t { kPung, kRun, kPair };

struct Set {
  SetKind kind;
  std::int8_t face;  // lowest face of a run; -1 for a set made only of wild tiles
};

struct Reading {
  Set sets[6];
  int n = 0;
};

// Facts that do not depend on how the concealed tiles are read.
struct HandFacts {
  int suitTiles[4] = {0, 0, 0, 0};  // real tiles per group, melds included
  int faceTotal[kFaces] = {};       // real tiles per face outside kongs
  bool edgeWait = false, closedWait = false, pairWait = false, catchFive = false;
};

Counts without(Counts c, int face) {
  if (face >= 0)
    --c.c[face];
  else
    --c.wilds;
  return c;
}

bool winsAsSetsAndPair(const Counts& c) {
  return c.total() % 3 == 2 && wildsNeededForSets(c) <= c.wilds;
}

HandFacts facts(const WinContext& ctx) {
  HandFacts f;
  for (int face = 0; face < kFaces; ++face) {
    f.suitTiles[groupOf(face)] += ctx.hand.c[face];
    f.faceTotal[face] += ctx.hand.c[face];
  }
  for (int i = 0; i < ctx.meldCount; ++i) {
    const Meld& m = ctx.melds[i];
    if (m.kind == MeldKind::Chi) {
      for (int k = 0; k < 3; ++k) ++f.faceTotal[m.face + k];
      f.suitTiles[groupOf(m.face)] += 3;
    } else {
      f.suitTiles[groupOf(m.face)] += m.isKong() ? 4 : 3;
      if (!m.isKong()) f.faceTotal[m.face] += 3;
    }
  }
  // Waits are judged on the hand before the winning tile; a wild winning tile waits on everything.
  if (ctx.winFace >= 0) {
    const Counts before = without(ctx.hand, ctx.winFace);
    const bool concealed14 = ctx.meldCount == 0;
    int waits = 0;
    for (int face = 0; face < kFaces && waits < 2; ++face) {
      Counts c = before;
      ++c.c[face];
      if (c.c[face] <= 4 && isWin(c, concealed14)) ++waits;
    }
    const int w = ctx.winFace, r = rankOf(w);
    auto heldPairWith = [&](int a, int b) {
      if (before.c[a] == 0 || before.c[b] == 0) return false;
      Counts c = before;
      --c.c[a];
      --c.c[b];
      return winsAsSetsAndPair(c);
    };
    const bool suited = !isHonour(w);
    const bool closed = suited && r >= 2 && r <= 8 && heldPairWith(w - 1, w + 1);
    if (waits == 1) {
      if (before.c[w] > 0) {
        Counts c = before;
        --c.c[w];
        f.pairWait = c.total() % 3 == 0 && wildsNeededForSetsOnly(c) <= c.wilds;
      }
      if (!f.pairWait) f.closedWait = closed;
      if (!f.pairWait && !f.closedWait && suited)
        f.edgeWait =
            (r == 3 && heldPairWith(w - 2, w - 1)) || (r == 7 && heldPairWith(w + 1, w + 2));
    }
    f.catchFive = suited && r == 5 && closed;
  }
  return f;
}

// Items common to every reading.
void commonItems(const WinContext& ctx, const HandFacts& f, Score& s) {
  const int suits = (f.suitTiles[1] > 0) + (f.suitTiles[2] > 0) + (f.suitTiles[3] > 0);
  const bool honours = f.suitTiles[0] > 0;
  s.missingSuits = 3 - suits;
  s.pureSuit = suits == 1 && !honours;
  s.mixedSuit = suits == 1 && honours;
  s.honoursOnly = suits == 0;
  s.eightOfSuit = f.suitTiles[1] >= 8 || f.suitTiles[2] >= 8 || f.suitTiles[3] >= 8;
  s.wilds = ctx.hand.wilds + ctx.wildAside;
  s.dealer = ctx.dealerStreak;
  s.selfDrawnFan = ctx.selfDrawn ? 1 : 0;
  bool open = false;
  for (int i = 0; i < ctx.meldCount; ++i) {
    const Meld& m = ctx.melds[i];
    if (m.kind == MeldKind::ConcealedKong)
      ++s.concealedKongs;
    else if (m.isKong())
      ++s.exposedKongs;
    if (m.kind != MeldKind::ConcealedKong) open = true;
  }
  s.concealedFan = open ? 0 : 1;
  s.fourOfFace = 0;
  for (int face = 0; face < kFaces; ++face)
    if (f.faceTotal[face] == 4) ++s.fourOfFace;
}

void finish(const WinContext& ctx, Score& s) {
  s.handTypePoints =
      (s.mixedSuit ? kPointsMixedSuit : 0) + (s.pureSuit ? kPointsPureSuit : 0) +
      (s.honoursOnly ? kPointsHonoursOnly : 0) + (s.catchFive ? kPointsCatchFive : 0) +
      (s.dragonRun ? kPointsDragonRun : 0) + (s.allSets ? kPointsAllSets : 0) +
      (s.thirteenOrphans ? kPointsThirteenOrphans : 0) +
      (s.luxurySevenPairs ? kPointsLuxurySevenPairs : 0) + (s.sevenPairs ? kPointsSevenPairs : 0);
  s.points = s.handTypePoints + s.exposedKongs + 2 * s.concealedKongs + s.roundWindSets +
             s.seatWindSets + s.concealedSets + s.dealer + s.edgeWait + s.closedWait + s.pairWait +
             s.eightOfSuit + s.missingSuits + s.twinRuns + s.wilds + s.oldYoung + s.fourOfFace +
             s.smallChains + 2 * s.bigChains;
  s.fans = s.selfDrawnFan + s.concealedFan;
  s.base = ctx.tou + (ctx.selfDrawn ? ctx.mo : 0);
  s.total = (s.base + s.points) << s.fans;
  s.win = true;
}

bool better(const Score& a, const Score& b) {
  if (!b.win) return a.win;
  if (a.total != b.total) return a.total > b.total;
  return a.points > b.points;
}

Score scoreReading(const WinContext& ctx, const HandFacts& f, const Reading& rd) {
  Score s;
  commonItems(ctx, f, s);
  s.edgeWait = f.edgeWait;
  s.closedWait = f.closedWait;
  s.pairWait = f.pairWait;
  s.catchFive = f.catchFive;
  int runs[kFaces] = {};
  bool pung[kFaces] = {};
  bool anyRun = false;
  for (int i = 0; i < rd.n; ++i) {
    const Set& st = rd.sets[i];
    if (st.face < 0) continue;
    if (st.kind == kRun) {
      ++runs[st.face];
      anyRun = true;
    } else if (st.kind == kPung) {
      pung[st.face] = true;
      // A set finished by another seat's discard is not concealed.
      bool claimed = !ctx.selfDrawn && st.face == ctx.winFace;
      if (!claimed) ++s.concealedSets;
    }
  }
  for (int i = 0; i < ctx.meldCount; ++i) {
    const Meld& m = ctx.melds[i];
    if (m.kind == MeldKind::Chi) {
      ++runs[m.face];
      anyRun = true;
    } else {
      pung[m.face] = true;
    }
  }
  s.allSets = !anyRun;
  s.roundWindSets = pung[ctx.roundWind] ? 1 : 0;
  s.seatWindSets = pung[ctx.seatWind] ? 1 : 0;
  for (int g = 1; g <= 3; ++g) {
    const int one = faceOf(g, 1);
    if (runs[one] && runs[one + 3] && runs[one + 6]) s.dragonRun = true;
    s.oldYoung += std::min(runs[one], runs[one + 6]);
    int chain = 0;
    for (int r = 0; r <= 9; ++r) {
      if (r < 9 && pung[one + r]) {
        ++chain;
        continue;
      }
      if (chain == 2) ++s.smallChains;
      if (chain >= 3) ++s.bigChains;
      chain = 0;
    }
  }
  for (int face = 0; face < kFaces; ++face)
    if (runs[face] > 1) s.twinRuns += runs[face] - 1;
  finish(ctx, s);
  return s;
}

// Tries every reading of the concealed tiles as sets and one pair.
struct Search {
  const WinContext& ctx;
  const HandFacts& f;
  Counts c;
  Reading rd;
  bool pairUsed = false;
  Score best;

  void push(SetKind k, int face) { rd.sets[rd.n++] = Set{k, static_cast<std::int8_t>(face)}; }

  void leaf() {
    int w = c.wilds;
    int saved = rd.n;
    if (!pairUsed) {
      if (w < 2 || (w - 2) % 3 != 0) return;
      push(kPair, -1);
      w -= 2;
    } else if (w % 3 != 0) {
      return;
    }
    for (; w > 0; w -= 3) push(kPung, -1);
    Score s = scoreReading(ctx, f, rd);
    if (better(s, best)) best = s;
    rd.n = saved;
  }

  void run() {
    int face = 0;
    while (face < kFaces && c.c[face] == 0) ++face;
    if (face == kFaces) {
      leaf();
      return;
    }
    if (rd.n >= 5) return;
    const int have = c.c[face];
    for (int k = std::min(have, 3); k >= 1; --k) take(kPung, face, k, 3 - k);
    if (!pairUsed)
      for (int k = std::min(have, 2); k >= 1; --k) {
        pairUsed = true;
        take(kPair, face, k, 2 - k);
        pairUsed = false;
      }
    if (isHonour(face)) return;
    const int r = rankOf(face);
    if (r <= 7) {
      // This face lowest: the two above real when held, else wild.
      int need = 0;
      int plan[3] = {face, -1, -1};
      int used = 1;
      for (int d = 1; d <= 2; ++d) {
        if (c.c[face + d] > 0)
          plan[used++] = face + d;
        else
          ++need;
      }
      takeRun(face, plan, used, need);
    }
    if (r >= 2 && r <= 8) {
      int plan[3] = {face, -1, -1};
      int used = 1, need = 1;
      if (c.c[face + 1] > 0)
        plan[used++] = face + 1;
      else
        ++need;
      takeRun(face - 1, plan, used, need);
    }
    if (r >= 3) {
      int plan[3] = {face, -1, -1};
      takeRun(face - 2, plan, 1, 2);
    }
  }

  void take(SetKind kind, int face, int real, int wilds) {
    if (wilds > c.wilds) return;
    c.c[face] -= real;
    c.wilds -= wilds;
    push(kind, face);
    run();
    --rd.n;
    c.c[face] += real;
    c.wilds += wilds;
  }

  void takeRun(int low, const int* plan, int used, int wilds) {
    if (wilds > c.wilds) return;
    for (int i = 0; i < used; ++i) --c.c[plan[i]];
    c.wilds -= wilds;
    push(kRun, low);
    run();
    --rd.n;
    for (int i = 0; i < used; ++i) ++c.c[plan[i]];
    c.wilds += wilds;
  }
};

}  // namespace

Score scoreHand(const WinContext& ctx) {
  const HandFacts f = facts(ctx);
  Score best;
  if (isStandardWin(ctx.hand)) {
    Search search{ctx, f, ctx.hand, {}, false, {}};
    search.run();
    best = search.best;
  }
  if (ctx.meldCount == 0 && ctx.hand.total() == 14) {
    bool luxury = false;
    if (isThirteenOrphans(ctx.hand)) {
      Score s;
      commonItems(ctx, f, s);
      s.missingSuits = 0;
      s.thirteenOrphans = true;
      finish(ctx, s);
      if (better(s, best)) best = s;
    }
    if (isSevenPairs(ctx.hand, &luxury)) {
      Score s;
      commonItems(ctx, f, s);
      s.fourOfFace = 0;  // a face held four times is what makes the pairs luxurious
      (luxury ? s.luxurySevenPairs : s.sevenPairs) = true;
      finish(ctx, s);
      if (better(s, best)) best = s;
    }
  }
  return best;
}

}  // namespace tavren::server
