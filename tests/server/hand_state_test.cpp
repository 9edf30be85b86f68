// The hand's state without frames: a state, one event, the state that follows.
// Each case starts from the same hand under way, sets up what it needs, applies
// one event, and names every change the event makes; the whole state is compared.
#include "engine/hand_state.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <ostream>
#include <string>

#include "protocol/tavren_protocol.h"

namespace tavren::server {

// A readable state for failing comparisons: the wall's ends and each seat's part.
void PrintTo(const HandState& h, std::ostream* os) {
  *os << "{wall " << h.front << ".." << h.back << " backTaken " << h.backTaken << " wild "
      << h.wildFace << " turn " << h.turn << " discard " << h.discarder << ":" << h.discardFace
      << " robbing " << h.robbing << " robbed " << h.robbedWin << " claimMade " << h.claimMade
      << " dealer " << h.dealer << "/" << h.dealerStreak << "/" << h.dealerPasses << " wind "
      << h.roundWind;
  for (int seat = 0; seat < 4; ++seat) {
    const SeatHand& s = h.seats[seat];
    *os << "\n  seat " << seat << ":";
    for (int f = 0; f < kFaces; ++f)
      for (int k = 0; k < s.hand.c[f]; ++k) *os << ' ' << f;
    *os << " wilds " << s.hand.wilds << " melds " << s.meldCount << " exposed " << s.exposedCount
        << " third " << s.thirdMeldFrom << " flowers " << s.flowers << "+"
        << s.pendingFlowers.size() << " aside " << s.redAside << "/" << s.wildAside << " river "
        << s.river << " drawn " << s.lastDrawn << " chi " << s.chiPending << " locked " << s.locked
        << " offer " << s.offer << " answer " << s.answer << " chiLow " << s.chiLow;
  }
  *os << "}";
}

namespace test {
namespace {

namespace proto = tavren::protocol;

// Faces by name: winds and dragons, then 条 (B), 萬 (M) and 筒 (P) by rank.
constexpr int kEast = 0, kWhite = 6;
constexpr int B(int rank) {
  return faceOf(1, rank);
}
constexpr int M(int rank) {
  return faceOf(2, rank);
}
constexpr int P(int rank) {
  return faceOf(3, rank);
}
constexpr Tile flower(int n) {
  return static_cast<Tile>(kFirstFlowerTile + n - 1);
}

Counts held(std::initializer_list<int> faces, int wilds = 0) {
  Counts c;
  for (int f : faces) ++c.c[f];
  c.wilds = wilds;
  return c;
}

// A hand under way: white is wild, seat 0 deals, 60 tiles left in the wall.
// Seat 1 holds pure 条 waiting on 9条; seat 2 a pair of 5萬 and three 1筒; seat 3
// a run-ready hand next to nothing special.
HandState underWay() {
  HandState h;
  h.wildFace = kWhite;
  h.shownFace = 5;
  h.front = 70;
  h.back = 130;
  h.backTaken = 13;
  for (int i = 0; i < kWallSize; ++i) h.wall[i] = static_cast<Tile>(P(9));
  h.seats[0].hand =
      held({M(1), M(2), M(3), P(2), P(3), P(4), B(5), B(6), B(7), kEast, kEast, M(7), M(8)});
  h.seats[1].hand =
      held({B(1), B(1), B(1), B(2), B(3), B(4), B(5), B(6), B(7), B(8), B(8), B(8), B(9)});
  h.seats[2].hand =
      held({M(5), M(5), P(1), P(1), P(1), M(3), M(4), P(5), P(6), P(7), B(2), B(3), B(4)});
  h.seats[3].hand = held(
      {M(3), M(4), P(1), P(2), P(3), P(4), P(5), P(6), B(2), B(3), B(4), kEast + 1, kEast + 1});
  return h;
}

struct Scenario {
  const char* name;
  std::function<void(HandState&)> setUp;   // on top of underWay()
  std::function<void(HandState&)> event;   // may check what the event returns
  std::function<void(HandState&)> change;  // the expected state: setUp's state, changed so
};

void run(const Scenario& sc) {
  SCOPED_TRACE(sc.name);
  HandState before = underWay();
  if (sc.setUp) sc.setUp(before);
  HandState after = before;
  sc.event(after);
  HandState expected = before;
  if (sc.change) sc.change(expected);
  EXPECT_EQ(after, expected);
}

TEST(HandState, TilesComeFromTheWallsEndsAndFlowersAreReplacedFromTheBack) {
  const Scenario cases[] = {
      {"a draw from the front takes the front tile into the hand",
       [](HandState& h) { h.wall[70] = static_cast<Tile>(M(9)); },
       [](HandState& h) {
         const Tile t = h.drawFront();
         EXPECT_EQ(t, M(9));
         h.give(0, t);
       },
       [](HandState& h) {
         h.front = 71;
         ++h.seats[0].hand.c[M(9)];
         h.seats[0].lastDrawn = M(9);
       }},
      {"no ordinary draw when only the reserve is left", [](HandState& h) { h.back = 70 + 16; },
       [](HandState& h) { EXPECT_EQ(h.drawFront(), kNoTile); }, nullptr},
      {"a draw from the back takes its last tile and counts it",
       [](HandState& h) { h.wall[129] = static_cast<Tile>(B(9)); },
       [](HandState& h) { h.give(1, h.drawBack()); },
       [](HandState& h) {
         h.back = 129;
         h.backTaken = 14;
         ++h.seats[1].hand.c[B(9)];
         h.seats[1].lastDrawn = B(9);
       }},
      {"the back serves the reserve to the last tile",
       [](HandState& h) {
         h.back = 71;
         h.wall[70] = static_cast<Tile>(M(2));
       },
       [](HandState& h) {
         EXPECT_EQ(h.drawBack(), M(2));
         EXPECT_EQ(h.drawBack(), kNoTile);
       },
       [](HandState& h) {
         h.back = 70;
         h.backTaken = 14;
       }},
      {"a tile of the wild face is a wild tile", nullptr,
       [](HandState& h) { h.give(2, static_cast<Tile>(kWhite)); },
       [](HandState& h) {
         ++h.seats[2].hand.wilds;
         h.seats[2].lastDrawn = -1;
       }},
      {"a flower waits in the row and counts as no draw",
       [](HandState& h) { h.seats[3].lastDrawn = P(4); },
       [](HandState& h) { h.give(3, flower(2)); },
       [](HandState& h) {
         h.seats[3].pendingFlowers = {flower(2)};
         h.seats[3].lastDrawn = kNothingDrawn;
       }},
      {"a flower goes aside for the back tile",
       [](HandState& h) {
         h.seats[0].pendingFlowers = {flower(1), flower(5)};
         h.wall[129] = static_cast<Tile>(P(7));
       },
       [](HandState& h) {
         const FlowerSwap swap = h.replaceFlower(0);
         EXPECT_EQ(swap.flower, flower(1));
         EXPECT_EQ(swap.replacement, P(7));
       },
       [](HandState& h) {
         h.seats[0].pendingFlowers = {flower(5)};
         h.seats[0].flowers = 1;
         h.back = 129;
         h.backTaken = 14;
         ++h.seats[0].hand.c[P(7)];
         h.seats[0].lastDrawn = P(7);
       }},
      {"a flower with the wall empty goes aside with nothing in its place",
       [](HandState& h) {
         h.seats[0].pendingFlowers = {flower(3)};
         h.back = h.front;
       },
       [](HandState& h) { EXPECT_EQ(h.replaceFlower(0).replacement, kNoTile); },
       [](HandState& h) {
         h.seats[0].pendingFlowers.clear();
         h.seats[0].flowers = 1;
       }},
  };
  for (const auto& sc : cases) run(sc);
}

TEST(HandState, ADiscardLeavesTheHandAndTheChiLockHoldsTheNextOne) {
  const Scenario cases[] = {
      {"the dealer's discard lies in its river and is remembered for 跟庄",
       [](HandState& h) { h.seats[0].offer = proto::kClaimPass; },
       [](HandState& h) { EXPECT_TRUE(h.discard(0, kEast, false).done); },
       [](HandState& h) {
         --h.seats[0].hand.c[kEast];
         h.seats[0].river = h.seats[0].discards = 1;
         h.seats[0].offer = 0;
         h.dealerFirstDiscard = kEast;
         h.turnsTaken = 1;
         h.discarder = 0;
         h.discardFace = kEast;
       }},
      {"the same tile from the next seat in the first go-around follows the dealer",
       [](HandState& h) {
         h.dealerFirstDiscard = M(5);
         h.turnsTaken = 1;
       },
       [](HandState& h) { EXPECT_TRUE(h.discard(2, M(5), false).followsDealer); },
       [](HandState& h) {
         --h.seats[2].hand.c[M(5)];
         h.seats[2].river = h.seats[2].discards = 1;
         h.turnsTaken = 2;
         h.discarder = 2;
         h.discardFace = M(5);
       }},
      {"after a claim nobody follows the dealer",
       [](HandState& h) {
         h.dealerFirstDiscard = M(5);
         h.turnsTaken = 1;
         h.claimMade = true;
       },
       [](HandState& h) { EXPECT_FALSE(h.discard(2, M(5), false).followsDealer); },
       [](HandState& h) {
         --h.seats[2].hand.c[M(5)];
         h.seats[2].river = h.seats[2].discards = 1;
         h.turnsTaken = 2;
         h.discarder = 2;
         h.discardFace = M(5);
       }},
      {"a wild tile may be discarded", [](HandState& h) { h.seats[3].hand.wilds = 1; },
       [](HandState& h) { EXPECT_TRUE(h.discard(3, -1, false).done); },
       [](HandState& h) {
         h.seats[3].hand.wilds = 0;
         h.seats[3].river = h.seats[3].discards = 1;
         h.turnsTaken = 1;
         h.discarder = 3;
         h.discardFace = -1;
       }},
      {"a tile the seat does not hold is refused and changes nothing", nullptr,
       [](HandState& h) {
         EXPECT_FALSE(h.discard(0, P(9), false).done);
         EXPECT_FALSE(h.discard(0, -1, false).done);
         EXPECT_FALSE(h.discard(0, kFaces, false).done);
       },
       nullptr},
      {"the chi lock starts with the discard after the chi",
       [](HandState& h) { h.seats[3].chiPending = true; },
       [](HandState& h) { EXPECT_TRUE(h.discard(3, kEast + 1, false).done); },
       [](HandState& h) {
         --h.seats[3].hand.c[kEast + 1];
         h.seats[3].river = h.seats[3].discards = 1;
         h.seats[3].chiPending = false;
         h.seats[3].locked = true;
         h.turnsTaken = 1;
         h.discarder = 3;
         h.discardFace = kEast + 1;
       }},
      {"a locked client may throw only the tile it drew",
       [](HandState& h) {
         h.seats[3].locked = true;
         h.seats[3].lastDrawn = P(6);
       },
       [](HandState& h) { EXPECT_FALSE(h.discard(3, P(1), false).done); }, nullptr},
      {"the robot of a locked seat may throw another tile",
       [](HandState& h) {
         h.seats[3].locked = true;
         h.seats[3].lastDrawn = P(6);
       },
       [](HandState& h) { EXPECT_TRUE(h.discard(3, P(1), true).done); },
       [](HandState& h) {
         --h.seats[3].hand.c[P(1)];
         h.seats[3].river = h.seats[3].discards = 1;
         h.seats[3].lastDrawn = kNothingDrawn;
         h.turnsTaken = 1;
         h.discarder = 3;
         h.discardFace = P(1);
       }},
  };
  for (const auto& sc : cases) run(sc);
}

// Seat 0 has just discarded `face`: the claims are opened on it.
std::function<void(HandState&)> discarded(int face) {
  return [face](HandState& h) {
    h.discarder = 0;
    h.discardFace = face;
  };
}

TEST(HandState, TheOffersOnADiscardFollowTheHandsAndTheLock) {
  const int kPass = proto::kClaimPass;
  const Scenario cases[] = {
      {"hu for the hand it completes; the next seat may chi it too", discarded(B(9)),
       [](HandState& h) { EXPECT_TRUE(h.openClaims()); },
       [&](HandState& h) { h.seats[1].offer = proto::kClaimHu | proto::kClaimChi | kPass; }},
      {"hu alone for a later seat",
       [](HandState& h) {
         discarded(B(9))(h);
         h.discarder = 3;
       },
       [](HandState& h) { EXPECT_TRUE(h.openClaims()); },
       [&](HandState& h) { h.seats[1].offer = proto::kClaimHu | kPass; }},
      {"peng for a pair", discarded(M(5)), [](HandState& h) { EXPECT_TRUE(h.openClaims()); },
       [&](HandState& h) { h.seats[2].offer = proto::kClaimPeng | kPass; }},
      {"peng or kong for three, kong only while the wall has tiles",
       [](HandState& h) {
         discarded(P(1))(h);
         h.seats[3].hand.c[P(1)] = 0;
       },
       [](HandState& h) { EXPECT_TRUE(h.openClaims()); },
       [&](HandState& h) {
         h.seats[2].offer = proto::kClaimPeng | proto::kClaimExposedKong | kPass;
       }},
      {"chi only for the next seat, and only when a discard then leaves it ready",
       [](HandState& h) {
         discarded(M(5))(h);
         h.seats[1].hand = held({M(3), M(4), P(1), P(2), P(3), P(4), P(5), P(6), B(2), B(3), B(4),
                                 kEast + 1, kEast + 3});
         h.seats[2].hand.c[M(5)] = 0;
       },
       [](HandState& h) { EXPECT_TRUE(h.openClaims()); },
       [&](HandState& h) { h.seats[1].offer = proto::kClaimChi | kPass; }},
      {"no chi that leaves the hand not ready",
       [](HandState& h) {
         discarded(M(5))(h);
         h.seats[1].hand = held({M(3), M(4), kEast, kEast + 2, kEast + 3, 5, B(1), B(5), B(9), P(1),
                                 P(5), P(9), M(9)});
         h.seats[2].hand.c[M(5)] = 0;
       },
       [](HandState& h) { EXPECT_FALSE(h.openClaims()); }, nullptr},
      {"a locked seat is offered nothing but hu",
       [](HandState& h) {
         discarded(M(5))(h);
         h.seats[2].locked = true;
       },
       [](HandState& h) { EXPECT_FALSE(h.openClaims()); }, nullptr},
      {"a wild tile is never claimed, and old offers and answers go",
       [](HandState& h) {
         discarded(-1)(h);
         h.seats[2].offer = proto::kClaimPeng;
         h.seats[2].answer = proto::kClaimPeng;
       },
       [](HandState& h) { EXPECT_FALSE(h.openClaims()); },
       [](HandState& h) { h.seats[2].clearOffer(); }},
  };
  for (const auto& sc : cases) run(sc);
}

TEST(HandState, TheAnswersChooseHuThenPengOrKongThenChiNearestFirst) {
  struct Case {
    const char* name;
    int answers[4];
    int seat, kind;
  };
  const int hu = proto::kClaimHu, peng = proto::kClaimPeng, chi = proto::kClaimChi,
            kong = proto::kClaimExposedKong, pass = proto::kClaimPass;
  const Case cases[] = {
      {"hu beats peng", {0, pass, peng, hu}, 3, hu},
      {"the nearest hu after the discarder", {0, hu, 0, hu}, 1, hu},
      {"peng beats chi", {0, chi, peng, pass}, 2, peng},
      {"an exposed kong", {0, pass, kong, pass}, 2, kong},
      {"chi by the next seat", {0, chi, pass, pass}, 1, chi},
      {"everyone passes", {0, pass, pass, pass}, -1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HandState h = underWay();
    discarded(M(5))(h);
    for (int s = 1; s < 4; ++s) {
      h.seats[s].offer = c.answers[s] ? proto::kClaimPass | c.answers[s] : 0;
      h.seats[s].answer = c.answers[s];
    }
    HandState expected = h;
    const ClaimChoice choice = h.closeClaims();
    EXPECT_EQ(choice.seat, c.seat);
    EXPECT_EQ(choice.kind, c.kind);
    EXPECT_FALSE(choice.onKong);
    for (auto& s : expected.seats) s.offer = 0;
    EXPECT_EQ(h, expected);
  }
}

TEST(HandState, ClaimsLayMeldsAndAWinTakesTheDiscard) {
  const Scenario cases[] = {
      {"a chi takes two tiles and starts the lock at the next discard",
       [](HandState& h) {
         discarded(M(5))(h);
         h.seats[0].river = 1;
       },
       [](HandState& h) {
         const Meld m = h.claimMeld(2, proto::kClaimChi, M(3));
         EXPECT_EQ(m.kind, MeldKind::Chi);
       },
       [](HandState& h) {
         h.seats[0].river = 0;
         h.claimMade = true;
         --h.seats[2].hand.c[M(3)];
         --h.seats[2].hand.c[M(4)];
         h.seats[2].melds[0] = Meld{MeldKind::Chi, static_cast<std::uint8_t>(M(3)), 0};
         h.seats[2].meldCount = 1;
         h.seats[2].exposedCount = 1;
         h.seats[2].chiPending = true;
       }},
      {"a peng takes two",
       [](HandState& h) {
         discarded(M(5))(h);
         h.seats[0].river = 1;
       },
       [](HandState& h) { h.claimMeld(2, proto::kClaimPeng, -1); },
       [](HandState& h) {
         h.seats[0].river = 0;
         h.claimMade = true;
         h.seats[2].hand.c[M(5)] = 0;
         h.seats[2].melds[0] = Meld{MeldKind::Peng, static_cast<std::uint8_t>(M(5)), 0};
         h.seats[2].meldCount = 1;
         h.seats[2].exposedCount = 1;
       }},
      {"the third exposed set names its feeder (包胡)",
       [](HandState& h) {
         discarded(P(1))(h);
         h.seats[0].river = 1;
         h.seats[2].exposedCount = 2;
         h.seats[2].meldCount = 2;
       },
       [](HandState& h) { h.claimMeld(2, proto::kClaimExposedKong, -1); },
       [](HandState& h) {
         h.seats[0].river = 0;
         h.claimMade = true;
         h.seats[2].hand.c[P(1)] = 0;
         h.seats[2].melds[2] = Meld{MeldKind::ExposedKong, static_cast<std::uint8_t>(P(1)), 0};
         h.seats[2].meldCount = 3;
         h.seats[2].exposedCount = 3;
         h.seats[2].thirdMeldFrom = 0;
       }},
      {"a win on the discard takes it from the river",
       [](HandState& h) {
         discarded(B(9))(h);
         h.seats[0].river = 1;
       },
       [](HandState& h) { h.winOnDiscard(1); },
       [](HandState& h) {
         h.seats[0].river = 0;
         ++h.seats[1].hand.c[B(9)];
       }},
  };
  for (const auto& sc : cases) run(sc);
}

TEST(HandState, KongsSetAsideTilesAndARobbedKong) {
  const Scenario cases[] = {
      {"a concealed kong of four held tiles", [](HandState& h) { h.seats[2].hand.c[P(1)] = 4; },
       [](HandState& h) { EXPECT_TRUE(h.concealedKong(2, P(1))); },
       [](HandState& h) {
         h.seats[2].hand.c[P(1)] = 0;
         h.seats[2].melds[0] = Meld{MeldKind::ConcealedKong, static_cast<std::uint8_t>(P(1)), -1};
         h.seats[2].meldCount = 1;
       }},
      {"no concealed kong of three", nullptr,
       [](HandState& h) {
         EXPECT_FALSE(h.concealedKong(2, P(1)));
         EXPECT_FALSE(h.concealedKong(2, -1));
       },
       nullptr},
      {"a tile added to a peng makes it a kong",
       [](HandState& h) {
         h.seats[3].melds[0] = Meld{MeldKind::Peng, static_cast<std::uint8_t>(P(1)), 1};
         h.seats[3].meldCount = 1;
       },
       [](HandState& h) {
         EXPECT_EQ(h.pengOf(3, P(1)), 0);
         h.addToKong(3, P(1));
       },
       [](HandState& h) {
         h.seats[3].melds[0].kind = MeldKind::AddedKong;
         h.seats[3].hand.c[P(1)] = 0;
       }},
      {"a 中 is set aside", [](HandState& h) { h.seats[0].hand.c[4] = 1; },
       [](HandState& h) { EXPECT_EQ(h.setAside(0, 4), 4); },
       [](HandState& h) {
         h.seats[0].hand.c[4] = 0;
         h.seats[0].redAside = 1;
       }},
      {"a wild tile is set aside as the wild face", [](HandState& h) { h.seats[0].hand.wilds = 2; },
       [](HandState& h) { EXPECT_EQ(h.setAside(0, -1), kWhite); },
       [](HandState& h) {
         h.seats[0].hand.wilds = 1;
         h.seats[0].wildAside = 1;
       }},
      {"nothing else is set aside", nullptr,
       [](HandState& h) {
         EXPECT_EQ(h.setAside(0, 4), -1);
         EXPECT_EQ(h.setAside(0, -1), -1);
         EXPECT_EQ(h.setAside(0, kEast), -1);
       },
       nullptr},
      {"a tile being added to a kong is offered to the seat it lets win (抢杠)",
       [](HandState& h) {
         h.seats[0].melds[0] = Meld{MeldKind::Peng, static_cast<std::uint8_t>(B(9)), 3};
         h.seats[0].meldCount = 1;
         h.seats[0].hand.c[B(9)] = 1;
         h.seats[0].offer = proto::kClaimAddedKong | proto::kClaimPass;
       },
       [](HandState& h) { EXPECT_TRUE(h.offerRobbing(0, B(9))); },
       [](HandState& h) {
         h.seats[0].offer = 0;
         h.seats[1].offer = proto::kClaimHu | proto::kClaimPass;
         h.robbing = true;
         h.discarder = 0;
         h.discardFace = B(9);
       }},
      {"a tile nobody can win on is not offered",
       [](HandState& h) { h.seats[2].answer = proto::kClaimPass; },
       [](HandState& h) { EXPECT_FALSE(h.offerRobbing(0, M(1))); },
       [](HandState& h) { h.seats[2].answer = 0; }},
      {"the robbing seat takes the tile from the kong",
       [](HandState& h) {
         h.robbing = true;
         h.discarder = 0;
         h.discardFace = B(9);
         h.seats[0].hand.c[B(9)] = 1;
         h.seats[1].offer = proto::kClaimHu | proto::kClaimPass;
         h.seats[1].answer = proto::kClaimHu;
       },
       [](HandState& h) {
         const ClaimChoice c = h.closeClaims();
         EXPECT_TRUE(c.onKong);
         EXPECT_EQ(c.seat, 1);
         h.robKong(c.seat);
       },
       [](HandState& h) {
         h.robbing = false;
         h.seats[1].offer = 0;
         h.seats[0].hand.c[B(9)] = 0;
         ++h.seats[1].hand.c[B(9)];
         h.robbedWin = true;
       }},
  };
  for (const auto& sc : cases) run(sc);
}

TEST(HandState, TheTurnOfferFollowsTheDrawnTileAndTheLock) {
  struct Case {
    const char* name;
    std::function<void(HandState&)> setUp;
    int seat;
    bool afterDraw;
    int offer;
  };
  const int pass = proto::kClaimPass;
  const Case cases[] = {
      {"a claimed tile gives nothing but the discard", nullptr, 1, false, pass},
      {"a self-drawn win",
       [](HandState& h) {
         h.seats[1].hand.c[B(9)] = 2;
         h.seats[1].lastDrawn = B(9);
       },
       1, true, pass | proto::kClaimHu},
      {"four of a face: a concealed kong",
       [](HandState& h) {
         h.seats[2].hand.c[P(1)] = 4;
         h.seats[2].lastDrawn = P(1);
       },
       2, true, pass | proto::kClaimConcealedKong},
      {"a 中 or a wild tile: the set-aside bit",
       [](HandState& h) {
         h.seats[0].hand.c[4] = 1;
         h.seats[0].lastDrawn = 4;
       },
       0, true, pass | proto::kClaimAddedKong},
      {"locked: no kong and nothing set aside",
       [](HandState& h) {
         h.seats[2].hand.c[P(1)] = 4;
         h.seats[2].hand.wilds = 1;
         h.seats[2].lastDrawn = P(1);
         h.seats[2].locked = true;
       },
       2, true, pass},
      {"an empty wall: no kong",
       [](HandState& h) {
         h.seats[2].hand.c[P(1)] = 4;
         h.seats[2].lastDrawn = P(1);
         h.back = h.front;
       },
       2, true, pass},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HandState h = underWay();
    if (c.setUp) c.setUp(h);
    HandState expected = h;
    EXPECT_EQ(h.beginTurn(c.seat, c.afterDraw), c.offer);
    expected.turn = c.seat;
    expected.afterDraw = c.afterDraw;
    expected.seats[c.seat].offer = c.offer;
    EXPECT_EQ(h, expected);
  }
}

TEST(HandState, AHandBeginsOnTheTileTurnedUpAndEndsWithTheDealPassedOn) {
  const Scenario cases[] = {
      {"the last non-flower tile is turned up and names the wild face",
       [](HandState& h) {
         h.wall[143] = flower(1);
         h.wall[142] = static_cast<Tile>(B(9));
         h.wall[0] = flower(2);
       },
       [](HandState& h) { h.begin(); },
       [](HandState& h) {
         std::swap(h.wall[142], h.wall[143]);
         h.front = 0;
         h.back = kWallSize - 1;
         h.backTaken = 0;
         h.shownFace = B(9);
         h.wildFace = B(1);
         for (auto& s : h.seats) s = SeatHand{};
       }},
      {"the deal gives twelve tiles each, four at a time from the dealer",
       [](HandState& h) {
         h.begin();
         h.dealer = 2;
         for (int i = 0; i < 48; ++i) h.wall[i] = static_cast<Tile>(i % 4 == 0 ? M(1) : P(2));
       },
       [](HandState& h) {
         const auto dealt = h.dealTwelve();
         EXPECT_EQ(dealt[2][0], M(1));
       },
       [](HandState& h) {
         h.front = 48;
         for (auto& s : h.seats) {
           s.hand.c[M(1)] = 3;
           s.hand.c[P(2)] = 9;
           s.lastDrawn = P(2);
         }
       }},
      {"the dealer keeps the deal with a win", [](HandState& h) { h.dealer = 1; },
       [](HandState& h) { h.passDeal(1); }, [](HandState& h) { h.dealerStreak = 2; }},
      {"and after a drawn hand", nullptr, [](HandState& h) { h.passDeal(-1); },
       [](HandState& h) { h.dealerStreak = 2; }},
      {"another seat's win passes it on; the fourth pass turns the round wind",
       [](HandState& h) {
         h.dealer = 3;
         h.dealerStreak = 4;
         h.dealerPasses = 3;
       },
       [](HandState& h) { h.passDeal(1); },
       [](HandState& h) {
         h.dealer = 0;
         h.dealerStreak = 1;
         h.dealerPasses = 4;
         h.roundWind = 1;
       }},
  };
  for (const auto& sc : cases) run(sc);
}

TEST(HandState, CoinsGoFromTheDiscarderOrEveryoneOrTheLiableSeat) {
  struct Case {
    const char* name;
    bool selfDrawn;
    int thirdMeldFrom;
  };
  const Case cases[] = {
      {"a win on a discard: the discarder pays", false, -1},
      {"a self-drawn win: the three others pay", true, -1},
      {"包胡: the feeder of the third set pays it all", true, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HandState h = underWay();
    h.discarder = 3;
    h.discardFace = B(9);
    h.seats[1].hand.c[B(9)] = 2;
    if (c.thirdMeldFrom >= 0) {
      h.seats[1].exposedCount = 3;
      h.seats[1].thirdMeldFrom = c.thirdMeldFrom;
    }
    const HandState before = h;
    const Settlement st = h.settle(1, c.selfDrawn, B(9), 10);
    EXPECT_EQ(h, before);  // settling changes nothing
    ASSERT_GT(st.score.total, 0);
    const std::int64_t share = std::int64_t{st.score.total} * 10;
    std::int64_t want[4] = {0, 0, 0, 0};
    if (c.thirdMeldFrom >= 0) {
      want[c.thirdMeldFrom] = -3 * share;
      EXPECT_EQ(st.liable, c.thirdMeldFrom);
    } else if (c.selfDrawn) {
      want[0] = want[2] = want[3] = -share;
    } else {
      want[3] = -share;
    }
    want[1] = -(want[0] + want[2] + want[3]);
    for (int s = 0; s < 4; ++s) EXPECT_EQ(st.results[s], want[s]) << "seat " << s;
  }
  HandState drawn = underWay();
  const Settlement none = drawn.settle(-1, false, -1, 10);
  for (int s = 0; s < 4; ++s) EXPECT_EQ(none.results[s], 0);
}

}  // namespace
}  // namespace test
}  // namespace tavren::server
