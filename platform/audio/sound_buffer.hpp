#pragma once
// DirectSound's device and static sound buffers, on the shared mixer: one
// mixing channel per buffer, so a buffer restarts rather than plays over
// itself. Volumes are in hundredths of a decibel (0 full, -10000 silent).
#include <cstdint>
#include <memory>
#include <string>

namespace plat {

class AudioMixer;

constexpr int32_t DS_OK = 0;
constexpr int32_t DSERR_GENERIC = static_cast<int32_t>(0x80004005u);
constexpr int32_t DSERR_INVALIDPARAM = static_cast<int32_t>(0x80070057u);

constexpr int32_t DSSCL_PRIORITY = 2;

constexpr int32_t DSBCAPS_STATIC = 0x2;
constexpr int32_t DSBCAPS_CTRLFREQUENCY = 0x20;
constexpr int32_t DSBCAPS_CTRLPAN = 0x40;
constexpr int32_t DSBCAPS_CTRLVOLUME = 0x80;
constexpr int32_t DSBCAPS_CTRLPOSITIONNOTIFY = 0x100;

constexpr int32_t DSBPLAY_LOOPING = 1;
constexpr int32_t DSBSTATUS_PLAYING = 1;
constexpr int32_t DSBSTATUS_LOOPING = 4;

constexpr int16_t WAVE_FORMAT_PCM = 1;

// The wave format the game describes for a buffer. The buffer plays the
// file's own format whatever this says; the record is kept as given.
struct WAVEFORMATEX {
  int16_t nFormatTag = 0;
  int16_t nChannels = 0;
  int32_t lSamplesPerSec = 0;
  int32_t lAvgBytesPerSec = 0;
  int16_t nBlockAlign = 0;
  int16_t nBitsPerSample = 0;
  int16_t nSize = 0;
  int32_t lExtra = 0;
};

struct DSBUFFERDESC {
  int32_t lFlags = 0;
  int32_t lBufferBytes = 0;
  int32_t lReserved = 0;
};

class DirectSoundBuffer {
 public:
  ~DirectSoundBuffer();
  DirectSoundBuffer(const DirectSoundBuffer&) = delete;
  DirectSoundBuffer& operator=(const DirectSoundBuffer&) = delete;

  // Plays from the current position; DSBPLAY_LOOPING repeats until stopped.
  int32_t Play(int32_t flags);
  // Stops where it is; Play goes on from there.
  int32_t Stop();
  // Only the start (0) can be set: the next Play starts from the beginning,
  // and a buffer that is playing starts over at once.
  int32_t SetCurrentPosition(int32_t bytes);
  // DSBSTATUS_PLAYING, with DSBSTATUS_LOOPING added while looping; 0 stopped.
  int32_t GetStatus() const;
  // DSERR_INVALIDPARAM (volume unchanged) outside -10000..0.
  int32_t SetVolume(int32_t hundredthsDb);
  int32_t GetVolume() const { return volume_; }
  const DSBUFFERDESC& Description() const { return desc_; }
  const WAVEFORMATEX& Format() const { return format_; }

 private:
  friend class DirectSound;
  DirectSoundBuffer() = default;

  std::shared_ptr<AudioMixer> mixer_;
  // The mixer's Mix_Chunk, freed after the channel has let go of it.
  struct ChunkRelease {
    void operator()(void* chunk) const;
  };
  std::unique_ptr<void, ChunkRelease> chunk_;
  int channel_ = -1;
  int32_t volume_ = 0;
  bool looping_ = false;
  bool paused_ = false;
  DSBUFFERDESC desc_;
  WAVEFORMATEX format_;
};

// The most bytes a sound file may have: minutes of CD-quality sound, where
// the game's effects last seconds.
inline constexpr uint64_t kMostSoundBytes = uint64_t{32} << 20;

class DirectSound {
 public:
  // Kept for the game's call; the mixer does not need a window.
  int32_t SetCooperativeLevel(void* window, int32_t level);
  // A static buffer holding a whole WAV file; null when the file cannot be
  // read (a FIFO or a device is never waited on; a file larger than
  // kMostSoundBytes is never read) or decoded.
  std::shared_ptr<DirectSoundBuffer> CreateSoundBufferFromFile(const std::string& nativePath, const DSBUFFERDESC& desc,
                                                               const WAVEFORMATEX& format);

 private:
  friend std::shared_ptr<DirectSound> DirectSoundCreate(const std::string&, std::string*);
  std::shared_ptr<AudioMixer> mixer_;
};

// The default sound device (guid ""); null when it cannot be opened, with
// the reason in *error.
std::shared_ptr<DirectSound> DirectSoundCreate(const std::string& guid, std::string* error = nullptr);

}  // namespace plat
