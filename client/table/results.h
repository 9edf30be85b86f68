// Instructions that end a hand: each seat's coin result and, for a won hand,
// each seat's settlement rows.
#pragma once

namespace tavren {

struct Client;
struct InfoRecord;

// Instruction 9: a seat's coin result; four zero results make a drawn hand.
void HandleHandResult(Client& c, const InfoRecord& r);

// Instruction 17: a seat's settlement rows; the fourth brings the sheet.
void HandleSettlement(Client& c, const InfoRecord& r);

// After a hand's result is shown: the continue notice, the ready button free
// again, and (unless watching) the countdown to the next hand of `seconds`.
void ArmContinueCountdown(Client& c, int seconds);

}  // namespace tavren
