// Sound buffers on the dummy audio device: playing, looping, stopping,
// rewinding, status, the volume scale, and a device that will not open.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/audio/mixer.hpp"
#include "platform/audio/sound_buffer.hpp"
#include "tests/common/test_support.hpp"
#include "tests/platform/audio_test_media.hpp"

namespace {

class SoundBufferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = plat::DirectSoundCreate("", &error_);
    ASSERT_TRUE(device_) << error_;
    folder_.Write("long.wav", audiotest::Wav(5.0));
    folder_.Write("short.wav", audiotest::Wav(0.05));
  }
  std::shared_ptr<plat::DirectSoundBuffer> Load(const std::string& name) {
    return device_->CreateSoundBufferFromFile(folder_.File(name), {}, {});
  }

  fwtest::TempProgramFolder folder_;
  std::string error_;
  std::shared_ptr<plat::DirectSound> device_;
};

TEST_F(SoundBufferTest, PlaysOnceLoopsStopsAndRestartsWithoutOverlapping) {
  auto b = Load("long.wav");
  ASSERT_TRUE(b);
  EXPECT_EQ(b->GetStatus(), 0);
  EXPECT_EQ(b->Play(0), plat::DS_OK);
  EXPECT_EQ(b->GetStatus(), plat::DSBSTATUS_PLAYING);
  // Playing again restarts the one channel: it never sounds twice at once.
  EXPECT_EQ(b->Play(0), plat::DS_OK);
  EXPECT_EQ(plat::AudioMixer::Acquire()->ChannelsPlaying(), 1);
  EXPECT_EQ(b->Stop(), plat::DS_OK);
  EXPECT_EQ(b->GetStatus(), 0);
  EXPECT_EQ(b->Play(0), plat::DS_OK);  // goes on from where it stopped
  EXPECT_EQ(b->GetStatus(), plat::DSBSTATUS_PLAYING);
  EXPECT_EQ(b->SetCurrentPosition(0), plat::DS_OK);  // rewinding a playing buffer keeps it playing
  EXPECT_EQ(b->GetStatus(), plat::DSBSTATUS_PLAYING);
  b->Stop();
  b->SetCurrentPosition(0);
  EXPECT_EQ(b->GetStatus(), 0);
  EXPECT_EQ(b->Play(plat::DSBPLAY_LOOPING), plat::DS_OK);
  EXPECT_EQ(b->GetStatus(), plat::DSBSTATUS_PLAYING | plat::DSBSTATUS_LOOPING);
  EXPECT_EQ(b->SetCurrentPosition(100), plat::DSERR_INVALIDPARAM);
}

TEST_F(SoundBufferTest, EachBufferHasItsOwnChannel) {
  auto a = Load("long.wav");
  auto b = Load("long.wav");
  ASSERT_TRUE(a && b);
  a->Play(0);
  b->Play(0);
  EXPECT_EQ(plat::AudioMixer::Acquire()->ChannelsPlaying(), 2);
  a.reset();  // releasing a buffer silences it
  EXPECT_EQ(plat::AudioMixer::Acquire()->ChannelsPlaying(), 1);
}

TEST_F(SoundBufferTest, AShortSoundEndsByItself) {
  auto b = Load("short.wav");
  ASSERT_TRUE(b);
  b->Play(0);
  for (int i = 0; i < 200 && b->GetStatus() != 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(b->GetStatus(), 0);
}

TEST_F(SoundBufferTest, VolumeIsKeptExactlyAndRefusedOutsideTheScale) {
  auto b = Load("long.wav");
  ASSERT_TRUE(b);
  EXPECT_EQ(b->GetVolume(), 0);
  EXPECT_EQ(b->SetVolume(-1234), plat::DS_OK);
  EXPECT_EQ(b->GetVolume(), -1234);
  EXPECT_EQ(b->SetVolume(-10001), plat::DSERR_INVALIDPARAM);
  EXPECT_EQ(b->SetVolume(1), plat::DSERR_INVALIDPARAM);
  EXPECT_EQ(b->GetVolume(), -1234);
}

TEST(SoundVolumeScale, HundredthsOfADecibelMapToMixerGain) {
  EXPECT_EQ(plat::MixerVolume(0), 128);
  EXPECT_EQ(plat::MixerVolume(-602), 64);   // -6.02 dB halves the amplitude
  EXPECT_EQ(plat::MixerVolume(-2000), 13);  // -20 dB is a tenth
  EXPECT_EQ(plat::MixerVolume(-10000), 0);
  EXPECT_EQ(plat::MixerVolume(-20000), 0);
  EXPECT_EQ(plat::MixerVolume(500), 128);
  EXPECT_NEAR(plat::GainOf(-1000), 0.316, 0.001);
}

TEST_F(SoundBufferTest, MissingOrDamagedFilesMakeNoBuffer) {
  folder_.Write("junk.wav", "RIFF\x10\0\0\0WAVEfmt garbage");
  EXPECT_FALSE(Load("junk.wav"));
  EXPECT_FALSE(Load("absent.wav"));
  folder_.Write("truncated.wav", audiotest::Wav(1.0).substr(0, 30));
  EXPECT_FALSE(Load("truncated.wav"));
}

TEST(SoundDevice, ADeviceThatDoesNotOpenIsReported) {
  const char* old = std::getenv("SDL_AUDIODRIVER");
  const std::string keep = old ? old : "";
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  std::string error;
  auto device = plat::DirectSoundCreate("", &error);
  EXPECT_FALSE(device);
  EXPECT_FALSE(error.empty());
  setenv("SDL_AUDIODRIVER", keep.c_str(), 1);
  EXPECT_TRUE(plat::DirectSoundCreate("", &error)) << error;
}

}  // namespace
