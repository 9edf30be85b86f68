// The link pump: the tick schedule in virtual time, the rings' limits, the
// keep-alive timer, the login task, the link watch and the countdowns.
#include "link/pump.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "core/waits.h"
#include "link/proxy.h"
#include "support/forms_helpers.h"
#include "support/sim_client.h"
#include "table/dispatch.h"

namespace tavren {
namespace {

using testing::DiscardFrames;
using testing::ServerFrame;
using testing::SimClient;

// What the recording handler saw: (virtual time, value(3)).
std::vector<std::pair<std::int64_t, int>> g_seen;

void RecordDiscard(Client& c, const InfoRecord& r) {
  g_seen.emplace_back(c.platform.nowMillis(), r.value[3]);
}

class PumpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_seen.clear();
    s.c.handlers.byType[2] = RecordDiscard;
  }
  SimClient s;
};

std::vector<std::uint8_t> Frames(int n, int firstValue = 1) {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < n; ++i) {
    Frame f = ServerFrame(2, 0x02, {0, 0, 0, firstValue + i}, static_cast<std::uint16_t>(i + 1));
    bytes.insert(bytes.end(), f.begin(), f.end());
  }
  return bytes;
}

TEST_F(PumpTest, ThreeFramesFromOneArrivalGoOutOnThreeConsecutiveTicks) {
  sim::Connection& conn = s.Connect();
  s.Run(1000);
  conn.send(Frames(3));
  s.Run(1000);
  ASSERT_EQ(g_seen.size(), 3u);
  EXPECT_EQ(g_seen[1].first - g_seen[0].first, 50);
  EXPECT_EQ(g_seen[2].first - g_seen[1].first, 50);
  EXPECT_EQ(g_seen[0].second, 1);
  EXPECT_EQ(g_seen[2].second, 3);
  // The arrival zeroes the receive counter: the first frame waits for the second tick after it.
  const std::int64_t arrival =
      1000 + s.world.latencyMs + 1;  // the tick grid is 1 ms late after connect
  EXPECT_GT(g_seen[0].first, arrival);
  EXPECT_LE(g_seen[0].first, arrival + 100);
}

TEST_F(PumpTest, TenQueuedRequestsLeaveOnePerTickInOrder) {
  std::vector<std::pair<std::int64_t, int>> arrived;
  s.server.onFrame = [&](sim::Connection&, const Frame& f) {
    arrived.emplace_back(s.Now(), f[15]);
  };
  s.Connect();
  for (int i = 0; i < 10; ++i) SendDiscard(s.c, i + 1);
  s.Run(2000);
  ASSERT_EQ(arrived.size(), 10u);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(arrived[i].second, i + 1);
    if (i > 0) {
      EXPECT_EQ(arrived[i].first - arrived[i - 1].first, 50);
    }
  }
  EXPECT_FALSE(s.c.link.SendPending);
}

TEST_F(PumpTest, RequestsQueuedBeforeTheConnectionLeaveInOrderAfterItsLoginFrame) {
  std::vector<int> arrived;
  s.server.onFrame = [&](sim::Connection&, const Frame& f) { arrived.push_back(f[15]); };
  SetTimer(s.c, TimerId::Bong, true);
  for (int i = 0; i < 4; ++i) SendDiscard(s.c, i + 1);
  s.Run(500);
  EXPECT_TRUE(arrived.empty());
  EXPECT_EQ(s.c.link.SendRing.buffered(), 4 * 272u);
  RunEvent(s.c, [&] { OpenConnection(s.c, testing::kHost, testing::kPort); });
  s.Run(500);
  EXPECT_TRUE(arrived.empty()) << "the server takes nothing before the login frame";
  s.c.link.LoginFrame[15] = 99;
  RunEvent(s.c, [&] { SendLoginFrame(s.c); });
  s.Run(500);
  EXPECT_EQ(arrived, (std::vector<int>{99, 1, 2, 3, 4}));
}

TEST_F(PumpTest, ChunksOfOddSizeLoseNothing) {
  for (auto chunks : {std::vector<std::size_t>{1}, std::vector<std::size_t>{7, 100, 3},
                      std::vector<std::size_t>{271, 273}, std::vector<std::size_t>{1000}}) {
    g_seen.clear();
    SimClient t;
    t.c.handlers.byType[2] = RecordDiscard;
    sim::Connection& conn = t.Connect();
    conn.setChunks(chunks);
    conn.send(Frames(20, 30));  // values clear of 24, the wire's wild tile
    t.Run(5000);
    ASSERT_EQ(g_seen.size(), 20u);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(g_seen[i].second, 30 + i);
    EXPECT_EQ(t.c.link.LinkToken, (std::array<std::uint8_t, 2>{0, 20}));
  }
}

