// Films: FFmpeg decodes the pictures and the sound of a file. The pictures
// are scaled into the game's 640x480 frame and shown in its window; the sound
// goes to the mixer in place of music. The film's clock is the platform
// clock, so a test that fixes the clock sees the same pictures on every run.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
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
#include <cstdio>
#include <deque>
#include <mutex>
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

// The film's file, read by FFmpeg through this source so that every read is
// seen. The probe ends on no progress or on too many bytes, never on
// slowness: a drive spinning up may take seconds to bring its first block,
// while a sparse tail brings bytes for ever. Each packet read while the film
// plays has a fixed deadline: a playing drive is already streaming, so a
// packet later than that is a tail that holds no more film. Real time, not
// the platform clock, which a test may hold still.
class FilmSource {
 public:
  // Never blocks on what stands at the name: a FIFO's reads wait in poll,
  // under the deadlines.
  static std::unique_ptr<FilmSource> Open(const std::string& nativePath) {
    const int fd = ::open(nativePath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    std::unique_ptr<FilmSource> source(new FilmSource(fd));
    struct stat st {};
    if (::fstat(fd, &st) != 0) return nullptr;
    source->regular_ = S_ISREG(st.st_mode);
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferBytes));
    if (!buffer) return nullptr;
    source->io_ = avio_alloc_context(buffer, kBufferBytes, 0, source.get(), Read, nullptr,
                                     source->regular_ ? Seek : nullptr);
    if (!source->io_) {
      av_free(buffer);
      return nullptr;
    }
    return source;
  }

  ~FilmSource() {
    if (io_) av_freep(&io_->buffer);  // avio may have replaced the one it was given
    avio_context_free(&io_);
    ::close(fd_);
  }
  FilmSource(const FilmSource&) = delete;
  FilmSource& operator=(const FilmSource&) = delete;

  AVIOContext* Io() const { return io_; }

  // A file at a film's name that holds sound alone plays as any file
  // renders, through the music decoder, which may read the file it is given
  // whole: only up to kMostFilmSoundBytes. The same open file, so the size
  // measured is the size played.
  std::unique_ptr<MediaGraph> PlayAsMusic() const {
    struct stat st {};
    if (!regular_ || ::fstat(fd_, &st) != 0 || static_cast<uint64_t>(st.st_size) > MediaGraph::kMostFilmSoundBytes)
      return nullptr;
    const int own = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    if (own < 0) return nullptr;
    FILE* file = ::fdopen(own, "rb");
    if (!file) {
      ::close(own);
      return nullptr;
    }
    SDL_RWops* reader = ::fseek(file, 0, SEEK_SET) == 0 ? SDL_RWFromFP(file, SDL_TRUE) : nullptr;
    if (!reader) {
      ::fclose(file);
      return nullptr;
    }
    return OpenMusic(reader);
  }

  void BeginProbe() { Begin(Phase::Probe); }
  void BeginPacketRead() { Begin(Phase::Play); }
  // FFmpeg may return success from a probe it cut short.
  bool Cut() const { return cut_; }

  // FFmpeg's interrupt callback: its own loops and any file it opens beside
  // this one stop with the reads.
  static int Interrupted(void* self) { return static_cast<FilmSource*>(self)->Expired() ? 1 : 0; }

 private:
  enum class Phase { Probe, Play };
  static constexpr int kBufferBytes = 32 * 1024;

  explicit FilmSource(int fd) : fd_(fd) {}

  void Begin(Phase phase) {
    phase_ = phase;
    since_ = std::chrono::steady_clock::now();
    probed_ = 0;
    cut_ = false;
  }

  std::chrono::milliseconds Limit() const {
    return phase_ == Phase::Probe ? MediaGraph::kFilmProbeLimit : MediaGraph::kFilmReadLimit;
  }
  // Time left before the read is cut: since the last byte in the probe,
  // since the packet's read began in play.
  std::chrono::milliseconds Left() const {
    return Limit() - std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since_);
  }
  bool Expired() {
    if (Left().count() <= 0 || (phase_ == Phase::Probe && probed_ > MediaGraph::kFilmProbeBytes)) cut_ = true;
    return cut_;
  }

  static int Read(void* self, uint8_t* buf, int size) {
    auto* s = static_cast<FilmSource*>(self);
    for (;;) {
      if (s->Expired()) return AVERROR_EXIT;
      const ssize_t n = ::read(s->fd_, buf, static_cast<size_t>(size));
      if (n > 0) {
        if (s->phase_ == Phase::Probe) {
          s->probed_ += static_cast<uint64_t>(n);
          s->since_ = std::chrono::steady_clock::now();
        }
        return static_cast<int>(n);
      }
      if (n == 0) return AVERROR_EOF;
      if (errno == EINTR) continue;
      if (errno != EAGAIN) return AVERROR(errno);
      pollfd p{s->fd_, POLLIN, 0};
      ::poll(&p, 1, static_cast<int>(std::max<int64_t>(s->Left().count(), 1)));
    }
  }

  static int64_t Seek(void* self, int64_t offset, int whence) {
    const int fd = static_cast<FilmSource*>(self)->fd_;
    if (whence & AVSEEK_SIZE) {
      struct stat st {};
      return ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : AVERROR(errno);
    }
    const off_t at = ::lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : static_cast<int64_t>(at);
  }

  int fd_;
  bool regular_ = false;
  AVIOContext* io_ = nullptr;
  Phase phase_ = Phase::Probe;
  std::chrono::steady_clock::time_point since_ = std::chrono::steady_clock::now();
  uint64_t probed_ = 0;
  bool cut_ = false;
};

