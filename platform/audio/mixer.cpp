#include "platform/audio/mixer.hpp"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cmath>

namespace plat {
namespace {
std::weak_ptr<AudioMixer> g_open;

constexpr int kRate = 44100;
constexpr int kChunk = 1024;
}  // namespace

std::shared_ptr<AudioMixer> AudioMixer::Acquire(std::string* error) {
  if (auto open = g_open.lock()) return open;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    if (error) *error = std::string("no audio driver: ") + SDL_GetError();
    return nullptr;
  }
  if (Mix_OpenAudio(kRate, MIX_DEFAULT_FORMAT, 2, kChunk) != 0) {
    if (error) *error = std::string("the audio device does not open: ") + Mix_GetError();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return nullptr;
  }
  // Without the MP3 decoder the music is refused track by track; sounds and
  // films do not need it.
  Mix_Init(MIX_INIT_MP3);
  std::shared_ptr<AudioMixer> mixer(new AudioMixer());
  Mix_QuerySpec(&mixer->frequency_, &mixer->format_, &mixer->channels_);
  Mix_AllocateChannels(0);
  g_open = mixer;
  return mixer;
}

AudioMixer::~AudioMixer() {
  Mix_HaltChannel(-1);
  Mix_HaltMusic();
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

int AudioMixer::AllocateChannel() {
  auto free = std::find(used_.begin(), used_.end(), false);
  const int channel = static_cast<int>(free - used_.begin());
  if (free == used_.end()) {
    used_.push_back(true);
    Mix_AllocateChannels(static_cast<int>(used_.size()));
  } else {
    *free = true;
  }
  Mix_HaltChannel(channel);
  Mix_Volume(channel, MIX_MAX_VOLUME);
  return channel;
}

void AudioMixer::FreeChannel(int channel) {
  if (channel < 0 || channel >= static_cast<int>(used_.size())) return;
  Mix_HaltChannel(channel);
  used_[static_cast<size_t>(channel)] = false;
}

int AudioMixer::ChannelsPlaying() const {
  int n = 0;
  for (int c = 0; c < static_cast<int>(used_.size()); ++c)
    if (Mix_Playing(c) && !Mix_Paused(c)) ++n;
  return n;
}

double GainOf(int32_t hundredthsDb) {
  const int32_t v = std::clamp(hundredthsDb, kVolumeMin, kVolumeMax);
  return std::pow(10.0, v / 2000.0);
}

int MixerVolume(int32_t hundredthsDb) {
  return static_cast<int>(std::lround(GainOf(hundredthsDb) * MIX_MAX_VOLUME));
}

}  // namespace plat
