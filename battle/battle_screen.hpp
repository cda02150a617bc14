#pragma once
// The campaign battle's screen (state 2): the progress screen while the
// tables and the mission's map load, the battle loop with its frame timing,
// the controls, the drawing of every layer into the 3D device's frame, the
// panel and the radar. The world itself is a BattleState; this class adds
// the window, the device and the picture surfaces around it.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "battle/battle_sinks.hpp"
#include "battle/battle_state.hpp"
#include "battle/mission_hooks.hpp"
#include "battle/surface_pictures.hpp"
#include "engine/im_class.hpp"
#include "engine/screen.hpp"
#include "platform/d3d/d3d_types.hpp"
#include "platform/d3d/device.hpp"
#include "platform/display/surface.hpp"

namespace fw {

// A frame longer than this many factor units (60 ms) counts as this long:
// the movement and shot steps look one mask cell ahead, so a longer step
// would carry units and shots through walls after a stall.
inline constexpr float kMaxFrameFactor = 4.0f;

// The effect drawing: 1 blended quads of the 3D device, 2 raster-operation
// blits (destination OR source), 3 plain colour-keyed blits.
// deviceTextureMode is IMClass::DeviceTextureMode's answer.
uint8_t ChooseDrawMode(int32_t deviceTextureMode, const plat::DDCAPS& hardware);

// A number as the debug texts write it: shortest decimal form, one leading
// space when not negative.
std::string DebugNumber(double v);

class FrmMainClass : public Screen {
 public:
  FrmMainClass();
  ~FrmMainClass() override;

  // The whole visit: loading, the loop, the result stage, the save; leaves
  // the next state (9) in GameState.
  void Load() override;

  // --- the visit in its three parts, public for the program's tests ---
  // The progress screen, the tables, the device and the mission's stage 0;
  // false (after saying why) when the battle cannot start.
  bool Prepare();
  // One pass of the battle loop.
  void RunPass();
  // The mission's result stage and the save.
  void Finish();
  // The mission's step failed mid-battle: the visit ends unbooked.
  bool Failed() const { return failed_; }

  // --- the loop's pieces ---
  void CalFPS();
  void TestCoop();
  void DebugModeP(const plat::SurfacePtr& surface);
  void SetQuadRect(const RECT& r);
  // One frame: the four steps, then every layer, then the copy onto the
  // screen.
  void Paint();
  // Prepares the device, the texture buffer, the quad and the draw mode.
  void SetIMState();
  // View scrolling: free or following the player, then the shake.
  void GetMousePos();

  // --- the controls ---
  void KeyDown(int16_t& keyCode, int16_t& shift) override;
  void KeyUp(int16_t& keyCode, int16_t& shift) override;
  void MouseDown(int16_t& button, int16_t& shift, float& x, float& y) override;
  void MouseMove(int16_t& button, int16_t& shift, float& x, float& y) override;
  void MouseUp(int16_t& button, int16_t& shift, float& x, float& y) override;

  // --- the drawing layers ---
  void MakeBackMap(const plat::SurfacePtr& target);
  void DrawOBJ(const plat::SurfacePtr& target);
  void DrawEffects();
  void DrawPanel(const plat::SurfacePtr& target);
  void DrawRader(const plat::SurfacePtr& target);
  void PopupHelp(int32_t x, int32_t y, const plat::SurfacePtr& target);

  // The world, the pictures and the frame, for the scripts and the tests.
  BattleState& World() { return world_; }
  SurfacePictures& Pictures() { return pictures_; }
  IMClass& Device() { return device_; }
  uint8_t DrawMode() const { return drawMode_; }
  void SetDrawModeForTest(uint8_t mode) { drawMode_ = mode; }
  // Off, blended effects go through the device every time (to compare with).
  void UseFilteredEffects(bool on) { useFiltered_ = on; }
  const std::array<plat::D3DTLVERTEX, 4>& Quad() const { return quad_; }
  // True while the exit question waits for its key.
  bool Prompting() const { return prompting_; }
  // Frames since the last whole second, for the frame clock's tests.
  int32_t FrameCounter() const { return frameCounter_; }
  float MarkerCounter() const { return markerCounter_; }
  float RadarBlink() const { return radarBlink_; }
  float PortraitPosition() const { return portraitPos_; }
  int32_t PortraitRow() const { return portraitRow_; }
  // The frame's copy onto the screen waits for the display's refresh as
  // the menus' flip does; the battle's own benchmarks switch it off.
  void SetPaced(bool paced) { paced_ = paced; }

