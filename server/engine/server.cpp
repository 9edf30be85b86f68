#include "engine/server.h"

#include <sys/random.h>

#include <algorithm>
#include <charconv>
#include <random>

#include "engine/budget.h"
#include "engine/frame.h"
#include "engine/gbk.h"
#include "engine/table.h"
#include "engine/table_host.h"
#include "engine/wire.h"
#include "rules/win.h"

namespace tavren::server {

namespace {

// Text a client chose, fit for a log line: printable ASCII as it is, anything
// else (line breaks, escape codes, bytes of other scripts) as \xNN, cut short.
std::string logText(std::string_view text) {
  constexpr std::size_t kMost = 48;
  static const char kHex[] = "0123456789abcdef";
  std::string out = "'";
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i == kMost) {
      out += "...";
      break;
    }
    const auto ch = static_cast<unsigned char>(text[i]);
    if (ch >= 0x20 && ch < 0x7F && ch != '\\' && ch != '\'') {
      out += static_cast<char>(ch);
    } else {
      out += "\\x";
      out += kHex[ch >> 4];
      out += kHex[ch & 15];
    }
  }
  return out + "'";
}

// A login key for the log: the value of every pass field is the seat's secret
// and never appears.
std::string logKey(std::string_view key) {
  std::string shown;
  while (!key.empty()) {
    const std::size_t semi = key.find(';');
    std::string_view item = key.substr(0, semi);
    key = semi == std::string_view::npos ? std::string_view{} : key.substr(semi + 1);
    if (!shown.empty()) shown += ';';
    if (item.substr(0, 5) == "pass=")
      shown += "pass=(hidden)";
    else
      shown += std::string(item);
  }
  return logText(shown);
}

}  // namespace

struct Server::Conn {
  bool open = true;
  bool closed = false;  // the server dropped it
  int table = -1;
  std::int64_t openedMs = 0;
  std::int64_t heardMs = 0;  // when its last bytes arrived
  std::int64_t listMs = -1;  // when its last table-list request was answered
  Budget logBudget;
  std::uint64_t logHeldBack = 0;
  std::vector<std::uint8_t> in;
  std::vector<std::uint8_t> out;
};

class Server::Host final : public TableHost {
 public:
  explicit Host(Server& s) : s_(s) {}
  std::int64_t nowMs() const override { return s_.now_; }
  void send(ConnId conn, const Frame& f) override { s_.sendTo(conn, f.b.data()); }
  void close(ConnId conn) override { s_.closeConn(conn); }
  bool answering(ConnId conn) const override { return s_.answering(conn); }
  std::uint16_t randomToken() override { return s_.randomToken(); }
  void log(ConnId conn, const std::string& line) override { s_.log(conn, line); }
  void handEnded(const HandRecord& rec) override {
    if (s_.handSink_) s_.handSink_(rec);
  }
  bool tapping() const override { return static_cast<bool>(s_.tap_); }
  void tap(int table, int seat, const Frame& f) override {
    if (s_.tap_) s_.tap_(table, seat, std::span<const std::uint8_t>(f.b.data(), f.b.size()));
  }

 private:
  Server& s_;
};

Server::Server(Config config) : config_(std::move(config)), host_(std::make_unique<Host>(*this)) {
  initWinTables();
  config_.tables = std::clamp(config_.tables, 1, 1000);
  config_.turnTimeSec = std::clamp(config_.turnTimeSec, 1, 15);
  for (int i = 0; i < config_.tables; ++i)
    tables_.push_back(
        std::make_unique<Table>(*host_, config_, i,
                                config_.seed * 0x2545F4914F6CDD1DULL +
                                    static_cast<std::uint64_t>(i) * 0x9E3779B97F4A7C15ULL + 1));
  if (config_.busyTables)
    for (auto& t : tables_) t->startBusy();
}

Server::~Server() = default;

