// Renders typical table states offscreen into PNG files, each from a scripted
// sequence of view operations in the simulated world, at 1x and again at 2x.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/client.h"
#include "platform/sim/sim_world.h"
#include "qt/scene_painter.h"
#include "qt/snapshot_scenes.h"
#include "resources/pictures.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  tavren::initPictures();
  const QString dir =
      argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("build/snapshots");
  int failures = 0;
  // Each scene at 1x in DIR, and at device pixel ratio 2 (a high-density
  // screen, the 2x pictures) in DIR/2x.
  for (const int density : {1, 2}) {
    const QString folder = density == 1 ? dir : dir + QStringLiteral("/%1x").arg(density);
    QDir().mkpath(folder);
    for (const tavren::qt::SnapshotScene& scene : tavren::qt::SnapshotScenes()) {
      tavren::sim::World world;
      tavren::sim::SimPlatform platform(world);
      tavren::Client c(platform);
      platform.attach(c);
      tavren::LayOutTable(c);
      scene.build(c);
      QImage img = tavren::qt::RenderWindow(c, density);
      const QString path = folder + "/" + QString::fromStdString(scene.name) + ".png";
      if (!img.save(path)) {
        std::fprintf(stderr, "snapshot: cannot write %s\n", path.toLocal8Bit().constData());
        ++failures;
      } else {
        std::printf("%s\n", path.toLocal8Bit().constData());
      }
    }
  }
  return failures == 0 ? 0 : 1;
}
