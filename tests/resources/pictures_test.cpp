// The embedded pictures: every catalogue id is there at its listed size, the shapes that
// are not rectangles are transparent around them, and no two faces look alike.

#include "pictures.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QImage>
#include <set>

#include "chat/bubbles.h"
#include "view/catalogue.h"
#include "view/scene.h"

namespace tavren {
namespace {

class Pictures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { initPictures(); }

  static QImage load(int id) { return QImage(QString::fromStdString(picturePath(id))); }
  static QByteArray digest(const QImage& image) {
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    return QCryptographicHash::hash(
        QByteArrayView(reinterpret_cast<const char*>(rgba.constBits()), rgba.sizeInBytes()),
        QCryptographicHash::Sha1);
  }
};

TEST_F(Pictures, EveryCatalogueIdAtItsListedSize) {
  for (int id : CatalogueIds()) {
    const QImage image = load(id);
    ASSERT_FALSE(image.isNull()) << "picture " << id << " is missing";
    const PicSize want = *PictureSize(id);
    EXPECT_EQ(image.width(), want.w) << id;
    EXPECT_EQ(image.height(), want.h) << id;
  }
}

TEST_F(Pictures, GapsHoldNoPicture) {
  for (int id : {100, 121, 122, 138, 140, 156, 160, 177, 182, 399, 400, 485})
    EXPECT_FALSE(QFile::exists(QString::fromStdString(picturePath(id)))) << id;
}

TEST_F(Pictures, ChromeAndWidgetPicturesAreThere) {
  struct Case {
    const char* path;
    int w, h;
  };
  const Case cases[] = {
      {":/pics/skin.png", 1040, 796},     {":/pics/skin-pieces.png", 46, 220},
      {":/pics/icon.png", 64, 64},        {":/pics/close-normal.png", 18, 16},
      {":/pics/close-hover.png", 18, 16}, {":/pics/close-pressed.png", 18, 16},
      {":/pics/min-normal.png", 18, 16},  {":/pics/min-hover.png", 18, 16},
      {":/pics/min-pressed.png", 18, 16}, {":/pics/countdown.png", 81, 38},
      {":/pics/ready.png", 40, 40},       {":/pics/dealer.png", 30, 30},
      {":/pics/wild-frame.png", 80, 124},
  };
  for (const auto& c : cases) {
    const QImage image(QString::fromLatin1(c.path));
    ASSERT_FALSE(image.isNull()) << c.path;
    EXPECT_EQ(image.size(), QSize(c.w, c.h)) << c.path;
  }
  // the table shows through the middle of the frame
  const QImage skin(QStringLiteral(":/pics/skin.png"));
  EXPECT_EQ(qAlpha(skin.pixel(520, 400)), 0);
  EXPECT_EQ(qAlpha(skin.pixel(3, 400)), 255);
  EXPECT_EQ(qAlpha(skin.pixel(520, 10)), 255);
}

TEST_F(Pictures, ShapedPicturesAreTransparentAroundTheShape) {
  // bubbles, claim words and tumbling dice float over the table
  std::vector<int> ids;
  for (int id = 415; id <= 420; ++id) ids.push_back(id);
  for (int id = 426; id <= 443; ++id) ids.push_back(id);
  for (int id = 183; id <= 190; ++id) ids.push_back(id);
  for (int id = 167; id <= 176; ++id) ids.push_back(id);
  for (int id : ids) {
    const QImage image = load(id);
    ASSERT_FALSE(image.isNull()) << id;
    const int w = image.width() - 1, h = image.height() - 1;
    int transparentCorners = 0;
    for (QPoint corner : {QPoint(0, 0), QPoint(w, 0), QPoint(0, h), QPoint(w, h)})
      transparentCorners += qAlpha(image.pixel(corner)) == 0;
    EXPECT_GE(transparentCorners, 2) << id;
    int opaque = 0;
    for (int y = 0; y <= h; ++y)
      for (int x = 0; x <= w; ++x) opaque += qAlpha(image.pixel(x, y)) == 255;
    EXPECT_GT(opaque, (w + 1) * (h + 1) / 10) << id << " has almost nothing drawn";
  }
}

TEST_F(Pictures, NoTwoFacesOfAnOrientationAlike) {
  for (int o = 0; o < 5; ++o) {
    std::set<QByteArray> seen;
    for (int p = 0; p < 36; ++p) {
      const int id = 201 + 36 * o + p;
      EXPECT_TRUE(seen.insert(digest(load(id))).second) << id << " repeats another picture";
    }
    for (int f = 1; f <= 8; ++f)
      EXPECT_TRUE(seen.insert(digest(load(*FlowerPicId(o, f)))).second) << o << " flower " << f;
  }
}

TEST_F(Pictures, TwentyDifferentPortraits) {
  PictureTables t;
  buildImageIdTables(t, 1.0f);
  std::set<QByteArray> seen;
  for (int id : t.PortraitPics) EXPECT_TRUE(seen.insert(digest(load(id))).second) << id;
}

TEST_F(Pictures, ButtonStatesDiffer) {
  // normal and highlighted pairs, and the three states of each operation button
  for (int id = 101; id <= 119; id += 2) EXPECT_NE(digest(load(id)), digest(load(id + 1))) << id;
  for (int id = 381; id <= 397; id += 2) EXPECT_NE(digest(load(id)), digest(load(id + 1))) << id;
  for (int id = 141; id <= 155; id += 3) {
    EXPECT_NE(digest(load(id)), digest(load(id + 1))) << id;
    EXPECT_NE(digest(load(id + 1)), digest(load(id + 2))) << id;
  }
}

// Where the red 萬 lies against its dark numeral tells which way a face is turned: the
// numeral is the top of the character tile, so it must point away from the tile's owner.
TEST_F(Pictures, FacesReadFromTheirOwnersSide) {
  struct Centroid {
    double x = 0, y = 0;
    int n = 0;
    void add(int px, int py) {
      x += px;
      y += py;
      ++n;
    }
    QPointF at() const { return {x / n, y / n}; }
  };
  for (int o = 0; o < 5; ++o) {
    for (int rank = 1; rank <= 9; ++rank) {
      const int id = 201 + 36 * o + 17 + rank;  // rank 萬
      const QImage image = load(id);
      Centroid red, ink;
      for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
          const QRgb c = image.pixel(x, y);
          if (qAlpha(c) < 255) continue;
          if (qRed(c) > 150 && qGreen(c) < 90 && qBlue(c) < 90) red.add(x, y);
          if (qRed(c) < 90 && qGreen(c) < 90 && qBlue(c) < 140 && qBlue(c) > qRed(c)) ink.add(x, y);
        }
      ASSERT_GT(red.n, 0) << id;
      ASSERT_GT(ink.n, 0) << id;
      const QPointF r = red.at(), k = ink.at();
      switch (o) {
        case 0:
        case 4:
          EXPECT_LT(k.y(), r.y()) << id << ": the numeral must be above";
          break;
        case 1:
          EXPECT_GT(k.x(), r.x()) << id << ": the numeral must point right";
          break;
        case 2:
          EXPECT_GT(k.y(), r.y()) << id << ": the numeral must be below";
          break;
        case 3:
          EXPECT_LT(k.x(), r.x()) << id << ": the numeral must point left";
          break;
      }
    }
  }
}

