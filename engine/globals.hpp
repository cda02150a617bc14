#pragma once
// The shared globals of the engine. Objects whose class belongs to a later
// subsystem (profiles, map control, network settings) are declared in that
// subsystem's own header.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/display/surface.hpp"

namespace fw {

// The screen state: which screen the loop runs next.
extern int32_t GameState;

// The last keyboard and mouse event, kept by the window.
extern int16_t KeyCode;
extern int16_t KeyShift;
extern int16_t MouseButton;
extern int16_t MouseShift;
extern float MouseX;
extern float MouseY;
extern uint8_t MouseMoved;

extern uint8_t DebugOn;
// The last load or configuration error; shown nowhere.
extern std::string LastError;

// Folders: the program folder and where the films are opened.
extern std::string AppPath;
extern std::string MediaPath;

// The display scale; font sizes are divided by it.
extern float FontScale;

// Cosine and sine of the whole degrees 0 to 360.
struct CosSinPair {
  float Cos = 0.0f;
  float Sin = 0.0f;
};
extern std::array<CosSinPair, 361> CosSin;

// DirectX root, display object and the flipping primary surface.
extern std::shared_ptr<plat::DirectX7> DX;
extern std::shared_ptr<plat::DirectDraw> DDraw;
extern plat::SurfacePtr Primary;
extern plat::SurfacePtr BackBuffer;

}  // namespace fw
