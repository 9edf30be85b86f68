// The small windows as data: controls, centring, and events routed to the
// handlers their subsystems register.
#include "view/forms.h"

#include <gtest/gtest.h>

#include "support/sim_client.h"

namespace tavren {
namespace {

using testing::SimClient;

int g_clicked = -1;
std::string g_text;

TEST(Forms, EventsReachTheFormsHandlersAndBadControlsAreIgnored) {
  SimClient s;
  SmallForm& f = s.c.forms[FormId::frmExit];
  const int ok = AddControl(f, ControlType::Image, "Image1", 0, 10, 10, 65, 30);
  const int box = AddControl(f, ControlType::TextBox, "Text1", 0, 10, 50, 100, 20);
  s.c.forms.handlers[static_cast<std::size_t>(FormId::frmExit)].click = [](Client&, int k) {
    g_clicked = k;
  };
  s.c.forms.handlers[static_cast<std::size_t>(FormId::frmExit)].text =
      [](Client&, int, const std::string& t) { g_text = t; };
  FormClick(s.c, FormId::frmExit, ok);
  EXPECT_EQ(g_clicked, ok);
  g_clicked = -1;
  FormClick(s.c, FormId::frmExit, 7);
  FormClick(s.c, FormId::frmExit, -1);
  FormClick(s.c, static_cast<FormId>(99), 0);
  FormDoubleClick(s.c, FormId::frmExit, ok);  // no handler: nothing
  EXPECT_EQ(g_clicked, -1);
  FormText(s.c, FormId::frmExit, box, "你好");
  EXPECT_EQ(g_text, "你好");
  EXPECT_EQ(f.controls[static_cast<std::size_t>(box)].caption, "你好");
  EXPECT_EQ(f.find("Image1"), &f.controls[static_cast<std::size_t>(ok)]);
  EXPECT_EQ(f.find("Image1", 1), nullptr);
}

TEST(Forms, ALineClickSelectsOnlyALineTheListHas) {
  SimClient s;
  SmallForm& f = s.c.forms[FormId::Hero];
  const int list = AddControl(f, ControlType::List, "Num", 0, 0, 0, 100, 200);
  f.controls[static_cast<std::size_t>(list)].items = {"1", "2", "3"};
  FormSelect(s.c, FormId::Hero, list, 2);
  EXPECT_EQ(f.controls[static_cast<std::size_t>(list)].selected, 2);
  FormSelect(s.c, FormId::Hero, list, 3);
  EXPECT_EQ(f.controls[static_cast<std::size_t>(list)].selected, -1);
  FormMoved(s.c, FormId::Hero, 40, 50);
  EXPECT_EQ(f.left, 40);
  EXPECT_EQ(f.top, 50);
}

}  // namespace
}  // namespace tavren
