#include "qt/snapshot_scenes.h"

#include <QPainter>

#include "core/client.h"
#include "qt/scene_painter.h"

namespace tavren::qt {

void LayOutTable(Client& c) {
  layoutMainWindow(c);
  buildImageIdTables(c);
  layoutPlayerPanels(c);
  layoutTableWidgets(c);
  clearTableModel(c);
  resetTableView(c);
  ShowMainWindow(c);
}

namespace {

void SeatPlayers(Client& c) {
  const char* names[4] = {"我自己", "左家老李", "对家小王", "右家阿梅"};
  for (int s = 0; s < 4; ++s) {
    const auto i = static_cast<std::size_t>(s);
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

}  // namespace

const std::vector<SnapshotScene>& SnapshotScenes() {
  static const std::vector<SnapshotScene> scenes = {
      {"table-empty", [](Client& c) { SeatPlayers(c); }},
      {"table-wall",
       [](Client& c) {
         SeatPlayers(c);
         ShowWall(c);
       }},
  };
  return scenes;
}

QImage RenderWindow(Client& c) {
  const MainForm& f = c.view;
  QImage img(f.windowW, f.windowH, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::black);
  QPainter p(&img);
  if (f.skinned) {
    const QPixmap skin(QStringLiteral(":/pics/skin.png"));
    p.drawPixmap(img.rect(), skin);
  }
  p.translate(f.pic1X, f.pic1Y);
  ScenePainter painter;
  painter.paint(p, f);
  return img;
}

}  // namespace tavren::qt
