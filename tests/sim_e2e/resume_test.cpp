// A link lost while the user is asked for the 叫头 call, against the server's
// engine in virtual time: the prompt stays while the link is down, nothing is
// answered on the dead link, and after the resume one answer stands, the
// user's or the one the server gave for the absent seat.
#include <gtest/gtest.h>

#include <vector>

#include "core/client.h"
#include "link/reconnect.h"
#include "shell/dialogs.h"
#include "shell/startup.h"
#include "support/engine_peer.h"
#include "support/forms_helpers.h"

namespace tavren {
namespace {

namespace p = protocol;

constexpr const char* kHost = "127.0.0.1";
constexpr std::uint16_t kPort = 7000;

struct Session {
  // `turnTimeSec` and `graceMs` are how long the server waits for the seat.
  explicit Session(int graceMs, int turnTimeSec = 8)
      : peer(world, kHost, kPort, [&] {
          server::Server::Config config;
          config.seed = 5;
          config.turnTimeSec = turnTimeSec;
          config.turnGraceMs = graceMs;
          config.robotDelayMs = 300;
          return config;
        }()) {
    platform.attach(c);
    // Whole request frames as the server takes them, however they were cut.
    peer.onClientBytes = [this](const sim::Connection&, std::span<const std::uint8_t> bytes) {
      pendingBytes.insert(pendingBytes.end(), bytes.begin(), bytes.end());
      while (pendingBytes.size() >= p::kFrameSize) {
        Frame f{};
        std::copy_n(pendingBytes.begin(), p::kFrameSize, f.begin());
        requests.push_back(f);
        pendingBytes.erase(pendingBytes.begin(), pendingBytes.begin() + p::kFrameSize);
      }
    };
    peer.server.setLogSink([this](const std::string& line) { serverLog.push_back(line); });
    StartUp(c, std::string("amy$table=0;seat=0;pass=secret$") + kHost + "$" +
                   std::to_string(kPort) + "$T1$0$$0$$$0$$$");
  }

  // Runs until the user is asked for the call with the prompt on screen.
  bool UntilAsked() {
    for (int i = 0; i < 60 * 60 * 10; ++i) {
      if (c.shell.JiaoTouOpen && c.forms[FormId::tishi].visible) return true;
      world.loop.runFor(100);
    }
    return false;
  }

  template <class Pred>
  bool RunUntil(Pred done, int limitMs) {
    for (int t = 0; t < limitMs && !done(); t += 100) world.loop.runFor(100);
    return done();
  }

  // The 叫头 answers among the requests from index `from` on.
  std::vector<Frame> CallAnswers(std::size_t from) const {
    std::vector<Frame> out;
    for (std::size_t i = from; i < requests.size(); ++i)
      if (requests[i][p::kTypeOffset] == p::kReqJiaoTou) out.push_back(requests[i]);
    return out;
  }

  std::size_t IndexOfResume(std::size_t from) const {
    for (std::size_t i = from; i < requests.size(); ++i)
      if (requests[i][p::kTypeOffset] == p::kReqResume) return i;
    return requests.size();
  }

