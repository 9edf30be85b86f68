// Scoring of a won hand: every item of the settlement sheet, the points and fan
// they make, and the hu total. The rules are written up in server/RULES.md.
#pragma once

#include <array>
#include <cstdint>

#include "rules/tiles.h"

namespace tavren::server {

enum class MeldKind : std::uint8_t { Chi, Peng, ExposedKong, ConcealedKong, AddedKong };

struct Meld {
  MeldKind kind = MeldKind::Chi;
  std::uint8_t face = 0;  // lowest face of a chi, the face of the others
  std::int8_t from = -1;  // seat the claimed tile came from, -1 for none
  bool isKong() const {
    return kind == MeldKind::ExposedKong || kind == MeldKind::ConcealedKong ||
           kind == MeldKind::AddedKong;
  }
  bool isSet3() const { return kind != MeldKind::Chi; }
  bool operator==(const Meld&) const = default;
};

inline constexpr int kMaxMelds = 4;

// Everything the score depends on.
struct WinContext {
  Counts hand;       // concealed tiles, the winning tile included
  int winFace = -1;  // face of the winning tile, -1 when it is a wild tile
  bool selfDrawn = false;
  std::array<Meld, kMaxMelds> melds{};
  int meldCount = 0;
  int seatWind = 0;      // face 0..3 of the winner's seat wind
  int roundWind = 0;     // face 0..3 of the prevailing wind
  int dealerStreak = 0;  // 0: the winner is not the dealer; n: dealer for the n-th hand running
  int tou = 1;           // the 叫头 call: base points of the hand
  int mo = 0;            // the 摸 call: extra base points of a self-drawn win
  int wildAside = 0;     // wild tiles the winner set aside this hand (财神 too)
};

// Settlement items of the winner; the names follow the sheet.
struct Score {
  bool win = false;
  // Hand types.
  bool thirteenOrphans = false, luxurySevenPairs = false, sevenPairs = false;
  bool pureSuit = false, honoursOnly = false, catchFive = false, dragonRun = false, allSets = false;
  bool mixedSuit = false;
  int handTypePoints = 0;
  // Items.
  int selfDrawnFan = 0, concealedFan = 0;
  int exposedKongs = 0, concealedKongs = 0, roundWindSets = 0, seatWindSets = 0, concealedSets = 0;
  int dealer = 0;  // 1 dealer, n >= 2 dealer n times running
  bool edgeWait = false, closedWait = false, pairWait = false, eightOfSuit = false;
  int missingSuits = 0, twinRuns = 0, wilds = 0, oldYoung = 0, fourOfFace = 0, smallChains = 0,
      bigChains = 0;

  int points = 0;  // every point item plus the hand types
  int fans = 0;
  int base = 0;
  int total = 0;  // (base + points) * 2^fans
  // "三片起胡": the items without the base must reach three.
  bool qualifies() const { return win && points + fans >= kMinimumPieces; }
  static constexpr int kMinimumPieces = 3;
};

// Points of each hand type.
inline constexpr int kPointsMixedSuit = 4, kPointsPureSuit = 8, kPointsHonoursOnly = 8,
                     kPointsCatchFive = 2, kPointsDragonRun = 4, kPointsAllSets = 4,
                     kPointsThirteenOrphans = 16, kPointsLuxurySevenPairs = 8,
                     kPointsSevenPairs = 4;

// The best-scoring reading of a winning hand; win = false when it does not win.
Score scoreHand(const WinContext& ctx);

}  // namespace tavren::server
