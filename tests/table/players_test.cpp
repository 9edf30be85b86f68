// Player records: the details they carry, the panels and portraits they fill,
// ready marks, waiting players, a watcher's table, the seat-wind draw and the
// voices handed out at the start of a game.
#include "table/players.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/results_fixture.h"
#include "table/results.h"
#include "view/motion.h"

namespace tavren {
namespace {

namespace p = protocol;
using testing::EndTable;
using testing::PutText;
using testing::ServerFrame;

struct Rec {
  std::string nick = "nick", face = "m3", account = "acct", title = "t", level = "lv";
  int sex = 0;
  std::uint64_t money3 = 0;
  bool ready = false;
  std::uint64_t userId = 0;
};

void PutU64(Frame& f, std::size_t at, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) f[at + static_cast<std::size_t>(i)] = (v >> (8 * i)) & 0xFF;
}

Frame RecordFrame(int seatByte, const Rec& r) {
  Frame f = ServerFrame(p::kInsPlayerRecord, static_cast<std::uint8_t>(seatByte));
  PutText(f, 16, r.nick);
  PutText(f, 48, r.face);
  f[64] = static_cast<std::uint8_t>(r.sex);
  PutU64(f, 96, r.money3);
  PutText(f, 112, r.level);
  PutText(f, 168, r.account);
  PutText(f, 184, r.title);
  f[208] = r.ready ? 1 : 0;
  PutU64(f, 226, r.userId);
  return f;
}

int Portrait(const Client& c, int p) {
  return c.view.pics.PortraitPics[static_cast<std::size_t>(p)];
}

TEST(PlayerInfo, EveryFieldIsReadFromItsBytes) {
  Frame f{};
  PutText(f, 16, "\xD5\xC5\xC8\xFD");  // 张三
  PutText(f, 72, "\xB1\xB1\xBE\xA9");  // 北京
  f[64] = 1;
  PutU64(f, 80, 1);
  PutU64(f, 88, 0x0102030405060708ULL);
  PutU64(f, 96, 1234567);
  PutU64(f, 104, ~0ULL);
  PutText(f, 112, "\xB8\xDF\xCA\xD6");  // 高手
  f[152] = 5;
  f[156] = 0xFF, f[157] = 0xFF, f[158] = 0xFF, f[159] = 0xFF;
  f[160] = 0x10, f[161] = 0x27;
  f[164] = 1, f[165] = 1;
  PutText(f, 168, "amy");
  PutText(f, 184, "\xB4\xF3\xCF\xC0");  // 大侠
  PutText(f, 210, "27");
  PutText(f, 218, "20");
  PutU64(f, 226, 900005);
  PlayerInfoRecord r;
  ParsePlayerInfo(r, f);
  EXPECT_EQ(r.nick, "张三");
  EXPECT_EQ(r.face, "m1");  // no face code
  EXPECT_EQ(r.sex, 1);
  EXPECT_EQ(r.tag, "北京");
  EXPECT_EQ(r.money1, 1u);
  EXPECT_EQ(r.money2, 0x0102030405060708ULL);
  EXPECT_EQ(r.money3, 1234567u);
  EXPECT_EQ(r.money4, ~0ULL);
  EXPECT_EQ(r.level, "高手");
  EXPECT_EQ(r.stat1, 5);
  EXPECT_EQ(r.stat2, -1);
  EXPECT_EQ(r.stat3, 10000);
  EXPECT_EQ(r.stat4, 257);
  EXPECT_EQ(r.account, "amy");
  EXPECT_EQ(r.title, "大侠");
  EXPECT_EQ(r.voiceSet, "27");
  EXPECT_EQ(r.voicePitch, "20");
  EXPECT_EQ(r.userId, 900005);
}

TEST(PlayerInfo, TextStaysInsideItsField) {
  Frame f{};
  // A nick that fills its 32 bytes and ends in a lead byte: the byte after
  // the field (the face code) is not taken into the name.
  std::string nick(31, 'a');
  nick += '\xB8';
  PutText(f, 16, nick);
  PutText(f, 48, "w7");
  PlayerInfoRecord r;
  ParsePlayerInfo(r, f);
  EXPECT_EQ(r.nick.substr(0, 31), std::string(31, 'a'));
  EXPECT_EQ(r.nick.size(), 31u + 3u);  // the lone lead byte as one replacement character
  EXPECT_EQ(r.face, "w7");
}

TEST(PlayerRecord, PortraitsFollowTheFaceCode) {
  struct Case {
    std::string face;
    int portrait;
  } cases[] = {{"m1", 0},   {"m3", 2}, {"w3", 12}, {"m12", 0}, {"m10", 9},
               {"w10", 19}, {"m0", 0}, {"w0", 10}, {"x", 12},  {"mx", 12}};
  EndTable t;
  t.c.table.custom[0].seat = 1;
  int previous = 12;
  t.Feed(RecordFrame(8, Rec{.face = "w3"}));
  for (const Case& k : cases) {
    t.Feed(RecordFrame(8, Rec{.face = k.face}));
    const int expected = k.face == "x" || k.face == "mx" ? previous : k.portrait;
    EXPECT_EQ(t.c.view.Tou[1].picture, Portrait(t.c, expected)) << k.face;
    EXPECT_EQ(ScoreControl(t.c, "Tou", 1).picture, Portrait(t.c, expected)) << k.face;
    EXPECT_EQ(HeroControl(t.c, "Tou", 1).picture, Portrait(t.c, expected)) << k.face;
    previous = expected;
  }
  EXPECT_EQ(PortraitNumber("x", 12), 12);
  EXPECT_EQ(PortraitNumber("w3", 0), 12);
}

TEST(PlayerRecord, PanelsOfTheRecordsSideAndTheUsersOwnRecords) {
  EndTable t;  // own seat bit 1; seat bits 8, 4, 2 at sides 1, 2, 3
  t.c.input.TableActive = true;
  t.Feed(RecordFrame(4, Rec{.nick = "\xD5\xC5\xC8\xFD",
                            .account = "zhang",
                            .title = "\xB4\xF3\xCF\xC0",
                            .level = "\xB8\xDF\xCA\xD6",
                            .money3 = 2500,
                            .ready = true}));
  EXPECT_EQ(t.hand(2).name, "zhang");
  EXPECT_EQ(t.c.view.Nid[2].caption, "[大侠] 张三");
  EXPECT_EQ(t.c.view.Cash[2].caption, "2500金币");
  EXPECT_EQ(t.c.view.Level[2].caption, "高手");
  EXPECT_EQ(ScoreControl(t.c, "ID", 2).caption, "张三");
  EXPECT_EQ(HeroControl(t.c, "ID", 2).caption, "张三");
  EXPECT_TRUE(t.c.view.OK[2].visible);
  EXPECT_EQ(t.c.table.PlayerInfo[2].money3, 2500u);
  EXPECT_TRUE(t.c.input.TableActive);

  // The user's own seat bit changes no panel.
  t.Feed(RecordFrame(1, Rec{.nick = "me", .account = "me"}));
  EXPECT_TRUE(t.c.view.Nid[0].caption.empty());
  EXPECT_EQ(t.hand(0).name, "amy");
  // Seat 15 is the user's own record: side 0, and the ready button is free.
  t.Feed(RecordFrame(15, Rec{.nick = "me", .account = "amy", .title = "\xD0\xC2\xCA\xD6"}));
  EXPECT_EQ(t.c.view.Nid[0].caption, "[新手] me");
  EXPECT_FALSE(t.c.view.OK[0].visible);
  EXPECT_FALSE(t.c.input.TableActive);
}

TEST(PlayerRecord, AllThreeOthersReadyAfterAHandClearTheTable) {
  EndTable t;
  t.c.table.HandsStarted = 1;
  t.c.table.TableCleared = false;
  t.c.table.HandInProgress = true;
  for (int seat : {8, 4}) t.Feed(RecordFrame(seat, Rec{.ready = true}));
  EXPECT_FALSE(t.c.table.TableCleared);
  t.Feed(RecordFrame(2, Rec{.ready = true}));
  EXPECT_TRUE(t.c.table.TableCleared);
  EXPECT_FALSE(t.c.table.HandInProgress);
  EXPECT_EQ(t.c.view.AnNiu[2].picture, ButtonPicture(t.c, 6));
}

// The others are ready while the user's countdown to the next hand runs: the
// table is cleared for it, and the countdown stays in sight as it goes on.
TEST(PlayerRecord, TheOthersReadyClearTheTableButNotTheUsersCountdown) {
  struct Case {
    const char* why;
    int handsStarted, waiting;
    bool countdown;
    bool readyInstruction;  // the marks come by instruction 23, not by the records
  } cases[] = {
      {"all three records ready after a hand", 1, 0, true, false},
      {"all three ready by instruction 23 after a hand", 1, 0, true, true},
      {"a record when three players waited", 0, 3, true, false},
      {"no countdown running (a watcher)", 1, 0, false, false},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.why);
    EndTable t;
    const int seats[] = {8, 4, 2};
    if (k.readyInstruction)
      for (int i = 0; i < 3; ++i)
        t.Feed(RecordFrame(seats[i], Rec{.account = "acct" + std::to_string(i)}));
    t.c.table.HandsStarted = k.handsStarted;
    t.c.handEnd.WaitingCount = k.waiting;
    if (k.countdown) ArmContinueCountdown(t.c, 15);
    t.c.table.TableCleared = false;
    for (int i = 0; i < 3; ++i) {
      if (!k.readyInstruction) {
        t.Feed(RecordFrame(seats[i], Rec{.ready = true}));
        continue;
      }
      Frame f = ServerFrame(p::kInsReady, static_cast<std::uint8_t>(seats[i]), {0, 0, 0, 1});
      PutText(f, p::kPayloadOffset, "acct" + std::to_string(i));
      t.Feed(f);
    }
    ASSERT_TRUE(t.c.table.TableCleared);
    ASSERT_EQ(t.c.link.ContinueClockOn, k.countdown);
    EXPECT_EQ(t.c.view.Number.visible, k.countdown);
    EXPECT_EQ(t.c.view.Time_Img.visible, k.countdown);
    if (!k.countdown) continue;
    EXPECT_EQ(t.c.view.Number.caption, "15");
    // The digits over their frame.
    const auto& order = t.c.view.order;
    const auto at = [&](const Control& c) { return std::find(order.begin(), order.end(), &c); };
    EXPECT_GT(at(t.c.view.Number), at(t.c.view.Time_Img));
  }
}

