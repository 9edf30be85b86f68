// Speed of the reference server: robot-only hands per second on one core, the
// win check with wild tiles, and the scoring of a won hand.
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/server.h"
#include "rules/scoring.h"
#include "rules/win.h"

namespace {

using namespace tavren::server;

// Fourteen-tile hands drawn from a shuffled set of 136 with one face wild:
// the mix a table actually checks.
std::vector<Counts> sampleHands(int n) {
  std::vector<Counts> hands;
  std::uint64_t s = 99;
  auto next = [&] {
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<int>(s >> 33);
  };
  for (int i = 0; i < n; ++i) {
    int tiles[136];
    for (int t = 0; t < 136; ++t) tiles[t] = t / 4;
    for (int t = 135; t > 0; --t) std::swap(tiles[t], tiles[next() % (t + 1)]);
    const int wild = next() % kFaces;
    Counts c;
    for (int t = 0; t < 14; ++t) {
      if (tiles[t] == wild)
        ++c.wilds;
      else
        ++c.c[tiles[t]];
    }
    hands.push_back(c);
  }
  // Some winning hands too, with wilds, so both outcomes are timed.
  for (int i = 0; i < n / 4; ++i) {
    Counts c;
    const int g = 1 + i % 3;
    for (int r = 1; r <= 9; ++r) ++c.c[faceOf(g, r)];
    c.c[faceOf(g, 5)] += 1;
    c.wilds = 2;
    c.c[faceOf(g, 1 + i % 9)] += 1;
    if (c.c[faceOf(g, 1 + i % 9)] > 4) --c.c[faceOf(g, 1 + i % 9)], ++c.wilds;
    hands.push_back(c);
  }
  return hands;
}

void BM_WinCheck(benchmark::State& state) {
  initWinTables();
  const auto hands = sampleHands(4096);
  std::size_t i = 0;
  int wins = 0;
  for (auto _ : state) {
    wins += isWin(hands[i], true);
    i = (i + 1) % hands.size();
  }
  benchmark::DoNotOptimize(wins);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WinCheck);

void BM_ScoreWinningHand(benchmark::State& state) {
  initWinTables();
  WinContext ctx;
  for (int r = 1; r <= 9; ++r) ++ctx.hand.c[faceOf(1, r)];
  ctx.hand.c[faceOf(2, 5)] = 2;
  ctx.hand.c[faceOf(3, 2)] = 1;
  ctx.hand.wilds = 2;
  ctx.winFace = faceOf(1, 9);
  ctx.selfDrawn = true;
  for (auto _ : state) benchmark::DoNotOptimize(scoreHand(ctx).total);
}
BENCHMARK(BM_ScoreWinningHand);

// Whole hands of four robots on one table, in virtual time: deal, the call,
// flowers, every draw, discard, offer and claim, the reveal and the settlement.
void BM_RobotHands(benchmark::State& state) {
  Server::Config cfg;
  cfg.seed = 42;
  cfg.busyTables = true;
  Server server(cfg);
  int hands = 0;
  server.setHandSink([&](const HandRecord&) { ++hands; });
  for (auto _ : state) {
    const int target = hands + 1;
    while (hands < target) server.advanceTo(*server.nextDueMs());
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["hands/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RobotHands)->Unit(benchmark::kMicrosecond);

// The same with every frame of every seat built, as when clients sit at the table.
void BM_RobotHandsWithFrames(benchmark::State& state) {
  Server::Config cfg;
  cfg.seed = 42;
  cfg.busyTables = true;
  Server server(cfg);
  std::size_t bytes = 0;
  server.setFrameTap([&](int, int, std::span<const std::uint8_t> f) { bytes += f.size(); });
  int hands = 0;
  server.setHandSink([&](const HandRecord&) { ++hands; });
  for (auto _ : state) {
    const int target = hands + 1;
    while (hands < target) server.advanceTo(*server.nextDueMs());
  }
  benchmark::DoNotOptimize(bytes);
  state.counters["hands/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RobotHandsWithFrames)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