TEST_F(PumpTest, UnknownTypesAreConsumedAndIgnored) {
  sim::Connection& conn = s.Connect();
  for (int type : {0, 11, 33, 100, 200, 255}) conn.sendFrame(ServerFrame(type, 1, {1, 2, 3, 4}));
  conn.send(Frames(1, 42));
  s.Run(2000);
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0].second, 42);
  EXPECT_FALSE(s.c.ended);
}

TEST_F(PumpTest, ReceiveRingTakes34815UnreadBytesAndEndsOnThe34816th) {
  s.c.link.LinkReady = true;
  std::vector<std::uint8_t> bytes(34815, 0);
  OnDataArrival(s.c, bytes.data(), bytes.size());
  EXPECT_FALSE(s.c.ended);
  EXPECT_EQ(s.c.link.ReceiveRing.buffered(), 34815u);
  std::uint8_t one = 0;
  OnDataArrival(s.c, &one, 1);
  EXPECT_TRUE(s.c.ended);
  EXPECT_TRUE(s.platform.endRequested);
  ASSERT_EQ(s.platform.lobby.received.size(), 1u);
  EXPECT_EQ(s.platform.lobby.received[0].message, kWmSysCommand);
  EXPECT_EQ(s.platform.lobby.received[0].wParam, kScRestore);
}

TEST_F(PumpTest, ProxyBufferOverrunEndsToo) {
  s.c.link.LinkReady = false;
  std::vector<std::uint8_t> bytes(1023, 0);
  OnDataArrival(s.c, bytes.data(), bytes.size());
  EXPECT_FALSE(s.c.ended);
  EXPECT_EQ(s.c.link.ReceiveRing.buffered(), 0u);
  OnDataArrival(s.c, bytes.data(), 1);
  EXPECT_TRUE(s.c.ended);
}

TEST_F(PumpTest, SendRingHolds127FramesAndDropsTheNextRatherThanLoseThemAll) {
  for (int i = 0; i < 127; ++i) SendKeepAlive(s.c);
  EXPECT_EQ(s.c.link.SendRing.buffered(), 127 * 272u);
  SendKeepAlive(s.c);
  EXPECT_EQ(s.c.link.SendRing.buffered(), 127 * 272u);
  EXPECT_EQ(s.c.link.DroppedSends, 1u);
}

TEST_F(PumpTest, KeepAlivesEveryFiveSecondsCarryTheToken) {
  std::vector<std::pair<std::int64_t, Frame>> got;
  s.server.onFrame = [&](sim::Connection&, const Frame& f) { got.emplace_back(s.Now(), f); };
  sim::Connection& conn = s.Connect();
  SetTimer(s.c, TimerId::KeepAlive, true);
  conn.sendFrame(ServerFrame(33, 1, {}, 0x5A5B));
  s.Run(16000);
  ASSERT_EQ(got.size(), 3u);
  for (const auto& [t, f] : got) {
    EXPECT_EQ(f[3], 24);
    EXPECT_EQ(f[6], 1);
    EXPECT_EQ(f[260], 0x5A);
    EXPECT_EQ(f[261], 0x5B);
  }
  EXPECT_NEAR(static_cast<double>(got[1].first - got[0].first), 5000, 50);
  EXPECT_NEAR(static_cast<double>(got[2].first - got[1].first), 5000, 50);
}

TEST_F(PumpTest, WatchdogCountsOnlyDuringAHand) {
  s.Connect();
  s.Run(20 * 60 * 1000);  // twenty silent minutes outside a hand
  EXPECT_EQ(s.c.link.Watchdog, 0);
  EXPECT_EQ(s.c.log.count("ResetToLobby"), 0);

  s.c.link.DataSeen = true;
  s.c.table.HandInProgress = true;
  s.Run(299 * 1000);
  EXPECT_GT(s.c.link.Watchdog, 2900);
  EXPECT_EQ(s.c.log.count("ResetToLobby"), 0);
  s.Run(2000);
  EXPECT_EQ(s.c.log.count("ResetToLobby"), 1);
  EXPECT_EQ(s.c.link.Watchdog, 0);
  EXPECT_FALSE(s.c.table.HandInProgress);
  EXPECT_TRUE(s.c.view.minimized);
  EXPECT_EQ(s.platform.lobby.count(kWmSysCommand), 1);
  EXPECT_FALSE(s.c.ended);
  // The user learns why: the box over the lobby, and the line that the return
  // to the lobby would have emptied.
  ASSERT_EQ(s.platform.messageBoxes.size(), 1u);
  EXPECT_EQ(s.platform.messageBoxes[0].text, "已经与服务器断开连接，请重新入座！");
  EXPECT_EQ(s.c.view.Sysmsg[0].text(), "已经与服务器断开连接，请重新入座！");
}