TEST(PlayerRecord, TheFourthRecordAfterTheNamesDrawsTheWindsAndHandsOutVoices) {
  EndTable t;
  SeedVoices(t.c, 3);
  SeedWindDraw(t.c, 5);
  for (int i = 0; i < 4; ++i) {
    Frame f = ServerFrame(p::kInsPlayerName, static_cast<std::uint8_t>(1 << i));
    PutText(f, p::kPayloadOffset, i == 0 ? "amy" : "bot" + std::to_string(i));
    t.Feed(f);
  }
  ASSERT_EQ(t.c.play.SeatDrawState, -1);
  const int pauses = static_cast<int>(t.platform.pausedMs);
  t.Feed(RecordFrame(15, Rec{.account = "amy", .sex = 1}));
  for (int seat : {2, 4}) t.Feed(RecordFrame(seat, Rec{.sex = 0}));
  EXPECT_EQ(t.c.play.SeatDrawState, -1);
  t.Feed(RecordFrame(8, Rec{.sex = 0}));
  EXPECT_EQ(t.c.play.SeatDrawState, 0);
  EXPECT_EQ(t.c.play.SeatCount, 5);
  EXPECT_EQ(t.platform.pausedMs - pauses, 1000);  // the wind draw's two pauses
  EXPECT_EQ(t.c.view.ZhiNan.picture, t.c.view.pics.CompassPics[0]);
  int male = 0;
  for (bool taken : t.c.handEnd.VoiceTaken0) male += taken ? 1 : 0;
  EXPECT_EQ(male, 3);  // three players of sex 0, three different voices
  for (const PlayerInfoRecord& r : t.c.table.PlayerInfo) {
    EXPECT_EQ(r.voiceSet, "27");
    EXPECT_EQ(r.voiceVariant, r.sex != 0 ? 3 : 2);
  }
  // A further record draws nothing again.
  t.Feed(RecordFrame(8, Rec{}));
  EXPECT_EQ(t.platform.pausedMs - pauses, 1000);
}

