#include "chat/chat.h"

#include <algorithm>
#include <exception>

#include "chat/phrases.h"
#include "core/client.h"
#include "input/input.h"
#include "text/gbk.h"
#include "view/access.h"
#include "view/windows.h"

namespace tavren {

namespace p = protocol;

namespace {

// Words a received line loses, deleted in this order, each over the result
// of the one before. The four names come first: handles people use to pass
// themselves off as the site's staff, and the founder of the banned sect.
constexpr const char* kFilteredWords[] = {"李洪志", "系统管理员", "管理员", "客服人员", "法轮功",
                                          "他妈的", "她妈的",     "它妈的", "婊子养的", "婊子",
                                          "淫",     "色情",       "黄色",   "shit",     "fuck"};

constexpr const char* kSystemNotice = "系统提示";

std::size_t CharsIn(const std::string& text) {
  return Utf8Chars(text).size();
}

// The text without its first `n` characters.
std::string DropChars(const std::string& text, std::size_t n) {
  const std::vector<std::string> chars = Utf8Chars(text);
  std::string out;
  for (std::size_t i = n; i < chars.size(); ++i) out += chars[i];
  return out;
}

std::string TrimBlanks(const std::string& s) {
  const std::size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return std::string();
  const std::size_t b = s.find_last_not_of(' ');
  return s.substr(a, b - a + 1);
}

void ReplaceAll(std::string& text, const std::string& what, const std::string& by) {
  if (what.empty()) return;
  std::size_t at = 0;
  while ((at = text.find(what, at)) != std::string::npos) {
    text.replace(at, what.size(), by);
    at += by.size();
  }
}

Control& ChatBox(Client& c) {
  return c.view.Chat;
}

void SetChatBox(Client& c, const std::string& text) {
  ChatBox(c).caption = text;
  c.chat.ChatCaret = static_cast<int>(CharsIn(text));
}

InfoRecord ChatRequest(const Client& c) {
  InfoRecord r;
  r.itype = p::kReqChat;
  r.seat = c.table.custom[0].seat;
  return r;
}

std::vector<std::string>& History(Client& c) {
  SmallForm& f = LoadTalk(c);
  return f.find("Text1")->items;
}

// The history shows its newest line after every line added.
void ScrollHistoryToLast(Client& c) {
  Control* history = LoadTalk(c).find("Text1");
  if (!history->items.empty()) ++history->scrollToLast;
}

// Lines received while nobody types would otherwise pile up all evening: the
// history keeps its newest lines, one more than a key press lets stand, so the
// next key in the chat box still empties it.
void BoundHistory(std::vector<std::string>& history) {
  constexpr std::size_t kKept = kTalkHistoryLines + 1;
  if (history.size() > kKept)
    history.erase(history.begin(), history.end() - static_cast<std::ptrdiff_t>(kKept));
}

// The message area scrolls up by one line; each box holds one line.
void ShowInMessageArea(Client& c, const std::string& line) {
  const std::string top = c.view.Sysmsg[0].text();
  const std::string bottom = c.view.Sysmsg[1].text();
  if (!bottom.empty()) {
    SetSysmsg(c, 0, bottom);
    SetSysmsg(c, 1, line);
  } else if (!top.empty()) {
    SetSysmsg(c, 1, line);
  } else {
    SetSysmsg(c, 0, line);
  }
}

// The line leaves through SendInfo; a blank or empty box sends nothing.
// Returns false when nothing was sent.
bool SendTypedLine(Client& c, bool fromButton) {
  InfoRecord r = ChatRequest(c);
  const std::string text = ChatBox(c).caption;
  if (!fromButton) SetChatBox(c, std::string());
  // With no prefix this also refuses a box of blanks only.
  if (text.empty() || TrimBlanks(text) == c.chat.PrivatePrefix) return false;
  ComposeChatLine(c, r, text);
  if (fromButton) SetChatBox(c, std::string());
  SendInfo(c, r);
  return true;
}

void TalkClick(Client& c, int control) {
  SmallForm& f = c.forms[FormId::Talk];
  const Control& k = f.controls[static_cast<std::size_t>(control)];
  if (std::string(k.name) == "Label1") HideTalk(c);
}

bool IsAltKey(int key) {
  return key == kKeyAlt || key == 0x01000023;  // the window key code or Qt's
}

void TalkKey(Client& c, int /*control*/, int key) {
  ChatState& ch = c.chat;
  if (IsAltKey(key))
    ch.TalkAltDown = true;
  else if (key == kKeyC)
    ch.TalkCDown = true;
  else
    ch.TalkAltDown = ch.TalkCDown = false;
  if (ch.TalkAltDown && ch.TalkCDown) {
    ch.TalkAltDown = ch.TalkCDown = false;
    HideTalk(c);
  }
}

// The chat window over the table, lower left of its centre.
void PlaceTalk(Client& c, SmallForm& f) {
  const MainForm& m = c.view;
  if (m.ScaleY >= 1.0f) {
    f.top = m.windowTop + m.pic1Y + static_cast<int>(0.66 * m.pic1H);
    f.left = m.windowLeft + m.pic1X + static_cast<int>(0.30 * m.pic1W);
  } else {
    f.top = m.windowTop + m.pic1Y + static_cast<int>(0.60 * m.windowH);
    f.left = m.windowLeft + m.pic1X + static_cast<int>(0.22 * m.windowW);
  }
}

}  // namespace

std::vector<std::string> Utf8Chars(const std::string& text) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    std::size_t n = 1;
    if (b >= 0xF0 && b < 0xF8)
      n = 4;
    else if (b >= 0xE0)
      n = 3;
    else if (b >= 0xC0)
      n = 2;
    if (b >= 0xF8 || i + n > text.size()) n = 1;
    for (std::size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) n = 1;
    out.push_back(text.substr(i, n));
    i += n;
  }
  return out;
}

