#pragma once
// Media files for the sound and film tests: WAV tones and uncompressed AVI
// films written byte by byte (so a test knows every pixel and every sample),
// and the sample data set as mkdata writes it (real MP3 and encoded films).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/audio/media_graph.hpp"
#include "tests/common/test_support.hpp"

namespace audiotest {

inline void Put16(std::string& s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
inline void PutChunk(std::string& s, const char* id, const std::string& body) {
  s.append(id, 4);
  Put32(s, static_cast<uint32_t>(body.size()));
  s += body;
  if (body.size() % 2) s += '\0';
}
inline std::string List(const char* type, const std::string& body) { return std::string(type, 4) + body; }

// Interleaved 16-bit PCM of a sine tone.
inline std::string Tone(double seconds, double hz, int rate, int channels) {
  std::string pcm;
  const int n = static_cast<int>(seconds * rate);
  for (int i = 0; i < n; ++i) {
    const auto v = static_cast<int16_t>(std::lround(8000 * std::sin(2 * 3.14159265358979 * hz * i / rate)));
    for (int c = 0; c < channels; ++c) Put16(pcm, static_cast<uint16_t>(v));
  }
  return pcm;
}

inline std::string WaveFormat(int rate, int channels) {
  std::string f;
  Put16(f, 1);
  Put16(f, static_cast<uint32_t>(channels));
  Put32(f, static_cast<uint32_t>(rate));
  Put32(f, static_cast<uint32_t>(rate * channels * 2));
  Put16(f, static_cast<uint32_t>(channels * 2));
  Put16(f, 16);
  return f;
}

inline std::string Wav(double seconds, double hz = 440, int rate = 22050, int channels = 2) {
  std::string body = "WAVE";
  PutChunk(body, "fmt ", WaveFormat(rate, channels));
  PutChunk(body, "data", Tone(seconds, hz, rate, channels));
  std::string file;
  PutChunk(file, "RIFF", body);
  return file;
}

struct Colour {
  uint8_t r, g, b;
};

// An AVI of uncompressed pictures, one solid colour per frame, with a tone
// as its sound when `sound` is set.
inline std::string SolidFilm(int frames, int fps, int width, int height, const std::function<Colour(int)>& colourOf,
                             bool sound = true) {
  const int rate = 22050, channels = 2, block = channels * 2;
  const int rowBytes = (width * 3 + 3) & ~3;
  const uint32_t pictureBytes = static_cast<uint32_t>(rowBytes * height);
  const int samplesPerFrame = rate / fps;

  std::string avih;
  Put32(avih, 1000000u / static_cast<uint32_t>(fps));
  Put32(avih, pictureBytes * static_cast<uint32_t>(fps));
  Put32(avih, 0);
  Put32(avih, 0x10);  // has an index
  Put32(avih, static_cast<uint32_t>(frames));
  Put32(avih, 0);
  Put32(avih, sound ? 2 : 1);
  Put32(avih, pictureBytes);
  Put32(avih, static_cast<uint32_t>(width));
  Put32(avih, static_cast<uint32_t>(height));
  for (int i = 0; i < 4; ++i) Put32(avih, 0);

  auto streamHeader = [&](const char* type, uint32_t scale, uint32_t rateValue, uint32_t length, uint32_t buffer,
                          uint32_t sampleSize) {
    std::string h(type, 4);
    h.append(4, '\0');  // handler
    Put32(h, 0);
    Put32(h, 0);
    Put32(h, 0);
    Put32(h, scale);
    Put32(h, rateValue);
    Put32(h, 0);
    Put32(h, length);
    Put32(h, buffer);
    Put32(h, 0xFFFFFFFFu);
    Put32(h, sampleSize);
    Put16(h, 0);
    Put16(h, 0);
    Put16(h, static_cast<uint32_t>(width));
    Put16(h, static_cast<uint32_t>(height));
    return h;
  };
  std::string bitmap;
  Put32(bitmap, 40);
  Put32(bitmap, static_cast<uint32_t>(width));
  Put32(bitmap, static_cast<uint32_t>(height));
  Put16(bitmap, 1);
  Put16(bitmap, 24);
  Put32(bitmap, 0);
  Put32(bitmap, pictureBytes);
  for (int i = 0; i < 4; ++i) Put32(bitmap, 0);

  std::string videoList = "strl";
  PutChunk(videoList, "strh",
           streamHeader("vids", 1, static_cast<uint32_t>(fps), static_cast<uint32_t>(frames), pictureBytes, 0));
  PutChunk(videoList, "strf", bitmap);
  std::string hdrl = "hdrl";
  PutChunk(hdrl, "avih", avih);
  PutChunk(hdrl, "LIST", videoList);
  if (sound) {
    std::string audioList = "strl";
    PutChunk(audioList, "strh",
             streamHeader("auds", block, static_cast<uint32_t>(rate * block),
                          static_cast<uint32_t>(samplesPerFrame * frames), static_cast<uint32_t>(samplesPerFrame * block),
                          static_cast<uint32_t>(block)));
    PutChunk(audioList, "strf", WaveFormat(rate, channels));
    PutChunk(hdrl, "LIST", audioList);
  }

  std::string movi = "movi";
  std::string index;
  const std::string tone = Tone(1.0 / fps, 330, rate, channels);
  for (int f = 0; f < frames; ++f) {
    const Colour c = colourOf(f);
    std::string picture;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        picture += static_cast<char>(c.b);
        picture += static_cast<char>(c.g);
        picture += static_cast<char>(c.r);
      }
      picture.append(static_cast<size_t>(rowBytes - width * 3), '\0');
    }
    index += "00db";
    Put32(index, 0x10);
    Put32(index, static_cast<uint32_t>(movi.size()));
    Put32(index, pictureBytes);
    PutChunk(movi, "00db", picture);
    if (sound) {
      index += "01wb";
      Put32(index, 0x10);
      Put32(index, static_cast<uint32_t>(movi.size()));
      Put32(index, static_cast<uint32_t>(tone.size()));
      PutChunk(movi, "01wb", tone);
    }
  }
  std::string body = "AVI ";
  PutChunk(body, "LIST", hdrl);
  PutChunk(body, "LIST", movi);
  PutChunk(body, "idx1", index);
  std::string file;
  PutChunk(file, "RIFF", body);
  return file;
}

