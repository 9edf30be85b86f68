#include "engine/seating.h"

#include <algorithm>

#include "engine/gbk.h"
#include "engine/wire.h"

namespace tavren::server {

namespace {

// Frames kept for a seat whose client is away, at most.
constexpr std::size_t kPendingLimit = 512;

std::uint32_t fnv1a(const std::string& s) {
  std::uint32_t h = 2166136261u;
  for (unsigned char c : s) h = (h ^ c) * 16777619u;
  return h;
}

const char* levelOf(std::int64_t gold) {
  return gold < 5000 ? "新手" : gold < 20000 ? "熟手" : "高手";
}

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

Seating::Seating(TableHost& host, const Server::Config& config, int table, Rng& rng)
    : host_(host), config_(config), index_(table), rng_(rng) {}

// ---------------------------------------------------------------- who sits where

int Seating::freeSeat(int wanted) const {
  if (wanted >= 0) return wanted < 4 && !seats_[wanted].human ? wanted : -1;
  for (int s = 0; s < 4; ++s)
    if (!seats_[s].human) return s;
  return -1;
}

bool Seating::accountSeated(const std::string& account) const {
  return std::any_of(seats_.begin(), seats_.end(),
                     [&](const Seat& s) { return s.human && s.account == account; });
}

int Seating::seatOf(ConnId conn) const {
  for (int s = 0; s < 4; ++s)
    if (seats_[s].human && seats_[s].conn == conn) return s;
  return -1;
}

bool Seating::isWatcher(ConnId conn) const {
  return std::any_of(watchers_.begin(), watchers_.end(),
                     [&](const Watcher& w) { return w.conn == conn; });
}

std::uint16_t Seating::watcherToken(ConnId conn) const {
  for (const auto& w : watchers_)
    if (w.conn == conn) return w.token;
  return 0;
}

const std::string& Seating::watcherName(ConnId conn) const {
  static const std::string kNobody;
  for (const auto& w : watchers_)
    if (w.conn == conn) return w.account;
  return kNobody;
}

std::int64_t* Seating::lastChat(ConnId conn) {
  const int seat = seatOf(conn);
  std::int64_t* last = seat >= 0 ? &seats_[seat].lastChatMs : nullptr;
  for (auto& w : watchers_)
    if (w.conn == conn) last = &w.lastChatMs;
  return last;
}

bool Seating::anyoneHere() const {
  return !watchers_.empty() ||
         std::any_of(seats_.begin(), seats_.end(), [](const Seat& s) { return s.human; });
}

bool Seating::robotControlled(int seat) const {
  return !seats_[seat].human || seats_[seat].waiting;
}

bool Seating::readyOrAway() const {
  return std::all_of(seats_.begin(), seats_.end(),
                     [](const Seat& s) { return s.ready || (s.human && s.away); });
}

std::uint16_t Seating::newToken() {
  // The seeded generator still moves on as before, so a seed deals the same walls;
  // the token itself must not be guessable from it.
  while (static_cast<std::uint16_t>(rng_.next()) == 0) {
  }
  return host_.randomToken();
}

void Seating::makeRobot(int seat) {
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
  s.gold = config_.startGold;
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

void Seating::seatHuman(int seat, ConnId conn, const std::string& account,
                        const std::string& secret) {
  Seat& s = seats_[seat];
  s.human = true;
  s.away = false;
  s.conn = conn;
  s.account = account;
  s.nickGbk = account;  // account names are single-byte text
  s.titleGbk = toGbk("玩家");
  s.gold = config_.startGold;
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
  host_.send(conn, wire::loginAccepted(config_, s.token));
}

void Seating::addWatcher(ConnId conn, int watchSeat, const std::string& account,
                         std::uint64_t watchUser) {
  watchers_.push_back(Watcher{conn, watchSeat, newToken(), -1, account, watchUser});
  host_.send(conn, wire::loginAccepted(config_, watchers_.back().token));
}

int Seating::dealSeatOf(const Watcher& w) const {
  if (w.watchUser != 0)
    for (int s = 0; s < 4; ++s)
      if (seats_[s].userId == w.watchUser) return s;
  return w.watchSeat;
}

void Seating::removeWatcher(ConnId conn) {
  watchers_.erase(std::remove_if(watchers_.begin(), watchers_.end(),
                                 [&](const Watcher& w) { return w.conn == conn; }),
                  watchers_.end());
}

Resume Seating::resume(int seat, ConnId conn, const std::string& account, std::uint16_t token,
                       const std::string& secret) {
  if (seat < 0 || seat > 3) return Resume::NotHere;
  Seat& s = seats_[seat];
  if (!s.human || s.account != account) {
    const Left& l = left_[static_cast<std::size_t>(seat)];
    if (l.account.empty() || l.account != account) return Resume::NotHere;
    return l.atHandEnd ? Resume::HandEnded : Resume::BetweenHands;
  }
  if (s.wrongResumes >= Server::kResumeTries) return Resume::TooManyTries;
  const bool tokenOk = s.token == token;
  if (!sameSecret(s.secret, secret) || !tokenOk) {
    ++s.wrongResumes;
    return Resume::WrongProof;
  }
  if (!s.away && s.conn != conn) {
    // Still open: the client may have lost it without the server noticing, but a
    // connection that keeps answering is never handed over.
    if (host_.answering(s.conn)) return Resume::Live;
    host_.close(s.conn);  // silent: the old stream is stale
  }
  s.conn = conn;
  s.away = false;
  host_.send(conn, wire::resumed(seat, s.token));
  for (const Frame& f : s.pending) host_.send(conn, f);
  s.pending.clear();
  return Resume::Done;
}

void Seating::releaseAwaySeat(const std::string& account, const std::string& secret) {
  for (int seat = 0; seat < 4; ++seat)
    if (seats_[seat].human && seats_[seat].away && seats_[seat].account == account &&
        sameSecret(seats_[seat].secret, secret))
      makeRobot(seat);
}

void Seating::noteLeft(int seat, bool atHandEnd) {
  left_[static_cast<std::size_t>(seat)] = Left{seats_[seat].account, atHandEnd};
}

void Seating::applyResults(const std::int64_t (&results)[4]) {
  for (int seat = 0; seat < 4; ++seat) {
    Seat& s = seats_[seat];
    s.gold += results[seat];
    if (results[seat] > 0) ++s.wins;
    if (results[seat] < 0) ++s.losses;
    s.levelGbk = toGbk(levelOf(s.gold));
  }
}

// ---------------------------------------------------------------- frames

bool Seating::wantsFrames(int seat) const {
  return seats_[seat].human || host_.tapping();
}

void Seating::toSeat(int seat, Frame f) {
  Seat& s = seats_[seat];
  f.token(s.token);
  if (host_.tapping()) host_.tap(index_, seat, f);
  if (!s.human || s.waiting) return;
  if (s.away) {
    if (s.pending.size() < kPendingLimit) s.pending.push_back(f);
    return;
  }
  host_.send(s.conn, f);
}

void Seating::toWatchers(Frame f) {
  for (const auto& w : watchers_) {
    f.token(w.token);
    host_.send(w.conn, f);
  }
}

void Seating::toAll(const Frame& f) {
  for (int s = 0; s < 4; ++s)
    if (wantsFrames(s)) toSeat(s, f);
  if (!watchers_.empty()) toWatchers(f);
}

void Seating::toAllBut(int seat, const Frame& f) {
  for (int s = 0; s < 4; ++s)
    if (s != seat && wantsFrames(s)) toSeat(s, f);
  if (!watchers_.empty()) toWatchers(f);
}

void Seating::toConn(ConnId conn, Frame f) {
  f.token(watcherToken(conn));
  host_.send(conn, f);
}

void Seating::sendSeating(int to, int dealer) {
  for (Frame& f : seatingFor(to, dealer)) toSeat(to, std::move(f));
}

std::vector<Frame> Seating::seatingFor(int to, int dealer) const {
  std::vector<Frame> out;
  for (int s = 0; s < 4; ++s) out.push_back(wire::name(s, seats_[s].account));
  for (int s = 0; s < 4; ++s) out.push_back(wire::record(seats_[s], s == to ? 15 : seatBit(s)));
  out.push_back(wire::dealer(dealer));
  for (int s = 0; s < 4; ++s)
    if (s != to && seats_[s].ready) out.push_back(wire::ready(s, seats_[s].account));
  for (Frame& f : out) f.token(seats_[to].token);
  return out;
}

void Seating::sendSeatingToWatcher(ConnId conn) {
  for (int s = 0; s < 4; ++s) toConn(conn, wire::record(seats_[s], seatBit(s)));
}

void Seating::showRecord(int seat) {
  for (int o = 0; o < 4; ++o)
    if (o != seat) toSeat(o, wire::record(seats_[seat], seatBit(seat)));
  toWatchers(wire::record(seats_[seat], seatBit(seat)));
}

void Seating::announceReady(int seat) {
  toAllBut(seat, wire::ready(seat, seats_[seat].account));
}

}  // namespace tavren::server
