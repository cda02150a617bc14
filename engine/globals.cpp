#include "engine/globals.hpp"

namespace fw {

int32_t GameState = 0;
int16_t KeyCode = 0;
int16_t KeyShift = 0;
int16_t MouseButton = 0;
int16_t MouseShift = 0;
float MouseX = 0.0f;
float MouseY = 0.0f;
uint8_t MouseMoved = 0;
uint8_t DebugOn = 0;
std::string LastError;
std::string AppPath;
std::string MediaPath;
float FontScale = 1.0f;
std::array<CosSinPair, 361> CosSin{};
std::shared_ptr<plat::DirectX7> DX;
std::shared_ptr<plat::DirectDraw> DDraw;
plat::SurfacePtr Primary;
plat::SurfacePtr BackBuffer;

}  // namespace fw
