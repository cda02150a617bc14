#pragma once
// The sound device and its keyed WAV channels, and the battles' effect
// sounds. Volumes are attenuations in hundredths of a decibel (0 full,
// -10000 silent).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/lazy.hpp"
#include "platform/audio/sound_buffer.hpp"
#include "platform/display/surface.hpp"
#include "platform/runtime/keyed_collection.hpp"

namespace fw {

// One loaded WAV with its own static buffer; playing it again restarts it.
class Channel {
 public:
  std::string Key;
  int32_t Index = 0;
  // "" never played, "play", "LOOP", "stop" or "pause".
  std::string State;
  int32_t Notify = 0;
  std::shared_ptr<plat::DirectSoundBuffer> Buffer;
  std::shared_ptr<plat::DirectSound> mDirectSound;
  int16_t Channels = 2;
  int32_t SamplesPerSec = 22050;
  int16_t BitsPerSample = 16;
  // False without a sound device: the channel then neither loads nor plays.
  bool Enabled = false;

  // Restarts the sound from its beginning, once or looping. A channel whose
  // WAV could not be loaded stays silent.
  void Play(bool loop);
  // 1 playing once, 5 looping, 0 stopped (also without a buffer).
  int32_t InPlay() const;
  // Stops and rewinds; a channel never played is left alone.
  void StopWav();
  void Pause();
  // Loads the WAV named by WavFile into a new buffer; false when it cannot.
  bool LoadWav();

  // Setting the file name loads it.
  void WavFile(const std::string& fileName);
  const std::string& WavFile() const { return wavFile_; }
  void WavFormat(const plat::WAVEFORMATEX& format) { wavFormat_ = format; }
  const plat::WAVEFORMATEX& WavFormat() const { return wavFormat_; }
  void BufferDes(const plat::DSBUFFERDESC& desc) { bufferDes_ = desc; }
  const plat::DSBUFFERDESC& BufferDes() const { return bufferDes_; }

 private:
  std::string wavFile_;
  plat::WAVEFORMATEX wavFormat_;
  plat::DSBUFFERDESC bufferDes_;
};

class DirectSoundOBJ {
 public:
  int16_t Channels = 2;
  int32_t SamplesPerSec = 22050;
  int16_t BitsPerSample = 16;
  bool Work = false;
  std::string ErrMsg;

  // Opens the default sound device. Failing leaves Work false and the game
  // silent; nothing is shown.
  void Init(void* hWnd, plat::DirectX7* dx);
  // Creates a channel and loads its WAV (without a device, or when the WAV
  // cannot be loaded, the channel is added all the same, silent). A key
  // already present raises plat::RuntimeError.
  std::shared_ptr<Channel> Add(const std::string& key, const std::string& fileName);
  // Raise for a key or position not present.
  std::shared_ptr<Channel> Item(std::string_view key) const { return Collection().Item(key); }
  std::shared_ptr<Channel> Item(int32_t position) const { return Collection().Item(position); }
  // Null when absent.
  std::shared_ptr<Channel> Find(std::string_view key) const { return Collection().Find(key); }
  std::shared_ptr<Channel> At(int32_t position) const { return Collection().At(position); }
  int32_t Count() const { return Collection().Count(); }
  void Remove(std::string_view key) { Collection().Remove(key); }
  void Remove(int32_t position) { Collection().Remove(position); }
  void RemoveAll();
  // NewEnum.
  auto begin() const { return Collection().begin(); }
  auto end() const { return Collection().end(); }

 private:
  plat::KeyedCollection<Channel>& Collection() const { return *channels_; }

  std::shared_ptr<plat::DirectSound> device_;
  mutable Lazy<plat::KeyedCollection<Channel>> channels_;
};

extern Lazy<DirectSoundOBJ> Sounds;

// Extracts a WAV from the "Data" archive and adds it to Sounds under a key;
// the extracted copy stays until the archive's temporary files are removed.
void LoadWavFromPack(const std::string& key, const std::string& fileName);
// Replaces every channel by the two menu sounds: 1 the opening sound, 2 the
// click.
void LoadMenuSounds();
// Plays the channel at a 1-based position at its full volume, when there is
// a sound device; a position not loaded plays nothing.
void PlaySoundKey(int32_t position, bool loop);
// The attenuation of a sound at map point (x, y) heard from the 640x480 view
// whose top-left corner is (viewX, viewY): 0 in the view, half a hundredth
// of a decibel lower per pixel of distance from its edges, down to -10000.
int32_t SoundVolumeByDistance(int32_t viewX, int32_t viewY, int32_t x, int32_t y);
// The sound key of a battle effect number; null for numbers without a sound.
const char* EffectSoundKey(int32_t effect);
// Plays a battle effect's sound at an attenuation, lowered by the sound
// setting. A request quieter than the same sound already playing once is
// dropped; one at least as loud restarts it.
void PlayEffectSound(int32_t effect, int32_t volume);

}  // namespace fw
