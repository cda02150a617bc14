// What the sound and film players read: the menu and battle sounds (WAV
// members of "Data"), the music tracks and the two films beside the game.
// Everything is synthesised here and encoded with FFmpeg's own encoders, so
// the game's decoders meet real files.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/mkdata/canvas.hpp"
#include "tools/mkdata/mkdata.hpp"

namespace mkdata {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRate = 22050;  // the sound channels' own format: 22050 Hz, 16 bits, stereo

using Wave = std::vector<float>;

// ---------------------------------------------------------------- synthesis

struct Stereo {
  Wave left, right;
  size_t Size() const { return left.size(); }
};

size_t Samples(double seconds) { return static_cast<size_t>(seconds * kRate); }
double TimeOf(size_t i) { return static_cast<double>(i) / kRate; }

class NoiseSource {
 public:
  explicit NoiseSource(uint32_t seed) : s_(seed * 2654435761u + 1u) {}
  float Next() {
    s_ = s_ * 1664525u + 1013904223u;
    return static_cast<float>(s_ >> 8) / 8388608.0f - 1.0f;
  }

 private:
  uint32_t s_;
};

// A sharp attack, then an exponential fall with the given time constant.
double Envelope(double t, double attack, double decay) {
  return t < attack ? t / attack : std::exp(-(t - attack) / decay);
}

void LowPass(Wave& w, double cutoffHz) {
  const double a = 1.0 - std::exp(-2.0 * kPi * cutoffHz / kRate);
  double y = 0;
  for (float& s : w) s = static_cast<float>(y += a * (s - y));
}

// Noise with its highs taken off: rumble, bursts, blasts.
Wave DarkNoise(double seconds, double cutoffHz, NoiseSource& n) {
  Wave w(Samples(seconds));
  for (float& s : w) s = n.Next();
  LowPass(w, cutoffHz);
  return w;
}

void Normalise(Wave& w, float peak) {
  float m = 0;
  for (float s : w) m = std::max(m, std::fabs(s));
  if (m > 0)
    for (float& s : w) s *= peak / m;
}

// A pitch gliding exponentially from f0 to f1 over the sound, with a touch
// of third harmonic for the buzz of a beam weapon.
Wave Laser(double f0, double f1, double seconds, double buzz) {
  Wave w(Samples(seconds));
  double phase = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = TimeOf(i);
    phase += 2 * kPi * f0 * std::pow(f1 / f0, t / seconds) / kRate;
    w[i] = static_cast<float>((std::sin(phase) + buzz * std::sin(3 * phase)) * Envelope(t, 0.004, seconds / 3));
  }
  return w;
}

// A wobbling plasma tone with a sub-octave.
Wave Ball(double f, double wobbleHz, double seconds) {
  Wave w(Samples(seconds));
  double phase = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = TimeOf(i);
    phase += 2 * kPi * f * (1.0 + 0.3 * std::sin(2 * kPi * wobbleHz * t)) / kRate;
    w[i] = static_cast<float>((std::sin(phase) + 0.6 * std::sin(phase / 2)) * Envelope(t, 0.02, seconds / 2.5));
  }
  return w;
}

// A hiss that swells and brightens as the motor lights, over a low roar.
Wave Rocket(double seconds, double brightness, uint32_t seed) {
  NoiseSource n(seed);
  Wave w(Samples(seconds));
  double y = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = TimeOf(i), u = t / seconds;
    const double cutoff = 300 + brightness * 2500 * u;
    y += (1.0 - std::exp(-2 * kPi * cutoff / kRate)) * (n.Next() - y);
    const double swell = std::sin(kPi * std::min(1.0, u * 1.4)) + 0.05;
    w[i] = static_cast<float>((y + 0.3 * std::sin(2 * kPi * 55 * t)) * swell);
  }
  return w;
}

// A gun's report: a thump whose pitch drops under a short dark burst.
Wave Cannon(double thumpHz, double seconds, double cutoff, uint32_t seed) {
  NoiseSource n(seed);
  const Wave burst = DarkNoise(seconds, cutoff, n);
  Wave w(burst.size());
  double phase = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = TimeOf(i);
    phase += 2 * kPi * thumpHz * (1.0 + 2.0 * std::exp(-t / 0.03)) / kRate;
    w[i] = static_cast<float>(1.8 * burst[i] * Envelope(t, 0.002, seconds / 5) +
                              std::sin(phase) * Envelope(t, 0.003, seconds / 3));
  }
  return w;
}

