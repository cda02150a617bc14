#include "tests/missions/scripted_player.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <queue>

#include "battle/battle_input.hpp"
#include "battle/battle_sim.hpp"
#include "battle/loaders.hpp"
#include "battle/mission_hooks.hpp"
#include "battle/surface_pictures.hpp"
#include "data/battle_result.hpp"
#include "data/users.hpp"
#include "factory/rules/assembly.hpp"
#include "factory/rules/combin_all.hpp"
#include "factory/rules/shop.hpp"
#include "missions/campaign.hpp"
#include "tests/battle/world_data.hpp"

namespace fw::playtest {
namespace {

// The battle's fixed keys: the arrows drive, Enter fires, numeric-pad minus
// widens the radar.
constexpr int16_t kUp = 38, kDown = 40, kLeft = 37, kRight = 39, kEnter = 13, kRadarOut = 109;
constexpr float kPi = 3.14159265f;
// How much dearer a step over ground never seen is than over open ground.
constexpr float kUnseenCost = 2.0f;
// The search leans towards the goal: a way a little longer than the
// shortest is found in a fraction of the time.
constexpr float kGreed = 1.5f;
// Frames of a fight without the target in the sights before the player
// slows down to turn on the spot.
constexpr int32_t kCircling = 300;

float Deg(float rad) { return rad * 180.0f / kPi; }
// The difference b - a of two headings, in -180 to 180.
float Turn(float a, float b) {
  float d = std::fmod(b - a, 360.0f);
  if (d > 180.0f) d -= 360.0f;
  if (d <= -180.0f) d += 360.0f;
  return d;
}

bool InRanges(const std::vector<std::array<int32_t, 2>>& ranges, int32_t kind) {
  for (const auto& r : ranges)
    if (kind >= r[0] && kind <= r[1]) return true;
  return false;
}

}  // namespace

// ---------------------------------------------------------------- briefings

const Briefing& MissionBriefing(int32_t mission) {
  static const std::vector<Briefing> briefings = [] {
    std::vector<Briefing> b(21);
    b[1].FollowGoal = true;        // the leader, then the appointed spot
    b[3].Destroy = {{580, 580}};   // the command centre
    b[3].Where = {"south"};        // "the rebels' base in the south"
    b[7].Keep = {{550, 550}};      // the town's command post
    b[9].Destroy = {{550, 550}};   // the scientist's prison
    b[9].FollowGoal = true;
    b[11].Destroy = {{570, 570}};  // the magazine
    b[11].Where = {"west"};        // "the depot town in the west"
    b[13].Destroy = {{661, 668}};  // the tank factory: the tank works
    b[13].Where = {"east"};
    b[14].Destroy = {{601, 612}};  // the helicopter base
    b[14].Where = {"east"};
    b[15].Destroy = {{560, 560}};  // the prisons of the town
    b[15].Where = {"north", "west", "south"};
    b[15].FollowGoal = true;
    b[17].FollowGoal = true;
    b[17].Keep = {{530, 530}};                 // the chemical factory
    b[20].Destroy = {{661, 668}};  // the tank factories: the tank works
    b[20].Where = {"east"};
    b[20].Rush = true;
    return b;
  }();
  return briefings.at(static_cast<size_t>(std::clamp(mission, 1, 20)));
}

std::array<float, 4> MapPart(const std::string& word) {
  // The map in thirds each way: the orders' compass words name a ninth.
  constexpr float kW = 5120.0f / 3, kH = 3840.0f / 3;
  const bool north = word.starts_with("north"), south = word.starts_with("south");
  const bool west = word.ends_with("west"), east = word.ends_with("east");
  if (!north && !south && !west && !east && word != "middle") return {0, 0, 5120, 3840};
  const float col = west ? 0.0f : east ? 2.0f : 1.0f, row = north ? 0.0f : south ? 2.0f : 1.0f;
  return {col * kW, row * kH, (col + 1) * kW, (row + 1) * kH};
}

// ---------------------------------------------------------------- inputs

void BattleInputs::Press(int16_t code) {
  if (w_.RunState != "Loop") return;
  if (std::find(held_.begin(), held_.end(), code) != held_.end()) return;
  held_.push_back(code);
  BattleKeyDown(w_, out_, code);
}

void BattleInputs::Release(int16_t code) {
  const auto at = std::find(held_.begin(), held_.end(), code);
  if (at == held_.end()) return;
  held_.erase(at);
  if (w_.RunState == "Loop") BattleKeyUp(w_, code);
}

void BattleInputs::Hold(int16_t code, bool down) { down ? Press(code) : Release(code); }

void BattleInputs::Move(float x, float y) {
  if (w_.RunState == "Loop") BattleMouseMove(w_, x, y);
}

void BattleInputs::Button(int16_t button, bool down) {
  bool& held = buttons_.at(static_cast<size_t>(button));
  if (held == down || w_.RunState != "Loop") return;
  held = down;
  if (down) BattleMouseDown(w_, button, w_.MouseX, w_.MouseY);
  else BattleMouseUp(w_, button);
}

void BattleInputs::ReleaseAll() {
  while (!held_.empty()) Release(held_.back());
  for (int16_t b : {1, 2, 4}) Button(b, false);
}

// ---------------------------------------------------------------- the player

bool ScriptedPlayer::Wanted(int32_t kind) const { return InRanges(brief_.Destroy, kind); }
bool ScriptedPlayer::Kept(int32_t kind) const { return InRanges(brief_.Keep, kind); }

void ScriptedPlayer::Remember(const Sight& s) {
  for (const auto& [cell, open] : s.Ground) memory_.Ground[static_cast<size_t>(cell)] = open ? Memory::kOpen : Memory::kClosed;
  // What the view shows replaces what was remembered there: a building no
  // longer seen where it stood is gone.
  const float l = static_cast<float>(s.ScrollX), t = static_cast<float>(s.ScrollY);
  std::erase_if(memory_.Buildings, [&](const Sight::Building& m) {
    return ScreenCover::Shows(m.X - l, m.Y - t) ||
           std::any_of(s.Buildings.begin(), s.Buildings.end(), [&](const Sight::Building& b) { return b.X == m.X && b.Y == m.Y; });
  });
  memory_.Buildings.insert(memory_.Buildings.end(), s.Buildings.begin(), s.Buildings.end());
}

// Ground never seen is taken to be open until a look shows otherwise.
bool ScriptedPlayer::Blocked(int32_t c, int32_t r) const {
  if (!BattleState::InGrid(c, r)) return true;
  return memory_.Ground[static_cast<size_t>(BattleState::CellIndex(c, r))] == Memory::kClosed;
}

bool ScriptedPlayer::StraightFree(float ax, float ay, float bx, float by) const {
  const float len = std::hypot(bx - ax, by - ay);
  for (float t = 0; t <= len; t += 8.0f) {
    const float f = len > 0 ? t / len : 0;
    const float x = ax + f * (bx - ax), y = ay + f * (by - ay);
    // A unit is wider than its centre: keep a cell's margin on both sides.
    for (float o : {-18.0f, 0.0f, 18.0f})
      if (Blocked(static_cast<int32_t>(std::floor((x + o) / kMaskCell)), static_cast<int32_t>(std::floor((y + o) / kMaskCell))))
        return false;
  }
  return true;
}

std::array<float, 2> ScriptedPlayer::WayTo(const Sight& s, float x, float y) {
  if (StraightFree(s.X, s.Y, x, y)) {
    path_.clear();
    return {x, y};
  }
  ++pathAge_;
  if (path_.empty() || pathAge_ > 120 || std::hypot(pathGoal_[0] - x, pathGoal_[1] - y) > 120.0f) {
    pathAge_ = 0;
    pathGoal_ = {x, y};
    path_.clear();
    const int32_t sc = static_cast<int32_t>(s.X / kMaskCell), sr = static_cast<int32_t>(s.Y / kMaskCell);
    int32_t gc = static_cast<int32_t>(x / kMaskCell), gr = static_cast<int32_t>(y / kMaskCell);
    gc = std::clamp(gc, 0, kMaskColumns - 1);
    gr = std::clamp(gr, 0, kMaskRows - 1);
    std::vector<float> cost(static_cast<size_t>(kMaskBytes), std::numeric_limits<float>::max());
    std::vector<int32_t> from(static_cast<size_t>(kMaskBytes), -1);
    using Node = std::pair<float, int32_t>;
    std::priority_queue<Node, std::vector<Node>, std::greater<>> open;
    const int32_t start = BattleState::CellIndex(std::clamp(sc, 0, kMaskColumns - 1), std::clamp(sr, 0, kMaskRows - 1));
    const int32_t goal = BattleState::CellIndex(gc, gr);
    cost[static_cast<size_t>(start)] = 0;
    open.push({0, start});
    int32_t best = start;
    float bestH = std::numeric_limits<float>::max();
    while (!open.empty()) {
      const auto [f, k] = open.top();
      open.pop();
      const int32_t c = k % kMaskColumns, r = k / kMaskColumns;
      const float h = kGreed * std::hypot(static_cast<float>(gc - c), static_cast<float>(gr - r));
      if (h < bestH) bestH = h, best = k;
      if (k == goal) break;
      if (f - h > cost[static_cast<size_t>(k)] + 1e-3f) continue;
      for (int dc = -1; dc <= 1; ++dc)
        for (int dr = -1; dr <= 1; ++dr) {
          if (!dc && !dr) continue;
          const int32_t nc = c + dc, nr = r + dr;
          if (Blocked(nc, nr) || (dc && dr && (Blocked(c + dc, r) || Blocked(c, r + dr)))) continue;
          // Cells beside a wall cost more, so the way keeps off it.
          float step = (dc && dr) ? 1.414f : 1.0f;
          if (Blocked(nc + 1, nr) || Blocked(nc - 1, nr) || Blocked(nc, nr + 1) || Blocked(nc, nr - 1)) step += 2.0f;
          const int32_t n = BattleState::CellIndex(nc, nr);
          // Ground never seen may be barred: a way over known ground is
          // worth a longer drive.
          if (memory_.Ground[static_cast<size_t>(n)] == Memory::kUnseen) step *= kUnseenCost;
          const float g = cost[static_cast<size_t>(k)] + step;
          if (g >= cost[static_cast<size_t>(n)]) continue;
          cost[static_cast<size_t>(n)] = g;
          from[static_cast<size_t>(n)] = k;
          open.push({g + kGreed * std::hypot(static_cast<float>(gc - nc), static_cast<float>(gr - nr)), n});
        }
    }
    for (int32_t k = best; k >= 0 && k != start; k = from[static_cast<size_t>(k)])
      path_.push_back({(k % kMaskColumns + 0.5f) * kMaskCell, (k / kMaskColumns + 0.5f) * kMaskCell});
    std::reverse(path_.begin(), path_.end());
  }
  // The farthest point of the way that lies straight ahead.
  while (path_.size() > 1 && StraightFree(s.X, s.Y, path_[1][0], path_[1][1])) path_.erase(path_.begin());
  if (!path_.empty() && std::hypot(path_[0][0] - s.X, path_[0][1] - s.Y) < 15.0f) path_.erase(path_.begin());
  if (path_.empty()) return {x, y};
  return path_.front();
}

void ScriptedPlayer::Drive(const Sight& s, BattleInputs& in, float x, float y, bool stopNear) {
  const float dx = x - s.X, dy = y - s.Y;
  const float dist = std::hypot(dx, 2.0f * dy);
  if (stopNear && dist < 50.0f) {
    in.Release(kUp);
    in.Release(kLeft);
    in.Release(kRight);
    return;
  }
  // Units cover half the distance in y that they cover in x.
  float want = Deg(std::atan2(2.0f * dy, dx));
  if (want < 0) want += 360.0f;
  const float d = Turn(s.Heading, want);
  in.Hold(kRight, d > 4.0f);
  in.Hold(kLeft, d < -4.0f);
  if (std::abs(d) > 70.0f) {
    in.Release(kUp);
  } else {
    in.Press(kUp);
  }
}

bool ScriptedPlayer::Aim(const Sight& s, BattleInputs& in, float x, float y) {
  // Shots fly straight along the heading at full scale in y.
  const float dx = x - s.X, dy = y - s.Y;
  float want = Deg(std::atan2(dy, dx));
  if (want < 0) want += 360.0f;
  const float d = Turn(s.Heading, want);
  in.Hold(kRight, d > 2.0f);
  in.Hold(kLeft, d < -2.0f);
  const float dist = std::max(1.0f, std::hypot(dx, dy));
  return std::abs(d) < std::max(3.0f, Deg(std::atan(25.0f / dist)));
}

bool ScriptedPlayer::LineHitsKept(const Sight& s, float x, float y) const {
  if (brief_.Keep.empty()) return false;
  const float len = std::max(1.0f, std::hypot(x - s.X, y - s.Y));
  const float reach = std::max(len, s.Range) + 40.0f;
  const float ux = (x - s.X) / len, uy = (y - s.Y) / len;
  for (const auto& b : s.Buildings) {
    if (!Kept(b.Kind)) continue;
    const float bx = b.X - s.X, by = b.Y - s.Y;
    const float along = bx * ux + by * uy;
    if (along < -40.0f || along > reach) continue;
    if (std::abs(bx * uy - by * ux) < b.HalfWidth + 30.0f) return true;
  }
  return false;
}

bool ScriptedPlayer::Explore(const Sight& s, float& x, float& y) {
  // A place counts as seen once a look showed its cell. The bottom rows
  // stay under the panel however far the view scrolls.
  const auto unseen = [&](float px, float py) {
    const int32_t k = BattleState::CellIndex(static_cast<int32_t>(px / kMaskCell), static_cast<int32_t>(py / kMaskCell));
    return memory_.Ground[static_cast<size_t>(k)] == Memory::kUnseen &&
           std::find(givenUp_.begin(), givenUp_.end(), k) == givenUp_.end();
  };
  // One place at a time: it is kept until seen, or given up when a long
  // drive has not brought it into view.
  if (spot_[0] >= 0 && unseen(spot_[0], spot_[1]) && ++spotAge_ < 1500) {
    x = spot_[0], y = spot_[1];
    return true;
  }
  if (spot_[0] >= 0 && unseen(spot_[0], spot_[1]))
    givenUp_.push_back(BattleState::CellIndex(static_cast<int32_t>(spot_[0] / kMaskCell), static_cast<int32_t>(spot_[1] / kMaskCell)));
  spotAge_ = 0;
  for (; where_ <= brief_.Where.size(); ++where_) {
    const auto part = MapPart(where_ < brief_.Where.size() ? brief_.Where[where_] : "");
    float best = 1e9f;
    for (float py = std::max(part[1], 100.0f); py < std::min(part[3], 3700.0f); py += 160.0f)
      for (float px = std::max(part[0], 100.0f); px < std::min(part[2], 5020.0f); px += 160.0f) {
        const float d = std::hypot(px - s.X, py - s.Y);
        if (d < best && unseen(px, py)) best = d, spot_ = {px, py};
      }
    if (best < 1e9f) {
      x = spot_[0], y = spot_[1];
      return true;
    }
  }
  spot_ = {-1, -1};
  return false;
}

void ScriptedPlayer::Play(const Sight& s, BattleInputs& in) {
  ++frame_;
  if (!s.Alive) {
    in.ReleaseAll();
    return;
  }
  // The radar out to its widest first: one press a frame.
  if (!radarSet_) {
    if (s.RadarLevel < 4) {
      (frame_ % 2) ? in.Press(kRadarOut) : in.Release(kRadarOut);
      return;
    }
    in.Release(kRadarOut);
    radarSet_ = true;
  }
  Remember(s);

  // Stuck against something: back off and turn away for a while.
  if (unstick_ > 0) {
    --unstick_;
    in.Release(kUp);
    in.Release(kLeft);
    in.Press(kDown);
    in.Press(kRight);
    if (unstick_ == 0) {
      in.Release(kDown);
      in.Release(kRight);
      path_.clear();
    }
    return;
  }

  const float range = s.Range > 0 ? s.Range : 300.0f;
  // The nearest enemy on screen, then the nearest on the radar.
  const Sight::Unit* foe = nullptr;
  const Sight::Unit* dot = nullptr;
  float foeD = 1e9f, dotD = 1e9f;
  for (const auto& u : s.Units) {
    if (!u.Enemy) continue;
    const float d = std::hypot(u.X - s.X, u.Y - s.Y);
    if (u.InView && d < foeD) foe = &u, foeD = d;
    if (d < dotD) dot = &u, dotD = d;
  }
  // On the way to a place the briefing names, the player does not stop
  // for the rebels: it shoots at those in front as it drives.
  // A wanted building remembered: the nearest.
  const Sight::Building* target = nullptr;
  float best = 1e9f;
  for (const auto& m : memory_.Buildings) {
    if (!Wanted(m.Kind)) continue;
    const float d = std::hypot(m.X - s.X, m.Y - s.Y);
    if (d < best) best = d, target = &m;
  }
  // None known yet: the orders' parts of the map are searched.
  float ex = 0, ey = 0;
  const bool exploring = !brief_.Destroy.empty() && !target && Explore(s, ex, ey);
  const bool searching = brief_.Rush && (target || exploring);
  const bool running = (brief_.FollowGoal && s.Goal && brief_.Destroy.empty()) || searching;
  const bool threat = !running && foe && foeD < range * 1.3f;

  // A worn shield: drive away from the rebels until it has grown back, as
  // they are slower than the player's tank.
  if (s.HasShield) {
    if (s.Shield < 0.3f && s.Hull < 95) fallingBack_ = true;
    if (s.Shield > 0.9f) fallingBack_ = false;
  }
  float tx = 0, ty = 0;
  bool fight = false, haveGoal = false, stopNear = false;
  // One rebel alone is fought whatever the shield: it would follow.
  int32_t near = 0;
  for (const auto& u : s.Units) near += u.Enemy && std::hypot(u.X - s.X, u.Y - s.Y) < range * 1.5f ? 1 : 0;
  if (fallingBack_ && near >= 2 && !running) {
    tx = std::clamp(s.X - (dot->X - s.X) * 3.0f, 100.0f, 5000.0f);
    ty = std::clamp(s.Y - (dot->Y - s.Y) * 3.0f, 100.0f, 3600.0f);
    haveGoal = true;
  } else if (threat) {
    tx = foe->X, ty = foe->Y, fight = true;
  } else {
    if (target) {
      tx = target->X, ty = target->Y, haveGoal = true;
      if (best < range * 0.8f) fight = true;
    } else if (brief_.FollowGoal && s.Goal) {
      tx = s.GoalX, ty = s.GoalY, haveGoal = true, stopNear = true;
    } else if (exploring) {
      tx = ex, ty = ey, haveGoal = true;
    } else if (dot) {
      tx = dot->X, ty = dot->Y, haveGoal = true;
    }
  }

  if (fight) {
    const float d = std::hypot(tx - s.X, ty - s.Y);
    // The mouse on the target: steered shots fly to it, and a right click
    // picks it for the homing ones.
    const float mx = std::clamp(tx - static_cast<float>(s.ScrollX), 0.0f, 639.0f);
    const float my = std::clamp(ty - static_cast<float>(s.ScrollY), 0.0f, 368.0f);
    in.Move(mx, my);
    if (threat) {
      in.Button(2, true);
      in.Button(2, false);
    }
    const bool aimed = Aim(s, in, tx, ty);
    unaimed_ = aimed ? 0 : unaimed_ + 1;
    if (d > range * 0.75f) {
      in.Release(kDown);
      in.Press(kUp);
    } else {
      // The throttle stays as it is: circling the target is harder to hit
      // than standing. A target that circles as fast and never comes into
      // the sights is met by slowing to turn on the spot.
      in.Release(kUp);
      in.Hold(kDown, unaimed_ > kCircling && s.Throttle > 10);
    }
    in.Hold(kEnter, aimed && d < range * 1.05f && !LineHitsKept(s, tx, ty));
  } else {
    unaimed_ = 0;
    in.Release(kDown);
    bool inFront = false;
    for (const auto& u : s.Units) {
      if (!u.Enemy || !u.InView || std::hypot(u.X - s.X, u.Y - s.Y) > range) continue;
      float a = Deg(std::atan2(u.Y - s.Y, u.X - s.X));
      inFront = inFront || std::abs(Turn(s.Heading, a < 0 ? a + 360.0f : a)) < 10.0f;
    }
    in.Hold(kEnter, inFront);
    if (haveGoal) {
      const auto way = WayTo(s, tx, ty);
      Drive(s, in, way[0], way[1], stopNear && way[0] == tx && way[1] == ty);
    } else {
      in.Release(kUp);
      in.Release(kLeft);
      in.Release(kRight);
    }
  }

  // Pressing on without moving for a second and a half: stuck.
  const bool pushing = s.Throttle > 20;
  if (pushing && std::hypot(s.X - lastX_, s.Y - lastY_) < 0.3f) {
    if (++stuck_ > 90) stuck_ = 0, unstick_ = 50;
  } else {
    stuck_ = 0;
  }
  lastX_ = s.X, lastY_ = s.Y;
}

// ---------------------------------------------------------------- factory

namespace {

struct Offer {
  int32_t kind;
  std::string name;
  double price;
};

const char* PageOf(int32_t kind) {
  switch (kind) {
    case kKindWeapon: return "Weap";
    case kKindEngine: return "Eng";
    case kKindShield: return "Shd";
    case kKindReactor: return "ReA";
    default: return "Tank";
  }
}

// BUY from the shelf or SELL from the owned list, the row picked by name.
bool Trade(const FactoryCatalogs& cat, int32_t kind, const std::string& name, bool buy) {
  Shop shop(cat, *Users);
  shop.Open(PageOf(kind));
  RowList& rows = buy ? shop.ShopList : shop.OwnedList;
  for (int32_t r = 1; r <= rows.Count(); ++r)
    if (rows.Item(r) == name) {
      rows.Click(r);
      return buy ? shop.Buy() : shop.Sell();
    }
  return false;
}
bool BuyItem(const FactoryCatalogs& cat, int32_t kind, const std::string& name) { return Trade(cat, kind, name, true); }
bool SellItem(const FactoryCatalogs& cat, int32_t kind, const std::string& name) { return Trade(cat, kind, name, false); }

// Energy weapons only: a carrying weapon needs rounds bought again and
// again, which this player leaves alone.
std::vector<Offer> Catalogue(const FactoryCatalogs& cat, int32_t kind) {
  std::vector<Offer> out;
  if (kind == kKindWeapon) {
    for (const auto& w : cat.WeaponCatalog)
      if (w->Energy > 0) out.push_back({kind, w->Key, static_cast<double>(w->Cost)});
  } else {
    Shop shop(cat, *Users);
    shop.Open(PageOf(kind));
    for (const auto& name : shop.ShopList.Rows) {
      double p = 0;
      if (cat.Price(kind, name, p)) out.push_back({kind, name, p});
    }
  }
  std::sort(out.begin(), out.end(), [](const Offer& a, const Offer& b) { return a.price < b.price; });
  return out;
}

int64_t Money() { return Users->NowItem()->Money; }

// Everything fitted goes back to the owned items; the hull stays.
void Unfit(const FactoryCatalogs& cat) {
  Assembly a(cat, *Users);
  a.Open();
  for (int row = Assembly::kFirstWeaponRow; row <= Assembly::kReactorRow; ++row)
    while (!a.Slot(row).empty() && a.RemoveSlot(row)) {
    }
  a.Exit();
}

// Fits every owned item the hull takes, best first, while the load allows.
void FitAll(const FactoryCatalogs& cat) {
  Assembly a(cat, *Users);
  a.Open();
  for (int list : {Assembly::kShields, Assembly::kEngines, Assembly::kReactors, Assembly::kWeapons}) {
    for (bool moved = true; moved;) {
      moved = false;
      const RowList& rows = a.Lists(list);
      for (int32_t r = 1; r <= rows.Count() && !moved; ++r) {
        if (list != Assembly::kWeapons) {
          const int slot = list == Assembly::kShields ? Assembly::kShieldRow
                           : list == Assembly::kEngines ? Assembly::kEngineRow
                                                        : Assembly::kReactorRow;
          if (!a.Slot(slot).empty()) break;
        }
        a.Choose(list, r);
        if (a.Fit(list, r)) {
          if (a.CalWeight() < 0) {
            // Too heavy: take it off again.
            for (int row = Assembly::kFirstWeaponRow; row <= Assembly::kReactorRow; ++row)
              if (a.Slot(row) == rows.Item(r)) {
                a.RemoveSlot(row);
                break;
              }
          } else {
            moved = true;
          }
        }
      }
    }
  }
  a.Exit();
}

std::vector<std::string> Owned(int32_t kind) {
  std::vector<std::string> out;
  for (const auto& m : *Users->UserEQU)
    if (m->Index == kind) out.push_back(m->ID);
  for (const auto& m : *Users->NowEQU)
    if (m->Index == kind) out.push_back(m->ID);
  return out;
}

}  // namespace

namespace {

struct Loadout {
  const char* hull;
  const char* engine;
  const char* reactor;
  const char* shield;  // "" none
  std::vector<const char*> guns;
};

// The tanks a player works up to, each within its hull's load: what the
// money buys next, from the cheapest that fights to the strongest.
const Loadout kLadder[] = {
    {"Scout Tank", "Basic Engine", "Small Reactor", "Light Shield", {"Pulse Laser"}},
    {"Scout Tank", "Basic Engine", "Small Reactor", "Light Shield", {"Pulse Laser", "Pulse Laser"}},
    {"Scout Tank", "Basic Engine", "Small Reactor", "Heavy Shield", {"Pulse Laser", "Pulse Laser"}},
    {"Medium Tank", "Turbo Engine", "Fusion Reactor", "Heavy Shield", {"Pulse Laser", "Pulse Laser"}},
    {"Medium Tank", "Turbo Engine", "Fusion Reactor", "Heavy Shield", {"Twin Laser", "Twin Laser", "Pulse Laser"}},
    {"Medium Tank", "Turbo Engine", "Fusion Reactor", "Prism Shield", {"Twin Laser", "Twin Laser", "Twin Laser"}},
    {"Heavy Tank", "Turbo Engine", "Quantum Reactor", "Prism Shield",
     {"Ion Gun", "Twin Laser", "Twin Laser", "Twin Laser"}},
    {"Heavy Tank", "Jet Engine", "Quantum Reactor", "Prism Shield",
     {"Ion Gun", "Ion Gun", "Twin Laser", "Twin Laser", "Twin Laser"}},
};

double Cost(const FactoryCatalogs& cat, const Loadout& l) {
  double sum = 0, p = 0;
  if (cat.Price(kKindTank, l.hull, p)) sum += p;
  if (cat.Price(kKindEngine, l.engine, p)) sum += p;
  if (cat.Price(kKindReactor, l.reactor, p)) sum += p;
  if (*l.shield && cat.Price(kKindShield, l.shield, p)) sum += p;
  for (const char* g : l.guns)
    if (cat.Price(kKindWeapon, g, p)) sum += p;
  return sum;
}

// Sells everything owned: the shops take it back at its full price, so a
// player who plans the next tank loses nothing by it.
void SellAll(const FactoryCatalogs& cat) {
  Unfit(cat);
  for (int32_t kind : {kKindWeapon, kKindShield, kKindEngine, kKindReactor, kKindTank})
    for (const std::string& name : Owned(kind)) SellItem(cat, kind, name);
}

}  // namespace

void VisitFactory(const FactoryCatalogs& cat, Buying how) {
  if (how == Buying::CheapestNoShield) {
    Unfit(cat);
    const auto cheapest = [&](int32_t kind) { return Catalogue(cat, kind).front(); };
    for (int32_t kind : {kKindTank, kKindEngine, kKindReactor, kKindWeapon})
      if (Owned(kind).empty()) BuyItem(cat, kind, cheapest(kind).name);
  } else {
    SellAll(cat);
    const Loadout* pick = &kLadder[0];
    for (const Loadout& l : kLadder)
      if (Cost(cat, l) <= Money()) pick = &l;
    BuyItem(cat, kKindTank, pick->hull);
    BuyItem(cat, kKindEngine, pick->engine);
    BuyItem(cat, kKindReactor, pick->reactor);
    for (const char* g : pick->guns) BuyItem(cat, kKindWeapon, g);
    if (*pick->shield) BuyItem(cat, kKindShield, pick->shield);
  }
  FitAll(cat);
  CombinAll(cat, *Users);
  if (std::getenv("FW_PLAY_TRACE")) {
    std::printf("factory: money %d, fitted", Users->NowItem()->Money);
    for (const auto& m : *Users->NowEQU) std::printf(" %s;", m->ID.c_str());
    std::printf("\n");
  }
}

// ---------------------------------------------------------------- a battle

BattleOutcome PlayBattle(int32_t frameLimit) {
  BattleState w;
  SurfacePictures pictures{false};
  NullLoadProgress progress;
  NullBattleOutput out;
  BattleRules rules;
  BattleEnv env{out, rules};
  MissionBattle b{w, pictures, progress, env, {}};
  EndResult = BattleResult{};
  Users->WinMoney = 0;
  Users->KillTank = 0;
  BattleOutcome result;
  for (auto load : {LoadSound, LoadEmyWeap, LoadImageInfo, LoadBuildingTypes})
    if (!load(w)) return result;
  std::unique_ptr<MissionScript> script = MakeCampaignScript();
  script->RunMission(b, 0);
  if (!b.LoadError.empty()) return result;
  w.RunState = "Loop";
  BattleInputs in(w, out);
  ScriptedPlayer player(MissionBriefing(Users->NowItem()->Mission % 20 == 0 ? 20 : Users->NowItem()->Mission % 20));
  NullLoadProgress quiet;
  MissionBattle running{w, pictures, quiet, env, {}};
  const bool trace = std::getenv("FW_PLAY_TRACE") != nullptr;
  for (result.Frames = 0; result.Frames < frameLimit && w.RunState != "EXIT"; ++result.Frames) {
    player.Play(Perceive(w), in);
    w.FrameFactor = 1.0f;
    ScrollView(w);
    StepWorld(w, env);
    StepEffects(w);
    if (w.MessageTime > 0) w.MessageTime -= w.FrameFactor;
    script->RunMission(running, 1);
    if (trace && result.Frames % 300 == 0) {
      const Sight s = Perceive(w);
      std::printf("  frame %d: alive %d at %.0f,%.0f hull %.0f shield %.2f energy %.2f kills %d units %zu msg '%s'\n",
                  result.Frames, s.Alive, s.X, s.Y, s.Hull, s.Shield, s.Energy, w.KillTank, w.Units.size(),
                  w.MessageText.c_str());
    }
  }
  // Out of time: the exit question, answered Y.
  w.RunState = "EXIT";
  Users->KillTank = w.KillTank;
  script->RunMission(running, 2);
  result.Won = EndResult.WinState;
  if (trace && !result.Won && result.Frames >= frameLimit) {
    const Sight s = Perceive(w);
    std::printf("  out of time at %.0f,%.0f;", s.X, s.Y);
    for (const BattleUnit& u : w.Units)
      if (u.Team == 1) std::printf(" rebel %.0f,%.0f style %d;", u.PosX, u.PosY, u.Style);
    std::printf("\n");
  }
  if (trace) std::printf("mission %d: %s after %d frames, %d kills\n", EndResult.MisIndex, result.Won ? "won" : "not won", result.Frames, w.KillTank);
  return result;
}

}  // namespace fw::playtest
