#include "input/side_windows.h"

#include "core/client.h"

namespace tavren {

namespace {}  // namespace

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
  }
}

}  // namespace tavren
