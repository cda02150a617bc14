// Music: one track at a time on the mixer's music stream.
#include <SDL_mixer.h>

#include <algorithm>

#include "platform/audio/media_open.hpp"
#include "platform/audio/mixer.hpp"
#include "platform/runtime/owned.hpp"

namespace plat {
namespace {

using MusicPtr = Owned<Mix_Music, Mix_FreeMusic>;

class MusicGraph final : public MediaGraph {
 public:
  MusicGraph(std::shared_ptr<AudioMixer> mixer, MusicPtr music, double duration)
      : mixer_(std::move(mixer)), music_(std::move(music)), duration_(duration) {}

  void Run() override {
    if (paused_) {
      Mix_VolumeMusic(MixerVolume(volume_));
      Mix_ResumeMusic();
      paused_ = false;
      return;
    }
    if (started_ && Mix_PlayingMusic()) return;
    Mix_VolumeMusic(MixerVolume(volume_));
    if (Mix_PlayMusic(music_.get(), 0) != 0) return;
    if (startAt_ > 0) Mix_SetMusicPosition(startAt_);
    started_ = true;
    startAt_ = 0;
  }

  void Stop() override {
    if (started_ && Mix_PlayingMusic() && !Mix_PausedMusic()) {
      Mix_PauseMusic();
      paused_ = true;
    }
  }

  double Duration() const override { return duration_; }

  double CurrentPosition() override {
    if (!started_) return startAt_;
    if (!Mix_PlayingMusic()) return duration_;  // played to its end
    return std::clamp(Mix_GetMusicPosition(music_.get()), 0.0, duration_);
  }

  void SetCurrentPosition(double seconds) override {
    seconds = std::clamp(seconds, 0.0, duration_);
    if (started_ && Mix_PlayingMusic()) {
      // Starting over rather than seeking: a decoder that has just reached
      // the end of the file may otherwise stop again at once.
      Mix_PlayMusic(music_.get(), 0);
      if (seconds > 0) Mix_SetMusicPosition(seconds);
      if (paused_) Mix_PauseMusic();
      return;
    }
    // Ended or never run: the next Run starts the track there.
    startAt_ = seconds;
    started_ = false;
    paused_ = false;
  }

  void SetVolume(int32_t hundredthsDb) override {
    volume_ = std::clamp(hundredthsDb, kVolumeMin, kVolumeMax);
    Mix_VolumeMusic(MixerVolume(volume_));
  }

  // Sound at a film's name: the film's loop around it must not spin.
  void Pump() override { SDL_Delay(kIdleWaitMs); }

 private:
  // Declared after the mixer, so the track goes before the device.
  std::shared_ptr<AudioMixer> mixer_;
  MusicPtr music_;
  double duration_;
  double startAt_ = 0;
  bool started_ = false;
  bool paused_ = false;
};

// A track loaded once the device is open.
std::unique_ptr<MediaGraph> Rendered(std::shared_ptr<AudioMixer> mixer, MusicPtr music) {
  // A track whose length is unknown could never be seen to end, so the
  // music loop would restart it on every pass.
  const double duration = music ? Mix_MusicDuration(music.get()) : 0;
  if (!(duration > 0)) {
    music.reset();  // before the device it plays on
    return nullptr;
  }
  return std::make_unique<MusicGraph>(std::move(mixer), std::move(music), duration);
}

}  // namespace

std::unique_ptr<MediaGraph> OpenMusic(const std::string& nativePath) {
  auto mixer = AudioMixer::Acquire();
  if (!mixer) return nullptr;
  return Rendered(std::move(mixer), MusicPtr(Mix_LoadMUS(nativePath.c_str())));
}

std::unique_ptr<MediaGraph> OpenMusic(SDL_RWops* reader) {
  auto mixer = AudioMixer::Acquire();
  if (!mixer) {
    SDL_RWclose(reader);
    return nullptr;
  }
  // The mixer frees the reader, also when it cannot load from it.
  return Rendered(std::move(mixer), MusicPtr(Mix_LoadMUS_RW(reader, 1)));
}

}  // namespace plat
