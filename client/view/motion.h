// Tile motion while the user plays: tiles travel from the wall to a side's row,
// another side's discard is shown in the centre until play moves on, the dealt
// hand is turned down for a moment and shown sorted, and at the hand's end
// every hand is laid face up. Also the flower rows, the wind draw and the compass.
#pragma once

#include <cstdint>
#include <span>

namespace tavren {

struct Client;

// The side of `seat` receives `n` tiles: 6 for a deal batch (elements 0..5 of
// `tiles`), 1 for a single tile (element 3). `replacement` marks the tile that
// replaces a flower.
void takeWallTiles(Client& c, std::uint8_t seat, int n, std::span<const std::int16_t> tiles,
                   bool replacement);

// The side of `seat` discarded `tile`; another side's discard is shown in the
// centre of the table until the next tile intake lays it.
void showDiscard(Client& c, std::uint8_t seat, int tile);

// The side of `seat` shows up to four tiles of its hand; once sides 1..3 are
// all complete the whole table is turned face up.
void revealHand(Client& c, std::uint8_t seat, std::span<const std::int16_t> values);

// The set-aside slot of the f-th flower (0..7) of a side, −1 when there is none.
int FlowerSlot(int side, int f);
// Shows `flower` (1..8) in the side's next flower slot (f = custom(side).flowers);
// the caller counts the flower. Returns the slot, −1 when nothing was shown.
int showFlower(Client& c, int side, int flower);

// The wind draw at the start of a game: four backs, one turned to the user's
// wind `wind` (0 北, 1 西, 2 南, 3 東); returns the position picked, 0..3.
int showWindDraw(Client& c, int wind);
// Seeds the wind draw's random source (tests and repeatable runs).
void SeedWindDraw(Client& c, std::uint32_t seed);

// The compass turned to the user's seat.
void showCompass(Client& c);

}  // namespace tavren
