// Films: FFmpeg decodes the pictures and the sound of a file. The pictures
// are scaled into the game's 640x480 frame and shown in its window; the sound
// goes to the mixer in place of music. The film's clock is the platform
// clock, so a test that fixes the clock sees the same pictures on every run.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}
#include <SDL.h>
#include <SDL_mixer.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/audio/media_open.hpp"
#include "platform/audio/mixer.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/owned.hpp"

namespace plat {
namespace {

using FormatPtr = OwnedByAddress<AVFormatContext, avformat_close_input>;
using CodecPtr = OwnedByAddress<AVCodecContext, avcodec_free_context>;
using FramePtr = OwnedByAddress<AVFrame, av_frame_free>;
using PacketPtr = OwnedByAddress<AVPacket, av_packet_free>;
using ScalerPtr = Owned<SwsContext, sws_freeContext>;
using ResamplerPtr = OwnedByAddress<SwrContext, swr_free>;

constexpr double kUnknownLength = 1e9;
// Pictures decoded ahead of the clock, at most: enough to keep the sound
// topped up between them, few enough that a large film stays small.
constexpr size_t kMaxPending = 16;
constexpr double kSoundAhead = 0.5;     // seconds of sound kept decoded ahead
constexpr double kSoundCapacity = 2.0;  // seconds the sound queue holds at most

// The film's sound on its way from the decoder to the mixer's thread.
class FilmSound {
 public:
  FilmSound(SDL_AudioFormat format, size_t bytesPerFrame, size_t bytesPerSecond)
      : format_(format),
        frameBytes_(bytesPerFrame),
        ahead_(static_cast<size_t>(kSoundAhead * static_cast<double>(bytesPerSecond))),
        ring_((static_cast<size_t>(kSoundCapacity * static_cast<double>(bytesPerSecond)) / bytesPerFrame + 1) *
              bytesPerFrame) {}

  // Keeps the newest sound when more arrives than the queue holds.
  void Push(const uint8_t* data, size_t bytes) {
    std::lock_guard<std::mutex> lock(m_);
    const size_t cap = ring_.size();
    if (bytes > cap) {
      data += bytes - cap;
      bytes = cap;
    }
    if (size_ + bytes > cap) {
      const size_t drop = size_ + bytes - cap;
      head_ = (head_ + drop) % cap;
      size_ -= drop;
    }
    size_t tail = (head_ + size_) % cap;
    size_ += bytes;
    while (bytes > 0) {
      const size_t n = std::min(bytes, cap - tail);
      std::copy(data, data + n, ring_.begin() + static_cast<std::ptrdiff_t>(tail));
      data += n;
      bytes -= n;
      tail = (tail + n) % cap;
    }
  }

  bool Short() {
    std::lock_guard<std::mutex> lock(m_);
    return size_ < ahead_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(m_);
    head_ = size_ = 0;
  }
  void SetPlaying(bool on) {
    std::lock_guard<std::mutex> lock(m_);
    playing_ = on;
  }
  void SetVolume(int mixerVolume) {
    std::lock_guard<std::mutex> lock(m_);
    volume_ = mixerVolume;
  }
  size_t FrameBytes() const { return frameBytes_; }

  // The mixer's music hook: the stream holds silence when it is called.
  static void SDLCALL Mix(void* self, Uint8* stream, int len) {
    auto* s = static_cast<FilmSound*>(self);
    std::lock_guard<std::mutex> lock(s->m_);
    if (!s->playing_) return;
    size_t want = std::min(static_cast<size_t>(len), s->size_);
    while (want > 0) {
      const size_t n = std::min(want, s->ring_.size() - s->head_);
      SDL_MixAudioFormat(stream, s->ring_.data() + s->head_, s->format_, static_cast<Uint32>(n), s->volume_);
      stream += n;
      want -= n;
      s->size_ -= n;
      s->head_ = (s->head_ + n) % s->ring_.size();
    }
  }

