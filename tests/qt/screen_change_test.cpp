// The table window dragged between a common screen and a high-density one:
// what it painted into its backing store comes from the picture set of the
// screen it is on, after every move.
#include <gtest/gtest.h>

#include <QBackingStore>
#include <QImage>

#include "support/two_screens.h"
#include "support/window_rig.h"

namespace tavren {
namespace {

using testing::WaitUntil;
using testing::WindowRig;

// What the window holds in its backing store (device pixels), as it stands.
QImage Stored(QWidget& w) {
  const auto* img = dynamic_cast<const QImage*>(w.backingStore()->paintDevice());
  return img != nullptr ? img->convertToFormat(QImage::Format_RGB32) : QImage();
}

// Of the opaque pixels of `picture`, how many the window shows unlike `expected`
// (a picture of the same size) at `origin` (device pixels of the backing store).
struct Comparison {
  int opaque = 0, unlike = 0;
};
Comparison Compare(const QImage& stored, const QPoint& origin, const QImage& picture,
                   const QImage& expected) {
  Comparison c;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) {
      if (qAlpha(picture.pixel(x, y)) < 255) continue;
      ++c.opaque;
      const QPoint at = origin + QPoint(x, y);
      c.unlike +=
          !stored.valid(at) || (stored.pixel(at) & 0xFFFFFF) != (expected.pixel(x, y) & 0xFFFFFF);
    }
  return c;
}

TEST(OnTwoScreens, AMoveToAScreenOfAnotherDensityDrawsTheTilesFromThatScreensSet) {
  ASSERT_NE(testing::ScreenNamed(testing::kDenseScreen), nullptr) << "run with --two-screens";
  WindowRig r;
  Client& c = r.s.c;
  RunEvent(c, [&] {
    setTileImage(c, 0, 144 + 27);  // a standing 1筒, at its picture's own size
    c.view.MJ_Image[0].w = 50;
    c.view.MJ_Image[0].h = 77;
  });
  r.window.sync();
  r.Settle();
  const Control& tile = c.view.MJ_Image[0];
  // The tile's own pictures, and each one as the other set would show it.
  const QImage one =
      QImage(qt::PicturePath(tile.picture, 1)).convertToFormat(QImage::Format_ARGB32);
  const QImage two =
      QImage(qt::PicturePath(tile.picture, 2)).convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(one.size(), QSize(tile.w, tile.h));
  ASSERT_EQ(two.size(), QSize(tile.w, tile.h) * 2);
  const QImage twoShrunk = two.scaled(one.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  const QImage oneEnlarged =
      one.scaled(two.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

  struct Step {
    const char* screen;
    int density;
  } steps[] = {{testing::kCommonScreen, 1},
               {testing::kDenseScreen, 2},
               {testing::kCommonScreen, 1},
               {testing::kDenseScreen, 2}};
  for (const Step& s : steps) {
    SCOPED_TRACE(s.screen);
    testing::MoveToScreen(r.window, s.screen);
    // The platform reports the new screen; the window paints itself again at
    // its density into a backing store of that many device pixels.
    const QSize device = r.window.size() * s.density;
    const QPoint origin =
        (r.window.surface()->geometry().topLeft() + QPoint(tile.x, tile.y)) * s.density;
    const QImage& picture = s.density == 2 ? two : one;
    const QImage& otherSet = s.density == 2 ? oneEnlarged : twoShrunk;
    ASSERT_TRUE(WaitUntil(
        [&] {
          const QImage stored = Stored(r.window);
          return r.window.screen()->name() == QLatin1String(s.screen) && stored.size() == device &&
                 Compare(stored, origin, picture, picture).unlike == 0;
        },
        10000))
        << "the window on " << s.screen << " did not show the tile from the " << s.density
        << "x set";
    EXPECT_EQ(r.window.devicePixelRatio(), s.density);
    const QImage stored = Stored(r.window);
    const Comparison own = Compare(stored, origin, picture, picture);
    const Comparison other = Compare(stored, origin, picture, otherSet);
    ASSERT_GT(own.opaque, picture.width() * picture.height() / 2);
    // Every opaque device pixel of the tile is its own set's; the other set,
    // brought to this density, is unlike it at many of them.
    EXPECT_EQ(own.unlike, 0);
    EXPECT_GT(other.unlike, own.opaque / 4);
  }
}

}  // namespace
}  // namespace tavren
