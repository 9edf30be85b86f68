// A game played by the client core against the reference server's engine in
// virtual time, kept as a replay file's entries: what the replay tests and the
// jump benchmark play again. The scene is taken at every hand's end (after each
// result and settlement instruction) so a replay can be held against it.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/client.h"
#include "platform/sim/sim_world.h"
#include "replay/player.h"
#include "replay/replay_file.h"
#include "server/engine/server.h"
#include "shell/startup.h"

namespace tavren::testing {

// Everything the table shows that a hand's end leaves behind: every control
// of the table surface in its stacking order, the message lines and the small
// windows with their lists.
inline std::string SceneText(const Client& c) {
  std::ostringstream o;
  const MainForm& f = c.view;
  for (const Control* k : f.order) {
    if (!k->visible) continue;
    o << k->name << '#' << k->index << ' ' << k->x << ',' << k->y << ' ' << k->w << 'x' << k->h
      << " p" << k->picture << " '" << k->caption << "'\n";
  }
  for (const ListBox& l : f.Sysmsg) o << "sysmsg '" << l.text() << "'\n";
  for (std::size_t i = 0; i < c.forms.forms.size(); ++i) {
    const SmallForm& s = c.forms.forms[i];
    if (!s.visible) continue;
    o << "form " << i << '\n';
    for (const Control& k : s.controls) {
      if (!k.visible) continue;
      o << "  " << k.name << '#' << k.index << " p" << k.picture << " '" << k.caption << "'";
      for (const std::string& item : k.items) o << " [" << item << ']';
      o << '\n';
    }
  }
  return o.str();
}

// Scenes taken after every result and settlement instruction of one core.
struct HandEndScenes {
  std::vector<std::string> scenes;
  std::vector<int> handNumbers;
};

namespace detail {
inline std::map<const Client*, HandEndScenes*>& SceneSinks() {
  static std::map<const Client*, HandEndScenes*> sinks;
  return sinks;
}
inline std::map<const Client*, std::array<Handler, 2>>& OriginalHandlers() {
  static std::map<const Client*, std::array<Handler, 2>> original;
  return original;
}
template <int Which>
void TakeScene(Client& c, const InfoRecord& r) {
  OriginalHandlers()[&c][Which](c, r);
  if (auto it = SceneSinks().find(&c); it != SceneSinks().end() && it->second != nullptr) {
    it->second->scenes.push_back(SceneText(c));
    it->second->handNumbers.push_back(c.table.HandNo);
  }
}
}  // namespace detail

// Takes the scene of `c` at every hand end into `sink` (until ForgetScenes).
inline void TakeHandEndScenes(Client& c, HandEndScenes& sink) {
  auto& original = detail::OriginalHandlers()[&c];
  original[0] = c.handlers.byType[protocol::kInsResult];
  original[1] = c.handlers.byType[protocol::kInsSettlement];
  c.handlers.byType[protocol::kInsResult] = detail::TakeScene<0>;
  c.handlers.byType[protocol::kInsSettlement] = detail::TakeScene<1>;
  detail::SceneSinks()[&c] = &sink;
}
inline void ForgetScenes(const Client& c) {
  detail::SceneSinks().erase(&c);
  detail::OriginalHandlers().erase(&c);
}

// The engine behind a host and port, as tests/support/engine_peer.h has it,
// keeping what it sends to one client's connection as Received entries with
// their arrival times (a HandStart before each new hand, a HandEnd after each
// result), and the link's loss and return as Link entries.
class KeepingEnginePeer : public sim::Listener {
 public:
  KeepingEnginePeer(sim::World& world, std::string host, std::uint16_t port,
                    server::Server::Config config)
      : server(std::move(config)), world_(world), host_(std::move(host)), port_(port) {
    world_.listen(host_, port_, this);
    schedule();
  }
  ~KeepingEnginePeer() override { world_.unlisten(host_, port_); }
  KeepingEnginePeer(const KeepingEnginePeer&) = delete;
  KeepingEnginePeer& operator=(const KeepingEnginePeer&) = delete;

  server::Server server;
  // The client whose stream is kept, and the moment its game started.
  sim::SimPlatform* kept = nullptr;
  std::int64_t startMs = 0;
  std::vector<replay::Entry> entries;
  std::function<std::string()> players;  // the HandEnd's players line

  void linkLost() { add(replay::EntryKind::Link, world_.loop.now(), {0}); }