TEST_F(PumpTest, SilentServerWithoutLobbyEndsTheProgram) {
  s.Connect();
  s.platform.lobby.present = false;
  s.c.link.DataSeen = true;
  s.c.table.HandInProgress = true;
  s.Run(310 * 1000);
  EXPECT_TRUE(s.c.ended);
}

TEST_F(PumpTest, AFrameDuringAHandResetsTheWatchdogAndOutsideDoesNot) {
  sim::Connection& conn = s.Connect();
  s.c.link.DataSeen = true;
  s.c.table.HandInProgress = true;
  s.Run(10000);
  EXPECT_GT(s.c.link.Watchdog, 90);
  conn.send(Frames(1));
  s.Run(120);
  EXPECT_LT(s.c.link.Watchdog, 3);

  s.c.table.HandInProgress = false;
  s.c.link.Watchdog = 77;
  conn.send(Frames(1));
  s.Run(200);
  EXPECT_EQ(s.c.link.Watchdog, 77);
}

TEST_F(PumpTest, LoginTaskPostsToLobbyThenSendsTheLoginFrameFirst) {
  std::vector<Frame> got;
  s.server.onFrame = [&](sim::Connection&, const Frame& f) { got.push_back(f); };
  s.c.link.LoginFrame[3] = 18;
  s.c.link.LoginFrame[16] = 'a';
  SetTimer(s.c, TimerId::KeepAlive, true);
  s.platform.socketConnect(testing::kHost, testing::kPort);
  SetTimer(s.c, TimerId::Bong, true);
  s.c.link.LoginPending = true;
  s.Run(1000);
  s.Run(5000);
  ASSERT_GE(got.size(), 2u);
  EXPECT_EQ(got[0][3], 18);
  EXPECT_EQ(got[0][16], 'a');
  EXPECT_EQ(got[1][3], 24);
  EXPECT_TRUE(s.c.link.LoginAwaited);
  EXPECT_FALSE(s.c.link.LoginPending);
  EXPECT_TRUE(s.c.link.LinkWatch);
  ASSERT_FALSE(s.platform.lobby.received.empty());
  EXPECT_EQ(s.platform.lobby.received[0].message, kWmEndSession);
  EXPECT_TRUE(s.platform.lobby.received[0].posted);
}

TEST_F(PumpTest, ARefusedConnectionAtLoginTakesTheClientBackToTheLobby) {
  s.platform.socketConnect("10.9.9.9", 1);  // nobody listens
  SetTimer(s.c, TimerId::Bong, true);
  s.c.link.LoginPending = true;
  s.Run(1000);
  EXPECT_FALSE(s.c.link.LoginAwaited);
  EXPECT_EQ(s.c.log.count("ResetToLobby"), 1);
  EXPECT_FALSE(s.c.ended);
  ASSERT_EQ(s.platform.messageBoxes.size(), 1u);
  EXPECT_EQ(s.platform.messageBoxes[0].text, "无法连接游戏服务器，请检查网络后重新入座！");
  EXPECT_EQ(s.c.view.Sysmsg[0].text(), "无法连接游戏服务器，请检查网络后重新入座！");
}

// A server that neither answers nor refuses: the wait is bounded, then the
// same road back to the lobby with the reason shown.
TEST_F(PumpTest, AConnectionThatNeverStandsEndsTheWaitWithAMessage) {
  s.platform.hangConnects = true;
  s.platform.socketConnect("10.9.9.9", 1);
  SetTimer(s.c, TimerId::Bong, true);
  s.c.link.LoginPending = true;
  s.Run(kConnectWaitLimitMs - 1000);
  EXPECT_EQ(s.c.log.count("ResetToLobby"), 0);
  EXPECT_TRUE(s.platform.messageBoxes.empty());
  s.Run(2000);
  EXPECT_EQ(s.c.log.count("ResetToLobby"), 1);
  ASSERT_EQ(s.platform.messageBoxes.size(), 1u);
  EXPECT_EQ(s.platform.messageBoxes[0].text, "无法连接游戏服务器，请检查网络后重新入座！");
  EXPECT_FALSE(s.c.ended);
}

