#include "view/timed.h"

#include <string>

#include "core/client.h"

namespace tavren {

void StartCountdown(Client& c, int seconds) {
  c.offer.Countdown = static_cast<std::int16_t>(seconds);
  c.view.Number.caption = std::to_string(seconds);
  c.view.Number.color = kGreen;
  ShowCountdown(c);
}

void ShowCountdown(Client& c) {
  MainForm& f = c.view;
  f.Number.visible = true;
  f.Time_Img.visible = true;
  // The digits lie in the frame's window: the frame goes first.
  BringToFront(f, f.Time_Img);
  BringToFront(f, f.Number);
}

bool StepCountdown(Client& c) {
  std::int16_t& n = c.offer.Countdown;
  if (n <= 0) return false;
  --n;
  c.view.Number.caption = std::to_string(n);
  c.view.Number.color = n > 5 ? kGreen : kRed;
  return true;
}

void HideCountdown(Client& c) {
  c.view.Number.visible = false;
  c.view.Time_Img.visible = false;
}

void StepDiscardBlink(Client& c) {
  LinkState& link = c.link;
  const int last = c.table.LastDiscardInd;
  auto& tiles = c.view.MJ_Image;
  if (link.BlinkCount > 0) --link.BlinkCount;
  if (link.BlinkTile >= 0 && link.BlinkTile != last)
    tiles[CheckIndex(link.BlinkTile, kWallTiles, "blink tile")].visible = true;
  if (last >= 0) {
    Control& t = tiles[CheckIndex(last, kWallTiles, "last discard")];
    t.visible = !t.visible;
  }
  link.BlinkTile = last;
  if (link.BlinkCount == 0 && last >= 0) tiles[static_cast<std::size_t>(last)].visible = true;
}

void StepChatButtonFlash(Client& c) {
  int& flash = c.chat.ChatFlash;
  int entry = 2;
  if (flash >= 1) {
    --flash;
    entry = flash % 2 == 1 ? 2 : 3;
  }
  c.view.AnNiu[1].picture = ButtonPicture(c, entry);
}

void ShowClaimWord(Client& c, int side) {
  if (side < 1 || side > 3) return;
  c.link.ClaimWordOn = true;
  c.link.TickCount[kTaskClaimWord] = 0;
  c.view.ClaimWordIndex = side - 1;
  for (int i = 0; i < 3; ++i)
    if (i != side - 1) c.view.Speak[static_cast<std::size_t>(i)].visible = false;
}

void HideClaimWord(Client& c) {
  const int i = c.view.ClaimWordIndex;
  if (i >= 0 && i < static_cast<int>(c.view.Speak.size())) {
    c.view.Speak[static_cast<std::size_t>(i)].visible = false;
    c.view.tsSpeak[static_cast<std::size_t>(i)].visible = false;
  }
  c.view.Words.visible = false;
}

}  // namespace tavren
