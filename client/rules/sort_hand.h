// The standing-hand sort: higher suit bit first (筒 萬 条 honours, then the
// suitless wild tile and flowers), lower rank first within a suit.
#pragma once

namespace tavren {

struct Client;

// Sorts the first `n` standing slots of side `side` by exchanging their tile
// codes (the slots keep their controls), then shows every sorted slot with the
// picture of its new code. Slots outside the record are never touched.
void SortHand(Client& c, int side, int n);

// True when `a` sorts after `b` in a standing hand.
bool SortsAfter(int a, int b);

}  // namespace tavren
