// The simulated world: virtual time that jumps to the next due event,
// in-memory sockets, a scripted peer, and a lobby and message boxes that
// record what they receive. A whole hand with its pauses runs in microseconds.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "link/codec.h"
#include "platform/platform.h"

namespace tavren {
struct Client;
}

namespace tavren::sim {

// Virtual time and the events due at it. Events due at the same moment run
// in the order they were scheduled.
class Loop {
 public:
  std::int64_t now() const { return now_; }
  void at(std::int64_t when, std::function<void()> fn);
  void after(std::int64_t delay, std::function<void()> fn) { at(now_ + delay, std::move(fn)); }

  // Runs the events due at or before `until` in time order, the clock jumping
  // to each; then the clock stands at `until`. With `maxEvents` > 0 it returns
  // after that many events.
  void runUntil(std::int64_t until, int maxEvents = 0);
  void runFor(std::int64_t ms) { runUntil(now_ + ms); }
  // Jumps to the next event and runs it; false when there is none.
  bool runNext();
  // Moves the clock on without running anything (a blocking pause).
  void skip(std::int64_t ms) { now_ += ms; }
  std::optional<std::int64_t> nextDue() const;
  std::size_t pending() const { return queue_.size(); }

 private:
  std::map<std::pair<std::int64_t, std::uint64_t>, std::function<void()>> queue_;
  std::int64_t now_ = 0;
  std::uint64_t seq_ = 0;
};

class Connection;
class SimPlatform;

// The listening side of a host and port.
class Listener {
 public:
  virtual ~Listener() = default;
  virtual void onConnect(const std::shared_ptr<Connection>& conn) = 0;
  virtual void onBytes(Connection& conn, std::span<const std::uint8_t> bytes) = 0;
  virtual void onClose(Connection& conn) = 0;
};

// The simulated machine: one clock and the listeners by "host:port".
class World {
 public:
  Loop loop;
  std::int64_t latencyMs = 1;  // one way, for every connection

  void listen(const std::string& host, std::uint16_t port, Listener* listener);
  void unlisten(const std::string& host, std::uint16_t port);
  Listener* find(const std::string& host, std::uint16_t port) const;

 private:
  std::map<std::string, Listener*> listeners_;
};

// One in-memory TCP connection between a client platform and a listener.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(World& world, SimPlatform* client, Listener* listener);

  // Peer to client. The bytes are cut into chunks by the chunk pattern (one
  // chunk when it is empty); each chunk is one data-arrival event.
  void send(std::span<const std::uint8_t> bytes);
  void sendFrame(const Frame& frame) { send(frame); }
  // The peer closes the connection.
  void close();
  // Chunk sizes, used in turn and repeated.
  void setChunks(std::vector<std::size_t> sizes) { chunks_ = std::move(sizes); }

  bool open() const { return client_ != nullptr && !peerClosed_; }
  // Everything the client sent on this connection, and the whole frames of it.
  const std::vector<std::uint8_t>& received() const { return received_; }
  std::vector<Frame> frames() const;

  // Used by the client platform.
  void fromClient(const std::uint8_t* data, std::size_t size);
  void clientClosed();
  void detachClient() { client_ = nullptr; }

 private:
  World& world_;
  SimPlatform* client_;
  Listener* listener_;
  bool peerClosed_ = false;
  std::vector<std::size_t> chunks_;
  std::size_t nextChunk_ = 0;
  std::vector<std::uint8_t> received_;
};

// A peer that records what the client sends and answers as a test scripts it.
class ScriptedPeer : public Listener {
 public:
  ScriptedPeer(World& world, std::string host, std::uint16_t port);
  ~ScriptedPeer() override;

  // Called for every whole frame a connection receives.
  std::function<void(Connection&, const Frame&)> onFrame;

  const std::vector<std::shared_ptr<Connection>>& connections() const { return connections_; }
  Connection* last() const { return connections_.empty() ? nullptr : connections_.back().get(); }
  int closes() const { return closes_; }

  void onConnect(const std::shared_ptr<Connection>& conn) override;
  void onBytes(Connection& conn, std::span<const std::uint8_t> bytes) override;
  void onClose(Connection& conn) override;

