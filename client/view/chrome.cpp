#include "view/chrome.h"

#include <cmath>
#include <cstring>
#include <string>

#include "chat/bubbles.h"
#include "chat/phrases.h"
#include "core/client.h"
#include "input/input.h"
#include "input/side_windows.h"
#include "shell/dialogs.h"
#include "view/access.h"
#include "view/windows.h"

namespace tavren {

namespace {

ButtonLook& Look(Client& c, TitleButton b) {
  return b == TitleButton::Close ? c.chrome.closeLook : c.chrome.minLook;
}

void SetLook(Client& c, TitleButton b, ButtonLook look) {
  Look(c, b) = look;
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

void TitleStripPressed(Client& c) {
  RunEvent(c, [&] {
    for (SideWindow w : {SideWindow::Talk, SideWindow::huifu, SideWindow::Score, SideWindow::Hero,
                         SideWindow::VosSet})
      HideSideWindow(c, w);
  });
}

void CloseRequested(Client& c) {
  RunGuardedEvent(c, [&] { ToggleExitDialog(c); });
}

void OnWindowMinimized(Client& c) {
  RunEvent(c, [&] {
    c.view.minimized = true;
    // The speech bubbles never stay over other programs.
    for (int side = 0; side < kSides; ++side) {
      SmallForm& f = c.forms[BubbleForm(side)];
      if (f.loaded) f.visible = false;
    }
  });
}

void OnWindowRestored(Client& c) {
  RunEvent(c, [&] {
    c.view.minimized = false;
    // Back on top of the other windows, without staying there.
    c.view.raiseRequested = true;
    if (c.link.BossMode) {
      c.link.BossMode = false;
      c.offer.TurnTime = c.shell.UnattendedMode ? 5 : 8;
    }
    MinimizeLobby(c);
    c.link.TimeoutCount = 0;
    // The bubbles come back fully transparent until their next phrase.
    if (c.table.HandNo > 0) {
      for (int side = 0; side < kSides; ++side) {
        SmallForm& f = c.forms[BubbleForm(side)];
        if (!f.loaded) continue;
        c.chat.bubbles.side[static_cast<std::size_t>(side)].fading = false;
        SetWindowAlpha(c, f, 0);
        f.visible = true;
        SetTopmost(c, f, true);
      }
      SetTimer(c, TimerId::FadeIn, false);
    }
  });
}

namespace {

// The details of the player at `side` in the window over the portraits.
void ShowPlayerDetails(Client& c, int side) {
  MainForm& f = c.view;
  InformationForm& info = f.Information;
  const int T = f.windowTop + f.pic1Y;
  const int L = f.windowLeft + f.pic1X;
  if (side > 0) {
    info.top = T + static_cast<int>(0.11 * f.pic1H);
    info.left = L + static_cast<int>(std::lround(static_cast<double>((side - 1) * f.pic1W))) / 3;
  } else {
    info.left = L;
    info.top = T + static_cast<int>((f.ScaleX < 1 ? 0.3 : 0.42) * f.pic1H);
  }
  const PlayerInfoRecord& p = c.table.PlayerInfo[static_cast<std::size_t>(side)];
  info.Inf = {p.nick,
              p.sex != 0 ? "男" : "女",
              p.tag,
              std::to_string(p.money1),
              std::to_string(p.money2),
              std::to_string(p.stat1),
              std::to_string(p.stat2),
              std::to_string(p.stat3),
              std::to_string(p.stat4)};
  info.visible = true;
}

// The pointer over the bare table: a raised tile it left goes back down, and
// the player details close.
void SurfaceHover(Client& c, int x, int y) {
  if (!c.table.Watching && c.input.TableActive) {
    const HandRecord& h = c.table.custom[0];
    for (int k = h.first; k < h.first + h.count && k < kSlots; ++k) {
      const int ind = Slot(h, k).ind;
      if (ind < 0 || ind >= kWallTiles) continue;
      Control& t = Tile(c, ind);
      if (t.y != h.handY - kTileRise) continue;
      const bool over = t.x < x && x < t.x + t.w && t.y < y && y < t.y + t.h + kTileRise;
      if (!over) {
        t.y = h.handY;
      }
      break;
    }
  }
  if (c.view.Information.visible) {
    c.view.Information.visible = false;
  }
}

}  // namespace

void TableMouseMove(Client& c, int x, int y) {
  RunEvent(c, [&] {
    const Control* k = HitTest(c.view, x, y);
    // A highlighted control-bar button goes back to normal as soon as the
    // pointer is over anything else: a tile or a portrait next to the bar
    // as much as the bare table.
    const bool bar = k != nullptr && std::strcmp(k->name, "AnNiu") == 0;
    RestoreControlBarPictures(c, bar ? k->index : -1);
    if (k != nullptr && std::strcmp(k->name, "Tou") == 0) {
      const int side = k->index;
      if (!c.view.Information.visible && side >= 0 && side < kSides && !Hand(c, side).name.empty())
        ShowPlayerDetails(c, side);
      return;
    }
    if (k != nullptr && std::strcmp(k->name, "MJ_Image") == 0) {
      OnTileHover(c, k->index);
      return;
    }
    if (bar) {
      OnControlBarHover(c, k->index);
      return;
    }
    SurfaceHover(c, x, y);
  });
}

void TableClick(Client& c, int x, int y) {
  RunEvent(c, [&] {
    const Control* k = HitTest(c.view, x, y);
    if (k == nullptr) {
      OnTableSurfaceClick(c);
      return;
    }
    // The page box over the logo opens the login result's page in the browser.
    if (std::strcmp(k->name, "Bird") == 0 && c.view.pageLinked && !c.shell.AdUrl.empty())
      c.platform.openUrl(c.shell.AdUrl);
    // The table's own controls take the click to the hand input.
    if (std::strcmp(k->name, "MJ_Image") == 0)
      OnTileClick(c, k->index, false);
    else if (std::strcmp(k->name, "Operation") == 0)
      OnOperationClick(c, k->index);
    else if (std::strcmp(k->name, "Chi") == 0)
      OnChoiceClick(c, ChoiceKind::Chi, k->index);
    else if (std::strcmp(k->name, "Gang") == 0)
      OnChoiceClick(c, ChoiceKind::Gang, k->index);
    else if (std::strcmp(k->name, "AnNiu") == 0)
      OnControlBarClick(c, k->index);
    else if (std::strcmp(k->name, "Tou") == 0)
      OnPortraitClick(c, k->index);
    else if (std::strcmp(k->name, "Lbchat") == 0)
      ToggleTalk(c);
    else if (std::strcmp(k->name, "imgword1") == 0)
      OpenPhraseList(c, 1);
    else if (std::strcmp(k->name, "imgword2") == 0)
      OpenPhraseList(c, 2);
  });
}

void TableRightClick(Client& c, int x, int y) {
  const Control* k = HitTest(c.view, x, y);
  if (k != nullptr && std::strcmp(k->name, "MJ_Image") == 0)
    OnTileClick(c, k->index, true);
  else
    OnTableRightClick(c);
}

}  // namespace tavren
