// The small windows the table input opens and closes: the chat window, the
// quick phrases, the result and ranking windows, the sound settings and the
// exit dialog. Hiding works on the window's form; the rest of what their
// subsystems do is not built yet, so each operation also records its call.
#pragma once

namespace tavren {

struct Client;

enum class SideWindow { Talk, huifu, Score, Hero, VosSet, frmExit };

void HideSideWindow(Client& c, SideWindow w);
// Shows a hidden window, hides a shown one.
void ToggleSideWindow(Client& c, SideWindow w);
// The result window with the record of hand `handNo`.
void ToggleResultWindow(Client& c, int handNo);
// The chat window, topmost, over the table.
void ShowChatWindow(Client& c);
// Sends the chat box's text as a chat line and empties the box.
void SendChatBoxLine(Client& c);

}  // namespace tavren