// A rumbling blast with crackles that die away.
Wave Explosion(double seconds, double cutoff, double crackle, uint32_t seed) {
  NoiseSource n(seed);
  Wave body = DarkNoise(seconds, cutoff, n);
  LowPass(body, cutoff * 1.5);
  Wave w(body.size());
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = TimeOf(i);
    const double pop = n.Next() > 1.0 - crackle * 0.002 ? n.Next() * 0.8 * std::exp(-t / (seconds / 2)) : 0.0;
    w[i] = static_cast<float>(body[i] * 3.0 * Envelope(t, 0.01, seconds / 3.5) + pop);
  }
  return w;
}

// A shimmering rise, as energy meets the shield.
Wave Shield(double f, double seconds) {
  Wave w(Samples(seconds));
  double p1 = 0, p2 = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = TimeOf(i), glide = 1.0 + 0.6 * t / seconds;
    p1 += 2 * kPi * f * glide / kRate;
    p2 += 2 * kPi * f * 1.5 * glide / kRate;
    const double tremolo = 0.6 + 0.4 * std::sin(2 * kPi * 28 * t);
    w[i] = static_cast<float>((std::sin(p1) + 0.7 * std::sin(p2)) * tremolo * Envelope(t, 0.01, seconds / 2.5));
  }
  return w;
}

// Inharmonic partials, each with its own fall: metal struck.
Wave Struck(double base, const std::vector<double>& ratios, double seconds, double decay, uint32_t seed) {
  NoiseSource n(seed);
  Wave w(Samples(seconds));
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = TimeOf(i);
    double s = 0;
    for (size_t k = 0; k < ratios.size(); ++k)
      s += std::sin(2 * kPi * base * ratios[k] * t + k) * std::exp(-t / (decay / (1.0 + 0.5 * k))) / (1.0 + k * 0.4);
    w[i] = static_cast<float>(s * std::min(1.0, t / 0.002) + n.Next() * 0.3 * std::exp(-t / 0.004));
  }
  return w;
}

// Square-ish notes one after another.
Wave Beeps(const std::vector<double>& notes, double noteSeconds) {
  Wave w;
  for (double f : notes)
    for (size_t i = 0; i < Samples(noteSeconds); ++i) {
      const double t = TimeOf(i);
      const double s = std::sin(2 * kPi * f * t) + 0.25 * std::sin(6 * kPi * f * t);
      w.push_back(static_cast<float>(s * std::min(1.0, std::min(t, noteSeconds - t) / 0.004)));
    }
  return w;
}

Stereo Spread(Wave mono, float peak, float pan = 0.0f) {
  Normalise(mono, peak);
  Stereo s{mono, mono};
  for (size_t i = 0; i < mono.size(); ++i) {
    s.left[i] *= 1.0f - std::max(0.0f, pan);
    s.right[i] *= 1.0f + std::min(0.0f, pan);
  }
  return s;
}

// ---------------------------------------------------------------- encoding

// Pictures of a film: `draw` paints frame i of `frames` on a canvas.
struct Pictures {
  const char* encoder;
  int width, height, fps, frames;
  std::function<void(int, Canvas&)> draw;
};

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
  throw std::runtime_error("encoding " + path + ": " + what);
}

struct Output {
  AVStream* stream = nullptr;
  AVCodecContext* ctx = nullptr;
  ~Output() { avcodec_free_context(&ctx); }
};

AVSampleFormat PickSampleFormat(const AVCodec* codec) {
  if (!codec->sample_fmts) return AV_SAMPLE_FMT_S16;
  for (AVSampleFormat want : {AV_SAMPLE_FMT_FLTP, AV_SAMPLE_FMT_S16P, AV_SAMPLE_FMT_S16})
    for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
      if (*f == want) return want;
  return codec->sample_fmts[0];
}

