#pragma once
// 16-bit (RGB565) surfaces standing in for DirectDraw's, with the operations
// the game calls on them. Both DirectDraw families of the game share this one
// type: the "4" surfaces of the factory are the same surfaces.
#include <cstdint>
#include <memory>
#include <string>
#include <new>
#include <vector>

namespace plat {

// DirectDraw's RECT: right and bottom are exclusive.
struct RECT {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const RECT&) const = default;
};

// user32's IntersectRect: the common part of two rectangles. False, and an
// all-zero result, when they do not overlap (touching edges do not).
bool IntersectRect(RECT& out, const RECT& a, const RECT& b);

// The runtime's RGB: a colour value 0x00BBGGRR, as text and drawing colours
// are given. Fills and colour keys take RGB565 values instead.
constexpr int32_t RGB(int32_t r, int32_t g, int32_t b) { return (r & 255) | ((g & 255) << 8) | ((b & 255) << 16); }
// The RGB565 pixel a colour value is drawn with on a 16-bit surface.
constexpr uint16_t ColorTo565(int32_t colorValue) {
  return static_cast<uint16_t>(((colorValue & 0xF8) << 8) | ((colorValue >> 5) & 0x7E0) | ((colorValue >> 19) & 0x1F));
}

// Result codes: 0 is success, as DD_OK. Failures carry DirectDraw's values.
constexpr int32_t DDErr(uint32_t code) { return static_cast<int32_t>(0x88760000u + code); }
constexpr int32_t DD_OK = 0;
constexpr int32_t DDERR_GENERIC = static_cast<int32_t>(0x80004005u);
constexpr int32_t DDERR_INVALIDPARAMS = static_cast<int32_t>(0x80070057u);
constexpr int32_t DDERR_INVALIDRECT = DDErr(150);
constexpr int32_t DDERR_NOCOLORKEY = DDErr(215);
constexpr int32_t DDERR_NOTFOUND = DDErr(255);
constexpr int32_t DDERR_NORASTEROPHW = DDErr(280);
constexpr int32_t DDERR_OUTOFVIDEOMEMORY = DDErr(380);
constexpr int32_t DDERR_NOTFLIPPABLE = DDErr(582);

// BltFast flags.
constexpr int32_t DDBLTFAST_NOCOLORKEY = 0x0;
constexpr int32_t DDBLTFAST_SRCCOLORKEY = 0x1;
constexpr int32_t DDBLTFAST_DESTCOLORKEY = 0x2;
constexpr int32_t DDBLTFAST_WAIT = 0x10;
constexpr int32_t DDBLTFAST_DONOTWAIT = 0x20;
// Blt flags.
constexpr int32_t DDBLT_COLORFILL = 0x400;
constexpr int32_t DDBLT_KEYDEST = 0x2000;
constexpr int32_t DDBLT_KEYSRC = 0x8000;
constexpr int32_t DDBLT_ROP = 0x20000;
constexpr int32_t DDBLT_WAIT = 0x1000000;
constexpr int32_t DDBLT_DONOTWAIT = 0x8000000;
// Raster operations of BltFx.
constexpr int32_t SRCCOPY = 0xCC0020;
constexpr int32_t SRCPAINT = 0xEE0086;  // destination OR source
// Colour-key flags: without DDCKEY_COLORSPACE only the low value is the key.
constexpr int32_t DDCKEY_COLORSPACE = 0x1;
constexpr int32_t DDCKEY_DESTBLT = 0x2;
constexpr int32_t DDCKEY_SRCBLT = 0x8;
// Surface description flags and capabilities.
constexpr int32_t DDSD_CAPS = 0x1;
constexpr int32_t DDSD_HEIGHT = 0x2;
constexpr int32_t DDSD_WIDTH = 0x4;
constexpr int32_t DDSD_PITCH = 0x8;
constexpr int32_t DDSD_BACKBUFFERCOUNT = 0x20;
constexpr int32_t DDSD_PIXELFORMAT = 0x1000;
constexpr int32_t DDSCAPS_ALPHA = 0x2;
constexpr int32_t DDSCAPS_BACKBUFFER = 0x4;
constexpr int32_t DDSCAPS_COMPLEX = 0x8;
constexpr int32_t DDSCAPS_FLIP = 0x10;
constexpr int32_t DDSCAPS_FRONTBUFFER = 0x20;
constexpr int32_t DDSCAPS_OFFSCREENPLAIN = 0x40;
constexpr int32_t DDSCAPS_PRIMARYSURFACE = 0x200;
constexpr int32_t DDSCAPS_SYSTEMMEMORY = 0x800;
constexpr int32_t DDSCAPS_VIDEOMEMORY = 0x4000;
constexpr int32_t DDPF_RGB = 0x40;
// Display capabilities.
constexpr int32_t DDCAPS_BLT = 0x40;
constexpr int32_t DDCAPS_BLTSTRETCH = 0x200;
constexpr int32_t DDCAPS_COLORKEY = 0x400000;
constexpr int32_t DDCAPS_BLTCOLORFILL = 0x4000000;
constexpr int32_t DDCKEYCAPS_SRCBLT = 0x200;

