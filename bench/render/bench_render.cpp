// A full repaint of the table as the user's window does it: the real table
// window on a screen of device pixel ratio 1 and on one of ratio 2 (the 2x
// pictures, four times the pixels), its table surface repainted whole through
// Qt's widget path into the window's backing store, with every wall tile and
// widget shown; and, beside it, the scene painter alone into a picture of the
// backing store's format. Both count how often pictures are rasterised meanwhile.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QApplication>
#include <QBackingStore>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <limits>

#include "core/client.h"
#include "platform/sim/sim_world.h"
#include "qt/scene_painter.h"
#include "resources/pictures.h"
#include "support/two_screens.h"
#include "support/window_rig.h"

namespace tavren {
namespace {

// A busy table: the whole wall face down, every panel filled.
void FillTable(Client& c) {
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

std::size_t HeapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

const char* ScreenOf(int density) {
  return density == 2 ? testing::kDenseScreen : testing::kCommonScreen;
}

// The arguments are the density (1 for a common screen, 2 for a high-density
// one) and the table size in percent.
void BM_FullRepaint(benchmark::State& state) {
  const int density = static_cast<int>(state.range(0));
  const int size = static_cast<int>(state.range(1));
  testing::WindowRig r(size > 100 ? PixelSize{1920, 1080} : PixelSize{1280, 1024}, size / 100.0);
  RunEvent(r.s.c, [&] { FillTable(r.s.c); });
  r.window.sync();
  testing::MoveToScreen(r.window, ScreenOf(density));
  testing::WaitUntil([&] { return r.window.devicePixelRatio() == density; });
  r.Settle();
  if (r.window.devicePixelRatio() != density) {
    state.SkipWithError("the window did not reach the screen of that density");
    return;
  }
  qt::ScenePainter& painter = r.window.surface()->painter();
  r.window.surface()->repaint();  // every picture rasterised once
  const std::uint64_t before = painter.rasterisations();
  for (auto _ : state) r.window.surface()->repaint();
  const auto* store = dynamic_cast<const QImage*>(r.window.backingStore()->paintDevice());
  state.SetLabel(store != nullptr ? "backing store format " + std::to_string(store->format())
                                  : std::string("backing store not an image"));
  state.counters["rasterised/repaint"] =
      benchmark::Counter(static_cast<double>(painter.rasterisations() - before) /
                         static_cast<double>(state.iterations()));
  state.counters["pictures"] = static_cast<double>(before);
  state.counters["cacheMiB"] = static_cast<double>(painter.cachedBytes()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_FullRepaint)
    ->Args({1, 100})
    ->Args({2, 100})
    ->Args({1, 150})
    ->Unit(benchmark::kMillisecond);

// A repaint of two places far apart (a tile leaves the hand for the discards):
// the region the window asks for, not its bounding rectangle.
void BM_TwoPlacesRepaint(benchmark::State& state) {
  const int density = static_cast<int>(state.range(0));
  testing::WindowRig r;
  RunEvent(r.s.c, [&] { FillTable(r.s.c); });
  r.window.sync();
  testing::MoveToScreen(r.window, ScreenOf(density));
  testing::WaitUntil([&] { return r.window.devicePixelRatio() == density; });
  r.Settle();
  if (r.window.devicePixelRatio() != density) {
    state.SkipWithError("the window did not reach the screen of that density");
    return;
  }
  const QRegion places = QRegion(100, 600, 60, 90) + QRegion(700, 300, 60, 90);
  r.window.surface()->repaint(places);
  for (auto _ : state) r.window.surface()->repaint(places);
}
BENCHMARK(BM_TwoPlacesRepaint)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// A busy table of the simulated world, laid out for a 1280 x 1024 screen.
struct SimTable {
  sim::World world;
  sim::SimPlatform platform{world};
  Client c{platform};
  SimTable() {
    platform.attach(c);
    platform.screen = {1280, 1024};
    LayOutTable(c);
    FillTable(c);
  }
};

// The scene painter alone, into a picture of the format the window's backing
// store has on this platform (the cost of the drawing without Qt's widget path).
void BM_ScenePaint(benchmark::State& state) {
  const int density = static_cast<int>(state.range(0));
  SimTable t;
  Client& c = t.c;
  qt::ScenePainter painter;
  QImage img(c.view.pic1W * density, c.view.pic1H * density, QImage::Format_RGB32);
  img.setDevicePixelRatio(density);
  {
    QPainter warm(&img);
    painter.paint(warm, c.view);
  }
  for (auto _ : state) {
    QPainter p(&img);
    painter.paint(p, c.view);
    p.end();
    benchmark::DoNotOptimize(img.constBits());
  }
}
BENCHMARK(BM_ScenePaint)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// What the picture cache holds beyond the pixels its budget counts: the heap
// the kept pictures of a busy table take (malloc's own count), less their pixel
// bytes, per picture. The argument is the density.
void BM_PictureOverhead(benchmark::State& state) {
  const int density = static_cast<int>(state.range(0));
  SimTable t;
  Client& c = t.c;
  double perPicture = 0;
  std::size_t pictures = 0;
  {
    // Qt's own first-use allocations (the PNG reader, the scaler) are not the cache's.
    qt::ScenePainter warm;
    for (const Control* k : c.view.order)
      if (k->visible && k->type == ControlType::Image)
        warm.picture(k->picture, k->w, k->h, density);
  }
  for (auto _ : state) {
    qt::ScenePainter painter;
    painter.setCacheBudget(std::numeric_limits<std::size_t>::max() / 4);
    const std::size_t before = HeapInUse();
    for (const Control* k : c.view.order)
      if (k->visible && k->type == ControlType::Image)
        painter.picture(k->picture, k->w, k->h, density);
    const std::size_t heap = HeapInUse() - before;
    pictures = painter.cachedPictures();
    perPicture = (static_cast<double>(heap) - static_cast<double>(painter.cachedBytes())) /
                 static_cast<double>(std::max<std::size_t>(pictures, 1));
  }
  state.counters["pictures"] = static_cast<double>(pictures);
  state.counters["heapBeyondPixels/picture"] = perPicture;
}
BENCHMARK(BM_PictureOverhead)->Arg(1)->Arg(2)->Iterations(1);

}  // namespace
}  // namespace tavren

int main(int argc, char** argv) {
  // The full repaint moves a real window between a common and a high-density screen.
  tavren::testing::UseTwoScreens();
  QApplication app(argc, argv);
  tavren::initPictures();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
