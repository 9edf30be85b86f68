// The deal, discards, draws, melds, the wild tile and the reveal.
#include "table/turns.h"

#include <gtest/gtest.h>

#include <set>

#include "support/play_fixture.h"
#include "view/seats.h"

namespace tavren {
namespace {

namespace p = protocol;
using testing::kDealTiles;
using testing::Play;
using testing::ServerFrame;

void ExpectDistinct(const std::vector<int>& controls) {
  std::set<int> seen;
  for (int ind : controls) {
    EXPECT_TRUE(ValidControl(ind)) << ind;
    EXPECT_TRUE(seen.insert(ind).second) << "control " << ind << " twice";
  }
}

TEST(Deal, EverySideGetsTwelveTilesAndAWireWildTileBecomesTheWildCode) {
  Play s;
  std::array<int, 12> tiles = kDealTiles;
  tiles[4] = p::kWireWildTile;
  s.StartHand(1, {1, 1, 1, 1}, tiles);
  ASSERT_FALSE(s.c.ended);
  for (int side = 0; side < kSides; ++side) EXPECT_EQ(s.hand(side).count, 12) << side;
  EXPECT_EQ(s.c.table.MJPOINT, (84 + 48) % kWallTiles);
  int wild = 0, wire = 0;
  for (int k = s.hand(0).first; k < s.hand(0).first + 12; ++k) {
    wild += s.hand(0).mj[static_cast<std::size_t>(k)].value == kWildCode;
    wire += s.hand(0).mj[static_cast<std::size_t>(k)].value == p::kWireWildTile;
  }
  EXPECT_EQ(wild, 1);
  EXPECT_EQ(wire, 0);
  ExpectDistinct(s.HeldControls());
  // The others hold face-down copies; the batches go round from the user.
  EXPECT_EQ(s.c.play.DealRecords[1].seat, PowerOfTwo(1));
  EXPECT_EQ(s.c.play.DealRecords[5].value[0], kDealTiles[6]);
  EXPECT_EQ(s.c.play.CallRound, 0);
}

TEST(Discard, SuitTilesAreCountedAndHonoursAreNot) {
  struct Case {
    int tile;
    int suit, rank;  // the counter that rises; suit −1: none
  } cases[] = {{0x85, 3, 5}, {0x21, 1, 1}, {0x49, 2, 9}, {0x13, -1, 0}, {0x17, -1, 0}};
  for (const Case& k : cases) {
    Play s;
    s.StartHand(0, {1, 1, 1, 1}, kDealTiles, 0x29);
    s.Feed(p::kInsDiscard, 2, {0, 0, 0, k.tile});
    int total = 0;
    for (const auto& suit : s.c.table.SeenCount)
      for (int n : suit) total += n;
    EXPECT_EQ(total, k.suit < 0 ? 0 : 1) << std::hex << k.tile;
    if (k.suit >= 0) {
      EXPECT_EQ(
          s.c.table.SeenCount[static_cast<std::size_t>(k.suit)][static_cast<std::size_t>(k.rank)],
          1);
    }
    EXPECT_EQ(s.c.table.LastDiscard, k.tile);
    EXPECT_EQ(s.hand(2).count, 11);
  }
}

TEST(Discard, FollowingTheDealerShowsTheBubbleForOthersOnly) {
  for (int side = 0; side < kSides; ++side) {
    Play s;
    s.StartHand(1, {1, 1, 1, 1}, kDealTiles, 0x29);
    s.Feed(p::kInsDraw, 0, {0x33});
    s.Feed(p::kInsDiscard, side, {p::kDiscardFollowsDealer, 0, 0, 0x45});
    for (int b = 0; b < 3; ++b) {
      const Control& bubble = s.c.view.Speak[static_cast<std::size_t>(b)];
      EXPECT_EQ(bubble.visible, b == side - 1) << side;
      if (b == side - 1) {
        EXPECT_EQ(bubble.picture, s.c.view.pics.FollowBubblePics[static_cast<std::size_t>(b)]);
      }
    }
  }
}

TEST(Discard, TheServersDiscardForTheUserTakesTheTileOutOfTheRow) {
  Play s;
  s.StartHand(0, {1, 1, 1, 1}, kDealTiles, 0x29);
  s.Feed(p::kInsDraw, 0, {0x33});
  s.Feed(p::kInsDraw, 0, {0x34});
  HandRecord& h = s.hand(0);
  ASSERT_EQ(h.count, 14);
  int control = -1;
  for (int k = h.first; k < h.first + h.count; ++k)
    if (h.mj[static_cast<std::size_t>(k)].value == 0x28)
      control = h.mj[static_cast<std::size_t>(k)].ind;
  ASSERT_GE(control, 0);
  s.Feed(p::kInsDiscard, 0, {0, 0, 0, 0x28});
  EXPECT_EQ(h.count, 13);
  EXPECT_EQ(s.c.table.LastDiscardInd, control);
  EXPECT_EQ(s.tile(control).x, (s.c.view.pic1W - s.tile(control).w) / 2);
  for (int k = h.first; k < h.first + h.count; ++k) {
    EXPECT_NE(h.mj[static_cast<std::size_t>(k)].ind, control);
    EXPECT_NE(h.mj[static_cast<std::size_t>(k)].value, 0x28);
  }
  ExpectDistinct(s.HeldControls());
  // A discard the user already made (the row is back to 13) is not taken twice.
  s.Feed(p::kInsDiscard, 0, {0, 0, 0, 0x45});
  EXPECT_EQ(h.count, 13);
}

TEST(Draw, TheTileTravelsAsElementThreeToTheDrawingSide) {
  Play s;
  s.StartHand(0, {1, 1, 1, 1}, kDealTiles, 0x29);
  const int point = s.c.table.MJPOINT;
  s.Feed(p::kInsDraw, 0, {0x36});
  const HandRecord& h = s.hand(0);
  EXPECT_EQ(h.count, 13);
  EXPECT_EQ(h.mj[static_cast<std::size_t>(h.first + 12)].value, 0x36);
  EXPECT_EQ(h.mj[static_cast<std::size_t>(h.first + 12)].ind, point);
  s.Feed(p::kInsDraw, 3);
  EXPECT_EQ(s.hand(3).count, 13);
  EXPECT_EQ(s.c.table.MJPOINT, point + 2);
  s.c.link.ContinueClockOn = true;
  s.Feed(p::kInsDraw, 1);
  EXPECT_FALSE(s.c.link.ContinueClockOn);
}

// A hand of the user's deal at the point where the others may claim the
// discard `tile` of side `discarder`.
Play& DiscardOnOffer(Play& s, int discarder, int tile) {
  s.StartHand(0, {1, 1, 1, 1}, kDealTiles, 0x29);
  s.Feed(p::kInsDraw, 0, {0x33});
  s.Feed(p::kInsDraw, 0, {0x34});
  s.Feed(p::kInsDiscard, 0, {0, 0, 0, 0x33});
  s.Feed(p::kInsDraw, discarder);
  s.Feed(p::kInsDiscard, discarder, {0, 0, 0, tile});
  return s;
}

TEST(Meld, AnotherSidesPengIsLaidFromItsRow) {
  Play s;
  DiscardOnOffer(s, 1, 0x45);
  const int discard = s.c.table.LastDiscardInd;
  s.Feed(p::kInsMeld, 2, {p::kClaimPeng, 0x45, 0x45, 0x45});
  const HandRecord& h = s.hand(2);
  EXPECT_EQ(h.count, 10);
  EXPECT_EQ(h.first, 7);
  EXPECT_EQ(h.meldCursor, 7);
  for (int k = 2; k <= 4; ++k) EXPECT_EQ(h.mj[static_cast<std::size_t>(k)].typ, kSlotPeng);
  EXPECT_EQ(h.mj[4].ind, discard);
  EXPECT_EQ(s.c.play.LastMeldTiles[2], 0x45);
  EXPECT_TRUE(s.c.view.Speak[1].visible);
  ExpectDistinct(s.HeldControls());
}

TEST(Meld, TheUsersChiIsLaidWithThePairTheClaimChose) {
  Play s;
  DiscardOnOffer(s, 3, 0x84);
  HandRecord& h = s.hand(0);
  // The chosen pair: the standing 0x82 and 0x83 (the hand also holds 0x81).
  int a = -1, b = -1;
  for (int k = h.first; k < h.first + h.count; ++k) {
    if (h.mj[static_cast<std::size_t>(k)].value == 0x82) a = k;
    if (h.mj[static_cast<std::size_t>(k)].value == 0x83) b = k;
  }
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  const int ca = h.mj[static_cast<std::size_t>(a)].ind, cb = h.mj[static_cast<std::size_t>(b)].ind;
  s.c.offer.ChiChoice[0] = static_cast<std::int16_t>(a);
  s.c.offer.ChiChoice[1] = static_cast<std::int16_t>(b);
  s.Feed(p::kInsMeld, 0, {p::kClaimChi, 0x82, 0x83, 0x84});
  EXPECT_EQ(h.count, 11);
  EXPECT_EQ(h.first, 7);
  std::set<int> meld;
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(h.mj[static_cast<std::size_t>(k)].typ, kSlotChi);
    meld.insert(h.mj[static_cast<std::size_t>(k)].ind);
  }
  EXPECT_TRUE(meld.count(ca) && meld.count(cb));
  EXPECT_TRUE(s.c.offer.ChiDone);
  for (const Control& bubble : s.c.view.Speak) EXPECT_FALSE(bubble.visible);
  ExpectDistinct(s.HeldControls());
}

TEST(Meld, AnOwnKongWithAStaleCandidateUsesTheSlotsHoldingTheTile) {
  Play s;
  s.StartHand(0, {1, 1, 1, 1}, kDealTiles, 0x29);
  s.Feed(p::kInsDraw, 0, {0x45});  // the fourth 0x45
  s.c.offer.KongCount = 1;
  s.c.offer.KongChoice[0] = 4;  // a slot of the 0x8_ tiles, from an older offer
  s.Feed(p::kInsMeld, 0, {p::kClaimConcealedKong, 0x45, 0x45, 0x45});
  const HandRecord& h = s.hand(0);
  EXPECT_EQ(h.count, 9);
  EXPECT_EQ(h.first, 7);
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(h.mj[static_cast<std::size_t>(k)].typ, kSlotConcealedKong);
    EXPECT_EQ(h.mj[static_cast<std::size_t>(k)].value, 0x45);
  }
  for (int k = h.first; k < h.first + h.count; ++k)
    EXPECT_NE(h.mj[static_cast<std::size_t>(k)].value, 0x45);
  EXPECT_FALSE(s.c.tableView.DrawFromFront);
}

