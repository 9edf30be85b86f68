// Start-up layout of the window and the table, the step sets, and the two
// halves of a table reset.
#include <algorithm>
#include <cmath>

#include "chat/chat.h"
#include "core/client.h"
#include "view/access.h"
#include "view/scene.h"

namespace tavren {

namespace {

struct StepSet {
  int w[4], h[4];
};
constexpr StepSet kStanding{{48, 35, 36, 35}, {78, 66, 50, 66}};
constexpr StepSet kLying{{36, 48, 30, 48}, {50, 35, 36, 35}};
constexpr StepSet kMeld{{45, 45, 34, 45}, {60, 35, 40, 35}};
constexpr StepSet kReveal{{48, 45, 36, 45}, {60, 35, 39, 35}};

// Seat anchors of a new hand: standing row and discard area.
struct Anchor {
  int handX, handY, discardX, discardY;
};
constexpr Anchor kAnchors[4] = {
    {19, 564, 358, 438}, {163, 192, 287, 238}, {842, 122, 635, 238}, {942, 560, 758, 438}};

// The wall: column 0 layer 0 of each side, the layer step and the column step.
struct WallSide {
  int x, y, layerDy, columnDx, columnDy;
};
constexpr WallSide kWall[4] = {
    {699, 476, 22, -36, 0}, {178, 425, 20, 4, -15}, {342, 192, 16, 30, 0}, {765, 244, 20, 4, 15}};

// Set-aside columns: side, size, slot 0 and the step down.
struct AsideColumn {
  int w, h, x, y, step;
};
constexpr AsideColumn kAside[8] = {
    {45, 60, 47, 497, 22}, {45, 60, 2, 497, 22},  {45, 35, 166, 133, 18}, {45, 35, 172, 115, 18},
    {34, 40, 849, 74, 16}, {34, 40, 815, 74, 16}, {45, 35, 950, 564, 18}, {45, 35, 944, 545, 18}};

void Show(Client&, Control& k, bool visible) {
  k.visible = visible;
}

}  // namespace

static const StepSet& StepsOf(Steps set) {
  return set == Steps::Standing ? kStanding
         : set == Steps::Lying  ? kLying
         : set == Steps::Meld   ? kMeld
                                : kReveal;
}

void LoadSteps(Client& c, Steps set) {
  for (int i = 0; i < 4; ++i)
    StepSize(c, set, i, c.view.TileStepX[static_cast<std::size_t>(i)],
             c.view.TileStepY[static_cast<std::size_t>(i)]);
}

void StepSize(const Client& c, Steps set, int side, int& w, int& h) {
  const StepSet& s = StepsOf(set);
  const int i = std::clamp(side, 0, 3);
  w = SX(c, s.w[i]);
  h = SY(c, s.h[i]);
}

void layoutMainWindow(Client& c) {
  MainForm& f = c.view;
  const PixelSize screen = c.platform.screenSize();
  // Each direction on its own: a larger screen gets the framed window, a
  // smaller one a window of the screen's size with the table filling it.
  if (screen.h > 768) {
    f.windowH = 796;
    f.pic1Y = 20;
    f.pic1H = 768;
  } else {
    f.windowH = screen.h;
    f.pic1Y = 0;
    f.pic1H = screen.h;
  }
  if (screen.w > 1024) {
    f.windowW = 1040;
    f.pic1X = 8;
    f.pic1W = 1024;
  } else {
    f.windowW = screen.w;
    f.pic1X = 0;
    f.pic1W = screen.w;
  }
  f.skinned = screen.h > 768 || screen.w > 1024;
  const Scale scale = ScaleForScreen(screen.w, screen.h);
  f.ScaleX = scale.x;
  f.ScaleY = scale.y;
}

void buildImageIdTables(Client& c) {
  tavren::buildImageIdTables(c.view.pics, c.view.ScaleX);
}

void layoutPlayerPanels(Client& c) {
  MainForm& f = c.view;
  Place(c, f.Qixo, 912, 96, 80, 124);
  f.Qixo.picture = kPicWildFrame;
  Show(c, f.Qixo, true);
  if (f.ScaleX >= 1)
    Place(c, f.imgCircle, 936, 144, 30, 46);
  else
    Place(c, f.imgCircle, 942, 154, 30, 46);
  Place(c, f.Label3, 914, 160, 76, 16);
  // The call's count ("1头") is read on the dark frame of the wild tile.
  f.Label3.color = kLabelGold;
  Show(c, f.imgCircle, true);
  Show(c, f.Label3, true);
  // The wild tile sits in the frame's window, at its own unscaled size.
  f.QX_Image.x = f.Qixo.x + 20;
  f.QX_Image.y = f.Qixo.y + 59;
  f.QX_Image.w = 36;
  f.QX_Image.h = 56;
  BringToFront(f, f.QX_Image);
  Show(c, f.QX_Image, false);

  Place(c, f.Tou[0], 10, 666, 85, 90);
  const int touX[4] = {10, 7, 350, 693};
  for (int i = 1; i < 4; ++i) Place(c, f.Tou[static_cast<std::size_t>(i)], touX[i], 15, 70, 62);
  for (Control& t : f.Tou) Show(c, t, true);

  for (int i = 0; i < 9; ++i) {
    Control& b = f.AnNiu[static_cast<std::size_t>(i)];
    b.picture = ButtonPicture(c, i < 3 ? 2 * i : 2 * i + 2);
    Show(c, b, true);
  }
  Place(c, f.AnNiu[0], 573, 730, 50, 30);
  for (int i = 1; i < 9; ++i) {
    const int col = i < 5 ? i - 1 : i - 5;
    Place(c, f.AnNiu[static_cast<std::size_t>(i)], 648 + 70 * col, i < 5 ? 699 : 731, 60, 30);
  }

  const int panelX[4] = {181, 165, 509, 852};
  for (int s = 0; s < 4; ++s) {
    const auto i = static_cast<std::size_t>(s);
    const int w = s == 0 ? 125 : 150;
    if (s == 0) {
      Place(c, f.Nid[i], panelX[s], 700, w, 20);
      Place(c, f.Cash[i], panelX[s], 724, w, 18);
      Place(c, f.Level[i], panelX[s], 744, w, 18);
    } else {
      Place(c, f.Nid[i], panelX[s], 15, w, 22);
      Place(c, f.Cash[i], panelX[s], 40, w, 20);
      Place(c, f.Level[i], panelX[s], 64, w, 20);
    }
    for (Control* k : {&f.Nid[i], &f.Cash[i], &f.Level[i]}) {
      k->color = kWhite;
      Show(c, *k, true);
    }
    f.Nid[i].fontSize = 11;
    if (f.ScaleX < 1) {
      f.Cash[i].fontSize = 8;
      f.Level[i].fontSize = 8;
    }
  }
  Place(c, f.Location, 760, 668, 260, 20);
  f.Location.color = kWhite;
  if (f.ScaleX < 1) f.Location.fontSize = 10;
  Place(c, f.imgword1, 640, 659, 57, 13);
  Place(c, f.imgword2, 640, 675, 57, 13);
  f.imgword1.picture = kPicPhrases1;
  f.imgword2.picture = kPicPhrases2;
  Place(c, f.imgLocation, 632, 654, 394, 39);
  for (Control* k : {&f.Location, &f.imgword1, &f.imgword2, &f.imgLocation}) Show(c, *k, true);

  const int okX[4] = {460, 60, 460, 900}, okY[4] = {610, 280, 88, 280};
  for (int s = 0; s < 4; ++s) {
    Control& ok = f.OK[static_cast<std::size_t>(s)];
    Place(c, ok, okX[s], okY[s], 40, 40);
    ok.picture = kPicReady;
    Show(c, ok, false);
  }
}

void layoutTableWidgets(Client& c) {
  MainForm& f = c.view;
  Show(c, f.ZhiNan, false);
  Place(c, f.ZhiNan, 473, 300, 77, 77);
  f.Time_Img.x = f.Qixo.x;
  f.Time_Img.y = f.Qixo.y + f.Qixo.h;
  f.Time_Img.w = SX(c, 81);
  f.Time_Img.h = SY(c, 38);
  f.Time_Img.picture = kPicCountdown;
  f.Number.x = f.Time_Img.x + SX(c, 48) + (f.ScaleX < 1 ? 2 : 0);
  f.Number.y = f.Time_Img.y + SY(c, 5);
  f.Number.w = SX(c, 24);
  f.Number.h = SY(c, 24);
  f.Number.fontSize = f.ScaleX < 1 ? 12 : 14;
  f.Number.color = kGreen;

  Place(c, f.Operation[0], 358, 461, 50, 71);
  for (int i = 0; i < 5; ++i) {
    Control& op = f.Operation[static_cast<std::size_t>(i)];
    if (i > 0) {
      const Control& prev = f.Operation[static_cast<std::size_t>(i - 1)];
      op.x = prev.x + prev.w;
      op.y = f.Operation[0].y;
      op.w = SX(c, 50);
      op.h = SY(c, 71);
    }
    op.picture = f.pics.ClaimButtonPics[static_cast<std::size_t>(3 * i)];
    op.enabled = false;
    Show(c, op, false);
  }
  for (Control& k : f.imgCaiShen) Show(c, k, false);
  for (std::size_t i = 0; i < f.SZ_Image.size(); ++i) f.SZ_Image[i].picture = f.pics.DicePics[i];

  for (int line = 0; line < 2; ++line) {
    Control& box = f.SysmsgBox[static_cast<std::size_t>(line)];
    if (f.ScaleX >= 1) {
      box.h = 13;
      box.y = 696 + 13 * line;
    } else {
      box.h = static_cast<int>((26 * f.ScaleY + 4) / 2);
      box.y = static_cast<int>(696 * f.ScaleY - 2) + box.h * line;
    }
    box.x = SX(c, 312);
    box.w = SX(c, 281);
    box.color = kWhite;
    box.fontSize = 10;
    Show(c, box, true);
  }
  // The chat window's label beside the message lines, in two lines of one character.
  Place(c, f.Lbchat, 594, 694, 25, 33);
  f.Lbchat.caption = "聊\n天";
  f.Lbchat.color = kLabelGold;
  Show(c, f.Lbchat, true);
  Place(c, f.Chat, 318, 729, 244, 18);
  Show(c, f.Chat, true);
  Place(c, f.Bird, 936, 680, 82, 80);
  f.Bird.picture = f.pics.BadgePics[0];
  BringToFront(f, f.Bird);
  Show(c, f.Bird, true);
}

void LayOutTable(Client& c) {
  layoutMainWindow(c);
  buildImageIdTables(c);
  layoutPlayerPanels(c);
  layoutTableWidgets(c);
  clearTableModel(c);
  resetTableView(c);
  ResetHandRecords(c);
}

void clearTableModel(Client& c) {
  MainForm& f = c.view;
  LoadSteps(c, Steps::Lying);
  c.table.LastDiscardInd = -1;
  c.link.BlinkTile = -1;
  for (Control& k : f.MJ_Image) {
    k.visible = false;
    k.picture = 0;
  }
  for (HandRecord& h : c.table.custom)
    for (TileSlot& slot : h.mj) slot.value = 0;
  for (Control& op : f.Operation) {
    op.enabled = false;
    op.visible = false;
  }
  for (std::string& tag : c.table.PlayerTag) tag.clear();
  f.QX_Image.visible = false;
  if (!c.table.Watching) f.Zhuang.caption.clear();
}

void resetTableView(Client& c) {
  MainForm& f = c.view;
  for (Control& k : f.MJ_Image) k.visible = false;
  for (Control* k : {&f.Time_Img, &f.Number, &f.ZhiNan, &f.Host, &f.Zhuang, &f.Words})
    k->visible = false;
  for (Control& k : f.Operation) k.visible = false;
  for (Control& k : f.Speak) k.visible = false;
  for (Control& k : f.Chi) k.visible = false;
  for (Control& k : f.Gang) k.visible = false;
  HideTalk(c);

  // The wall: twelve columns of three per side, layer 0 in front.
  LoadSteps(c, Steps::Lying);
  for (int side = 0; side < 4; ++side) {
    const WallSide& w = kWall[side];
    const auto s = static_cast<std::size_t>(side);
    for (int n = 0; n < 12; ++n) {
      // Columns nearer the user's edge of the screen are stacked in front.
      const int col = side == 1 ? 11 - n : n;
      for (int layer = 2; layer >= 0; --layer) {
        Control& k = Tile(c, 36 * side + 3 * col + layer);
        k.x = SX(c, w.x + w.columnDx * col);
        k.y = SY(c, w.y + w.columnDy * col + w.layerDy * layer);
        k.w = f.TileStepX[s];
        k.h = f.TileStepY[s];
        BringToFront(f, k);
      }
    }
  }

  for (int side = 0; side < 4; ++side) {
    HandRecord& h = Hand(c, side);
    const Anchor& a = kAnchors[side];
    h.handX = static_cast<std::int16_t>(SX(c, a.handX));
    h.handY = static_cast<std::int16_t>(SY(c, a.handY));
    h.discardOriginX = h.discardX = static_cast<std::int16_t>(SX(c, a.discardX));
    h.discardOriginY = h.discardY = static_cast<std::int16_t>(SY(c, a.discardY));
  }
  // Side 3's discard stack starts again with its cursor.
  c.tableView.RightDiscardCount = 0;

  for (int g = 0; g < 8; ++g) {
    const AsideColumn& col = kAside[g];
    const int side = g / 2;
    for (int j = 0; j < 4; ++j) {
      Control& k = f.imgCaiShen[static_cast<std::size_t>(4 * g + j)];
      k.visible = false;
      Place(c, k, col.x, col.y + col.step * j, col.w, col.h);
      k.picture = 422 + side;
    }
  }
  f.imgCircle.picture = 0;
}

void resetLobbyView(Client& c) {
  MainForm& f = c.view;
  for (int s = 0; s < 4; ++s) {
    const auto i = static_cast<std::size_t>(s);
    f.Tou[i].picture = 0;
    f.Nid[i].caption.clear();
    f.Cash[i].caption.clear();
    f.Level[i].caption.clear();
    f.OK[i].visible = false;
  }
  for (Control& k : f.Speak) k.visible = false;
  for (Control& k : f.tsSpeak) k.visible = false;
  f.Words.visible = false;
  f.QX_Image.visible = false;
  f.Label3.caption.clear();
  f.imgCircle.picture = 0;
}

}  // namespace tavren
