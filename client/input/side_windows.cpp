#include "input/side_windows.h"

#include <string>

#include "core/client.h"
#include "shell/result_windows.h"

namespace tavren {

namespace {

const char* WindowName(SideWindow w) {
  switch (w) {
    case SideWindow::Talk:
      return "Talk";
    case SideWindow::huifu:
      return "huifu";
    case SideWindow::Score:
      return "Score";
    case SideWindow::Hero:
      return "Hero";
    case SideWindow::VosSet:
      return "VosSet";
    case SideWindow::frmExit:
      return "frmExit";
  }
  return "";
}

}  // namespace

FormId FormOf(SideWindow w) {
  switch (w) {
    case SideWindow::Talk:
      return FormId::Talk;
    case SideWindow::huifu:
      return FormId::huifu;
    case SideWindow::Score:
      return FormId::Score;
    case SideWindow::Hero:
      return FormId::Hero;
    case SideWindow::VosSet:
      return FormId::VosSet;
    case SideWindow::frmExit:
      return FormId::frmExit;
  }
  return FormId::frmExit;
}

void HideSideWindow(Client& c, SideWindow w) {
  SmallForm& f = c.forms[FormOf(w)];
  if (f.visible) {
    f.visible = false;
    ++c.forms.revision;
  }
  c.log.calls.push_back(std::string("Hide") + WindowName(w));
}

void ToggleSideWindow(Client& c, SideWindow w) {
  if (w == SideWindow::Score) ToggleScoreWindow(c, c.table.HandNo);
  if (w == SideWindow::Hero) ToggleHeroWindow(c);
  c.log.calls.push_back(std::string("Toggle") + WindowName(w));
}

void ToggleResultWindow(Client& c, int handNo) {
  ToggleScoreWindow(c, handNo);
  c.log.calls.push_back("ToggleResultWindow " + std::to_string(handNo));
}

void ShowChatWindow(Client& c) {
  c.log.record("ShowChatWindow");
}

void SendChatBoxLine(Client& c) {
  c.log.record("SendChatBoxLine");
}

}  // namespace tavren
