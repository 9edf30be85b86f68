#include "chat/phrases.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <system_error>

#include "chat/chat.h"
#include "core/client.h"
#include "shell/ini_file.h"
#include "view/windows.h"

namespace tavren {

namespace p = protocol;

namespace {

Control& List(SmallForm& f, int list) {
  return *f.find(list == 1 ? "List1" : "List2");
}

// The leading integer of a value, as the profile's readers take it; 0 when none.
int LeadingInt(const std::string& s) {
  int n = 0;
  const char* end = s.data() + s.size();
  const char* at = s.data();
  const bool minus = at != end && *at == '-';
  if (minus) ++at;
  const auto r = std::from_chars(at, end, n);
  if (r.ec == std::errc::result_out_of_range) return minus ? 0 : kMaxPhrases;
  return minus ? -n : n;
}

void ReadPhrases(Client& c, SmallForm& f) {
  const std::string path = c.platform.programFolder() + "/" + kPhraseFileName;
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return;
  // Read once for both lists, whatever their length.
  const IniSnapshot ini = IniSnapshot::Load(path);
  for (int list = 1; list <= 2; ++list) {
    const std::string section = list == 1 ? "Phrase1" : "Phrase2";
    const int n = std::min(LeadingInt(ini.Get(section, "num")), kMaxPhrases);
    Control& k = List(f, list);
    for (int i = 1; i <= n; ++i) k.items.push_back(ini.Get(section, std::to_string(i)));
  }
}

void SendPhrase(Client& c, int list) {
  SmallForm& f = c.forms[FormId::huifu];
  const Control& k = List(f, list);
  if (k.items.empty() || k.selected < 0 || k.selected >= static_cast<int>(k.items.size())) return;
  InfoRecord r;
  r.itype = p::kReqChat;
  r.seat = c.table.custom[0].seat;
  r.value[0] = static_cast<std::int16_t>(list);
  r.value[3] = static_cast<std::int16_t>(k.selected + 1);
  const std::string phrase = k.items[static_cast<std::size_t>(k.selected)];
  ComposeChatLine(c, r, c.view.Chat.caption, &phrase);
  c.view.Chat.caption.clear();
  c.chat.ChatCaret = 0;
  c.chat.PrivatePrefix.clear();
  SendInfo(c, r);
  HidePhraseWindow(c);
  c.chat.ChatFocus = true;
}

void PhraseDoubleClick(Client& c, int control) {
  const Control& k = c.forms[FormId::huifu].controls[static_cast<std::size_t>(control)];
  if (std::string(k.name) == "List1")
    SendPhrase(c, 1);
  else if (std::string(k.name) == "List2")
    SendPhrase(c, 2);
}

void PhraseClick(Client& c, int control) {
  const Control& k = c.forms[FormId::huifu].controls[static_cast<std::size_t>(control)];
  if (std::string(k.name) == "Label1") HidePhraseWindow(c);
}

void ShowList(SmallForm& f, int list) {
  List(f, list).visible = true;
  List(f, 3 - list).visible = false;
}

}  // namespace

SmallForm& LoadPhraseWindow(Client& c) {
  if (c.forms[FormId::huifu].loaded) return c.forms[FormId::huifu];
  SmallForm& f = OpenSmallForm(c, FormId::huifu, "快捷语", 260, 200);
  // The two lists lie on top of each other; one shows at a time.
  AddControl(f, ControlType::List, "List1", 0, 6, 6, 248, 166);
  AddControl(f, ControlType::List, "List2", 0, 6, 6, 248, 166);
  const int close = AddControl(f, ControlType::Label, "Label1", 0, 214, 176, 40, 20);
  f.controls[static_cast<std::size_t>(close)].caption = "关闭";
  f.find("List2")->visible = false;
  if (!c.chat.PhrasesLoaded) {
    ReadPhrases(c, f);
    c.chat.PhrasesLoaded = true;
  }
  FormHandlers& h = c.forms.handlers[static_cast<std::size_t>(FormId::huifu)];
  h.click = PhraseClick;
  h.doubleClick = PhraseDoubleClick;
  return f;
}

std::string PhraseAt(Client& c, int list, int index) {
  if (list != 1 && list != 2) return std::string();
  const Control& k = List(LoadPhraseWindow(c), list);
  if (index < 0 || index >= static_cast<int>(k.items.size())) return std::string();
  return k.items[static_cast<std::size_t>(index)];
}

void OpenPhraseList(Client& c, int list) {
  if (list != 1 && list != 2) return;
  HideTalk(c);
  SmallForm& f = LoadPhraseWindow(c);
  if (!f.visible) {
    SetTopmost(c, f, true);
    const MainForm& m = c.view;
    if (m.ScaleX >= 1.0f) {
      f.top = m.windowTop + m.pic1Y + static_cast<int>(0.66 * m.pic1H);
      f.left = m.windowLeft + m.pic1X + static_cast<int>(0.30 * m.pic1W);
    } else {
      f.top = m.windowTop + m.pic1Y + static_cast<int>(0.60 * m.windowH);
      f.left = m.windowLeft + m.pic1X + static_cast<int>(0.22 * m.windowW);
    }
    f.visible = true;
    ShowList(f, list);
  } else if (List(f, list).visible) {
    f.visible = false;
  } else {
    ShowList(f, list);
  }
}

void HidePhraseWindow(Client& c) {
  SmallForm& f = c.forms[FormId::huifu];
  if (!f.visible) return;
  f.visible = false;
}

}  // namespace tavren
