// Chat lines: the chat box with its rate limit and private prefix, the
// received line's rewrite, filter, wrap and message area, the chat window.
#include "chat/chat.h"

#include <gtest/gtest.h>

#include "input/input.h"
#include "support/forms_helpers.h"
#include "table/dispatch.h"
#include "view/chrome.h"

namespace tavren {
namespace {

using testing::Operand;
using testing::Queued;
using testing::SimClient;
namespace p = protocol;

struct Chatting : SimClient {
  Chatting() {
    c.table.LoginAccepted = true;
    c.table.PlayerInfo[0].nick = "阿明";
    c.table.PlayerInfo[0].title = "大侠";
    c.table.PlayerInfo[2].nick = "猫";
    c.table.custom[2].seat = 4;
    c.table.PlayerInfo[3].nick = "狗";
    c.table.custom[3].seat = 2;
  }
  void Type(const std::string& text) {
    ChatTextChanged(c, text, static_cast<int>(Utf8Chars(text).size()));
  }
  void Enter() { ChatKeyPress(c, kKeyEnter); }
  std::vector<std::string>& History() { return LoadTalk(c).find("Text1")->items; }
  // A chat line from `seat` as the server relays it.
  void Receive(std::uint8_t seat, const std::string& text, int list = 0, int phrase = 0) {
    Frame f = testing::ServerFrame(p::kInsChat, seat, {list, 0, 0, phrase});
    testing::PutText(f, p::kPayloadOffset, Utf8ToGbk(text));
    c.link.ReceiveRing.append(f.data(), f.size());
    RunEvent(c, [&] {
      DecodeFrame(c.link);
      Dispatch(c);
    });
  }
};

TEST(ChatBox, EnterTwiceWithin800msSendsOnceKeepsTheSecondAndSendsItLater) {
  Chatting s;
  s.Type("hello");
  s.Enter();
  s.Type("again");
  s.Run(400);
  s.Enter();
  std::vector<Frame> sent = Queued(s.c);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0][3], p::kReqChat);
  EXPECT_EQ(sent[0][6], 1);
  EXPECT_EQ(Operand(sent[0], 1), 0);
  EXPECT_EQ(testing::ChatText(sent[0]), "阿明说道: hello");
  EXPECT_EQ(s.c.view.Chat.caption, "again");
  ASSERT_FALSE(s.History().empty());
  EXPECT_EQ(s.History().back(), kChatTooFast);
  s.Run(400);  // 800 ms after the first Enter
  EXPECT_TRUE(s.c.chat.ChatAllowed);
  EXPECT_FALSE(TimerEnabled(s.c, TimerId::Chat));
  s.Enter();
  sent = Queued(s.c);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(testing::ChatText(sent[1]), "阿明说道: again");
  EXPECT_EQ(s.c.view.Chat.caption, "");
}

TEST(ChatBox, EmptyOrBlankBoxesSendNothingButStillUseTheAllowance) {
  struct Case {
    std::string text;
    bool notice;  // the refused second Enter writes the notice
  } cases[] = {{"", false}, {"   ", false}};
  for (const Case& k : cases) {
    Chatting s;
    s.Type(k.text);
    s.Enter();
    EXPECT_TRUE(Queued(s.c).empty());
    EXPECT_FALSE(s.c.chat.ChatAllowed);
    s.Enter();
    EXPECT_EQ(!s.History().empty(), k.notice);
  }
}

TEST(ChatBox, AWatcherSendsNothing) {
  Chatting s;
  s.c.table.Watching = true;
  s.Type("hi");
  s.Enter();
  EXPECT_TRUE(Queued(s.c).empty());
  EXPECT_EQ(s.c.view.Chat.caption, "hi");
}

