// Seat rendering: the standing rows, discard rows and side 3's re-stacking, the
// two wall ends and the watching-mode operations.
#include "view/seats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "core/client.h"
#include "platform/sim/sim_world.h"
#include "support/pause_spy.h"
#include "view/scene.h"

namespace tavren {
namespace {

using testing::PauseSpy;

struct Table {
  sim::World world;
  PauseSpy platform{world};
  Client c{platform};
  explicit Table(PixelSize screen = {1280, 1024}) {
    platform.attach(c);
    platform.screen = screen;
    c.table.custom[0].seat = 1;
    LayOutTable(c);
  }
  HandRecord& hand(int side) { return c.table.custom[static_cast<std::size_t>(side)]; }
  Control& tile(int control) { return c.view.MJ_Image[static_cast<std::size_t>(control)]; }
  long pos(int control) {
    const auto& o = c.view.order;
    return std::find(o.begin(), o.end(), &tile(control)) - o.begin();
  }
};

std::uint8_t SeatOfSide(const Client& c, int side) {
  for (std::uint8_t bit : {1, 2, 4, 8})
    if (SideOf(c, bit) == side) return bit;
  return 0;
}

TEST(StandingRow, PlaceAndOverlapPerSide) {
  struct Case {
    bool small;
    int side, slot;
    int x, y, w, h;
  };
  const Case cases[] = {
      {false, 0, 4, 19 + 4 * 48, 564, 48, 78},
      {false, 0, 16, 19 + 16 * 48, 564, 48, 78},
      {false, 1, 4, 163 - 20, 192 + 70, 35, 66},
      {false, 1, 5, 163 - 25, 192 + 88, 35, 66},  // 87.5 rounds away from zero
      {false, 2, 4, 842 - 4 * 36, 122, 36, 50},
      {false, 3, 4, 942 - 25, 560 - 88, 35, 66},
      {false, 3, 0, 942 - 5, 560 - 18, 35, 66},
      // 800 x 600: anchors and steps scaled by 0.78125, each rounded.
      {true, 0, 4, 15 + 4 * 38, 441, 38, 61},
      {true, 1, 4, 127 - 16, 150 + 54, 27, 52},
      {true, 3, 4, 736 - 20, 438 - 68, 27, 52},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "side " << k.side << " slot " << k.slot << " small " << k.small);
    Table t(k.small ? PixelSize{800, 600} : PixelSize{1280, 1024});
    LoadSteps(t.c, Steps::Standing);
    placeInStandingRow(t.c, k.side, k.slot, 50);
    placeInStandingRow(t.c, k.side, k.slot + 1, 51);
    const Control& tile = t.tile(50);
    EXPECT_EQ(tile.x, k.x);
    EXPECT_EQ(tile.y, k.y);
    EXPECT_EQ(tile.w, k.w);
    EXPECT_EQ(tile.h, k.h);
    if (k.side == 1) {
      EXPECT_GT(t.pos(51), t.pos(50));  // each new tile in front
    }
    if (k.side == 3) {
      EXPECT_LT(t.pos(51), t.pos(50));  // each new tile behind
    }
  }
}

TEST(StandingRow, DrawnTileGapAlongEachRow) {
  Table t;
  LoadSteps(t.c, Steps::Standing);
  const int dx[4] = {24, 0, -10, 0}, dy[4] = {0, 10, 0, -10};
  for (int side = 0; side < 4; ++side) {
    placeInStandingRow(t.c, side, 8, 60 + side);
    const Point before{t.tile(60 + side).x, t.tile(60 + side).y};
    applyDrawnGap(t.c, side, 60 + side);
    EXPECT_EQ(t.tile(60 + side).x - before.x, dx[side]) << side;
    EXPECT_EQ(t.tile(60 + side).y - before.y, dy[side]) << side;
  }
}

TEST(DiscardRows, RowsOfEightAndTheNinthTileOfEachSide) {
  struct Case {
    bool small;
    int side;
    Point first, second, eighth, ninth;
    int w, h;
  };
  const Case cases[] = {
      // The ninth of side 0 starts a row at the origin, 32 pixels higher.
      {false, 0, {358, 438}, {394, 438}, {610, 438}, {358, 406}, 36, 50},
      // Side 1 builds columns downwards, 5 pixels left per tile; the new column
      // lies 48 + 40 − 5 to the right of the cursor the eighth tile left.
      {false, 1, {287, 238}, {282, 256}, {252, 364}, {330, 238}, 48, 35},
      {false, 2, {635, 238}, {605, 238}, {425, 238}, {635, 260}, 30, 36},
      {false, 3, {758, 438}, {753, 420}, {723, 312}, {715, 438}, 48, 35},
      // 800 x 600: scaled steps, while the 5-pixel shift and the 40 stay unscaled.
      {true, 0, {280, 342}, {308, 342}, {476, 342}, {280, 317}, 28, 39},
      {true, 1, {224, 186}, {219, 200}, {189, 284}, {258, 186}, 38, 27},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(::testing::Message() << k.side << (k.small ? " small" : ""));
    Table t(k.small ? PixelSize{800, 600} : PixelSize{1280, 1024});
    LoadSteps(t.c, Steps::Lying);
    for (int i = 0; i < 9; ++i) {
      layDiscard(t.c, k.side, 20 + i);
      EXPECT_EQ(t.c.tableView.LastDiscardX, t.tile(20 + i).x);
      EXPECT_EQ(t.c.tableView.LastDiscardY, t.tile(20 + i).y);
    }
    EXPECT_EQ((Point{t.tile(20).x, t.tile(20).y}), k.first);
    EXPECT_EQ((Point{t.tile(21).x, t.tile(21).y}), k.second);
    EXPECT_EQ((Point{t.tile(27).x, t.tile(27).y}), k.eighth);
    EXPECT_EQ((Point{t.tile(28).x, t.tile(28).y}), k.ninth);
    EXPECT_EQ(t.tile(28).w, k.w);
    EXPECT_EQ(t.tile(28).h, k.h);
    if (k.side == 1 || k.side == 2) {
      EXPECT_GT(t.pos(28), t.pos(27));
    }
    if (k.side == 0) {
      EXPECT_LT(t.pos(28), t.pos(27));
    }
  }
}

TEST(DiscardRows, SideThreeRestacksItsColumns) {
  Table t;
  LoadSteps(t.c, Steps::Lying);
  auto rd = [](int i) { return 100 + i; };
  for (int i = 0; i < 8; ++i) layDiscard(t.c, 3, rd(i));
  // Within a column the lower tile (laid earlier) covers the one above it.
  for (int i = 0; i < 7; ++i) EXPECT_GT(t.pos(rd(i)), t.pos(rd(i + 1))) << i;

  for (int i = 8; i < 17; ++i) layDiscard(t.c, 3, rd(i));
  // The 17th brings 15..8 and then 16 to the very front.
  const auto& order = t.c.view.order;
  const int expected[9] = {rd(15), rd(14), rd(13), rd(12), rd(11), rd(10), rd(9), rd(8), rd(16)};
  for (int j = 0; j < 9; ++j)
    EXPECT_EQ(order[order.size() - 9 + static_cast<std::size_t>(j)], &t.tile(expected[j])) << j;
  EXPECT_LT(t.pos(rd(0)), t.pos(rd(15)));
  EXPECT_EQ(t.c.tableView.RightDiscardCount, 17);

  for (int i = 17; i < 25; ++i) layDiscard(t.c, 3, rd(i));
  EXPECT_EQ(t.c.tableView.RightDiscardCount, 24);  // the 25th is laid but not listed
  EXPECT_EQ(t.c.tableView.RightDiscards[23], rd(23));
  EXPECT_EQ(t.tile(rd(24)).w, 48);
}

TEST(WallEnds, FrontAndBackWalks) {
  struct Case {
    int from, back;
  };
  // The back end walks a column from its top layer down (layers are the
  // position mod 3), then to the top layer of the previous column.
  const Case cases[] = {{138, 139}, {139, 140}, {140, 135}, {141, 142}, {142, 143},
                        {143, 138}, {0, 1},     {2, 141},   {5, 0},     {-1, 138}};
  for (const Case& k : cases) EXPECT_EQ(NextBackPosition(k.from), k.back) << k.from;

  Table t;
  t.c.table.MJPOINT = 143;
  advanceFront(t.c);
  EXPECT_EQ(t.c.table.MJPOINT, 0);
  t.c.table.MJPOINT = 300;  // never trusted as an index
  advanceFront(t.c);
  EXPECT_EQ(t.c.table.MJPOINT, 13);
}

TEST(WatchingIntake, DealBatchesStandFaceDownAndMaskTheirCodes) {
  Table t;
  t.c.table.MJPOINT = 30;
  std::array<std::int16_t, 12> tiles{0x121, 0x22, 0x23, 0x45, 0x87, 0x11};
  takeWallTilesWatching(t.c, 1, 6, tiles);
  const HandRecord& h = t.hand(0);
  EXPECT_EQ(h.count, 6);
  EXPECT_EQ(tiles[0], 0x21);
  EXPECT_EQ(t.c.table.MJPOINT, 36);
  for (int i = 0; i < 6; ++i) {
    const TileSlot& s = h.mj[static_cast<std::size_t>(4 + i)];
    EXPECT_EQ(s.typ, kSlotStanding);
    EXPECT_EQ(s.ind, 30 + i);
    EXPECT_EQ(s.value, tiles[static_cast<std::size_t>(i)]);
    EXPECT_EQ(t.tile(30 + i).picture, 208);  // standing back
    EXPECT_EQ(t.tile(30 + i).x, 19 + 48 * (4 + i));
    EXPECT_EQ(t.tile(30 + i).h, 78);
  }

  // The other sides' batches keep no values and show their own backs.
  const int backs[4] = {0, 244, 280, 316};
  for (int side = 1; side < 4; ++side) {
    std::array<std::int16_t, 12> others{0x21, 0x22, 0x23, 0x24, 0x25, 0x26};
    takeWallTilesWatching(t.c, SeatOfSide(t.c, side), 6, others);
    const HandRecord& o = t.hand(side);
    EXPECT_EQ(o.count, 6);
    EXPECT_EQ(o.mj[4].value, 0);
    EXPECT_EQ(t.tile(o.mj[9].ind).picture, backs[side]);
  }
  EXPECT_EQ(t.c.table.MJPOINT, 54);
}

TEST(WatchingIntake, SingleTilesReadElementThreeAndReplacementsComeFromTheBack) {
  Table t;
  t.c.table.MJPOINT = 10;
  t.c.table.MJFIRST = 141;
  t.c.table.WildTileCode = 0x29;
  std::array<std::int16_t, 12> tiles{0x11, 0, 0, 0x125};
  takeWallTilesWatching(t.c, 1, 1, tiles);
  HandRecord& h = t.hand(0);
  EXPECT_EQ(h.mj[4].value, 0x25);
  EXPECT_EQ(tiles[3], 0x25);
  EXPECT_EQ(tiles[0], 0x11);  // elements not used stay as they were
  EXPECT_EQ(h.mj[4].ind, 10);
  EXPECT_EQ(t.tile(10).x, 19 + 4 * 48 + 24);  // drawn-tile gap once play has begun

  // After a kong: from MJFIRST, which walks on; the next tile comes from the front again.
  t.c.tableView.DrawFromFront = false;
  tiles = {0, 0, 0, 0x31};
  takeWallTilesWatching(t.c, 1, 1, tiles);
  EXPECT_EQ(h.mj[5].ind, 141);
  EXPECT_EQ(t.c.table.MJFIRST, 142);
  EXPECT_TRUE(t.c.tableView.DrawFromFront);
  EXPECT_EQ(t.tile(141).x, 19 + 5 * 48 + 24);

  // Another side takes 143 and the back end moves to 138; no gap in watching mode.
  t.c.table.MJFIRST = 143;
  t.c.tableView.DrawFromFront = false;
  takeWallTilesWatching(t.c, SeatOfSide(t.c, 2), 1, tiles);
  const HandRecord& top = t.hand(2);
  EXPECT_EQ(top.mj[4].ind, 143);
  EXPECT_EQ(t.c.table.MJFIRST, 138);
  EXPECT_EQ(t.tile(143).x, 842 - 4 * 36);
  EXPECT_TRUE(t.c.tableView.DrawFromFront);
}

TEST(WatchingIntake, BrokenHandsAreNotPlaced) {
  Table t;
  t.c.table.MJPOINT = 10;
  std::array<std::int16_t, 12> tiles{0x21, 0x22, 0x23, 0x24, 0x25, 0x26};
  HandRecord& h = t.hand(1);
  h.count = 17;  // first + count = 21: no room left
  takeWallTilesWatching(t.c, SeatOfSide(t.c, 1), 1, tiles);
  EXPECT_EQ(h.count, 17);
  EXPECT_EQ(t.c.table.MJPOINT, 10);
  h.count = 0;
  h.first = 30;
  takeWallTilesWatching(t.c, SeatOfSide(t.c, 1), 6, tiles);
  EXPECT_EQ(h.count, 0);
  EXPECT_EQ(t.c.table.MJPOINT, 10);
  // A batch longer than its list is refused as well.
  h.first = 4;
  takeWallTilesWatching(t.c, SeatOfSide(t.c, 1), 6, std::span<std::int16_t>(tiles).first(3));
  EXPECT_EQ(h.count, 0);
  // A missing seat bit is side 0 like any other.
  EXPECT_EQ(SideOf(t.c, 0), 0);
  // A discard from an empty row lays nothing and leaves no stale discard behind.
  t.c.table.LastDiscardInd = 12;
  showDiscardWatching(t.c, SeatOfSide(t.c, 2), 0x21);
  EXPECT_EQ(t.c.table.LastDiscardInd, -1);
  EXPECT_EQ(t.hand(2).discardX, 635);
}

TEST(WatchingDiscard, SideZeroDiscardsItsLastStandingTile) {
  Table t;
  t.c.sound.SoundOn = true;
  LoadSoundFiles(t.c);
  t.c.table.MJPOINT = 40;
  std::array<std::int16_t, 12> tiles{0x21, 0x22, 0x23, 0x45, 0x87, 0x11};
  takeWallTilesWatching(t.c, 1, 6, tiles);
  showDiscardWatching(t.c, 1, 0x85);  // not the tile the slot claims to hold
  const HandRecord& h = t.hand(0);
  EXPECT_EQ(h.count, 5);
  EXPECT_EQ(t.c.table.LastDiscardInd, 45);
  EXPECT_EQ(t.c.table.LastDiscard, 0x85);
  EXPECT_EQ(t.c.tableView.LastDiscardSide, 0);
  EXPECT_EQ(t.tile(45).picture, 201 + 31);  // 5筒 lying in front of the user
  EXPECT_EQ(t.tile(45).x, 358);
  EXPECT_EQ(t.tile(45).y, 438);
  EXPECT_EQ(t.tile(45).w, 36);
  EXPECT_TRUE(t.platform.pauses.empty());  // no showcase before the snapshot is applied
  ASSERT_FALSE(t.platform.soundDevice.plays.empty());
  const std::string& voice = t.platform.soundDevice.plays.back().path;
  EXPECT_EQ(voice.substr(voice.size() - 6), "45.wav");
  EXPECT_EQ(t.c.view.TileStepX[0], 48);  // the standing set is loaded again
}

TEST(WatchingDiscard, ShowcaseInTheCentreForOneSecondOnceRestored) {
  Table t;
  t.c.tableView.ViewRestored = true;
  t.c.table.MJPOINT = 60;
  std::array<std::int16_t, 12> tiles{};
  takeWallTilesWatching(t.c, SeatOfSide(t.c, 2), 6, tiles);
  Control seen;
  t.platform.during = [&](int) { seen = t.tile(65); };
  showDiscardWatching(t.c, SeatOfSide(t.c, 2), 0x13);
  ASSERT_EQ(t.platform.pauses, std::vector<int>{1000});
  EXPECT_EQ(seen.w, 36);  // 1.2 x 30
  EXPECT_EQ(seen.h, 43);  // 1.2 x 36
  EXPECT_EQ(seen.x, (1024 - 36) / 2);
  EXPECT_EQ(seen.y, (768 - 43) / 2);
  EXPECT_EQ(seen.picture, 201 + 72 + 2);  // 西 in the top side's orientation
  EXPECT_EQ(t.tile(65).x, 635);
  EXPECT_EQ(t.tile(65).w, 30);
  EXPECT_EQ(t.hand(2).count, 5);
}

TEST(SnapshotDiscards, FaceDownDiscardsNeverTakeTheWallThatIsLeft) {
  Table t;
  t.c.table.MJPOINT = 10;
  std::int16_t offset = 5;
  restoreDiscardBacks(t.c, {2, 1, 0, 3}, offset, 9);
  EXPECT_EQ(offset, 9);
  // Side 0 takes 15 and 16, side 1 takes 17, side 3 gets 18 only: 19 is wall.
  EXPECT_EQ(t.tile(15).x, 358);
  EXPECT_EQ(t.tile(16).x, 394);
  EXPECT_EQ(t.tile(15).picture, 209);
  EXPECT_EQ(t.tile(17).x, 287);
  EXPECT_EQ(t.tile(17).picture, 201 + 44);
  EXPECT_EQ(t.tile(18).x, 758);
  EXPECT_EQ(t.tile(18).picture, 317);
  EXPECT_TRUE(t.tile(18).visible);
  EXPECT_FALSE(t.tile(19).visible);
  EXPECT_EQ(t.c.tableView.RightDiscardCount, 1);
  EXPECT_EQ(t.hand(3).discardY, 438 - 18);
}

}  // namespace
}  // namespace tavren
