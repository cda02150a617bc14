#include "engine/sound.hpp"

#include <algorithm>

#include "engine/key_config.hpp"
#include "engine/pack.hpp"
#include "platform/audio/mixer.hpp"
#include "platform/runtime/code_page.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/numeric.hpp"

namespace fw {

Lazy<DirectSoundOBJ> Sounds;

namespace {
constexpr int32_t kViewWidth = 640;
constexpr int32_t kViewHeight = 480;
constexpr int32_t kSilent = 10000;
constexpr int32_t kStepPerSoundLevel = 200;

// How far v lies outside [low, high]; 0 inside.
int64_t DistanceOutside(int64_t v, int64_t low, int64_t high) {
  if (v < low) return low - v;
  if (v > high) return v - high;
  return 0;
}
}  // namespace

void Channel::Play(bool loop) {
  if (!Enabled || !Buffer) return;
  StopWav();
  Buffer->Play(loop ? plat::DSBPLAY_LOOPING : 0);
  State = loop ? "LOOP" : "play";
}

int32_t Channel::InPlay() const { return Buffer ? Buffer->GetStatus() : 0; }

void Channel::StopWav() {
  if (State.empty()) return;
  if (Buffer) {
    Buffer->Stop();
    Buffer->SetCurrentPosition(0);
  }
  State = "stop";
}

void Channel::Pause() {
  if (State.empty()) return;
  if (Buffer) Buffer->Stop();
  State = "pause";
}

bool Channel::LoadWav() {
  if (!Enabled || !mDirectSound) return false;
  if (State == "play" && Buffer) Buffer->Stop();
  Buffer.reset();
  bufferDes_.lFlags = plat::DSBCAPS_STATIC | plat::DSBCAPS_CTRLFREQUENCY | plat::DSBCAPS_CTRLPAN |
                      plat::DSBCAPS_CTRLVOLUME | plat::DSBCAPS_CTRLPOSITIONNOTIFY;
  wavFormat_.nFormatTag = plat::WAVE_FORMAT_PCM;
  wavFormat_.nChannels = Channels;
  wavFormat_.lSamplesPerSec = SamplesPerSec;
  wavFormat_.nBitsPerSample = BitsPerSample;
  wavFormat_.nBlockAlign = static_cast<int16_t>(plat::CInt(BitsPerSample / 8.0 * Channels));
  wavFormat_.lAvgBytesPerSec = wavFormat_.nBlockAlign * SamplesPerSec;
  wavFormat_.nSize = 24;
  Buffer = mDirectSound->CreateSoundBufferFromFile(plat::NativePath(wavFile_), bufferDes_, wavFormat_);
  return Buffer != nullptr;
}

void Channel::WavFile(const std::string& fileName) {
  wavFile_ = fileName;
  LoadWav();
}

void DirectSoundOBJ::Init(void* hWnd, plat::DirectX7*) {
  device_ = plat::DirectSoundCreate("");
  if (!device_ || device_->SetCooperativeLevel(hWnd, plat::DSSCL_PRIORITY) != plat::DS_OK) {
    device_.reset();
    Work = false;
    ErrMsg = "Unable to initialize DirectSound - sound card may not be present";
    return;
  }
  Work = true;
  ErrMsg.clear();
}

std::shared_ptr<Channel> DirectSoundOBJ::Add(const std::string& key, const std::string& fileName) {
  auto c = std::make_shared<Channel>();
  c->Key = key;
  c->mDirectSound = device_;
  c->Enabled = Work;
  c->WavFile(fileName);
  c->BitsPerSample = BitsPerSample;
  c->Channels = Channels;
  c->SamplesPerSec = SamplesPerSec;
  c->Index = Count() + 1;
  if (!Collection().Add(c, key))
    throw plat::RuntimeError(plat::ErrorCode::DuplicateKey,
                             "This key is already associated with an element of this collection: \"" + key + "\"");
  return c;
}

void DirectSoundOBJ::RemoveAll() {
  for (int32_t i = Count(); i >= 1; --i) Remove(i);
}

void LoadWavFromPack(const std::string& key, const std::string& fileName) {
  const std::string name = qelPackage::GetFileName(fileName);
  DataPack->Extract(name);
  Sounds->Add(key, DataPack->TempPath + name);
}

void LoadMenuSounds() {
  Sounds->RemoveAll();
  LoadWavFromPack("1", plat::FromUtf8("锣初1.wav"));
  LoadWavFromPack("2", "beep6.wav");
  DataPack->RemoveTempFile();
}

void PlaySoundKey(int32_t position, bool loop) {
  if (!Sounds->Work) return;
  if (auto c = Sounds->At(position)) c->Play(loop);
}

int32_t SoundVolumeByDistance(int32_t viewX, int32_t viewY, int32_t x, int32_t y) {
  const int64_t dx = DistanceOutside(x, viewX, static_cast<int64_t>(viewX) + kViewWidth);
  const int64_t dy = DistanceOutside(y, viewY, static_cast<int64_t>(viewY) + kViewHeight);
  const double v = std::min(plat::RoundHalfEven(static_cast<double>(dx + dy) / 2.0), static_cast<double>(kSilent));
  return -static_cast<int32_t>(v);
}

const char* EffectSoundKey(int32_t effect) {
  switch (effect) {
    case 1: case 2: return "Laser01";
    case 3: case 4: return "Laser02";
    case 5: case 6: return "Laser03";
    case 7: case 8: case 9: return "Laser04";
    case 11: return "Ball01";
    case 12: return "Ball02";
    case 13: case 14: return "Ball03";
    case 15: case 16: return "Ball04";
    case 21: return "Rocket01";
    case 22: return "Rocket02";
    case 31: return "CANNON01";
    case 32: return "CANNON02";
    case 33: return "CANNON03";
    case 34: return "CANNON04";
    case 41: case 42: case 43: case 44: case 102: return "EXP02";
    case 61: return "Shield01";
    case 62: return "Shield02";
    case 101: return "EXP01";
    case 103: return "EXP03";
    case 104: return "EXP04";
    case 105: return "EXP05";
    case 106: return "EXP06";
    case 107: return "EXP07";
    case 200: return "Hit01";
    default: return nullptr;
  }
}

void PlayEffectSound(int32_t effect, int32_t volume) {
  if (!Sounds->Work) return;
  const char* key = EffectSoundKey(effect);
  if (!key) return;
  // A battle whose sound table lacks the key plays nothing for it.
  const auto c = Sounds->Find(key);
  if (!c || !c->Buffer) return;
  // Both sides of the comparison carry the sound setting's cut, so a quieter
  // request never cuts short a louder sound that is playing.
  const int64_t wanted = static_cast<int64_t>(volume) - static_cast<int64_t>(10 - SoundVol) * kStepPerSoundLevel;
  const int32_t target = static_cast<int32_t>(std::clamp<int64_t>(wanted, plat::kVolumeMin, plat::kVolumeMax));
  if (c->InPlay() == plat::DSBSTATUS_PLAYING && target < c->Buffer->GetVolume()) return;
  c->Buffer->SetVolume(target);
  c->Play(false);
}

}  // namespace fw