struct Decoder {
  int stream = -1;
  CodecPtr ctx;
  double timeBase = 0;
};

class FilmGraph final : public MediaGraph {
 public:
  FilmGraph(std::unique_ptr<FilmSource> source, FormatPtr fmt)
      : source_(std::move(source)), fmt_(std::move(fmt)), screen_(kFrameWidth * kFrameHeight, 0) {}

  ~FilmGraph() override {
    if (sound_ && Mix_GetMusicHookData() == sound_.get()) Mix_HookMusic(nullptr, nullptr);
  }

  bool Open(int videoStream) {
    packet_.reset(av_packet_alloc());
    scratch_.reset(av_frame_alloc());
    if (!packet_ || !scratch_ || !OpenDecoder(videoStream, video_)) return false;
    AVStream* vs = fmt_->streams[videoStream];
    const AVRational rate = av_guess_frame_rate(fmt_.get(), vs, nullptr);
    if (rate.num > 0 && rate.den > 0) frameStep_ = av_q2d(av_inv_q(rate));
    if (fmt_->start_time != AV_NOPTS_VALUE) startOffset_ = fmt_->start_time / static_cast<double>(AV_TIME_BASE);
    if (fmt_->duration > 0)
      duration_ = fmt_->duration / static_cast<double>(AV_TIME_BASE);
    else if (vs->duration > 0)
      duration_ = static_cast<double>(vs->duration) * video_.timeBase;
    else
      duration_ = kUnknownLength;  // learnt at the end of the file
    const int a = av_find_best_stream(fmt_.get(), AVMEDIA_TYPE_AUDIO, -1, videoStream, nullptr, 0);
    if (a >= 0) OpenSound(a);
    return true;
  }

  void Run() override {
    if (running_) return;
    runMs_ = timeGetTime();
    runFrom_ = stoppedAt_;
    running_ = true;
    if (sound_) sound_->SetPlaying(true);
  }

  void Stop() override {
    if (!running_) return;
    stoppedAt_ = CurrentPosition();
    running_ = false;
    if (sound_) sound_->SetPlaying(false);
  }

  double Duration() const override { return duration_; }

  double CurrentPosition() override {
    if (!running_) return stoppedAt_;
    const double elapsed = static_cast<uint32_t>(timeGetTime() - runMs_) / 1000.0;
    return std::min(runFrom_ + elapsed, duration_);
  }

