// Instructions that play a hand: the deal, discards, draws, melds, the wild
// tile and the hands revealed at the end.
#pragma once

namespace tavren {

struct Client;
struct InfoRecord;

// Instruction 1: every side receives two batches of six tiles.
void HandleDeal(Client& c, const InfoRecord& r);

// Instruction 2: a side's discard, the 跟庄 bubble and the visible-tile count.
void HandleDiscard(Client& c, const InfoRecord& r);

// Instruction 5: a side draws one tile.
void HandleDraw(Client& c, const InfoRecord& r);

// Instruction 7: a claim the server confirmed is laid as a meld.
void HandleMeld(Client& c, const InfoRecord& r);

// Instruction 14: the wild tile of the hand.
void HandleWildTile(Client& c, const InfoRecord& r);

// Instruction 15: a side's hand turned face up; the first record also names
// the wall tiles the server showed.
void HandleReveal(Client& c, const InfoRecord& r);

}  // namespace tavren
