// Sound channels and effect sounds: the effect table, the drop rule, the
// sound setting's cut, distance attenuation, menu sounds from the archive,
// channels without a WAV and a game without a sound device.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/key_config.hpp"
#include "engine/pack.hpp"
#include "engine/sound.hpp"
#include "platform/runtime/error.hpp"
#include "tests/common/test_support.hpp"
#include "tests/platform/audio_test_media.hpp"

namespace fw {
namespace {

// Runs with the audio driver named, restoring the test's own afterwards.
class AudioDriver {
 public:
  explicit AudioDriver(const char* name) {
    const char* old = std::getenv("SDL_AUDIODRIVER");
    old_ = old ? old : "";
    setenv("SDL_AUDIODRIVER", name, 1);
  }
  ~AudioDriver() { setenv("SDL_AUDIODRIVER", old_.c_str(), 1); }

 private:
  std::string old_;
};

class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedVol_ = SoundVol;
    SoundVol = 10;
    Sounds.Release();
    Sounds->Init(nullptr, nullptr);
    ASSERT_TRUE(Sounds->Work) << Sounds->ErrMsg;
    folder_.Write("long.wav", audiotest::Wav(5.0));
    folder_.Write("blip.wav", audiotest::Wav(0.05));
  }
  void TearDown() override {
    Sounds.Release();
    SoundVol = savedVol_;
  }
  std::shared_ptr<Channel> AddLong(const std::string& key) { return Sounds->Add(key, folder_.Path() + "\\long.wav"); }

  fwtest::TempProgramFolder folder_;
  int32_t savedVol_ = 10;
};

TEST(EffectTable, EveryRowAndNothingElse) {
  const std::vector<std::pair<std::vector<int>, const char*>> rows{
      {{1, 2}, "Laser01"},        {{3, 4}, "Laser02"},    {{5, 6}, "Laser03"},   {{7, 8, 9}, "Laser04"},
      {{11}, "Ball01"},           {{12}, "Ball02"},       {{13, 14}, "Ball03"},  {{15, 16}, "Ball04"},
      {{21}, "Rocket01"},         {{22}, "Rocket02"},     {{31}, "CANNON01"},    {{32}, "CANNON02"},
      {{33}, "CANNON03"},         {{34}, "CANNON04"},     {{41, 42, 43, 44, 102}, "EXP02"},
      {{61}, "Shield01"},         {{62}, "Shield02"},     {{101}, "EXP01"},      {{103}, "EXP03"},
      {{104}, "EXP04"},           {{105}, "EXP05"},       {{106}, "EXP06"},      {{107}, "EXP07"},
      {{200}, "Hit01"},
  };
  int listed = 0;
  for (const auto& [numbers, key] : rows)
    for (int n : numbers) {
      ASSERT_NE(EffectSoundKey(n), nullptr) << n;
      EXPECT_STREQ(EffectSoundKey(n), key) << n;
      ++listed;
    }
  int withSound = 0;
  for (int n = -5; n <= 260; ++n) withSound += EffectSoundKey(n) != nullptr;
  EXPECT_EQ(withSound, listed);
  for (int n : {0, 10, 17, 20, 23, 35, 45, 60, 63, 100, 108, 199, 201, -1}) EXPECT_EQ(EffectSoundKey(n), nullptr) << n;
}

TEST_F(SoundTest, TheSoundSettingLowersEffectsByTwoThousandAtMost) {
  auto exp = AddLong("EXP02");
  PlayEffectSound(41, -300);
  EXPECT_EQ(exp->Buffer->GetVolume(), -300);
  EXPECT_EQ(exp->InPlay(), 1);
  EXPECT_EQ(exp->State, "play");
  exp->StopWav();
  SoundVol = 0;
  PlayEffectSound(41, -300);
  EXPECT_EQ(exp->Buffer->GetVolume(), -2300);
  exp->StopWav();
  PlayEffectSound(41, -9000);  // below the scale: silent, not refused
  EXPECT_EQ(exp->Buffer->GetVolume(), -10000);
  EXPECT_EQ(exp->InPlay(), 1);
}

TEST_F(SoundTest, AQuieterRequestIsDroppedWhileTheSoundPlaysOnce) {
  auto exp = AddLong("EXP02");
  PlayEffectSound(41, -300);
  PlayEffectSound(42, -500);
  EXPECT_EQ(exp->Buffer->GetVolume(), -300);
  EXPECT_EQ(exp->InPlay(), 1);
  PlayEffectSound(43, -300);  // as loud: restarts
  EXPECT_EQ(exp->Buffer->GetVolume(), -300);
  PlayEffectSound(102, -100);  // louder: restarts louder
  EXPECT_EQ(exp->Buffer->GetVolume(), -100);
  exp->StopWav();
  PlayEffectSound(41, -2500);  // nothing playing: any request plays
  EXPECT_EQ(exp->Buffer->GetVolume(), -2500);
  EXPECT_EQ(exp->InPlay(), 1);
}