TEST(ChatBox, PortraitClicksAddressThePlayerAndBackspaceDropsThePrefix) {
  Chatting s;
  s.Type("晚上好");
  OnPortraitClick(s.c, 2);
  EXPECT_EQ(s.c.view.Chat.caption, "你对猫说: 晚上好");
  EXPECT_EQ(s.c.chat.ChatCaret, 9);
  EXPECT_TRUE(s.c.chat.ChatFocus);
  OnPortraitClick(s.c, 3);  // a new addressee replaces the prefix, the text stays
  EXPECT_EQ(s.c.view.Chat.caption, "你对狗说: 晚上好");
  EXPECT_EQ(s.c.chat.PrivateTarget, 2);
  // Backspace with the caret inside the prefix: the box loses one character, then the whole prefix.
  s.c.chat.ChatCaret = 3;
  ChatKeyPress(s.c, kKeyBackspace);
  ChatTextChanged(s.c, "你对说: 晚上好", 2);
  EXPECT_EQ(s.c.view.Chat.caption, "晚上好");
  EXPECT_EQ(s.c.chat.PrivatePrefix, "");
  EXPECT_EQ(s.c.chat.PrivateTarget, 0);
  // Backspace behind the prefix is an ordinary Backspace.
  OnPortraitClick(s.c, 2);
  ChatKeyPress(s.c, kKeyBackspace);
  ChatTextChanged(s.c, "你对猫说: 晚上", 8);
  EXPECT_EQ(s.c.view.Chat.caption, "你对猫说: 晚上");
  EXPECT_EQ(s.c.chat.PrivatePrefix, "你对猫说: ");
}

TEST(ChatBox, PortraitClicksNeedALoginAnotherSideAndAName) {
  for (int side : {0, 1, 4, -1}) {
    Chatting s;
    s.Type("x");
    OnPortraitClick(s.c, side);
    EXPECT_EQ(s.c.view.Chat.caption, "x");
  }
  Chatting s;
  s.c.table.LoginAccepted = false;
  OnPortraitClick(s.c, 2);
  EXPECT_EQ(s.c.chat.PrivatePrefix, "");
}

TEST(ChatBox, PrivateLinesGoToTheAddresseeAndUseThePrefixUp) {
  struct Case {
    std::string before;  // typed in front of the prefix
    std::string typed;   // after the prefix
    std::string sent;
  } cases[] = {{"", "你好", "阿明对猫说: 你好"},
               {"", "", "阿明对猫说: "},
               // The body is the line without the prefix's length of characters
               // from its start, wherever the prefix stands.
               {"嗨", "你好", "阿明对猫说:  你好"}};
  for (const Case& k : cases) {
    Chatting s;
    OnPortraitClick(s.c, 2);
    s.Type(k.before + s.c.view.Chat.caption + k.typed);
    s.Enter();
    const std::vector<Frame> sent = Queued(s.c);
    ASSERT_EQ(sent.size(), 1u) << k.typed;
    EXPECT_EQ(Operand(sent[0], 1), 4);
    EXPECT_EQ(testing::ChatText(sent[0]), k.sent);
    EXPECT_EQ(s.c.chat.PrivatePrefix, "");
  }
}

TEST(ChatBox, TheSendButtonHasNoRateLimitAndKeepsAnEmptyBox) {
  Chatting s;
  s.c.view.AnNiu[0].enabled = true;
  s.Type("one");
  OnControlBarClick(s.c, 0);
  s.Type("two");
  OnControlBarClick(s.c, 0);
  const std::vector<Frame> sent = Queued(s.c);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(testing::ChatText(sent[1]), "阿明说道: two");
  EXPECT_EQ(s.c.view.Chat.caption, "");
  EXPECT_TRUE(s.c.chat.ChatAllowed);
  s.Type("   ");
  OnControlBarClick(s.c, 0);
  EXPECT_EQ(Queued(s.c).size(), 2u);
  EXPECT_EQ(s.c.view.Chat.caption, "   ");
}

TEST(ChatBox, AFullHistoryIsEmptiedByTheNextKeyAndF1HidesEverything) {
  Chatting s;
  s.History().assign(101, "line");
  ChatKeyPress(s.c, 'a');
  EXPECT_TRUE(s.History().empty());
  s.History().assign(100, "line");
  ChatKeyPress(s.c, 'a');
  EXPECT_EQ(s.History().size(), 100u);
  ShowTalk(s.c);
  ChatKeyDown(s.c, kKeyF1);
  EXPECT_TRUE(s.c.link.BossMode);
  EXPECT_FALSE(s.c.forms[FormId::Talk].visible);
  EXPECT_TRUE(s.c.view.minimized);
}

