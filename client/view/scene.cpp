#include "view/scene.h"

#include <algorithm>
#include <cmath>

#include "core/client.h"
#include "view/access.h"

namespace tavren {

namespace {

template <std::size_t N>
void Name(std::array<Control, N>& arr, const char* name, ControlType type,
          std::vector<Control*>& order) {
  for (std::size_t i = 0; i < N; ++i) {
    arr[i].name = name;
    arr[i].index = static_cast<int>(i);
    arr[i].type = type;
    order.push_back(&arr[i]);
  }
}

void Name(Control& k, const char* name, ControlType type, std::vector<Control*>& order) {
  k.name = name;
  k.type = type;
  order.push_back(&k);
}

}  // namespace

MainForm::MainForm() {
  using T = ControlType;
  order.reserve(330);
  // Back to front as the window builds them: the wall first, widgets over it.
  Name(MJ_Image, "MJ_Image", T::Image, order);
  Name(imgCaiShen, "imgCaiShen", T::Image, order);
  Name(imgLocation, "imgLocation", T::Image, order);
  Name(imgword1, "imgword1", T::Image, order);
  Name(imgword2, "imgword2", T::Image, order);
  Name(Location, "Location", T::Label, order);
  Name(Tou, "Tou", T::Image, order);
  Name(Nid, "Nid", T::Label, order);
  Name(Cash, "Cash", T::Label, order);
  Name(Level, "Level", T::Label, order);
  Name(OK, "OK", T::Image, order);
  Name(AnNiu, "AnNiu", T::Image, order);
  Name(Operation, "Operation", T::Image, order);
  Name(Chi, "Chi", T::Image, order);
  Name(Gang, "Gang", T::Image, order);
  Name(SZ_Image, "SZ_Image", T::Image, order);
  Name(Sai_Image, "Sai_Image", T::Image, order);
  Name(Qixo, "Qixo", T::Image, order);
  Name(QX_Image, "QX_Image", T::Image, order);
  Name(imgCircle, "imgCircle", T::Image, order);
  Name(Label3, "Label3", T::Label, order);
  Name(ZhiNan, "ZhiNan", T::Image, order);
  Name(Time_Img, "Time_Img", T::Image, order);
  Name(Number, "Number", T::Label, order);
  Name(Host, "Host", T::Image, order);
  Name(Zhuang, "Zhuang", T::Label, order);
  Name(Lbchat, "Lbchat", T::Label, order);
  Name(SysmsgBox, "Sysmsg", T::List, order);
  Name(Chat, "Chat", T::TextBox, order);
  Name(Bird, "Bird", T::Image, order);
  Name(Speak, "Speak", T::Image, order);
  Name(tsSpeak, "tsSpeak", T::Image, order);
  Name(Words, "Words", T::Image, order);
}

void BringToFront(MainForm& f, Control& c) {
  auto it = std::find(f.order.begin(), f.order.end(), &c);
  if (it == f.order.end()) return;
  std::rotate(it, it + 1, f.order.end());
}

void SendToBack(MainForm& f, Control& c) {
  auto it = std::find(f.order.begin(), f.order.end(), &c);
  if (it == f.order.end()) return;
  std::rotate(f.order.begin(), it, it + 1);
}

void PlaceAbove(MainForm& f, Control& c, const Control& ref) {
  auto it = std::find(f.order.begin(), f.order.end(), &c);
  auto at = std::find(f.order.begin(), f.order.end(), &ref);
  if (it == f.order.end() || at == f.order.end() || it > at) return;
  std::rotate(it, it + 1, at + 1);
}

const Control* HitTest(const MainForm& f, int x, int y) {
  for (auto it = f.order.rbegin(); it != f.order.rend(); ++it)
    if ((*it)->visible && (*it)->contains(x, y)) return *it;
  return nullptr;
}

int SX(const Client& c, double v) {
  return static_cast<int>(std::lround(v * c.view.ScaleX));
}
int SY(const Client& c, double v) {
  return static_cast<int>(std::lround(v * c.view.ScaleY));
}

void Place(Client& c, Control& k, double x, double y, double w, double h) {
  k.x = SX(c, x);
  k.y = SY(c, y);
  k.w = SX(c, w);
  k.h = SY(c, h);
}

void SetSysmsg(Client& c, int line, const std::string& text) {
  ListBox& box = c.view.Sysmsg[CheckIndex(line, 2, "system line")];
  box.clear();
  box.add(text);
}

void AddSysmsg(Client& c, const std::string& text) {
  if (!c.view.Sysmsg[1].text().empty()) {
    SetSysmsg(c, 0, c.view.Sysmsg[1].text());
    SetSysmsg(c, 1, text);
  } else if (!c.view.Sysmsg[0].text().empty()) {
    SetSysmsg(c, 1, text);
  } else {
    SetSysmsg(c, 0, text);
  }
}

void ClearSysmsg(Client& c) {
  for (ListBox& box : c.view.Sysmsg) box.clear();
}

int ButtonPicture(const Client& c, int entry) {
  if (entry < 0 || entry >= static_cast<int>(c.view.pics.ButtonPics.size())) return 0;
  const int id = c.view.pics.ButtonPics[static_cast<std::size_t>(entry)];
  if (id != 0) return id;
  // Before the tables are built the large set is meant.
  return entry < 2 || c.view.ScaleX == 1.0f ? 101 + entry : 379 + entry;
}

int TilePictureId(const Client& c, int index) {
  if (index < 0 || index >= static_cast<int>(c.view.pics.TilePics.size())) return 0;
  int id = c.view.pics.TilePics[static_cast<std::size_t>(index)];
  if (id == 0) id = index < 180 ? 201 + index : (index == 184 ? 421 : 422 + index - 180);
  return PictureSize(id) ? id : 0;
}

void setTileImage(Client& c, int control, int index) {
  if (control < 0 || control >= kWallTiles) return;
  const int id = TilePictureId(c, index);
  if (id == 0) return;
  Control& k = Tile(c, control);
  k.picture = id;
  k.visible = true;
}

void setFlowerImage(Client& c, int control, int orientation, int flower, bool toWall) {
  const auto id = FlowerPicId(orientation, flower);
  if (!id) return;
  const bool wall = toWall || orientation == 4;
  if (control < 0 || control >= (wall ? kWallTiles : 32)) return;
  Control& k = wall ? Tile(c, control) : c.view.imgCaiShen[static_cast<std::size_t>(control)];
  k.picture = *id;
  k.visible = true;
}

void ShowMainWindow(Client& c) {
  c.view.shown = true;
  c.view.minimized = false;
  c.view.raiseRequested = true;
}

void MinimizeMainWindow(Client& c) {
  c.view.minimized = true;
}

}  // namespace tavren