// The classic test cycle: red, green, blue, white, frame after frame.
inline Colour CycleColour(int frame) {
  static const Colour cycle[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
  return cycle[frame % 4];
}

// An RGB565 pixel close to a colour (the scaler may dither by a step).
inline bool Near(uint16_t pixel, Colour c) {
  const int r = (pixel >> 11) << 3, g = ((pixel >> 5) & 63) << 2, b = (pixel & 31) << 3;
  return std::abs(r - c.r) <= 16 && std::abs(g - c.g) <= 16 && std::abs(b - c.b) <= 16;
}

// A drive under the films' reads, for as long as it lives: reads come at
// once until `fast` bytes have come (the head of a film the drive brought
// before it slowed; the read that passes that mark comes whole), then the first read waits `first`, each later one `each`,
// and each brings at most `most` bytes, as a disc spinning up or retried
// would; at a `perSecond` pace each read also takes as long as its size
// at that pace, as a real drive's does. Letting it go (at its end at the
// latest) ends every wait at once, so no reader stays held past a test,
// and a test never sits through the drive's time.
class SlowDrive {
 public:
  struct Pace {
    std::chrono::milliseconds first, each;
    size_t most = std::numeric_limits<size_t>::max();
    size_t fast = 0;
    size_t perSecond = 0;
  };
  explicit SlowDrive(Pace pace) : state_(std::make_shared<State>(pace)) {
    plat::SetFilmReadHook([state = state_](size_t wanted) { return state->Read(wanted); });
  }
  ~SlowDrive() {
    LetGo();
    plat::SetFilmReadHook(nullptr);
  }
  SlowDrive(const SlowDrive&) = delete;
  SlowDrive& operator=(const SlowDrive&) = delete;

  void LetGo() {
    std::lock_guard<std::mutex> lock(state_->m);
    state_->free = true;
    state_->cv.notify_all();
  }
  // Waits until the drive has answered `reads` reads since it was made,
  // or `deadline` has passed; whether it has.
  bool AwaitAnswers(int reads, std::chrono::milliseconds deadline) {
    std::unique_lock<std::mutex> lock(state_->m);
    return state_->cv.wait_for(lock, deadline, [&] { return state_->answered >= reads; });
  }
  // Waits the same for a number of reads asked of the drive.
  bool AwaitAsks(int reads, std::chrono::milliseconds deadline) {
    std::unique_lock<std::mutex> lock(state_->m);
    return state_->cv.wait_for(lock, deadline, [&] { return state_->reads >= reads; });
  }
  // The reads it has answered, held or not.
  int Returned() const {
    std::lock_guard<std::mutex> lock(state_->m);
    return state_->returned;
  }
  // Whether no read has been asked of the drive for `quiet`: a reader still
  // reading asks its next read as soon as one is answered.
  bool IdleFor(std::chrono::milliseconds quiet) const {
    std::lock_guard<std::mutex> lock(state_->m);
    return state_->inside == 0 && std::chrono::steady_clock::now() - state_->lastDone > quiet;
  }

 private:
  // Shared with the readers, which may return from a wait after the test.
  struct State {
    explicit State(Pace p) : pace(p) {}
    size_t Read(size_t wanted) {
      std::unique_lock<std::mutex> lock(m);
      lastDone = std::chrono::steady_clock::now();
      if (brought < pace.fast) {
        brought += wanted;
        ++returned;
        return wanted;
      }
      ++inside;
      const size_t brings = std::min(wanted, pace.most);
      std::chrono::microseconds hold = reads++ == 0 ? pace.first : pace.each;
      if (pace.perSecond > 0) hold += std::chrono::microseconds(brings * 1000000 / pace.perSecond);
      cv.notify_all();
      cv.wait_for(lock, hold, [&] { return free; });
      ++answered;
      ++returned;
      --inside;
      lastDone = std::chrono::steady_clock::now();
      cv.notify_all();
      return brings;
    }
    std::mutex m;
    std::condition_variable cv;
    bool free = false;
    int reads = 0, answered = 0, returned = 0, inside = 0;
    std::chrono::steady_clock::time_point lastDone = std::chrono::steady_clock::now();
    size_t brought = 0;
    Pace pace;
  };
  std::shared_ptr<State> state_;
};

// The sample data set, written once per test program by the real mkdata.
inline const std::string& SampleData() { return fwtest::SampleDataFolder(); }

// The bytes of a file of the sample data set.
inline std::string SampleBytes(const std::string& name) {
  std::ifstream in(SampleData() + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Copies a file of the sample data set into a folder, under a name.
inline void CopySample(const std::string& name, const std::string& toFolder, const std::string& as) {
  std::filesystem::copy_file(SampleData() + "/" + name, toFolder + "/" + as,
                             std::filesystem::copy_options::overwrite_existing);
}

}  // namespace audiotest
