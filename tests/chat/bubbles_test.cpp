// Quick phrases from the phrase file, sent by a double click and shown by
// every client in a fading speech bubble beside the speaker, with a voice.
#include "chat/bubbles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "chat/chat.h"
#include "chat/phrases.h"
#include "shell/ini_file.h"
#include "sound/sound.h"
#include "support/forms_helpers.h"
#include "table/dispatch.h"
#include "table/tiles.h"
#include "view/chrome.h"
#include "view/windows.h"

namespace tavren {
namespace {

using testing::Operand;
using testing::Queued;
using testing::SimClient;
namespace p = protocol;
namespace fs = std::filesystem;

// A client whose program folder holds a phrase file (or none).
struct Phrases : SimClient {
  fs::path folder;
  explicit Phrases(bool withFile = true) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    folder = fs::temp_directory_path() /
             ("tavren-phrases-" + std::to_string(getpid()) + "-" + test->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    platform.folder = folder.string();
    if (withFile) {
      classIniFile ini;
      ini.INIFileName = (folder / "chat.ini").string();
      ini.WriteIniKey("Phrase1", "num", "3");
      ini.WriteIniKey("Phrase1", "1", "快点吧");
      ini.WriteIniKey("Phrase1", "2", "  好牌！ ");
      ini.WriteIniKey("Phrase2", "num", "2");
      ini.WriteIniKey("Phrase2", "1", "再见");
      ini.WriteIniKey("Phrase2", "2", "下次再玩");
    }
    c.table.LoginAccepted = true;
    c.table.PlayerInfo[0].nick = "阿明";
    c.table.PlayerInfo[2].nick = "猫";
    c.table.custom[2].seat = 4;
    c.chat.PhraseBubblesOn = true;
    c.sound.SoundOn = true;
    c.sound.VoiceFolder = "/voices/";
    for (PlayerInfoRecord& r : c.table.PlayerInfo) {
      r.voiceSet = "27";
      r.voicePitch = "1";
      r.sex = 1;
    }
  }
  ~Phrases() { fs::remove_all(folder); }
  void Receive(std::uint8_t seat, int list, int phrase, const std::string& text) {
    Frame f = testing::ServerFrame(p::kInsChat, seat, {list, 0, 0, phrase});
    testing::PutText(f, p::kPayloadOffset, Utf8ToGbk(text));
    c.link.ReceiveRing.append(f.data(), f.size());
    RunEvent(c, [&] {
      DecodeFrame(c.link);
      Dispatch(c);
    });
  }
  // n ticks of the fade timer, in virtual time.
  void Ticks(int n) { Run(static_cast<std::int64_t>(n) * kFadeTickMs); }
  const SmallForm& Bubble(int side) { return c.forms[BubbleForm(side)]; }
  std::string BubbleText(int side) { return c.forms[BubbleForm(side)].find("labPhrase")->caption; }
};

TEST(PhraseWindow, ListsComeFromThePhraseFileAShortSectionGivesEmptyItems) {
  Phrases s;
  SmallForm& f = LoadPhraseWindow(s.c);
  EXPECT_EQ(f.find("List1")->items, (std::vector<std::string>{"快点吧", "好牌！", ""}));
  EXPECT_EQ(f.find("List2")->items, (std::vector<std::string>{"再见", "下次再玩"}));
  Phrases none(false);
  SmallForm& g = LoadPhraseWindow(none.c);
  EXPECT_TRUE(g.find("List1")->items.empty());
  const int list1 = testing::ControlIndex(none.c, FormId::huifu, "List1");
  FormSelect(none.c, FormId::huifu, list1, 0);
  FormDoubleClick(none.c, FormId::huifu, list1);
  EXPECT_TRUE(Queued(none.c).empty());
}

TEST(PhraseWindow, ABadCountCannotMakeAListWithoutEnd) {
  Phrases s;
  classIniFile ini;
  ini.INIFileName = (s.folder / "chat.ini").string();
  ini.WriteIniKey("Phrase1", "num", "99999999999");
  ini.WriteIniKey("Phrase2", "num", "-4");
  SmallForm& f = LoadPhraseWindow(s.c);
  EXPECT_EQ(f.find("List1")->items.size(), static_cast<std::size_t>(kMaxPhrases));
  EXPECT_TRUE(f.find("List2")->items.empty());
}

TEST(PhraseWindow, ADoubleClickSendsTheListAndNumberPubliclyOrPrivately) {
  for (bool privately : {false, true}) {
    Phrases s;
    if (privately) OnPortraitClick(s.c, 2);
    OpenPhraseList(s.c, 2);
    const int list2 = testing::ControlIndex(s.c, FormId::huifu, "List2");
    FormSelect(s.c, FormId::huifu, list2, 1);
    FormDoubleClick(s.c, FormId::huifu, list2);
    const std::vector<Frame> sent = Queued(s.c);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][3], p::kReqChat);
    EXPECT_EQ(Operand(sent[0], 0), 2);
    EXPECT_EQ(Operand(sent[0], 1), privately ? 4 : 0);
    EXPECT_EQ(Operand(sent[0], 3), 2);
    EXPECT_EQ(testing::ChatText(sent[0]),
              privately ? "阿明对猫说: 下次再玩" : "阿明说道: 下次再玩");
    EXPECT_EQ(s.c.view.Chat.caption, "");
    EXPECT_EQ(s.c.chat.PrivatePrefix, "");
    EXPECT_FALSE(s.c.forms[FormId::huifu].visible);
    EXPECT_TRUE(s.c.chat.ChatFocus);
  }
}

