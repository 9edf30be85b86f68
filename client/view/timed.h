// The table's timed displays: the countdown beside the compass, the blinking
// last discard, the chat button's flash and the word of the last claim. The
// link pump decides when they step; these are the only places that draw them.
#pragma once

namespace tavren {

struct Client;

// Shows the countdown at `seconds`, in green, above its frame.
void StartCountdown(Client& c, int seconds);
// One second less, red from five on; false when it had already run out.
bool StepCountdown(Client& c);
void HideCountdown(Client& c);
// The running countdown shown again as it stands, above its frame.
void ShowCountdown(Client& c);

// One step of the last discard's blink; a tile that stopped being the last
// discard is shown again.
void StepDiscardBlink(Client& c);

// One step of the chat button's flash after a line from another player.
void StepChatButtonFlash(Client& c);

// The claim word of side 1..3 stays for a while; the other sides' words go.
void ShowClaimWord(Client& c, int side);
void HideClaimWord(Client& c);

}  // namespace tavren
