#pragma once
// The four robots of the maintenance hall: a walker and three carts that
// wander from route station to route station across the floor, each
// choosing its next station among the links of the one it reached, and
// steering around the others. They move one step per frame whatever the
// factory shows.
#include <cstdint>
#include <string>
#include <vector>

#include "factory/motion.hpp"
#include "platform/d3d/d3d_types.hpp"

namespace fw {

class RMClass;

// A rectangle of the floor (Extent.x by Extent.z about Center) that a robot
// heads for, and the stations it may go on to from there.
struct RouteStation {
  plat::D3DVECTOR Center;
  plat::D3DVECTOR Extent;
  std::vector<int32_t> Links;
};

class HallRobots {
 public:
  // Stations 1 to 10 of the hall floor; element 0 stays empty.
  std::vector<RouteStation> mStations;
  MotionSet mMotions;

  void InitViewPoints();
  // Record `index` of mMotions (which must hold it) for the robot of the
  // node `key`, standing still on the centre of its start station (by
  // default the record number + 1) until the first step gives it a target.
  void AddRobot(const std::string& key, int32_t index, float modelTurn, int32_t startStation = -1);
  // One frame: every record steps, a robot that reached its target takes
  // the next station, and each robot's node in the hall (when it has one)
  // is turned and placed where its record says.
  void ObjMotion(RMClass& hall);
  // The same without a scene: the records alone.
  void ObjMotion();

 private:
  void Step(RMClass* hall);
  void NextTarget(MotionRecord& r) const;
};

}  // namespace fw
