// Offers from the server (instruction 6), the chi and kong candidates formed
// from the standing hand, and the 吃牌上听 lock.
#include "rules/offer.h"

#include <gtest/gtest.h>

#include "rules/sort_hand.h"
#include "support/play_table.h"

namespace tavren {
namespace {

using testing::Honour;
using testing::PlayTable;
using testing::Req;
using testing::Request;
using testing::Tiao;
using testing::Tong;
using testing::Wan;

TEST(ClaimOffer, EnablesExactlyTheOfferedButtonsAndStartsTheTurnClock) {
  struct Case {
    int mask;
    std::array<int, 5> state;  // chi, peng, kong, hu, pass
    bool hu;
  };
  const Case cases[] = {
      {1 + 128, {0, 0, 0, 2, 2}, true}, {1 + 4, {2, 0, 0, 0, 2}, false},
      {1 + 8, {0, 2, 0, 0, 2}, false},  {1 + 16 + 32, {0, 0, 2, 0, 2}, false},
      {64, {0, 0, 2, 0, 0}, false},     {2, {0, 0, 0, 0, 0}, false},
  };
  for (const Case& k : cases) {
    PlayTable t;
    t.stand({Wan(1), Wan(2), Wan(3), Wan(4)});
    t.offer(k.mask);
    for (int i = 0; i < 5; ++i) {
      const bool on = k.state[static_cast<std::size_t>(i)] == 2;
      EXPECT_EQ(t.c.offer.OfferState[static_cast<std::size_t>(i)],
                k.state[static_cast<std::size_t>(i)])
          << k.mask << " button " << i;
      EXPECT_TRUE(t.op(i).visible) << k.mask << " button " << i;
      EXPECT_EQ(t.op(i).enabled, on) << k.mask << " button " << i;
      EXPECT_EQ(t.op(i).picture, on ? t.offeredPic(i) : t.spentPic(i)) << k.mask << " button " << i;
    }
    EXPECT_EQ(t.c.offer.HuOffered, k.hu) << k.mask;
    EXPECT_EQ(t.c.offer.OfferMask, k.mask);
    EXPECT_EQ(t.c.offer.ActionPhase, 0);
    EXPECT_FALSE(t.c.offer.ClaimSent);
    EXPECT_EQ(t.c.offer.Countdown, 8);
    EXPECT_TRUE(t.c.link.TurnClockOn);
    EXPECT_TRUE(t.c.view.Number.visible);
    EXPECT_TRUE(t.c.view.Time_Img.visible);
    EXPECT_EQ(t.c.view.Number.caption, "8");
    EXPECT_EQ(t.c.view.Number.color, kGreen);
    EXPECT_TRUE(t.sent().empty());
  }
}

TEST(ClaimOffer, AnOfferForAnotherSeatOrWithoutAHandShowsNothing) {
  PlayTable t;
  t.stand({Wan(1), Wan(2), Wan(3), Wan(4)});
  t.offer(1 + 8, 2);
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(t.op(i).visible);
  EXPECT_FALSE(t.c.link.TurnClockOn);

  PlayTable empty;
  empty.offer(1 + 8);
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(empty.op(i).visible);
  EXPECT_EQ(empty.c.offer.OfferState[1], 2);
  EXPECT_FALSE(empty.c.link.TurnClockOn);
}

TEST(ClaimOffer, AnOfferOnTheUsersOwnTurnLetsTheUserDiscard) {
  for (int count : {13, 14, 11, 10, 2}) {
    PlayTable t;
    std::vector<int> codes;
    t.stand({});
    HandRecord& h = t.own();
    for (int k = 0; k < count; ++k)
      h.mj[static_cast<std::size_t>(h.first + k)] = {kSlotStanding,
                                                     static_cast<std::int16_t>(Wan(1 + k % 9)),
                                                     static_cast<std::int16_t>(40 + k)};
    h.count = static_cast<std::int16_t>(count);
    t.offer(1);
    EXPECT_EQ(t.c.offer.MayDiscard, (count - 2) % 3 == 0) << count;
  }
}

TEST(SortHand, HigherSuitBitFirstAndLowerRankFirst) {
  PlayTable t;
  t.stand({Tiao(5), Wan(1), Honour(1), Tong(3), Wan(9), 5});
  SortHand(t.c, 0, 6);
  EXPECT_EQ(t.codes(), (std::vector<int>{Tong(3), Wan(1), Wan(9), Tiao(5), Honour(1), 5}));
  // The controls stay with their slots and show the new faces.
  EXPECT_EQ(t.own().mj[4].ind, 40);
  EXPECT_EQ(t.tile(40).picture, t.c.view.pics.TilePics[144 + 27 + 2]);
}

TEST(ChiChoices, PairsInTheirOrderUsingTheLastCopyOfARank) {
  struct Case {
    std::vector<int> hand;
    int discard;
    std::vector<int> pairs;  // standing slots
  };
  // Slots start at 4; the hand is sorted before the scan.
  const Case cases[] = {
      {{Wan(1), Wan(2), Wan(4), Wan(5)}, Wan(3), {4, 5, 5, 6, 6, 7}},
      {{Tong(2), Tong(3), Tong(7)}, Tong(1), {4, 5}},
      {{Wan(2), Wan(2), Wan(4), Tiao(1)}, Wan(3), {5, 6}},
      {{Tiao(7), Tiao(8), Wan(7)}, Tiao(9), {5, 6}},
      {{5, 5, Honour(1)}, Wan(3), {}},  // wild tiles never form a chi
      {{Wan(1), Wan(9)}, Wan(5), {}},
  };
  for (const Case& k : cases) {
    PlayTable t;
    t.own().meldCursor = 3;
    std::vector<int> hand = k.hand;
    t.stand({});
    HandRecord& h = t.own();
    for (std::size_t i = 0; i < hand.size(); ++i)
      h.mj[h.first + i] = {kSlotStanding, static_cast<std::int16_t>(hand[i]),
                           static_cast<std::int16_t>(40 + i)};
    h.count = static_cast<std::int16_t>(hand.size());
    t.onShow(k.discard);
    FindChiChoices(t.c, k.discard);
    std::vector<int> got(t.c.offer.ChiChoice.begin(),
                         t.c.offer.ChiChoice.begin() + t.c.offer.ChiCount);
    EXPECT_EQ(got, k.pairs) << std::hex << k.discard;
  }
}

TEST(ChiChoices, SeveralPairsAreShownAsPicturesOverTheButtons) {
  PlayTable t;
  t.own().meldCursor = 3;
  t.stand({Wan(1), Wan(2), Wan(4), Wan(5)});
  t.onShow(Wan(3));
  t.offer(1 + 4);
  FindChiChoices(t.c, Wan(3));
  for (int v = 0; v < 6; ++v) {
    const Control& k = t.c.view.Chi[static_cast<std::size_t>(v)];
    EXPECT_TRUE(k.visible && k.enabled) << v;
    const int slot = t.c.offer.ChiChoice[static_cast<std::size_t>(v)];
    const int code = t.own().mj[static_cast<std::size_t>(slot)].value;
    EXPECT_EQ(k.picture, t.c.view.pics.TilePics[static_cast<std::size_t>(144 + FaceIndex(code))])
        << v;
    EXPECT_EQ(k.y, t.op(0).y);
    EXPECT_EQ(k.w, static_cast<int>(48 * 0.8));
  }
  for (int i = 1; i < 5; ++i) EXPECT_FALSE(t.op(i).visible);
  EXPECT_TRUE(t.sent().empty());
}

TEST(ChiChoices, ASinglePairIsSentWithTheDiscardAndLeftForTheMeld) {
  PlayTable t;
  t.own().meldCursor = 3;
  t.stand({Tiao(7), Tiao(8), Wan(1)});
  t.onShow(Tiao(9), 100);
  FindChiChoices(t.c, Tiao(9));
  // The hand sorted: 1萬 7条 8条.
  EXPECT_EQ(
      t.sent(),
      (std::vector<Request>{Req(7, 4, 0x2000 | Tiao(7), 0x2000 | Tiao(8), 0x2000 | Tiao(9))}));
  EXPECT_TRUE(t.c.offer.ClaimSent);
  EXPECT_FALSE(t.op(0).visible);
  EXPECT_FALSE(t.c.view.Chi[0].visible);
  // The provisional meld: the chosen pair and the discard.
  const HandRecord& h = t.own();
  EXPECT_EQ(h.mj[1].value, Tiao(7));
  EXPECT_EQ(h.mj[2].value, Tiao(8));
  EXPECT_EQ(h.mj[3].value, Tiao(9));
  EXPECT_EQ(h.mj[3].ind, 100);
  for (int k = 1; k <= 3; ++k) EXPECT_EQ(h.mj[static_cast<std::size_t>(k)].typ, kSlotChi);
  EXPECT_EQ(h.count, 3);  // the standing hand is left for the server's meld
}

TEST(KongChoices, CandidatesByKindAndWhatHappensWithThem) {
  struct Case {
    int mask;
    std::vector<int> hand;
    int discard;
    std::int16_t phase;
    std::vector<int> slots;
    std::vector<Request> sent;
    bool pictures;
  };
  const int k9 = 0x2000 | Tong(9), k2 = 0x2000 | Wan(2), kRed = 0x2000 | Honour(5);
  // Where the sorted rows put 中 and the wild tile (the row starts at slot 4).
  const int kRedSlot = 6, kWildSlot = 6, kRedSlot2 = 5;
  const Case cases[] = {
      // Exposed and concealed together: two candidates, two pictures.
      {16 + 32,
       {Tong(9), Tong(9), Tong(9), Wan(2), Wan(2), Wan(2), Wan(2)},
       Tong(9),
       0,
       {4, 7},
       {},
       true},
      // One candidate goes out at once.
      {16, {Tong(9), Tong(9), Tong(9), Wan(1)}, Tong(9), 0, {4}, {Req(7, 16, k9, k9, k9)}, false},
      {32, {Wan(2), Wan(2), Wan(2), Wan(2), Tiao(1)}, 0, 0, {4}, {Req(7, 32, k2, k2, k2)}, false},
      // After a run-out countdown the first of several goes out.
      {16 + 32,
       {Tong(9), Tong(9), Tong(9), Wan(2), Wan(2), Wan(2), Wan(2)},
       Tong(9),
       3,
       {4, 7},
       {Req(7, 16, k9, k9, k9)},
       false},
      // Nothing matches: nothing is shown or sent.
      {16, {Tong(9), Tong(8), Tong(9)}, Tong(9), 0, {}, {}, false},
      // The added-kong offer sets a 中 or a wild tile aside: alone it goes at
      // once, together they are two pictures.
      {64, {Wan(1), Honour(5), Tiao(3)}, 0, 0, {kRedSlot}, {Req(7, 64, 0, 0, kRed)}, false},
      {64, {Wan(1), 5, Tiao(3)}, 0, 0, {kWildSlot}, {Req(7, 64, 0, 0, 0x2000 | 5)}, false},
      {64, {Wan(1), 5, Honour(5)}, 0, 0, {kRedSlot2, kWildSlot}, {}, true},
  };
  for (const Case& k : cases) {
    PlayTable t;
    t.own().meldCursor = 3;
    t.stand({});
    HandRecord& h = t.own();
    for (std::size_t i = 0; i < k.hand.size(); ++i)
      h.mj[h.first + i] = {kSlotStanding, static_cast<std::int16_t>(k.hand[i]),
                           static_cast<std::int16_t>(40 + i)};
    h.count = static_cast<std::int16_t>(k.hand.size());
    SortHand(t.c, 0, h.count);
    if (k.discard) t.onShow(k.discard);
    t.offer(1 + k.mask);
    t.c.offer.ActionPhase = k.phase;
    FindKongChoices(t.c);
    std::vector<int> got(t.c.offer.KongChoice.begin(),
                         t.c.offer.KongChoice.begin() + t.c.offer.KongCount);
    EXPECT_EQ(got, k.slots) << k.mask;
    EXPECT_EQ(t.sent(), k.sent) << k.mask;
    EXPECT_EQ(t.c.view.Gang[0].visible, k.pictures) << k.mask;
    EXPECT_EQ(t.c.view.Gang[1].visible, k.pictures) << k.mask;
    if (k.pictures) {
      EXPECT_EQ(t.c.offer.Countdown, 4);  // half the turn time
      EXPECT_EQ(t.c.view.Gang[0].x, t.op(3).x);
      EXPECT_GT(t.c.view.Gang[1].y, t.c.view.Gang[0].y);
      EXPECT_FALSE(t.op(0).visible);
      EXPECT_FALSE(t.op(4).visible);
    }
  }
}

TEST(KongChoices, AnAddedKongJoinsThePengAndSendsOnlyTheTile) {
  PlayTable t;
  HandRecord& h = t.own();
  // A peng of 東 in slots 1..3; the standing row follows from slot 7.
  for (int k = 1; k <= 3; ++k)
    h.mj[static_cast<std::size_t>(k)] = {kSlotPeng, static_cast<std::int16_t>(Honour(1)), -1};
  h.meldCursor = 6;
  h.first = 7;
  t.stand({Wan(1), Honour(1)});
  t.offer(1 + 64);
  FindKongChoices(t.c);
  EXPECT_EQ(t.sent(), (std::vector<Request>{Req(7, 64, 0, 0, 0x2000 | Honour(1))}));
  EXPECT_EQ(t.c.offer.KongChoice[0], 8);
  EXPECT_EQ(h.mj[4].typ, kSlotAddedKong);
  EXPECT_EQ(h.mj[4].value, Honour(1));
}

TEST(KongChoices, ARedDragonThatJoinsItsPengIsOneCandidate) {
  PlayTable t;
  HandRecord& h = t.own();
  for (int k = 1; k <= 3; ++k)
    h.mj[static_cast<std::size_t>(k)] = {kSlotPeng, static_cast<std::int16_t>(Honour(5)), -1};
  h.meldCursor = 6;
  h.first = 7;
  t.stand({Wan(1), Honour(5)});
  t.offer(1 + 64);
  FindKongChoices(t.c);
  EXPECT_EQ(t.c.offer.KongCount, 1);
  EXPECT_EQ(t.sent(), (std::vector<Request>{Req(7, 64, 0, 0, 0x2000 | Honour(5))}));
  EXPECT_EQ(h.mj[4].typ, kSlotAddedKong);
}

TEST(KongChoices, AutoPlayRefusesToGiveAwayALoneWildTile) {
  struct Case {
    std::vector<int> hand;
    int mask;
    bool lone;
  };
  const Case cases[] = {
      {{Wan(1), Wan(2), Wan(3), Tiao(4), Tiao(5), 5}, 64, true},
      {{Wan(1), Wan(2), Wan(3), Tiao(4), 5, 5}, 64, false},           // two wild tiles
      {{Wan(1), Wan(2), Honour(5), Tiao(4), Tiao(5), 5}, 64, false},  // 中 comes first
      {{Wan(1), Wan(2), Wan(3), Tiao(4), 5}, 64, false},              // fewer than six tiles
      {{Wan(1), Wan(2), Wan(3), Tiao(4), Tiao(5), 5}, 32, false},
  };
  for (const Case& k : cases) {
    PlayTable t;
    t.stand({});
    HandRecord& h = t.own();
    for (std::size_t i = 0; i < k.hand.size(); ++i)
      h.mj[h.first + i] = {kSlotStanding, static_cast<std::int16_t>(k.hand[i]),
                           static_cast<std::int16_t>(40 + i)};
    h.count = static_cast<std::int16_t>(k.hand.size());
    t.c.offer.OfferMask = static_cast<std::int16_t>(k.mask);
    EXPECT_EQ(FindKongChoicesAuto(t.c), k.lone) << k.hand.size() << " " << k.mask;
  }
}

TEST(TingLock, ALockedHandPassesEveryOfferButAWin) {
  PlayTable t;
  t.stand({Wan(1), Wan(2), Wan(3), Wan(4)});
  t.c.offer.ChiDone = true;
  t.c.offer.TingLock = true;
  t.onShow(Wan(4));
  t.offer(1 + 8);
  EXPECT_EQ(t.sent(), (std::vector<Request>{Req(7, 1)}));
  EXPECT_FALSE(t.c.link.TurnClockOn);
  EXPECT_FALSE(t.c.view.Number.visible);
  EXPECT_FALSE(t.op(1).visible);

  t.offer(1 + 128);
  EXPECT_TRUE(t.sent().empty());
  EXPECT_TRUE(t.c.link.TurnClockOn);
  EXPECT_TRUE(t.op(3).visible && t.op(3).enabled);
}

TEST(TingLock, ALockedHandDiscardsTheDrawnTileOnASelfDrawnOffer) {
  PlayTable t;
  t.stand({Wan(1), Wan(2), Wan(3), Wan(4), Tiao(9)});
  t.c.offer.ChiDone = true;
  t.c.offer.TingLock = true;
  t.offer(1 + 32);
  EXPECT_EQ(t.sent(), (std::vector<Request>{Req(7, 1), Req(2, 0, 0, 0, 0x4000 | Tiao(9))}));
  EXPECT_FALSE(t.c.offer.MayDiscard);
  EXPECT_EQ(t.own().count, 4);
  EXPECT_EQ(t.c.table.LastDiscardInd, 44);
}

TEST(StandingLookup, FindsOnlyStandingSlotsOfTheUser) {
  PlayTable t;
  t.stand({Wan(1), Wan(2), Wan(3)}, 60);
  t.own().mj[1] = {kSlotChi, static_cast<std::int16_t>(Wan(5)), 90};
  EXPECT_TRUE(HoldsTileInd(t.c, 61));
  EXPECT_EQ(SlotOfTileInd(t.c, 61), 5);
  EXPECT_EQ(SlotOfTileInd(t.c, 62), 6);
  EXPECT_FALSE(HoldsTileInd(t.c, 90));
  EXPECT_EQ(SlotOfTileInd(t.c, 63), -1);
  EXPECT_EQ(SlotOfTileInd(t.c, -1), -1);
}

}  // namespace
}  // namespace tavren
