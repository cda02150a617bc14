#pragma once
// The one open audio device, shared by the sound buffers, the music and the
// films' sound: opened by its first user, closed when the last one lets go.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

class AudioMixer {
 public:
  // The open mixer, or null when no audio device opens; *error then says why.
  static std::shared_ptr<AudioMixer> Acquire(std::string* error = nullptr);
  ~AudioMixer();
  AudioMixer(const AudioMixer&) = delete;
  AudioMixer& operator=(const AudioMixer&) = delete;

  // The device's sample rate, SDL sample format and channel count.
  int Frequency() const { return frequency_; }
  uint16_t Format() const { return format_; }
  int Channels() const { return channels_; }

  // A mixing channel for one sound buffer alone, so a buffer never plays
  // over itself; FreeChannel silences it and gives it back.
  int AllocateChannel();
  void FreeChannel(int channel);
  // Channels sounding now (paused ones not counted).
  int ChannelsPlaying() const;

 private:
  AudioMixer() = default;
  int frequency_ = 0;
  uint16_t format_ = 0;
  int channels_ = 0;
  std::vector<bool> used_;
};

// DirectSound's volume scale, hundredths of a decibel from 0 (full) down to
// -10000 (silent), as a mixer volume 0..128. Values outside are clamped.
int MixerVolume(int32_t hundredthsDb);
// The same attenuation as a linear gain 0..1.
double GainOf(int32_t hundredthsDb);

constexpr int32_t kVolumeMin = -10000;
constexpr int32_t kVolumeMax = 0;

}  // namespace plat
