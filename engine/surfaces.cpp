#include "engine/surfaces.hpp"

#include <algorithm>

#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "engine/sheet_cell.hpp"
#include "platform/display/message_box.hpp"
#include "platform/runtime/code_page.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/numeric.hpp"
#include "platform/runtime/strings.hpp"

namespace fw {
namespace {

// width x height x 2 as the runtime computes it: beyond 32 bits it overflows.
int32_t SurfaceBytes(int32_t width, int32_t height) {
  const int64_t bytes = int64_t{width} * height * 2;
  if (bytes < INT32_MIN || bytes > INT32_MAX)
    throw plat::RuntimeError(plat::ErrorCode::Overflow, "Overflow: a " + std::to_string(width) + "x" +
                                                            std::to_string(height) + " surface");
  return static_cast<int32_t>(bytes);
}

// Video memory only when allowed and more than the surface's bytes are free.
bool InVideoMemory(bool useVideoMemory, int32_t width, int32_t height) {
  const int32_t bytes = SurfaceBytes(width, height);
  return useVideoMemory && GetFreeVideoMemory() > bytes;
}

plat::SurfacePtr NewOffscreen(int32_t width, int32_t height, bool video, const DisplayPtr& dd,
                              plat::SurfacePtr picture = nullptr) {
  plat::DDSURFACEDESC2 desc;
  desc.lFlags = plat::DDSD_CAPS | plat::DDSD_HEIGHT | plat::DDSD_WIDTH;
  desc.lWidth = width;
  desc.lHeight = height;
  desc.ddsCaps.lCaps =
      plat::DDSCAPS_OFFSCREENPLAIN | (video ? plat::DDSCAPS_VIDEOMEMORY : plat::DDSCAPS_SYSTEMMEMORY);
  if (dd) return dd->CreateSurface(desc, std::move(picture));
  // Without a display object the surface is made where it always can be.
  desc.ddsCaps.lCaps = plat::DDSCAPS_OFFSCREENPLAIN | plat::DDSCAPS_SYSTEMMEMORY;
  return plat::DirectDraw().CreateSurface(desc, std::move(picture));
}

// A relative game path is taken from the program folder, which the game
// makes its current directory.
std::string Rooted(const std::string& path) {
  if (!path.empty() && (path[0] == '/' || path[0] == '\\')) return path;
  return plat::ProgramFolder() + "\\" + path;
}

// Deletes the archive's copies when the load is done, whether it worked or
// not, so no temporary file is left behind.
class TempCopies {
 public:
  TempCopies(qelPackage& pack, bool remove) : pack_(pack), remove_(remove) {}
  ~TempCopies() {
    if (remove_) pack_.RemoveTempFile();
  }
  TempCopies(const TempCopies&) = delete;
  TempCopies& operator=(const TempCopies&) = delete;

