// The record file of finished hands and the two windows that show them: the
// result window and the ranking window with its lists.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "input/input.h"
#include "shell/ini_file.h"
#include "shell/record_file.h"
#include "support/results_fixture.h"

namespace tavren {
namespace {

using testing::EndTable;

using Lines = std::vector<std::string>;

int ControlIndex(Client& c, FormId id, const char* name, int index) {
  SmallForm& f = c.forms[id];
  for (std::size_t i = 0; i < f.controls.size(); ++i)
    if (std::string(f.controls[i].name) == name && f.controls[i].index == index)
      return static_cast<int>(i);
  return -1;
}

TEST(RecordFile, KeysNameTheListAndTheLine) {
  EXPECT_EQ(RecordSection(3), "juNum:3");
  EXPECT_EQ(RecordCountKey(0), "count( 0 )");
  EXPECT_EQ(RecordLineKey(0, 11), "count( 0 )( 11 )");
  EXPECT_EQ(RecordLineKey(7, 0), "count( 7 )( 0 )");
}

TEST(RecordFile, AHandWrittenAndReadBackComesBackTrimmed) {
  EndTable t;
  t.State(0) = {"   房间底金:  10", " ", "", "最终分：30金币"};
  t.State(5) = {"最终分：-10金币"};
  WriteHandRecord(t.c, 4);
  for (int k = 0; k < 8; ++k) t.State(k) = {"x", "y", "z", "w", "v"};
  ReadHandRecord(t.c, 4);
  EXPECT_EQ(t.State(0), (Lines{"房间底金:  10", " ", " ", "最终分：30金币"}));
  EXPECT_EQ(t.State(1), Lines{});
  EXPECT_EQ(t.State(5), Lines{"最终分：-10金币"});
  classIniFile f;
  f.INIFileName = t.RecordPath();
  EXPECT_EQ(f.GetIniKey("juNum:4", "count( 0 )"), "4");
  EXPECT_EQ(f.GetIniKey("juNum:4", "count( 7 )"), "0");
}

// A hand whose write fails (the disk is full) is absent as a whole; the hands
// before it read back as they were, and the next write stores the hand.
TEST(RecordFile, AFailedWriteLeavesTheEarlierHandsWholeAndThisHandAbsent) {
  EndTable t;
  t.State(0) = {"第一局", "最终分：30金币"};
  WriteHandRecord(t.c, 1);
  const auto size = std::filesystem::file_size(t.RecordPath());
  t.State(0) = Lines(40, "第二局的一行");
  {
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit full = saved;
    full.rlim_cur = size + 100;
    ::setrlimit(RLIMIT_FSIZE, &full);
    WriteHandRecord(t.c, 2);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
  }
  EXPECT_EQ(std::filesystem::file_size(t.RecordPath()), size);
  classIniFile f;
  f.INIFileName = t.RecordPath();
  EXPECT_EQ(f.GetIniKey("juNum:2", "count( 0 )"), "");
  EXPECT_EQ(f.GetIniKey("juNum:1", "count( 0 )( 0 )"), "第一局");
  WriteHandRecord(t.c, 2);
  t.State(0).clear();
  ReadHandRecord(t.c, 2);
  EXPECT_EQ(t.State(0), Lines(40, "第二局的一行"));
}

TEST(RecordFile, ReadingPadsOrCutsEachListToTheStoredCount) {
  EndTable t;
  t.State(0) = {"a", "b"};
  t.State(1) = {"c", "d", "e", "f"};
  WriteHandRecord(t.c, 1);
  t.State(0) = {"old"};
  t.State(1) = {"1", "2", "3", "4", "5", "6"};
  ReadHandRecord(t.c, 1);
  EXPECT_EQ(t.State(0), (Lines{"a", "b"}));
  EXPECT_EQ(t.State(1), (Lines{"c", "d", "e", "f"}));
}

TEST(RecordFile, HandZeroReadsNothingAndAMissingHandOnlyRecolours) {
  EndTable t;
  t.State(2) = {"keep"};
  ScoreControl(t.c, "State", 1).color = kGreen;
  ScoreControl(t.c, "ID", 1).color = kGreen;
  ReadHandRecord(t.c, 0);
  EXPECT_EQ(ScoreControl(t.c, "State", 1).color, kGreen);
  EXPECT_EQ(ScoreControl(t.c, "ID", 1).color, kGreen);
  ReadHandRecord(t.c, 9);  // no file at all
  EXPECT_EQ(t.State(2), Lines{"keep"});
  EXPECT_EQ(ScoreControl(t.c, "State", 1).color, kBlack);
  EXPECT_EQ(ScoreControl(t.c, "ID", 1).color, kRed);
  EXPECT_FALSE(std::filesystem::exists(t.RecordPath()));
}

TEST(RecordFile, ADamagedCountIsBoundedAndTheListsAfterAMissingCountStay) {
  EndTable t;
  classIniFile f;
  f.INIFileName = t.RecordPath();
  f.WriteIniKey("juNum:2", "count( 0 )", "99999999999");
  f.WriteIniKey("juNum:2", "count( 1 )", "-3");
  f.WriteIniKey("juNum:2", "count( 2 )", "2.9");
  f.WriteIniKey("juNum:2", "count( 2 )( 1 )", "second");
  t.State(3) = {"kept"};
  ReadHandRecord(t.c, 2);
  EXPECT_EQ(t.State(0).size(), 1000u);
  EXPECT_EQ(t.State(1), Lines{});
  EXPECT_EQ(t.State(2), (Lines{" ", "second"}));
  EXPECT_EQ(t.State(3), Lines{"kept"});
}

// Ten finished hands in the ranking window, each also in the record file.
struct TenHands : EndTable {
  TenHands() {
    for (int n = 1; n <= 10; ++n) {
      Num().push_back(PadRight(std::to_string(n), 12));
      for (int s = 0; s < kSides; ++s) Grade(s).push_back(std::to_string(n * 10 + s));
      for (int k = 0; k < 8; ++k) State(k) = {"hand " + std::to_string(n)};
      WriteHandRecord(c, n);
    }
  }
};

TEST(Ranking, APressedLineIsSelectedAcrossAllFiveListsAndADoubleClickOpensItsHand) {
  TenHands t;
  const int grade2 = ControlIndex(t.c, FormId::Hero, "Grade", 2);
  FormSelect(t.c, FormId::Hero, grade2, 3);
  EXPECT_EQ(HeroControl(t.c, "Num", 0).selected, 3);
  for (int s = 0; s < kSides; ++s) EXPECT_EQ(HeroControl(t.c, "Grade", s).selected, 3);
  FormDoubleClick(t.c, FormId::Hero, grade2);
  EXPECT_EQ(t.State(0), Lines{"hand 4"});
  EXPECT_TRUE(t.c.forms[FormId::Score].visible);

  const int num = ControlIndex(t.c, FormId::Hero, "Num", 0);
  FormSelect(t.c, FormId::Hero, num, 8);
  for (int s = 0; s < kSides; ++s) EXPECT_EQ(HeroControl(t.c, "Grade", s).selected, 8);
  FormDoubleClick(t.c, FormId::Hero, num);
  EXPECT_EQ(t.State(7), Lines{"hand 9"});
}

TEST(Ranking, TheWindowDragsFromItsNamesFacesAndHintAndOpensOnItsLatestHands) {
  TenHands t;
  SmallForm& hero = HeroWindow(t.c);
  for (const Control& k : hero.controls) {
    const std::string name = k.name;
    EXPECT_EQ(k.drags, name == "ID" || name == "Tou" || name == "Label1" || name == "Caption")
        << name << k.index;
  }
  // Each showing asks every hand list to show its last line.
  const unsigned before = HeroControl(t.c, "Grade", 1).scrollToLast;
  ToggleHeroWindow(t.c);
  ASSERT_TRUE(hero.visible);
  EXPECT_EQ(HeroControl(t.c, "Grade", 1).scrollToLast, before + 1);
  EXPECT_EQ(HeroControl(t.c, "Num", 0).scrollToLast, before + 1);
}

TEST(Ranking, ADoubleClickBelowTheLinesOpensNothing) {
  TenHands t;
  for (int k = 0; k < 8; ++k) t.State(k) = {"shown"};
  const int num = ControlIndex(t.c, FormId::Hero, "Num", 0);
  FormSelect(t.c, FormId::Hero, num, -1);
  FormDoubleClick(t.c, FormId::Hero, num);
  EXPECT_TRUE(t.c.forms[FormId::Score].visible);
  EXPECT_EQ(t.State(0), Lines{"shown"});
}

TEST(Windows, CloseButtonsHideAndTheControlBarReopensTheSameSheet) {
  TenHands t;
  LayOutTable(t.c);
  ShowResultWindow(t.c);
  const int close = ControlIndex(t.c, FormId::Score, "Image1", 0);
  FormClick(t.c, FormId::Score, close);
  EXPECT_FALSE(t.c.forms[FormId::Score].visible);
  EXPECT_TRUE(t.c.forms[FormId::Score].loaded);
  t.c.table.HandNo = 10;
  t.c.table.HandInProgress = false;
  OnControlBarClick(t.c, 5);
  EXPECT_TRUE(t.c.forms[FormId::Score].visible);
  EXPECT_TRUE(t.c.forms[FormId::Score].topmost);
  EXPECT_EQ(t.State(0), Lines{"hand 10"});
  OnControlBarClick(t.c, 5);
  EXPECT_FALSE(t.c.forms[FormId::Score].visible);
  // During the next hand the button shows the hand before it.
  t.c.table.HandNo = 6;
  t.c.table.HandInProgress = true;
  OnControlBarClick(t.c, 5);
  EXPECT_EQ(t.State(0), Lines{"hand 5"});

  OnControlBarClick(t.c, 6);
  EXPECT_TRUE(t.c.forms[FormId::Hero].visible);
  FormClick(t.c, FormId::Hero, ControlIndex(t.c, FormId::Hero, "Image1", 0));
  EXPECT_FALSE(t.c.forms[FormId::Hero].visible);
}

TEST(Windows, CaptionsPlacesAndANewSeatingEmptiesTheRanking) {
  EndTable t;
  LayOutTable(t.c);
  t.c.view.windowLeft = 30;
  t.c.view.windowTop = 10;
  ShowRankingWindow(t.c);
  const SmallForm& hero = t.c.forms[FormId::Hero];
  EXPECT_EQ(hero.caption, "英雄榜");
  EXPECT_EQ(hero.opacity, 255);
  EXPECT_EQ(hero.left, 30 + t.c.view.pic1X + (t.c.view.pic1W - hero.w) / 2);
  EXPECT_EQ(t.c.forms[FormId::Hero].find("Label1")->caption, "点击查看明细");
  EXPECT_EQ(t.c.forms[FormId::Hero].find("Label2")->caption, "输赢总分：");
  // Both windows show their captions.
  EXPECT_EQ(t.c.forms[FormId::Hero].find("Caption")->caption, "英雄榜");
  EXPECT_EQ(ScoreWindow(t.c).caption, "战绩板");
  EXPECT_EQ(ScoreControl(t.c, "Label1", 0).caption, "战绩板");
  EXPECT_EQ(ScoreControl(t.c, "ID", 3).caption, "玩家3");

  t.Num() = {"1"};
  t.Grade(1) = {"10"};
  HeroControl(t.c, "sumScore", 1).caption = "10金币";
  t.c.settlement.RunningTotal = {10, 0, 0, 0};
  WriteHandRecord(t.c, 1);
  Frame f = testing::ServerFrame(protocol::kInsPlayerName, 1);
  testing::PutText(f, protocol::kPayloadOffset, "amy");
  t.Feed(f);
  EXPECT_TRUE(t.Num().empty());
  EXPECT_TRUE(t.Grade(1).empty());
  EXPECT_EQ(t.c.settlement.RunningTotal[0], 0);
  EXPECT_TRUE(HeroControl(t.c, "sumScore", 1).caption.empty());
  EXPECT_FALSE(std::filesystem::exists(t.RecordPath()));
}

}  // namespace
}  // namespace tavren

