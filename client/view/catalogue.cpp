#include "view/catalogue.h"

#include <algorithm>
#include <vector>

namespace tavren {

namespace {

// Face index of a tile code: 9 x suit index + rank - 1, or -1 when the code names no face.
// A local copy until the table model's FaceIndex can be used here.
int faceIndexOf(int tileCode) {
  if (tileCode < 0 || tileCode > 0xFF) return -1;
  const int suitBit = tileCode >> 4;
  const int rank = tileCode & 0x0F;
  int suit = -1;
  switch (suitBit) {
    case 1:
      suit = 0;
      break;
    case 2:
      suit = 1;
      break;
    case 4:
      suit = 2;
      break;
    case 8:
      suit = 3;
      break;
    default:
      return -1;
  }
  const int maxRank = suit == 0 ? 7 : 9;
  if (rank < 1 || rank > maxRank) return -1;
  return 9 * suit + rank - 1;
}

struct SizeRange {
  int first;
  int last;
  PicSize size;
};

// The catalogue: each run of ids with one size. Ids not covered are gaps.
constexpr SizeRange kRanges[] = {
    {101, 102, {48, 30}},    // send button
    {103, 120, {55, 31}},    // control bar, large
    {123, 125, {82, 80}},    // logo, level badges
    {126, 129, {77, 77}},    // compass
    {130, 133, {70, 29}},    // confirm, cancel
    {134, 137, {64, 26}},    // sound switches
    {141, 155, {50, 71}},    // operation buttons
    {161, 166, {50, 56}},    // dice faces
    {167, 176, {50, 50}},    // tumbling dice
    {183, 183, {80, 72}},    // 吃
    {184, 184, {80, 72}},    // 碰
    {185, 185, {80, 72}},    // 杠
    {186, 186, {130, 72}},   // 暗杠
    {187, 187, {170, 72}},   // 红中杠
    {188, 188, {170, 72}},   // Qixo杠
    {189, 189, {130, 72}},   // 开杠
    {190, 190, {80, 72}},    // 胡
    {191, 200, {85, 90}},    // portraits
    {201, 236, {50, 58}},    // tiles, orientation 0
    {237, 272, {59, 46}},    // orientation 1
    {273, 308, {34, 37}},    // orientation 2
    {309, 344, {59, 46}},    // orientation 3
    {345, 380, {50, 77}},    // orientation 4
    {381, 398, {43, 24}},    // control bar, small
    {401, 410, {85, 90}},    // portraits
    {411, 414, {55, 31}},    // hold / give up
    {415, 420, {131, 102}},  // bubbles 扣牌, 跟庄
    {421, 421, {50, 77}},    // wild tile, standing
    {422, 422, {50, 58}},    // wild tile, orientations 0..3
    {423, 423, {59, 46}},   {424, 424, {34, 37}},
    {425, 425, {59, 46}},   {426, 443, {131, 102}},  // bubbles
    {444, 444, {59, 46}},                            // wild tile, one more lying picture
    {445, 452, {50, 58}},                            // flowers, orientation 0
    {453, 460, {59, 46}},   {461, 468, {34, 37}},
    {469, 476, {59, 46}},   {477, 484, {50, 77}},
};

std::vector<int> makeIds() {
  std::vector<int> ids;
  for (const auto& r : kRanges)
    for (int id = r.first; id <= r.last; ++id) ids.push_back(id);
  std::sort(ids.begin(), ids.end());
  return ids;
}

}  // namespace

void buildImageIdTables(PictureTables& t, float scaleX) {
  const bool large = scaleX == 1.0f;
  for (int i = 0; i < 20; ++i) t.ButtonPics[i] = i < 2 ? 101 + i : (large ? 101 + i : 379 + i);
  for (int i = 0; i < 3; ++i) t.BadgePics[i] = 123 + i;
  for (int i = 0; i < 180; ++i) t.TilePics[i] = 201 + i;
  for (int o = 0; o < 4; ++o) t.TilePics[180 + o] = 422 + o;
  t.TilePics[184] = 421;
  for (int i = 0; i < 18; ++i) t.ClaimButtonPics[i] = 141 + i;
  for (int i = 0; i < 16; ++i) t.DicePics[i] = 161 + i;
  for (int i = 0; i < 8; ++i) t.ClaimWordPics[i] = 183 + i;
  for (int i = 0; i < 20; ++i) t.PortraitPics[i] = i < 10 ? 191 + i : 391 + i;
  for (int i = 0; i < 8; ++i) t.DialogButtonPics[i] = 130 + i;
  for (int i = 0; i < 4; ++i) t.CompassPics[i] = 126 + i;
  for (int i = 0; i < 3; ++i) t.HoldBubblePics[i] = 415 + i;
  for (int i = 0; i < 3; ++i) t.FollowBubblePics[i] = 418 + i;
  for (int i = 0; i < 4; ++i) t.ChoiceButtonPics[i] = 411 + i;
}

Scale ScaleForScreen(int widthPx, int heightPx) {
  if (widthPx >= 1024 && heightPx >= 768) return {1.0f, 1.0f};
  return {800.0f / 1024.0f, 600.0f / 768.0f};
}

std::optional<int> TilePicIndex(int orientation, int tileCode) {
  if (orientation < 0 || orientation > 4) return std::nullopt;
  if (tileCode == kWildTileCode) return orientation == 4 ? 184 : 180 + orientation;
  const int face = faceIndexOf(tileCode);
  if (face < 0) return std::nullopt;
  return 36 * orientation + face;
}

std::optional<int> TileBackIndex(int orientation, bool standing) {
  if (orientation < 0 || orientation > 4) return std::nullopt;
  return 36 * orientation + (standing ? kStandingBackPosition : kLyingBackPosition);
}

std::optional<int> FlowerPicId(int orientation, int flower) {
  if (orientation < 0 || orientation > 4 || flower < 1 || flower > 8) return std::nullopt;
  return 444 + 8 * orientation + flower;
}

std::optional<PicSize> PictureSize(int id) {
  for (const auto& r : kRanges)
    if (id >= r.first && id <= r.last) return r.size;
  return std::nullopt;
}

std::span<const int> CatalogueIds() {
  static const std::vector<int> ids = makeIds();
  return ids;
}

}  // namespace tavren