TEST(Voices, EveryPlayerOfASexGetsAFreeNumberAndItsParityGivesThePitch) {
  for (std::uint32_t seed = 0; seed < 40; ++seed) {
    EndTable t;
    SeedVoices(t.c, seed);
    const int sexes[4] = {0, 1, 1, 2};
    for (int s = 0; s < kSides; ++s) {
      t.c.table.PlayerInfo[static_cast<std::size_t>(s)].sex = sexes[s];
      t.c.table.PlayerInfo[static_cast<std::size_t>(s)].voicePitch = "xx";
    }
    AssignVoices(t.c);
    const HandEndState& e = t.c.handEnd;
    int male = -1, female = 0;
    for (int n = 0; n < kVoicesMale; ++n)
      if (e.VoiceTaken0[static_cast<std::size_t>(n)]) male = n;
    for (bool taken : e.VoiceTaken1) female += taken ? 1 : 0;
    ASSERT_GE(male, 0);
    EXPECT_EQ(female, 2) << seed;
    EXPECT_EQ(t.c.table.PlayerInfo[0].voicePitch, male % 2 == 0 ? "10" : "20");
    EXPECT_EQ(t.c.table.PlayerInfo[3].voicePitch, "xx");  // sex 2 gets no voice number
    EXPECT_EQ(t.c.table.PlayerInfo[3].voiceVariant, 3);
  }
}