TEST(Meld, UnattendedPlayCountsTheTilesEachKindShows) {
  struct Case {
    int kind;
    bool unattended;
    int counted;  // of 0x45 (suit 2, rank 5)
  } cases[] = {{p::kClaimPeng, true, 2},        {p::kClaimExposedKong, true, 3},
               {p::kClaimAddedKong, true, 1},   {p::kClaimConcealedKong, true, 0},
               {p::kClaimHu, true, 0},          {p::kClaimPeng, false, 0},
               {p::kClaimExposedKong, false, 0}};
  for (const Case& k : cases) {
    Play s;
    s.c.shell.UnattendedMode = k.unattended;
    DiscardOnOffer(s, 1, 0x45);
    const int before = s.c.table.SeenCount[2][5];
    s.Feed(p::kInsMeld, 2, {k.kind, 0x45, 0x45, 0x45});
    EXPECT_EQ(s.c.table.SeenCount[2][5] - before, k.counted) << k.kind << " " << k.unattended;
  }
}

// A kong robbed by the user: the win is on no discard, and the last discard,
// already laid in its row, stays there.
TEST(Meld, AWinOnARobbedKongMovesNoLaidDiscard) {
  Play s;
  DiscardOnOffer(s, 1, 0x45);
  s.Feed(p::kInsDraw, 0, {0x34});
  s.Feed(p::kInsDiscard, 0, {0, 0, 0, 0x34});
  s.Feed(p::kInsDraw, 3);  // the user's discard goes to the user's row
  const int laid = s.c.table.LastDiscardInd;
  ASSERT_TRUE(ValidControl(laid));
  const Control before = s.c.view.MJ_Image[static_cast<std::size_t>(laid)];
  ASSERT_EQ((s.hand(0).count - 2) % 3, 2);
  // Side 3 adds to its peng; the user robs it and wins.
  s.Feed(p::kInsMeld, 0, {p::kClaimHu, 0, 0, 0});
  const Control& after = s.c.view.MJ_Image[static_cast<std::size_t>(laid)];
  EXPECT_EQ(after.x, before.x);
  EXPECT_EQ(after.y, before.y);
  EXPECT_EQ(after.picture, before.picture);
}

