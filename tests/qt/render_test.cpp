// The scene drawn offscreen, checked at a few known pixels, and the repaint
// of only what changed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "chat/bubbles.h"
#include "core/client.h"
#include "platform/sim/sim_world.h"
#include "qt/scene_painter.h"
#include "qt/snapshot_scenes.h"
#include "resources/pictures.h"
#include "view/catalogue.h"

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

// The cloth as the painter puts it out, on a bare table, against the cloth
// drawn whole: at each screen ratio and table zoom, into a picture the painter
// writes directly and into one it can only draw on (three bytes a pixel).
struct ClothCase {
  double ratio, zoom;
  QImage::Format format;
};

class Cloth : public ::testing::TestWithParam<ClothCase> {
 protected:
  Cloth() {
    for (const Control* k : t.c.view.order) const_cast<Control*>(k)->visible = false;
    const ClothCase& k = GetParam();
    scale = k.ratio * k.zoom;
    device =
        QSize(static_cast<int>(std::lround(w * scale)), static_cast<int>(std::lround(h * scale)));
    whole = Picture();
    QPainter p(&whole);
    p.scale(k.zoom, k.zoom);
    qt::DrawCloth(p, w, h);
  }
  QImage Picture() const {
    QImage img(device, GetParam().format);
    img.setDevicePixelRatio(GetParam().ratio);
    img.fill(Qt::magenta);
    return img;
  }
  void Paint(QImage& img, const QRect& clip = QRect()) {
    QPainter p(&img);
    p.scale(GetParam().zoom, GetParam().zoom);
    painter.paint(p, t.c.view, clip);
  }
  // The largest difference of a colour channel between two pixels.
  static int Off(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
  }
  Table t;
  const int w = t.c.view.pic1W, h = t.c.view.pic1H;
  double scale = 1;
  QSize device;
  QImage whole;
  qt::ScenePainter painter;
};

TEST_P(Cloth, IsTheWholeDrawingEverywhere) {
  QImage img = Picture();
  Paint(img);
  int worst = 0;
  for (int y = 0; y < device.height(); ++y)
    for (int x = 0; x < device.width(); ++x)
      worst = std::max(worst, Off(img.pixel(x, y), whole.pixel(x, y)));
  // Mirrored, the gradient may round a step the other way; the inner border,
  // 25 steps off the cloth, must lie exactly where it is drawn.
  EXPECT_LE(worst, 1);
  // What is kept is about a quarter of it (with the lower rows the border
  // makes its own, and a strip of rows where the picture is only drawn on).
  const std::size_t quarter = static_cast<std::size_t>((device.width() + 1) / 2) *
                              static_cast<std::size_t>((device.height() + 1) / 2) * 4;
  const std::size_t strip = static_cast<std::size_t>(device.width()) * 32 * 4;
  EXPECT_LE(painter.clothBytes(), quarter + quarter / 4 + strip);
}

TEST_P(Cloth, APlaceRepaintedPutsClothThereAndNowhereElse) {
  QImage img = Picture();
  // A place in one quarter, one across both middle lines, one in a corner.
  const std::vector<QRect> places = {{100, 600, 60, 90}, {490, 370, 50, 30}, {1000, 0, 24, 20}};
  for (const QRect& r : places) Paint(img, r);
  // At a zoom that does not fall on whole pixels, a pixel the place's edge
  // cuts may go either way.
  const bool whole_pixels = scale == std::floor(scale);
  const int edge = whole_pixels ? 0 : 1;
  for (int y = 0; y < device.height(); ++y)
    for (int x = 0; x < device.width(); ++x) {
      bool inside = false, near = false;
      for (const QRect& r : places) {
        const QRect at = QRectF(r.x() * scale, r.y() * scale, r.width() * scale, r.height() * scale)
                             .toAlignedRect();
        inside = inside || at.adjusted(edge, edge, -edge, -edge).contains(x, y);
        near = near || at.adjusted(-edge, -edge, edge, edge).contains(x, y);
      }
      if (inside) {
        ASSERT_LE(Off(img.pixel(x, y), whole.pixel(x, y)), 1) << x << "," << y;
      } else if (!near) {
        ASSERT_EQ(img.pixel(x, y), QColor(Qt::magenta).rgb()) << x << "," << y;
      }
    }
}

