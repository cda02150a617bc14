// Pictures decoded from memory: the same pixels SDL_image and SDL's own
// conversion give for every layout the game's files use, damaged bytes
// refused or shown without harm, and the worker-thread decoder agreeing
// with the plain one.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <future>
#include <iterator>
#include <vector>

#include "platform/display/picture_decoder.hpp"
#include "platform/display/surface.hpp"
#include "platform/runtime/files.hpp"
#include "tests/common/test_support.hpp"

namespace {

using Bytes = std::vector<uint8_t>;

struct SdlFree {
  void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SdlPtr = std::unique_ptr<SDL_Surface, SdlFree>;

// A picture with smooth runs and sharp edges, so both the JPEG coder's
// smoothing and its ringing show up in the pixels compared.
SdlPtr Painting(int w, int h, Uint32 format) {
  SdlPtr s(SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGB888));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Uint8 r = static_cast<Uint8>(x * 255 / std::max(w - 1, 1));
      const Uint8 g = static_cast<Uint8>((x / 7 + y / 5) % 2 ? 230 : 20);
      const Uint8 b = static_cast<Uint8>((x * 31 + y * 17) & 0xFF);
      static_cast<Uint32*>(s->pixels)[y * (s->pitch / 4) + x] = SDL_MapRGB(s->format, r, g, b);
    }
  if (format == SDL_PIXELFORMAT_RGB888) return s;
  return SdlPtr(SDL_ConvertSurfaceFormat(s.get(), format, 0));
}

Bytes Saved(SDL_Surface* s, bool jpeg, int quality = 90) {
  Bytes out(4096 + static_cast<size_t>(s->w) * s->h * 8);
  SDL_RWops* rw = SDL_RWFromMem(out.data(), static_cast<int>(out.size()));
  const int ok = jpeg ? IMG_SaveJPG_RW(s, rw, 0, quality) : SDL_SaveBMP_RW(s, rw, 0);
  out.resize(static_cast<size_t>(SDL_RWtell(rw)));
  SDL_RWclose(rw);
  EXPECT_EQ(ok, 0) << SDL_GetError();
  return out;
}

// The pictures as the game loaded them before: SDL_image, then SDL's
// conversion to 5-6-5.
std::vector<uint16_t> Reference(const Bytes& b, int& w, int& h) {
  SdlPtr img(IMG_Load_RW(SDL_RWFromConstMem(b.data(), static_cast<int>(b.size())), 1));
  if (!img) return {};
  SdlPtr conv(SDL_ConvertSurfaceFormat(img.get(), SDL_PIXELFORMAT_RGB565, 0));
  w = conv->w;
  h = conv->h;
  std::vector<uint16_t> px(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    std::memcpy(px.data() + static_cast<size_t>(y) * w, static_cast<const uint8_t*>(conv->pixels) + y * conv->pitch,
                static_cast<size_t>(w) * 2);
  return px;
}

void ExpectSameAsReference(const Bytes& b, const char* what) {
  int w = 0, h = 0;
  const std::vector<uint16_t> want = Reference(b, w, h);
  ASSERT_FALSE(want.empty()) << what;
  const plat::SurfacePtr got = plat::DecodePicture(b.data(), b.size());
  ASSERT_TRUE(got) << what;
  ASSERT_EQ(got->Width(), w) << what;
  ASSERT_EQ(got->Height(), h) << what;
  size_t differ = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) differ += got->Row(y)[x] != want[static_cast<size_t>(y) * w + x];
  EXPECT_EQ(differ, 0u) << what;
}

TEST(PictureDecode, JpegPixelsAreThoseOfTheGeneralDecoder) {
  // Sizes that are and are not whole blocks, a single pixel, a tall strip
  // longer than one band of rows, and a map tile's size.
  const int sizes[][2] = {{640, 480}, {37, 11}, {1, 1}, {16, 16}, {9, 70}, {333, 17}};
  for (const auto& sz : sizes)
    for (int quality : {35, 92}) {
      const SdlPtr p = Painting(sz[0], sz[1], SDL_PIXELFORMAT_RGB888);
      const std::string what = "jpeg " + std::to_string(sz[0]) + "x" + std::to_string(sz[1]) + " q" +
                               std::to_string(quality);
      ExpectSameAsReference(Saved(p.get(), true, quality), what.c_str());
    }
}

