// The scene drawn offscreen, checked at a few known pixels, and the repaint
// of only what changed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "core/client.h"
#include "platform/sim/sim_world.h"
#include "qt/scene_painter.h"
#include "qt/snapshot_scenes.h"
#include "resources/pictures.h"

namespace tavren {
namespace {

struct Table {
  sim::World world;
  sim::SimPlatform platform{world};
  Client c{platform};
  Table() {
    platform.attach(c);
    LayOutTable(c);
  }
};

bool Greenish(QRgb p) {
  return qGreen(p) > qRed(p) + 20 && qGreen(p) > qBlue(p);
}

TEST(Render, TheWindowShowsSkinFeltWallAndButtonsWhereTheSceneSaysSo) {
  Table t;
  for (int i = 0; i < kWallTiles; ++i) setTileImage(t.c, i, 36 * (i / 36) + 8);
  const QImage img = qt::RenderWindow(t.c);
  ASSERT_EQ(img.size(), QSize(1040, 796));
  // The felt in the middle of the table.
  EXPECT_TRUE(Greenish(img.pixel(8 + 512, 20 + 384)));
  // The title strip of the skin is not felt.
  EXPECT_FALSE(Greenish(img.pixel(500, 5)));
  // A wall tile of the bottom side: its jade back is drawn over the felt, and differs from it.
  const Control& tile = t.c.view.MJ_Image[0];
  const QRgb back = img.pixel(8 + tile.x + tile.w / 2, 20 + tile.y + 8);
  EXPECT_NE(back, img.pixel(8 + 512, 20 + 384));
  // The exit button of the control bar is not felt.
  const Control& exit = t.c.view.AnNiu[8];
  EXPECT_FALSE(Greenish(img.pixel(8 + exit.x + exit.w / 2, 20 + exit.y + exit.h / 2)));
  // A hidden tile leaves the felt: the top of the top layer shows what an empty table shows.
  t.c.view.MJ_Image[0].visible = false;
  const QImage without = qt::RenderWindow(t.c);
  for (Control& k : t.c.view.MJ_Image) k.visible = false;
  const QImage empty = qt::RenderWindow(t.c);
  const QPoint top(8 + tile.x + tile.w / 2, 20 + tile.y + 8);
  EXPECT_EQ(without.pixel(top), empty.pixel(top));
  EXPECT_NE(img.pixel(top), empty.pixel(top));
}

TEST(Render, OnlyChangedControlsAreRepainted) {
  Table t;
  qt::ScenePainter painter;
  const QRegion first = painter.changes(t.c.view);
  EXPECT_EQ(first.boundingRect(), QRect(0, 0, 1024, 768));
  EXPECT_TRUE(painter.changes(t.c.view).isEmpty());
  setTileImage(t.c, 5, 8);
  const Control& k = t.c.view.MJ_Image[5];
  const QRegion dirty = painter.changes(t.c.view);
  EXPECT_EQ(dirty.boundingRect(), QRect(k.x, k.y, k.w, k.h));
  t.c.view.MJ_Image[5].x += 100;
  const QRegion moved = painter.changes(t.c.view);
  EXPECT_TRUE(moved.contains(QRect(k.x - 100, k.y, k.w, k.h)));
  EXPECT_TRUE(moved.contains(QRect(k.x, k.y, k.w, k.h)));
}

TEST(Render, EachPictureIsRasterisedOncePerSize) {
  Table t;
  for (int i = 0; i < kWallTiles; ++i) setTileImage(t.c, i, 36 * (i / 36) + 8);
  qt::ScenePainter painter;
  QImage img(1024, 768, QImage::Format_ARGB32_Premultiplied);
  QPainter p(&img);
  painter.paint(p, t.c.view);
  const auto once = painter.rasterisations();
  painter.paint(p, t.c.view);
  painter.paint(p, t.c.view);
  EXPECT_EQ(painter.rasterisations(), once);
  EXPECT_LT(once, 40u);  // 144 wall tiles share four backs
}

TEST(Render, ThePictureCacheKeepsTheRecentlyDrawnPicturesWithinItsBudget) {
  qt::ScenePainter painter;
  // Room for a few dozen tile faces of the standing size.
  const std::size_t budget = std::size_t{48} * 78 * 4 * 30;
  painter.setCacheBudget(budget);
  // A long evening draws every face at many sizes; the cache never grows past its budget.
  for (int round = 0; round < 4; ++round)
    for (int id = 201; id <= 380; ++id) {
      ASSERT_FALSE(painter.picture(id, 40 + round, 70).isNull()) << id;
      EXPECT_LE(painter.cachedBytes(), budget);
    }
  // Full, not emptied: as many of the last pictures as the budget holds.
  EXPECT_LE(painter.cachedPictures(), budget / (40 * 70 * 4));
  EXPECT_GE(painter.cachedPictures(), budget / (43 * 70 * 4) - 1);
  // What is drawn again and again stays; what has not been drawn for long is
  // made afresh, the same picture.
  const QImage kept = painter.picture(345, 48, 78).toImage();
  for (int id = 201; id <= 220; ++id) {
    painter.picture(id, 48, 78);
    painter.picture(345, 48, 78);
  }
  const auto made = painter.rasterisations();
  painter.picture(345, 48, 78);
  EXPECT_EQ(painter.rasterisations(), made);
  for (int id = 221; id <= 300; ++id) painter.picture(id, 48, 78);
  const QImage again = painter.picture(345, 48, 78).toImage();
  EXPECT_EQ(painter.rasterisations(), made + 80 + 1);
  EXPECT_EQ(again, kept);
}

}  // namespace
}  // namespace tavren

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  tavren::initPictures();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
