#include "platform/display/surface.hpp"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/display/blit.hpp"
#include "platform/display/notice.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/owned.hpp"

namespace plat {

// Video memory is only bookkeeping here (every surface lives in ordinary
// memory), kept so the game's choice between the two sees a real figure.
struct VideoMemoryPool {
  int64_t total = 0;
  int64_t free = 0;
};

namespace {
constexpr int64_t kVideoMemoryBytes = 32 * 1024 * 1024;
constexpr int32_t kMaxSide = kMaxPictureSide;
constexpr auto kRefresh = std::chrono::nanoseconds(1'000'000'000 / 60);

RECT Whole(const Surface& s) { return RECT{0, 0, s.Width(), s.Height()}; }
bool Empty(const RECT& r) { return r.Left >= r.Right || r.Top >= r.Bottom; }

blit::Key KeyOf(const Surface& s) {
  const uint16_t low = s.ColorKeyLow();
  return blit::Key{low, static_cast<uint16_t>(s.ColorKeyHigh() - low)};
}

[[noreturn]] void CannotCreate(const DDSURFACEDESC2& d, const std::string& why) {
  throw RuntimeError(ErrorCode::General, "DirectDraw cannot create the surface (" + std::to_string(d.lWidth) + "x" +
                                             std::to_string(d.lHeight) + "): " + why);
}
}  // namespace

// The flip waits for the display's next refresh: the menus have no timer of
// their own, so this is what keeps them from spinning.
void WaitForRefresh() {
  if (ClockFixed()) return;
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  const auto next = (now / kRefresh + 1) * kRefresh;
  std::this_thread::sleep_for(next - now);
}

bool IntersectRect(RECT& out, const RECT& a, const RECT& b) {
  const RECT r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
               std::min(a.Bottom, b.Bottom)};
  if (Empty(a) || Empty(b) || Empty(r)) {
    out = RECT{};
    return false;
  }
  out = r;
  return true;
}

Surface::Surface(int width, int height)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0) {}

Surface::~Surface() {
  if (videoMemory_) videoMemory_->free += videoBytes_;
}

void Surface::GetSurfaceDesc(DDSURFACEDESC2& d) const {
  d = DDSURFACEDESC2{};
  d.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
  d.lWidth = width_;
  d.lHeight = height_;
  d.lPitch = width_ * 2;
  d.ddsCaps.lCaps = caps_;
  if (backBuffer_) {
    d.lFlags |= DDSD_BACKBUFFERCOUNT;
    d.lBackBufferCount = 1;
  }
  d.ddpfPixelFormat = DDPIXELFORMAT{DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F};
}

int32_t Surface::BltFast(int32_t x, int32_t y, const Surface* src, const RECT* srcRect, int32_t flags) {
  if (!src) return DDERR_INVALIDPARAMS;
  const RECT s = srcRect ? *srcRect : Whole(*src);
  if (Empty(s)) return DDERR_INVALIDRECT;
  const int64_t right = int64_t{x} + (int64_t{s.Right} - s.Left), bottom = int64_t{y} + (int64_t{s.Bottom} - s.Top);
  // Past the largest coordinate nothing can land on a surface.
  if (right > INT32_MAX || bottom > INT32_MAX) return DD_OK;
  const RECT d{x, y, static_cast<int32_t>(right), static_cast<int32_t>(bottom)};
  return Blt(&d, src, &s, (flags & DDBLTFAST_SRCCOLORKEY) ? DDBLT_KEYSRC : 0);
}

int32_t Surface::Blt(const RECT* destRect, const Surface* src, const RECT* srcRect, int32_t flags) {
  return BltFx(destRect, src, srcRect, flags & ~DDBLT_ROP, DDBLTFX{});
}

