#include "factory/motion.hpp"

#include <cmath>

#include "platform/runtime/error.hpp"

namespace fw {

namespace {
constexpr float kPi = 3.141592653589f;
constexpr float kRadian = kPi / 180.0f;

// Brings an angle that left 0 to 360 by less than a turn back into it.
float Wrapped(float a) {
  if (a > 360.0f) a -= 360.0f;
  if (a < 0.0f) a += 360.0f;
  return a;
}
}  // namespace

void MotionSet::Count(int32_t n) {
  if (n < 0) throw plat::RuntimeError(plat::ErrorCode::SubscriptOutOfRange, "Subscript out of range");
  count_ = n;
  motions_.resize(static_cast<size_t>(n) + 1);
}

size_t MotionSet::Checked(int32_t i) const {
  if (i < 0 || static_cast<size_t>(i) >= motions_.size())
    throw plat::RuntimeError(plat::ErrorCode::SubscriptOutOfRange, "Subscript out of range");
  return static_cast<size_t>(i);
}

MotionRecord MotionSet::Motion(int32_t i) const { return motions_[Checked(i)]; }

void MotionSet::Motion(int32_t i, const MotionRecord& record) { motions_[Checked(i)] = record; }

void MotionSet::Motions(const std::vector<MotionRecord>& records) {
  motions_ = records;
  count_ = records.empty() ? 0 : static_cast<int32_t>(records.size()) - 1;
}

bool MotionSet::CheckCollision(int32_t i) {
  MotionRecord& me = motions_[Checked(i)];
  for (size_t j = 0; j < motions_.size(); ++j) {
    if (static_cast<int32_t>(j) == i) continue;
    const MotionRecord& other = motions_[j];
    const float dx = me.Position.x - other.Position.x, dy = me.Position.y - other.Position.y,
                dz = me.Position.z - other.Position.z;
    const float d = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (d < me.Radius + other.Radius) {
      me.HitIndex = static_cast<int32_t>(j);
      me.HitDistance = d;
      return true;
    }
  }
  me.HitIndex = 0;
  return false;
}

float MotionSet::CalAngle(const plat::D3DVECTOR& a, const plat::D3DVECTOR& b) {
  const float dx = b.x - a.x, dz = b.z - a.z;
  const float d = std::sqrt(dx * dx + dz * dz);
  if (d == 0.0f) return 0.0f;
  const float c = dx / d;
  // Rounding can put the sine a hair beyond 1, where the arc sine has no
  // value; the direction is then straight along z.
  const float s = std::fmax(-1.0f, std::fmin(1.0f, dz / d));
  const float alpha = std::asin(s) * 180.0f / kPi;
  if (c >= 0.0f) return alpha < 0.0f ? alpha + 360.0f : alpha;
  return 180.0f - alpha;
}

float MotionSet::Wish(int32_t i) {
  MotionRecord& r = motions_[Checked(i)];
  float want = 90.0f - CalAngle(r.Position, r.Target);
  const float tx = r.Target.x - r.Position.x, tz = r.Target.z - r.Position.z;
  r.TargetDistance = std::sqrt(tz * tz + tx * tx);

  // Robots that touch swing their wish a quarter aside and keep moving:
  // they may overlap for a while, then part again, which is the hall's
  // look. The turn is to the right when a step ahead closes in on the
  // other and to the left otherwise, and always to the left against one
  // heading the opposite way.
  if (CheckCollision(i)) {
    const MotionRecord& other = motions_[static_cast<size_t>(r.HitIndex)];
    if (std::fabs(r.Heading - other.Heading) < 180.0f) {
      const float dx = r.Position.x + std::sin(r.Heading * kRadian) - other.Position.x,
                  dy = r.Position.y - other.Position.y,
                  dz = r.Position.z + std::cos(r.Heading * kRadian) - other.Position.z;
      want += std::sqrt(dx * dx + dy * dy + dz * dz) < r.HitDistance ? 90.0f : -90.0f;
    } else {
      want -= 90.0f;
    }
  }
  return Wrapped(want);
}

void MotionSet::Refresh() {
  for (size_t n = 0; n < motions_.size(); ++n) {
    const float want = Wish(static_cast<int32_t>(n));
    MotionRecord& r = motions_[n];
    float h = r.Heading;
    const float t = r.TurnRate;
    if (h + t < want) h += std::fabs(want - h) <= 180.0f ? t : -t;
    if (h - t > want) h += std::fabs(want - h) < 180.0f ? -t : t;
    r.Heading = Wrapped(h);

    r.Position.x += r.Speed * std::sin(r.Heading * kRadian);
    r.Position.z += r.Speed * std::cos(r.Heading * kRadian);

    // A record without the track it names keeps its time.
    if (r.TrackIndex >= 0 && static_cast<size_t>(r.TrackIndex) < r.Track.size()) {
      const AnimTrack& e = r.Track[static_cast<size_t>(r.TrackIndex)];
      if (e.Start <= r.AnimTime && r.AnimTime <= e.Last) {
        r.AnimTime += r.AnimStep;
        if (r.AnimTime > e.End) r.AnimTime = e.LoopTo;
      }
    }
  }
}

}  // namespace fw