TEST_F(PumpTest, LostLinkDuringAHandOpensTheReconnectionDialog) {
  sim::Connection& conn = s.Connect();
  s.c.link.LinkWatch = true;
  s.c.table.HandInProgress = true;
  s.c.table.LoginAccepted = true;
  s.Run(500);
  EXPECT_FALSE(s.c.forms[FormId::frmReconnect].visible);
  conn.close();
  s.Run(200);
  EXPECT_TRUE(s.c.forms[FormId::frmReconnect].visible);
  EXPECT_FALSE(s.c.table.LoginAccepted);
  EXPECT_FALSE(s.c.link.LinkWatch);
  EXPECT_TRUE(s.c.table.HandInProgress);
  EXPECT_EQ(s.c.log.count("ResetToLobby"), 0);
}

TEST_F(PumpTest, LostLinkOutsideAHandReturnsToTheLobbyOrEnds) {
  sim::Connection& conn = s.Connect();
  s.c.link.LinkWatch = true;
  conn.close();
  s.Run(200);
  EXPECT_EQ(s.c.log.count("ResetToLobby"), 1);
  EXPECT_EQ(s.platform.lobby.count(kWmSysCommand), 1);
  EXPECT_FALSE(TimerEnabled(s.c, TimerId::KeepAlive));
  EXPECT_FALSE(s.c.ended);

  SimClient t;
  sim::Connection& conn2 = t.Connect();
  t.c.link.LinkWatch = true;
  t.platform.lobby.present = false;
  conn2.close();
  t.Run(200);
  EXPECT_TRUE(t.c.ended);
}

TEST_F(PumpTest, FramesSentBeforeACloseAreHandledBeforeTheLinkCountsAsLost) {
  sim::Connection& conn = s.Connect();
  s.c.link.LinkWatch = true;
  s.Run(500);
  conn.send(Frames(2, 40));
  conn.close();
  s.Run(500);
  ASSERT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[1].second, 41);
  EXPECT_EQ(s.c.log.count("ResetToLobby"), 1);
}

TEST_F(PumpTest, TurnCountdownWarnsFromFiveDownToZeroThenMakesTheTimeoutMove) {
  s.Connect();
  s.c.table.LoginAccepted = true;
  s.c.sound.SoundOn = true;
  LoadSoundFiles(s.c);
  s.c.table.custom[0].count = 13;
  s.c.offer.TurnTime = 8;
  s.c.offer.Countdown = 8;
  s.c.link.TurnClockOn = true;
  std::vector<std::pair<std::string, std::uint32_t>> shown;
  int effects = 0;
  for (int second = 0; second < 8; ++second) {
    s.Run(1000);
    shown.emplace_back(s.c.view.Number.caption, s.c.view.Number.color);
    const auto& plays = s.platform.soundDevice.plays;
    EXPECT_EQ(static_cast<int>(plays.size()) - effects, second >= 2 ? 1 : 0) << second;
    effects = static_cast<int>(plays.size());
    if (!plays.empty()) {
      EXPECT_EQ(plays.back().path, "/tmp/tavren-sim/../common/music/tishi.wav");
      EXPECT_EQ(s.platform.soundDevice.volume, 0);  // full volume
    }
  }
  EXPECT_EQ(shown[0], std::make_pair(std::string("7"), kGreen));
  EXPECT_EQ(shown[1], std::make_pair(std::string("6"), kGreen));
  EXPECT_EQ(shown[2], std::make_pair(std::string("5"), kRed));
  EXPECT_EQ(shown[7], std::make_pair(std::string("0"), kRed));
  EXPECT_EQ(s.c.log.count("TimeoutMove"), 0);
  s.Run(1000);
  EXPECT_EQ(s.c.log.count("TimeoutMove"), 1);
  EXPECT_EQ(s.c.offer.ActionPhase, 3);
  EXPECT_FALSE(s.c.link.TurnClockOn);
  EXPECT_FALSE(s.c.view.Number.visible);
  EXPECT_EQ(s.c.offer.Countdown, 8);
  EXPECT_EQ(s.c.link.TimeoutCount, 1);
}

TEST_F(PumpTest, ThirdExpiredCountdownSwitchesAutoPlayOn) {
  s.Connect();
  s.c.table.LoginAccepted = true;
  s.c.link.AutoPlayAfter = 3;
  for (int turn = 1; turn <= 3; ++turn) {
    s.c.offer.ActionPhase = 0;
    s.c.offer.Countdown = 1;
    s.c.link.TurnClockOn = true;
    s.Run(2100);
    EXPECT_EQ(s.c.link.TimeoutCount, turn);
    EXPECT_EQ(s.c.link.BossMode, turn == 3) << turn;
  }
  EXPECT_EQ(s.c.log.count("BossKeyAction"), 1);
  EXPECT_TRUE(s.c.view.minimized);
}