 private:
  World& world_;
  std::string host_;
  std::uint16_t port_;
  std::vector<std::shared_ptr<Connection>> connections_;
  std::map<Connection*, std::size_t> framed_;  // bytes already cut into frames
  int closes_ = 0;
};

struct LobbyRecord {
  bool posted;  // posted, or sent
  std::uint32_t message, wParam, lParam;
};

// A lobby that is there (or not) under a caption and records every message.
struct RecordingLobby {
  bool present = true;
  std::string caption = "Qixo山庄";
  std::vector<LobbyRecord> received;
  int count(std::uint32_t message) const;
};

struct MessageBoxRecord {
  std::string title, text;
};

// A sound device that records what it is asked to play.
class RecordingSound : public SoundDevice {
 public:
  struct Play {
    int channel;  // -1 the effect channel, 0..3 a voice channel
    std::string path;
    bool looping;
  };
  bool works = true;                 // false: the device cannot be opened or used
  std::vector<std::string> missing;  // files that cannot be read
  std::vector<Play> plays;
  int stops = 0;
  int volume = 0;
  bool loaded = false;

  bool open() override { return works; }
  SoundResult playEffect(const std::string& path, bool looping) override;
  SoundResult stopEffect() override;
  bool hasEffect() override { return loaded; }
  SoundResult setEffectVolume(int hundredthsDb) override;
  SoundResult playVoice(int channel, const std::string& path, int hundredthsDb) override;

 private:
  bool isMissing(const std::string& path) const;
};

// The platform of one client in the simulated world.
class SimPlatform : public Platform {
 public:
  explicit SimPlatform(World& world) : world_(world) {}
  ~SimPlatform() override;
  void attach(Client& c) { client_ = &c; }

  RecordingLobby lobby;
  RecordingSound soundDevice;
  std::vector<MessageBoxRecord> messageBoxes;
  std::vector<std::string> openedUrls;
  std::string folder = "/tmp/tavren-sim";
  bool instanceLockFree = true;
  PixelSize screen{1280, 1024};
  OsVersion os{};  // a system that offers no translucent small windows
  bool endRequested = false;
  std::int64_t pausedMs = 0;  // total time spent in blocking pauses
  int connectAttempts = 0;
  int memoryReleases = 0;     // times the core handed freed memory back
  bool hangConnects = false;  // connection attempts neither stand nor fail
  std::string lastHost;
  std::uint16_t lastPort = 0;

  Connection* connection() const { return conn_.get(); }

  PixelSize screenSize() override { return screen; }
  OsVersion osVersion() override { return os; }
  std::int64_t nowMillis() override { return world_.loop.now(); }
  LocalTime localTime() override;
  void setTimer(TimerId id, int intervalMs, bool enabled) override;
  void processEvents(std::int64_t untilMillis, int maxEvents) override;
  void pause(int ms) override;
  void socketConnect(const std::string& host, std::uint16_t port) override;
  int socketState() override { return state_; }
  void socketSend(const std::uint8_t* data, std::size_t size) override;
  void socketClose() override;
  bool lobbyFind(const std::string& caption) override;
  void lobbySend(std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam) override;
  void lobbyPost(std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam) override;
  void messageBox(const std::string& title, const std::string& text) override;
  void requestEnd() override { endRequested = true; }
  void releaseFreeMemory() override { ++memoryReleases; }
  std::string programFolder() override { return folder; }
  bool acquireInstanceLock() override { return instanceLockFree; }
  void openUrl(const std::string& url) override { openedUrls.push_back(url); }
  SoundDevice& sound() override { return soundDevice; }

  // Used by connections.
  void deliver(Connection* from, std::vector<std::uint8_t> bytes);
  void peerClosed(Connection* from);

 private:
  struct TimerSlot {
    int intervalMs = 0;
    bool enabled = false;
    std::uint64_t generation = 0;
  };
  void scheduleTimer(TimerId id);

  World& world_;
  Client* client_ = nullptr;
  std::shared_ptr<Connection> conn_;
  int state_ = kSocketClosed;
  std::uint64_t connectSerial_ = 0;
  TimerSlot timers_[kTimerCount];
  // Guards callbacks scheduled on the loop against a platform that is gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Splits a byte stream into whole frames (a partial tail is left out).
std::vector<Frame> SplitFrames(std::span<const std::uint8_t> bytes);

}  // namespace tavren::sim