 private:
  std::mutex m_;
  SDL_AudioFormat format_;
  size_t frameBytes_;
  size_t ahead_;
  std::vector<uint8_t> ring_;
  size_t head_ = 0, size_ = 0;
  bool playing_ = false;
  int volume_ = MIX_MAX_VOLUME;
};

bool SampleFormatOf(uint16_t sdl, AVSampleFormat* out) {
  switch (sdl) {
    case AUDIO_S16SYS: *out = AV_SAMPLE_FMT_S16; return true;
    case AUDIO_F32SYS: *out = AV_SAMPLE_FMT_FLT; return true;
    case AUDIO_S32SYS: *out = AV_SAMPLE_FMT_S32; return true;
    case AUDIO_U8: *out = AV_SAMPLE_FMT_U8; return true;
    default: return false;
  }
}

using Clock = std::chrono::steady_clock;
using ParamsPtr = OwnedByAddress<AVCodecParameters, avcodec_parameters_free>;

// Real time one update may spend waiting for the film's bytes and decoding
// them, so that the screen answers keys and signals at any drive's pace.
constexpr std::chrono::milliseconds kUpdateBudget{100};
// Real time the screen waits for a film's opening before it goes on with
// the film still opening: a film on a sound drive is known within it.
constexpr std::chrono::milliseconds kFirstWait{250};
// What the reader keeps read ahead of the decoder, at most; also the most
// one part of the film may take: a part that declares more ends the film
// there, after no more than this much of it was read.
constexpr size_t kReadAheadBytes = size_t{8} << 20;
// The most FFmpeg takes in one block: what a part or a header declares
// beyond it fails at once, before any of it is read or even reserved.
// FFmpeg serves the films alone in the game, so its one bound is theirs.
constexpr size_t kMostInOneBlock = size_t{64} << 20;
// The most one read asks of the drive. A read takes as long as its size at
// the drive's pace, so a larger one would spend a slow drive's second on
// bytes beyond the part being read, and cut a part that came in time.
constexpr int kMostPerRead = 4 * 1024;
constexpr size_t kReadAheadPackets = 1024;
// How often a reader waiting on a FIFO looks whether it is still wanted.
constexpr int kPollMs = 50;

// The test hook, never destroyed: a reader may still run at the exit.
struct HookSlot {
  std::mutex lock;
  std::shared_ptr<const FilmReadHook> hook;
};
HookSlot& TheHookSlot() {
  static auto* slot = new HookSlot;
  return *slot;
}

std::shared_ptr<const FilmReadHook> ReadHook() {
  std::lock_guard<std::mutex> lock(TheHookSlot().lock);
  return TheHookSlot().hook;
}

struct StreamFacts {
  int index = -1;
  ParamsPtr params;
  double timeBase = 0;
};

// What the opening learnt of a film: all the screen needs to decode it.
struct FilmFacts {
  StreamFacts video, audio;
  double frameStep = 0;
  double startOffset = 0;
  double duration = 0;  // 0 when the file does not say
};

// What the screen and the reader beside it share. The reader makes every
// system call on the film's file, so a drive that holds a read holds the
// reader alone; the screen only looks here, under the deadlines, and never
// waits on the reader longer than an update. A reader the screen gave up
// on finishes on its own: it owns this with the screen, so nothing it
// touches goes away under it, and it writes nothing the game reads.
//
// The deadlines: the opening ends on no progress or on too many bytes,
// never on slowness, since a drive spinning up may take seconds to bring
// its first block while a sparse tail brings bytes for ever. Each packet
// read while the film plays has a fixed deadline: a playing drive is
// already streaming, so a packet later than that is a tail that holds no
// more film, and so is a part larger than the read-ahead. Real time, not the
// platform clock, which a test may hold still.
class FilmFeed {
 public:
  enum class Opening { Pending, Refused, Film, Sound };
  enum class Take { Packet, End, Later };

  // --- the screen's side

  // Waits until the opening is decided or `until`.
  Opening AwaitOpening(Clock::time_point until) {
    std::unique_lock<std::mutex> lock(m_);
    for (;;) {
      if (opening_ == Opening::Pending && Expired()) opening_ = Opening::Refused;
      if (opening_ != Opening::Pending || Clock::now() >= until) return opening_;
      cv_.wait_until(lock, until);
    }
  }
  FilmFacts TakeFacts() {
    std::lock_guard<std::mutex> lock(m_);
    return std::move(facts_);
  }
  std::shared_ptr<const std::string> TakeSound() {
    std::lock_guard<std::mutex> lock(m_);
    return std::move(sound_);
  }

  // The next packet read, the end of what can be read, or none yet by `until`.
  Take TakePacket(PacketPtr& into, Clock::time_point until) {
    std::unique_lock<std::mutex> lock(m_);
    for (;;) {
      if (Clock::now() >= until) return Take::Later;
      if (!queue_.empty()) {
        into = std::move(queue_.front());
        queue_.pop_front();
        queueBytes_ -= static_cast<size_t>(into->size);
        cv_.notify_all();
        return Take::Packet;
      }
      if (ended_ || Expired()) return Take::End;
      cv_.wait_until(lock, until);
    }
  }

