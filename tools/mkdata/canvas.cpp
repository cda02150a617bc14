#include "tools/mkdata/canvas.hpp"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace mkdata {

Rgb Mix(Rgb a, Rgb b, float t) {
  t = std::clamp(t, 0.0f, 1.0f);
  auto m = [t](uint8_t x, uint8_t y) { return static_cast<uint8_t>(std::lround(x + (y - x) * t)); };
  return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

Canvas::Canvas(int width, int height, Rgb fill) : w_(width), h_(height), px_(static_cast<size_t>(width) * height, fill) {}

void Canvas::Set(int x, int y, Rgb c) {
  if (x >= 0 && y >= 0 && x < w_ && y < h_) px_[static_cast<size_t>(y) * w_ + x] = c;
}

Rgb Canvas::Get(int x, int y) const {
  if (x >= 0 && y >= 0 && x < w_ && y < h_) return px_[static_cast<size_t>(y) * w_ + x];
  return {};
}

void Canvas::Fill(Rgb c) { std::fill(px_.begin(), px_.end(), c); }

void Canvas::Rect(int x, int y, int w, int h, Rgb c) {
  for (int j = std::max(y, 0); j < std::min(y + h, h_); ++j)
    for (int i = std::max(x, 0); i < std::min(x + w, w_); ++i) px_[static_cast<size_t>(j) * w_ + i] = c;
}

void Canvas::Frame(int x, int y, int w, int h, Rgb c, int t) {
  Rect(x, y, w, t, c);
  Rect(x, y + h - t, w, t, c);
  Rect(x, y, t, h, c);
  Rect(x + w - t, y, t, h, c);
}

void Canvas::VerticalGradient(int x, int y, int w, int h, Rgb top, Rgb bottom) {
  for (int j = 0; j < h; ++j) Rect(x, y + j, w, 1, Mix(top, bottom, h > 1 ? static_cast<float>(j) / (h - 1) : 0.0f));
}

void Canvas::Disc(float cx, float cy, float r, Rgb c) {
  for (int y = static_cast<int>(cy - r - 1); y <= static_cast<int>(cy + r + 1); ++y)
    for (int x = static_cast<int>(cx - r - 1); x <= static_cast<int>(cx + r + 1); ++x) {
      const float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
      if (dx * dx + dy * dy <= r * r) Set(x, y, c);
    }
}

void Canvas::Ring(float cx, float cy, float r, float t, Rgb c) {
  for (int y = static_cast<int>(cy - r - 1); y <= static_cast<int>(cy + r + 1); ++y)
    for (int x = static_cast<int>(cx - r - 1); x <= static_cast<int>(cx + r + 1); ++x) {
      const float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
      const float d = std::sqrt(dx * dx + dy * dy);
      if (d <= r && d >= r - t) Set(x, y, c);
    }
}

void Canvas::Line(float x0, float y0, float x1, float y1, Rgb c, float thickness) {
  const float len = std::max(std::fabs(x1 - x0), std::fabs(y1 - y0));
  const int steps = std::max(1, static_cast<int>(len * 2));
  for (int i = 0; i <= steps; ++i) {
    const float t = static_cast<float>(i) / steps;
    const float x = x0 + (x1 - x0) * t, y = y0 + (y1 - y0) * t;
    if (thickness <= 1.0f)
      Set(static_cast<int>(x), static_cast<int>(y), c);
    else
      Disc(x, y, thickness / 2, c);
  }
}

void Canvas::Polygon(const std::vector<std::pair<float, float>>& pts, Rgb c) {
  if (pts.size() < 3) return;
  float minY = pts[0].second, maxY = pts[0].second;
  for (auto& p : pts) {
    minY = std::min(minY, p.second);
    maxY = std::max(maxY, p.second);
  }
  for (int y = std::max(0, static_cast<int>(minY)); y <= std::min(h_ - 1, static_cast<int>(maxY)); ++y) {
    const float sy = y + 0.5f;
    std::vector<float> xs;
    for (size_t i = 0; i < pts.size(); ++i) {
      auto a = pts[i], b = pts[(i + 1) % pts.size()];
      if ((a.second <= sy && b.second > sy) || (b.second <= sy && a.second > sy))
        xs.push_back(a.first + (sy - a.second) / (b.second - a.second) * (b.first - a.first));
    }
    std::sort(xs.begin(), xs.end());
    for (size_t k = 0; k + 1 < xs.size(); k += 2)
      for (int x = static_cast<int>(std::ceil(xs[k] - 0.5f)); x < static_cast<int>(std::ceil(xs[k + 1] - 0.5f)); ++x)
        Set(x, y, c);
  }
}

void Canvas::Noise(int x, int y, int w, int h, float amount, uint32_t seed) {
  uint32_t s = seed * 2654435761u + 1;
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) {
      s = s * 1664525u + 1013904223u;
      const float f = 1.0f + amount * ((static_cast<float>(s >> 8) / 16777216.0f) * 2.0f - 1.0f);
      Rgb p = Get(i, j);
      auto sc = [f](uint8_t v) { return static_cast<uint8_t>(std::clamp(std::lround(v * f), 0L, 255L)); };
      Set(i, j, {sc(p.r), sc(p.g), sc(p.b)});
    }
}