 private:
  qelPackage& pack_;
  bool remove_;
};

// A member's bytes, named for the player by the archive rather than by the
// game's private copy of it.
PictureSource MemberSource(qelPackage& pack, const std::string& member, std::optional<std::vector<uint8_t>> bytes) {
  PictureSource source{pack.MemberPlace(member), std::move(bytes), ""};
  if (!source.Bytes) source.Missing = pack.WhyUnreadable(member, plat::kMostPictureBytes);
  return source;
}

// A loose picture's bytes; why there are none names the file: not found
// when nothing is there, else what keeps it from being read (a FIFO, a
// size no picture has).
PictureSource LooseSource(const std::string& gamePath) {
  PictureSource source;
  source.Place = plat::NativePath(gamePath);
  source.In = plat::TextIn::Utf8;
  int error = 0;
  source.Bytes = plat::ReadAllBytes(gamePath, &error, plat::kMostPictureBytes);
  source.Missing = plat::NotThere(error) ? "File not found: " + source.Place
                                         : "Invalid picture: " + source.Place + ": " + plat::SystemErrorText(error);
  return source;
}

// A picture's bytes: the loose file's when there is one (and looked for),
// else the archive member's, read from the archive without a temporary
// copy, since the copy would be deleted right after the load anyway.
PictureSource FindPicture(qelPackage& pack, bool looseFirst, const std::string& fileName) {
  if (looseFirst && !plat::Dir(Rooted(fileName)).empty()) return LooseSource(Rooted(fileName));
  const std::string member = qelPackage::GetFileName(fileName);
  return MemberSource(pack, member, pack.ReadMember(member, plat::kMostPictureBytes));
}

// The picture in the caller's surface: its memory chosen once from the
// picture's own size, stretched when both sizes are given.
// A picture of the surface's own size that nothing else holds becomes the
// surface; otherwise it is copied (or stretched) in.
void PlacePicture(plat::SurfacePtr picture, plat::SurfacePtr& surface, const DisplayPtr& dd, int32_t width,
                  int32_t height, bool useVideoMemory) {
  const bool video = InVideoMemory(useVideoMemory, picture->Width(), picture->Height());
  const bool stretch = width != 0 && height != 0;
  const int32_t w = stretch ? width : picture->Width(), h = stretch ? height : picture->Height();
  SurfaceBytes(w, h);
  const plat::Surface* source = picture.get();
  plat::SurfacePtr target = NewOffscreen(w, h, video, dd, stretch ? nullptr : std::move(picture));
  if (target.get() != source) {
    const RECT whole{0, 0, w, h};
    target->Blt(&whole, source, nullptr, plat::DDBLT_WAIT);
  }
  surface = std::move(target);
}

// Raises as a picture file that could not be loaded does: not found when
// there were no bytes, invalid when they did not decode.
void PlaceLoaded(const PictureSource& source, plat::SurfacePtr picture, plat::SurfacePtr& surface,
                 const DisplayPtr& dd, bool useVideoMemory, int32_t width, int32_t height) {
  if (!picture) {
    if (!source.Bytes) throw plat::RuntimeError(plat::ErrorCode::FileNotFound, source.Missing, source.In);
    throw plat::RuntimeError(plat::ErrorCode::General, "Invalid picture: " + source.Place, source.In);
  }
  PlacePicture(std::move(picture), surface, dd, width, height, useVideoMemory);
}

void DecodeAndPlace(const PictureSource& source, plat::SurfacePtr& surface, const DisplayPtr& dd, bool useVideoMemory,
                    int32_t width, int32_t height) {
  plat::SurfacePtr picture = source.Bytes ? plat::DecodePicture(source.Bytes->data(), source.Bytes->size()) : nullptr;
  PlaceLoaded(source, std::move(picture), surface, dd, useVideoMemory, width, height);
}

// A game path as the player reads it, in UTF-8: the program folder as the
// system spells it (any letters), the rest in the game's code page.
std::string SpeltGamePath(const std::string& gamePath) {
  const std::string& root = plat::ProgramFolder();
  if (!root.empty() && gamePath.starts_with(root)) return root + plat::ToUtf8(gamePath.substr(root.size()));
  return plat::ToUtf8(gamePath);
}

// Messages that name files on this machine are made in UTF-8 whole: a
// folder's letters the code page lacks then reach the player as spelt.
[[noreturn]] void RaiseLoadError(const std::string& fileName, const plat::RuntimeError& e) {
  LastError = "Load File:" + fileName + " Faild";
  throw plat::RuntimeError(e.code(), "Unable to load the picture " + SpeltGamePath(fileName) + ": " + e.Utf8(),
                           plat::TextIn::Utf8);
}

bool LoadFromArchive(qelPackage& pack, bool looseFirst, const std::string& fileName, plat::SurfacePtr& surface,
                     const DisplayPtr& dd, bool useVideoMemory, int32_t width, int32_t height, bool removeTempFiles) {
  TempCopies cleanup(pack, removeTempFiles);
  try {
    // A copy that is to stay is made as the archive makes copies.
    const bool keepCopy = !removeTempFiles && !(looseFirst && !plat::Dir(Rooted(fileName)).empty());
    if (keepCopy) {
      const std::string member = qelPackage::GetFileName(fileName);
      pack.Extract(member);
      const PictureSource copy =
          MemberSource(pack, member, plat::ReadAllBytes(pack.TempPath + member, nullptr, plat::kMostPictureBytes));
      DecodeAndPlace(copy, surface, dd, useVideoMemory, width, height);
      return true;
    }
    DecodeAndPlace(FindPicture(pack, looseFirst, fileName), surface, dd, useVideoMemory, width, height);
    return true;
  } catch (const plat::RuntimeError& e) {
    RaiseLoadError(fileName, e);
  }
}

}  // namespace

bool LoadSurfaceFromPack(const std::string& fileName, plat::SurfacePtr& surface, const DisplayPtr& dd,
                         bool useVideoMemory, int32_t width, int32_t height) {
  return LoadFromArchive(*DataPack, true, fileName, surface, dd, useVideoMemory, width, height, true);
}

std::string PicturePlace(const std::string& fileName) {
  if (!plat::Dir(Rooted(fileName)).empty()) return plat::NativePath(Rooted(fileName));
  return plat::ToUtf8(DataPack->MemberPlace(qelPackage::GetFileName(fileName)));
}

bool LoadSurfaceFromMissionPack(const std::string& fileName, plat::SurfacePtr& surface, const DisplayPtr& dd,
                                bool useVideoMemory, int32_t width, int32_t height, bool removeTempFiles) {
  return LoadFromArchive(*MissionPack, true, fileName, surface, dd, useVideoMemory, width, height, removeTempFiles);
}

bool LoadSurface4FromPack(const std::string& fileName, plat::SurfacePtr& surface, const DisplayPtr& dd,
                          bool useVideoMemory, int32_t width, int32_t height) {
  return LoadFromArchive(*DataPack, false, fileName, surface, dd, useVideoMemory, width, height, true);
}

bool LoadPictureSurface(const std::string& fullPath, plat::SurfacePtr& surface, const DisplayPtr& dd, int32_t width,
                        int32_t height, bool useVideoMemory) {
  const std::string native = plat::NativePath(fullPath);
  int error = 0;
  plat::SurfacePtr picture = plat::LoadPictureFile(native, &error);
  if (!picture) {
    if (plat::NotThere(error))
      throw plat::RuntimeError(plat::ErrorCode::FileNotFound, "File not found: " + native, plat::TextIn::Utf8);
    throw plat::RuntimeError(plat::ErrorCode::General,
                             "Invalid picture: " + native + (error != 0 ? ": " + plat::SystemErrorText(error) : ""),
                             plat::TextIn::Utf8);
  }
  PlacePicture(std::move(picture), surface, dd, width, height, useVideoMemory);
  return true;
}

void SurfacePrefetch::Begin(qelPackage& pack, const std::string& fileName) {
  const auto key = std::make_pair(&pack, plat::UCase(fileName));
  if (pending_.count(key)) return;
  Pending p;
  try {
    p.Source = FindPicture(pack, true, fileName);
  } catch (const plat::RuntimeError&) {
    return;  // the load itself raises it in its turn
  }
  if (p.Source.Bytes) {
    if (!decoder_) decoder_ = std::make_unique<plat::PictureDecoder>();
    p.Picture = decoder_->Decode(std::move(*p.Source.Bytes));
  }
  pending_.emplace(key, std::move(p));
}

bool SurfacePrefetch::Finish(qelPackage& pack, const std::string& fileName, plat::SurfacePtr& surface,
                             const DisplayPtr& dd, bool useVideoMemory, int32_t width, int32_t height) {
  const auto it = pending_.find(std::make_pair(&pack, plat::UCase(fileName)));
  if (it == pending_.end()) return false;
  Pending p = std::move(it->second);
  pending_.erase(it);
  TempCopies cleanup(pack, true);
  try {
    plat::SurfacePtr picture = p.Picture.valid() ? p.Picture.get() : nullptr;
    PlaceLoaded(p.Source, std::move(picture), surface, dd, useVideoMemory, width, height);
    return true;
  } catch (const plat::RuntimeError& e) {
    RaiseLoadError(fileName, e);
  }
}

bool CreatePrimaryAndBackBuffer(plat::SurfacePtr& primary, plat::SurfacePtr& backBuffer, const DisplayPtr& dd) {
  try {
    if (!dd) throw plat::RuntimeError(plat::ErrorCode::ObjectMissing, "Object variable not set");
    plat::DDSURFACEDESC2 desc;
    desc.lFlags = plat::DDSD_CAPS | plat::DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.lCaps = plat::DDSCAPS_PRIMARYSURFACE | plat::DDSCAPS_FLIP | plat::DDSCAPS_COMPLEX;
    desc.lBackBufferCount = 1;
    plat::SurfacePtr front = dd->CreateSurface(desc);
    plat::SurfacePtr back = front->GetAttachedSurface(plat::DDSCAPS2{plat::DDSCAPS_BACKBUFFER, 0});
    primary = std::move(front);
    backBuffer = std::move(back);
    return true;
  } catch (const plat::RuntimeError&) {
    plat::MsgBox("Can't Create Primary Surface!");
    plat::MsgBox("Please install DiredtX7.0a.");
    return false;
  }
}

void CreateOffscreenSurface(int32_t width, int32_t height, plat::SurfacePtr& surface, const DisplayPtr& dd,
                            bool useVideoMemory) {
  surface = NewOffscreen(width, height, InVideoMemory(useVideoMemory, width, height), dd);
}

RECT GetSurfaceSize(const plat::SurfacePtr& surface) {
  if (!surface) return RECT{};
  plat::DDSURFACEDESC2 desc;
  surface->GetSurfaceDesc(desc);
  return RECT{0, 0, desc.lWidth, desc.lHeight};
}

void SetSurfaceColorKey(const plat::SurfacePtr& surface, int32_t flags, int32_t low, int32_t high) {
  if (!surface) throw plat::RuntimeError(plat::ErrorCode::ObjectMissing, "Object variable not set: no surface");
  surface->SetColorKey(flags, static_cast<uint16_t>(low), static_cast<uint16_t>(high));
}

void SetSurfaceFont(const plat::SurfacePtr& surface, const std::string& fontName, float size, int32_t foreColor,
                    bool bold) {
  if (!surface) throw plat::RuntimeError(plat::ErrorCode::ObjectMissing, "Object variable not set: no surface");
  surface->SetFont(plat::Font{fontName, size, bold});
  surface->SetForeColor(foreColor);
}

int32_t GetFreeVideoMemory() { return DDraw ? DDraw->GetFreeMem(plat::DDSCAPS2{plat::DDSCAPS_VIDEOMEMORY, 0}) : 0; }

void GetCellRect(RECT& r, const plat::SurfacePtr& surface, int32_t columns, int32_t rows, int32_t n) {
  if (!surface) {
    r = RECT{};
    return;
  }
  if (columns <= 0 || rows <= 0)
    throw plat::RuntimeError(plat::ErrorCode::General, "Division by zero: a picture of no cells");
  const int64_t cells = int64_t{columns} * rows;
  const int64_t cell = std::clamp<int64_t>(n, 1, cells);
  r = CellOfFrame(surface->Width(), surface->Height(), columns, rows, static_cast<int32_t>(cell)).Rect();
}

}  // namespace fw
