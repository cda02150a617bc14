#include "data/way_point.hpp"

namespace fw {
namespace {
[[noreturn]] void SubscriptError(int32_t i) {
  throw plat::RuntimeError(plat::ErrorCode::SubscriptOutOfRange, "Subscript out of range: " + std::to_string(i));
}
}  // namespace

void WayPoint::Count(int32_t n) {
  if (n < 0) SubscriptError(n);
  positions_.resize(static_cast<size_t>(n));
}

void WayPoint::SetWayPos(int32_t i, int32_t x, int32_t y) {
  if (i < 1 || i > Count()) SubscriptError(i);
  positions_[static_cast<size_t>(i - 1)] = {x, y};
}

std::pair<int32_t, int32_t> WayPoint::GetWayPos(int32_t i) const {
  if (i < 1 || i > Count()) SubscriptError(i);
  return positions_[static_cast<size_t>(i - 1)];
}

WayPointCollect::Ptr WayPointCollect::Add(const std::string& key, int32_t mapPosX, int32_t mapPosY) {
  auto p = std::make_shared<WayPoint>();
  p->Key = key;
  p->MapPosX = mapPosX;
  p->MapPosY = mapPosY;
  return Insert(p, key);
}

void WayPointCollect::IncWayPoint() {
  CurrentWayPoint = CurrentWayPoint >= Count() ? 1 : CurrentWayPoint + 1;
}

}  // namespace fw