TEST(PhraseWindow, ThePhraseLabelsOpenSwitchAndCloseTheLists) {
  Phrases s;
  LayOutTable(s.c);
  ShowTalk(s.c);
  OpenPhraseList(s.c, 2);
  const SmallForm& f = s.c.forms[FormId::huifu];
  EXPECT_FALSE(s.c.forms[FormId::Talk].visible);
  ASSERT_TRUE(f.visible);
  EXPECT_TRUE(f.topmost);
  auto shown = [&](const char* list) { return s.c.forms[FormId::huifu].find(list)->visible; };
  EXPECT_TRUE(shown("List2"));
  EXPECT_FALSE(shown("List1"));
  OpenPhraseList(s.c, 1);  // List2 showing: switches
  EXPECT_TRUE(f.visible);
  EXPECT_TRUE(shown("List1"));
  EXPECT_FALSE(shown("List2"));
  OpenPhraseList(s.c, 1);  // again: closes
  EXPECT_FALSE(f.visible);
  OpenPhraseList(s.c, 1);
  testing::Click(s.c, FormId::huifu, "Label1");
  EXPECT_FALSE(f.visible);
}

TEST(SpeechBubble, APhraseLineShowsTheBubbleAndPlaysTheSpeakersVoice) {
  Phrases s;
  LayOutTable(s.c);
  s.Receive(4, 2, 2, "猫说道: 下次再玩");
  const SmallForm& f = s.Bubble(2);
  ASSERT_TRUE(f.loaded && f.visible);
  EXPECT_EQ(f.caption, "speakbox");
  EXPECT_TRUE(f.topmost);
  EXPECT_EQ(s.BubbleText(2), "下次再玩");
  EXPECT_EQ(f.left, s.c.view.windowLeft + 6150 / 15);
  EXPECT_EQ(f.top, s.c.view.windowTop + 1050 / 15);
  ASSERT_EQ(s.platform.soundDevice.plays.size(), 1u);
  EXPECT_EQ(s.platform.soundDevice.plays[0].channel, 2);
  EXPECT_EQ(s.platform.soundDevice.plays[0].path,
            "/voices/v27110"
            "0020"
            "2.wav");
  EXPECT_EQ(LoadTalk(s.c).find("Text1")->items.back(), "猫说道: 下次再玩");
  // The user's own phrase has its bubble too.
  s.Receive(1, 1, 1, "阿明说道: 快点吧");
  EXPECT_TRUE(s.Bubble(0).visible);
  EXPECT_EQ(s.BubbleText(0), "快点吧");
}

