// The dialogs over the table: the exit question frmExit, the end-of-game
// notice frmOtherExit and the 叫头 prompt tishi with its 5-second timer.
#pragma once

#include <string>

namespace tavren {

struct Client;

// frmExit: shown centred over the table, with its warning only while the
// user plays a hand; the control bar's exit button and Esc toggle it.
void ShowExitDialog(Client& c);
void ToggleExitDialog(Client& c);
void UnloadExitDialog(Client& c);

// frmOtherExit with `text` in its label, centred over the table. Loading it
// marks the game at this table as over.
void ShowOtherExitDialog(Client& c, const std::string& text);
void UnloadOtherExitDialog(Client& c);

// tishi for the user's own 叫头 call (choices and OK), and as a notice that
// somebody else is calling (`text` only).
void ShowJiaoTouPrompt(Client& c);
void ShowCallNotice(Client& c, const std::string& text);
void UnloadJiaoTouPrompt(Client& c);
// The pointer over the prompt: over its OK button or elsewhere.
void PromptHover(Client& c, bool overOk);
// Timer1, 5 s after the prompt was loaded: it closes, unless the user is
// asked and the link is down (the countdown that answers stands still then).
void PromptTimerTick(Client& c);
// A resumed link: a prompt kept open meanwhile gets its 5 s again.
void ResumeHeldPrompt(Client& c);

}  // namespace tavren