  // What was read ahead is dropped; the reader goes on from `seconds`.
  void Seek(double seconds) {
    std::lock_guard<std::mutex> lock(m_);
    queue_.clear();
    queueBytes_ = 0;
    ended_ = cut_ = false;
    ++seekWanted_;
    seekTo_ = seconds;
    readSince_ = Clock::now();  // the seek's own read has its deadline from now
    cv_.notify_all();
  }

  void Abandon() {
    std::lock_guard<std::mutex> lock(m_);
    abandoned_ = true;
    cv_.notify_all();
  }

  // --- the reader's side

  void Refuse() { Decide(Opening::Refused, {}, nullptr); }
  void OpenedFilm(FilmFacts facts) { Decide(Opening::Film, std::move(facts), nullptr); }
  void OpenedSound(std::string bytes) {
    Decide(Opening::Sound, {}, std::make_shared<const std::string>(std::move(bytes)));
  }

  // Whether a read must end now: the film was given up, its deadline
  // passed, or the screen asked for another place.
  bool ReadStopped() {
    std::lock_guard<std::mutex> lock(m_);
    return Expired() || (phase_ == Phase::Play && reading_ && readGen_ != seekWanted_);
  }
  // The drive answered a read: its bytes, or the end of the file, which is
  // as much progress as a byte.
  void Answered(size_t bytes) {
    std::lock_guard<std::mutex> lock(m_);
    if (phase_ == Phase::Play) {
      partBytes_ += bytes;
      return;
    }
    probed_ += bytes;
    lastByte_ = Clock::now();
  }
  bool ProbeCut() {
    std::lock_guard<std::mutex> lock(m_);
    return Expired();
  }

  // Reads the film's packets ahead of the screen until it is given up.
  void ReadPackets(AVFormatContext* fmt) {
    PacketPtr packet(av_packet_alloc());
    if (!packet) return End();
    for (;;) {
      uint64_t gen = 0;
      bool seek = false;
      double to = 0;
      {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait(lock, [&] {
          return abandoned_ || seekWanted_ != seekDone_ ||
                 (!ended_ && !cut_ && queueBytes_ < kReadAheadBytes && queue_.size() < kReadAheadPackets);
        });
        if (abandoned_) return;
        gen = seekWanted_;
        seek = gen != seekDone_;
        to = seekTo_;
        reading_ = true;
        readGen_ = gen;
        partBytes_ = 0;
        if (!seek) readSince_ = Clock::now();
      }
      int result = 0;
      if (seek) {
        const int64_t ts = static_cast<int64_t>(to * AV_TIME_BASE) +
                           (fmt->start_time != AV_NOPTS_VALUE ? fmt->start_time : 0);
        // A seek that fails leaves the reader where it was.
        av_seek_frame(fmt, -1, ts, AVSEEK_FLAG_BACKWARD);
      } else {
        result = av_read_frame(fmt, packet.get());
      }
      std::lock_guard<std::mutex> lock(m_);
      reading_ = false;
      if (seek) {
        seekDone_ = gen;
      } else if (gen != seekWanted_ || cut_) {
        av_packet_unref(packet.get());
      } else if (result < 0) {
        ended_ = true;
      } else {
        queueBytes_ += static_cast<size_t>(packet->size);
        queue_.push_back(std::move(packet));
        packet.reset(av_packet_alloc());
        if (!packet) ended_ = true;
      }
      cv_.notify_all();
      if (!packet) return;
    }
  }

  // FFmpeg's interrupt callback: its own loops and any file it opens beside
  // the film stop with the reads.
  static int Interrupted(void* self) { return static_cast<FilmFeed*>(self)->ProbeCut() ? 1 : 0; }

 private:
  enum class Phase { Probe, Play };

  // Under the lock. A deadline passed holds for both sides from then on.
  bool Expired() {
    if (abandoned_ || cut_) return true;
    const auto now = Clock::now();
    if (phase_ == Phase::Probe)
      cut_ = now - lastByte_ > MediaGraph::kFilmProbeLimit || probed_ > MediaGraph::kFilmProbeBytes;
    else
      cut_ = reading_ && (now - readSince_ > MediaGraph::kFilmReadLimit || partBytes_ > kReadAheadBytes);
    return cut_;
  }

  void Decide(Opening how, FilmFacts facts, std::shared_ptr<const std::string> sound) {
    std::lock_guard<std::mutex> lock(m_);
    // The screen may have given the opening up while the reader finished it.
    if (opening_ == Opening::Pending) opening_ = Expired() ? Opening::Refused : how;
    if (opening_ == how && how != Opening::Refused) {
      facts_ = std::move(facts);
      sound_ = std::move(sound);
      phase_ = Phase::Play;
    }
    cv_.notify_all();
  }

