// Robot players: plain decisions over a seat's tile counts. They never look at
// other seats' tiles, and every choice is deterministic.
#pragma once

#include "engine/hand_state.h"
#include "rules/scoring.h"
#include "rules/tiles.h"

namespace tavren::server::robot {

// A robot's move on its turn: a claim kind (hu, a concealed or an added kong, a
// tile set aside) with its face, or kind 0 and the face to discard.
struct TurnMove {
  int kind = 0;
  int face = -1;
};
TurnMove chooseTurnMove(const SeatHand& s, bool afterDraw);

// A robot's answer to the seat's claim offer on a discard of `face`; `*chiLow`
// is set for a chi.
int chooseAnswer(const SeatHand& s, int face, int* chiLow);

// The face to discard from a 3n+2 hand; -1 means a wild tile (only when nothing
// else is held). `mustStayReady` keeps the hand ready (after a chi).
int chooseDiscard(const Counts& hand, bool mustStayReady);

// Whether a peng, a chi (lowest face of the run), or an exposed kong on `face`
// brings the hand closer to a win.
bool wantsPeng(const Counts& hand, int face);
bool wantsChi(const Counts& hand, int face, int low);
bool wantsExposedKong(const Counts& hand, int face);

// The 叫头 call of a dealer holding this hand: 头 1..5 and 摸 0..5.
void chooseCall(const Counts& hand, int* tou, int* mo);

// Shared helpers of the table: is the 3n+1 hand ready; does removing `face` from
// a 3n+2 hand leave it ready (-1: a wild tile).
bool isReady(const Counts& hand13);
bool readyAfterDiscard(const Counts& hand, int face);
// A discard exists that leaves this 3n+2 hand ready.
bool canStayReady(const Counts& hand);

}  // namespace tavren::server::robot
