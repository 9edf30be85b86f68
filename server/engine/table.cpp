#include "engine/table.h"

#include <algorithm>
#include <cstdio>

#include "engine/gbk.h"
#include "engine/robot.h"
#include "rules/win.h"

namespace tavren::server {

namespace {

// Ordinary draws stop when this many tiles are left: they serve flower and kong
// replacements to the end.
constexpr int kReserve = 16;
constexpr std::size_t kPendingLimit = 512;
constexpr int kWireWild = proto::kWireWildTile;
// In revealed hands a wild tile is the client's own wild code.
constexpr int kRevealWild = proto::kLocalWildTile;

std::uint16_t nonZeroToken(Rng& rng) {
  std::uint16_t t = 0;
  while (t == 0) t = static_cast<std::uint16_t>(rng.next());
  return t;
}

std::uint32_t fnv1a(const std::string& s) {
  std::uint32_t h = 2166136261u;
  for (unsigned char c : s) h = (h ^ c) * 16777619u;
  return h;
}

const char* levelOf(std::int64_t gold) {
  return gold < 5000 ? "新手" : gold < 20000 ? "熟手" : "高手";
}

}  // namespace

Table::Table(Server& server, int index, std::uint64_t seed)
    : server_(server), index_(index), rng_{seed} {
  for (int s = 0; s < 4; ++s) makeRobot(s);
  dealer_ = 0;
}

// ---------------------------------------------------------------- seating

int Table::freeSeat(int wanted) const {
  if (wanted >= 0) return wanted < 4 && !seats_[wanted].human ? wanted : -1;
  for (int s = 0; s < 4; ++s)
    if (!seats_[s].human) return s;
  return -1;
}

bool Table::accountSeated(const std::string& account) const {
  for (const auto& s : seats_)
    if (s.human && s.account == account) return true;
  return false;
}

void Table::makeRobot(int seat) {
  Seat& s = seats_[seat];
  s.human = false;
  s.away = false;
  s.waiting = false;
  s.conn = 0;
  s.pending.clear();
  static const char* const kNames[4] = {"东风机器人", "南风机器人", "西风机器人", "北风机器人"};
  s.account = "robot" + std::to_string(index_ * 4 + seat + 1);
  s.nickGbk = toGbk(kNames[seat]);
  s.titleGbk = toGbk("机器人");
  s.gold = server_.config_.startGold;
  s.levelGbk = toGbk(levelOf(s.gold));
  s.userId = 900000u + static_cast<std::uint64_t>(index_) * 4u + static_cast<std::uint64_t>(seat);
  s.face = 1 + seat;
  s.sex = seat % 2;
  s.wins = s.losses = 0;
  s.token = newToken();
  s.secret.clear();
  s.wrongResumes = 0;
  s.ready = true;
}

std::uint16_t Table::newToken() {
  // The seeded generator still moves on as before, so a seed deals the same walls;
  // the token itself must not be guessable from it.
  (void)nonZeroToken(rng_);
  return server_.randomToken();
}

bool Table::anyoneHere() const {
  if (!watchers_.empty()) return true;
  for (const auto& s : seats_)
    if (s.human) return true;
  return false;
}

bool Table::handRunning() const {
  return phase_ == Phase::Call || phase_ == Phase::Turn || phase_ == Phase::Claims;
}

void Table::seatHuman(int seat, ConnId conn, const std::string& account,
                      const std::string& secret) {
  Seat& s = seats_[seat];
  s.human = true;
  s.away = false;
  s.conn = conn;
  s.account = account;
  s.nickGbk = account;  // account names are single-byte text
  s.titleGbk = toGbk("玩家");
  s.gold = server_.config_.startGold;
  s.levelGbk = toGbk(levelOf(s.gold));
  s.userId = fnv1a(account);
  s.face = 1 + static_cast<int>(s.userId % 9);
  s.sex = static_cast<int>(s.userId >> 8) % 2;
  s.wins = s.losses = 0;
  s.token = newToken();
  s.secret = secret;
  s.wrongResumes = 0;
  s.ready = false;
  s.pending.clear();
  server_.acceptLogin(conn, s.token);
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
  sendSeating(seat);
  for (int o = 0; o < 4; ++o)
    if (o != seat) toSeat(o, recordFrame(seat, seatBit(seat)));
  toWatchers(recordFrame(seat, seatBit(seat)));
  if (phase_ == Phase::AfterHand) {
    // Before a game's first hand a client's seating is its readiness, as for
    // the clients seated when the game was set; later the newcomer is not
    // ready until it says so.
    if (firstHand_) {
      s.ready = true;
      announceStart(seat);
    }
    checkAllReady();
  } else {
    schedule();
  }
}

void Table::addWatcher(ConnId conn, int watchSeat) {
  watchers_.push_back(Watcher{conn, watchSeat, newToken()});
  server_.acceptLogin(conn, watchers_.back().token);
  if (!gameStarted_) {
    startGame();  // sends the records to every watcher, this one included
    return;
  }
  sendSeatingToWatcher(conn);
  if (handRunning()) sendSnapshot(conn);
}

std::uint16_t Table::watcherToken(ConnId conn) const {
  for (const auto& w : watchers_)
    if (w.conn == conn) return w.token;
  return 0;
}

int Table::seatOf(ConnId conn) const {
  for (int s = 0; s < 4; ++s)
    if (seats_[s].human && seats_[s].conn == conn) return s;
  return -1;
}

bool Table::isWatcher(ConnId conn) const {
  return std::any_of(watchers_.begin(), watchers_.end(),
                     [&](const Watcher& w) { return w.conn == conn; });
}

namespace {

// Compares every byte whatever the first difference, so the time taken tells
// nothing about how much of a guess was right.
bool sameSecret(const std::string& a, const std::string& b) {
  unsigned diff = a.size() == b.size() ? 0u : 1u;
  for (std::size_t i = 0; i < a.size(); ++i)
    diff |= static_cast<unsigned char>(a[i]) ^
            static_cast<unsigned char>(i < b.size() ? b[i] : static_cast<char>(~a[i]));
  return diff == 0;
}

}  // namespace

Table::Resume Table::resume(int seat, ConnId conn, const std::string& account, std::uint16_t token,
                            const std::string& secret) {
  if (seat < 0 || seat > 3) return Resume::NotHere;
  Seat& s = seats_[seat];
  if (!s.human || s.account != account) return Resume::NotHere;
  if (s.wrongResumes >= Server::kResumeTries) return Resume::TooManyTries;
  const bool tokenOk = s.token == token;
  if (!sameSecret(s.secret, secret) || !tokenOk) {
    ++s.wrongResumes;
    return Resume::WrongProof;
  }
  if (!s.away && s.conn != conn) {
    // Still open: the client may have lost it without the server noticing, but a
    // connection that keeps answering is never handed over.
    if (server_.answering(s.conn)) return Resume::Live;
    server_.closeConn(s.conn);  // silent: the old stream is stale
  }
  s.conn = conn;
  s.away = false;
  Frame ok(proto::kInsResumed, seatBit(seat));
  ok.operand(3, 1);
  ok.token(s.token);
  server_.sendTo(conn, ok.b.data());
  for (const Frame& f : s.pending) server_.sendTo(conn, f.b.data());
  s.pending.clear();
  schedule();
  return Resume::Done;
}

void Table::connectionLost(ConnId conn) {
  watchers_.erase(std::remove_if(watchers_.begin(), watchers_.end(),
                                 [&](const Watcher& w) { return w.conn == conn; }),
                  watchers_.end());
  const int seat = seatOf(conn);
  if (seat >= 0) {
    if (handRunning() && !seats_[seat].waiting) {
      seats_[seat].away = true;  // kept for a resume until the hand ends
    } else {
      freeSeatOf(seat, true);
    }
  }
  if (!anyoneHere() && !server_.config_.busyTables && !handRunning()) {
    phase_ = Phase::Idle;
    gameStarted_ = false;
  }
  schedule();
}

void Table::releaseAwaySeat(const std::string& account, const std::string& secret) {
  for (int seat = 0; seat < 4; ++seat)
    if (seats_[seat].human && seats_[seat].away && seats_[seat].account == account &&
        sameSecret(seats_[seat].secret, secret))
      makeRobot(seat);
}

void Table::freeSeatOf(int seat, bool announce) {
  const std::string name = seats_[seat].account;
  makeRobot(seat);
  if (!announce) return;
  Frame gone(proto::kInsPlayerGone, seatBit(seat));
  gone.text(proto::kPayloadOffset, proto::kNameBytes, name);
  toAllBut(seat, gone);
  if (gameStarted_ && !handRunning()) {
    // The robot that takes the seat shows up at once.
    for (int o = 0; o < 4; ++o)
      if (o != seat) toSeat(o, recordFrame(seat, seatBit(seat)));
    toWatchers(recordFrame(seat, seatBit(seat)));
    if (phase_ == Phase::AfterHand) {
      Frame ready(proto::kInsReady, seatBit(seat));
      ready.operand(3, 1).text(proto::kPayloadOffset, proto::kNameBytes, seats_[seat].account);
      toAllBut(seat, ready);
    }
  }
}

// ---------------------------------------------------------------- sending

bool Table::wantsFrames(int seat) const {
  return seats_[seat].human || static_cast<bool>(server_.tap_);
}

void Table::toSeat(int seat, Frame f) {
  Seat& s = seats_[seat];
  f.token(s.token);
  if (server_.tap_)
    server_.tap_(index_, seat, std::span<const std::uint8_t>(f.b.data(), f.b.size()));
  if (!s.human || s.waiting) return;
  if (s.away) {
    if (s.pending.size() < kPendingLimit) s.pending.push_back(f);
    return;
  }
  server_.sendTo(s.conn, f.b.data());
}

void Table::toWatchers(Frame f) {
  for (const auto& w : watchers_) {
    f.token(w.token);
    server_.sendTo(w.conn, f.b.data());
  }
}

void Table::toAll(const Frame& f) {
  for (int s = 0; s < 4; ++s)
    if (wantsFrames(s)) toSeat(s, f);
  if (!watchers_.empty()) toWatchers(f);
}

void Table::toAllBut(int seat, const Frame& f) {
  for (int s = 0; s < 4; ++s)
    if (s != seat && wantsFrames(s)) toSeat(s, f);
  if (!watchers_.empty()) toWatchers(f);
}

Frame Table::nameFrame(int seat) const {
  Frame f(proto::kInsPlayerName, seatBit(seat));
  f.text(proto::kPayloadOffset, proto::kNameBytes, seats_[seat].account);
  return f;
}

Frame Table::recordFrame(int seat, int seatByte) const {
  const Seat& s = seats_[seat];
  Frame f(proto::kInsPlayerRecord, seatByte);
  const std::uint64_t money = s.gold > 0 ? static_cast<std::uint64_t>(s.gold) : 0;
  char face[4];
  std::snprintf(face, sizeof face, "%c%d", s.sex ? 'w' : 'm', s.face);
  f.text(16, 32, s.nickGbk)
      .text(48, 16, face)
      .byteAt(64, s.sex)
      .u64(80, money)
      .u64(96, money)
      .text(112, 16, s.levelGbk)
      .u32(152, static_cast<std::uint32_t>(s.wins + s.losses))
      .u32(160, static_cast<std::uint32_t>(s.wins))
      .u32(164, static_cast<std::uint32_t>(s.losses))
      .text(168, 16, s.account)
      .text(184, 24, s.titleGbk)
      .byteAt(208, s.ready ? 1 : 0)
      .text(210, 8, "27")
      .text(218, 8, s.sex ? "20" : "10")
      .u64(226, s.userId);
  return f;
}

// A seated client gets the four names, the four records (its own with seat byte
// 15) and the dealer announcement.
void Table::sendSeating(int to) {
  for (int s = 0; s < 4; ++s) toSeat(to, nameFrame(s));
  for (int s = 0; s < 4; ++s) toSeat(to, recordFrame(s, s == to ? 15 : seatBit(s)));
  Frame dealer(proto::kInsMembership, seatBit(dealer_));
  dealer.operand(3, proto::kMembershipDealer);
  toSeat(to, dealer);
  for (int s = 0; s < 4; ++s) {
    if (s == to || !seats_[s].ready) continue;
    Frame ready(proto::kInsReady, seatBit(s));
    ready.operand(3, 1).text(proto::kPayloadOffset, proto::kNameBytes, seats_[s].account);
    toSeat(to, ready);
  }
}

// A watcher keeps the first four records whole, with the real seat bits.
void Table::sendSeatingToWatcher(ConnId conn) {
  const std::uint16_t token = watcherToken(conn);
  for (int s = 0; s < 4; ++s) {
    Frame f = recordFrame(s, seatBit(s));
    f.token(token);
    server_.sendTo(conn, f.b.data());
  }
}

// A hand under way, for a client that saw none of it: dealer, dice and wild tile,
// then one record per seat with its melds and its concealed tiles.
void Table::sendSnapshot(ConnId conn) {
  const std::uint16_t token = watcherToken(conn);
  Frame head(proto::kInsTableJoined, seatBit(dealer_));
  head.operand(0, dice_[0])
      .operand(1, dice_[1])
      .operand(2, wireCode(wildFace_))
      .operand(3, wireCode(shownFace_));
  head.token(token);
  server_.sendTo(conn, head.b.data());
  for (int seat = 0; seat < 4; ++seat) {
    const Seat& s = seats_[seat];
    Frame f(proto::kInsSnapshot, seatBit(seat));
    f.byteAt(proto::kByte7Offset, std::min(s.river, 255));
    f.operand(1, front_).operand(3, kWallSize - 1 - backTaken_);
    std::size_t at = proto::kPayloadOffset;
    auto pair = [&](int kind, int code) {
      if (at + 1 >= 64) return;
      f.byteAt(at, kind).byteAt(at + 1, code);
      at += 2;
    };
    // Set-aside tiles are exposed tiles the client tells apart by their face.
    for (int k = 0; k < s.redAside; ++k) pair(0x20, wireCode(kRed));
    for (int k = 0; k < s.wildAside; ++k) pair(0x20, wireCode(wildFace_));
    for (int m = 0; m < s.meldCount; ++m) {
      const Meld& md = s.melds[m];
      if (md.kind == MeldKind::Chi) {
        for (int k = 0; k < 3; ++k) pair(0x20, wireCode(md.face + k));
      } else {
        for (int k = 0; k < (md.isKong() ? 4 : 3); ++k) pair(0x20, wireCode(md.face));
      }
    }
    for (int face = 0; face < kFaces; ++face)
      for (int k = 0; k < s.hand.c[face]; ++k) pair(0x10, wireCode(face));
    for (int k = 0; k < s.hand.wilds; ++k) pair(0x10, kRevealWild);
    // Flowers drawn but not yet replaced are still standing in the row; their
    // replacements (instruction 10) take their places.
    for (const Tile fl : s.pendingFlowers) pair(0x10, flowerNumber(fl));
    f.token(token);
    server_.sendTo(conn, f.b.data());
  }
}

TableView Table::view() const {
  TableView v;
  v.handRunning = handRunning();
  v.front = front_;
  v.backTaken = backTaken_;
  for (int seat = 0; seat < 4; ++seat) {
    const Seat& s = seats_[seat];
    SeatView& out = v.seats[seat];
    for (int face = 0; face < kFaces; ++face)
      for (int k = 0; k < s.hand.c[face]; ++k) out.hand.push_back(wireCode(face));
    for (int k = 0; k < s.hand.wilds; ++k) out.hand.push_back(kRevealWild);
    for (const Tile fl : s.pendingFlowers) out.hand.push_back(flowerNumber(fl));
    out.meldTiles = 3 * s.meldCount;
    out.redAside = s.redAside;
    out.wildAside = s.wildAside;
  }
  return v;
}

int Table::encode(int face) const {
  return face < 0 || face == wildFace_ ? kWireWild : wireCode(face);
}

static int wireOfTile(Tile t, int wildFace) {
  if (isFlower(t)) return flowerNumber(t);
  return t == wildFace ? kWireWild : wireCode(t);
}

int Table::parseTile(int operand) const {
  const int code = operand & 0xFF;
  if (code == 5 || code == kWireWild) return -1;
  const int face = faceOfCode(code);
  if (face < 0) return -2;
  return face == wildFace_ ? -1 : face;
}

std::string Table::seatName(int seat) const {
  return "table " + std::to_string(index_) + " seat " + std::to_string(seat);
}

void Table::refuse(ConnId conn, const std::string& why) {
  server_.log("refused from connection " + std::to_string(conn) + " at table " +
              std::to_string(index_) + ": " + why);
}

void Table::refuseOrLate(ConnId conn, int seat, const std::string& why) {
  if (seat < 0 || seat > 3 || !seats_[seat].answeredFor) return refuse(conn, why);
  server_.log("late answer from connection " + std::to_string(conn) + " at table " +
              std::to_string(index_) + " ignored (its robot answered first): " + why);
}

// ---------------------------------------------------------------- the game

void Table::startGame() {
  gameStarted_ = true;
  handsThisGame_ = 0;
  dealer_ = 0;
  dealerStreak_ = 1;
  dealerPasses_ = 0;
  roundWind_ = 0;
  // The first hand waits for no 开始 button: a client seated now is ready, and
  // is told when the hand starts. Later hands wait for each client's ready.
  for (auto& s : seats_) s.ready = !s.human || !s.waiting;
  for (int s = 0; s < 4; ++s)
    if (seats_[s].human && !seats_[s].waiting) sendSeating(s);
  for (int s = 0; s < 4; ++s)
    if (seats_[s].human && !seats_[s].waiting) announceStart(s);
  if (server_.tap_)
    for (int s = 0; s < 4; ++s)
      if (!seats_[s].human) sendSeating(s);
  for (const auto& w : watchers_) sendSeatingToWatcher(w.conn);
  phase_ = Phase::AfterHand;
  firstHand_ = true;
  deadline_ = server_.now_ + server_.config_.readyTimeoutMs;
  checkAllReady();
}

// A system line for a client waiting for a game's first hand: when it starts.
void Table::announceStart(int seat) {
  const int seconds = (server_.config_.startPauseMs + 999) / 1000;
  Frame f(proto::kInsChat, 0);
  f.text(proto::kPayloadOffset, proto::kChatTextBytes,
         toGbk("系统提示: 牌局将在" + std::to_string(seconds) + "秒后开始，请稍候"));
  toSeat(seat, f);
}

void Table::checkAllReady() {
  for (const auto& s : seats_)
    if (!s.ready && !(s.human && s.away)) {
      startAt_ = -1;
      schedule();
      return;
    }
  startAt_ =
      server_.now_ + (firstHand_ ? server_.config_.startPauseMs : server_.config_.nextHandPauseMs);
  schedule();
}

void Table::startHand() {
  firstHand_ = false;
  // Every tile: four of each face and the eight flowers, shuffled.
  int n = 0;
  for (int f = 0; f < kFaces; ++f)
    for (int k = 0; k < 4; ++k) wall_[n++] = static_cast<Tile>(f);
  for (int k = 0; k < kFlowers; ++k) wall_[n++] = static_cast<Tile>(kFirstFlowerTile + k);
  for (int i = kWallSize - 1; i > 0; --i) std::swap(wall_[i], wall_[rng_.below(i + 1)]);
  front_ = 0;
  back_ = kWallSize;
  backTaken_ = 0;
  // The tile turned up lies on the back of the wall; the next face is wild.
  {
    int at = kWallSize - 1;
    while (isFlower(wall_[at])) --at;
    std::swap(wall_[at], wall_[kWallSize - 1]);
    shownFace_ = wall_[kWallSize - 1];
    back_ = kWallSize - 1;
    wildFace_ = wildFaceAfter(shownFace_);
  }
  for (int& d : dice_) d = 1 + rng_.below(6);
  tou_ = 1;
  mo_ = 0;
  discarder_ = -1;
  discardFace_ = -1;
  dealerFirstDiscard_ = -1;
  turnsTaken_ = 0;
  claimMade_ = false;
  robbing_ = robbedWin_ = false;
  for (auto& s : seats_) {
    s.hand = Counts{};
    s.meldCount = 0;
    s.exposedCount = 0;
    s.thirdMeldFrom = -1;
    s.flowers = 0;
    s.redAside = s.wildAside = 0;
    s.answeredFor = false;
    s.pendingFlowers.clear();
    s.river = 0;
    s.discards = 0;
    s.lastDrawn = -2;
    s.chiPending = false;
    s.locked = false;
    s.offer = 0;
    s.answer = 0;
    s.ready = false;
  }
  ++handsThisGame_;
  {
    Frame f(proto::kInsNewHand, seatBit(dealer_));
    for (int i = 0; i < 4; ++i) f.operand(i, dice_[i]);
    f.byteAt(proto::kPayloadOffset, roundWind_ + 1);
    toAll(f);
  }
  // Twelve tiles each, four at a time from the dealer on.
  Tile dealt[4][12];
  for (int round = 0; round < 3; ++round)
    for (int k = 0; k < 4; ++k) {
      const int seat = (dealer_ + k) % 4;
      for (int j = 0; j < 4; ++j) {
        const Tile t = wall_[front_++];
        dealt[seat][round * 4 + j] = t;
        giveTile(seat, t, false, false);
      }
    }
  for (int seat = 0; seat < 4; ++seat) {
    if (!wantsFrames(seat)) continue;
    Frame f(proto::kInsDeal, seatBit(seat));
    for (int i = 0; i < 12; ++i)
      f.byteAt(proto::kPayloadOffset + i, wireOfTile(dealt[seat][i], wildFace_));
    toSeat(seat, f);
  }
  for (const auto& w : watchers_) {
    Frame f(proto::kInsDeal, seatBit(w.watchSeat));
    f.token(w.token);
    server_.sendTo(w.conn, f.b.data());
  }
  // The thirteenth tile for everyone, the fourteenth for the dealer.
  for (int k = 0; k < 5; ++k) dealDraw((dealer_ + k) % 4);
  {
    Frame f(proto::kInsWildTile, 0);
    f.operand(2, wireCode(wildFace_)).operand(3, wireCode(shownFace_));
    toAll(f);
  }
  // The 叫头 call: the dealer is asked.
  {
    Frame f(proto::kInsJiaoTou, seatBit(dealer_));
    toAll(f);
  }
  phase_ = Phase::Call;
  turn_ = dealer_;
  deadline_ = server_.now_ + 6000 + server_.config_.turnGraceMs;
  robotAt_ = server_.now_ + server_.config_.robotDelayMs;
  schedule();
}

void Table::dealDraw(int seat) {
  const Tile t = wall_[front_++];
  giveTile(seat, t, false, true);
}

Tile Table::drawFront() {
  if (back_ - front_ <= kReserve) return kNoTile;
  return wall_[front_++];
}

Tile Table::drawBack() {
  if (back_ - front_ <= 0) return kNoTile;
  ++backTaken_;
  return wall_[--back_];
}

void Table::giveTile(int seat, Tile t, bool fromBack, bool announce) {
  (void)fromBack;
  Seat& s = seats_[seat];
  if (isFlower(t)) {
    s.pendingFlowers.push_back(t);
    s.lastDrawn = -2;
  } else if (t == wildFace_) {
    ++s.hand.wilds;
    s.lastDrawn = -1;
  } else {
    ++s.hand.c[t];
    s.lastDrawn = t;
  }
  if (!announce) return;
  Frame mine(proto::kInsDraw, seatBit(seat));
  mine.operand(0, wireOfTile(t, wildFace_));
  if (wantsFrames(seat)) toSeat(seat, mine);
  toAllBut(seat, Frame(proto::kInsDraw, seatBit(seat)));
}

// Each flower goes aside and a tile from the back takes its place; false when
// the wall ran out (the hand is then over).
bool Table::replaceFlowers(int seat) {
  Seat& s = seats_[seat];
  while (!s.pendingFlowers.empty()) {
    const Tile fl = s.pendingFlowers.front();
    s.pendingFlowers.erase(s.pendingFlowers.begin());
    ++s.flowers;
    const Tile t = drawBack();
    if (t == kNoTile) {
      endHand(-1, false, -1);
      return false;
    }
    Frame mine(proto::kInsFlower, seatBit(seat));
    mine.operand(1, flowerNumber(fl)).operand(3, wireOfTile(t, wildFace_));
    if (wantsFrames(seat)) toSeat(seat, mine);
    Frame others(proto::kInsFlower, seatBit(seat));
    others.operand(1, flowerNumber(fl));
    toAllBut(seat, others);
    giveTile(seat, t, true, false);
  }
  return true;
}

void Table::answerCall(int tou, int mo) {
  tou_ = std::clamp(tou, 1, 5);
  mo_ = std::clamp(mo, 0, 5);
  Frame f(proto::kInsJiaoTou, seatBit(dealer_));
  f.operand(1, tou_).operand(3, mo_);
  toAll(f);
  for (int k = 0; k < 4; ++k)
    if (!replaceFlowers((dealer_ + k) % 4)) return;
  beginTurn(dealer_, true);
}

WinContext Table::winContext(int seat, const Counts& hand, int winFace, bool selfDrawn) const {
  const Seat& s = seats_[seat];
  WinContext ctx;
  ctx.hand = hand;
  ctx.winFace = winFace;
  ctx.selfDrawn = selfDrawn;
  ctx.melds = s.melds;
  ctx.meldCount = s.meldCount;
  ctx.seatWind = (seat - dealer_ + 4) % 4;
  ctx.roundWind = roundWind_;
  ctx.dealerStreak = seat == dealer_ ? dealerStreak_ : 0;
  ctx.tou = tou_;
  ctx.mo = mo_;
  ctx.wildAside = s.wildAside;
  return ctx;
}

bool Table::canWinWith(int seat, const Counts& hand, int winFace, bool selfDrawn,
                       Score* out) const {
  const bool concealed14 = seats_[seat].meldCount == 0;
  if (!isWin(hand, concealed14)) return false;
  Score sc = scoreHand(winContext(seat, hand, winFace, selfDrawn));
  if (out) *out = sc;
  return sc.qualifies();
}

int Table::turnOfferMask(int seat, bool afterDraw) const {
  const Seat& s = seats_[seat];
  int mask = proto::kClaimPass;
  if (!afterDraw) return mask;
  if (canWinWith(seat, s.hand, s.lastDrawn, true, nullptr)) mask |= proto::kClaimHu;
  if (s.locked || back_ - front_ <= 0) return mask;
  for (int f = 0; f < kFaces; ++f)
    if (s.hand.c[f] == 4) mask |= proto::kClaimConcealedKong;
  for (int m = 0; m < s.meldCount; ++m)
    if (s.melds[m].kind == MeldKind::Peng && s.hand.c[s.melds[m].face] > 0)
      mask |= proto::kClaimAddedKong;
  // A 中 or a wild tile may be set aside for a tile from the back (the added-kong bit).
  if (s.hand.c[kRed] > 0 || s.hand.wilds > 0) mask |= proto::kClaimAddedKong;
  return mask;
}

void Table::beginTurn(int seat, bool afterDraw) {
  phase_ = Phase::Turn;
  turn_ = seat;
  afterDraw_ = afterDraw;
  Seat& s = seats_[seat];
  s.offer = turnOfferMask(seat, afterDraw);
  if (wantsFrames(seat)) {
    Frame f(proto::kInsOffer, seatBit(seat));
    f.operand(0, s.offer);
    toSeat(seat, f);
  }
  deadline_ = server_.now_ + server_.config_.turnTimeSec * 1000 + server_.config_.turnGraceMs;
  robotAt_ = server_.now_ + server_.config_.robotDelayMs;
  schedule();
}

bool Table::discard(int seat, int face, bool byRobot) {
  Seat& s = seats_[seat];
  if (face < 0) {
    if (s.hand.wilds == 0) return false;
  } else if (s.hand.c[face] == 0) {
    return false;
  }
  if (s.locked && !byRobot && face != s.lastDrawn) return false;
  if (face < 0)
    --s.hand.wilds;
  else
    --s.hand.c[face];
  ++s.river;
  ++s.discards;
  if (s.chiPending) {
    s.chiPending = false;
    s.locked = true;
  }
  s.lastDrawn = -2;
  s.offer = 0;
  // 跟庄: in the first go-around the others throw what the dealer threw.
  bool follows = false;
  if (!claimMade_ && turnsTaken_ < 4) {
    if (seat == dealer_)
      dealerFirstDiscard_ = face;
    else
      follows = face >= 0 && face == dealerFirstDiscard_;
  }
  ++turnsTaken_;
  Frame f(proto::kInsDiscard, seatBit(seat));
  f.operand(0, follows ? proto::kDiscardFollowsDealer : 0).operand(3, encode(face));
  toAll(f);
  discarder_ = seat;
  discardFace_ = face;
  openClaims();
  return true;
}

// Who may claim the discard, and how.
void Table::openClaims() {
  const int face = discardFace_;
  bool any = false;
  for (int k = 1; k <= 3; ++k) {
    const int seat = (discarder_ + k) % 4;
    Seat& s = seats_[seat];
    s.clearOffer();
    if (face < 0) continue;  // a wild tile is never claimed
    int mask = 0;
    Counts with = s.hand;
    ++with.c[face];
    if (canWinWith(seat, with, face, false, nullptr)) mask |= proto::kClaimHu;
    if (!s.locked) {
      if (s.hand.c[face] >= 2) mask |= proto::kClaimPeng;
      if (s.hand.c[face] >= 3 && back_ - front_ > 0) mask |= proto::kClaimExposedKong;
      if (k == 1 && !isHonour(face)) {
        const int r = rankOf(face);
        for (int low = face - 2; low <= face; ++low) {
          const int lowRank = r - (face - low);
          if (lowRank < 1 || lowRank > 7) continue;
          Counts after = s.hand;
          bool held = true;
          for (int f = low; f < low + 3; ++f) {
            if (f == face) continue;
            if (after.c[f] == 0) held = false;
            if (held) --after.c[f];
          }
          // 吃牌上听: a chi is allowed only when a discard then leaves the hand ready.
          if (held && robot::canStayReady(after)) {
            mask |= proto::kClaimChi;
            break;
          }
        }
      }
    }
    if (mask == 0) continue;
    mask |= proto::kClaimPass;
    s.offer = mask;
    any = true;
    if (wantsFrames(seat)) {
      Frame f(proto::kInsOffer, seatBit(seat));
      f.operand(0, mask);
      toSeat(seat, f);
    }
  }
  if (!any) {
    nextDraw();
    return;
  }
  phase_ = Phase::Claims;
  deadline_ = server_.now_ + server_.config_.turnTimeSec * 1000 + server_.config_.turnGraceMs;
  robotAt_ = server_.now_ + server_.config_.robotDelayMs;
  schedule();
}

void Table::resolveClaims() {
  if (robbing_) {
    robbing_ = false;
    for (auto& s : seats_) s.offer = 0;
    const int konger = discarder_, face = discardFace_;
    for (int k = 1; k <= 3; ++k) {
      const int seat = (konger + k) % 4;
      if (seats_[seat].answer != proto::kClaimHu) continue;
      // The tile goes from the kong to the winner; the seat that added it pays.
      --seats_[konger].hand.c[face];
      ++seats_[seat].hand.c[face];
      robbedWin_ = true;
      win(seat, false);
      return;
    }
    Seat& s = seats_[konger];
    for (int m = 0; m < s.meldCount; ++m)
      if (s.melds[m].kind == MeldKind::Peng && s.melds[m].face == face)
        s.melds[m].kind = MeldKind::AddedKong;
    --s.hand.c[face];
    completeKong(konger, proto::kClaimAddedKong, face);
    return;
  }
  int chosen = -1, kind = 0;
  // Hu first, nearest seat after the discarder; then kong and peng; then chi.
  for (int k = 1; k <= 3 && chosen < 0; ++k) {
    const int seat = (discarder_ + k) % 4;
    if (seats_[seat].answer == proto::kClaimHu) chosen = seat, kind = proto::kClaimHu;
  }
  for (int k = 1; k <= 3 && chosen < 0; ++k) {
    const int seat = (discarder_ + k) % 4;
    const int a = seats_[seat].answer;
    if (a == proto::kClaimExposedKong || a == proto::kClaimPeng) chosen = seat, kind = a;
  }
  if (chosen < 0) {
    const int seat = (discarder_ + 1) % 4;
    if (seats_[seat].answer == proto::kClaimChi) chosen = seat, kind = proto::kClaimChi;
  }
  for (auto& s : seats_) s.offer = 0;
  if (chosen < 0) {
    nextDraw();
    return;
  }
  if (kind == proto::kClaimHu) {
    ++seats_[chosen].hand.c[discardFace_];
    --seats_[discarder_].river;
    win(chosen, false);
    return;
  }
  claimMeld(chosen, kind, seats_[chosen].chiLow);
}

void Table::nextDraw() {
  drawFor((discarder_ + 1) % 4);
}

void Table::drawFor(int seat) {
  const Tile t = drawFront();
  if (t == kNoTile) {
    endHand(-1, false, -1);
    return;
  }
  giveTile(seat, t, false, true);
  if (!replaceFlowers(seat)) return;
  beginTurn(seat, true);
}

void Table::claimMeld(int seat, int kind, int low) {
  Seat& s = seats_[seat];
  const int face = discardFace_;
  --seats_[discarder_].river;
  claimMade_ = true;
  Meld m;
  m.from = static_cast<std::int8_t>(discarder_);
  Frame f(proto::kInsMeld, seatBit(seat));
  f.operand(0, kind);
  if (kind == proto::kClaimChi) {
    for (int x = low; x < low + 3; ++x)
      if (x != face) --s.hand.c[x];
    m.kind = MeldKind::Chi;
    m.face = static_cast<std::uint8_t>(low);
    f.operand(1, wireCode(low)).operand(2, wireCode(low + 1)).operand(3, wireCode(low + 2));
    s.chiPending = true;
  } else {
    const int take = kind == proto::kClaimPeng ? 2 : 3;
    s.hand.c[face] -= take;
    m.kind = kind == proto::kClaimPeng ? MeldKind::Peng : MeldKind::ExposedKong;
    m.face = static_cast<std::uint8_t>(face);
    f.operand(1, wireCode(face)).operand(2, wireCode(face)).operand(3, wireCode(face));
  }
  s.melds[s.meldCount++] = m;
  if (++s.exposedCount == 3) s.thirdMeldFrom = discarder_;
  toAll(f);
  if (kind == proto::kClaimExposedKong) {
    const Tile t = drawBack();
    if (t == kNoTile) {
      endHand(-1, false, -1);
      return;
    }
    giveTile(seat, t, true, true);
    if (!replaceFlowers(seat)) return;
    beginTurn(seat, true);
    return;
  }
  beginTurn(seat, false);
}

bool Table::selfKong(int seat, int kind, int face) {
  Seat& s = seats_[seat];
  if (s.locked || back_ - front_ <= 0) return false;
  if (kind == proto::kClaimConcealedKong) {
    if (face < 0 || s.hand.c[face] != 4 || s.meldCount >= kMaxMelds) return false;
    s.hand.c[face] = 0;
    s.melds[s.meldCount++] = Meld{MeldKind::ConcealedKong, static_cast<std::uint8_t>(face), -1};
    completeKong(seat, kind, face);
    return true;
  }
  Meld* peng = nullptr;
  for (int m = 0; m < s.meldCount && face >= 0; ++m)
    if (s.melds[m].kind == MeldKind::Peng && s.melds[m].face == face) peng = &s.melds[m];
  if (!peng) return setAside(seat, face);
  if (s.hand.c[face] == 0) return false;
  // The others may rob the kong: win on the tile being added.
  if (offerRobbing(seat, face)) return true;
  --s.hand.c[face];
  peng->kind = MeldKind::AddedKong;
  completeKong(seat, kind, face);
  return true;
}

// A 中 (that is not wild) or a wild tile leaves the hand for the side of the
// table, and a tile from the back of the wall takes its place.
bool Table::setAside(int seat, int face) {
  Seat& s = seats_[seat];
  int code;
  if (face == kRed && s.hand.c[kRed] > 0) {
    --s.hand.c[kRed];
    ++s.redAside;
    code = wireCode(kRed);
  } else if (face == -1 && s.hand.wilds > 0) {
    --s.hand.wilds;
    ++s.wildAside;
    code = wireCode(wildFace_);
  } else {
    return false;
  }
  Frame f(proto::kInsMeld, seatBit(seat));
  f.operand(0, proto::kClaimAddedKong).operand(1, code).operand(2, code).operand(3, code);
  toAll(f);
  const Tile t = drawBack();
  if (t == kNoTile) {
    endHand(-1, false, -1);
    return true;
  }
  giveTile(seat, t, true, true);
  if (!replaceFlowers(seat)) return true;
  beginTurn(seat, true);
  return true;
}

// The kong is laid and the seat draws its replacement from the back.
void Table::completeKong(int seat, int kind, int face) {
  Frame f(proto::kInsMeld, seatBit(seat));
  f.operand(0, kind)
      .operand(1, wireCode(face))
      .operand(2, wireCode(face))
      .operand(3, wireCode(face));
  toAll(f);
  const Tile t = drawBack();
  if (t == kNoTile) {
    endHand(-1, false, -1);
    return;
  }
  giveTile(seat, t, true, true);
  if (!replaceFlowers(seat)) return;
  beginTurn(seat, true);
}

// 抢杠胡: every other seat the added tile lets win is offered hu on it, as on a
// discard of that tile by the seat adding the kong. True when someone was.
bool Table::offerRobbing(int seat, int face) {
  bool any = false;
  for (int k = 1; k <= 3; ++k) {
    const int o = (seat + k) % 4;
    Seat& s = seats_[o];
    s.clearOffer();
    Counts with = s.hand;
    ++with.c[face];
    if (!canWinWith(o, with, face, false, nullptr)) continue;
    s.offer = proto::kClaimHu | proto::kClaimPass;
    any = true;
    if (wantsFrames(o)) {
      Frame f(proto::kInsOffer, seatBit(o));
      f.operand(0, s.offer);
      toSeat(o, f);
    }
  }
  if (!any) return false;
  seats_[seat].offer = 0;
  robbing_ = true;
  discarder_ = seat;
  discardFace_ = face;
  phase_ = Phase::Claims;
  deadline_ = server_.now_ + server_.config_.turnTimeSec * 1000 + server_.config_.turnGraceMs;
  robotAt_ = server_.now_ + server_.config_.robotDelayMs;
  schedule();
  return true;
}

void Table::win(int seat, bool selfDrawn) {
  const int winFace = selfDrawn ? seats_[seat].lastDrawn : discardFace_;
  Frame f(proto::kInsMeld, seatBit(seat));
  f.operand(0, proto::kClaimHu).operand(3, encode(winFace));
  toAll(f);
  endHand(seat, selfDrawn, winFace);
}

// ---------------------------------------------------------------- end of a hand

void Table::endHand(int winner, bool selfDrawn, int winFace) {
  phase_ = Phase::AfterHand;
  // Every hand face up, four tiles a frame; with the next tiles of the wall.
  std::uint8_t wallShow[5] = {0, 0, 0, 0, 0};
  {
    int n = 0;
    for (int i = 1; i <= 2 && back_ - i >= front_; ++i)
      wallShow[n++] = static_cast<std::uint8_t>(
          isFlower(wall_[back_ - i]) ? flowerNumber(wall_[back_ - i]) : wireCode(wall_[back_ - i]));
    for (int i = 0; i < 3 && front_ + i < back_ - 2; ++i)
      wallShow[n++] =
          static_cast<std::uint8_t>(isFlower(wall_[front_ + i]) ? flowerNumber(wall_[front_ + i])
                                                                : wireCode(wall_[front_ + i]));
  }
  for (int seat = 0; seat < 4; ++seat) {
    const Seat& s = seats_[seat];
    Counts shown = s.hand;
    int last = -3;
    if (seat == winner) {
      // On a discard the client adds the discard itself; a self-drawn tile, or
      // one robbed from a kong (no discard lies there), comes last.
      if (winFace < 0)
        --shown.wilds;
      else
        --shown.c[winFace];
      if (selfDrawn || robbedWin_) last = winFace;
    }
    int codes[18];
    int n = 0;
    for (int face = 0; face < kFaces; ++face)
      for (int k = 0; k < shown.c[face]; ++k) codes[n++] = wireCode(face);
    for (int k = 0; k < shown.wilds; ++k) codes[n++] = kRevealWild;
    if (last != -3) codes[n++] = last < 0 ? kRevealWild : wireCode(last);
    for (int i = 0; i < n; i += 4) {
      Frame f(proto::kInsReveal, seatBit(seat));
      for (int j = 0; j < 4 && i + j < n; ++j) f.operand(j, codes[i + j]);
      for (int j = 0; j < 5; ++j) f.byteAt(proto::kPayloadOffset + j, wallShow[j]);
      toAll(f);
    }
  }
  // Coins.
  std::int64_t results[4] = {0, 0, 0, 0};
  Score sc;
  int liable = -1;
  if (winner >= 0) {
    sc = scoreHand(winContext(winner, seats_[winner].hand, winFace, selfDrawn));
    const std::int64_t share = static_cast<std::int64_t>(sc.total) * server_.config_.stake;
    const Seat& w = seats_[winner];
    if (w.exposedCount >= 3 && w.thirdMeldFrom >= 0 && w.thirdMeldFrom != winner)
      liable = w.thirdMeldFrom;
    if (selfDrawn) {
      for (int s = 0; s < 4; ++s)
        if (s != winner) results[liable >= 0 ? liable : s] -= share;
    } else {
      results[liable >= 0 ? liable : discarder_] -= share;
    }
    for (int s = 0; s < 4; ++s)
      if (s != winner) results[winner] -= results[s];
  }
  for (int seat = 0; seat < 4; ++seat) {
    Frame f(proto::kInsResult, seatBit(seat));
    const std::int64_t r = results[seat];
    f.operand(1, r >= 0 ? 1 : 0)
        .u64(proto::kPayloadOffset, static_cast<std::uint64_t>(r >= 0 ? r : -r));
    toAll(f);
  }
  for (int seat = 0; seat < 4; ++seat) {
    Seat& s = seats_[seat];
    s.gold += results[seat];
    if (results[seat] > 0) ++s.wins;
    if (results[seat] < 0) ++s.losses;
    s.levelGbk = toGbk(levelOf(s.gold));
  }
  if (winner >= 0) {
    for (int seat = 0; seat < 4; ++seat) {
      Frame f(proto::kInsSettlement, seatBit(seat));
      f.operand(1, server_.config_.stake).operand(3, 1);
      auto row = [&](int r, int v) { f.byteAt(14 + static_cast<std::size_t>(r), v); };
      if (seat == winner) {
        row(3,
            (sc.thirteenOrphans ? 4 : 0) | (sc.luxurySevenPairs ? 2 : 0) | (sc.sevenPairs ? 1 : 0));
        row(4, (sc.pureSuit ? 8 : 0) | (sc.honoursOnly ? 4 : 0) | (sc.catchFive ? 2 : 0) |
                   (sc.dragonRun ? 1 : 0) | (sc.allSets ? 0x80 : 0));
        row(5, sc.mixedSuit ? 0x80 : 0);
        row(7, sc.selfDrawnFan);
        row(8, sc.exposedKongs);
        row(9, sc.concealedKongs);
        row(10, sc.roundWindSets);
        row(11, sc.seatWindSets);
        row(12, sc.concealedFan);
        row(13, sc.concealedSets);
        row(14, std::min(sc.dealer, 15));
        row(15, sc.edgeWait);
        row(16, sc.closedWait);
        row(17, sc.pairWait);
        row(18, sc.eightOfSuit);
        row(19, sc.missingSuits);
        row(21, sc.twinRuns);
        row(22, sc.wilds);
        row(23, sc.oldYoung);
        row(24, sc.fourOfFace);
        row(50, std::min(sc.handTypePoints, 255));
        row(100, sc.smallChains);
        row(101, sc.bigChains);
      }
      if (!selfDrawn && seat == discarder_) row(6, 1);
      if (seat == liable) row(102, 1);
      const std::int64_t r = results[seat];
      f.u64(14 + 25, static_cast<std::uint64_t>(r >= 0 ? r : -r));
      row(33, r < 0 ? 2 : 0);
      f.text(14 + 34, 16, seats_[seat].levelGbk);
      toAll(f);
    }
  }
  ++handsPlayed_;
  if (server_.handSink_) {
    HandRecord rec;
    rec.table = index_;
    rec.handNo = handsPlayed_;
    rec.dealer = dealer_;
    rec.winner = winner;
    rec.discarder = winner >= 0 && !selfDrawn ? discarder_ : -1;
    rec.robbedKong = robbedWin_;
    rec.liable = liable;
    rec.total = winner >= 0 ? sc.total : 0;
    for (int s = 0; s < 4; ++s) rec.results[s] = results[s];
    rec.tou = tou_;
    rec.mo = mo_;
    rec.wallLeft = back_ - front_;
    if (winner >= 0) {
      std::string it;
      auto add = [&](const char* name, int n) {
        if (n <= 0) return;
        it += it.empty() ? "" : " ";
        it += name;
        if (n > 1) it += std::to_string(n);
      };
      add("自摸", sc.selfDrawnFan);
      add("门清", sc.concealedFan);
      add("十三幺", sc.thirteenOrphans);
      add("豪华七对", sc.luxurySevenPairs);
      add("七对", sc.sevenPairs);
      add("清一色", sc.pureSuit);
      add("混一色", sc.mixedSuit);
      add("风一色", sc.honoursOnly);
      add("捉五", sc.catchFive);
      add("一条龙", sc.dragonRun);
      add("碰碰胡", sc.allSets);
      add("明杠", sc.exposedKongs);
      add("暗杠", sc.concealedKongs);
      add("圈风", sc.roundWindSets);
      add("门风", sc.seatWindSets);
      add("暗刻", sc.concealedSets);
      add(sc.dealer >= 2 ? "连庄" : "庄家", sc.dealer);
      add("边张", sc.edgeWait);
      add("坎张", sc.closedWait);
      add("吊张", sc.pairWait);
      add("八张", sc.eightOfSuit);
      add("缺门", sc.missingSuits);
      add("一般高", sc.twinRuns);
      add("财神", sc.wilds);
      add("老少", sc.oldYoung);
      add("四归一", sc.fourOfFace);
      add("小连", sc.smallChains);
      add("大连", sc.bigChains);
      if (liable >= 0) add("包胡", 1);
      rec.items = it;
    }
    server_.handSink_(rec);
  }
  // The deal stays with a winning dealer and after a drawn hand.
  if (winner < 0 || winner == dealer_) {
    ++dealerStreak_;
  } else {
    dealer_ = (dealer_ + 1) % 4;
    dealerStreak_ = 1;
    if (++dealerPasses_ % 4 == 0) roundWind_ = (roundWind_ + 1) % 4;
  }
  // Clients that went away during the hand lose their seats now.
  for (int seat = 0; seat < 4; ++seat)
    if (seats_[seat].human && seats_[seat].away) freeSeatOf(seat, true);
  // Gold shortage: the short clients must leave.
  int shortMask = 0;
  for (int seat = 0; seat < 4; ++seat) {
    Seat& s = seats_[seat];
    if (s.human && !s.waiting && s.gold < server_.config_.minGold) shortMask |= seatBit(seat);
    if (!s.human && s.gold < server_.config_.minGold)
      s.gold = server_.config_.startGold;  // robots never run short
  }
  if (shortMask) {
    Frame f(proto::kInsMembership, 15 & ~shortMask);
    f.operand(3, proto::kMembershipGoldShortage);
    toAll(f);
    for (int seat = 0; seat < 4; ++seat)
      if (shortMask & seatBit(seat)) {
        server_.closeConn(seats_[seat].conn);
        freeSeatOf(seat, false);
      }
  }
  if (server_.config_.handsPerGame > 0 && handsThisGame_ >= server_.config_.handsPerGame) {
    Frame f(proto::kInsGameOver, 0);
    f.text(proto::kPayloadOffset, proto::kNoticeBytes, toGbk("本场游戏结束，欢迎再来！"));
    toAll(f);
    gameStarted_ = false;
    for (auto& s : seats_) s.ready = !s.human;
  }
  // Clients that sat down during the hand join now.
  for (int seat = 0; seat < 4; ++seat) {
    Seat& s = seats_[seat];
    if (!s.human || !s.waiting) continue;
    s.waiting = false;
    if (gameStarted_) {
      sendSeating(seat);
      for (int o = 0; o < 4; ++o)
        if (o != seat) toSeat(o, recordFrame(seat, seatBit(seat)));
      toWatchers(recordFrame(seat, seatBit(seat)));
    }
  }
  // Robots are ready at once.
  for (int seat = 0; seat < 4; ++seat) {
    Seat& s = seats_[seat];
    s.ready = !s.human;
    if (!s.human && gameStarted_) {
      Frame ready(proto::kInsReady, seatBit(seat));
      ready.operand(3, 1).text(proto::kPayloadOffset, proto::kNameBytes, s.account);
      toAllBut(seat, ready);
    }
  }
  if (!anyoneHere() && !server_.config_.busyTables) {
    phase_ = Phase::Idle;
    gameStarted_ = false;
    schedule();
    return;
  }
  if (!gameStarted_) {
    phase_ = Phase::Idle;
    if (server_.config_.busyTables && !anyoneHere()) startGame();
    schedule();
    return;
  }
  deadline_ = server_.now_ + server_.config_.readyTimeoutMs;
  checkAllReady();
}

// ---------------------------------------------------------------- requests

void Table::request(ConnId conn, const Frame& f) {
  const int seat = seatOf(conn);
  const int type = f.requestType();
  if (type == proto::kReqKeepAlive) return;
  if (type == proto::kReqChat) {
    if (seat < 0 && !isWatcher(conn))
      return refuse(conn, "chat from a connection that left the table");
    std::int64_t* last = seat >= 0 ? &seats_[seat].lastChatMs : nullptr;
    for (auto& w : watchers_)
      if (w.conn == conn) last = &w.lastChatMs;
    if (last == nullptr) return;
    if (*last >= 0 && server_.now_ - *last < server_.config_.chatSpacingMs) return;  // a flood
    *last = server_.now_;
    const int kind = f.operand(0) & 0xFF;
    const int target = f.operand(1) & 15;
    Frame out(proto::kInsChat, seat >= 0 ? seatBit(seat) : 0);
    out.operand(0, kind).operand(1, target).operand(3, f.operand(3) & 0xFF);
    out.text(proto::kPayloadOffset, proto::kChatTextBytes,
             f.textAt(proto::kPayloadOffset, proto::kChatTextBytes));
    const int to = seatOfBit(target);
    if (target == 0 || to < 0) {
      toAll(out);
    } else {
      toSeat(to, out);
      if (seat >= 0 && seat != to) toSeat(seat, out);
    }
    return;
  }
  if (seat < 0) {
    if (isWatcher(conn) && type != proto::kReqReady) refuse(conn, "a watcher cannot play");
    return;
  }
  Seat& s = seats_[seat];
  if (s.waiting) {
    if (type == proto::kReqReady && f.operand(3) == 0 && f.operand(0) == 0)
      leave(seat);
    else
      refuse(conn, "the seat plays from the next hand");
    return;
  }
  switch (type) {
    case proto::kReqReady: {
      if (f.operand(0) == 0 && f.operand(1) == 0 && f.operand(2) == 0 && f.operand(3) == 0) {
        leave(seat);
        return;
      }
      if (f.operand(3) != 1) return refuse(conn, "ready with a value other than 1");
      if (!gameStarted_) {
        startGame();  // a table whose game ended starts again
        s.ready = true;
        checkAllReady();
        return;
      }
      if (phase_ != Phase::AfterHand) return refuse(conn, "ready during a hand");
      if (s.ready) return;
      s.ready = true;
      Frame ready(proto::kInsReady, seatBit(seat));
      ready.operand(3, 1).text(proto::kPayloadOffset, proto::kNameBytes, s.account);
      toAll(ready);
      checkAllReady();
      return;
    }
    case proto::kReqJiaoTou:
      if (phase_ != Phase::Call || seat != dealer_)
        return refuseOrLate(conn, seat, "a call nobody asked for");
      answerCall(f.operand(1), f.operand(3));
      return;
    case proto::kReqDiscard: {
      if (phase_ != Phase::Turn || seat != turn_)
        return refuseOrLate(conn, seat, "a discard out of turn");
      if (!(f.operand(3) & proto::kDiscardMarker))
        return refuse(conn, "a discard without its marker");
      const int face = parseTile(f.operand(3));
      if (face == -2) return refuse(conn, "a discard of no known tile");
      if (!discard(seat, face, false))
        return refuse(conn, "a discard of a tile the seat does not hold");
      return;
    }
    case proto::kReqClaim: {
      const int kind = f.operand(0) & 0xFF;
      if (phase_ == Phase::Turn && seat == turn_) {
        if (kind == proto::kClaimPass) return;  // the seat still discards
        if (!(s.offer & kind)) return refuse(conn, "a claim that was not offered");
        if (kind == proto::kClaimHu) return win(seat, true);
        const int face = parseTile(kind == proto::kClaimAddedKong ? f.operand(3) : f.operand(1));
        if (kind == proto::kClaimConcealedKong || kind == proto::kClaimAddedKong) {
          if (!selfKong(seat, kind, face)) refuse(conn, "a kong the hand cannot make");
          return;
        }
        return refuse(conn, "a claim that was not offered");
      }
      if (phase_ != Phase::Claims || s.offer == 0 || s.answer != 0)
        return refuseOrLate(conn, seat, "a claim that was not offered");
      if (kind != proto::kClaimPass && !(s.offer & kind))
        return refuse(conn, "a claim that was not offered");
      if (kind == proto::kClaimChi) {
        const int a = parseTile(f.operand(1)), b = parseTile(f.operand(2));
        if (a < 0 || b < 0) return refuse(conn, "a chi with unknown tiles");
        const int low = std::min({a, b, discardFace_});
        const int high = std::max({a, b, discardFace_});
        const bool run = high - low == 2 && groupOf(low) == groupOf(high) && !isHonour(low) &&
                         a != b && a != discardFace_ && b != discardFace_;
        if (!run || s.hand.c[a] == 0 || s.hand.c[b] == 0)
          return refuse(conn, "a chi the hand cannot make");
        Counts after = s.hand;
        --after.c[a];
        --after.c[b];
        if (!robot::canStayReady(after))
          return refuse(conn, "a chi that leaves the hand not ready");
        s.chiLow = low;
      }
      s.answer = kind;
      maybeResolve();
      return;
    }
    default:
      return;  // logins are handled by the server; unknown types are ignored
  }
}

void Table::maybeResolve() {
  for (const auto& s : seats_)
    if (s.offer != 0 && s.answer == 0) {
      schedule();
      return;
    }
  resolveClaims();
}

void Table::leave(int seat) {
  Seat& s = seats_[seat];
  if (handRunning() && !s.waiting) {
    // Leaving in the middle of a hand ends the game at this table.
    Frame f(proto::kInsMembership, 15 & ~seatBit(seat));
    f.operand(3, proto::kMembershipLeft);
    toAllBut(seat, f);
    makeRobot(seat);
    gameStarted_ = false;
    phase_ = Phase::Idle;
    for (auto& o : seats_) o.ready = !o.human;
    if (server_.config_.busyTables && !anyoneHere()) startGame();
    schedule();
    return;
  }
  freeSeatOf(seat, true);
  if (!anyoneHere() && !server_.config_.busyTables) {
    phase_ = Phase::Idle;
    gameStarted_ = false;
  } else if (phase_ == Phase::AfterHand) {
    checkAllReady();
  }
  schedule();
}

// ---------------------------------------------------------------- time

bool Table::robotControlled(int seat) const {
  return !seats_[seat].human || seats_[seat].waiting;
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
      due_ = robotControlled(turn_) ? robotAt_ : deadline_;
      break;
    case Phase::Claims: {
      std::int64_t d = -1;
      for (int seat = 0; seat < 4; ++seat) {
        const Seat& s = seats_[seat];
        if (s.offer == 0 || s.answer != 0) continue;
        const std::int64_t t = robotControlled(seat) ? robotAt_ : deadline_;
        if (d < 0 || t < d) d = t;
      }
      due_ = d;
      break;
    }
  }
}