int32_t Surface::BltFx(const RECT* destRect, const Surface* src, const RECT* srcRect, int32_t flags,
                       const DDBLTFX& fx) {
  if (!src) return DDERR_INVALIDPARAMS;
  const RECT d = destRect ? *destRect : Whole(*this);
  const RECT s = srcRect ? *srcRect : Whole(*src);
  if (Empty(d) || Empty(s)) return DDERR_INVALIDRECT;
  const bool keyed = (flags & DDBLT_KEYSRC) != 0;
  if (keyed && !src->hasColorKey_) return DDERR_NOCOLORKEY;
  bool orSource = false;
  if (flags & DDBLT_ROP) {
    if (fx.lROP == SRCPAINT)
      orSource = true;
    else if (fx.lROP != SRCCOPY)
      return DDERR_NORASTEROPHW;
  }
  const blit::Op op = orSource ? (keyed ? blit::Op::OrKeyed : blit::Op::Or) : (keyed ? blit::Op::Keyed : blit::Op::Copy);

  // A blit within one surface whose areas overlap reads from a copy.
  std::unique_ptr<Surface> copy;
  if (src == this) {
    RECT overlap;
    if (IntersectRect(overlap, d, s)) {
      RECT inside;
      if (!IntersectRect(inside, s, Whole(*src))) return DD_OK;
      copy = std::make_unique<Surface>(width_, height_);
      copy->Blt(&inside, this, &inside, 0);
      copy->hasColorKey_ = hasColorKey_;
      copy->keyLow_ = keyLow_;
      copy->keyHigh_ = keyHigh_;
      src = copy.get();
    }
  }

  // Destination pixel i of the rectangle samples source pixel
  // left + floor((2i + 1) * sourceWidth / (2 * destWidth)): the source pixel
  // under its centre. Same sizes give the plain one-to-one copy.
  const int64_t dw = int64_t{d.Right} - d.Left, dh = int64_t{d.Bottom} - d.Top;
  const int64_t sw = int64_t{s.Right} - s.Left, sh = int64_t{s.Bottom} - s.Top;
  auto sample = [](int64_t i, int64_t start, int64_t srcLen, int64_t dstLen) {
    return start + static_cast<int64_t>((2 * static_cast<__int128>(i) + 1) * srcLen / (2 * dstLen));
  };
  // Destination span [first, last) that lands on this surface and samples
  // inside the source; the mapping only grows, so it is one run.
  auto span = [&](int64_t dstStart, int64_t dstLen, int64_t dstSize, int64_t srcStart, int64_t srcLen,
                   int64_t srcSize, int64_t& first, int64_t& last) {
    first = std::max<int64_t>(0, -dstStart);
    last = std::min<int64_t>(dstLen, dstSize - dstStart);
    if (srcLen == dstLen) {
      first = std::max(first, -srcStart);
      last = std::min(last, srcSize - srcStart);
      return;
    }
    while (first < last && sample(first, srcStart, srcLen, dstLen) < 0) ++first;
    while (last > first && sample(last - 1, srcStart, srcLen, dstLen) >= srcSize) --last;
  };
  int64_t x0, x1, y0, y1;
  span(d.Left, dw, width_, s.Left, sw, src->width_, x0, x1);
  span(d.Top, dh, height_, s.Top, sh, src->height_, y0, y1);
  if (x0 >= x1 || y0 >= y1) return DD_OK;

  blit::Rows rows{Row(static_cast<int>(d.Top + y0)) + (d.Left + x0), width_, src->pixels_.data(), src->width_,
                  static_cast<int>(x1 - x0), static_cast<int>(y1 - y0)};
  const blit::Key key = KeyOf(*src);
  if (sw == dw && sh == dh) {
    rows.src = src->Row(static_cast<int>(s.Top + y0)) + (s.Left + x0);
    blit::Transfer(rows, op, key);
  } else {
    std::vector<int32_t> xs(static_cast<size_t>(x1 - x0)), ys(static_cast<size_t>(y1 - y0));
    for (int64_t i = x0; i < x1; ++i) xs[static_cast<size_t>(i - x0)] = static_cast<int32_t>(sample(i, s.Left, sw, dw));
    for (int64_t j = y0; j < y1; ++j) ys[static_cast<size_t>(j - y0)] = static_cast<int32_t>(sample(j, s.Top, sh, dh));
    blit::TransferScaled(rows, xs.data(), ys.data(), op, key);
  }
  Shown();
  return DD_OK;
}

