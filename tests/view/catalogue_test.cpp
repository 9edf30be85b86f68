#include "view/catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>

namespace tavren {
namespace {

TEST(ScaleForScreen, FullSizeFromTenTwentyFourBySevenSixtyEight) {
  struct Case {
    int w, h;
    float scale;
  };
  const Case cases[] = {
      {1024, 768, 1.0f},     {1280, 1024, 1.0f},    {1920, 1080, 1.0f},
      {1023, 768, 0.78125f}, {1024, 767, 0.78125f}, {800, 600, 0.78125f},
      {2000, 700, 0.78125f}, {0, 0, 0.78125f},      {-5, 900, 0.78125f},
  };
  for (const auto& c : cases) {
    const Scale s = ScaleForScreen(c.w, c.h);
    EXPECT_EQ(s.x, c.scale) << c.w << "x" << c.h;
    EXPECT_EQ(s.y, c.scale) << c.w << "x" << c.h;
  }
}

TEST(ButtonPics, LargeSetAtFullScaleSmallSetOtherwise) {
  PictureTables large, small;
  buildImageIdTables(large, ScaleForScreen(1024, 768).x);
  buildImageIdTables(small, ScaleForScreen(1023, 768).x);
  // the send button has one size only
  EXPECT_EQ(large.ButtonPics[0], 101);
  EXPECT_EQ(large.ButtonPics[1], 102);
  EXPECT_EQ(small.ButtonPics[0], 101);
  EXPECT_EQ(small.ButtonPics[1], 102);
  for (int i = 2; i < 20; ++i) {
    EXPECT_EQ(large.ButtonPics[i], 101 + i) << i;
    EXPECT_EQ(small.ButtonPics[i], 379 + i) << i;
  }
  EXPECT_EQ(small.ButtonPics[2], 381);   // chat, small
  EXPECT_EQ(small.ButtonPics[19], 398);  // exit highlighted, small
  PictureTables almost;
  buildImageIdTables(almost, 0.999f);
  EXPECT_EQ(almost.ButtonPics[6], 385);  // only exactly 1.0 takes the large set
}

TEST(PictureTables, FixedTablesNameTheirPictures) {
  PictureTables t;
  buildImageIdTables(t, 1.0f);
  struct Row {
    const char* name;
    const int* table;
    int size;
    int base;
  };
  const Row rows[] = {
      {"BadgePics", t.BadgePics.data(), 3, 123},
      {"ClaimButtonPics", t.ClaimButtonPics.data(), 18, 141},
      {"DicePics", t.DicePics.data(), 16, 161},
      {"ClaimWordPics", t.ClaimWordPics.data(), 8, 183},
      {"DialogButtonPics", t.DialogButtonPics.data(), 8, 130},
      {"CompassPics", t.CompassPics.data(), 4, 126},
      {"HoldBubblePics", t.HoldBubblePics.data(), 3, 415},
      {"FollowBubblePics", t.FollowBubblePics.data(), 3, 418},
      {"ChoiceButtonPics", t.ChoiceButtonPics.data(), 4, 411},
  };
  for (const auto& r : rows)
    for (int i = 0; i < r.size; ++i) EXPECT_EQ(r.table[i], r.base + i) << r.name << " " << i;
}

TEST(PortraitPics, MenThenWomen) {
  PictureTables t;
  buildImageIdTables(t, 1.0f);
  EXPECT_EQ(t.PortraitPics[0], 191);
  EXPECT_EQ(t.PortraitPics[9], 200);
  EXPECT_EQ(t.PortraitPics[10], 401);
  EXPECT_EQ(t.PortraitPics[19], 410);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(PictureSize(t.PortraitPics[i]), (PicSize{85, 90})) << i;
}

TEST(TilePics, GroupsOfThirtySixThenTheWildTile) {
  PictureTables t;
  buildImageIdTables(t, 1.0f);
  for (int o = 0; o < 5; ++o)
    for (int p = 0; p < 36; ++p) EXPECT_EQ(t.TilePics[36 * o + p], 201 + 36 * o + p);
  EXPECT_EQ(t.TilePics[180], 422);
  EXPECT_EQ(t.TilePics[181], 423);
  EXPECT_EQ(t.TilePics[182], 424);
  EXPECT_EQ(t.TilePics[183], 425);
  EXPECT_EQ(t.TilePics[184], 421);
}

TEST(TilePicIndex, FaceOfEachSuitInEachOrientation) {
  PictureTables t;
  buildImageIdTables(t, 1.0f);
  struct Case {
    int orientation, code, index, picture;
  };
  const Case cases[] = {
      {2, 0x29, 89, 290},   // 9条 of the top side
      {0, 0x11, 0, 201},    // 東 lying in front of the user
      {0, 0x17, 6, 207},    // 白
      {4, 0x15, 148, 349},  // 中 standing in the user's hand
      {1, 0x21, 45, 246},   // 1条 of the left side
      {3, 0x49, 134, 335},  // 9萬 of the right side
      {4, 0x81, 171, 372},  // 1筒 standing
      {4, 0x89, 179, 380},  // 9筒 standing, the last face
      {0, 5, 180, 422},     // the wild tile has its own pictures
      {3, 5, 183, 425},    {4, 5, 184, 421},
  };
  for (const auto& c : cases) {
    const auto index = TilePicIndex(c.orientation, c.code);
    ASSERT_TRUE(index.has_value()) << c.orientation << " " << c.code;
    EXPECT_EQ(*index, c.index) << c.orientation << " " << c.code;
    EXPECT_EQ(t.TilePics[*index], c.picture) << c.orientation << " " << c.code;
  }
}

TEST(TilePicIndex, RejectsWhatNamesNoFace) {
  struct Case {
    int orientation, code;
  };
  const Case cases[] = {
      {-1, 0x11},  {5, 0x11},   // orientation outside 0..4
      {0, 0},                   // no tile
      {0, 1},      {0, 8},      // flowers have their own pictures
      {0, 0x10},   {0, 0x18},   // honours have ranks 1..7
      {0, 0x20},   {0, 0x2A},   // suits have ranks 1..9
      {0, 0x31},   {0, 0xF1},   // not a suit bit
      {0, 0x111},  {0, -0x11},  // outside a byte
      {0, 0x4029},              // a request marker left on the code
  };
  for (const auto& c : cases)
    EXPECT_FALSE(TilePicIndex(c.orientation, c.code).has_value()) << c.orientation << " " << c.code;
}

TEST(TileBackIndex, StandingAndLyingBacksOfEachSide) {
  PictureTables t;
  buildImageIdTables(t, 1.0f);
  EXPECT_EQ(t.TilePics[*TileBackIndex(3, false)], 317);  // the lying back of side 3
  EXPECT_EQ(*TileBackIndex(0, false), 8);
  EXPECT_EQ(*TileBackIndex(1, false), 44);
  EXPECT_EQ(*TileBackIndex(2, false), 80);
  EXPECT_EQ(*TileBackIndex(3, false), 116);
  EXPECT_EQ(*TileBackIndex(0, true), 7);
  EXPECT_EQ(*TileBackIndex(1, true), 43);
  EXPECT_EQ(*TileBackIndex(2, true), 79);
  EXPECT_EQ(*TileBackIndex(3, true), 115);
  EXPECT_FALSE(TileBackIndex(5, true).has_value());
  EXPECT_FALSE(TileBackIndex(-1, false).has_value());
}

TEST(FlowerPicId, EightFlowersPerOrientation) {
  EXPECT_EQ(FlowerPicId(0, 1), 445);
  EXPECT_EQ(FlowerPicId(0, 8), 452);
  EXPECT_EQ(FlowerPicId(1, 1), 453);
  EXPECT_EQ(FlowerPicId(2, 3), 463);
  EXPECT_EQ(FlowerPicId(4, 8), 484);
  EXPECT_FALSE(FlowerPicId(0, 9).has_value());
  EXPECT_FALSE(FlowerPicId(0, 0).has_value());
  EXPECT_FALSE(FlowerPicId(5, 1).has_value());
  EXPECT_FALSE(FlowerPicId(-1, 1).has_value());
  // a flower has the size of a tile of its orientation
  for (int o = 0; o < 5; ++o)
    for (int f = 1; f <= 8; ++f)
      EXPECT_EQ(PictureSize(*FlowerPicId(o, f)), PictureSize(201 + 36 * o)) << o << " " << f;
}

TEST(PictureSize, ListedSizes) {
  struct Case {
    int id, w, h;
  };
  const Case cases[] = {
      {101, 48, 30}, {120, 55, 31},   {123, 82, 80}, {126, 77, 77}, {131, 70, 29}, {137, 64, 26},
      {155, 50, 71}, {161, 50, 56},   {176, 50, 50}, {191, 85, 90}, {201, 50, 58}, {237, 59, 46},
      {290, 34, 37}, {317, 59, 46},   {380, 50, 77}, {381, 43, 24}, {398, 43, 24}, {410, 85, 90},
      {414, 55, 31}, {415, 131, 102}, {421, 50, 77}, {422, 50, 58}, {423, 59, 46}, {424, 34, 37},
      {425, 59, 46}, {443, 131, 102}, {444, 59, 46}, {452, 50, 58}, {468, 34, 37}, {484, 50, 77},
  };
  for (const auto& c : cases) {
    const auto s = PictureSize(c.id);
    ASSERT_TRUE(s.has_value()) << c.id;
    EXPECT_EQ(*s, (PicSize{c.w, c.h})) << c.id;
  }
}

TEST(PictureSize, NothingInTheGaps) {
  for (int id : {0, 100, 121, 122, 138, 139, 140, 156, 160, 177, 182, 399, 400, 485, -101})
    EXPECT_FALSE(PictureSize(id).has_value()) << id;
}

TEST(CatalogueIds, AscendingAndEachHasASize) {
  const auto ids = CatalogueIds();
  ASSERT_FALSE(ids.empty());
  EXPECT_EQ(ids.front(), 101);
  EXPECT_EQ(ids.back(), 484);
  EXPECT_TRUE(std::adjacent_find(ids.begin(), ids.end(), [](int a, int b) { return a >= b; }) ==
              ids.end());
  const std::set<int> listed(ids.begin(), ids.end());
  for (int id = 0; id < 600; ++id)
    EXPECT_EQ(listed.count(id) == 1, PictureSize(id).has_value()) << id;
}

TEST(PictureTables, EveryEntryNamesACataloguePicture) {
  PictureTables large, small;
  buildImageIdTables(large, 1.0f);
  buildImageIdTables(small, 0.78125f);
  const auto check = [](const auto& table, const char* name, size_t existing) {
    for (size_t i = 0; i < existing; ++i)
      EXPECT_TRUE(PictureSize(table[i]).has_value()) << name << " " << i;
  };
  for (const PictureTables* t : {&large, &small}) {
    check(t->ButtonPics, "ButtonPics", 20);
    check(t->BadgePics, "BadgePics", 3);
    check(t->TilePics, "TilePics", 185);
    check(t->ClaimButtonPics, "ClaimButtonPics", 15);  // 15..17 name no picture
    check(t->DicePics, "DicePics", 16);
    check(t->ClaimWordPics, "ClaimWordPics", 8);
    check(t->PortraitPics, "PortraitPics", 20);
    check(t->DialogButtonPics, "DialogButtonPics", 8);
    check(t->CompassPics, "CompassPics", 4);
    check(t->HoldBubblePics, "HoldBubblePics", 3);
    check(t->FollowBubblePics, "FollowBubblePics", 3);
    check(t->ChoiceButtonPics, "ChoiceButtonPics", 4);
  }
  for (int i = 15; i < 18; ++i) EXPECT_FALSE(PictureSize(large.ClaimButtonPics[i]).has_value());
}

TEST(TilePics, EachOrientationHasOneSize) {
  PictureTables t;
  buildImageIdTables(t, 1.0f);
  const PicSize sizes[] = {{50, 58}, {59, 46}, {34, 37}, {59, 46}, {50, 77}};
  for (int o = 0; o < 5; ++o) {
    for (int p = 0; p < 36; ++p) EXPECT_EQ(PictureSize(t.TilePics[36 * o + p]), sizes[o]);
    EXPECT_EQ(PictureSize(t.TilePics[*TilePicIndex(o, kWildTileCode)]), sizes[o]) << o;
  }
}

}  // namespace
}  // namespace tavren