Server::Conn* Server::conn(ConnId id) {
  auto it = conns_.find(id);
  return it == conns_.end() ? nullptr : it->second.get();
}

const Server::Conn* Server::conn(ConnId id) const {
  auto it = conns_.find(id);
  return it == conns_.end() ? nullptr : it->second.get();
}

ConnId Server::connect() {
  // Ids are not reused while a seat may still name the old one; after a wrap, skip
  // the ones still open.
  while (nextConn_ == 0 || conns_.count(nextConn_)) ++nextConn_;
  const ConnId id = nextConn_++;
  auto c = std::make_unique<Conn>();
  c->openedMs = c->heardMs = now_;
  conns_.emplace(id, std::move(c));
  return id;
}

void Server::receive(ConnId id, std::span<const std::uint8_t> bytes) {
  Conn* c = conn(id);
  if (!c || !c->open || c->closed) return;
  c->heardMs = now_;
  c->in.insert(c->in.end(), bytes.begin(), bytes.end());
  std::size_t at = 0;
  while (c->in.size() - at >= proto::kFrameSize) {
    handleFrame(id, c->in.data() + at);
    c = conn(id);  // handlers never remove connections, but stay safe
    at += proto::kFrameSize;
    if (!c->open || c->closed) break;
  }
  c->in.erase(c->in.begin(),
              c->in.begin() + static_cast<std::ptrdiff_t>(std::min(at, c->in.size())));
}

void Server::disconnect(ConnId id) {
  Conn* c = conn(id);
  if (!c || !c->open) return;
  c->open = false;
  const int table = c->table;
  if (c->logHeldBack > 0) {
    const std::uint64_t held = c->logHeldBack;
    c->logHeldBack = 0;
    log(0, "connection " + std::to_string(id) + " ended; " + std::to_string(held) +
               " more log line(s) about it were held back");
  }
  // The stream is gone for good: its entry and buffers go with it.
  conns_.erase(id);
  if (table >= 0) tables_[table]->connectionLost(id);
}

bool Server::answering(ConnId id) const {
  const Conn* c = conn(id);
  return c && c->open && !c->closed && now_ - c->heardMs < kLiveWindowMs;
}

std::uint16_t Server::randomToken() {
  for (;;) {
    std::uint16_t t = 0;
    if (getrandom(&t, sizeof t, 0) != static_cast<ssize_t>(sizeof t)) {
      std::random_device rd;
      t = static_cast<std::uint16_t>(rd());
    }
    if (t != 0) return t;
  }
}

void Server::closeConn(ConnId id) {
  Conn* c = conn(id);
  if (!c || c->closed) return;
  c->closed = true;
  if (closeSink_) closeSink_(id);
}

void Server::sendTo(ConnId id, const std::uint8_t* frame) {
  Conn* c = conn(id);
  if (!c || !c->open) return;
  c->out.insert(c->out.end(), frame, frame + proto::kFrameSize);
}

std::vector<std::uint8_t> Server::takeOutput(ConnId id) {
  Conn* c = conn(id);
  if (!c) return {};
  std::vector<std::uint8_t> out;
  out.swap(c->out);
  return out;
}

bool Server::hasOutput(ConnId id) const {
  const Conn* c = conn(id);
  return c && !c->out.empty();
}

bool Server::isClosed(ConnId id) const {
  const Conn* c = conn(id);
  return !c || c->closed;
}

void Server::log(ConnId id, const std::string& line) {
  if (!logSink_) return;
  if (Conn* c = id != 0 ? conn(id) : nullptr) {
    if (!c->logBudget.take(now_, kConnLogSpacingMs, kConnLogBurst)) {
      ++c->logHeldBack;
      ++logHeldBack_;
      return;
    }
  }
  if (!logBudget_.take(now_, kLogSpacingMs, kLogBurst)) {
    ++logHeldBack_;
    ++logHeldBackUnsaid_;
    return;
  }
  if (logHeldBackUnsaid_ > 0) {
    logSink_("(" + std::to_string(logHeldBackUnsaid_) +
             " log line(s) held back: too many at once)");
    logHeldBackUnsaid_ = 0;
  }
  logSink_(line);
}

