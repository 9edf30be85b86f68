#include "replay/player.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "core/client.h"
#include "link/pump.h"
#include "shell/startup.h"

namespace tavren::replay {

namespace p = protocol;

namespace {

// The one-way delay of the recorded link: a frame is on its way this long,
// so the timers due while it travels run before it, as they did in the game.
constexpr std::int64_t kWireMs = 1;
// After the last entry the core finishes what it was handed (frames are taken
// one per receive run) and what those frames started.
constexpr std::int64_t kTailMs = 3000;
// At top speed the bar is kept alive and the window drawn this often (real ms).
constexpr std::int64_t kDrawEveryMs = 40;
// Snapshots of the hands kept until the core takes the frame they precede.
constexpr std::size_t kMaxHandsAhead = 4096;

std::uint64_t U64(const std::uint8_t* f, std::size_t offset) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | f[offset + static_cast<std::size_t>(i)];
  return v;
}

bool IsFrame(const Entry& e) {
  return e.bytes.size() == kFrameBytes;
}

int SeatBitIndex(std::uint8_t b) {
  switch (b & 0x0F) {
    case 1:
      return 0;
    case 2:
      return 1;
    case 4:
      return 2;
    case 8:
      return 3;
    default:
      return -1;
  }
}

// The watched player of a watcher's game: the user whose record names the
// seat the stream deals (the seat of the header when it is known).
std::int64_t WatchedUser(const ReadResult& f) {
  int seat = f.header.seat;
  std::array<std::int64_t, 4> ids{};
  for (const Entry& e : f.entries) {
    if (e.kind != EntryKind::Received || !IsFrame(e)) continue;
    const std::uint8_t type = e.bytes[p::kTypeOffset];
    const int s = SeatBitIndex(e.bytes[p::kSeatOffset]);
    if (type == p::kInsPlayerRecord && s >= 0 && ids[static_cast<std::size_t>(s)] == 0)
      ids[static_cast<std::size_t>(s)] = static_cast<std::int64_t>(U64(e.bytes.data(), 226));
    if (seat < 0 && type == p::kInsDeal && s >= 0) seat = s;
    if (seat >= 0 && ids[static_cast<std::size_t>(seat)] != 0) break;
  }
  return seat >= 0 ? ids[static_cast<std::size_t>(seat)] : 0;
}

// Keeps only bytes the hand-over may carry in a field.
std::string Field(const std::string& s) {
  std::string out;
  for (char ch : s)
    if (ch != '$' && ch != ' ' && ch != '\t' && ch != '\r' && ch != '\n') out += ch;
  return out;
}

}  // namespace

std::vector<HandInfo> ListHands(const ReadResult& file) {
  std::vector<HandInfo> hands;
  for (std::size_t i = 0; i < file.entries.size(); ++i) {
    const Entry& e = file.entries[i];
    if (e.kind == EntryKind::HandStart) {
      HandInfo h;
      h.number = static_cast<int>(hands.size()) + 1;
      h.entry = i;
      h.ms = e.ms;
      hands.push_back(h);
    } else if (e.kind == EntryKind::HandEnd && !hands.empty() && !hands.back().ended) {
      HandInfo& h = hands.back();
      h.ended = true;
      h.result = HandEndValue(e, "result");
      h.players = HandEndValue(e, "players");
    }
  }
  return hands;
}

std::string ReplayCommandLine(const Header& h, std::int64_t watchedUserId) {
  std::string host = h.server;
  std::string port = "0";
  const std::size_t colon = h.server.rfind(':');
  if (colon != std::string::npos) {
    host = h.server.substr(0, colon);
    port = h.server.substr(colon + 1);
  }
  // The account must be single-byte text of at most 16 bytes, as a login's is.
  std::string account;
  for (char ch : Field(h.account))
    if (static_cast<unsigned char>(ch) >= 0x21 && static_cast<unsigned char>(ch) < 0x7F &&
        account.size() < kAccountBytes)
      account += ch;
  if (account.empty()) account = "replay";
  std::string portDigits;
  for (char ch : port)
    if (ch >= '0' && ch <= '9' && portDigits.size() < 5) portDigits += ch;
  if (portDigits.empty() || std::stol(portDigits) > 65535) portDigits = "0";
  std::string line = account + "$replay$" + (host.empty() ? "replay" : Field(host)) + "$" +
                     portDigits + "$" + Field(h.caption) + "$";
  // A watcher's line names the watched player after the caption and ends
  // without "$"; a player's ends with the thirteenth field's "$".
  if (h.watcher) return line + std::to_string(watchedUserId) + "$0$$0$$$0";
  return line + "0$$0$$$0$$$";
}

