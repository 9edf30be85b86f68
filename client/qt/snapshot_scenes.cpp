#include "qt/snapshot_scenes.h"

#include <QPainter>
#include <cmath>

#include "core/client.h"
#include "qt/scene_painter.h"
#include "view/access.h"
#include "view/melds.h"
#include "view/motion.h"
#include "view/seats.h"

namespace tavren::qt {

namespace {

// The user sits at seat 1; sides 1, 2, 3 are seats 8, 4, 2.
constexpr std::uint8_t kSeat[4] = {1, 8, 4, 2};

void SeatPlayers(Client& c) {
  const char* names[4] = {"我自己", "左家老李", "对家小王", "右家阿梅"};
  for (int s = 0; s < 4; ++s) {
    const auto i = static_cast<std::size_t>(s);
    c.table.custom[i].seat = kSeat[s];
    c.table.custom[i].name = names[s];
    c.view.Nid[i].caption = names[s];
    c.view.Cash[i].caption = "金币: " + std::to_string(5000 + 731 * s);
    c.view.Level[i].caption = s % 2 ? "等级: 雀圣" : "等级: 雀士";
    c.view.Tou[i].picture = c.view.pics.PortraitPics[static_cast<std::size_t>(s * 5)];
  }
  c.view.Location.caption = "Qixo山庄 第3桌";
  SetSysmsg(c, 0, "连接服务器成功！");
  SetSysmsg(c, 1, "三片起胡,吃牌上听");
}

void ShowWall(Client& c) {
  for (int i = 0; i < kWallTiles; ++i) setTileImage(c, i, 36 * (i / 36) + 8);
}

// A hand starts: the dealer is the user, the draw begins in the top side's wall.
void NewHand(Client& c) {
  ResetHandRecords(c);
  SeatPlayers(c);
  ShowWall(c);
  c.table.MJPOINT = 76;
  c.table.MJFIRST = 74;
  c.table.custom[0].isDealer = true;
  c.view.Zhuang.caption = SeatName(0);
  c.view.Host.visible = true;
}

using Tiles = std::array<std::int16_t, 12>;

// The deal: two batches of six to every side, then one more each and the dealer's 14th.
void Deal(Client& c) {
  const Tiles own = {0x11, 0x11, 0x21, 0x22, 0x23, 0x45, 0x46, 0x47, 0x81, 0x82, 0x89, 0x15};
  for (int batch = 0; batch < 2; ++batch)
    for (int side = 0; side < 4; ++side) {
      Tiles t{};
      for (int i = 0; i < 6; ++i)
        t[static_cast<std::size_t>(i)] = own[static_cast<std::size_t>(6 * batch + i)];
      takeWallTiles(c, kSeat[side], 6, t, false);
    }
  const std::int16_t singles[5] = {0x16, 0x29, 0, 0x17, 0x88};
  for (int side = 0; side < 4; ++side) {
    Tiles t{};
    t[3] = side == 0 ? singles[0] : 0;
    takeWallTiles(c, kSeat[side], 1, t, false);
  }
  Tiles last{};
  last[3] = singles[4];
  takeWallTiles(c, kSeat[0], 1, last, false);
}

void ShowWildTile(Client& c, int shown, int wild) {
  c.table.WildShownCode = static_cast<std::int16_t>(shown);
  c.table.WildTileCode = static_cast<std::int16_t>(wild);
  c.view.QX_Image.picture = c.view.pics.TilePics[static_cast<std::size_t>(*TilePicIndex(4, wild))];
  c.view.QX_Image.visible = true;
  BringToFront(c.view, c.view.QX_Image);
}

// The user throws the last tile of the row: as the hand input does, the tile
// lies face up in the middle of the table until the next side draws.
void OwnDiscard(Client& c, int) {
  HandRecord& h = c.table.custom[0];
  const TileSlot& slot = Slot(h, h.first + h.count - 1);
  const int ind = slot.ind;
  const int tile = slot.value;
  ShowFace(c, ind, 0, tile);
  Control& k = Tile(c, ind);
  k.w = SX(c, 36);
  k.h = SY(c, 50);
  k.x = (c.view.pic1W - k.w) / 2;
  k.y = (c.view.pic1H - k.h) / 2;
  SendToBack(c.view, k);
  --h.count;
  c.table.LastDiscardInd = static_cast<std::int16_t>(ind);
  showDiscard(c, kSeat[0], tile);
}

void Draw(Client& c, int side, int tile) {
  Tiles t{};
  t[3] = static_cast<std::int16_t>(tile);
  takeWallTiles(c, kSeat[side], 1, t, false);
}

// A round of play: every side draws and discards, in turn: the user, then the
// right, the top and the left side.
void Round(Client& c, const std::array<int, 4>& discards) {
  for (int side : {0, 3, 2, 1}) {
    if (side != 0) Draw(c, side, 0);
    if (side == 0)
      OwnDiscard(c, discards[0]);
    else
      showDiscard(c, kSeat[side], discards[static_cast<std::size_t>(side)]);
  }
  Draw(c, 0, 0x27);
}

void MidHand(Client& c) {
  NewHand(c);
  Deal(c);
  ShowWildTile(c, 0x84, 0x85);
  const std::array<std::array<int, 4>, 6> rounds = {{{0x89, 0x13, 0x49, 0x12},
                                                     {0x27, 0x24, 0x14, 0x87},
                                                     {0x82, 0x41, 0x29, 0x17},
                                                     {0x46, 0x21, 0x16, 0x44},
                                                     {0x47, 0x86, 0x28, 0x11},
                                                     {0x23, 0x42, 0x83, 0x25}}};
  for (const auto& r : rounds) Round(c, r);
  // Melds of every kind: a chi on the left, a peng and an added kong at the top,
  // an exposed kong and a concealed kong on the right.
  const std::array<std::int16_t, 3> chi = {0x43, 0x44, 0x45}, peng = {0x18, 0x18, 0x18};
  showDiscard(c, kSeat[2], 0x44);
  showClaim(c, 4, kSeat[1], chi);
  showDiscard(c, kSeat[1], 0x18);
  showClaim(c, 8, kSeat[2], peng);
  showDiscard(c, kSeat[2], 0x26);
  const std::array<std::int16_t, 3> kong = {0x26, 0x26, 0x26}, hidden = {0x19, 0x19, 0x19};
  showClaim(c, 16, kSeat[3], kong);
  Draw(c, 3, 0);
  showClaim(c, 32, kSeat[3], hidden);
  Draw(c, 3, 0);
  showDiscard(c, kSeat[3], 0x48);
  // Flowers on every side.
  for (int side = 0; side < 4; ++side)
    for (int f = 0; f <= side % 3; ++f) {
      showFlower(c, side, 1 + (side * 3 + f) % 8);
      ++Hand(c, side).flowers;
    }
  // The user's own peng of the discard on show.
  SetSysmsg(c, 0, "轮到您出牌");
  c.view.Time_Img.visible = true;
  c.view.Number.caption = "7";
  c.view.Number.visible = true;
}

void Reveal(Client& c) {
  MidHand(c);
  const std::int16_t hands[4][16] = {
      {},
      {0x21, 0x22, 0x23, 0x15, 0x15, 0x15, 0x81, 0x82, 0x83, 0x49},
      {0x41, 0x42, 0x43, 0x84, 0x84, 0x86, 0x87, 0x88, 0x12, 0x12, 0x12},
      {0x24, 0x25, 0x26, 0x11, 0x11, 0x11, 0x89}};
  for (int side = 1; side < 4; ++side)
    for (int part = 0; part < 4; ++part) {
      std::array<std::int16_t, 4> v{};
      for (int i = 0; i < 4; ++i) v[static_cast<std::size_t>(i)] = hands[side][4 * part + i];
      revealHand(c, kSeat[side], v);
    }
  SetSysmsg(c, 0, "对家小王 自摸 胡牌！");
}

void Watched(Client& c) {
  c.table.Watching = true;
  NewHand(c);
  const std::int16_t codes[4][14] = {
      {0x11, 0x12, 0x21, 0x22, 0x23, 0x45, 0x46, 0x47, 0x81, 0x82, 0x89, 0x15, 0x16, 0x17},
      {0x13, 0x14, 0x24, 0x25, 0x26, 0x41, 0x42, 0x43, 0x83, 0x84, 0x85, 0x16, 0x17},
      {0x15, 0x16, 0x27, 0x28, 0x29, 0x44, 0x45, 0x46, 0x86, 0x87, 0x88, 0x11, 0x12},
      {0x17, 0x11, 0x21, 0x24, 0x27, 0x47, 0x48, 0x49, 0x81, 0x84, 0x87, 0x13, 0x14}};
  for (int batch = 0; batch < 2; ++batch)
    for (int side = 0; side < 4; ++side) {
      std::array<std::int16_t, 6> t{};
      for (int i = 0; i < 6; ++i) t[static_cast<std::size_t>(i)] = codes[side][6 * batch + i];
      takeWallTilesWatching(c, kSeat[side], 6, t);
    }
  for (int side = 0; side < 4; ++side) {
    std::array<std::int16_t, 4> t{0, 0, 0, codes[side][12]};
    takeWallTilesWatching(c, kSeat[side], 1, t);
  }
  ShowWildTile(c, 0x84, 0x85);
  for (int round = 0; round < 5; ++round)
    for (int side = 0; side < 4; ++side) {
      std::array<std::int16_t, 4> t{0, 0, 0,
                                    static_cast<std::int16_t>(0x21 + (round * 4 + side) % 9)};
      takeWallTilesWatching(c, kSeat[side], 1, t);
      showDiscardWatching(c, kSeat[side], 0x41 + (round + side * 2) % 9);
    }
  const std::array<std::int16_t, 3> peng = {0x15, 0x15, 0x15};
  showClaimWatching(c, 8, kSeat[1], peng);
  SetSysmsg(c, 0, "旁观中");
}

}  // namespace

const std::vector<SnapshotScene>& SnapshotScenes() {
  static const std::vector<SnapshotScene> scenes = {
      {"1-after-deal",
       [](Client& c) {
         NewHand(c);
         Deal(c);
         ShowWildTile(c, 0x84, 0x85);
       }},
      {"2-mid-hand", MidHand},
      {"3-reveal", Reveal},
      {"4-watching", Watched},
  };
  return scenes;
}

QImage RenderWindow(Client& c, double density) {
  const MainForm& f = c.view;
  QImage img(static_cast<int>(std::lround(f.windowW * density)),
             static_cast<int>(std::lround(f.windowH * density)),
             QImage::Format_ARGB32_Premultiplied);
  img.setDevicePixelRatio(density);
  img.fill(Qt::black);
  QPainter p(&img);
  if (f.skinned) {
    const QPixmap skin = ChromePicture(QStringLiteral("skin"), density);
    p.drawPixmap(QRectF(0, 0, f.windowW, f.windowH), skin, QRectF(skin.rect()));
  }
  p.translate(f.pic1X, f.pic1Y);
  ScenePainter painter;
  painter.paint(p, f);
  return img;
}

}  // namespace tavren::qt
