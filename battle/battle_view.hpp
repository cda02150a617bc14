#pragma once
// The drawing of a battle, shared by the campaign and the network battle:
// the 3D device whose back surface holds the frame, the background map,
// units, buildings and shots, the effects in the chosen blend, the panel
// with the radar, and the timed message. Each battle screen owns one view
// over its world and picture store; the look says where the network
// battle's drawing differs from the campaign's.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "battle/battle_sinks.hpp"
#include "battle/battle_state.hpp"
#include "battle/surface_pictures.hpp"
#include "engine/im_class.hpp"
#include "engine/rects.hpp"
#include "platform/d3d/d3d_types.hpp"
#include "platform/d3d/device.hpp"
#include "platform/display/surface.hpp"

namespace fw {

// The effect drawing: 1 blended quads of the 3D device, 2 raster-operation
// blits (destination OR source), 3 plain colour-keyed blits.
// deviceTextureMode is IMClass::DeviceTextureMode's answer.
uint8_t ChooseDrawMode(int32_t deviceTextureMode, const plat::DDCAPS& hardware);

// A number as the debug texts write it: shortest decimal form, one leading
// space when not negative.
std::string DebugNumber(double v);

// The debug overlay's counters in the surface's font: frames and factor,
// the map point under the pointer, the upper bounds of the lists.
void DrawDebugCounters(plat::Surface& t, const BattleState& w, float fps);

// Waits while the display is lost, then restores the surfaces' memory.
void WaitWhileDisplayLost();

// Where a battle's drawing departs from the campaign's. The defaults are
// the campaign's look.
struct BattleLook {
  // Each unit's Key under its sprite: green for the own unit's team, red
  // for the others, black while there is no own unit.
  bool NameLabels = false;
  // The sprite cell is the heading / 6 (60 cells a turn) instead of the
  // heading over the picture's own cell count.
  bool SixDegreeCells = false;
  // The help popup over the panel's parts under the pointer.
  bool HelpPopups = true;
  // A box on the radar around this map rectangle when its left or top is
  // above 0.
  RECT Territory{};
  // The radar's blinking mark: the world's goal, or these coordinates.
  bool OwnMark = false;
  int32_t MarkX = 0;
  int32_t MarkY = 0;
};

class BattleView {
 public:
  BattleView(BattleState& world, SurfacePictures& pictures) : world_(world), pictures_(pictures) {}

  BattleLook Look;

  // Prepares the device, the texture buffer, the quad and the draw mode.
  void SetIMState();
  void SetQuadRect(const RECT& r);

  // --- the layers, each onto the given surface (the device's back surface
  // in a frame) ---
  void MakeBackMap(const plat::SurfacePtr& target);
  void DrawOBJ(const plat::SurfacePtr& target);
  void DrawEffects();
  void DrawPanel(const plat::SurfacePtr& target);
  void DrawRader(const plat::SurfacePtr& target);
  void PopupHelp(int32_t x, int32_t y, const plat::SurfacePtr& target);
  // The timed message at (100, 50); counts its time down by the frame.
  void DrawMessage(const plat::SurfacePtr& target);

  IMClass& Device() { return device_; }
  uint8_t DrawMode() const { return drawMode_; }
  void SetDrawMode(uint8_t mode) { drawMode_ = mode; }
  // Off, blended effects go through the device every time (to compare with).
  void UseFilteredEffects(bool on) { useFiltered_ = on; }
  const std::array<plat::D3DTLVERTEX, 4>& Quad() const { return quad_; }
  float MarkerCounter() const { return markerCounter_; }
  float RadarBlink() const { return radarBlink_; }
  float PortraitPosition() const { return portraitPos_; }
  int32_t PortraitRow() const { return portraitRow_; }

 private:
  void DrawPortrait(const plat::SurfacePtr& target);
  void DrawEffect(const EffectRecord& e, int32_t x, int32_t y);
  // False when the shot cannot be drawn, which ends the shot pass.
  bool DrawShot(WeaponSlot& s, int32_t x, int32_t y, const plat::SurfacePtr& target);
  plat::SurfacePtr Image(int32_t index) const { return pictures_.Surface(PictureList::Images, index); }
  plat::SurfacePtr Texture(int32_t index) const { return pictures_.Surface(PictureList::Textures, index); }

  BattleState& world_;
  SurfacePictures& pictures_;

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

  float markerCounter_ = 0.0f;
  float radarBlink_ = 0.0f;
  float portraitPos_ = 0.0f;
  int32_t portraitRow_ = 0;
};

// What the world of a battle on screen makes: sounds go to the mixer;
// wrecks are painted for good into the background tiles, which the map
// drawing stretches to the screen.
class ScreenBattleOutput : public BattleOutput {
 public:
  // The world may come later: wrecks wait for it.
  ScreenBattleOutput(const BattleState* world, SurfacePictures& pictures) : world_(world), pictures_(pictures) {}
  void SetWorld(const BattleState* world) { world_ = world; }
  void PlayEffectSound(int32_t effect, int32_t attenuation) override;
  void PlaySoundKey(std::string_view key) override;
  void PaintWreck(int32_t column, int32_t row, int32_t wreck, int32_t cell, const RECT& dest) override;

 private:
  const BattleState* world_;
  SurfacePictures& pictures_;
};

// The loaders' lines and bars, straight onto the visible screen.
class PrimaryProgress : public LoadProgress {
 public:
  void Line(int32_t x, int32_t y, std::string_view text) override;
  void Bar(const RECT& r, uint16_t color565) override;
};

}  // namespace fw