INSTANTIATE_TEST_SUITE_P(RatiosAndZooms, Cloth,
                         ::testing::Values(ClothCase{1, 1, QImage::Format_RGB32},
                                           ClothCase{2, 1, QImage::Format_RGB32},
                                           ClothCase{1.5, 1, QImage::Format_ARGB32_Premultiplied},
                                           ClothCase{1, 1.25, QImage::Format_RGB32},
                                           ClothCase{2, 1.5, QImage::Format_RGB32},
                                           ClothCase{2, 1, QImage::Format_RGB888},
                                           ClothCase{1, 1.25, QImage::Format_RGB888}));

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

// Every picture the window draws by id, and the window chrome's by name.
std::vector<QString> AllPictureStems() {
  std::vector<QString> stems;
  for (int id : CatalogueIds()) stems.push_back(QString::number(id));
  for (int id = kPicCountdown; id <= kPicPhrases2; ++id)
    stems.push_back(qt::PicturePath(id).mid(7).chopped(4));  // ":/pics/" … ".png"
  for (int id : kSpeakBoxPics) stems.push_back(QString::number(id));
  for (const char* name : {"skin", "skin-pieces", "close-normal", "close-hover", "close-pressed",
                           "min-normal", "min-hover", "min-pressed", "icon"})
    stems.push_back(QString::fromLatin1(name));
  return stems;
}

QImage Load(const QString& stem, int set) {
  const QString at = set > 1 ? QStringLiteral("@%1x").arg(set) : QString();
  return QImage(QStringLiteral(":/pics/%1%2.png").arg(stem, at))
      .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Each 2 x 2 block averaged: a picture of twice the density brought to 1x.
QImage Halved(const QImage& big) {
  QImage out(big.width() / 2, big.height() / 2, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < out.height(); ++y)
    for (int x = 0; x < out.width(); ++x) {
      int sum[4] = {0, 0, 0, 0};
      for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 2; ++dx) {
          const QRgb p = big.pixel(2 * x + dx, 2 * y + dy);
          sum[0] += qAlpha(p), sum[1] += qRed(p), sum[2] += qGreen(p), sum[3] += qBlue(p);
        }
      out.setPixel(x, y,
                   qRgba((sum[1] + 2) / 4, (sum[2] + 2) / 4, (sum[3] + 2) / 4, (sum[0] + 2) / 4));
    }
  return out;
}

// The mean difference of the channels (alpha and premultiplied colour), 0..255.
double MeanDifference(const QImage& a, const QImage& b) {
  double sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      sum += std::abs(qAlpha(p) - qAlpha(q)) + std::abs(qRed(p) - qRed(q)) +
             std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
    }
  return sum / (4.0 * a.width() * a.height());
}

// How sharp a picture's edges are: the energy of the steps between neighbours.
double EdgeEnergy(const QImage& img) {
  double e = 0;
  const auto luma = [](QRgb p) { return 0.3 * qRed(p) + 0.59 * qGreen(p) + 0.11 * qBlue(p); };
  for (int y = 0; y + 1 < img.height(); ++y)
    for (int x = 0; x + 1 < img.width(); ++x) {
      const double here = luma(img.pixel(x, y));
      const double right = here - luma(img.pixel(x + 1, y));
      const double down = here - luma(img.pixel(x, y + 1));
      e += right * right + down * down;
    }
  return e;
}

TEST(PictureDensities, EveryPictureAtTwiceTheDensityHasTheSameShapesAndColours) {
  for (const QString& stem : AllPictureStems()) {
    SCOPED_TRACE(stem.toStdString());
    const QImage one = Load(stem, 1), two = Load(stem, 2);
    ASSERT_FALSE(one.isNull());
    ASSERT_FALSE(two.isNull());
    ASSERT_EQ(two.size(), one.size() * 2);
    // Brought back to 1x, the finer picture is the same picture: the same
    // outline (alpha) and the same colours in the same places. The two phrase
    // labels set their captions with the font's hinting at each size, so their
    // strokes snap to other pixels (thicker at 1x), and differ more.
    const bool hinted =
        stem == QString::number(kPicPhrases1) || stem == QString::number(kPicPhrases2);
    EXPECT_LT(MeanDifference(Halved(two), one), hinted ? 24.0 : 6.0);
    // The key colours: where the 1x picture is opaque, the 2x one is too, and
    // the keyed-out corners stay transparent.
    const QPoint corner(0, 0);
    EXPECT_EQ(qAlpha(one.pixel(corner)) == 0, qAlpha(two.pixel(corner)) == 0);
  }
}