  void End() {
    std::lock_guard<std::mutex> lock(m_);
    ended_ = true;
    cv_.notify_all();
  }

  std::mutex m_;
  std::condition_variable cv_;
  bool abandoned_ = false;
  bool cut_ = false;
  Phase phase_ = Phase::Probe;
  Clock::time_point lastByte_ = Clock::now();
  uint64_t probed_ = 0;
  Opening opening_ = Opening::Pending;
  FilmFacts facts_;
  std::shared_ptr<const std::string> sound_;  // a file of sound alone, read whole
  std::deque<PacketPtr> queue_;
  size_t queueBytes_ = 0;
  bool ended_ = false;
  bool reading_ = false;
  Clock::time_point readSince_;
  size_t partBytes_ = 0;  // read of the part being read
  uint64_t readGen_ = 0, seekWanted_ = 0, seekDone_ = 0;
  double seekTo_ = 0;
};

// The film's file as the reader holds it: FFmpeg reads it through this.
class FilmFile {
 public:
  explicit FilmFile(FilmFeed& feed) : feed_(feed) {}
  ~FilmFile() {
    if (io_) av_freep(&io_->buffer);  // avio may have replaced the one it was given
    avio_context_free(&io_);
    if (fd_ >= 0) ::close(fd_);
  }
  FilmFile(const FilmFile&) = delete;
  FilmFile& operator=(const FilmFile&) = delete;

  // Never blocks on what stands at the name: a FIFO's reads wait in poll.
  bool Open(const std::string& nativePath) {
    fd_ = ::open(nativePath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return false;
    regular_ = S_ISREG(st.st_mode);
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferBytes));
    if (!buffer) return false;
    io_ = avio_alloc_context(buffer, kBufferBytes, 0, this, Read, nullptr, regular_ ? Seek : nullptr);
    if (!io_) av_free(buffer);
    return io_ != nullptr;
  }

  AVIOContext* Io() const { return io_; }

  // A file at a film's name that holds sound alone plays as any file
  // renders, through the music decoder. That decoder reads on the screen's
  // and the mixer's threads, so it is given the file's bytes, read whole
  // here under the opening's deadline: only up to kMostFilmSoundBytes, and
  // no more than the open file measured. nullopt where it may not play.
  std::optional<std::string> SoundOnly() {
    struct stat st {};
    if (!regular_ || ::fstat(fd_, &st) != 0 || static_cast<uint64_t>(st.st_size) > MediaGraph::kMostFilmSoundBytes ||
        ::lseek(fd_, 0, SEEK_SET) != 0)
      return std::nullopt;
    std::string bytes(static_cast<size_t>(st.st_size), '\0');
    size_t got = 0;
    // Bounded by the size measured, the bytes are not the probe's to count.
    whole_ = true;
    while (got < bytes.size()) {
      const int n = Read(this, reinterpret_cast<uint8_t*>(bytes.data() + got),
                         static_cast<int>(std::min<size_t>(bytes.size() - got, kBufferBytes)));
      if (n == AVERROR_EOF) break;
      if (n < 0) return std::nullopt;
      got += static_cast<size_t>(n);
    }
    bytes.resize(got);
    if (bytes.empty()) return std::nullopt;
    return bytes;
  }

 private:
  static constexpr int kBufferBytes = 32 * 1024;

  static int Read(void* self, uint8_t* buf, int size) {
    auto* f = static_cast<FilmFile*>(self);
    for (;;) {
      if (f->feed_.ReadStopped()) return AVERROR_EXIT;
      size_t want = static_cast<size_t>(std::min(size, kMostPerRead));
      if (const auto hook = ReadHook(); hook && *hook) want = std::clamp<size_t>((*hook)(want), 1, want);
      const ssize_t n = ::read(f->fd_, buf, want);
      if (n >= 0) {
        // What came after the deadline ends the film there all the same.
        if (f->feed_.ReadStopped()) return AVERROR_EXIT;
        f->feed_.Answered(f->whole_ ? 0 : static_cast<size_t>(n));
        return n > 0 ? static_cast<int>(n) : AVERROR_EOF;
      }
      if (errno == EINTR) continue;
      if (errno != EAGAIN) return AVERROR(errno);
      pollfd p{f->fd_, POLLIN, 0};
      ::poll(&p, 1, kPollMs);
    }
  }

