#include "view/motion.h"

#include <algorithm>

#include "core/client.h"
#include "core/waits.h"
#include "rules/sort_hand.h"
#include "table/snapshot.h"
#include "view/access.h"
#include "view/scene.h"
#include "view/seats.h"

namespace tavren {

namespace {

void PlayTileVoice(Client& c, int side, int tile) {
  if (!c.sound.SoundOn) return;
  PlayEffect(c, TileVoicePath(c, side, tile), false);
  SetEffectVolume(c, kFullVolume);
}

// The discard on show is laid into its discarder's row when the side next in
// turn takes its tile; a discard taken into a kong is never laid.
void LayDiscardOnShow(Client& c, int side, int n) {
  TableModel& t = c.table;
  TableViewState& v = c.tableView;
  if (!v.DiscardClaimed && t.LastDiscardInd > -1 && t.LastDiscard > 0) {
    if (n == 1) motionPause(c, 0.4f);
    const int discarder = v.LastDiscardSide & 3;
    if (side == (discarder + 3) % 4) {
      LoadSteps(c, Steps::Lying);
      layDiscard(c, discarder, t.LastDiscardInd);
      v.DiscardLaid = true;
      c.link.BlinkCount = 3;
    }
  }
  v.DiscardClaimed = false;
}

// The user's row is turned down for a second when the deal is complete, then
// shown sorted.
void DealCompleteCheck(Client& c) {
  HandRecord& h = Hand(c, 0);
  const bool full = h.count == 14 || (h.count == 13 && !h.isDealer);
  if (!full || c.table.WildTileCode >= 0 || !StandingFits(h, 0)) return;
  for (int k = h.first; k < h.first + h.count; ++k) ShowBack(c, Slot(h, k).ind, kLyingOwn, true);
  motionPause(c, 1.0f);
  SortHand(c, 0, h.count);
  c.tableView.DrawFromFront = true;
}

// Moves a control into the user's standing row at the standing size, in front.
void PlaceOwnStanding(Client& c, int slot, int control) {
  if (!ValidControl(control)) return;
  Control& k = Tile(c, control);
  const Point p = StandingPlace(c, 0, slot);
  k.x = p.x;
  k.y = p.y;
  k.w = c.view.TileStepX[0];
  k.h = c.view.TileStepY[0];
  BringToFront(c.view, k);
}

// The slot whose flower the replacement tile takes: the last one holding the
// replaced flower, else the last flower of the row, else the last slot.
int ReplacedFlowerSlot(const HandRecord& h, std::span<const std::int16_t> tiles) {
  const int last = h.first + h.count - 1;
  const int flower = tiles.size() > 1 ? tiles[1] : 0;
  if (IsFlower(flower))
    for (int k = last; k >= h.first; --k)
      if (Slot(h, k).value == flower) return k;
  for (int k = last; k >= h.first; --k) {
    const int v = Slot(h, k).value;
    if (IsFlower(v) && v != kWildCode) return k;
  }
  return last;
}

void OwnFlowerReplacement(Client& c, std::span<const std::int16_t> tiles) {
  TableModel& t = c.table;
  HandRecord& h = Hand(c, 0);
  if (h.count <= 0 || !StandingFits(h, 0) || tiles.size() < 4) {
    --t.OwnFlowerCount;
    return;
  }
  for (int k = h.first; k < h.first + h.count; ++k)
    if (Slot(h, k).value == kMarkedWild) Slot(h, k).value = kWildCode;
  SortHand(c, 0, h.count);
  motionWaitMillis(c, 500);
  const int at = ReplacedFlowerSlot(h, tiles);
  TileSlot& slot = Slot(h, at);
  slot.value = tiles[3];
  slot.typ = kSlotStanding;
  ShowStandingFace(c, 0, slot.ind, tiles[3]);
  // The replacement is the tile just drawn: it goes to the end of the row,
  // where a locked hand (吃牌上听) and the timeout move look for that tile. A
  // wild tile or a higher flower may have sorted behind the flower it replaces.
  const int last = h.first + h.count - 1;
  if (at < last) {
    const TileSlot drawn = slot;
    for (int k = at; k < last; ++k) Slot(h, k) = Slot(h, k + 1);
    Slot(h, last) = drawn;
    LoadSteps(c, Steps::Standing);
    for (int k = at; k <= last; ++k) placeInStandingRow(c, 0, k, Slot(h, k).ind);
  }
  Tile(c, WallPosition(t.MJFIRST)).visible = false;
  advanceBack(c);
  --t.OwnFlowerCount;
  motionWaitMillis(c, 500);
}

void OwnSingleTile(Client& c, std::span<const std::int16_t> tiles) {
  TableModel& t = c.table;
  TableViewState& v = c.tableView;
  HandRecord& h = Hand(c, 0);
  if (tiles.size() < 4 || !StandingFits(h, 1)) return;
  // The row grows once the tile is taken: the wall checks the row as it stands.
  const int k = h.first + h.count;
  if (t.WildTileCode > 0) {
    // Closes the gap left by the previous drawn tile.
    for (int s = h.first; s < k; ++s) {
      const int control = Slot(h, s).ind;
      if (!ValidControl(control)) continue;
      Control& tile = Tile(c, control);
      const Point p = StandingPlace(c, 0, s);
      tile.x = p.x;
      tile.y = p.y;
      BringToFront(c.view, tile);
    }
    if (!v.DrawFromFront) SortHand(c, 0, h.count);
  }
  const bool fromFront = v.DrawFromFront;
  const int control = WallPosition(fromFront ? t.MJPOINT : t.MJFIRST);
  if (fromFront)
    advanceFront(c);
  else
    advanceBack(c);
  ++h.count;
  Slot(h, k) = {kSlotStanding, tiles[3], I16(control)};
  ShowStandingFace(c, 0, control, tiles[3]);
  PlaceOwnStanding(c, k, control);
  if (!fromFront || t.WildTileCode > 0) applyDrawnGap(c, 0, control);
}

void OwnDealBatch(Client& c, int n, std::span<const std::int16_t> tiles) {
  HandRecord& h = Hand(c, 0);
  if (n < 1 || static_cast<std::size_t>(n) > tiles.size() || !StandingFits(h, n)) return;
  const int k0 = h.first + h.count;
  for (int i = 0; i < n; ++i) {
    const int control = WallPosition(c.table.MJPOINT);
    advanceFront(c);
    const std::int16_t tile = tiles[static_cast<std::size_t>(i)];
    Slot(h, k0 + i) = {kSlotStanding, tile, I16(control)};
    ShowStandingFace(c, 0, control, tile);
    PlaceOwnStanding(c, k0 + i, control);
  }
  h.count = I16(h.count + n);
}

void OtherSideTiles(Client& c, int side, int n) {
  TableModel& t = c.table;
  TableViewState& v = c.tableView;
  HandRecord& h = Hand(c, side);
  auto& flowers = t.SideFlowerCount[static_cast<std::size_t>(side)];
  if (flowers > 0) {
    // The replacement takes the place of the flower shown: only the wall changes.
    Tile(c, WallPosition(t.MJFIRST)).visible = false;
    advanceBack(c);
    --flowers;
    return;
  }
  if (n < 1 || !StandingFits(h, n)) return;
  const int k0 = h.first + h.count;
  const bool fromBack = n == 1 && !v.DrawFromFront;
  for (int i = 0; i < n; ++i) {
    const int control = WallPosition(fromBack ? t.MJFIRST : t.MJPOINT);
    if (fromBack)
      advanceBack(c);
    else
      advanceFront(c);
    TileSlot& slot = Slot(h, k0 + i);
    slot.typ = kSlotStanding;
    slot.ind = I16(control);
    ShowBack(c, control, side, true);
    placeInStandingRow(c, side, k0 + i, control);
  }
  h.count = I16(h.count + n);
  if (n == 1 && (fromBack || t.WildTileCode > 0 || h.count == 14))
    applyDrawnGap(c, side, Slot(h, k0).ind);
}

// Number of tiles a side has revealed so far.
int RevealedCount(const Client& c, int side) {
  const auto& list = c.tableView.RevealedTiles[static_cast<std::size_t>(side)];
  return static_cast<int>(std::find(list.begin(), list.end(), 0) - list.begin());
}

void SizeSlots(Client& c, int side, int from, int to) {
  const int w = c.view.TileStepX[static_cast<std::size_t>(side)];
  const int h = c.view.TileStepY[static_cast<std::size_t>(side)];
  HandRecord& hand = Hand(c, side);
  for (int k = from; k < to; ++k) {
    const int control = Slot(hand, k).ind;
    if (!ValidControl(control)) continue;
    Tile(c, control).w = w;
    Tile(c, control).h = h;
  }
}

// A winner by discard shows the discard beside the last tile of its row.
void PlaceWinningDiscard(Client& c, int side, int n) {
  TableModel& t = c.table;
  HandRecord& h = Hand(c, side);
  const int control = t.LastDiscardInd;
  const int last = Slot(h, h.first + n - 1).ind;
  if (c.tableView.DiscardLaid || !ValidControl(control) || !ValidControl(last)) return;
  ShowFace(c, control, side, t.LastDiscard);
  Control& k = Tile(c, control);
  const Control& l = Tile(c, last);
  k.w = c.view.TileStepX[static_cast<std::size_t>(side)];
  k.h = c.view.TileStepY[static_cast<std::size_t>(side)];
  if (side == 1) {
    k.x = l.x - SX(c, 5);
    k.y = l.y + c.view.TileStepY[1] - SY(c, 13);
    BringToFront(c.view, k);
  } else if (side == 2) {
    k.x = h.handX - (h.first + n) * c.view.TileStepX[2] - SX(c, 5);
    k.y = h.handY;
  } else {
    k.x = l.x - SX(c, 5);
    k.y = l.y - c.view.TileStepY[3] + SY(c, 13);
    SendToBack(c.view, k);
  }
}

void TurnTableFaceUp(Client& c) {
  TableModel& t = c.table;
  HandRecord& own = Hand(c, 0);
  if (StandingFits(own, 0)) {
    const int from = own.first, to = own.first + own.count;
    if (!t.Watching) {
      for (int k = from; k < to; ++k) ShowFace(c, Slot(own, k).ind, kLyingOwn, Slot(own, k).value);
    } else {
      SortHand(c, 0, own.count);
      // The sort redraws only moved codes once the wild tile is known; a
      // watcher's row still shows backs, so every tile is turned here.
      for (int k = from; k < to; ++k) ShowStandingFace(c, 0, Slot(own, k).ind, Slot(own, k).value);
      SizeSlots(c, 0, from, to);
    }
  }
  const int huSide = c.tableView.HuSide;
  for (int side = 1; side < kSides; ++side) {
    HandRecord& h = Hand(c, side);
    const int n = std::min(RevealedCount(c, side), kSlots - h.first);
    if (n <= 0 || h.first < 0) continue;
    LoadSteps(c, Steps::Reveal);
    const bool selfDrawn = side == huSide && (n - 2) % 3 == 0;
    if (selfDrawn) {
      const TileSlot& last = Slot(h, h.first + n - 1);
      ShowFace(c, last.ind, side, last.value);
      SortHand(c, side, n - 1);
    } else {
      SortHand(c, side, n);
    }
    SizeSlots(c, side, h.first, h.first + n);
    if (side == huSide && !selfDrawn) PlaceWinningDiscard(c, side, n);
  }
}

}  // namespace

void takeWallTiles(Client& c, std::uint8_t seat, int n, std::span<const std::int16_t> tiles,
                   bool replacement) {
  RefuseDuringSnapshot(c);
  const int side = SideOf(c, seat);
  if (!replacement) LayDiscardOnShow(c, side, n);
  LoadSteps(c, Steps::Standing);
  if (side == 0) {
    if (n == 1 && c.table.OwnFlowerCount != 0) {
      OwnFlowerReplacement(c, tiles);
      DealCompleteCheck(c);
    } else if (n == 1) {
      OwnSingleTile(c, tiles);
      DealCompleteCheck(c);
    } else {
      OwnDealBatch(c, n, tiles);
    }
  } else {
    OtherSideTiles(c, side, n);
  }
  c.tableView.DrawFromFront = true;
}

void showDiscard(Client& c, std::uint8_t seat, int tile) {
  TableModel& t = c.table;
  t.LastDiscard = I16(tile);
  if (tile <= 0) return;
  c.tableView.DiscardLaid = false;
  motionPause(c, 0.05f);
  const int side = SideOf(c, seat);
  PlayTileVoice(c, side, tile);
  c.tableView.LastDiscardSide = I16(side);
  // The user's own discard was centred by the hand input or by auto-play.
  if (side == 0) return;
  LoadSteps(c, Steps::Lying);
  HandRecord& h = Hand(c, side);
  if (h.count <= 0 || !StandingFits(h, 0)) return;
  const int control = Slot(h, h.first + h.count - 1).ind;
  if (!ValidControl(control)) return;
  t.LastDiscardInd = I16(control);
  ShowFace(c, control, side, tile);
  Control& k = Tile(c, control);
  k.w = c.view.TileStepX[static_cast<std::size_t>(side)];
  k.h = c.view.TileStepY[static_cast<std::size_t>(side)];
  k.x = (c.view.pic1W - k.w) / 2;
  k.y = (c.view.pic1H - k.h) / 2;
  if (side == 3) {
    SendToBack(c.view, k);
    // Never under the compass, though: the user decides on this tile.
    PlaceAbove(c.view, k, c.view.ZhiNan);
  } else {
    BringToFront(c.view, k);
  }
  --h.count;
}

void revealHand(Client& c, std::uint8_t seat, std::span<const std::int16_t> values) {
  LoadSteps(c, Steps::Reveal);
  const int side = SideOf(c, seat);
  if (side == 0) return;  // the user's own tiles are known already
  HandRecord& h = Hand(c, side);
  if (h.count <= 0) return;
  auto& list = c.tableView.RevealedTiles[static_cast<std::size_t>(side)];
  int j = RevealedCount(c, side);
  for (std::size_t i = 0; i < 4 && i < values.size() && h.count > 0; ++i) {
    // A row that would run past the record ends the reveal of this side.
    if (j >= kSlots || h.first < 0 || h.first + j >= kSlots) {
      h.count = 0;
      break;
    }
    const auto code = I16(values[i] & 0xFF);
    list[static_cast<std::size_t>(j)] = code;
    Slot(h, h.first + j).value = code;
    --h.count;
    ++j;
  }
  // The table turns face up once, when the last of sides 1..3 is complete.
  for (int s = 1; s < kSides; ++s)
    if (Hand(c, s).count > 0) return;
  TurnTableFaceUp(c);
}

int FlowerSlot(int side, int f) {
  if (f < 0 || f > 7) return -1;
  switch (side) {
    case 0:
      return 7 - f;
    case 1:
      return f <= 3 ? 11 - f : 19 - f;
    case 2:
      return 23 - f;
    case 3:
      return 31 - f;
    default:
      return -1;
  }
}

int showFlower(Client& c, int side, int flower) {
  if (side < 0 || side >= kSides || !IsFlower(flower)) return -1;
  const int slot = FlowerSlot(side, Hand(c, side).flowers);
  if (slot < 0) return -1;
  setFlowerImage(c, slot, side, flower, false);
  return slot;
}

void SeedWindDraw(Client& c, std::uint32_t seed) {
  c.tableView.Random.seed(seed);
  c.tableView.RandomSeeded = true;
}

int showWindDraw(Client& c, int wind) {
  PlayEffect(c, kEffectDraw, kFullVolume);
  const int w = c.view.TileStepX[0], h = c.view.TileStepY[0];
  const int x0 = c.view.pic1W / 2 - 2 * w;
  for (int i = 0; i < 4; ++i) {
    Control& k = Tile(c, i);
    k.w = w;
    k.h = h;
    k.x = x0 + i * w;
    k.y = c.view.pic1H / 2 - h;
    ShowBack(c, i, kLyingOwn, true);
  }
  pauseSeconds(c, 0.5f);
  TableViewState& v = c.tableView;
  if (!v.RandomSeeded) SeedWindDraw(c, static_cast<std::uint32_t>(c.platform.nowMillis()));
  const int p = static_cast<int>(v.Random() >> 30);  // the top two bits: uniform 0..3
  // The standing face of the honour of rank 4 − wind: 0 北, 1 西, 2 南, 3 東.
  if (wind >= 0 && wind <= 3) setTileImage(c, p, 147 - wind);
  pauseSeconds(c, 0.5f);
  for (int i = 0; i < 4; ++i) Tile(c, i).visible = false;
  return p;
}

void showCompass(Client& c) {
  std::uint8_t& seat = c.table.custom[0].seat;
  if (seat == 0) seat = 1;
  const int i = BitIndex(seat);
  if (i < 4) {
    const int id = c.view.pics.CompassPics[static_cast<std::size_t>(i)];
    c.view.ZhiNan.picture = id != 0 ? id : 126 + i;
  }
  c.view.ZhiNan.visible = true;
}

}  // namespace tavren
