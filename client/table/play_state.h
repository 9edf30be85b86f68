// What the hand-playing instructions keep between frames: the counts of the
// per-seat records, the 叫头 call, the deal's working records, the tiles the
// server revealed from the wall, and the snapshot of a table joined mid-hand.
#pragma once

#include <array>
#include <cstdint>
#include <random>

#include "link/codec.h"

namespace tavren {

inline constexpr int kRevealWallTiles = 5;
inline constexpr int kSnapExposedMax = 24;
inline constexpr int kSnapConcealedMax = 14;

struct PlayState {
  // Seating.
  std::int16_t SeatedCount = 0;  // other players seated
  std::uint8_t DealerSeat = 0;   // seat bit named by a table joined mid-game

  // Records counted while the table is seated (names, seat-wind records) and
  // by the snapshot; back to 0 after every fourth.
  std::int16_t SeatCount = 0;
  std::int16_t SeatDrawState = 0;  // −1 from the names until the seat-wind draw
  bool HandUnscored = false;       // from a new hand until its first result

  // The 叫头 call of this hand.
  std::int16_t CallRound = 0;
  std::int16_t CallTou = 1;
  std::int16_t CallMo = 0;
  bool PromptOpen = false;  // the call prompt or its notice is on screen
  // The user's own call prompt outlived its 5 s while the link was down; it
  // stays until a resumed link lets the countdown run again.
  bool PromptHeld = false;

  bool FlowerPhase = false;  // a flower replacement is being shown

  // The deal: the user's two batches and the face-down copies for the others.
  std::array<InfoRecord, 8> DealRecords{};
  std::array<std::int16_t, 3> LastMeldTiles{};

  // Wall tiles the server showed at the hand's end and where they lie.
  std::uint8_t RevealCount = 0;
  std::array<std::int16_t, kRevealWallTiles> RevealTiles{};
  std::array<std::int16_t, kRevealWallTiles> RevealPos{};

  // The snapshot of a hand under way.
  std::array<std::int16_t, 4> SnapDiscardCount{};
  std::int16_t SnapFront = 0;
  std::int16_t SnapBack = 0;
  std::int16_t SnapWallOffset = 0;
  // A snapshot's first record came and its fourth has not: the wall controls
  // after MJPOINT are being handed out, so nothing else may take wall tiles.
  bool SnapshotOpen = false;

  // The dice animation's random faces; seeded from the clock at first use
  // unless a test seeded it first.
  std::mt19937 DiceRandom;
  bool DiceSeeded = false;
};

}  // namespace tavren
