// The hand's end: coin results, the drawn hand, the settlement rows and the
// sheet they make, with money, wins and losses, the ranking line and the
// countdown to the next hand.
#include <gtest/gtest.h>

#include "input/input.h"
#include "shell/ini_file.h"
#include "support/results_fixture.h"

namespace tavren {
namespace {

namespace p = protocol;
using testing::EndTable;
using testing::ResultFrame;
using testing::SettlementFrame;
using testing::SettleRows;

const std::string kNone = "      ";
const std::string kNoTypes = "         ";
const std::string kRule = std::string(24, '-');
const std::string kLongRule = std::string(30, '-');

TEST(HandResult, TheSignSwitchMakesALossAndEveryResultEmptiesItsSidesLists) {
  struct Case {
    int side;
    std::uint64_t amount;
    int positive;
    std::int32_t gold;
  } cases[] = {{0, 10, 0, -10}, {0, 10, 1, 10}, {2, 0x7FFFFFFF, 1, 0x7FFFFFFF}, {3, 0, 0, 0}};
  for (const Case& k : cases) {
    EndTable t;
    t.c.play.HandUnscored = true;
    t.State(k.side).push_back("old");
    t.State(k.side + 4).push_back("old");
    t.Feed(ResultFrame(t, k.side, k.amount, k.positive));
    EXPECT_FALSE(t.c.ended);
    EXPECT_EQ(t.hand(k.side).gold, k.gold);
    EXPECT_FALSE(t.c.play.HandUnscored);
    EXPECT_TRUE(t.State(k.side).empty());
    EXPECT_TRUE(t.State(k.side + 4).empty());
    EXPECT_EQ(t.c.handEnd.ResultCount, 1);
  }
}

TEST(HandResult, AResultBeyondThirtyTwoBitsEndsTheClient) {
  // Bytes 16..23 are a signed number: all ones would be -1, which fits.
  for (std::uint64_t amount :
       {std::uint64_t{0x80000000}, std::uint64_t{1} << 32, std::uint64_t{1} << 63}) {
    EndTable t;
    t.Feed(ResultFrame(t, 1, amount, 1));
    EXPECT_TRUE(t.c.ended) << amount;
  }
}

// Another seat wins on the discard the user was offered: the offer's buttons
// and its clock go with the hand.
TEST(HandResult, AnOfferStillOpenWhenTheHandEndsIsClosed) {
  EndTable t;
  t.StartHand(0, {1, 1, 1, 1}, testing::kDealTiles, 0x29);
  t.Feed(protocol::kInsDraw, 1);
  t.Feed(protocol::kInsDiscard, 1, {0, 0, 0, 0x45});
  t.Feed(protocol::kInsOffer, 0, {1 + 8 + 128});
  ASSERT_TRUE(t.c.view.Operation[1].visible);
  ASSERT_TRUE(t.c.view.Operation[1].enabled);
  ASSERT_TRUE(t.c.link.TurnClockOn);
  t.Feed(ResultFrame(t, 2, 40, 1));
  for (const Control& b : t.c.view.Operation) {
    EXPECT_FALSE(b.visible);
    EXPECT_FALSE(b.enabled);
  }
  EXPECT_FALSE(t.c.link.TurnClockOn);
  OnOperationClick(t.c, 1);  // a click that was on its way changes nothing
  EXPECT_EQ(t.c.link.SendRing.buffered(), 0u);
}

TEST(DrawnHand, TheSheetClosesWhenTheNextHandStartsByItself) {
  EndTable t;
  t.c.table.HandNo = 3;
  t.c.table.HandInProgress = true;
  for (int s = 0; s < kSides; ++s) t.Feed(ResultFrame(t, s, 0, 1));
  ASSERT_TRUE(t.c.forms[FormId::Score].visible);
  t.Feed(testing::ServerFrame(protocol::kInsNewHand, t.seat(1), {1, 2, 3, 4}));
  EXPECT_TRUE(t.c.table.HandInProgress);
  EXPECT_FALSE(t.c.forms[FormId::Score].visible);
}

TEST(DrawnHand, FourZeroResultsAnnounceTheDrawOnceAndArmTheCountdown) {
  EndTable t;
  t.c.table.HandNo = 3;
  t.c.table.HandInProgress = true;
  t.c.link.TurnClockOn = true;
  t.c.input.TableActive = true;
  t.c.table.TableCleared = true;
  for (int s = 0; s < kSides; ++s) t.Feed(ResultFrame(t, s, 0, 1));
  EXPECT_FALSE(t.c.table.HandInProgress);
  EXPECT_FALSE(t.c.link.TurnClockOn);
  EXPECT_EQ(t.c.handEnd.ResultCount, 0);
  ASSERT_EQ(t.Num().size(), 1u);
  EXPECT_EQ(t.Num()[0], "3           ");
  for (int s = 0; s < kSides; ++s) {
    EXPECT_EQ(t.State(s), std::vector<std::string>{"      黄  庄"});
    EXPECT_EQ(t.State(s + 4), std::vector<std::string>{"最终分：0金币"});
    EXPECT_EQ(t.Grade(s), std::vector<std::string>{"0        金币"});
    EXPECT_EQ(ScoreControl(t.c, "ID", s).color, kRed);
  }
  EXPECT_TRUE(t.c.forms[FormId::Score].visible);
  EXPECT_EQ(t.c.view.Sysmsg[0].text(), "请点击【继续】按钮继续游戏！");
  EXPECT_EQ(t.c.view.Sysmsg[1].text(), "游戏将在15秒内开始");
  EXPECT_FALSE(t.c.input.TableActive);
  EXPECT_FALSE(t.c.table.TableCleared);
  EXPECT_TRUE(t.c.link.ContinueClockOn);
  EXPECT_EQ(t.c.offer.Countdown, 15);
  EXPECT_EQ(t.c.view.Number.caption, "15");
  EXPECT_EQ(t.c.view.Number.color, kGreen);
  EXPECT_TRUE(t.c.view.Number.visible && t.c.view.Time_Img.visible);
  EXPECT_EQ(t.c.view.order.back(), &t.c.view.Number);
  classIniFile file;
  file.INIFileName = t.RecordPath();
  EXPECT_EQ(file.GetIniKey("juNum:3", "count( 0 )"), "1");
  EXPECT_EQ(file.GetIniKey("juNum:3", "count( 0 )( 0 )"), "黄  庄");
  EXPECT_EQ(file.GetIniKey("juNum:3", "count( 7 )( 0 )"), "最终分：0金币");

  // The next hand's results continue the count from zero.
  for (int s = 0; s < kSides; ++s) t.Feed(ResultFrame(t, s, 0, 1));
  EXPECT_EQ(t.Num().size(), 2u);
}

TEST(DrawnHand, OneNonZeroResultIsAWonHandAndAWatcherGetsNoCountdown) {
  EndTable t;
  for (int s = 0; s < kSides; ++s) t.Feed(ResultFrame(t, s, s == 2 ? 5 : 0, 1));
  EXPECT_TRUE(t.Num().empty());
  EXPECT_TRUE(t.State(0).empty());
  EXPECT_FALSE(t.c.forms[FormId::Score].visible);
  EXPECT_FALSE(t.c.link.ContinueClockOn);

  EndTable w;
  w.c.table.Watching = true;
  w.c.link.BossMode = true;
  for (int s = 0; s < kSides; ++s) w.Feed(ResultFrame(w, s, 0, 1));
  EXPECT_EQ(w.State(1), std::vector<std::string>{"      黄  庄"});
  EXPECT_FALSE(w.c.forms[FormId::Score].visible);  // the boss key keeps it hidden
  EXPECT_FALSE(w.c.link.ContinueClockOn);
  EXPECT_FALSE(w.c.view.Number.visible);
  EXPECT_EQ(w.c.view.Sysmsg[0].text(), "请点击【继续】按钮继续游戏！");
}

// Side 0 wins 30 by itself: 清一色 捉五 一条龙 碰碰胡 for 6, dealer, a concealed
// kong, 门清 and 自摸; the three others pay 10 each.
struct WonHand : EndTable {
  std::array<SettleRows, kSides> rows{};
  WonHand() {
    c.table.HandNo = 1;
    c.table.HandInProgress = true;
    rows[0].set(4, 0x8B).set(50, 6).set(14, 1).set(9, 1).set(12, 1).set(7, 2).amount(30);
    rows[0].level("\xB8\xDF\xCA\xD6");  // 高手
    for (int s = 1; s < kSides; ++s) rows[static_cast<std::size_t>(s)].amount(-10);
  }
  void Results() {
    for (int s = 0; s < kSides; ++s) Feed(ResultFrame(*this, s, s == 0 ? 30 : 10, s == 0 ? 1 : 0));
  }
  void Settle() {
    for (int s = 0; s < kSides; ++s)
      Feed(SettlementFrame(*this, s, rows[static_cast<std::size_t>(s)]));
  }
};

TEST(Settlement, TheSheetListsEveryItemInColumnsThatStayAligned) {
  WonHand t;
  t.c.tableView.ResultIdColor = {kRed, kGreen, kGreen, kGreen};  // the win marked side 0
  t.Results();
  t.Settle();
  EXPECT_EQ(ScoreControl(t.c, "ID", 0).color, kRed);
  EXPECT_EQ(ScoreControl(t.c, "ID", 3).color, kGreen);
  const std::vector<std::string> winner = {"   房间底金:  10",
                                           " ",
                                           "清一色捉五一条龙碰碰胡  6分",
                                           "庄家    1分",
                                           "暗杠1个 2分",
                                           kRule,
                                           "门清    1番",
                                           "自摸    2番",
                                           kLongRule,
                                           " ",
                                           "胡牌总分：30金币",
                                           "",
                                           "最终分：30金币"};
  const std::vector<std::string> loser = {
      "   房间底金:  10",  " ", kNoTypes,         kNone, kNone, kRule, kNone, kNone, kLongRule, " ",
      "胡牌总分：-10金币", "",  "最终分：-10金币"};
  EXPECT_EQ(t.State(0), winner);
  for (int s = 1; s < kSides; ++s) EXPECT_EQ(t.State(s), loser) << s;
  EXPECT_EQ(t.State(4), std::vector<std::string>{"最终分：30金币"});
  EXPECT_EQ(t.State(6), std::vector<std::string>{"最终分：-10金币"});
  EXPECT_EQ(t.Num(), std::vector<std::string>{"1           "});
  EXPECT_EQ(t.Grade(0), std::vector<std::string>{"30       金币"});
  EXPECT_EQ(t.Grade(3), std::vector<std::string>{"-10      金币"});
  EXPECT_EQ(HeroControl(t.c, "sumScore", 1).caption, "-10金币");
  EXPECT_EQ(t.c.view.Level[0].caption, "高手");
  EXPECT_EQ(t.c.table.PlayerInfo[0].level, "高手");
  EXPECT_EQ(t.c.handEnd.SettleCount, 0);
  EXPECT_TRUE(t.c.forms[FormId::Score].visible);
  EXPECT_FALSE(t.c.table.HandInProgress);
  EXPECT_TRUE(t.c.link.ContinueClockOn);
  EXPECT_EQ(t.c.offer.Countdown, 15);
  classIniFile file;
  file.INIFileName = t.RecordPath();
  EXPECT_EQ(file.GetIniKey("juNum:1", "count( 0 )"), "13");
  EXPECT_EQ(file.GetIniKey("juNum:1", "count( 0 )( 0 )"), "房间底金:  10");
  EXPECT_EQ(file.GetIniKey("juNum:1", "count( 0 )( 2 )"), "清一色捉五一条龙碰碰胡  6分");

  // A second hand: the totals run on, the ranking gets a second line.
  t.c.table.HandNo = 2;
  t.rows[0].amount(-10);
  t.rows[1].amount(30);
  t.Results();
  t.Settle();
  EXPECT_EQ(t.Num().size(), 2u);
  EXPECT_EQ(HeroControl(t.c, "sumScore", 0).caption, "20金币");
  EXPECT_EQ(HeroControl(t.c, "sumScore", 1).caption, "20金币");
  EXPECT_EQ(HeroControl(t.c, "sumScore", 2).caption, "-20金币");
}

TEST(Settlement, EachFanItemHasItsLineAndTheOtherSidesKeepTheirPlace) {
  struct Case {
    std::vector<std::pair<int, int>> rows;  // set for side 2 only
    std::string line;
    std::string others;
  } cases[] = {
      {{{3, 3}, {50, 4}}, "豪华七对七对  4分", kNoTypes},
      {{{3, 7}, {50, 9}}, "十三幺豪华七对七对  9分", kNoTypes},
      {{{5, 0x80}, {4, 0x84}, {50, 2}}, "混一色风一色碰碰胡  2分", kNoTypes},
      {{{14, 3}}, "连庄3次 3分", kNone},
      {{{6, 1}}, "点炮", kNone},
      {{{8, 2}}, "明杠2个 2分", kNone},
      {{{9, 1}}, "暗杠1个 2分", kNone},
      {{{10, 1}}, "圈风    1分", kNone},
      {{{11, 2}}, "门风    2分", kNone},
      {{{13, 2}}, "暗刻2个 2分", kNone},
      {{{15, 1}}, "边张    1分", kNone},
      {{{16, 1}}, "坎张    1分", kNone},
      {{{17, 1}}, "吊张    1分", kNone},
      {{{18, 1}}, "八张    1分", kNone},
      {{{19, 2}}, "缺2门   2分", kNone},
      {{{100, 2}}, "小连 2个 2分", kNone},
      {{{101, 1}}, "大连 1个 2分", kNone},
      {{{21, 1}}, "一般高  1个 1分", kNone},
      {{{23, 2}}, "老少    2分", kNone},
      {{{24, 1}}, "四归一  1个 1分", kNone},
      {{{22, 3}}, "财神3个 3分", kNone},
      // Only the low four bits count: a high nibble alone is no item.
      {{{22, 0x30}}, kRule, kRule},
      // Hand types without points are no line.
      {{{4, 8}}, kRule, kRule},
  };
  for (const Case& k : cases) {
    EndTable t;
    std::array<SettleRows, kSides> rows{};
    for (const auto& [r, v] : k.rows) rows[2].set(r, v);
    for (int s = 0; s < kSides; ++s)
      t.Feed(SettlementFrame(t, s, rows[static_cast<std::size_t>(s)]));
    ASSERT_GE(t.State(2).size(), 3u);
    EXPECT_EQ(t.State(2)[2], k.line) << k.line;
    EXPECT_EQ(t.State(0)[2], k.others) << k.line;
    EXPECT_EQ(t.State(0).size(), t.State(2).size()) << k.line;
  }
}

TEST(Settlement, MoneyWinsLossesAndTheLiablePlayer) {
  struct Case {
    std::int64_t result;
    std::int32_t gold;
    std::uint64_t money, shown, points;  // money3 before and after, money1 after
    int wins, losses;
  } cases[] = {
      {10000, 0, 5, 10005, 10005, 1, 0},  // 0x10 0x27
      {-10000, 0, 500, 0, 1, 0, 1},       // below zero: shown 0, points 1
      {0, 0, 7, 7, 7, 0, 1},              // nothing won and nothing in hand: a loss
      {0, 3, 7, 7, 7, 1, 0},              // the hu total decides a zero result
  };
  for (const Case& k : cases) {
    EndTable t;
    PlayerInfoRecord& p = t.c.table.PlayerInfo[1];
    p.money3 = p.money1 = k.money;
    t.hand(1).gold = k.gold;
    std::array<SettleRows, kSides> rows{};
    rows[1].amount(k.result);
    rows[3].set(102, 1);
    for (int s = 0; s < kSides; ++s)
      t.Feed(SettlementFrame(t, s, rows[static_cast<std::size_t>(s)]));
    EXPECT_EQ(t.c.settlement.HandResult[1], k.result);
    EXPECT_EQ(p.money3, k.shown) << k.result;
    EXPECT_EQ(p.money1, k.points) << k.result;
    EXPECT_EQ(p.stat3, k.wins) << k.result;
    EXPECT_EQ(p.stat4, k.losses) << k.result;
    EXPECT_EQ(t.c.view.Cash[1].caption, std::to_string(k.shown) + "金币");
    const auto& column = t.State(1);
    ASSERT_GE(column.size(), 2u);
    EXPECT_EQ(column[column.size() - 2], kNone);  // the 包胡 line of side 3
    EXPECT_EQ(t.State(3)[t.State(3).size() - 2], "包胡");
    EXPECT_EQ(column.back(), "最终分：" + std::to_string(k.result) + "金币");
  }
}

TEST(Settlement, TheCurrencyAndTheUnattendedCountdown) {
  for (bool unattended : {false, true}) {
    EndTable t;
    t.c.shell.UnattendedMode = unattended;
    SettleRows r;
    r.currency = 2;
    r.amount(-5);
    for (int s = 0; s < kSides; ++s) t.Feed(SettlementFrame(t, s, r));
    EXPECT_EQ(t.c.offer.Countdown, unattended ? 5 : 15);
    EXPECT_EQ(t.c.view.Number.caption, unattended ? "5" : "15");
    EXPECT_EQ(t.State(4).back(), "最终分：-5金条");
    EXPECT_EQ(t.Grade(2).back(), "-5       金条");
  }
}

TEST(Settlement, FewerThanFourRecordsWaitAndTheTableResetStartsAgain) {
  EndTable t;
  SettleRows r;
  for (int s = 0; s < 3; ++s) t.Feed(SettlementFrame(t, s, r));
  EXPECT_EQ(t.c.handEnd.SettleCount, 3);
  EXPECT_TRUE(t.State(0).empty());
  ResetHandRecords(t.c);
  EXPECT_EQ(t.c.handEnd.SettleCount, 0);
  t.Feed(SettlementFrame(t, 3, r));
  EXPECT_TRUE(t.State(0).empty());
  EXPECT_EQ(t.c.handEnd.SettleCount, 1);
}

TEST(Settlement, AMinimisedWindowKeepsTheSheetHidden) {
  EndTable t;
  t.c.view.minimized = true;
  SettleRows r;
  for (int s = 0; s < kSides; ++s) t.Feed(SettlementFrame(t, s, r));
  EXPECT_FALSE(t.c.forms[FormId::Score].visible);
  EXPECT_FALSE(t.State(0).empty());
}

}  // namespace
}  // namespace tavren