// ---- the player ------------------------------------------------------------

Player::Player(ReadResult file, Host& host, std::function<void(Client&)> onNewClient)
    : file_(std::move(file)), host_(host), onNewClient_(std::move(onNewClient)) {
  hands_ = ListHands(file_);
  if (file_.header.watcher) watchedUserId_ = WatchedUser(file_);
}

Player::~Player() {
  client_.reset();
  platform_.reset();
}

// The core starts at the first look at it, so that the controls set before
// (the speed that mutes the start's sounds) hold from its first moment.
void Player::ensureStarted() {
  if (!client_) start();
}

Client& Player::client() {
  ensureStarted();
  return *client_;
}

ReplayPlatform& Player::platform() {
  ensureStarted();
  return *platform_;
}

std::int64_t Player::now() const {
  return platform_ ? platform_->virtualNow() : 0;
}

void Player::start() {
  client_.reset();
  platform_ = std::make_unique<ReplayPlatform>(*this, host_);
  client_ = std::make_unique<Client>(*platform_);
  cursor_ = 0;
  started_ = false;
  base_ = 0;
  delivered_ = 0;
  handsStarted_ = 0;
  finished_ = false;
  ranOut_ = false;
  endText_.clear();
  notes_.clear();
  fullDeal_.clear();
  handsAhead_.clear();
  seatHands_.reset();
  anchored_ = false;
  Client& c = *client_;
  // Nothing a replay does may land in the user's record file: the hands go
  // to a folder of the replay's own, so the result windows still read them back.
  c.shell.RecordFolder = platform_->scratchFolder();
  if (onNewClient_) onNewClient_(c);
  host_.attach(c);
  StartUp(c, ReplayCommandLine(file_.header, watchedUserId_));
  if (c.ended) finish(endText_.empty() ? "录像无法开始：客户端拒绝了录像的开局" : endText_);
}

const SeatHands* Player::seatHands() {
  const int taken = instructionsTaken();
  while (!handsAhead_.empty() && handsAhead_.front().first <= taken) {
    seatHands_ = std::move(handsAhead_.front().second);
    handsAhead_.pop_front();
  }
  return seatHands_ ? &*seatHands_ : nullptr;
}

int Player::instructionsTaken() const {
  if (!client_) return 0;
  const LinkState& l = client_->link;
  const int waiting = static_cast<int>(l.ReceiveRing.buffered() / kFrameBytes) +
                      static_cast<int>(l.ChatLines.count);
  return delivered_ - waiting;
}

bool Player::muted() const {
  return speed_ == kAsFastAsPossible || speed_ > kMuteAbove;
}

bool Player::muteNow() const {
  return muted() || jumping_;
}

void Player::setSpeed(double speed) {
  if (speed != kAsFastAsPossible) speed = std::clamp(speed, kSlowest, kFastest);
  speed_ = speed;
  anchored_ = false;
  host_.changed();
}

void Player::setPaused(bool paused) {
  paused_ = paused;
  stepping_ = false;
  anchored_ = false;
  host_.changed();
}

void Player::step() {
  if (finished_) return;
  ensureStarted();
  stepping_ = true;
  anchored_ = false;
  stepTarget_ = instructionsTaken() + 1;
  paused_ = true;
}

void Player::jumpToHand(int n) {
  if (n < 1 || n > static_cast<int>(hands_.size())) return;
  jumpTarget_ = n;
  const std::size_t entry = hands_[static_cast<std::size_t>(n - 1)].entry;
  // Going back (or to the hand being played) starts the core afresh.
  if (entry < cursor_) restartRequested_ = true;
}

void Player::stop() {
  stopRequested_ = true;
}

void Player::note(std::string text) {
  notes_.push_back(std::move(text));
  host_.changed();
}

void Player::finish(std::string why) {
  if (finished_) return;
  finished_ = true;
  endText_ = std::move(why);
  jumping_ = false;
  host_.draw();
  host_.changed();
}

