// The table's timers: when the next thing happens, and what a robot does when
// it is time, for a robot's seat or for a client that ran out of time.
#include "engine/robot.h"
#include "engine/table.h"

namespace tavren::server {

// When the seat's answer is due: robots after their pause, clients at the deadline.
std::int64_t Table::actionTime(int seat) const {
  return seating_.robotControlled(seat) ? robotAt_ : deadline_;
}

void Table::schedule() {
  due_ = -1;
  switch (phase_) {
    case Phase::Idle:
      break;
    case Phase::AfterHand:
      due_ = startAt_ >= 0 ? startAt_ : deadline_;
      break;
    case Phase::Call:
    case Phase::Turn:
      due_ = actionTime(hand_.turn);
      break;
    case Phase::Claims:
      for (int seat = 0; seat < 4; ++seat) {
        const SeatHand& s = hand_.seats[seat];
        if (s.offer == 0 || s.answer != 0) continue;
        const std::int64_t t = actionTime(seat);
        if (due_ < 0 || t < due_) due_ = t;
      }
      break;
  }
}

void Table::maybeResolve() {
  for (const auto& s : hand_.seats)
    if (s.offer != 0 && s.answer == 0) return schedule();
  resolveClaims();
}

void Table::actForSeat(int seat) {
  const SeatHand& s = hand_.seats[seat];
  const robot::TurnMove move = robot::chooseTurnMove(s, hand_.afterDraw);
  if (move.kind == proto::kClaimHu) return win(seat, true);
  if (move.kind != 0 && selfKong(seat, move.kind, move.face)) return;
  // A kong the table did not take (it always does for a consistent hand) leaves
  // the turn to a discard rather than to nobody.
  const int face = move.kind == 0 ? move.face : robot::chooseDiscard(s.hand, s.chiPending);
  if (discard(seat, face, true)) return;
  // Nothing sensible held (cannot happen with a consistent hand): throw anything.
  for (int f = 0; f < kFaces; ++f)
    if (hand_.seats[seat].hand.c[f] > 0 && discard(seat, f, true)) return;
  discard(seat, -1, true);
}

void Table::robotAnswer(int seat) {
  SeatHand& s = hand_.seats[seat];
  s.answer = robot::chooseAnswer(s, hand_.discardFace, &s.chiLow);
}

// Every seat whose time is up answers as its robot would.
void Table::timeUpForClaims() {
  for (int seat = 0; seat < 4; ++seat) {
    const SeatHand& s = hand_.seats[seat];
    if (s.offer == 0 || s.answer != 0) continue;
    if (actionTime(seat) > now()) continue;
    if (seating_[seat].human) seating_[seat].answeredFor = true;
    robotAnswer(seat);
  }
  maybeResolve();
}

void Table::onTimer() {
  switch (phase_) {
    case Phase::Idle:
      due_ = -1;
      return;
    case Phase::AfterHand:
      if (gameStarted_) return startHand();
      phase_ = Phase::Idle;
      return schedule();
    case Phase::Call: {
      const int dealer = hand_.dealer;
      if (seating_[dealer].human) seating_[dealer].answeredFor = true;
      int tou = 1, mo = 0;
      robot::chooseCall(hand_.seats[dealer].hand, &tou, &mo);
      return answerCall(tou, mo);
    }
    case Phase::Turn:
      if (seating_[hand_.turn].human) seating_[hand_.turn].answeredFor = true;
      return actForSeat(hand_.turn);
    case Phase::Claims:
      return timeUpForClaims();
  }
}

}  // namespace tavren::server