TEST_F(SoundTest, TheDropRuleComparesVolumesAfterTheSoundSettingsCut) {
  SoundVol = 5;  // every effect 1000 lower
  auto exp = AddLong("EXP02");
  PlayEffectSound(41, -300);
  EXPECT_EQ(exp->Buffer->GetVolume(), -1300);
  // -500 is quieter than the -300 that plays: it must not cut it short, even
  // though -500 is above the -1300 the buffer holds.
  PlayEffectSound(41, -500);
  EXPECT_EQ(exp->Buffer->GetVolume(), -1300);
  PlayEffectSound(41, -200);
  EXPECT_EQ(exp->Buffer->GetVolume(), -1200);
}

TEST_F(SoundTest, EffectsWithoutARowOrWithoutALoadedKeyPlayNothing) {
  auto laser = AddLong("Laser01");
  PlayEffectSound(10, 0);
  PlayEffectSound(201, 0);
  EXPECT_EQ(laser->InPlay(), 0);
  EXPECT_NO_THROW(PlayEffectSound(31, 0));  // "CANNON01" was not loaded
  PlayEffectSound(2, -50);
  EXPECT_EQ(laser->InPlay(), 1);
}

TEST_F(SoundTest, ChannelsPlayLoopStopAndPause) {
  auto c = AddLong("a");
  c->StopWav();
  c->Pause();
  EXPECT_EQ(c->State, "");  // never played: left alone
  c->Play(false);
  EXPECT_EQ(c->State, "play");
  EXPECT_EQ(c->InPlay(), 1);
  c->Play(true);
  EXPECT_EQ(c->State, "LOOP");
  EXPECT_EQ(c->InPlay(), 5);
  c->Pause();
  EXPECT_EQ(c->State, "pause");
  EXPECT_EQ(c->InPlay(), 0);
  c->StopWav();
  EXPECT_EQ(c->State, "stop");
  EXPECT_EQ(c->InPlay(), 0);
}

TEST_F(SoundTest, AChannelWhoseWavDidNotLoadIsSilentButPresent) {
  folder_.Write("bad.wav", "RIFF junk");
  auto missing = Sounds->Add("EXP02", folder_.Path() + "\\absent.wav");
  auto bad = Sounds->Add("Hit01", folder_.Path() + "\\bad.wav");
  EXPECT_EQ(Sounds->Count(), 2);
  for (const auto& c : {missing, bad}) {
    EXPECT_FALSE(c->Buffer);
    EXPECT_TRUE(c->Enabled);
    c->Play(false);
    EXPECT_EQ(c->State, "");
    EXPECT_EQ(c->InPlay(), 0);
    c->StopWav();
    EXPECT_FALSE(c->LoadWav());
  }
  EXPECT_NO_THROW(PlayEffectSound(41, 0));
  EXPECT_NO_THROW(PlayEffectSound(200, 0));
  EXPECT_NO_THROW(PlaySoundKey(1, true));
  EXPECT_EQ(missing->State, "");
}

TEST_F(SoundTest, TheCollectionKeepsKeysPositionsAndFormats) {
  auto a = AddLong("Laser01");
  auto b = Sounds->Add("Laser02", folder_.Path() + "\\blip.wav");
  EXPECT_EQ(a->Index, 1);
  EXPECT_EQ(b->Index, 2);
  EXPECT_EQ(b->Key, "Laser02");
  EXPECT_EQ(Sounds->Item("laser02"), b);
  EXPECT_EQ(Sounds->Item(1), a);
  EXPECT_EQ(b->WavFormat().nBlockAlign, 4);
  EXPECT_EQ(b->BufferDes().lFlags, 0x1E2);
  EXPECT_THROW(AddLong("LASER01"), plat::RuntimeError);
  EXPECT_EQ(Sounds->Count(), 2);
  EXPECT_THROW(Sounds->Item("Hit01"), plat::RuntimeError);
  EXPECT_THROW(Sounds->Item(3), plat::RuntimeError);
  a->Play(true);
  Sounds->RemoveAll();
  EXPECT_EQ(Sounds->Count(), 0);
}