TEST(Voices, WhenEveryNumberIsTakenTheDrawnOneStays) {
  EndTable t;
  SeedVoices(t.c, 1);
  for (PlayerInfoRecord& r : t.c.table.PlayerInfo) r.sex = 1;
  AssignVoices(t.c);
  int female = 0;
  for (bool taken : t.c.handEnd.VoiceTaken1) female += taken ? 1 : 0;
  EXPECT_EQ(female, 4);
}

TEST(PlayerRecord, PlayersWithoutASeatFillTheFreePanels) {
  EndTable t;
  t.c.view.minimized = true;
  t.Feed(RecordFrame(0, Rec{.nick = "p1", .account = "a1"}));
  EXPECT_EQ(t.c.view.Nid[1].caption, "[t] p1");
  t.Feed(RecordFrame(0, Rec{.nick = "p2", .account = "a2"}));
  EXPECT_EQ(t.c.view.Nid[2].caption, "[t] p2");
  t.Feed(RecordFrame(0, Rec{.nick = "p2 again", .account = "a2"}));  // shown already
  EXPECT_EQ(t.c.view.Nid[2].caption, "[t] p2");
  EXPECT_EQ(t.c.handEnd.WaitingCount, 2);
  const std::size_t lobbyBefore = t.platform.lobby.received.size();
  t.c.table.TableCleared = false;
  t.Feed(RecordFrame(0, Rec{.nick = "p3", .account = "a3"}));
  EXPECT_EQ(t.c.view.Nid[3].caption, "[t] p3");
  EXPECT_EQ(t.c.handEnd.WaitingCount, 3);
  EXPECT_FALSE(t.c.view.minimized);
  EXPECT_EQ(t.platform.lobby.received.size(), lobbyBefore + 1);
  EXPECT_EQ(t.platform.lobby.received.back().wParam, kScMinimize);
  EXPECT_TRUE(t.c.table.TableCleared);
  EXPECT_EQ(t.c.view.Sysmsg[0].text(), "游戏将在15秒内开始");
  // No panel free for a fourth: nothing is shown and nothing breaks.
  t.Feed(RecordFrame(0, Rec{.nick = "p4", .account = "a4"}));
  EXPECT_FALSE(t.c.ended);
  EXPECT_EQ(t.c.handEnd.WaitingCount, 3);
}