  static int64_t Seek(void* self, int64_t offset, int whence) {
    const int fd = static_cast<FilmFile*>(self)->fd_;
    if (whence & AVSEEK_SIZE) {
      struct stat st {};
      return ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : AVERROR(errno);
    }
    const off_t at = ::lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : static_cast<int64_t>(at);
  }

  FilmFeed& feed_;
  int fd_ = -1;
  bool regular_ = false;
  bool whole_ = false;  // reading sound alone whole
  AVIOContext* io_ = nullptr;
};

StreamFacts FactsOf(const AVStream* s) {
  StreamFacts f;
  f.params.reset(avcodec_parameters_alloc());
  if (!f.params || avcodec_parameters_copy(f.params.get(), s->codecpar) < 0) return {};
  f.index = s->index;
  f.timeBase = av_q2d(s->time_base);
  return f;
}

// The reader beside the screen: opens the film's file, probes it and reads
// its packets ahead, each under its deadline, until the screen gives it up.
void ReadFilm(const std::shared_ptr<FilmFeed>& feed, const std::string& nativePath) {
  FilmFile file(*feed);
  if (!file.Open(nativePath)) return feed->Refuse();
  AVFormatContext* opened = avformat_alloc_context();
  if (!opened) return feed->Refuse();
  opened->pb = file.Io();
  opened->interrupt_callback = {FilmFeed::Interrupted, feed.get()};
  // A context that fails to open is freed by avformat_open_input; the
  // file stays ours.
  if (avformat_open_input(&opened, nativePath.c_str(), nullptr, nullptr) != 0) return feed->Refuse();
  FormatPtr fmt(opened);
  // FFmpeg may return success from a probe it cut short.
  if (avformat_find_stream_info(fmt.get(), nullptr) < 0 || feed->ProbeCut()) return feed->Refuse();
  int video = -1;
  bool sound = false;
  for (unsigned i = 0; i < fmt->nb_streams; ++i) {
    const AVStream* s = fmt->streams[i];
    // A cover picture in a music file makes no film.
    if (video < 0 && s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(s->disposition & AV_DISPOSITION_ATTACHED_PIC))
      video = static_cast<int>(i);
    sound = sound || s->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
  }
  if (video < 0) {
    std::optional<std::string> bytes = sound ? file.SoundOnly() : std::nullopt;
    return bytes ? feed->OpenedSound(std::move(*bytes)) : feed->Refuse();
  }
  FilmFacts facts;
  AVStream* vs = fmt->streams[video];
  facts.video = FactsOf(vs);
  if (facts.video.index < 0) return feed->Refuse();
  const AVRational rate = av_guess_frame_rate(fmt.get(), vs, nullptr);
  facts.frameStep = rate.num > 0 && rate.den > 0 ? av_q2d(av_inv_q(rate)) : 0.1;
  if (fmt->start_time != AV_NOPTS_VALUE) facts.startOffset = fmt->start_time / static_cast<double>(AV_TIME_BASE);
  if (fmt->duration > 0)
    facts.duration = fmt->duration / static_cast<double>(AV_TIME_BASE);
  else if (vs->duration > 0)
    facts.duration = static_cast<double>(vs->duration) * facts.video.timeBase;
  const int a = av_find_best_stream(fmt.get(), AVMEDIA_TYPE_AUDIO, -1, video, nullptr, 0);
  if (a >= 0) facts.audio = FactsOf(fmt->streams[a]);
  feed->OpenedFilm(std::move(facts));
  feed->ReadPackets(fmt.get());
}

struct Decoder {
  int stream = -1;
  CodecPtr ctx;
  double timeBase = 0;
};

class FilmGraph final : public MediaGraph {
 public:
  explicit FilmGraph(std::shared_ptr<FilmFeed> feed) : feed_(std::move(feed)), screen_(kFrameWidth * kFrameHeight, 0) {}

  ~FilmGraph() override {
    if (sound_ && Mix_GetMusicHookData() == sound_.get()) Mix_HookMusic(nullptr, nullptr);
    feed_->Abandon();
  }

  // The first look at the opening, when the film is rendered.
  void Settle(Clock::time_point until) {
    WaitTally tally(*this);
    Settle(until, tally);
  }

  void Run() override {
    if (music_) return music_->Run();
    if (running_) return;
    runMs_ = timeGetTime();
    runFrom_ = stoppedAt_;
    running_ = true;
    if (sound_) sound_->SetPlaying(true);
  }

  void Stop() override {
    if (music_) return music_->Stop();
    if (!running_) return;
    stoppedAt_ = CurrentPosition();
    running_ = false;
    if (sound_) sound_->SetPlaying(false);
  }

  double Duration() const override { return music_ ? music_->Duration() : duration_; }