struct DDSCAPS2 {
  int32_t lCaps = 0;
  int32_t lCaps2 = 0;
};

struct DDPIXELFORMAT {
  int32_t lFlags = 0;
  int32_t lRGBBitCount = 0;
  int32_t lRBitMask = 0, lGBitMask = 0, lBBitMask = 0;
  // Depth formats (the 3D device's z-buffers).
  int32_t lZBufferBitDepth = 0;
  uint32_t lZBitMask = 0;
};

struct DDSURFACEDESC2 {
  int32_t lFlags = 0;
  int32_t lWidth = 0, lHeight = 0;
  int32_t lPitch = 0;  // bytes per row
  int32_t lBackBufferCount = 0;
  DDSCAPS2 ddsCaps;
  DDPIXELFORMAT ddpfPixelFormat;
};

struct DDBLTFX {
  int32_t lROP = 0;
};

struct DDCAPS {
  int32_t lCaps = 0;
  int32_t lCKeyCaps = 0;
  DDSCAPS2 ddsCaps;
  // One bit per raster operation, indexed by its high byte.
  int32_t lRops[8] = {};
  int32_t lVidMemTotal = 0;
  int32_t lVidMemFree = 0;
};

// The font given to a surface for its text. Size in points (96 dots per
// inch); names are the game's and are mapped to installed faces.
struct Font {
  std::string Name = "Arial";
  float Size = 12.0f;
  bool Bold = false;
};

// Where a surface's pixels start: how fast the fills and blits run must not
// depend on where the heap happened to place them. Pixel rows start on a
// cache line, a large surface on a page of its own.
template <class T>
struct SurfaceAllocator {
  using value_type = T;
  SurfaceAllocator() = default;
  template <class U>
  SurfaceAllocator(const SurfaceAllocator<U>&) {}
  static std::align_val_t AlignFor(size_t n) {
    return std::align_val_t{n * sizeof(T) >= 65536 ? size_t{4096} : size_t{64}};
  }
  T* allocate(size_t n) { return static_cast<T*>(::operator new(n * sizeof(T), AlignFor(n))); }
  void deallocate(T* p, size_t n) { ::operator delete(p, AlignFor(n)); }
  template <class U>
  bool operator==(const SurfaceAllocator<U>&) const { return true; }
};

class Surface;
using SurfacePtr = std::shared_ptr<Surface>;
struct VideoMemoryPool;

class Surface {
 public:
  // A plain off-screen surface in system memory, all black.
  Surface(int width, int height);
  virtual ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  int PitchPixels() const { return width_; }
  uint16_t* Pixels() { return pixels_.data(); }
  const uint16_t* Pixels() const { return pixels_.data(); }
  uint16_t* Row(int y) { return pixels_.data() + static_cast<size_t>(y) * width_; }
  const uint16_t* Row(int y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }

  // Size, pitch, pixel format and capabilities.
  void GetSurfaceDesc(DDSURFACEDESC2& desc) const;
  int32_t Caps() const { return caps_; }

