#pragma once
// Getting surfaces: the flipping primary surface, plain off-screen surfaces
// and pictures (BMP, JPG) from loose files or the archives, with the small
// surface utilities. The factory's "4" twins take the same surfaces and
// display objects, so each is the operation itself under its own name.
#include <cstdint>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/rects.hpp"
#include "platform/display/picture_decoder.hpp"
#include "platform/display/surface.hpp"
#include "platform/runtime/error.hpp"

namespace fw {

using DisplayPtr = std::shared_ptr<plat::DirectDraw>;
class qelPackage;

// Pictures of the menus and battles: a loose file (fileName, a game path
// such as AppPath & "\pic\X.bmp") is taken before the archive member of the
// same name, which is extracted, loaded and deleted again. A width or
// height of 0 keeps the picture's own size; both given stretch it. A
// picture that cannot be loaded raises plat::RuntimeError (and notes it in
// LastError); the result is otherwise true.
bool LoadSurfaceFromPack(const std::string& fileName, plat::SurfacePtr& surface, const DisplayPtr& dd,
                         bool useVideoMemory = false, int32_t width = 0, int32_t height = 0);
// Where LoadSurfaceFromPack takes a picture from, for messages, in UTF-8:
// the loose file's path, or the member and its archive ("X.bmp in
// Data.PAK").
std::string PicturePlace(const std::string& fileName);
// The same from "MissionPack"; the extracted copies stay when asked.
bool LoadSurfaceFromMissionPack(const std::string& fileName, plat::SurfacePtr& surface, const DisplayPtr& dd,
                                bool useVideoMemory, int32_t width, int32_t height, bool removeTempFiles);
// Always from the "Data" archive, without looking for a loose file.
bool LoadSurface4FromPack(const std::string& fileName, plat::SurfacePtr& surface, const DisplayPtr& dd,
                          bool useVideoMemory = false, int32_t width = 0, int32_t height = 0);

// Where a picture's bytes came from (a loose file, or a member named with
// its archive), the bytes if any were found, and why there were none; a
// loose file's place and cause are in UTF-8, as the system spells its name.
struct PictureSource {
  std::string Place;
  std::optional<std::vector<uint8_t>> Bytes;
  std::string Missing;
  plat::TextIn In = plat::TextIn::CodePage;
};

// Pictures that a loader is about to load one after another, as
// LoadSurfaceFromPack and LoadSurfaceFromMissionPack would (loose file
// first, copies removed), decoded ahead on worker threads so that a load of
// many large pictures uses several cores. Each is taken on the caller's
// thread when its turn comes, with the same rules, results and errors.
class SurfacePrefetch {
 public:
  // Starts decoding the picture; a name already begun is left as it is.
  void Begin(qelPackage& pack, const std::string& fileName);
  // False when the picture was not begun (nothing is done). Otherwise it is
  // taken and placed in `surface`; a picture that cannot be loaded raises
  // as the archive loaders do.
  bool Finish(qelPackage& pack, const std::string& fileName, plat::SurfacePtr& surface, const DisplayPtr& dd,
              bool useVideoMemory = false, int32_t width = 0, int32_t height = 0);
  // Drops what was begun and not taken; what no worker has started is not
  // decoded at all, and the workers end until the next Begin.
  void Clear() {
    pending_.clear();
    decoder_.reset();
  }

 private:
  struct Pending {
    PictureSource Source;
    std::future<plat::SurfacePtr> Picture;
  };
  std::unique_ptr<plat::PictureDecoder> decoder_;
  std::map<std::pair<const qelPackage*, std::string>, Pending> pending_;
};

// A picture file into a new surface, stretched to width x height when both
// are non-zero. A file that cannot be loaded raises plat::RuntimeError and
// leaves the surface variable as it was.
bool LoadPictureSurface(const std::string& fullPath, plat::SurfacePtr& surface, const DisplayPtr& dd, int32_t width,
                        int32_t height, bool useVideoMemory);
inline bool LoadPictureSurface4(const std::string& fullPath, plat::SurfacePtr& surface, const DisplayPtr& dd,
                                int32_t width, int32_t height, bool useVideoMemory) {
  return LoadPictureSurface(fullPath, surface, dd, width, height, useVideoMemory);
}

// The primary surface with one back buffer. On failure shows the two
// messages and returns false, leaving both variables as they were.
bool CreatePrimaryAndBackBuffer(plat::SurfacePtr& primary, plat::SurfacePtr& backBuffer, const DisplayPtr& dd);

// An off-screen surface, in video memory when allowed and more than
// width x height x 2 bytes are free. A surface that cannot be made raises
// plat::RuntimeError (Overflow when the byte count passes 32 bits).
void CreateOffscreenSurface(int32_t width, int32_t height, plat::SurfacePtr& surface, const DisplayPtr& dd,
                            bool useVideoMemory);
inline void CreateOffscreenSurface4(int32_t width, int32_t height, plat::SurfacePtr& surface, const DisplayPtr& dd,
                                    bool useVideoMemory) {
  CreateOffscreenSurface(width, height, surface, dd, useVideoMemory);
}

// (0, 0, width, height); all zero for an absent surface.
RECT GetSurfaceSize(const plat::SurfacePtr& surface);

void SetSurfaceColorKey(const plat::SurfacePtr& surface, int32_t flags, int32_t low, int32_t high);
inline void SetSurfaceColorKey4(const plat::SurfacePtr& surface, int32_t flags, int32_t low, int32_t high) {
  SetSurfaceColorKey(surface, flags, low, high);
}

// A new font of the name, size (points, already divided by FontScale) and
// weight, then the fore colour (a colour value as plat::RGB gives it).
void SetSurfaceFont(const plat::SurfacePtr& surface, const std::string& fontName, float size, int32_t foreColor,
                    bool bold);
inline void SetSurfaceFont4(const plat::SurfacePtr& surface, const std::string& fontName, float size,
                            int32_t foreColor, bool bold) {
  SetSurfaceFont(surface, fontName, size, foreColor, bold);
}

// Free video memory of DDraw in bytes (0 without a display object).
int32_t GetFreeVideoMemory();

// Cell n (from 1, row by row, clamped to the grid) of a surface divided
// into columns x rows; all zero for an absent surface.
void GetCellRect(RECT& r, const plat::SurfacePtr& surface, int32_t columns, int32_t rows, int32_t n);
inline void GetCellRect4(RECT& r, const plat::SurfacePtr& surface, int32_t columns, int32_t rows, int32_t n) {
  GetCellRect(r, surface, columns, rows, n);
}

}  // namespace fw
