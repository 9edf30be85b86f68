// Reconnection: the dialog's timers, the resume frame, sixteen attempts, cancel.
#include "link/reconnect.h"

#include <gtest/gtest.h>

#include "link/codec.h"
#include "support/sim_client.h"

namespace tavren {
namespace {

using testing::ServerFrame;
using testing::SimClient;

struct Harness {
  SimClient s;
  std::vector<Frame> got;
  Harness() {
    s.server.onFrame = [this](sim::Connection&, const Frame& f) { got.push_back(f); };
    s.c.link.ServerHost = testing::kHost;
    s.c.link.ServerPort = testing::kPort;
    s.c.link.LoginFrame[3] = 18;
    s.c.link.LoginFrame[16] = 'a';
    s.Connect();
    s.c.link.LinkWatch = true;
    s.c.table.HandInProgress = true;
    s.c.table.LoginAccepted = true;
    s.c.table.custom[0].count = 13;
  }
  // The server sends a frame with `token`, then the link breaks.
  void Break(std::uint16_t token) {
    s.server.last()->sendFrame(ServerFrame(33, 1, {}, token));
    s.Run(300);
    s.server.last()->close();
    s.Run(60);
  }
};

TEST(Reconnect, ALossShowsTheDialogForOneSecondThenResumesWithTheToken) {
  Harness h;
  h.Break(0x4142);
  SmallForm& f = h.s.c.forms[FormId::frmReconnect];
  EXPECT_TRUE(f.visible);
  EXPECT_EQ(f.find("lbReconnect")->caption, "网络断开，需要重连吗？");
  EXPECT_EQ(f.find("lbTime")->caption, "1 秒后自动重连");
  EXPECT_EQ(f.find("pbReconnect")->w, 65);
  EXPECT_EQ(f.find("pbCancel")->h, 30);
  h.s.Run(1000);
  EXPECT_FALSE(f.visible);
  EXPECT_TRUE(f.loaded);
  EXPECT_EQ(h.s.server.connections().size(), 1u);
  h.s.Run(3000);  // the first attempt, 3 s after the countdown
  EXPECT_EQ(h.s.server.connections().size(), 2u);
  h.s.Run(500);
  ASSERT_FALSE(h.got.empty());
  const Frame& resume = h.got.back();
  EXPECT_EQ(resume[3], 28);
  EXPECT_EQ(resume[16], 'a');
  EXPECT_EQ(resume[260], 0x41);
  EXPECT_EQ(resume[261], 0x42);
  EXPECT_EQ(h.s.c.view.Sysmsg[0].text(), "正在重新连接服务器...");
  h.s.Run(3000);  // connected: the next tick of the attempt timer unloads the dialog
  EXPECT_FALSE(f.loaded);
  EXPECT_FALSE(TimerEnabled(h.s.c, TimerId::Count));
}

// A request made while the link was down waits for the new connection's
// resume frame: the server takes nothing before it.
TEST(Reconnect, RequestsQueuedWhileTheLinkWasDownFollowTheResumeFrame) {
  Harness h;
  h.Break(0x4142);
  RunEvent(h.s.c, [&] { SendDiscard(h.s.c, 0x13); });
  const std::size_t before = h.got.size();
  h.s.Run(5000);
  ASSERT_EQ(h.s.server.connections().size(), 2u);
  ASSERT_GE(h.got.size(), before + 2);
  EXPECT_EQ(h.got[before][protocol::kTypeOffset], protocol::kReqResume);
  int discards = 0;
  for (std::size_t i = before + 1; i < h.got.size(); ++i)
    discards += h.got[i][protocol::kTypeOffset] == protocol::kReqDiscard;
  EXPECT_EQ(discards, 1);
}

TEST(Reconnect, ServerConfirmsTheResumeAndKeepsTheToken) {
  Harness h;
  h.Break(0x4142);
  h.s.Run(4500);
  Frame ok = ServerFrame(29, 1, {0, 0, 0, 1}, 0x9999);
  h.s.server.last()->sendFrame(ok);
  h.s.Run(500);
  EXPECT_TRUE(h.s.c.table.LoginAccepted);
  EXPECT_TRUE(h.s.c.link.Resumed);
  EXPECT_EQ(h.s.c.view.Sysmsg[0].text(), "正在重连服务器，请等待...！");
  EXPECT_EQ(h.s.c.link.LinkToken, (std::array<std::uint8_t, 2>{0x41, 0x42}));
  EXPECT_FALSE(h.s.c.ended);
}

TEST(Reconnect, ServerRefusesTheResume) {
  Harness h;
  h.Break(1);
  h.s.Run(4500);
  h.s.server.last()->sendFrame(ServerFrame(29, 1, {0, 0, 0, 0}));
  h.s.Run(500);
  EXPECT_TRUE(h.s.c.ended);
  ASSERT_EQ(h.s.platform.messageBoxes.size(), 1u);
  EXPECT_EQ(h.s.platform.messageBoxes[0].text, "重连服务器失败，退出后请重新入座！");
  EXPECT_EQ(h.s.platform.lobby.count(kWmSysCommand), 1);
}

TEST(Reconnect, SixteenFailedAttemptsEndTheProgram) {
  Harness h;
  h.Break(1);
  h.s.world.unlisten(testing::kHost, testing::kPort);  // the server is gone
  h.s.Run(1000 + 16 * 3000 + 100);
  EXPECT_EQ(h.s.c.reconnect.ReconnectTries, 16);
  EXPECT_FALSE(h.s.c.ended);
  EXPECT_EQ(h.s.platform.connectAttempts, 1 + 16);
  h.s.Run(3000);  // the seventeenth tick
  EXPECT_TRUE(h.s.c.ended);
  ASSERT_EQ(h.s.platform.messageBoxes.size(), 1u);
  EXPECT_EQ(h.s.platform.messageBoxes[0].text, "重连失败，请检查您的网络！");
}

TEST(Reconnect, ReconnectNowSkipsTheCountdown) {
  Harness h;
  h.Break(1);
  RunEvent(h.s.c, [&] { ReconnectNowClicked(h.s.c); });
  EXPECT_FALSE(h.s.c.forms[FormId::frmReconnect].visible);
  h.s.Run(3100);
  EXPECT_EQ(h.s.server.connections().size(), 2u);
}

TEST(Reconnect, CancelWhileDisconnectedGoesBackToTheLobby) {
  Harness h;
  h.Break(1);
  RunEvent(h.s.c, [&] { ReconnectCancelClicked(h.s.c); });
  EXPECT_FALSE(h.s.c.forms[FormId::frmReconnect].loaded);
  EXPECT_EQ(h.s.c.log.count("ResetToLobby"), 1);
  EXPECT_EQ(h.s.platform.lobby.count(kWmSysCommand), 1);
  h.s.Run(10000);
  EXPECT_EQ(h.s.server.connections().size(), 1u);  // no attempt after cancel
}

TEST(Reconnect, CancelWhileConnectedOnlyClosesTheDialog) {
  Harness h;
  h.Break(1);
  h.s.Run(4500);  // reconnected
  ASSERT_EQ(h.s.platform.socketState(), kSocketConnected);
  RunEvent(h.s.c, [&] { OpenReconnectDialog(h.s.c); });
  RunEvent(h.s.c, [&] { ReconnectCancelClicked(h.s.c); });
  EXPECT_FALSE(h.s.c.forms[FormId::frmReconnect].loaded);
  EXPECT_EQ(h.s.c.log.count("ResetToLobby"), 0);
  EXPECT_EQ(h.s.platform.socketState(), kSocketConnected);
}

TEST(Reconnect, AttemptsStopWhenTheHandIsOver) {
  Harness h;
  h.Break(1);
  h.s.world.unlisten(testing::kHost, testing::kPort);
  h.s.Run(4500);
  h.s.c.table.HandInProgress = false;
  const int attempts = h.s.platform.connectAttempts;
  h.s.Run(20000);
  EXPECT_LE(h.s.platform.connectAttempts, attempts + 1);
  EXPECT_FALSE(TimerEnabled(h.s.c, TimerId::Count));
  EXPECT_FALSE(h.s.c.ended);
}

// Half a frame of the lost connection is gone with it: the resumed stream's
// frames decode whole from their first byte.
TEST(Reconnect, AResumedConnectionStartsWithNoBytesOfTheLostOne) {
  Harness h;
  h.s.c.handlers.byType[2] = [](Client& c, const InfoRecord&) { c.log.record("discard"); };
  h.s.server.last()->sendFrame(ServerFrame(33, 1, {}, 0x4142));
  const Frame cut = ServerFrame(2, 2, {0, 0, 0, 33});
  h.s.server.last()->send(std::span<const std::uint8_t>(cut.data(), 100));
  h.s.Run(300);
  EXPECT_EQ(h.s.c.link.ReceiveRing.buffered(), 100u);
  h.s.server.last()->close();
  h.s.Run(60);
  h.s.Run(4500);  // the dialog's second, then the first attempt
  ASSERT_EQ(h.s.server.connections().size(), 2u);
  EXPECT_EQ(h.s.c.link.ReceiveRing.buffered(), 0u);
  h.s.server.last()->sendFrame(ServerFrame(29, 1, {0, 0, 0, 1}));
  h.s.server.last()->sendFrame(ServerFrame(2, 2, {0, 0, 0, 35}));
  h.s.Run(500);
  EXPECT_TRUE(h.s.c.link.Resumed);
  EXPECT_EQ(h.s.c.log.count("discard"), 1);
  EXPECT_EQ(h.s.c.link.rinfo.value[3], 35);
  EXPECT_FALSE(h.s.c.ended);
}

}  // namespace
}  // namespace tavren