TEST_F(PumpTest, ExpiredCountdownAnswersAnOpenJiaoTouPrompt) {
  for (bool unattended : {false, true}) {
    SimClient t;
    std::vector<Frame> got;
    t.server.onFrame = [&](sim::Connection&, const Frame& f) { got.push_back(f); };
    t.Connect();
    t.c.table.LoginAccepted = true;
    t.c.shell.UnattendedMode = unattended;
    t.c.shell.JiaoTouOpen = true;
    ShowJiaoTouPrompt(t.c);
    t.c.offer.Countdown = 0;
    t.c.link.TurnClockOn = true;
    t.Run(1100);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0][3], 8);
    EXPECT_EQ(got[0][11], unattended ? 5 : 1);
    EXPECT_EQ(got[0][15], unattended ? 5 : 0);
    EXPECT_FALSE(t.c.shell.JiaoTouOpen);
    EXPECT_FALSE(t.c.forms[FormId::tishi].loaded);
  }
}

TEST_F(PumpTest, TurnCountdownWaitsForTheLogin) {
  s.Connect();
  s.c.offer.Countdown = 3;
  s.c.link.TurnClockOn = true;
  s.Run(5000);
  EXPECT_EQ(s.c.offer.Countdown, 3);
}

TEST_F(PumpTest, ContinueCountdownClearsTheTableAndSaysReady) {
  std::vector<Frame> got;
  s.server.onFrame = [&](sim::Connection&, const Frame& f) { got.push_back(f); };
  s.Connect();
  SendKeepAlive(s.c);  // still queued when the table is cleared: discarded with the rings
  s.c.link.SendPending = false;
  s.c.offer.Countdown = 2;
  s.c.view.MJ_Image[5].visible = true;
  s.c.table.LastDiscardInd = 5;
  s.c.link.ContinueClockOn = true;
  s.Run(3100);
  // The table was cleared and laid out for the next hand.
  EXPECT_FALSE(s.c.view.MJ_Image[5].visible);
  EXPECT_EQ(s.c.table.LastDiscardInd, -1);
  EXPECT_EQ(s.c.table.custom[1].handX, 163);
  EXPECT_EQ(s.c.view.MJ_Image[0].w, 36);
  EXPECT_TRUE(s.c.table.TableCleared);
  EXPECT_FALSE(s.c.link.ContinueClockOn);
  EXPECT_EQ(s.c.view.AnNiu[2].picture, 107);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0][3], 16);
  EXPECT_EQ(got[0][15], 1);
}

TEST_F(PumpTest, BlinkingLastDiscardEndsShown) {
  s.Connect();
  s.c.table.LastDiscardInd = 40;
  s.c.view.MJ_Image[40].visible = true;
  s.c.link.BlinkCount = 3;
  s.c.link.BlinkOn = true;
  std::vector<bool> seen;
  for (int i = 0; i < 5; ++i) {
    s.Run(400);
    seen.push_back(s.c.view.MJ_Image[40].visible);
  }
  EXPECT_EQ(seen, (std::vector<bool>{false, true, true, true, true}));
  // A bad index from a broken record is skipped; the tick goes on.
  s.c.table.LastDiscardInd = 500;
  s.c.chat.ChatFlash = 2;
  s.Run(400);
  EXPECT_FALSE(s.c.ended);
  EXPECT_EQ(s.c.chat.ChatFlash, 1);
}

TEST_F(PumpTest, ChatButtonFlashesEightTimesEndingHighlightedThenNormal) {
  s.Connect();
  s.c.link.BlinkOn = true;
  s.c.chat.ChatFlash = 8;
  std::vector<int> pics;
  for (int i = 0; i < 9; ++i) {
    s.Run(400);
    pics.push_back(s.c.view.AnNiu[1].picture);
  }
  EXPECT_EQ(pics, (std::vector<int>{103, 104, 103, 104, 103, 104, 103, 104, 103}));
}

TEST_F(PumpTest, ClaimWordHidesAfterTwoSeconds) {
  s.Connect();
  s.c.view.ClaimWordIndex = 1;
  s.c.view.Words.visible = true;
  s.c.view.Speak[1].visible = true;
  s.c.link.ClaimWordOn = true;
  s.Run(1500);
  EXPECT_TRUE(s.c.view.Words.visible);
  s.Run(700);
  EXPECT_FALSE(s.c.view.Words.visible);
  EXPECT_FALSE(s.c.view.Speak[1].visible);
}

// A handler that waits with events: the pump must not tick inside itself.
void WaitingHandler(Client& c, const InfoRecord&) {
  c.log.record("enter");
  waitSeconds(c, 1.0f);
  c.log.record("leave");
}

