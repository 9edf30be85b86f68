#include "view/chrome.h"

#include <cstring>

#include "core/client.h"

namespace tavren {

namespace {

ButtonLook& Look(Client& c, TitleButton b) {
  return b == TitleButton::Close ? c.chrome.closeLook : c.chrome.minLook;
}

void SetLook(Client& c, TitleButton b, ButtonLook look) {
  Look(c, b) = look;
  ++c.view.revision;
}

}  // namespace

void TitleButtonHover(Client& c, TitleButton b) {
  RunEvent(c, [&] {
    if (!c.chrome.TitleButtonsNormal) return;
    SetLook(c, b, ButtonLook::Hover);
    c.chrome.TitleButtonsNormal = false;
  });
}

void TitleButtonDown(Client& c, TitleButton b) {
  RunEvent(c, [&] { SetLook(c, b, ButtonLook::Pressed); });
}

void TitleButtonUp(Client& c, TitleButton b) {
  RunEvent(c, [&] { SetLook(c, b, ButtonLook::Hover); });
}

void WindowBackgroundHover(Client& c) {
  RunEvent(c, [&] {
    if (c.chrome.TitleButtonsNormal) return;
    SetLook(c, TitleButton::Close, ButtonLook::Normal);
    SetLook(c, TitleButton::Minimize, ButtonLook::Normal);
    c.chrome.TitleButtonsNormal = true;
  });
}

void OnWindowMinimized(Client& c) {
  RunEvent(c, [&] { c.view.minimized = true; });
}

void OnWindowRestored(Client& c) {
  RunEvent(c, [&] {
    c.view.minimized = false;
    if (c.link.BossMode) {
      c.link.BossMode = false;
      c.offer.TurnTime = c.shell.UnattendedMode ? 5 : 8;
    }
    MinimizeLobby(c);
    c.link.TimeoutCount = 0;
  });
}

void TableMouseMove(Client& c, int x, int y) {
  RunEvent(c, [&] {
    // A raised tile the pointer has left goes back down.
    if (!c.table.Watching && c.table.LoginAccepted) {
      const HandRecord& h = c.table.custom[0];
      for (int k = h.first; k < h.first + h.count && k < kSlots; ++k) {
        const int ind = h.mj[static_cast<std::size_t>(k)].ind;
        if (ind < 0 || ind >= kWallTiles) continue;
        Control& t = c.view.MJ_Image[static_cast<std::size_t>(ind)];
        if (t.y != h.handY - SY(c, 10)) continue;
        const bool over = t.x < x && x < t.x + t.w && t.y < y && y < t.y + t.h + SY(c, 10);
        if (!over) {
          t.y = h.handY;
          ++c.view.revision;
        }
        break;
      }
    }
  });
}

void TableClick(Client& c, int x, int y) {
  RunEvent(c, [&] {
    const Control* k = HitTest(c.view, x, y);
    if (k == nullptr) return;
    // The page box over the logo opens the login result's page in the browser.
    if (std::strcmp(k->name, "Bird") == 0 && c.view.pageLinked && !c.shell.AdUrl.empty())
      c.platform.openUrl(c.shell.AdUrl);
  });
}

}  // namespace tavren
