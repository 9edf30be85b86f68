// Whole hands against the reference server's engine, with the client making
// its own moves: unattended play with the evaluator, and a user who never acts
// and is answered for by the countdown until the client plays on by itself.
// The server refuses nothing the client sends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/client.h"
#include "shell/startup.h"
#include "support/engine_peer.h"

namespace tavren {
namespace {

constexpr const char* kHost = "127.0.0.1";
constexpr std::uint16_t kPort = 7000;

struct Session {
  explicit Session(std::uint64_t seed) : peer(world, kHost, kPort, Configure(seed)) {
    platform.attach(c);
    peer.server.setLogSink([this](const std::string& line) {
      if (line.find("refused") != std::string::npos) refused.push_back(line);
    });
  }
  static server::Server::Config Configure(std::uint64_t seed) {
    server::Server::Config config;
    config.seed = seed;
    config.turnTimeSec = 3;
    // The client's animations may hold an answer back for seconds in virtual
    // time; the server waits for it instead of answering for the seat.
    config.turnGraceMs = 20000;
    return config;
  }
  sim::World world;
  testing::EnginePeer peer;
  sim::SimPlatform platform{world};
  Client c{platform};
  std::vector<std::string> refused;

  void Start(const std::string& account, const std::string& key, bool unattended) {
    StartUp(c, account + "$" + key + "$" + kHost + "$" + std::to_string(kPort) + "$T1$0$$0$$$" +
                   (unattended ? "1$Qixo山庄$T1$" : "0$$$"));
  }
  void PlayHands(int hands) {
    for (int minute = 0; minute < 60 && peer.server.handsPlayed(0) < hands; ++minute)
      world.loop.runFor(60 * 1000);
  }
};

TEST(EnginePlay, UnattendedClientPlaysWholeHandsWithoutARefusal) {
  for (std::uint64_t seed : {3u, 11u}) {
    Session s(seed);
    s.Start("amy", "table=0;seat=0", true);
    s.PlayHands(6);
    EXPECT_GE(s.peer.server.handsPlayed(0), 6) << seed;
    EXPECT_FALSE(s.c.ended) << seed;
    EXPECT_GT(s.c.log.count("AutoPlayMove"), 30) << seed;
    for (const std::string& line : s.refused) ADD_FAILURE() << seed << ": " << line;
  }
}

TEST(EnginePlay, AUserWhoNeverActsIsAnsweredForThenPlaysOnAlone) {
  for (const char* seat : {"1", "0"}) {
    SCOPED_TRACE(std::string("seat ") + seat);
    Session s(5);
    s.Start("amy", std::string("table=0;seat=") + seat, false);
    s.PlayHands(3);
    EXPECT_GE(s.peer.server.handsPlayed(0), 3);
    EXPECT_FALSE(s.c.ended);
    EXPECT_GT(s.c.log.count("TimeoutMove"), 10);
    // The login's limit of three run-out countdowns switched auto-play on.
    EXPECT_TRUE(s.c.link.BossMode);
    EXPECT_EQ(s.c.offer.TurnTime, 0);
    for (const std::string& line : s.refused) ADD_FAILURE() << line;
  }
}

}  // namespace
}  // namespace tavren
