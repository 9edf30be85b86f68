#include "table/turns.h"

#include <algorithm>
#include <array>
#include <span>

#include "core/client.h"
#include "rules/sort_hand.h"
#include "table/hand_setup.h"
#include "view/access.h"
#include "view/melds.h"
#include "view/motion.h"
#include "view/seats.h"

namespace tavren {

namespace {

namespace p = protocol;

bool SameTile(int a, int b) {
  return (a & 0xFF) == (b & 0xFF);
}

bool IsStandingSlot(const HandRecord& h, int k) {
  return k >= h.first && k < h.first + h.count && k >= 0 && k < kSlots;
}

// One more tile of this face is visible on the table.
void CountSeen(Client& c, int tile, int n) {
  const int suit = SuitIndex(tile & 0xFF);
  const int rank = TileRank(tile & 0xFF);
  if (suit < 0 || suit > 3 || rank < 1 || rank > 9) return;
  c.table.SeenCount[static_cast<std::size_t>(suit)][static_cast<std::size_t>(rank)] += n;
}

// The server discarded for the user (the user's own discard never went out,
// so the row still holds the tile): the tile leaves the row here, as the hand
// input would have taken it, so the row keeps the server's count.
void TakeOwnDiscard(Client& c, int tile) {
  TableModel& t = c.table;
  HandRecord& h = t.custom[0];
  if (h.count <= 0 || (h.count - 2) % 3 != 0 || !StandingFits(h, 0)) return;
  const int last = h.first + h.count - 1;
  int slot = last;
  for (int k = last; k >= h.first; --k)
    if (SameTile(Slot(h, k).value, tile)) {
      slot = k;
      break;
    }
  const int control = Slot(h, slot).ind;
  for (int k = slot; k < last; ++k) Slot(h, k) = Slot(h, k + 1);
  Slot(h, last).typ = kSlotEmpty;
  Slot(h, last).ind = -1;
  --h.count;
  c.offer.MayDiscard = false;
  SortHand(c, 0, h.count);
  LoadSteps(c, Steps::Standing);
  for (int k = h.first; k < h.first + h.count; ++k) placeInStandingRow(c, 0, k, Slot(h, k).ind);
  if (!ValidControl(control)) return;
  t.LastDiscardInd = static_cast<std::int16_t>(control);
  LoadSteps(c, Steps::Lying);
  ShowFace(c, control, kLyingOwn, tile);
  Control& k = Tile(c, control);
  k.w = c.view.TileStepX[0];
  k.h = c.view.TileStepY[0];
  k.x = (c.view.pic1W - k.w) / 2;
  k.y = (c.view.pic1H - k.h) / 2;
  SendToBack(c.view, k);
  LoadSteps(c, Steps::Standing);
}

// The two standing slots of a chi when they hold the meld's tiles other than
// the claimed discard.
bool ChiPairHolds(const Client& c, int a, int b, std::span<const std::int16_t> tiles) {
  const HandRecord& h = c.table.custom[0];
  if (!IsStandingSlot(h, a) || !IsStandingSlot(h, b) || a == b) return false;
  std::array<int, 3> rest{tiles[0] & 0xFF, tiles[1] & 0xFF, tiles[2] & 0xFF};
  auto drop = [&](int code) {
    auto it = std::find(rest.begin(), rest.end(), code & 0xFF);
    if (it == rest.end()) return false;
    *it = -1;
    return true;
  };
  return drop(c.table.LastDiscard) && drop(Slot(h, a).value) && drop(Slot(h, b).value);
}

// The first standing slot holding `tile`, −1 when none.
int StandingSlotOf(const HandRecord& h, int tile) {
  if (!StandingFits(h, 0)) return -1;
  for (int k = h.first; k < h.first + h.count; ++k)
    if (SameTile(Slot(h, k).value, tile)) return k;
  return -1;
}

// The user's own meld, laid with the candidate the claim chose. A candidate
// that does not hold the confirmed tiles (the server claimed for the user, or
// an older choice) gives way to the slots that do.
void LayOwnMeld(Client& c, int kind, std::uint8_t seat, std::span<const std::int16_t> tiles) {
  const OfferState& o = c.offer;
  const HandRecord& h = c.table.custom[0];
  const int kongTile = tiles[2];
  const int kongChoice = o.KongCount > 0 ? o.KongChoice[0] : -1;
  switch (kind) {
    case p::kClaimChi: {
      int a = o.ChiChoice[0], b = o.ChiChoice[1];
      if (!ChiPairHolds(c, a, b, tiles)) a = b = -1;
      layChowOwn(c, a, b, tiles);
      return;
    }
    case p::kClaimPeng:
      layPungOwn(c, tiles);
      return;
    case p::kClaimExposedKong:
      layKongOwn(c, kongChoice, tiles);
      return;
    case p::kClaimConcealedKong:
      layConcealedKongOwn(c, kongChoice, tiles);
      return;
    case p::kClaimAddedKong: {
      // A wild tile set aside comes back by its real face; the row holds it
      // under the wild code.
      const int rowTile = c.table.WildTileCode > 0 && SameTile(kongTile, c.table.WildTileCode)
                              ? kWildCode
                              : kongTile;
      int slot = kongChoice;
      if (!IsStandingSlot(h, slot) || !SameTile(Slot(h, slot).value, rowTile))
        slot = StandingSlotOf(h, rowTile);
      if (slot >= 0) addKongOwn(c, slot);
      return;
    }
    default:
      showClaim(c, kind, seat, tiles);
      return;
  }
}

}  // namespace

void HandleDeal(Client& c, const InfoRecord& r) {
  TableModel& t = c.table;
  PlayState& ps = c.play;
  InfoRecord first = r;
  // The decoder leaves the deal's single-byte operands as they came, so its
  // wild tiles still carry the wire code 24; turned into the wild code here,
  // they are drawn as wild tiles and counted as such by the rules and auto-play.
  for (std::int16_t& v : first.value)
    if (v == p::kWireWildTile) v = kWildCode;
  InfoRecord second = first;
  for (int i = 0; i < 6; ++i)
    second.value[static_cast<std::size_t>(i)] = first.value[static_cast<std::size_t>(i + 6)];
  ps.DealRecords[0] = first;
  ps.DealRecords[4] = second;
  for (int i = 1; i < 4; ++i) {
    const auto seat = static_cast<std::uint8_t>(PowerOfTwo((BitIndex(OwnSeat(c)) + i) % 4));
    ps.DealRecords[static_cast<std::size_t>(i)] = first;
    ps.DealRecords[static_cast<std::size_t>(i)].seat = seat;
    ps.DealRecords[static_cast<std::size_t>(i + 4)] = second;
    ps.DealRecords[static_cast<std::size_t>(i + 4)].seat = seat;
  }
  for (InfoRecord& batch : ps.DealRecords) {
    ps.CallRound = 0;
    c.tableView.DiscardClaimed = false;
    if (ps.PromptOpen) {
      UnloadJiaoTouPrompt(c);
      ps.PromptOpen = false;
    }
    PlayEffect(c, kEffectDraw, kFullVolume);
    if (t.Watching)
      takeWallTilesWatching(c, batch.seat, 6, batch.value);
    else
      takeWallTiles(c, batch.seat, 6, batch.value, false);
  }
}

void HandleDiscard(Client& c, const InfoRecord& r) {
  PlayEffect(c, kEffectDiscard, kFullVolume);
  const int tile = r.value[3];
  const int side = SideOf(c, r.seat);
  if (c.table.Watching) {
    showDiscardWatching(c, r.seat, tile);
  } else {
    showDiscard(c, r.seat, tile);
    if (side == 0) TakeOwnDiscard(c, tile);
  }
  if (r.value[0] == p::kDiscardFollowsDealer && side > 0)
    ShowSideBubble(c, side, c.view.pics.FollowBubblePics[static_cast<std::size_t>(side - 1)]);
  if (SuitIndex(tile & 0xFF) > 0) CountSeen(c, tile, 1);
}

void HandleDraw(Client& c, const InfoRecord& r) {
  c.link.ContinueClockOn = false;
  // A single tile travels as element 3.
  std::array<std::int16_t, 4> tiles{0, 0, 0, r.value[0]};
  if (c.table.Watching)
    takeWallTilesWatching(c, r.seat, 1, tiles);
  else
    takeWallTiles(c, r.seat, 1, tiles, false);
}

void HandleMeld(Client& c, const InfoRecord& r) {
  PlayState& ps = c.play;
  for (int i = 0; i < 3; ++i)
    ps.LastMeldTiles[static_cast<std::size_t>(i)] = r.value[static_cast<std::size_t>(i + 1)];
  const int kind = r.value[0];
  const std::span<const std::int16_t> tiles(r.value.data() + 1, 3);
  if (c.table.Watching) {
    showClaimWatching(c, kind, r.seat, tiles);
    return;
  }
  if (c.shell.UnattendedMode) {
    switch (kind) {
      case p::kClaimChi:
      case p::kClaimPeng:
        CountSeen(c, ps.LastMeldTiles[0], 1);
        CountSeen(c, ps.LastMeldTiles[1], 1);
        break;
      case p::kClaimExposedKong:
        CountSeen(c, ps.LastMeldTiles[2], 3);
        break;
      case p::kClaimAddedKong:
        CountSeen(c, ps.LastMeldTiles[2], 1);
        break;
      default:
        break;
    }
  }
  if (SideOf(c, r.seat) == 0)
    LayOwnMeld(c, kind, r.seat, tiles);
  else
    showClaim(c, kind, r.seat, tiles);
}

void HandleWildTile(Client& c, const InfoRecord& r) {
  c.table.WildShownCode = static_cast<std::int16_t>(r.value[3] & 0xFF);
  c.table.WildTileCode = static_cast<std::int16_t>(r.value[2] & 0xFF);
}

void HandleReveal(Client& c, const InfoRecord& r) {
  TableModel& t = c.table;
  PlayState& ps = c.play;
  c.offer.ChiDone = false;
  c.offer.TingLock = false;
  revealHand(c, r.seat, std::span<const std::int16_t>(r.value.data(), 4));
  if (ps.RevealCount != 0) return;
  int n = 0;
  for (int i = 0; i < kRevealWallTiles; ++i) {
    const std::uint8_t tile = c.link.LastFrame[p::kPayloadOffset + static_cast<std::size_t>(i)];
    ps.RevealTiles[static_cast<std::size_t>(i)] = tile;
    if (tile != 0) ++n;
  }
  ps.RevealCount = static_cast<std::uint8_t>(n);
  const int back = WallPosition(t.MJFIRST);
  ps.RevealPos[0] = static_cast<std::int16_t>(back);
  ps.RevealPos[1] = NextBackPosition(back);
  for (int i = 2; i < kRevealWallTiles; ++i)
    ps.RevealPos[static_cast<std::size_t>(i)] =
        static_cast<std::int16_t>(i < n ? WallPosition(t.MJPOINT + i - 2) : 0);
}

}  // namespace tavren
