// The exit question, the end-of-game notice and the 叫头 prompt: what they
// show, the requests they send and how they take the client to the lobby.
#include "shell/dialogs.h"

#include <gtest/gtest.h>

#include "input/input.h"
#include "support/forms_helpers.h"
#include "table/dispatch.h"

namespace tavren {
namespace {

using testing::Click;
using testing::Operand;
using testing::Queued;
using testing::SimClient;
namespace p = protocol;

TEST(ExitDialog, EscToggleShowsTheWarningOnlyToAPlayerDuringAHand) {
  struct Case {
    bool hand, watching, warning;
  } cases[] = {
      {false, false, false}, {true, false, true}, {true, true, false}, {false, true, false}};
  for (const Case& k : cases) {
    SimClient s;
    LayOutTable(s.c);
    s.c.table.HandInProgress = k.hand;
    s.c.table.Watching = k.watching;
    OnKey(s.c, kKeyEsc, false);
    const SmallForm& f = s.c.forms[FormId::frmExit];
    ASSERT_TRUE(f.loaded && f.visible);
    EXPECT_EQ(f.caption, "退出");
    EXPECT_EQ(s.c.forms[FormId::frmExit].find("Label2")->visible, k.warning);
    EXPECT_EQ(s.c.forms[FormId::frmExit].find("pbCloseMe")->picture, 130);
    EXPECT_EQ(s.c.forms[FormId::frmExit].find("pbCancel")->picture, 132);
    OnControlBarClick(s.c, 8);  // the exit button toggles it as Esc does
    EXPECT_FALSE(s.c.forms[FormId::frmExit].loaded);
  }
}

TEST(ExitDialog, CancelOnlyClosesIt) {
  SimClient s;
  s.c.table.HandInProgress = true;
  ShowExitDialog(s.c);
  Click(s.c, FormId::frmExit, "pbCancel");
  EXPECT_FALSE(s.c.forms[FormId::frmExit].loaded);
  EXPECT_TRUE(s.c.table.HandInProgress);
  EXPECT_TRUE(s.platform.lobby.received.empty());
}

TEST(ExitDialog, LeavingSendsTheLeaveWhenConnectedAndHandsOverToTheLobby) {
  struct Case {
    bool connected, lobby;
  } cases[] = {{true, true}, {false, true}, {true, false}};
  for (const Case& k : cases) {
    SimClient s;
    int frames = 0;
    s.server.onFrame = [&](sim::Connection&, const Frame&) { ++frames; };
    if (k.connected) s.Connect();
    s.platform.lobby.present = k.lobby;
    s.c.table.HandInProgress = true;
    s.c.table.HandNo = 3;
    s.c.link.LinkWatch = true;
    ShowExitDialog(s.c);
    Click(s.c, FormId::frmExit, "pbCloseMe");
    s.Run(100);
    EXPECT_EQ(frames, k.connected ? 1 : 0);
    EXPECT_FALSE(s.c.link.LinkWatch);
    EXPECT_FALSE(s.c.table.HandInProgress);
    EXPECT_EQ(s.c.table.HandNo, 0);
    EXPECT_FALSE(s.c.forms[FormId::frmExit].loaded);
    EXPECT_TRUE(s.c.view.minimized);
    EXPECT_EQ(s.platform.lobby.count(kWmSysCommand), k.lobby ? 1 : 0);
    EXPECT_EQ(s.platform.endRequested, !k.lobby);
  }
}

TEST(OtherExitDialog, LoadingDissolvesTheTableCancelStaysOkLeaves) {
  for (bool ok : {false, true}) {
    SimClient s;
    s.c.table.HandInProgress = true;
    s.c.link.LinkWatch = true;
    ShowOtherExitDialog(s.c, "玩家甲退出了游戏！游戏结束！");
    const SmallForm& f = s.c.forms[FormId::frmOtherExit];
    ASSERT_TRUE(f.visible);
    EXPECT_EQ(s.c.forms[FormId::frmOtherExit].find("Label1")->caption,
              "玩家甲退出了游戏！游戏结束！");
    EXPECT_TRUE(s.c.input.TableDissolved);
    Click(s.c, FormId::frmOtherExit, ok ? "imgOK" : "imgCancel");
    EXPECT_FALSE(f.loaded);
    EXPECT_FALSE(s.c.table.HandInProgress);
    EXPECT_FALSE(s.c.link.LinkWatch);
    EXPECT_TRUE(s.c.input.TableDissolved);
    EXPECT_EQ(s.c.view.minimized, ok);
    EXPECT_EQ(s.platform.lobby.count(kWmSysCommand), ok ? 1 : 0);
  }
}

TEST(OtherExitDialog, AfterCancelTheReadyButtonTakesTheUserToTheLobby) {
  SimClient s;
  ShowOtherExitDialog(s.c, "服务器 closed");
  Click(s.c, FormId::frmOtherExit, "imgCancel");
  EXPECT_TRUE(s.c.input.TableDissolved);
  s.c.view.AnNiu[2].enabled = true;
  OnControlBarClick(s.c, 2);
  EXPECT_TRUE(s.c.view.minimized);
  EXPECT_EQ(s.platform.lobby.count(kWmSysCommand), 1);
  EXPECT_TRUE(Queued(s.c).empty());  // no ready request
}

// The 叫头 call for `side` as the server sends it.
void FeedCall(SimClient& s, std::uint8_t seat, std::initializer_list<int> values = {}) {
  const Frame f = testing::ServerFrame(p::kInsJiaoTou, seat, values);
  s.c.link.ReceiveRing.append(f.data(), f.size());
  RunEvent(s.c, [&] {
    DecodeFrame(s.c.link);
    Dispatch(s.c);
  });
}

TEST(JiaoTouPrompt, OkSendsTheChosenCountsAndStopsTheCountdown) {
  struct Case {
    int tou, mo;  // 0: the option is left alone
    int sentTou, sentMo;
  } cases[] = {{0, 0, 1, 0}, {3, 2, 3, 2}, {5, 0, 5, 0}, {0, 5, 1, 5}};
  for (const Case& k : cases) {
    SimClient s;
    s.platform.os = {2, 5};  // a system with translucent small windows
    s.c.offer.TurnTime = 15;
    FeedCall(s, 1);
    const SmallForm& f = s.c.forms[FormId::tishi];
    ASSERT_TRUE(f.visible);
    EXPECT_TRUE(s.c.forms[FormId::tishi].find("Image1")->visible);
    EXPECT_TRUE(s.c.link.TurnClockOn);
    EXPECT_EQ(f.opacity, 220);
    if (k.tou != 0) Click(s.c, FormId::tishi, "Option1", k.tou);
    if (k.mo != 0) Click(s.c, FormId::tishi, "Option2", k.mo);
    if (k.tou != 0) {
      // The chosen option shows its mark, the others none.
      for (int i = 1; i <= 5; ++i)
        EXPECT_EQ(s.c.forms[FormId::tishi].find("Option1", i)->selected, i == k.tou ? 1 : 0);
    }
    Click(s.c, FormId::tishi, "Image1");
    const std::vector<Frame> sent = Queued(s.c);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][3], p::kReqJiaoTou);
    EXPECT_EQ(sent[0][6], 1);
    EXPECT_EQ(Operand(sent[0], 0), 0);
    EXPECT_EQ(Operand(sent[0], 1), k.sentTou);
    EXPECT_EQ(Operand(sent[0], 2), 0);
    EXPECT_EQ(Operand(sent[0], 3), k.sentMo);
    EXPECT_FALSE(s.c.shell.JiaoTouOpen);
    EXPECT_FALSE(s.c.link.TurnClockOn);
    EXPECT_EQ(s.c.offer.Countdown, 15);
    EXPECT_FALSE(s.c.view.Number.visible);
    EXPECT_FALSE(s.c.view.Time_Img.visible);
    EXPECT_FALSE(f.loaded);
    EXPECT_FALSE(TimerEnabled(s.c, TimerId::Prompt));
  }
}