namespace tavren {
namespace {

TEST(Windows, BothAreTranslucentOnlyWhereTheSystemLayersSmallWindows) {
  struct Case {
    OsVersion os;
    int opacity;
  } cases[] = {{{}, 255}, {{2, 5}, 200}, {{2, 6}, 255}, {{1, 5}, 255}};
  for (const Case& k : cases) {
    EndTable t;
    t.platform.os = k.os;
    EXPECT_EQ(ScoreWindow(t.c).opacity, k.opacity) << k.os.platform << "." << k.os.major;
    EXPECT_EQ(HeroWindow(t.c).opacity, k.opacity) << k.os.platform << "." << k.os.major;
  }
}

TEST(Windows, BackToTheLobbyBothWindowsAreEmptiedAndHidden) {
  testing::EndTable t;
  LayOutTable(t.c);
  t.Num() = {"1"};
  t.Grade(2) = {"-10"};
  t.State(0) = {"sheet"};
  t.State(6) = {"最终分：-10金币"};
  HeroControl(t.c, "sumScore", 2).caption = "-10金币";
  WriteHandRecord(t.c, 1);
  ShowResultWindow(t.c);
  ShowRankingWindow(t.c);
  ResetToLobby(t.c);
  EXPECT_TRUE(t.Num().empty());
  EXPECT_TRUE(t.Grade(2).empty());
  EXPECT_TRUE(t.State(0).empty());
  EXPECT_TRUE(t.State(6).empty());
  EXPECT_TRUE(HeroControl(t.c, "sumScore", 2).caption.empty());
  EXPECT_FALSE(t.c.forms[FormId::Score].visible);
  EXPECT_FALSE(t.c.forms[FormId::Hero].visible);
  EXPECT_FALSE(std::filesystem::exists(t.RecordPath()));
}

}  // namespace
}  // namespace tavren