void Table::actForSeat(int seat) {
  Seat& s = seats_[seat];
  if (s.offer & proto::kClaimHu) return win(seat, true);
  if (afterDraw_ && !s.locked) {
    for (int f = 0; f < kFaces; ++f)
      if ((s.offer & proto::kClaimConcealedKong) && s.hand.c[f] == 4) {
        selfKong(seat, proto::kClaimConcealedKong, f);
        return;
      }
    if (s.offer & proto::kClaimAddedKong)
      for (int m = 0; m < s.meldCount; ++m)
        if (s.melds[m].kind == MeldKind::Peng && s.hand.c[s.melds[m].face] > 0) {
          selfKong(seat, proto::kClaimAddedKong, s.melds[m].face);
          return;
        }
    // A lone 中 is of no use in the hand: it goes aside for another tile.
    if ((s.offer & proto::kClaimAddedKong) && s.hand.c[kRed] == 1) {
      selfKong(seat, proto::kClaimAddedKong, kRed);
      return;
    }
  }
  int face;
  if (s.locked && s.lastDrawn != -2 &&
      (s.lastDrawn < 0 ? s.hand.wilds > 0 : s.hand.c[s.lastDrawn] > 0))
    face = s.lastDrawn;
  else
    face = robot::chooseDiscard(s.hand, s.chiPending);
  if (!discard(seat, face, true)) {
    // Nothing sensible held (cannot happen with a consistent hand): throw anything.
    for (int f = 0; f < kFaces; ++f)
      if (s.hand.c[f] > 0 && discard(seat, f, true)) return;
    discard(seat, -1, true);
  }
}

