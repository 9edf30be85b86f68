// The sound layer: one effect channel (effects, claim and tile voices, the
// background loop) and four voice channels for the players' quick phrases.
#pragma once

#include <array>
#include <string>

namespace tavren {

struct Client;

enum Effect : int {
  kEffectMusic = 1,    // "majiang.wav", the background loop
  kEffectDiscard = 2,  // "dapai.wav"
  kEffectDraw = 3,     // "qupai.wav"
  kEffectShuffle = 4,  // "xipai.wav"
  kEffectDice = 5,     // "zhise.wav"
  kEffectWarning = 6,  // "tishi.wav", the last seconds of a countdown
};
inline constexpr int kFullVolume = 3000;
inline constexpr int kWarningVolume = 3000;
inline constexpr int kVoiceLevel = -800;

// Claim voice codes.
inline constexpr const char* kVoiceChi = "01";
inline constexpr const char* kVoicePeng = "02";
inline constexpr const char* kVoiceKong = "03";
inline constexpr const char* kVoiceConcealedKong = "04";
inline constexpr const char* kVoiceFlower = "07";
inline constexpr const char* kVoiceHu = "09";

struct SoundState {
  bool SoundOn = false;
  bool MusicOn = false;
  bool VoiceOn = false;
  std::array<std::string, 7> EffectFile{};  // 1..6
  std::string VoiceFolder;
};

void LoadSoundFiles(Client& c);
void InitSoundDevice(Client& c);
void PlayEffect(Client& c, const std::string& path, bool looping);
void StopEffect(Client& c);
void SetEffectVolume(Client& c, int level);
void PlayVoice(Client& c, const std::string& path, int channel);

// Effect n of the table, at `volume`, when sound is on.
void PlayEffect(Client& c, int effect, int volume);

// Voice file names for the speaker at `side`.
std::string VoiceKey(const Client& c, int side);
std::string ClaimVoicePath(const Client& c, int side, const char* code);
std::string TileVoicePath(const Client& c, int side, int tile);

// The sound start-up: switches on, files located, background loop started.
void StartSound(Client& c);

}  // namespace tavren
