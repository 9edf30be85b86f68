// Tile codes, seat bits and sides, and the small helpers every subsystem uses.
//
// A tile code is a 16-bit value: high nibble the suit bit (1 honours, 2 条,
// 4 萬, 8 筒), low nibble the rank; 0 is no tile, codes 1..8 are flowers, and
// code 5 stands for a wild (财神) tile in a hand.
#pragma once

#include <cstdint>
#include <string>

namespace tavren {

inline constexpr std::int16_t kNoTile = 0;
inline constexpr std::int16_t kWildCode = 5;
inline constexpr std::int16_t kMarkedWild = 0x105;  // code 5 with the slot marker bit

inline constexpr int kSides = 4;
inline constexpr int kSlots = 21;       // tile slots of a hand record
inline constexpr int kWallTiles = 144;  // wall positions and MJ_Image controls

// Number of right shifts until the value is at most 1: 0 and 1 give 0, 2 → 1,
// 4 → 2, 8 → 3, 255 → 7.
constexpr std::uint8_t BitIndex(std::uint8_t b) {
  std::uint8_t n = 0;
  while (b > 1) {
    b >>= 1;
    ++n;
  }
  return n;
}

// 2 to the power n by repeated doubling; n ≤ 0 gives 1. Results past 16 bits
// wrap as the 16-bit arithmetic does (never for the seat indices 0..3 used).
constexpr std::int16_t PowerOfTwo(int n) {
  std::uint16_t v = 1;
  for (int i = 0; i < n && i < 16; ++i) v = static_cast<std::uint16_t>(v * 2);
  return static_cast<std::int16_t>(v);
}

// The side (0 own, 1 left, 2 top, 3 right) of a seat bit, seen from `ownSeat`.
constexpr int SeatToSide(std::uint8_t ownSeat, std::uint8_t seat) {
  return (BitIndex(ownSeat) + 4 - BitIndex(seat)) & 3;
}

constexpr int SuitIndex(int code) {
  return BitIndex(static_cast<std::uint8_t>((code >> 4) & 0xF));
}
constexpr int TileRank(int code) {
  return code & 0xF;
}

// Orders tiles and picks their pictures: 9 × suit index + rank − 1. Flower
// codes must never come here (a flower 5 would map like 中).
constexpr int FaceIndex(int code) {
  return 9 * SuitIndex(code) + TileRank(code) - 1;
}

constexpr bool IsFlower(int code) {
  return code >= 1 && code <= 8;
}

// Appends blanks until the text is `width` characters long (UTF-8 aware);
// longer text comes back unchanged.
std::string PadRight(const std::string& text, int width);

// Number of characters (code points) of a UTF-8 text.
int CharCount(const std::string& utf8);

// The name character of absolute seat index 0..6 from "北西南东北西南".
std::string SeatName(int index);

}  // namespace tavren
