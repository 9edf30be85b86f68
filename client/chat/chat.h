// Chat lines out and in: the chat box of the table with its private-line
// prefix and rate limit, the received line's rewrite, word filter and word
// wrap into the chat window Talk, and the two-line message area.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "chat/bubbles.h"

namespace tavren {

struct Client;
struct InfoRecord;
struct SmallForm;

inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyBackspace = 8;
// Lines of the chat history before the next key press empties it.
inline constexpr int kTalkHistoryLines = 100;
inline constexpr int kTalkWrapColumns = 46;
inline constexpr int kSysmsgChars = 45;
inline constexpr int kChatFlashSteps = 8;
inline constexpr const char* kChatTooFast = "（发送消息太快！）";

struct ChatState {
  std::string ChatOutText;         // the line SendInfo sends with the next chat request (UTF-8)
  bool ChatAllowed = true;         // false for 800 ms after each Enter in the chat box
  std::string PrivatePrefix;       // "你对" + addressee + "说: " while a private line is typed
  std::uint8_t PrivateTarget = 0;  // seat bit of the addressee
  std::string PrivateDraft;
  std::string ChatBeforeKey;  // the box as it was when Backspace was pressed
  bool PrefixErase = false;   // a Backspace reached into the prefix
  int ChatCaret = 0;          // characters before the caret in the chat box
  bool ChatFocus = false;     // the chat box should take the keyboard focus
  int ChatFlash = 0;          // remaining blink steps of the chat button
  bool PhraseBubblesOn = false;
  // Alt then C in the chat window's history hides it.
  bool TalkAltDown = false;
  bool TalkCDown = false;
  // The quick phrases of the phrase file, read once when the phrase window loads.
  bool PhrasesLoaded = false;
  BubbleSet bubbles;
};

// Splits UTF-8 text into its characters; a broken byte stands alone.
std::vector<std::string> Utf8Chars(const std::string& text);
// True when the character is one byte in the GBK code page (ASCII).
bool IsSingleByte(const std::string& ch);

// Builds ChatOutText and the request's addressee from a typed text `text`
// (which may begin with the private prefix) or, for a quick phrase, from
// `phrase` as the body. The private prefix is used up.
void ComposeChatLine(Client& c, InfoRecord& request, const std::string& text,
                     const std::string* phrase = nullptr);

// The received line with every filtered word deleted.
std::string FilterText(const std::string& text);

// Appends `text` to a list in lines of at most about `width` columns, a
// double-byte character counting two.
void WrapChatLine(std::vector<std::string>& list, const std::string& text, int width);

// The chat box of the table: a key pressed (13 Enter, 8 Backspace), its text
// changed (with the caret's position in characters), a key down (F1).
void ChatKeyPress(Client& c, int key);
void ChatTextChanged(Client& c, const std::string& text, int caret);
void ChatKeyDown(Client& c, int key);
// The send button of the control bar.
void ChatSendButton(Client& c);
// A click on the portrait of `side`: the next line goes to that player alone.
void OnPortraitClick(Client& c, int side);
// The chat rate limit's timer ran out.
void TimerChatTick(Client& c);

// A chat line arrived (instruction 19): shown in the history, the message area
// and, for a quick phrase, in the speaker's bubble with a voice. A line the
// client cannot show is dropped; it never ends the client.
void HandleChatLine(Client& c, const InfoRecord& r);
// The line of `r` from `side` (text in UTF-8).
void DeliverChatLine(Client& c, int side, const InfoRecord& r, const std::string& text);

// The chat window Talk: built on first use, shown over the table, toggled.
SmallForm& LoadTalk(Client& c);
void ShowTalk(Client& c);
void ToggleTalk(Client& c);
void HideTalk(Client& c);
// Empties the chat window's history, so one table's lines never show at the next.
void ClearChatHistory(Client& c);

}  // namespace tavren