TEST(SpeechBubble, NoBubbleWithoutThePhraseWhileMinimisedOrSwitchedOff) {
  struct Case {
    int phrase;
    bool minimized, bubblesOn, soundOn;
    bool bubble, voice;
  } cases[] = {{3, false, true, true, false, false},  // the third phrase is empty
               {9, false, true, true, false, false}, {0, false, true, true, false, false},
               {1, true, true, true, false, false},  {1, false, false, true, false, false},
               {1, false, true, false, true, false}, {1, false, true, true, true, true}};
  for (const Case& k : cases) {
    Phrases s;
    s.c.view.minimized = k.minimized;
    s.c.chat.PhraseBubblesOn = k.bubblesOn;
    s.c.sound.SoundOn = k.soundOn;
    s.Receive(4, 1, k.phrase, "猫说道: 什么");
    EXPECT_EQ(s.Bubble(2).loaded, k.bubble) << k.phrase;
    EXPECT_EQ(s.platform.soundDevice.plays.size(), k.voice ? 1u : 0u) << k.phrase;
    EXPECT_EQ(LoadTalk(s.c).find("Text1")->items.size(), 1u);  // the line is always shown
  }
}

TEST(SpeechBubble, FadesInHoldsFadesOutAndIsHiddenByTicks) {
  Phrases s;
  s.Receive(2, 1, 1, "狗说道: 快点吧");
  const SmallForm& f = s.Bubble(3);
  EXPECT_EQ(f.opacity, 0);
  struct Step {
    int tick, opacity;
  } steps[] = {{1, 8}, {2, 16}, {26, 208}, {27, 208}, {276, 208}, {277, 206}, {328, 2}};
  int now = 0;
  for (const Step& k : steps) {
    s.Ticks(k.tick - now);
    now = k.tick;
    EXPECT_EQ(f.opacity, k.opacity) << "tick " << k.tick;
    EXPECT_TRUE(TimerEnabled(s.c, TimerId::FadeIn));
  }
  EXPECT_TRUE(f.visible);
  s.Ticks(1);  // tick 329: hidden (a window parked off the screen may be pulled back onto it)
  EXPECT_EQ(f.opacity, 2);
  EXPECT_FALSE(f.visible);
  EXPECT_EQ(s.BubbleText(3), "");
  EXPECT_FALSE(TimerEnabled(s.c, TimerId::FadeIn));
  EXPECT_TRUE(f.loaded);  // kept for the side's next phrase
}

TEST(SpeechBubble, TheWholeFadeLastsAboutFiveSecondsMostOfThemHeld) {
  Phrases s;
  LayOutTable(s.c);
  s.Receive(2, 1, 1, "狗说道: 快点吧");
  const SmallForm& f = s.Bubble(3);
  const int shownLeft = s.c.view.windowLeft + 11400 / 15;
  // Milliseconds after the line arrived: in within half a second, held past four
  // seconds, out and hidden a little after five.
  struct Moment {
    int ms, opacity;
    bool onScreen;
  } moments[] = {{400, 200, true}, {1000, 208, true}, {4400, 208, true},
                 {5000, 66, true}, {5250, 2, true},   {5300, 2, false}};
  std::int64_t now = 0;
  for (const Moment& k : moments) {
    s.Run(k.ms - now);
    now = k.ms;
    EXPECT_EQ(f.opacity, k.opacity) << k.ms << " ms";
    EXPECT_EQ(f.visible, k.onScreen) << k.ms << " ms";
    EXPECT_EQ(f.left, shownLeft) << k.ms << " ms";
    EXPECT_EQ(s.BubbleText(3), k.onScreen ? "快点吧" : "") << k.ms << " ms";
  }
}

