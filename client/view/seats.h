// Where each side keeps its tiles: the standing row, the drawn-tile gap, the
// discard rows (with side 3's re-stacking), both ends of the wall, and the
// watching-mode operations that apply these rules for every side.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace tavren {

struct Client;
struct HandRecord;

struct Point {
  int x = 0;
  int y = 0;
  bool operator==(const Point&) const = default;
};

// Pictures. Codes are read through their low byte; the wild code 5 shows the
// wild tile, the other codes 1..8 the flowers. A code with no picture, or a
// control outside the wall, leaves the control as it was.
void ShowFace(Client& c, int control, int orientation, int code);
// Side 0's standing face (orientation 4), or the face of another side's orientation.
void ShowStandingFace(Client& c, int side, int control, int code);
void ShowBack(Client& c, int control, int orientation, bool standing);

// True when the side's standing row plus `more` tiles stays inside the 21 slots.
bool StandingFits(const HandRecord& h, int more);
bool ValidControl(int control);

// The standing row, with the standing step set loaded: the place of slot `slot`,
// and placing a control there at the side's standing size with the side's
// overlap (side 1 to the front, side 3 to the back).
Point StandingPlace(const Client& c, int side, int slot);
void placeInStandingRow(Client& c, int side, int slot, int control);
// Sets a single drawn tile apart from the row.
void applyDrawnGap(Client& c, int side, int control);

// The two ends of the wall: MJPOINT walks forwards; MJFIRST walks each
// three-tile column from its top layer down, then to the previous column.
int WallPosition(int pos);
std::int16_t NextBackPosition(int pos);
void advanceFront(Client& c);
void advanceBack(Client& c);

// Lays `control` at the side's discard cursor (lying step set loaded), records
// LastDiscardX/Y and moves the cursor on; side 3's columns are re-stacked.
void layDiscard(Client& c, int side, int control);

// Watching mode. `tiles`: a batch uses elements 0..n−1, a single tile element 3;
// every element used is replaced in place by its low byte.
void takeWallTilesWatching(Client& c, std::uint8_t seat, int n, std::span<std::int16_t> tiles);
void showDiscardWatching(Client& c, std::uint8_t seat, int tile);

// After a snapshot: each side's discard area gets `discardCounts[side]` face-down
// tiles from the controls after MJPOINT, counted by `wallOffset`; no control of
// the wall that is left (offset `front` and beyond) is ever taken.
void restoreDiscardBacks(Client& c, const std::array<std::int16_t, 4>& discardCounts,
                         std::int16_t& wallOffset, std::int16_t front);

}  // namespace tavren