  // Blits. What falls outside this surface is cut off; so is what would come
  // from outside the source. An empty or inverted rectangle draws nothing and
  // gives DDERR_INVALIDRECT; a colour-keyed blit from a source without a
  // colour key draws nothing and gives DDERR_NOCOLORKEY. The wait flags need
  // no waiting: every blit is complete when it returns.
  //
  // src's rectangle (all of src when null) to (x, y), unscaled.
  int32_t BltFast(int32_t x, int32_t y, const Surface* src, const RECT* srcRect, int32_t flags);
  // src's rectangle into destRect (all of this surface when null), stretched
  // by nearest sampling; DDBLT_KEYSRC skips the source's key colours and
  // DDBLT_COLORFILL is not taken here (see BltColorFill).
  int32_t Blt(const RECT* destRect, const Surface* src, const RECT* srcRect, int32_t flags);
  // Blt with a raster operation (DDBLT_ROP): SRCCOPY, or SRCPAINT, which ORs
  // the source into the destination. Other operations are not supported.
  int32_t BltFx(const RECT* destRect, const Surface* src, const RECT* srcRect, int32_t flags, const DDBLTFX& fx);
  int32_t BltColorFill(const RECT* destRect, uint16_t color);

  // The source colour key (flags with DDCKEY_SRCBLT; other keys are
  // refused): pixels from low to high (low alone without DDCKEY_COLORSPACE)
  // are not copied by keyed blits.
  int32_t SetColorKey(int32_t flags, uint16_t low, uint16_t high);
  bool HasColorKey() const { return hasColorKey_; }
  uint16_t ColorKeyLow() const { return keyLow_; }
  uint16_t ColorKeyHigh() const { return keyHigh_; }

  // Text in the surface's font and fore colour, transparent background;
  // (x, y) is the top-left of the text cell.
  void SetFont(const Font& font);
  void SetFont(const std::string& name, float points, bool bold);
  const Font& GetFont() const { return font_; }
  // A colour value as RGB gives it (0x00BBGGRR).
  void SetForeColor(int32_t colorValue);
  int32_t GetForeColor() const { return foreColor_; }
  void DrawText(int32_t x, int32_t y, const std::string& text);
  // The width in pixels DrawText gives the text in the current font.
  int32_t TextWidth(const std::string& text) const;
  // The same for a text already in UTF-8, such as a file's name as the
  // system spells it, with letters the code page lacks.
  void DrawUtf8Text(int32_t x, int32_t y, const std::string& utf8);
  int32_t Utf8TextWidth(const std::string& utf8) const;
  // Outlines in the fore colour. Box and line end before their right,
  // bottom and last point, as the Windows drawing calls do.
  void DrawBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  void DrawCircle(int32_t x, int32_t y, int32_t radius);
  void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2);

  // The pixels are always reachable; Lock only describes them. Pixels
  // outside the surface read as 0 and are not written.
  int32_t Lock(const RECT* area, DDSURFACEDESC2& desc, int32_t flags);
  int32_t Unlock(const RECT* area);
  int32_t GetLockedPixel(int32_t x, int32_t y) const;
  void SetLockedPixel(int32_t x, int32_t y, int32_t color);

  // Surfaces are never lost here.
  int32_t IsLost() const { return DD_OK; }
  int32_t Restore() { return DD_OK; }

  // The primary surface: whatever is drawn on it shows in the window at
  // once; Flip shows the back buffer's frame and swaps the two, paced to
  // the next 1/60 s tick like a display's refresh (not while a test has
  // fixed the clock).
  bool IsPrimary() const { return (caps_ & DDSCAPS_PRIMARYSURFACE) != 0; }
  // The back buffer of a flipping primary; raises plat::RuntimeError when
  // there is none.
  SurfacePtr GetAttachedSurface(const DDSCAPS2& caps) const;
  int32_t Flip(const Surface* override_, int32_t flags);

 private:
  friend class DirectDraw;
  void Shown();
  void DrawGlyphs(int32_t x, int32_t y, const std::string& text, bool inUtf8);
  void PresentFront();

  int width_, height_;
  std::vector<uint16_t, SurfaceAllocator<uint16_t>> pixels_;
  int32_t caps_ = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
  bool hasColorKey_ = false;
  uint16_t keyLow_ = 0, keyHigh_ = 0;
  Font font_;
  int32_t foreColor_ = 0;
  SurfacePtr backBuffer_;
  std::shared_ptr<VideoMemoryPool> videoMemory_;  // set while the surface holds video memory
  int64_t videoBytes_ = 0;
};

