#include <algorithm>
#include <SDL.h>
#include <SDL_ttf.h>

#include <map>
#include <string>
#include <tuple>

#include "platform/display/surface.hpp"
#include "platform/runtime/strings.hpp"

namespace plat {
namespace {

const char* FontFile(const std::string& name, bool bold) {
  const std::string n = UCase(name);
  if (n.find("TIMES") != std::string::npos)
    return bold ? "/usr/share/fonts/truetype/liberation/LiberationSerif-Bold.ttf"
                : "/usr/share/fonts/truetype/liberation/LiberationSerif-Regular.ttf";
  if (n.find("FIXEDSYS") != std::string::npos || n.find("SMALL FONTS") != std::string::npos ||
      n.find("COURIER") != std::string::npos)
    return bold ? "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf"
                : "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
  return bold ? "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf"
              : "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf";
}

TTF_Font* OpenFont(const std::string& name, float points, bool bold) {
  static std::map<std::tuple<std::string, int, bool>, TTF_Font*> cache;
  if (!TTF_WasInit() && TTF_Init() != 0) return nullptr;
  // Points at 96 dots per inch, as the game's fonts were sized.
  const int px = std::max(1, static_cast<int>(points * 96.0f / 72.0f + 0.5f));
  auto key = std::make_tuple(UCase(name), px, bold);
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  TTF_Font* f = TTF_OpenFont(FontFile(name, bold), px);
  if (!f) f = TTF_OpenFont("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", px);
  cache[key] = f;
  return f;
}
}  // namespace

void Surface::SetFont(const std::string& name, float points, bool bold) {
  fontName_ = name;
  fontPoints_ = points;
  fontBold_ = bold;
}

void Surface::SetForeColor(uint32_t rgb565) { foreColor_ = static_cast<uint16_t>(rgb565); }

void Surface::DrawText(int x, int y, const std::string& text, bool) {
  if (text.empty()) return;
  TTF_Font* font = OpenFont(fontName_, fontPoints_, fontBold_);
  if (!font) return;
  SDL_Color white{255, 255, 255, 255};
  SDL_Surface* glyphs = TTF_RenderUTF8_Solid(font, text.c_str(), white);
  if (!glyphs) return;
  // Solid rendering gives an 8-bit surface: index 0 is the background.
  for (int gy = 0; gy < glyphs->h; ++gy) {
    const int dy = y + gy;
    if (dy < 0 || dy >= height_) continue;
    const uint8_t* row = static_cast<const uint8_t*>(glyphs->pixels) + static_cast<ptrdiff_t>(gy) * glyphs->pitch;
    for (int gx = 0; gx < glyphs->w; ++gx) {
      const int dx = x + gx;
      if (dx < 0 || dx >= width_ || row[gx] == 0) continue;
      Row(dy)[dx] = foreColor_;
    }
  }
  SDL_FreeSurface(glyphs);
}

void Surface::FillColor(const RECT* area, uint16_t color) {
  RECT r = area ? *area : RECT{0, 0, width_, height_};
  r.Left = std::max<int32_t>(r.Left, 0);
  r.Top = std::max<int32_t>(r.Top, 0);
  r.Right = std::min<int32_t>(r.Right, width_);
  r.Bottom = std::min<int32_t>(r.Bottom, height_);
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) Row(y)[x] = color;
}

}  // namespace plat