TEST_F(PumpTest, TheTickNeverReentersWhileAHandlerWaits) {
  s.c.handlers.byType[2] = WaitingHandler;
  sim::Connection& conn = s.Connect();
  conn.send(Frames(2));
  s.Run(3000);
  const auto& calls = s.c.log.calls;
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0], "enter");
  EXPECT_EQ(calls[1], "leave");
  EXPECT_EQ(calls[2], "enter");
  EXPECT_EQ(calls[3], "leave");
}

void FailingHandler(Client&, const InfoRecord&) {
  throw BadRecord("seat index out of range");
}

TEST_F(PumpTest, AFailingHandlerRestoresTheLobbyAndEnds) {
  s.c.handlers.byType[2] = FailingHandler;
  sim::Connection& conn = s.Connect();
  conn.send(Frames(2));
  s.Run(1000);
  EXPECT_TRUE(s.c.ended);
  EXPECT_TRUE(s.platform.endRequested);
  EXPECT_EQ(s.platform.lobby.count(kWmSysCommand), 1);
  // The program has ended: nothing more runs.
  EXPECT_EQ(s.c.link.ReceiveRing.buffered(), 272u);
}

}  // namespace
}  // namespace tavren

namespace tavren {
namespace {

using testing::DiscardFrames;
using testing::ServerFrame;
using testing::SimClient;

// Emptying the rings for the next hand never cuts a frame: a part of one still
// on its way stays, and the frames after it decode whole. The whole frames
// that waited are dropped, as the table they belonged to is gone.
TEST(LinkAlignment, ClearingForTheNextHandKeepsTheFrameOnItsWay) {
  for (std::size_t partial : {0u, 1u, 100u, 271u}) {
    SCOPED_TRACE("bytes of the next frame already here: " + std::to_string(partial));
    g_seen.clear();
    SimClient t;
    t.c.handlers.byType[2] = RecordDiscard;
    t.c.link.LinkReady = true;
    const std::vector<std::uint8_t> stale = DiscardFrames(2, 30);
    const std::vector<std::uint8_t> next = DiscardFrames(3, 40);
    RunEvent(t.c, [&] {
      DataArrival(t.c, stale.data(), stale.size());
      DataArrival(t.c, next.data(), partial);
      ResetForNextHand(t.c);
      DataArrival(t.c, next.data() + partial, next.size() - partial);
    });
    EXPECT_EQ(t.c.link.ReceiveRing.buffered(), next.size());
    SetTimer(t.c, TimerId::Bong, true);
    t.Run(1000);
    ASSERT_EQ(g_seen.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(g_seen[static_cast<std::size_t>(i)].second, 40 + i);
    EXPECT_FALSE(t.c.ended);
  }
}

// While frames wait, bytes that keep arriving do not hold the receive task
// back: it takes one frame every tick, so a client behind catches up.
TEST(LinkAlignment, ASteadyStreamIsTakenAFrameEveryTickWhileFramesWait) {
  g_seen.clear();
  SimClient t;
  t.c.handlers.byType[2] = RecordDiscard;
  sim::Connection& conn = t.Connect();
  conn.send(DiscardFrames(10, 30));
  // Another frame every 30 ms, faster than the tick.
  for (int i = 0; i < 20; ++i)
    t.world.loop.after(30 * (i + 1), [&conn, i] { conn.send(DiscardFrames(1, 60 + i)); });
  t.Run(600);
  ASSERT_GE(g_seen.size(), 10u);
  for (std::size_t i = 1; i < 10; ++i) EXPECT_EQ(g_seen[i].first - g_seen[i - 1].first, 50) << i;
}

// Bytes that came after the proxy's connect reply go to the receive ring only
// where it has room; what does not fit is the ring's overrun.
TEST(LinkAlignment, BytesAfterTheProxyReplyNeverOverrunTheRing) {
  SimClient t;
  sim::ScriptedPeer proxy{t.world, "10.0.0.9", 1080};
  t.c.proxy.ProxyHost = "10.0.0.9";
  t.c.proxy.ProxyPort = 1080;
  t.c.link.ServerHost = "10.0.0.7";
  t.c.link.ServerPort = 8000;
  t.c.link.LinkMode = 5;
  RunEvent(t.c, [&] { StartProxyLink(t.c); });
  t.Run(10);
  proxy.last()->send(std::vector<std::uint8_t>{5, 0});
  t.Run(10);
  // Unread frames of a connection before fill the ring all but 100 bytes.
  std::vector<std::uint8_t> unread(FrameRing::kSize - 1 - 100, 0);
  t.c.link.ReceiveRing.append(unread.data(), unread.size());
  std::vector<std::uint8_t> reply = {5, 0, 0, 1, 10, 0, 0, 9, 0x04, 0x38};
  reply.resize(reply.size() + 200, 7);  // the game stream's first bytes, 200 of them
  proxy.last()->send(reply);
  t.Run(10);
  EXPECT_TRUE(t.c.ended);
  EXPECT_TRUE(t.platform.endRequested);
  EXPECT_LE(t.c.link.ReceiveRing.buffered(), FrameRing::kSize - 1);
}

// Chat lines and game instructions as the handlers took them: (time, type, value(3)).
struct Taken {
  std::int64_t at;
  int type;
  int value;
  bool operator==(const Taken&) const = default;
};
std::vector<Taken> g_taken;

// A chat line's number travels in two operands of one byte each (a byte of 24
// would read as the wild tile).
Frame ChatFrame(int n) {
  return ServerFrame(19, 0x04, {0, 30 + n / 100, 0, 30 + n % 100});
}

void RecordTaken(Client& c, const InfoRecord& r) {
  const int value = r.itype == 19 ? (r.value[1] - 30) * 100 + r.value[3] - 30 : r.value[3];
  g_taken.push_back({c.platform.nowMillis(), r.itype, value});
}

struct FloodedClient : SimClient {
  FloodedClient() {
    g_taken.clear();
    c.handlers.byType[2] = RecordTaken;
    c.handlers.byType[19] = RecordTaken;
  }
  std::vector<Taken> ofType(int type) const {
    std::vector<Taken> out;
    for (const Taken& t : g_taken)
      if (t.type == type) out.push_back(t);
    return out;
  }
};

// A discard every 700 ms for a minute, and with `chatPerSecond` > 0 chat
// lines in between, each arriving alone.
std::vector<Taken> PlayAMinute(FloodedClient& t, int chatPerSecond) {
  sim::Connection& conn = t.Connect();
  for (int i = 0; i < 60000 / 700; ++i)
    t.world.loop.after(700 * i + 3, [&conn, i] { conn.send(DiscardFrames(1, i)); });
  for (int i = 0; chatPerSecond > 0 && i < 60 * chatPerSecond; ++i)
    t.world.loop.after(1000 * i / chatPerSecond, [&conn, i] { conn.sendFrame(ChatFrame(i)); });
  t.Run(61000);
  return t.ofType(2);
}

// Chat lines are not paced: a hundred a second for a minute never fill the
// receive ring, and the game's instructions are taken exactly when they would
// be without them.
TEST(ChatFlood, AHundredLinesASecondForAMinuteNeitherEndTheClientNorMoveTheGame) {
  FloodedClient quiet;
  const std::vector<Taken> paced = PlayAMinute(quiet, 0);
  ASSERT_EQ(paced.size(), static_cast<std::size_t>(60000 / 700));

  FloodedClient flooded;
  const std::vector<Taken> withChat = PlayAMinute(flooded, 100);
  EXPECT_FALSE(flooded.c.ended);
  EXPECT_EQ(withChat, paced);
  const std::vector<Taken> lines = flooded.ofType(19);
  ASSERT_EQ(lines.size(), 6000u);
  EXPECT_EQ(flooded.c.link.ChatLines.dropped, 0u);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    ASSERT_EQ(lines[i].value, static_cast<int>(i));
    // No line waits longer than the task's beat.
    EXPECT_LE(lines[i].at - static_cast<std::int64_t>(i) * 10, 160);
  }
}

// A chat line comes after every game frame that came before it, however many
// wait: the set-aside lines keep their place in the stream.
TEST(ChatFlood, LinesAreTakenInTheirPlaceBetweenInstructions) {
  FloodedClient t;
  sim::Connection& conn = t.Connect();
  std::vector<std::uint8_t> bytes = DiscardFrames(3, 1);
  auto put = [&bytes](const Frame& f) { bytes.insert(bytes.end(), f.begin(), f.end()); };
  put(ChatFrame(100));
  put(ChatFrame(101));
  const std::vector<std::uint8_t> fourth = DiscardFrames(1, 4);
  bytes.insert(bytes.end(), fourth.begin(), fourth.end());
  put(ChatFrame(102));
  conn.send(bytes);
  t.Run(1000);
  std::vector<std::pair<int, int>> order;
  for (const Taken& k : g_taken) order.emplace_back(k.type, k.value);
  const std::vector<std::pair<int, int>> expected = {{2, 1},    {2, 2}, {2, 3},   {19, 100},
                                                     {19, 101}, {2, 4}, {19, 102}};
  EXPECT_EQ(order, expected);
  // The lines went with the instruction before them, on the same tick.
  EXPECT_EQ(g_taken[3].at, g_taken[2].at);
  EXPECT_EQ(g_taken[6].at, g_taken[5].at);
  EXPECT_EQ(g_taken[5].at - g_taken[2].at, 50);
}

// Lines that pile up while the client cannot take them (a handler that
// waits, a burst) cost the oldest lines, never the seat; the instructions
// among them are all kept.
TEST(ChatFlood, ABurstBeyondTheQueueDropsTheOldestLinesAndKeepsEveryInstruction) {
  FloodedClient t;
  sim::Connection& conn = t.Connect();
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < 1000; ++i) {
    const Frame f = ChatFrame(i);
    bytes.insert(bytes.end(), f.begin(), f.end());
    if (i % 100 == 99) {
      const std::vector<std::uint8_t> d = DiscardFrames(1, i / 100);
      bytes.insert(bytes.end(), d.begin(), d.end());
    }
  }
  ASSERT_GT(bytes.size(), FrameRing::kSize * 7);
  conn.send(bytes);
  t.Run(t.world.latencyMs);
  EXPECT_FALSE(t.c.ended);
  EXPECT_LE(t.c.link.ReceiveRing.buffered(), 10 * 272u);
  t.Run(2000);
  EXPECT_FALSE(t.c.ended);
  const std::vector<Taken> discards = t.ofType(2);
  ASSERT_EQ(discards.size(), 10u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(discards[static_cast<std::size_t>(i)].value, i);
  const std::vector<Taken> lines = t.ofType(19);
  ASSERT_EQ(lines.size(), ChatAside::kLines);
  EXPECT_EQ(lines.front().value, 1000 - static_cast<int>(ChatAside::kLines));
  EXPECT_EQ(lines.back().value, 999);
  EXPECT_EQ(t.c.link.ChatLines.dropped, 1000u - ChatAside::kLines);
}

}  // namespace
}  // namespace tavren

