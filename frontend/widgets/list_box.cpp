#include "frontend/widgets/list_box.hpp"

#include <algorithm>
#include <cmath>

#include "platform/runtime/error.hpp"
#include "platform/runtime/numeric.hpp"

namespace fw {

void qelListBox::DesRECT(const RECT& r) {
  desRect_ = r;
  Width = LongSum(r.Right, -static_cast<int64_t>(r.Left));
  Height = LongSum(r.Bottom, -static_cast<int64_t>(r.Top));
  Top = r.Top;
  Left = r.Left;
  CalcTextMetrics();
  BackSurface.reset();
  BackSurface4.reset();
  if (Width <= 0 || Height <= 0) return;  // nothing to draw on: Blt then draws nothing
  plat::SurfacePtr& back = dd4_ ? BackSurface4 : BackSurface;
  CreateOffscreenSurface(Width, Height, back, dd4_ ? dd4_ : dd7_, false);
  back->SetColorKey(plat::DDCKEY_SRCBLT, plat::ColorTo565(BackColor), 0);
}

void qelListBox::CalcTextMetrics() {
  // The size is kept to four decimal places, as the font object holds it.
  const double size = std::round(static_cast<double>(Font.Size) * 10000.0) / 10000.0;
  TextHeight = plat::CLng(size + plat::Int((size + 1.0) / 3.0));
  // A font too small for a row would divide by zero: count it as one pixel.
  MaxCol = static_cast<int32_t>(plat::Int(static_cast<double>(Height) / std::max(TextHeight, 1))) - 1;
}

std::shared_ptr<TextItem> qelListBox::Add(const std::string& text, const std::string& key, int32_t before,
                                          int32_t after) {
  auto item = std::make_shared<TextItem>();
  item->Key = key;
  item->Text = text;
  item->Index = Count() + 1;
  if (!key.empty() && items_.Contains(key))
    throw plat::RuntimeError(plat::ErrorCode::DuplicateKey, "This key is already associated with an element of this collection");
  if (before < 0 || after < 0 || before > Count() || after > Count())
    throw plat::RuntimeError(plat::ErrorCode::SubscriptOutOfRange, "Subscript out of range");
  if (before == 0 && after == 0) {
    items_.Add(item, key);
    return item;
  }
  // The collection appends only: rebuild it with the row in its place.
  const int32_t at = before > 0 ? before : after + 1;
  plat::KeyedCollection<TextItem> rebuilt;
  for (int32_t i = 1; i <= Count(); ++i) {
    if (i == at) rebuilt.Add(item, key);
    rebuilt.Add(items_.At(i), items_.KeyAt(i));
  }
  if (at > Count()) rebuilt.Add(item, key);
  items_ = std::move(rebuilt);
  return item;
}

void qelListBox::AfterRemove() {
  if (SelectedItem > Count()) SelectedItem = 0;
}

void qelListBox::Remove(int32_t position) {
  items_.Item(position);  // raises for a row that does not exist
  items_.Remove(position);
  AfterRemove();
}

void qelListBox::Remove(std::string_view key) {
  items_.Item(key);
  items_.Remove(key);
  AfterRemove();
}

void qelListBox::RemoveAll() {
  if (Count() == 0) return;
  for (int32_t i = Count(); i >= 1; --i) Remove(i);
  SelectedItem = 0;
}

int32_t qelListBox::Click(int32_t x, int32_t y) {
  if (PtInRECT(x, y, desRect_) && TextHeight > 0) {
    const auto row = static_cast<int64_t>(plat::Int(static_cast<double>(int64_t{y} - desRect_.Top) / TextHeight));
    const int64_t position = int64_t{ListIndex} + row;
    if (position <= Count() && row <= MaxCol && position >= 1) {
      SelectedItem = static_cast<int32_t>(position);
      return SelectedItem;
    }
  }
  SelectedItem = 0;
  return 0;
}

void qelListBox::Scroll(bool down) {
  ListIndex = LongSum(ListIndex, down ? 1 : -1);
  const int64_t last = int64_t{Count()} - MaxCol;
  if (ListIndex >= last) ListIndex = static_cast<int32_t>(std::max<int64_t>(last, INT32_MIN));
  if (ListIndex < 1) ListIndex = 1;
}

int32_t qelListBox::Draw(const plat::SurfacePtr& back, const plat::SurfacePtr& target, int32_t flags,
                         bool setForeColor) {
  if (!back || !target) return plat::DDERR_INVALIDPARAMS;
  const RECT whole{0, 0, Width, Height};
  back->BltColorFill(&whole, plat::ColorTo565(BackColor));
  if (SelectedItem > 0) {
    const int64_t top = (int64_t{SelectedItem} - ListIndex) * TextHeight;
    // A band scrolled out of view is refused, as the display refuses it.
    if (top >= 0 && top + TextHeight <= Height) {
      const RECT band{0, static_cast<int32_t>(top), Width, static_cast<int32_t>(top + TextHeight)};
      back->BltColorFill(&band, plat::ColorTo565(SelectColor));
    }
  }
  back->SetFont(Font);
  if (setForeColor) back->SetForeColor(ForeColor);
  for (int64_t i = std::max(ListIndex, 1); i <= int64_t{ListIndex} + MaxCol; ++i) {
    if (i > Count()) break;
    back->DrawText(0, static_cast<int32_t>((i - ListIndex) * TextHeight), items_.At(static_cast<int>(i))->Text);
  }
  return target->Blt(&desRect_, back.get(), &whole, flags);
}

int32_t qelListBox::Blt(const plat::SurfacePtr& target, int32_t flags) { return Draw(BackSurface, target, flags, false); }

int32_t qelListBox::Blt4(const plat::SurfacePtr& target, int32_t flags) { return Draw(BackSurface4, target, flags, true); }

}  // namespace fw
