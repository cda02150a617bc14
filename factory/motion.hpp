#pragma once
// The motion of the hall's robots on the floor plane (x and z; y is the
// height): one record per robot and one step of steering around the
// others, driving and animation time for all of them per Refresh. What the
// hall does with the records (stations, targets, frames) is its own.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d/d3d_types.hpp"

namespace fw {

// A span of animation time: the track runs while the time lies within
// Start to Last, and jumps back to LoopTo once it passes End.
struct AnimTrack {
  float Unused = 0.0f;
  float Start = 0.0f, LoopTo = 0.0f, End = 0.0f, Last = 0.0f;
};

struct MotionRecord {
  int32_t Station = 0;      // the hall station reached last
  int32_t NextStation = 0;  // the station it heads for
  std::string Key;          // the robot's node in the hall scene
  plat::D3DVECTOR Position;
  plat::D3DVECTOR Target;
  float TargetDistance = 0.0f;  // on the floor plane
  float Radius = 0.0f;
  int32_t HitIndex = 0;
  float HitDistance = 0.0f;
  float AngleX = 0.0f;
  // Degrees, 0 to 360: a step of d moves x by d sin(Heading), z by d cos.
  float Heading = 0.0f;
  float AngleZ = 0.0f;
  float HeadingOffset = 0.0f;  // turn of the model against its heading
  float TurnRate = 0.0f;       // degrees per step
  float Speed = 0.0f;          // units per step
  float AnimTime = 0.0f;
  float AnimStep = 0.0f;
  int32_t TrackIndex = 0;
  std::vector<AnimTrack> Track;
};

class MotionSet {
 public:
  // The upper bound of the records; writing n keeps records 0 to n (new
  // ones empty). A new set holds no record until Count is written.
  int32_t Count() const { return count_; }
  void Count(int32_t n);

  // A copy of record i, and replacing it; an index outside 0 to Count
  // raises a bounds error.
  MotionRecord Motion(int32_t i) const;
  void Motion(int32_t i, const MotionRecord& record);
  const std::vector<MotionRecord>& Motions() const { return motions_; }
  void Motions(const std::vector<MotionRecord>& records);

  // Whether record i's centre lies closer than the two radii to another's
  // (the first in index order): HitIndex and HitDistance say which and
  // how far; without a hit HitIndex becomes 0.
  bool CheckCollision(int32_t i);
  // The direction from a to b on the floor plane in degrees 0 to 360,
  // counted from +x towards +z; 0 when the points coincide.
  static float CalAngle(const plat::D3DVECTOR& a, const plat::D3DVECTOR& b);
  // The heading record i wants this step (0 to 360): towards its target,
  // turned a quarter aside while it touches another. Writes its
  // TargetDistance and, through CheckCollision, its HitIndex and
  // HitDistance.
  float Wish(int32_t i);
  // One step of every record in index order, each seeing those stepped
  // before it in their new state: turn towards the target (a quarter aside
  // while touching another), move a step whatever lies ahead, advance the
  // animation.
  void Refresh();

 private:
  size_t Checked(int32_t i) const;
  std::vector<MotionRecord> motions_;
  int32_t count_ = 0;
};

}  // namespace fw
