// Tiles as the server keeps them: a face index 0..33 for the 136 suited and
// honour tiles, flowers 1..8 apart. Wire codes (suit bit in the high nibble,
// rank in the low nibble) are made only at the edge, by the frame builders.
#pragma once

#include <array>
#include <cstdint>

namespace tavren::server {

// Face index: 0..6 honours 東 南 西 北 中 發 白, 7..15 条 1-9, 16..24 萬 1-9, 25..33 筒 1-9.
inline constexpr int kFaces = 34;
inline constexpr int kHonourFaces = 7;
inline constexpr int kRed = 4;  // 中
// Physical tiles: 4 of each face plus 8 flowers.
inline constexpr int kWallSize = 144;
inline constexpr int kFlowers = 8;

// A wall tile: 0..33 a face, 34..41 flower 1..8.
using Tile = std::uint8_t;
inline constexpr Tile kFirstFlowerTile = 34;
inline constexpr Tile kNoTile = 255;

constexpr bool isFlower(Tile t) {
  return t >= kFirstFlowerTile && t < kFirstFlowerTile + kFlowers;
}
constexpr int flowerNumber(Tile t) {
  return t - kFirstFlowerTile + 1;
}
constexpr bool isHonour(int face) {
  return face < kHonourFaces;
}
// Suit group 0 honours, 1 条, 2 萬, 3 筒.
constexpr int groupOf(int face) {
  return face < kHonourFaces ? 0 : 1 + (face - kHonourFaces) / 9;
}
// Rank 1..9 (honours 1..7).
constexpr int rankOf(int face) {
  return face < kHonourFaces ? face + 1 : (face - kHonourFaces) % 9 + 1;
}
constexpr int faceOf(int group, int rank) {
  return group == 0 ? rank - 1 : kHonourFaces + (group - 1) * 9 + rank - 1;
}
constexpr bool isTerminalOrHonour(int face) {
  return isHonour(face) || rankOf(face) == 1 || rankOf(face) == 9;
}

// Wire code of a face: 0x11..0x17 honours, 0x21.. 条, 0x41.. 萬, 0x81.. 筒.
constexpr std::uint8_t wireCode(int face) {
  return static_cast<std::uint8_t>(((1 << groupOf(face)) << 4) | rankOf(face));
}
// Face of a wire code, or -1 when the code names no face.
constexpr int faceOfCode(int code) {
  int suit = (code >> 4) & 0xF, rank = code & 0xF;
  int group = suit == 1 ? 0 : suit == 2 ? 1 : suit == 4 ? 2 : suit == 8 ? 3 : -1;
  if (group < 0 || rank < 1 || rank > (group == 0 ? 7 : 9)) return -1;
  return faceOf(group, rank);
}

// The wild face follows the tile turned up: the next rank in a suit (9 wraps to 1),
// the next wind (北 wraps to 東), the next dragon (白 wraps to 中).
constexpr int wildFaceAfter(int shown) {
  if (shown < 4) return (shown + 1) % 4;
  if (shown < kHonourFaces) return 4 + (shown - 4 + 1) % 3;
  int g = groupOf(shown), r = rankOf(shown);
  return faceOf(g, r % 9 + 1);
}

// Counts of a concealed hand: plain faces plus the wild tiles it holds.
struct Counts {
  std::array<std::uint8_t, kFaces> c{};
  int wilds = 0;
  int total() const {
    int n = wilds;
    for (auto v : c) n += v;
    return n;
  }
  bool operator==(const Counts&) const = default;
};

}  // namespace tavren::server
