// Meld and claim display: the announcement of a claim, the meld rows of every
// side, kongs and added kongs, the win, and the user's own meld steps.
#include "view/melds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>

#include "core/client.h"
#include "platform/sim/sim_world.h"
#include "view/motion.h"
#include "view/scene.h"
#include "view/seats.h"

namespace tavren {
namespace {

namespace p = protocol;

struct Table {
  sim::World world;
  sim::SimPlatform platform{world};
  Client c{platform};
  Table() {
    platform.attach(c);
    c.table.custom[0].seat = 1;
    LayOutTable(c);
    c.table.WildTileCode = 0x29;
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
  // Puts standing tiles into a side's row on controls from `control` upwards.
  void stand(int side, std::initializer_list<int> codes, int control) {
    HandRecord& h = hand(side);
    LoadSteps(c, Steps::Standing);
    int k = h.first + h.count;
    for (int code : codes) {
      h.mj[static_cast<std::size_t>(k)] = {kSlotStanding, static_cast<std::int16_t>(code),
                                           static_cast<std::int16_t>(control)};
      ShowStandingFace(c, side, control, code);
      placeInStandingRow(c, side, k, control);
      ++k;
      ++control;
    }
    h.count = static_cast<std::int16_t>(h.count + static_cast<int>(codes.size()));
  }
  // A discard of `side` on show in the centre.
  void onShow(int side, int control, int code) {
    c.table.LastDiscard = static_cast<std::int16_t>(code);
    c.table.LastDiscardInd = static_cast<std::int16_t>(control);
    c.tableView.LastDiscardSide = static_cast<std::int16_t>(side);
    ShowFace(c, control, side, code);
  }
  void soundOn() {
    c.sound.SoundOn = true;
    LoadSoundFiles(c);
  }
};

std::string Tail(const std::string& s, std::size_t n) {
  return s.size() < n ? s : s.substr(s.size() - n);
}

TEST(ClaimAnnouncement, BubbleVoiceAndClaimWordByKindAndSide) {
  struct Case {
    int kind, side, bubble;
    const char* voice;
  };
  const Case cases[] = {
      {p::kClaimChi, 1, 429, "01.wav"},         {p::kClaimPeng, 2, 442, "02.wav"},
      {p::kClaimExposedKong, 3, 437, "03.wav"}, {p::kClaimConcealedKong, 1, 435, "04.wav"},
      {p::kClaimAddedKong, 2, 436, "03.wav"},   {p::kClaimHu, 3, 440, "09.wav"},
  };
  const int bubbleX[4] = {0, 8, 406, 936}, bubbleY[4] = {0, 280, 65, 280};
  for (const Case& k : cases) {
    SCOPED_TRACE(::testing::Message() << "kind " << k.kind << " side " << k.side);
    Table t;
    t.soundOn();
    for (Control& b : t.c.view.Speak) b.visible = true;
    t.c.link.TickCount[kTaskClaimWord] = 25;
    const std::array<std::int16_t, 3> tiles{0x43, 0x43, 0x43};
    showClaim(t.c, k.kind, t.seat(k.side), tiles);
    const MainForm& f = t.c.view;
    const Control& bubble = f.Speak[static_cast<std::size_t>(k.side - 1)];
    EXPECT_EQ(bubble.picture, k.bubble);
    EXPECT_TRUE(bubble.visible);
    EXPECT_EQ(bubble.x, bubbleX[k.side]);
    EXPECT_EQ(bubble.y, bubbleY[k.side]);
    for (int i = 0; i < 3; ++i)
      if (i != k.side - 1) {
        EXPECT_FALSE(f.Speak[static_cast<std::size_t>(i)].visible) << i;
      }
    EXPECT_FALSE(f.Words.visible);
    EXPECT_EQ(f.Words.x, bubble.x + std::lround(0.17 * bubble.w));
    EXPECT_TRUE(t.c.link.ClaimWordOn);
    EXPECT_EQ(t.c.link.TickCount[kTaskClaimWord], 0);
    EXPECT_EQ(f.ClaimWordIndex, k.side - 1);
    const auto& plays = t.platform.soundDevice.plays;
    ASSERT_EQ(plays.size(), 2u);
    EXPECT_EQ(Tail(plays[0].path, 9), "dapai.wav");
    EXPECT_EQ(Tail(plays[1].path, 6), k.voice);
    EXPECT_EQ(plays[1].channel, -1);  // claim voices share the effect channel
  }
}

TEST(ClaimAnnouncement, TheUsersOwnClaimAndAWildAddedKongStaySilent) {
  Table t;
  t.soundOn();
  const std::array<std::int16_t, 3> tiles{0x43, 0x43, 0x43};
  showClaim(t.c, p::kClaimPeng, 1, tiles);
  for (const Control& b : t.c.view.Speak) EXPECT_FALSE(b.visible);
  EXPECT_TRUE(t.platform.soundDevice.plays.empty());
  EXPECT_FALSE(t.c.link.ClaimWordOn);

  // Side 2 adds its wild tile to a peng: no bubble, no voice, but the tile is laid.
  HandRecord& h = t.hand(2);
  t.c.table.WildTileCode = 0x27;
  for (int k = 2; k <= 4; ++k) h.mj[static_cast<std::size_t>(k)] = {kSlotPeng, 0x27, 0};
  h.meldCursor = 7;
  h.first = 7;
  t.stand(2, {0, 0, 0, 0, 0}, 80);
  const std::array<std::int16_t, 3> wild{0x27, 0x27, 0x27};
  showClaim(t.c, p::kClaimAddedKong, t.seat(2), wild);
  for (const Control& b : t.c.view.Speak) EXPECT_FALSE(b.visible);
  ASSERT_EQ(t.platform.soundDevice.plays.size(), 1u);
  EXPECT_EQ(Tail(t.platform.soundDevice.plays[0].path, 9), "dapai.wav");
  EXPECT_EQ(h.count, 4);
  LoadSteps(t.c, Steps::Meld);
  EXPECT_EQ(t.tile(84).x, 842 - 34 * 3);  // on the middle tile (slot 3) of the peng
  EXPECT_EQ(t.tile(84).y, 122 - 18);
  EXPECT_EQ(t.tile(84).picture, 201 + 72 + 15);  // 7条 in the top side's orientation
  EXPECT_EQ(h.mj[3].typ, kSlotAddedKong);
}

TEST(ClaimAnnouncement, ThePumpHidesTheBubbleTwoSecondsLater) {
  Table t;
  const std::array<std::int16_t, 3> tiles{0x43, 0x43, 0x43};
  showClaim(t.c, p::kClaimPeng, t.seat(3), tiles);
  SetTimer(t.c, TimerId::Bong, true);
  t.world.loop.runFor(1900);
  EXPECT_TRUE(t.c.view.Speak[2].visible);
  t.world.loop.runFor(200);
  EXPECT_FALSE(t.c.view.Speak[2].visible);
}

TEST(MeldRows, PengOfSideTwoTakesTwoStandingTilesAndTheDiscard) {
  Table t;
  t.stand(2, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 60);  // slots 4..16, controls 60..72
  t.onShow(1, 120, 0x43);
  const std::array<std::int16_t, 3> tiles{0x43, 0x43, 0x43};
  showClaim(t.c, p::kClaimPeng, t.seat(2), tiles);
  const HandRecord& h = t.hand(2);
  EXPECT_EQ(h.first, 7);
  EXPECT_EQ(h.count, 11);
  EXPECT_EQ(h.meldCursor, 7);
  const int meld[3] = {71, 72, 120};  // the last two standing tiles and the discard
  for (int i = 0; i < 3; ++i) {
    const TileSlot& s = h.mj[static_cast<std::size_t>(2 + i)];
    EXPECT_EQ(s.typ, kSlotPeng);
    EXPECT_EQ(s.value, 0x43);
    EXPECT_EQ(s.ind, meld[i]);
    const Control& k = t.tile(meld[i]);
    EXPECT_EQ(k.x, 842 - 34 * (2 + i));
    EXPECT_EQ(k.y, 122);
    EXPECT_EQ(k.w, 34);
    EXPECT_EQ(k.h, 40);
    EXPECT_EQ(k.picture, 201 + 72 + 20);  // 3萬 in the top side's orientation
  }
  // The rest of the row closes up behind the meld, by the standing-row rule.
  for (int k = 7; k < 18; ++k) {
    const TileSlot& s = h.mj[static_cast<std::size_t>(k)];
    EXPECT_EQ(s.typ, kSlotStanding);
    EXPECT_EQ(s.ind, 60 + k - 7);
    EXPECT_EQ(t.tile(s.ind).x, 842 - 36 * k);
    EXPECT_EQ(t.tile(s.ind).w, 36);
  }
  EXPECT_EQ(h.mj[5].ind, -1);
  EXPECT_EQ(h.mj[6].ind, -1);
}

TEST(MeldRows, OverlapOfTheSideRowsIsRestoredAfterEveryClaim) {
  Table t;
  t.stand(1, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 40);
  t.stand(3, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 100);
  // Spoil the stacking, then let side 1 chi and side 3 pass nothing.
  for (int i = 0; i < 13; ++i) SendToBack(t.c.view, t.tile(40 + i));
  for (int i = 0; i < 13; ++i) BringToFront(t.c.view, t.tile(100 + i));
  t.onShow(0, 30, 0x24);
  const std::array<std::int16_t, 3> tiles{0x23, 0x24, 0x25};
  showClaim(t.c, p::kClaimChi, t.seat(1), tiles);
  const HandRecord& left = t.hand(1);
  ASSERT_EQ(left.count, 11);
  for (int k = left.first; k + 1 < left.first + left.count; ++k)
    EXPECT_LT(t.pos(left.mj[static_cast<std::size_t>(k)].ind),
              t.pos(left.mj[static_cast<std::size_t>(k + 1)].ind));
  const HandRecord& right = t.hand(3);
  for (int k = right.first; k + 1 < right.first + right.count; ++k)
    EXPECT_GT(t.pos(right.mj[static_cast<std::size_t>(k)].ind),
              t.pos(right.mj[static_cast<std::size_t>(k + 1)].ind));
  // Side 1's meld steps down its column: slots 2..4.
  LoadSteps(t.c, Steps::Meld);
  EXPECT_EQ(t.tile(30).x, 163 - 20);
  EXPECT_EQ(t.tile(30).y, 192 + 18 * 4);
  // Slot X takes the run's third code: every meld control is pictured anew.
  EXPECT_EQ(t.tile(30).picture, 201 + 36 + 13);  // 5条 in the left side's orientation
}

TEST(MeldRows, ConcealedKongOfSideThreeInPlayerAndWatchingMode) {
  for (bool watching : {false, true}) {
    SCOPED_TRACE(watching);
    Table t;
    t.c.table.Watching = watching;
    t.stand(3, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 100);  // slots 4..17
    const std::array<std::int16_t, 3> tiles{0x87, 0x87, 0x87};
    if (watching)
      showClaimWatching(t.c, p::kClaimConcealedKong, t.seat(3), tiles);
    else
      showClaim(t.c, p::kClaimConcealedKong, t.seat(3), tiles);
    const HandRecord& h = t.hand(3);
    EXPECT_EQ(h.count, 10);
    EXPECT_EQ(h.first, 7);
    EXPECT_EQ(h.meldCursor, 7);
    for (int k = 2; k <= 4; ++k) {
      const TileSlot& s = h.mj[static_cast<std::size_t>(k)];
      EXPECT_EQ(s.typ, kSlotConcealedKong);
      EXPECT_EQ(t.tile(s.ind).picture, 317);  // lying back of side 3
    }
    // The fourth control is the last standing tile; it lies on the middle one.
    const Control& top = t.tile(113);
    EXPECT_EQ(top.picture, watching ? 317 : 201 + 108 + 33);
    EXPECT_EQ(top.x, t.tile(h.mj[3].ind).x);
    EXPECT_EQ(top.y, t.tile(h.mj[3].ind).y - 18);
    EXPECT_GT(t.pos(113), t.pos(h.mj[3].ind));
    ASSERT_EQ(t.c.tableView.KongTopCount, 1);
    EXPECT_EQ(t.c.tableView.KongTops[0].ind, 113);
    EXPECT_EQ(t.c.tableView.KongTops[0].tile, 0x87);
    EXPECT_EQ(t.c.tableView.KongTops[0].side, 3);
    EXPECT_FALSE(t.c.tableView.DrawFromFront);
    EXPECT_TRUE(t.c.tableView.DiscardClaimed);
  }
}

TEST(MeldRows, AfterAnExposedKongTheDiscardIsOnTopAndTheNextTileComesFromTheBack) {
  Table t;
  t.stand(1, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 40);
  t.onShow(0, 30, 0x19);
  const std::array<std::int16_t, 3> tiles{0x19, 0x19, 0x19};
  showClaim(t.c, p::kClaimExposedKong, t.seat(1), tiles);
  const HandRecord& h = t.hand(1);
  EXPECT_EQ(h.count, 10);
  EXPECT_EQ(h.mj[4].ind, 52);
  EXPECT_EQ(t.tile(30).y, t.tile(h.mj[3].ind).y - 18);
  EXPECT_EQ(t.c.tableView.KongTops[0].ind, 30);

  // The replacement: no discard is laid, the tile comes from MJFIRST with a gap.
  t.c.table.MJFIRST = 90;
  const std::array<std::int16_t, 12> draw{};
  takeWallTiles(t.c, t.seat(1), 1, draw, false);
  EXPECT_EQ(h.mj[17].ind, 90);
  EXPECT_EQ(t.c.table.MJFIRST, 91);
  EXPECT_FALSE(t.c.tableView.DiscardClaimed);
  EXPECT_TRUE(t.c.tableView.DrawFromFront);
  EXPECT_EQ(t.hand(0).discardX, 358);  // the kong's discard was never laid
  LoadSteps(t.c, Steps::Standing);
  EXPECT_EQ(t.tile(90).y, StandingPlace(t.c, 1, 17).y + 10);
}

TEST(OwnMelds, ChiUsesTheSlotsTheClaimWasMadeWith) {
  Table t;
  t.stand(0, {0x81, 0x42, 0x42, 0x44, 0x45, 0x23, 0x11}, 10);  // slots 4..10
  // The claim request copied the chosen slots 6 and 7 below the row.
  HandRecord& h = t.hand(0);
  h.mj[1] = h.mj[6];
  h.mj[2] = h.mj[7];
  t.onShow(1, 120, 0x43);
  const std::array<std::int16_t, 3> tiles{0x42, 0x43, 0x44};
  showClaim(t.c, p::kClaimChi, 1, tiles);
  EXPECT_TRUE(t.c.offer.ChiDone);
  EXPECT_EQ(h.first, 7);
  EXPECT_EQ(h.count, 5);
  EXPECT_EQ(h.meldCursor, 6);
  const int meld[3] = {12, 13, 120};
  for (int i = 0; i < 3; ++i) {
    const TileSlot& s = h.mj[static_cast<std::size_t>(1 + i)];
    EXPECT_EQ(s.ind, meld[i]);
    EXPECT_EQ(s.typ, kSlotChi);
    EXPECT_EQ(t.tile(meld[i]).x, 19 + 43 * (1 + i));
    EXPECT_EQ(t.tile(meld[i]).y, 564);
    EXPECT_EQ(t.tile(meld[i]).w, 45);
    EXPECT_EQ(t.tile(meld[i]).h, 60);
    EXPECT_EQ(t.tile(meld[i]).picture, 201 + 18 + (tiles[static_cast<std::size_t>(i)] & 0xF) - 1);
  }
  const int rest[5] = {10, 11, 14, 15, 16};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(h.mj[static_cast<std::size_t>(7 + i)].ind, rest[i]);
    EXPECT_EQ(t.tile(rest[i]).x, 19 + 48 * (7 + i));
    EXPECT_EQ(t.tile(rest[i]).h, 78);
  }
  EXPECT_EQ(h.mj[4].ind, -1);
  // No bubble for the user.
  for (const Control& b : t.c.view.Speak) EXPECT_FALSE(b.visible);
}

TEST(OwnMelds, KongsFindTheirTilesAndAddedKongJoinsThePeng) {
  Table t;
  HandRecord& h = t.hand(0);
  // A peng of 7条 on slots 1..3 and a row holding 7条 and four 9筒.
  for (int k = 1; k <= 3; ++k)
    h.mj[static_cast<std::size_t>(k)] = {kSlotPeng, 0x27, static_cast<std::int16_t>(k)};
  h.meldCursor = 6;
  h.first = 7;
  t.stand(0, {0x89, 0x89, 0x27, 0x89, 0x89, 0x31, 0x32}, 20);  // slots 7..13
  h.mj[4] = {kSlotAddedKong, 0x27, 22};                        // the request's provisional copy

  addKongOwn(t.c, 9);
  EXPECT_EQ(h.count, 6);
  EXPECT_EQ(h.mj[9].ind, 23);  // the following tiles moved down one slot
  EXPECT_EQ(t.tile(23).x, 19 + 48 * 9);
  EXPECT_EQ(h.mj[4].ind, -1);
  EXPECT_EQ(h.mj[2].typ, kSlotAddedKong);
  EXPECT_EQ(t.tile(22).x, 19 + 43 * 2);
  EXPECT_EQ(t.tile(22).y, 564 - 18);
  EXPECT_FALSE(t.c.tableView.DrawFromFront);

  // The candidate slot 11 does not start four equal tiles: the four 9筒 are
  // found in the row.
  const std::array<std::int16_t, 3> kong{0x89, 0x89, 0x89};
  layConcealedKongOwn(t.c, 11, kong);
  EXPECT_EQ(h.count, 2);
  EXPECT_EQ(h.first, 10);
  EXPECT_EQ(h.meldCursor, 9);
  for (int k = 4; k <= 6; ++k) {
    EXPECT_EQ(h.mj[static_cast<std::size_t>(k)].typ, kSlotConcealedKong);
    EXPECT_EQ(t.tile(h.mj[static_cast<std::size_t>(k)].ind).picture, 209);  // lying back
  }
  EXPECT_EQ(t.tile(24).picture, 201 + 35);  // the top shows 9筒
  EXPECT_EQ(t.tile(24).y, 564 - 18);
  EXPECT_EQ(t.c.tableView.KongTopCount, 0);  // the user's kongs are not listed
  EXPECT_EQ(h.mj[10].ind, 25);
  EXPECT_EQ(t.tile(25).x, 19 + 48 * 10);
}

// An added kong of 中 or of the wild tile with no peng of it sets the tile
// aside: it leaves the standing row for the side's set-aside column.
TEST(SetAside, A中OrAWildTileWithNoPengGoesToTheSetAsideColumn) {
  struct Case {
    int side;
    int tile;
    bool red;
  } cases[] = {{2, 0x15, true}, {3, 0x29, false}, {0, 0x15, true}, {1, 0x29, false}};
  for (const Case& k : cases) {
    SCOPED_TRACE("side " + std::to_string(k.side) + " tile " + std::to_string(k.tile));
    Table t;
    t.stand(k.side, {0x21, k.tile, 0x33}, 30);
    const std::array<std::int16_t, 3> tiles{static_cast<std::int16_t>(k.tile),
                                            static_cast<std::int16_t>(k.tile),
                                            static_cast<std::int16_t>(k.tile)};
    showClaim(t.c, p::kClaimAddedKong, t.seat(k.side), tiles);
    const HandRecord& h = t.hand(k.side);
    EXPECT_EQ(h.count, 2);
    EXPECT_EQ(h.redAside, k.red ? 1 : 0);
    EXPECT_EQ(h.wildAside, k.red ? 0 : 1);
    // The user's own tile is found by its code; another side gives up its last
    // standing tile, whose face the client never knew.
    const int control = k.side == 0 ? 31 : 32;
    const int column = k.red ? 0 : 4;
    EXPECT_EQ(
        t.c.table.AsideTiles[static_cast<std::size_t>(column)][static_cast<std::size_t>(k.side)],
        control);
    EXPECT_TRUE(t.tile(control).visible);
    for (int i = h.first; i < h.first + h.count; ++i)
      EXPECT_NE(h.mj[static_cast<std::size_t>(i)].ind, control);
    EXPECT_FALSE(t.c.tableView.DrawFromFront);  // the replacement comes from the back
  }
}

TEST(OwnMelds, BrokenRecordsAreNotLaid) {
  Table t;
  t.stand(0, {0x42, 0x43}, 10);
  t.c.table.LastDiscardInd = -1;  // no discard on show
  const std::array<std::int16_t, 3> tiles{0x42, 0x43, 0x44};
  layChowOwn(t.c, 4, 5, tiles);
  EXPECT_EQ(t.hand(0).count, 2);
  EXPECT_FALSE(t.c.offer.ChiDone);
  t.hand(2).meldCursor = 40;
  t.hand(2).count = 30;
  t.onShow(1, 120, 0x43);
  showClaim(t.c, p::kClaimPeng, t.seat(2), tiles);
  EXPECT_EQ(t.hand(2).count, 30);
  showClaim(t.c, p::kClaimAddedKong, t.seat(3), tiles);  // no peng to add to
  EXPECT_EQ(t.hand(3).count, 0);
  showClaim(t.c, p::kClaimPeng, t.seat(1), std::span<const std::int16_t>(tiles).first(1));
  EXPECT_EQ(t.hand(1).count, 0);
}

TEST(Win, FirstWinMarksTheLabelsAndTheUsersDiscardJoinsTheRow) {
  Table t;
  t.stand(0, {0x21, 0x22, 0x23, 0x41}, 10);  // 4 standing: a win on a discard
  t.onShow(2, 77, 0x41);
  const std::array<std::int16_t, 3> none{};
  showClaim(t.c, p::kClaimHu, 1, none);
  const TableViewState& v = t.c.tableView;
  EXPECT_EQ(v.HuSide, 0);
  EXPECT_EQ(v.ResultIdColor[0], kRed);
  EXPECT_EQ(v.ResultIdColor[2], kGreen);
  EXPECT_EQ(t.tile(77).x, t.tile(13).x + 48);
  EXPECT_EQ(t.tile(77).y, 564);
  EXPECT_EQ(t.tile(77).w, 48);
  EXPECT_EQ(t.tile(77).h, 78);
  EXPECT_EQ(t.tile(77).picture, 201 + 18);  // 1萬 lying, the user's orientation

  // A second win in the same hand changes nothing.
  showClaim(t.c, p::kClaimHu, t.seat(3), none);
  EXPECT_EQ(v.HuSide, 0);
  EXPECT_EQ(v.ResultIdColor[3], kGreen);
}

TEST(WatchingMelds, AClaimedDiscardLeavesNoHoleInItsRow) {
  Table t;
  t.c.table.Watching = true;
  t.stand(3, {0, 0, 0, 0, 0}, 100);
  t.stand(0, {0x45, 0x46, 0x11, 0x12, 0x13}, 10);
  showDiscardWatching(t.c, t.seat(3), 0x44);
  EXPECT_EQ(t.hand(3).discardY, 438 - 18);
  EXPECT_EQ(t.c.tableView.RightDiscardCount, 1);
  const std::array<std::int16_t, 3> tiles{0x44, 0x45, 0x46};
  showClaimWatching(t.c, p::kClaimChi, 1, tiles);
  EXPECT_EQ(t.hand(3).discardY, 438);
  EXPECT_EQ(t.c.tableView.RightDiscardCount, 0);
  // Side 0's meld is found by its codes and steps by 45 − 1 for a watcher.
  const HandRecord& h = t.hand(0);
  EXPECT_EQ(h.mj[1].ind, 10);
  EXPECT_EQ(h.mj[2].ind, 11);
  EXPECT_EQ(h.mj[3].ind, 104);
  EXPECT_EQ(t.tile(104).x, 19 + 44 * 3);
  EXPECT_EQ(t.tile(104).picture, 201 + 18 + 5);  // 6萬, the run's third, orientation 0
  EXPECT_FALSE(t.c.offer.ChiDone);
}

}  // namespace
}  // namespace tavren
