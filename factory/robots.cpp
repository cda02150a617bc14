#include "factory/robots.hpp"

#include <cmath>

#include "engine/rm_class.hpp"
#include "platform/runtime/random.hpp"

namespace fw {

namespace {
constexpr float kRadian = 3.141592653589f / 180.0f;
constexpr float kArrived = 0.5f;

struct StationRow {
  float x, z, width, depth;
  std::vector<int32_t> links;
};
// The floor's stations; 7 and 9, and 2 and 10, share their rectangles so a
// robot passing through them goes on the way it came.
const StationRow kStations[] = {
    {-96, 5, 35, 77, {2}},      {-64, 11, 10, 27, {3, 5}},  {-26, 23, 10, 10, {10, 4}},
    {30, 25, 10, 10, {3, 6, 7}}, {-26, -17, 10, 10, {10, 6}}, {30, -17, 10, 10, {4, 5, 7}},
    {65, 6, 10, 10, {8}},       {154, 112, 40, 40, {9}},    {65, 6, 10, 10, {4, 6}},
    {-64, 11, 10, 27, {1}},
};
}  // namespace

void HallRobots::InitViewPoints() {
  mStations.assign(1, RouteStation{});
  for (const StationRow& s : kStations) {
    RouteStation station;
    station.Center = {s.x, 0, s.z};
    station.Extent = {s.width, 0, s.depth};
    station.Links = s.links;
    mStations.push_back(station);
  }
}

void HallRobots::AddRobot(const std::string& key, int32_t index, float modelTurn, int32_t startStation) {
  plat::Randomize();
  if (startStation < 0) startStation = index + 1;
  MotionRecord r;
  r.Station = startStation;
  r.NextStation = startStation;
  r.Key = key;
  if (startStation < static_cast<int32_t>(mStations.size())) r.Position = mStations[static_cast<size_t>(startStation)].Center;
  r.Position.y = 2.1f;
  r.Radius = 4.0f;
  r.HeadingOffset = modelTurn;
  r.TurnRate = 6.0f;
  r.Speed = 0.1f;
  r.AnimStep = 0.2f;
  r.Track.resize(2);
  r.Track[0] = AnimTrack{0, 0, 10, 30, 40};
  mMotions.Motion(index, r);
}

void HallRobots::NextTarget(MotionRecord& r) const {
  // A station outside the table, or one without links, keeps the robot
  // where it is.
  if (r.Station < 0 || static_cast<size_t>(r.Station) >= mStations.size()) return;
  const std::vector<int32_t>& links = mStations[static_cast<size_t>(r.Station)].Links;
  if (links.empty()) return;
  const auto n = static_cast<int32_t>(links.size());
  int32_t k = static_cast<int32_t>(std::floor(plat::Rnd() * static_cast<float>(n)));
  if (k >= n) k = n - 1;
  const int32_t next = links[static_cast<size_t>(k)];
  if (next < 0 || static_cast<size_t>(next) >= mStations.size()) return;
  r.NextStation = next;
  const RouteStation& s = mStations[static_cast<size_t>(next)];
  r.Target.x = s.Extent.x * (plat::Rnd() - 0.5f) + s.Center.x;
  r.Target.z = s.Extent.z * (plat::Rnd() - 0.5f) + s.Center.z;
}

void HallRobots::ObjMotion(RMClass& hall) { Step(&hall); }

void HallRobots::ObjMotion() { Step(nullptr); }

void HallRobots::Step(RMClass* hall) {
  plat::Randomize();
  mMotions.Refresh();
  std::vector<MotionRecord> records = mMotions.Motions();
  for (size_t i = 0; i < records.size(); ++i) {
    MotionRecord& r = records[i];
    if (r.TargetDistance < kArrived) r.Station = r.NextStation;
    if (hall) {
      // A robot whose model could not be read has no node and walks unseen.
      if (const Node3DPtr node = hall->Objects->Item(r.Key); node && node->Frame) {
        node->Frame->AddRotation(plat::D3DRMCOMBINE_REPLACE, 0, 1, 0, (r.Heading + r.HeadingOffset) * kRadian);
        node->Frame->SetPosition(hall->D3DFrameScene, r.Position.x, r.Position.y, r.Position.z);
        if (node->Animation) node->Animation->SetTime(r.AnimTime);
      }
    }
    if (r.Station == r.NextStation) NextTarget(r);
  }
  mMotions.Motions(records);
}

}  // namespace fw