TEST(PictureDecode, BitmapLayoutsMatchSdlsConversion) {
  // 24-bit and 32-bit bitmaps are packed by our own loop; the others go
  // through SDL's conversion.
  const Uint32 formats[] = {SDL_PIXELFORMAT_BGR24, SDL_PIXELFORMAT_RGB24, SDL_PIXELFORMAT_ARGB8888,
                            SDL_PIXELFORMAT_RGB888, SDL_PIXELFORMAT_RGB565, SDL_PIXELFORMAT_RGB555};
  for (Uint32 f : formats) {
    const SdlPtr p = Painting(21, 13, f);
    ASSERT_TRUE(p) << SDL_GetPixelFormatName(f);
    ExpectSameAsReference(Saved(p.get(), false), SDL_GetPixelFormatName(f));
  }
  // Rows stored top down (a negative height) read the same.
  const SdlPtr p = Painting(7, 5, SDL_PIXELFORMAT_BGR24);
  const Bytes up = Saved(p.get(), false);
  Bytes down = up;
  const size_t offset = up[10] | up[11] << 8, stride = (7 * 3 + 3) & ~3;
  for (size_t y = 0; y < 5; ++y)
    std::memcpy(down.data() + offset + y * stride, up.data() + offset + (4 - y) * stride, stride);
  const int32_t negative = -5;
  std::memcpy(down.data() + 22, &negative, 4);
  ExpectSameAsReference(down, "top-down 24-bit");
  const plat::SurfacePtr a = plat::DecodePicture(up.data(), up.size()), b = plat::DecodePicture(down.data(), down.size());
  ASSERT_TRUE(a && b);
  EXPECT_EQ(0, std::memcmp(a->Pixels(), b->Pixels(), 7 * 5 * 2));
  // A palettised bitmap.
  SdlPtr pal(SDL_CreateRGBSurfaceWithFormat(0, 10, 6, 8, SDL_PIXELFORMAT_INDEX8));
  SDL_Color colours[4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {10, 20, 200, 255}, {255, 255, 255, 255}};
  SDL_SetPaletteColors(pal->format->palette, colours, 0, 4);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x) static_cast<Uint8*>(pal->pixels)[y * pal->pitch + x] = static_cast<Uint8>((x + y) % 4);
  ExpectSameAsReference(Saved(pal.get(), false), "8-bit palette");
}

// The decoder's seed pictures hold the layouts SDL cannot write: grey,
// progressive and CMYK JPEGs (the last left to SDL_image), 4-bit and
// 32-bit bitmaps.
TEST(PictureDecode, OddLayoutsFromTheSeedPicturesMatchToo) {
  const char* root = std::getenv("FW_TEST_DATA");
  if (!root) GTEST_SKIP() << "run by ctest";
  const std::string seeds = std::string(root) + "/../../fuzz/corpus/fuzz_picture_decode/";
  for (const char* name : {"gray.jpg", "progressive.jpg", "cmyk.jpg", "rgb420.jpg", "pal8.bmp", "argb.bmp", "rgb24.bmp"}) {
    std::ifstream in(seeds + name, std::ios::binary);
    const Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(b.empty()) << name;
    ExpectSameAsReference(b, name);
  }
}

TEST(PictureDecode, DamagedOrHostileBytesNeverHarm) {
  const SdlPtr p = Painting(64, 48, SDL_PIXELFORMAT_RGB888);
  const Bytes jpeg = Saved(p.get(), true);
  const Bytes bmp = Saved(p.get(), false);

  EXPECT_FALSE(plat::DecodePicture(nullptr, 0));
  EXPECT_FALSE(plat::DecodePicture(jpeg.data(), 0));
  const Bytes junk = {0xFF, 0xD8, 0xFF, 0x00, 'x', 'y'};
  EXPECT_FALSE(plat::DecodePicture(junk.data(), junk.size()));
  const Bytes text = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'};
  EXPECT_FALSE(plat::DecodePicture(text.data(), text.size()));

  // A JPEG cut short: whatever is shown has the picture's size, and every
  // cut point is survived.
  for (size_t cut = 3; cut < jpeg.size(); cut += 97) {
    const plat::SurfacePtr s = plat::DecodePicture(jpeg.data(), cut);
    if (s) {
      EXPECT_TRUE(s->Width() == 64 && s->Height() == 48) << cut;
    }
  }
  for (size_t cut = 2; cut < bmp.size(); cut += 311) plat::DecodePicture(bmp.data(), cut);

  // A frame header claiming more than any surface may hold is refused
  // before anything of that size is made.
  Bytes huge = jpeg;
  for (size_t i = 0; i + 8 < huge.size(); ++i)
    if (huge[i] == 0xFF && (huge[i + 1] == 0xC0 || huge[i + 1] == 0xC2)) {
      huge[i + 5] = 0x7F;  // height 0x7Fxx
      huge[i + 7] = 0x7F;  // width 0x7Fxx
      break;
    }
  EXPECT_FALSE(plat::DecodePicture(huge.data(), huge.size()));
}

