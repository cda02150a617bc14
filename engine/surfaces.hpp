#pragma once
// Getting surfaces: the flipping primary surface and pictures loaded from
// files.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/display/surface.hpp"

namespace fw {

// The primary surface with one back buffer. On failure shows the two
// messages and returns false.
bool CreatePrimaryAndBackBuffer(plat::SurfacePtr& primary, plat::SurfacePtr& backBuffer,
                                const std::shared_ptr<plat::DirectDraw>& dd);

// A picture file into a new surface, stretched to width x height when both
// are non-zero. A file that cannot be loaded raises plat::RuntimeError.
bool LoadPictureSurface(const std::string& fullPath, plat::SurfacePtr& surface,
                        const std::shared_ptr<plat::DirectDraw>& dd, int32_t width, int32_t height,
                        bool useVideoMemory);

}  // namespace fw
