#include "engine/hand_state.h"

#include <algorithm>

#include "engine/robot.h"
#include "protocol/tavren_protocol.h"
#include "rules/win.h"

namespace tavren::server {

namespace proto = tavren::protocol;

// ---------------------------------------------------------------- the game

void HandState::startGame() {
  dealer = 0;
  dealerStreak = 1;
  dealerPasses = 0;
  roundWind = 0;
}

void HandState::passDeal(int winner) {
  if (winner < 0 || winner == dealer) {
    ++dealerStreak;
    return;
  }
  dealer = (dealer + 1) % 4;
  dealerStreak = 1;
  if (++dealerPasses % 4 == 0) roundWind = (roundWind + 1) % 4;
}

// ---------------------------------------------------------------- setting up

void HandState::shuffle(Rng& rng) {
  // Every tile: four of each face and the eight flowers.
  int n = 0;
  for (int f = 0; f < kFaces; ++f)
    for (int k = 0; k < 4; ++k) wall[n++] = static_cast<Tile>(f);
  for (int k = 0; k < kFlowers; ++k) wall[n++] = static_cast<Tile>(kFirstFlowerTile + k);
  for (int i = kWallSize - 1; i > 0; --i) std::swap(wall[i], wall[rng.below(i + 1)]);
  for (int& d : dice) d = 1 + rng.below(6);
}

void HandState::begin() {
  front = 0;
  backTaken = 0;
  // The tile turned up lies on the back of the wall; the next face is wild.
  int at = kWallSize - 1;
  while (at > 0 && isFlower(wall[at])) --at;
  std::swap(wall[at], wall[kWallSize - 1]);
  shownFace = wall[kWallSize - 1];
  back = kWallSize - 1;
  wildFace = wildFaceAfter(shownFace);
  tou = 1;
  mo = 0;
  discarder = -1;
  discardFace = -1;
  dealerFirstDiscard = -1;
  turnsTaken = 0;
  claimMade = false;
  robbing = robbedWin = false;
  for (auto& s : seats) s = SeatHand{};
}

std::array<std::array<Tile, 12>, 4> HandState::dealTwelve() {
  std::array<std::array<Tile, 12>, 4> dealt{};
  for (int round = 0; round < 3; ++round)
    for (int k = 0; k < 4; ++k) {
      const int seat = (dealer + k) % 4;
      for (int j = 0; j < 4; ++j) {
        const Tile t = takeFront();
        dealt[seat][round * 4 + j] = t;
        give(seat, t);
      }
    }
  return dealt;
}

void HandState::call(int t, int m) {
  tou = std::clamp(t, 1, 5);
  mo = std::clamp(m, 0, 5);
}

// ---------------------------------------------------------------- tiles

Tile HandState::drawFront() {
  if (wallLeft() <= kWallReserve) return kNoTile;
  return wall[front++];
}

Tile HandState::drawBack() {
  if (wallLeft() <= 0) return kNoTile;
  ++backTaken;
  return wall[--back];
}

void HandState::give(int seat, Tile t) {
  SeatHand& s = seats[seat];
  if (isFlower(t)) {
    s.pendingFlowers.push_back(t);
    s.lastDrawn = kNothingDrawn;
  } else if (t == wildFace) {
    ++s.hand.wilds;
    s.lastDrawn = -1;
  } else if (t < kFaces) {
    ++s.hand.c[t];
    s.lastDrawn = t;
  }
}

FlowerSwap HandState::replaceFlower(int seat) {
  SeatHand& s = seats[seat];
  FlowerSwap swap;
  if (s.pendingFlowers.empty()) return swap;
  swap.flower = s.pendingFlowers.front();
  s.pendingFlowers.erase(s.pendingFlowers.begin());
  ++s.flowers;
  swap.replacement = drawBack();
  if (swap.replacement != kNoTile) give(seat, swap.replacement);
  return swap;
}

// ---------------------------------------------------------------- a turn

int HandState::turnOfferMask(int seat, bool drawn) const {
  const SeatHand& s = seats[seat];
  int mask = proto::kClaimPass;
  if (!drawn) return mask;
  if (canWinWith(seat, s.hand, s.lastDrawn, true)) mask |= proto::kClaimHu;
  if (!canKong(seat)) return mask;
  for (int f = 0; f < kFaces; ++f)
    if (s.hand.c[f] == 4 && s.meldCount < kMaxMelds) mask |= proto::kClaimConcealedKong;
  for (int m = 0; m < s.meldCount; ++m)
    if (s.melds[m].kind == MeldKind::Peng && s.hand.c[s.melds[m].face] > 0)
      mask |= proto::kClaimAddedKong;
  // A 中 or a wild tile may be set aside for a tile from the back (the added-kong bit).
  if (s.hand.c[kRed] > 0 || s.hand.wilds > 0) mask |= proto::kClaimAddedKong;
  return mask;
}

int HandState::beginTurn(int seat, bool drawn) {
  turn = seat;
  afterDraw = drawn;
  seats[seat].offer = turnOfferMask(seat, drawn);
  return seats[seat].offer;
}

DiscardEvent HandState::discard(int seat, int face, bool byRobot) {
  SeatHand& s = seats[seat];
  DiscardEvent ev;
  if (face < -1 || face >= kFaces) return ev;
  if (face < 0 ? s.hand.wilds == 0 : s.hand.c[face] == 0) return ev;
  if (s.locked && !byRobot && face != s.lastDrawn) return ev;
  if (face < 0)
    --s.hand.wilds;
  else
    --s.hand.c[face];
  ++s.river;
  ++s.discards;
  if (s.chiPending) {
    s.chiPending = false;
    s.locked = true;
  }
  s.lastDrawn = kNothingDrawn;
  s.offer = 0;
  // 跟庄: in the first go-around the others throw what the dealer threw.
  if (!claimMade && turnsTaken < 4) {
    if (seat == dealer)
      dealerFirstDiscard = face;
    else
      ev.followsDealer = face >= 0 && face == dealerFirstDiscard;
  }
  ++turnsTaken;
  discarder = seat;
  discardFace = face;
  ev.done = true;
  return ev;
}

namespace {

// The tiles of the run from `low` other than `face`, taken out of `hand`; false
// when the hand lacks one of them.
bool takeRunBut(Counts& hand, int low, int face) {
  bool held = true;
  for (int f = low; f < low + 3; ++f) {
    if (f == face) continue;
    if (hand.c[f] == 0) held = false;
    if (held) --hand.c[f];
  }
  return held;
}

// The claims the seat next after the discarder (k = 1) or a later one may make.
int claimMask(const HandState& h, int seat, int k, int face) {
  const SeatHand& s = h.seats[seat];
  int mask = 0;
  Counts with = s.hand;
  ++with.c[face];
  if (h.canWinWith(seat, with, face, false)) mask |= proto::kClaimHu;
  if (s.locked || s.meldCount >= kMaxMelds) return mask;
  if (s.hand.c[face] >= 2) mask |= proto::kClaimPeng;
  if (s.hand.c[face] >= 3 && h.wallLeft() > 0) mask |= proto::kClaimExposedKong;
  if (k != 1 || isHonour(face)) return mask;
  const int r = rankOf(face);
  for (int low = face - 2; low <= face; ++low) {
    const int lowRank = r - (face - low);
    if (lowRank < 1 || lowRank > 7) continue;
    Counts after = s.hand;
    // 吃牌上听: a chi is allowed only when a discard then leaves the hand ready.
    if (takeRunBut(after, low, face) && robot::canStayReady(after)) return mask | proto::kClaimChi;
  }
  return mask;
}

}  // namespace

bool HandState::openClaims() {
  bool any = false;
  for (int k = 1; k <= 3; ++k) {
    const int seat = (discarder + k) % 4;
    SeatHand& s = seats[seat];
    s.clearOffer();
    if (discardFace < 0) continue;  // a wild tile is never claimed
    const int mask = claimMask(*this, seat, k, discardFace);
    if (mask == 0) continue;
    s.offer = mask | proto::kClaimPass;
    any = true;
  }
  return any;
}

ChiCheck HandState::checkChi(int seat, int a, int b) const {
  ChiCheck check;
  const SeatHand& s = seats[seat];
  const int face = discardFace;
  if (a < 0 || b < 0 || face < 0 || a >= kFaces || b >= kFaces) return check;
  const int low = std::min({a, b, face});
  const int high = std::max({a, b, face});
  const bool run = high - low == 2 && groupOf(low) == groupOf(high) && !isHonour(low) && a != b &&
                   a != face && b != face;
  if (!run || s.hand.c[a] == 0 || s.hand.c[b] == 0) return check;
  check.low = low;
  Counts after = s.hand;
  --after.c[a];
  --after.c[b];
  check.staysReady = robot::canStayReady(after);
  return check;
}

ClaimChoice HandState::chooseClaim() const {
  ClaimChoice c;
  c.onKong = robbing;
  for (int k = 1; k <= 3 && c.seat < 0; ++k) {
    const int seat = (discarder + k) % 4;
    if (seats[seat].answer == proto::kClaimHu) c.seat = seat, c.kind = proto::kClaimHu;
  }
  for (int k = 1; k <= 3 && c.seat < 0; ++k) {
    const int seat = (discarder + k) % 4;
    const int a = seats[seat].answer;
    if (a == proto::kClaimExposedKong || a == proto::kClaimPeng) c.seat = seat, c.kind = a;
  }
  if (c.seat < 0) {
    const int seat = (discarder + 1) % 4;
    if (seats[seat].answer == proto::kClaimChi) c.seat = seat, c.kind = proto::kClaimChi;
  }
  return c;
}

ClaimChoice HandState::closeClaims() {
  const ClaimChoice c = chooseClaim();
  robbing = false;
  for (auto& s : seats) s.offer = 0;
  return c;
}

Meld HandState::claimMeld(int seat, int kind, int low) {
  SeatHand& s = seats[seat];
  const int face = discardFace;
  --seats[discarder].river;
  claimMade = true;
  Meld m;
  m.from = static_cast<std::int8_t>(discarder);
  if (kind == proto::kClaimChi) {
    for (int x = low; x < low + 3; ++x)
      if (x != face) --s.hand.c[x];
    m.kind = MeldKind::Chi;
    m.face = static_cast<std::uint8_t>(low);
    s.chiPending = true;
  } else {
    s.hand.c[face] -= kind == proto::kClaimPeng ? 2 : 3;
    m.kind = kind == proto::kClaimPeng ? MeldKind::Peng : MeldKind::ExposedKong;
    m.face = static_cast<std::uint8_t>(face);
  }
  if (s.meldCount < kMaxMelds) s.melds[s.meldCount++] = m;
  if (++s.exposedCount == 3) s.thirdMeldFrom = discarder;
  return m;
}

void HandState::winOnDiscard(int seat) {
  ++seats[seat].hand.c[discardFace];
  --seats[discarder].river;
}

// ---------------------------------------------------------------- kongs

bool HandState::canKong(int seat) const {
  return !seats[seat].locked && wallLeft() > 0;
}

bool HandState::concealedKong(int seat, int face) {
  SeatHand& s = seats[seat];
  if (face < 0 || face >= kFaces || s.hand.c[face] != 4 || s.meldCount >= kMaxMelds) return false;
  s.hand.c[face] = 0;
  s.melds[s.meldCount++] = Meld{MeldKind::ConcealedKong, static_cast<std::uint8_t>(face), -1};
  return true;
}

int HandState::pengOf(int seat, int face) const {
  const SeatHand& s = seats[seat];
  int found = -1;
  for (int m = 0; m < s.meldCount && face >= 0; ++m)
    if (s.melds[m].kind == MeldKind::Peng && s.melds[m].face == face) found = m;
  return found;
}

// 抢杠胡: every other seat the added tile lets win is offered hu on it, as on a
// discard of that tile by the seat adding the kong.
bool HandState::offerRobbing(int seat, int face) {
  bool any = false;
  for (int k = 1; k <= 3; ++k) {
    const int o = (seat + k) % 4;
    SeatHand& s = seats[o];
    s.clearOffer();
    Counts with = s.hand;
    ++with.c[face];
    if (!canWinWith(o, with, face, false)) continue;
    s.offer = proto::kClaimHu | proto::kClaimPass;
    any = true;
  }
  if (!any) return false;
  seats[seat].offer = 0;
  robbing = true;
  discarder = seat;
  discardFace = face;
  return true;
}

void HandState::addToKong(int seat, int face) {
  SeatHand& s = seats[seat];
  for (int m = 0; m < s.meldCount; ++m)
    if (s.melds[m].kind == MeldKind::Peng && s.melds[m].face == face)
      s.melds[m].kind = MeldKind::AddedKong;
  --s.hand.c[face];
}

void HandState::robKong(int winner) {
  // The tile goes from the kong to the winner; the seat that added it pays.
  --seats[discarder].hand.c[discardFace];
  ++seats[winner].hand.c[discardFace];
  robbedWin = true;
}

// A 中 (that is not wild) or a wild tile leaves the hand for the side of the table.
int HandState::setAside(int seat, int face) {
  SeatHand& s = seats[seat];
  if (face == kRed && s.hand.c[kRed] > 0) {
    --s.hand.c[kRed];
    ++s.redAside;
    return kRed;
  }
  if (face == -1 && s.hand.wilds > 0) {
    --s.hand.wilds;
    ++s.wildAside;
    return wildFace;
  }
  return -1;
}

// ---------------------------------------------------------------- winning

WinContext HandState::winContext(int seat, const Counts& hand, int winFace, bool selfDrawn) const {
  const SeatHand& s = seats[seat];
  WinContext ctx;
  ctx.hand = hand;
  ctx.winFace = winFace;
  ctx.selfDrawn = selfDrawn;
  ctx.melds = s.melds;
  ctx.meldCount = s.meldCount;
  ctx.seatWind = (seat - dealer + 4) % 4;
  ctx.roundWind = roundWind;
  ctx.dealerStreak = seat == dealer ? dealerStreak : 0;
  ctx.tou = tou;
  ctx.mo = mo;
  ctx.wildAside = s.wildAside;
  return ctx;
}

bool HandState::canWinWith(int seat, const Counts& hand, int winFace, bool selfDrawn) const {
  const bool concealed14 = seats[seat].meldCount == 0;
  if (!isWin(hand, concealed14)) return false;
  return scoreHand(winContext(seat, hand, winFace, selfDrawn)).qualifies();
}

Settlement HandState::settle(int winner, bool selfDrawn, int winFace, int stake) const {
  Settlement st;
  if (winner < 0) return st;
  st.score = scoreHand(winContext(winner, seats[winner].hand, winFace, selfDrawn));
  const std::int64_t share = static_cast<std::int64_t>(st.score.total) * stake;
  const SeatHand& w = seats[winner];
  if (w.exposedCount >= 3 && w.thirdMeldFrom >= 0 && w.thirdMeldFrom != winner)
    st.liable = w.thirdMeldFrom;
  if (selfDrawn) {
    for (int s = 0; s < 4; ++s)
      if (s != winner) st.results[st.liable >= 0 ? st.liable : s] -= share;
  } else {
    st.results[st.liable >= 0 ? st.liable : discarder] -= share;
  }
  for (int s = 0; s < 4; ++s)
    if (s != winner) st.results[winner] -= st.results[s];
  return st;
}

int HandState::parseTile(int operand) const {
  const int code = operand & 0xFF;
  if (code == proto::kLocalWildTile || code == proto::kWireWildTile) return -1;
  const int face = faceOfCode(code);
  if (face < 0) return -2;
  return face == wildFace ? -1 : face;
}

}  // namespace tavren::server
