#pragma once
// What stands in for ActiveMovie's filter graph: one media file rendered for
// playing. A film is decoded with FFmpeg and shown in the game's window with
// its sound; music is played by the mixer. Positions and durations are in
// seconds, the volume in hundredths of a decibel (0 full, -10000 silent).
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace plat {

// The caller knows which it plays. A track never goes through the film's
// probe, which may read far into a large file before it answers.
enum class MediaKind { Music, Film };

class MediaGraph {
 public:
  // Real time a film's probe may go without receiving a byte: a drive
  // spinning up brings its first block within it. A probe that keeps
  // receiving bytes goes on, up to kFilmProbeBytes.
  static constexpr std::chrono::milliseconds kFilmProbeLimit{3000};
  // Bytes a film's probe may read: far above a real film's header and index.
  // FFmpeg reads on until it knows the streams, through the whole of a
  // damaged or sparse file, whose holes always bring bytes.
  static constexpr uint64_t kFilmProbeBytes = uint64_t{64} << 20;
  // Real time one packet's read may take while a film plays. Fixed, where
  // the probe waits on progress: a playing drive is already streaming, so a
  // packet that does not come within it is taken as the film's end.
  static constexpr std::chrono::milliseconds kFilmReadLimit{1000};
  // The largest file at a film's name that is played as sound when it holds
  // no pictures: it is read whole into memory, beside the screen, for the
  // music decoder.
  static constexpr uint64_t kMostFilmSoundBytes = uint64_t{64} << 20;

  // Renders a file as the kind given; null when it cannot be opened or
  // played as that kind (a missing, damaged or unsupported file, a film whose
  // probe was cut, sound without pictures at a film's name larger than
  // kMostFilmSoundBytes, an entry that is no regular file, which is never
  // opened, or music without a sound device). Sound without pictures at a
  // film's name plays as music; a film at a track's name is not played.
  static std::unique_ptr<MediaGraph> RenderFile(const std::string& nativePath, MediaKind kind);

  virtual ~MediaGraph() = default;

  virtual void Run() = 0;
  // Pauses where it is; Run goes on from there.
  virtual void Stop() = 0;
  virtual double Duration() const = 0;
  // Stays at the duration once the file has played to its end.
  virtual double CurrentPosition() = 0;
  virtual void SetCurrentPosition(double seconds) = 0;
  // Clamped into -10000..0.
  virtual void SetVolume(int32_t hundredthsDb) = 0;
  int32_t Volume() const { return volume_; }

  virtual bool HasVideo() const { return false; }
  // Films: a film whose opening turned out unplayable after it was
  // rendered (its probe cut, its file no film). It shows nothing: the caller
  // goes on as for a film that could not be rendered.
  virtual bool Skipped() const { return false; }
  // Films: where the picture goes in the 640x480 frame of the window.
  virtual void SetVideoWindow(int /*left*/, int /*top*/, int /*width*/, int /*height*/) {}
  // Films: shows the picture due at the current position (the last one
  // stays after the end) and waits a little when none is due yet, so a loop
  // around it does not spin; it never waits on the film's drive longer than
  // a fraction of a second. Music plays by itself and only waits.
  virtual void Pump() {}
  // Films: the longest real time the rendering or one Pump has spent
  // waiting for the film's reader, the one thread that touches its drive.
  virtual std::chrono::nanoseconds LongestReaderWait() const { return {}; }

 protected:
  int32_t volume_ = 0;
};

// Test hook: runs before each read of a film's file, on the reader's
// thread, with the bytes wanted, and returns the most that read may bring
// (at least one byte). A slow or stuck drive is a hook that waits.
using FilmReadHook = std::function<size_t(size_t wanted)>;
void SetFilmReadHook(FilmReadHook hook);

}  // namespace plat
