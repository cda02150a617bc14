#include "engine/sound.hpp"

namespace fw {

Lazy<DirectSoundOBJ> Sounds;

bool DirectSoundOBJ::Init(void*, plat::DirectX7*) { return false; }

}  // namespace fw