TEST_F(SoundTest, MenuSoundsComeFromTheArchiveAndPlayByPosition) {
  const std::string staging = folder_.File("staging");
  std::filesystem::create_directories(staging);
  folder_.Write("staging/锣初1.wav", audiotest::Wav(2.0, 110));
  folder_.Write("staging/beep6.wav", audiotest::Wav(0.5, 1200));
  folder_.Write("staging/EXP02.wav", audiotest::Wav(1.0));
  qelPackage packer;
  packer.FilePath = staging;
  packer.TempPath = folder_.Path();
  ASSERT_TRUE(packer.AddArchive("Data"));
  DataPack.Release();
  DataPack->FilePath = folder_.Path();
  DataPack->TempPath = folder_.Path();
  DataPack->LoadInf("Data");

  LoadWavFromPack("EXP02", "sound\\EXP02.wav");
  EXPECT_TRUE(Sounds->Item("EXP02")->Buffer);
  EXPECT_TRUE(folder_.Exists("EXP02.wav"));  // left for the caller to delete
  LoadMenuSounds();
  ASSERT_EQ(Sounds->Count(), 2);
  EXPECT_EQ(Sounds->Item(1)->Key, "1");
  EXPECT_EQ(Sounds->Item(2)->Key, "2");
  EXPECT_TRUE(Sounds->Item(1)->Buffer);
  EXPECT_TRUE(Sounds->Item(2)->Buffer);
  EXPECT_FALSE(folder_.Exists("锣初1.wav"));
  EXPECT_FALSE(folder_.Exists("beep6.wav"));
  EXPECT_FALSE(folder_.Exists("EXP02.wav"));

  Sounds->Item(2)->Buffer->SetVolume(-700);
  PlaySoundKey(2, false);
  EXPECT_EQ(Sounds->Item(2)->InPlay(), 1);
  EXPECT_EQ(Sounds->Item(1)->InPlay(), 0);
  PlaySoundKey(1, true);
  EXPECT_EQ(Sounds->Item(1)->InPlay(), 5);
  EXPECT_NO_THROW(PlaySoundKey(3, false));
  LoadMenuSounds();  // replaces, never adds
  EXPECT_EQ(Sounds->Count(), 2);
  DataPack.Release();
}

TEST(SoundWithoutDevice, TheGameRunsSilent) {
  Sounds.Release();
  {
    AudioDriver none("no-such-driver");
    Sounds->Init(nullptr, nullptr);
  }
  EXPECT_FALSE(Sounds->Work);
  EXPECT_EQ(Sounds->ErrMsg, "Unable to initialize DirectSound - sound card may not be present");
  fwtest::TempProgramFolder folder;
  folder.Write("a.wav", audiotest::Wav(1.0));
  auto c = Sounds->Add("EXP02", folder.Path() + "\\a.wav");
  EXPECT_FALSE(c->Enabled);
  EXPECT_FALSE(c->Buffer);
  EXPECT_FALSE(c->LoadWav());
  c->Play(false);
  PlaySoundKey(1, false);
  PlayEffectSound(41, 0);
  EXPECT_EQ(c->State, "");
  EXPECT_EQ(c->InPlay(), 0);
  Sounds.Release();
}

TEST(SoundVolumeByDistance, ZeroInTheViewAndLowerWithDistanceFromItsEdges) {
  EXPECT_EQ(SoundVolumeByDistance(0, 0, 640, 480), 0);  // corner inside
  EXPECT_EQ(SoundVolumeByDistance(0, 0, 0, 0), 0);
  EXPECT_EQ(SoundVolumeByDistance(100, 100, 420, 340), 0);  // mid-screen is full volume
  EXPECT_EQ(SoundVolumeByDistance(100, 100, 740, 580), 0);
  EXPECT_EQ(SoundVolumeByDistance(0, 0, 641, 0), 0);   // 0.5 rounds to even
  EXPECT_EQ(SoundVolumeByDistance(0, 0, 642, 0), -1);
  EXPECT_EQ(SoundVolumeByDistance(0, 0, 643, 0), -2);  // 1.5 rounds to even
  EXPECT_EQ(SoundVolumeByDistance(100, 100, 90, 100), -5);
  EXPECT_EQ(SoundVolumeByDistance(100, 100, 100, 90), -5);
  EXPECT_EQ(SoundVolumeByDistance(0, 0, 320, 491), -6);  // 5.5 rounds to even
  EXPECT_EQ(SoundVolumeByDistance(0, 0, -10, -10), -10);
  EXPECT_EQ(SoundVolumeByDistance(0, 0, 660, 500), -20);
  EXPECT_EQ(SoundVolumeByDistance(0, 0, 30640, 0), -10000);
  EXPECT_EQ(SoundVolumeByDistance(0, 0, -30000, 0), -10000);
  EXPECT_EQ(SoundVolumeByDistance(0, 0, INT32_MAX, INT32_MIN), -10000);
}

}  // namespace
}  // namespace fw