TEST(ReceivedLine, TheUsersNameReadsYouTheFilterCutsWordsAndOthersBlinkTheButton) {
  struct Case {
    std::uint8_t seat;
    std::string text;
    std::string shown;
    int flash;
  } cases[] = {
      {1, "[大侠]阿明说道: 大家好", "你说道: 大家好", 0},
      {2, "狗对阿明说: 阿明你好", "狗对你说: 阿明你好", 8},
      {0, "系统提示: 阿明离开", "系统提示: 阿明离开", 0},
      {4, "猫说道: 他妈的FUCK fuck", "猫说道: FUCK ", 8},
      {8, "猫说道: 法轮功淫色情黄色shit", "猫说道: ", 8},
  };
  for (const Case& k : cases) {
    Chatting s;
    s.Receive(k.seat, k.text);
    ASSERT_EQ(s.History().size(), 1u) << k.text;
    EXPECT_EQ(s.History()[0], k.shown);
    EXPECT_EQ(s.c.view.Sysmsg[0].text(), k.shown);
    EXPECT_EQ(s.c.chat.ChatFlash, k.flash);
  }
}

TEST(ReceivedLine, TheHistoryKeepsItsNewestLinesWhileNobodyTypes) {
  Chatting s;
  for (int i = 0; i < 500; ++i) s.Receive(2, "line " + std::to_string(i));
  ASSERT_EQ(s.History().size(), 101u);
  EXPECT_EQ(s.History().front(), "line 399");
  EXPECT_EQ(s.History().back(), "line 499");
  // A long line wraps in two and still leaves the newest lines.
  s.Receive(2, std::string(50, 'x'));
  ASSERT_EQ(s.History().size(), 101u);
  EXPECT_EQ(s.History().back(), " xxx");
  // The next key in the chat box empties it, as after any hundred lines.
  ChatKeyPress(s.c, 'a');
  EXPECT_TRUE(s.History().empty());
}

// The speaker is the seat the frame names: another seat's line cannot pass
// for the user's own, and a player's line cannot pass for the system's.
TEST(ReceivedLine, OnlyTheUsersSeatReadsYouAndOnlySeatZeroSpeaksForTheSystem) {
  struct Case {
    std::uint8_t seat;
    std::string text;
    std::string shown;
  } cases[] = {
      {1, "[大侠]阿明说道: 大家好", "你说道: 大家好"},
      {1, "阿明说道: 大家好", "你说道: 大家好"},
      {2, "[大侠]阿明说道: 把牌给我", "[大侠]阿明说道: 把牌给我"},
      {4, "阿明说道: 把牌给我", "阿明说道: 把牌给我"},
      {0, "[大侠]阿明说道: 把牌给我", "[大侠]阿明说道: 把牌给我"},
      {2, "狗说道: [大侠]阿明说道: 骗你的", "狗说道: 你说道: 骗你的"},
      {2, "系统提示: 阿明被请出房间", "狗说道: 系统提示: 你被请出房间"},
      {8, "系统提示: 阿明输光了", "玩家说道: 系统提示: 你输光了"},
      {0, "系统提示: 阿明离开", "系统提示: 阿明离开"},
  };
  for (const Case& k : cases) {
    Chatting s;
    s.Receive(k.seat, k.text);
    ASSERT_EQ(s.History().size(), 1u) << k.text;
    EXPECT_EQ(s.History()[0], k.shown) << "seat " << int{k.seat};
  }
}

TEST(ReceivedLine, LongLinesWrapInTheHistoryAndTheMessageAreaScrolls) {
  Chatting s;
  const std::string line(50, 'x');
  s.Receive(2, line);
  ASSERT_EQ(s.History().size(), 2u);
  EXPECT_EQ(s.History()[0], std::string(47, 'x'));
  EXPECT_EQ(s.History()[1], " xxx");
  EXPECT_EQ(s.c.view.Sysmsg[0].text(), std::string(45, 'x'));
  s.Receive(2, "second");
  s.Receive(2, "third");
  EXPECT_EQ(s.c.view.Sysmsg[0].text(), "second");
  EXPECT_EQ(s.c.view.Sysmsg[1].text(), "third");
}

TEST(WrapChatLine, DoubleByteCharactersCountTwoColumns) {
  struct Case {
    std::string text;
    int width;
    std::vector<std::string> lines;
  } cases[] = {
      {"", 46, {}},
      {"abc", 46, {"abc"}},
      {std::string("ab\0cd", 5), 46, {"ab"}},
      // The first line ends with the character at which the limit was reached,
      // a continuation line just before it.
      {"一二三四五六", 4, {"一二三", " 四", " 五六"}},
      {"abcdefgh", 3, {"abcd", " ef", " gh"}},
  };
  for (const Case& k : cases) {
    std::vector<std::string> out;
    WrapChatLine(out, k.text, k.width);
    EXPECT_EQ(out, k.lines) << k.text;
  }
}