  double CurrentPosition() override {
    if (music_) return music_->CurrentPosition();
    if (!running_ || state_ != State::Playing) return stoppedAt_;
    const double elapsed = static_cast<uint32_t>(timeGetTime() - runMs_) / 1000.0;
    return std::min(runFrom_ + elapsed, duration_);
  }

  void SetCurrentPosition(double seconds) override {
    if (music_) return music_->SetCurrentPosition(seconds);
    if (state_ != State::Playing) return;
    seconds = std::clamp(seconds, 0.0, duration_);
    feed_->Seek(seconds);
    avcodec_flush_buffers(video_.ctx.get());
    if (audio_.stream >= 0) avcodec_flush_buffers(audio_.ctx.get());
    pending_.clear();
    swr_.reset();
    if (sound_) sound_->Clear();
    fileEnd_ = false;
    nextPts_ = seconds;
    runFrom_ = stoppedAt_ = seconds;
    runMs_ = timeGetTime();
  }

  void SetVolume(int32_t hundredthsDb) override {
    volume_ = std::clamp(hundredthsDb, kVolumeMin, kVolumeMax);
    if (music_) music_->SetVolume(volume_);
    if (sound_) sound_->SetVolume(MixerVolume(volume_));
  }

  std::chrono::nanoseconds LongestReaderWait() const override { return longestWait_; }
  bool HasVideo() const override { return !music_; }
  bool Skipped() const override { return state_ == State::Skipped; }

  void SetVideoWindow(int left, int top, int width, int height) override {
    left_ = std::clamp(left, 0, kFrameWidth - 1);
    top_ = std::clamp(top, 0, kFrameHeight - 1);
    width_ = std::clamp(width, 1, kFrameWidth - left_);
    height_ = std::clamp(height, 1, kFrameHeight - top_);
    std::fill(screen_.begin(), screen_.end(), 0);
  }

  void Pump() override {
    WaitTally tally(*this);
    const Clock::time_point until = Clock::now() + kUpdateBudget;
    if (!Settle(until, tally) || state_ == State::Skipped) return;
    if (music_) return music_->Pump();
    const double position = CurrentPosition();
    FramePtr due;
    for (;;) {
      while (!pending_.empty() && pending_.front().pts <= position) {
        due = std::move(pending_.front().frame);
        pending_.pop_front();
      }
      if (fileEnd_) break;
      const bool soundShort = running_ && sound_ && sound_->Short();
      if (!pending_.empty() && (!soundShort || pending_.size() >= kMaxPending)) break;
      const FilmFeed::Take took = tally.Timed([&] { return feed_->TakePacket(packet_, until); });
      if (took == FilmFeed::Take::Later) break;
      if (took == FilmFeed::Take::End)
        EndOfFile();
      else
        Decode();
    }
    if (due) Show(due.get());
    uint32_t wait = kIdleWaitMs;
    if (running_ && !pending_.empty()) {
      const double ahead = pending_.front().pts - CurrentPosition();
      wait = static_cast<uint32_t>(std::clamp(ahead * 1000.0, 0.0, static_cast<double>(kIdleWaitMs)));
    }
    if (wait > 0) SDL_Delay(wait);
  }

 private:
  enum class State { Opening, Playing, Music, Skipped };

  // The real time one call of the screen's spends waiting for the reader,
  // kept as the film's longest when the call ends.
  class WaitTally {
   public:
    explicit WaitTally(FilmGraph& film) : film_(film) {}
    ~WaitTally() { film_.longestWait_ = std::max(film_.longestWait_, waited_); }
    WaitTally(const WaitTally&) = delete;
    WaitTally& operator=(const WaitTally&) = delete;
    template <typename Wait>
    std::invoke_result_t<Wait&> Timed(Wait&& wait) {
      const auto from = Clock::now();
      auto result = wait();
      waited_ += Clock::now() - from;
      return result;
    }

   private:
    FilmGraph& film_;
    std::chrono::nanoseconds waited_{};
  };

  // Takes what the opening found once it is known, waiting for it until
  // `until`; false while the film is still opening.
  bool Settle(Clock::time_point until, WaitTally& tally) {
    if (state_ != State::Opening) return true;
    switch (tally.Timed([&] { return feed_->AwaitOpening(until); })) {
      case FilmFeed::Opening::Pending: return false;
      case FilmFeed::Opening::Refused: state_ = State::Skipped; break;
      case FilmFeed::Opening::Sound: state_ = PlayAsMusic() ? State::Music : State::Skipped; break;
      case FilmFeed::Opening::Film: state_ = Open(feed_->TakeFacts()) ? State::Playing : State::Skipped; break;
    }
    if (state_ == State::Skipped) feed_->Abandon();
    // The film's clock starts when it can show its pictures.
    runMs_ = timeGetTime();
    return true;
  }
  struct Picture {
    FramePtr frame;
    double pts;
  };