int32_t Surface::BltColorFill(const RECT* destRect, uint16_t color) {
  const RECT d = destRect ? *destRect : Whole(*this);
  if (Empty(d)) return DDERR_INVALIDRECT;
  RECT r;
  if (!IntersectRect(r, d, Whole(*this))) return DD_OK;
  blit::Fill(Row(r.Top) + r.Left, width_, r.Right - r.Left, r.Bottom - r.Top, color);
  Shown();
  return DD_OK;
}

int32_t Surface::SetColorKey(int32_t flags, uint16_t low, uint16_t high) {
  // Only source keys take part in blits here.
  if (!(flags & DDCKEY_SRCBLT)) return DDERR_INVALIDPARAMS;
  hasColorKey_ = true;
  keyLow_ = low;
  keyHigh_ = (flags & DDCKEY_COLORSPACE) && high > low ? high : low;
  return DD_OK;
}

int32_t Surface::Lock(const RECT*, DDSURFACEDESC2& desc, int32_t) {
  GetSurfaceDesc(desc);
  return DD_OK;
}

int32_t Surface::Unlock(const RECT*) {
  Shown();
  return DD_OK;
}

int32_t Surface::GetLockedPixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return Row(y)[x];
}

void Surface::SetLockedPixel(int32_t x, int32_t y, int32_t color) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  Row(y)[x] = static_cast<uint16_t>(color);
}

SurfacePtr Surface::GetAttachedSurface(const DDSCAPS2& caps) const {
  if (!backBuffer_ || !(caps.lCaps & DDSCAPS_BACKBUFFER))
    throw RuntimeError(ErrorCode::General, "DirectDraw: the surface has no attached back buffer");
  return backBuffer_;
}

int32_t Surface::Flip(const Surface*, int32_t) {
  if (!IsPrimary() || !backBuffer_) return DDERR_NOTFLIPPABLE;
  WaitForRefresh();
  std::swap(pixels_, backBuffer_->pixels_);
  PresentFront();
  return DD_OK;
}

void Surface::Shown() {
  if (IsPrimary()) PresentFront();
}

void Surface::PresentFront() { PresentWithNotice(pixels_.data(), width_, height_, width_); }

DirectDraw::DirectDraw() : videoMemory_(std::make_shared<VideoMemoryPool>()) {
  videoMemory_->total = videoMemory_->free = kVideoMemoryBytes;
}

int32_t DirectDraw::SetCooperativeLevel(void*, int32_t flags) {
  // The window covers the display from the moment it shows (the game's
  // 640x480 mode is the whole screen in either level), so the level is only
  // kept: films shown at the normal level fill the screen as the menus do.
  level_ = flags;
  return DD_OK;
}

int32_t DirectDraw::SetDisplayMode(int32_t width, int32_t height, int32_t bpp, int32_t, int32_t) {
  width_ = width;
  height_ = height;
  bpp_ = bpp;
  return DD_OK;
}

SurfacePtr DirectDraw::CreateSurface(const DDSURFACEDESC2& desc) { return CreateSurface(desc, nullptr); }

