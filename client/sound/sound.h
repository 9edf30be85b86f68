// Sound effects and voices.
#pragma once

namespace tavren {

struct Client;

struct SoundState {
  bool SoundOn = false;
};

inline constexpr int kEffectWarning = 6;  // "tishi.wav", the last seconds of a countdown
inline constexpr int kWarningVolume = 3000;

void PlayEffect(Client& c, int effect, int volume);

}  // namespace tavren
