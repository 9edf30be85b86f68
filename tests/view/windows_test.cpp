// The window operations the subsystems share.
#include "view/windows.h"

#include <gtest/gtest.h>

#include "support/sim_client.h"

namespace tavren {
namespace {

using testing::SimClient;

TEST(Windows, AFormOpensAfreshWithItsCaptionAndSizeLayeredWhereTheSystemCan) {
  struct Case {
    OsVersion os;
    int opacity;
  } cases[] = {{{}, 255}, {{2, 5}, 200}, {{2, 6}, 255}};
  for (const Case& k : cases) {
    SimClient s;
    s.platform.os = k.os;
    SmallForm& old = s.c.forms[FormId::frmExit];
    old.left = 77;
    old.visible = true;
    AddControl(old, ControlType::Label, "Stale", 0, 0, 0, 10, 10);
    SmallForm& f = OpenSmallForm(s.c, FormId::frmExit, "退出", 260, 140);
    EXPECT_EQ(&f, &s.c.forms[FormId::frmExit]);
    EXPECT_TRUE(f.loaded);
    EXPECT_FALSE(f.visible) << "shown by the caller once built";
    EXPECT_EQ(f.caption, "退出");
    EXPECT_EQ(f.w, 260);
    EXPECT_EQ(f.h, 140);
    EXPECT_EQ(f.left, 0);
    EXPECT_TRUE(f.controls.empty());
    EXPECT_EQ(f.opacity, k.opacity);

    CloseSmallForm(s.c, FormId::frmExit);
    EXPECT_FALSE(f.loaded);
    EXPECT_TRUE(f.caption.empty());
  }
}

TEST(Windows, CentredOverTheTable) {
  SimClient s;
  layoutMainWindow(s.c);
  s.c.view.windowLeft = 100;
  s.c.view.windowTop = 40;
  SmallForm& f = s.c.forms[FormId::Score];
  f.w = 400;
  f.h = 300;
  CentreOverTable(s.c, f);
  EXPECT_EQ(f.left, 100 + 8 + (1024 - 400) / 2);
  EXPECT_EQ(f.top, 40 + 20 + (768 - 300) / 2);
}

TEST(Windows, OnlyOpacitiesFrom0To255AreApplied) {
  SimClient s;
  SmallForm& f = s.c.forms[FormId::Talk];
  EXPECT_TRUE(SetWindowAlpha(s.c, f, 0));
  EXPECT_TRUE(SetWindowAlpha(s.c, f, 255));
  EXPECT_FALSE(SetWindowAlpha(s.c, f, 256));
  EXPECT_FALSE(SetWindowAlpha(s.c, f, -2));
  EXPECT_EQ(f.opacity, 255);
  SetTopmost(s.c, f, true);
  EXPECT_TRUE(f.topmost);
  SetTopmost(s.c, f, false);
  EXPECT_FALSE(f.topmost);
}

}  // namespace
}  // namespace tavren
