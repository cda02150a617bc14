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
#include "battle/battle_view.hpp"
#include "engine/im_class.hpp"
#include "engine/screen.hpp"
#include "platform/d3d/d3d_types.hpp"
#include "platform/d3d/device.hpp"
#include "platform/display/surface.hpp"

namespace fw {

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
  void SetQuadRect(const RECT& r) { view_.SetQuadRect(r); }
  // One frame: the four steps, then every layer, then the copy onto the
  // screen.
  void Paint();
  // Prepares the device, the texture buffer, the quad and the draw mode.
  void SetIMState() { view_.SetIMState(); }
  // View scrolling: free or following the player, then the shake.
  void GetMousePos();

  // --- the controls ---
  void KeyDown(int16_t& keyCode, int16_t& shift) override;
  void KeyUp(int16_t& keyCode, int16_t& shift) override;
  void MouseDown(int16_t& button, int16_t& shift, float& x, float& y) override;
  void MouseMove(int16_t& button, int16_t& shift, float& x, float& y) override;
  void MouseUp(int16_t& button, int16_t& shift, float& x, float& y) override;

  // --- the drawing layers ---
  void MakeBackMap(const plat::SurfacePtr& target) { view_.MakeBackMap(target); }
  void DrawOBJ(const plat::SurfacePtr& target) { view_.DrawOBJ(target); }
  void DrawEffects() { view_.DrawEffects(); }
  void DrawPanel(const plat::SurfacePtr& target) { view_.DrawPanel(target); }
  void DrawRader(const plat::SurfacePtr& target) { view_.DrawRader(target); }
  void PopupHelp(int32_t x, int32_t y, const plat::SurfacePtr& target) { view_.PopupHelp(x, y, target); }

  // The world, the pictures and the frame, for the scripts and the tests.
  BattleState& World() { return world_; }
  SurfacePictures& Pictures() { return pictures_; }
  IMClass& Device() { return view_.Device(); }
  uint8_t DrawMode() const { return view_.DrawMode(); }
  void SetDrawModeForTest(uint8_t mode) { view_.SetDrawMode(mode); }
  // Off, blended effects go through the device every time (to compare with).
  void UseFilteredEffects(bool on) { view_.UseFilteredEffects(on); }
  const std::array<plat::D3DTLVERTEX, 4>& Quad() const { return view_.Quad(); }
  // True while the exit question waits for its key.
  bool Prompting() const { return prompting_; }
  // Frames since the last whole second, for the frame clock's tests.
  int32_t FrameCounter() const { return frameCounter_; }
  float MarkerCounter() const { return view_.MarkerCounter(); }
  float RadarBlink() const { return view_.RadarBlink(); }
  float PortraitPosition() const { return view_.PortraitPosition(); }
  int32_t PortraitRow() const { return view_.PortraitRow(); }
  // The frame's copy onto the screen waits for the display's refresh as
  // the menus' flip does; the battle's own benchmarks switch it off.
  void SetPaced(bool paced) { paced_ = paced; }

  // The output the simulation talks to: sounds, wrecks painted into the
  // tile surfaces.
  BattleOutput& Output();
  BattleEnv& Env() { return env_; }

 private:
  void ExitPrompt();
  void RunScript(uint8_t stage);
  void CheatChord(int16_t keyCode, int16_t shift);
  void DrawDebugTexts(const plat::SurfacePtr& target);
  void ShowLoadError(const std::string& message);
  // Says why (UTF-8), and ends the visit with nothing booked and the
  // mission not won.
  void EndAsNotPlayed(const std::string& message);

  BattleState world_;
  SurfacePictures pictures_;
  std::unique_ptr<ScreenBattleOutput> output_;
  BattleRules rules_;
  BattleEnv env_;
  std::unique_ptr<MissionScript> script_;
  bool failed_ = false;

  BattleView view_;

  // The frame clock.
  uint32_t lastTick_ = 0;
  float lastSecond_ = 0.0f;
  int32_t frameCounter_ = 0;

  bool prompting_ = false;
  bool paced_ = true;
};

}  // namespace fw
