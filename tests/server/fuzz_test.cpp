// Requests at random, valid types with random operands and junk between them,
// from players and watchers: the table keeps playing and every frame stays whole.
#include <gtest/gtest.h>

#include "support/server_harness.h"

namespace tavren::server::test {
namespace {

TEST(Fuzz, RandomRequestsNeverBreakTheTable) {
  Server::Config cfg;
  cfg.seed = 3;
  cfg.tables = 2;
  Server s(cfg);
  int hands = 0;
  s.setHandSink([&](const HandRecord& r) {
    ++hands;
    EXPECT_EQ(r.results[0] + r.results[1] + r.results[2] + r.results[3], 0);
  });
  std::uint64_t x = 88172645463325252ULL;
  auto rnd = [&] {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    return x;
  };
  std::vector<Client> clients;
  clients.reserve(8);
  const char* keys[] = {
      "table=0;seat=0", "table=0;seat=2", "table=1", "watch=0", "watch=1;seat=3", "", "seat=1"};
  for (int i = 0; i < 7; ++i) {
    clients.emplace_back(s);
    clients.back().send(login("fz" + std::to_string(i), keys[i]));
  }
  const int types[] = {2, 7, 8, 16, 18, 19, 24, 28, 3, 0, 255};
  for (int step = 0; step < 20000; ++step) {
    Client& c = clients[rnd() % clients.size()];
    if (rnd() % 7 == 0) {
      std::vector<std::uint8_t> junk(rnd() % 300);
      for (auto& b : junk) b = static_cast<std::uint8_t>(rnd());
      s.receive(c.id, junk);
    } else {
      Req r(types[rnd() % std::size(types)]);
      for (int i = 0; i < 4; ++i) r.op(i, static_cast<int>(rnd() & 0xFFFF));
      if (rnd() % 3 == 0) r.op(3, proto::kDiscardMarker | static_cast<int>(rnd() % 0x90));
      if (rnd() % 5 == 0) r.text(proto::kPayloadOffset, "line");
      c.send(r);
    }
    if (rnd() % 50 == 0) s.advanceTo(s.nowMs() + static_cast<std::int64_t>(rnd() % 20000));
    for (auto& cl : clients) {
      auto bytes = s.takeOutput(cl.id);
      ASSERT_EQ(bytes.size() % kFrame, 0u);
    }
  }
  // Whatever happened, time still moves the tables on once a client sits down.
  Client late0(s), late1(s);
  late0.send(login("late0", "table=0"));
  late1.send(login("late1", "table=1"));
  const int before = hands;
  ASSERT_TRUE(runWhile(s, [&] { return hands >= before + 4; }));
}

}  // namespace
}  // namespace tavren::server::test
