#include "engine/robot.h"

#include <algorithm>

#include "protocol/tavren_protocol.h"
#include "rules/win.h"

namespace tavren::server::robot {

namespace proto = tavren::protocol;
namespace {

// How well a face sits with its neighbours: low values are the first to go.
int weight(const Counts& h, int f) {
  const int c = h.c[f];
  if (isHonour(f)) return 3 * c;
  const int r = rankOf(f);
  int w = 3 * c;
  if (r > 2) w += h.c[f - 2];
  if (r > 1) w += 2 * h.c[f - 1];
  if (r < 9) w += 2 * h.c[f + 1];
  if (r < 8) w += h.c[f + 2];
  // Middle ranks connect better than terminals.
  return 4 * w + (r >= 3 && r <= 7 ? 2 : r == 2 || r == 8 ? 1 : 0);
}

// Distance of what is left after one tile leaves a 3n+2 hand, counted as for a
// 3n+2 hand (one wild stands in for the next draw).
int afterDiscard(Counts h, int f) {
  if (f < 0)
    --h.wilds;
  else
    --h.c[f];
  ++h.wilds;
  return distance(h);
}

int bestDistanceAfterDiscard(const Counts& h) {
  int best = kImpossible;
  for (int f = 0; f < kFaces; ++f)
    if (h.c[f] > 0) best = std::min(best, afterDiscard(h, f));
  if (h.wilds > 0) best = std::min(best, afterDiscard(h, -1));
  return best;
}

}  // namespace

bool isReady(const Counts& hand13) {
  Counts h = hand13;
  ++h.wilds;
  return isWin(h, h.total() == 14);
}

bool readyAfterDiscard(const Counts& hand, int face) {
  Counts h = hand;
  if (face < 0) {
    if (h.wilds == 0) return false;
    --h.wilds;
  } else {
    if (h.c[face] == 0) return false;
    --h.c[face];
  }
  return isReady(h);
}

bool canStayReady(const Counts& hand) {
  for (int f = 0; f < kFaces; ++f)
    if (hand.c[f] > 0 && readyAfterDiscard(hand, f)) return true;
  return hand.wilds > 0 && readyAfterDiscard(hand, -1);
}

int chooseDiscard(const Counts& hand, bool mustStayReady) {
  int best = -2, bestDist = kImpossible + 1, bestWeight = 1 << 30;
  for (int f = 0; f < kFaces; ++f) {
    if (hand.c[f] == 0) continue;
    if (mustStayReady && !readyAfterDiscard(hand, f)) continue;
    const int d = afterDiscard(hand, f);
    const int w = weight(hand, f);
    if (d < bestDist || (d == bestDist && w < bestWeight)) {
      best = f;
      bestDist = d;
      bestWeight = w;
    }
  }
  if (best == -2) return -1;  // only wild tiles are left (or only a wild keeps it ready)
  return best;
}

bool wantsPeng(const Counts& hand, int face) {
  if (hand.c[face] < 2) return false;
  Counts after = hand;
  after.c[face] -= 2;
  // Now: a 3n+1 hand; plus one wild for comparison as a 3n+2 hand.
  Counts now = hand;
  ++now.wilds;
  const int before = distance(now);
  const int with = bestDistanceAfterDiscard(after);
  if (isHonour(face)) return with <= before;
  return with < before;
}

bool wantsChi(const Counts& hand, int face, int low) {
  Counts after = hand;
  for (int f = low; f < low + 3; ++f) {
    if (f == face) continue;
    if (after.c[f] == 0) return false;
    --after.c[f];
  }
  Counts now = hand;
  ++now.wilds;
  return bestDistanceAfterDiscard(after) < distance(now);
}

bool wantsExposedKong(const Counts& hand, int face) {
  if (hand.c[face] < 3) return false;
  Counts after = hand;
  after.c[face] -= 3;
  Counts now = hand;
  ++now.wilds;
  ++after.wilds;  // the replacement draw
  return distance(after) <= distance(now);
}

TurnMove chooseTurnMove(const SeatHand& s, bool afterDraw) {
  if (s.offer & proto::kClaimHu) return {proto::kClaimHu, s.lastDrawn};
  if (afterDraw && !s.locked) {
    if (s.offer & proto::kClaimConcealedKong)
      for (int f = 0; f < kFaces; ++f)
        if (s.hand.c[f] == 4) return {proto::kClaimConcealedKong, f};
    if (s.offer & proto::kClaimAddedKong)
      for (int m = 0; m < s.meldCount; ++m)
        if (s.melds[m].kind == MeldKind::Peng && s.hand.c[s.melds[m].face] > 0)
          return {proto::kClaimAddedKong, s.melds[m].face};
    // A lone 中 is of no use in the hand: it goes aside for another tile.
    if ((s.offer & proto::kClaimAddedKong) && s.hand.c[kRed] == 1)
      return {proto::kClaimAddedKong, kRed};
  }
  // 吃牌上听: a locked hand throws what it drew.
  const bool drawnHeld = s.lastDrawn != kNothingDrawn &&
                         (s.lastDrawn < 0 ? s.hand.wilds > 0 : s.hand.c[s.lastDrawn] > 0);
  if (s.locked && drawnHeld) return {0, s.lastDrawn};
  return {0, chooseDiscard(s.hand, s.chiPending)};
}

namespace {

// The lowest face of a run on `face` the robot likes, or -1.
int wantedChi(const Counts& hand, int face) {
  for (int low = face - 2; low <= face; ++low) {
    if (low < 0 || isHonour(low) || groupOf(low) != groupOf(face) || rankOf(low) > 7) continue;
    if (groupOf(low + 2) != groupOf(face)) continue;
    Counts after = hand;
    bool held = true;
    for (int x = low; x < low + 3; ++x) {
      if (x == face) continue;
      if (after.c[x] == 0) held = false;
      if (held) --after.c[x];
    }
    if (held && canStayReady(after) && wantsChi(hand, face, low)) return low;
  }
  return -1;
}

}  // namespace

int chooseAnswer(const SeatHand& s, int face, int* chiLow) {
  if (s.offer & proto::kClaimHu) return proto::kClaimHu;
  if (face < 0 || face >= kFaces) return proto::kClaimPass;
  if ((s.offer & proto::kClaimExposedKong) && wantsExposedKong(s.hand, face))
    return proto::kClaimExposedKong;
  if ((s.offer & proto::kClaimPeng) && wantsPeng(s.hand, face)) return proto::kClaimPeng;
  if (!(s.offer & proto::kClaimChi)) return proto::kClaimPass;
  const int low = wantedChi(s.hand, face);
  if (low < 0) return proto::kClaimPass;
  *chiLow = low;
  return proto::kClaimChi;
}

void chooseCall(const Counts& hand, int* tou, int* mo) {
  Counts h = hand;
  const int d = distance(h);
  *tou = hand.wilds >= 2 ? 3 : hand.wilds == 1 ? 2 : 1;
  *mo = d <= 3 ? 1 : 0;
}

}  // namespace tavren::server::robot
