#include "platform/sim/sim_world.h"

#include <algorithm>
#include <cstring>

#include "core/client.h"

namespace tavren::sim {

namespace p = protocol;

// ---- Loop

void Loop::at(std::int64_t when, std::function<void()> fn) {
  queue_.emplace(std::make_pair(std::max(when, now_), seq_++), std::move(fn));
}

void Loop::runUntil(std::int64_t until, int maxEvents) {
  int ran = 0;
  while (!queue_.empty()) {
    auto it = queue_.begin();
    if (it->first.first > until) break;
    now_ = std::max(now_, it->first.first);
    auto fn = std::move(it->second);
    queue_.erase(it);
    fn();
    if (maxEvents > 0 && ++ran >= maxEvents) return;
  }
  now_ = std::max(now_, until);
}

bool Loop::runNext() {
  if (queue_.empty()) return false;
  runUntil(queue_.begin()->first.first, 1);
  return true;
}

std::optional<std::int64_t> Loop::nextDue() const {
  if (queue_.empty()) return std::nullopt;
  return queue_.begin()->first.first;
}

// ---- World

namespace {
std::string Key(const std::string& host, std::uint16_t port) {
  return host + ":" + std::to_string(port);
}
}  // namespace

void World::listen(const std::string& host, std::uint16_t port, Listener* listener) {
  listeners_[Key(host, port)] = listener;
}

void World::unlisten(const std::string& host, std::uint16_t port) {
  listeners_.erase(Key(host, port));
}

Listener* World::find(const std::string& host, std::uint16_t port) const {
  auto it = listeners_.find(Key(host, port));
  return it == listeners_.end() ? nullptr : it->second;
}

// ---- Connection

Connection::Connection(World& world, SimPlatform* client, Listener* listener)
    : world_(world), client_(client), listener_(listener) {}

void Connection::send(std::span<const std::uint8_t> bytes) {
  if (!open()) return;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t n = bytes.size() - pos;
    if (!chunks_.empty()) {
      n = std::min(n, std::max<std::size_t>(1, chunks_[nextChunk_ % chunks_.size()]));
      ++nextChunk_;
    }
    std::vector<std::uint8_t> chunk(bytes.begin() + static_cast<std::ptrdiff_t>(pos),
                                    bytes.begin() + static_cast<std::ptrdiff_t>(pos + n));
    pos += n;
    auto self = shared_from_this();
    world_.loop.after(world_.latencyMs, [self, chunk = std::move(chunk)]() mutable {
      if (self->client_ != nullptr) self->client_->deliver(self.get(), std::move(chunk));
    });
  }
}

void Connection::close() {
  if (peerClosed_) return;
  peerClosed_ = true;
  auto self = shared_from_this();
  world_.loop.after(world_.latencyMs, [self] {
    if (self->client_ != nullptr) self->client_->peerClosed(self.get());
  });
}

std::vector<Frame> Connection::frames() const {
  return SplitFrames(received_);
}

void Connection::fromClient(const std::uint8_t* data, std::size_t size) {
  if (peerClosed_) return;
  received_.insert(received_.end(), data, data + size);
  if (listener_ != nullptr) listener_->onBytes(*this, std::span<const std::uint8_t>(data, size));
}

void Connection::clientClosed() {
  client_ = nullptr;
  auto self = shared_from_this();
  world_.loop.after(world_.latencyMs, [self] {
    if (self->listener_ != nullptr) self->listener_->onClose(*self);
  });
}

std::vector<Frame> SplitFrames(std::span<const std::uint8_t> bytes) {
  std::vector<Frame> out;
  for (std::size_t pos = 0; pos + p::kFrameSize <= bytes.size(); pos += p::kFrameSize) {
    Frame f;
    std::memcpy(f.data(), bytes.data() + pos, p::kFrameSize);
    out.push_back(f);
  }
  return out;
}

// ---- ScriptedPeer

ScriptedPeer::ScriptedPeer(World& world, std::string host, std::uint16_t port)
    : world_(world), host_(std::move(host)), port_(port) {
  world_.listen(host_, port_, this);
}

ScriptedPeer::~ScriptedPeer() {
  world_.unlisten(host_, port_);
}

void ScriptedPeer::onConnect(const std::shared_ptr<Connection>& conn) {
  connections_.push_back(conn);
}

void ScriptedPeer::onBytes(Connection& conn, std::span<const std::uint8_t>) {
  std::size_t& done = framed_[&conn];
  const auto& all = conn.received();
  while (done + p::kFrameSize <= all.size()) {
    Frame f;
    std::memcpy(f.data(), all.data() + done, p::kFrameSize);
    done += p::kFrameSize;
    if (onFrame) onFrame(conn, f);
  }
}

void ScriptedPeer::onClose(Connection&) {
  ++closes_;
}

// ---- RecordingLobby

int RecordingLobby::count(std::uint32_t message) const {
  return static_cast<int>(
      std::count_if(received.begin(), received.end(),
                    [&](const LobbyRecord& r) { return r.message == message; }));
}

