#include "view/seats.h"

#include <algorithm>
#include <cmath>

#include "core/client.h"
#include "core/waits.h"
#include "table/snapshot.h"
#include "view/access.h"
#include "view/scene.h"

namespace tavren {

namespace {

int StepX(const Client& c, int side) {
  return c.view.TileStepX[static_cast<std::size_t>(side)];
}
int StepY(const Client& c, int side) {
  return c.view.TileStepY[static_cast<std::size_t>(side)];
}

int Round(double v) {
  return static_cast<int>(std::lround(v));
}

// Moves the discard cursor of a side past the tile just laid; a row (a column
// for sides 1 and 3) holds eight tiles.
void MoveDiscardCursor(Client& c, int side, HandRecord& h) {
  const int sx = StepX(c, side), sy = StepY(c, side);
  switch (side) {
    case 0:
      h.discardX = I16(h.discardX + sx);
      if (sx > 0 && I16(h.discardX - h.discardOriginX) / sx == 8) {
        h.discardX = h.discardOriginX;
        h.discardY = I16(h.discardY - sy + SY(c, 18));
      }
      break;
    case 1: {
      const int step = sy - SY(c, 17);
      h.discardY = I16(h.discardY + step);
      h.discardX = I16(h.discardX - 5);
      if (step > 0 && I16(h.discardY - h.discardOriginY) / step == 8) {
        h.discardY = h.discardOriginY;
        h.discardX = I16(h.discardX + sx + 40 - SX(c, 5));
      }
      break;
    }
    case 2:
      h.discardX = I16(h.discardX - sx);
      if (sx > 0 && I16(h.discardOriginX - h.discardX) / sx == 8) {
        h.discardX = h.discardOriginX;
        h.discardY = I16(h.discardY + sy - SY(c, 14));
      }
      break;
    default: {
      const int step = sy - SY(c, 17);
      h.discardY = I16(h.discardY - step);
      h.discardX = I16(h.discardX - 5);
      if (step > 0 && I16(h.discardOriginY - h.discardY) / step == 8) {
        h.discardY = h.discardOriginY;
        h.discardX = I16(h.discardX - sx + 40 + SX(c, 5));
      }
      break;
    }
  }
}

// Side 3's columns build upwards: within each column the lower tile must cover
// the one above it, so the column is brought to the front from its top down.
void RestackRightDiscards(Client& c) {
  TableViewState& v = c.tableView;
  const int n = std::min<int>(v.RightDiscardCount, kRightDiscardSlots);
  auto front = [&](int i) {
    const int control = v.RightDiscards[static_cast<std::size_t>(i)];
    if (ValidControl(control)) BringToFront(c.view, Tile(c, control));
  };
  if (n <= 8) {
    for (int i = n - 1; i >= 0; --i) front(i);
  } else if (n <= 16) {
    for (int i = n - 1; i >= 8; --i) front(i);
  } else {
    for (int i = 15; i >= 8; --i) front(i);
    for (int i = n - 1; i >= 16; --i) front(i);
  }
}

// Takes the wall control of the chosen end and moves that end on.
int TakeFromWall(Client& c, bool front) {
  if (front) {
    const int control = WallPosition(c.table.MJPOINT);
    advanceFront(c);
    return control;
  }
  const int control = WallPosition(c.table.MJFIRST);
  advanceBack(c);
  return control;
}

}  // namespace

bool ValidControl(int control) {
  return control >= 0 && control < kWallTiles;
}

void ShowFace(Client& c, int control, int orientation, int code) {
  if (!ValidControl(control)) return;
  code &= 0xFF;
  if (code != kWildCode && IsFlower(code)) {
    setFlowerImage(c, control, orientation, code, true);
    return;
  }
  if (const auto index = TilePicIndex(orientation, code)) setTileImage(c, control, *index);
}

void ShowStandingFace(Client& c, int side, int control, int code) {
  ShowFace(c, control, side == 0 ? kStandingOwn : side, code);
}

void ShowBack(Client& c, int control, int orientation, bool standing) {
  if (const auto index = TileBackIndex(orientation, standing)) setTileImage(c, control, *index);
}

bool StandingFits(const HandRecord& h, int more) {
  return h.first >= 0 && h.count >= 0 && more >= 0 && h.first + h.count + more <= kSlots;
}

Point StandingPlace(const Client& c, int side, int slot) {
  const HandRecord& h = Hand(c, side & 3);
  const int step = StepX(c, side & 3);
  switch (side & 3) {
    case 0:
      return {h.handX + step * slot, h.handY};
    case 1:
      return {h.handX - SX(c, 5.0 * slot), h.handY + Round(0.5 * step * slot)};
    case 2:
      return {h.handX - step * slot, h.handY};
    default:
      return {h.handX - SX(c, 5.0 * (slot + 1)), h.handY - Round(0.5 * step * (slot + 1))};
  }
}

void placeInStandingRow(Client& c, int side, int slot, int control) {
  if (!ValidControl(control) || side < 0 || side >= kSides) return;
  Control& k = Tile(c, control);
  const Point p = StandingPlace(c, side, slot);
  k.x = p.x;
  k.y = p.y;
  k.w = StepX(c, side);
  k.h = StepY(c, side);
  if (side == 1) BringToFront(c.view, k);
  if (side == 3) SendToBack(c.view, k);
}

void applyDrawnGap(Client& c, int side, int control) {
  if (!ValidControl(control)) return;
  Control& k = Tile(c, control);
  switch (side) {
    case 0:
      k.x += StepX(c, 0) / 2;
      break;
    case 1:
      k.y += SY(c, 10);
      break;
    case 2:
      k.x -= SX(c, 10);
      break;
    case 3:
      k.y -= SY(c, 10);
      break;
    default:
      return;
  }
}

int WallPosition(int pos) {
  return ((pos % kWallTiles) + kWallTiles) % kWallTiles;
}

std::int16_t NextBackPosition(int pos) {
  pos = WallPosition(pos);
  return I16(pos % 3 == 2 ? (pos + 139) % kWallTiles : pos + 1);
}

namespace {

// The wall's next tile is never one a hand holds: a server that hands out more
// tiles than the wall has left would otherwise put one control in two places.
void RefuseHeldControl(const Client& c, int pos) {
  const int control = WallPosition(pos);
  for (const HandRecord& h : c.table.custom)
    for (int k = 0; k < kSlots; ++k) {
      const TileSlot& s = Slot(h, k);
      const bool row = k >= h.first && k < h.first + h.count;
      if (s.ind == control && (row || s.typ >= kSlotChi))
        throw BadRecord("the wall ran into tiles in play");
    }
}

}  // namespace

void advanceFront(Client& c) {
  RefuseHeldControl(c, c.table.MJPOINT);
  c.table.MJPOINT = I16((WallPosition(c.table.MJPOINT) + 1) % kWallTiles);
}

void advanceBack(Client& c) {
  RefuseHeldControl(c, c.table.MJFIRST);
  c.table.MJFIRST = NextBackPosition(c.table.MJFIRST);
}

void layDiscard(Client& c, int side, int control) {
  if (side < 0 || side >= kSides || !ValidControl(control)) return;
  HandRecord& h = Hand(c, side);
  Control& k = Tile(c, control);
  k.x = h.discardX;
  k.y = h.discardY;
  k.w = StepX(c, side);
  k.h = StepY(c, side);

  TableViewState& v = c.tableView;
  if (side == 1 || side == 2)
    BringToFront(c.view, k);
  else
    SendToBack(c.view, k);
  v.LastDiscardX = h.discardX;
  v.LastDiscardY = h.discardY;
  MoveDiscardCursor(c, side, h);
  if (side == 3) {
    // The list has room for three columns; later discards are laid unlisted.
    if (v.RightDiscardCount >= 0 && v.RightDiscardCount < kRightDiscardSlots)
      v.RightDiscards[static_cast<std::size_t>(v.RightDiscardCount++)] = I16(control);
    RestackRightDiscards(c);
  }
}

void takeWallTilesWatching(Client& c, std::uint8_t seat, int n, std::span<std::int16_t> tiles) {
  RefuseDuringSnapshot(c);
  const int side = SideOf(c, seat);
  LoadSteps(c, Steps::Standing);
  HandRecord& h = Hand(c, side);
  const bool single = n == 1;
  // A batch larger than the list, or a hand that would leave its 21 slots, is not placed.
  if (n < 1 || (single ? tiles.size() < 4 : static_cast<std::size_t>(n) > tiles.size())) return;
  if (!StandingFits(h, n)) return;
  const int k0 = h.first + h.count;
  h.count = I16(h.count + n);
  TableViewState& v = c.tableView;

  if (side == 0) {
    if (!single) {
      for (int i = 0; i < n; ++i) {
        auto& t = tiles[static_cast<std::size_t>(i)];
        t = I16(t & 0xFF);
        const int control = TakeFromWall(c, true);
        Slot(h, k0 + i) = {kSlotStanding, t, I16(control)};
        ShowBack(c, control, kLyingOwn, true);
        placeInStandingRow(c, 0, k0 + i, control);
      }
      if (c.table.WildTileCode > 0)
        for (int k = h.first; k < h.first + h.count - 1; ++k)
          placeInStandingRow(c, 0, k, Slot(h, k).ind);
      return;
    }
    tiles[3] = I16(tiles[3] & 0xFF);
    const bool fromFront = v.DrawFromFront;
    const int control = TakeFromWall(c, fromFront);
    if (!fromFront) v.DrawFromFront = true;
    Slot(h, k0) = {kSlotStanding, tiles[3], I16(control)};
    ShowBack(c, control, kLyingOwn, true);
    placeInStandingRow(c, 0, k0, control);
    if (!fromFront || c.table.WildTileCode > 0) applyDrawnGap(c, 0, control);
    return;
  }

  if (single)
    tiles[3] = I16(tiles[3] & 0xFF);
  else
    for (int i = 0; i < n; ++i) tiles[static_cast<std::size_t>(i)] &= 0xFF;
  const bool fromFront = !single || v.DrawFromFront;
  for (int i = 0; i < n; ++i) {
    const int control = TakeFromWall(c, fromFront);
    TileSlot& slot = Slot(h, k0 + i);
    slot.typ = kSlotStanding;
    slot.ind = I16(control);
    ShowBack(c, control, side, true);
    placeInStandingRow(c, side, k0 + i, control);
  }
  if (!fromFront) v.DrawFromFront = true;
}

void showDiscardWatching(Client& c, std::uint8_t seat, int tile) {
  TableModel& t = c.table;
  TableViewState& v = c.tableView;
  t.LastDiscard = I16(tile);
  const int side = SideOf(c, seat);
  v.LastDiscardSide = I16(side);
  if (c.sound.SoundOn) {
    PlayEffect(c, TileVoicePath(c, side, tile), false);
    SetEffectVolume(c, kFullVolume);
  }
  HandRecord& h = Hand(c, side);
  // An empty or broken row has no tile to discard; no earlier tile may pass
  // for this one when a claim takes it.
  const int control = h.count > 0 && StandingFits(h, 0) ? Slot(h, h.first + h.count - 1).ind : -1;
  if (!ValidControl(control)) {
    t.LastDiscardInd = -1;
    return;
  }
  t.LastDiscardInd = I16(control);
  LoadSteps(c, Steps::Lying);
  ShowFace(c, control, side, tile);
  if (v.ViewRestored) {
    Control& k = Tile(c, control);
    k.w = Round(1.2 * StepX(c, side));
    k.h = Round(1.2 * StepY(c, side));
    k.x = (c.view.pic1W - k.w) / 2;
    k.y = (c.view.pic1H - k.h) / 2;
    BringToFront(c.view, k);
    motionPause(c, 1.0f);
  }
  layDiscard(c, side, control);
  --h.count;
  LoadSteps(c, Steps::Standing);
}

void restoreDiscardBacks(Client& c, const std::array<std::int16_t, 4>& discardCounts,
                         std::int16_t& wallOffset, std::int16_t front) {
  LoadSteps(c, Steps::Lying);
  for (int side = 0; side < kSides; ++side) {
    for (int i = 0; i < discardCounts[static_cast<std::size_t>(side)]; ++i) {
      // The controls from `front` on are the wall that is left.
      if (wallOffset >= front) return;
      const int control = WallPosition(c.table.MJPOINT + wallOffset);
      ++wallOffset;
      layDiscard(c, side, control);
      ShowBack(c, control, side, false);
    }
  }
}

}  // namespace tavren