// The user sets a wild tile aside: the server names it by its real face, the
// row holds it under the wild code, and that tile (not a plain one) leaves.
TEST(Meld, AWildTileTheUserSetsAsideLeavesTheRow) {
  Play s;
  std::array<int, 12> tiles = kDealTiles;
  tiles[4] = p::kWireWildTile;
  s.StartHand(1, {1, 1, 1, 1}, tiles, 0x45);
  const HandRecord& h = s.hand(0);
  const int before = h.count;
  auto held = [&](int code) {
    int n = 0;
    for (int k = h.first; k < h.first + h.count; ++k)
      n += h.mj[static_cast<std::size_t>(k)].value == code;
    return n;
  };
  ASSERT_EQ(held(kWildCode), 1);
  const int plain = held(0x45);
  s.Feed(p::kInsMeld, 0, {p::kClaimAddedKong, 0x45, 0x45, 0x45});
  EXPECT_EQ(h.count, before - 1);
  EXPECT_EQ(held(kWildCode), 0);
  EXPECT_EQ(held(0x45), plain);
  EXPECT_EQ(h.wildAside, 1);
}

TEST(WildTile, KeepsOnlyTheLowBytes) {
  Play s;
  s.Feed(ServerFrame(p::kInsWildTile, 0, {0, 0, 0x0129, 0x0228}));
  EXPECT_EQ(s.c.table.WildTileCode, 0x29);
  EXPECT_EQ(s.c.table.WildShownCode, 0x28);
}