bool Player::drained() const {
  if (!client_) return true;
  const LinkState& l = client_->link;
  return l.ReceiveRing.buffered() < kFrameBytes && l.ChatLines.count == 0;
}

// The core's login went out: the recorded frames start on their way, as far
// after it as they came after the recorded game's first request (or, in a
// file that holds no request, the first frame right after it).
void Player::loginSent() {
  if (started_) return;
  started_ = true;
  std::int64_t first = 0;
  for (const Entry& e : file_.entries) {
    if (e.kind == EntryKind::Sent) {
      first = e.ms;
      break;
    }
    if (e.kind == EntryKind::Received) {
      first = e.ms - kWireMs;
      break;
    }
  }
  base_ = platform_->virtualNow() - first;
  scheduleNext();
}

void Player::scheduleNext() {
  if (cursor_ >= file_.entries.size()) {
    ranOut_ = true;
    ranOutAt_ = platform_->virtualNow();
    return;
  }
  const std::int64_t due =
      std::max(file_.entries[cursor_].ms + base_, platform_->virtualNow() + kWireMs);
  ReplayPlatform* pf = platform_.get();
  // Put on the wire a moment before it arrives, as the server's frame was.
  pf->at(due - kWireMs, [this, pf, due] { pf->at(due, [this] { deliverNext(); }); });
}

void Player::deliverNext() {
  Client& c = *client_;
  const Entry& e = file_.entries[cursor_];
  const std::size_t index = cursor_++;
  switch (e.kind) {
    case EntryKind::Received:
      if (IsFrame(e) && platform_->socketState() != kSocketConnected) {
        // The core closed the link itself: the frame waits for a new one, or
        // the replay ends here when the core is not making one.
        if (platform_->socketState() == kSocketConnecting) {
          --cursor_;
          platform_->at(platform_->virtualNow() + 50, [this] { deliverNext(); });
        } else {
          finish("录像在此处结束：客户端已离开牌桌");
        }
        return;
      }
      // A stream faster than the core takes it (a server's file of a robot
      // seat, which waited for no one) waits on the wire, as a socket's would,
      // rather than overrun the frames the core has yet to handle.
      if (IsFrame(e) && c.link.ReceiveRing.room() < 4 * kFrameBytes) {
        --cursor_;
        platform_->at(platform_->virtualNow() + 50, [this] { deliverNext(); });
        return;
      }
      if (IsFrame(e)) {
        ++delivered_;
        OnDataArrival(c, e.bytes.data(), e.bytes.size());
      }
      break;
    case EntryKind::Sent:  // the game's own requests: they went out then, not now
      break;
    case EntryKind::HandStart:
      ++handsStarted_;
      if (jumping_ && index == jumpEntry_) {
        jumping_ = false;
        anchored_ = false;
        host_.draw();
      }
      host_.changed();
      break;
    case EntryKind::HandEnd:
      host_.changed();
      break;
    case EntryKind::FullDeal:
      fullDeal_ = e.bytes;
      break;
    case EntryKind::SeatHands:
      // It tells the hands after the change the next frame shows: it holds
      // once the core has taken that frame. A snapshot that is not whole and
      // within bounds is ignored.
      if (auto s = ParseSeatHands(e.bytes)) {
        // Never more kept ahead than the frames the core can have waiting.
        if (handsAhead_.size() >= kMaxHandsAhead) {
          seatHands_ = std::move(handsAhead_.front().second);
          handsAhead_.pop_front();
        }
        handsAhead_.emplace_back(delivered_ + 1, std::move(*s));
      }
      break;
    case EntryKind::Link:
      if (!e.bytes.empty() && e.bytes[0] == 0)
        note("录像中此处连接中断（仅显示，不重连）");
      else
        note("录像中此处重新连接");
      break;
  }
  scheduleNext();
}

void Player::endRequested() {
  // A jump back or the window's close unwound the core: not the replay's end.
  if (restartRequested_ || stopRequested_) return;
  // The core ended itself: on a frame it refused, or as the game left the table.
  if (cursor_ < file_.entries.size() || !drained())
    finish("录像在第 " + std::to_string(std::max(instructionsTaken(), 0)) +
           " 条指令处停止：客户端无法处理录像中的这一帧");
  else
    finish({});
}

void Player::messageBox(const std::string& title, const std::string& text) {
  note(title + ": " + text);
}

