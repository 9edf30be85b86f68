#include "rules/offer.h"

#include <array>

#include "autoplay/autoplay.h"
#include "core/client.h"
#include "input/requests.h"
#include "link/pump.h"
#include "rules/sort_hand.h"
#include "view/access.h"
#include "view/seats.h"

namespace tavren {

namespace p = protocol;

namespace {

// The button of each offer bit; bit 1 has none.
constexpr std::array<int, 8> kButtonOfBit = {kButtonPass, -1,          kButtonChi,  kButtonPeng,
                                             kButtonKong, kButtonKong, kButtonKong, kButtonHu};

int Suit(int code) {
  return (static_cast<std::int16_t>(code) / 16) & 0xF;
}
int Rank(int code) {
  return code & 0xF;
}
int Low(int code) {
  return code & 0xFF;
}

const TileSlot& At(const HandRecord& h, int slot) {
  return Slot(h, CheckIndex(slot, kSlots, "hand slot"));
}

// The standing slots of the user's hand that lie inside the record.
int StandingEnd(const HandRecord& h) {
  const int end = h.first + h.count;
  return end < kSlots ? end : kSlots;
}
int StandingBegin(const HandRecord& h) {
  return h.first < 0 ? 0 : h.first;
}

// A candidate picture: the standing face of the tile at `slot`, 0.8 of the
// standing size, in front.
void ShowCandidate(Client& c, Control& k, int slot, int x, int y) {
  const HandRecord& h = c.table.custom[0];
  const auto pic = TilePicIndex(kStandingOwn, Low(At(h, slot).value));
  if (pic) k.picture = c.view.pics.TilePics[static_cast<std::size_t>(*pic)];
  k.w = static_cast<int>(48 * c.view.ScaleX * 0.8);
  k.h = static_cast<int>(78 * c.view.ScaleY * 0.8);
  k.x = x;
  k.y = y;
  k.visible = true;
  k.enabled = true;
  BringToFront(c.view, k);
}

void AddKong(OfferState& o, int slot, int kind) {
  if (o.KongCount >= kKongChoices) return;
  o.KongChoice[static_cast<std::size_t>(o.KongCount)] = I16(slot);
  o.KongKind[static_cast<std::size_t>(o.KongCount)] = I16(kind);
  ++o.KongCount;
}

// The first standing slot holding `code`, −1 when none.
int FirstStanding(const HandRecord& h, int code) {
  for (int k = StandingBegin(h); k < StandingEnd(h); ++k)
    if (Low(At(h, k).value) == Low(code)) return k;
  return -1;
}

// Added-kong candidates: for each peng meld the first standing tile of its code.
void AddedKongs(const HandRecord& h, OfferState& o) {
  for (int m = 1; m <= h.meldCursor - 5 && m < kSlots; m += 3) {
    if (At(h, m).typ != kSlotPeng) continue;
    const int k = FirstStanding(h, At(h, m).value);
    if (k >= 0) AddKong(o, k, p::kClaimAddedKong);
  }
}

// The first standing slot p with code(p) = code(p + 2) = the discard.
void ExposedKong(const Client& c, const HandRecord& h, OfferState& o) {
  for (int k = StandingBegin(h); k + 2 < StandingEnd(h); ++k)
    if (Low(At(h, k).value) == Low(c.table.LastDiscard) &&
        Low(At(h, k + 2).value) == Low(c.table.LastDiscard)) {
      AddKong(o, k, p::kClaimExposedKong);
      return;
    }
}

void ConcealedKongs(const HandRecord& h, OfferState& o) {
  for (int k = StandingBegin(h); k + 3 < StandingEnd(h); ++k)
    if (Low(At(h, k).value) == Low(At(h, k + 3).value)) AddKong(o, k, p::kClaimConcealedKong);
}

}  // namespace

bool HoldsExtraTile(const HandRecord& h) {
  return (h.count - 2) % 3 == 0;
}

void OnClaimOffer(Client& c, const InfoRecord& r) {
  OfferState& o = c.offer;
  const HandRecord& h = c.table.custom[0];
  MainForm& f = c.view;
  if ((r.seat & 0xF) == (h.seat & 0xF)) {
    o.ClaimSent = false;
    o.ActionPhase = kPhaseOpen;
    o.OfferState.fill(0);
    o.HuOffered = false;
    const int bits = r.value[0] & 0xFF;
    for (int b = 0; b < 8; ++b) {
      if ((bits & (1 << b)) == 0) continue;
      if (b == 7) o.HuOffered = true;
      const int i = kButtonOfBit[static_cast<std::size_t>(b)];
      if (i < 0) continue;
      Control& button = f.Operation[static_cast<std::size_t>(i)];
      button.enabled = true;
      button.picture = f.pics.ClaimButtonPics[static_cast<std::size_t>(3 * i + 1)];
      o.OfferState[static_cast<std::size_t>(i)] = 2;
    }
    o.OfferMask = r.value[0];
    if (h.count > 0)
      for (Control& button : f.Operation) {
        button.visible = true;
        BringToFront(f, button);
      }
    if (HoldsExtraTile(h)) o.MayDiscard = true;
    if (h.count > 0) StartTurnClock(c, o.TurnTime);
  }
  // A locked hand answers every offer but a win by itself.
  if (o.TingLock && !o.HuOffered) {
    TimeoutMove(c);
    o.MayDiscard = false;
    StopTurnClock(c);
  }
}

void FindChiChoices(Client& c, int tile) {
  OfferState& o = c.offer;
  HandRecord& h = c.table.custom[0];
  o.ChiCount = 0;
  SortHand(c, 0, h.count);
  const int begin = StandingBegin(h), end = StandingEnd(h);
  int lead = 0;
  while (begin + lead < end && Low(At(h, begin + lead).value) == Low(c.table.WildTileCode)) ++lead;
  h.leadWilds = I16(lead);

  const int s = Suit(tile);
  int start = -1;
  for (int k = begin + lead; k < end; ++k)
    if (Suit(At(h, k).value) == s) {
      start = k;
      break;
    }
  if (start < 0) return;
  int last = start;
  while (last + 1 < end && Suit(At(h, last + 1).value) == s) ++last;

  // Tiles of each rank, and the slot of the last tile of a rank.
  std::array<int, 12> n{};
  std::array<int, 12> lastOf{};
  for (int k = start; k <= last; ++k) {
    const int rank = Rank(At(h, k).value);
    if (rank < 1 || rank > 9) continue;
    ++n[static_cast<std::size_t>(rank)];
    lastOf[static_cast<std::size_t>(rank)] = k;
  }
  auto has = [&](int rank) {
    return rank >= 1 && rank <= 9 && n[static_cast<std::size_t>(rank)] > 0;
  };
  auto pair = [&](int a, int b) {
    o.ChiChoice[static_cast<std::size_t>(o.ChiCount)] = I16(lastOf[static_cast<std::size_t>(a)]);
    o.ChiChoice[static_cast<std::size_t>(o.ChiCount + 1)] =
        I16(lastOf[static_cast<std::size_t>(b)]);
    o.ChiCount = I16(o.ChiCount + 2);
  };
  const int r = Rank(tile);
  if (r > 2 && has(r - 2) && has(r - 1)) pair(r - 2, r - 1);
  if (r > 1 && r < 9 && has(r - 1) && has(r + 1)) pair(r - 1, r + 1);
  if (r < 8 && has(r + 1) && has(r + 2)) pair(r + 1, r + 2);

  MainForm& f = c.view;
  if (o.ChiCount == 2) {
    f.Operation[kButtonChi].visible = false;
    SendChiRequest(c, o.ChiChoice[0], o.ChiChoice[1]);
  } else if (o.ChiCount > 2) {
    for (int i = 1; i < kOperationButtons; ++i) {
      f.Operation[static_cast<std::size_t>(i)].visible = false;
      f.Operation[static_cast<std::size_t>(i)].enabled = false;
    }
    const Control& anchor = f.Operation[kButtonChi];
    const int w = static_cast<int>(48 * f.ScaleX * 0.8);
    for (int v = 0; v < o.ChiCount; ++v)
      ShowCandidate(c, f.Chi[static_cast<std::size_t>(v)], o.ChiChoice[static_cast<std::size_t>(v)],
                    anchor.x + v * w, anchor.y);
  }
}

void FindKongChoices(Client& c) {
  OfferState& o = c.offer;
  const HandRecord& h = c.table.custom[0];
  MainForm& f = c.view;
  o.KongCount = 0;
  // The added-kong offer also lets the user set a 中 or a wild tile aside.
  // Auto-play (a run-out countdown) decides that in its own list and comes
  // here only for the kongs proper.
  const bool aside = (o.OfferMask & kOfferAddedKong) && o.ActionPhase != kPhaseTimedOut;
  if (o.OfferMask & kOfferAddedKong) {
    // A 中 that would join a peng of 中 is offered once.
    const int red = aside ? FirstStanding(h, 0x15) : -1;
    if (red >= 0) AddKong(o, red, p::kClaimAddedKong);
    AddedKongs(h, o);
    for (int v = 1; v < o.KongCount; ++v) {
      if (o.KongChoice[static_cast<std::size_t>(v)] != red) continue;
      for (int w = v + 1; w < o.KongCount; ++w) {
        o.KongChoice[static_cast<std::size_t>(w - 1)] = o.KongChoice[static_cast<std::size_t>(w)];
        o.KongKind[static_cast<std::size_t>(w - 1)] = o.KongKind[static_cast<std::size_t>(w)];
      }
      --o.KongCount;
      break;
    }
  }
  if (o.OfferMask & kOfferExposedKong) ExposedKong(c, h, o);
  if (o.OfferMask & kOfferConcealedKong) ConcealedKongs(h, o);
  if (aside) {
    const int wild = FirstStanding(h, kWildCode);
    if (wild >= 0) AddKong(o, wild, p::kClaimAddedKong);
  }
  if (o.KongCount == 0) return;

  if (o.ActionPhase == kPhaseTimedOut || o.KongCount == 1) {
    const int slot = o.KongChoice[0];
    const int kind = o.KongKind[0];
    if (o.ActionPhase != kPhaseTimedOut) {
      f.Operation[kButtonKong].visible = false;
      PlayOwnClaimVoice(c, kind == p::kClaimConcealedKong ? kVoiceConcealedKong : kVoiceKong);
    }
    SendKongRequest(c, kind, slot);
    return;
  }
  for (int i : {kButtonChi, kButtonPeng, kButtonHu, kButtonPass})
    f.Operation[static_cast<std::size_t>(i)].visible = false;
  const int x = f.Operation[kButtonHu].x;
  const int y = f.Operation[kButtonChi].y;
  const int step = static_cast<int>(78 * f.ScaleY * 0.8);
  // Five pictures at most; further candidates can still be sent by auto-play.
  for (int v = 0; v < o.KongCount && v < static_cast<int>(f.Gang.size()); ++v)
    ShowCandidate(c, f.Gang[static_cast<std::size_t>(v)], o.KongChoice[static_cast<std::size_t>(v)],
                  x, y + v * step);
  StartTurnClock(c, o.TurnTime / 2);
}

bool FindKongChoicesAuto(Client& c) {
  OfferState& o = c.offer;
  const HandRecord& h = c.table.custom[0];
  o.KongCount = 0;
  if (h.count < 6) return false;
  int wilds = 0;
  for (int k = StandingBegin(h); k < StandingEnd(h); ++k)
    if (Low(At(h, k).value) == kWildCode) ++wilds;
  if (o.OfferMask & kOfferAddedKong) {
    const int red = FirstStanding(h, 0x15);
    if (red >= 0) AddKong(o, red, p::kClaimAddedKong);
    AddedKongs(h, o);
  }
  if (o.OfferMask & kOfferExposedKong) ExposedKong(c, h, o);
  if (o.OfferMask & kOfferConcealedKong) ConcealedKongs(h, o);
  if (o.OfferMask & kOfferAddedKong) {
    const bool first = o.KongCount == 0;
    const int wild = FirstStanding(h, kWildCode);
    if (wild >= 0) {
      AddKong(o, wild, p::kClaimAddedKong);
      if (first && wilds < 2) return true;
    }
  }
  return false;
}

bool HoldsTileInd(const Client& c, int ind) {
  return SlotOfTileInd(c, ind) >= 0;
}

int SlotOfTileInd(const Client& c, int ind) {
  const HandRecord& h = c.table.custom[0];
  if (ind < 0) return -1;
  for (int k = StandingBegin(h); k < StandingEnd(h); ++k)
    if (At(h, k).ind == ind) return k;
  return -1;
}

}  // namespace tavren
