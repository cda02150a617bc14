#include "factory/motion.hpp"

#include <cmath>

#include "platform/runtime/error.hpp"

namespace fw {

namespace {
constexpr float kPi = 3.141592653589f;
constexpr float kRadian = kPi / 180.0f;
// How far beyond the touch a robot still steers round the other.
constexpr float kClearing = 3.0f;

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

bool MotionSet::StepsInto(int32_t i, float x, float z) const {
  const MotionRecord& me = motions_[static_cast<size_t>(i)];
  for (size_t j = 0; j < motions_.size(); ++j) {
    if (static_cast<int32_t>(j) == i) continue;
    const plat::D3DVECTOR& o = motions_[j].Position;
    const float before = std::hypot(me.Position.x - o.x, me.Position.z - o.z);
    const float after = std::hypot(x - o.x, z - o.z);
    if (after < me.Radius && after < before) return true;
  }
  return false;
}

int32_t MotionSet::Nearest(int32_t i, float extra) const {
  const MotionRecord& me = motions_[static_cast<size_t>(i)];
  int32_t best = -1;
  float bestGap = extra;
  for (size_t j = 0; j < motions_.size(); ++j) {
    if (static_cast<int32_t>(j) == i) continue;
    const plat::D3DVECTOR& o = motions_[j].Position;
    const float gap = std::hypot(me.Position.x - o.x, me.Position.z - o.z) - me.Radius - motions_[j].Radius;
    if (gap < bestGap) {
      bestGap = gap;
      best = static_cast<int32_t>(j);
    }
  }
  return best;
}

bool MotionSet::TargetTaken(int32_t i) const {
  const MotionRecord& me = motions_[Checked(i)];
  const int32_t j = Nearest(i, kClearing);
  if (j < 0) return false;
  const MotionRecord& other = motions_[static_cast<size_t>(j)];
  return std::hypot(me.Target.x - other.Position.x, me.Target.z - other.Position.z) < me.Radius + other.Radius;
}

void MotionSet::Refresh() {
  for (size_t n = 0; n < motions_.size(); ++n) {
    const int32_t i = static_cast<int32_t>(n);
    MotionRecord& r = motions_[n];
    float want = 90.0f - CalAngle(r.Position, r.Target);
    const float tx = r.Target.x - r.Position.x, tz = r.Target.z - r.Position.z;
    r.TargetDistance = std::sqrt(tz * tz + tx * tx);

    // Slide round a robot it touches on the side of the target, leaning
    // away from it by one turn so that a heading within a turn of the wish
    // never closes in: turning aside without looking where the other stands
    // walks half the robots that meet straight into each other. Just
    // beyond the touch it keeps sliding while the target lies behind the
    // other, or it would swing back at once and trail alongside it.
    const bool touching = CheckCollision(i);
    const int32_t near = touching ? r.HitIndex : Nearest(i, kClearing);
    if (near >= 0) {
      const float toOther = 90.0f - CalAngle(r.Position, motions_[static_cast<size_t>(near)].Position);
      float side = want - toOther;
      while (side > 180.0f) side -= 360.0f;
      while (side <= -180.0f) side += 360.0f;
      if (touching || std::fabs(side) < 90.0f) {
        const float aside = 90.0f + r.TurnRate;
        want = toOther + (side >= 0.0f ? aside : -aside);
        if (want < 0.0f) want += 360.0f;
      }
    }
    want = Wrapped(want);

    float h = r.Heading;
    const float t = r.TurnRate;
    if (h + t < want) h += std::fabs(want - h) <= 180.0f ? t : -t;
    if (h - t > want) h += std::fabs(want - h) < 180.0f ? -t : t;
    r.Heading = Wrapped(h);

    const float nx = r.Position.x + r.Speed * std::sin(r.Heading * kRadian);
    const float nz = r.Position.z + r.Speed * std::cos(r.Heading * kRadian);
    if (!StepsInto(i, nx, nz)) {
      r.Position.x = nx;
      r.Position.z = nz;
    }

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