void Drain(AVFormatContext* oc, Output& o, AVFrame* frame, AVPacket* pkt, const std::string& path) {
  if (avcodec_send_frame(o.ctx, frame) < 0) Fail("the encoder refused a frame", path);
  while (avcodec_receive_packet(o.ctx, pkt) == 0) {
    av_packet_rescale_ts(pkt, o.ctx->time_base, o.stream->time_base);
    pkt->stream_index = o.stream->index;
    if (av_interleaved_write_frame(oc, pkt) < 0) Fail("writing failed", path);
  }
}

void FillSound(AVFrame* f, const Stereo& s, size_t from) {
  for (int i = 0; i < f->nb_samples; ++i) {
    const size_t k = from + static_cast<size_t>(i);
    const float v[2] = {k < s.Size() ? s.left[k] : 0.0f, k < s.Size() ? s.right[k] : 0.0f};
    for (int c = 0; c < 2; ++c) {
      const float x = std::clamp(v[c], -1.0f, 1.0f);
      const auto pcm = static_cast<int16_t>(std::lround(x * 32767.0f));
      switch (f->format) {
        case AV_SAMPLE_FMT_FLTP: reinterpret_cast<float*>(f->data[c])[i] = x; break;
        case AV_SAMPLE_FMT_S16P: reinterpret_cast<int16_t*>(f->data[c])[i] = pcm; break;
        default: reinterpret_cast<int16_t*>(f->data[0])[2 * i + c] = pcm; break;
      }
    }
  }
}

// Writes a file of the given container with pictures, sound, or both.
std::vector<uint8_t> Encode(Context& ctx, const std::string& scratchName, const char* container,
                            const Pictures* pictures, const Stereo* sound, const char* soundEncoder, int64_t soundRate) {
  av_log_set_level(AV_LOG_ERROR);
  const std::string path = ctx.Scratch(scratchName);
  AVFormatContext* oc = nullptr;
  if (avformat_alloc_output_context2(&oc, nullptr, container, path.c_str()) < 0) Fail("no muxer", path);
  Output video, audio;
  SwsContext* sws = nullptr;
  AVFrame* frame = av_frame_alloc();
  AVPacket* pkt = av_packet_alloc();
  auto open = [&](Output& o, const char* name) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (!codec) Fail(std::string("no encoder ") + name, path);
    o.stream = avformat_new_stream(oc, nullptr);
    o.ctx = avcodec_alloc_context3(codec);
    if (!o.stream || !o.ctx) Fail("out of memory", path);
    return codec;
  };
  auto start = [&](Output& o) {
    if (oc->oformat->flags & AVFMT_GLOBALHEADER) o.ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(o.ctx, o.ctx->codec, nullptr) < 0) Fail("the encoder does not open", path);
    avcodec_parameters_from_context(o.stream->codecpar, o.ctx);
    o.stream->time_base = o.ctx->time_base;
  };
  if (pictures) {
    open(video, pictures->encoder);
    video.ctx->width = pictures->width;
    video.ctx->height = pictures->height;
    video.ctx->time_base = {1, pictures->fps};
    video.ctx->framerate = {pictures->fps, 1};
    video.ctx->gop_size = pictures->fps;
    video.ctx->bit_rate = 1500000;
    video.ctx->pix_fmt = std::string(pictures->encoder) == "mjpeg" ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
    start(video);
  }
  int frameSize = 1024;
  if (sound) {
    const AVCodec* codec = open(audio, soundEncoder);
    audio.ctx->sample_fmt = PickSampleFormat(codec);
    audio.ctx->sample_rate = kRate;
    av_channel_layout_default(&audio.ctx->ch_layout, 2);
    audio.ctx->bit_rate = soundRate;
    audio.ctx->time_base = {1, kRate};
    start(audio);
    if (audio.ctx->frame_size > 0) frameSize = audio.ctx->frame_size;
  }
  if (!(oc->oformat->flags & AVFMT_NOFILE) && avio_open(&oc->pb, path.c_str(), AVIO_FLAG_WRITE) < 0)
    Fail("cannot create the file", path);
  if (avformat_write_header(oc, nullptr) < 0) Fail("the header cannot be written", path);

  int picture = 0;
  size_t sample = 0;
  const int pictureCount = pictures ? pictures->frames : 0;
  const size_t sampleCount = sound ? sound->Size() : 0;
  while (picture < pictureCount || sample < sampleCount) {
    const double pictureTime = pictures ? static_cast<double>(picture) / pictures->fps : 1e30;
    const double soundTime = static_cast<double>(sample) / kRate;
    av_frame_unref(frame);
    if (picture < pictureCount && (sample >= sampleCount || pictureTime <= soundTime)) {
      Canvas c(pictures->width, pictures->height);
      pictures->draw(picture, c);
      std::vector<uint8_t> rgb(static_cast<size_t>(c.Width()) * c.Height() * 3);
      for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x) {
          const Rgb p = c.Get(x, y);
          uint8_t* d = &rgb[(static_cast<size_t>(y) * c.Width() + x) * 3];
          d[0] = p.r;
          d[1] = p.g;
          d[2] = p.b;
        }
      frame->format = video.ctx->pix_fmt;
      frame->width = c.Width();
      frame->height = c.Height();
      if (av_frame_get_buffer(frame, 0) < 0) Fail("out of memory", path);
      sws = sws_getCachedContext(sws, c.Width(), c.Height(), AV_PIX_FMT_RGB24, c.Width(), c.Height(),
                                 video.ctx->pix_fmt, SWS_BICUBIC, nullptr, nullptr, nullptr);
      const uint8_t* src[1] = {rgb.data()};
      const int srcStride[1] = {c.Width() * 3};
      sws_scale(sws, src, srcStride, 0, c.Height(), frame->data, frame->linesize);
      frame->pts = picture++;
      Drain(oc, video, frame, pkt, path);
    } else {
      frame->format = audio.ctx->sample_fmt;
      frame->sample_rate = kRate;
      av_channel_layout_default(&frame->ch_layout, 2);
      frame->nb_samples = frameSize;  // the last frame is padded with silence
      if (av_frame_get_buffer(frame, 0) < 0) Fail("out of memory", path);
      FillSound(frame, *sound, sample);
      frame->pts = static_cast<int64_t>(sample);
      sample += static_cast<size_t>(frameSize);
      Drain(oc, audio, frame, pkt, path);
    }
  }
  if (pictures) Drain(oc, video, nullptr, pkt, path);
  if (sound) Drain(oc, audio, nullptr, pkt, path);
  if (av_write_trailer(oc) < 0) Fail("the trailer cannot be written", path);
  if (!(oc->oformat->flags & AVFMT_NOFILE)) avio_closep(&oc->pb);
  sws_freeContext(sws);
  av_packet_free(&pkt);
  av_frame_free(&frame);
  avformat_free_context(oc);

  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// ---------------------------------------------------------------- sounds

