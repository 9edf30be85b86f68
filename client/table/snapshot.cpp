#include "table/snapshot.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "core/client.h"
#include "view/access.h"
#include "view/seats.h"

namespace tavren {

namespace {

namespace p = protocol;

constexpr int kPairs = 24;
constexpr int kAsideColumns = 4;  // 中 tiles, and wild tiles, per side
constexpr std::int16_t kRedDragon = 0x15;

struct Size {
  int w;
  int h;
};
// The snapshot's meld set, by side, in design pixels.
constexpr std::array<Size, 4> kSnapMeld = {{{45, 56}, {45, 35}, {34, 40}, {45, 35}}};
// The lying size of each wall side, for the indicator.
constexpr std::array<Size, 4> kWallLying = {{{36, 50}, {48, 35}, {30, 36}, {48, 35}}};
constexpr std::array<int, 4> kIndicatorRise = {22, 20, 16, 20};

// The wall control the next restored tile takes.
int NextControl(Client& c) {
  PlayState& ps = c.play;
  if (ps.SnapWallOffset >= kWallTiles) throw BadRecord("snapshot uses more than the wall");
  return WallPosition(c.table.MJPOINT + ps.SnapWallOffset);
}

void Handed(Client& c) {
  ++c.play.SnapWallOffset;
}

void LoadSnapMeldSteps(Client& c) {
  for (int s = 0; s < kSides; ++s) {
    const auto i = static_cast<std::size_t>(s);
    c.view.TileStepX[i] = SX(c, kSnapMeld[i].w);
    c.view.TileStepY[i] = SY(c, kSnapMeld[i].h);
  }
}

void Put(Client& c, int control, int x, int y, int side) {
  Control& k = Tile(c, control);
  k.x = x;
  k.y = y;
  k.w = c.view.TileStepX[static_cast<std::size_t>(side)];
  k.h = c.view.TileStepY[static_cast<std::size_t>(side)];
  k.visible = true;
}

void LyingBack(Client& c, int pos) {
  if (const auto index = TileBackIndex(pos / 36, false)) setTileImage(c, pos, *index);
  Tile(c, pos).visible = true;
}

// A 中 or a wild tile the side has set aside, stacked upwards at the head of
// its meld row.
void PlaceAside(Client& c, int side, std::int16_t tile, bool red) {
  PlaceAsideOn(c, side, tile, red, NextControl(c));
  Handed(c);
}

}  // namespace

void PlaceAsideOn(Client& c, int side, std::int16_t tile, bool red, int control) {
  TableModel& t = c.table;
  HandRecord& h = Hand(c, side);
  std::int16_t& n = red ? h.redAside : h.wildAside;
  const int j = n;
  if (side < 0 || side >= kSides || j < 0 || j >= kAsideColumns || control < 0 ||
      control >= kWallTiles)
    return;
  t.AsideTiles[static_cast<std::size_t>((red ? 0 : kAsideColumns) + j)]
              [static_cast<std::size_t>(side)] = I16(control);
  ++n;
  ShowFace(c, control, side, red ? kRedDragon : tile);
  const int w = c.view.TileStepX[static_cast<std::size_t>(side)];
  const int hh = c.view.TileStepY[static_cast<std::size_t>(side)];
  int x = h.handX, y = h.handY - 18 * j;
  switch (side) {
    case 0:
      if (!red) x = h.handX + w - 2;
      break;
    case 1:
      if (!red) {
        x = h.handX - 5;
        y = h.handY + hh - 17 - 18 * j;
      }
      break;
    case 2:
      if (!red) x = h.handX - w;
      break;
    default:
      x = red ? h.handX - 10 : h.handX - 15;
      if (!red) y = h.handY - (hh - 17) - 18 * j;
      break;
  }
  Put(c, control, x, y, side);
  if (side == 1) {
    SendToBack(c.view, Tile(c, control));
    if (red && j > 0) BringToFront(c.view, Tile(c, control));
  } else {
    BringToFront(c.view, Tile(c, control));
  }
}

namespace {

// The meld tiles, sorted, from the side's meld cursor on. Slots follow the
// live meld row (a side's first meld fills meldCursor − 2 .. meldCursor), so
// that later claims and added kongs find the restored melds where they look.
void PlaceExposed(Client& c, int side, std::span<const std::int16_t> list) {
  HandRecord& h = Hand(c, side);
  const int n = static_cast<int>(list.size());
  const int w = c.view.TileStepX[static_cast<std::size_t>(side)];
  const int hh = c.view.TileStepY[static_cast<std::size_t>(side)];
  for (int i = 0; i < n; ++i) {
    const std::int16_t tile = list[static_cast<std::size_t>(i)];
    const int control = NextControl(c);
    ShowFace(c, control, side, tile);
    const bool kongTop = i >= 3 && list[static_cast<std::size_t>(i - 3)] == tile;
    if (kongTop) {
      // The fourth tile of a kong lies on the middle one, two tiles back.
      const Control& middle = Tile(c, WallPosition(control + 142));
      Put(c, control, middle.x, middle.y - 17, side);
      BringToFront(c.view, Tile(c, control));
      Handed(c);
      continue;
    }
    const int k = h.meldCursor;
    int equal = 0;
    for (std::int16_t other : list)
      if (other == tile) ++equal;
    Slot(h, k - 2) = {I16(equal >= 3 ? kSlotPeng : kSlotEmpty), tile, I16(control)};
    switch (side) {
      case 0:
        Put(c, control, h.handX + (w - 2) * (k - 2), h.handY, side);
        BringToFront(c.view, Tile(c, control));
        break;
      case 1:
        Put(c, control, h.handX - 5 * (k - 2), h.handY + (hh - 17) * (k - 2), side);
        BringToFront(c.view, Tile(c, control));
        break;
      case 2:
        Put(c, control, h.handX - w * (k - 2), h.handY, side);
        break;
      default:
        Put(c, control, h.handX - 5 * k, h.handY - (hh - 17) * (k - 2), side);
        SendToBack(c.view, Tile(c, control));
        break;
    }
    ++h.meldCursor;
    Handed(c);
  }
}

void PlaceConcealed(Client& c, int side, std::span<const std::int16_t> list) {
  HandRecord& h = Hand(c, side);
  const int w = c.view.TileStepX[static_cast<std::size_t>(side)];
  for (std::int16_t tile : list) {
    ++h.count;
    const int k = h.first + h.count - 1;
    const int control = NextControl(c);
    TileSlot& slot = Slot(h, k);
    slot.ind = I16(control);
    slot.value = tile;
    ShowBack(c, control, side, true);
    switch (side) {
      case 0:
        Put(c, control, h.handX + w * k, h.handY, side);
        break;
      case 1:
        Put(c, control, h.handX - 5 * k, static_cast<int>(std::lround(h.handY + 0.5 * w * k)),
            side);
        BringToFront(c.view, Tile(c, control));
        break;
      case 2:
        Put(c, control, h.handX - w * k, h.handY, side);
        break;
      default:
        Put(c, control, h.handX - 5 * (k + 1),
            static_cast<int>(std::lround(h.handY - 0.5 * w * (k + 1))), side);
        SendToBack(c.view, Tile(c, control));
        break;
    }
    Handed(c);
  }
}

// Side 1's row overlaps downwards and side 3's upwards; their set-aside
// tiles lie over the row.
void RestoreOverlap(Client& c, int side) {
  TableModel& t = c.table;
  HandRecord& h = Hand(c, side);
  auto aside = [&](int column) -> Control& {
    return Tile(c, t.AsideTiles[static_cast<std::size_t>(column)][static_cast<std::size_t>(side)]);
  };
  if (side == 1) {
    for (int k = h.first; k < h.first + h.count; ++k) BringToFront(c.view, Tile(c, Slot(h, k).ind));
    for (int j = 1; j < h.wildAside; ++j) BringToFront(c.view, aside(kAsideColumns + j));
  } else if (side == 3) {
    for (int k = h.first; k < h.first + h.count; ++k) SendToBack(c.view, Tile(c, Slot(h, k).ind));
    for (int j = 0; j < h.wildAside; ++j) BringToFront(c.view, aside(kAsideColumns + j));
    for (int j = 0; j < h.redAside; ++j) BringToFront(c.view, aside(j));
  }
}

void CompleteRestore(Client& c) {
  TableModel& t = c.table;
  PlayState& ps = c.play;
  MainForm& f = c.view;
  ps.SeatCount = 0;
  ps.SnapshotOpen = false;

  if (const auto index = TilePicIndex(kStandingOwn, t.WildTileCode)) {
    const int id = f.pics.TilePics[static_cast<std::size_t>(*index)];
    if (id != 0 && PictureSize(id)) f.QX_Image.picture = id;
  }
  f.QX_Image.visible = true;

  const int d = 143 - ps.SnapBack;
  const bool even = d % 2 == 0;
  t.MJFIRST = I16(WallPosition(t.MJFIRST + ps.SnapBack + (even ? 1 : 141)));
  // The records handed out controls from MJPOINT on, and the indicator takes
  // the next. Tiles that came from the back (a kong's, before any discard)
  // can carry them past the front mark; the live front then starts after
  // them, so no later draw takes a control a hand holds, and the wall laid
  // here never turns a held tile into a wall back.
  const int inPlay = std::max<int>(ps.SnapFront, ps.SnapWallOffset + 1);
  if (inPlay >= kWallTiles) throw BadRecord("snapshot leaves no wall");
  const int front = WallPosition(t.MJPOINT + inPlay);
  const int start = t.MJPOINT;
  auto held = [&](int pos) { return WallPosition(pos - start + kWallTiles) < inPlay; };
  auto layWall = [&](int pos) {
    if (!held(pos)) LyingBack(c, pos);
  };
  if (front <= t.MJFIRST) {
    for (int pos = front; pos <= t.MJFIRST; ++pos) layWall(pos);
  } else {
    for (int pos = front; pos < kWallTiles; ++pos) layWall(pos);
    for (int pos = 0; pos <= t.MJFIRST; ++pos) layWall(pos);
  }
  if (even)
    layWall(WallPosition(t.MJFIRST + 1));
  else if (const int end = WallPosition(t.MJFIRST + 143); !held(end))
    Tile(c, end).visible = false;

  showWildIndicator(c, NextControl(c));
  Handed(c);
  restoreDiscardBacks(c, ps.SnapDiscardCount, ps.SnapWallOffset, ps.SnapFront);
  t.MJPOINT = I16(front);
  c.tableView.ViewRestored = true;
  // The table answers the user from here on, as after a login.
  t.LoginAccepted = true;
}

}  // namespace

void SortTileList(std::span<std::int16_t> list) {
  const std::size_t n = list.size();
  for (std::size_t i = 0; i + 1 < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j) {
      const int si = (list[i] >> 4) & 0xF, sj = (list[j] >> 4) & 0xF;
      const int ri = list[i] & 0xF, rj = list[j] & 0xF;
      if (si < sj || (si == sj && ri > rj)) std::swap(list[i], list[j]);
    }
}

void showWildIndicator(Client& c, int control) {
  if (!ValidControl(control)) return;
  const int first = WallPosition(c.table.MJFIRST);
  const int q = first / 36;
  const Control& wall = Tile(c, first);
  Control& k = Tile(c, control);
  const auto s = static_cast<std::size_t>(q);
  k.w = SX(c, kWallLying[s].w);
  k.h = SY(c, kWallLying[s].h);
  k.x = wall.x;
  k.y = wall.y - kIndicatorRise[s];
  ShowFace(c, control, q, c.table.WildShownCode);
  if (first % 2 == 0) BringToFront(c.view, k);
  k.visible = true;
}

void RefuseDuringSnapshot(const Client& c) {
  if (c.play.SnapshotOpen) throw BadRecord("wall tiles taken in the middle of a table snapshot");
}

void HandleSnapshot(Client& c, const InfoRecord& r) {
  TableModel& t = c.table;
  PlayState& ps = c.play;
  const Frame& frame = c.link.LastFrame;
  const int side = SideOf(c, r.seat);
  const int front = r.value[1] & 0xFF;
  const int back = r.value[3] & 0xFF;
  if (front >= kWallTiles || back >= kWallTiles) throw BadRecord("snapshot wall mark");

  // Split the pairs first: a record that does not fit the side's slots is
  // refused before anything is shown.
  std::array<std::int16_t, kPairs> exposed{};
  std::array<std::int16_t, kSnapConcealedMax> concealed{};
  int nExposed = 0, nConcealed = 0;
  for (int i = 0; i < kPairs; ++i) {
    const std::uint8_t kind = frame[p::kPayloadOffset + 2 * static_cast<std::size_t>(i)];
    const auto tile = I16(frame[p::kPayloadOffset + 2 * static_cast<std::size_t>(i) + 1]);
    if ((kind & 0xF0) == 0x20) {
      exposed[static_cast<std::size_t>(nExposed++)] = tile;
    } else if ((kind & 0xF0) == 0x10) {
      if (nConcealed >= kSnapConcealedMax) throw BadRecord("snapshot: too many standing tiles");
      concealed[static_cast<std::size_t>(nConcealed++)] = tile;
    }
  }
  // Set-aside tiles leave the list, 中 before the wild tile.
  std::array<std::int16_t, kPairs> melds{};
  std::array<std::int16_t, kPairs> aside{};
  int nMelds = 0, nAside = 0, reds = 0, wilds = 0;
  for (int i = 0; i < nExposed; ++i) {
    const std::int16_t tile = exposed[static_cast<std::size_t>(i)];
    if (tile == kRedDragon) {
      ++reds;
      aside[static_cast<std::size_t>(nAside++)] = tile;
    } else if (tile == t.WildTileCode) {
      ++wilds;
      aside[static_cast<std::size_t>(nAside++)] = tile;
    } else {
      melds[static_cast<std::size_t>(nMelds++)] = tile;
    }
  }
  HandRecord& h = Hand(c, side);
  if (h.redAside + reds > kAsideColumns || h.wildAside + wilds > kAsideColumns ||
      h.meldCursor < 2 || h.first + nMelds + h.count + nConcealed > kSlots)
    throw BadRecord("snapshot record does not fit the side's slots");
  // Melds go in front of the standing row; under a row already standing they
  // would push it over slots that hold no tile.
  if (nMelds > 0 && h.count > 0) throw BadRecord("snapshot melds under a standing row");

  ps.SnapDiscardCount[static_cast<std::size_t>(side)] = r.byte7;
  ps.SnapshotOpen = true;
  ++ps.SeatCount;
  if (ps.SeatCount == 1) {
    ps.SnapFront = I16(front);
    ps.SnapBack = I16(back);
    // Every snapshot hands out the controls from MJPOINT afresh.
    ps.SnapWallOffset = 0;
  }
  ps.SnapFront = std::max(ps.SnapFront, I16(front));
  ps.SnapBack = std::min(ps.SnapBack, I16(back));

  LoadSnapMeldSteps(c);
  for (int i = 0; i < nAside; ++i) {
    const std::int16_t tile = aside[static_cast<std::size_t>(i)];
    PlaceAside(c, side, tile, tile == kRedDragon);
  }
  h.first = I16(h.first + nMelds);
  const std::span<std::int16_t> meldList(melds.data(), static_cast<std::size_t>(nMelds));
  SortTileList(meldList);
  PlaceExposed(c, side, meldList);

  LoadSteps(c, Steps::Standing);
  PlaceConcealed(
      c, side,
      std::span<const std::int16_t>(concealed.data(), static_cast<std::size_t>(nConcealed)));
  RestoreOverlap(c, side);
  if (ps.SeatCount >= 4) CompleteRestore(c);
}

}  // namespace tavren
