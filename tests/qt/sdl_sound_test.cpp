// The SDL2_mixer sound device on the dummy audio driver: the real code path
// with no sound card.
#include "qt/sdl_sound.h"

#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace tavren::qt {
namespace {

// A short 16-bit mono PCM wave file.
void WriteWave(const std::string& path, int samples) {
  std::ofstream f(path, std::ios::binary);
  auto u32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) f.put(static_cast<char>(v >> (8 * i)));
  };
  auto u16 = [&](std::uint16_t v) {
    f.put(static_cast<char>(v & 0xFF));
    f.put(static_cast<char>(v >> 8));
  };
  const std::uint32_t data = static_cast<std::uint32_t>(samples) * 2;
  f.write("RIFF", 4);
  u32(36 + data);
  f.write("WAVEfmt ", 8);
  u32(16);
  u16(1);  // PCM
  u16(1);  // mono
  u32(22050);
  u32(44100);
  u16(2);
  u16(16);
  f.write("data", 4);
  u32(data);
  for (int i = 0; i < samples; ++i) u16(static_cast<std::uint16_t>((i % 50) * 400));
}

class SdlSoundTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ::setenv("SDL_AUDIODRIVER", "dummy", 1); }
  SdlSoundTest() {
    char tmpl[] = "/tmp/tavren-sound-XXXXXX";
    const char* d = ::mkdtemp(tmpl);
    dir_ = d != nullptr ? d : "/nonexistent";
    wave_ = dir_ + "/tick.wav";
    longWave_ = dir_ + "/long.wav";
    WriteWave(wave_, 2205);
    WriteWave(longWave_, 22050 * 5);
  }
  ~SdlSoundTest() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string dir_, wave_, longWave_;
};

TEST_F(SdlSoundTest, EverythingFailsAsADeviceFailureBeforeTheDeviceIsOpen) {
  SdlSound sound;
  EXPECT_EQ(sound.playEffect(wave_, false), SoundResult::DeviceFailed);
  EXPECT_EQ(sound.stopEffect(), SoundResult::DeviceFailed);
  EXPECT_EQ(sound.setEffectVolume(0), SoundResult::DeviceFailed);
  EXPECT_EQ(sound.playVoice(0, wave_, -800), SoundResult::DeviceFailed);
  EXPECT_FALSE(sound.hasEffect());
}

TEST_F(SdlSoundTest, TheEffectChannelPlaysOneFileAtATime) {
  SdlSound sound;
  ASSERT_TRUE(sound.open()) << SDL_GetError();
  ASSERT_GE(Mix_AllocateChannels(-1), 5);

  EXPECT_EQ(sound.playEffect(longWave_, true), SoundResult::Ok);
  EXPECT_TRUE(sound.hasEffect());
  EXPECT_EQ(Mix_Playing(0), 1);
  const Uint32 loopBytes = Mix_GetChunk(0)->alen;
  // The next effect replaces the loop on the same channel.
  EXPECT_EQ(sound.playEffect(wave_, false), SoundResult::Ok);
  ASSERT_NE(Mix_GetChunk(0), nullptr);
  EXPECT_LT(Mix_GetChunk(0)->alen, loopBytes);
  EXPECT_EQ(Mix_Playing(0), 1);
  EXPECT_EQ(sound.stopEffect(), SoundResult::Ok);
  EXPECT_EQ(Mix_Playing(0), 0);
  EXPECT_TRUE(sound.hasEffect());  // stopped and rewound, still loaded
}

TEST_F(SdlSoundTest, AMissingFileIsAFileFailureAndLeavesTheChannelEmpty) {
  SdlSound sound;
  ASSERT_TRUE(sound.open()) << SDL_GetError();
  EXPECT_EQ(sound.playEffect(wave_, false), SoundResult::Ok);
  EXPECT_EQ(sound.playEffect(dir_ + "/missing.wav", false), SoundResult::FileFailed);
  EXPECT_FALSE(sound.hasEffect());
  EXPECT_EQ(Mix_Playing(0), 0);
  EXPECT_EQ(sound.playVoice(1, dir_ + "/missing.wav", -800), SoundResult::FileFailed);
}

TEST_F(SdlSoundTest, LevelsInHundredthsOfADecibelSetTheMixerVolume) {
  SdlSound sound;
  ASSERT_TRUE(sound.open()) << SDL_GetError();
  ASSERT_EQ(sound.playEffect(longWave_, true), SoundResult::Ok);
  EXPECT_EQ(sound.setEffectVolume(0), SoundResult::Ok);
  EXPECT_EQ(Mix_Volume(0, -1), MIX_MAX_VOLUME);
  EXPECT_EQ(sound.setEffectVolume(-3000), SoundResult::Ok);
  EXPECT_EQ(Mix_Volume(0, -1), 4);
  // Voices play on mixer channels 1..4 at their own level.
  EXPECT_EQ(sound.playVoice(2, longWave_, -800), SoundResult::Ok);
  EXPECT_EQ(Mix_Playing(3), 1);
  EXPECT_EQ(Mix_Volume(3, -1), 51);
  EXPECT_EQ(Mix_Volume(0, -1), 4);  // the effect channel keeps its own
}

TEST_F(SdlSoundTest, TheFourVoiceChannelsAreIndependentAndOthersPlayNothing) {
  SdlSound sound;
  ASSERT_TRUE(sound.open()) << SDL_GetError();
  for (int ch = 0; ch < 4; ++ch) EXPECT_EQ(sound.playVoice(ch, longWave_, -800), SoundResult::Ok);
  for (int mix = 1; mix <= 4; ++mix) EXPECT_EQ(Mix_Playing(mix), 1) << mix;
  EXPECT_EQ(Mix_Playing(0), 0);  // the effect channel is untouched
  // A second phrase of the same player cuts the first: the short one plays now.
  const Uint32 firstBytes = Mix_GetChunk(1)->alen;
  EXPECT_EQ(sound.playVoice(0, wave_, -800), SoundResult::Ok);
  ASSERT_NE(Mix_GetChunk(1), nullptr);
  EXPECT_LT(Mix_GetChunk(1)->alen, firstBytes);
  EXPECT_EQ(Mix_Playing(1), 1);
  for (int bad : {-1, 4, 1000})
    EXPECT_NE(sound.playVoice(bad, wave_, -800), SoundResult::Ok) << bad;
  EXPECT_EQ(Mix_AllocateChannels(-1), 5);
}

}  // namespace
}  // namespace tavren::qt
