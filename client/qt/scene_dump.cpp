#include "qt/scene_dump.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "core/client.h"
#include "input/input.h"
#include "view/access.h"
#include "view/catalogue.h"

namespace tavren::qt {

namespace {

int Px(double v) {
  return static_cast<int>(std::lround(v));
}

// A control as [left, top, width, height, visible, enabled] in screen pixels.
void Rect(std::ostringstream& o, const Client& c, const Control& k, DumpScale s) {
  const MainForm& f = c.view;
  const double z = s.zoom * s.ratio;
  o << '[' << Px(f.windowLeft * s.ratio + (f.pic1X + k.x) * z) << ','
    << Px(f.windowTop * s.ratio + (f.pic1Y + k.y) * z) << ',' << Px(k.w * z) << ',' << Px(k.h * z)
    << ',' << (k.visible ? 1 : 0) << ',' << (k.enabled ? 1 : 0) << ']';
}

// A small window stands where the larger table puts it, and grows with it.
void FormControl(std::ostringstream& o, const Client& c, const SmallForm& f, const char* name,
                 DumpScale s) {
  const MainForm& m = c.view;
  const double left = m.windowLeft + (f.left - m.windowLeft) * s.zoom;
  const double top = m.windowTop + (f.top - m.windowTop) * s.zoom;
  for (const Control& k : f.controls) {
    if (std::string(k.name) != name) continue;
    const double z = s.zoom * s.ratio;
    o << '[' << Px(left * s.ratio + k.x * z) << ',' << Px(top * s.ratio + k.y * z) << ','
      << Px(k.w * z) << ',' << Px(k.h * z) << ',' << (k.visible ? 1 : 0) << ']';
    return;
  }
  o << "null";
}

// The middle of the part of wall tile `pos` that no other control covers, as
// [x, y] in screen pixels (wall tiles overlap); null when none shows.
void ShowingPoint(std::ostringstream& o, const Client& c, int pos, DumpScale s) {
  const Control& k = Tile(c, pos);
  long sx = 0, sy = 0, n = 0;
  if (k.visible)
    for (int y = k.y; y < k.y + k.h; ++y)
      for (int x = k.x; x < k.x + k.w; ++x)
        if (HitTest(c.view, x, y) == &k) {
          sx += x;
          sy += y;
          ++n;
        }
  // The middle of the showing pixels may itself be covered; take the showing
  // pixel nearest to it.
  if (n == 0) {
    o << "null";
    return;
  }
  const long mx = sx / n, my = sy / n;
  long best = -1;
  int bx = 0, by = 0;
  for (int y = k.y; y < k.y + k.h; ++y)
    for (int x = k.x; x < k.x + k.w; ++x) {
      if (HitTest(c.view, x, y) != &k) continue;
      const long d = (x - mx) * (x - mx) + (y - my) * (y - my);
      if (best < 0 || d < best) {
        best = d;
        bx = x;
        by = y;
      }
    }
  const MainForm& f = c.view;
  const double z = s.zoom * s.ratio;
  o << '[' << Px(f.windowLeft * s.ratio + (f.pic1X + bx) * z) << ','
    << Px(f.windowTop * s.ratio + (f.pic1Y + by) * z) << ']';
}

}  // namespace

std::string SceneSummary(const Client& c, DumpScale scale) {
  std::ostringstream o;
  const HandRecord& own = c.table.custom[0];
  o << "{\"handInProgress\":" << (c.table.HandInProgress ? 1 : 0)
    << ",\"handNo\":" << c.table.HandNo << ",\"mayDiscard\":" << (c.offer.MayDiscard ? 1 : 0)
    << ",\"actionPhase\":" << c.offer.ActionPhase << ",\"ready\":" << (c.input.ReadyFlag ? 1 : 0)
    << ",\"minimized\":" << (c.view.minimized ? 1 : 0)
    << ",\"tableActive\":" << (c.input.TableActive ? 1 : 0)
    << ",\"handPointer\":" << (c.input.Pointer == kPointerHand ? 1 : 0) << ",\"operation\":[";
  for (std::size_t i = 0; i < c.view.Operation.size(); ++i) {
    if (i > 0) o << ',';
    Rect(o, c, c.view.Operation[i], scale);
  }
  o << "],\"gang\":[";
  for (std::size_t i = 0; i < c.view.Gang.size(); ++i) {
    if (i > 0) o << ',';
    Rect(o, c, c.view.Gang[i], scale);
  }
  o << "],\"offerMask\":" << c.offer.OfferMask << ",\"redAside\":" << own.redAside
    << ",\"wildAside\":" << own.wildAside << ",\"standing\":[";
  bool first = true;
  for (int s = own.first; s < own.first + own.count && s < kSlots && s >= 0; ++s) {
    const int ind = Slot(own, s).ind;
    if (ind < 0 || ind >= kWallTiles) continue;
    if (!first) o << ',';
    first = false;
    Rect(o, c, Tile(c, ind), scale);
  }
  // How many of them show their face, not the back (the deal stands them face down).
  const auto back = TileBackIndex(kStandingOwn, true);
  const int backPicture = back ? c.view.pics.TilePics[static_cast<std::size_t>(*back)] : -1;
  int faceUp = 0;
  for (int s = own.first; s < own.first + own.count && s < kSlots && s >= 0; ++s) {
    const int ind = Slot(own, s).ind;
    if (ind < 0 || ind >= kWallTiles) continue;
    const Control& t = Tile(c, ind);
    if (t.visible && t.picture != 0 && t.picture != backPicture) ++faceUp;
  }
  o << "],\"faceUp\":" << faceUp << ",\"continue\":";
  Rect(o, c, c.view.AnNiu[2], scale);
  o << ",\"bar\":[";
  for (std::size_t i = 0; i < c.view.AnNiu.size(); ++i) {
    if (i > 0) o << ',';
    Rect(o, c, c.view.AnNiu[i], scale);
  }
  // Where to click the wall tiles the server revealed at the hand's end that
  // are still face down.
  o << "],\"revealWall\":[";
  first = true;
  for (int i = 0; i < c.play.RevealCount && i < kRevealWallTiles; ++i) {
    const int pos = c.play.RevealPos[static_cast<std::size_t>(i)];
    if (pos < 0 || pos >= kWallTiles || c.play.RevealTiles[static_cast<std::size_t>(i)] == 0)
      continue;
    if (!first) o << ',';
    first = false;
    ShowingPoint(o, c, pos, scale);
  }
  o << "],\"heroName\":";
  FormControl(o, c, c.forms[FormId::Hero], "ID", scale);
  const SmallForm& prompt = c.forms[FormId::tishi];
  o << ",\"prompt\":" << (prompt.loaded && prompt.visible ? 1 : 0) << ",\"promptOk\":";
  FormControl(o, c, prompt, "Image1", scale);
  // The countdown digits as shown: [visible, seconds], and whether the continue clock runs.
  o << ",\"countdown\":[" << (c.view.Number.visible && c.view.Time_Img.visible ? 1 : 0) << ",\""
    << c.view.Number.caption << "\"],\"continueClock\":" << (c.link.ContinueClockOn ? 1 : 0);
  o << ",\"heroNum\":";
  FormControl(o, c, c.forms[FormId::Hero], "Num", scale);
  o << ",\"heroClose\":";
  FormControl(o, c, c.forms[FormId::Hero], "Image1", scale);
  o << ",\"hero\":" << (c.forms[FormId::Hero].visible ? 1 : 0);
  o << ",\"scoreClose\":";
  FormControl(o, c, c.forms[FormId::Score], "Image1", scale);
  o << ",\"score\":" << (c.forms[FormId::Score].visible ? 1 : 0);
  const SmallForm& reconnect = c.forms[FormId::frmReconnect];
  o << ",\"reconnect\":[" << (reconnect.loaded ? 1 : 0) << ',' << (reconnect.visible ? 1 : 0)
    << ']';
  o << ",\"exitDialog\":" << (c.forms[FormId::frmExit].visible ? 1 : 0) << '}';
  return o.str();
}

void WriteSceneSummary(const Client& c, const std::string& path, DumpScale scale) {
  const std::string tmp = path + ".tmp";
  if (FILE* f = std::fopen(tmp.c_str(), "w")) {
    const std::string s = SceneSummary(c, scale);
    const bool ok = std::fwrite(s.data(), 1, s.size(), f) == s.size();
    if (std::fclose(f) == 0 && ok) std::rename(tmp.c_str(), path.c_str());
  }
}

}  // namespace tavren::qt
