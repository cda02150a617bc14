#pragma once
// The factory the player walks, screen state 8: a loading screen, the lit 3D
// hall with the player's tank turning on its platform, the camera turned by
// the mouse, and the areas that open the shops, the assembly screen and the
// way out. Every change to money and equipment goes through the rules
// library; this screen draws and routes input.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/rm_class.hpp"
#include "engine/screen.hpp"
#include "factory/assembly_page.hpp"
#include "factory/free_walk.hpp"
#include "factory/hall_debug.hpp"
#include "factory/hall_view.hpp"
#include "factory/overlay.hpp"
#include "factory/robots.hpp"
#include "factory/shop_pages.hpp"
#include "factory/rules/catalogs.hpp"
#include "factory/rules/factory_rules.hpp"
#include "platform/display/surface.hpp"

namespace fw {

class FrmFactoryClass : public Screen {
 public:
  // Reads both catalogues, as every new factory object does.
  FrmFactoryClass();
  ~FrmFactoryClass() override;

  // One whole visit: loading screen, scenes, the loop until the factory is
  // left, then the battle tank rebuilt and the profile and equipment file
  // saved.
  void Load() override;

  void KeyDown(int16_t& keyCode, int16_t& shift) override;
  void KeyUp(int16_t& keyCode, int16_t& shift) override;
  void KeyPress(int16_t& keyAscii) override;
  void MouseDown(int16_t& button, int16_t& shift, float& x, float& y) override;
  void MouseMove(int16_t& button, int16_t& shift, float& x, float& y) override;

  // The parts of Load, for the loop, the tests and the benchmarks. Enter
  // builds everything up to the first frame; false when the hall cannot be
  // shown at all (the visit then only saves and leaves).
  bool Enter();
  void RenderFrame();
  // The frames until the visit is left, one per display refresh at most:
  // the robots move a step a frame, and a page that stands still must not
  // cost a whole core.
  void RunFrames();
  // Every way out: the rules settle the goods and rebuild the battle tank,
  // then both files are saved. A failed save is told through ShowMessage;
  // the goods in memory stay as they are. False when a save failed.
  bool Leave();

  // The factory's message box (a red UTF-8 text that waits for an answer). The
  // visit sets it to the engine's box; tests replace it.
  std::function<void(const std::string&)> ShowMessage;
  // Where each frame is shown; the display's primary surface unless set.
  plat::SurfacePtr Present;

  const std::string& State() const { return rules_.State(); }
  const std::string& HoverArea() const { return view_.Area; }
  const HallView& View() const { return view_; }
  const std::string& Message() const { return mMessage; }
  int32_t MessageFrames() const { return mMessageFrames; }
  FactoryRules& Rules() { return rules_; }
  const FactoryCatalogs& Catalogs() const { return catalogs_; }
  RMClass& Hall() { return RM; }
  // The item preview of the shop pages and the assembly screen (300 x 200).
  RMClass& Preview() { return mPreviewRM; }
  // The 2D overlay of the pages, built by Enter.
  FactoryOverlay& Overlay() { return overlay_; }
  AssemblyPage& AssemblyScreen() { return assembly_; }
  // The hall's objects that could not be read on entering.
  int32_t MissingObjects() const { return missing_; }
  float CameraY() const { return mCamY; }
  HallRobots& Robots() { return robots_; }
  const FreeWalk& Walk() const { return walk_; }
  // The camera's place on the floor and its height.
  plat::D3DVECTOR Camera() const { return {mCamX, mCamY, mCamZ}; }

  // The last cursor position the pages saw.
  int32_t CursorX() const { return mCursorX; }
  int32_t CursorY() const { return mCursorY; }

  // The shop pages (shop_pages.cpp): each draws its page over the hall's
  // still picture; the clicks of the weapon shop and of the other four.
  void DrawWeap(const plat::SurfacePtr& surface);
  void DrawShield(const plat::SurfacePtr& surface);
  void DrawEngine(const plat::SurfacePtr& surface);
  void DrawReactor(const plat::SurfacePtr& surface);
  void DrawTank(const plat::SurfacePtr& surface);
  void WeapClick(int16_t& button, int16_t& shift, float& x, float& y);
  void ShieldClick(int16_t& button, int16_t& shift, float& x, float& y);

 private:
  void LoadingText(int32_t y, const std::string& text);
  bool StartPreview();
  void AddPreviewFrame();
  void ADDObjects();
  void AddLight();
  void SetLight(bool on);
  void AddShowTank();
  // A hall model from "Data" under its key, oriented and placed; an object
  // that cannot be read is left out and told on standard error.
  Node3DPtr AddModel(const std::string& key, const std::string& file, bool placed, float x, float y, float z);
  // Whether every texture of a model can be read; if not, the object is
  // counted missing and told on standard error.
  bool TexturesReadable(const std::string& key, const std::string& file);
  void Spin(const Node3DPtr& node, float degreesPerTick);
  void OpenPage();
  void ShowText(const std::string& text);
  void DrawPage(const plat::SurfacePtr& back);
  void DrawShopPage(const plat::SurfacePtr& surface, int32_t kind);
  void ShopClick(int16_t button, float x, float y);
  // A shop page closed, by its EXIT button or Esc: the hall lit again and
  // the page's preview gone.
  void LeftShopPage();
  // A shop page as it opens: the goods from the top, unselected; the
  // player's items keeping their old choice.
  void FillShopLists();

  FactoryCatalogs catalogs_;
  FactoryRules rules_;
  RMClass RM;
  RMClass mPreviewRM;
  FactoryOverlay overlay_;
  AssemblyPage assembly_{rules_, catalogs_, overlay_, mPreviewRM};
  plat::SurfacePtr mHallStill;
  plat::SurfacePtr mHelpSheet;
  HallView view_;
  std::string mMessage;
  int32_t mMessageFrames = 0;
  int32_t mBusy = 0;
  float mCamX = -8.8f, mCamY = 11.0f, mCamZ = 6.0f;
  float lightPhase_ = 0.0f;
  FreeWalk walk_;
  FrameRate fps_;
  HallRobots robots_;
  float mTankPosX = 0.0f, mTankPosY = 0.0f, mTankPosZ = 0.0f;
  int32_t missing_ = 0;
  int32_t mCursorX = 320, mCursorY = 240;
  std::array<ShopPageAnimation, 6> shopAnimation_;
  bool entered_ = false;
};

}  // namespace fw
