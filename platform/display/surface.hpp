#pragma once
// 16-bit (RGB565) surfaces standing in for DirectDraw's, with the operations
// the game calls on them. Both DirectDraw families of the game share this one
// type.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

// DirectDraw's RECT: right and bottom are exclusive.
struct RECT {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// Result codes: 0 is success, as DD_OK.
constexpr int DD_OK = 0;
constexpr int DDERR_GENERIC = -2147467259;
constexpr int DDERR_INVALIDRECT = -2005532530;

// Flags the game passes, with DirectDraw's values.
constexpr int DDBLTFAST_NOCOLORKEY = 0x0;
constexpr int DDBLTFAST_SRCCOLORKEY = 0x1;
constexpr int DDBLTFAST_DESTCOLORKEY = 0x2;
constexpr int DDBLTFAST_WAIT = 0x10;
constexpr int DDBLTFAST_DONOTWAIT = 0x20;
constexpr int DDCKEY_SRCBLT = 0x8;

class Surface;
using SurfacePtr = std::shared_ptr<Surface>;

class Surface {
 public:
  Surface(int width, int height);
  virtual ~Surface() = default;

  int Width() const { return width_; }
  int Height() const { return height_; }
  int PitchPixels() const { return width_; }
  uint16_t* Pixels() { return pixels_.data(); }
  const uint16_t* Pixels() const { return pixels_.data(); }
  uint16_t* Row(int y) { return pixels_.data() + static_cast<size_t>(y) * width_; }
  const uint16_t* Row(int y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }

  // Copies src's rectangle to (x, y), clipped to this surface; with
  // DDBLTFAST_SRCCOLORKEY, pixels in src's key range are skipped.
  int BltFast(int x, int y, const Surface* src, const RECT* srcRect, int flags);

  void SetColorKey(int flags, uint16_t low, uint16_t high);

  // Text in the surface's font and fore colour, transparent background. Font
  // names are the game's (Arial, Times New Roman, Fixedsys, ...), mapped to
  // installed faces; size in points.
  void SetFont(const std::string& name, float points, bool bold);
  void SetForeColor(uint32_t rgb565);
  void DrawText(int x, int y, const std::string& utf8Text, bool transparent = true);
  void FillColor(const RECT* area, uint16_t color);
  bool HasColorKey() const { return hasColorKey_; }
  uint16_t ColorKeyLow() const { return keyLow_; }
  uint16_t ColorKeyHigh() const { return keyHigh_; }

  // A primary surface with a back buffer: Flip shows the back buffer's frame
  // in the window and swaps the two.
  bool IsPrimary() const { return primary_; }
  SurfacePtr GetAttachedSurface() const { return backBuffer_; }
  int Flip(const Surface* override_, int flags);
  // Shows this primary surface's own pixels (after a blit onto it).
  void PresentFront();

  static SurfacePtr CreatePrimaryWithBackBuffer(int width, int height);

 private:
  int width_, height_;
  std::vector<uint16_t> pixels_;
  bool hasColorKey_ = false;
  uint16_t keyLow_ = 0, keyHigh_ = 0;
  bool primary_ = false;
  std::string fontName_ = "Arial";
  float fontPoints_ = 12.0f;
  bool fontBold_ = false;
  uint16_t foreColor_ = 0xFFFF;
  SurfacePtr backBuffer_;
};

// Decodes a BMP or JPG file into a new surface of its own size; null when the
// file cannot be read or decoded.
SurfacePtr LoadPictureFile(const std::string& nativePath);
// Writes a surface (or any RGB565 frame) as a 24-bit Windows bitmap.
bool SaveBmp(const uint16_t* pixels, int width, int height, int pitchPixels, const std::string& nativePath);

// DirectDraw's display object: display mode and cooperative level are kept
// as state; the window shows the frame.
constexpr int DDSCL_NORMAL = 0x8;
constexpr int DDSCL_FULLSCREEN = 0x1;
constexpr int DDSCL_EXCLUSIVE = 0x10;

class DirectDraw {
 public:
  int SetCooperativeLevel(void* window, int flags);
  int SetDisplayMode(int width, int height, int bpp, int refreshRate, int flags);
  int CooperativeLevel() const { return level_; }
  int DisplayWidth() const { return width_; }
  int DisplayHeight() const { return height_; }
  int DisplayBpp() const { return bpp_; }

 private:
  int level_ = 0;
  int width_ = 0, height_ = 0, bpp_ = 0;
};

// The DirectX root object.
class DirectX7 {
 public:
  std::shared_ptr<DirectDraw> DirectDrawCreate(const std::string& guid);
  // The desktop's colour depth in bits.
  int DisplayBitsPerPixel() const;
};

}  // namespace plat
