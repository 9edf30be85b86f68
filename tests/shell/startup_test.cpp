// Start-up from the command line, the lobby's messages and the login result,
// in the simulated world.
#include "shell/startup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/sim_client.h"

namespace tavren {
namespace {

using testing::ServerFrame;
using testing::SimClient;

// Thirteen fields; a player's line ends with "$".
std::string Line(const std::string& account = "a", const std::string& port = "8000",
                 const std::string& mode = "0", bool watching = false) {
  std::string s =
      account + "$k$" + std::string(testing::kHost) + "$" + port + "$T1$" + mode + "$$0$$$0$$";
  return watching ? s : s + "$";
}

struct Harness {
  SimClient s;
  std::vector<Frame> got;
  Harness() {
    s.c.table.custom[0].seat = 0;
    s.c.link.LinkReady = false;
    s.server.onFrame = [this](sim::Connection&, const Frame& f) { got.push_back(f); };
  }
  // Starts with `line` and runs a second of virtual time.
  void Start(const std::string& line) {
    StartUp(s.c, line);
    s.Run(1000);
  }
  void Answer(const Frame& f) {
    ASSERT_NE(s.server.last(), nullptr);
    s.server.last()->sendFrame(f);
    s.Run(500);
  }
};

class StartUpTest : public ::testing::Test, protected Harness {};

TEST(HandOver, ParsesThirteenFields) {
  auto h = ParseHandOver("acc$key$h$8000$T1$0$ph$1080$u$pw$1$Lobby$Main$");
  ASSERT_TRUE(h);
  EXPECT_FALSE(h->watching);
  EXPECT_EQ(h->field[1], "acc");
  EXPECT_EQ(h->field[3], "h");
  EXPECT_EQ(h->serverPort, 8000);
  EXPECT_EQ(h->linkMode, 0);
  EXPECT_EQ(h->field[7], "ph");
  EXPECT_EQ(h->proxyPort, 1080);
  EXPECT_TRUE(h->unattended);
  EXPECT_EQ(h->field[12], "Lobby");
  EXPECT_EQ(h->field[13], "Main");
}

TEST(HandOver, WatchingReadsTheWatchedPlayerAfterTheLocation) {
  auto h = ParseHandOver("acc$key$h$8000$T1$0$$0$$$0$$Main");
  ASSERT_TRUE(h);
  EXPECT_TRUE(h->watching);
  EXPECT_EQ(h->watchedUserId, 0);
  // The id has its own place: the mode and the fields after it keep theirs.
  auto w = ParseHandOver("acc$watch=0$h$7000$T1$123456$5$ph$1080$u$p$0");
  ASSERT_TRUE(w);
  EXPECT_EQ(w->watchedUserId, 123456);
  EXPECT_EQ(w->linkMode, 5);
  EXPECT_EQ(w->field[7], "ph");
  EXPECT_EQ(w->proxyPort, 1080);
  auto lobby = ParseHandOver("amy$watch=0$127.0.0.1$7000$T1$123456$$$$$0");
  ASSERT_TRUE(lobby);
  EXPECT_EQ(lobby->watchedUserId, 123456);
  EXPECT_EQ(lobby->linkMode, 0);
}

TEST(HandOver, RefusesFieldsThatCannotBeUsed) {
  const char* bad[] = {
      "a$k$h$port$T1$0$$0$$$0$$$",                  // port not a number
      "a$k$h$70000$T1$0$$0$$$0$$$",                 // port out of range
      "a$k$h$$T1$0$$0$$$0$$$",                      // no port
      "a$k$h$8000$T1$x$$0$$$0$$$",                  // mode not a number
      "a$k$h$8000$T1$0$$80x$$$0$$$",                // proxy port not a number
      "帐号$k$h$8000$T1$0$$0$$$0$$$",               // account not single-byte text
      "a$密钥$h$8000$T1$0$$0$$$0$$$",               // key not single-byte text
      "abcdefghijklmnopq$k$h$8000$T1$0$$0$$$0$$$",  // 17 bytes do not fit the name field
      "a$k$h$8000$T1$x$$0$$$0$$M",                  // watching, no number after the location
  };
  for (const char* line : bad) EXPECT_FALSE(ParseHandOver(line)) << line;
  EXPECT_TRUE(ParseHandOver("abcdefghijklmnop$k$h$8000$T1$0$$0$$$0$$$"));  // 16 bytes fit
  EXPECT_TRUE(ParseHandOver("a$k$h$8000$T1$$$$$$$$$"));  // empty mode and proxy port read as 0
}

TEST_F(StartUpTest, DirectConnectionSendsTheLoginFrameFirst) {
  Start(Line());
  EXPECT_EQ(s.platform.lastHost, testing::kHost);
  EXPECT_EQ(s.platform.lastPort, 8000);
  EXPECT_FALSE(s.c.table.Watching);
  EXPECT_EQ(s.c.shell.LobbyCaption, "Qixo山庄");
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got[0][3], 18);
  EXPECT_EQ(got[0][16], 'a');
  EXPECT_EQ(got[0][17], 0);
  EXPECT_EQ(got[0][32], 'k');
  EXPECT_TRUE(s.c.link.LoginAwaited);
  EXPECT_EQ(s.c.view.Sysmsg[0].text(), "正在连接服务器...");
  EXPECT_EQ(s.c.table.custom[0].name, "a");
  EXPECT_TRUE(s.c.view.shown);
  // The lobby heard that the login is about to go out.
  EXPECT_EQ(s.platform.lobby.count(kWmEndSession), 1);
  // The background loop started.
  ASSERT_FALSE(s.platform.soundDevice.plays.empty());
  EXPECT_TRUE(s.platform.soundDevice.plays[0].looping);
}

TEST_F(StartUpTest, KeepAlivesFollowEveryFiveSecondsWithTheServersToken) {
  Start(Line());
  Answer(ServerFrame(18, 1, {0, 10, 0, 1}, 0x1234));
  got.clear();
  s.Run(15000);
  ASSERT_GE(got.size(), 3u);
  for (const Frame& f : got) {
    EXPECT_EQ(f[3], 24);
    EXPECT_EQ(f[260], 0x12);
    EXPECT_EQ(f[261], 0x34);
  }
}

TEST_F(StartUpTest, NoCommandLineSaysSoAndEnds) {
  StartUp(s.c, "   ");
  EXPECT_TRUE(s.c.ended);
  ASSERT_EQ(s.platform.messageBoxes.size(), 1u);
  EXPECT_EQ(s.platform.messageBoxes[0].title, "警告");
  EXPECT_EQ(s.platform.messageBoxes[0].text, "本游戏需从游戏大厅中启动！");
}

TEST_F(StartUpTest, SecondInstanceRestoresTheLobbyAndEnds) {
  s.platform.instanceLockFree = false;
  StartUp(s.c, Line());
  EXPECT_TRUE(s.c.ended);
  ASSERT_EQ(s.platform.messageBoxes.size(), 1u);
  EXPECT_EQ(s.platform.messageBoxes[0].text, "Tavren麻将游戏已经运行！");
  EXPECT_EQ(s.platform.lobby.count(kWmSysCommand), 1);
  EXPECT_EQ(s.platform.connectAttempts, 0);
}

TEST_F(StartUpTest, BadCommandLineRestoresTheLobbyAndEndsCleanly) {
  StartUp(s.c, Line("a", "80a0"));
  EXPECT_TRUE(s.c.ended);
  EXPECT_EQ(s.platform.lobby.count(kWmSysCommand), 1);
  EXPECT_EQ(s.platform.lobby.received[0].wParam, kScRestore);
  EXPECT_EQ(s.platform.connectAttempts, 0);
}

TEST_F(StartUpTest, UnattendedModeUsesTheGivenCaptionsAndTurnTime) {
  s.platform.lobby.caption = "Robots";
  Start("a$k$" + std::string(testing::kHost) + "$8000$T1$0$$0$$$1$Robots$Bot table$");
  EXPECT_TRUE(s.c.shell.UnattendedMode);
  EXPECT_EQ(s.c.shell.LobbyCaption, "Robots");
  EXPECT_EQ(s.c.view.caption, "Bot table");
  EXPECT_EQ(s.c.offer.TurnTime, 5);
  EXPECT_EQ(s.platform.lobby.count(kWmEndSession), 1);  // found under its own caption
}

TEST_F(StartUpTest, AWatcherConnectsAndRemembersWhomItWatches) {
  Start("a$watch=0$" + std::string(testing::kHost) + "$8000$T1$77$0$$0$$$0");
  EXPECT_TRUE(s.c.table.Watching);
  EXPECT_EQ(s.c.table.PlayerInfo[0].userId, 77);
  EXPECT_EQ(s.platform.connectAttempts, 1);
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got[0][3], 18);
}