  bool Open(FilmFacts facts) {
    scratch_.reset(av_frame_alloc());
    if (!scratch_ || !OpenDecoder(facts.video, video_)) return false;
    frameStep_ = facts.frameStep;
    startOffset_ = facts.startOffset;
    duration_ = facts.duration > 0 ? facts.duration : kUnknownLength;  // else learnt at the end of the file
    if (facts.audio.index >= 0) OpenSound(facts.audio);
    return true;
  }

  // The file's sound through the music decoder, at the film's volume and
  // running if the film was.
  bool PlayAsMusic() {
    soundBytes_ = feed_->TakeSound();
    SDL_RWops* reader =
        soundBytes_ ? SDL_RWFromConstMem(soundBytes_->data(), static_cast<int>(soundBytes_->size())) : nullptr;
    if (!reader) return false;
    music_ = OpenMusic(reader);
    if (!music_) return false;
    music_->SetVolume(volume_);
    if (running_) music_->Run();
    return true;
  }

  bool OpenDecoder(const StreamFacts& s, Decoder& d) {
    const AVCodec* codec = avcodec_find_decoder(s.params->codec_id);
    if (!codec) return false;
    d.ctx.reset(avcodec_alloc_context3(codec));
    if (!d.ctx || avcodec_parameters_to_context(d.ctx.get(), s.params.get()) < 0) return false;
    d.ctx->thread_count = 1;  // one thread, as the rest of the game
    if (avcodec_open2(d.ctx.get(), codec, nullptr) < 0) return false;
    d.stream = s.index;
    d.timeBase = s.timeBase;
    return true;
  }

  // A film whose sound cannot be played is shown silent.
  void OpenSound(const StreamFacts& stream) {
    mixer_ = AudioMixer::Acquire();
    if (!mixer_ || !SampleFormatOf(mixer_->Format(), &outFormat_) || !OpenDecoder(stream, audio_)) {
      audio_.stream = -1;
      mixer_.reset();
      return;
    }
    const size_t frameBytes =
        static_cast<size_t>(av_get_bytes_per_sample(outFormat_)) * static_cast<size_t>(mixer_->Channels());
    sound_ = std::make_unique<FilmSound>(mixer_->Format(), frameBytes,
                                         frameBytes * static_cast<size_t>(mixer_->Frequency()));
    sound_->SetVolume(MixerVolume(volume_));
    sound_->SetPlaying(running_);
    Mix_HookMusic(FilmSound::Mix, sound_.get());
  }

  void Decode() {
    if (packet_->stream_index == video_.stream)
      DecodeVideo(packet_.get());
    else if (packet_->stream_index == audio_.stream && sound_)
      DecodeAudio(packet_.get());
    packet_.reset();
  }

  void EndOfFile() {
    fileEnd_ = true;
    DecodeVideo(nullptr);
    if (audio_.stream >= 0 && sound_) DecodeAudio(nullptr);
    if (duration_ >= kUnknownLength) duration_ = std::max(nextPts_, 0.0);
  }

  // A null packet drains the decoder. A packet the decoder refuses is
  // skipped: the film goes on with the next one.
  void DecodeVideo(const AVPacket* packet) {
    if (avcodec_send_packet(video_.ctx.get(), packet) < 0) return;
    while (avcodec_receive_frame(video_.ctx.get(), scratch_.get()) == 0) {
      double pts = nextPts_;
      if (scratch_->best_effort_timestamp != AV_NOPTS_VALUE)
        pts = static_cast<double>(scratch_->best_effort_timestamp) * video_.timeBase - startOffset_;
      nextPts_ = pts + frameStep_;
      FramePtr f(av_frame_alloc());
      if (!f) return;
      av_frame_move_ref(f.get(), scratch_.get());
      pending_.push_back({std::move(f), pts});
    }
  }

  void DecodeAudio(const AVPacket* packet) {
    if (avcodec_send_packet(audio_.ctx.get(), packet) < 0) return;
    while (avcodec_receive_frame(audio_.ctx.get(), scratch_.get()) == 0) {
      ConvertSound(scratch_.get());
      av_frame_unref(scratch_.get());
    }
  }