void Table::robotAnswer(int seat) {
  Seat& s = seats_[seat];
  const int face = discardFace_;
  int answer = proto::kClaimPass;
  if (s.offer & proto::kClaimHu) {
    answer = proto::kClaimHu;
  } else if ((s.offer & proto::kClaimExposedKong) && robot::wantsExposedKong(s.hand, face)) {
    answer = proto::kClaimExposedKong;
  } else if ((s.offer & proto::kClaimPeng) && robot::wantsPeng(s.hand, face)) {
    answer = proto::kClaimPeng;
  } else if (s.offer & proto::kClaimChi) {
    for (int low = face - 2; low <= face && answer == proto::kClaimPass; ++low) {
      if (low < 0 || isHonour(low) || groupOf(low) != groupOf(face) || rankOf(low) > 7) continue;
      if (groupOf(low + 2) != groupOf(face)) continue;
      Counts after = s.hand;
      bool held = true;
      for (int x = low; x < low + 3; ++x) {
        if (x == face) continue;
        if (after.c[x] == 0) held = false;
        if (held) --after.c[x];
      }
      if (held && robot::canStayReady(after) && robot::wantsChi(s.hand, face, low)) {
        answer = proto::kClaimChi;
        s.chiLow = low;
      }
    }
  }
  s.answer = answer;
}

