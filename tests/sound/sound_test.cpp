// The sound layer over a recording device.
#include "sound/sound.h"

#include <gtest/gtest.h>

#include "support/sim_client.h"

namespace tavren {
namespace {

using testing::SimClient;

TEST(Sound, StartUpPlaysTheBackgroundLoopAtFullVolume) {
  SimClient s;
  StartSound(s.c);
  EXPECT_TRUE(s.c.sound.SoundOn);
  ASSERT_EQ(s.platform.soundDevice.plays.size(), 1u);
  EXPECT_EQ(s.platform.soundDevice.plays[0].path, "/tmp/tavren-sim/../common/music/majiang.wav");
  EXPECT_TRUE(s.platform.soundDevice.plays[0].looping);
  EXPECT_EQ(s.platform.soundDevice.volume, 0);
}

TEST(Sound, AFailingDeviceSwitchesSoundOffSilently) {
  SimClient s;
  s.platform.soundDevice.works = false;
  StartSound(s.c);
  EXPECT_FALSE(s.c.sound.SoundOn);
  EXPECT_TRUE(s.platform.soundDevice.plays.empty());
  EXPECT_TRUE(s.platform.messageBoxes.empty());
  PlayEffect(s.c, kEffectDiscard, kFullVolume);  // callers then play nothing
  EXPECT_TRUE(s.platform.soundDevice.plays.empty());
}

TEST(Sound, AMissingFileIsSkippedAndSoundStaysOn) {
  SimClient s;
  StartSound(s.c);
  s.platform.soundDevice.missing.push_back(s.c.sound.EffectFile[kEffectDice]);
  PlayEffect(s.c, kEffectDice, kFullVolume);
  EXPECT_TRUE(s.c.sound.SoundOn);
  EXPECT_EQ(s.platform.soundDevice.plays.size(), 1u);
  PlayEffect(s.c, kEffectDiscard, kFullVolume);  // a discard replaces the loop
  EXPECT_EQ(s.platform.soundDevice.plays.back().path, s.c.sound.EffectFile[kEffectDiscard]);
  EXPECT_FALSE(s.platform.soundDevice.plays.back().looping);
}

TEST(Sound, VolumeOutsideItsRangeChangesNothing) {
  SimClient s;
  StartSound(s.c);
  SetEffectVolume(s.c, 1000);
  EXPECT_EQ(s.platform.soundDevice.volume, -2000);
  SetEffectVolume(s.c, 3500);
  SetEffectVolume(s.c, -1);
  EXPECT_EQ(s.platform.soundDevice.volume, -2000);
}

TEST(Sound, VoicesPlayOnTheirOwnChannelsOnly) {
  SimClient s;
  StartSound(s.c);
  PlayVoice(s.c, "a.wav", 0);
  PlayVoice(s.c, "b.wav", 3);
  PlayVoice(s.c, "c.wav", 4);
  PlayVoice(s.c, "d.wav", -1);
  const auto& plays = s.platform.soundDevice.plays;
  ASSERT_EQ(plays.size(), 3u);
  EXPECT_EQ(plays[1].channel, 0);
  EXPECT_EQ(plays[2].channel, 3);
}

TEST(Sound, VoiceFileNames) {
  SimClient s;
  LoadSoundFiles(s.c);
  PlayerInfoRecord& p = s.c.table.PlayerInfo[2];
  p.voiceSet = "27";
  p.voicePitch = "20";
  p.sex = 1;
  p.voiceVariant = 3;
  const std::string folder = "/tmp/tavren-sim/../common/tavrenmj/";
  EXPECT_EQ(ClaimVoicePath(s.c, 2, kVoicePeng), folder + "vtvmj27201302.wav");
  const std::pair<int, const char*> tiles[] = {
      {0x85, "45"}, {0x11, "11"}, {0x43, "83"}, {0x29, "29"}, {0x17, "17"}};
  for (auto [tile, digits] : tiles)
    EXPECT_EQ(TileVoicePath(s.c, 2, tile), folder + "vtvmj272013" + digits + ".wav") << tile;
}

}  // namespace
}  // namespace tavren