TEST(JiaoTouPrompt, ClicksBesideOkDoNothingWhileAskedTheHoverLightsOk) {
  SimClient s;
  LayOutTable(s.c);
  FeedCall(s, 1);
  Click(s.c, FormId::tishi, "Back");
  Click(s.c, FormId::tishi, "Frame1");
  EXPECT_TRUE(s.c.forms[FormId::tishi].visible);
  PromptHover(s.c, true);
  EXPECT_EQ(s.c.forms[FormId::tishi].find("Image1")->picture, 131);
  PromptHover(s.c, false);
  EXPECT_EQ(s.c.forms[FormId::tishi].find("Image1")->picture, 130);
  EXPECT_TRUE(Queued(s.c).empty());
}

TEST(JiaoTouPrompt, ANoticeForAnotherPlayerHasNoOkAndClosesOnAClickOrAfterFiveSeconds) {
  for (bool click : {true, false}) {
    SimClient s;
    s.c.table.PlayerInfo[2].nick = "猫";
    FeedCall(s, 4);  // seat 4 seen from seat 1 is the top side
    const SmallForm& f = s.c.forms[FormId::tishi];
    ASSERT_TRUE(f.visible);
    EXPECT_FALSE(s.c.forms[FormId::tishi].find("Image1")->visible);
    EXPECT_FALSE(s.c.forms[FormId::tishi].find("Frame1")->visible);
    EXPECT_EQ(s.c.forms[FormId::tishi].find("Label1")->caption, "猫正在叫头，请稍候...");
    if (click) {
      Click(s.c, FormId::tishi, "Label1");
      EXPECT_FALSE(f.loaded);
    } else {
      s.Run(4999);
      EXPECT_TRUE(f.loaded);
      s.Run(2);
      EXPECT_FALSE(f.loaded);
      EXPECT_FALSE(TimerEnabled(s.c, TimerId::Prompt));
    }
    EXPECT_TRUE(Queued(s.c).empty());
  }
}

