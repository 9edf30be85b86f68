// Names, the new hand with its dice and wall ends, the 叫头 call and flowers.
#include "table/hand_setup.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/play_fixture.h"
#include "view/motion.h"
#include "view/seats.h"

namespace tavren {
namespace {

namespace p = protocol;
using testing::Play;
using testing::ServerFrame;

TEST(NewHand, WallEndsFollowTheDealerAndTheDice) {
  struct Case {
    int dealerSide;
    int d1, d2, d3, d4;
    int point, first;
  } cases[] = {
      {0, 6, 6, 1, 1, 6, 3},      // (0 + 11 − 12) mod 4 = 3: 3 × (36 + 14) mod 144
      {0, 1, 1, 1, 1, 48, 45},    // 3 × (12 × 1 + 4)
      {2, 3, 4, 5, 6, 126, 123},  // 3 × (12 × 2 + 18)
      {1, 0, 0, 0, 0, 84, 81},    // dice of 0 count as 1: 3 × (12 × 2 + 4)
      {3, 1, 2, 1, 1, 123, 120},  // (3 + 11 − 3) mod 4 = 3: 3 × (36 + 5)
  };
  for (const Case& k : cases) {
    Play s;
    s.c.table.RoundWindPic = 0;
    s.c.input.TableDissolved = true;
    Frame f = ServerFrame(p::kInsNewHand, s.seat(k.dealerSide), {k.d1, k.d2, k.d3, k.d4});
    f[p::kPayloadOffset] = 2;
    s.Feed(f);
    ASSERT_FALSE(s.c.ended);
    EXPECT_EQ(s.c.table.MJPOINT, k.point) << "dealer side " << k.dealerSide;
    EXPECT_EQ(s.c.table.MJFIRST, k.first) << "dealer side " << k.dealerSide;
    for (int side = 0; side < kSides; ++side)
      EXPECT_EQ(s.hand(side).isDealer, side == k.dealerSide);
    EXPECT_EQ(s.c.table.Dice[0], k.d1 == 0 ? 1 : k.d1);
    EXPECT_EQ(s.c.table.Dice[1], k.d2 == 0 ? 1 : k.d2);
    EXPECT_EQ(s.c.table.HandNo, 1);
    EXPECT_EQ(s.c.table.HandsStarted, 1);
    EXPECT_TRUE(s.c.table.HandInProgress);
    EXPECT_TRUE(s.c.play.HandUnscored);
    EXPECT_FALSE(s.c.input.TableDissolved);
    EXPECT_EQ(s.platform.lobby.count(kLobbyNewHand), 1);
    EXPECT_EQ(s.c.view.imgCircle.picture, 346);
    EXPECT_TRUE(s.c.view.imgCircle.visible);
    EXPECT_TRUE(s.c.view.Zhuang.visible);
    EXPECT_FALSE(s.c.view.Sai_Image[0].visible);  // the dice are gone once thrown
    // The whole wall stands, each side with its own lying back.
    for (int pos = 0; pos < kWallTiles; ++pos) {
      ASSERT_TRUE(s.tile(pos).visible) << pos;
      ASSERT_EQ(s.tile(pos).picture, s.tile(36 * (pos / 36)).picture) << pos;
    }
  }
}

TEST(NewHand, ThrowsEachPairWithTheRealFacesLastAndPausesBetween) {
  Play s;
  const std::int64_t before = s.platform.pausedMs;
  s.Feed(p::kInsNewHand, 0, {2, 5, 3, 4});
  // Three pauses of 0.6 s: after the first throw, before the second and after it.
  EXPECT_EQ(s.platform.pausedMs - before, 3 * 600);
  EXPECT_EQ(s.c.view.Sai_Image[0].picture, s.c.view.pics.DicePics[2]);  // die 3
  EXPECT_EQ(s.c.view.Sai_Image[1].picture, s.c.view.pics.DicePics[3]);  // die 4
  EXPECT_EQ(s.c.view.Sai_Image[0].x, SX(s.c, 400));
  EXPECT_EQ(s.c.view.Sai_Image[1].x, SX(s.c, 560));
}

TEST(NewHand, ADieTheTableCannotShowEndsTheClientWithTheLobbyRestored) {
  Play s;
  s.Feed(p::kInsNewHand, 0, {7, 1, 1, 1});
  EXPECT_TRUE(s.c.ended);
  ASSERT_FALSE(s.platform.lobby.received.empty());
  EXPECT_EQ(s.platform.lobby.received.back().wParam, kScRestore);
}

TEST(NewHand, ADealerNobodyHoldsEndsTheGameWithAMessage) {
  Play s;
  s.c.table.custom[2].seat = 0;  // seat bit 4 has left the records
  s.Feed(ServerFrame(p::kInsNewHand, 4, {1, 1, 1, 1}));
  EXPECT_TRUE(s.c.ended);
  ASSERT_EQ(s.platform.messageBoxes.size(), 1u);
  EXPECT_EQ(s.platform.messageBoxes[0].text, "有玩家退出，游戏结束！");
  EXPECT_EQ(s.platform.lobby.received.back().wParam, kScRestore);
}

TEST(NewHand, ClearsTheLastHandsTableWhenNobodyDidAndResetsTheHandCounters) {
  Play s;
  s.StartHand(0, {1, 1, 1, 1}, testing::kDealTiles, 0x29);
  s.Feed(p::kInsDiscard, 1, {0, 0, 0, 0x85});
  s.c.table.OwnFlowerCount = 2;
  s.c.table.custom[1].flowers = 3;
  ASSERT_GT(s.hand(0).count, 0);
  ASSERT_EQ(s.c.table.SeenCount[3][5], 1);
  s.Feed(p::kInsNewHand, 1, {1, 1, 1, 1});
  for (int side = 0; side < kSides; ++side) {
    EXPECT_EQ(s.hand(side).count, 0);
    EXPECT_EQ(s.hand(side).first, 4);
    EXPECT_EQ(s.hand(side).flowers, 0);
  }
  EXPECT_EQ(s.c.table.WildTileCode, -1);
  EXPECT_EQ(s.c.table.SeenCount[3][5], 0);
  EXPECT_EQ(s.c.table.OwnFlowerCount, 0);
  EXPECT_EQ(s.c.table.HandNo, 2);
  EXPECT_FALSE(s.c.table.TableCleared);
}

TEST(NewHand, EachHandGivesWhatTheLastOneFreedBackToTheSystem) {
  // A client playing all evening must not keep the churn of every hand.
  Play s;
  const int before = s.platform.memoryReleases;
  s.StartHand(0, {1, 1, 1, 1}, testing::kDealTiles, 0x29);
  EXPECT_EQ(s.platform.memoryReleases, before + 1);
  s.Feed(p::kInsNewHand, 1, {1, 1, 1, 1});
  s.Feed(p::kInsNewHand, 2, {1, 1, 1, 1});
  EXPECT_EQ(s.platform.memoryReleases, before + 3);
}

TEST(PlayerNames, TheUserFindsHisSeatAndEverySideGetsItsSeatAndName) {
  Play s;
  for (auto& h : s.c.table.custom) h.seat = 0;
  s.c.settlement.RunningTotal = {10, -5, 3, 8};
  const char* names[4] = {"bob", "cat", "amy", "dan"};
  for (int i = 0; i < 4; ++i) {
    Frame f = ServerFrame(p::kInsPlayerName, static_cast<std::uint8_t>(1 << i));
    testing::PutText(f, p::kPayloadOffset, names[i]);
    s.Feed(f);
    EXPECT_EQ(s.c.play.SeatCount, i == 3 ? 0 : i + 1);
  }
  // The user sits at index 2 (seat bit 4); side k holds index (2 + 4 − k) mod 4.
  const std::uint8_t seats[4] = {4, 2, 1, 8};
  const char* sideNames[4] = {"amy", "cat", "bob", "dan"};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(s.hand(k).seat, seats[k]);
    EXPECT_EQ(s.hand(k).name, sideNames[k]);
  }
  EXPECT_EQ(s.c.view.AnNiu[2].picture, ButtonPicture(s.c, 6));
  EXPECT_EQ(s.c.play.SeatDrawState, -1);
  EXPECT_TRUE(s.c.chat.PhraseBubblesOn);
  EXPECT_FALSE(TimerEnabled(s.c, TimerId::KeepAlive));
  for (std::int64_t total : s.c.settlement.RunningTotal) EXPECT_EQ(total, 0);
}

TEST(PlayerNames, NamesAppendUpToTheFirstZeroWithinTheCap) {
  Play s;
  Frame f = ServerFrame(p::kInsPlayerName, 0x04);
  testing::PutText(f, p::kPayloadOffset, "ABCDEFGHIJKLMNOP");
  f[32] = 'Q';  // past the name field
  s.Feed(f);
  EXPECT_EQ(s.c.table.PlayerTag[2], "ABCDEFGHIJKLMNOP");

  Frame g = ServerFrame(p::kInsPlayerName, 0x08);
  testing::PutText(g, p::kPayloadOffset, "bob");
  s.Feed(g);
  s.Feed(g);
  EXPECT_EQ(s.c.table.PlayerTag[3], "bobbob");

  Frame empty = ServerFrame(p::kInsPlayerName, 0x01);
  empty[17] = 'x';  // after a leading zero: nothing
  s.Feed(empty);
  EXPECT_EQ(s.c.table.PlayerTag[0], "");

  for (int i = 0; i < 20; ++i) s.Feed(f);
  EXPECT_EQ(s.c.table.PlayerTag[2].size(), kPlayerTagBytes);
}

TEST(NewHand, ShowsTheRoundWindOfTheFrame) {
  Play s;
  Frame f = ServerFrame(p::kInsNewHand, s.seat(0), {1, 1, 1, 1});
  f[p::kPayloadOffset] = 2;
  s.Feed(f);
  ASSERT_FALSE(s.c.ended);
  EXPECT_EQ(s.c.table.RoundWindPic, 346);
  EXPECT_EQ(s.c.view.imgCircle.picture, 346);
}

TEST(PlayerNames, NamesWithoutTheUsersKeepTheSeats) {
  Play s;
  Frame f = ServerFrame(p::kInsPlayerName, 2);
  testing::PutText(f, p::kPayloadOffset, "zed");
  s.Feed(f);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(s.hand(k).seat, PowerOfTwo((4 - k) % 4));
}

TEST(Call, TheAskedSidePromptsOrWaitsAndTheResultNamesTouAndMo) {
  struct Case {
    int askedSide;
    bool unattended;
    bool prompt;
    int countdown;
  } cases[] = {{0, false, true, 6}, {0, true, true, 2}, {2, false, false, 0}, {3, true, false, 0}};
  for (const Case& k : cases) {
    Play s;
    s.c.shell.UnattendedMode = k.unattended;
    s.c.table.PlayerInfo[2].nick = "猫";
    s.Feed(p::kInsJiaoTou, k.askedSide);
    EXPECT_EQ(s.c.shell.JiaoTouOpen, k.prompt);
    EXPECT_EQ(s.c.link.TurnClockOn, k.prompt);
    const SmallForm& tishi = s.c.forms[FormId::tishi];
    const Control* ok = s.c.forms[FormId::tishi].find("Image1");
    EXPECT_EQ(tishi.visible, k.prompt || !k.unattended);
    EXPECT_EQ(tishi.visible && ok->visible, k.prompt);
    if (k.prompt) {
      EXPECT_EQ(s.c.offer.Countdown, k.countdown);
      EXPECT_EQ(s.c.view.Number.caption, std::to_string(k.countdown));
      EXPECT_TRUE(s.c.view.Number.visible);
      EXPECT_TRUE(s.c.view.Time_Img.visible);
      // The digits lie in their frame's window, so they are drawn after it.
      const auto& order = s.c.view.order;
      EXPECT_GT(std::find(order.begin(), order.end(), &s.c.view.Number),
                std::find(order.begin(), order.end(), &s.c.view.Time_Img));
    }
    const Control* notice = s.c.forms[FormId::tishi].find("Label1");
    EXPECT_EQ(tishi.visible && notice->visible && notice->caption == "猫正在叫头，请稍候...",
              k.askedSide == 2 && !k.unattended);
    s.Feed(p::kInsJiaoTou, k.askedSide, {0, 2, 0, 3});
    EXPECT_EQ(s.c.view.Label3.caption, "2头3摸");
    EXPECT_EQ(s.c.play.CallTou, 2);
    EXPECT_EQ(s.c.play.CallMo, 3);
    EXPECT_FALSE(s.c.forms[FormId::tishi].loaded);
  }
  Play s;
  s.Feed(p::kInsJiaoTou, 1);
  s.Feed(p::kInsJiaoTou, 1, {0, 4, 0, 0});
  EXPECT_EQ(s.c.view.Label3.caption, "4头");
}

TEST(Flower, EachSideShowsAndCountsItsFlowerAndTakesTheReplacementFromTheBack) {
  for (int side = 0; side < kSides; ++side) {
    Play s;
    s.StartHand(0, {1, 1, 1, 1}, testing::kDealTiles);
    const int count = s.hand(side).count;
    const int back = s.c.table.MJFIRST;
    s.Feed(p::kInsFlower, side, {0, 3, 0, side == 0 ? 0x26 : 0});
    ASSERT_FALSE(s.c.ended);
    EXPECT_EQ(s.hand(side).flowers, 1);
    EXPECT_EQ(s.hand(side).count, count) << "the replacement takes the flower's place";
    EXPECT_NE(s.c.table.MJFIRST, back);
    EXPECT_FALSE(s.tile(back).visible);
    const int slot = FlowerSlot(side, 0);
    EXPECT_TRUE(s.c.view.imgCaiShen[static_cast<std::size_t>(slot)].visible) << side;
    EXPECT_EQ(s.c.table.OwnFlowerCount, 0);
    EXPECT_EQ(s.c.table.SideFlowerCount[static_cast<std::size_t>(side)], 0);
    if (side == 0) {
      // The flower's slot now holds the replacement; no bubble for the user.
      int replaced = 0;
      for (int k = s.hand(0).first; k < s.hand(0).first + s.hand(0).count; ++k) {
        EXPECT_NE(s.hand(0).mj[static_cast<std::size_t>(k)].value, 3);
        replaced += s.hand(0).mj[static_cast<std::size_t>(k)].value == 0x26;
      }
      EXPECT_EQ(replaced, 1);
      for (const Control& b : s.c.view.Speak) EXPECT_FALSE(b.visible);
    } else {
      const Control& bubble = s.c.view.Speak[static_cast<std::size_t>(side - 1)];
      EXPECT_TRUE(bubble.visible);
      EXPECT_EQ(bubble.picture, 425 + side);
      EXPECT_TRUE(s.c.link.ClaimWordOn);
    }
    EXPECT_FALSE(s.c.play.FlowerPhase);
  }
}

TEST(Flower, AnOwnReplacementWithoutATileShowsNothing) {
  struct Case {
    int side;
    int tile;
    bool handled;
  };
  const Case cases[] = {{0, 0, false}, {1, 0, true}, {0, 0x26, true}};
  for (const Case& k : cases) {
    Play s;
    s.StartHand(0, {1, 1, 1, 1}, testing::kDealTiles);
    const int back = s.c.table.MJFIRST;
    s.Feed(p::kInsFlower, k.side, {0, 3, 0, k.tile});
    ASSERT_FALSE(s.c.ended);
    EXPECT_EQ(s.hand(k.side).flowers, k.handled ? 1 : 0) << k.side << " " << k.tile;
    EXPECT_EQ(s.c.table.MJFIRST != back, k.handled) << k.side << " " << k.tile;
  }
}

TEST(Flower, AWatchersReplacementTakesTheDrawnFlowersPlace) {
  for (int side = 1; side < kSides; ++side) {
    Play s;
    s.c.table.Watching = true;
    s.StartHand(1, {1, 1, 1, 1}, testing::kDealTiles);
    s.Feed(p::kInsDraw, side);  // the flower, drawn face down
    const int count = s.hand(side).count;
    const int back = s.c.table.MJFIRST;
    const int front = s.c.table.MJPOINT;
    s.Feed(p::kInsFlower, side, {0, 5, 0, 0});
    EXPECT_EQ(s.hand(side).count, count) << side;
    EXPECT_EQ(s.c.table.MJFIRST, NextBackPosition(back));
    EXPECT_EQ(s.c.table.MJPOINT, front);
    EXPECT_FALSE(s.tile(back).visible);
    EXPECT_EQ(s.hand(side).flowers, 1);
    EXPECT_TRUE(s.c.view.imgCaiShen[static_cast<std::size_t>(FlowerSlot(side, 0))].visible);
  }
}

}  // namespace
}  // namespace tavren