  // The output the simulation talks to: sounds, wrecks painted into the
  // tile surfaces.
  BattleOutput& Output();
  BattleEnv& Env() { return env_; }

 private:
  class ScreenOutput;
  class ScreenProgress;

  void ExitPrompt();
  void RunScript(uint8_t stage);
  void CheatChord(int16_t keyCode, int16_t shift);
  void DrawDebugTexts(const plat::SurfacePtr& target);
  void DrawMessage(const plat::SurfacePtr& target);
  void DrawPortrait(const plat::SurfacePtr& target);
  void DrawEffect(const EffectRecord& e, int32_t x, int32_t y);
  // False when the shot cannot be drawn, which ends the shot pass.
  bool DrawShot(WeaponSlot& s, int32_t x, int32_t y, const plat::SurfacePtr& target);
  plat::SurfacePtr Image(int32_t index) const { return pictures_.Surface(PictureList::Images, index); }
  plat::SurfacePtr Texture(int32_t index) const { return pictures_.Surface(PictureList::Textures, index); }
  void ShowLoadError(const std::string& message);
  // Says why, and ends the visit with nothing booked and the mission not won.
  void EndAsNotPlayed(const std::string& message);

  BattleState world_;
  SurfacePictures pictures_;
  std::unique_ptr<ScreenOutput> output_;
  BattleRules rules_;
  BattleEnv env_;
  std::unique_ptr<MissionScript> script_;
  bool failed_ = false;

  IMClass device_;
  uint8_t drawMode_ = 0;
  plat::SurfacePtr textureBuffer_;
  // Effect cells already stretched to the texture buffer's size, by
  // texture index and cell rectangle.
  using StretchKey = std::array<int32_t, 5>;
  struct StretchHash {
    size_t operator()(const StretchKey& k) const {
      size_t h = 0;
      for (int32_t v : k) h = h * 1000003u ^ static_cast<uint32_t>(v);
      return h;
    }
  };
  static constexpr size_t kMaxStretchedCells = 2048;  // 8 MB of 64 x 64 cells
  std::unordered_map<StretchKey, plat::SurfacePtr, StretchHash> stretched_;
  // `kept` tells whether the answer is a kept cell, which never changes.
  plat::SurfacePtr StretchedCell(int32_t texture, const plat::Surface& picture, const RECT& cell, bool& kept);
  // A kept cell drawn at a size, as the device draws it onto black: adding
  // it onto the frame is the device's additive quad, at a fraction of its
  // cost. Made when a cell and size come round a second time.
  struct Filtered {
    int32_t seen = 0;
    std::vector<uint16_t> pixels;
  };
  using FilterKey = std::array<int64_t, 3>;  // cell surface, width, height
  struct FilterHash {
    size_t operator()(const FilterKey& k) const {
      return std::hash<int64_t>()(k[0]) ^ (static_cast<size_t>(k[1]) * 1000003u) ^ (static_cast<size_t>(k[2]) << 20);
    }
  };
  static constexpr int32_t kFilterSide = 128;             // the largest effect drawn this way
  static constexpr size_t kMaxFilteredBytes = 16u << 20;  // beyond, effects go to the device
  std::unordered_map<FilterKey, Filtered, FilterHash> filtered_;
  size_t filteredBytes_ = 0;
  std::shared_ptr<plat::Direct3DDevice7> filterDevice_;
  bool useFiltered_ = true;
  bool DrawFiltered(const plat::SurfacePtr& cell, const RECT& dest);

  std::array<plat::D3DTLVERTEX, 4> quad_{};

  // The frame clock.
  uint32_t lastTick_ = 0;
  float lastSecond_ = 0.0f;
  int32_t frameCounter_ = 0;

  float markerCounter_ = 0.0f;
  float radarBlink_ = 0.0f;
  float portraitPos_ = 0.0f;
  int32_t portraitRow_ = 0;
  bool prompting_ = false;
  bool paced_ = true;
};

}  // namespace fw