SurfacePtr DirectDraw::CreateSurface(const DDSURFACEDESC2& desc, SurfacePtr picture) {
  const int32_t caps = (desc.lFlags & DDSD_CAPS) ? desc.ddsCaps.lCaps : DDSCAPS_OFFSCREENPLAIN;
  if (caps & DDSCAPS_PRIMARYSURFACE) {
    if (width_ < 1 || height_ < 1 || width_ > kMaxSide || height_ > kMaxSide) CannotCreate(desc, "no display mode");
    const bool withBack = (desc.lFlags & DDSD_BACKBUFFERCOUNT) && desc.lBackBufferCount > 0;
    if (withBack && (!(caps & DDSCAPS_FLIP) || desc.lBackBufferCount > 1))
      CannotCreate(desc, "only a flipping primary surface with one back buffer is possible");
    auto front = std::make_shared<Surface>(width_, height_);
    front->caps_ = (caps & (DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX)) | DDSCAPS_VIDEOMEMORY;
    if (withBack) {
      front->caps_ |= DDSCAPS_FRONTBUFFER;
      front->backBuffer_ = std::make_shared<Surface>(width_, height_);
      front->backBuffer_->caps_ = DDSCAPS_BACKBUFFER | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;
    }
    return front;
  }
  if ((desc.lFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT)) CannotCreate(desc, "no size given");
  if (desc.lWidth < 1 || desc.lHeight < 1 || desc.lWidth > kMaxSide || desc.lHeight > kMaxSide)
    CannotCreate(desc, "invalid size");
  bool video = (caps & DDSCAPS_VIDEOMEMORY) != 0;
  const bool system = (caps & DDSCAPS_SYSTEMMEMORY) != 0;
  if (video && system) CannotCreate(desc, "both video and system memory asked for");
  const int64_t bytes = int64_t{desc.lWidth} * desc.lHeight * 2;
  if (!video && !system) video = videoMemory_->free >= bytes;
  if (video && videoMemory_->free < bytes) CannotCreate(desc, "out of video memory");
  // A picture decoded to the very size becomes the surface itself: no
  // second buffer to clear and copy into.
  const bool takePicture = picture && picture.use_count() == 1 && picture->width_ == desc.lWidth &&
                           picture->height_ == desc.lHeight && picture->caps_ == (DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY) &&
                           !picture->videoMemory_ && !picture->backBuffer_ && !picture->HasColorKey();
  auto s = takePicture ? std::move(picture) : std::make_shared<Surface>(desc.lWidth, desc.lHeight);
  s->caps_ = (caps & ~(DDSCAPS_VIDEOMEMORY | DDSCAPS_SYSTEMMEMORY)) | (video ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
  if (video) {
    videoMemory_->free -= bytes;
    s->videoMemory_ = videoMemory_;
    s->videoBytes_ = bytes;
  }
  return s;
}

int32_t DirectDraw::GetFreeMem(const DDSCAPS2& caps) const {
  if (!(caps.lCaps & DDSCAPS_VIDEOMEMORY)) return 0;
  return static_cast<int32_t>(std::clamp<int64_t>(videoMemory_->free, 0, INT32_MAX));
}

void DirectDraw::GetCaps(DDCAPS& hardware, DDCAPS& emulation) const {
  DDCAPS c;
  c.lCaps = DDCAPS_BLT | DDCAPS_BLTSTRETCH | DDCAPS_COLORKEY | DDCAPS_BLTCOLORFILL;
  c.lCKeyCaps = DDCKEYCAPS_SRCBLT;
  // Alpha surfaces are claimed so the battles blend their effects through
  // the 3D device rather than falling back to raster operations.
  c.ddsCaps.lCaps = DDSCAPS_ALPHA | DDSCAPS_BACKBUFFER | DDSCAPS_COMPLEX | DDSCAPS_FLIP | DDSCAPS_FRONTBUFFER |
                    DDSCAPS_OFFSCREENPLAIN | DDSCAPS_PRIMARYSURFACE | DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY;
  for (int32_t rop : {SRCCOPY, SRCPAINT}) {
    const int index = (rop >> 16) & 0xFF;
    c.lRops[index / 32] |= static_cast<int32_t>(1u << (index % 32));
  }
  c.lVidMemTotal = static_cast<int32_t>(std::min<int64_t>(videoMemory_->total, INT32_MAX));
  c.lVidMemFree = GetFreeMem(DDSCAPS2{DDSCAPS_VIDEOMEMORY, 0});
  hardware = c;
  emulation = c;
}

void DirectDraw::SetFreeVideoMemory(int64_t bytes) { videoMemory_->free = bytes; }

std::shared_ptr<DirectDraw> DirectX7::DirectDrawCreate(const std::string&) { return std::make_shared<DirectDraw>(); }

int DirectX7::DisplayBitsPerPixel() const {
  SDL_DisplayMode mode;
  if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDesktopDisplayMode(0, &mode) == 0) return SDL_BITSPERPIXEL(mode.format);
  return 32;
}

}  // namespace plat
