#include "rules/sort_hand.h"

#include <algorithm>
#include <utility>

#include "core/client.h"
#include "view/access.h"
#include "view/seats.h"

namespace tavren {

namespace {

int SuitOf(int code) {
  return (static_cast<std::int16_t>(code) / 16) & 0xF;
}

}  // namespace

bool SortsAfter(int a, int b) {
  const int sa = SuitOf(a), sb = SuitOf(b);
  return sa < sb || (sa == sb && (a & 0xF) > (b & 0xF));
}

void SortHand(Client& c, int side, int n) {
  if (side < 0 || side >= kSides) return;
  HandRecord& h = Hand(c, side);
  const int first = h.first;
  if (first < 0 || first >= kSlots || n <= 0) return;
  n = std::min(n, kSlots - first);
  auto& mj = h.mj;
  std::int16_t before[kSlots];
  for (int k = 0; k < n; ++k) before[k] = mj[static_cast<std::size_t>(first + k)].value;

  for (int i = first; i < first + n - 1; ++i)
    for (int j = i + 1; j < first + n; ++j) {
      TileSlot& a = mj[static_cast<std::size_t>(i)];
      TileSlot& b = mj[static_cast<std::size_t>(j)];
      if (SortsAfter(a.value, b.value)) std::swap(a.value, b.value);
    }

  // Once the wild tile is known the user's row only changes where a code moved.
  const bool onlyChanged = side == 0 && c.table.WildTileCode > 0;
  for (int k = 0; k < n; ++k) {
    const TileSlot& slot = mj[static_cast<std::size_t>(first + k)];
    if (onlyChanged && slot.value == before[k]) continue;
    ShowStandingFace(c, side, slot.ind, slot.value);
  }
}

}  // namespace tavren
