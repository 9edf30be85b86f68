// The window's own frame: title-bar buttons, what minimising and restoring
// do, and the hover rules of the table surface.
#pragma once

namespace tavren {

struct Client;

enum class TitleButton { Close, Minimize };
enum class ButtonLook { Normal = 1, Hover = 2, Pressed = 3 };

struct ChromeState {
  bool TitleButtonsNormal = true;
  ButtonLook closeLook = ButtonLook::Normal;
  ButtonLook minLook = ButtonLook::Normal;
};

// Pointer over a title button, pressed on it, released on it.
void TitleButtonHover(Client& c, TitleButton b);
void TitleButtonDown(Client& c, TitleButton b);
void TitleButtonUp(Client& c, TitleButton b);
// Pointer over the window background or the drag strip.
void WindowBackgroundHover(Client& c);

// The left button pressed on the title strip, before the system moves the
// window: the side windows close.
void TitleStripPressed(Client& c);
// The window's own close (the title bar's button or the window manager's
// close): the exit button's action.
void CloseRequested(Client& c);

// The window was minimised or brought back by the user or the system.
void OnWindowMinimized(Client& c);
void OnWindowRestored(Client& c);

// Pointer over the table surface (pixels of the surface).
void TableMouseMove(Client& c, int x, int y);

// A click on the table surface, routed through hit-testing.
void TableClick(Client& c, int x, int y);
// A right click on the table surface: on a tile it is the tile's right click,
// anywhere else the table's (a pass while an offer is open).
void TableRightClick(Client& c, int x, int y);

}  // namespace tavren
