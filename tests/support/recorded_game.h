// A game played by the client core against the reference server's engine in
// virtual time, kept by the client's own recorder and read back from its file:
// what the replay tests and the jump benchmark play again. What the core took
// and the scene at every hand's end (after each result and settlement
// instruction) are kept too, so a replay can be held against them.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/client.h"
#include "platform/sim/sim_world.h"
#include "replay/player.h"
#include "replay/recorder.h"
#include "replay/replay_file.h"
#include "server/engine/server.h"
#include "shell/startup.h"
#include "support/engine_peer.h"

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

// What one core took and showed: every frame handed to its dispatcher, in
// order, and at every result and settlement instruction the scene; at each
// hand's end the players and the result as a kept game names them.
struct HandEndScenes {
  std::vector<std::string> scenes;
  std::vector<int> handNumbers;
  std::vector<Frame> dispatched;
  std::vector<std::string> results;
  std::vector<std::string> players;
};

namespace detail {
struct Watched {
  HandEndScenes* sink = nullptr;
  std::array<Handler, 256> original{};
};
inline std::map<const Client*, Watched>& WatchedCores() {
  static std::map<const Client*, Watched> cores;
  return cores;
}
template <std::size_t Type>
void Watch(Client& c, const InfoRecord& r) {
  const auto it = WatchedCores().find(&c);
  if (it == WatchedCores().end()) return;
  HandEndScenes& sink = *it->second.sink;
  const Handler original = it->second.original[Type];
  sink.dispatched.push_back(c.link.LastFrame);
  const int resultsBefore = c.handEnd.ResultCount;
  const int settlementsBefore = c.handEnd.SettleCount;
  if (original != nullptr) original(c, r);
  if constexpr (Type == protocol::kInsResult || Type == protocol::kInsSettlement) {
    sink.scenes.push_back(SceneText(c));
    sink.handNumbers.push_back(c.table.HandNo);
    // The fourth settlement ends a won hand; the fourth result, all of them
    // zero, a drawn one.
    bool drawn = false, ended = false;
    if constexpr (Type == protocol::kInsSettlement) {
      ended = settlementsBefore == kSides - 1;
    } else {
      drawn = ended = resultsBefore == kSides - 1 &&
                      std::all_of(c.table.custom.begin(), c.table.custom.end(),
                                  [](const HandRecord& h) { return h.gold == 0; });
    }
    if (ended) {
      sink.results.push_back(HandEndResult(c, drawn));
      sink.players.push_back(HandEndPlayers(c));
    }
  }
}
template <std::size_t... Types>
constexpr std::array<Handler, sizeof...(Types)> Watchers(std::index_sequence<Types...>) {
  return {Watch<Types>...};
}
}  // namespace detail

// Watches `c` into `sink` until ForgetScenes: every handler slot is wrapped,
// so frames of a type the core ignores are seen too.
inline void TakeHandEndScenes(Client& c, HandEndScenes& sink) {
  detail::Watched& w = detail::WatchedCores()[&c];
  w.sink = &sink;
  w.original = c.handlers.byType;
  static constexpr auto watchers = detail::Watchers(std::make_index_sequence<256>());
  c.handlers.byType = watchers;
}
inline void ForgetScenes(Client& c) {
  const auto it = detail::WatchedCores().find(&c);
  if (it == detail::WatchedCores().end()) return;
  c.handlers.byType = it->second.original;
  detail::WatchedCores().erase(it);
}

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

// What a live game left behind: the file the client's own recorder kept,
// read back, and what the kept core took and showed.
struct LiveGame {
  replay::ReadResult file;
  std::vector<std::uint8_t> fileBytes;  // the file as the recorder wrote it
  int keptFiles = 0;                    // files in the client's replays folder
  HandEndScenes scenes;
  std::vector<Frame> sent;  // what the kept client wrote to its connections, in order
  int handsPlayed = 0;      // as the server counted them
  bool keptEnded = false;   // the kept client ended during the game
  bool linkDropped = false;
  int connectAttempts = 0;  // of the seated client
};

enum class Twist { None, Watcher, LostLink };

inline LiveGame PlayLive(std::uint64_t seed, int hands, Twist twist) {
  LiveGame out;
  TempFolder folder;
  sim::World world;
  EnginePeer peer(world, kKeptHost, kKeptPort, KeptConfig(seed, hands));
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
  // The kept client records as the program does: into the replays folder
  // beside its record file.
  const std::string replays = replay::ReplayFolder(keptPlatform.programFolder());
  EnableRecording(kept, replays, {}, "sim");
  std::vector<std::uint8_t> sentBytes;
  peer.onClientBytes = [&](const sim::Connection& conn, std::span<const std::uint8_t> bytes) {
    if (&conn == keptPlatform.connection())
      sentBytes.insert(sentBytes.end(), bytes.begin(), bytes.end());
  };
  TakeHandEndScenes(kept, out.scenes);

  const std::string port = std::to_string(kKeptPort);
  StartUp(amy, std::string("amy$table=0;seat=0$") + kKeptHost + "$" + port + "$T1$0$$0$$$0$$$");
  if (twist == Twist::Watcher) {
    // Into the first hand before the watcher comes (it joins mid-hand).
    for (int i = 0; i < 600 && !(amy.table.HandInProgress && peer.server.wallLeft(0) < 70); ++i)
      world.loop.runFor(100);
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
      seated.connection()->close();
    }
  }
  world.loop.runFor(5000);
  out.handsPlayed = peer.server.handsPlayed(0);
  out.keptEnded = kept.ended;
  out.linkDropped = dropped;
  out.connectAttempts = seated.connectAttempts;
  ForgetScenes(kept);
  out.sent = sim::SplitFrames(sentBytes);

  // The game is still open: what the last tick handled is on disk already.
  const std::vector<replay::KeptGame> files = replay::ListReplays(replays);
  out.keptFiles = static_cast<int>(files.size());
  if (files.empty()) return out;
  out.file = replay::ReadReplay(files.front().path);
  std::ifstream in(files.front().path, std::ios::binary);
  out.fileBytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return out;
}

}  // namespace tavren::testing