// Waits for the display's next refresh (a 1/60 s tick), as Flip does; at
// once while a test has fixed the clock. Screens that copy their frame onto
// the primary surface instead of flipping pace themselves with it.
void WaitForRefresh();

// Larger surfaces than this are refused, as a display card would.
inline constexpr int32_t kMaxPictureSide = 16384;

// The most bytes a picture file may have: far above the game's largest
// (a 640 x 480 bitmap is under 1 MiB, a battle's tank sheet about 1 MiB),
// so a file that size is no picture of the game's and is never read.
inline constexpr uint64_t kMostPictureBytes = uint64_t{32} << 20;

// Decodes a BMP or JPG file (native path) into a new system-memory surface
// of its own size; null when the file cannot be read or decoded, or is
// larger than any surface may be. error, when given, holds why the file
// could not be read, as plat::ReadAllBytes words it (kTooLargeToRead past
// kMostPictureBytes, found before reading; kNotAFile for a FIFO or a
// device, never waited on), or 0 when it was read.
SurfacePtr LoadPictureFile(const std::string& nativePath, int* error = nullptr);
// The same for a picture's bytes in memory (an archive member, say).
SurfacePtr DecodePicture(const uint8_t* data, size_t size);
// A surface (or any RGB565 frame) as the bytes of a 24-bit Windows bitmap.
std::vector<uint8_t> EncodeBmp(const uint16_t* pixels, int width, int height, int pitchPixels);
// Writes that bitmap to a file, replacing what is there.
bool SaveBmp(const uint16_t* pixels, int width, int height, int pitchPixels, const std::string& nativePath);

// DirectDraw's display object: display mode and cooperative level are kept
// as state; the window shows the frame; surfaces are made here.
constexpr int32_t DDSCL_FULLSCREEN = 0x1;
constexpr int32_t DDSCL_NORMAL = 0x8;
constexpr int32_t DDSCL_EXCLUSIVE = 0x10;

class DirectDraw {
 public:
  DirectDraw();

  int32_t SetCooperativeLevel(void* window, int32_t flags);
  int32_t SetDisplayMode(int32_t width, int32_t height, int32_t bpp, int32_t refreshRate, int32_t flags);
  int32_t CooperativeLevel() const { return level_; }
  int32_t DisplayWidth() const { return width_; }
  int32_t DisplayHeight() const { return height_; }
  int32_t DisplayBpp() const { return bpp_; }

  // A surface as described: a primary surface of the display mode's size
  // (with one back buffer when asked), or an off-screen surface in video
  // memory, system memory, or wherever it fits when neither is named.
  // Raises plat::RuntimeError when the description cannot be met.
  SurfacePtr CreateSurface(const DDSURFACEDESC2& desc);
  // The same, holding the pixels of `picture` when it is a freshly decoded
  // picture (held nowhere else) of exactly the size asked for; otherwise
  // as above, and the caller copies the picture in.
  SurfacePtr CreateSurface(const DDSURFACEDESC2& desc, SurfacePtr picture);
  // Free bytes of the memory named by the capabilities (video memory).
  int32_t GetFreeMem(const DDSCAPS2& caps) const;
  void GetCaps(DDCAPS& hardware, DDCAPS& emulation) const;
  // Nothing is ever lost: both succeed at once.
  int32_t TestCooperativeLevel() const { return DD_OK; }
  int32_t RestoreAllSurfaces() { return DD_OK; }

  // Test hook: the free video memory from now on.
  void SetFreeVideoMemory(int64_t bytes);

 private:
  int32_t level_ = 0;
  int32_t width_ = 640, height_ = 480, bpp_ = 16;
  std::shared_ptr<VideoMemoryPool> videoMemory_;
};

// The DirectX root object.
class DirectX7 {
 public:
  std::shared_ptr<DirectDraw> DirectDrawCreate(const std::string& guid);
  // The desktop's colour depth in bits.
  int DisplayBitsPerPixel() const;
};

}  // namespace plat