TEST(ChatWindow, TheChatButtonTogglesItOverTheTableAltCInItsHistoryHidesIt) {
  Chatting s;
  LayOutTable(s.c);
  s.c.view.windowLeft = 50;
  s.c.view.windowTop = 10;
  s.c.view.AnNiu[1].enabled = true;
  OnControlBarClick(s.c, 1);
  const SmallForm& f = s.c.forms[FormId::Talk];
  ASSERT_TRUE(f.visible);
  EXPECT_TRUE(f.topmost);
  EXPECT_EQ(f.caption, "聊天");
  EXPECT_EQ(f.left, 50 + 8 + static_cast<int>(0.30 * 1024));
  EXPECT_EQ(f.top, 10 + 20 + static_cast<int>(0.66 * 768));
  OnControlBarClick(s.c, 1);
  EXPECT_FALSE(f.visible);
  OnKey(s.c, kKeyAlt, false);
  OnKey(s.c, kKeyC, true);
  EXPECT_TRUE(f.visible);
  const int text1 = testing::ControlIndex(s.c, FormId::Talk, "Text1");
  FormKey(s.c, FormId::Talk, text1, kKeyAlt);
  FormKey(s.c, FormId::Talk, text1, 'X');
  FormKey(s.c, FormId::Talk, text1, kKeyC);
  EXPECT_TRUE(f.visible);  // another key came between
  FormKey(s.c, FormId::Talk, text1, kKeyC);
  FormKey(s.c, FormId::Talk, text1, kKeyAlt);
  EXPECT_FALSE(f.visible);
  ShowTalk(s.c);
  testing::Click(s.c, FormId::Talk, "Label1");
  EXPECT_FALSE(f.visible);
}

}  // namespace
}  // namespace tavren

namespace tavren {
namespace {

void ClickOn(Client& c, const Control& k) {
  TableClick(c, k.x + k.w / 2, k.y + k.h / 2);
}

TEST(TableClicks, TheChatLabelPortraitsAndPhraseLabelsReachTheChat) {
  Chatting s;
  LayOutTable(s.c);
  for (Control& k : s.c.view.Tou) k.visible = true;
  ClickOn(s.c, s.c.view.Lbchat);
  EXPECT_TRUE(s.c.forms[FormId::Talk].visible);
  ClickOn(s.c, s.c.view.Lbchat);
  EXPECT_FALSE(s.c.forms[FormId::Talk].visible);
  ClickOn(s.c, s.c.view.Tou[2]);
  EXPECT_EQ(s.c.view.Chat.caption, "你对猫说: ");
  ClickOn(s.c, s.c.view.imgword2);
  ASSERT_TRUE(s.c.forms[FormId::huifu].visible);
  EXPECT_TRUE(s.c.forms[FormId::huifu].find("List2")->visible);
  ClickOn(s.c, s.c.view.imgword1);
  EXPECT_TRUE(s.c.forms[FormId::huifu].find("List1")->visible);
}

}  // namespace
}  // namespace tavren

namespace tavren {
namespace {

// The resets: the view reset hides the chat window, leaving the table empties
// its history (the last table's lines never show at the next), and the table
// reset clears the record count and the call label.
TEST(Resets, EachResetClearsWhatItOwns) {
  Chatting s;
  s.Receive(2, "猫说道: 上一桌");
  ShowTalk(s.c);
  ASSERT_TRUE(s.c.forms[FormId::Talk].visible);
  resetTableView(s.c);
  EXPECT_FALSE(s.c.forms[FormId::Talk].visible);
  EXPECT_EQ(s.History().size(), 1u);

  s.c.play.SeatCount = 3;
  s.c.view.Label3.caption = "2头1摸";
  ResetHandRecords(s.c);
  EXPECT_EQ(s.c.play.SeatCount, 0);
  EXPECT_EQ(s.c.view.Label3.caption, "");

  RunEvent(s.c, [&] { ResetToLobby(s.c); });
  EXPECT_TRUE(s.History().empty());
  s.Receive(4, "狗说道: 新一桌");
  ASSERT_EQ(s.History().size(), 1u);
  EXPECT_EQ(s.History()[0], "狗说道: 新一桌");
}

}  // namespace
}  // namespace tavren
