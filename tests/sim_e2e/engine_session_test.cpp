// A client logs in at the reference server's engine and keeps the link alive
// through whole hands the robots play, in virtual time.
#include <gtest/gtest.h>

#include <cstdio>

#include "core/client.h"
#include "shell/startup.h"
#include "support/engine_peer.h"

namespace tavren {
namespace {

constexpr const char* kHost = "127.0.0.1";
constexpr std::uint16_t kPort = 7000;

server::Server::Config Config() {
  server::Server::Config config;
  config.seed = 11;
  config.turnTimeSec = 9;
  return config;
}

struct Session {
  sim::World world;
  testing::EnginePeer peer{world, kHost, kPort, Config()};
  sim::SimPlatform platform{world};
  Client c{platform};
  Session() { platform.attach(c); }
  void Start(const std::string& key) {
    StartUp(c, "amy$" + key + "$" + kHost + "$" + std::to_string(kPort) + "$T1$0$$0$$$0$$$");
  }
};

TEST(EngineSession, LogsInWithTheServersTurnTimeAndStaysConnected) {
  Session s;
  s.Start("table=0;seat=0");
  s.world.loop.runFor(2000);
  EXPECT_TRUE(s.c.table.LoginAccepted);
  EXPECT_EQ(s.c.offer.TurnTime, 9);
  // The login's two lines, scrolled up by the server's notice of the first hand.
  EXPECT_EQ(s.c.view.Sysmsg[0].text(), "三片起胡,吃牌上听");
  EXPECT_EQ(s.c.view.Sysmsg[1].text(), "系统提示: 牌局将在3秒后开始，请稍候");
  EXPECT_EQ(s.platform.lobby.count(kWmClear), 1);
  // Hands come and go for ten virtual minutes; the client follows the frames
  // without falling behind and never loses the link.
  s.world.loop.runFor(10 * 60 * 1000);
  EXPECT_FALSE(s.c.ended);
  EXPECT_EQ(s.platform.socketState(), kSocketConnected);
  EXPECT_GT(s.c.link.LinkToken[0] + s.c.link.LinkToken[1], 0);
  EXPECT_LT(s.c.link.ReceiveRing.buffered(), 20 * 272u);
}

TEST(EngineSession, ATakenSeatIsRefusedAndTheClientEnds) {
  Session s;
  s.Start("table=0;seat=1");
  s.world.loop.runFor(2000);
  ASSERT_TRUE(s.c.table.LoginAccepted);
  // A second client for the same seat.
  sim::SimPlatform other(s.world);
  Client second(other);
  other.attach(second);
  other.instanceLockFree = true;
  StartUp(second, std::string("bob$table=0;seat=1$") + kHost + "$" + std::to_string(kPort) +
                      "$T1$0$$0$$$0$$$");
  s.world.loop.runFor(2000);
  EXPECT_TRUE(second.ended);
  EXPECT_EQ(second.view.Sysmsg[0].text(), "启动游戏失败，请重新在大厅就座后进入游戏！");
  EXPECT_FALSE(s.c.ended);
}

TEST(EngineSession, TheLeaveRequestFreesTheSeat) {
  Session s;
  s.Start("table=0;seat=2");
  s.world.loop.runFor(2000);
  ASSERT_TRUE(s.c.table.LoginAccepted);
  OnLobbyMessage(s.c, kWmUser, 0, 0);
  s.world.loop.runFor(1000);
  EXPECT_EQ(s.platform.socketState(), kSocketClosed);
  // Sitting down again logs in afresh on the same seat.
  OnLobbyMessage(s.c, kWmEndSession, 0, 0);
  s.world.loop.runFor(2000);
  EXPECT_TRUE(s.c.table.LoginAccepted);
  EXPECT_FALSE(s.c.ended);
}

}  // namespace
}  // namespace tavren

namespace tavren {
namespace {

// A user who clicks nothing: from start-up to the own hand dealt, face up and
// sorted, in virtual time (the wind draw, the seating, the dice and the deal
// with all their pauses included).
TEST(EngineSession, TheFirstHandLiesFaceUpInTheUsersRowWithoutAClick) {
  Session s;
  const std::int64_t start = s.world.loop.now();
  s.Start("table=0;seat=1");
  std::int64_t faceUp = -1;
  for (int step = 0; step < 400 && faceUp < 0; ++step) {
    s.world.loop.runFor(50);
    const HandRecord& h = s.c.table.custom[0];
    if (s.c.table.HandInProgress && h.count >= 13 && s.c.table.WildTileCode > 0)
      faceUp = s.world.loop.now() - start;
  }
  ASSERT_GE(faceUp, 0) << "no hand within 20 s";
  std::printf("first hand face up after %.1f s of virtual time\n", faceUp / 1000.0);
  EXPECT_LT(faceUp, 8000);
}

}  // namespace
}  // namespace tavren

#include "input/input.h"
#include "view/access.h"
#include "view/seats.h"

namespace tavren {
namespace {

// The server starts a game's first hand without a ready from the user, and the
// user's own record (instruction 20) comes just before it. The hand still makes
// the table active: a hovered tile rises, and the ready button does nothing
// (no ready request, no table cleared under the running hand).
TEST(EngineSession, TheFirstHandStartedByTheServerIsPlayedAtAnActiveTable) {
  Session s;
  s.Start("table=0;seat=1");
  bool dealt = false;
  for (int step = 0; step < 400 && !dealt; ++step) {
    s.world.loop.runFor(50);
    dealt =
        s.c.table.HandInProgress && s.c.table.custom[0].count >= 13 && s.c.table.WildTileCode > 0;
  }
  ASSERT_TRUE(dealt) << "no hand within 20 s";
  ASSERT_EQ(s.c.table.HandNo, 1);
  EXPECT_TRUE(s.c.input.TableActive);

  const HandRecord& h = s.c.table.custom[0];
  const int ind = Slot(h, h.first).ind;
  ASSERT_TRUE(ValidControl(ind));
  OnTileHover(s.c, ind);
  EXPECT_LT(Tile(s.c, ind).y, h.handY);
  EXPECT_EQ(s.c.input.Pointer, kPointerHand);

  const std::size_t queued = s.c.link.SendRing.buffered();
  const int count = h.count;
  OnControlBarClick(s.c, 2);
  EXPECT_EQ(s.c.link.SendRing.buffered(), queued);
  EXPECT_EQ(h.count, count);
  EXPECT_TRUE(Tile(s.c, ind).visible);
  EXPECT_FALSE(s.c.view.OK[0].visible);
  EXPECT_TRUE(s.c.table.HandInProgress);
}

}  // namespace
}  // namespace tavren
