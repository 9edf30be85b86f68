// The window's own frame and the hover rules of the table surface.
#include "view/chrome.h"

#include <gtest/gtest.h>

#include "support/sim_client.h"

namespace tavren {
namespace {

using testing::SimClient;

TEST(Chrome, OnlyOneTitleButtonHoversUntilThePointerLeavesForTheBackground) {
  SimClient s;
  TitleButtonHover(s.c, TitleButton::Close);
  EXPECT_EQ(s.c.chrome.closeLook, ButtonLook::Hover);
  TitleButtonHover(s.c, TitleButton::Minimize);
  EXPECT_EQ(s.c.chrome.minLook, ButtonLook::Normal);
  WindowBackgroundHover(s.c);
  EXPECT_EQ(s.c.chrome.closeLook, ButtonLook::Normal);
  EXPECT_TRUE(s.c.chrome.TitleButtonsNormal);
  TitleButtonHover(s.c, TitleButton::Minimize);
  EXPECT_EQ(s.c.chrome.minLook, ButtonLook::Hover);
  TitleButtonDown(s.c, TitleButton::Minimize);
  EXPECT_EQ(s.c.chrome.minLook, ButtonLook::Pressed);
  TitleButtonUp(s.c, TitleButton::Minimize);
  EXPECT_EQ(s.c.chrome.minLook, ButtonLook::Hover);
}

TEST(Chrome, RestoringClearsBossModeAndMinimisesTheLobby) {
  for (bool unattended : {false, true}) {
    SimClient s;
    s.c.shell.UnattendedMode = unattended;
    s.c.link.BossMode = true;
    s.c.offer.TurnTime = 0;
    s.c.link.TimeoutCount = 2;
    OnWindowMinimized(s.c);
    EXPECT_TRUE(s.c.view.minimized);
    OnWindowRestored(s.c);
    EXPECT_FALSE(s.c.view.minimized);
    EXPECT_FALSE(s.c.link.BossMode);
    EXPECT_EQ(s.c.offer.TurnTime, unattended ? 5 : 8);
    EXPECT_EQ(s.c.link.TimeoutCount, 0);
    ASSERT_EQ(s.platform.lobby.received.size(), 1u);
    EXPECT_EQ(s.platform.lobby.received[0].wParam, kScMinimize);
  }
}

TEST(Chrome, RestoringWithoutTheLobbyEndsTheProgram) {
  SimClient s;
  s.platform.lobby.present = false;
  OnWindowRestored(s.c);
  EXPECT_TRUE(s.c.ended);
}

TEST(Chrome, ARaisedTileGoesDownWhenThePointerLeavesItWhileTheUserTakesPart) {
  // The rise is 10 table pixels at every screen size; only a user who takes
  // part in the hand (not merely logged in) has tiles to lower.
  struct Case {
    PixelSize screen;
    bool active;
    bool lowered;
  } cases[] = {{{1280, 1024}, true, true}, {{800, 600}, true, true}, {{1280, 1024}, false, false}};
  for (const Case& k : cases) {
    SimClient s;
    s.platform.screen = k.screen;
    layoutMainWindow(s.c);
    resetTableView(s.c);
    s.c.table.LoginAccepted = true;
    s.c.input.TableActive = k.active;
    HandRecord& h = s.c.table.custom[0];
    h.first = 4;
    h.count = 2;
    h.mj[4] = {1, 0x21, 10};
    h.mj[5] = {1, 0x22, 11};
    Control& t = s.c.view.MJ_Image[11];
    t.x = h.handX + 48;
    t.y = h.handY - 10;
    t.w = 48;
    t.h = 78;
    SCOPED_TRACE(::testing::Message() << k.screen.w << (k.active ? " active" : " not active"));
    TableMouseMove(s.c, t.x + 5, t.y + 5);  // over it: stays up
    EXPECT_EQ(t.y, h.handY - 10);
    TableMouseMove(s.c, t.x + 5, t.y + 78 + 5);  // the 10 pixels below still count
    EXPECT_EQ(t.y, h.handY - 10);
    TableMouseMove(s.c, 5, 5);
    EXPECT_EQ(t.y, k.lowered ? h.handY : h.handY - 10);
    EXPECT_EQ(t.x, h.handX + 48);
  }
}

TEST(Chrome, RestoringBringsTheWindowToTheTop) {
  SimClient s;
  s.c.view.raiseRequested = false;
  OnWindowMinimized(s.c);
  EXPECT_FALSE(s.c.view.raiseRequested);
  OnWindowRestored(s.c);
  EXPECT_TRUE(s.c.view.raiseRequested);
}

TEST(Chrome, HoveringAPortraitShowsThePlayersDetailsAndTheTableHidesThem) {
  SimClient s;
  layoutMainWindow(s.c);
  buildImageIdTables(s.c);
  layoutPlayerPanels(s.c);
  s.c.view.windowLeft = 100;
  s.c.view.windowTop = 50;
  PlayerInfoRecord& p = s.c.table.PlayerInfo[2];
  p.nick = "小王";
  p.sex = 1;
  p.tag = "杭州";
  p.money1 = 1200;
  p.money2 = 99;
  p.stat1 = 10;
  p.stat2 = 1;
  p.stat3 = 6;
  p.stat4 = 4;
  const Control& tou = s.c.view.Tou[2];
  TableMouseMove(s.c, tou.x + 5, tou.y + 5);
  EXPECT_FALSE(s.c.view.Information.visible);  // an empty seat shows nothing
  s.c.table.custom[2].name = "wang";
  TableMouseMove(s.c, tou.x + 5, tou.y + 5);
  const InformationForm& info = s.c.view.Information;
  ASSERT_TRUE(info.visible);
  EXPECT_EQ(info.Inf[0], "小王");
  EXPECT_EQ(info.Inf[1], "男");
  EXPECT_EQ(info.Inf[2], "杭州");
  EXPECT_EQ(info.Inf[3], "1200");
  EXPECT_EQ(info.Inf[8], "4");
  EXPECT_EQ(info.left, 100 + 8 + 1024 / 3);
  EXPECT_EQ(info.top, 50 + 20 + static_cast<int>(0.11 * 768));
  TableMouseMove(s.c, 500, 400);
  EXPECT_FALSE(info.visible);
  // The user's own portrait puts the window lower down, at the left.
  s.c.table.custom[0].name = "me";
  const Control& own = s.c.view.Tou[0];
  TableMouseMove(s.c, own.x + 5, own.y + 5);
  EXPECT_EQ(info.left, 108);
  EXPECT_EQ(info.top, 70 + static_cast<int>(0.42 * 768));
  EXPECT_EQ(info.Inf[1], "女");
}

TEST(Chrome, ThePageBoxOpensTheLoginPage) {
  SimClient s;
  layoutMainWindow(s.c);
  buildImageIdTables(s.c);
  layoutPlayerPanels(s.c);
  layoutTableWidgets(s.c);
  const Control& bird = s.c.view.Bird;
  TableClick(s.c, bird.x + 10, bird.y + 10);
  EXPECT_TRUE(s.platform.openedUrls.empty());  // no page: the logo stays a logo
  s.c.shell.AdUrl = "http://127.0.0.1/tavren";
  s.c.view.pageLinked = true;
  TableClick(s.c, bird.x + 10, bird.y + 10);
  ASSERT_EQ(s.platform.openedUrls.size(), 1u);
  EXPECT_EQ(s.platform.openedUrls[0], "http://127.0.0.1/tavren");
}

}  // namespace
}  // namespace tavren