namespace {
// Faces stay open for the whole run and are closed at exit, so the tool ends
// with nothing left allocated.
struct FontCache {
  std::map<std::pair<int, bool>, TTF_Font*> fonts;
  ~FontCache() {
    for (auto& [key, font] : fonts)
      if (font) TTF_CloseFont(font);
    if (TTF_WasInit()) TTF_Quit();
  }
};

TTF_Font* Font(int px, bool bold) {
  static FontCache cache;
  if (!TTF_WasInit()) TTF_Init();
  auto key = std::make_pair(px, bold);
  auto it = cache.fonts.find(key);
  if (it != cache.fonts.end()) return it->second;
  TTF_Font* f = TTF_OpenFont(bold ? "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
                                  : "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                             px);
  if (!f) f = TTF_OpenFont("/usr/share/fonts/truetype/wqy/wqy-microhei.ttc", px);
  cache.fonts[key] = f;
  return f;
}
}  // namespace

void Canvas::Text(int x, int y, const std::string& s, int px, Rgb c, bool bold) {
  TTF_Font* f = Font(px, bold);
  if (!f || s.empty()) return;
  SDL_Surface* g = TTF_RenderUTF8_Blended(f, s.c_str(), SDL_Color{255, 255, 255, 255});
  if (!g) return;
  SDL_Surface* a = SDL_ConvertSurfaceFormat(g, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(g);
  if (!a) return;
  for (int j = 0; j < a->h; ++j) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(a->pixels) + j * a->pitch);
    for (int i = 0; i < a->w; ++i) {
      const float alpha = (row[i] >> 24) / 255.0f;
      if (alpha > 0) Set(x + i, y + j, Mix(Get(x + i, y + j), c, alpha));
    }
  }
  SDL_FreeSurface(a);
}

int Canvas::TextWidth(const std::string& s, int px, bool bold) const {
  TTF_Font* f = Font(px, bold);
  int w = 0, h = 0;
  if (f) TTF_SizeUTF8(f, s.c_str(), &w, &h);
  return w;
}

void Canvas::TextCentered(int cx, int y, const std::string& s, int px, Rgb c, bool bold) {
  Text(cx - TextWidth(s, px, bold) / 2, y, s, px, c, bold);
}

void Canvas::Paste(const Canvas& src, int x, int y) {
  for (int j = 0; j < src.h_; ++j)
    for (int i = 0; i < src.w_; ++i) Set(x + i, y + j, src.Get(i, j));
}

std::vector<uint8_t> Canvas::Bmp() const {
  const int rowBytes = (w_ * 3 + 3) & ~3;
  const uint32_t dataSize = static_cast<uint32_t>(rowBytes * h_);
  std::vector<uint8_t> out(54 + dataSize, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  out[0] = 'B';
  out[1] = 'M';
  put32(2, 54 + dataSize);
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(w_));
  put32(22, static_cast<uint32_t>(h_));
  out[26] = 1;
  out[28] = 24;
  put32(34, dataSize);
  put32(38, 3780);
  put32(42, 3780);
  for (int y = 0; y < h_; ++y) {
    uint8_t* row = &out[54 + static_cast<size_t>(h_ - 1 - y) * rowBytes];
    for (int x = 0; x < w_; ++x) {
      const Rgb p = Get(x, y);
      row[x * 3] = p.b;
      row[x * 3 + 1] = p.g;
      row[x * 3 + 2] = p.r;
    }
  }
  return out;
}

std::vector<uint8_t> Canvas::Jpg(int quality) const {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w_, h_, 24, SDL_PIXELFORMAT_RGB24);
  if (!s) return {};
  for (int y = 0; y < h_; ++y) {
    uint8_t* row = static_cast<uint8_t*>(s->pixels) + y * s->pitch;
    for (int x = 0; x < w_; ++x) {
      const Rgb p = Get(x, y);
      row[x * 3] = p.r;
      row[x * 3 + 1] = p.g;
      row[x * 3 + 2] = p.b;
    }
  }
  std::vector<uint8_t> out(static_cast<size_t>(w_) * h_ * 3 + 65536);
  SDL_RWops* rw = SDL_RWFromMem(out.data(), static_cast<int>(out.size()));
  const int ok = IMG_SaveJPG_RW(s, rw, 0, quality);
  const Sint64 written = SDL_RWtell(rw);
  SDL_RWclose(rw);
  SDL_FreeSurface(s);
  if (ok != 0 || written <= 0) return {};
  out.resize(static_cast<size_t>(written));
  return out;
}

float Hash(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return static_cast<float>((h ^ (h >> 16)) & 0xFFFFFF) / 16777216.0f;
}

float SmoothNoise(float x, float y, uint32_t seed) {
  const int xi = static_cast<int>(std::floor(x)), yi = static_cast<int>(std::floor(y));
  const float fx = x - xi, fy = y - yi;
  const float a = Hash(xi, yi, seed), b = Hash(xi + 1, yi, seed), c = Hash(xi, yi + 1, seed),
              d = Hash(xi + 1, yi + 1, seed);
  const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  return (a + (b - a) * sx) * (1 - sy) + (c + (d - c) * sx) * sy;
}

}  // namespace mkdata