  void SetCurrentPosition(double seconds) override {
    seconds = std::clamp(seconds, 0.0, duration_);
    const int64_t ts = static_cast<int64_t>(seconds * AV_TIME_BASE) +
                       (fmt_->start_time != AV_NOPTS_VALUE ? fmt_->start_time : 0);
    source_->BeginPacketRead();
    if (av_seek_frame(fmt_.get(), -1, ts, AVSEEK_FLAG_BACKWARD) < 0) return;
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
    if (sound_) sound_->SetVolume(MixerVolume(volume_));
  }

  bool HasVideo() const override { return true; }

  void SetVideoWindow(int left, int top, int width, int height) override {
    left_ = std::clamp(left, 0, kFrameWidth - 1);
    top_ = std::clamp(top, 0, kFrameHeight - 1);
    width_ = std::clamp(width, 1, kFrameWidth - left_);
    height_ = std::clamp(height, 1, kFrameHeight - top_);
    std::fill(screen_.begin(), screen_.end(), 0);
  }

  void Pump() override {
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
      if (!ReadPacket()) EndOfFile();
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
  struct Picture {
    FramePtr frame;
    double pts;
  };

  bool OpenDecoder(int stream, Decoder& d) {
    AVStream* s = fmt_->streams[stream];
    const AVCodec* codec = avcodec_find_decoder(s->codecpar->codec_id);
    if (!codec) return false;
    d.ctx.reset(avcodec_alloc_context3(codec));
    if (!d.ctx || avcodec_parameters_to_context(d.ctx.get(), s->codecpar) < 0) return false;
    d.ctx->thread_count = 1;  // one thread, as the rest of the game
    if (avcodec_open2(d.ctx.get(), codec, nullptr) < 0) return false;
    d.stream = stream;
    d.timeBase = av_q2d(s->time_base);
    return true;
  }

  // A film whose sound cannot be played is shown silent.
  void OpenSound(int stream) {
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
    Mix_HookMusic(FilmSound::Mix, sound_.get());
  }

  // False at the end of the file, where a damaged file cannot be read on, or
  // where the packet did not come in time.
  bool ReadPacket() {
    source_->BeginPacketRead();
    if (av_read_frame(fmt_.get(), packet_.get()) < 0) return false;
    if (packet_->stream_index == video_.stream)
      DecodeVideo(packet_.get());
    else if (packet_->stream_index == audio_.stream && sound_)
      DecodeAudio(packet_.get());
    av_packet_unref(packet_.get());
    return true;
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

  // Before the file, which reads through it until it is closed.
  std::unique_ptr<FilmSource> source_;
  FormatPtr fmt_;
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
  double duration_ = 0;
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
  auto source = FilmSource::Open(nativePath);
  if (!source) return nullptr;
  AVFormatContext* opened = avformat_alloc_context();
  if (!opened) return nullptr;
  opened->pb = source->Io();
  opened->interrupt_callback = {FilmSource::Interrupted, source.get()};
  source->BeginProbe();
  // A context that fails to open is freed by avformat_open_input; the
  // source stays ours.
  if (avformat_open_input(&opened, nativePath.c_str(), nullptr, nullptr) != 0) return nullptr;
  FormatPtr fmt(opened);
  if (avformat_find_stream_info(fmt.get(), nullptr) < 0 || source->Cut()) return nullptr;
  int video = -1;
  bool sound = false;
  for (unsigned i = 0; i < fmt->nb_streams; ++i) {
    const AVStream* s = fmt->streams[i];
    // A cover picture in a music file makes no film.
    if (video < 0 && s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(s->disposition & AV_DISPOSITION_ATTACHED_PIC))
      video = static_cast<int>(i);
    sound = sound || s->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
  }
  if (video < 0) return sound ? source->PlayAsMusic() : nullptr;
  auto film = std::make_unique<FilmGraph>(std::move(source), std::move(fmt));
  if (!film->Open(video)) return nullptr;
  return film;
}

std::unique_ptr<MediaGraph> MediaGraph::RenderFile(const std::string& nativePath, MediaKind kind) {
  // The libraries open the file by its name and would wait on a FIFO or a
  // device standing there: only a regular file is handed to them.
  if (LookAtFile(nativePath) != 0) return nullptr;
  return kind == MediaKind::Film ? OpenFilm(nativePath) : OpenMusic(nativePath);
}

}  // namespace plat
