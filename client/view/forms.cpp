#include "view/forms.h"

#include <cstring>

#include "core/client.h"

namespace tavren {

Control* SmallForm::find(const char* name, int index) {
  for (Control& k : controls)
    if (std::strcmp(k.name, name) == 0 && k.index == index) return &k;
  return nullptr;
}

int AddControl(SmallForm& f, ControlType type, const char* name, int index, int x, int y, int w,
               int h) {
  Control k;
  k.type = type;
  k.name = name;
  k.index = index;
  k.x = x;
  k.y = y;
  k.w = w;
  k.h = h;
  k.visible = true;
  f.controls.push_back(k);
  return static_cast<int>(f.controls.size()) - 1;
}

namespace {

template <class F>
void WithForm(Client& c, FormId form, int control, F&& fn) {
  const int id = static_cast<int>(form);
  if (id < 0 || id >= kFormCount) return;
  const SmallForm& f = c.forms.forms[static_cast<std::size_t>(id)];
  if (control < 0 || control >= static_cast<int>(f.controls.size())) return;
  RunEvent(c, [&] { fn(c.forms.handlers[static_cast<std::size_t>(id)]); });
}

}  // namespace

void FormClick(Client& c, FormId form, int control) {
  WithForm(c, form, control, [&](const FormHandlers& h) {
    if (h.click) h.click(c, control);
  });
}

void FormDoubleClick(Client& c, FormId form, int control) {
  WithForm(c, form, control, [&](const FormHandlers& h) {
    if (h.doubleClick) h.doubleClick(c, control);
  });
}

void FormKey(Client& c, FormId form, int control, int key) {
  WithForm(c, form, control, [&](const FormHandlers& h) {
    if (h.key) h.key(c, control, key);
  });
}

void FormText(Client& c, FormId form, int control, const std::string& text) {
  WithForm(c, form, control, [&](const FormHandlers& h) {
    c.forms.forms[static_cast<std::size_t>(form)]
        .controls[static_cast<std::size_t>(control)]
        .caption = text;
    if (h.text) h.text(c, control, text);
  });
}

void FormSelect(Client& c, FormId form, int control, int line) {
  WithForm(c, form, control, [&](const FormHandlers& h) {
    Control& k =
        c.forms.forms[static_cast<std::size_t>(form)].controls[static_cast<std::size_t>(control)];
    k.selected = line >= 0 && line < static_cast<int>(k.items.size()) ? line : -1;
    if (h.click) h.click(c, control);
  });
}

void FormHover(Client& c, FormId form, int control) {
  const int id = static_cast<int>(form);
  if (id < 0 || id >= kFormCount) return;
  const SmallForm& f = c.forms.forms[static_cast<std::size_t>(id)];
  if (control < -1 || control >= static_cast<int>(f.controls.size())) return;
  RunEvent(c, [&] {
    const FormHandlers& h = c.forms.handlers[static_cast<std::size_t>(id)];
    if (h.hover) h.hover(c, control);
  });
}

void FormCloseAsked(Client& c, FormId form) {
  const int id = static_cast<int>(form);
  if (id < 0 || id >= kFormCount || !c.forms.forms[static_cast<std::size_t>(id)].loaded) return;
  RunEvent(c, [&] {
    const FormHandlers& h = c.forms.handlers[static_cast<std::size_t>(id)];
    if (h.close) h.close(c);
  });
}

void FormMoved(Client& c, FormId form, int left, int top) {
  const int id = static_cast<int>(form);
  if (id < 0 || id >= kFormCount) return;
  SmallForm& f = c.forms.forms[static_cast<std::size_t>(id)];
  f.left = left;
  f.top = top;
}

}  // namespace tavren