  void onConnect(const std::shared_ptr<sim::Connection>& conn) override {
    server.advanceTo(world_.loop.now());
    if (kept != nullptr && conn.get() == kept->connection() && connected_)
      add(replay::EntryKind::Link, world_.loop.now(), {1});
    if (kept != nullptr && conn.get() == kept->connection()) connected_ = true;
    conns_[conn.get()] = {conn, server.connect()};
    flush();
  }
  void onBytes(sim::Connection& conn, std::span<const std::uint8_t> bytes) override {
    auto it = conns_.find(&conn);
    if (it == conns_.end()) return;
    server.advanceTo(world_.loop.now());
    // What the kept client sent, stamped when it left the client.
    if (kept != nullptr && &conn == kept->connection()) {
      for (std::size_t at = 0; at + replay::kFrameBytes <= bytes.size(); at += replay::kFrameBytes)
        add(replay::EntryKind::Sent, world_.loop.now() - world_.latencyMs,
            std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                      bytes.begin() + static_cast<std::ptrdiff_t>(at) +
                                          static_cast<std::ptrdiff_t>(replay::kFrameBytes)));
    }
    server.receive(it->second.second, bytes);
    flush();
  }
  void onClose(sim::Connection& conn) override {
    auto it = conns_.find(&conn);
    if (it == conns_.end()) return;
    server.advanceTo(world_.loop.now());
    server.disconnect(it->second.second);
    conns_.erase(it);
    flush();
  }

 private:
  void add(replay::EntryKind kind, std::int64_t at, std::vector<std::uint8_t> bytes) {
    replay::Entry e;
    e.ms = at - startMs;
    e.kind = kind;
    e.bytes = std::move(bytes);
    entries.push_back(std::move(e));
  }
  void keep(const std::vector<std::uint8_t>& out) {
    const std::int64_t arrives = world_.loop.now() + world_.latencyMs;
    for (std::size_t at = 0; at + replay::kFrameBytes <= out.size(); at += replay::kFrameBytes) {
      std::vector<std::uint8_t> f(
          out.begin() + static_cast<std::ptrdiff_t>(at),
          out.begin() + static_cast<std::ptrdiff_t>(at + replay::kFrameBytes));
      const std::uint8_t type = f[protocol::kTypeOffset];
      if (type == protocol::kInsNewHand) {
        add(replay::EntryKind::HandStart, arrives, {});
        ++hands_;
        handOpen_ = true;
      }
      add(replay::EntryKind::Received, arrives, f);
      // A hand's results come one per seat; the first settles it.
      if (type == protocol::kInsResult && handOpen_) {
        handOpen_ = false;
        const std::string text = "players=" + (players ? players() : std::string("a|b|c|d")) +
                                 "\nresult=第" + std::to_string(hands_) + "局\n";
        add(replay::EntryKind::HandEnd, arrives,
            std::vector<std::uint8_t>(text.begin(), text.end()));
      }
    }
  }
  void flush() {
    std::vector<server::ConnId> dropped;
    for (auto it = conns_.begin(); it != conns_.end();) {
      auto& [conn, id] = it->second;
      std::vector<std::uint8_t> out = server.takeOutput(id);
      if (!out.empty()) {
        if (kept != nullptr && conn.get() == kept->connection()) keep(out);
        conn->send(out);
      }
      if (server.isClosed(id)) {
        conn->close();
        dropped.push_back(id);
        it = conns_.erase(it);
      } else {
        ++it;
      }
    }
    for (server::ConnId id : dropped) server.disconnect(id);
    if (!dropped.empty()) return flush();
    schedule();
  }
  void schedule() {
    const auto due = server.nextDueMs();
    if (!due) return;
    const std::uint64_t generation = ++generation_;
    world_.loop.at(*due, [this, generation] {
      if (generation != generation_) return;
      server.advanceTo(world_.loop.now());
      flush();
    });
  }

  sim::World& world_;
  std::string host_;
  std::uint16_t port_;
  std::map<sim::Connection*, std::pair<std::shared_ptr<sim::Connection>, server::ConnId>> conns_;
  std::uint64_t generation_ = 0;
  bool connected_ = false;
  int hands_ = 0;
  bool handOpen_ = false;
};

// ---- a whole game, played and kept ----

inline constexpr const char* kKeptHost = "127.0.0.1";
inline constexpr std::uint16_t kKeptPort = 7000;
inline constexpr int kUserTurnSec = 3;

inline server::Server::Config KeptConfig(std::uint64_t seed, int hands) {
  server::Server::Config config;
  config.seed = seed;
  config.turnTimeSec = kUserTurnSec;
  config.handsPerGame = hands;
  return config;
}