TEST_F(Pictures, BacksAreJadeFacesAreIvory) {
  const auto share = [](const QImage& image, auto&& pred) {
    int hits = 0, all = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        const QRgb c = image.pixel(x, y);
        if (qAlpha(c) < 255) continue;
        ++all;
        hits += pred(c);
      }
    return all ? double(hits) / all : 0.0;
  };
  const auto jade = [](QRgb c) { return qGreen(c) > qRed(c) + 40 && qGreen(c) > qBlue(c) + 10; };
  const auto ivory = [](QRgb c) { return qRed(c) > 200 && qGreen(c) > 190 && qBlue(c) > 150; };
  for (int o = 0; o < 5; ++o) {
    for (int back : {7, 8}) {
      const int id = 201 + 36 * o + back;
      EXPECT_GT(share(load(id), jade), 0.45) << id;
    }
    for (int p : {0, 6, 9, 18, 27, 35}) {
      const int id = 201 + 36 * o + p;
      const QImage image = load(id);
      EXPECT_GT(share(image, ivory), 0.4) << id;
      EXPECT_GT(share(image, jade), 0.04) << id << ": the jade edge must show";
    }
  }
}

TEST_F(Pictures, PortraitsAreOpaque) {
  PictureTables t;
  buildImageIdTables(t, 1.0f);
  for (int id : t.PortraitPics) {
    const QImage image = load(id);
    for (QPoint p : {QPoint(0, 0), QPoint(84, 0), QPoint(0, 89), QPoint(84, 89), QPoint(42, 45)})
      EXPECT_EQ(qAlpha(image.pixel(p)), 255) << id;
  }
}