bool IsSingleByte(const std::string& ch) {
  return ch.size() == 1 && static_cast<unsigned char>(ch[0]) < 0x80;
}

void ComposeChatLine(Client& c, InfoRecord& request, const std::string& text,
                     const std::string* phrase) {
  ChatState& ch = c.chat;
  const std::string& nick = c.table.PlayerInfo[0].nick;
  const std::size_t at = ch.PrivatePrefix.empty() ? std::string::npos : text.find(ch.PrivatePrefix);
  if (at != std::string::npos) {
    // The body is what follows the prefix's length of characters from the start.
    std::string body = phrase != nullptr ? *phrase : DropChars(text, CharsIn(ch.PrivatePrefix));
    request.value[1] = ch.PrivateTarget;
    ch.ChatOutText = nick + DropChars(ch.PrivatePrefix, 1) + body;
  } else {
    request.value[1] = 0;
    ch.ChatOutText = nick + "说道: " + (phrase != nullptr ? *phrase : text);
  }
  ch.PrivatePrefix.clear();
}

std::string FilterText(const std::string& text) {
  std::string out = text;
  for (const char* word : kFilteredWords) ReplaceAll(out, word, "");
  return out;
}

void WrapChatLine(std::vector<std::string>& list, const std::string& text, int width) {
  std::vector<std::string> chars = Utf8Chars(text);
  const auto nul = std::find(chars.begin(), chars.end(), std::string(1, '\0'));
  chars.erase(nul, chars.end());
  const int L = static_cast<int>(chars.size());
  if (L == 0) return;
  auto piece = [&](int from, int to) {  // characters from..to, 1-based, inclusive
    std::string s;
    for (int k = from; k <= to; ++k) s += chars[static_cast<std::size_t>(k - 1)];
    return s;
  };
  int start = 1;
  int used = 0;
  for (int i = 1; i <= L; ++i) {
    if (i == L || used >= width) {
      if (start == 1) {
        // The first line ends with the character at which the limit was reached.
        list.push_back(piece(start, i));
        start = i + 1;
      } else if (i == L) {
        list.push_back(" " + piece(start, L));
        start = L + 1;
      } else {
        list.push_back(" " + piece(start, i - 1));
        start = i;
      }
      used = 0;
    }
    used += IsSingleByte(chars[static_cast<std::size_t>(i - 1)]) ? 1 : 2;
  }
}

