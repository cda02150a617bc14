#pragma once
// The sound device and its channels.
#include "engine/lazy.hpp"
#include "platform/display/surface.hpp"

namespace fw {

class DirectSoundOBJ {
 public:
  // Opens the sound device; false leaves the game silent.
  bool Init(void* hWnd, plat::DirectX7* dx);
};

extern Lazy<DirectSoundOBJ> Sounds;

}  // namespace fw
