// The simulated peer around the server engine treats a connection the engine
// gives up as the real server does: the client gets the last frames, then the
// close, and the engine forgets the connection.
#include "support/engine_peer.h"

#include <gtest/gtest.h>

#include <string>

#include "core/client.h"
#include "shell/startup.h"

namespace tavren {
namespace {

constexpr const char* kHost = "127.0.0.1";
constexpr std::uint16_t kPort = 7000;

std::string Line(const std::string& account, const std::string& key) {
  return account + "$" + key + "$" + kHost + "$" + std::to_string(kPort) + "$T1$0$$0$$$0$$$";
}

struct Refusal {
  const char* name;
  const char* key;
};

class EnginePeerRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(EnginePeerRefusal, ARefusedLoginIsClosedForTheClientAndLeavesTheEngine) {
  sim::World world;
  testing::EnginePeer peer(world, kHost, kPort, server::Server::Config{});
  // A player already at the table, so that a refusal has someone to disturb.
  sim::SimPlatform firstPlatform(world);
  Client first(firstPlatform);
  firstPlatform.attach(first);
  StartUp(first, Line("amy", "table=0;seat=1"));
  world.loop.runFor(2000);
  ASSERT_TRUE(first.table.LoginAccepted);
  ASSERT_EQ(peer.server.connectionCount(), 1u);

  sim::SimPlatform platform(world);
  platform.instanceLockFree = true;
  Client refused(platform);
  platform.attach(refused);
  StartUp(refused, Line("bob", GetParam().key));
  world.loop.runFor(2000);

  // The refusal arrived before the close, and the client ended on it.
  EXPECT_TRUE(refused.ended);
  EXPECT_FALSE(refused.table.LoginAccepted);
  EXPECT_EQ(platform.socketState(), kSocketClosed);
  // The engine keeps only the player's connection, and the player plays on.
  EXPECT_EQ(peer.server.connectionCount(), 1u);
  world.loop.runFor(60 * 1000);
  EXPECT_FALSE(first.ended);
  EXPECT_EQ(firstPlatform.socketState(), kSocketConnected);
  EXPECT_EQ(peer.server.connectionCount(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Keys, EnginePeerRefusal,
                         ::testing::Values(Refusal{"TakenSeat", "table=0;seat=1"},
                                           Refusal{"NoSuchTable", "table=9;seat=0"},
                                           Refusal{"UnreadableKey", "table=x"}),
                         [](const ::testing::TestParamInfo<Refusal>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace tavren