bool Server::loggedIn(ConnId id) const {
  const Conn* c = conn(id);
  return c && c->table >= 0;
}

// A lobby pages through a long table list on a connection that never logs in:
// once it has asked for the list, it has longer.
std::int64_t Server::loginDeadline(const Conn& c) const {
  return c.openedMs + (c.listMs >= 0 ? std::max<std::int64_t>(config_.loginTimeoutMs, kListingMs)
                                     : config_.loginTimeoutMs);
}

void Server::closeLateConnections() {
  if (config_.loginTimeoutMs <= 0 && config_.idleTimeoutMs <= 0) return;
  std::vector<std::pair<ConnId, const char*>> late;
  for (const auto& [id, c] : conns_) {
    if (!c->open || c->closed) continue;
    if (config_.loginTimeoutMs > 0 && c->table < 0 && now_ >= loginDeadline(*c))
      late.emplace_back(id, "no login in time");
    else if (config_.idleTimeoutMs > 0 && now_ - c->heardMs >= config_.idleTimeoutMs)
      late.emplace_back(id, "silent for too long");
  }
  for (const auto& [id, why] : late) {
    log(id, "connection " + std::to_string(id) + " closed: " + why);
    closeConn(id);
  }
}

std::optional<std::int64_t> Server::nextConnectionDueMs() const {
  std::optional<std::int64_t> best;
  auto consider = [&](std::int64_t t) {
    if (!best || t < *best) best = t;
  };
  for (const auto& [id, c] : conns_) {
    if (!c->open || c->closed) continue;
    if (config_.loginTimeoutMs > 0 && c->table < 0) consider(loginDeadline(*c));
    if (config_.idleTimeoutMs > 0) consider(c->heardMs + config_.idleTimeoutMs);
  }
  return best;
}

void Server::setLogSink(std::function<void(const std::string&)> sink) {
  logSink_ = std::move(sink);
}
void Server::setHandSink(std::function<void(const HandRecord&)> sink) {
  handSink_ = std::move(sink);
}
void Server::setCloseSink(std::function<void(ConnId)> sink) {
  closeSink_ = std::move(sink);
}
void Server::setFrameTap(std::function<void(int, int, std::span<const std::uint8_t>)> tap) {
  tap_ = std::move(tap);
}

int Server::wallLeft(int table) const {
  return tables_.at(static_cast<std::size_t>(table))->wallLeft();
}
int Server::handsPlayed(int table) const {
  return tables_.at(static_cast<std::size_t>(table))->handsPlayed();
}

TableView Server::tableView(int table) const {
  if (table < 0 || table >= tableCount()) return {};
  return tables_[static_cast<std::size_t>(table)]->view();
}

std::vector<std::uint8_t> Server::seatingFrames(int table, int seat) const {
  std::vector<std::uint8_t> out;
  if (table < 0 || table >= tableCount() || seat < 0 || seat > 3) return out;
  for (const Frame& f : tables_[static_cast<std::size_t>(table)]->seatingFor(seat))
    out.insert(out.end(), f.b.begin(), f.b.end());
  return out;
}

void Server::handleFrame(ConnId id, const std::uint8_t* data) {
  Frame f;
  std::copy(data, data + proto::kFrameSize, f.b.begin());
  const int type = f.requestType();
  Conn* c = conn(id);
  if (type == proto::kReqLogin || type == proto::kReqResume) {
    if (c->table >= 0) {
      log(id,
          "refused from connection " + std::to_string(id) + ": a second login on one connection");
      return;
    }
    handleLogin(id, data, type == proto::kReqResume);
    return;
  }
  if (c->table < 0) {
    if (type == proto::kReqTableList) return tableList(id, data);
    if (type != proto::kReqKeepAlive)
      log(id, "refused from connection " + std::to_string(id) + ": a request before the login");
    return;
  }
  tables_[c->table]->request(id, f);
}