  sim::World world;
  testing::EnginePeer peer;
  sim::SimPlatform platform{world};
  Client c{platform};
  std::vector<std::uint8_t> pendingBytes;
  std::vector<Frame> requests;
  std::vector<std::string> serverLog;
};

// The user answers while the link is down: the prompt is still there to take
// the answer, which waits for the resumed link and is the one the table plays.
TEST(ResumeDuringTheCall, ThePromptOutlivesTheLostLinkAndItsAnswerFollowsTheResume) {
  Session s(30000);  // time enough that the server waits for the seat's own answer
  ASSERT_TRUE(s.UntilAsked());
  const std::size_t before = s.requests.size();
  s.platform.hangConnects = true;  // the first attempts find no way through
  s.platform.socketClose();
  s.world.loop.runFor(6000);  // past the prompt's own 5 s
  const SmallForm& prompt = s.c.forms[FormId::tishi];
  ASSERT_TRUE(prompt.loaded);
  EXPECT_TRUE(prompt.visible);
  EXPECT_TRUE(s.c.shell.JiaoTouOpen);
  EXPECT_FALSE(s.c.table.LoginAccepted);
  EXPECT_TRUE(s.CallAnswers(before).empty());
  testing::Click(s.c, FormId::tishi, "Option1", 3);
  testing::Click(s.c, FormId::tishi, "Option2", 2);
  testing::Click(s.c, FormId::tishi, "Image1");
  EXPECT_FALSE(prompt.loaded);
  EXPECT_TRUE(s.CallAnswers(before).empty());  // nothing goes on the dead link

  s.platform.hangConnects = false;
  ASSERT_TRUE(s.RunUntil([&] { return s.c.link.Resumed && s.c.play.CallRound >= 2; }, 20000));
  const std::size_t resumeAt = s.IndexOfResume(before);
  ASSERT_LT(resumeAt, s.requests.size());
  const std::vector<Frame> answers = s.CallAnswers(before);
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(testing::Operand(answers[0], 1), 3);
  EXPECT_EQ(testing::Operand(answers[0], 3), 2);
  EXPECT_EQ(s.CallAnswers(resumeAt).size(), 1u);  // after the resume frame
  EXPECT_EQ(s.c.view.Label3.caption, "3头2摸");   // the table took the user's call
  EXPECT_FALSE(s.c.shell.JiaoTouOpen);
}

// The link stays down past the server's patience: its robot calls for the
// seat, and the resumed client shows that call and answers nothing more.
TEST(ResumeDuringTheCall, TheServersCallForTheAbsentSeatClosesThePromptAndNoAnswerFollows) {
  Session s(10000);
  ASSERT_TRUE(s.UntilAsked());
  const std::size_t before = s.requests.size();
  s.platform.hangConnects = true;
  s.platform.socketClose();
  s.world.loop.runFor(6000);
  EXPECT_TRUE(s.c.forms[FormId::tishi].visible);
  s.world.loop.runFor(14000);  // the server's deadline for the call passes
  EXPECT_TRUE(s.c.forms[FormId::tishi].visible);
  EXPECT_TRUE(s.c.shell.JiaoTouOpen);
  s.platform.hangConnects = false;
  ASSERT_TRUE(s.RunUntil([&] { return s.c.link.Resumed && s.c.play.CallRound >= 2; }, 20000));
  EXPECT_FALSE(s.c.forms[FormId::tishi].loaded);
  EXPECT_FALSE(s.c.shell.JiaoTouOpen);
  EXPECT_TRUE(s.c.view.Label3.visible);
  // The hand goes on past the turn the client plays itself; no call answer
  // of the client's ever reaches the server.
  s.world.loop.runFor(30000);
  EXPECT_TRUE(s.CallAnswers(before).empty());
  for (const std::string& line : s.serverLog)
    EXPECT_EQ(line.find("late"), std::string::npos) << line;
  EXPECT_FALSE(s.c.ended);
}

// Given up while the prompt was kept open: back at the lobby it asks nothing.
TEST(ResumeDuringTheCall, CancellingTheReconnectionTakesTheKeptPromptAway) {
  Session s(10000);
  ASSERT_TRUE(s.UntilAsked());
  s.platform.hangConnects = true;
  s.platform.socketClose();
  s.world.loop.runFor(6000);
  ASSERT_TRUE(s.c.forms[FormId::tishi].visible);
  ReconnectCancelClicked(s.c);
  EXPECT_FALSE(s.c.forms[FormId::tishi].loaded);
  EXPECT_FALSE(s.c.shell.JiaoTouOpen);
  EXPECT_FALSE(TimerEnabled(s.c, TimerId::Prompt));
}

// The hand ends while the link is down: the server gave the seat to a robot
// then, so the resume is refused, and the client says so and ends, the lobby
// shown again for the user to sit down anew.
TEST(ResumeAfterTheHand, IsRefusedAndTheClientEndsWithTheLobbyShown) {
  Session s(0, 1);  // the server plays the absent seat at once
  ASSERT_TRUE(s.RunUntil([&] { return s.c.table.HandInProgress && s.peer.server.wallLeft(0) < 80; },
                         120000));
  const int handsBefore = s.peer.server.handsPlayed(0);
  s.platform.hangConnects = true;
  s.platform.socketClose();
  ASSERT_TRUE(s.RunUntil([&] { return s.peer.server.handsPlayed(0) > handsBefore; }, 40000));
  EXPECT_TRUE(s.c.table.HandInProgress);  // the client never heard of the end
  EXPECT_FALSE(s.c.ended);
  s.platform.hangConnects = false;
  ASSERT_TRUE(s.RunUntil([&] { return s.c.ended; }, 10000));
  ASSERT_EQ(s.platform.messageBoxes.size(), 1u);
  EXPECT_EQ(s.platform.messageBoxes[0].text, "重连服务器失败，退出后请重新入座！");
  EXPECT_EQ(s.platform.lobby.count(kWmSysCommand), 1);
  ASSERT_FALSE(s.serverLog.empty());
  EXPECT_NE(s.serverLog.back().find("the hand ended before the resume came"), std::string::npos)
      << s.serverLog.back();
}

}  // namespace
}  // namespace tavren
