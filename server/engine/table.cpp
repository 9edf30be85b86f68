#include "engine/table.h"

#include "engine/wire.h"

namespace tavren::server {

Table::Table(TableHost& host, const Server::Config& config, int index, std::uint64_t seed)
    : host_(host), config_(config), index_(index), rng_{seed}, seating_(host, config, index, rng_) {
  for (int s = 0; s < 4; ++s) seating_.makeRobot(s);
}

bool Table::handRunning() const {
  return phase_ == Phase::Call || phase_ == Phase::Turn || phase_ == Phase::Claims;
}

TableView Table::view() const {
  TableView v;
  v.handRunning = handRunning();
  v.front = hand_.front;
  v.backTaken = hand_.backTaken;
  for (int seat = 0; seat < 4; ++seat) {
    const SeatHand& s = hand_.seats[seat];
    SeatView& out = v.seats[seat];
    for (int face = 0; face < kFaces; ++face)
      for (int k = 0; k < s.hand.c[face]; ++k) out.hand.push_back(wireCode(face));
    for (int k = 0; k < s.hand.wilds; ++k) out.hand.push_back(proto::kLocalWildTile);
    for (const Tile fl : s.pendingFlowers) out.hand.push_back(flowerNumber(fl));
    for (int face = 0; face < kFaces; ++face)
      for (int k = 0; k < s.hand.c[face]; ++k) out.codes.push_back(wireCode(face));
    for (int k = 0; k < s.hand.wilds; ++k) out.codes.push_back(wireCode(hand_.wildFace));
    for (const Tile fl : s.pendingFlowers) out.codes.push_back(flowerNumber(fl));
    out.account = seating_[seat].account;
    const bool drawnHeld = s.lastDrawn != kNothingDrawn &&
                           (s.lastDrawn < 0 ? s.hand.wilds > 0 : s.hand.c[s.lastDrawn] > 0);
    if (drawnHeld) out.drawnCode = wireCode(s.lastDrawn < 0 ? hand_.wildFace : s.lastDrawn);
    out.meldTiles = 3 * s.meldCount;
    out.redAside = s.redAside;
    out.wildAside = s.wildAside;
  }
  v.dealer = hand_.dealer;
  v.wildCode = wireCode(hand_.wildFace);
  v.shownCode = hand_.shownFace < kFaces ? wireCode(hand_.shownFace) : 0;
  for (int i = hand_.front; i < hand_.back; ++i) {
    const Tile t = hand_.wall[static_cast<std::size_t>(i)];
    v.wall.push_back(isFlower(t) ? flowerNumber(t) : wireCode(t));
  }
  return v;
}

Frame Table::listEntry(int tableCount) const {
  int state = proto::kTableIdle;
  if (handRunning())
    state = proto::kTablePlaying;
  else if (gameStarted_ && firstHand_)
    state = proto::kTableWaitingStart;
  else if (gameStarted_)
    state = proto::kTableBetweenHands;
  Frame f(proto::kInsTableList, 0);
  f.operand(0, index_)
      .operand(1, tableCount)
      .operand(2, state)
      .operand(3, static_cast<int>(seating_.watchers().size()));
  f.byteAt(proto::kByte7Offset, config_.waitForStart ? 1 : 0);
  for (int seat = 0; seat < 4; ++seat) {
    const Seat& s = seating_[seat];
    const std::size_t at = proto::kPayloadOffset + proto::kTableListSeatBytes * seat;
    int kind = gameStarted_ ? proto::kSeatRobot : proto::kSeatFree;
    if (s.human) kind = s.away ? proto::kSeatAway : proto::kSeatPlayer;
    f.byteAt(at, kind).byteAt(at + 1, s.human && s.ready ? 1 : 0);
    if (!s.human) continue;
    f.u64(at + proto::kTableListUserIdOffset, s.userId);
    f.text(at + proto::kTableListNameOffset, proto::kNameBytes, s.account);
  }
  return f;
}

// ---------------------------------------------------------------- seating

void Table::seatHuman(int seat, ConnId conn, const std::string& account,
                      const std::string& secret) {
  seating_.seatHuman(seat, conn, account, secret);
  Seat& s = seating_[seat];
  if (handRunning()) {
    // The robot finishes this hand; the client plays from the next one.
    s.waiting = true;
    return;
  }
  s.waiting = false;
  if (!gameStarted_) {
    startGame();
    return;
  }
  // Between hands: the newcomer gets the whole table, the others its record.
  seating_.sendSeating(seat, hand_.dealer);
  seating_.showRecord(seat);
  if (phase_ != Phase::AfterHand) return schedule();
  // Before a game's first hand a client's seating is its readiness, as for the
  // clients seated when the game was set; later the newcomer is not ready until
  // it says so.
  if (firstHand_) {
    s.ready = !config_.waitForStart;
    announceStart(seat);
  }
  checkAllReady();
}

void Table::addWatcher(ConnId conn, int watchSeat, const std::string& account,
                       std::uint64_t watchUser) {
  seating_.addWatcher(conn, watchSeat, account, watchUser);
  if (!gameStarted_) {
    startGame();  // sends the records to every watcher, this one included
    return;
  }
  seating_.sendSeatingToWatcher(conn);
  if (!handRunning()) return;
  // A hand under way: dealer, dice and wild tile, then each seat's tiles.
  seating_.toConn(conn, wire::tableJoined(hand_));
  for (int seat = 0; seat < 4; ++seat) seating_.toConn(conn, wire::snapshot(seat, hand_));
}

Table::Resume Table::resume(int seat, ConnId conn, const std::string& account, std::uint16_t token,
                            const std::string& secret) {
  const Resume r = seating_.resume(seat, conn, account, token, secret);
  if (r == Resume::Done) schedule();
  return r;
}

void Table::connectionLost(ConnId conn) {
  seating_.removeWatcher(conn);
  const int seat = seating_.seatOf(conn);
  if (seat >= 0) {
    if (handRunning() && !seating_[seat].waiting) {
      seating_[seat].away = true;  // kept for a resume until the hand ends
    } else {
      seating_.noteLeft(seat, false);
      freeSeatOf(seat, true);
    }
  }
  if (!seating_.anyoneHere() && !config_.busyTables && !handRunning()) {
    phase_ = Phase::Idle;
    gameStarted_ = false;
  }
  schedule();
}

void Table::freeSeatOf(int seat, bool announce) {
  const std::string name = seating_[seat].account;
  seating_.makeRobot(seat);
  if (!announce) return;
  seating_.toAllBut(seat, wire::playerGone(seat, name));
  if (!gameStarted_ || handRunning()) return;
  // The robot that takes the seat shows up at once.
  seating_.showRecord(seat);
  if (phase_ == Phase::AfterHand) seating_.announceReady(seat);
}

void Table::leave(int seat) {
  if (handRunning() && !seating_[seat].waiting) {
    // Leaving in the middle of a hand ends the game at this table.
    seating_.toAllBut(seat, wire::membership(15 & ~seatBit(seat), proto::kMembershipLeft));
    seating_.makeRobot(seat);
    gameStarted_ = false;
    phase_ = Phase::Idle;
    for (auto& o : seating_.seats()) o.ready = !o.human;
    if (config_.busyTables && !seating_.anyoneHere()) startGame();
    schedule();
    return;
  }
  freeSeatOf(seat, true);
  if (!seating_.anyoneHere() && !config_.busyTables) {
    phase_ = Phase::Idle;
    gameStarted_ = false;
  } else if (phase_ == Phase::AfterHand) {
    checkAllReady();
  }
  schedule();
}

// ---------------------------------------------------------------- the game

void Table::startGame() {
  gameStarted_ = true;
  handsThisGame_ = 0;
  hand_.startGame();
  // The first hand waits for no 开始 button: a client seated now is ready, and
  // is told when the hand starts. Later hands wait for each client's ready.
  // A hosted table waits for every client's 开始 instead, however long it takes.
  for (auto& s : seating_.seats()) s.ready = !s.human || (!s.waiting && !config_.waitForStart);
  auto playing = [&](int s) { return seating_[s].human && !seating_[s].waiting; };
  for (int s = 0; s < 4; ++s)
    if (playing(s)) seating_.sendSeating(s, hand_.dealer);
  for (int s = 0; s < 4; ++s)
    if (playing(s)) announceStart(s);
  if (host_.tapping())
    for (int s = 0; s < 4; ++s)
      if (!seating_[s].human) seating_.sendSeating(s, hand_.dealer);
  for (const auto& w : seating_.watchers()) seating_.sendSeatingToWatcher(w.conn);
  phase_ = Phase::AfterHand;
  firstHand_ = true;
  deadline_ = config_.waitForStart ? -1 : now() + config_.readyTimeoutMs;
  checkAllReady();
}

// A system line for a client waiting for a game's first hand: when it starts.
void Table::announceStart(int seat) {
  if (config_.waitForStart) return seating_.toSeat(seat, wire::waitForStartNotice());
  if (config_.startPauseMs < 1000) return;  // it starts at once: nothing to wait for
  seating_.toSeat(seat, wire::startNotice((config_.startPauseMs + 999) / 1000));
}

void Table::checkAllReady() {
  if (!seating_.readyOrAway())
    startAt_ = -1;
  else
    startAt_ = now() + (firstHand_ ? config_.startPauseMs : config_.nextHandPauseMs);
  schedule();
}

void Table::startHand() {
  firstHand_ = false;
  hand_.shuffle(rng_);
  hand_.begin();
  for (auto& s : seating_.seats()) {
    s.answeredFor = false;
    s.ready = false;
  }
  ++handsThisGame_;
  seating_.toAll(wire::newHand(hand_));
  dealHand();
  seating_.toAll(wire::wildTile(hand_));
  // The 叫头 call: the dealer is asked.
  seating_.toAll(wire::jiaoTouAsk(hand_.dealer));
  phase_ = Phase::Call;
  hand_.turn = hand_.dealer;
  deadline_ = now() + 6000 + config_.turnGraceMs;
  robotAt_ = now() + config_.robotDelayMs;
  schedule();
}

// Twelve tiles each, then the thirteenth for everyone and the fourteenth for the dealer.
void Table::dealHand() {
  const auto dealt = hand_.dealTwelve();
  for (int seat = 0; seat < 4; ++seat)
    if (seating_.wantsFrames(seat))
      seating_.toSeat(seat, wire::deal(seat, dealt[seat], hand_.wildFace));
  for (const auto& w : seating_.watchers())
    seating_.toConn(w.conn, wire::dealHidden(seating_.dealSeatOf(w)));
  for (int k = 0; k < 5; ++k) drawDealt((hand_.dealer + k) % 4);
}

// The seat gets the tile `t` just taken from the wall, and everyone hears of it.
void Table::drawDealt(int seat) {
  const Tile t = hand_.takeFront();
  hand_.give(seat, t);
  if (seating_.wantsFrames(seat)) seating_.toSeat(seat, wire::draw(seat, t, hand_.wildFace));
  seating_.toAllBut(seat, wire::drawHidden(seat));
}

// Each flower goes aside and a tile from the back takes its place; false when
// the wall ran out (the hand is then over).
bool Table::replaceFlowers(int seat) {
  while (!hand_.seats[seat].pendingFlowers.empty()) {
    const FlowerSwap swap = hand_.replaceFlower(seat);
    if (swap.replacement == kNoTile) {
      endHand(-1, false, -1);
      return false;
    }
    if (seating_.wantsFrames(seat)) seating_.toSeat(seat, wire::flower(seat, swap, hand_.wildFace));
    seating_.toAllBut(seat, wire::flowerHidden(seat, swap.flower));
  }
  return true;
}

void Table::answerCall(int tou, int mo) {
  hand_.call(tou, mo);
  seating_.toAll(wire::jiaoTou(hand_));
  for (int k = 0; k < 4; ++k)
    if (!replaceFlowers((hand_.dealer + k) % 4)) return;
  beginTurn(hand_.dealer, true);
}

void Table::beginTurn(int seat, bool afterDraw) {
  phase_ = Phase::Turn;
  const int offer = hand_.beginTurn(seat, afterDraw);
  if (seating_.wantsFrames(seat)) seating_.toSeat(seat, wire::offer(seat, offer));
  armTurnTimers();
}

// Human seats get the turn time and the grace; robots think for a moment.
void Table::armTurnTimers() {
  deadline_ = now() + config_.turnTimeSec * 1000 + config_.turnGraceMs;
  robotAt_ = now() + config_.robotDelayMs;
  schedule();
}

bool Table::discard(int seat, int face, bool byRobot) {
  const DiscardEvent ev = hand_.discard(seat, face, byRobot);
  if (!ev.done) return false;
  seating_.toAll(wire::discard(seat, face, ev.followsDealer, hand_.wildFace));
  openClaims();
  return true;
}

// Who may claim the discard, and how.
void Table::openClaims() {
  if (!hand_.openClaims()) return drawFor((hand_.discarder + 1) % 4);
  sendOffers();
  phase_ = Phase::Claims;
  armTurnTimers();
}

// The claim offers, in seat order after the discarder.
void Table::sendOffers() {
  for (int k = 1; k <= 3; ++k) {
    const int seat = (hand_.discarder + k) % 4;
    const int offer = hand_.seats[seat].offer;
    if (offer != 0 && seating_.wantsFrames(seat)) seating_.toSeat(seat, wire::offer(seat, offer));
  }
}

void Table::resolveClaims() {
  const int discarder = hand_.discarder, face = hand_.discardFace;
  const ClaimChoice c = hand_.closeClaims();
  if (c.onKong) {
    if (c.seat >= 0) {
      hand_.robKong(c.seat);
      return win(c.seat, false);
    }
    hand_.addToKong(discarder, face);
    return completeKong(discarder, proto::kClaimAddedKong, face);
  }
  if (c.seat < 0) return drawFor((discarder + 1) % 4);
  if (c.kind == proto::kClaimHu) {
    hand_.winOnDiscard(c.seat);
    return win(c.seat, false);
  }
  claimMeld(c.seat, c.kind, hand_.seats[c.seat].chiLow);
}

void Table::drawFor(int seat) {
  giveDrawn(seat, hand_.drawFront());
}

void Table::giveDrawn(int seat, Tile t) {
  if (t == kNoTile) return endHand(-1, false, -1);
  hand_.give(seat, t);
  if (seating_.wantsFrames(seat)) seating_.toSeat(seat, wire::draw(seat, t, hand_.wildFace));
  seating_.toAllBut(seat, wire::drawHidden(seat));
  if (!replaceFlowers(seat)) return;
  beginTurn(seat, true);
}

void Table::claimMeld(int seat, int kind, int low) {
  const Meld m = hand_.claimMeld(seat, kind, low);
  seating_.toAll(wire::meld(seat, kind, m));
  if (kind == proto::kClaimExposedKong) return drawReplacement(seat);
  beginTurn(seat, false);
}

bool Table::selfKong(int seat, int kind, int face) {
  if (!hand_.canKong(seat)) return false;
  if (kind == proto::kClaimConcealedKong) {
    if (!hand_.concealedKong(seat, face)) return false;
    completeKong(seat, kind, face);
    return true;
  }
  if (hand_.pengOf(seat, face) < 0) return setAside(seat, face);
  if (hand_.seats[seat].hand.c[face] == 0) return false;
  // The others may rob the kong: win on the tile being added.
  if (hand_.offerRobbing(seat, face)) {
    sendOffers();
    phase_ = Phase::Claims;
    armTurnTimers();
    return true;
  }
  hand_.addToKong(seat, face);
  completeKong(seat, kind, face);
  return true;
}

// A 中 (that is not wild) or a wild tile leaves the hand for the side of the
// table, and a tile from the back of the wall takes its place.
bool Table::setAside(int seat, int face) {
  const int aside = hand_.setAside(seat, face);
  if (aside < 0) return false;
  seating_.toAll(wire::kong(seat, proto::kClaimAddedKong, aside));
  drawReplacement(seat);
  return true;
}

// The kong is laid and the seat draws its replacement from the back.
void Table::completeKong(int seat, int kind, int face) {
  seating_.toAll(wire::kong(seat, kind, face));
  drawReplacement(seat);
}

void Table::drawReplacement(int seat) {
  giveDrawn(seat, hand_.drawBack());
}

void Table::win(int seat, bool selfDrawn) {
  const int winFace = hand_.winFace(seat, selfDrawn);
  seating_.toAll(wire::win(seat, winFace, hand_.wildFace));
  endHand(seat, selfDrawn, winFace);
}

void Table::shutdown(const std::string& noticeGbk) {
  const Frame f = wire::gameOver(noticeGbk);
  for (int s = 0; s < 4; ++s)
    if (seating_[s].human && !seating_[s].away) seating_.toSeat(s, f);
  seating_.toWatchers(f);
  phase_ = Phase::Idle;
  due_ = -1;
}

}  // namespace tavren::server