struct EffectSound {
  const char* key;
  std::function<Wave()> make;
  float pan;
};

void Sounds(Context& ctx) {
  const std::vector<double> bell{1.0, 1.47, 2.09, 2.56, 3.14, 4.2};
  const std::vector<double> clank{1.0, 1.7, 2.69, 3.9};
  const std::vector<EffectSound> effects{
      {"Laser01", [] { return Laser(1800, 380, 0.28, 0.30); }, -0.1f},
      {"Laser02", [] { return Laser(2400, 600, 0.22, 0.15); }, 0.1f},
      {"Laser03", [] { return Laser(1300, 200, 0.38, 0.45); }, 0.0f},
      {"Laser04", [] { return Laser(3000, 900, 0.30, 0.25); }, 0.0f},
      {"Ball01", [] { return Ball(260, 14, 0.45); }, 0.0f},
      {"Ball02", [] { return Ball(340, 18, 0.40); }, 0.1f},
      {"Ball03", [] { return Ball(200, 9, 0.55); }, -0.1f},
      {"Ball04", [] { return Ball(420, 22, 0.50); }, 0.0f},
      {"Rocket01", [] { return Rocket(0.9, 1.0, 11); }, 0.0f},
      {"Rocket02", [] { return Rocket(1.2, 0.7, 12); }, 0.0f},
      {"CANNON01", [] { return Cannon(70, 0.6, 900, 21); }, 0.0f},
      {"CANNON02", [] { return Cannon(85, 0.5, 1300, 22); }, 0.0f},
      {"CANNON03", [] { return Cannon(55, 0.8, 700, 23); }, 0.0f},
      {"CANNON04", [] { return Cannon(100, 0.45, 1800, 24); }, 0.0f},
      {"EXP01", [] { return Explosion(1.0, 500, 1.0, 31); }, 0.0f},
      {"EXP02", [] { return Explosion(0.8, 800, 2.0, 32); }, 0.0f},
      {"EXP03", [] { return Explosion(1.3, 400, 1.5, 33); }, 0.0f},
      {"EXP04", [] { return Explosion(0.7, 1100, 3.0, 34); }, 0.0f},
      {"EXP05", [] { return Explosion(0.9, 650, 2.5, 35); }, 0.0f},
      {"EXP06", [] { return Explosion(1.1, 350, 1.0, 36); }, 0.0f},
      {"EXP07", [] { return Explosion(1.6, 300, 2.0, 37); }, 0.0f},
      {"Shield01", [] { return Shield(660, 0.4); }, 0.0f},
      {"Shield02", [] { return Shield(880, 0.35); }, 0.0f},
      {"Hit01", [clank] { return Struck(820, clank, 0.25, 0.05, 41); }, 0.0f},
      {"Bleep01", [] { return Beeps({880, 1320}, 0.08); }, 0.0f},
      // The menus' opening sound is a gong; the click a short beep.
      {"锣初1", [bell] { return Struck(110, bell, 2.5, 0.9, 51); }, 0.0f},
      {"beep6", [] { return Beeps({1200}, 0.06); }, 0.0f},
  };
  for (const EffectSound& e : effects) {
    const Stereo s = Spread(e.make(), 0.85f, e.pan);
    const std::string name = std::string(e.key) + ".wav";
    const auto bytes = Encode(ctx, "sound.wav", "wav", nullptr, &s, "pcm_s16le", 0);
    ctx.Member("Data", name, bytes.data(), bytes.size());
  }
}