// How far virtual time may go towards `target` now, the host sleeping the
// real time that takes at the chosen speed.
std::int64_t Player::pace(std::int64_t target) {
  const std::int64_t from = platform_->virtualNow();
  if (jumping_) return target;
  if (speed_ == kAsFastAsPossible) {
    const std::int64_t t = host_.realNow();
    if (t - lastDraw_ >= kDrawEveryMs || ++sincePoll_ >= 200) {
      lastDraw_ = t;
      sincePoll_ = 0;
      host_.draw();
      host_.poll();
    }
    return target;
  }
  host_.draw();
  // Virtual time follows the host's clock from an anchor, so no rounding of
  // one wait is carried into the next.
  if (!anchored_) {
    anchored_ = true;
    anchorReal_ = host_.realNow();
    anchorVirtual_ = from;
  }
  const double due = static_cast<double>(target - anchorVirtual_) / speed_;
  host_.idleUntil(anchorReal_ + static_cast<std::int64_t>(std::ceil(due)));
  const double gone = static_cast<double>(host_.realNow() - anchorReal_) * speed_;
  const std::int64_t reached = anchorVirtual_ + static_cast<std::int64_t>(std::floor(gone));
  return std::clamp(reached, from, target);
}

void Player::runUntil(std::int64_t until) {
  ReplayPlatform& pf = *platform_;
  ++depth_;
  struct Depth {
    int& d;
    ~Depth() { --d; }
  } depthGuard{depth_};
  for (;;) {
    if (stopRequested_) throw Stop{};
    if (restartRequested_) throw Restart{};
    if (client_->ended || finished_) return;
    // A jump asked for: run without drawing until its hand starts.
    if (jumpTarget_ > 0 && !restartRequested_) {
      jumpEntry_ = hands_[static_cast<std::size_t>(jumpTarget_ - 1)].entry;
      jumpTarget_ = 0;
      if (jumpEntry_ >= cursor_) jumping_ = true;
      host_.changed();
    }
    // One instruction forward: pause again once it was taken, between events
    // of the top level (never half-way through a handler's own waits).
    if (stepping_ && depth_ == 1 && instructionsTaken() >= stepTarget_) {
      stepping_ = false;
      paused_ = true;
      host_.draw();
      host_.changed();
    }
    if (paused_ && !stepping_ && !jumping_) {
      anchored_ = false;
      host_.draw();
      if (!host_.idle()) {
        if (depth_ == 1) return;
        // A test between its steps: a wait inside a handler runs on to its end.
      } else {
        continue;
      }
    }
    const std::int64_t tailEnd = ranOutAt_ + kTailMs;
    if (ranOut_ && depth_ == 1 && drained() && pf.virtualNow() >= tailEnd) {
      finish(file_.error);
      return;
    }
    std::int64_t due = pf.nextDue();
    if (ranOut_ && depth_ == 1 && pf.virtualNow() < tailEnd) due = std::min(due, tailEnd);
    const std::int64_t target = std::min(due, until);
    if (target == LLONG_MAX) {
      finish(file_.error);
      return;
    }
    if (target > pf.virtualNow()) {
      pf.advanceTo(pace(target));
      if (pf.virtualNow() < target) continue;  // woke early: look at the controls again
    }
    if (pf.nextDue() > until) return;
    if (pf.nextDue() > pf.virtualNow()) continue;
    pf.runFirst();
  }
}

void Player::blockFor(int ms) {
  ReplayPlatform& pf = *platform_;
  if (!jumping_ && speed_ != kAsFastAsPossible && ms > 0) {
    host_.draw();
    // Short pauses at a high speed add up to whole milliseconds.
    blockCarry_ += ms / speed_;
    const auto whole = static_cast<std::int64_t>(std::floor(blockCarry_));
    blockCarry_ -= static_cast<double>(whole);
    if (whole > 0) host_.block(whole);
  }
  pf.advanceTo(pf.virtualNow() + std::max(ms, 0));
}

void Player::run() {
  ensureStarted();
  for (;;) {
    if (finished_) return;
    try {
      runUntil(LLONG_MAX);
      if (restartRequested_) throw Restart{};
      return;
    } catch (const Stop&) {
      stopRequested_ = false;
      finish("录像已关闭");
      return;
    } catch (const Restart&) {
      restartRequested_ = false;
      const int target = jumpTarget_;
      start();
      jumpTarget_ = target;
    } catch (const ProgramEnd&) {
      // The core ended while a jump unwound it: the restart above follows.
      if (!restartRequested_) return;
    }
  }
}

