#include "engine/surfaces.hpp"

#include "platform/runtime/error.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/message_box.hpp"

namespace fw {

bool CreatePrimaryAndBackBuffer(plat::SurfacePtr& primary, plat::SurfacePtr& backBuffer,
                                const std::shared_ptr<plat::DirectDraw>& dd) {
  if (dd) {
    primary = plat::Surface::CreatePrimaryWithBackBuffer(640, 480);
    backBuffer = primary ? primary->GetAttachedSurface() : nullptr;
    if (primary && backBuffer) return true;
  }
  plat::MsgBox("Can't Create Primary Surface!");
  plat::MsgBox("Please install DiredtX7.0a.");
  return false;
}

bool LoadPictureSurface(const std::string& fullPath, plat::SurfacePtr& surface,
                        const std::shared_ptr<plat::DirectDraw>&, int32_t width, int32_t height, bool) {
  plat::SurfacePtr picture = plat::LoadPictureFile(plat::NativePath(fullPath));
  if (!picture)
    throw plat::RuntimeError(plat::ErrorCode::FileNotFound, "Unable to load the picture " + plat::NativePath(fullPath));
  if (width == 0 || height == 0 || (width == picture->Width() && height == picture->Height())) {
    surface = picture;
    return true;
  }
  surface = std::make_shared<plat::Surface>(width, height);
  plat::RECT whole{0, 0, picture->Width(), picture->Height()};
  // Stretch by nearest sample; the display layer's Blt does this properly.
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      surface->Row(y)[x] = picture->Row(y * picture->Height() / height)[x * picture->Width() / width];
  (void)whole;
  return true;
}

}  // namespace fw
