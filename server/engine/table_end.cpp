// The end of a hand: the hands shown, the coins paid, the hand recorded, the deal
// passed on, and the seats sorted out for the next hand.
#include "engine/gbk.h"
#include "engine/score_items.h"
#include "engine/table.h"
#include "engine/wire.h"

namespace tavren::server {

void Table::endHand(int winner, bool selfDrawn, int winFace) {
  phase_ = Phase::AfterHand;
  for (const Frame& f : wire::reveals(hand_, winner, selfDrawn, winFace)) seating_.toAll(f);
  const Settlement st = payOut(winner, selfDrawn, winFace);
  ++handsPlayed_;
  recordHand(winner, selfDrawn, st);
  hand_.passDeal(winner);
  dropAwayAndShort();
  endGameAfterLastHand();
  seatNewcomers();
  nextHandOrIdle();
}

// Coins move, everyone sees each seat's result, and the winner's sheet.
Settlement Table::payOut(int winner, bool selfDrawn, int winFace) {
  const Settlement st = hand_.settle(winner, selfDrawn, winFace, config_.stake);
  for (int seat = 0; seat < 4; ++seat) seating_.toAll(wire::result(seat, st.results[seat]));
  seating_.applyResults(st.results);
  if (winner < 0) return st;
  for (int seat = 0; seat < 4; ++seat)
    seating_.toAll(wire::settlement(seat, st, winner, selfDrawn, hand_.discarder, config_.stake,
                                    seating_[seat].levelGbk));
  return st;
}

void Table::recordHand(int winner, bool selfDrawn, const Settlement& st) {
  HandRecord rec;
  rec.table = index_;
  rec.handNo = handsPlayed_;
  rec.dealer = hand_.dealer;
  rec.winner = winner;
  rec.discarder = winner >= 0 && !selfDrawn ? hand_.discarder : -1;
  rec.robbedKong = hand_.robbedWin;
  rec.liable = st.liable;
  rec.total = winner >= 0 ? st.score.total : 0;
  for (int s = 0; s < 4; ++s) rec.results[s] = st.results[s];
  rec.tou = hand_.tou;
  rec.mo = hand_.mo;
  rec.wallLeft = hand_.wallLeft();
  if (winner >= 0) rec.items = scoreItemNames(st.score, st.liable >= 0);
  host_.handEnded(rec);
}

// Clients that went away during the hand lose their seats now; so do clients
// whose gold ran short (robots never run short).
void Table::dropAwayAndShort() {
  for (int seat = 0; seat < 4; ++seat)
    if (seating_[seat].human && seating_[seat].away) {
      seating_.noteLeft(seat, true);
      freeSeatOf(seat, true);
    }
  int shortMask = 0;
  for (int seat = 0; seat < 4; ++seat) {
    Seat& s = seating_[seat];
    if (s.human && !s.waiting && s.gold < config_.minGold) shortMask |= seatBit(seat);
    if (!s.human && s.gold < config_.minGold) s.gold = config_.startGold;
  }
  if (!shortMask) return;
  seating_.toAll(wire::membership(15 & ~shortMask, proto::kMembershipGoldShortage));
  for (int seat = 0; seat < 4; ++seat)
    if (shortMask & seatBit(seat)) {
      host_.close(seating_[seat].conn);
      freeSeatOf(seat, false);
    }
}

void Table::endGameAfterLastHand() {
  if (config_.handsPerGame <= 0 || handsThisGame_ < config_.handsPerGame) return;
  seating_.toAll(wire::gameOver(toGbk("本场游戏结束，欢迎再来！")));
  gameStarted_ = false;
  for (auto& s : seating_.seats()) s.ready = !s.human;
}

// Clients that sat down during the hand join now; robots are ready at once.
void Table::seatNewcomers() {
  for (int seat = 0; seat < 4; ++seat) {
    Seat& s = seating_[seat];
    if (!s.human || !s.waiting) continue;
    s.waiting = false;
    if (!gameStarted_) continue;
    seating_.sendSeating(seat, hand_.dealer);
    seating_.showRecord(seat);
  }
  for (int seat = 0; seat < 4; ++seat) {
    Seat& s = seating_[seat];
    s.ready = !s.human;
    if (!s.human && gameStarted_) seating_.announceReady(seat);
  }
}

void Table::nextHandOrIdle() {
  if (!seating_.anyoneHere() && !config_.busyTables) {
    phase_ = Phase::Idle;
    gameStarted_ = false;
    return schedule();
  }
  if (!gameStarted_) {
    phase_ = Phase::Idle;
    if (config_.busyTables && !seating_.anyoneHere()) startGame();
    return schedule();
  }
  deadline_ = now() + config_.readyTimeoutMs;
  checkAllReady();
}

}  // namespace tavren::server