TEST(SpeechBubble, ASecondPhraseOfASideReusesItsBubbleAndFadesInAgain) {
  Phrases s;
  s.Receive(2, 1, 1, "狗说道: 快点吧");
  s.Ticks(100);
  EXPECT_EQ(s.Bubble(3).opacity, 208);
  s.Receive(2, 2, 1, "狗说道: 再见");
  EXPECT_EQ(s.BubbleText(3), "再见");
  s.Ticks(1);
  EXPECT_EQ(s.Bubble(3).opacity, 8);
  // Two sides fade at once on the one timer.
  s.Receive(4, 2, 2, "猫说道: 下次再玩");
  s.Ticks(1);
  EXPECT_EQ(s.Bubble(3).opacity, 16);
  EXPECT_EQ(s.Bubble(2).opacity, 8);
}

TEST(SpeechBubble, PrepareKeepsANewBubbleHiddenAndShapeRefusesASecondWindow) {
  Phrases s;
  LayOutTable(s.c);
  PrepareBubble(s.c, 1);
  const SmallForm& left = s.Bubble(1);
  EXPECT_TRUE(left.loaded);
  EXPECT_FALSE(left.visible);
  EXPECT_EQ(left.left, s.c.view.windowLeft + 1050 / 15);
  EXPECT_EQ(left.top, s.c.view.windowTop + 3000 / 15);
  EXPECT_EQ(s.BubbleText(1), "  ");
  EXPECT_FALSE(ShapeBubble(s.c, 1));
  PrepareBubble(s.c, 3);
  EXPECT_FALSE(s.Bubble(3).visible);
  EXPECT_EQ(s.Bubble(3).top, s.c.view.windowTop + 3000 / 15);
  EXPECT_EQ(s.Bubble(3).left, s.c.view.windowLeft + 11400 / 15);
}

TEST(SpeechBubble, MinimisingHidesTheBubblesAndRestoringShowsThemTransparentUntilTheirNextPhrase) {
  Phrases s;
  s.c.table.HandNo = 1;
  s.Receive(2, 1, 1, "狗说道: 快点吧");
  s.Ticks(100);
  ASSERT_TRUE(s.Bubble(3).visible);
  OnWindowMinimized(s.c);
  EXPECT_FALSE(s.Bubble(3).visible);
  EXPECT_TRUE(s.Bubble(3).loaded);
  OnWindowRestored(s.c);
  EXPECT_TRUE(s.Bubble(3).visible);
  EXPECT_EQ(s.Bubble(3).opacity, 0);
  EXPECT_TRUE(s.Bubble(3).topmost);
  EXPECT_FALSE(TimerEnabled(s.c, TimerId::FadeIn));
  s.Ticks(10);
  EXPECT_EQ(s.Bubble(3).opacity, 0);  // the stopped fade does not go on
  // The next phrase fades in again.
  s.Receive(2, 1, 2, "狗说道: 好牌！");
  s.Ticks(1);
  EXPECT_EQ(s.Bubble(3).opacity, 8);
}

TEST(SpeechBubble, LeavingTheTableUnloadsEveryBubble) {
  Phrases s;
  s.Receive(2, 1, 1, "狗说道: 快点吧");
  s.Receive(1, 1, 2, "阿明说道: 好牌！");
  ResetToLobby(s.c);
  for (int side = 0; side < 4; ++side) EXPECT_FALSE(s.Bubble(side).loaded) << side;
  EXPECT_FALSE(TimerEnabled(s.c, TimerId::FadeIn));
}

}  // namespace
}  // namespace tavren

