// A seated client at the reference server's engine while a hundred chat lines
// a second pour in for a minute, in virtual time: it keeps its seat, and the
// game at its table goes exactly as it goes without the chatter.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/client.h"
#include "shell/startup.h"
#include "support/engine_peer.h"
#include "support/sim_client.h"
#include "text/gbk.h"

namespace tavren {
namespace {

constexpr const char* kHost = "127.0.0.1";
constexpr std::uint16_t kPort = 7001;
constexpr int kFloodSeconds = 60;
constexpr int kLinesPerSecond = 100;

server::Server::Config Config() {
  server::Server::Config config;
  config.seed = 23;
  config.turnTimeSec = 5;
  return config;
}

struct Table {
  sim::World world;
  testing::EnginePeer peer{world, kHost, kPort, Config()};
  sim::SimPlatform platform{world};
  Client c{platform};
  std::vector<std::string> states;
  int linesSent = 0;

  Table() { platform.attach(c); }

  // What the table shows of the game, without the chat.
  std::string State() const {
    const TableModel& t = c.table;
    std::string s = std::to_string(t.HandNo) + (t.HandInProgress ? "+" : "-") +
                    std::to_string(t.MJPOINT) + "/" + std::to_string(t.LastDiscard);
    for (const HandRecord& h : t.custom) s += " " + std::to_string(h.count);
    return s;
  }

  void Sample(int every, int times) {
    for (int i = 0; i < times; ++i) {
      world.loop.runFor(every);
      states.push_back(State());
    }
  }

  // A watcher's line as the server relays it, one frame at a time.
  void Chatter() {
    if (platform.connection() == nullptr || !platform.connection()->open()) return;
    Frame f = testing::ServerFrame(19, 0);
    testing::PutText(f, 16,
                     Utf8ToGbk("看客" + std::to_string(linesSent % 30) + "说道: 加油加油加油"));
    platform.connection()->sendFrame(f);
    ++linesSent;
  }

  void Play(bool flood) {
    StartUp(c, std::string("amy$table=0;seat=0$") + kHost + "$" + std::to_string(kPort) +
                   "$T1$0$$0$$$0$$$");
    world.loop.runFor(3000);
    ASSERT_TRUE(c.table.LoginAccepted);
    if (flood) {
      const std::int64_t start = world.loop.now();
      for (int i = 0; i < kFloodSeconds * kLinesPerSecond; ++i)
        world.loop.at(start + 1000 * i / kLinesPerSecond, [this] { Chatter(); });
    }
    Sample(50, kFloodSeconds * 20 + 200);
  }
};

TEST(ChatFlood, AHundredLinesASecondForAMinuteCostNoSeatAndLeaveTheGamesPace) {
  Table quiet;
  quiet.Play(false);
  Table flooded;
  flooded.Play(true);

  EXPECT_FALSE(flooded.c.ended);
  EXPECT_EQ(flooded.platform.socketState(), kSocketConnected);
  EXPECT_TRUE(flooded.c.table.LoginAccepted);
  EXPECT_EQ(flooded.linesSent, kFloodSeconds * kLinesPerSecond);
  // The game went on: hands were played in the minute.
  EXPECT_GE(flooded.c.table.HandNo, 1);
  // Every sample of the table, every 50 ms, is what it is without the flood.
  ASSERT_EQ(flooded.states.size(), quiet.states.size());
  for (std::size_t i = 0; i < quiet.states.size(); ++i)
    ASSERT_EQ(flooded.states[i], quiet.states[i]) << "at sample " << i;
  // The lines were shown. Only lines that piled up while a handler of the
  // game waited (the hand's end, the deal) beyond the queue are lost, the
  // oldest first; the newest line always arrives.
  std::printf("chat lines lost to the queue: %u of %d\n", flooded.c.link.ChatLines.dropped,
              flooded.linesSent);
  EXPECT_LT(flooded.c.link.ChatLines.dropped, static_cast<unsigned>(flooded.linesSent / 20));
  const std::vector<std::string>& history = LoadTalk(flooded.c).find("Text1")->items;
  ASSERT_FALSE(history.empty());
  EXPECT_EQ(history.back(), "看客29说道: 加油加油加油");
}

}  // namespace
}  // namespace tavren
