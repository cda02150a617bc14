// The view's small parts: the choice of the effect drawing, the quad's
// corners, and the sinks a battle on screen gives its world.
#include "battle/battle_view.hpp"

#include <charconv>
#include <string>

#include "engine/globals.hpp"
#include "engine/sound.hpp"
#include "engine/surfaces.hpp"
#include "platform/input/window.hpp"

namespace fw {

uint8_t ChooseDrawMode(int32_t deviceTextureMode, const plat::DDCAPS& hardware) {
  uint8_t mode = 0;
  if (deviceTextureMode == 0) mode = 1;
  if (!(hardware.ddsCaps.lCaps & plat::DDSCAPS_ALPHA)) mode = 0;
  if (mode == 0) {
    for (int32_t word : hardware.lRops)
      if (word == 0) mode = 3;
    if (mode == 0) mode = 2;
  }
  return mode;
}

void WaitWhileDisplayLost() {
  if (!DDraw) return;
  bool waited = false;
  while (DDraw->TestCooperativeLevel() != plat::DD_OK) {
    waited = true;
    plat::DoEvents();
    plat::WaitForRefresh();
  }
  if (waited) DDraw->RestoreAllSurfaces();
}

std::string DebugNumber(double v) {
  char buf[48];
  std::to_chars_result r;
  if (v == static_cast<double>(static_cast<int64_t>(v)) && v > -1e15 && v < 1e15)
    r = std::to_chars(buf, buf + sizeof buf, static_cast<int64_t>(v));
  else
    r = std::to_chars(buf, buf + sizeof buf, static_cast<float>(v));
  std::string s(buf, r.ptr);
  return v >= 0 ? " " + s : s;
}

void DrawDebugCounters(plat::Surface& t, const BattleState& w, float fps) {
  auto upper = [](size_t n) { return DebugNumber(static_cast<double>(n) - 1.0); };
  t.DrawText(0, 0, DebugNumber(fps) + "    " + DebugNumber(w.FrameFactor));
  t.DrawText(0, 24, DebugNumber(w.MouseX + w.ScrollX) + "    " + DebugNumber(w.MouseY + w.ScrollY));
  t.DrawText(0, 36, "Build: " + upper(w.Builds.size()));
  t.DrawText(0, 48, "Tank: " + upper(w.Units.size()));
  t.DrawText(0, 60, "Ammo: " + upper(w.Shots.size()));
  t.DrawText(0, 72, "EXP: " + upper(w.Effects.size()));
  t.DrawText(0, 84, "EXP2: " + upper(w.Debris.size()));
}

void BattleView::SetQuadRect(const RECT& r) {
  quad_[0].sx = static_cast<float>(r.Left);
  quad_[0].sy = static_cast<float>(r.Bottom);
  quad_[1].sx = static_cast<float>(r.Left);
  quad_[1].sy = static_cast<float>(r.Top);
  quad_[2].sx = static_cast<float>(r.Right);
  quad_[2].sy = static_cast<float>(r.Bottom);
  quad_[3].sx = static_cast<float>(r.Right);
  quad_[3].sy = static_cast<float>(r.Top);
}

void ScreenBattleOutput::PlayEffectSound(int32_t effect, int32_t attenuation) {
  fw::PlayEffectSound(effect, attenuation);
}

void ScreenBattleOutput::PlaySoundKey(std::string_view key) {
  if (!Sounds->Work) return;
  if (auto c = Sounds->Find(key)) c->Play(false);
}

void ScreenBattleOutput::PaintWreck(int32_t column, int32_t row, int32_t wreck, int32_t cell, const RECT& dest) {
  if (!world_) return;
  const BattleState& w = *world_;
  if (column < 0 || row < 0 || column >= w.TileColumns || row >= w.TileRows) return;
  if (wreck < 0 || static_cast<size_t>(wreck) >= w.Wrecks.size()) return;
  const auto tile = pictures_.Surface(PictureList::Tiles, row * w.TileColumns + column);
  const auto picture = pictures_.Surface(PictureList::Wrecks, wreck);
  if (!tile || !picture) return;
  const ImageRecord& r = w.Wrecks[static_cast<size_t>(wreck)];
  if (r.RepeatX <= 0 || r.RepeatY <= 0) return;
  RECT src;
  GetCellRect(src, picture, r.RepeatX, r.RepeatY, cell);
  tile->Blt(&dest, picture.get(), &src, plat::DDBLT_WAIT | plat::DDBLT_KEYSRC);
}

void PrimaryProgress::Line(int32_t x, int32_t y, std::string_view text) {
  if (Primary) Primary->DrawText(x, y, std::string(text));
}

void PrimaryProgress::Bar(const RECT& r, uint16_t color565) {
  if (Primary) Primary->BltColorFill(&r, color565);
}

}  // namespace fw