namespace tavren {
namespace {

// Attempts that fail run with the dialog hidden (it never comes back with a
// countdown that no longer runs), and the lobby hears of the resume once.
TEST(Reconnect, FailedAttemptsKeepTheDialogHiddenAndTellTheLobbyOnce) {
  Harness h;
  SmallForm& f = h.s.c.forms[FormId::frmReconnect];
  h.Break(1);
  ASSERT_TRUE(f.visible);
  h.s.world.unlisten(testing::kHost, testing::kPort);
  h.s.Run(1000);
  for (int step = 0; step < 5 * 30; ++step) {  // five failed attempts, looked at every 100 ms
    h.s.Run(100);
    ASSERT_FALSE(f.visible) << "at " << step * 100 << " ms after the countdown";
  }
  EXPECT_GE(h.s.c.reconnect.ReconnectTries, 5);
  EXPECT_EQ(h.s.platform.lobby.count(kWmEndSession), 1);

  // The server is back: the next attempt connects and the dialog goes.
  h.s.world.listen(testing::kHost, testing::kPort, &h.s.server);
  h.s.Run(6100);
  EXPECT_FALSE(f.loaded);
  EXPECT_EQ(h.s.platform.lobby.count(kWmEndSession), 1);
  // A second loss opens the dialog afresh, and tells the lobby once more.
  h.Break(2);
  EXPECT_TRUE(f.visible);
  EXPECT_EQ(f.find("lbTime")->caption, "1 秒后自动重连");
  h.s.Run(4500);
  EXPECT_EQ(h.s.platform.lobby.count(kWmEndSession), 2);
}

// A hand that ended during the attempts leaves the dialog hidden and loaded;
// a loss in a later hand shows it again with its countdown.
TEST(Reconnect, ALossInALaterHandShowsTheDialogAgain) {
  Harness h;
  SmallForm& f = h.s.c.forms[FormId::frmReconnect];
  h.Break(1);
  h.s.Run(1000);
  h.s.c.table.HandInProgress = false;
  h.s.Run(6000);
  ASSERT_TRUE(f.loaded);
  ASSERT_FALSE(TimerEnabled(h.s.c, TimerId::Count));
  // The next hand on a new connection, which breaks too.
  h.s.Connect();
  h.s.c.table.HandInProgress = true;
  h.s.c.link.LinkWatch = true;
  h.s.Run(300);
  h.s.server.last()->close();
  h.s.Run(60);
  EXPECT_TRUE(f.visible);
  EXPECT_EQ(h.s.c.reconnect.ReconnectTries, 0);
  h.s.Run(1000);
  EXPECT_FALSE(f.visible);
  EXPECT_TRUE(TimerEnabled(h.s.c, TimerId::Count));
}

}  // namespace
}  // namespace tavren