namespace tavren {
namespace {

TEST(BubbleShape, EveryRunOfTheKeyColourIsCutAwayNotOnlyTheMargin) {
  constexpr std::uint32_t W = 0xFFFFFF, R = 0xFF0000;
  const std::vector<std::uint32_t> pixels = {W, W, R, W, W,  //
                                             R, R, W, R, R,  //
                                             W, R, R, R, W};
  struct Case {
    std::int64_t key;
    std::vector<ShapeRun> runs;
  } cases[] = {
      // The corner's white is the key; a run reaching the last column ends before it.
      {0, {{0, 2, 3}, {1, 0, 2}, {1, 3, 4}, {2, 1, 4}}},
      {static_cast<std::int64_t>(R), {{0, 0, 2}, {0, 3, 4}, {1, 2, 3}, {2, 0, 1}}},
  };
  for (const Case& k : cases) EXPECT_EQ(ShapeRuns(pixels, 5, 3, k.key), k.runs) << k.key;
  EXPECT_TRUE(ShapeRuns(pixels, 5, 4, 0).empty());  // fewer pixels than the size says
  EXPECT_TRUE(ShapeRuns(pixels, 0, 3, 0).empty());
}

}  // namespace
}  // namespace tavren

namespace tavren {
namespace {

TEST(SpeechBubble, ArbitraryChatFramesNeverEndTheClient) {
  Phrases s;
  std::mt19937 random(7);
  for (int i = 0; i < 400; ++i) {
    Frame f{};
    for (std::uint8_t& b : f) b = static_cast<std::uint8_t>(random());
    f[3] = p::kInsChat;
    f[8] = 0;
    f[9] = static_cast<std::uint8_t>(random() % 4);  // lists 0..3
    s.c.link.ReceiveRing.append(f.data(), f.size());
    RunEvent(s.c, [&] {
      DecodeFrame(s.c.link);
      Dispatch(s.c);
    });
    s.Run(static_cast<int>(random() % 5));
  }
  EXPECT_FALSE(s.c.ended);
  EXPECT_LE(LoadTalk(s.c).find("Text1")->items.size(), 2000u);
  EXPECT_LE(s.c.view.Sysmsg[1].text().size(), 45u * 4);
}

}  // namespace
}  // namespace tavren

namespace tavren {
namespace {

// The phrase file and the voices the build puts beside the client.
TEST(ShippedPhrases, BothListsAreFullAndEveryPhraseShowsWithAVoiceOfEveryVoiceSet) {
  Phrases s(false);
  s.platform.folder = TAVREN_PROGRAM_FOLDER;
  LoadSoundFiles(s.c);
  SmallForm& f = LoadPhraseWindow(s.c);
  struct VoiceSet {
    const char* pitch;
    int sex;
  } sets[] = {{"10", 0}, {"20", 0}, {"10", 1}, {"20", 1}};
  for (int list = 1; list <= 2; ++list) {
    const std::vector<std::string> items = f.find(list == 1 ? "List1" : "List2")->items;
    EXPECT_GE(items.size(), 10u) << "list " << list;
    for (int n = 1; n <= static_cast<int>(items.size()); ++n) {
      const std::string& phrase = items[static_cast<std::size_t>(n - 1)];
      EXPECT_FALSE(phrase.empty()) << list << ":" << n;
      // Two lines of the narrowest bubble.
      EXPECT_LE(CharCount(phrase), 14) << phrase;
      for (const VoiceSet& v : sets) {
        PlayerInfoRecord& speaker = s.c.table.PlayerInfo[2];
        speaker.voiceSet = "27";
        speaker.voicePitch = v.pitch;
        speaker.sex = v.sex;
        speaker.voiceVariant = v.sex != 0 ? 3 : 2;
        s.platform.soundDevice.plays.clear();
        s.Receive(4, list, n, "猫说道: " + phrase);
        EXPECT_EQ(s.BubbleText(2), phrase);
        ASSERT_EQ(s.platform.soundDevice.plays.size(), 1u);
        const std::string& voice = s.platform.soundDevice.plays[0].path;
        EXPECT_TRUE(fs::is_regular_file(voice)) << voice << " is missing for " << phrase;
      }
    }
  }
}

}  // namespace
}  // namespace tavren