  void ConvertSound(const AVFrame* f) {
    if (!swr_) {
      AVChannelLayout in{}, out{};
      if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&in, f->ch_layout.nb_channels);
      else if (av_channel_layout_copy(&in, &f->ch_layout) < 0)
        return;
      av_channel_layout_default(&out, mixer_->Channels());
      SwrContext* made = nullptr;
      const int r = swr_alloc_set_opts2(&made, &out, outFormat_, mixer_->Frequency(), &in,
                                        static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr);
      swr_.reset(made);
      av_channel_layout_uninit(&in);
      av_channel_layout_uninit(&out);
      if (r < 0 || swr_init(swr_.get()) < 0) {
        swr_.reset();
        return;
      }
    }
    const int room = swr_get_out_samples(swr_.get(), f->nb_samples);
    if (room <= 0) return;
    converted_.resize(static_cast<size_t>(room) * sound_->FrameBytes());
    uint8_t* out[1] = {converted_.data()};
    const int got = swr_convert(swr_.get(), out, room, const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
    if (got > 0) sound_->Push(converted_.data(), static_cast<size_t>(got) * sound_->FrameBytes());
  }

  void Show(const AVFrame* f) {
    // The cached context is either the one passed in, reused, or a new one
    // after that one was freed.
    sws_.reset(sws_getCachedContext(sws_.release(), f->width, f->height, static_cast<AVPixelFormat>(f->format),
                                    width_, height_, AV_PIX_FMT_RGB565, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!sws_) return;
    uint8_t* dst[4] = {reinterpret_cast<uint8_t*>(screen_.data() + top_ * kFrameWidth + left_), nullptr, nullptr,
                       nullptr};
    const int dstStride[4] = {kFrameWidth * 2, 0, 0, 0};
    sws_scale(sws_.get(), f->data, f->linesize, 0, f->height, dst, dstStride);
    Window::Instance().Present(screen_.data(), kFrameWidth, kFrameHeight, kFrameWidth);
  }

  std::shared_ptr<FilmFeed> feed_;
  State state_ = State::Opening;
  std::chrono::nanoseconds longestWait_{};
  std::shared_ptr<const std::string> soundBytes_;  // what music_ plays from: it outlives it
  std::unique_ptr<MediaGraph> music_;
  Decoder video_, audio_;
  ScalerPtr sws_;
  ResamplerPtr swr_;
  PacketPtr packet_;
  FramePtr scratch_;
  std::deque<Picture> pending_;
  std::vector<uint16_t> screen_;
  std::vector<uint8_t> converted_;
  int left_ = 0, top_ = 0, width_ = kFrameWidth, height_ = kFrameHeight;
  bool fileEnd_ = false;
  double duration_ = kUnknownLength;
  double startOffset_ = 0;
  double frameStep_ = 0.1;
  double nextPts_ = 0;
  bool running_ = false;
  uint32_t runMs_ = 0;
  double runFrom_ = 0;
  double stoppedAt_ = 0;
  std::shared_ptr<AudioMixer> mixer_;
  AVSampleFormat outFormat_ = AV_SAMPLE_FMT_S16;
  std::unique_ptr<FilmSound> sound_;
};

}  // namespace

std::unique_ptr<MediaGraph> OpenFilm(const std::string& nativePath) {
  // Damaged files are handled here; FFmpeg's own complaints would only
  // clutter the game's output.
  av_log_set_level(AV_LOG_QUIET);
  av_max_alloc(kMostInOneBlock);
  auto feed = std::make_shared<FilmFeed>();
  try {
    // Never joined: a reader held by its drive must not hold the screen
    // that follows the film, nor the game's end.
    std::thread([feed, nativePath] { ReadFilm(feed, nativePath); }).detach();
  } catch (const std::system_error&) {
    return nullptr;
  }
  auto film = std::make_unique<FilmGraph>(std::move(feed));
  film->Settle(Clock::now() + kFirstWait);
  if (film->Skipped()) return nullptr;
  return film;
}

void SetFilmReadHook(FilmReadHook hook) {
  std::lock_guard<std::mutex> lock(TheHookSlot().lock);
  TheHookSlot().hook = hook ? std::make_shared<const FilmReadHook>(std::move(hook)) : nullptr;
}

std::unique_ptr<MediaGraph> MediaGraph::RenderFile(const std::string& nativePath, MediaKind kind) {
  // The libraries open the file by its name and would wait on a FIFO or a
  // device standing there: only a regular file is handed to them.
  if (LookAtFile(nativePath) != 0) return nullptr;
  return kind == MediaKind::Film ? OpenFilm(nativePath) : OpenMusic(nativePath);
}

}  // namespace plat
