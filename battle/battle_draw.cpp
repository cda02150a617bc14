// Composing one battle frame in the device's back surface: the map, the
// units, buildings and shots, the effects in the chosen blend, the texts,
// the panel and the pointer, then the copy onto the screen.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <typeinfo>

#include "battle/battle_draw_util.hpp"
#include "battle/battle_view.hpp"
#include "battle/battle_sim.hpp"
#include "battle/sim_math.hpp"
#include "engine/cursor.hpp"
#include "engine/globals.hpp"
#include "engine/helpers.hpp"
#include "engine/pack.hpp"
#include "engine/surfaces.hpp"
#include "platform/display/blit.hpp"
#include "platform/runtime/numeric.hpp"
#include "platform/runtime/random.hpp"

namespace fw {

namespace {
constexpr int32_t kW = 640;
constexpr int32_t kH = 480;
constexpr int32_t kKeyedWait = plat::DDBLTFAST_SRCCOLORKEY | plat::DDBLTFAST_WAIT;

// The picture index a record names as text; 0 (the empty record) when the
// text is no number.
int32_t PictureIndex(const std::string& text) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str() || v < 0 || v > INT32_MAX) return 0;
  return static_cast<int32_t>(v);
}

const ImageRecord* RecordAt(const std::vector<ImageRecord>& list, int32_t i) {
  if (i <= 0 || static_cast<size_t>(i) >= list.size()) return nullptr;
  return &list[static_cast<size_t>(i)];
}
}  // namespace

void BattleView::SetIMState() {
  device_.DIRECT3DHALDEVICE = true;
  device_.Init(640, 480);
  device_.SetupRenderState();
  // The buffer the effect cells are stretched into in the blended mode; a
  // blank one of the same size serves when the picture is missing.
  try {
    plat::SurfacePtr buffer;
    LoadSurfaceFromPack(AppPath + "\\TextureBuffer64.bmp", buffer, DDraw);
    textureBuffer_ = buffer;
  } catch (const plat::RuntimeError&) {
    textureBuffer_ = nullptr;
  }
  if (!textureBuffer_) textureBuffer_ = std::make_shared<plat::Surface>(64, 64);
  stretched_.clear();  // cells of the textures about to be loaded
  filtered_.clear();
  filteredBytes_ = 0;
  if (device_.BackSurface) {
    device_.BackSurface->SetForeColor(plat::RGB(0, 200, 0));
    device_.BackSurface->SetFont("Small Fonts", 5.0f, false);
  }
  const float u[4] = {0, 0, 1, 1};
  const float v[4] = {1, 0, 1, 0};
  for (size_t i = 0; i < 4; ++i) {
    quad_[i] = plat::D3DTLVERTEX{u[i], v[i], 0.99f, 0.5f, 0xFFFFFFFFu, 0, u[i], v[i]};
  }
  plat::DDCAPS hardware, emulation;
  if (DDraw) DDraw->GetCaps(hardware, emulation);
  drawMode_ = ChooseDrawMode(device_.DeviceTextureMode(), hardware);
}

void BattleView::DrawMessage(const plat::SurfacePtr& t) {
  if (world_.MessageTime <= 0.0f) return;
  world_.MessageTime -= world_.FrameFactor;
  if (world_.MessageText.empty()) return;
  SetSurfaceFont(t, "Arial", 12.0f / FontScale, plat::RGB(255, 255, 0), true);
  t->DrawText(100, 50, world_.MessageText);
  if (Primary) SetSurfaceFont(Primary, "Fixedsys", 6.0f / FontScale, plat::RGB(0, 255, 0), false);
}