// ---- the platform ------------------------------------------------------------

ReplayPlatform::ReplayPlatform(Player& player, Host& host)
    : player_(player), host_(host), sound_(player, host) {}

ReplayPlatform::~ReplayPlatform() {
  if (!scratch_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(scratch_, ec);
  }
}

const std::string& ReplayPlatform::scratchFolder() {
  if (scratch_.empty()) {
    const char* base = std::getenv("XDG_RUNTIME_DIR");
    std::string pattern =
        std::string(base != nullptr && base[0] == '/' ? base : "/tmp") + "/tavrenmj-replay-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (::mkdtemp(buf.data()) != nullptr) scratch_ = buf.data();
  }
  return scratch_;
}

void ReplayPlatform::at(std::int64_t when, std::function<void()> fn) {
  queue_.emplace(std::make_pair(std::max(when, now_), seq_++), std::move(fn));
}

std::int64_t ReplayPlatform::nextDue() const {
  return queue_.empty() ? LLONG_MAX : queue_.begin()->first.first;
}

void ReplayPlatform::runFirst() {
  if (queue_.empty()) return;
  auto it = queue_.begin();
  now_ = std::max(now_, it->first.first);
  auto fn = std::move(it->second);
  queue_.erase(it);
  fn();
}

PixelSize ReplayPlatform::screenSize() {
  return host_.screenSize();
}

LocalTime ReplayPlatform::localTime() {
  return host_.localTime();
}

void ReplayPlatform::setTimer(TimerId id, int intervalMs, bool enabled) {
  const int i = static_cast<int>(id);
  if (i < 0 || i >= kTimerCount) return;
  TimerSlot& t = timers_[i];
  t.intervalMs = std::max(intervalMs, 1);
  t.enabled = enabled;
  ++t.generation;
  if (enabled) scheduleTimer(id);
}

void ReplayPlatform::scheduleTimer(TimerId id) {
  TimerSlot& t = timers_[static_cast<int>(id)];
  const std::uint64_t gen = t.generation;
  at(now_ + t.intervalMs, [this, id, gen] {
    TimerSlot& slot = timers_[static_cast<int>(id)];
    if (!slot.enabled || slot.generation != gen) return;
    scheduleTimer(id);
    Client& c = player_.client();
    OnTimer(c, id);
  });
}

void ReplayPlatform::processEvents(std::int64_t untilMillis, int maxEvents) {
  (void)maxEvents;
  player_.runUntil(untilMillis);
  advanceTo(untilMillis);
}

void ReplayPlatform::pause(int ms) {
  player_.blockFor(ms);
}

void ReplayPlatform::socketConnect(const std::string&, std::uint16_t) {
  // The recording's link is the only one: the first connection stands and the
  // frames start; a later one (a resume the stream did not need) stands too.
  state_ = kSocketConnecting;
  const std::uint64_t serial = ++connectSerial_;
  const bool first = !opened_;
  at(now_ + kWireMs, [this, serial, first] {
    if (serial != connectSerial_ || state_ != kSocketConnecting) return;
    state_ = kSocketConnected;
    if (first) opened_ = true;
  });
}

void ReplayPlatform::socketSend(const std::uint8_t*, std::size_t size) {
  if (size == 0 || state_ != kSocketConnected) return;
  ++sentFrames;
  player_.loginSent();
}

void ReplayPlatform::socketClose() {
  ++connectSerial_;
  state_ = kSocketClosed;
}

void ReplayPlatform::messageBox(const std::string& title, const std::string& text) {
  messageBoxes.emplace_back(title, text);
  player_.messageBox(title, text);
}

void ReplayPlatform::requestEnd() {
  player_.endRequested();
}

std::string ReplayPlatform::programFolder() {
  return host_.programFolder();
}

SoundResult ReplayPlatform::MutedSound::playEffect(const std::string& path, bool looping) {
  if (player_.muteNow()) return SoundResult::Ok;
  return host_.sound().playEffect(path, looping);
}

SoundResult ReplayPlatform::MutedSound::playVoice(int channel, const std::string& path, int v) {
  if (player_.muteNow()) return SoundResult::Ok;
  return host_.sound().playVoice(channel, path, v);
}

}  // namespace tavren::replay
