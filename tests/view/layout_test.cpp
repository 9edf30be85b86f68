// Window and table layout: the window's size rules, the wall, seat anchors,
// set-aside slots, widgets, picture loads and stacking.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "support/sim_client.h"
#include "view/scene.h"

namespace tavren {
namespace {

using testing::SimClient;

void LayOut(SimClient& s) {
  LayOutTable(s.c);
}

TEST(WindowLayout, SizeRulesByScreen) {
  struct Case {
    int sw, sh;
    int ww, wh, px, py, pw, ph;
    bool skinned;
    float scale;
  };
  const Case cases[] = {
      {1280, 1024, 1040, 796, 8, 20, 1024, 768, true, 1.0f},
      {1024, 768, 1024, 768, 0, 0, 1024, 768, false, 1.0f},
      {800, 600, 800, 600, 0, 0, 800, 600, false, 0.78125f},
      {1023, 900, 1023, 796, 0, 20, 1023, 768, true, 0.78125f},
      {1280, 767, 1040, 767, 8, 0, 1024, 767, true, 0.78125f},
  };
  for (const auto& k : cases) {
    SimClient s;
    s.platform.screen = {k.sw, k.sh};
    layoutMainWindow(s.c);
    const MainForm& f = s.c.view;
    SCOPED_TRACE(::testing::Message() << k.sw << "x" << k.sh);
    EXPECT_EQ(f.windowW, k.ww);
    EXPECT_EQ(f.windowH, k.wh);
    EXPECT_EQ(f.pic1X, k.px);
    EXPECT_EQ(f.pic1Y, k.py);
    EXPECT_EQ(f.pic1W, k.pw);
    EXPECT_EQ(f.pic1H, k.ph);
    EXPECT_EQ(f.skinned, k.skinned);
    EXPECT_FLOAT_EQ(f.ScaleX, k.scale);
    EXPECT_FLOAT_EQ(f.ScaleY, k.scale);
  }
}

TEST(TableLayout, WallColumnsOfThreePerSide) {
  SimClient s;
  LayOut(s);
  const auto& w = s.c.view.MJ_Image;
  struct Case {
    int control, x, y, wd, ht;
  };
  const Case cases[] = {
      {0, 699, 476, 36, 50},
      {1, 699, 498, 36, 50},
      {3, 663, 476, 36, 50},  // side 0: right to left
      {36, 178, 425, 48, 35},
      {39, 182, 410, 48, 35},
      {38, 178, 465, 48, 35},  // side 1: upwards
      {72, 342, 192, 30, 36},
      {75, 372, 192, 30, 36},  // side 2
      {108, 765, 244, 48, 35},
      {111, 769, 259, 48, 35},  // side 3: downwards
      {143, 765 + 44, 244 + 165 + 40, 48, 35},
  };
  for (const auto& k : cases) {
    const Control& t = w[static_cast<std::size_t>(k.control)];
    EXPECT_EQ(t.x, k.x) << k.control;
    EXPECT_EQ(t.y, k.y) << k.control;
    EXPECT_EQ(t.w, k.wd) << k.control;
    EXPECT_EQ(t.h, k.ht) << k.control;
    EXPECT_FALSE(t.visible);
  }
  // Within a column layer 0 is in front of layer 1, and layer 1 in front of layer 2.
  auto pos = [&](int i) {
    const auto& o = s.c.view.order;
    return std::find(o.begin(), o.end(), &w[static_cast<std::size_t>(i)]) - o.begin();
  };
  EXPECT_GT(pos(0), pos(1));
  EXPECT_GT(pos(1), pos(2));
  EXPECT_GT(pos(36), pos(39));  // side 1: the lower column in front
}

TEST(TableLayout, SeatAnchorsAndScaledAnchors) {
  for (bool small : {false, true}) {
    SimClient s;
    if (small) s.platform.screen = {800, 600};
    LayOut(s);
    const float k = small ? 0.78125f : 1.0f;
    const int hand[4][2] = {{19, 564}, {163, 192}, {842, 122}, {942, 560}};
    const int discard[4][2] = {{358, 438}, {287, 238}, {635, 238}, {758, 438}};
    for (int side = 0; side < 4; ++side) {
      const HandRecord& h = s.c.table.custom[static_cast<std::size_t>(side)];
      EXPECT_EQ(h.handX, std::lround(hand[side][0] * k));
      EXPECT_EQ(h.handY, std::lround(hand[side][1] * k));
      EXPECT_EQ(h.discardX, std::lround(discard[side][0] * k));
      EXPECT_EQ(h.discardOriginY, std::lround(discard[side][1] * k));
    }
  }
}

TEST(TableLayout, SetAsideColumnsCarryTheirSidesWildTile) {
  SimClient s;
  LayOut(s);
  const auto& a = s.c.view.imgCaiShen;
  EXPECT_EQ(a[0].x, 47);
  EXPECT_EQ(a[0].y, 497);
  EXPECT_EQ(a[3].y, 497 + 3 * 22);
  EXPECT_EQ(a[4].x, 2);
  EXPECT_EQ(a[8].x, 166);
  EXPECT_EQ(a[9].y, 133 + 18);
  EXPECT_EQ(a[16].w, 34);
  EXPECT_EQ(a[31].y, 545 + 3 * 18);
  EXPECT_EQ(a[0].picture, 422);
  EXPECT_EQ(a[12].picture, 423);
  EXPECT_EQ(a[20].picture, 424);
  EXPECT_EQ(a[28].picture, 425);
  for (const Control& k : a) EXPECT_FALSE(k.visible);
}

TEST(TableLayout, ControlBarAndWidgets) {
  SimClient s;
  LayOut(s);
  const MainForm& f = s.c.view;
  const int pics[9] = {101, 103, 105, 109, 111, 113, 115, 117, 119};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(f.AnNiu[static_cast<std::size_t>(i)].picture, pics[i]) << i;
  EXPECT_EQ(f.AnNiu[0].x, 573);
  EXPECT_EQ(f.AnNiu[0].w, 50);
  EXPECT_EQ(f.AnNiu[4].x, 648 + 3 * 70);
  EXPECT_EQ(f.AnNiu[4].y, 699);
  EXPECT_EQ(f.AnNiu[5].x, 648);
  EXPECT_EQ(f.AnNiu[5].y, 731);
  EXPECT_EQ(f.AnNiu[8].x, 648 + 3 * 70);
  EXPECT_EQ(f.Operation[0].x, 358);
  EXPECT_EQ(f.Operation[4].x, 358 + 4 * 50);
  EXPECT_EQ(f.Operation[1].picture, 144);
  EXPECT_FALSE(f.Operation[2].enabled);
  EXPECT_EQ(f.Tou[2].x, 350);
  EXPECT_EQ(f.Tou[0].w, 85);
  EXPECT_EQ(f.QX_Image.x, f.Qixo.x + 20);
  EXPECT_EQ(f.QX_Image.y, f.Qixo.y + 59);
  EXPECT_EQ(f.Time_Img.y, f.Qixo.y + f.Qixo.h);
  EXPECT_EQ(f.Number.x, f.Time_Img.x + 48);
  EXPECT_EQ(f.SysmsgBox[0].y, 696);
  EXPECT_EQ(f.SysmsgBox[1].y, 709);
  EXPECT_EQ(f.OK[3].x, 900);
  EXPECT_FALSE(f.OK[3].visible);
  EXPECT_EQ(f.Bird.picture, 123);
  EXPECT_EQ(f.SZ_Image[1].picture, 162);
}

TEST(TableLayout, SmallScreensUseTheSmallButtonsAndSmallerFonts) {
  SimClient s;
  s.platform.screen = {1023, 768};
  LayOut(s);
  EXPECT_EQ(s.c.view.AnNiu[1].picture, 381);
  EXPECT_EQ(s.c.view.AnNiu[0].picture, 101);
  EXPECT_EQ(s.c.view.Cash[1].fontSize, 8);
  EXPECT_EQ(s.c.view.Number.fontSize, 12);
}

TEST(PictureLoads, OutOfRangeLoadsLeaveTheControlAlone) {
  SimClient s;
  LayOut(s);
  setTileImage(s.c, 10, 89);  // 9条 lying at the top side
  EXPECT_EQ(s.c.view.MJ_Image[10].picture, 290);
  EXPECT_TRUE(s.c.view.MJ_Image[10].visible);
  setTileImage(s.c, 144, 3);
  setTileImage(s.c, 10, 185);
  setTileImage(s.c, -1, 3);
  EXPECT_EQ(s.c.view.MJ_Image[10].picture, 290);
  setTileImage(s.c, 11, 184);
  EXPECT_EQ(s.c.view.MJ_Image[11].picture, 421);
  setTileImage(s.c, 12, 36 * 3 + 8);  // lying back of side 3
  EXPECT_EQ(s.c.view.MJ_Image[12].picture, 317);

  setFlowerImage(s.c, 3, 4, 2, false);  // orientation 4 always goes to the wall controls
  EXPECT_EQ(s.c.view.MJ_Image[3].picture, 444 + 32 + 2);
  setFlowerImage(s.c, 3, 1, 2, false);
  EXPECT_EQ(s.c.view.imgCaiShen[3].picture, 444 + 8 + 2);
  setFlowerImage(s.c, 4, 1, 9, false);
  setFlowerImage(s.c, 40, 1, 1, false);  // no such set-aside slot
  EXPECT_EQ(s.c.view.imgCaiShen[4].picture, 422);
}

TEST(Scene, StackingAndHitTesting) {
  SimClient s;
  LayOut(s);
  MainForm& f = s.c.view;
  Control& a = f.MJ_Image[0];
  Control& b = f.MJ_Image[1];
  a.visible = b.visible = true;
  a.x = b.x = 100;
  a.y = b.y = 100;
  a.w = b.w = a.h = b.h = 40;
  BringToFront(f, a);
  EXPECT_EQ(HitTest(f, 110, 110), &a);
  BringToFront(f, b);
  EXPECT_EQ(HitTest(f, 110, 110), &b);
  SendToBack(f, b);
  EXPECT_EQ(HitTest(f, 110, 110), &a);
  a.visible = false;
  EXPECT_EQ(HitTest(f, 110, 110), &b);
  EXPECT_EQ(HitTest(f, 5000, 5000), nullptr);
  EXPECT_EQ(f.order.size(),
            144u + 32 + 4 * 5 + 9 + 5 + 6 + 5 + 16 + 4 + 3 + 3 + 10 + 7 + 2 + 1 - 1);
}

}  // namespace
}  // namespace tavren