TEST(JiaoTouPrompt, UnansweredItClosesAfterFiveSecondsAndTheCountdownAnswersLater) {
  SimClient s;
  std::vector<Frame> got;
  s.server.onFrame = [&](sim::Connection&, const Frame& f) { got.push_back(f); };
  s.Connect();
  s.c.table.LoginAccepted = true;
  s.server.last()->sendFrame(testing::ServerFrame(p::kInsJiaoTou, 1));
  s.Run(5200);
  EXPECT_FALSE(s.c.forms[FormId::tishi].loaded);
  EXPECT_TRUE(s.c.shell.JiaoTouOpen);
  EXPECT_TRUE(got.empty());
  s.Run(3000);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0][3], p::kReqJiaoTou);
  EXPECT_EQ(Operand(got[0], 1), 1);
  EXPECT_EQ(Operand(got[0], 3), 0);
  EXPECT_FALSE(s.c.shell.JiaoTouOpen);
}

TEST(JiaoTouPrompt, TheCallResultClosesThePromptAndANewLoadRestartsTimer1) {
  SimClient s;
  FeedCall(s, 1);
  s.Run(3000);
  FeedCall(s, 4);  // a later record: the result
  EXPECT_FALSE(s.c.forms[FormId::tishi].loaded);
  EXPECT_FALSE(TimerEnabled(s.c, TimerId::Prompt));
  ShowCallNotice(s.c, "x");
  s.Run(3000);
  ShowCallNotice(s.c, "y");  // loaded again: 5 s from now
  s.Run(4000);
  EXPECT_TRUE(s.c.forms[FormId::tishi].loaded);
  EXPECT_EQ(s.c.forms[FormId::tishi].find("Label1")->caption, "y");
  s.Run(1001);
  EXPECT_FALSE(s.c.forms[FormId::tishi].loaded);
}

}  // namespace
}  // namespace tavren
