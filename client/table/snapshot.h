// The table of a hand under way, rebuilt from four snapshot records for a
// client that saw none of the hand: melds and set-aside tiles face up, the
// standing rows and discards face down, the wall that is left with both ends,
// and the wild-tile indicator.
#pragma once

#include <cstdint>
#include <span>

namespace tavren {

struct Client;
struct InfoRecord;

// Instruction 40: one seat's record; the fourth completes the restore.
void HandleSnapshot(Client& c, const InfoRecord& r);

// While a snapshot is being applied its records hand out the wall controls
// after MJPOINT: an instruction that takes wall tiles in between would hand
// the same controls out twice, so it is refused as a bad record.
void RefuseDuringSnapshot(const Client& c);

// A 中 (`red`) or a wild tile the side sets aside goes onto control `control`
// in the side's set-aside column, stacked upwards at the head of its meld row.
void PlaceAsideOn(Client& c, int side, std::int16_t tile, bool red, int control);

// Sorts tile codes: higher suit bit first, lower rank first within a suit.
void SortTileList(std::span<std::int16_t> list);

// The tile that announced the wild tile, face up on the wall at MJFIRST, on
// wall control `control`.
void showWildIndicator(Client& c, int control);

}  // namespace tavren