void Table::onTimer() {
  const std::int64_t now = server_.now_;
  switch (phase_) {
    case Phase::Idle:
      due_ = -1;
      return;
    case Phase::AfterHand:
      if (!gameStarted_) {
        phase_ = Phase::Idle;
        schedule();
        return;
      }
      startHand();
      return;
    case Phase::Call: {
      if (seats_[dealer_].human) seats_[dealer_].answeredFor = true;
      int tou = 1, mo = 0;
      robot::chooseCall(seats_[dealer_].hand, &tou, &mo);
      answerCall(tou, mo);
      return;
    }
    case Phase::Turn:
      if (seats_[turn_].human) seats_[turn_].answeredFor = true;
      actForSeat(turn_);
      return;
    case Phase::Claims:
      for (int seat = 0; seat < 4; ++seat) {
        Seat& s = seats_[seat];
        if (s.offer == 0 || s.answer != 0) continue;
        const std::int64_t t = robotControlled(seat) ? robotAt_ : deadline_;
        if (t > now) continue;
        if (s.human) s.answeredFor = true;
        robotAnswer(seat);
      }
      maybeResolve();
      return;
  }
}

void Table::shutdown(const std::string& noticeGbk) {
  Frame f(proto::kInsGameOver, 0);
  f.text(proto::kPayloadOffset, proto::kNoticeBytes, noticeGbk);
  for (int s = 0; s < 4; ++s)
    if (seats_[s].human && !seats_[s].away) toSeat(s, f);
  toWatchers(f);
  phase_ = Phase::Idle;
  due_ = -1;
}

}  // namespace tavren::server