// ---------------------------------------------------------------- music

struct Tune {
  const char* file;
  double bpm;
  double rootHz;
  bool minor;
  int bars;
  bool drums;
};

double Note(double root, int semitones) { return root * std::pow(2.0, semitones / 12.0); }

void AddTone(Stereo& s, double start, double seconds, double hz, float level, double decay, float pan,
             bool soft) {
  const size_t from = Samples(start);
  for (size_t i = 0; i < Samples(seconds) && from + i < s.Size(); ++i) {
    const double t = TimeOf(i);
    const double tone = soft ? std::sin(2 * kPi * hz * t) + 0.2 * std::sin(4 * kPi * hz * t)
                             : std::sin(2 * kPi * hz * t) + 0.35 * std::sin(6 * kPi * hz * t) / 3;
    const double release = std::min(1.0, (seconds - t) / 0.03);
    const float v = static_cast<float>(tone * Envelope(t, soft ? 0.08 : 0.005, decay) * release) * level;
    s.left[from + i] += v * (1.0f - std::max(0.0f, pan));
    s.right[from + i] += v * (1.0f + std::min(0.0f, pan));
  }
}

void AddDrum(Stereo& s, double start, bool kick, NoiseSource& n) {
  const size_t from = Samples(start);
  for (size_t i = 0; i < Samples(0.25) && from + i < s.Size(); ++i) {
    const double t = TimeOf(i);
    const float v = kick ? static_cast<float>(std::sin(2 * kPi * (50 + 90 * std::exp(-t / 0.02)) * t) *
                                              std::exp(-t / 0.09) * 0.8)
                         : static_cast<float>(n.Next() * std::exp(-t / 0.05) * 0.35);
    s.left[from + i] += v;
    s.right[from + i] += v;
  }
}

