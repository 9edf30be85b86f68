// Windows the table instructions open that the client does not draw yet: the
// end-of-game dialog, the result and ranking windows, the 叫头 prompt and its
// notice, and the game totals of the settlement. Each records its call in the
// client's call log, so that tests see the instruction asked for it.
#pragma once

#include <string>

namespace tavren {

struct Client;

// frmOtherExit with `text` in its label, centred on the main window.
void ShowOtherExitDialog(Client& c, const std::string& text);
// The ranking window Hero centred on the table, and its lists emptied.
void ShowRankingWindow(Client& c);
void ClearRankingLists(Client& c);
// The result window Score.
void ShowResultWindow(Client& c);
// tishi for the user's own call, and as a notice that `who` is calling.
void ShowJiaoTouPrompt(Client& c);
void ShowCallNotice(Client& c, const std::string& text);
// The four per-seat game totals of the settlement back to 0.
void ResetGameTotals(Client& c);

}  // namespace tavren
