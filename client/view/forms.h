// The small windows over the table (dialogs, the result and ranking windows,
// the chat window, the speech bubbles, the sound settings) as data: each is a
// list of controls, drawn by the Qt world like the table, with clicks, double
// clicks, keys and typed text coming back through the entries below.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "view/scene.h"

namespace tavren {

struct Client;

enum class FormId : int {
  frmExit,       // the exit question
  frmOtherExit,  // the end-of-game notice
  tishi,         // the 叫头 prompt and notices
  huifu,         // private chat answer
  Talk,          // the chat window
  Score,         // the result window
  Hero,          // the ranking window
  VosSet,        // the sound settings
  SpeakBox1,     // speech bubbles of sides 1..3 ("speakbox"); side 0 below
  SpeakBox2,
  SpeakBox3,
  SpeakBox0,     // the user's own quick phrases
  frmReconnect,  // the reconnection dialog
  kCount
};
inline constexpr int kFormCount = static_cast<int>(FormId::kCount);

inline constexpr int kFormTitleH = 20;

struct SmallForm {
  std::string caption;
  bool loaded = false;
  bool visible = false;
  bool topmost = false;
  // A title strip with the caption drawn above the controls (kFormTitleH high);
  // `w`, `h` and the controls' places are those of the area below it.
  bool titled = false;
  int left = 0, top = 0, w = 0, h = 0;  // screen pixels
  int opacity = 255;                    // 0..255
  std::uint32_t background = 0xF5EBD2;
  int backgroundPicture = 0;  // a catalogue picture stretched over the window, 0 none
  int titleH() const { return titled ? kFormTitleH : 0; }
  // Back to front. A List control shows `items` with `selected` marked; a
  // TextBox shows and edits `caption`.
  std::vector<Control> controls;

  Control* find(const char* name, int index = 0);
};

// Handlers a subsystem registers for its form: a click or double click on
// control `control` (an index into `controls`), a key in a text box (Qt key
// code), text typed into a text box.
struct FormHandlers {
  void (*click)(Client&, int control) = nullptr;
  void (*doubleClick)(Client&, int control) = nullptr;
  void (*key)(Client&, int control, int key) = nullptr;
  void (*text)(Client&, int control, const std::string& text) = nullptr;
  // The pointer moved over control `control`, or over the window's bare background (-1).
  void (*hover)(Client&, int control) = nullptr;
  // The system asked to close the window (its title bar's close button).
  void (*close)(Client&) = nullptr;
};

struct FormSet {
  std::array<SmallForm, kFormCount> forms{};
  std::array<FormHandlers, kFormCount> handlers{};
  SmallForm& operator[](FormId id) { return forms[static_cast<std::size_t>(id)]; }
  const SmallForm& operator[](FormId id) const { return forms[static_cast<std::size_t>(id)]; }
};

// Adds a control to a form and returns its index.
int AddControl(SmallForm& f, ControlType type, const char* name, int index, int x, int y, int w,
               int h);

// Event entries from the windows; a control index outside the form is ignored.
void FormClick(Client& c, FormId form, int control);
void FormDoubleClick(Client& c, FormId form, int control);
void FormKey(Client& c, FormId form, int control, int key);
void FormText(Client& c, FormId form, int control, const std::string& text);
// A click on line `line` of a list box: the line is selected, then the click handler runs.
void FormSelect(Client& c, FormId form, int control, int line);
// The pointer over control `control` of a form, or over its background (-1).
void FormHover(Client& c, FormId form, int control);
// The system asked to close a form's window; a form with no close handler stays.
void FormCloseAsked(Client& c, FormId form);
// The user dragged the window to a new place.
void FormMoved(Client& c, FormId form, int left, int top);

}  // namespace tavren