// Bars of a four-chord progression: bass on the beats, an arpeggio in
// eighths, a soft pad, and for the battle tunes a drum beat.
Stereo Compose(const Tune& tune, uint32_t seed) {
  const double beat = 60.0 / tune.bpm;
  const int chords[4] = {0, tune.minor ? 8 : 7, tune.minor ? 3 : 9, tune.minor ? 10 : 5};
  const int third = tune.minor ? 3 : 4;
  Stereo s;
  s.left.assign(Samples(tune.bars * 4 * beat) + 1, 0.0f);
  s.right = s.left;
  NoiseSource n(seed);
  for (int bar = 0; bar < tune.bars; ++bar) {
    const int chord = chords[bar % 4];
    const double t0 = bar * 4 * beat;
    for (int k : {0, third, 7}) AddTone(s, t0, 4 * beat, Note(tune.rootHz, chord + k), 0.07f, 3.0, 0.0f, true);
    for (int b = 0; b < 4; ++b) {
      AddTone(s, t0 + b * beat, beat * 0.9, Note(tune.rootHz / 2, chord), 0.3f, beat, 0.0f, false);
      if (tune.drums) AddDrum(s, t0 + b * beat, b % 2 == 0, n);
    }
    const int arpeggio[8] = {0, third, 7, 12, 7, third, 12, 7 + (bar % 2 ? 5 : 0)};
    for (int e = 0; e < 8; ++e)
      AddTone(s, t0 + e * beat / 2, beat / 2, Note(tune.rootHz * 2, chord + arpeggio[e]), 0.16f, beat / 2,
              e % 2 ? 0.3f : -0.3f, false);
  }
  float m = 0;
  for (size_t i = 0; i < s.Size(); ++i) m = std::max({m, std::fabs(s.left[i]), std::fabs(s.right[i])});
  for (size_t i = 0; i < s.Size(); ++i) {
    s.left[i] *= 0.8f / m;
    s.right[i] *= 0.8f / m;
  }
  return s;
}

void Music(Context& ctx) {
  const Tune tunes[] = {
      {"BG1.MP3", 132, 220.0, true, 4, true},        {"BG2.MP3", 144, 196.0, true, 4, true},
      {"BG3.MP3", 120, 246.9, true, 4, true},        {"BG4.MP3", 150, 174.6, true, 5, true},
      {"BG5.MP3", 126, 207.7, true, 4, true},        {"Factory.mp3", 100, 164.8, false, 4, true},
      {"Mbrief.mp3", 84, 185.0, true, 3, false},     {"Menu.mp3", 96, 261.6, false, 4, false},
  };
  uint32_t seed = 60;
  for (const Tune& t : tunes) {
    const Stereo s = Compose(t, ++seed);
    const auto bytes = Encode(ctx, "music.mp3", "mp3", nullptr, &s, "libmp3lame", 64000);
    ctx.Loose(t.file, bytes.data(), bytes.size());
  }
}

// ---------------------------------------------------------------- films

constexpr int kFilmWidth = 320;
constexpr int kFilmHeight = 240;
constexpr int kFilmFps = 10;

// A tank seen from the side, facing right, its tracks on the ground line.
void SideTank(Canvas& c, float x, float ground, float gunKick) {
  const Rgb hull{86, 98, 64}, shade{40, 44, 34}, light{120, 132, 92};
  c.Polygon({{x, ground - 12}, {x + 90, ground - 12}, {x + 82, ground}, {x + 8, ground}}, shade);
  for (int i = 0; i < 5; ++i) c.Disc(x + 14 + i * 15.5f, ground - 6, 5, Mix(shade, hull, 0.5f));
  c.Polygon({{x - 4, ground - 13}, {x + 94, ground - 13}, {x + 88, ground - 27}, {x + 4, ground - 27}}, hull);
  c.Polygon({{x + 26, ground - 27}, {x + 68, ground - 27}, {x + 62, ground - 42}, {x + 32, ground - 42}}, light);
  c.Rect(static_cast<int>(x + 64 - gunKick), static_cast<int>(ground - 37), 52, 4, shade);
}

void IntroFrame(int i, Canvas& c) {
  const float t = static_cast<float>(i) / kFilmFps;
  c.VerticalGradient(0, 0, kFilmWidth, 200, {20, 26, 60}, {222, 128, 66});
  c.Disc(250, 150 - t * 8, 26, {252, 214, 150});
  std::vector<std::pair<float, float>> hills{{0, 240}};
  for (int x = 0; x <= kFilmWidth; x += 6)
    hills.push_back({static_cast<float>(x), 168 - 14 * std::sin(x / 40.0f) - 6 * std::sin(x / 13.0f + 1)});
  hills.push_back({kFilmWidth, 240});
  c.Polygon(hills, {58, 54, 52});
  c.Rect(0, 196, kFilmWidth, 44, {50, 58, 36});
  const float x = -100 + t * 110;
  const bool firing = t >= 2.2f && t < 2.5f;
  SideTank(c, x, 206, firing ? 4.0f : 0.0f);
  if (firing) c.Disc(x + 124, 171, 10, {255, 236, 160});
  const int fade = std::min(255, static_cast<int>(t * 120));
  c.TextCentered(kFilmWidth / 2, 218, "Press any key", 12, Mix({50, 58, 36}, {240, 232, 210}, fade / 255.0f));
}

