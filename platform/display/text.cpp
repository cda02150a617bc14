// Text on surfaces through SDL2_ttf. The game names Windows fonts; each is
// mapped to a Debian face of like kind, and text with characters the face
// lacks (the game's Chinese texts, a player's name) is drawn in a CJK face.
#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/display/surface.hpp"
#include "platform/runtime/code_page.hpp"
#include "platform/runtime/owned.hpp"
#include "platform/runtime/strings.hpp"

namespace plat {
namespace {

constexpr const char* kSans = "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf";
constexpr const char* kSansBold = "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf";
constexpr const char* kSerif = "/usr/share/fonts/truetype/liberation/LiberationSerif-Regular.ttf";
constexpr const char* kSerifBold = "/usr/share/fonts/truetype/liberation/LiberationSerif-Bold.ttf";
constexpr const char* kMono = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
constexpr const char* kMonoBold = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf";
constexpr const char* kCjk = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";
constexpr const char* kLastResort = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

bool Contains(const std::string& upperName, std::initializer_list<const char*> parts) {
  return std::any_of(parts.begin(), parts.end(),
                     [&](const char* p) { return upperName.find(p) != std::string::npos; });
}

bool IsCjkName(const std::string& upperName) {
  // Any name written in CJK characters, or a known CJK face.
  if (std::any_of(upperName.begin(), upperName.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
    return true;
  return Contains(upperName, {"MINGLIU", "SIMSUN", "SIMHEI", "KAITI", "DFKAI", "YAHEI", "JHENGHEI", "GULIM", "BATANG"});
}

const char* FontFile(const std::string& name, bool bold) {
  const std::string n = UCase(name);
  if (IsCjkName(n)) return kCjk;
  if (Contains(n, {"TIMES", "SERIF", "GEORGIA"}) && n.find("SANS") == std::string::npos) return bold ? kSerifBold : kSerif;
  if (Contains(n, {"FIXEDSYS", "SMALL FONTS", "COURIER", "TERMINAL", "CONSOL", "MONO"})) return bold ? kMonoBold : kMono;
  return bold ? kSansBold : kSans;
}

// Faces stay open for the run and are closed at its end, before the
// library itself.
struct FaceCache {
  std::map<std::tuple<std::string, int, bool>, Owned<TTF_Font, TTF_CloseFont>> faces;
  ~FaceCache() {
    faces.clear();
    if (TTF_WasInit()) TTF_Quit();
  }
};

TTF_Font* OpenFace(const char* file, int pixels, bool bold) {
  static FaceCache cache;
  if (!TTF_WasInit() && TTF_Init() != 0) return nullptr;
  const auto key = std::make_tuple(std::string(file), pixels, bold);
  if (auto it = cache.faces.find(key); it != cache.faces.end()) return it->second.get();
  TTF_Font* f = TTF_OpenFont(file, pixels);
  if (!f) f = TTF_OpenFont(kLastResort, pixels);
  if (f) {
    // Text is drawn without smoothing, as on the game's 16-bit display, so
    // hinting for single-bit glyphs gives the crispest letters.
    TTF_SetFontHinting(f, TTF_HINTING_MONO);
    // Faces without a bold cut are emboldened.
    if (bold && (file == kCjk || file == kLastResort)) TTF_SetFontStyle(f, TTF_STYLE_BOLD);
  }
  cache.faces[key].reset(f);
  return f;
}

// Whether the face has a glyph for every character of the text.
bool CoversText(TTF_Font* font, const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    uint32_t cp = c;
    int more = 0;
    if (c >= 0xF0) {
      cp = c & 0x07;
      more = 3;
    } else if (c >= 0xE0) {
      cp = c & 0x0F;
      more = 2;
    } else if (c >= 0xC0) {
      cp = c & 0x1F;
      more = 1;
    }
    ++i;
    for (; more > 0 && i < text.size(); --more, ++i) cp = (cp << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    if (cp >= 0x20 && !TTF_GlyphIsProvided32(font, cp)) return false;
  }
  return true;
}
}  // namespace

void Surface::SetFont(const Font& font) { font_ = font; }

void Surface::SetFont(const std::string& name, float points, bool bold) { SetFont(Font{name, points, bold}); }

void Surface::SetForeColor(int32_t colorValue) { foreColor_ = colorValue; }

namespace {
// The face DrawText uses for a text in a font: the font's own, or the CJK
// face when the font lacks some of the text's characters.
TTF_Font* FaceFor(const Font& f, const std::string& text) {
  // Sizes are points at 96 dots per inch: the em is 4/3 of the size in pixels.
  const int pixels = std::clamp(static_cast<int>(std::lround(f.Size * 96.0f / 72.0f)), 1, 512);
  const char* file = FontFile(f.Name, f.Bold);
  TTF_Font* font = OpenFace(file, pixels, f.Bold);
  if (font && file != kCjk && !CoversText(font, text)) font = OpenFace(kCjk, pixels, f.Bold);
  return font;
}
}  // namespace

int32_t Surface::TextWidth(const std::string& text) const { return Utf8TextWidth(ToUtf8(text)); }

int32_t Surface::Utf8TextWidth(const std::string& utf8) const {
  if (utf8.empty()) return 0;
  TTF_Font* font = FaceFor(font_, utf8);
  int w = 0, h = 0;
  if (!font || TTF_SizeUTF8(font, utf8.c_str(), &w, &h) != 0) return 0;
  return w;
}

namespace {
// A text drawn once in a font, kept as its glyph mask: the battles draw the
// same names and scores every frame, and rendering them again cost more
// than the rest of the frame's texts together.
struct RenderedText {
  int w = 0, h = 0;
  std::vector<uint8_t> mask;  // 1 where the text's pixels are
};

// The same bytes are other letters in the code page and in UTF-8: the text's
// kind is part of its key.
const RenderedText* Rendered(const Font& f, const std::string& text, bool inUtf8) {
  using Key = std::tuple<std::string, float, bool, std::string, bool>;
  static std::map<Key, RenderedText> kept;
  constexpr size_t kMaxKept = 1024, kMaxKeptBytes = 256;
  Key key{f.Name, f.Size, f.Bold, text, inUtf8};
  if (auto it = kept.find(key); it != kept.end()) return &it->second;
  // The game's text is in its code page; the faces are indexed by Unicode.
  const std::string utf8 = inUtf8 ? text : ToUtf8(text);
  TTF_Font* font = FaceFor(f, utf8);
  if (!font) return nullptr;
  const Owned<SDL_Surface, SDL_FreeSurface> glyphs(
      TTF_RenderUTF8_Solid(font, utf8.c_str(), SDL_Color{255, 255, 255, 255}));
  if (!glyphs) return nullptr;
  // Solid rendering gives an 8-bit surface whose index 0 is the background.
  RenderedText r;
  r.w = glyphs->w;
  r.h = glyphs->h;
  r.mask.resize(static_cast<size_t>(r.w) * static_cast<size_t>(r.h));
  for (int gy = 0; gy < r.h; ++gy) {
    const uint8_t* in = static_cast<const uint8_t*>(glyphs->pixels) + static_cast<int64_t>(gy) * glyphs->pitch;
    for (int gx = 0; gx < r.w; ++gx) r.mask[static_cast<size_t>(gy) * r.w + gx] = in[gx] != 0;
  }
  if (text.size() > kMaxKeptBytes) {
    static RenderedText once;
    once = std::move(r);
    return &once;
  }
  if (kept.size() >= kMaxKept) kept.clear();
  return &kept.emplace(std::move(key), std::move(r)).first->second;
}
}  // namespace

void Surface::DrawText(int32_t x, int32_t y, const std::string& text) { DrawGlyphs(x, y, text, false); }

void Surface::DrawUtf8Text(int32_t x, int32_t y, const std::string& utf8) { DrawGlyphs(x, y, utf8, true); }

void Surface::DrawGlyphs(int32_t x, int32_t y, const std::string& text, bool inUtf8) {
  if (text.empty()) return;
  const RenderedText* glyphs = Rendered(font_, text, inUtf8);
  if (!glyphs) return;
  const uint16_t color = ColorTo565(foreColor_);
  const int64_t gx0 = std::max<int64_t>(0, -int64_t{x}), gy0 = std::max<int64_t>(0, -int64_t{y});
  const int64_t gx1 = std::min<int64_t>(glyphs->w, int64_t{width_} - x);
  const int64_t gy1 = std::min<int64_t>(glyphs->h, int64_t{height_} - y);
  for (int64_t gy = gy0; gy < gy1; ++gy) {
    const uint8_t* in = glyphs->mask.data() + gy * glyphs->w;
    uint16_t* out = Row(static_cast<int>(y + gy));
    for (int64_t gx = gx0; gx < gx1; ++gx)
      if (in[gx] != 0) out[x + gx] = color;
  }
  Shown();
}

}  // namespace plat