void BattleView::MakeBackMap(const plat::SurfacePtr& target) {
  const BattleState& w = world_;
  const int32_t s = w.BackDivisor > 0 ? w.BackDivisor : 2;
  const int32_t W = w.ViewWidth, H = w.ViewHeight;
  const int32_t xo = static_cast<int32_t>(plat::Int(static_cast<double>(w.ScrollX) / s)) % W;
  const int32_t yo = static_cast<int32_t>(plat::Int(static_cast<double>(w.ScrollY) / s)) % H;
  const int32_t column = std::max(0, static_cast<int32_t>(plat::Int(static_cast<double>(w.ScrollX) / s / W)));
  const int32_t row = std::max(0, static_cast<int32_t>(plat::Int(static_cast<double>(w.ScrollY) / s / H)));
  const int32_t R = RoundL(static_cast<double>(W) / s + xo);
  const int32_t B = RoundL(static_cast<double>(H) / s + yo);
  const int32_t ox = R > W ? R - W : 0;
  const int32_t oy = B > H ? B - H : 0;
  auto piece = [&](RECT dest, RECT src, int32_t c, int32_t r) {
    if (c >= w.TileColumns || r >= w.TileRows) return;
    const auto tile = pictures_.Surface(PictureList::Tiles, r * w.TileColumns + c);
    if (tile) target->Blt(&dest, tile.get(), &src, plat::DDBLT_WAIT);
  };
  piece({0, 0, W - s * ox, H - s * oy}, {xo, yo, R - ox, B - oy}, column, row);
  if (ox > 0) piece({W - s * ox, 0, W, H - s * oy}, {0, yo, ox, B - oy}, column + 1, row);
  if (oy > 0) piece({0, H - s * oy, W - s * ox, H}, {xo, 0, R - ox, oy}, column, row + 1);
  if (ox > 0 && oy > 0) piece({W - s * ox, H - s * oy, W, H}, {0, 0, ox, oy}, column + 1, row + 1);
}

