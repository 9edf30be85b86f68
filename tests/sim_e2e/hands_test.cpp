// Whole hands against the reference server's engine: a seated client and a
// watcher follow every deal, draw, discard, meld and flower, and the table
// model stays whole after every instruction.
#include <gtest/gtest.h>

#include <array>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/client.h"
#include "shell/startup.h"
#include "support/engine_peer.h"
#include "view/seats.h"

namespace tavren {
namespace {

constexpr const char* kHost = "127.0.0.1";
constexpr std::uint16_t kPort = 7000;

server::Server::Config Config(std::uint64_t seed) {
  server::Server::Config config;
  config.seed = seed;
  config.turnTimeSec = 3;
  return config;
}

// Tiles a side holds: standing tiles plus three per meld laid.
int Held(const HandRecord& h) {
  return h.count + (h.first - 4);
}

// Everything that must hold of the model after any instruction; empty when it does.
std::string Inconsistency(const Client& c) {
  std::ostringstream out;
  const TableModel& t = c.table;
  if (t.MJPOINT < 0 || t.MJPOINT >= kWallTiles) out << "MJPOINT " << t.MJPOINT << "; ";
  if (t.MJFIRST < 0 || t.MJFIRST >= kWallTiles) out << "MJFIRST " << t.MJFIRST << "; ";
  std::set<int> controls;
  for (int s = 0; s < kSides; ++s) {
    const HandRecord& h = t.custom[static_cast<std::size_t>(s)];
    if (h.count < 0 || h.first < 0 || h.first + h.count > kSlots)
      out << "side " << s << " first " << h.first << " count " << h.count << "; ";
    if (h.meldCursor > h.first)
      out << "side " << s << " meld cursor " << h.meldCursor << " in the row; ";
    for (int k = 0; k < kSlots; ++k) {
      const TileSlot& slot = h.mj[static_cast<std::size_t>(k)];
      const bool standing = k >= h.first && k < h.first + h.count;
      const bool meld = k < h.first && slot.typ >= kSlotChi;
      if (!standing && !meld) continue;
      if (slot.ind < 0 || slot.ind >= kWallTiles) {
        out << "side " << s << " slot " << k << " ind " << slot.ind << "; ";
        continue;
      }
      if (!controls.insert(slot.ind).second)
        out << "control " << slot.ind << " twice (side " << s << " slot " << k << "); ";
    }
  }
  return out.str();
}

struct Watch {
  Handlers original;
  // Tiles a side holds after its discard: 13, and for a watcher one more per
  // kong restored from the snapshot (its fourth tile takes a slot there).
  int heldAfterDiscardMax = 13;
  int frames = 0;
  int discards = 0, draws = 0, melds = 0, flowers = 0, hands = 0;
  std::vector<std::string> faults;
  // The wall's two ends: where they stood when the hand began, and the wall
  // left at each hand's end as the server counted it (in the order played).
  const std::vector<int>* serverWallLeft = nullptr;
  std::size_t handEnds = 0;  // hands the client has seen end
  bool handFromStart = false, handEnded = true;
  int startPoint = 0, startFirst = 0, wallChecks = 0;
};

// Tiles left in the wall by the client's two ends, from where they started.
int WallLeft(int startPoint, int startFirst, int point, int first) {
  const int front = (point - startPoint + kWallTiles) % kWallTiles;
  int back = 0;
  for (int at = startFirst; at != first && back <= kWallTiles; at = NextBackPosition(at)) ++back;
  return kWallTiles - front - back;
}
Watch* g_watch = nullptr;

// Runs the client's own handler, then checks the model it left.
void Checked(Client& c, const InfoRecord& r) {
  Watch& w = *g_watch;
  const int type = r.itype;
  const std::uint8_t seat = r.seat;
  try {
    w.original.byType[static_cast<std::size_t>(type)](c, r);
  } catch (const std::exception& e) {
    if (w.faults.size() < 20)
      w.faults.push_back("frame " + std::to_string(w.frames + 1) + " type " + std::to_string(type) +
                         " failed: " + e.what());
    throw;
  }
  ++w.frames;
  const bool inHand = c.play.RevealCount == 0 && c.table.HandInProgress;
  std::string fault = inHand ? Inconsistency(c) : std::string();
  const int side = SideOf(c, seat & 15);
  const HandRecord& h = c.table.custom[static_cast<std::size_t>(side)];
  switch (type) {
    case protocol::kInsDiscard:
      ++w.discards;
      if (Held(h) != 13)
        fault += "side " + std::to_string(side) + " holds " + std::to_string(Held(h)) +
                 " after a discard; ";
      break;
    case protocol::kInsDraw:
      ++w.draws;
      break;
    case protocol::kInsMeld:
      ++w.melds;
      if (inHand && Held(h) != 13 && Held(h) != 14 && r.value[0] != 128)
        fault += "side " + std::to_string(side) + " holds " + std::to_string(Held(h)) +
                 " after a meld; ";
      break;
    case protocol::kInsFlower:
      ++w.flowers;
      break;
    case protocol::kInsNewHand:
      ++w.hands;
      w.handFromStart = true;
      w.handEnded = false;
      w.startPoint = c.table.MJPOINT;
      w.startFirst = c.table.MJFIRST;
      break;
    case protocol::kInsSnapshot:
      w.handFromStart = false;
      w.handEnded = false;
      break;
    case protocol::kInsResult:
      if (w.handEnded || w.serverWallLeft == nullptr) break;
      w.handEnded = true;
      if (w.handFromStart && w.handEnds < w.serverWallLeft->size()) {
        // The tile turned up for the wild tile stands on the client's wall; the
        // server no longer counts it.
        const int expected = (*w.serverWallLeft)[w.handEnds] + 1;
        const int left = WallLeft(w.startPoint, w.startFirst, c.table.MJPOINT, c.table.MJFIRST);
        ++w.wallChecks;
        if (left != expected)
          fault += "wall left " + std::to_string(left) + ", the server's " +
                   std::to_string(expected) + "; ";
      }
      ++w.handEnds;
      break;
    default:
      break;
  }
  if (!fault.empty() && w.faults.size() < 20)
    w.faults.push_back("frame " + std::to_string(w.frames) + " type " + std::to_string(type) +
                       ": " + fault);
}

void WatchHandlers(Client& c, Watch& w) {
  g_watch = &w;
  w.original = c.handlers;
  for (std::size_t i = 0; i < c.handlers.byType.size(); ++i)
    if (c.handlers.byType[i] != nullptr && i != protocol::kInsResumed)
      c.handlers.byType[i] = Checked;
}

struct Session {
  explicit Session(std::uint64_t seed) : peer(world, kHost, kPort, Config(seed)) {
    platform.attach(c);
  }
  sim::World world;
  testing::EnginePeer peer;
  sim::SimPlatform platform{world};
  Client c{platform};
  void Start(const std::string& account, const std::string& key, bool watching = false) {
    StartUp(c, account + "$" + key + "$" + kHost + "$" + std::to_string(kPort) + "$T1$0$$0$$$0$$" +
                   (watching ? "" : "$"));
  }
};

TEST(EngineHands, TenHandsKeepEveryRowWallAndMeldWhole) {
  Session s(11);
  Watch w;
  WatchHandlers(s.c, w);
  s.Start("amy", "table=0;seat=0");
  for (int minute = 0; minute < 60 && s.peer.server.handsPlayed(0) < 10; ++minute)
    s.world.loop.runFor(60 * 1000);
  EXPECT_GE(s.peer.server.handsPlayed(0), 10);
  EXPECT_FALSE(s.c.ended);
  EXPECT_GE(w.hands, 10);
  EXPECT_GT(w.discards, 100);
  EXPECT_GT(w.draws, 100);
  EXPECT_GT(w.melds, 0);
  EXPECT_GT(w.flowers, 0);
  for (const std::string& f : w.faults) ADD_FAILURE() << f;
}

// What the server revealed of each side at a hand's end, against what the
// client counted that side held when its reveal began.
struct RevealCheck {
  Handlers original;
  std::array<int, kSides> countAtReveal{};  // −1: no reveal yet this hand
  std::array<int, kSides> revealed{};
  int winSide = -1, winTile = 0;
  std::vector<std::string> faults;
  int hand = 0;  // hands the client saw begin
  int robbedHand = 0;
  bool robbedChecked = false;
};
RevealCheck* g_reveal = nullptr;

void CheckedReveal(Client& c, const InfoRecord& r) {
  RevealCheck& k = *g_reveal;
  const int side = SideOf(c, r.seat & 15);
  if (r.itype == protocol::kInsNewHand) {
    ++k.hand;
    k.countAtReveal.fill(-1);
    k.revealed.fill(0);
  }
  if (r.itype == protocol::kInsMeld && r.value[0] == protocol::kClaimHu && k.winSide < 0) {
    k.winSide = side;
    k.winTile = r.value[3] & 0xFF;
  }
  if (r.itype == protocol::kInsReveal) {
    if (k.countAtReveal[static_cast<std::size_t>(side)] < 0)
      k.countAtReveal[static_cast<std::size_t>(side)] =
          c.table.custom[static_cast<std::size_t>(side)].count;
    for (int i = 0; i < 4; ++i)
      k.revealed[static_cast<std::size_t>(side)] += (r.value[i] & 0xFF) != 0;
  }
  const bool firstResult = r.itype == protocol::kInsResult && c.handEnd.ResultCount == 0;
  k.original.byType[static_cast<std::size_t>(r.itype)](c, r);
  if (firstResult && k.hand == k.robbedHand && !k.robbedChecked) {
    k.robbedChecked = true;
    for (int s = 1; s < kSides; ++s) {
      const int counted = k.countAtReveal[static_cast<std::size_t>(s)];
      const int shown = k.revealed[static_cast<std::size_t>(s)];
      // The winner's reveal names the robbed tile last, beside what the client counts.
      const int extra = s == k.winSide ? 1 : 0;
      if (shown != counted + extra)
        k.faults.push_back("side " + std::to_string(s) + ": the client counted " +
                           std::to_string(counted) + ", the server revealed " +
                           std::to_string(shown));
      if (c.table.custom[static_cast<std::size_t>(s)].count != 0)
        k.faults.push_back("side " + std::to_string(s) + " never completed its reveal");
    }
    // The robbed tile, face up, in the winner's row where a winning discard goes.
    const int control = c.table.LastDiscardInd;
    const Control* tile =
        ValidControl(control) ? &c.view.MJ_Image[static_cast<std::size_t>(control)] : nullptr;
    if ((c.table.LastDiscard & 0xFF) != k.winTile || tile == nullptr || !tile->visible ||
        tile->x == (c.view.pic1W - tile->w) / 2)
      k.faults.push_back("the robbed tile is not in the winner's row");
  }
  if (r.itype == protocol::kInsNewHand) k.winSide = -1;
}

// A kong robbed at a busy table, followed by a watcher: the side that added
// the tile holds one tile fewer than it drew, as the server reveals it; every
// row completes and turns face up, and the robbed tile lies in the winner's row.
TEST(EngineHands, ARobbedKongIsRevealedAsTheWatcherCountsEverySide) {
  sim::World world;
  server::Server::Config config = Config(1);  // the 130th hand of seed 1 is won on a robbed kong
  testing::EnginePeer peer(world, kHost, kPort, config);
  int hands = 0, robbed = 0, winnerSeat = -1, adderSeat = -1;
  peer.server.setHandSink([&](const server::HandRecord& h) {
    ++hands;
    if (h.robbedKong && robbed == 0) {
      robbed = hands;
      winnerSeat = h.winner;
      adderSeat = h.discarder;
    }
  });
  sim::SimPlatform platform(world);
  Client watcher(platform);
  platform.attach(watcher);
  RevealCheck k;
  g_reveal = &k;
  k.original = watcher.handlers;
  for (std::size_t i = 0; i < watcher.handlers.byType.size(); ++i)
    if (watcher.handlers.byType[i] != nullptr && i != protocol::kInsResumed)
      watcher.handlers.byType[i] = CheckedReveal;
  // Seat 3 is watched, so that neither the winner (seat 1) nor the seat that
  // added the tile (seat 0) is the watcher's own side.
  StartUp(watcher, std::string("eve$watch=0;seat=3$") + kHost + "$" + std::to_string(kPort) +
                       "$T1$900003$0$$0$$$0");
  ASSERT_TRUE(watcher.table.Watching);
  k.robbedHand = 130;
  for (int minute = 0; minute < 24 * 60 && !k.robbedChecked && hands < 140; ++minute)
    world.loop.runFor(60 * 1000);
  ASSERT_EQ(robbed, 130) << "the seed no longer robs that kong";
  EXPECT_EQ(winnerSeat, 1);
  EXPECT_EQ(adderSeat, 0);
  EXPECT_FALSE(watcher.ended);
  ASSERT_TRUE(k.robbedChecked);
  for (const std::string& f : k.faults) ADD_FAILURE() << f;
}

TEST(EngineHands, AWatcherJoiningMidHandSeesTheTableAndFollowsTheHandsAfter) {
  Session s(23);
  s.Start("amy", "table=0;seat=0");
  // Into a hand: the deal is done and play has gone round a few times.
  for (int i = 0; i < 600 && !(s.c.table.HandInProgress && s.peer.server.wallLeft(0) < 70); ++i)
    s.world.loop.runFor(100);
  ASSERT_TRUE(s.c.table.HandInProgress);
  const int handsBefore = s.peer.server.handsPlayed(0);

  sim::SimPlatform other(s.world);
  Client watcher(other);
  other.attach(watcher);
  Watch w;
  w.heldAfterDiscardMax = 17;
  WatchHandlers(watcher, w);
  // The watched player is the robot at seat 1 (user id 900000 + 4 × table + seat).
  StartUp(watcher, std::string("eve$watch=0;seat=1$") + kHost + "$" + std::to_string(kPort) +
                       "$T1$900001$0$$0$$$0");
  ASSERT_FALSE(watcher.ended);
  ASSERT_TRUE(watcher.table.Watching);
  for (int i = 0; i < 100 && !watcher.tableView.ViewRestored; ++i) s.world.loop.runFor(100);
  ASSERT_TRUE(watcher.table.LoginAccepted);
  ASSERT_TRUE(watcher.tableView.ViewRestored);
  EXPECT_GT(watcher.table.WildTileCode, 0);
  EXPECT_TRUE(watcher.view.QX_Image.visible);
  EXPECT_EQ(Inconsistency(watcher), "");
  for (int side = 0; side < kSides; ++side) {
    const HandRecord& h = watcher.table.custom[static_cast<std::size_t>(side)];
    // Standing tiles plus meld tiles: 13 or 14, one more per kong.
    EXPECT_GE(Held(h), 13) << side;
    EXPECT_LE(Held(h), 18) << side;
  }
  // The rest of the hand, and the hands after it, are followed from their
  // instructions.
  const int framesAtRestore = w.frames;
  for (int minute = 0; minute < 20 && s.peer.server.handsPlayed(0) < handsBefore + 3; ++minute)
    s.world.loop.runFor(60 * 1000);
  EXPECT_GE(s.peer.server.handsPlayed(0), handsBefore + 3);
  EXPECT_FALSE(watcher.ended);
  EXPECT_GT(w.frames - framesAtRestore, 200);
  EXPECT_GE(w.hands, 2);
  EXPECT_GT(w.discards, 50);
  for (const std::string& f : w.faults) ADD_FAILURE() << f;
}

}  // namespace
}  // namespace tavren

