#pragma once
// Rectangles.
#include <cstdint>

#include "platform/display/surface.hpp"

namespace fw {

using RECT = plat::RECT;

inline RECT SetRECT(int32_t left, int32_t top, int32_t right, int32_t bottom) { return RECT{left, top, right, bottom}; }

}  // namespace fw
