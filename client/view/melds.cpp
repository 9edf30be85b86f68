#include "view/melds.h"

#include <array>
#include <cmath>
#include <utility>

#include "core/client.h"
#include "table/snapshot.h"
#include "view/access.h"
#include "view/scene.h"
#include "view/timed.h"

namespace tavren {

namespace {

namespace p = protocol;

bool SameTile(int a, int b) {
  return (a & 0xFF) == (b & 0xFF);
}

bool IsStandingSlot(const HandRecord& h, int k) {
  return k >= h.first && k < h.first + h.count && k >= 0 && k < kSlots;
}

// Up to four standing slots chosen for a meld.
struct Chosen {
  std::array<int, 4> slot{};
  int n = 0;
  bool has(int k) const {
    for (int i = 0; i < n; ++i)
      if (slot[static_cast<std::size_t>(i)] == k) return true;
    return false;
  }
  void add(int k) { slot[static_cast<std::size_t>(n++)] = k; }
};

// For every wanted code the first standing slot holding it (when `byValue`),
// else the last standing slot not yet chosen: the tiles of sides 1..3 are not
// known, and a record that does not match is laid with what the row gives.
bool ChooseSlots(const HandRecord& h, std::span<const int> wanted, bool byValue, Chosen& out) {
  for (int code : wanted) {
    int found = -1;
    if (byValue)
      for (int k = h.first; k < h.first + h.count && found < 0; ++k)
        if (!out.has(k) && SameTile(Slot(h, k).value, code)) found = k;
    for (int k = h.first + h.count - 1; k >= h.first && found < 0; --k)
      if (!out.has(k)) found = k;
    if (found < 0) return false;
    out.add(found);
  }
  return true;
}

int SlotKind(int kind) {
  switch (kind) {
    case p::kClaimChi:
      return kSlotChi;
    case p::kClaimPeng:
      return kSlotPeng;
    case p::kClaimExposedKong:
      return kSlotExposedKong;
    default:
      return kSlotConcealedKong;
  }
}

// Takes a laid discard back out of its row when a watcher sees it claimed: the
// discarder's cursor returns to where that tile lay.
void TakeBackLaidDiscard(Client& c, int control) {
  TableViewState& v = c.tableView;
  const int side = v.LastDiscardSide & 3;
  HandRecord& h = Hand(c, side);
  h.discardX = v.LastDiscardX;
  h.discardY = v.LastDiscardY;
  if (side == 3 && v.RightDiscardCount > 0 &&
      v.RightDiscards[static_cast<std::size_t>(v.RightDiscardCount - 1)] == control)
    --v.RightDiscardCount;
}

// Side 1's standing row overlaps downwards, side 3's upwards.
void RestoreRowOverlap(Client& c) {
  HandRecord& left = Hand(c, 1);
  if (StandingFits(left, 0))
    for (int k = left.first; k < left.first + left.count; ++k)
      if (ValidControl(Slot(left, k).ind)) BringToFront(c.view, Tile(c, Slot(left, k).ind));
  HandRecord& right = Hand(c, 3);
  if (StandingFits(right, 0))
    for (int k = right.first; k < right.first + right.count; ++k)
      if (ValidControl(Slot(right, k).ind)) SendToBack(c.view, Tile(c, Slot(right, k).ind));
}

void PlaceStandingRow(Client& c, int side) {
  LoadSteps(c, Steps::Standing);
  HandRecord& h = Hand(c, side);
  for (int k = h.first; k < h.first + h.count; ++k) placeInStandingRow(c, side, k, Slot(h, k).ind);
}

// Moves a control onto meld slot `slot` at the meld size; side 3's meld tiles
// overlap upwards and go behind, the others' in front.
void PlaceMeldTile(Client& c, int side, int slot, int control, bool watching) {
  Control& k = Tile(c, control);
  const Point pt = MeldPlace(c, side, slot, watching);
  k.x = pt.x;
  k.y = pt.y;
  k.w = c.view.TileStepX[static_cast<std::size_t>(side)];
  k.h = c.view.TileStepY[static_cast<std::size_t>(side)];
  if (side == 3)
    SendToBack(c.view, k);
  else
    BringToFront(c.view, k);
}

// Lays a chi, peng or kong: the chosen standing tiles (and, for a chi, peng or
// exposed kong, the claimed discard) take meld slots X−2..X, a kong's fourth
// tile lies on the middle one, and the rest of the row closes up behind them.
void LayMeld(Client& c, int side, int kind, const Chosen& chosen,
             std::span<const std::int16_t> tiles, bool watching) {
  TableModel& t = c.table;
  TableViewState& v = c.tableView;
  HandRecord& h = Hand(c, side);
  const bool kong = kind == p::kClaimExposedKong || kind == p::kClaimConcealedKong;
  const bool concealed = kind == p::kClaimConcealedKong;
  const int removed = chosen.n;
  const int X = h.meldCursor;
  const int newFirst = h.first + 3;
  const int newCount = h.count - removed;
  // A record that does not fit the 21 slots is not placed.
  if (!StandingFits(h, 0) || X < 2 || X >= newFirst || newCount < 0 ||
      newFirst + newCount > kSlots || tiles.size() < 3)
    return;

  // In row order: a kong's fourth tile is then the last of the chosen ones.
  std::array<int, 4> slots = chosen.slot;
  for (int i = 1; i < removed; ++i)
    for (int j = i;
         j > 0 && slots[static_cast<std::size_t>(j - 1)] > slots[static_cast<std::size_t>(j)]; --j)
      std::swap(slots[static_cast<std::size_t>(j - 1)], slots[static_cast<std::size_t>(j)]);
  std::array<int, 4> controls{};
  for (int i = 0; i < removed; ++i)
    controls[static_cast<std::size_t>(i)] = Slot(h, slots[static_cast<std::size_t>(i)]).ind;
  const bool usesDiscard = !concealed;
  if (usesDiscard) {
    if (!ValidControl(t.LastDiscardInd)) return;
    // Chi and peng put the discard on slot X; an exposed kong's discard lies on top.
    controls[static_cast<std::size_t>(removed)] = t.LastDiscardInd;
  }
  for (int i = 0; i < removed + (usesDiscard ? 1 : 0); ++i)
    if (!ValidControl(controls[static_cast<std::size_t>(i)])) return;
  if (usesDiscard && watching) TakeBackLaidDiscard(c, t.LastDiscardInd);

  // The standing tiles that stay, in row order.
  std::array<TileSlot, kSlots> rest{};
  int kept = 0;
  for (int k = h.first; k < h.first + h.count; ++k)
    if (!chosen.has(k)) rest[static_cast<std::size_t>(kept++)] = Slot(h, k);
  const int oldEnd = h.first + h.count;

  const std::int16_t typ = I16(SlotKind(kind));
  for (int i = 0; i < 3; ++i)
    Slot(h, X - 2 + i) = {typ, tiles[static_cast<std::size_t>(i)],
                          I16(controls[static_cast<std::size_t>(i)])};
  for (int k = X + 1; k < newFirst; ++k) Slot(h, k) = {kSlotEmpty, 0, -1};
  for (int i = 0; i < kept; ++i) {
    TileSlot& s = Slot(h, newFirst + i);
    s = rest[static_cast<std::size_t>(i)];
    s.typ = kSlotStanding;
  }
  for (int k = newFirst + kept; k < oldEnd; ++k) {
    Slot(h, k).typ = kSlotEmpty;
    Slot(h, k).ind = -1;
  }
  h.first = I16(newFirst);
  h.count = I16(newCount);
  h.meldCursor = I16(X + 3);

  LoadSteps(c, Steps::Meld);
  for (int i = 0; i < 3; ++i) {
    const int control = controls[static_cast<std::size_t>(i)];
    if (concealed)
      ShowBack(c, control, side, false);
    else
      ShowFace(c, control, side, tiles[static_cast<std::size_t>(i)]);
    PlaceMeldTile(c, side, X - 2 + i, control, watching);
  }
  if (kong) {
    const int top = controls[3];
    // A watcher never sees the top of another side's concealed kong.
    if (concealed && watching && side != 0)
      ShowBack(c, top, side, false);
    else
      ShowFace(c, top, side, tiles[2]);
    Control& k = Tile(c, top);
    const Point mid = MeldPlace(c, side, X - 1, watching);
    k.x = mid.x;
    k.y = mid.y - SY(c, 18);
    k.w = c.view.TileStepX[static_cast<std::size_t>(side)];
    k.h = c.view.TileStepY[static_cast<std::size_t>(side)];
    BringToFront(c.view, k);
    if (side != 0 && v.KongTopCount >= 0 && v.KongTopCount < kKongTopSlots)
      v.KongTops[static_cast<std::size_t>(v.KongTopCount++)] = {I16(top), tiles[2], I16(side)};
    v.DrawFromFront = false;
    v.DiscardClaimed = true;
  }
  PlaceStandingRow(c, side);
}

constexpr int kAsideRed = 0x15;  // 中
bool IsWildTile(const Client& c, int tile);

// An added kong: the standing tile at `slot` joins the side's peng of its code.
void LayAddedKong(Client& c, int side, int slot, int tile, bool watching) {
  TableViewState& v = c.tableView;
  HandRecord& h = Hand(c, side);
  if (!StandingFits(h, 0) || !IsStandingSlot(h, slot)) return;
  const int control = Slot(h, slot).ind;
  if (!ValidControl(control)) return;
  // Melds lie three slots each from the side's first meld slot up.
  const int base = side == 0 ? 1 : 2;
  int peng = -1;
  for (int m = base; m <= h.meldCursor - 5 && m + 2 < kSlots && peng < 0; m += 3)
    if (Slot(h, m).typ == kSlotPeng && SameTile(Slot(h, m).value, tile)) peng = m;
  // With no peng to add to, a 中 or a wild tile is set aside: it leaves the row
  // for the side's set-aside column and a tile from the back replaces it.
  const bool red = (tile & 0xFF) == kAsideRed;  // a 中, even when 中 is wild
  const bool aside = peng < 0 && (red || IsWildTile(c, tile));
  if (peng < 0 && !aside) return;  // no such peng: nothing to add to

  for (int k = slot; k < h.first + h.count - 1; ++k) Slot(h, k) = Slot(h, k + 1);
  TileSlot& vacated = Slot(h, h.first + h.count - 1);
  vacated.typ = kSlotEmpty;
  vacated.ind = -1;
  --h.count;
  if (aside) {
    LoadSteps(c, Steps::Meld);
    const auto wild = static_cast<std::int16_t>(c.table.WildTileCode & 0xFF);
    PlaceAsideOn(c, side, red ? static_cast<std::int16_t>(kAsideRed) : wild, red, control);
    v.DrawFromFront = false;
    v.DiscardClaimed = true;
    PlaceStandingRow(c, side);
    return;
  }
  for (int i = 0; i < 3; ++i) Slot(h, peng + i).typ = kSlotAddedKong;

  LoadSteps(c, Steps::Meld);
  ShowFace(c, control, side, tile);
  Control& k = Tile(c, control);
  const Point mid = MeldPlace(c, side, peng + 1, watching);
  k.x = mid.x;
  k.y = mid.y - SY(c, side == 1 ? 17 : 18);
  k.w = c.view.TileStepX[static_cast<std::size_t>(side)];
  k.h = c.view.TileStepY[static_cast<std::size_t>(side)];
  BringToFront(c.view, k);
  v.DrawFromFront = false;
  v.DiscardClaimed = true;
  PlaceStandingRow(c, side);
}

// A win while another side still holds its drawn tile robs that side's kong:
// the kong was never laid, so the tile being added is still in that side's
// row. It leaves the row here and lies in the centre as the tile won, as a
// discard would; the side then holds what the server reveals for it, and the
// winner's row takes the tile as it takes a winning discard.
void TakeRobbedTile(Client& c, int winner, int tile) {
  int robbed = -1;
  for (int s = 0; s < kSides; ++s) {
    const HandRecord& h = Hand(c, s);
    if (s != winner && h.count > 0 && (h.count - 2) % 3 == 0) robbed = s;
  }
  if (robbed < 0) return;
  HandRecord& h = Hand(c, robbed);
  if (!StandingFits(h, 0)) return;
  tile &= 0xFF;
  if (tile == p::kWireWildTile) tile = kWildCode;
  // The user's row holds the tile by its face; another side's tiles are
  // unknown, and its drawn tile stands for the one it added.
  int slot = h.first + h.count - 1;
  if (robbed == 0)
    for (int k = h.first; k < h.first + h.count; ++k)
      if (SameTile(Slot(h, k).value, tile)) {
        slot = k;
        break;
      }
  const int control = Slot(h, slot).ind;
  if (!ValidControl(control)) return;
  for (int k = slot; k + 1 < h.first + h.count; ++k)
    h.mj[static_cast<std::size_t>(k)] = h.mj[static_cast<std::size_t>(k + 1)];
  --h.count;
  if (robbed == 0) PlaceStandingRow(c, 0);
  TableModel& t = c.table;
  TableViewState& v = c.tableView;
  t.LastDiscard = I16(tile);
  t.LastDiscardInd = I16(control);
  v.LastDiscardSide = I16(robbed);
  v.DiscardLaid = false;
  LoadSteps(c, Steps::Lying);
  ShowFace(c, control, robbed, tile);
  Control& k = Tile(c, control);
  k.w = c.view.TileStepX[static_cast<std::size_t>(robbed)];
  k.h = c.view.TileStepY[static_cast<std::size_t>(robbed)];
  k.x = (c.view.pic1W - k.w) / 2;
  k.y = (c.view.pic1H - k.h) / 2;
  BringToFront(c.view, k);
}

// The first win of the hand marks the result window's labels; a user who won
// on a discard (or on a robbed kong) gets that tile at the end of the row.
void ShowWin(Client& c, int side, int tile) {
  TableViewState& v = c.tableView;
  if (v.HuSide >= 0) return;
  TakeRobbedTile(c, side, tile);
  v.ResultIdColor.fill(kGreen);
  v.HuSide = I16(side);
  v.ResultIdColor[static_cast<std::size_t>(side)] = kRed;
  if (side != 0) return;
  HandRecord& h = Hand(c, 0);
  const int control = c.table.LastDiscardInd;
  if (h.count <= 0 || (h.count - 2) % 3 == 0 || !StandingFits(h, 0) || !ValidControl(control) ||
      v.DiscardLaid)
    return;
  LoadSteps(c, Steps::Standing);
  const int last = Slot(h, h.first + h.count - 1).ind;
  const int lastX =
      ValidControl(last) ? Tile(c, last).x : StandingPlace(c, 0, h.first + h.count - 1).x;
  ShowFace(c, control, kLyingOwn, c.table.LastDiscard);
  Control& k = Tile(c, control);
  k.x = lastX + c.view.TileStepX[0];
  k.y = h.handY;
  k.w = c.view.TileStepX[0];
  k.h = c.view.TileStepY[0];
  BringToFront(c.view, k);
}

struct Announcement {
  int bubbleBase;  // + side
  const char* voice;
};

bool AnnouncementOf(int kind, Announcement& a) {
  switch (kind) {
    case p::kClaimChi:
      a = {428, kVoiceChi};
      return true;
    case p::kClaimPeng:
      a = {440, kVoicePeng};
      return true;
    case p::kClaimExposedKong:
    case p::kClaimAddedKong:
      a = {434, kVoiceKong};
      return true;
    case p::kClaimConcealedKong:
      a = {434, kVoiceConcealedKong};
      return true;
    case p::kClaimHu:
      a = {437, kVoiceHu};
      return true;
    default:
      return false;
  }
}

bool IsWildTile(const Client& c, int tile) {
  tile &= 0xFF;
  return tile == kWildCode || (c.table.WildTileCode > 0 && tile == (c.table.WildTileCode & 0xFF));
}

// Sides 1..3 announce a claim with a bubble and a voice; the user's own claims
// were voiced by the claim button.
void Announce(Client& c, int kind, int side, int kongTile) {
  if (side < 1 || side > 3) return;
  Announcement a{};
  if (!AnnouncementOf(kind, a)) return;
  // A kong added with the wild tile is laid without a word.
  if (kind == p::kClaimAddedKong && IsWildTile(c, kongTile)) {
    PlayEffect(c, kEffectDiscard, kFullVolume);
    return;
  }
  MainForm& f = c.view;
  Control& bubble = f.Speak[static_cast<std::size_t>(side - 1)];
  placeSpeechBubble(c, side);
  f.Words.x = static_cast<int>(std::lround(bubble.x + 0.17 * bubble.w));
  f.Words.y = static_cast<int>(std::lround(bubble.y + 0.24 * bubble.h));
  bubble.visible = true;
  f.Words.visible = true;
  BringToFront(f, bubble);
  BringToFront(f, f.Words);
  PlayEffect(c, kEffectDiscard, kFullVolume);
  f.Words.visible = false;
  const int id = a.bubbleBase + side;
  if (PictureSize(id)) bubble.picture = id;
  if (c.sound.SoundOn) {
    PlayEffect(c, ClaimVoicePath(c, side, a.voice), false);
    SetEffectVolume(c, kFullVolume);
  }
  ShowClaimWord(c, side);
}

void LayClaim(Client& c, int kind, int side, std::span<const std::int16_t> tiles, bool watching) {
  if (tiles.size() < 3) return;
  HandRecord& h = Hand(c, side);
  const int kongTile = tiles[2];
  // Side 0 is laid by its own tiles; the tiles of sides 1..3 are not known.
  const bool byValue = side == 0;
  Chosen chosen;
  switch (kind) {
    case p::kClaimChi:
    case p::kClaimPeng: {
      if (side == 0 && !watching) {
        if (kind == p::kClaimChi) {
          // The claim request left copies of the chosen slots just below the row.
          int picked[2] = {-1, -1};
          for (int i = 0; i < 2; ++i) {
            const int meldSlot = h.meldCursor - 2 + i;
            if (meldSlot < 0 || meldSlot >= kSlots) continue;
            const int ind = Slot(h, meldSlot).ind;
            for (int k = h.first; k < h.first + h.count && k < kSlots; ++k)
              if (ind >= 0 && Slot(h, k).ind == ind) picked[i] = k;
          }
          layChowOwn(c, picked[0], picked[1], tiles);
        } else {
          layPungOwn(c, tiles);
        }
        return;
      }
      // The two tiles from the hand: the meld without one copy of the discard.
      std::array<int, 3> codes{tiles[0], tiles[1], tiles[2]};
      std::array<int, 2> wanted{codes[0], codes[1]};
      for (int i = 0; i < 3; ++i)
        if (SameTile(codes[static_cast<std::size_t>(i)], c.table.LastDiscard)) {
          int w = 0;
          for (int j = 0; j < 3; ++j)
            if (j != i) wanted[static_cast<std::size_t>(w++)] = codes[static_cast<std::size_t>(j)];
          break;
        }
      if (StandingFits(h, 0) && ChooseSlots(h, wanted, byValue, chosen))
        LayMeld(c, side, kind, chosen, tiles, watching);
      return;
    }
    case p::kClaimExposedKong:
    case p::kClaimConcealedKong: {
      const bool concealed = kind == p::kClaimConcealedKong;
      if (side == 0 && !watching) {
        int slot = -1;
        for (int k = h.first; k < h.first + h.count && k < kSlots && slot < 0; ++k)
          if (SameTile(Slot(h, k).value, kongTile)) slot = k;
        if (concealed)
          layConcealedKongOwn(c, slot, tiles);
        else
          layKongOwn(c, slot, tiles);
        return;
      }
      const std::array<int, 4> wanted{kongTile, kongTile, kongTile, kongTile};
      if (StandingFits(h, 0) &&
          ChooseSlots(h, std::span<const int>(wanted).first(concealed ? 4 : 3), byValue, chosen))
        LayMeld(c, side, kind, chosen, tiles, watching);
      return;
    }
    case p::kClaimAddedKong: {
      if (!StandingFits(h, 0) || h.count <= 0) return;
      const std::array<int, 1> wanted{kongTile};
      if (!ChooseSlots(h, wanted, byValue, chosen)) return;
      if (side == 0 && !watching)
        addKongOwn(c, chosen.slot[0]);
      else
        LayAddedKong(c, side, chosen.slot[0], kongTile, watching);
      return;
    }
    case p::kClaimHu:
      ShowWin(c, side, kongTile);
      return;
    default:
      return;
  }
}

void ShowClaimIn(Client& c, int kind, std::uint8_t seat, std::span<const std::int16_t> tiles,
                 bool watching) {
  const int side = SideOf(c, seat);
  Announce(c, kind, side, tiles.size() >= 3 ? tiles[2] : 0);
  LayClaim(c, kind, side, tiles, watching);
  RestoreRowOverlap(c);
}

// The given slots when they are standing slots holding `code`, else the
// standing slots that hold it.
bool OwnKongSlots(const HandRecord& h, int slot, int n, int code, Chosen& out) {
  bool given = true;
  for (int i = 0; i < n; ++i)
    given = given && IsStandingSlot(h, slot + i) && SameTile(Slot(h, slot + i).value, code);
  if (given) {
    for (int i = 0; i < n; ++i) out.add(slot + i);
    return true;
  }
  const std::array<int, 4> wanted{code, code, code, code};
  return ChooseSlots(h, std::span<const int>(wanted).first(static_cast<std::size_t>(n)), true, out);
}

}  // namespace

Point MeldPlace(const Client& c, int side, int slot, bool watching) {
  const HandRecord& h = Hand(c, side & 3);
  const auto& sx = c.view.TileStepX;
  const auto& sy = c.view.TileStepY;
  switch (side & 3) {
    case 0:
      return {h.handX + (sx[0] - SX(c, watching ? 1 : 2)) * slot, h.handY};
    case 1:
      return {h.handX - SX(c, 5.0 * slot), h.handY + (sy[1] - SY(c, 17)) * slot};
    case 2:
      return {h.handX - sx[2] * slot, h.handY};
    default:
      return {h.handX - SX(c, 5.0 * slot) - SX(c, 10), h.handY - (sy[3] - SY(c, 17)) * slot};
  }
}

// The bubbles are drawn smaller than their pictures so that the right side's,
// placed at x = 936, stays on the 1024-pixel table.
constexpr int kBubbleW = 86;
constexpr int kBubbleH = 68;

void placeSpeechBubble(Client& c, int side) {
  if (side < 1 || side > 3) return;
  MainForm& f = c.view;
  Control& bubble = f.Speak[static_cast<std::size_t>(side - 1)];
  if (side == 2) {
    const Control& tou = f.Tou[2];
    bubble.x = static_cast<int>(std::lround(tou.x + 0.8 * tou.w));
    bubble.y = static_cast<int>(std::lround(tou.y + 0.8 * tou.h));
    bubble.w = SX(c, kBubbleW);
    bubble.h = SY(c, kBubbleH);
  } else {
    Place(c, bubble, side == 1 ? 8 : 936, 280, kBubbleW, kBubbleH);
  }
}

void showClaim(Client& c, int kind, std::uint8_t seat, std::span<const std::int16_t> tiles) {
  ShowClaimIn(c, kind, seat, tiles, false);
}

void showClaimWatching(Client& c, int kind, std::uint8_t seat,
                       std::span<const std::int16_t> tiles) {
  ShowClaimIn(c, kind, seat, tiles, true);
}

void layChowOwn(Client& c, int firstSlot, int secondSlot, std::span<const std::int16_t> tiles) {
  if (tiles.size() < 3) return;
  HandRecord& h = Hand(c, 0);
  if (!StandingFits(h, 0)) return;
  Chosen chosen;
  if (IsStandingSlot(h, firstSlot) && IsStandingSlot(h, secondSlot) && firstSlot != secondSlot) {
    chosen.add(firstSlot);
    chosen.add(secondSlot);
  } else {
    std::array<int, 2> wanted{tiles[0], tiles[1]};
    for (int i = 0; i < 3; ++i)
      if (SameTile(tiles[static_cast<std::size_t>(i)], c.table.LastDiscard)) {
        int w = 0;
        for (int j = 0; j < 3; ++j)
          if (j != i) wanted[static_cast<std::size_t>(w++)] = tiles[static_cast<std::size_t>(j)];
        break;
      }
    if (!ChooseSlots(h, wanted, true, chosen)) return;
  }
  const int before = h.meldCursor;
  LayMeld(c, 0, p::kClaimChi, chosen, tiles, false);
  if (h.meldCursor != before) c.offer.ChiDone = true;
}

void layPungOwn(Client& c, std::span<const std::int16_t> tiles) {
  if (tiles.size() < 3) return;
  HandRecord& h = Hand(c, 0);
  if (!StandingFits(h, 0)) return;
  const std::array<int, 2> wanted{tiles[2], tiles[2]};
  Chosen chosen;
  if (ChooseSlots(h, wanted, true, chosen)) LayMeld(c, 0, p::kClaimPeng, chosen, tiles, false);
}

void layKongOwn(Client& c, int slot, std::span<const std::int16_t> tiles) {
  if (tiles.size() < 3) return;
  HandRecord& h = Hand(c, 0);
  Chosen chosen;
  if (StandingFits(h, 0) && OwnKongSlots(h, slot, 3, tiles[2], chosen))
    LayMeld(c, 0, p::kClaimExposedKong, chosen, tiles, false);
}

void layConcealedKongOwn(Client& c, int slot, std::span<const std::int16_t> tiles) {
  if (tiles.size() < 3) return;
  HandRecord& h = Hand(c, 0);
  Chosen chosen;
  if (StandingFits(h, 0) && OwnKongSlots(h, slot, 4, tiles[2], chosen))
    LayMeld(c, 0, p::kClaimConcealedKong, chosen, tiles, false);
}

void addKongOwn(Client& c, int slot) {
  HandRecord& h = Hand(c, 0);
  if (!StandingFits(h, 0) || !IsStandingSlot(h, slot)) return;
  // The claim request left a copy of the slot where the next meld begins.
  for (int k = h.meldCursor - 2; k <= h.meldCursor; ++k)
    if (k >= 0 && k < h.first && Slot(h, k).typ == kSlotAddedKong) Slot(h, k) = {kSlotEmpty, 0, -1};
  LayAddedKong(c, 0, slot, Slot(h, slot).value, false);
}

}  // namespace tavren