TEST(PictureDensities, ThePicturesAtTwiceTheDensityAreDrawnFinerThanTheOnesEnlarged) {
  // Drawn afresh, not enlarged: the edges of a 2x picture are steeper than those
  // of its 1x picture stretched to the same size.
  struct Family {
    const char* name;
    std::vector<int> ids;
  } families[] = {
      {"tile faces", {201, 215, 230, 245, 290, 330, 345, 360, 375}},
      {"tile backs", {207, 208, 243, 244, 279, 280, 351, 352}},
      {"wild tiles and flowers", {421, 422, 445, 477}},
      {"buttons", {101, 103, 105, 130, 134, 141, 145, 381, 411}},
      {"dice, compass, claim words", {161, 166, 126, 183, 187}},
      {"portraits", {191, 195, 401, 405}},
      {"bubbles", {415, 426, 435}},
  };
  for (const Family& f : families) {
    SCOPED_TRACE(f.name);
    for (int id : f.ids) {
      SCOPED_TRACE(id);
      const QImage one = Load(QString::number(id), 1), two = Load(QString::number(id), 2);
      const QImage enlarged =
          one.scaled(two.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
      EXPECT_GT(EdgeEnergy(two), 1.3 * EdgeEnergy(enlarged));
    }
  }
}

TEST(PictureDensities, TheSetDrawnIsTheNearestAtOrAboveTheDensity) {
  struct Case {
    double density;
    int set;
  } cases[] = {{0.78125, 1}, {1.0, 1}, {1.25, 2}, {1.5, 2}, {2.0, 2}, {2.5, 2}, {3.0, 2}};
  for (const Case& k : cases) EXPECT_EQ(qt::PictureSet(k.density), k.set) << k.density;
}

TEST(PictureDensities, ThePainterDrawsTheSetOfItsDevicesDensity) {
  Table t;
  setTileImage(t.c, 0, 8);  // a lying back of the bottom wall
  Control& tile = t.c.view.MJ_Image[0];
  const int id = tile.picture;
  // The same scene painted at 1x, at device pixel ratio 2, and at a table size of 150 %.
  struct Case {
    double ratio, zoom;
    int set;
  } cases[] = {{1.0, 1.0, 1}, {2.0, 1.0, 2}, {1.0, 1.5, 2}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.ratio * k.zoom);
    const double d = k.ratio * k.zoom;
    QImage img(QSize(static_cast<int>(1024 * d), static_cast<int>(768 * d)),
               QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(k.ratio);
    qt::ScenePainter painter;
    {
      QPainter p(&img);
      p.scale(k.zoom, k.zoom);
      painter.paint(p, t.c.view);
    }
    // The tile's device pixels are its picture of the matching set, brought to
    // the tile's device size (the 2x set unscaled at 2, scaled down at 1.5).
    const QImage set(qt::PicturePath(id, k.set));
    const auto px = [d](int v) { return static_cast<int>(std::lround(v * d)); };
    const QPoint at(px(tile.x), px(tile.y));
    const QSize device(px(tile.x + tile.w) - at.x(), px(tile.y + tile.h) - at.y());
    const QImage want = set.size() == device
                            ? set
                            : set.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    int compared = 0, differing = 0;
    for (int y = 0; y < device.height(); ++y)
      for (int x = 0; x < device.width(); ++x) {
        const QRgb w = want.pixel(x, y);
        if (qAlpha(w) < 255) continue;
        ++compared;
        differing += (img.pixel(at + QPoint(x, y)) & 0xFFFFFF) != (w & 0xFFFFFF);
      }
    EXPECT_GT(compared, device.width() * device.height() / 2);
    EXPECT_EQ(differing, 0);
  }
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
