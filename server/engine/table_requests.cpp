// Requests from the table's clients: each is checked against the phase, the
// seat and the seat's offer before it changes anything; a request that does not
// fit is refused with a log line and no other effect.
#include <algorithm>

#include "engine/table.h"
#include "engine/wire.h"

namespace tavren::server {

void Table::request(ConnId conn, const Frame& f) {
  const int seat = seating_.seatOf(conn);
  const int type = f.requestType();
  if (type == proto::kReqKeepAlive) return;
  if (type == proto::kReqChat) return chat(conn, seat, f);
  if (seat < 0) {
    if (seating_.isWatcher(conn) && type != proto::kReqReady) refuse(conn, "a watcher cannot play");
    return;
  }
  if (seating_[seat].waiting) {
    if (type == proto::kReqReady && f.operand(3) == 0 && f.operand(0) == 0)
      leave(seat);
    else
      refuse(conn, "the seat plays from the next hand");
    return;
  }
  switch (type) {
    case proto::kReqReady:
      return ready(conn, seat, f);
    case proto::kReqJiaoTou:
      return callRequest(conn, seat, f);
    case proto::kReqDiscard:
      return discardRequest(conn, seat, f);
    case proto::kReqClaim:
      return claimRequest(conn, seat, f);
    default:
      return;  // logins are handled by the server; unknown types are ignored
  }
}

void Table::chat(ConnId conn, int seat, const Frame& f) {
  if (seat < 0 && !seating_.isWatcher(conn))
    return refuse(conn, "chat from a connection that left the table");
  std::int64_t* last = seating_.lastChat(conn);
  if (last == nullptr) return;
  if (*last >= 0 && now() - *last < config_.chatSpacingMs) return;  // a flood
  // Watchers share one budget: however many there are, they add at most one
  // connection's worth of lines to what the table relays.
  if (seat < 0 && !watcherChat_.take(now(), config_.chatSpacingMs, config_.watcherChatBurst))
    return;
  *last = now();
  const std::string& speaker = seat >= 0 ? seating_[seat].nickGbk : seating_.watcherName(conn);
  const Frame out = wire::chat(f, seat, speaker);
  const int target = f.operand(1) & 15;
  const int to = seatOfBit(target);
  if (target == 0 || to < 0) return seating_.toAll(out);
  seating_.toSeat(to, out);
  if (seat >= 0 && seat != to) seating_.toSeat(seat, out);
}

void Table::ready(ConnId conn, int seat, const Frame& f) {
  Seat& s = seating_[seat];
  if (f.operand(0) == 0 && f.operand(1) == 0 && f.operand(2) == 0 && f.operand(3) == 0)
    return leave(seat);
  if (f.operand(3) != 1) return refuse(conn, "ready with a value other than 1");
  if (!gameStarted_) {
    startGame();  // a table whose game ended starts again
    s.ready = true;
    return checkAllReady();
  }
  if (phase_ != Phase::AfterHand) return refuse(conn, "ready during a hand");
  if (s.ready) return;
  s.ready = true;
  seating_.toAll(wire::ready(seat, s.account));
  checkAllReady();
}

void Table::callRequest(ConnId conn, int seat, const Frame& f) {
  if (phase_ != Phase::Call || seat != hand_.dealer)
    return refuseOrLate(conn, seat, "a call nobody asked for");
  answerCall(f.operand(1), f.operand(3));
}

void Table::discardRequest(ConnId conn, int seat, const Frame& f) {
  if (phase_ != Phase::Turn || seat != hand_.turn)
    return refuseOrLate(conn, seat, "a discard out of turn");
  if (!(f.operand(3) & proto::kDiscardMarker)) return refuse(conn, "a discard without its marker");
  const int face = hand_.parseTile(f.operand(3));
  if (face == -2) return refuse(conn, "a discard of no known tile");
  // After its robot played for it, the client's own discard of that turn may
  // still come, naming the tile the robot threw.
  if (!discard(seat, face, false))
    refuseOrLate(conn, seat, "a discard of a tile the seat does not hold");
}

void Table::claimRequest(ConnId conn, int seat, const Frame& f) {
  const int kind = f.operand(0) & 0xFF;
  if (phase_ == Phase::Turn && seat == hand_.turn) return turnClaim(conn, seat, kind, f);
  SeatHand& s = hand_.seats[seat];
  if (phase_ != Phase::Claims || s.offer == 0 || s.answer != 0)
    return refuseOrLate(conn, seat, "a claim that was not offered");
  if (kind != proto::kClaimPass && !(s.offer & kind))
    return refuseOrLate(conn, seat, "a claim that was not offered");
  if (kind == proto::kClaimChi) {
    const int a = hand_.parseTile(f.operand(1)), b = hand_.parseTile(f.operand(2));
    if (a < 0 || b < 0) return refuse(conn, "a chi with unknown tiles");
    const ChiCheck chi = hand_.checkChi(seat, a, b);
    if (chi.low < 0) return refuse(conn, "a chi the hand cannot make");
    if (!chi.staysReady) return refuse(conn, "a chi that leaves the hand not ready");
    s.chiLow = chi.low;
  }
  s.answer = kind;
  maybeResolve();
}

// A claim on the seat's own turn: a self-drawn win or a kong of its own tiles.
void Table::turnClaim(ConnId conn, int seat, int kind, const Frame& f) {
  if (kind == proto::kClaimPass) return;  // the seat still discards
  if (!(hand_.seats[seat].offer & kind))
    return refuseOrLate(conn, seat, "a claim that was not offered");
  if (kind == proto::kClaimHu) return win(seat, true);
  if (kind != proto::kClaimConcealedKong && kind != proto::kClaimAddedKong)
    return refuseOrLate(conn, seat, "a claim that was not offered");
  const int face = hand_.parseTile(kind == proto::kClaimAddedKong ? f.operand(3) : f.operand(1));
  if (!selfKong(seat, kind, face)) refuse(conn, "a kong the hand cannot make");
}

void Table::refuse(ConnId conn, const std::string& why) {
  host_.log(conn, "refused from connection " + std::to_string(conn) + " at table " +
                      std::to_string(index_) + ": " + why);
}

void Table::refuseOrLate(ConnId conn, int seat, const std::string& why) {
  if (seat < 0 || seat > 3 || !seating_[seat].answeredFor) return refuse(conn, why);
  host_.log(conn, "late answer from connection " + std::to_string(conn) + " at table " +
                      std::to_string(index_) + " ignored (its robot answered first): " + why);
}

}  // namespace tavren::server