TEST_F(StartUpTest, OtherModesStartNoConnection) {
  Start(Line("a", "8000", "3"));
  EXPECT_EQ(s.platform.connectAttempts, 0);
  EXPECT_FALSE(s.c.ended);
}

TEST_F(StartUpTest, AcceptedLoginSetsTurnTimeAutoPlayLimitAndPage) {
  Start(Line());
  Frame f = ServerFrame(18, 1, {0, 0x3A, 0, 1}, 0x0102);  // turn time 0x3A AND 15 = 10
  f[9] = 0x3A;                                            // byte 9: auto-play after 58
  testing::PutText(f, 16, "http://127.0.0.1/page");
  Answer(f);
  EXPECT_TRUE(s.c.table.LoginAccepted);
  EXPECT_FALSE(s.c.link.LoginAwaited);
  EXPECT_EQ(s.c.offer.TurnTime, 10);
  EXPECT_EQ(s.c.link.AutoPlayAfter, 0x3A);
  EXPECT_EQ(s.c.shell.AdUrl, "http://127.0.0.1/page");
  EXPECT_TRUE(s.c.view.pageLinked);
  EXPECT_EQ(s.c.view.Sysmsg[0].text(), "连接服务器成功！");
  EXPECT_EQ(s.c.view.Sysmsg[1].text(), "三片起胡,吃牌上听");
  EXPECT_EQ(s.platform.lobby.count(kWmClear), 1);
}

