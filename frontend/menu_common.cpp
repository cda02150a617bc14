#include "frontend/menu_common.hpp"

#include <algorithm>
#include <cmath>

#include "data/tank.hpp"
#include "engine/cursor.hpp"
#include "engine/globals.hpp"
#include "engine/message_box.hpp"
#include "engine/surfaces.hpp"
#include "platform/runtime/compiler_false_alarms.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/numeric.hpp"

namespace fw {

std::function<void()> BuildBattleTank;

void CallBuildBattleTank() {
  if (BuildBattleTank) BuildBattleTank();
}

FW_LIBRARY_FALSE_ALARM_BEGIN("-Wrestrict")
std::string Str(double v) { return (v >= 0 ? " " : "") + NumberText(v); }
FW_LIBRARY_FALSE_ALARM_END

int32_t WholePixel(float v) {
  const double r = plat::RoundHalfEven(static_cast<double>(v));
  return static_cast<int32_t>(std::clamp(r, -2147483648.0, 2147483647.0));
}

void SlideStep(int32_t& x, double target, int32_t divisor) {
  if (target > x)
    x = LongSum(x, plat::CLng((target - x) / divisor));
  else
    x = plat::CLng(target);
}

void HoverAt(OBJRECTClass& rects, int32_t x, int32_t y) {
  rects.HitCheck(SetRECT(x, y, LongSum(x, 1), LongSum(y, 1)));
}

std::string FirstHovered(OBJRECTClass& rects) {
  return rects.SelectedRect->Count() > 0 ? rects.SelectedRect->At(1)->Key : std::string();
}

void MoveHotSpot(OBJRECTClass& rects, const std::string& key, int32_t x, int32_t y) {
  if (auto spot = rects.OrgRECT->Find(key)) spot->ABSXY(x, y);
}

std::shared_ptr<Clip> AddPicture(SufClips& clips, const std::string& key, const std::string& gamePath,
                                 int32_t repeatX, int32_t repeatY, bool blackKeyed, bool videoMemory) {
  plat::SurfacePtr surface;
  LoadSurfaceFromPack(AppPath + gamePath, surface, DDraw, videoMemory);
  // The screens make surfaces of one cell's size: a picture with fewer
  // pixels than cells would ask for a surface of no size at all.
  if (surface->Width() < repeatX || surface->Height() < repeatY)
    throw plat::RuntimeError(plat::ErrorCode::General,
                             "Unable to load the picture " + PicturePlace(AppPath + gamePath) + ": its " +
                                 std::to_string(surface->Width()) + "x" + std::to_string(surface->Height()) +
                                 " pixels cannot hold " + std::to_string(repeatX) + "x" + std::to_string(repeatY) +
                                 " cells",
                             plat::TextIn::Utf8);
  if (blackKeyed) SetSurfaceColorKey(surface, plat::DDCKEY_SRCBLT, 0, 0);
  return clips.Add(key, surface, repeatX, repeatY);
}

void MenuTestCoop() {
  if (DDraw && DDraw->TestCooperativeLevel() != plat::DD_OK) DDraw->RestoreAllSurfaces();
}

void PresentMenuFrame() {
  DrawCursor(BackBuffer, WholePixel(MouseX), WholePixel(MouseY));
  Primary->Flip(nullptr, 0);
}

void ShowSaveFailure() {
  ShowMessageBox(LastError.empty() ? std::string("Unable to Save") : LastError, plat::RGB(255, 0, 0));
}

}  // namespace fw
