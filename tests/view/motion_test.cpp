// Tile motion in player mode: the deal and its flip, the discard on show and
// its laying with the blinks, flower replacements, replacement draws, the
// end-of-hand reveal, flower rows, the wind draw, the compass and the sort.
#include "view/motion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <set>
#include <vector>

#include "core/client.h"
#include "platform/sim/sim_world.h"
#include "rules/sort_hand.h"
#include "support/pause_spy.h"
#include "view/scene.h"
#include "view/seats.h"

namespace tavren {
namespace {

using testing::PauseSpy;

struct Table {
  sim::World world;
  PauseSpy platform{world};
  Client c{platform};
  Table() {
    platform.attach(c);
    c.table.custom[0].seat = 1;
    LayOutTable(c);
  }
  HandRecord& hand(int side) { return c.table.custom[static_cast<std::size_t>(side)]; }
  Control& tile(int control) { return c.view.MJ_Image[static_cast<std::size_t>(control)]; }
  long pos(int control) {
    const auto& o = c.view.order;
    return std::find(o.begin(), o.end(), &tile(control)) - o.begin();
  }
  std::uint8_t seat(int side) const {
    for (std::uint8_t bit : {1, 2, 4, 8})
      if (SideOf(c, bit) == side) return bit;
    return 0;
  }
  void take(int side, int n, std::initializer_list<std::int16_t> codes, bool replacement = false) {
    std::array<std::int16_t, 12> tiles{};
    std::copy(codes.begin(), codes.end(), tiles.begin());
    takeWallTiles(c, seat(side), n, tiles, replacement);
  }
  // Two deal batches for every side, as the deal instruction gives them.
  void deal() {
    for (int batch = 0; batch < 2; ++batch)
      for (int side = 0; side < 4; ++side)
        take(side, 6,
             batch == 0 ? std::initializer_list<std::int16_t>{0x45, 0x11, 0x87, 0x21, 0x45, 0x29}
                        : std::initializer_list<std::int16_t>{0x13, 0x81, 0x42, 0x27, 0x15, 0x88});
  }
};

TEST(Deal, BatchesStandInTheUsersRowAndTheWallFrontMoves) {
  Table t;
  t.c.table.MJPOINT = 27;
  t.take(0, 6, {0x45, 0x11, 0x87, 0x21, 0x45, 3});
  const HandRecord& h = t.hand(0);
  EXPECT_EQ(h.count, 6);
  EXPECT_EQ(t.c.table.MJPOINT, 33);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(h.mj[static_cast<std::size_t>(4 + i)].ind, 27 + i);
    EXPECT_EQ(t.tile(27 + i).x, 19 + 48 * (4 + i));
    EXPECT_EQ(t.tile(27 + i).y, 564);
    EXPECT_EQ(t.tile(27 + i).w, 48);
    EXPECT_EQ(t.tile(27 + i).h, 78);
    EXPECT_TRUE(t.tile(27 + i).visible);
  }
  EXPECT_EQ(t.tile(27).picture, 345 + 22);      // 5萬 standing
  EXPECT_EQ(t.tile(32).picture, 444 + 32 + 3);  // flower 3, standing orientation
  EXPECT_TRUE(t.platform.pauses.empty());
}

TEST(Deal, TheCompleteHandTurnsDownForASecondThenShowsSorted) {
  Table t;
  t.deal();
  ASSERT_EQ(t.hand(0).count, 12);
  std::vector<int> seenDuring;
  t.platform.during = [&](int) {
    const HandRecord& h = t.hand(0);
    for (int k = h.first; k < h.first + h.count; ++k)
      seenDuring.push_back(t.tile(h.mj[static_cast<std::size_t>(k)].ind).picture);
  };
  t.c.table.MJFIRST = 141;
  t.c.tableView.DrawFromFront = false;  // whatever it was, the flip restores it
  t.take(0, 1, {0, 0, 0, 0x22});        // the 13th tile of a player who is not the dealer
  ASSERT_EQ(t.platform.pauses, std::vector<int>{1000});
  EXPECT_EQ(seenDuring, std::vector<int>(13, 208));  // every tile the standing back
  EXPECT_EQ(t.hand(0).mj[16].ind, 141);
  const HandRecord& h = t.hand(0);
  const std::int16_t sorted[13] = {0x81, 0x87, 0x88, 0x42, 0x45, 0x45, 0x21,
                                   0x22, 0x27, 0x29, 0x11, 0x13, 0x15};
  for (int i = 0; i < 13; ++i) {
    const TileSlot& s = h.mj[static_cast<std::size_t>(4 + i)];
    EXPECT_EQ(s.value, sorted[i]) << i;
    EXPECT_EQ(t.tile(s.ind).picture, 345 + FaceIndex(sorted[i])) << i;
  }
  EXPECT_TRUE(t.c.tableView.DrawFromFront);
}

TEST(Deal, NoFlipOnceTheWildTileIsKnownOrBeforeTheHandIsFull) {
  Table t;
  t.deal();
  t.hand(0).isDealer = true;
  t.take(0, 1, {0, 0, 0, 0x22});  // 13 tiles for the dealer: not yet
  EXPECT_TRUE(t.platform.pauses.empty());
  t.c.table.WildTileCode = 0x29;
  t.take(0, 1, {0, 0, 0, 0x23});
  EXPECT_TRUE(t.platform.pauses.empty());
  EXPECT_EQ(t.hand(0).count, 14);
}

TEST(DiscardOnShow, AnotherSidesDiscardIsCentredThenLaidWhenPlayMovesOn) {
  Table t;
  t.deal();
  t.c.table.WildTileCode = 0x29;
  const HandRecord& left = t.hand(1);
  const int control = left.mj[static_cast<std::size_t>(left.first + left.count - 1)].ind;
  showDiscard(t.c, t.seat(1), 0x24);
  EXPECT_EQ(t.platform.pauses, std::vector<int>{50});
  EXPECT_EQ(left.count, 11);
  EXPECT_EQ(t.c.table.LastDiscardInd, control);
  EXPECT_EQ(t.c.tableView.LastDiscardSide, 1);
  const Control& k = t.tile(control);
  EXPECT_EQ(k.picture, 201 + 36 + 12);  // 4条 lying, left side's orientation
  EXPECT_EQ(k.w, 48);
  EXPECT_EQ(k.h, 35);
  EXPECT_EQ(k.x, (1024 - 48) / 2);
  EXPECT_EQ(k.y, (768 - 35) / 2);
  EXPECT_EQ(k.x, 488);

  // The user is next in turn after side 1: 0.4 s, then the discard goes into side 1's column.
  t.c.link.BlinkOn = true;
  SetTimer(t.c, TimerId::Bong, true);
  t.take(0, 1, {0, 0, 0, 0x31});
  EXPECT_EQ((std::vector<int>{50, 400}), t.platform.pauses);
  EXPECT_EQ(k.x, 287);
  EXPECT_EQ(k.y, 238);
  EXPECT_EQ(t.c.tableView.LastDiscardX, 287);
  EXPECT_EQ(t.hand(1).discardY, 238 + 18);
  EXPECT_EQ(t.c.link.BlinkCount, 3);
  // The drawn tile is shown after the laying, set apart.
  const HandRecord& own = t.hand(0);
  const int drawn = own.mj[static_cast<std::size_t>(own.first + own.count - 1)].ind;
  EXPECT_EQ(t.tile(drawn).x, 19 + 48 * 16 + 24);

  // The pump blinks it three times, then leaves it shown.
  std::vector<bool> seen;
  for (int step = 0; step < 4; ++step) {
    t.world.loop.runFor(400);
    seen.push_back(k.visible);
  }
  EXPECT_EQ(seen, (std::vector<bool>{false, true, true, true}));
  EXPECT_EQ(t.c.link.BlinkCount, 0);
}

TEST(DiscardOnShow, NotLaidForASideOutOfTurnAKongOrAReplacement) {
  Table t;
  t.deal();
  showDiscard(t.c, t.seat(1), 0x24);
  const int control = t.c.table.LastDiscardInd;
  t.platform.pauses.clear();
  t.take(2, 1, {});  // side 2 is not next after side 1
  EXPECT_EQ(t.platform.pauses, std::vector<int>{400});
  EXPECT_EQ(t.tile(control).x, 488);
  EXPECT_EQ(t.hand(1).discardY, 238);

  t.c.table.WildTileCode = 0x29;  // no deal-complete flip in the way
  t.platform.pauses.clear();
  t.take(0, 1, {0, 3, 0, 0x31}, true);  // a flower's replacement never lays it
  EXPECT_TRUE(t.platform.pauses.empty());
  EXPECT_EQ(t.tile(control).x, 488);

  t.c.tableView.DiscardClaimed = true;  // taken into a kong
  t.take(0, 1, {0, 0, 0, 0x32});
  EXPECT_TRUE(t.platform.pauses.empty());
  EXPECT_EQ(t.tile(control).x, 488);
  EXPECT_FALSE(t.c.tableView.DiscardClaimed);
}

TEST(DiscardOnShow,
     SideThreeGoesBehindTheTilesButNeverUnderTheCompassAndTheUsersOwnIsLeftToTheInput) {
  Table t;
  t.deal();
  const HandRecord& right = t.hand(3);
  const int control = right.mj[static_cast<std::size_t>(right.first + right.count - 1)].ind;
  const auto& order = t.c.view.order;
  const long compass = std::find(order.begin(), order.end(), &t.c.view.ZhiNan) - order.begin();
  showDiscard(t.c, t.seat(3), 0x11);
  // Behind every other tile, but just in front of the compass it lies on.
  EXPECT_EQ(t.pos(control), compass);
  EXPECT_EQ(order[static_cast<std::size_t>(compass - 1)], &t.c.view.ZhiNan);
  EXPECT_EQ(t.tile(control).picture, 201 + 108);

  const int before = t.hand(0).count;
  t.c.table.LastDiscardInd = 7;
  showDiscard(t.c, 1, 0x42);
  EXPECT_EQ(t.c.tableView.LastDiscardSide, 0);
  EXPECT_EQ(t.c.table.LastDiscard, 0x42);
  EXPECT_EQ(t.c.table.LastDiscardInd, 7);
  EXPECT_EQ(t.hand(0).count, before);

  t.platform.pauses.clear();
  showDiscard(t.c, t.seat(2), 0);  // no tile: nothing but the record
  EXPECT_EQ(t.c.table.LastDiscard, 0);
  EXPECT_TRUE(t.platform.pauses.empty());
}

TEST(FlowerReplacement, TheUsersFlowerIsReplacedInItsPlaceAndTheWallBackShrinks) {
  Table t;
  t.c.table.WildTileCode = 0x29;
  t.c.table.MJFIRST = 90;
  t.take(0, 6, {0x45, 3, 0x87, kWildCode, 0x105, 0x21});
  t.c.table.OwnFlowerCount = 1;
  const std::int64_t start = t.world.loop.now();
  t.take(0, 1, {0, 3, 0, 0x26}, true);
  EXPECT_GE(t.world.loop.now() - start, 1000);  // two half-second waits
  EXPECT_TRUE(t.platform.pauses.empty());       // that handle events
  const HandRecord& h = t.hand(0);
  EXPECT_EQ(h.count, 6);
  EXPECT_EQ(t.c.table.OwnFlowerCount, 0);
  // Sorted 7筒 5萬 1条, then the suitless 3 and the two wild tiles; the flower
  // leaves, both wild tiles stay, and its replacement, the tile just drawn,
  // ends the row (a locked hand may discard only that one).
  const std::int16_t values[6] = {0x87, 0x45, 0x21, kWildCode, kWildCode, 0x26};
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(h.mj[static_cast<std::size_t>(4 + i)].value, values[i]) << i;
  EXPECT_EQ(t.tile(h.mj[9].ind).picture, 345 + 9 + 5);
  EXPECT_EQ(t.tile(h.mj[8].ind).picture, 421);
  EXPECT_EQ(t.tile(h.mj[7].ind).picture, 421);
  for (std::size_t k = 4; k < 9; ++k)  // the controls stand in slot order
    EXPECT_LT(t.tile(h.mj[k].ind).x, t.tile(h.mj[k + 1].ind).x) << k;
  EXPECT_FALSE(t.tile(90).visible);
  EXPECT_EQ(t.c.table.MJFIRST, 91);
}

TEST(FlowerReplacement, AnotherSidesReplacementChangesOnlyTheWall) {
  Table t;
  t.deal();
  t.c.table.MJFIRST = 95;  // the bottom layer: the back end goes to the previous column
  t.tile(95).visible = true;
  t.c.table.SideFlowerCount[2] = 1;
  t.take(2, 1, {0, 5, 0, 0x31}, true);
  EXPECT_EQ(t.hand(2).count, 12);
  EXPECT_FALSE(t.tile(95).visible);
  EXPECT_EQ(t.c.table.MJFIRST, 90);
  EXPECT_EQ(t.c.table.SideFlowerCount[2], 0);
}

TEST(ReplacementDraw, AfterAKongTheTileComesFromTheBackWithAGap) {
  Table t;
  t.deal();
  t.c.table.WildTileCode = 0x29;
  t.c.table.MJFIRST = 96;
  t.c.tableView.DrawFromFront = false;
  t.take(0, 1, {0, 0, 0, 0x11});
  const HandRecord& h = t.hand(0);
  EXPECT_EQ(h.mj[16].ind, 96);
  EXPECT_EQ(t.tile(96).x, 19 + 48 * 16 + 24);
  EXPECT_EQ(t.tile(96).picture, 345);
  EXPECT_EQ(t.c.table.MJFIRST, 97);
  EXPECT_TRUE(t.c.tableView.DrawFromFront);
  // The held tiles were sorted before the replacement joined them.
  for (int k = 4; k < 15; ++k)
    EXPECT_FALSE(SortsAfter(h.mj[static_cast<std::size_t>(k)].value,
                            h.mj[static_cast<std::size_t>(k + 1)].value))
        << k;

  // Another side's drawn tile from the front is set apart once play has begun.
  const int front = t.c.table.MJPOINT;
  t.take(1, 1, {});
  EXPECT_EQ(t.tile(front).picture, 201 + 43);
  LoadSteps(t.c, Steps::Standing);
  EXPECT_EQ(t.tile(front).y, StandingPlace(t.c, 1, 16).y + 10);
}

TEST(Reveal, NothingTurnsUntilTheLastSideIsCompleteThenEveryRowShowsItsFaces) {
  Table t;
  t.deal();
  for (int side = 1; side < 4; ++side) t.take(side, 1, {});  // 13 tiles each
  t.take(0, 1, {0, 0, 0, 0x22});
  t.c.tableView.HuSide = 1;
  showDiscard(t.c, t.seat(3), 0x28);  // side 1 wins on this discard
  const int discard = t.c.table.LastDiscardInd;
  const std::int16_t codes[13] = {0x29, 0x28, 0x27, 0x11, 0x11, 0x11, 0x43,
                                  0x42, 0x41, 0x89, 0x89, 0x89, 0x26};
  auto reveal = [&](int side, int from) {
    std::array<std::int16_t, 4> four{};
    for (int i = 0; i < 4 && from + i < 13; ++i)
      four[static_cast<std::size_t>(i)] =
          static_cast<std::int16_t>(0x100 | codes[static_cast<std::size_t>(from + i)]);
    revealHand(t.c, t.seat(side), four);
  };
  for (int from = 0; from < 13; from += 4) reveal(1, from);
  EXPECT_EQ(t.hand(1).count, 0);
  EXPECT_EQ(t.c.tableView.RevealedTiles[1][12], 0x26);
  const int leftFirst = t.hand(1).mj[4].ind;
  EXPECT_EQ(t.tile(leftFirst).picture, 201 + 43);  // still a back
  for (int from = 0; from < 13; from += 4) reveal(2, from);
  reveal(3, 0);
  reveal(3, 4);
  EXPECT_EQ(t.tile(leftFirst).picture, 201 + 43);
  EXPECT_EQ(t.hand(3).count, 4);  // side 3 discarded one: twelve to show
  reveal(3, 8);
  // Sorted, faces of each side's orientation, reveal size.
  const HandRecord& left = t.hand(1);
  EXPECT_EQ(left.mj[4].value, 0x89);
  EXPECT_EQ(t.tile(left.mj[4].ind).picture, 201 + 36 + 35);
  EXPECT_EQ(t.tile(left.mj[4].ind).w, 45);
  EXPECT_EQ(t.tile(left.mj[4].ind).h, 35);
  EXPECT_EQ(t.tile(t.hand(2).mj[16].ind).picture, 201 + 72);  // 東 last in side 2
  EXPECT_EQ(t.tile(t.hand(2).mj[16].ind).h, 39);
  // The winner by discard shows the discard beside its last tile, in front.
  const Control& last = t.tile(left.mj[16].ind);
  EXPECT_EQ(t.tile(discard).x, last.x - 5);
  EXPECT_EQ(t.tile(discard).y, last.y + 35 - 13);
  EXPECT_EQ(t.tile(discard).picture, 201 + 36 + 16);  // 8条
  EXPECT_GT(t.pos(discard), t.pos(left.mj[16].ind));
  // The user's own row lies face up where it stands.
  const HandRecord& own = t.hand(0);
  EXPECT_EQ(t.tile(own.mj[4].ind).picture, 201 + FaceIndex(own.mj[4].value));
  EXPECT_EQ(t.tile(own.mj[4].ind).h, 78);
}

TEST(Reveal, AWinnerByDiscardOnTheTopOrTheRightShowsTheDiscardBesideItsRow) {
  for (int winner : {2, 3}) {
    SCOPED_TRACE(winner);
    Table t;
    t.deal();
    for (int side = 1; side < 4; ++side) t.take(side, 1, {});
    showDiscard(t.c, t.seat(1), 0x25);
    const int discard = t.c.table.LastDiscardInd;
    t.c.tableView.HuSide = static_cast<std::int16_t>(winner);
    for (int side = 1; side < 4; ++side)
      while (t.hand(side).count > 0) {
        const std::array<std::int16_t, 4> four{0x41, 0x42, 0x43, 0x44};
        revealHand(t.c, t.seat(side), four);
      }
    const HandRecord& h = t.hand(winner);
    const Control& last = t.tile(h.mj[16].ind);  // 13 revealed from slot 4
    const Control& k = t.tile(discard);
    EXPECT_EQ(k.picture, 201 + 36 * winner + 13);  // 5条 in the winner's orientation
    if (winner == 2) {
      EXPECT_EQ(k.x, 842 - 17 * 36 - 5);
      EXPECT_EQ(k.y, 122);
      EXPECT_EQ(k.w, 36);
      EXPECT_EQ(k.h, 39);
    } else {
      EXPECT_EQ(k.x, last.x - 5);
      EXPECT_EQ(k.y, last.y - 35 + 13);
      EXPECT_EQ(k.w, 45);
      EXPECT_EQ(t.pos(discard), 0);  // behind the row
    }
  }
}

TEST(Reveal, ASelfDrawnWinnerShowsItsLastTileUnsorted) {
  Table t;
  t.deal();
  for (int side = 1; side < 4; ++side) t.take(side, 1, {});
  t.take(2, 1, {});  // side 2 drew its 14th
  t.c.tableView.HuSide = 2;
  for (int side = 1; side < 4; ++side) {
    const int n = t.hand(side).count;
    for (int from = 0; from < n; from += 4) {
      std::array<std::int16_t, 4> four{0x81, 0x81, 0x81, 0x81};
      if (side == 2 && from + 4 >= n) four[static_cast<std::size_t>(n - 1 - from)] = 0x11;
      revealHand(t.c, t.seat(side), four);
    }
  }
  const HandRecord& top = t.hand(2);
  EXPECT_EQ(top.mj[17].value, 0x11);  // after the 1筒s, not sorted behind them
  EXPECT_EQ(t.tile(top.mj[17].ind).picture, 201 + 72);
  EXPECT_EQ(top.mj[4].value, 0x81);
}

TEST(Reveal, ARevealLongerThanTheHandStopsAtItsEnd) {
  Table t;
  t.take(1, 6, {});
  t.take(1, 6, {});
  t.hand(1).first = 19;  // a broken record: two slots left
  const std::array<std::int16_t, 4> four{0x11, 0x12, 0x13, 0x14};
  revealHand(t.c, t.seat(1), four);
  EXPECT_EQ(t.hand(1).count, 0);
  EXPECT_EQ(t.c.tableView.RevealedTiles[1][1], 0x12);
  EXPECT_EQ(t.c.tableView.RevealedTiles[1][2], 0);
}

TEST(FlowerRows, SlotsByCountAndSide) {
  struct Case {
    int side, f, slot;
  };
  const Case cases[] = {{0, 0, 7},  {0, 4, 3},  {1, 0, 11}, {1, 1, 10}, {1, 4, 15}, {1, 7, 12},
                        {2, 0, 23}, {2, 4, 19}, {3, 3, 28}, {3, 7, 24}, {0, 8, -1}, {4, 0, -1}};
  for (const Case& k : cases) EXPECT_EQ(FlowerSlot(k.side, k.f), k.slot) << k.side << "/" << k.f;

  Table t;
  t.hand(1).flowers = 1;
  EXPECT_EQ(showFlower(t.c, 1, 6), 10);
  EXPECT_EQ(t.c.view.imgCaiShen[10].picture, 444 + 8 + 6);
  EXPECT_TRUE(t.c.view.imgCaiShen[10].visible);
  t.hand(0).flowers = 4;
  EXPECT_EQ(showFlower(t.c, 0, 2), 3);
  EXPECT_EQ(t.c.view.imgCaiShen[3].picture, 444 + 2);
  t.hand(2).flowers = 8;
  EXPECT_EQ(showFlower(t.c, 2, 2), -1);
  EXPECT_EQ(showFlower(t.c, 3, 9), -1);
}

TEST(WindDraw, FourBacksThenTheUsersWindOnThePickedOne) {
  Table t;
  t.c.sound.SoundOn = true;
  LoadSoundFiles(t.c);
  SeedWindDraw(t.c, 7);
  std::vector<Control> firstPause;
  int faceShown = -1;
  int calls = 0;
  t.platform.during = [&](int) {
    if (calls++ == 0) {
      for (int i = 0; i < 4; ++i) firstPause.push_back(t.tile(i));
    } else {
      for (int i = 0; i < 4; ++i)
        if (t.tile(i).picture == 345 + 3) faceShown = i;  // 北 standing
    }
  };
  const int p = showWindDraw(t.c, 0);
  EXPECT_EQ(t.platform.pauses, (std::vector<int>{500, 500}));
  ASSERT_EQ(firstPause.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    const Control& k = firstPause[static_cast<std::size_t>(i)];
    EXPECT_EQ(k.x, 512 - 72 + 36 * i);
    EXPECT_EQ(k.y, 384 - 50);
    EXPECT_EQ(k.w, 36);
    EXPECT_EQ(k.picture, 208);
    EXPECT_TRUE(k.visible);
  }
  EXPECT_EQ(faceShown, p);
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(t.tile(i).visible);
  ASSERT_EQ(t.platform.soundDevice.plays.size(), 1u);
  EXPECT_NE(t.platform.soundDevice.plays[0].path.find("qupai.wav"), std::string::npos);

  // Every position can be picked, and the same seed picks the same one.
  std::set<int> picked;
  for (std::uint32_t seed = 0; seed < 64; ++seed) {
    SeedWindDraw(t.c, seed);
    picked.insert(showWindDraw(t.c, 3));
  }
  EXPECT_EQ(picked, (std::set<int>{0, 1, 2, 3}));
  SeedWindDraw(t.c, 7);
  EXPECT_EQ(showWindDraw(t.c, 1), p);
}

TEST(Compass, ShowsTheUsersSeatAndMendsAMissingOne) {
  Table t;
  t.c.table.custom[0].seat = 0;
  showCompass(t.c);
  EXPECT_EQ(t.c.table.custom[0].seat, 1);
  EXPECT_EQ(t.c.view.ZhiNan.picture, 126);
  EXPECT_TRUE(t.c.view.ZhiNan.visible);
  t.c.table.custom[0].seat = 4;
  showCompass(t.c);
  EXPECT_EQ(t.c.view.ZhiNan.picture, 128);
}

TEST(SortHandTest, HigherSuitBitFirstLowerRankFirstAndOnlyMovedCodesRedrawn) {
  Table t;
  t.take(0, 4, {0x25, 0x41, 0x11, 0x83});
  SortHand(t.c, 0, 4);
  const HandRecord& h = t.hand(0);
  const std::int16_t sorted[4] = {0x83, 0x41, 0x25, 0x11};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(h.mj[static_cast<std::size_t>(4 + i)].value, sorted[i]);
    EXPECT_EQ(h.mj[static_cast<std::size_t>(4 + i)].ind, i);  // controls stay with their slots
    EXPECT_EQ(t.tile(i).picture, 345 + FaceIndex(sorted[i]));
  }
  // With the wild tile known, an unmoved slot keeps its picture.
  t.c.table.WildTileCode = 0x29;
  t.tile(1).picture = 208;
  t.hand(0).mj[4].value = 0x11;
  t.hand(0).mj[7].value = 0x83;
  SortHand(t.c, 0, 4);
  EXPECT_EQ(t.tile(1).picture, 208);
  EXPECT_EQ(t.tile(0).picture, 345 + FaceIndex(0x83));
  SortHand(t.c, 0, 40);  // never past the record
  SortHand(t.c, 7, 4);
}

TEST(TableReset, ResetHandRecordsEmptiesTheViewLists) {
  Table t;
  TableViewState& v = t.c.tableView;
  v.RightDiscardCount = 12;
  v.RightDiscards[3] = 99;
  v.RevealedTiles[2][5] = 0x11;
  v.HuSide = 2;
  v.DrawFromFront = false;
  ResetHandRecords(t.c);
  EXPECT_EQ(v.RightDiscardCount, 0);
  EXPECT_EQ(v.RightDiscards[3], 0);
  EXPECT_EQ(v.RevealedTiles[2][5], 0);
  EXPECT_EQ(v.HuSide, -1);
  EXPECT_TRUE(v.DrawFromFront);
  v.RightDiscardCount = 5;
  resetTableView(t.c);
  EXPECT_EQ(v.RightDiscardCount, 0);
}

}  // namespace
}  // namespace tavren
