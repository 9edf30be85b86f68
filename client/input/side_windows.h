// The small windows the table input closes in groups: the chat window, the
// quick phrases, the result and ranking windows, the sound settings and the
// exit dialog.
#pragma once

namespace tavren {

struct Client;

enum class SideWindow { Talk, huifu, Score, Hero, VosSet, frmExit };

void HideSideWindow(Client& c, SideWindow w);

}  // namespace tavren