TEST_F(StartUpTest, ALaterLoginKeepsTurnTimeAndPostsNothing) {
  Start(Line());
  s.c.table.HandsStarted = 1;
  s.c.offer.TurnTime = 12;
  Answer(ServerFrame(18, 1, {0, 3, 0, 1}));
  EXPECT_TRUE(s.c.table.LoginAccepted);
  EXPECT_EQ(s.c.offer.TurnTime, 12);
  EXPECT_EQ(s.platform.lobby.count(kWmClear), 0);
}

TEST_F(StartUpTest, RefusedLoginsRestoreTheLobbyAndEnd) {
  struct Case {
    int verdict;
    const char* message;
  };
  const Case cases[] = {{2, "启动游戏失败，请重新在大厅就座后进入游戏！"},
                        {3, "验证错误，请重新登陆游戏！"},
                        {0, "验证错误，请重新登陆游戏！"}};
  for (const auto& k : cases) {
    Harness t;
    t.Start(Line());
    t.Answer(ServerFrame(18, 1, {0, 0, 0, k.verdict}));
    EXPECT_TRUE(t.s.c.ended) << k.verdict;
    EXPECT_EQ(t.s.c.view.Sysmsg[0].text(), k.message);
    const auto& r = t.s.platform.lobby.received;
    ASSERT_GE(r.size(), 2u);
    EXPECT_EQ(r[r.size() - 2].message, kWmEndSession);
    EXPECT_EQ(r.back().message, kWmSysCommand);
    EXPECT_EQ(r.back().wParam, kScRestore);
  }
}

TEST_F(StartUpTest, StateQueryIsAnsweredByWhetherAHandIsOn) {
  Start(Line());
  OnLobbyMessage(s.c, kLobbyHandInProgress, 0, 0);
  s.c.table.HandInProgress = true;
  OnLobbyMessage(s.c, kLobbyHandInProgress, 0, 0);
  const auto& r = s.platform.lobby.received;
  ASSERT_GE(r.size(), 2u);
  EXPECT_EQ(r[r.size() - 2].message, kWmUser);
  EXPECT_EQ(r.back().message, kLobbyHandInProgress);
}

TEST_F(StartUpTest, LeaveRequestWhileTheLoginIsAwaitedChangesNothing) {
  Start(Line());
  ASSERT_TRUE(s.c.link.LoginAwaited);
  OnLobbyMessage(s.c, kWmClear, 0, 0);
  EXPECT_EQ(s.platform.lobby.received.back().message, kLobbyLoginUnderWay);
  EXPECT_EQ(s.platform.socketState(), kSocketConnected);
  EXPECT_EQ(s.c.log.count("ResetToLobby"), 0);
}

TEST_F(StartUpTest, LeaveRequestSendsTheLeaveFrameAndAnswersWmUser) {
  Start(Line());
  Answer(ServerFrame(18, 1, {0, 5, 0, 1}));
  s.c.table.custom[0].seat = 4;
  got.clear();
  OnLobbyMessage(s.c, kWmClear, 0, 0);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0][3], 16);
  EXPECT_EQ(got[0][6], 4);
  for (int i = 8; i < 272; ++i) ASSERT_EQ(got[0][i], 0) << i;
  EXPECT_EQ(s.platform.lobby.received.back().message, kWmUser);
  EXPECT_EQ(s.platform.socketState(), kSocketClosed);
  EXPECT_FALSE(TimerEnabled(s.c, TimerId::Bong));
  EXPECT_FALSE(TimerEnabled(s.c, TimerId::KeepAlive));
  EXPECT_EQ(s.c.table.custom[0].seat, 0);
  EXPECT_EQ(s.c.table.custom[0].name, "a");
}

