// Windows the table instructions open that the client does not draw yet: the
// end-of-game dialog, the result and ranking windows, the 叫头 prompt and its
// notice, and the game totals of the settlement. Each records its call in the
// client's call log, so that tests see the instruction asked for it.
#pragma once

#include <string>

#include "rules/settlement.h"
#include "shell/result_windows.h"

namespace tavren {

struct Client;

// frmOtherExit with `text` in its label, centred on the main window.
void ShowOtherExitDialog(Client& c, const std::string& text);
// tishi for the user's own call, and as a notice that `who` is calling.
void ShowJiaoTouPrompt(Client& c);
void ShowCallNotice(Client& c, const std::string& text);

}  // namespace tavren