void BattleView::DrawOBJ(const plat::SurfacePtr& target) {
  BattleState& w = world_;
  plat::Randomize();
  const auto* target7 = RecordAt(w.Images, w.Named.Target);
  const auto targetSurface = Image(w.Named.Target);
  const BattleUnit* own =
      w.PlayerUnit >= 0 && static_cast<size_t>(w.PlayerUnit) < w.Units.size() ? &w.Units[w.PlayerUnit] : nullptr;
  const uint8_t ownTeam = own ? own->Team : 0;
  if (Look.NameLabels) {
    const int32_t scale = std::max(1, RoundL(FontScale));
    target->SetFont("Arial", static_cast<float>(7 / scale), false);
    target->SetForeColor(plat::RGB(0, 0, 0));
  }

  for (size_t i = 0; i < w.Units.size(); ++i) {
    BattleUnit& u = w.Units[i];
    int32_t sx = RoundL(u.PosX - static_cast<float>(w.ScrollX));
    int32_t sy = RoundL(u.PosY - static_cast<float>(w.ScrollY));
    sy = RoundL(sy + plat::Rnd() * u.Speed / 2.0);
    const int32_t uw = u.DescRECT.Right, uh = u.DescRECT.Bottom;
    if (!(-uw < sx && sx < kW && -uh < sy && sy < kH)) continue;
    const int32_t pi = PictureIndex(u.ClipID);
    const ImageRecord* p = RecordAt(w.Images, pi);
    const auto surface = Image(pi);
    if (p && surface && p->RepeatX > 0 && p->RepeatY > 0) {
      const int32_t n = p->RepeatX * p->RepeatY;
      RECT src;
      const int32_t cell = Look.SixDegreeCells ? RoundL(u.HeadAngle / 6.0) : RoundL(u.HeadAngle / (360.0 / n));
      GetCellRect(src, surface, p->RepeatX, p->RepeatY, cell);
      int32_t dx = sx, dy = sy;
      if (dx < 0) { src.Left -= dx; dx = 0; }
      if (uw + sx > kW - 1) src.Right -= uw + sx - (kW - 1);
      if (dy < 0) { src.Top -= dy; dy = 0; }
      if (uh + sy > kH) src.Bottom -= uh + sy - kH;
      BltFastWhole(*target, dx, dy, *surface, src, kKeyedWait);
    }
    // A unit crossing the left or top edge keeps its bars, full length, and
    // its whole marker at the corner where its picture is cut.
    sx = std::max(sx, 0);
    sy = std::max(sy, 0);
    if (Look.NameLabels) {
      // Without an own unit the labels keep the font's black.
      if (own) target->SetForeColor(u.Team == ownTeam ? plat::RGB(0, 255, 0) : plat::RGB(255, 0, 0));
      target->DrawText(sx, sy + 4, u.Key);
    }
    if (u.HPVisible > 0) {
      --u.HPVisible;
      const int32_t len = u.ShieldFull > 0 ? static_cast<int32_t>(u.Shield * uw / u.ShieldFull) : 0;
      FillWhole(*target, {sx, sy, sx + len, sy + 1}, 0x07FF);
      const uint16_t hull = u.HP < 30 ? 0xF800 : u.HP < 70 ? 0xFFE0 : 0x07E0;
      FillWhole(*target, {sx, sy + 2, sx + RoundL(u.HP * uw / 100.0), sy + 3}, hull);
    }
    if (target7 && targetSurface && target7->RepeatX > 0 && target7->RepeatY > 0) {
      auto marker = [&](int32_t cell) {
        RECT src;
        GetCellRect(src, targetSurface, target7->RepeatX, target7->RepeatY, cell);
        BltFastWhole(*target, sx, sy, *targetSurface, src, kKeyedWait);
        markerCounter_ += w.FrameFactor / 4.0f;
        if (markerCounter_ >= static_cast<float>(target7->RepeatX)) markerCounter_ = 0.0f;
      };
      if (static_cast<int32_t>(i) == w.PickedUnit) marker(RoundL(markerCounter_));
      if (static_cast<int32_t>(i) == w.HoveredUnit) marker(RoundL(markerCounter_ + target7->RepeatX + 1));
    }
  }

  for (BuildingInstance& b : w.Builds) {
    const int32_t dx0 = b.DrawX - w.ScrollX, dy0 = b.DrawY - w.ScrollY;
    const int32_t bw = b.Footprint.Right, bh = b.Footprint.Bottom;
    if (!(dx0 + bw > 0 && dx0 < kW && dy0 + bh > 0 && dy0 < kH)) continue;
    const int32_t pi = PictureIndex(b.ImageIndex);
    const ImageRecord* p = RecordAt(w.Images, pi);
    const auto surface = Image(pi);
    const int32_t f = static_cast<int32_t>(plat::Int(b.Frame));
    if (p && surface && p->RepeatX > 0 && p->RepeatY > 0 && f >= 0 && static_cast<size_t>(f) < b.Frames.size()) {
      RECT src;
      GetCellRect(src, surface, p->RepeatX, p->RepeatY, b.Frames[static_cast<size_t>(f)]);
      int32_t dx = dx0, dy = dy0;
      if (bw + dx0 > kW) src.Right -= bw + dx0 - kW;
      if (bh + dy0 > kH) src.Bottom -= bh + dy0 - kH;
      if (dx < 0) { src.Left -= dx; dx = 0; }
      if (dy < 0) { src.Top -= dy; dy = 0; }
      BltFastWhole(*target, dx, dy, *surface, src, kKeyedWait);
    }
    if (b.HPVisible > 0) {
      --b.HPVisible;
      if (b.ShieldFull > 0)
        FillWhole(*target, {dx0, dy0, dx0 + RoundL(b.Shield / b.ShieldFull * bw), dy0 + 2}, 0x07FF);
      if (b.HPFull != 0)
        FillWhole(*target, {dx0, dy0 + 3, dx0 + RoundL(static_cast<double>(b.HP) / b.HPFull * bw), dy0 + 5}, 0x07E0);
    }
  }

  // Shots are drawn under a trap: the first that cannot be drawn ends the
  // pass for this frame. A shot may spawn a trail effect, which appends to
  // the effects, never to the shots.
  for (size_t i = 0; i < w.Shots.size(); ++i) {
    WeaponSlot& s = w.Shots[i];
    const int32_t x = RoundL(s.PosX - static_cast<float>(w.ScrollX));
    const int32_t y = RoundL(s.PosY - static_cast<float>(w.ScrollY));
    if (!(1 <= x && x < kW && 1 <= y && y < kH)) continue;
    if (!DrawShot(s, x, y, target)) break;
  }
}

