// Auto-play: the default move and the unattended move with its evaluator.
#include "autoplay/autoplay.h"

#include <gtest/gtest.h>

#include "support/play_table.h"
#include "rules/offer.h"

namespace tavren {
namespace {

using testing::Honour;
using testing::PlayTable;
using testing::PumpTable;
using testing::Req;
using testing::Request;
using testing::Tiao;
using testing::Tong;
using testing::Wan;

void Hand(PlayTable& t, const std::vector<int>& codes) {
  t.stand({});
  HandRecord& h = t.own();
  for (std::size_t i = 0; i < codes.size(); ++i)
    h.mj[h.first + i] = {kSlotStanding, static_cast<std::int16_t>(codes[i]),
                         static_cast<std::int16_t>(40 + i)};
  h.count = static_cast<std::int16_t>(codes.size());
}

TEST(Evaluator, SuitScoresOfSmallHands) {
  struct Case {
    std::vector<int> hand;
    int mode, tile, score;
  };
  const Case cases[] = {
      {{Tong(9)}, 0, Tong(1), -45},       // −60 + 4 − 4, then 15 for the tile itself
      {{Honour(1)}, 0, Honour(1), -100},  // a lone honour
      {{Honour(1), Honour(1)}, 0, Honour(1), -30},
      {{Honour(1), Honour(1), Honour(1)}, 0, Honour(1), 1150},  // a triplet: +1000, 50 per tile
      {{Honour(1), Honour(1), Honour(1)}, 4, Honour(1), 150},   // without the meld bonus
      {{Tiao(1), Tiao(2), Tiao(3)}, 0, Tiao(5), 1000 + 0},
      {{Wan(5), Wan(5)}, 0, Wan(5), 28},   // a pair of fives among the suited pairs
      {{Wan(5), Wan(5)}, 1, Wan(5), -23},  // one of them taken out
      {{Wan(3), Wan(4)}, 0, Wan(5), -59},
      {{Tong(9)}, 1, Tong(9), 0},  // nothing left
  };
  for (const Case& k : cases) {
    PlayTable t;
    Hand(t, k.hand);
    LoadTileCounts(t.c);
    EXPECT_EQ(EvaluateSuit(t.c, k.mode, k.tile), k.score)
        << std::hex << k.hand[0] << " mode " << k.mode;
  }
}

TEST(Evaluator, SeenTilesLowerTheScore) {
  PlayTable t;
  Hand(t, {Tong(9)});
  t.c.table.SeenCount[3][9] = 2;
  LoadTileCounts(t.c);
  EXPECT_EQ(EvaluateSuit(t.c, 0, Tong(9)), -49);
}

TEST(ChooseDiscard, TheLoneHonourGoesBeforeTheLoneNine) {
  PlayTable t;
  Hand(t, {Tiao(1), Tiao(2), Tiao(3), Wan(4), Wan(5), Wan(6), Honour(1), Tong(9)});
  EXPECT_EQ(ChooseDiscard(t.c), Honour(1));
  Hand(t, {Tong(9), Tiao(1), Tiao(2), Tiao(3), Wan(4), Wan(5), Wan(6), Honour(1)});
  EXPECT_EQ(ChooseDiscard(t.c), Honour(1));
}

TEST(ChooseDiscard, ATieKeepsTheEarlierSlot) {
  PlayTable t;
  Hand(t, {Honour(2), Honour(1), Wan(1), Wan(2), Wan(3)});
  EXPECT_EQ(ChooseDiscard(t.c), Honour(2));
  Hand(t, {Honour(1), Honour(2), Wan(1), Wan(2), Wan(3)});
  EXPECT_EQ(ChooseDiscard(t.c), Honour(1));
}

TEST(ShouldClaim, PengOnlyWhenTheMeldGainsMoreThan150) {
  struct Case {
    std::vector<int> hand;
    bool claim;
  };
  const Case cases[] = {
      {{Wan(5), Wan(5), Honour(1), Honour(2)}, true},  // 1000 − 28
      {{Wan(5), Wan(5), Wan(5), Honour(1)}, false},    // a triplet is kept for a kong
      {{Wan(5), 5, Honour(1), Honour(2)}, false},      // one plain tile and a wild one
      {{Wan(4), Wan(6), Honour(1), Honour(2)}, false},
  };
  for (const Case& k : cases) {
    PlayTable t;
    Hand(t, k.hand);
    EXPECT_EQ(ShouldClaim(t.c, 2, Wan(5)), k.claim) << k.hand.size();
    if (k.claim) {
      EXPECT_EQ(t.c.autoplay.AiTileA, Wan(5));
    }
  }
}

TEST(ShouldClaim, ChiPicksTheBestPairAndNamesItsSlots) {
  PlayTable t;
  Hand(t, {Honour(1), Wan(3), Wan(4), Tiao(9)});
  EXPECT_TRUE(ShouldClaim(t.c, 1, Wan(5)));
  EXPECT_EQ(t.c.autoplay.AiTileA, 5);
  EXPECT_EQ(t.c.autoplay.AiTileB, 6);

  PlayTable u;
  Hand(u, {Wan(1), Wan(9), Tiao(9)});
  EXPECT_FALSE(ShouldClaim(u.c, 1, Wan(5)));
}

TEST(ShouldKong, WhenTheWholeHandScoresAtLeastMinus99) {
  PlayTable t;
  Hand(t, {Wan(2), Wan(2), Wan(2), Wan(2), Tiao(1), Tiao(2), Tiao(3)});
  EXPECT_TRUE(ShouldKong(t.c));
  Hand(t, {Wan(2), Wan(2), Wan(2), Wan(2), Honour(1), Honour(2), Honour(3)});
  EXPECT_FALSE(ShouldKong(t.c));
}

TEST(TimeoutMove, ARunOutCountdownPassesAndDiscardsTheDrawnTile) {
  for (int count : {13, 14}) {
    PumpTable t;
    std::vector<int> codes;
    for (int i = 0; i < count; ++i) codes.push_back(Wan(1 + i % 9));
    t.hand(codes);
    t.onShow(Wan(1));
    t.offer(1 + 8);
    t.Run(10000);
    std::vector<Request> want = {Req(7, 1)};
    if (count == 14) want.push_back(Req(2, 0, 0, 0, 0x4000 | codes.back()));
    EXPECT_EQ(t.take(), want) << count;
    EXPECT_EQ(t.own().count, 13);
    EXPECT_EQ(t.c.offer.ActionPhase, 3);
    EXPECT_FALSE(t.op(1).visible);
    EXPECT_EQ(t.c.link.TimeoutCount, 1);
    t.Run(20000);
    EXPECT_TRUE(t.take().empty());
  }
}

TEST(TimeoutMove, TheLimitOfRunOutCountdownsMakesEveryLaterOfferAnsweredAtOnce) {
  PumpTable t;
  t.c.link.AutoPlayAfter = 1;
  t.hand({Wan(1), Wan(2), Wan(3), Wan(4)});
  t.onShow(Wan(4));
  t.offer(1 + 8);
  t.Run(10000);
  EXPECT_EQ(t.take(), (std::vector<Request>{Req(7, 1)}));
  EXPECT_TRUE(t.c.link.BossMode);
  EXPECT_EQ(t.c.offer.TurnTime, 0);
  t.offer(1 + 8);
  t.Run(1100);
  EXPECT_EQ(t.take(), (std::vector<Request>{Req(7, 1)}));
  EXPECT_EQ(t.c.link.TimeoutCount, 1);  // not counted while playing alone
}

TEST(AutoPlayMove, UnattendedPlayClaimsWhatPaysAndDiscardsByTheEvaluator) {
  struct Case {
    const char* what;
    int mask;
    std::vector<int> hand;
    int discard;
    std::vector<Request> want;
  };
  const int w5 = 0x2000 | Wan(5);
  const Case cases[] = {
      {"hu is always taken", 1 + 8 + 128, {Wan(5), Wan(5), Wan(6), Wan(7)}, Wan(5), {Req(7, 128)}},
      {"peng", 1 + 8, {Wan(5), Wan(5), Honour(1), Honour(2)}, Wan(5), {Req(7, 8, w5, w5, w5)}},
      {"chi",
       1 + 4,
       {Honour(1), Wan(3), Wan(4), Tiao(9)},
       Wan(5),
       {Req(7, 4, 0x2000 | Wan(3), 0x2000 | Wan(4), w5)}},
      {"nothing worth it", 1 + 8, {Wan(5), Wan(5), Wan(5), Honour(1)}, Wan(5), {Req(7, 1)}},
      {"own turn: the evaluator's discard",
       1,
       {Tiao(1), Tiao(2), Tiao(3), Wan(4), Wan(5), Wan(6), Honour(1), Tong(9)},
       0,
       {Req(7, 1), Req(2, 0, 0, 0, 0x4000 | Honour(1))}},
  };
  for (const Case& k : cases) {
    PumpTable t;
    t.c.shell.UnattendedMode = true;
    t.c.offer.TurnTime = 1;
    t.own().meldCursor = 3;
    t.hand(k.hand);
    if (k.discard) t.onShow(k.discard);
    t.offer(k.mask);
    t.Run(2100);
    EXPECT_EQ(t.take(), k.want) << k.what;
    EXPECT_EQ(t.c.log.count("AutoPlayMove"), 1) << k.what;
  }
}

TEST(AutoPlayMove, AWinOnADiscardBringsTheDiscardToTheEndOfTheRow) {
  PumpTable t;
  t.c.shell.UnattendedMode = true;
  t.c.offer.TurnTime = 1;
  t.hand({Wan(5), Wan(5), Wan(6), Wan(7)});
  t.onShow(Wan(5), 100);
  t.offer(1 + 128);
  t.Run(2100);
  const Control& d = t.tile(100);
  EXPECT_EQ(d.x, t.tile(43).x + 48);
  EXPECT_EQ(d.y, t.own().handY);
  EXPECT_EQ(d.w, 48);
  EXPECT_EQ(d.h, 78);
}

TEST(AutoPlayMove, ALockedHandWithoutAWinGetsTheDefaultMove) {
  PumpTable t;
  t.c.shell.UnattendedMode = true;
  t.c.offer.TurnTime = 1;
  t.c.offer.ChiDone = t.c.offer.TingLock = true;
  t.hand({Wan(5), Wan(5), Honour(1), Honour(2)});
  t.onShow(Wan(5));
  t.offer(1 + 8);
  // Answered at once by the lock, before any countdown.
  t.Run(200);
  EXPECT_EQ(t.take(), (std::vector<Request>{Req(7, 1)}));
  EXPECT_EQ(t.c.log.count("AutoPlayMove"), 0);
}

}  // namespace
}  // namespace tavren
