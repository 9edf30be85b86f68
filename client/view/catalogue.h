#pragma once
// The picture catalogue: ids 101..484 of the built-in pictures, their sizes, the
// picture-id tables filled at start-up and the rule that turns a tile into a picture.

#include <array>
#include <optional>
#include <span>

namespace tavren {

// Every picture load goes through one of these tables (or a fixed id).
struct PictureTables {
  std::array<int, 20> ButtonPics{};       // control bar; entries 2.. follow the scale
  std::array<int, 3> BadgePics{};         // logo, level down, level up
  std::array<int, 185> TilePics{};        // 36 per orientation 0..4, then the wild tile
  std::array<int, 18> ClaimButtonPics{};  // 吃 碰 杠 胡 过 x grey/yellow/red (0..14 exist)
  std::array<int, 16> DicePics{};         // faces 1..6, then ten tumbling frames
  std::array<int, 8> ClaimWordPics{};     // 吃 碰 杠 暗杠 红中杠 Qixo杠 开杠 胡
  std::array<int, 20> PortraitPics{};     // 0..9 men, 10..19 women
  std::array<int, 8>
      DialogButtonPics{};  // 确定 取消 (normal, highlighted), 关闭 开启 普通话 Tavren话
  std::array<int, 4> CompassPics{};       // by the user's absolute seat index
  std::array<int, 3> HoldBubblePics{};    // 扣牌, one per side 1..3
  std::array<int, 3> FollowBubblePics{};  // 跟庄, one per side 1..3
  std::array<int, 4> ChoiceButtonPics{};  // 扣牌, 放弃 (normal, highlighted)
};

// Fills every table; scaleX picks the large (exactly 1.0) or the small control-bar set.
void buildImageIdTables(PictureTables& tables, float scaleX);

struct Scale {
  float x;
  float y;
};

// 1.0 on a screen of at least 1024 x 768 pixels, 0.78125 in both directions otherwise.
Scale ScaleForScreen(int widthPx, int heightPx);

// Orientations of the tile pictures.
inline constexpr int kLyingOwn = 0;     // lying in front of the user
inline constexpr int kLeftSide = 1;     // side 1
inline constexpr int kTopSide = 2;      // side 2
inline constexpr int kRightSide = 3;    // side 3
inline constexpr int kStandingOwn = 4;  // the user's standing hand

inline constexpr int kWildTileCode = 5;
inline constexpr int kStandingBackPosition = 7;
inline constexpr int kLyingBackPosition = 8;

// Index into PictureTables::TilePics for a tile code in an orientation 0..4: 36 x o + face,
// or the wild tile's own entries (180 + o, 184 standing) for code 5. Nothing for an
// orientation or a code that names no tile face (flowers have their own pictures).
std::optional<int> TilePicIndex(int orientation, int tileCode);

// Index into TilePics of a back: the standing back (36 x o + 7) or the lying back (+ 8).
std::optional<int> TileBackIndex(int orientation, bool standing);

// Picture id of flower 1..8 in orientation 0..4 (444 + 8 x o + flower); nothing otherwise.
std::optional<int> FlowerPicId(int orientation, int flower);

struct PicSize {
  int w;
  int h;
  bool operator==(const PicSize&) const = default;
};

// The size of a catalogue picture; nothing for an id in a gap or outside 101..484.
std::optional<PicSize> PictureSize(int id);

// Every catalogue id, ascending.
std::span<const int> CatalogueIds();

}  // namespace tavren
