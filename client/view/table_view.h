// The state the seat, meld and tile-motion drawing keeps between instructions:
// where the last discard went, which end of the wall feeds the next single
// tile, side 3's discard stack, the kong tops and the reveal lists.
#pragma once

#include <array>
#include <cstdint>
#include <random>

#include "table/tiles.h"

namespace tavren {

// The top tile of a kong laid by sides 1..3; the user may turn it up by a
// click once the hand is won.
struct KongTop {
  std::int16_t ind = -1;  // MJ_Image control, −1 once turned
  std::int16_t tile = 0;
  std::int16_t side = 0;
};

inline constexpr int kRightDiscardSlots = 24;
inline constexpr int kKongTopSlots = 16;

struct TableViewState {
  // The discard on show and where the last one was laid.
  std::int16_t LastDiscardSide = 0;
  std::int16_t LastDiscardX = 0;
  std::int16_t LastDiscardY = 0;

  // True: the next single tile comes from MJPOINT; false: from MJFIRST (after a kong).
  bool DrawFromFront = true;

  // Side 3's discards in laying order: its columns are re-stacked after each one.
  std::array<std::int16_t, kRightDiscardSlots> RightDiscards{};
  std::int16_t RightDiscardCount = 0;

  // A table snapshot has been applied: watching-mode showcases and pauses run.
  bool ViewRestored = false;

  // The discard on show went into a kong and must not be laid in its row.
  bool DiscardClaimed = false;
  // The last discard lies in its discarder's row already: a win now (a kong
  // robbed) is on no discard, and nothing on the table may join the winner's row.
  bool DiscardLaid = false;

  // Side of the first win of the hand, −1 before it.
  std::int16_t HuSide = -1;

  std::array<KongTop, kKongTopSlots> KongTops{};
  std::int16_t KongTopCount = 0;

  // Tile codes sides 1..3 revealed at the hand's end, in the order received; 0 empty.
  std::array<std::array<std::int16_t, kSlots>, kSides> RevealedTiles{};

  // Foreground colours of the result window's player labels ID(0..3), set by a win.
  std::array<std::uint32_t, kSides> ResultIdColor{};

  // The wind draw's random source; seeded from the clock at its first use
  // unless a test seeded it first.
  std::mt19937 Random;
  bool RandomSeeded = false;
};

}  // namespace tavren
