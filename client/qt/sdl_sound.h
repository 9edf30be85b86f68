// The sound device on SDL2_mixer: mixer channel 0 is the effect channel,
// channels 1..4 are the four voice channels.
#pragma once

#include <array>
#include <string>

#include "platform/platform.h"

struct Mix_Chunk;

namespace tavren::qt {

class SdlSound : public SoundDevice {
 public:
  SdlSound() = default;
  SdlSound(const SdlSound&) = delete;
  SdlSound& operator=(const SdlSound&) = delete;
  ~SdlSound() override;

  bool open() override;
  SoundResult playEffect(const std::string& path, bool looping) override;
  SoundResult stopEffect() override;
  bool hasEffect() override { return effect_ != nullptr; }
  SoundResult setEffectVolume(int hundredthsDb) override;
  SoundResult playVoice(int channel, const std::string& path, int hundredthsDb) override;

 private:
  static constexpr int kVoiceChannels = 4;
  void close();

  bool opened_ = false;
  Mix_Chunk* effect_ = nullptr;
  std::array<Mix_Chunk*, kVoiceChannels> voices_{};
};

}  // namespace tavren::qt
