// The long run: four client cores seated at one table of the reference
// server's engine, playing by themselves in virtual time for many whole hands.
// After every draw, discard and meld each client's model is checked against
// the table as the server held it when it sent that frame (standing tiles of
// every side, the user's own tiles face by face, meld tiles, set-aside tiles,
// both wall ends), and at every hand's end the four coin results against the
// server's. The server refuses nothing the clients send.
//
// TAVREN_LONG_RUN_HANDS sets the number of hands (default 100; the full run is
// 1000). The test prints the hands played, the checks, the mismatches and the
// time taken.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/client.h"
#include "shell/startup.h"
#include "support/engine_peer.h"
#include "view/seats.h"

namespace tavren {
namespace {

namespace p = protocol;

constexpr const char* kHost = "127.0.0.1";
constexpr std::uint16_t kPort = 7000;

struct Sent {
  Frame frame;
  server::TableView table;
};

// One client, the frames the server addressed to its seat, and what was found.
struct Player {
  int seat = 0;
  std::unique_ptr<sim::SimPlatform> platform;
  std::unique_ptr<Client> c;
  Handlers original;
  std::deque<Sent> sent;
  int startPoint = 0, startFirst = 0;
  bool handFromStart = false;
  std::size_t handsEnded = 0;
  int checks = 0;
  std::vector<std::string> mismatches;
  std::deque<std::string> recent;  // the last frames this client handled
  void mismatch(const std::string& what) {
    std::string m = what;
    if (count == 0)
      for (const std::string& r : recent) m += "\n    after " + r;
    if (mismatches.size() < 20) mismatches.push_back(m);
    ++count;
  }
  int count = 0;
};

std::map<const Client*, Player*> g_players;
const std::vector<server::HandRecord>* g_hands = nullptr;

std::string Sorted(std::vector<int> v) {
  std::sort(v.begin(), v.end());
  std::ostringstream out;
  for (int x : v) out << std::hex << x << ' ';
  return out.str();
}

// A client's tile code as the server's view writes it: wild tiles 5.
int Normal(const Client& c, int code) {
  code &= 0xFF;
  if (code == kWildCode || (c.table.WildTileCode > 0 && code == (c.table.WildTileCode & 0xFF)))
    return kWildCode;
  return code;
}

int Normal(const server::TableView&, int code) {
  return code;
}

// The client's model against the table the server held when it sent `sent`.
void Compare(Player& pl, const Sent& sent, int type) {
  const Client& c = *pl.c;
  const server::TableView& v = sent.table;
  std::ostringstream where;
  where << "seat " << pl.seat << " type " << type << ": ";
  ++pl.checks;
  for (int seat = 0; seat < 4; ++seat) {
    const int side = SideOf(c, static_cast<std::uint8_t>(1 << seat));
    const HandRecord& h = c.table.custom[static_cast<std::size_t>(side)];
    const server::SeatView& s = v.seats[seat];
    if (h.count != static_cast<int>(s.hand.size()))
      pl.mismatch(where.str() + "seat " + std::to_string(seat) + " stands " +
                  std::to_string(h.count) + ", the server's " + std::to_string(s.hand.size()));
    if (h.redAside != s.redAside || h.wildAside != s.wildAside)
      pl.mismatch(where.str() + "seat " + std::to_string(seat) + " set-aside tiles differ");
    // Meld tiles: the slots laid from the side's first meld slot up to the
    // meld cursor (the three slots at the cursor hold a claim's provisional
    // copy until the server grants it).
    const int base = side == 0 ? 1 : 2;
    int meldTiles = 0;
    for (int k = base; k < h.meldCursor - 2 && k < h.first && k < kSlots; ++k)
      if (h.mj[static_cast<std::size_t>(k)].typ >= kSlotChi) ++meldTiles;
    if (meldTiles != s.meldTiles)
      pl.mismatch(where.str() + "seat " + std::to_string(seat) + " meld tiles " +
                  std::to_string(meldTiles) + ", the server's " + std::to_string(s.meldTiles));
    if (side == 0) {
      std::vector<int> mine;
      for (int k = h.first; k < h.first + h.count && k < kSlots; ++k)
        mine.push_back(Normal(c, h.mj[static_cast<std::size_t>(k)].value));
      std::vector<int> theirs;
      for (int code : s.hand) theirs.push_back(Normal(v, code));
      if (Sorted(mine) != Sorted(theirs))
        pl.mismatch(where.str() + "own tiles " + Sorted(mine) + "| the server's " + Sorted(theirs));
    }
  }
  if (pl.handFromStart) {
    const int front = (c.table.MJPOINT - pl.startPoint + kWallTiles) % kWallTiles;
    int back = 0;
    for (int at = pl.startFirst; at != c.table.MJFIRST && back <= kWallTiles;
         at = NextBackPosition(at))
      ++back;
    if (front != v.front % kWallTiles || back != v.backTaken)
      pl.mismatch(where.str() + "wall ends " + std::to_string(front) + "/" + std::to_string(back) +
                  ", the server's " + std::to_string(v.front) + "/" + std::to_string(v.backTaken));
  }
}

void Checked(Client& c, const InfoRecord& rec) {
  Player& pl = *g_players.at(&c);
  const int type = rec.itype;
  const int kind = rec.value[0];
  const Frame frame = c.link.LastFrame;
  {
    std::ostringstream r;
    r << "type " << type << " seat " << int(rec.seat) << " values " << std::hex << rec.value[0]
      << "," << rec.value[1] << "," << rec.value[2] << "," << rec.value[3];
    pl.recent.push_back(r.str());
    if (pl.recent.size() > 12) pl.recent.pop_front();
  }
  pl.original.byType[static_cast<std::size_t>(type)](c, rec);
  // The frame as the server sent it to this seat, and the table at that moment.
  std::size_t at = 0;
  while (at < pl.sent.size() && at < 16 && pl.sent[at].frame != frame) ++at;
  if (at == pl.sent.size() || at == 16) return;  // a frame sent outside the table's flow
  const Sent sent = pl.sent[at];
  pl.sent.erase(pl.sent.begin(), pl.sent.begin() + static_cast<std::ptrdiff_t>(at) + 1);
  switch (type) {
    case p::kInsNewHand:
      pl.handFromStart = true;
      pl.startPoint = c.table.MJPOINT;
      pl.startFirst = c.table.MJFIRST;
      break;
    case p::kInsDraw:
    case p::kInsDiscard:
      Compare(pl, sent, type);
      break;
    case p::kInsMeld:
      if (kind != p::kClaimHu) Compare(pl, sent, type);
      break;
    case p::kInsResult:
      if (c.handEnd.ResultCount != 0) break;  // the fourth result of the hand
      if (g_hands != nullptr && pl.handsEnded < g_hands->size()) {
        const server::HandRecord& r = (*g_hands)[pl.handsEnded];
        ++pl.checks;
        for (int seat = 0; seat < 4; ++seat) {
          const int side = SideOf(c, static_cast<std::uint8_t>(1 << seat));
          if (c.table.custom[static_cast<std::size_t>(side)].gold != r.results[seat])
            pl.mismatch("seat " + std::to_string(pl.seat) + " hand " + std::to_string(r.handNo) +
                        ": result of seat " + std::to_string(seat) + " " +
                        std::to_string(c.table.custom[static_cast<std::size_t>(side)].gold) +
                        ", the server's " + std::to_string(r.results[seat]));
        }
      }
      ++pl.handsEnded;
      pl.handFromStart = false;
      break;
    default:
      break;
  }
}

int HandsToPlay() {
  const char* n = std::getenv("TAVREN_LONG_RUN_HANDS");
  const int hands = n != nullptr ? std::atoi(n) : 0;
  return hands > 0 ? hands : 100;
}

TEST(LongRun, FourClientsFollowEveryHandOfTheServerWithoutAMismatch) {
  const int hands = HandsToPlay();
  const auto started = std::chrono::steady_clock::now();
  sim::World world;
  server::Server::Config config;
  config.seed = 2026;
  config.turnTimeSec = 3;
  // The server's own grace for a human seat (its default) covers the clients'
  // tile motion: no answer comes after the robot has acted for the seat.
  // A thousand hands at the room stake never run a player short of gold.
  config.startGold = 100000000;
  testing::EnginePeer peer(world, kHost, kPort, config);
  std::vector<std::string> refusals;
  peer.server.setLogSink([&](const std::string& line) {
    if (line.find("refused") != std::string::npos && refusals.size() < 20) refusals.push_back(line);
  });
  std::vector<server::HandRecord> played;
  g_hands = &played;
  peer.server.setHandSink([&](const server::HandRecord& r) {
    if (r.table == 0) played.push_back(r);
  });
  std::vector<std::unique_ptr<Player>> players;
  for (int seat = 0; seat < 4; ++seat) {
    auto pl = std::make_unique<Player>();
    pl->seat = seat;
    pl->platform = std::make_unique<sim::SimPlatform>(world);
    pl->c = std::make_unique<Client>(*pl->platform);
    pl->platform->attach(*pl->c);
    pl->platform->instanceLockFree = true;
    g_players[pl->c.get()] = pl.get();
    players.push_back(std::move(pl));
  }
  peer.server.setFrameTap([&](int table, int seat, std::span<const std::uint8_t> bytes) {
    if (table != 0 || seat < 0 || seat > 3) return;
    Sent s;
    std::copy(bytes.begin(), bytes.end(), s.frame.begin());
    s.table = peer.server.tableView(0);
    players[static_cast<std::size_t>(seat)]->sent.push_back(std::move(s));
  });
  for (auto& pl : players) {
    Client& c = *pl->c;
    StartUp(c, "p" + std::to_string(pl->seat) + "$table=0;seat=" + std::to_string(pl->seat) + "$" +
                   kHost + "$" + std::to_string(kPort) + "$T1$0$$0$$$1$Qixo山庄$T1$");
    ASSERT_FALSE(c.ended);
    pl->original = c.handlers;
    for (std::size_t i = 0; i < c.handlers.byType.size(); ++i)
      if (c.handlers.byType[i] != nullptr) c.handlers.byType[i] = Checked;
  }
  // Until the hands are played, a client ends, or the table stands still for
  // half an hour of virtual time.
  int lastHands = -1, still = 0;
  while (peer.server.handsPlayed(0) < hands && still < 30) {
    world.loop.runFor(60 * 1000);
    bool anyEnded = false;
    for (auto& pl : players) anyEnded |= pl->c->ended;
    if (anyEnded) break;
    still = peer.server.handsPlayed(0) == lastHands ? still + 1 : 0;
    lastHands = peer.server.handsPlayed(0);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  int checks = 0, mismatches = 0;
  for (auto& pl : players) {
    checks += pl->checks;
    mismatches += pl->count;
  }
  std::printf(
      "long run: %d hands, %d checks, %d mismatches, %zu refusals, %.1f s real time, %.0f min "
      "virtual\n",
      peer.server.handsPlayed(0), checks, mismatches, refusals.size(), seconds,
      static_cast<double>(world.loop.now()) / 60000.0);
  EXPECT_GE(peer.server.handsPlayed(0), hands);
  for (auto& pl : players) {
    EXPECT_FALSE(pl->c->ended) << "seat " << pl->seat;
    EXPECT_GE(pl->handsEnded, static_cast<std::size_t>(hands) - 1) << "seat " << pl->seat;
    for (const std::string& m : pl->mismatches) ADD_FAILURE() << m;
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(checks, 100 * hands);
  for (const std::string& line : refusals) ADD_FAILURE() << line;
  g_players.clear();
  g_hands = nullptr;
}

}  // namespace
}  // namespace tavren
