// Membership, departures, the game-over notice, ready marks and a table
// joined during a game.
#include "table/seating.h"

#include <gtest/gtest.h>

#include "support/play_fixture.h"

namespace tavren {
namespace {

namespace p = protocol;
using testing::Play;
using testing::PutText;
using testing::ServerFrame;

// A seated table: side k's player "nick<k>", account "acct<k>", panel filled.
void Seat(Play& s) {
  for (int k = 0; k < kSides; ++k) {
    const auto i = static_cast<std::size_t>(k);
    if (k > 0) s.c.table.custom[i].name = "acct" + std::to_string(k);
    s.c.table.PlayerInfo[i].nick = "nick" + std::to_string(k);
    s.c.view.Nid[i].caption = "nick" + std::to_string(k);
    s.c.view.Tou[i].picture = 300 + k;
  }
  s.c.play.SeatedCount = 3;
}

std::string Dialog(Play& s) {
  SmallForm& f = s.c.forms[FormId::frmOtherExit];
  if (!f.loaded || !f.visible) return {};
  return f.find("Label1")->caption;
}

TEST(Membership, LeaversAreNamedInSeatOrderAndTheGameEnds) {
  // Own seat bit 1; sides 1, 2, 3 hold seat bits 8, 4, 2.
  struct Case {
    int staying;
    std::string list;
    int seated;
  } cases[] = {{0x0B, "nick2,", 2}, {0x07, "nick1,", 2}, {0x09, "nick3,nick2,", 1}};
  for (const Case& k : cases) {
    Play s;
    Seat(s);
    s.c.table.HandInProgress = true;
    s.Feed(ServerFrame(p::kInsMembership, static_cast<std::uint8_t>(k.staying), {0, 0, 0, 1}));
    EXPECT_FALSE(s.c.ended);
    EXPECT_TRUE(s.c.table.PlayerLeft);
    EXPECT_FALSE(s.c.table.HandInProgress);
    EXPECT_EQ(s.c.play.SeatedCount, k.seated);
    EXPECT_EQ(s.c.view.Sysmsg[0].text().rfind(k.list + "退出了游戏！ ", 0), 0u)
        << s.c.view.Sysmsg[0].text();
    EXPECT_EQ(s.c.view.Sysmsg[1].text(), k.list + "请退出重新开始游戏.");
    EXPECT_EQ(Dialog(s), "玩家" + k.list + "退出了游戏！游戏结束！");
    EXPECT_TRUE(s.c.forms[FormId::Hero].visible);
    for (int side = 1; side < kSides; ++side) {
      EXPECT_TRUE(s.hand(side).name.empty());
      EXPECT_EQ(s.c.view.Tou[static_cast<std::size_t>(side)].picture, 0);
    }
    EXPECT_EQ(s.platform.pausedMs, 2000);
  }
}

TEST(Membership, NobodyLeavingChangesNothingAndTheUserLeavingEnds) {
  Play s;
  Seat(s);
  s.Feed(ServerFrame(p::kInsMembership, 0x0F, {0, 0, 0, 1}));
  EXPECT_FALSE(s.c.table.PlayerLeft);
  EXPECT_EQ(s.hand(1).name, "acct1");
  s.Feed(ServerFrame(p::kInsMembership, 0x0E, {0, 0, 0, 1}));
  EXPECT_TRUE(s.c.ended);
  EXPECT_TRUE(s.platform.messageBoxes.empty());
}

TEST(Membership, AWatcherEndsWhenAPlayerLeaves) {
  Play s;
  Seat(s);
  s.c.table.Watching = true;
  s.Feed(ServerFrame(p::kInsMembership, 0x0B, {0, 0, 0, 1}));
  EXPECT_TRUE(s.c.ended);
  ASSERT_EQ(s.platform.messageBoxes.size(), 1u);
  EXPECT_EQ(s.platform.messageBoxes[0].text, "有用户退出，旁观结束！");
}

TEST(Membership, TheDealerAnnouncementNamesTheSeatAndMarksItsSide) {
  Play s;
  s.Feed(ServerFrame(p::kInsMembership, 0x14, {0, 0, 0, 2}));
  EXPECT_EQ(s.c.view.Zhuang.caption, "南");  // seat bit 4 is index 2
  for (int side = 0; side < kSides; ++side) EXPECT_EQ(s.hand(side).isDealer, side == 2);
}

TEST(Membership, AGoldShortageNamesTheShortSeatsTheUserLast) {
  struct Case {
    int staying;
    std::string line, dialog;
    int seated;
  } cases[] = {
      {0x0E, "玩家amy金币不够，退出游戏！", "您的金币不够，退出游戏！游戏结束！", 3},
      {0x0D, "玩家nick3金币不够，退出游戏！", "玩家nick3的金币不够，退出游戏！游戏结束！", 2},
      {0x02, "玩家nick2，nick1，amy金币不够，退出游戏！",
       "玩家nick2，nick1以及您的金币不够，退出游戏！游戏结束！", 1},
  };
  for (const Case& k : cases) {
    Play s;
    Seat(s);
    s.Feed(ServerFrame(p::kInsMembership, static_cast<std::uint8_t>(k.staying), {0, 0, 0, 3}));
    EXPECT_EQ(s.c.view.Sysmsg[0].text(), k.line);
    EXPECT_EQ(Dialog(s), k.dialog);
    EXPECT_EQ(s.c.play.SeatedCount, k.seated);
    EXPECT_TRUE(s.c.table.PlayerLeft);
    EXPECT_FALSE(s.c.link.LinkWatch);
    EXPECT_TRUE(s.c.forms[FormId::Score].visible);
    EXPECT_FALSE(s.c.ended);
  }
}

// An unattended client has nobody to answer the end-of-game notice: it goes
// back to the lobby by itself, whichever way the game ended.
TEST(Membership, AnUnattendedClientTakesTheGamesEndBackToTheLobby) {
  const Frame endings[] = {ServerFrame(p::kInsMembership, 0x0B, {0, 0, 0, 1}),
                           ServerFrame(p::kInsMembership, 0x0D, {0, 0, 0, 3}),
                           ServerFrame(p::kInsMembership, 0x0E, {0, 0, 0, 3}),
                           ServerFrame(p::kInsGameOver)};
  for (const Frame& f : endings) {
    Play s;
    Seat(s);
    s.c.shell.UnattendedMode = true;
    s.Feed(f);
    EXPECT_FALSE(s.c.forms[FormId::frmOtherExit].loaded);
    EXPECT_EQ(s.c.log.count("ResetToLobby"), 1);
    EXPECT_EQ(s.platform.lobby.count(kWmSysCommand), 1);
    EXPECT_FALSE(s.c.table.PlayerLeft);
    EXPECT_FALSE(s.c.ended);
  }
}

TEST(PlayerGone, TheNamedPlayerLeavesTheTableAndTheUserHimselfEnds) {
  Play s;
  Seat(s);
  Frame f = ServerFrame(p::kInsPlayerGone, 4);
  PutText(f, p::kPayloadOffset, "acct2");
  s.Feed(f);
  EXPECT_FALSE(s.c.ended);
  EXPECT_TRUE(s.hand(2).name.empty());
  EXPECT_TRUE(s.c.table.PlayerInfo[2].nick.empty());
  EXPECT_EQ(s.hand(1).name, "acct1");
  EXPECT_EQ(s.c.play.SeatedCount, 2);
  EXPECT_EQ(s.c.view.Sysmsg[0].text().rfind("nick2退出了游戏 ", 0), 0u);
  Frame own = ServerFrame(p::kInsPlayerGone, 1);
  PutText(own, p::kPayloadOffset, "amy");
  s.Feed(own);
  EXPECT_TRUE(s.c.ended);
}

TEST(GameOver, TheNoticeGoesToTheDialogAndThePortraitsAreRemoved) {
  Play s;
  Seat(s);
  s.c.link.LinkWatch = true;
  Frame f = ServerFrame(p::kInsGameOver);
  PutText(f, p::kPayloadOffset, "\xB7\xFE\xCE\xF1\xC6\xF7 closed");  // 服务器 (GBK)
  s.Feed(f);
  EXPECT_EQ(Dialog(s), "服务器 closed");
  EXPECT_TRUE(s.c.table.PlayerLeft);
  EXPECT_FALSE(s.c.link.LinkWatch);
  for (const Control& tou : s.c.view.Tou) EXPECT_EQ(tou.picture, 0);
  EXPECT_FALSE(s.c.ended);
}

TEST(Ready, MarksShowAndTheThirdOtherClearsTheTableOnlyAfterAHand) {
  for (bool handPlayed : {false, true}) {
    Play s;
    Seat(s);
    s.c.table.HandsStarted = handPlayed ? 1 : 0;
    s.StartHand(0, {1, 1, 1, 1}, testing::kDealTiles);
    s.c.table.HandsStarted = handPlayed ? 1 : 0;
    for (int side : {1, 2, 3}) {
      Frame f = ServerFrame(p::kInsReady, s.seat(side), {0, 0, 0, 1});
      PutText(f, p::kPayloadOffset, "acct" + std::to_string(side));
      s.Feed(f);
      EXPECT_TRUE(s.c.view.OK[static_cast<std::size_t>(side)].visible);
    }
    EXPECT_EQ(s.c.table.TableCleared, handPlayed);
    EXPECT_EQ(s.hand(0).count, handPlayed ? 0 : 12);
  }
  // A name nobody holds, or a form other than 1, marks nobody.
  Play s;
  Seat(s);
  Frame f = ServerFrame(p::kInsReady, 2, {0, 0, 0, 0});
  PutText(f, p::kPayloadOffset, "acct3");
  s.Feed(f);
  EXPECT_FALSE(s.c.view.OK[3].visible);
}

TEST(TableJoined, DealerDiceAndWildTileOfTheHandUnderWay) {
  Play s;
  s.StartHand(0, {1, 1, 1, 1}, testing::kDealTiles);
  s.c.play.SeatCount = 2;
  s.Feed(ServerFrame(p::kInsTableJoined, 0x18, {5, 3, 0x29, 0x28}));
  EXPECT_EQ(s.c.play.DealerSeat, 8);
  EXPECT_EQ(s.c.view.Zhuang.caption, "东");
  EXPECT_TRUE(s.c.view.Zhuang.visible);
  EXPECT_TRUE(s.c.view.Host.visible);
  EXPECT_EQ(s.c.table.WildTileCode, 0x29);
  EXPECT_EQ(s.c.table.WildShownCode, 0x28);
  EXPECT_EQ(s.c.table.Dice[0], 5);
  EXPECT_EQ(s.c.table.Dice[1], 3);
  EXPECT_TRUE(s.c.table.TableCleared);
  EXPECT_EQ(s.c.play.SeatCount, 0);
  EXPECT_EQ(s.hand(0).count, 0);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(s.c.view.AnNiu[static_cast<std::size_t>(i)].enabled);
    EXPECT_EQ(s.c.view.AnNiu[static_cast<std::size_t>(i)].picture, ButtonPicture(s.c, 2 * i + 1));
  }
}

}  // namespace
}  // namespace tavren