// ---- RecordingSound

bool RecordingSound::isMissing(const std::string& path) const {
  return std::find(missing.begin(), missing.end(), path) != missing.end();
}

SoundResult RecordingSound::playEffect(const std::string& path, bool looping) {
  if (!works) return SoundResult::DeviceFailed;
  loaded = false;
  if (isMissing(path)) return SoundResult::FileFailed;
  plays.push_back({-1, path, looping});
  loaded = true;
  return SoundResult::Ok;
}

SoundResult RecordingSound::stopEffect() {
  if (!works) return SoundResult::DeviceFailed;
  ++stops;
  return SoundResult::Ok;
}

SoundResult RecordingSound::setEffectVolume(int hundredthsDb) {
  if (!works) return SoundResult::DeviceFailed;
  volume = hundredthsDb;
  return SoundResult::Ok;
}

SoundResult RecordingSound::playVoice(int channel, const std::string& path, int) {
  if (!works) return SoundResult::DeviceFailed;
  if (isMissing(path)) return SoundResult::FileFailed;
  plays.push_back({channel, path, false});
  return SoundResult::Ok;
}

// ---- SimPlatform

SimPlatform::~SimPlatform() {
  *alive_ = false;
  if (conn_) conn_->detachClient();
}

LocalTime SimPlatform::localTime() {
  const std::int64_t s = 12 * 3600 + world_.loop.now() / 1000;
  return LocalTime{static_cast<int>(s / 3600 % 24), static_cast<int>(s / 60 % 60),
                   static_cast<int>(s % 60)};
}

void SimPlatform::setTimer(TimerId id, int intervalMs, bool enabled) {
  TimerSlot& t = timers_[static_cast<int>(id)];
  t.intervalMs = std::max(intervalMs, 1);
  t.enabled = enabled;
  ++t.generation;  // whatever was scheduled before is stale now
  if (enabled) scheduleTimer(id);
}

void SimPlatform::scheduleTimer(TimerId id) {
  TimerSlot& t = timers_[static_cast<int>(id)];
  const std::uint64_t gen = t.generation;
  auto alive = alive_;
  world_.loop.after(t.intervalMs, [this, alive, id, gen] {
    if (!*alive) return;
    TimerSlot& slot = timers_[static_cast<int>(id)];
    if (!slot.enabled || slot.generation != gen) return;
    scheduleTimer(id);
    if (client_ != nullptr) OnTimer(*client_, id);
  });
}

void SimPlatform::processEvents(std::int64_t untilMillis, int maxEvents) {
  world_.loop.runUntil(untilMillis, maxEvents);
}

void SimPlatform::pause(int ms) {
  pausedMs += ms;
  world_.loop.skip(ms);
}

void SimPlatform::socketConnect(const std::string& host, std::uint16_t port) {
  if (conn_) {
    conn_->clientClosed();
    conn_.reset();
  }
  ++connectAttempts;
  lastHost = host;
  lastPort = port;
  state_ = kSocketConnecting;
  const std::uint64_t serial = ++connectSerial_;
  auto alive = alive_;
  world_.loop.after(world_.latencyMs, [this, alive, serial, host, port] {
    if (!*alive || serial != connectSerial_ || state_ != kSocketConnecting || hangConnects) return;
    Listener* l = world_.find(host, port);
    if (l == nullptr) {
      state_ = kSocketError;
      return;
    }
    conn_ = std::make_shared<Connection>(world_, this, l);
    state_ = kSocketConnected;
    l->onConnect(conn_);
  });
}

void SimPlatform::socketSend(const std::uint8_t* data, std::size_t size) {
  if (state_ == kSocketConnected && conn_) conn_->fromClient(data, size);
}

void SimPlatform::socketClose() {
  ++connectSerial_;  // a connect still under way is abandoned
  if (conn_) {
    conn_->clientClosed();
    conn_.reset();
  }
  state_ = kSocketClosed;
}

void SimPlatform::deliver(Connection* from, std::vector<std::uint8_t> bytes) {
  if (!*alive_ || from != conn_.get() || client_ == nullptr) return;
  OnDataArrival(*client_, bytes.data(), bytes.size());
}

void SimPlatform::peerClosed(Connection* from) {
  if (!*alive_ || from != conn_.get()) return;
  state_ = kSocketClosing;
  if (client_ != nullptr) OnSocketClosed(*client_);
}

bool SimPlatform::lobbyFind(const std::string& caption) {
  return lobby.present && lobby.caption == caption;
}

void SimPlatform::lobbySend(std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam) {
  lobby.received.push_back({false, message, wParam, lParam});
}

void SimPlatform::lobbyPost(std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam) {
  lobby.received.push_back({true, message, wParam, lParam});
}

void SimPlatform::messageBox(const std::string& title, const std::string& text) {
  messageBoxes.push_back({title, text});
}

}  // namespace tavren::sim
