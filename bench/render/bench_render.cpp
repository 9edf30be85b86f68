// A full repaint of the table at 1024 x 768 offscreen, with every wall tile
// and widget shown, and how often pictures are rasterised meanwhile; at 1x and
// on a screen of device pixel ratio 2.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

#include "core/client.h"
#include "platform/sim/sim_world.h"
#include "qt/scene_painter.h"
#include "resources/pictures.h"

namespace tavren {
namespace {

struct Table {
  sim::World world;
  sim::SimPlatform platform{world};
  Client c{platform};
  Table() {
    platform.attach(c);
    platform.screen = {1280, 1024};
    LayOutTable(c);
    // A busy table: the whole wall face down, every panel filled.
    for (int i = 0; i < kWallTiles; ++i) setTileImage(c, i, 36 * (i / 36) + 8);
    for (int s = 0; s < 4; ++s) {
      c.view.Nid[static_cast<std::size_t>(s)].caption = "玩家" + std::to_string(s);
      c.view.Cash[static_cast<std::size_t>(s)].caption = "金币 12345";
      c.view.Tou[static_cast<std::size_t>(s)].picture =
          c.view.pics.PortraitPics[static_cast<std::size_t>(s)];
    }
    SetSysmsg(c, 0, "连接服务器成功！");
    SetSysmsg(c, 1, "三片起胡,吃牌上听");
  }
};

// The argument is the density: 1 for a common screen, 2 for a high-density one
// (device pixel ratio 2: four times the pixels, the 2x pictures).
void BM_FullRepaint(benchmark::State& state) {
  Table t;
  qt::ScenePainter painter;
  const int density = static_cast<int>(state.range(0));
  QImage img(1024 * density, 768 * density, QImage::Format_ARGB32_Premultiplied);
  img.setDevicePixelRatio(density);
  {
    QPainter warm(&img);
    painter.paint(warm, t.c.view);  // rasterise every picture once
  }
  const std::uint64_t before = painter.rasterisations();
  for (auto _ : state) {
    QPainter p(&img);
    painter.paint(p, t.c.view);
    p.end();
    benchmark::DoNotOptimize(img.constBits());
  }
  state.counters["rasterised/repaint"] =
      benchmark::Counter(static_cast<double>(painter.rasterisations() - before) /
                         static_cast<double>(state.iterations()));
  state.counters["pictures"] = static_cast<double>(before);
  state.counters["cacheMiB"] = static_cast<double>(painter.cachedBytes()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_FullRepaint)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavren

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  tavren::initPictures();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
