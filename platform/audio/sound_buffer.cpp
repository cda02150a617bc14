#include "platform/audio/sound_buffer.hpp"

#include <SDL_mixer.h>

#include "platform/audio/mixer.hpp"
#include "platform/runtime/files.hpp"

namespace plat {
namespace {
Mix_Chunk* Chunk(void* p) { return static_cast<Mix_Chunk*>(p); }
}  // namespace

void DirectSoundBuffer::ChunkRelease::operator()(void* chunk) const { Mix_FreeChunk(Chunk(chunk)); }

DirectSoundBuffer::~DirectSoundBuffer() {
  if (mixer_) mixer_->FreeChannel(channel_);
}

int32_t DirectSoundBuffer::Play(int32_t flags) {
  const bool loop = (flags & DSBPLAY_LOOPING) != 0;
  if (paused_ && loop == looping_) {
    Mix_Resume(channel_);
    paused_ = false;
    return DS_OK;
  }
  paused_ = false;
  looping_ = loop;
  return Mix_PlayChannel(channel_, Chunk(chunk_.get()), loop ? -1 : 0) == channel_ ? DS_OK : DSERR_GENERIC;
}

int32_t DirectSoundBuffer::Stop() {
  if (Mix_Playing(channel_) && !Mix_Paused(channel_)) {
    Mix_Pause(channel_);
    paused_ = true;
  }
  return DS_OK;
}

int32_t DirectSoundBuffer::SetCurrentPosition(int32_t bytes) {
  if (bytes != 0) return DSERR_INVALIDPARAM;
  const bool sounding = Mix_Playing(channel_) && !Mix_Paused(channel_);
  Mix_HaltChannel(channel_);
  paused_ = false;
  if (sounding) Mix_PlayChannel(channel_, Chunk(chunk_.get()), looping_ ? -1 : 0);
  return DS_OK;
}

int32_t DirectSoundBuffer::GetStatus() const {
  if (!Mix_Playing(channel_) || Mix_Paused(channel_)) return 0;
  return DSBSTATUS_PLAYING | (looping_ ? DSBSTATUS_LOOPING : 0);
}

int32_t DirectSoundBuffer::SetVolume(int32_t hundredthsDb) {
  if (hundredthsDb < kVolumeMin || hundredthsDb > kVolumeMax) return DSERR_INVALIDPARAM;
  volume_ = hundredthsDb;
  Mix_Volume(channel_, MixerVolume(hundredthsDb));
  return DS_OK;
}

int32_t DirectSound::SetCooperativeLevel(void*, int32_t) { return DS_OK; }

std::shared_ptr<DirectSoundBuffer> DirectSound::CreateSoundBufferFromFile(const std::string& nativePath,
                                                                          const DSBUFFERDESC& desc,
                                                                          const WAVEFORMATEX& format) {
  // Read by the game itself rather than the mixer, so that nothing waits on
  // what stands at the name and nothing past the bound is read.
  const std::optional<std::vector<uint8_t>> bytes = ReadAllBytes(nativePath, nullptr, kMostSoundBytes);
  if (!bytes) return nullptr;
  std::unique_ptr<void, DirectSoundBuffer::ChunkRelease> chunk(
      Mix_LoadWAV_RW(SDL_RWFromConstMem(bytes->data(), static_cast<int>(bytes->size())), 1));
  if (!chunk) return nullptr;
  std::shared_ptr<DirectSoundBuffer> b(new DirectSoundBuffer());
  b->mixer_ = mixer_;
  b->chunk_ = std::move(chunk);
  b->channel_ = mixer_->AllocateChannel();
  b->desc_ = desc;
  b->format_ = format;
  return b;
}

std::shared_ptr<DirectSound> DirectSoundCreate(const std::string&, std::string* error) {
  auto mixer = AudioMixer::Acquire(error);
  if (!mixer) return nullptr;
  auto ds = std::make_shared<DirectSound>();
  ds->mixer_ = std::move(mixer);
  return ds;
}

}  // namespace plat