namespace tavren {
namespace {

// Robots of a busy table at several paces, a watcher joining three seconds in:
// the watcher follows every hand for five minutes and never leaves by itself.
TEST(EngineHands, AWatcherOfABusyTableKeepsWatchingAtEveryRobotPace) {
  for (int pace : {150, 300, 500, 700}) {
    SCOPED_TRACE("robot pace " + std::to_string(pace) + " ms");
    sim::World world;
    server::Server::Config config = Config(12);
    config.busyTables = true;
    config.robotDelayMs = pace;
    testing::EnginePeer peer(world, kHost, kPort, config);
    std::vector<std::string> refusals;
    peer.server.setLogSink([&](const std::string& line) {
      if (line.find("refused") != std::string::npos) refusals.push_back(line);
    });
    std::vector<int> wallLeft;
    peer.server.setHandSink([&](const server::HandRecord& h) {
      if (h.table == 0) wallLeft.push_back(h.wallLeft);
    });
    world.loop.runFor(3000);
    sim::SimPlatform platform(world);
    Client watcher(platform);
    platform.attach(watcher);
    Watch w;
    w.heldAfterDiscardMax = 17;
    WatchHandlers(watcher, w);
    const int handsBefore = peer.server.handsPlayed(0);
    w.serverWallLeft = &wallLeft;
    w.handEnds = static_cast<std::size_t>(handsBefore);
    StartUp(watcher, std::string("eve$watch=0;seat=1$") + kHost + "$" + std::to_string(kPort) +
                         "$T1$900001$0$$0$$$0");
    ASSERT_TRUE(watcher.table.Watching);
    for (int s = 0; s < 300 && !watcher.ended; s += 10) world.loop.runFor(10 * 1000);
    EXPECT_FALSE(watcher.ended);
    for (const sim::LobbyRecord& r : platform.lobby.received)
      EXPECT_FALSE(r.message == kWmSysCommand && r.wParam == kScRestore) << "lobby restored";
    EXPECT_EQ(watcher.log.count("TimeoutMove") + watcher.log.count("AutoPlayMove"), 0);
    EXPECT_EQ(refusals, std::vector<std::string>{});
    EXPECT_GE(peer.server.handsPlayed(0), handsBefore + 2);
    EXPECT_GT(w.flowers, 0);
    EXPECT_GE(w.wallChecks, 2);
    for (const std::string& f : w.faults) ADD_FAILURE() << f;
  }
}

}  // namespace
}  // namespace tavren
