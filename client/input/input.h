// Keyboard and control-bar actions the rest of the client triggers.
#pragma once

namespace tavren {

struct Client;

// The F1 key: hide the side windows, stop the turn clock, minimise, play on alone.
void BossKeyAction(Client& c);

// Button-state table of the control bar: the continue button is used up
// (clicks ignored) or available again.
void MarkContinueButton(Client& c, bool used);

}  // namespace tavren
