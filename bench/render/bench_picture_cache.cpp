// The table painter's picture cache over an evening of hands: one client,
// unattended, at a table of the reference server's engine with three robots,
// in virtual time. The whole surface is painted every quarter second of play,
// as a window in front of the user would be, and the cache is read after the
// last hand: the pictures it keeps, their memory, and how many were made.
//
// The arguments are (hands, budget in KiB at 1x, 0 = no bound; density: 1, or 2
// for a screen of device pixel ratio 2, where the budget is twice as large).
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <filesystem>
#include <limits>
#include <string>

#include "core/client.h"
#include "qt/scene_painter.h"
#include "resources/pictures.h"
#include "shell/startup.h"
#include "support/engine_peer.h"

namespace tavren {
namespace {

namespace fs = std::filesystem;
constexpr const char* kHost = "127.0.0.1";
constexpr std::uint16_t kPort = 7300;

struct Evening {
  sim::World world;
  testing::EnginePeer peer{world, kHost, kPort, Config()};
  sim::SimPlatform platform{world};
  Client c{platform};
  fs::path folder = fs::temp_directory_path() / "tavren-bench-picture-cache";

  static server::Server::Config Config() {
    server::Server::Config config;
    config.seed = 11;
    config.turnTimeSec = 9;
    return config;
  }
  Evening() {
    platform.attach(c);
    platform.screen = {1280, 1024};
    fs::create_directories(folder);
    platform.folder = folder.string();
    StartUp(c, std::string("amy$table=0;seat=0$") + kHost + "$" + std::to_string(kPort) +
                   "$T1$0$$0$$$1$Qixo山庄$bench$");
  }
  ~Evening() { fs::remove_all(folder); }
};

void BM_PictureCacheOverHands(benchmark::State& state) {
  const int hands = static_cast<int>(state.range(0));
  const std::size_t budget = state.range(1) == 0 ? std::numeric_limits<std::size_t>::max()
                                                 : static_cast<std::size_t>(state.range(1)) << 10;
  std::size_t pictures = 0, bytes = 0, played = 0;
  std::uint64_t made = 0;
  for (auto _ : state) {
    Evening e;
    qt::ScenePainter painter;
    painter.setCacheBudget(budget);
    const int density = static_cast<int>(state.range(2));
    QImage img(e.c.view.pic1W * density, e.c.view.pic1H * density,
               QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(density);
    // Bounded in virtual time: four hours of play at most.
    for (int step = 0; step < 4 * 3600 * 4 && e.c.table.HandNo <= hands && !e.c.ended; ++step) {
      e.world.loop.runFor(250);
      QPainter p(&img);
      painter.paint(p, e.c.view);
    }
    pictures = painter.cachedPictures();
    bytes = painter.cachedBytes();
    made = painter.rasterisations();
    played = static_cast<std::size_t>(std::max(0, e.c.table.HandNo - 1));
  }
  state.counters["hands"] = static_cast<double>(played);
  state.counters["pictures"] = static_cast<double>(pictures);
  state.counters["MiB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
  state.counters["rasterised"] = static_cast<double>(made);
}
BENCHMARK(BM_PictureCacheOverHands)
    ->Args({1, 0, 1})
    ->Args({10, 0, 1})
    ->Args({100, 0, 1})
    ->Args({1, qt::ScenePainter::kDefaultCacheBudget >> 10, 1})
    ->Args({10, qt::ScenePainter::kDefaultCacheBudget >> 10, 1})
    ->Args({100, qt::ScenePainter::kDefaultCacheBudget >> 10, 1})
    ->Args({1, 0, 2})
    ->Args({10, 0, 2})
    ->Args({10, qt::ScenePainter::kDefaultCacheBudget >> 10, 2})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace tavren