TEST(Reveal, TheFirstRecordNamesTheWallTilesAndWhereTheyLie) {
  struct Case {
    int back;  // MJFIRST
    int secondPos;
  } cases[] = {{45, 46}, {46, 47}, {47, 42}, {0, 1}, {2, 141}};
  for (const Case& k : cases) {
    Play s;
    s.StartHand(0, {1, 1, 1, 1}, kDealTiles, 0x29);
    s.c.table.MJFIRST = static_cast<std::int16_t>(k.back);
    s.c.table.MJPOINT = 100;
    s.c.offer.ChiDone = s.c.offer.TingLock = true;
    Frame f = ServerFrame(p::kInsReveal, s.seat(1), {0x11, 0x12, 0x13, 0x14});
    const std::uint8_t wall[5] = {0x21, 0x03, 0x85, 0x17, 0};
    for (int i = 0; i < 5; ++i) f[p::kPayloadOffset + static_cast<std::size_t>(i)] = wall[i];
    s.Feed(f);
    EXPECT_FALSE(s.c.offer.ChiDone);
    EXPECT_FALSE(s.c.offer.TingLock);
    EXPECT_EQ(s.c.play.RevealCount, 4);
    EXPECT_EQ(s.c.play.RevealTiles[1], 0x03);
    EXPECT_EQ(s.c.play.RevealPos[0], k.back);
    EXPECT_EQ(s.c.play.RevealPos[1], k.secondPos) << k.back;
    EXPECT_EQ(s.c.play.RevealPos[2], 100);
    EXPECT_EQ(s.c.play.RevealPos[3], 101);
    EXPECT_EQ(s.c.tableView.RevealedTiles[1][0], 0x11);
    // Later records leave the wall tiles as the first one named them.
    Frame again = ServerFrame(p::kInsReveal, s.seat(2), {0x15});
    again[p::kPayloadOffset] = 0x99;
    s.Feed(again);
    EXPECT_EQ(s.c.play.RevealTiles[0], 0x21);
  }
}

