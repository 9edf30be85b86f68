// Win detection with wild tiles. A wild tile stands for any face.
//
// The check never allocates: per suit group the hand is reduced to one base-5
// key of its rank counts, and two precomputed tables give the fewest wild tiles
// that complete the group into sets (with or without the pair). A hand wins when
// some group can host the pair and the wilds cover what the groups still need.
#pragma once

#include <cstdint>

#include "rules/tiles.h"

namespace tavren::server {

inline constexpr int kImpossible = 99;

// Fewest wild tiles that make the plain tiles of `counts` into sets and one pair.
// A 3n+2 hand wins as four sets and a pair when this is <= counts.wilds; for a
// 3n+1 hand, distance() == 1 means it is ready.
int wildsNeededForSets(const Counts& counts);

// distance = wilds still missing: <= 0 wins (3n+2 tiles), 1 is ready (3n+1 tiles).
inline int distance(const Counts& counts) {
  return wildsNeededForSets(counts) - counts.wilds;
}

// Fewest wild tiles that make the plain tiles into sets only, no pair.
int wildsNeededForSetsOnly(const Counts& counts);

bool isStandardWin(const Counts& counts);
// Seven pairs on a concealed 14-tile hand; `luxury` is set when a face is held four
// times (豪华七对), wild tiles counted.
bool isSevenPairs(const Counts& counts, bool* luxury = nullptr);
// Thirteen orphans on a concealed 14-tile hand.
bool isThirteenOrphans(const Counts& counts);

// Any winning shape. `concealed14` is true when the hand has no exposed sets
// (seven pairs and thirteen orphans need all fourteen tiles in hand).
bool isWin(const Counts& counts, bool concealed14);

// Builds the tables; the first check does it if nobody did. Thread-safe.
void initWinTables();

}  // namespace tavren::server
