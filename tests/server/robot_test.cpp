// A robot's move at the table, read from its seat's part of the hand: what it
// does on its turn and how it answers a claim offer.
#include "engine/robot.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "protocol/tavren_protocol.h"

namespace tavren::server::test {
namespace {

namespace proto = tavren::protocol;

constexpr int kEast = 0, kSouth = 1, kNorth = 3;
constexpr int B(int rank) {
  return faceOf(1, rank);
}
constexpr int M(int rank) {
  return faceOf(2, rank);
}
constexpr int P(int rank) {
  return faceOf(3, rank);
}

SeatHand seatWith(std::initializer_list<int> faces, int offer, int lastDrawn) {
  SeatHand s;
  for (int f : faces) ++s.hand.c[f];
  s.offer = offer;
  s.lastDrawn = lastDrawn;
  return s;
}

TEST(Robot, OnItsTurnWinsThenKongsThenSetsAsideALone中ThenDiscards) {
  const int pass = proto::kClaimPass;
  const int kongs = proto::kClaimConcealedKong | proto::kClaimAddedKong;
  struct Case {
    const char* name;
    SeatHand seat;
    bool afterDraw;
    robot::TurnMove want;
  };
  Case cases[] = {
      {"hu whenever offered",
       seatWith(
           {B(1), B(1), B(1), B(2), B(3), B(4), B(5), B(6), B(7), B(8), B(8), B(8), B(9), B(9)},
           pass | proto::kClaimHu | kongs, B(9)),
       true,
       {proto::kClaimHu, B(9)}},
      {"a concealed kong of four held tiles",
       seatWith({P(1), P(1), P(1), P(1), M(3), M(4), M(5), B(2), B(3), B(4), kEast, kEast, kNorth,
                 kSouth},
                pass | kongs, P(1)),
       true,
       {proto::kClaimConcealedKong, P(1)}},
      {"a lone 中 goes aside",
       seatWith(
           {4, M(3), M(4), M(5), B(2), B(3), B(4), kEast, kEast, kNorth, kSouth, P(1), P(2), P(3)},
           pass | proto::kClaimAddedKong, 4),
       true,
       {proto::kClaimAddedKong, 4}},
  };
  // An added kong: the tile of a peng the seat holds.
  Case added{"a tile added to its peng",
             seatWith({P(7), M(3), M(4), M(5), B(2), B(3), B(4), kEast, kEast, kNorth, kSouth},
                      pass | proto::kClaimAddedKong, P(7)),
             true,
             {proto::kClaimAddedKong, P(7)}};
  added.seat.melds[0] = Meld{MeldKind::Peng, static_cast<std::uint8_t>(P(7)), 1};
  added.seat.meldCount = 1;
  for (const Case* c : {&cases[0], &cases[1], &cases[2], &added}) {
    SCOPED_TRACE(c->name);
    const robot::TurnMove move = robot::chooseTurnMove(c->seat, c->afterDraw);
    EXPECT_EQ(move.kind, c->want.kind);
    EXPECT_EQ(move.face, c->want.face);
  }
}

TEST(Robot, DiscardsWhatTheLockAllowsOrWhatLeavesTheHandClosest) {
  const SeatHand free = seatWith(
      {P(1), P(1), P(1), P(1), M(3), M(4), M(5), B(2), B(3), B(4), kEast, kEast, kNorth, kSouth},
      proto::kClaimPass | proto::kClaimConcealedKong, M(5));
  // After a claim there is no kong: the best discard.
  const robot::TurnMove afterClaim = robot::chooseTurnMove(free, false);
  EXPECT_EQ(afterClaim.kind, 0);
  EXPECT_EQ(afterClaim.face, robot::chooseDiscard(free.hand, false));
  EXPECT_TRUE(afterClaim.face == kNorth || afterClaim.face == kSouth) << afterClaim.face;
  // Locked (吃牌上听): the tile just drawn, whatever the hand would rather throw.
  SeatHand locked = free;
  locked.locked = true;
  const robot::TurnMove move = robot::chooseTurnMove(locked, true);
  EXPECT_EQ(move.kind, 0);
  EXPECT_EQ(move.face, M(5));
}

TEST(Robot, AnswersAnOfferWithHuKongPengOrAChiThatKeepsItReady) {
  const int pass = proto::kClaimPass;
  struct Case {
    const char* name;
    SeatHand seat;
    int face;
    int answer;
    int chiLow;
  };
  const Case cases[] = {
      {"hu whenever offered",
       seatWith({M(5), M(5)}, pass | proto::kClaimHu | proto::kClaimPeng, -1), M(5),
       proto::kClaimHu, -1},
      {"a peng of a pair of winds among runs",
       seatWith({kEast, kEast, M(3), M(4), M(5), B(2), B(3), B(4), P(1), P(2), P(3), kNorth, M(9)},
                pass | proto::kClaimPeng, -1),
       kEast, proto::kClaimPeng, -1},
      {"a chi that keeps the hand ready",
       seatWith({M(3), M(4), P(1), P(2), P(3), P(4), P(5), P(6), B(2), B(3), B(4), kSouth, kNorth},
                pass | proto::kClaimChi, -1),
       M(5), proto::kClaimChi, M(3)},
      {"pass when only the pass is offered", seatWith({M(5), M(5)}, pass, -1), M(5), pass, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int chiLow = -1;
    EXPECT_EQ(robot::chooseAnswer(c.seat, c.face, &chiLow), c.answer);
    EXPECT_EQ(chiLow, c.chiLow);
  }
}

}  // namespace
}  // namespace tavren::server::test