TEST_F(StartUpTest, LeaveFrameWaitsLongerAfterAResume) {
  for (bool resumed : {false, true}) {
    Harness t;
    t.Start(Line());
    t.Answer(ServerFrame(18, 1, {0, 5, 0, 1}));
    t.s.c.link.Resumed = resumed;
    const std::int64_t before = t.s.Now();
    OnLobbyMessage(t.s.c, kWmUser, 0, 0);
    const std::int64_t waited = t.s.Now() - before;
    EXPECT_GE(waited, resumed ? 800 : 400);
    EXPECT_LT(waited, resumed ? 900 : 500);
  }
}

TEST_F(StartUpTest, SitAgainLogsInAfreshAfterAResume) {
  Start(Line());
  Answer(ServerFrame(18, 1, {0, 5, 0, 1}));
  OnLobbyMessage(s.c, kWmUser, 0, 0);
  s.c.link.LoginFrame[3] = 28;  // a resume happened before
  got.clear();
  OnLobbyMessage(s.c, kWmEndSession, 0, 0);
  s.Run(1000);
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got[0][3], 18);
  EXPECT_TRUE(s.c.link.LoginAwaited);
  EXPECT_EQ(s.c.view.AnNiu[2].picture, 105);
}

TEST_F(StartUpTest, SittingDownAgainBringsTheMinimisedWindowBackOnTop) {
  Start(Line());
  Answer(ServerFrame(18, 1, {0, 5, 0, 1}));
  OnLobbyMessage(s.c, kWmUser, 0, 0);
  s.c.view.minimized = true;  // as leaving left it
  s.c.view.raiseRequested = false;
  OnLobbyMessage(s.c, kWmEndSession, 0, 0);
  EXPECT_FALSE(s.c.view.minimized);
  EXPECT_TRUE(s.c.view.shown);
  EXPECT_TRUE(s.c.view.raiseRequested);
}

TEST_F(StartUpTest, LeavingDeletesTheRecordFile) {
  const std::string folder = ::testing::TempDir() + "/tavren-startup";
  std::filesystem::create_directories(folder);
  s.platform.folder = folder;
  { std::ofstream(folder + "/info.qx") << "[1]\n"; }
  Start(Line());
  OnLobbyMessage(s.c, kWmUser, 0, 0);
  EXPECT_FALSE(std::filesystem::exists(folder + "/info.qx"));
}

}  // namespace
}  // namespace tavren

namespace tavren {
namespace {

// The lobby's link closes. Waiting between tables the client ends at once;
// during a hand it plays the hand out and ends when the hand is over; a lobby
// that is back by then keeps it.
TEST(LobbyLinkClosed, EndsTheClientBetweenTablesOrOnceTheHandIsOver) {
  struct Case {
    const char* name;
    bool inHand;
    bool lobbyBack;
    bool endsAtOnce;
    bool endsAfterHand;
  };
  for (const Case& k : {Case{"after a leave", false, false, true, true},
                        Case{"in a hand", true, false, false, true},
                        Case{"in a hand, lobby back", true, true, false, false}}) {
    SCOPED_TRACE(k.name);
    SimClient t;
    sim::Connection& conn = t.Connect();
    t.c.table.HandInProgress = k.inHand;
    t.platform.lobby.present = false;
    OnLobbyLinkClosed(t.c);
    EXPECT_EQ(t.c.ended, k.endsAtOnce);
    EXPECT_EQ(t.platform.endRequested, k.endsAtOnce);
    if (k.endsAtOnce) continue;
    t.platform.lobby.present = k.lobbyBack;
    // The hand goes on, and ends with its first result record.
    conn.sendFrame(ServerFrame(2, 2, {0, 0, 0, 33}));
    t.Run(500);
    EXPECT_FALSE(t.c.ended);
    t.c.handlers.byType[9] = [](Client& c, const InfoRecord&) { c.table.HandInProgress = false; };
    conn.sendFrame(ServerFrame(9, 1));
    t.Run(500);
    EXPECT_EQ(t.c.ended, k.endsAfterHand);
    EXPECT_FALSE(t.c.shell.LobbyLinkLost);
  }
}

}  // namespace
}  // namespace tavren

namespace tavren {
namespace {

// The location caption of field 5 is measured once it is read: more than ten
// characters take a font two points smaller.
TEST(LocationCaption, ALongCaptionTakesTheSmallerFont) {
  struct Case {
    std::string caption;
    int fontSize;
  } cases[] = {{"T1", 10},
               {"一二三四五六七八九十", 10},
               {"一二三四五六七八九十一", 8},
               {"Room 12345 North", 8}};
  for (const Case& k : cases) {
    SimClient t;
    t.c.link.LinkReady = false;
    StartUp(t.c, "a$k$" + std::string(testing::kHost) + "$8000$" + k.caption + "$0$$0$$$0$$$");
    EXPECT_EQ(t.c.view.Location.caption, k.caption);
    EXPECT_EQ(t.c.view.Location.fontSize, k.fontSize) << k.caption;
  }
}

}  // namespace
}  // namespace tavren
