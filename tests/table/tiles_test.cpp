// Tile codes, seat and side arithmetic, and the table reset.
#include "table/tiles.h"

#include <gtest/gtest.h>

#include "support/sim_client.h"
#include "table/model.h"

namespace tavren {
namespace {

TEST(Tiles, BitIndexCountsShiftsUntilAtMostOne) {
  const std::pair<int, int> cases[] = {{0, 0}, {1, 0}, {2, 1},  {3, 1},
                                       {4, 2}, {8, 3}, {15, 3}, {255, 7}};
  for (auto [in, out] : cases) EXPECT_EQ(BitIndex(static_cast<std::uint8_t>(in)), out) << in;
}

TEST(Tiles, PowerOfTwoDoublesFromOne) {
  const std::pair<int, int> cases[] = {{-3, 1}, {0, 1}, {1, 2}, {2, 4}, {3, 8}, {14, 16384}};
  for (auto [in, out] : cases) EXPECT_EQ(PowerOfTwo(in), out) << in;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(BitIndex(static_cast<std::uint8_t>(PowerOfTwo(i))), i);
}

TEST(Tiles, SeatToSideSeesTheTableFromTheOwnChair) {
  // own seat, seat → side
  struct Case {
    std::uint8_t own, seat;
    int side;
  };
  const Case cases[] = {
      {1, 1, 0}, {1, 2, 3}, {1, 4, 2}, {1, 8, 1},  // one index above is the right side (3)
      {4, 4, 0}, {4, 8, 3}, {4, 2, 1}, {4, 1, 2},  // one index below is the left side (1)
      {8, 1, 3}, {2, 0, 1},                        // a missing seat bit maps to absolute seat 0
  };
  for (const auto& k : cases)
    EXPECT_EQ(SeatToSide(k.own, k.seat), k.side) << int(k.own) << "/" << int(k.seat);
  // The reverse for dealt sides: the seat bit of side k.
  for (int own = 0; own < 4; ++own)
    for (int k = 0; k < 4; ++k) {
      auto seat = static_cast<std::uint8_t>(PowerOfTwo((own + k) % 4));
      EXPECT_EQ(SeatToSide(static_cast<std::uint8_t>(PowerOfTwo(own)), seat), (4 - k) % 4);
    }
}

TEST(Tiles, FaceIndexOrdersTheThirtyFourFaces) {
  EXPECT_EQ(FaceIndex(0x11), 0);
  EXPECT_EQ(FaceIndex(0x17), 6);
  EXPECT_EQ(FaceIndex(0x21), 9);
  EXPECT_EQ(FaceIndex(0x29), 17);
  EXPECT_EQ(FaceIndex(0x41), 18);
  EXPECT_EQ(FaceIndex(0x89), 35);
  EXPECT_EQ(FaceIndex(0x05), FaceIndex(0x15));  // why flowers never go through it
  EXPECT_TRUE(IsFlower(5));
  EXPECT_FALSE(IsFlower(0x15));
}

TEST(Tiles, PadRightCountsCharacters) {
  EXPECT_EQ(PadRight("ab", 1), "ab");
  EXPECT_EQ(PadRight("ab", 4), "ab  ");
  EXPECT_EQ(PadRight("东风", 3), "东风 ");
  EXPECT_EQ(PadRight("", 0), "");
  EXPECT_EQ(SeatName(0), "北");
  EXPECT_EQ(SeatName(3), "东");
  EXPECT_EQ(SeatName(6), "南");
  EXPECT_EQ(SeatName(7), "");
}

TEST(TableModel, ResetHandRecordsClearsHandsButKeepsSeatsAndTileValues) {
  testing::SimClient s;
  TableModel& t = s.c.table;
  for (int side = 0; side < 4; ++side) {
    HandRecord& h = t.custom[side];
    h.seat = static_cast<std::uint8_t>(1 << side);
    h.gold = 500;
    h.isDealer = true;
    h.first = 10;
    h.count = 7;
    h.meldCursor = 12;
    h.leadWilds = h.redAside = h.wildAside = 2;
    h.mj[5] = {1, 0x29, 77};
    t.PlayerTag[side] = "name";
  }
  t.WildTileCode = 0x23;
  t.AsideTiles[3][2] = 9;
  t.HandInProgress = true;
  s.c.offer.MayDiscard = true;

  ResetHandRecords(s.c);

  for (int side = 0; side < 4; ++side) {
    const HandRecord& h = t.custom[side];
    EXPECT_EQ(h.seat, 1 << side);
    EXPECT_EQ(h.gold, 0);
    EXPECT_FALSE(h.isDealer);
    EXPECT_EQ(h.first, 4);
    EXPECT_EQ(h.count, 0);
    EXPECT_EQ(h.meldCursor, side == 0 ? 3 : 4);
    EXPECT_EQ(h.leadWilds + h.redAside + h.wildAside, 0);
    EXPECT_EQ(h.mj[5].typ, 0);
    EXPECT_EQ(h.mj[5].ind, -1);
    EXPECT_EQ(h.mj[5].value, 0x29);
    EXPECT_TRUE(t.PlayerTag[side].empty());
  }
  EXPECT_EQ(t.WildTileCode, -1);
  EXPECT_EQ(t.AsideTiles[3][2], 0);
  EXPECT_FALSE(t.HandInProgress);
  EXPECT_FALSE(s.c.offer.MayDiscard);
}

}  // namespace
}  // namespace tavren
