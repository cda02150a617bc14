#include "data/named_rects.hpp"

#include "platform/runtime/numeric.hpp"

namespace fw {

void NamedRect::ABSXY(int32_t x, int32_t y) {
  const int64_t w = static_cast<int64_t>(iRECT.Right) - iRECT.Left;
  const int64_t h = static_cast<int64_t>(iRECT.Bottom) - iRECT.Top;
  iRECT = RECT{x, y, plat::CLng(static_cast<double>(x + w)), plat::CLng(static_cast<double>(y + h))};
}

NamedRects::Ptr NamedRects::Add(const std::string& key, const RECT& r) {
  auto p = std::make_shared<NamedRect>();
  p->Key = key;
  p->iRECT = r;
  return Insert(p, key);
}

}  // namespace fw
