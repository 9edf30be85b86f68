// Playing a kept game again: the jump to the last hand of a 16-hand game (the
// core runs every earlier frame in virtual time without drawing), and a whole
// game at top speed. The game is played once against the server's engine.
// TAVREN_REPLAY_OUT=FILE also writes that game as a replay file (for a look
// at it in the window: tavrenmj --replay FILE).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "core/client.h"
#include "replay/player.h"
#include "support/recorded_game.h"

namespace tavren {
namespace {

constexpr int kHands = 16;

const testing::LiveGame& Game() {
  static const testing::LiveGame game = [] {
    testing::LiveGame g = testing::PlayLive(41, kHands, testing::Twist::None);
    if (const char* out = std::getenv("TAVREN_REPLAY_OUT")) {
      // The file as the client's recorder wrote it.
      std::ofstream f(out, std::ios::binary | std::ios::trunc);
      f.write(reinterpret_cast<const char*>(g.fileBytes.data()),
              static_cast<std::streamsize>(g.fileBytes.size()));
      f.close();
      std::fprintf(stderr, "kept game written to %s%s\n", out, f ? "" : " (failed)");
    }
    return g;
  }();
  return game;
}

void BM_JumpToLastHand(benchmark::State& state) {
  const testing::LiveGame& g = Game();
  if (g.handsPlayed != kHands || g.file.handStarts.size() != kHands) {
    state.SkipWithError("the game did not play 16 hands");
    return;
  }
  for (auto _ : state) {
    testing::QuietHost host;
    replay::Player p(g.file, host);
    p.setPaused(true);  // stop where the jump ends
    p.jumpToHand(kHands);
    p.run();
    if (p.currentHand() != kHands) state.SkipWithError("the jump did not reach hand 16");
    benchmark::DoNotOptimize(p.instructionsTaken());
  }
  state.counters["entries"] = static_cast<double>(g.file.entries.size());
  state.counters["game_min"] = static_cast<double>(g.file.entries.back().ms) / 60000.0;
}
BENCHMARK(BM_JumpToLastHand)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_WholeGameAtTopSpeed(benchmark::State& state) {
  const testing::LiveGame& g = Game();
  for (auto _ : state) {
    testing::QuietHost host;
    replay::Player p(g.file, host);
    p.setSpeed(replay::kAsFastAsPossible);
    p.run();
    if (!p.finished()) state.SkipWithError("the replay did not end");
  }
}
BENCHMARK(BM_WholeGameAtTopSpeed)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace tavren

BENCHMARK_MAIN();
