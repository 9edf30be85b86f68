// What the hand-end instructions keep between frames: the counts of the
// per-seat result and settlement records, the settlement rows, the waiting
// players, a watcher's first player records and the voices handed out.
#pragma once

#include <array>
#include <cstdint>
#include <random>

#include "link/codec.h"
#include "table/tiles.h"

namespace tavren {

inline constexpr int kSettleRows = 103;
inline constexpr int kVoicesMale = 6;    // sex 0
inline constexpr int kVoicesFemale = 5;  // sex 1

struct HandEndState {
  std::int16_t ResultCount = 0;  // instruction-9 records of this hand
  std::int16_t SettleCount = 0;  // instruction-17 records of this hand
  // Settlement rows by side: 0 stake, 1 currency, 2..102 the frame's bytes 16..116.
  std::array<std::array<std::int16_t, kSettleRows>, kSides> SettleTable{};

  std::int16_t WaitingCount = 0;  // player records of players not yet seated
  // A watcher's first four player records, kept whole until all have come.
  std::array<Frame, kSides> WatchBuffer{};

  std::array<bool, kVoicesMale> VoiceTaken0{};
  std::array<bool, kVoicesFemale> VoiceTaken1{};
  std::mt19937 VoiceRandom;
  bool VoiceSeeded = false;

  // The portrait of the last record whose face code could be read.
  int LastPortrait = 0;
};

}  // namespace tavren