void ChatKeyPress(Client& c, int key) {
  RunEvent(c, [&] {
    ChatState& ch = c.chat;
    std::vector<std::string>& history = History(c);
    if (static_cast<int>(history.size()) > kTalkHistoryLines) history.clear();
    if (key == kKeyEnter) {
      if (c.table.Watching) return;
      if (ch.ChatAllowed) {
        ch.ChatAllowed = false;
        SetTimer(c, TimerId::Chat, true);
        SendTypedLine(c, false);
      } else if (!ChatBox(c).caption.empty()) {
        history.push_back(kChatTooFast);
        BoundHistory(history);
        ScrollHistoryToLast(c);
      }
      return;
    }
    if (key == kKeyBackspace && !ch.PrivatePrefix.empty()) {
      ch.ChatBeforeKey = ChatBox(c).caption;
      if (ch.ChatCaret <= static_cast<int>(CharsIn(ch.PrivatePrefix))) ch.PrefixErase = true;
    }
  });
}

void ChatTextChanged(Client& c, const std::string& text, int caret) {
  RunEvent(c, [&] {
    ChatState& ch = c.chat;
    ChatBox(c).caption = text;
    ch.ChatCaret = std::clamp(caret, 0, static_cast<int>(CharsIn(text)));
    if (!ch.PrefixErase) return;
    // One Backspace into the prefix takes the whole prefix and leaves the body.
    ch.PrefixErase = false;
    SetChatBox(c, DropChars(ch.ChatBeforeKey, CharsIn(ch.PrivatePrefix)));
    ch.PrivatePrefix.clear();
    ch.PrivateDraft.clear();
    ch.PrivateTarget = 0;
  });
}

void ChatKeyDown(Client& c, int key) {
  RunEvent(c, [&] {
    if (key == kKeyF1) BossKeyAction(c);
  });
}

void ChatSendButton(Client& c) {
  SendTypedLine(c, true);
}

void OnPortraitClick(Client& c, int side) {
  if (!c.table.LoginAccepted || side < 1 || side >= kSides) return;
  const std::string& nick = c.table.PlayerInfo[static_cast<std::size_t>(side)].nick;
  if (nick.empty()) return;
  ChatState& ch = c.chat;
  const std::string prefix = "你对" + nick + "说: ";
  ch.PrivateDraft = ChatBox(c).caption;
  ch.PrivateTarget = Hand(c, side).seat;
  if (!ChatBox(c).caption.empty() && !ch.PrivatePrefix.empty() &&
      ch.PrivateDraft.find(ch.PrivatePrefix) != std::string::npos)
    ch.PrivateDraft = DropChars(ch.PrivateDraft, CharsIn(ch.PrivatePrefix));
  ch.PrivatePrefix = prefix;
  SetChatBox(c, prefix + ch.PrivateDraft);
  ch.ChatFocus = true;
}

void TimerChatTick(Client& c) {
  SetTimer(c, TimerId::Chat, false);
  c.chat.ChatAllowed = true;
}

void HandleChatLine(Client& c, const InfoRecord& r) {
  try {
    const std::string text = FrameText(c.link.LastFrame, p::kPayloadOffset, p::kChatTextBytes);
    DeliverChatLine(c, SeatToSide(c.table.custom[0].seat, r.seat), r, text);
  } catch (const ProgramEnd&) {
    throw;
  } catch (const std::exception&) {
  }
}

