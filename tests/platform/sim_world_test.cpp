// The simulated world itself: virtual time, timers, sockets, the lobby.
#include <gtest/gtest.h>

#include "support/sim_client.h"

namespace tavren {
namespace {

TEST(SimLoop, RunsEventsInTimeThenSchedulingOrder) {
  sim::Loop loop;
  std::vector<int> order;
  loop.at(30, [&] { order.push_back(3); });
  loop.at(10, [&] { order.push_back(1); });
  loop.at(10, [&] { order.push_back(2); });
  loop.runUntil(20);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_EQ(loop.now(), 20);
  EXPECT_TRUE(loop.runNext());
  EXPECT_EQ(loop.now(), 30);
  EXPECT_FALSE(loop.runNext());
}

TEST(SimLoop, NestedRunsNeverTurnTheClockBack) {
  sim::Loop loop;
  loop.at(5, [&] { loop.runUntil(500); });
  loop.runUntil(100);
  EXPECT_EQ(loop.now(), 500);
}

TEST(SimPlatform, TimersRestartTheirPeriodWhenEnabledAgain) {
  testing::SimClient s;
  // Each keep-alive tick queues one frame on the send ring.
  auto ticks = [&] { return s.c.link.SendRing.buffered() / protocol::kFrameSize; };
  SetTimerInterval(s.c, TimerId::KeepAlive, 800);
  SetTimer(s.c, TimerId::KeepAlive, true);
  s.Run(1700);
  EXPECT_EQ(ticks(), 2u);
  SetTimer(s.c, TimerId::KeepAlive, false);
  s.Run(100);
  SetTimer(s.c, TimerId::KeepAlive, true);  // at 1800: next at 2600
  s.Run(799);
  EXPECT_EQ(ticks(), 2u);
  s.Run(1);
  EXPECT_EQ(ticks(), 3u);
}

TEST(SimPlatform, SocketStatesFollowConnectCloseAndRefusal) {
  testing::SimClient s;
  s.platform.socketConnect(testing::kHost, testing::kPort);
  EXPECT_EQ(s.platform.socketState(), kSocketConnecting);
  s.Run(5);
  EXPECT_EQ(s.platform.socketState(), kSocketConnected);
  ASSERT_EQ(s.server.connections().size(), 1u);
  s.server.last()->close();
  s.Run(5);
  EXPECT_EQ(s.platform.socketState(), kSocketClosed);  // the close event closed our side
  s.platform.socketConnect("127.0.0.2", 1);
  s.Run(5);
  EXPECT_EQ(s.platform.socketState(), kSocketError);
}

TEST(SimPlatform, LobbyIsFoundByItsCaptionOnly) {
  testing::SimClient s;
  EXPECT_TRUE(s.platform.lobbyFind("Qixo山庄"));
  EXPECT_FALSE(s.platform.lobbyFind("Other"));
  PostToLobby(s.c, kWmClear);
  s.platform.lobby.present = false;
  PostToLobby(s.c, kWmUser);  // nothing when the lobby is gone
  ASSERT_EQ(s.platform.lobby.received.size(), 1u);
  EXPECT_TRUE(s.platform.lobby.received[0].posted);
  EXPECT_EQ(s.platform.lobby.received[0].message, kWmClear);
}

}  // namespace
}  // namespace tavren
