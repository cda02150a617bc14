// Pictures decoded from bytes in memory straight into 5-6-5 surfaces.
//
// The ground of a battle map is a few dozen large JPEG tiles, and decoding
// them is most of a map's load. Those are decoded by libjpeg-turbo a band
// of rows at a time (its vector code writes 32-bit pixels faster than its
// plain 5-6-5 output) and packed into the surface's rows at once: no whole
// 24-bit picture in between and no format conversion after. The result is
// what SDL_image plus SDL's conversion give: each channel truncated.
// Bitmaps are read by SDL, with the common 24- and 32-bit layouts packed by
// a plain loop rather than SDL's general per-pixel converter.
#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include <SDL.h>
#include <SDL_image.h>
#include <jpeglib.h>

#ifndef JCS_EXTENSIONS
#error "the JPEG decoder needs libjpeg-turbo's colour space extensions"
#endif

#include "platform/display/picture_decoder.hpp"
#include "platform/display/surface.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/owned.hpp"

namespace plat {
namespace {

using SdlSurface = Owned<SDL_Surface, SDL_FreeSurface>;

// What libjpeg may allocate for one picture besides the surface: plenty for
// any picture of the game's, while a damaged header that asks for more
// fails cleanly instead of exhausting memory.
constexpr long kJpegWorkingMemory = 512L << 20;

struct JpegFailure {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

[[noreturn]] void JpegFail(j_common_ptr c) { std::longjmp(reinterpret_cast<JpegFailure*>(c->err)->jump, 1); }
void JpegQuiet(j_common_ptr) {}  // warnings about damaged data: the picture is still shown

// One decode's results and buffers, owned by the caller's frame: a
// libjpeg error leaves the decoding function through longjmp, which must
// skip no destructor, so that function holds no object that has one.
struct JpegJob {
  const uint8_t* data;
  size_t size;
  SurfacePtr surface;
  std::vector<uint32_t> band;  // a few decoded rows of 8-bit B, G, R, pad
  std::vector<JSAMPROW> bandRows;
};

constexpr JDIMENSION kBandRows = 16;

// B, G, R and a pad byte per pixel, as libjpeg-turbo's vector colour
// conversion writes them (its own 5-6-5 output has none), truncated to
// 5-6-5 as a conversion of 24-bit pixels does.
void PackBand(const uint32_t* band, JDIMENSION width, JDIMENSION rows, Surface& s, JDIMENSION firstRow) {
  for (JDIMENSION r = 0; r < rows; ++r) {
    const uint32_t* in = band + static_cast<size_t>(r) * width;
    uint16_t* out = s.Row(static_cast<int32_t>(firstRow + r));
    for (JDIMENSION x = 0; x < width; ++x) {
      const uint32_t v = in[x];
      out[x] = static_cast<uint16_t>(((v >> 8) & 0xF800) | ((v >> 5) & 0x07E0) | ((v >> 3) & 0x001F));
    }
  }
}

enum class JpegResult { Decoded, Refused, OtherColours };

JpegResult RunJpeg(jpeg_decompress_struct& c, JpegFailure& failure, JpegJob& job) {
  if (setjmp(failure.jump)) return JpegResult::Refused;
  jpeg_create_decompress(&c);
  c.mem->max_memory_to_use = kJpegWorkingMemory;
  jpeg_mem_src(&c, job.data, static_cast<unsigned long>(job.size));
  if (jpeg_read_header(&c, TRUE) != JPEG_HEADER_OK) return JpegResult::Refused;
  constexpr auto kMax = static_cast<JDIMENSION>(kMaxPictureSide);
  if (c.image_width < 1 || c.image_height < 1 || c.image_width > kMax || c.image_height > kMax)
    return JpegResult::Refused;
  // Each 8 x 8 block of a whole JPEG takes at least a bit. Bytes that could
  // not hold an eighth of those for the size named are a damaged header,
  // not a picture cut short, and decoding them would only paint hundreds of
  // megabytes of grey.
  const uint64_t blocks = uint64_t{(c.image_width + 7) / 8} * ((c.image_height + 7) / 8);
  if (blocks > uint64_t{job.size} * 64) return JpegResult::Refused;
  // Four-channel pictures (CMYK) are left to SDL_image, which converts them.
  if (c.num_components != 1 && c.num_components != 3) return JpegResult::OtherColours;
  // The byte order of a little-endian 32-bit B | G << 8 | R << 16.
  static_assert(SDL_BYTEORDER == SDL_LIL_ENDIAN, "the packing below reads little-endian pixels");
  c.out_color_space = JCS_EXT_BGRX;
  jpeg_start_decompress(&c);
  const JDIMENSION w = c.output_width, h = c.output_height;
  job.surface = std::make_shared<Surface>(static_cast<int32_t>(w), static_cast<int32_t>(h));
  job.band.resize(static_cast<size_t>(w) * kBandRows);
  job.bandRows.resize(kBandRows);
  for (JDIMENSION r = 0; r < kBandRows; ++r)
    job.bandRows[r] = reinterpret_cast<JSAMPROW>(job.band.data() + static_cast<size_t>(r) * w);
  while (c.output_scanline < h) {
    const JDIMENSION first = c.output_scanline;
    JDIMENSION got = 0;
    while (got < kBandRows && c.output_scanline < h) {
      const JDIMENSION n = jpeg_read_scanlines(&c, job.bandRows.data() + got, kBandRows - got);
      if (n == 0) return JpegResult::Refused;
      got += n;
    }
    PackBand(job.band.data(), w, got, *job.surface, first);
  }
  jpeg_finish_decompress(&c);
  return JpegResult::Decoded;
}

JpegResult DecodeJpeg565(const uint8_t* data, size_t size, SurfacePtr& out) {
  jpeg_decompress_struct c;
  JpegFailure failure;
  c.err = jpeg_std_error(&failure.mgr);
  failure.mgr.error_exit = JpegFail;
  failure.mgr.output_message = JpegQuiet;
  JpegJob job{data, size, nullptr, {}, {}};
  JpegResult r = JpegResult::Refused;
  try {
    r = RunJpeg(c, failure, job);
  } catch (const std::bad_alloc&) {
    // The surface or a band for a picture too large for the memory left.
  }
  jpeg_destroy_decompress(&c);
  if (r == JpegResult::Decoded) out = std::move(job.surface);
  return r;
}

uint32_t Le(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

// Uncompressed 24-bit bitmaps, the kind nearly all of the game's are, read
// straight into 5-6-5 rows with no surface in between; null for any other
// kind, and for one whose pixels the bytes do not hold in full, which SDL
// then reads (or refuses) as it always did.
SurfacePtr DecodeBitmap24(const uint8_t* data, size_t size) {
  if (size < 54) return nullptr;
  const uint32_t offset = Le(data + 10, 4), header = Le(data + 14, 4);
  if (header != 40 && header != 108 && header != 124) return nullptr;
  const int64_t w = static_cast<int32_t>(Le(data + 18, 4)), h = static_cast<int32_t>(Le(data + 22, 4));
  if (Le(data + 26, 2) != 1 || Le(data + 28, 2) != 24 || Le(data + 30, 4) != 0) return nullptr;
  const int64_t rows = h < 0 ? -h : h;
  if (w < 1 || w > kMaxPictureSide || rows < 1 || rows > kMaxPictureSide) return nullptr;
  const int64_t stride = (w * 3 + 3) & ~int64_t{3};
  if (offset < 14 + header || static_cast<int64_t>(offset) + stride * (rows - 1) + w * 3 > static_cast<int64_t>(size))
    return nullptr;
  auto s = std::make_shared<Surface>(static_cast<int32_t>(w), static_cast<int32_t>(rows));
  for (int64_t y = 0; y < rows; ++y) {
    // Rows are stored bottom up unless the height is negative.
    const uint8_t* p = data + offset + stride * (h > 0 ? rows - 1 - y : y);
    uint16_t* out = s->Row(static_cast<int32_t>(y));
    for (int64_t x = 0; x < w; ++x, p += 3)
      out[x] = static_cast<uint16_t>((p[2] >> 3) << 11 | (p[1] >> 2) << 5 | (p[0] >> 3));
  }
  return s;
}

// A bitmap whose header asks for more than any surface may hold, or whose
// uncompressed rows the bytes cannot hold, is refused before SDL allocates
// the pixels for it (SDL would refuse the short one after).
bool BitmapFits(const uint8_t* data, size_t size) {
  if (size < 30) return false;
  const uint32_t offset = Le(data + 10, 4);
  const bool core = Le(data + 14, 4) == 12;  // the old header with 16-bit sizes
  const int64_t w = core ? Le(data + 18, 2) : static_cast<int32_t>(Le(data + 18, 4));
  const int64_t h = core ? Le(data + 20, 2) : static_cast<int32_t>(Le(data + 22, 4));
  const int64_t rows = h < 0 ? -h : h;
  if (w < 1 || w > kMaxPictureSide || rows < 1 || rows > kMaxPictureSide) return false;
  const int64_t bits = core ? Le(data + 24, 2) : Le(data + 28, 2);
  const uint32_t compression = core || size < 34 ? 0 : Le(data + 30, 4);
  if (compression != 0 && compression != 3) return true;  // run-length coded: any length
  const int64_t stride = (w * bits + 31) / 32 * 4;
  return static_cast<int64_t>(offset) + stride * (rows - 1) + (w * bits + 7) / 8 <= static_cast<int64_t>(size);
}

// 8 bits per channel in 3 or 4 bytes: packed here; other layouts by SDL.
SurfacePtr To565(SDL_Surface* img) {
  if (img->w < 1 || img->h < 1 || img->w > kMaxPictureSide || img->h > kMaxPictureSide) return nullptr;
  const SDL_PixelFormat* f = img->format;
  const int bpp = f->BytesPerPixel;
  const bool eightBit = (bpp == 3 || bpp == 4) && f->palette == nullptr && f->Rmask >> f->Rshift == 0xFF &&
                        f->Gmask >> f->Gshift == 0xFF && f->Bmask >> f->Bshift == 0xFF;
  auto s = std::make_shared<Surface>(img->w, img->h);
  if (!eightBit) {
    const SdlSurface conv(SDL_ConvertSurfaceFormat(img, SDL_PIXELFORMAT_RGB565, 0));
    if (!conv) return nullptr;
    for (int y = 0; y < conv->h; ++y)
      std::memcpy(s->Row(y), static_cast<const uint8_t*>(conv->pixels) + static_cast<ptrdiff_t>(y) * conv->pitch,
                  static_cast<size_t>(conv->w) * 2);
    return s;
  }
  if (SDL_MUSTLOCK(img) && SDL_LockSurface(img) != 0) return nullptr;
  const int rs = f->Rshift, gs = f->Gshift, bs = f->Bshift;
  for (int y = 0; y < img->h; ++y) {
    const uint8_t* p = static_cast<const uint8_t*>(img->pixels) + static_cast<ptrdiff_t>(y) * img->pitch;
    uint16_t* out = s->Row(y);
    for (int x = 0; x < img->w; ++x, p += bpp) {
      // SDL keeps pixels in the machine's byte order (little-endian here).
      const uint32_t v = bpp == 4 ? uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24
                                  : uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
      const uint32_t r = (v >> rs) & 0xFF, g = (v >> gs) & 0xFF, b = (v >> bs) & 0xFF;
      out[x] = static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
    }
  }
  if (SDL_MUSTLOCK(img)) SDL_UnlockSurface(img);
  return s;
}

SurfacePtr DecodeAny(const uint8_t* data, size_t size) {
  if (!data || size < 3 || size > static_cast<size_t>(INT32_MAX)) return nullptr;
  const bool jpeg = data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
  const bool bmp = data[0] == 'B' && data[1] == 'M';
  // The game's pictures are bitmaps and JPEGs; nothing else is read.
  if (!jpeg && !bmp) return nullptr;
  if (jpeg) {
    SurfacePtr s;
    if (DecodeJpeg565(data, size, s) != JpegResult::OtherColours) return s;
  } else if (SurfacePtr s = DecodeBitmap24(data, size)) {
    return s;
  } else if (!BitmapFits(data, size)) {
    return nullptr;
  }
  SDL_RWops* rw = SDL_RWFromConstMem(data, static_cast<int>(size));
  if (!rw) return nullptr;
  // Bitmaps by SDL itself, which is safe on any thread; SDL_image sets up
  // its JPEG decoder on first use, so that happens once, whoever comes first.
  static std::once_flag imageInit;
  if (jpeg) std::call_once(imageInit, [] { IMG_Init(IMG_INIT_JPG); });
  const SdlSurface img(jpeg ? IMG_LoadJPG_RW(rw) : SDL_LoadBMP_RW(rw, 0));
  SDL_RWclose(rw);
  if (!img) return nullptr;
  return To565(img.get());
}

}  // namespace

SurfacePtr DecodePicture(const uint8_t* data, size_t size) {
  // A picture whose size the memory cannot hold is one that cannot be
  // loaded, like any other.
  try {
    return DecodeAny(data, size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

SurfacePtr LoadPictureFile(const std::string& nativePath, int* error) {
  // A path of the system's, read as a game path, names the file standing
  // there.
  const std::optional<std::vector<uint8_t>> bytes = ReadAllBytes(nativePath, error, kMostPictureBytes);
  if (!bytes) return nullptr;
  return DecodePicture(bytes->data(), bytes->size());
}

PictureDecoder::PictureDecoder(unsigned workers) {
  // A few cores are plenty for a screenful of tiles, and the game's own
  // thread, which mostly waits for them, keeps one to itself. Never fewer
  // than two: a single worker is slower than decoding on the game's thread.
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  limit_ = workers != 0 ? workers : std::clamp(cores - 1, 2u, 4u);
}

PictureDecoder::~PictureDecoder() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  wake_.notify_all();
  for (std::thread& t : threads_) t.join();
}

std::future<SurfacePtr> PictureDecoder::Decode(std::vector<uint8_t> bytes) {
  std::packaged_task<SurfacePtr()> job(
      [bytes = std::move(bytes)] { return DecodePicture(bytes.data(), bytes.size()); });
  std::future<SurfacePtr> result = job.get_future();
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
    if (threads_.size() < limit_) threads_.emplace_back([this] { Work(); });
  }
  wake_.notify_one();
  return result;
}

void PictureDecoder::Work() {
  for (;;) {
    std::packaged_task<SurfacePtr()> job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job();
  }
}

}  // namespace plat
