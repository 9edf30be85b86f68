// The table of a hand under way rebuilt from four snapshot records.
#include "table/snapshot.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "support/play_fixture.h"
#include "view/seats.h"

namespace tavren {
namespace {

namespace p = protocol;
using testing::Play;
using testing::ServerFrame;

struct Record {
  int side = 0;
  int discards = 0;
  int front = 60;
  int back = 9;
  std::vector<int> exposed;
  std::vector<int> concealed;
};

Frame SnapshotFrame(const Play& s, const Record& r) {
  Frame f = ServerFrame(p::kInsSnapshot, s.seat(r.side), {0, r.front, 0, r.back});
  f[p::kByte7Offset] = static_cast<std::uint8_t>(r.discards);
  std::size_t at = p::kPayloadOffset;
  // An empty pair first, then concealed and exposed pairs interleaved: each
  // list keeps its own order.
  f[at++] = 0x00;
  f[at++] = 0x45;
  std::size_t e = 0, k = 0;
  while ((e < r.exposed.size() || k < r.concealed.size()) && at < 64) {
    if (k < r.concealed.size()) {
      f[at++] = 0x11;
      f[at++] = static_cast<std::uint8_t>(r.concealed[k++]);
    }
    if (e < r.exposed.size() && at < 64) {
      f[at++] = 0x2F;
      f[at++] = static_cast<std::uint8_t>(r.exposed[e++]);
    }
  }
  return f;
}

// A watcher's table joined mid-hand: the join instruction, then four records.
struct Joined : Play {
  explicit Joined(int wild = 0x29, int shown = 0x28) {
    c.table.Watching = true;
    Feed(ServerFrame(p::kInsTableJoined, 1, {3, 4, wild, shown}));
  }
  void Snap(const Record& r) { Feed(SnapshotFrame(*this, r)); }
  // Four records: `r` for its side, plain rows of 13 for the others.
  void SnapWith(const Record& r) {
    for (int side = 0; side < kSides; ++side) {
      if (side == r.side) {
        Snap(r);
      } else {
        Record plain;
        plain.side = side;
        plain.front = r.front;
        plain.back = r.back;
        plain.concealed = std::vector<int>(13, 0x22);
        Snap(plain);
      }
    }
  }
  int Picture(std::optional<int> index) const {
    return c.view.pics.TilePics[static_cast<std::size_t>(*index)];
  }
};

TEST(Snapshot, A中IsSetAsideAsA中EvenWhenItIsTheWildTile) {
  Joined s(0x15, 0x14);
  Record r;
  r.side = 1;
  r.exposed = {0x15, 0x23, 0x23, 0x23};
  r.concealed = {0x41, 0x42};
  s.SnapWith(r);
  ASSERT_FALSE(s.c.ended);
  const HandRecord& h = s.hand(1);
  EXPECT_EQ(h.redAside, 1);
  EXPECT_EQ(h.wildAside, 0);
  const int red = s.c.table.AsideTiles[0][1];
  EXPECT_TRUE(s.tile(red).visible);
  EXPECT_EQ(s.tile(red).picture, s.Picture(TilePicIndex(1, 0x15)));
  EXPECT_EQ(h.first, 7);
  EXPECT_EQ(h.meldCursor, 7);
  for (int k = 2; k <= 4; ++k) {
    EXPECT_EQ(h.mj[static_cast<std::size_t>(k)].typ, kSlotPeng);
    EXPECT_EQ(h.mj[static_cast<std::size_t>(k)].value, 0x23);
  }
  EXPECT_EQ(h.count, 2);
  // The standing tiles come back face down in the slots after the melds.
  for (int k = 7; k < 9; ++k) {
    const int ind = h.mj[static_cast<std::size_t>(k)].ind;
    EXPECT_EQ(s.tile(ind).picture, s.Picture(TileBackIndex(1, true)));
  }
  EXPECT_EQ(h.mj[7].value, 0x41);
}

TEST(Snapshot, TheFourthTileOfAKongLiesOnTheMiddleOne) {
  Joined s;
  Record r;
  r.side = 2;
  r.exposed = {0x45, 0x45, 0x45, 0x45};
  r.concealed = {0x81};
  s.SnapWith(r);
  const HandRecord& h = s.hand(2);
  EXPECT_EQ(h.meldCursor, 7);  // three slots
  EXPECT_EQ(h.first, 8);       // four tiles
  const int middle = h.mj[3].ind;
  const int top = WallPosition(middle + 2);  // handed out two after the middle one
  EXPECT_EQ(s.tile(top).x, s.tile(middle).x);
  EXPECT_EQ(s.tile(top).y, s.tile(middle).y - 17);
  for (int k = 2; k <= 4; ++k) EXPECT_NE(h.mj[static_cast<std::size_t>(k)].ind, top);
}

TEST(Snapshot, MeldTilesAreRestoredInSortedOrder) {
  Joined s;
  Record r;
  r.side = 3;
  r.exposed = {0x83, 0x41, 0x12, 0x81};
  s.SnapWith(r);
  const int expected[4] = {0x81, 0x83, 0x41, 0x12};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(s.hand(3).mj[static_cast<std::size_t>(2 + i)].value, expected[i]);
    EXPECT_EQ(s.hand(3).mj[static_cast<std::size_t>(2 + i)].typ, kSlotEmpty);
  }
  std::array<std::int16_t, 6> list{0x15, 0x29, 0x81, 0x21, 0x88, 0x43};
  SortTileList(list);
  EXPECT_EQ(list, (std::array<std::int16_t, 6>{0x81, 0x88, 0x43, 0x21, 0x29, 0x15}));
}

TEST(Snapshot, WallMarksAreTheLargestFrontAndTheSmallestBackAndTheFourthRecordCompletes) {
  Joined s;
  const int fronts[4] = {60, 62, 61, 62}, backs[4] = {9, 8, 9, 9};
  // Seats in any order.
  const int sides[4] = {2, 0, 3, 1};
  for (int i = 0; i < 4; ++i) {
    EXPECT_FALSE(s.c.tableView.ViewRestored);
    EXPECT_FALSE(s.c.table.LoginAccepted);
    Record r;
    r.side = sides[i];
    r.front = fronts[i];
    r.back = backs[i];
    r.concealed = {0x21, 0x22, 0x23};
    s.Snap(r);
  }
  EXPECT_TRUE(s.c.tableView.ViewRestored);
  EXPECT_TRUE(s.c.table.LoginAccepted);
  EXPECT_EQ(s.c.play.SnapFront, 62);
  EXPECT_EQ(s.c.play.SnapBack, 8);
  EXPECT_EQ(s.c.play.SeatCount, 0);
  EXPECT_EQ(s.c.table.MJPOINT, 62);
  EXPECT_TRUE(s.c.view.QX_Image.visible);
  EXPECT_EQ(s.c.view.QX_Image.picture, s.Picture(TilePicIndex(kStandingOwn, 0x29)));
  std::set<int> controls;
  for (int ind : s.HeldControls()) EXPECT_TRUE(controls.insert(ind).second) << ind;
}

TEST(Snapshot, TheBackEndMovesByTheParityOfItsMark) {
  struct Case {
    int back, moved;
  } cases[] = {{0, -3}, {1, 2}, {8, 5}, {9, 10}};
  for (const Case& k : cases) {
    Joined s;
    s.c.table.MJFIRST = 50;
    Record r;
    r.back = k.back;
    s.SnapWith(r);
    EXPECT_EQ(s.c.table.MJFIRST, WallPosition(50 + k.moved)) << k.back;
  }
}

TEST(Snapshot, AFrontEqualToTheBackEndLeavesOneWallTile) {
  Joined s;
  s.c.table.MJFIRST = 0;
  Record r;
  r.front = 141;  // F = 141
  r.back = 0;     // odd: MJFIRST = 0 + 0 + 141
  s.SnapWith(r);
  ASSERT_EQ(s.c.table.MJFIRST, 141);
  const int wallBack = s.Picture(TileBackIndex(3, false));
  int wall = 0;
  for (int pos = 100; pos < kWallTiles; ++pos)
    if (s.tile(pos).visible && s.tile(pos).picture == wallBack) ++wall;
  EXPECT_EQ(wall, 1);
  EXPECT_TRUE(s.tile(141).visible);
  EXPECT_FALSE(s.tile(140).visible);
}

TEST(Snapshot, TheIndicatorAndTheDiscardsFollowTheRestoredTiles) {
  Joined s(0x29, 0x28);
  s.c.table.MJFIRST = 60;  // the mark 9 is even from the end: 60 + 9 + 1 → 70, wall side 1
  Record r;
  r.side = 0;
  r.discards = 3;
  r.concealed = {0x21};
  s.SnapWith(r);
  // 1 + 3 × 13 standing tiles, then the indicator, then the discards.
  const int indicator = 40;
  EXPECT_EQ(s.c.table.MJFIRST, 70);
  EXPECT_EQ(s.tile(indicator).picture, s.Picture(TilePicIndex(1, 0x28)));
  EXPECT_EQ(s.tile(indicator).x, s.tile(70).x);
  EXPECT_EQ(s.tile(indicator).y, s.tile(70).y - 20);
  for (int d = 41; d < 44; ++d) {
    EXPECT_TRUE(s.tile(d).visible);
    EXPECT_EQ(s.tile(d).picture, s.Picture(TileBackIndex(0, false))) << d;
  }
  EXPECT_EQ(s.c.play.SnapWallOffset, 44);
}

// A record's tiles come from the wall controls after MJPOINT; a deal, a draw
// or a flower before the fourth record would hand the same controls out again.
TEST(Snapshot, WallTilesTakenBeforeTheFourthRecordEndTheClient) {
  for (int type : {p::kInsDeal, p::kInsDraw, p::kInsFlower}) {
    for (bool watching : {true, false}) {
      Joined s;
      s.c.table.Watching = watching;
      Record r;
      r.side = 1;
      r.exposed = {0x41, 0x41, 0x41};
      s.Snap(r);
      ASSERT_FALSE(s.c.ended);
      s.Feed(type, 1, {0x21, 0x21, 0, 0x21});
      EXPECT_TRUE(s.c.ended) << type << " " << watching;
      EXPECT_EQ(s.platform.lobby.received.back().wParam, kScRestore) << type;
    }
  }
}

TEST(Snapshot, AfterTheFourthRecordTheHandGoesOn) {
  Joined s;
  Record r;
  r.side = 1;
  s.SnapWith(r);
  ASSERT_FALSE(s.c.play.SnapshotOpen);
  s.Feed(p::kInsDraw, 2, {0x21});
  EXPECT_FALSE(s.c.ended);
}

TEST(Snapshot, RecordsTheSlotsCannotHoldEndTheClient) {
  struct Case {
    const char* what;
    Record r;
  } cases[] = {
      {"a back mark past the wall", {1, 0, 60, 150, {}, {0x21}}},
      {"five 中 set aside", {1, 0, 60, 9, {0x15, 0x15, 0x15, 0x15, 0x15}, {}}},
      {"more tiles than slots",
       {2,
        0,
        60,
        9,
        {0x41, 0x41, 0x41, 0x42, 0x42, 0x42, 0x43, 0x43, 0x43},
        std::vector<int>(9, 0x21)}},
  };
  for (const Case& k : cases) {
    Joined s;
    s.Snap(k.r);
    EXPECT_TRUE(s.c.ended) << k.what;
    EXPECT_EQ(s.platform.lobby.received.back().wParam, kScRestore) << k.what;
  }
}

// A kong's tile comes from the back of the wall; restored before any discard,
// the hands hold more controls than the front mark counts. Later draws and
// the wall laid at the end must not reach the held ones.
TEST(Snapshot, HandsHoldingMoreThanTheFrontMarkKeepTheirControls) {
  for (bool watching : {true, false}) {
    Joined s;
    s.c.table.Watching = watching;
    Record r;
    r.side = 2;
    r.front = 50;  // 52 tiles in the hands below, then the indicator
    r.exposed = {0x45, 0x45, 0x45};
    r.concealed = std::vector<int>(10, 0x22);
    s.SnapWith(r);
    ASSERT_FALSE(s.c.ended);
    for (int back = 0; back < 4; ++back) {
      const int wallBack = s.Picture(TileBackIndex(back, false));
      for (int ind : s.HeldControls()) EXPECT_NE(s.tile(ind).picture, wallBack) << ind;
    }
    for (int side : {1, 2, 3}) s.Feed(p::kInsDraw, side, {0x21});
    ASSERT_FALSE(s.c.ended);
    std::set<int> controls;
    for (int ind : s.HeldControls())
      EXPECT_TRUE(controls.insert(ind).second) << ind << " " << watching;
  }
}

// A fresh watcher's wall ends both start at 0; the back end must still start
// behind the tiles the records hand out, so a flower's replacement hides a
// wall tile and not one a hand holds.
TEST(Snapshot, AWatchersFirstReplacementAfterJoiningTakesAWallTile) {
  Joined s;
  ASSERT_EQ(s.c.table.MJPOINT, 0);
  Record r;
  r.side = 1;
  r.back = 143;  // nothing taken from the back yet
  r.concealed = std::vector<int>(13, 0x22);
  s.SnapWith(r);
  ASSERT_FALSE(s.c.ended);
  s.Feed(p::kInsFlower, 2, {0, 0x01, 0, 0});
  ASSERT_FALSE(s.c.ended);
  for (int ind : s.HeldControls()) EXPECT_TRUE(s.tile(ind).visible) << ind;
}

// Melds are laid in front of the standing row; a second record that brings
// melds to a side whose row already stands would leave the row pointing at
// slots without a tile.
TEST(Snapshot, MeldsForASideWhoseRowAlreadyStandsEndTheClient) {
  Joined s;
  Record first;
  first.side = 3;
  first.concealed = std::vector<int>(13, 0x22);
  s.Snap(first);
  ASSERT_FALSE(s.c.ended);
  Record second;
  second.side = 3;
  second.exposed = {0x41, 0x41, 0x41};
  s.Snap(second);
  EXPECT_TRUE(s.c.ended);
  EXPECT_EQ(s.platform.lobby.received.back().wParam, kScRestore);
}

}  // namespace
}  // namespace tavren