bool BattleView::DrawShot(WeaponSlot& s, int32_t x, int32_t y, const plat::SurfacePtr& target) {
  BattleState& w = world_;
  auto cell = [&](int32_t texture, int32_t n, int32_t ox, int32_t oy) {
    const ImageRecord* r = RecordAt(w.Textures, texture);
    const auto surface = Texture(texture);
    if (!r || !surface || r->RepeatX <= 0 || r->RepeatY <= 0) return false;
    RECT src;
    GetCellRect(src, surface, r->RepeatX, r->RepeatY, n);
    BltFastWhole(*target, x + ox, y + oy, *surface, src, kKeyedWait);
    return true;
  };
  const int32_t kind = s.ClipID;
  if (kind >= 1 && kind <= 9) {
    float h = s.HeadAngle;
    if (h >= 180.0f) h -= 180.0f;
    return cell(w.Named.Laser[static_cast<size_t>(kind - 1)], static_cast<int32_t>(plat::Int(h / 6.0)) + 1, -12, -9);
  }
  if (kind >= 11 && kind <= 16) {
    s.TrailCount = (s.TrailCount + 1) % 4;
    if (s.TrailCount == 0)
      SpawnExplosion(w, RoundL(s.PosX), RoundL(s.PosY - 9.0f), 0, 0, 0.5f, s.FirePower, 0, 0);
    return cell(w.Named.Ball01, kind - 10, -9, -9);
  }
  if (kind == 21 || kind == 22) {
    s.TrailCount = (s.TrailCount + 1) % 2;
    if (s.TrailCount == 0) {
      const CosSinPair& cs = CosSinAt(s.HeadAngle);
      SpawnFog(w, RoundL(s.PosX + 16.0f), RoundL(s.PosY + 16.0f), RoundL(cs.Cos * -16.0 - 16.0),
               RoundL(cs.Sin * -12.0 - 20.0), 2.0f, 32, 0);
    }
    return cell(kind == 21 ? w.Named.MIS01 : w.Named.MIS02, static_cast<int32_t>(plat::Int(s.HeadAngle / 6.0)) + 1,
                -16, -12);
  }
  if (kind >= 31 && kind <= 34) return cell(w.Named.AC01, kind <= 32 ? 5 : 4, -16, -12);
  if (kind == 41) {
    if (s.Range == 0) return false;  // the runtime's division by zero
    return cell(w.Named.EXP02, static_cast<int32_t>(plat::Int(s.PastRange / s.Range * 30.0)), -16, -12);
  }
  return true;  // kinds without a drawer are not drawn
}

void BattleView::DrawEffects() {
  if (device_.D3Device) device_.D3Device->SetRenderState(plat::D3DRENDERSTATE_ALPHABLENDENABLE, 1);
  StepEffects(world_, [this](const EffectRecord& e, float x, float y) { DrawEffect(e, RoundL(x), RoundL(y)); });
}

plat::SurfacePtr BattleView::StretchedCell(int32_t texture, const plat::Surface& picture, const RECT& cell,
                                             bool& kept) {
  kept = false;
  const RECT whole{0, 0, textureBuffer_->Width(), textureBuffer_->Height()};
  // Each cell of an effect texture is stretched to the buffer's size once
  // and kept: a crowded frame draws hundreds of effects, and stretching
  // each into the one buffer again cost more than drawing it. The pictures
  // do not change while the battle runs, so the kept cell stays right.
  const StretchKey key{texture, cell.Left, cell.Top, cell.Right, cell.Bottom};
  if (const auto found = stretched_.find(key); found != stretched_.end()) {
    kept = true;
    return found->second;
  }
  const plat::Surface& buffer = *textureBuffer_;
  if (stretched_.size() >= kMaxStretchedCells || typeid(buffer) != typeid(plat::Surface)) {
    textureBuffer_->Blt(&whole, &picture, &cell, plat::DDBLT_WAIT);
    return textureBuffer_;
  }
  auto fresh = std::make_shared<plat::Surface>(whole.Right, whole.Bottom);
  if (textureBuffer_->HasColorKey())
    fresh->SetColorKey(plat::DDCKEY_SRCBLT | plat::DDCKEY_COLORSPACE, textureBuffer_->ColorKeyLow(),
                      textureBuffer_->ColorKeyHigh());
  fresh->Blt(&whole, &picture, &cell, plat::DDBLT_WAIT);
  stretched_.emplace(key, fresh);
  kept = true;
  return fresh;
}