namespace tavren {
namespace {

// A game ended by a leaver, a gold shortage or the server's notice keeps the
// link watch from leaving behind the end-of-game dialog's back, and no longer:
// once the dialog is gone (answered, or closed by the next login or hand) or
// the client went back to the lobby, a link lost outside a hand returns to the
// lobby again.
TEST(PlayerLeftFlag, LastsOnlyAsLongAsTheEndOfGameDialog) {
  struct Case {
    const char* name;
    Frame ending;
    bool viaLobby;  // answered with OK (back to the lobby) or closed by a new login result
  } cases[] = {
      {"leaver", ServerFrame(protocol::kInsMembership, 0x0B, {0, 0, 0, 1}), false},
      {"leaver, OK", ServerFrame(protocol::kInsMembership, 0x0B, {0, 0, 0, 1}), true},
      {"gold", ServerFrame(protocol::kInsMembership, 0x0D, {0, 0, 0, 3}), false},
      {"notice", ServerFrame(protocol::kInsGameOver), true},
  };
  for (const Case& k : cases) {
    SimClient s;
    s.c.table.custom[1].seat = 8, s.c.table.custom[2].seat = 4, s.c.table.custom[3].seat = 2;
    sim::Connection& conn = s.Connect();
    s.c.link.LinkWatch = true;
    conn.send(k.ending);
    s.Run(3000);
    ASSERT_TRUE(s.c.table.PlayerLeft) << k.name;
    ASSERT_TRUE(s.c.forms[FormId::frmOtherExit].visible) << k.name;
    EXPECT_EQ(s.c.log.count("ResetToLobby"), 0) << k.name;
    if (k.viaLobby) {
      testing::Click(s.c, FormId::frmOtherExit, "imgOK");
      EXPECT_EQ(s.c.log.count("ResetToLobby"), 1) << k.name;
    }
    // The next session's link, logged in, then lost between hands.
    sim::Connection& next = s.server.last()->open() ? *s.server.last() : s.Connect();
    s.c.link.LinkWatch = true;
    next.send(ServerFrame(protocol::kInsLoginResult, 1, {0, 9, 0, protocol::kLoginAccepted}));
    s.Run(500);
    EXPECT_FALSE(s.c.forms[FormId::frmOtherExit].loaded) << k.name;
    const int before = s.c.log.count("ResetToLobby");
    next.close();
    s.Run(500);
    EXPECT_EQ(s.c.log.count("ResetToLobby"), before + 1) << k.name;
    EXPECT_FALSE(s.c.ended) << k.name;
  }
}

}  // namespace
}  // namespace tavren
