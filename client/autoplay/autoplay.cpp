#include "autoplay/autoplay.h"

#include <cstdlib>
#include <exception>

#include "core/client.h"
#include "input/requests.h"
#include "rules/sort_hand.h"
#include "view/access.h"
#include "view/catalogue.h"
#include "view/seats.h"

namespace tavren {

namespace {

// A tile of suit index v (any rank): what the evaluator needs to name the suit.
int TileOfSuit(int v) {
  return (PowerOfTwo(v) << 4) | 1;
}

int SuitOfCode(int code) {
  return SuitIndex(code & 0xFF);
}

int StandingEnd(const HandRecord& h) {
  const int end = h.first + h.count;
  return end < kSlots ? end : kSlots;
}
int StandingBegin(const HandRecord& h) {
  return h.first < 0 ? 0 : h.first;
}

const TileSlot& At(const HandRecord& h, int slot) {
  return Slot(h, CheckIndex(slot, kSlots, "hand slot"));
}

int FirstStanding(const HandRecord& h, int code) {
  for (int k = StandingBegin(h); k < StandingEnd(h); ++k)
    if ((At(h, k).value & 0xFF) == (code & 0xFF)) return k;
  return -1;
}

// A fault in a move made for the user ends the client as one in a handler does;
// the pump's tick would otherwise skip it and leave the offer unanswered.
template <class F>
void Move(Client& c, F&& fn) {
  try {
    fn();
  } catch (const ProgramEnd&) {
    throw;
  } catch (const std::exception&) {
    RestoreLobby(c);
    EndProgram(c);
  }
}

}  // namespace

void LoadTileCounts(Client& c) {
  AutoPlayState& a = c.autoplay;
  for (auto& s : a.TileCount) s.fill(0);
  for (auto& s : a.MeldTiles) s.fill(0);
  HandRecord& h = c.table.custom[0];
  for (int k = StandingBegin(h); k < StandingEnd(h); ++k) {
    TileSlot& slot = Slot(h, k);
    slot.value = I16(slot.value & 0xFF);
    const int r = TileRank(slot.value);
    if (r < 1 || r > 9) continue;
    ++a.TileCount[static_cast<std::size_t>(SuitOfCode(slot.value))][static_cast<std::size_t>(r)];
  }
}

namespace {

using SuitRow = std::array<std::int16_t, 10>;

// One suit while the evaluator takes its melds out: the tiles still held by
// rank, those set aside in melds, and each rank's weight in the current pass.
struct SuitCounts {
  SuitRow& held;
  SuitRow& melded;
  SuitRow& weight;
  int n(int k) const { return k >= 1 && k <= 9 ? held[static_cast<std::size_t>(k)] : 0; }
  int w(int k) const { return k >= 1 && k <= 9 ? weight[static_cast<std::size_t>(k)] : 0; }
  void take(int k, int count) {
    held[static_cast<std::size_t>(k)] = I16(held[static_cast<std::size_t>(k)] - count);
    melded[static_cast<std::size_t>(k)] = I16(melded[static_cast<std::size_t>(k)] + count);
  }
};

// Weighs every rank by its neighbours and marks the melds it can start
// (1: the two below, 2: one each side, 4: the two above, 8: three alike).
std::array<int, 10> WeighRanks(SuitCounts& u, bool numbered) {
  std::array<int, 10> mask{};
  u.weight.fill(0);
  for (int k = 1; k <= 9; ++k) {
    if (u.n(k) < 1) continue;
    int weight = 3 * u.n(k);
    int m = 0;
    if (numbered) {
      weight = (k > 2 ? u.n(k - 2) : 0) + (k > 1 ? 2 * u.n(k - 1) : 0) + 3 * u.n(k) +
               (k < 9 ? 2 * u.n(k + 1) : 0) + (k < 8 ? u.n(k + 2) : 0);
      if (k > 2 && u.n(k - 1) > 0 && u.n(k - 2) > 0) m += 1;
      if (k > 1 && k < 9 && u.n(k - 1) > 0 && u.n(k + 1) > 0) m += 2;
      if (k < 8 && u.n(k + 1) > 0 && u.n(k + 2) > 0) m += 4;
    }
    if (u.n(k) > 2) m += 8;
    mask[static_cast<std::size_t>(k)] = m;
    u.weight[static_cast<std::size_t>(k)] = I16(m == 0 ? 0 : weight);
  }
  return mask;
}

// Takes out the meld of the lightest rank that starts one; false when none does.
bool TakeLightestMeld(SuitCounts& u, bool numbered) {
  const std::array<int, 10> mask = WeighRanks(u, numbered);
  int pick = -1, best = 20000;
  for (int k = 1; k <= 9; ++k)
    if (u.w(k) > 0 && u.w(k) < best) {
      best = u.w(k);
      pick = k;
    }
  if (pick < 0) return false;
  const int k = pick, m = mask[static_cast<std::size_t>(k)];
  int meld = 0, least = 20000;
  auto consider = [&](int bit, int value) {
    if ((m & bit) != 0 && value < least) {
      least = value;
      meld = bit;
    }
  };
  consider(8, 2 * u.w(k));
  consider(4, u.w(k + 2) + u.w(k + 1));
  consider(2, u.w(k + 1) + u.w(k - 1));
  consider(1, u.w(k - 1) + u.w(k - 2));
  switch (meld) {
    case 8:
      u.take(k, 3);
      break;
    case 4:
      for (int j = k; j <= k + 2; ++j) u.take(j, 1);
      break;
    case 2:
      for (int j = k - 1; j <= k + 1; ++j) u.take(j, 1);
      break;
    default:
      for (int j = k - 2; j <= k; ++j) u.take(j, 1);
      break;
  }
  return true;
}

// Honours: a loose tile costs, a pair a little, every melded tile counts.
// The meld and seen terms apply to every honour, held or not: a triplet taken
// out by the meld passes leaves no tile of its rank, and would otherwise never
// count for the hand.
int HonourScore(const SuitCounts& u, const SuitRow& seen, int score) {
  for (int k = 1; k <= 7; ++k) {
    if (u.n(k) > 0) score -= u.n(k) == 1 ? 100 : 30;
    score += 50 * u.melded[static_cast<std::size_t>(k)] - 2 * seen[static_cast<std::size_t>(k)];
  }
  return score;
}

// A numbered suit: each held rank by its eye value, its place in the suit and
// the tiles near it.
int NumberedScore(const AutoPlayState& a, const SuitCounts& u, const SuitRow& seen, int score) {
  for (int k = 1; k <= 9; ++k) {
    if (u.n(k) <= 0) continue;
    int f = score - 2 * seen[static_cast<std::size_t>(k)] - 60;
    if (k == 2 || k == 5 || k == 8) {
      bool heldPair = false;
      for (int K : {2, 5, 8})
        if (u.n(K) > 1) heldPair = true;
      if (heldPair) {
        int pairs = 0;
        for (int v = 1; v <= 3; ++v)
          for (int K : {2, 5, 8})
            pairs += a.TileCount[static_cast<std::size_t>(v)][static_cast<std::size_t>(K)] / 2;
        f += pairs != 0 ? 50 : 10;
        f += 4;
      } else {
        f += 10;
      }
      if (u.n(2) + u.n(5) + u.n(8) < 2) f += 8;
    }
    score = f + 4 - std::abs(k - 5);
    for (int j = 1; j <= 9; ++j) {
      if (u.n(j) <= 0) continue;
      const int d = std::abs(j - k);
      if (d <= 1)
        score += (3 * u.n(j) * (10 - d)) / 2;
      else if (d == 2)
        score += (u.n(j) * 8) / 2;
      else if (d <= 4)
        score += (u.n(j) * (10 - d)) / 3;
      const int melded = u.melded[static_cast<std::size_t>(j)];
      if (melded > 0 && d < 3) score += (melded * (10 - d)) / 2;
    }
  }
  return score;
}

}  // namespace

int EvaluateSuit(Client& c, int mode, int tile) {
  AutoPlayState& a = c.autoplay;
  const int s = SuitOfCode(tile);
  const int r = TileRank(tile);
  const auto i = static_cast<std::size_t>(s);
  SuitCounts u{a.TileCount[i], a.MeldTiles[i], a.Weight[i]};
  const bool numbered = s > 0;

  const bool removed = mode == 1 && r >= 1 && r <= 9 && u.n(r) > 0;
  if (removed) --u.held[static_cast<std::size_t>(r)];
  int score = 0;
  for (int pass = 0; pass < 5 && TakeLightestMeld(u, numbered); ++pass)
    if (mode <= 3) score += 1000;
  const SuitRow& seen = c.table.SeenCount[i];
  score = numbered ? NumberedScore(a, u, seen, score) : HonourScore(u, seen, score);
  if (removed) ++u.held[static_cast<std::size_t>(r)];
  return score;
}

int ChooseDiscard(Client& c) {
  const HandRecord& h = c.table.custom[0];
  int best = -20000, bestSlot = -1;
  for (int k = StandingBegin(h); k < StandingEnd(h); ++k) {
    const int code = At(h, k).value & 0xFF;
    int value = 0;
    for (int v = 0; v < 4; ++v) {
      if (v == SuitOfCode(code)) continue;
      LoadTileCounts(c);
      value += EvaluateSuit(c, 0, TileOfSuit(v));
    }
    LoadTileCounts(c);
    value += EvaluateSuit(c, 1, code);
    if (value > best) {
      best = value;
      bestSlot = k;
    }
  }
  if (bestSlot < 0) bestSlot = StandingEnd(h) - 1;
  if (bestSlot < StandingBegin(h)) return 0;
  return At(h, bestSlot).value & 0xFF;
}

bool ShouldClaim(Client& c, int kind, int tile) {
  AutoPlayState& a = c.autoplay;
  const HandRecord& h = c.table.custom[0];
  tile &= 0xFF;
  const int s = SuitOfCode(tile), r = TileRank(tile);
  auto& C = a.TileCount[static_cast<std::size_t>(s)];
  a.AiTileA = a.AiTileB = 0;
  int best = -20000;
  if (r < 1 || r > 9) return false;
  if (kind == 1) {
    struct Pattern {
      int x, y;
      bool applies;
    };
    const Pattern patterns[3] = {
        {r - 2, r - 1, r > 2}, {r - 1, r + 1, r > 1 && r < 9}, {r + 1, r + 2, r < 8}};
    int codeA = 0, codeB = 0;
    for (const Pattern& pat : patterns) {
      if (!pat.applies) continue;
      LoadTileCounts(c);
      auto& x = C[static_cast<std::size_t>(pat.x)];
      auto& y = C[static_cast<std::size_t>(pat.y)];
      if (x < 1 || y < 1) continue;
      --x;
      --y;
      const int value = EvaluateSuit(c, 2, tile) + 1000;
      if (value > best) {
        best = value;
        codeA = (tile & 0xF0) | pat.x;
        codeB = (tile & 0xF0) | pat.y;
      }
    }
    if (codeA == 0) return false;
    a.AiTileA = I16(FirstStanding(h, codeA));
    a.AiTileB = I16(FirstStanding(h, codeB));
  } else {
    LoadTileCounts(c);
    // A peng needs two plain tiles of the discard; an offer counting anything
    // else is left to the user's pass.
    if (C[static_cast<std::size_t>(r)] < 2) return false;
    C[static_cast<std::size_t>(r)] = I16(C[static_cast<std::size_t>(r)] - 2);
    a.AiTileA = I16(tile);
    best = EvaluateSuit(c, 3, tile) + 1000;
  }
  LoadTileCounts(c);
  const int base = EvaluateSuit(c, 0, tile);
  return best - base > 150;
}

bool ShouldKong(Client& c) {
  int sum = 0;
  for (int v = 0; v < 4; ++v) {
    LoadTileCounts(c);
    sum += EvaluateSuit(c, 4, TileOfSuit(v));
  }
  return sum >= -99;
}

void TimeoutMove(Client& c) {
  c.log.record("TimeoutMove");
  Move(c, [&] {
    OfferState& o = c.offer;
    HandRecord& h = c.table.custom[0];
    RetireOperationButtons(c);
    HideChoiceImages(c);
    if (!o.ClaimSent) SendPassRequest(c);
    // Only a turn the server opened is answered with a discard: a countdown
    // that ran out on the 叫头 prompt leaves the dealer's hand alone.
    if (o.MayDiscard && h.count > 0 && HoldsExtraTile(h)) {
      o.MayDiscard = false;
      DiscardStandingSlot(c, h.first + h.count - 1);
    }
    if (o.ChiDone) o.TingLock = true;
  });
}

void AutoPlayMove(Client& c) {
  c.log.record("AutoPlayMove");
  Move(c, [&] {
    OfferState& o = c.offer;
    HandRecord& h = c.table.custom[0];
    MainForm& f = c.view;
    bool claimed = false;
    RetireOperationButtons(c);
    HideChoiceImages(c);

    if (o.OfferState[kButtonHu] == 2 && !o.ClaimSent) {
      claimed = true;
      PlayOwnClaimVoice(c, kVoiceHu);
      const int control = c.table.LastDiscardInd;
      // A win on another seat's discard: the discard joins the end of the row.
      if (!HoldsExtraTile(h) && ValidControl(control) && h.count > 0 && !c.tableView.DiscardLaid) {
        LoadSteps(c, Steps::Standing);
        const int last = At(h, StandingEnd(h) - 1).ind;
        Control& k = Tile(c, control);
        ShowFace(c, control, kLyingOwn, c.table.LastDiscard);
        k.w = SX(c, 48);
        k.h = SY(c, 78);
        k.x = (ValidControl(last) ? Tile(c, last).x : StandingPlace(c, 0, StandingEnd(h) - 1).x) +
              k.w;
        k.y = h.handY;
        k.visible = true;
        BringToFront(f, k);
      }
      SendHuRequest(c);
    }
    if (o.OfferState[kButtonKong] == 2 && !o.ClaimSent && !FindKongChoicesAuto(c) &&
        ShouldKong(c)) {
      if (o.OfferMask & kOfferConcealedKong) SortHand(c, 0, h.count);
      FindKongChoices(c);
      // A scan that found no candidate sent nothing: the offer still wants an answer.
      claimed = o.ClaimSent;
    }
    if (o.OfferState[kButtonPeng] == 2 && !o.ClaimSent && ShouldClaim(c, 2, c.table.LastDiscard)) {
      claimed = true;
      PlayOwnClaimVoice(c, kVoicePeng);
      SendPengRequest(c, c.autoplay.AiTileA);
    }
    if (o.OfferState[kButtonChi] == 2 && !o.ClaimSent && ShouldClaim(c, 1, c.table.LastDiscard)) {
      PlayOwnClaimVoice(c, kVoiceChi);
      SendChiRequest(c, c.autoplay.AiTileA, c.autoplay.AiTileB);
      claimed = o.ClaimSent;
    }
    if (!o.ClaimSent) SendPassRequest(c);
    if (!claimed && o.MayDiscard && h.count > 0 && HoldsExtraTile(h)) {
      const int tile = ChooseDiscard(c);
      int slot = FirstStanding(h, tile);
      if (slot < 0) slot = StandingEnd(h) - 1;
      DiscardStandingSlot(c, slot);
    }
    if (o.ChiDone) o.TingLock = true;
  });
}

}  // namespace tavren