bool BattleView::DrawFiltered(const plat::SurfacePtr& cell, const RECT& dest) {
  const plat::SurfacePtr& back = device_.BackSurface;
  const auto& main = device_.D3Device;
  const int32_t w = dest.Right - dest.Left, h = dest.Bottom - dest.Top;
  // Only what the device would draw as one plain rectangle, well inside
  // its coordinate range, onto a target it wholly covers with its viewport.
  if (!useFiltered_ || !back || !main || w <= 0 || h <= 0 || w > kFilterSide || h > kFilterSide ||
      dest.Left < -4 * kFilterSide || dest.Top < -4 * kFilterSide || dest.Left > 4096 || dest.Top > 4096)
    return false;
  const plat::D3DVIEWPORT7 view = main->GetViewport();
  if (view.dwX != 0 || view.dwY != 0 || static_cast<int32_t>(view.dwWidth) != back->Width() ||
      static_cast<int32_t>(view.dwHeight) != back->Height() || main->GetRenderState(plat::D3DRENDERSTATE_ZENABLE))
    return false;
  Filtered& f = filtered_[FilterKey{reinterpret_cast<intptr_t>(cell.get()), w, h}];
  if (f.pixels.empty()) {
    const size_t bytes = static_cast<size_t>(w) * h * sizeof(uint16_t);
    if (++f.seen < 2 || filteredBytes_ + bytes > kMaxFilteredBytes) return false;
    if (!filterDevice_) {
      auto target = std::make_shared<plat::Surface>(kFilterSide, kFilterSide);
      filterDevice_ = std::make_shared<plat::Direct3DDevice7>(main->GetDeviceGuid(), target, nullptr);
    }
    plat::Direct3DDevice7& d = *filterDevice_;
    for (int state = 0; state < plat::kRenderStateCount; ++state) d.SetRenderState(state, main->GetRenderState(state));
    for (int stage = 0; stage < plat::kTextureStages; ++stage)
      for (int type = 0; type < plat::kTextureStageStateCount; ++type)
        d.SetTextureStageState(stage, type, main->GetTextureStageState(stage, type));
    const plat::SurfacePtr& scratch = d.GetRenderTarget();
    scratch->BltColorFill(nullptr, 0);
    const auto saved = quad_;
    SetQuadRect(RECT{0, 0, w, h});
    const auto atOrigin = quad_;
    quad_ = saved;
    d.BeginScene();
    d.SetTexture(0, cell);
    d.DrawPrimitive(plat::D3DPT_TRIANGLESTRIP, plat::D3DFVF_TLVERTEX, atOrigin.data(), 4, 0);
    d.EndScene();
    f.pixels.resize(static_cast<size_t>(w) * h);
    for (int32_t y = 0; y < h; ++y)
      std::copy_n(scratch->Row(y), w, f.pixels.data() + static_cast<size_t>(y) * w);
    filteredBytes_ += bytes;
  }
  // Onto the frame, cut to it as the device's viewport cuts the quad.
  const int32_t x0 = std::max(0, dest.Left), y0 = std::max(0, dest.Top);
  const int32_t x1 = std::min(back->Width(), dest.Right), y1 = std::min(back->Height(), dest.Bottom);
  if (x0 >= x1 || y0 >= y1) return true;
  const plat::blit::Rows rows{back->Row(y0) + x0, back->Width(),
                              f.pixels.data() + static_cast<size_t>(y0 - dest.Top) * w + (x0 - dest.Left), w,
                              x1 - x0, y1 - y0};
  plat::blit::AddSaturated(rows);
  return true;
}

void BattleView::DrawEffect(const EffectRecord& e, int32_t x, int32_t y) {
  const ImageRecord* r = RecordAt(world_.Textures, e.ImageIndex);
  const auto texture = Texture(e.ImageIndex);
  const plat::SurfacePtr& back = device_.BackSurface;
  if (!r || !texture || !back || r->RepeatX <= 0 || r->RepeatY <= 0) return;
  RECT src;
  GetCellRect(src, texture, r->RepeatX, r->RepeatY, RoundL(e.FramePos));
  const RECT dest{e.DrawRect.Left + x, e.DrawRect.Top + y, e.DrawRect.Right + x, e.DrawRect.Bottom + y};
  switch (drawMode_) {
    case 1: {
      if (!device_.D3Device || !textureBuffer_) return;
      bool kept = false;
      const plat::SurfacePtr cell = StretchedCell(e.ImageIndex, *texture, src, kept);
      if (kept && DrawFiltered(cell, dest)) {
        SetQuadRect(dest);
        break;
      }
      device_.D3Device->BeginScene();
      SetQuadRect(dest);
      device_.D3Device->SetTexture(0, cell);
      device_.D3Device->DrawPrimitive(plat::D3DPT_TRIANGLESTRIP, plat::D3DFVF_TLVERTEX, quad_.data(), 4, 0);
      device_.D3Device->EndScene();
      break;
    }
    case 2: {
      plat::DDBLTFX fx;
      fx.lROP = plat::SRCPAINT;
      back->BltFx(&dest, texture.get(), &src, plat::DDBLT_WAIT | plat::DDBLT_ROP | plat::DDBLT_KEYSRC, fx);
      break;
    }
    case 3:
      back->Blt(&dest, texture.get(), &src, plat::DDBLT_WAIT | plat::DDBLT_KEYSRC);
      break;
    default:
      break;
  }
}

}  // namespace fw