void DeliverChatLine(Client& c, int side, const InfoRecord& r, const std::string& text) {
  side = CheckIndex(side, kSides, "speaker");
  const int list = r.value[0];
  if ((list == 1 || list == 2) && c.chat.PhraseBubblesOn) {
    // A phrase this client cannot show, or a voice it cannot play, still
    // leaves the line itself to be shown.
    try {
      const std::string phrase = PhraseAt(c, list, r.value[3] - 1);
      if (!phrase.empty() && !c.view.minimized) {
        PrepareBubble(c, side);
        showMe(c, side, phrase, kBubbleMaxAlpha, kBubbleFadeIn, kBubbleFadeOut, kBubbleHold);
        if (c.sound.SoundOn)
          PlayVoice(c,
                    c.sound.VoiceFolder + "v" + VoiceKey(c, side) + (list == 1 ? "0010" : "0020") +
                        std::to_string(r.value[3]) + ".wav",
                    side);
      }
    } catch (const ProgramEnd&) {
      throw;
    } catch (const std::exception&) {
    }
  }
  std::string line = text;
  const PlayerInfoRecord& own = c.table.PlayerInfo[0];
  // The speaker is the seat the frame names, never what the text claims: a
  // player's line dressed as a notice of the system says who wrote it, and
  // only a line from the user's own seat may read "你说道".
  const std::uint8_t ownSeat = c.table.custom[0].seat;
  const bool fromUser = ownSeat != 0 && r.seat == ownSeat;
  if (r.seat != 0 && !fromUser && line.rfind(kSystemNotice, 0) == 0) {
    const std::string& nick = c.table.PlayerInfo[static_cast<std::size_t>(side)].nick;
    line = (nick.empty() ? std::string("玩家") : nick) + "说道: " + line;
  }
  if (!own.nick.empty()) {
    const std::string titled = "[" + own.title + "]" + own.nick;
    // Another seat's line that begins with the user's name keeps it as written.
    std::string head;
    if (!fromUser) {
      if (line.rfind(titled, 0) == 0)
        head = titled;
      else if (line.rfind(own.nick, 0) == 0)
        head = own.nick;
    }
    std::string rest = line.substr(head.size());
    const bool notice = head.empty() && rest.rfind(kSystemNotice, 0) == 0;
    ReplaceAll(rest, titled, "你");
    if (!notice) {
      const std::size_t at = rest.find(own.nick);
      if (at != std::string::npos) rest.replace(at, own.nick.size(), "你");
    }
    line = head + rest;
  }
  line = FilterText(line);
  std::vector<std::string>& history = History(c);
  WrapChatLine(history, line, kTalkWrapColumns);
  BoundHistory(history);
  ScrollHistoryToLast(c);
  ShowInMessageArea(c, Utf8Prefix(line, kSysmsgChars));
  if (side != 0) c.chat.ChatFlash = kChatFlashSteps;
}

SmallForm& LoadTalk(Client& c) {
  if (c.forms[FormId::Talk].loaded) return c.forms[FormId::Talk];
  SmallForm& f = OpenSmallForm(c, FormId::Talk, "聊天", 330, 210);
  // Its caption on a strip of its own, with or without a window manager.
  f.titled = true;
  const MainForm& m = c.view;
  f.top = m.windowTop + static_cast<int>(0.66 * m.windowH);
  f.left = m.windowLeft + static_cast<int>(0.30 * m.windowW);
  AddControl(f, ControlType::List, "Text1", 0, 6, 6, 318, 174);
  const int close = AddControl(f, ControlType::Label, "Label1", 0, 284, 184, 40, 20);
  f.controls[static_cast<std::size_t>(close)].caption = "关闭";
  FormHandlers& h = c.forms.handlers[static_cast<std::size_t>(FormId::Talk)];
  h.click = TalkClick;
  h.key = TalkKey;
  // The title bar's close button closes it as its own close label does.
  h.close = HideTalk;
  return f;
}

void ShowTalk(Client& c) {
  SmallForm& f = LoadTalk(c);
  SetTopmost(c, f, true);
  PlaceTalk(c, f);
  f.visible = true;
}

void ToggleTalk(Client& c) {
  if (LoadTalk(c).visible)
    HideTalk(c);
  else
    ShowTalk(c);
}

void HideTalk(Client& c) {
  SmallForm& f = c.forms[FormId::Talk];
  if (!f.visible) return;
  f.visible = false;
}

void ClearChatHistory(Client& c) {
  SmallForm& f = c.forms[FormId::Talk];
  if (!f.loaded) return;
  if (Control* history = f.find("Text1")) {
    history->items.clear();
    history->selected = -1;
  }
}

}  // namespace tavren
