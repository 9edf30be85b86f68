#include "input/requests.h"

#include "core/client.h"
#include "rules/sort_hand.h"
#include "view/access.h"
#include "view/catalogue.h"
#include "view/seats.h"

namespace tavren {

namespace p = protocol;

namespace {

HandRecord& Own(Client& c) {
  return c.table.custom[0];
}

bool IsStanding(const HandRecord& h, int slot) {
  return slot >= h.first && slot < h.first + h.count && slot >= 0 && slot < kSlots;
}

TileSlot& At(HandRecord& h, int slot) {
  return Slot(h, CheckIndex(slot, kSlots, "hand slot"));
}

// Where the next meld goes: slots meldCursor − 2 .. meldCursor, all below the
// standing row. A cursor that does not leave room writes nothing.
bool MeldRoom(const HandRecord& h) {
  return h.meldCursor >= 2 && h.meldCursor < h.first && h.meldCursor < kSlots;
}

void Provisional(HandRecord& h, int offset, const TileSlot& from, SlotKind kind) {
  TileSlot& to = At(h, h.meldCursor - 2 + offset);
  to = from;
  to.typ = kind;
}

}  // namespace

void SendPassRequest(Client& c) {
  SendClaim(c, p::kClaimPass);
  c.offer.ClaimSent = true;
}

void SendChiRequest(Client& c, int slotA, int slotB) {
  HandRecord& h = Own(c);
  OfferState& o = c.offer;
  if (!IsStanding(h, slotA) || !IsStanding(h, slotB)) return;
  o.ChiChoice[0] = I16(slotA);
  o.ChiChoice[1] = I16(slotB);
  const TileSlot a = At(h, slotA), b = At(h, slotB);
  if (MeldRoom(h)) {
    Provisional(h, 0, a, kSlotChi);
    Provisional(h, 1, b, kSlotChi);
    Provisional(h, 2, {kSlotChi, c.table.LastDiscard, c.table.LastDiscardInd}, kSlotChi);
  }
  SendClaim(c, p::kClaimChi, a.value, b.value, c.table.LastDiscard);
  o.ClaimSent = true;
}

void SendPengRequest(Client& c, int tile) {
  HandRecord& h = Own(c);
  for (int k = h.first; k + 1 < h.first + h.count && k + 1 < kSlots; ++k) {
    if ((At(h, k).value & 0xFF) != (tile & 0xFF) || (At(h, k + 1).value & 0xFF) != (tile & 0xFF))
      continue;
    if (MeldRoom(h)) {
      const TileSlot a = At(h, k), b = At(h, k + 1);
      Provisional(h, 0, a, kSlotPeng);
      Provisional(h, 1, b, kSlotPeng);
      Provisional(h, 2, {kSlotPeng, c.table.LastDiscard, c.table.LastDiscardInd}, kSlotPeng);
    }
    break;
  }
  SendClaim(c, p::kClaimPeng, tile, tile, tile);
  c.offer.ClaimSent = true;
}

void SendKongRequest(Client& c, int kind, int slot) {
  HandRecord& h = Own(c);
  OfferState& o = c.offer;
  if (!IsStanding(h, slot)) return;
  o.KongChoice[0] = I16(slot);
  const int tile = At(h, slot).value;
  switch (kind) {
    case p::kClaimExposedKong:
    case p::kClaimConcealedKong: {
      if (!IsStanding(h, slot + 2)) return;
      const SlotKind typ = kind == p::kClaimExposedKong ? kSlotExposedKong : kSlotConcealedKong;
      if (MeldRoom(h))
        for (int i = 0; i < 3; ++i) Provisional(h, i, At(h, slot + i), typ);
      SendClaim(c, kind, tile, tile, tile);
      break;
    }
    case p::kClaimAddedKong:
      if (MeldRoom(h)) Provisional(h, 0, At(h, slot), kSlotAddedKong);
      SendClaim(c, kind, 0, 0, tile);
      break;
    default:
      return;
  }
  o.ClaimSent = true;
}

void SendHuRequest(Client& c) {
  SendClaim(c, p::kClaimHu);
  c.offer.ClaimSent = true;
}

bool DiscardStandingSlot(Client& c, int slot) {
  HandRecord& h = Own(c);
  if (!IsStanding(h, slot) || !HoldsExtraTile(h)) return false;
  const TileSlot gone = At(h, slot);
  SendDiscard(c, gone.value);
  c.offer.MayDiscard = false;
  c.table.LastDiscardInd = gone.ind;
  if (ValidControl(gone.ind)) {
    ShowFace(c, gone.ind, kLyingOwn, gone.value);
    Control& k = Tile(c, gone.ind);
    k.w = SX(c, 36);
    k.h = SY(c, 50);
    k.x = (c.view.pic1W - k.w) / 2;
    k.y = (c.view.pic1H - k.h) / 2;
    k.visible = true;
    SendToBack(c.view, k);
    // Behind the other tiles, but never under the compass in the middle.
    PlaceAbove(c.view, k, c.view.ZhiNan);
  }
  const int end = h.first + h.count;
  LoadSteps(c, Steps::Standing);
  for (int k = slot; k < end - 1; ++k) {
    At(h, k) = At(h, k + 1);
    placeInStandingRow(c, 0, k, At(h, k).ind);
  }
  TileSlot& vacated = At(h, end - 1);
  vacated.typ = kSlotEmpty;
  vacated.ind = -1;
  SortHand(c, 0, h.count - 1);
  --h.count;
  return true;
}

void PlayOwnClaimVoice(Client& c, const char* code) {
  if (!c.sound.SoundOn) return;
  PlayEffect(c, ClaimVoicePath(c, 0, code), false);
  SetEffectVolume(c, kFullVolume);
}

void RetireOperationButtons(Client& c) {
  MainForm& f = c.view;
  for (int i = 0; i < kOperationButtons; ++i) {
    Control& b = f.Operation[static_cast<std::size_t>(i)];
    b.picture = f.pics.ClaimButtonPics[static_cast<std::size_t>(3 * i)];
    b.visible = false;
    b.enabled = false;
  }
}

void HideChoiceImages(Client& c) {
  for (Control& k : c.view.Chi) k.visible = k.enabled = false;
  for (Control& k : c.view.Gang) k.visible = k.enabled = false;
}

}  // namespace tavren
