#include "sound/sound.h"

#include "core/client.h"

namespace tavren {

namespace {

constexpr const char* kEffectNames[7] = {"",          "majiang.wav", "dapai.wav", "qupai.wav",
                                         "xipai.wav", "zhise.wav",   "tishi.wav"};

// A failing device switches the whole layer off, silently.
bool Check(Client& c, SoundResult r) {
  if (r == SoundResult::DeviceFailed) c.sound.SoundOn = false;
  return r == SoundResult::Ok;
}

}  // namespace

void LoadSoundFiles(Client& c) {
  const std::string folder = c.platform.programFolder();
  for (int n = 1; n <= 6; ++n)
    c.sound.EffectFile[n] = folder + "/../common/music/" + kEffectNames[n];
  c.sound.VoiceFolder = folder + "/../common/tavrenmj/";
}

void InitSoundDevice(Client& c) {
  if (!c.platform.sound().open()) c.sound.SoundOn = false;
}

void PlayEffect(Client& c, const std::string& path, bool looping) {
  Check(c, c.platform.sound().playEffect(path, looping));
}

void StopEffect(Client& c) {
  Check(c, c.platform.sound().stopEffect());
}

void SetEffectVolume(Client& c, int level) {
  if (level < 0 || level > kFullVolume || !c.platform.sound().hasEffect()) return;
  Check(c, c.platform.sound().setEffectVolume(level - kFullVolume));
}

void PlayVoice(Client& c, const std::string& path, int channel) {
  if (channel < 0 || channel > 3) return;
  // Voice channels never switch sound off: their failures are ignored.
  c.platform.sound().playVoice(channel, path, kVoiceLevel);
}

void PlayEffect(Client& c, int effect, int volume) {
  if (!c.sound.SoundOn || effect < 1 || effect > 6) return;
  PlayEffect(c, c.sound.EffectFile[effect], false);
  SetEffectVolume(c, volume);
}

std::string VoiceKey(const Client& c, int side) {
  const PlayerInfoRecord& p = c.table.PlayerInfo[CheckIndex(side, kSides, "speaker")];
  return p.voiceSet + p.voicePitch + std::to_string(p.sex) + std::to_string(p.voiceVariant);
}

std::string ClaimVoicePath(const Client& c, int side, const char* code) {
  return c.sound.VoiceFolder + "vtvmj" + VoiceKey(c, side) + code + ".wav";
}

std::string TileVoicePath(const Client& c, int side, int tile) {
  int suit = (tile / 16) % 16;
  if (suit == 4)
    suit = 8;
  else if (suit == 8)
    suit = 4;
  return c.sound.VoiceFolder + "vtvmj" + VoiceKey(c, side) + std::to_string(suit) +
         std::to_string(tile % 16) + ".wav";
}

void StartSound(Client& c) {
  c.sound.SoundOn = c.sound.MusicOn = c.sound.VoiceOn = true;
  LoadSoundFiles(c);
  if (!c.sound.SoundOn) return;
  InitSoundDevice(c);
  if (!c.sound.SoundOn) return;
  StopEffect(c);
  PlayEffect(c, c.sound.EffectFile[kEffectMusic], true);
  SetEffectVolume(c, kFullVolume);
}

}  // namespace tavren
