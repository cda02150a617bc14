#include "engine/sprite_sheets.hpp"

#include "engine/helpers.hpp"
#include "engine/sheet_cell.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/numeric.hpp"
#include "platform/runtime/strings.hpp"

namespace fw {
namespace {

void NeedSurface(const plat::SurfacePtr& s, const char* what) {
  if (!s) throw plat::RuntimeError(plat::ErrorCode::ObjectMissing, std::string("Object variable not set: ") + what);
}

}  // namespace

void Clip::DescRECT(const RECT& r) {
  descRect_ = r;
  if (r.Right != r.Left && RepeatX != 0)
    ScaleX = static_cast<float>((static_cast<double>(w) / RepeatX) / (int64_t{r.Right} - r.Left));
  if (r.Bottom != r.Top && RepeatY != 0)
    ScaleY = static_cast<float>((static_cast<double>(H) / RepeatY) / (int64_t{r.Bottom} - r.Top));
}

int32_t Clip::ChooseFrame(int32_t frame) const {
  if (frame == 0) return Index;
  if (frame < 0) return 1;
  return frame > Total ? Total : frame;
}

RECT Clip::SourceRect(int32_t frame, int32_t sliceLeft, int32_t sliceTop, int32_t sliceRight,
                      int32_t sliceBottom) const {
  const SheetCell cell = CellOfFrame(w, H, RepeatX, RepeatY, ChooseFrame(frame));
  const double left = static_cast<double>(cell.left), top = static_cast<double>(cell.top);
  return RECT{plat::CLng(double{ScaleX} * sliceLeft + left), plat::CLng(double{ScaleY} * sliceTop + top),
              plat::CLng(left + cell.width - double{ScaleX} * sliceRight),
              plat::CLng(top + cell.height - double{ScaleY} * sliceBottom)};
}

int32_t Clip::DrawFast(const plat::SurfacePtr& sheet, const plat::SurfacePtr& dest, int32_t flags, int32_t x,
                       int32_t y, int32_t frame, int32_t sl, int32_t st, int32_t sr, int32_t sb) const {
  NeedSurface(dest, "no destination surface");
  const RECT src = SourceRect(frame, sl, st, sr, sb);
  return dest->BltFast(x, y, sheet.get(), &src, flags);
}

int32_t Clip::DrawStretched(const plat::SurfacePtr& sheet, const plat::SurfacePtr& dest, int32_t flags, int32_t x,
                            int32_t y, int32_t frame, int32_t sl, int32_t st, int32_t sr, int32_t sb) const {
  NeedSurface(dest, "no destination surface");
  const RECT src = SourceRect(frame, sl, st, sr, sb);
  const RECT to{LongSum(LongSum(descRect_.Left, x), sl), LongSum(LongSum(descRect_.Top, y), st),
                LongSum(LongSum(descRect_.Right, x), -int64_t{sr}), LongSum(LongSum(descRect_.Bottom, y), -int64_t{sb})};
  return dest->Blt(&to, sheet.get(), &src, flags);
}

int32_t Clip::BltFast(const plat::SurfacePtr& dest, int32_t flags, int32_t x, int32_t y, int32_t frame,
                      int32_t sliceLeft, int32_t sliceTop, int32_t sliceRight, int32_t sliceBottom) const {
  return DrawFast(Surface, dest, flags, x, y, frame, sliceLeft, sliceTop, sliceRight, sliceBottom);
}

int32_t Clip::BltFast4(const plat::SurfacePtr& dest, int32_t flags, int32_t x, int32_t y, int32_t frame,
                       int32_t sliceLeft, int32_t sliceTop, int32_t sliceRight, int32_t sliceBottom) const {
  return DrawFast(Surface4, dest, flags, x, y, frame, sliceLeft, sliceTop, sliceRight, sliceBottom);
}

int32_t Clip::Blt(const plat::SurfacePtr& dest, int32_t flags, int32_t x, int32_t y, int32_t frame,
                  int32_t sliceLeft, int32_t sliceTop, int32_t sliceRight, int32_t sliceBottom) const {
  return DrawStretched(Surface, dest, flags, x, y, frame, sliceLeft, sliceTop, sliceRight, sliceBottom);
}

int32_t Clip::Blt4(const plat::SurfacePtr& dest, int32_t flags, int32_t x, int32_t y, int32_t frame,
                   int32_t sliceLeft, int32_t sliceTop, int32_t sliceRight, int32_t sliceBottom) const {
  return DrawStretched(Surface4, dest, flags, x, y, frame, sliceLeft, sliceTop, sliceRight, sliceBottom);
}

int32_t Clip::BltFx(const plat::SurfacePtr& dest, const RECT& destRect, int32_t flags, const plat::DDBLTFX& fx,
                    int32_t frame) const {
  NeedSurface(dest, "no destination surface");
  const RECT src = SourceRect(frame, 0, 0, 0, 0);
  return dest->BltFx(&destRect, Surface.get(), &src, flags, fx);
}

int32_t Clip::BltBlend(int32_t x, int32_t y, const plat::SurfacePtr& dest, int32_t& frame) const {
  frame = ChooseFrame(frame);
  const RECT src = SourceRect(frame, 0, 0, 0, 0);
  const RECT to{x, y, LongSum(x, src.Right - src.Left), LongSum(y, src.Bottom - src.Top)};
  plat::DDBLTFX fx;
  fx.lROP = plat::SRCPAINT;
  return BltFx(dest, to, plat::DDBLT_WAIT | plat::DDBLT_ROP | plat::DDBLT_KEYSRC, fx, frame);
}

void Clip::AddOnto(const plat::Surface& from, const RECT& cell, const plat::SurfacePtr& dest, int32_t x,
                   int32_t y) const {
  for (int32_t px = cell.Left; px < cell.Right; ++px)
    for (int32_t py = cell.Top; py < cell.Bottom; ++py) {
      const int32_t s = from.GetLockedPixel(px, py);
      if (s <= 0) continue;
      const int64_t dx = int64_t{px} + x - cell.Left, dy = int64_t{py} + y - cell.Top;
      if (dx < 0 || dy < 0 || dx >= dest->Width() || dy >= dest->Height()) continue;
      const auto ix = static_cast<int32_t>(dx), iy = static_cast<int32_t>(dy);
      dest->SetLockedPixel(ix, iy, Add565(s, dest->GetLockedPixel(ix, iy)));
    }
  dest->Unlock(nullptr);
}

void Clip::BltAlpha(int32_t x, int32_t y, const plat::SurfacePtr& dest, int32_t& frame) const {
  NeedSurface(dest, "no destination surface");
  NeedSurface(Surface, "the sheet has no surface");
  frame = ChooseFrame(frame);
  AddOnto(*Surface, SourceRect(frame, 0, 0, 0, 0), dest, x, y);
}

void Clip::BltAlphaScale(int32_t x, int32_t y, const plat::SurfacePtr& dest, const RECT& target,
                         int32_t& frame) const {
  NeedSurface(dest, "no destination surface");
  NeedSurface(Surface, "the sheet has no surface");
  frame = ChooseFrame(frame);
  const int64_t tw = int64_t{target.Right} - target.Left, th = int64_t{target.Bottom} - target.Top;
  if (tw <= 0 || th <= 0 || tw > 16384 || th > 16384) return;
  // The frame is stretched into a scratch surface of the target's size,
  // which then is the source of the blend.
  plat::Surface scratch(static_cast<int>(tw), static_cast<int>(th));
  const RECT src = SourceRect(frame, 0, 0, 0, 0);
  scratch.Blt(nullptr, Surface.get(), &src, plat::DDBLT_WAIT);
  AddOnto(scratch, RECT{0, 0, scratch.Width(), scratch.Height()}, dest, x, y);
}

void Clip::SetColorKey(int32_t flags, int32_t low, int32_t high) {
  NeedSurface(Surface, "the sheet has no surface");
  Surface->SetColorKey(flags, static_cast<uint16_t>(low), static_cast<uint16_t>(high));
}

void Clip::Inc(bool forward) {
  if (forward) {
    if (Total == 0) throw plat::RuntimeError(plat::ErrorCode::General, "Division by zero: a sheet without frames");
    Index = Index % Total + 1;
  } else {
    --Index;
    if (Index <= 0) Index = Total;
  }
}

std::shared_ptr<Clip> SufClips::AddSheet(const std::string& key, const plat::SurfacePtr& surface, int32_t repeatX,
                                         int32_t repeatY, int32_t& total, bool ddraw4) {
  NeedSurface(surface, "no surface for the sprite sheet");
  if (repeatX <= 0 || repeatY <= 0)
    throw plat::RuntimeError(plat::ErrorCode::General, "Division by zero: a sprite sheet without frames");
  const int64_t cells = int64_t{repeatX} * repeatY;
  if (total < 1 || total > cells) total = LongSum(cells, 0);
  auto clip = std::make_shared<Clip>();
  surface->GetSurfaceDesc(clip->SurfaceDesc);
  clip->Key = plat::UCase(key);
  (ddraw4 ? clip->Surface4 : clip->Surface) = surface;
  clip->w = clip->SurfaceDesc.lWidth;
  clip->H = clip->SurfaceDesc.lHeight;
  clip->RepeatX = repeatX;
  clip->RepeatY = repeatY;
  clip->DescRECT(CellOfFrame(clip->w, clip->H, repeatX, repeatY, 1).Rect());
  clip->Total = total;
  clip->Index = 1;
  if (!KeyedCollection::Add(clip, clip->Key))
    throw plat::RuntimeError(plat::ErrorCode::DuplicateKey,
                             "This key is already associated with an element of this collection: \"" + key + "\"");
  return clip;
}

std::shared_ptr<Clip> SufClips::Add(const std::string& key, const plat::SurfacePtr& surface, int32_t repeatX,
                                    int32_t repeatY, int32_t& total) {
  return AddSheet(key, surface, repeatX, repeatY, total, false);
}

std::shared_ptr<Clip> SufClips::Add(const std::string& key, const plat::SurfacePtr& surface, int32_t repeatX,
                                    int32_t repeatY) {
  int32_t all = 0;
  return AddSheet(key, surface, repeatX, repeatY, all, false);
}

std::shared_ptr<Clip> SufClips::Add4(const std::string& key, const plat::SurfacePtr& surface, int32_t repeatX,
                                     int32_t repeatY, int32_t& total) {
  return AddSheet(key, surface, repeatX, repeatY, total, true);
}

std::shared_ptr<Clip> SufClips::Add4(const std::string& key, const plat::SurfacePtr& surface, int32_t repeatX,
                                     int32_t repeatY) {
  int32_t all = 0;
  return AddSheet(key, surface, repeatX, repeatY, all, true);
}

}  // namespace fw
