// The sound settings window: switches change at once, confirm keeps them,
// cancel undoes the rows pressed an odd number of times.
#include <gtest/gtest.h>

#include "input/input.h"
#include "sound/settings.h"
#include "support/forms_helpers.h"

namespace tavren {
namespace {

using testing::Click;
using testing::SimClient;

struct Settings : SimClient {
  Settings() {
    LayOutTable(c);
    StartSound(c);  // the loop plays, every switch on
  }
  int Picture(int row) { return c.forms[FormId::VosSet].find("Command2", row)->picture; }
  const sim::RecordingSound& Device() { return platform.soundDevice; }
  int LoopsStarted() {
    int n = 0;
    for (const auto& play : Device().plays)
      if (play.looping && play.path == c.sound.EffectFile[kEffectMusic]) ++n;
    return n;
  }
};

TEST(SoundSettings, TheSettingsButtonPlacesAndTogglesTheWindowWithEverySwitchOn) {
  Settings s;
  s.c.view.AnNiu[3].enabled = true;
  OnControlBarClick(s.c, 3);
  const SmallForm& f = s.c.forms[FormId::VosSet];
  ASSERT_TRUE(f.visible);
  EXPECT_EQ(f.caption, "音效设置");
  const MainForm& m = s.c.view;
  // Placed by its whole height, the caption's strip included.
  EXPECT_TRUE(f.titled);
  EXPECT_EQ(f.top, m.windowTop + m.pic1Y + m.pic1H - static_cast<int>(1.35 * (f.h + kFormTitleH)));
  EXPECT_EQ(f.left, m.windowLeft + m.pic1X + m.pic1W - static_cast<int>(1.1 * f.w));
  for (int row = 0; row < 3; ++row) EXPECT_EQ(s.Picture(row), 134) << row;
  EXPECT_EQ(s.Picture(3), 137);
  const Control& confirm = *s.c.forms[FormId::VosSet].find("Command1", 0);
  const Control& cancel = *s.c.forms[FormId::VosSet].find("Command1", 1);
  EXPECT_EQ(confirm.x, 28);
  EXPECT_EQ(confirm.y, 264);
  EXPECT_EQ(cancel.x, 28 + 91);
  EXPECT_EQ(confirm.picture, 130);
  EXPECT_EQ(cancel.picture, 132);
  OnControlBarClick(s.c, 3);
  EXPECT_FALSE(f.visible);
}

TEST(SoundSettings, CancelUndoesOnlyRowsPressedAnOddNumberOfTimes) {
  struct Case {
    int presses;
    bool cancel;
    bool musicAfter;
    int loopsAfter;  // loops started after the start-up's
  } cases[] = {{2, true, true, 1}, {1, true, true, 1}, {1, false, false, 0}, {2, false, true, 1}};
  for (const Case& k : cases) {
    Settings s;
    LoadSoundSettings(s.c);
    const int stopsBefore = s.Device().stops;
    for (int i = 0; i < k.presses; ++i) Click(s.c, FormId::VosSet, "Command2", 0);
    EXPECT_EQ(s.c.sound.MusicOn, k.presses % 2 == 0);
    EXPECT_EQ(s.Picture(0), k.presses % 2 == 0 ? 134 : 135);
    Click(s.c, FormId::VosSet, "Command1", k.cancel ? 1 : 0);
    EXPECT_FALSE(s.c.forms[FormId::VosSet].visible);
    EXPECT_EQ(s.c.sound.MusicOn, k.musicAfter) << k.presses << k.cancel;
    EXPECT_EQ(s.LoopsStarted() - 1, k.loopsAfter) << k.presses << k.cancel;
    EXPECT_GT(s.Device().stops, stopsBefore);
    EXPECT_EQ(s.Picture(0), k.musicAfter ? 134 : 135);
    EXPECT_EQ(s.c.soundSettings.Toggled, (std::array<std::int16_t, 4>{}));
  }
}

TEST(SoundSettings, EffectsOffLeavesTheLoopPlayingAndKeepsLaterSoundsFromStarting) {
  Settings s;
  LoadSoundSettings(s.c);
  const int stops = s.Device().stops;
  Click(s.c, FormId::VosSet, "Command2", 2);
  EXPECT_FALSE(s.c.sound.SoundOn);
  EXPECT_EQ(s.Picture(2), 135);
  EXPECT_EQ(s.Device().stops, stops);
  const std::size_t plays = s.Device().plays.size();
  PlayEffect(s.c, kEffectDiscard, kFullVolume);
  EXPECT_EQ(s.Device().plays.size(), plays);
  Click(s.c, FormId::VosSet, "Command2", 1);
  EXPECT_FALSE(s.c.sound.VoiceOn);
  Click(s.c, FormId::VosSet, "Command1", 1);  // cancel: both back on
  EXPECT_TRUE(s.c.sound.SoundOn);
  EXPECT_TRUE(s.c.sound.VoiceOn);
  EXPECT_EQ(s.Picture(1), 134);
}

TEST(SoundSettings, TheDialectButtonGivesEveryPlayerTheDialectVoices) {
  Settings s;
  for (PlayerInfoRecord& p : s.c.table.PlayerInfo) p.voiceSet = "11";
  s.c.sound.VoiceFolder.clear();
  LoadSoundSettings(s.c);
  Click(s.c, FormId::VosSet, "Command2", 3);
  for (const PlayerInfoRecord& p : s.c.table.PlayerInfo) EXPECT_EQ(p.voiceSet, "27");
  EXPECT_EQ(s.c.sound.VoiceFolder, s.platform.folder + "/../common/tavrenmj/");
  EXPECT_EQ(s.Picture(3), 137);
  EXPECT_EQ(s.c.soundSettings.Toggled[3], -1);
}

TEST(SoundSettings, ReopeningShowsTheCurrentState) {
  Settings s;
  s.c.view.AnNiu[3].enabled = true;
  OnControlBarClick(s.c, 3);
  Click(s.c, FormId::VosSet, "Command2", 0);
  Click(s.c, FormId::VosSet, "Command1", 0);
  OnControlBarClick(s.c, 3);
  EXPECT_TRUE(s.c.forms[FormId::VosSet].visible);
  EXPECT_EQ(s.Picture(0), 135);
  EXPECT_EQ(s.Picture(1), 134);
  PressSettingButton(s.c, 7);  // no such row
  PressSettingButton(s.c, -1);
  EXPECT_EQ(s.c.soundSettings.Toggled, (std::array<std::int16_t, 4>{}));
}

}  // namespace
}  // namespace tavren