TEST(Watching, TheFirstFourRecordsTurnTheTableToTheWatchedPlayer) {
  EndTable t;
  t.c.table.Watching = true;
  t.c.table.custom[0].seat = 0;
  t.c.table.PlayerInfo[0].userId = 77;
  const struct {
    int seat;
    const char* account;
    const char* face;
    std::uint64_t id;
  } records[] = {
      {1, "one", "w3", 11}, {2, "two", "m12", 12}, {4, "four", "m5", 77}, {8, "eight", "w1", 18}};
  for (const auto& r : records) {
    t.Feed(RecordFrame(r.seat, Rec{.face = r.face, .account = r.account, .userId = r.id}));
    if (r.seat != 8) {
      EXPECT_TRUE(t.c.view.Nid[0].caption.empty());
    }
  }
  // The watched player sits at seat bit 4: bit 8 is side 3, 1 side 2, 2 side 1.
  const std::uint8_t seats[4] = {4, 2, 1, 8};
  const char* names[4] = {"four", "two", "one", "eight"};
  // The watched table's rule gives "w3" 7 and "m12" 0; the fourth record then
  // goes on as any record, and its "w1" becomes 10.
  const int portraits[4] = {4, 0, 7, 10};
  for (int k = 0; k < kSides; ++k) {
    EXPECT_EQ(t.hand(k).seat, seats[k]);
    EXPECT_EQ(t.hand(k).name, names[k]);
    EXPECT_EQ(t.c.view.Tou[static_cast<std::size_t>(k)].picture, Portrait(t.c, portraits[k])) << k;
    EXPECT_FALSE(t.c.view.Nid[static_cast<std::size_t>(k)].caption.empty());
  }
  EXPECT_EQ(t.c.table.PlayerInfo[0].userId, 77);
  // Later records change nothing for a watcher.
  t.Feed(RecordFrame(2, Rec{.nick = "later", .account = "later", .ready = true}));
  EXPECT_EQ(t.hand(1).name, "two");
  EXPECT_FALSE(t.c.view.OK[1].visible);
}

TEST(Watching, BackFromTheLobbyTheNextFourRecordsSeatTheTableAgain) {
  EndTable t;
  t.c.table.Watching = true;
  t.c.table.PlayerInfo[0].userId = 0;  // emptied by the lobby reset; records below carry 0
  for (int seat : {1, 2, 4, 8}) t.Feed(RecordFrame(seat, Rec{.account = "first"}));
  EXPECT_FALSE(t.c.view.Nid[2].caption.empty());
  ResetToLobby(t.c);
  EXPECT_TRUE(t.c.view.Nid[2].caption.empty());
  for (int seat : {1, 2, 4, 8})
    t.Feed(RecordFrame(seat, Rec{.nick = "again", .account = "second"}));
  EXPECT_FALSE(t.c.ended);
  for (int k = 0; k < kSides; ++k) {
    EXPECT_EQ(t.hand(k).name, "second") << k;
    EXPECT_EQ(t.c.view.Nid[static_cast<std::size_t>(k)].caption, "[t] again") << k;
  }
}

TEST(Watching, ATableWithoutTheWatchedPlayerEndsTheClient) {
  EndTable t;
  t.c.table.Watching = true;
  t.c.table.PlayerInfo[0].userId = 5;
  for (int seat : {1, 2, 4, 8}) t.Feed(RecordFrame(seat, Rec{.userId = 9}));
  EXPECT_TRUE(t.c.ended);
}

}  // namespace
}  // namespace tavren