// The two labels that open the phrase lists: small opaque buttons whose captions stand
// out in light ink, each with its own caption.
TEST_F(Pictures, PhraseLabelsAreSmallButtonsWithTheirCaptions) {
  std::set<QByteArray> seen;
  for (int id : {kPicPhrases1, kPicPhrases2}) {
    const QImage image = load(id);
    ASSERT_FALSE(image.isNull()) << id;
    EXPECT_EQ(image.size(), QSize(57, 13)) << id;
    int opaque = 0, ink = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        const QRgb c = image.pixel(x, y);
        opaque += qAlpha(c) == 255;
        if (x >= 6 && x < 51 && y >= 2 && y < 11)
          ink += qAlpha(c) == 255 && qRed(c) > 190 && qGreen(c) > 150;
      }
    EXPECT_GT(opaque, 57 * 13 * 9 / 10) << id;
    EXPECT_GT(ink, 40) << id << ": the caption must show";
    EXPECT_TRUE(seen.insert(digest(image)).second) << id;
  }
}

// A phrase bubble's window is cut to the pixels that differ from the corner's colour
// (read without alpha): outside the bubble every pixel is exactly that colour, inside
// none is see-through or reads as the key, so the cut leaves neither holes nor a
// fringe; and the whole box the side's phrase is written in lies inside the bubble.
TEST_F(Pictures, PhraseBubblesAreKeyedCleanlyAndHoldTheirPhrase) {
  for (int side = 0; side < 4; ++side) {
    const QImage image = load(kSpeakBoxPics[side]);
    ASSERT_FALSE(image.isNull()) << side;
    ASSERT_EQ(image.size(), QSize(kSpeakBoxW, kSpeakBoxH)) << side;
    const QRgb key = image.pixel(0, 0);
    EXPECT_EQ(qAlpha(key), 0) << side;
    const int w = image.width(), h = image.height();
    for (QPoint corner : {QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1)})
      EXPECT_EQ(image.pixel(corner), key) << side;
    int soft = 0, likeKey = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const QRgb c = image.pixel(x, y);
        if (c == key) continue;
        soft += qAlpha(c) != 255;
        likeKey += (c & 0xFFFFFF) == (key & 0xFFFFFF);
      }
    EXPECT_EQ(soft, 0) << side << ": pixels neither key nor opaque";
    EXPECT_EQ(likeKey, 0) << side << ": opaque pixels of the key's colour";
    const BubblePlace& at = kBubblePlaces[side];
    const QRect text(at.textLeft / kTwipsPerPixel, at.textTop / kTwipsPerPixel, at.textW, at.textH);
    int outside = 0;
    for (int y = text.top(); y <= text.bottom(); ++y)
      for (int x = text.left(); x <= text.right(); ++x)
        outside += !image.rect().contains(x, y) || qAlpha(image.pixel(x, y)) != 255;
    EXPECT_EQ(outside, 0) << side << ": the phrase's box leaves the bubble";
  }
}

}  // namespace
}  // namespace tavren