struct Server::LoginKey {
  std::string text;
  int table = -1;
  int seat = -1;
  int watch = -1;
  std::uint64_t user = 0;  // a watcher's watched player, by user id
  std::string pass;        // the seat's secret, handed over by the lobby
  bool valid = true;
};

// "table=N;seat=S" or "watch=N;seat=S" (a watcher may name the watched player
// by "user=ID" instead of a seat), each with an optional "pass=TEXT";
// unknown fields are ignored.
Server::LoginKey Server::parseKey(std::string_view key) {
  LoginKey k;
  k.text = std::string(key);
  while (!key.empty()) {
    const std::size_t semi = key.find(';');
    const std::string_view item = key.substr(0, semi);
    key = semi == std::string_view::npos ? std::string_view{} : key.substr(semi + 1);
    const std::size_t eq = item.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view name = item.substr(0, eq), value = item.substr(eq + 1);
    if (name == "pass") {
      k.pass = std::string(value);
      continue;
    }
    if (name == "user") {
      auto [p, ec] = std::from_chars(value.data(), value.data() + value.size(), k.user);
      if (ec != std::errc() || p != value.data() + value.size()) k.valid = false;
      continue;
    }
    int* slot = name == "table"   ? &k.table
                : name == "seat"  ? &k.seat
                : name == "watch" ? &k.watch
                                  : nullptr;
    if (!slot) continue;
    int v = -1;
    auto [p, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
    if (ec != std::errc() || p != value.data() + value.size() || v < 0) k.valid = false;
    *slot = v;
  }
  return k;
}

void Server::handleLogin(ConnId id, const std::uint8_t* data, bool resume) {
  Frame f;
  std::copy(data, data + proto::kFrameSize, f.b.begin());
  const std::string account(f.textAt(proto::kLoginAccountOffset, proto::kNameBytes));
  const LoginKey k =
      parseKey(f.textAt(proto::kLoginKeyOffset, proto::kTokenOffset - proto::kLoginKeyOffset));
  const bool printable =
      !account.empty() &&
      std::all_of(account.begin(), account.end(), [](char ch) { return ch > 0x20 && ch < 0x7F; });
  if (resume) {
    if (printable && k.valid && k.table < tableCount())
      return resumeLogin(id, account, k, f.token());
    log(id, "resume refused for " + logText(account) + " on connection " + std::to_string(id) +
                ": no seat of that account");
    sendTo(id, wire::notResumed().b.data());
    return closeConn(id);
  }
  if (!printable || !k.valid) {
    log(id, "login refused for " + logText(account) + " on connection " + std::to_string(id) +
                ": account or key " + logKey(k.text) + " not acceptable");
    return refuseLogin(id, 0);
  }
  if (k.watch < 0) return seatLogin(id, account, k);
  if (k.watch >= tableCount() || k.seat > 3) return refuseLogin(id, proto::kLoginBadSeat);
  conn(id)->table = k.watch;
  tables_[k.watch]->addWatcher(id, k.seat < 0 ? 0 : k.seat, account, k.user);
}

// One frame per table from the one asked for, at most kTableListMaxFrames: a
// lobby pages through a long list; a connection asking faster than the spacing
// is not answered (each answer is many frames for one).
void Server::tableList(ConnId id, const std::uint8_t* data) {
  Conn* c = conn(id);
  if (c->listMs >= 0 && now_ - c->listMs < config_.tableListSpacingMs) return;
  c->listMs = now_;
  Frame f;
  std::copy(data, data + proto::kFrameSize, f.b.begin());
  const int first = std::clamp(f.operand(0), 0, tableCount() - 1);
  const int end = std::min(tableCount(), first + proto::kTableListMaxFrames);
  for (int t = first; t < end; ++t) sendTo(id, tables_[t]->listEntry(tableCount()).b.data());
}

// A refusal: value 2 for a seat that cannot be had, anything else for the rest.
void Server::refuseLogin(ConnId id, int verdict) {
  sendTo(id, wire::loginRefused(verdict).b.data());
  closeConn(id);
}

// The key names the seat, or the account finds it (a key without table or seat).
void Server::resumeLogin(ConnId id, const std::string& account, const LoginKey& k,
                         std::uint16_t token) {
  std::string why = "no seat of that account";
  const int firstTable = k.table < 0 ? 0 : k.table;
  const int endTable = k.table < 0 ? tableCount() : k.table + 1;
  const int firstSeat = k.seat < 0 ? 0 : k.seat;
  const int endSeat = k.seat < 0 ? 4 : std::min(k.seat + 1, 4);
  for (int t = firstTable; t < endTable; ++t)
    for (int seat = firstSeat; seat < endSeat; ++seat) {
      const Table::Resume r = tables_[t]->resume(seat, id, account, token, k.pass);
      if (r == Table::Resume::Done) {
        conn(id)->table = t;
        return;
      }
      if (r == Table::Resume::HandEnded)
        why = "the hand ended before the resume came, and a robot took the seat";
      if (r == Table::Resume::BetweenHands)
        why = "its connection broke between hands, and a robot took the seat";
      if (r == Table::Resume::WrongProof) why = "wrong token or pass";
      if (r == Table::Resume::TooManyTries) why = "too many wrong tries for the seat";
      if (r == Table::Resume::Live) why = "the seat's connection is live";
    }
  log(id, "resume refused for " + logText(account) + " on connection " + std::to_string(id) + ": " +
              why);
  sendTo(id, wire::notResumed().b.data());
  closeConn(id);
}

void Server::seatLogin(ConnId id, const std::string& account, const LoginKey& k) {
  int table = k.table;
  // A client that lost its connection and logs in afresh gives up the seat it left.
  for (auto& t : tables_) t->releaseAwaySeat(account, k.pass);
  for (int i = 0; i < tableCount() && table < 0; ++i)
    if (tables_[i]->freeSeat(k.seat) >= 0) table = i;
  const int seat = table >= 0 && table < tableCount() ? tables_[table]->freeSeat(k.seat) : -1;
  if (seat < 0 || tables_[table]->accountSeated(account)) {
    log(id, "login of " + logText(account) + " on connection " + std::to_string(id) +
                " refused: no such free seat (key " + logKey(k.text) + ")");
    return refuseLogin(id, proto::kLoginBadSeat);
  }
  conn(id)->table = table;
  tables_[table]->seatHuman(seat, id, account, k.pass);
}

void Server::advanceTo(std::int64_t nowMs) {
  for (;;) {
    Table* next = nullptr;
    for (auto& t : tables_)
      if (t->due() >= 0 && t->due() <= nowMs && (!next || t->due() < next->due())) next = t.get();
    if (!next) break;
    now_ = std::max(now_, next->due());
    next->onTimer();
  }
  now_ = std::max(now_, nowMs);
  closeLateConnections();
}

std::optional<std::int64_t> Server::nextDueMs() const {
  std::optional<std::int64_t> best;
  for (const auto& t : tables_)
    if (t->due() >= 0 && (!best || t->due() < *best)) best = t->due();
  if (const auto c = nextConnectionDueMs(); c && (!best || *c < *best)) best = c;
  return best;
}

void Server::shutdown(const std::string& noticeUtf8) {
  const std::string gbk = toGbk(noticeUtf8);
  for (auto& t : tables_) t->shutdown(gbk);
  std::vector<ConnId> open;
  for (const auto& [id, c] : conns_)
    if (c->open) open.push_back(id);
  for (ConnId id : open) closeConn(id);
}

}  // namespace tavren::server