// Side 3 adds to its peng and side 1 (or the user) robs the kong. The kong
// was never laid, so the tile leaves side 3's row: it holds what the server
// reveals for it, the table turns face up once all have shown their hands,
// and the winner's row shows the robbed tile.
TEST(Reveal, ARobbedKongsTileLeavesTheAddersRowForTheWinners) {
  for (const int winner : {1, 0}) {
    Play s;
    s.StartHand(1, {1, 1, 1, 1}, kDealTiles, 0x29);
    for (int side : {1, 2, 3}) s.Feed(p::kInsDraw, side, {0});
    s.Feed(p::kInsDraw, 0, {0x33});
    s.Feed(p::kInsDraw, 3, {0});  // side 3's turn: it adds to its peng
    ASSERT_EQ(s.hand(3).count, 14);
    const int robbed = s.hand(3).mj[static_cast<std::size_t>(s.hand(3).first + 13)].ind;
    const int before = s.hand(winner).count;
    s.Feed(p::kInsMeld, winner, {p::kClaimHu, 0, 0, 0x27});
    EXPECT_EQ(s.hand(3).count, 13) << winner;
    EXPECT_EQ(s.c.table.LastDiscardInd, robbed);
    EXPECT_EQ(s.c.table.LastDiscard, 0x27);
    // The server reveals every side as it holds it: side 3 without the tile,
    // the winner with it last (a count the client takes up to its own).
    auto reveal = [&](int side, int n) {
      for (int i = 0; i < n; i += 4) {
        std::vector<int> v;
        for (int j = i; j < n && j < i + 4; ++j) v.push_back(0x21 + j % 9);
        Frame f = ServerFrame(p::kInsReveal, s.seat(side), {});
        for (std::size_t j = 0; j < v.size(); ++j) {
          f[p::kOperandOffset + 2 * j] = 0;
          f[p::kOperandOffset + 2 * j + 1] = static_cast<std::uint8_t>(v[j]);
        }
        s.Feed(f);
      }
    };
    for (int side : {1, 2, 3}) reveal(side, side == winner ? before + 1 : s.hand(side).count);
    for (int side : {1, 2, 3}) EXPECT_EQ(s.hand(side).count, 0) << winner << " side " << side;
    const Control& k = s.tile(robbed);
    EXPECT_TRUE(k.visible);
    if (winner == 1) {
      // Face up beside the last tile of side 1's row, below it.
      const HandRecord& h = s.hand(1);
      const Control& last = s.tile(h.mj[static_cast<std::size_t>(h.first + before - 1)].ind);
      EXPECT_EQ(k.y, last.y + s.c.view.TileStepY[1] - SY(s.c, 13));
      EXPECT_EQ(k.picture,
                s.c.view.pics.TilePics[static_cast<std::size_t>(*TilePicIndex(1, 0x27))]);
    } else {
      // At the end of the user's row.
      const HandRecord& h = s.hand(0);
      EXPECT_EQ(k.y, h.handY);
      EXPECT_EQ(k.x, s.tile(h.mj[static_cast<std::size_t>(h.first + h.count - 1)].ind).x +
                         s.c.view.TileStepX[0]);
    }
  }
}

// A server that goes on handing out tiles after the wall is used up would
// make the wall's next control one a hand still holds: the client refuses the
// record (back to the lobby, end) instead of showing one tile in two places.
TEST(Draw, AWallRunIntoTheTilesInPlayEndsTheClient) {
  Play s;
  s.StartHand(0, {1, 1, 1, 1}, kDealTiles, 0x29);
  ASSERT_FALSE(s.c.ended);
  int draws = 0;
  for (; draws < 200 && !s.c.ended; ++draws) {
    s.Feed(p::kInsDraw, 1, {0x21});
    if (s.c.ended) break;
    ExpectDistinct(s.HeldControls());
    s.Feed(p::kInsDiscard, 1, {0, 0, 0, 0x21});
  }
  EXPECT_TRUE(s.c.ended);
  EXPECT_LT(draws, 144);
  EXPECT_EQ(s.platform.lobby.received.back().wParam, kScRestore);
}

}  // namespace
}  // namespace tavren
