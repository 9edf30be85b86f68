#include "view/windows.h"

#include "core/client.h"

namespace tavren {

SmallForm& OpenSmallForm(Client& c, FormId id, const char* caption, int w, int h, int alpha) {
  SmallForm& f = c.forms[id];
  f = SmallForm{};
  f.caption = caption;
  f.loaded = true;
  f.w = w;
  f.h = h;
  LayerSmallWindow(c, f, alpha);
  return f;
}

void CloseSmallForm(Client& c, FormId id) {
  SmallForm& f = c.forms[id];
  if (!f.loaded && !f.visible) return;
  f = SmallForm{};
}

void CentreOverTable(Client& c, SmallForm& f) {
  const MainForm& m = c.view;
  f.left = m.windowLeft + m.pic1X + (m.pic1W - f.w) / 2;
  f.top = m.windowTop + m.pic1Y + (m.pic1H - f.h - f.titleH()) / 2;
}

void LayerSmallWindow(Client& c, SmallForm& f, int alpha) {
  const OsVersion os = c.platform.osVersion();
  if (os.platform == 2 && os.major == 5 && alpha >= 0 && alpha <= 255) f.opacity = alpha;
}

bool SetWindowAlpha(Client&, SmallForm& f, int alpha) {
  if (alpha < 0 || alpha > 255) return false;
  f.opacity = alpha;
  return true;
}

void SetTopmost(Client&, SmallForm& f, bool on) {
  f.topmost = on;
}

}  // namespace tavren