// A turning gear, and the closing words.
void LogoFrame(int i, Canvas& c) {
  const float t = static_cast<float>(i) / kFilmFps;
  c.VerticalGradient(0, 0, kFilmWidth, kFilmHeight, {16, 18, 24}, {38, 42, 54});
  const float cx = kFilmWidth / 2.0f, cy = 92, angle = t * 0.9f;
  std::vector<std::pair<float, float>> gear;
  for (int k = 0; k < 48; ++k) {
    const float a = angle + static_cast<float>(k) * 2 * static_cast<float>(kPi) / 48;
    const float r = (k / 2) % 2 ? 46.0f : 56.0f;
    gear.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
  }
  c.Polygon(gear, {176, 150, 96});
  c.Disc(cx, cy, 22, {38, 42, 54});
  c.Ring(cx, cy, 34, 3, {120, 100, 64});
  const float show = std::clamp((t - 0.6f) / 1.0f, 0.0f, 1.0f);
  c.TextCentered(kFilmWidth / 2, 170, "Thank you for playing", 18, Mix({38, 42, 54}, {235, 225, 200}, show), true);
  if (t >= 1.8f) c.TextCentered(kFilmWidth / 2, 206, "Press any key", 12, {200, 196, 184});
}

Stereo IntroSound(double seconds) {
  NoiseSource n(71);
  const Wave rumble = DarkNoise(seconds, 120, n);
  Stereo s{Wave(rumble.size()), Wave(rumble.size())};
  for (size_t i = 0; i < rumble.size(); ++i) {
    const double t = TimeOf(i), u = t / seconds;
    const double engine = 0.6 * std::sin(2 * kPi * 38 * t) * (0.7 + 0.3 * std::sin(2 * kPi * 9 * t));
    double chord = 0;
    for (double f : {110.0, 164.8, 220.0, 277.2}) chord += std::sin(2 * kPi * f * t);
    const float v = static_cast<float>((rumble[i] * 6 + engine) * 0.35 + chord * 0.08 * u * u);
    s.left[i] = v * static_cast<float>(1.2 - u * 0.4);
    s.right[i] = v * static_cast<float>(0.8 + u * 0.4);
  }
  if (seconds > 2.3) {
    const Wave shot = Cannon(70, 0.6, 900, 72);
    for (size_t i = 0; i < shot.size() && Samples(2.2) + i < s.Size(); ++i) {
      s.left[Samples(2.2) + i] += shot[i] * 0.5f;
      s.right[Samples(2.2) + i] += shot[i] * 0.5f;
    }
  }
  for (Wave* w : {&s.left, &s.right}) Normalise(*w, 0.8f);
  return s;
}

Stereo LogoSound(double seconds) {
  Stereo s;
  s.left.assign(Samples(seconds), 0.0f);
  s.right = s.left;
  const double notes[] = {523.3, 659.3, 784.0, 1046.5};
  for (int k = 0; k < 4; ++k) AddTone(s, 0.25 + k * 0.3, seconds - 0.25 - k * 0.3, notes[k], 0.3f, 0.7, 0.0f, true);
  return s;
}

void Films(Context& ctx) {
  const Pictures intro{"mpeg4", kFilmWidth, kFilmHeight, kFilmFps, 30, IntroFrame};
  const Stereo introSound = IntroSound(3.0);
  const auto introBytes = Encode(ctx, "Intro.avi", "avi", &intro, &introSound, "pcm_s16le", 0);
  ctx.Loose("Intro.avi", introBytes.data(), introBytes.size());

  const Pictures logo{"mjpeg", kFilmWidth, kFilmHeight, kFilmFps, 25, LogoFrame};
  const Stereo logoSound = LogoSound(2.5);
  const auto logoBytes = Encode(ctx, "logo.avi", "avi", &logo, &logoSound, "libmp3lame", 96000);
  ctx.Loose("logo.avi", logoBytes.data(), logoBytes.size());
}

Step sounds("sounds", 20, Sounds);
Step music("music", 20, Music);
Step films("films", 20, Films);

}  // namespace
}  // namespace mkdata