// A program folder the live client may write its record file into.
struct TempFolder {
  std::string path;
  TempFolder() {
    char pattern[] = "/tmp/tavren-replay-test-XXXXXX";
    if (::mkdtemp(pattern) != nullptr) path = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

// A world with nothing but the clock: the replay needs no server, no lobby.
// Its own clock moves only as the player sleeps.
struct QuietHost : replay::Host {
  sim::RecordingSound soundDevice;
  TempFolder home;  // the program folder: nothing may be written into it
  std::string folder = home.path;
  std::int64_t clock = 0;
  int draws = 0;
  std::int64_t realNow() override { return clock; }
  void idleUntil(std::int64_t t) override { clock = std::max(clock, t); }
  void block(std::int64_t ms) override { clock += ms; }
  void draw() override { ++draws; }
  bool idle() override { return false; }
  SoundDevice& sound() override { return soundDevice; }
  std::string programFolder() override { return folder; }
};

// What a live game left behind: its kept file and the scenes at its hand ends.
struct LiveGame {
  replay::ReadResult file;
  HandEndScenes scenes;
  int handsPlayed = 0;     // as the server counted them
  bool keptEnded = false;  // the kept client ended during the game
  bool linkDropped = false;
  int connectAttempts = 0;  // of the seated client
};

enum class Twist { None, Watcher, LostLink };

inline LiveGame PlayLive(std::uint64_t seed, int hands, Twist twist) {
  LiveGame out;
  TempFolder folder;
  sim::World world;
  KeepingEnginePeer peer(world, kKeptHost, kKeptPort, KeptConfig(seed, hands));
  sim::SimPlatform seated(world);
  seated.folder = folder.path;
  Client amy(seated);
  seated.attach(amy);
  sim::SimPlatform watching(world);
  watching.folder = folder.path;
  Client eve(watching);
  watching.attach(eve);
  Client& kept = twist == Twist::Watcher ? eve : amy;
  sim::SimPlatform& keptPlatform = twist == Twist::Watcher ? watching : seated;
  peer.kept = &keptPlatform;
  peer.players = [&kept] {
    std::string s;
    for (int side = 0; side < 4; ++side)
      s += (side > 0 ? "|" : "") + kept.table.custom[static_cast<std::size_t>(side)].name;
    return s;
  };
  TakeHandEndScenes(kept, out.scenes);

  const std::string port = std::to_string(kKeptPort);
  StartUp(amy, std::string("amy$table=0;seat=0$") + kKeptHost + "$" + port + "$T1$0$$0$$$0$$$");
  if (twist == Twist::Watcher) {
    // Into the first hand before the watcher comes (it joins mid-hand).
    for (int i = 0; i < 600 && !(amy.table.HandInProgress && peer.server.wallLeft(0) < 70); ++i)
      world.loop.runFor(100);
    peer.startMs = world.loop.now();
    StartUp(eve,
            std::string("eve$watch=0;seat=1$") + kKeptHost + "$" + port + "$T1$900001$0$$0$$$0");
  }
  bool dropped = false;
  std::int64_t secondHand = -1;
  for (int i = 0; i < 20000 && peer.server.handsPlayed(0) < hands; ++i) {
    world.loop.runFor(100);
    // The link goes in the middle of the second hand as the client shows it
    // (the server may be ahead); the client resumes.
    if (secondHand < 0 && amy.table.HandNo == 2 && amy.table.HandInProgress)
      secondHand = world.loop.now();
    if (twist == Twist::LostLink && !dropped && secondHand >= 0 &&
        world.loop.now() > secondHand + 15000 && amy.table.HandInProgress &&
        amy.link.ReceiveRing.buffered() == 0 && seated.connection()) {
      dropped = true;
      peer.linkLost();
      seated.connection()->close();
    }
  }
  world.loop.runFor(5000);
  out.handsPlayed = peer.server.handsPlayed(0);
  out.keptEnded = kept.ended;
  out.linkDropped = dropped;
  out.connectAttempts = seated.connectAttempts;
  ForgetScenes(kept);

  out.file.header.account = twist == Twist::Watcher ? "eve" : "amy";
  out.file.header.caption = "T1";
  out.file.header.server = std::string(kKeptHost) + ":" + port;
  out.file.header.watcher = twist == Twist::Watcher;
  out.file.entries = peer.entries;
  for (std::size_t i = 0; i < out.file.entries.size(); ++i)
    if (out.file.entries[i].kind == replay::EntryKind::HandStart) out.file.handStarts.push_back(i);
  return out;
}

}  // namespace tavren::testing