// Every bitmap and JPEG of the sample archives, and the ground of one map,
// straight from the archives' data files.
TEST(PictureDecode, SamplePicturesDecodeAsBefore) {
  const std::string& folder = fwtest::SampleDataFolder();
  int checked = 0;
  for (const std::string archive : {"Data", "MissionPack"}) {
    std::ifstream inf(folder + "/" + archive + ".INF", std::ios::binary);
    std::string line;
    while (std::getline(inf, line)) {
      const size_t c2 = line.rfind(','), c1 = line.rfind(',', c2 - 1);
      ASSERT_NE(c1, std::string::npos) << line;
      const std::string name = line.substr(1, c1 - 2);
      std::string ext = name.substr(name.size() >= 4 ? name.size() - 4 : 0);
      for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      const bool picture = ext == ".bmp" || ext == ".jpg";
      if (!picture || (archive == "MissionPack" && name.rfind("MapA", 0) != 0)) continue;
      const auto bytes = plat::ReadFileRange(folder + "/" + archive + ".PAK", std::stoll(line.substr(c1 + 1)) - 1,
                                             std::stoll(line.substr(c2 + 1)));
      ASSERT_TRUE(bytes) << name;
      ExpectSameAsReference(*bytes, name.c_str());
      ++checked;
    }
  }
  EXPECT_GT(checked, 50);
}

TEST(PictureDecode, WorkersGiveWhatThePlainDecoderGives) {
  std::vector<Bytes> pictures;
  for (int i = 0; i < 12; ++i) {
    const SdlPtr p = Painting(40 + i * 13, 30 + i * 7, SDL_PIXELFORMAT_RGB888);
    pictures.push_back(Saved(p.get(), i % 3 != 2));
  }
  pictures.push_back(Bytes{'b', 'a', 'd'});
  plat::PictureDecoder decoder(3);
  std::vector<std::future<plat::SurfacePtr>> results;
  for (const Bytes& b : pictures) results.push_back(decoder.Decode(b));
  // Taken out of order, as a loader taking a later picture first would.
  for (size_t k = results.size(); k-- > 0;) {
    const plat::SurfacePtr got = results[k].get();
    const plat::SurfacePtr want = plat::DecodePicture(pictures[k].data(), pictures[k].size());
    ASSERT_EQ(static_cast<bool>(got), static_cast<bool>(want)) << k;
    if (!want) continue;
    ASSERT_EQ(got->Width(), want->Width());
    ASSERT_EQ(got->Height(), want->Height());
    EXPECT_EQ(0, std::memcmp(got->Pixels(), want->Pixels(), static_cast<size_t>(got->Width()) * got->Height() * 2));
  }

  // Queued work can be dropped: what no worker started gives no picture,
  // and the decoder goes on with new work.
  plat::PictureDecoder one(1);
  std::vector<std::future<plat::SurfacePtr>> queued;
  for (int i = 0; i < 30; ++i) queued.push_back(one.Decode(pictures[0]));
  one.DropQueued();
  int dropped = 0;
  for (auto& f : queued) {
    try {
      EXPECT_TRUE(f.get());
    } catch (const std::future_error&) {
      ++dropped;
    }
  }
  EXPECT_GT(dropped, 0);
  EXPECT_TRUE(one.Decode(pictures[1]).get());

  // A decoder going away with work queued and results never taken neither
  // hangs nor leaves a worker behind.
  {
    plat::PictureDecoder busy(2);
    for (int i = 0; i < 40; ++i) (void)busy.Decode(pictures[0]);
  }
}

TEST(PictureDecode, AFreshPictureBecomesTheSurfaceItself) {
  plat::DirectDraw dd;
  dd.SetFreeVideoMemory(1 << 20);
  plat::DDSURFACEDESC2 d;
  d.lFlags = plat::DDSD_CAPS | plat::DDSD_WIDTH | plat::DDSD_HEIGHT;
  d.lWidth = 8;
  d.lHeight = 4;
  d.ddsCaps.lCaps = plat::DDSCAPS_OFFSCREENPLAIN | plat::DDSCAPS_VIDEOMEMORY;

  auto picture = std::make_shared<plat::Surface>(8, 4);
  picture->Row(1)[2] = 0x1234;
  const plat::Surface* raw = picture.get();
  const plat::SurfacePtr s = dd.CreateSurface(d, std::move(picture));
  EXPECT_EQ(s.get(), raw);
  EXPECT_EQ(s->Row(1)[2], 0x1234);
  EXPECT_TRUE(s->Caps() & plat::DDSCAPS_VIDEOMEMORY);
  EXPECT_EQ(dd.GetFreeMem(plat::DDSCAPS2{plat::DDSCAPS_VIDEOMEMORY, 0}), (1 << 20) - 64);

  // Held elsewhere, of another size or keyed: a new surface, for the caller
  // to copy into.
  auto shared = std::make_shared<plat::Surface>(8, 4);
  const plat::SurfacePtr keep = shared;
  EXPECT_NE(dd.CreateSurface(d, shared).get(), shared.get());
  EXPECT_NE(dd.CreateSurface(d, std::make_shared<plat::Surface>(4, 8)).get(), nullptr);
  auto keyed = std::make_shared<plat::Surface>(8, 4);
  keyed->SetColorKey(plat::DDCKEY_SRCBLT, 0, 0);
  const plat::Surface* keyedRaw = keyed.get();
  EXPECT_NE(dd.CreateSurface(d, std::move(keyed)).get(), keyedRaw);
}

}  // namespace
