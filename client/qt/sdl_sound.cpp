#include "qt/sdl_sound.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include "qt/world_paths.h"

namespace tavren::qt {

namespace {

constexpr int kEffectChannel = 0;
constexpr int kChannels = 5;  // the effect channel and four voice channels
constexpr int kRate = 22050;
constexpr int kChunkBytes = 1024;

}  // namespace

SdlSound::~SdlSound() {
  close();
}

bool SdlSound::open() {
  if (opened_) return true;
  // SDL would turn SIGINT and SIGTERM into events nobody reads here, and the
  // client could then not be stopped by them.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  if (Mix_OpenAudio(kRate, MIX_DEFAULT_FORMAT, 2, kChunkBytes) != 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  if (Mix_AllocateChannels(kChannels) < kChannels) {
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  opened_ = true;
  return true;
}

void SdlSound::close() {
  if (!opened_) return;
  Mix_HaltChannel(-1);
  if (effect_ != nullptr) Mix_FreeChunk(effect_);
  effect_ = nullptr;
  for (Mix_Chunk*& v : voices_) {
    if (v != nullptr) Mix_FreeChunk(v);
    v = nullptr;
  }
  Mix_CloseAudio();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  opened_ = false;
}

SoundResult SdlSound::playEffect(const std::string& path, bool looping) {
  if (!opened_) return SoundResult::DeviceFailed;
  // A chunk may only be freed once its channel no longer plays it.
  Mix_HaltChannel(kEffectChannel);
  if (effect_ != nullptr) Mix_FreeChunk(effect_);
  effect_ = Mix_LoadWAV(path.c_str());
  if (effect_ == nullptr) return SoundResult::FileFailed;
  if (Mix_PlayChannel(kEffectChannel, effect_, looping ? -1 : 0) < 0)
    return SoundResult::DeviceFailed;
  return SoundResult::Ok;
}

SoundResult SdlSound::stopEffect() {
  if (!opened_) return SoundResult::DeviceFailed;
  // Halting rewinds: the next play of the chunk starts from its beginning.
  Mix_HaltChannel(kEffectChannel);
  return SoundResult::Ok;
}

SoundResult SdlSound::setEffectVolume(int hundredthsDb) {
  if (!opened_) return SoundResult::DeviceFailed;
  Mix_Volume(kEffectChannel, MixVolumeFromHundredthsDb(hundredthsDb));
  return SoundResult::Ok;
}

SoundResult SdlSound::playVoice(int channel, const std::string& path, int hundredthsDb) {
  if (channel < 0 || channel >= kVoiceChannels) return SoundResult::FileFailed;
  if (!opened_) return SoundResult::DeviceFailed;
  const int mixChannel = kEffectChannel + 1 + channel;
  Mix_HaltChannel(mixChannel);
  Mix_Chunk*& chunk = voices_[static_cast<std::size_t>(channel)];
  if (chunk != nullptr) Mix_FreeChunk(chunk);
  chunk = Mix_LoadWAV(path.c_str());
  if (chunk == nullptr) return SoundResult::FileFailed;
  Mix_Volume(mixChannel, MixVolumeFromHundredthsDb(hundredthsDb));
  if (Mix_PlayChannel(mixChannel, chunk, 0) < 0) return SoundResult::DeviceFailed;
  return SoundResult::Ok;
}

}  // namespace tavren::qt
