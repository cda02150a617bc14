#include "platform/display/surface.hpp"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cstring>

#include "platform/input/window.hpp"

namespace plat {

Surface::Surface(int width, int height)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0) {}

int Surface::BltFast(int x, int y, const Surface* src, const RECT* srcRect, int flags) {
  if (!src) return DDERR_GENERIC;
  RECT r = srcRect ? *srcRect : RECT{0, 0, src->width_, src->height_};
  // Clip the source rectangle to the source, then the destination to us.
  if (r.Left < 0 || r.Top < 0 || r.Right > src->width_ || r.Bottom > src->height_ || r.Left >= r.Right ||
      r.Top >= r.Bottom)
    return DDERR_INVALIDRECT;
  int dx = x, dy = y;
  if (dx < 0) { r.Left -= dx; dx = 0; }
  if (dy < 0) { r.Top -= dy; dy = 0; }
  r.Right = std::min<int32_t>(r.Right, r.Left + (width_ - dx));
  r.Bottom = std::min<int32_t>(r.Bottom, r.Top + (height_ - dy));
  if (r.Left >= r.Right || r.Top >= r.Bottom) return DD_OK;
  const int w = r.Right - r.Left;
  const bool keyed = (flags & DDBLTFAST_SRCCOLORKEY) && src->hasColorKey_;
  for (int row = 0; row < r.Bottom - r.Top; ++row) {
    const uint16_t* s = src->Row(r.Top + row) + r.Left;
    uint16_t* d = Row(dy + row) + dx;
    if (!keyed) {
      std::memmove(d, s, static_cast<size_t>(w) * 2);
    } else {
      for (int i = 0; i < w; ++i)
        if (s[i] < src->keyLow_ || s[i] > std::max(src->keyLow_, src->keyHigh_)) d[i] = s[i];
    }
  }
  return DD_OK;
}

void Surface::SetColorKey(int, uint16_t low, uint16_t high) {
  hasColorKey_ = true;
  keyLow_ = low;
  keyHigh_ = high;
}

SurfacePtr Surface::CreatePrimaryWithBackBuffer(int width, int height) {
  auto front = std::make_shared<Surface>(width, height);
  front->primary_ = true;
  front->backBuffer_ = std::make_shared<Surface>(width, height);
  return front;
}

int Surface::Flip(const Surface*, int) {
  if (!primary_ || !backBuffer_) return DDERR_GENERIC;
  std::swap(pixels_, backBuffer_->pixels_);
  PresentFront();
  return DD_OK;
}

void Surface::PresentFront() { Window::Instance().Present(pixels_.data(), width_, height_, width_); }

SurfacePtr LoadPictureFile(const std::string& nativePath) {
  SDL_Surface* img = IMG_Load(nativePath.c_str());
  if (!img) return nullptr;
  SDL_Surface* conv = SDL_ConvertSurfaceFormat(img, SDL_PIXELFORMAT_RGB565, 0);
  SDL_FreeSurface(img);
  if (!conv) return nullptr;
  auto s = std::make_shared<Surface>(conv->w, conv->h);
  for (int y = 0; y < conv->h; ++y)
    std::memcpy(s->Row(y), static_cast<const uint8_t*>(conv->pixels) + static_cast<ptrdiff_t>(y) * conv->pitch,
                static_cast<size_t>(conv->w) * 2);
  SDL_FreeSurface(conv);
  return s;
}

bool SaveBmp(const uint16_t* pixels, int width, int height, int pitchPixels, const std::string& nativePath) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint16_t*>(pixels), width, height, 16,
                                                      pitchPixels * 2, SDL_PIXELFORMAT_RGB565);
  if (!s) return false;
  SDL_Surface* rgb = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_BGR24, 0);
  SDL_FreeSurface(s);
  if (!rgb) return false;
  const bool ok = SDL_SaveBMP(rgb, nativePath.c_str()) == 0;
  SDL_FreeSurface(rgb);
  return ok;
}

int DirectDraw::SetCooperativeLevel(void* window, int flags) {
  level_ = flags;
  if (window) Window::Instance().SetFullscreen((flags & DDSCL_FULLSCREEN) != 0);
  return DD_OK;
}

int DirectDraw::SetDisplayMode(int width, int height, int bpp, int, int) {
  width_ = width;
  height_ = height;
  bpp_ = bpp;
  return DD_OK;
}

std::shared_ptr<DirectDraw> DirectX7::DirectDrawCreate(const std::string&) { return std::make_shared<DirectDraw>(); }

int DirectX7::DisplayBitsPerPixel() const {
  SDL_DisplayMode mode;
  if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDesktopDisplayMode(0, &mode) == 0) return SDL_BITSPERPIXEL(mode.format);
  return 32;
}

}  // namespace plat
