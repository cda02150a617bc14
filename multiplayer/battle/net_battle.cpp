#include "multiplayer/battle/net_battle.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "battle/battle_screen.hpp"
#include "battle/battle_sim.hpp"
#include "battle/roster.hpp"
#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/numeric.hpp"
#include "platform/runtime/random.hpp"
#include "platform/runtime/strings.hpp"

namespace fw {
namespace {

constexpr uint32_t kSecond = 1000;
constexpr uint32_t kRespawnMs = 1500;      // 100 frame-factor units
// A tank lives at least the respawn's 1.5 s between two reports of its
// player; less what delivery may shift.
constexpr uint32_t kKillReportGapMs = 1000;
constexpr uint32_t kJoinWaitMs = 15000;    // the joiner gives up on the host
constexpr uint32_t kControlGapMs = 50;     // at most 20 control messages a second
constexpr float kDropAfterSeconds = 60.0f;  // a silent player is dropped
constexpr int32_t kFullMapWidth = 5120;
constexpr int32_t kFullMapHeight = 3840;
// A tank description outside these is no tank of this game.
constexpr float kMaxTopSpeed = 100.0f;
constexpr float kMaxAgile = 360.0f;
constexpr float kMaxRegen = 1000.0f;

uint32_t Now() { return plat::timeGetTime(); }

bool Within(float v, float lo, float hi) { return std::isfinite(v) && v >= lo && v <= hi; }

std::string Identity(const BuildingInstance& b) {
  return b.TypeKey + "@" + std::to_string(b.X) + "," + std::to_string(b.Y);
}

std::string Identity(const WireBuilding& b) {
  return b.Key + "@" + std::to_string(b.MapX) + "," + std::to_string(b.MapY);
}

int32_t SystemType(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 4) return 0;
  int32_t t = 0;
  std::memcpy(&t, bytes.data(), 4);
  return t;
}

// A map the lobby would list here: an INF member of the mission archive.
bool MapListed(const std::string& name) {
  if (name.empty() || !MissionPack.Exists()) return false;
  const std::string want = plat::UCase(name + ".INF");
  const auto& members = *MissionPack->PackFiles;
  for (int32_t i = 1; i <= members.Count(); ++i)
    if (plat::UCase(members.Item(i)->Key) == want) return true;
  return false;
}

MsgControl ControlOf(const BattleUnit& u, int32_t targetOwner) {
  MsgControl c;
  c.MoveFB = u.MoveFB;
  c.TurnR = u.TurnR;
  c.TurnL = u.TurnL;
  c.PerSpeed = u.PerSpeed;
  c.Fire = u.Fire;
  c.AimX = u.AimX;
  c.AimY = u.AimY;
  c.TargetOwner = targetOwner;
  for (const WeaponSlot& w : u.Weapon) c.Enabled.push_back(w.Enabled);
  return c;
}

}  // namespace

void FitMapSize(BattleState& world) {
  const int32_t scale = std::max<int32_t>(world.BackDivisor, 1);
  const int32_t tileW = world.ViewWidth * scale, tileH = world.ViewHeight * scale;
  world.MapWidth = std::clamp(world.TileColumns * tileW, tileW, kFullMapWidth);
  world.MapHeight = std::clamp(world.TileRows * tileH, tileH, kFullMapHeight);
}

// --- rules ---

NetBattleRules::NetBattleRules(NetBattle& battle) : b_(battle) {
  Variant.HeadingWrapsBy360 = true;
  Variant.ExactBuildingSine = true;
  Variant.BuildingFires = false;
  Variant.AimFromUnit = true;
  Variant.NetworkAI = true;
  Variant.WholePixelTerrain = true;
}

void NetBattleRules::FatalShot(BattleState& world, const WeaponSlot& shot, int32_t victim) {
  // The credit is the shooter's player as the shot recorded it at launch:
  // a removal before or after the hit (the shooter's own tank included)
  // cannot lose or shift it, and a pick does not touch it.
  if (victim < 0 || victim != world.PlayerUnit) return;
  const int32_t id = shot.FireOwner > 0 ? shot.FireOwner : b_.Table.GetPlayerIDByTank(shot.FireTank);
  if (id > 0) b_.ownKiller_ = id;
}

int32_t NetBattleRules::ShotOwner(const BattleState&, int32_t shooter) {
  const int32_t id = b_.Table.GetPlayerIDByTank(shooter);
  return id > 0 ? id : 0;
}

void NetBattleRules::UnitControlled(BattleState& world, int32_t unit) {
  if (unit >= 0 && unit == world.PlayerUnit) b_.FlushControl(false);
}

void NetBattleRules::UnitDestroyed(BattleState& world, int32_t unit) {
  if (unit < 0 || unit != world.PlayerUnit) return;
  b_.SendKilledBy(b_.ownKiller_);
  b_.ownKiller_ = 0;
  b_.respawnFrom_ = Now();
  b_.respawnPending_ = true;
  b_.lastControl_.reset();
}

bool NetBattleRules::BuildingMayFall(BattleState& world, int32_t building) {
  if (b_.IsHost()) return true;
  const BuildingInstance& bi = world.Builds[static_cast<size_t>(building)];
  return bi.TypeKey.empty() || b_.felled_.count(Identity(bi)) > 0;
}

void NetBattleRules::BuildingDestroyed(BattleState& world, int32_t building) {
  if (b_.IsHost()) b_.buildStateDirty_ = true;
  else b_.felled_.erase(Identity(world.Builds[static_cast<size_t>(building)]));
}

void NetBattleRules::UnitRemoved(BattleState&, int32_t removed, int32_t moved) {
  for (PlayerRecord& p : b_.Table.Players) {
    if (p.TankID == removed) p.TankID = -1;
    else if (p.TankID == moved) p.TankID = removed;
  }
}

// --- life ---

NetBattle::NetBattle(NetLink& link, NetBattleProfile& profile, BattlePictures& pictures, BattleOutput& out,
                     GameSettingRecord& setting)
    : link_(link), profile_(profile), pictures_(pictures), out_(out), setting_(setting), rules_(*this),
      env_{out, rules_} {
  World.ShotSwitch = false;  // shots fly over blocked land in the network battle
  World.PlayerUnit = -1;
  Table.NameOf = [this](int32_t id) {
    for (const PlayerEntry& p : link_.Members())
      if (p.Id == id) return p.ShortName;
    return std::string();
  };
}

NetBattle::~NetBattle() = default;

bool NetBattle::TeamMode() const {
  const std::string& m = setting_.ModeName;
  return m == "Group Life-and-Death Battle" || m == "Group Territy Hegemonist" || m == "Base Defensing";
}

void NetBattle::Refuse(const std::string& why) {
  if (++refused_[why] == 1) std::fprintf(stderr, "network battle: refused %s\n", why.c_str());
}

void NetBattle::Send(int32_t to, const GameMessage& m) {
  if (to != 0 && to == link_.MyId()) return;  // never to oneself
  const auto bytes = EncodeGameMessage(m);
  if (!bytes) {
    Refuse("an unsendable message of type " + std::to_string(static_cast<int32_t>(TypeOf(m))));
    return;
  }
  link_.Send(to, *bytes);
}

void NetBattle::SyncMembers() {
  members_.clear();
  for (const PlayerEntry& p : link_.Members()) members_.push_back(p.Id);
  membersFresh_ = true;
}

bool NetBattle::IsMember(int32_t id) {
  if (id <= 0 || id == link_.MyId()) return false;
  if (std::find(members_.begin(), members_.end(), id) != members_.end()) return true;
  if (membersFresh_) return false;
  SyncMembers();
  return std::find(members_.begin(), members_.end(), id) != members_.end();
}

int32_t NetBattle::MemberIndex(int32_t id) {
  const int32_t known = Table.GetPlayerIndex(id, true);
  if (known > 0) return known;
  if (!IsMember(id)) {
    Refuse("a message from a player outside the session");
    return -1;
  }
  return Table.AddPlayer(id);
}

uint8_t NetBattle::UnitTeamOf(int32_t playerIndex) {
  const PlayerRecord& p = Table.Players[static_cast<size_t>(playerIndex)];
  if (TeamMode()) return p.Team == Table.Players[0].Team ? 0 : 1;
  // Each other player a team of its own, the same whatever message set it.
  auto it = freeTeams_.find(p.PlayerID);
  if (it != freeTeams_.end()) return it->second;
  for (int t = 1; t < 256; ++t) {
    bool used = false;
    for (const auto& [id, team] : freeTeams_) used = used || team == t;
    if (!used) return freeTeams_[p.PlayerID] = static_cast<uint8_t>(t);
  }
  return 1;
}

// --- the joiner's wait ---

void NetBattle::BeginJoinWait() {
  waitStart_ = lastRequest_ = Now();
  SyncMembers();
  SendSettingRequest();
}

int32_t NetBattle::WaitSeconds() const { return static_cast<int32_t>((Now() - waitStart_) / kSecond); }

void NetBattle::AbandonJoinWait() {
  GameState = 3;
  RunState = "EXIT";
}

NetBattle::Wait NetBattle::PollJoinWait() {
  if (setting_.Role == "Go") return Wait::Go;
  const uint32_t now = Now();
  if (now - waitStart_ >= kJoinWaitMs) {
    link_.Leave();
    ExitNotice = "CFail";
    PendingLobbyNotice = ExitNotice;
    GameState = 3;
    RunState = "EXIT";
    return Wait::GaveUp;
  }
  if (now - lastRequest_ >= kSecond) {
    lastRequest_ = now;
    SendSettingRequest();
  }
  TakeBeforeStart();
  return setting_.Role == "Go" ? Wait::Go : Wait::Waiting;
}

void NetBattle::TakeBeforeStart() {
  // Until "Go" only the settings and the session's own messages count; the
  // rest waits for the battle, in order.
  while (auto m = link_.Receive()) {
    if (m->from == 0) {
      OnSystem(SystemType(m->bytes), 0);
      continue;
    }
    if (setting_.Role != "Go") {
      const auto decoded = DecodeGameMessage(m->bytes);
      if (decoded && std::holds_alternative<MsgSetting>(*decoded)) {
        OnSetting(m->from, std::get<MsgSetting>(*decoded));
        continue;
      }
    }
    Defer(std::move(*m));
  }
}

void NetBattle::Defer(ReceivedMessage m) {
  const auto decoded = DecodeGameMessage(m.bytes);
  if (!decoded) {
    Refuse("a malformed or unknown message");
    return;
  }
  if (std::holds_alternative<MsgKilledBy>(*decoded)) {
    Refuse("a kill report before the battle");  // no own tank yet: nobody was shot by it
    return;
  }
  // Every other message of a sender says what holds now (a state, the
  // controls, a score, the buildings, its tank, a request that is answered
  // from the battle as it is then): only its latest counts, at its own place
  // in the order. So the backlog keeps at most one message per sender and
  // type, however long the wait.
  const int32_t type = SystemType(m.bytes);
  for (auto it = deferred_.begin(); it != deferred_.end(); ++it)
    if (it->from == m.from && SystemType(it->bytes) == type) {
      deferred_.erase(it);
      break;
    }
  deferred_.push_back(std::move(m));
}

void NetBattle::Pump() {
  if (pumping_ || RunState == "EXIT") return;
  pumping_ = true;
  if (!started_) {
    TakeBeforeStart();
  } else {
    const uint32_t now = Now();
    // Messages are read meanwhile, so the others' silence counts as in a
    // frame, unless the battle is held.
    if (now - lastSecond_ >= kSecond) SecondDuties(now, !held_);
    GetMessage();
  }
  pumping_ = false;
}

NetBattle::PumpScope::PumpScope(NetBattle& battle) : previous_(plat::SetWaitDuty([&battle] { battle.Pump(); })) {}

NetBattle::PumpScope::~PumpScope() { plat::SetWaitDuty(std::move(previous_)); }

NetBattle::Armed NetBattle::EquTank() {
  const PumpScope pumping(*this);
  for (;;) {
    NetBattleProfile::Visit v = profile_.VisitFactory();
    if (v.Armed) {
      UserTK = std::move(v.Armed);
      return Armed::Yes;
    }
    if (v.Escaped) {
      SendQuit();
      link_.Leave();
      GameState = 3;
      RunState = "EXIT";
      return Armed::Left;
    }
    profile_.Notice("Please arm your tank first.");
  }
}

// --- loading ---

namespace {
// The loaders' progress, pumping the battle at every line and bar.
class PumpingProgress final : public LoadProgress {
 public:
  PumpingProgress(LoadProgress& inner, NetBattle& battle) : inner_(inner), battle_(battle) {}
  void Line(int32_t x, int32_t y, std::string_view text) override {
    inner_.Line(x, y, text);
    battle_.Pump();
  }
  void Bar(const RECT& r, uint16_t color565) override {
    inner_.Bar(r, color565);
    battle_.Pump();
  }

 private:
  LoadProgress& inner_;
  NetBattle& battle_;
};
}  // namespace

bool NetBattle::LoadMap(LoadProgress& shown) {
  PumpingProgress progress(shown, *this);
  const bool host = setting_.Role == "New";
  if (!host && setting_.MapName.empty()) {
    GameState = 1;
    RunState = "EXIT";
    LastError = "no map was received";
    return false;
  }
  progress.Line(60, 56, "Initialize Sound Setting...");
  LoadResult r = LoadSound(World);
  progress.Line(60, 72, "Reading Images Info");
  if (r) r = LoadEmyWeap(World);
  if (r) r = LoadImageInfo(World);
  if (r) r = LoadBuildingTypes(World);
  if (r) r = ReadAllImage(World, pictures_, progress, AppPath + "\\" + setting_.MapName, host ? nullptr : &receivedBuilds_);
  if (!r) {
    GameState = 1;
    RunState = "EXIT";
    LastError = r.Message;
    return false;
  }
  FitMapSize(World);
  if (!host) {
    // The settings name a map this machine has, but not every map can be
    // played: the joiner goes back to the lobby and says which.
    const std::string unfit = UnfitMap();
    if (!unfit.empty()) {
      GameState = 3;
      RunState = "EXIT";
      LastError = unfit;
      return false;
    }
  }
  World.PlayerUnit = -1;
  progress.Line(60, 200, "Set All Units");
  progress.Line(60, 216, "Launch Game");
  return true;
}

std::string NetBattle::UnfitMap() const {
  const std::string& name = setting_.MapName;
  const size_t cut = name.find_last_of("\\/");
  const std::string member = (cut == std::string::npos ? name : name.substr(cut + 1)) + ".Inf";
  const std::string where = "the map \"" + member + "\" of the archive \"" + MissionPack->File + "\"";
  bool anyBuilding = false;
  for (const BuildingInstance& b : World.Builds) anyBuilding = anyBuilding || !b.TypeKey.empty();
  // Areas 1 to 4 are where tanks appear; element 0 is no area.
  if (World.Terrains.size() < 2 && !anyBuilding) return where + " is empty: no spawn areas, no buildings";
  if (setting_.ModeName == kModeBaseDefensing) {
    const bool team0 = GetBuildIndex(World, kTeam0Base) >= 0, team1 = GetBuildIndex(World, kTeam1Base) >= 0;
    if (!team0 || !team1)
      return where + " has no base " + (team0 ? std::to_string(kTeam1Base)
                                              : team1 ? std::to_string(kTeam0Base)
                                                      : std::to_string(kTeam1Base) + " nor " + std::to_string(kTeam0Base)) +
             " for \"" + kModeBaseDefensing + "\"";
  }
  return {};
}

void NetBattle::Start() {
  RunState = "Loop";
  PlayerRecord& own = Table.Players[0];
  own.Name = profile_.Name();
  own.PlayerID = link_.MyId();
  own.Active = 1;
  own.TankID = -1;
  respawnPending_ = true;
  respawnFrom_ = Now() - kRespawnMs;  // the own tank appears in the first frame
  SyncMembers();
  for (int32_t id : members_)
    if (id != link_.MyId()) Table.AddPlayer(id);
  SendJoin();
  lastJoinSent_ = Now();
  Table.SortPlayer();
  lastTime_ = lastSecond_ = fpsFrom_ = Now();
  frameCount_ = 0;
  started_ = true;
}

bool NetBattle::Ended() const { return Mode.Ended; }

void NetBattle::SetHold(bool held) {
  if (held_ && !held) ResumeAfterHold(Mode);
  held_ = held;
}

bool NetBattle::Leave() {
  SendQuit();
  link_.Leave();
  const bool saved = profile_.Save();
  GameState = 1;
  RunState = "EXIT";
  return saved;
}

// --- the frame ---

void NetBattle::CalFPS(bool countIdle) {
  const uint32_t now = Now();
  // Bounded as in the campaign: a stall moves nothing further in one step
  // than the steps can check. What runs on time (respawn, held time, the
  // once-a-second duties) reads the clock, not this factor.
  World.FrameFactor = std::min(static_cast<float>(static_cast<double>(now - lastTime_) / 15.0), kMaxFrameFactor);
  lastTime_ = now;
  ++frameCount_;
  if (now - fpsFrom_ >= kSecond) {
    FramesPerSecond = static_cast<float>(frameCount_);
    frameCount_ = 0;
    fpsFrom_ = now;
  }
  if (now - lastSecond_ >= kSecond) SecondDuties(now, countIdle);
}

void NetBattle::SecondDuties(uint32_t now, bool countIdle) {
  const float seconds = static_cast<float>(now - lastSecond_) / 1000.0f;
  lastSecond_ = now;
  OncePerSecond(countIdle ? seconds : 0.0f);
}

void NetBattle::OncePerSecond(float idleSeconds) {
  SendTankState();
  SendInfoRequest();
  SendScore();  // the held time is the owner's: everyone learns it from here
  if (idleSeconds <= 0.0f) return;
  for (int32_t i = static_cast<int32_t>(Table.Players.size()) - 1; i >= 1; --i) {
    PlayerRecord& p = Table.Players[static_cast<size_t>(i)];
    if (p.Active != 1) continue;
    p.Idle += idleSeconds;
    if (p.Idle < kDropAfterSeconds) continue;
    if (p.TankID >= 0 && static_cast<size_t>(p.TankID) < World.Units.size()) World.Units[p.TankID].HP = -100;
    if (link_.IsHost()) link_.DestroyPlayer(p.PlayerID);
    freeTeams_.erase(p.PlayerID);
    ForgetVictim(p.PlayerID);
    Table.RemovePlayer(p.PlayerID, i);
    Table.SortPlayer();
  }
}

void NetBattle::Respawn() {
  if (OwnTank() >= 0 || !respawnPending_ || !UserTK) return;
  const uint32_t now = Now();
  if (now - respawnFrom_ < kRespawnMs) return;
  const int32_t unit = AddOwnTank();
  if (unit < 0) {
    respawnFrom_ = now;  // try again after the same delay
    return;
  }
  respawnPending_ = false;
  profile_.AddDeath();  // every appearance counts, the first one too
  World.PlayerUnit = unit;
  Table.Players[0].TankID = unit;
  Table.Players[0].Idle = 0.0f;
  World.Units[static_cast<size_t>(unit)].Key = Table.Players[0].Name;
  ownKiller_ = 0;
  SendTankInfo(unit, 0);
}

void NetBattle::Frame() {
  if (!started_ || RunState == "EXIT") return;
  const uint32_t now = Now();
  if (!held_ && Table.Players.size() == 1 && now - lastJoinSent_ >= kSecond) {
    SendJoin();  // alone: keep announcing, once a second
    lastJoinSent_ = now;
  }
  CalFPS(!held_);
  if (!held_) {
    Respawn();
    WinState(Mode, World, Table, setting_, 0, profile_.Results());
    if (Mode.Ended) held_ = true;  // the end screen: the result is frozen
  }
  GetMessage();
  if (!held_ && RunState != "EXIT") {
    StepWorld(World, env_);
    if (AgeEffects) StepEffects(World);
    if (buildStateDirty_) {
      buildStateDirty_ = false;
      SendBuildState(0);
    }
  }
  FlushControl(false);
}

void NetBattle::FlushControl(bool force) {
  const int32_t own = OwnTank();
  if (own < 0 || static_cast<size_t>(own) >= World.Units.size()) return;
  const BattleUnit& u = World.Units[static_cast<size_t>(own)];
  const int32_t target = Table.GetPlayerIDByTank(World.PickedUnit);
  // Compared in place: this runs every frame and rarely finds a change.
  const auto same = [&](const MsgControl& c) {
    if (c.MoveFB != u.MoveFB || c.TurnR != u.TurnR || c.TurnL != u.TurnL || c.PerSpeed != u.PerSpeed ||
        c.Fire != u.Fire || c.AimX != u.AimX || c.AimY != u.AimY || c.TargetOwner != target ||
        c.Enabled.size() != u.Weapon.size())
      return false;
    for (size_t j = 0; j < u.Weapon.size(); ++j)
      if (c.Enabled[j] != u.Weapon[j].Enabled) return false;
    return true;
  };
  if (!lastControl_ || !same(*lastControl_)) {
    lastControl_ = ControlOf(u, target);
    controlDirty_ = true;
  }
  // One send per 50 ms slot of the clock: at most 20 a second, and a change
  // waits no longer than the rest of its slot (and the frame that sees it).
  const uint32_t slot = Now() / kControlGapMs;
  if ((controlDirty_ || force) && (!controlEverSent_ || slot != lastControlSent_)) {
    Send(0, *lastControl_);
    controlDirty_ = false;
    controlEverSent_ = true;
    lastControlSent_ = slot;
  }
}

// --- roster ---

int32_t NetBattle::AddOwnTank() {
  if (!UserTK) return -1;
  const int32_t area = static_cast<int32_t>(plat::Int(plat::Rnd() * 4.0)) + 1;
  // A map that lacks the area or the spot still gets the tank: at (0, 0),
  // without way points.
  const int32_t useArea = static_cast<size_t>(area) < World.Terrains.size() ? area : 0;
  const int32_t useSpot = World.Spots.size() > 1 ? 1 : 0;
  if (World.Terrains.empty()) World.Terrains.emplace_back();
  int32_t unit = -1;
  try {
    unit = fw::AddTank(World, pictures_, *UserTK, 0, 0, World.Spots.empty() ? 0 : useSpot, useArea);
  } catch (const plat::RuntimeError& e) {
    Refuse(std::string("the own tank: ") + e.what());
    return -1;
  }
  BattleUnit& u = World.Units[static_cast<size_t>(unit)];
  u.HeadAngle = 360.0f * plat::Rnd();
  u.TargetTank = -1;
  return unit;
}

int32_t NetBattle::GetTankAtPos(int32_t x, int32_t y) const { return fw::GetTankAtPos(World, x, y); }

void NetBattle::ClampView() {
  World.ScrollX = std::clamp(World.ScrollX, 0, std::max(0, World.MapWidth - World.ViewWidth - 1));
  World.ScrollY = std::clamp(World.ScrollY, 0, std::max(0, World.MapHeight - World.ViewHeight - 1));
}

// --- senders ---

void NetBattle::SendTankInfo(int32_t unit, int32_t to) {
  if (unit < 0 || static_cast<size_t>(unit) >= World.Units.size()) return;
  const BattleUnit& u = World.Units[static_cast<size_t>(unit)];
  MsgTankInfo m;
  m.Accelerate = u.Accelerate;
  m.Agile = u.Agile;
  m.HeadAngle = u.HeadAngle;
  const int32_t pic = std::atoi(u.ClipID.c_str());
  if (pic >= 0 && static_cast<size_t>(pic) < World.Images.size()) m.Picture = World.Images[pic].Name;
  m.EnergyFull = u.EnergyFull;
  m.EnergySpeed = u.EnergySpeed;
  m.ShieldFull = u.ShieldFull;
  m.ShieldSpeed = u.ShieldSpeed;
  m.TopSpeed = u.TopSpeed;
  m.PosX = u.PosX;
  m.PosY = u.PosY;
  for (const WeaponSlot& w : u.Weapon) {
    WireWeapon x;
    x.Agile = w.Agile;
    x.Ammo = w.Ammo;
    x.ClipID = w.ClipID;
    x.Energy = w.Energy;
    x.FireAngle = w.FireAngle;
    x.FireSpeed = w.FireSpeed;
    x.Key = w.Key;
    x.Path = w.Path;
    x.FirePower = w.FirePower;
    x.Range = w.Range;
    x.Speed = w.Speed;
    x.OffsetX = w.OffsetX;
    m.Weapons.push_back(std::move(x));
  }
  Send(to, m);
}

void NetBattle::SendTankState() {
  const int32_t own = OwnTank();
  if (own < 0) return;
  const BattleUnit& u = World.Units[static_cast<size_t>(own)];
  MsgTankState m;
  m.PosX = u.PosX;
  m.PosY = u.PosY;
  m.Speed = u.Speed;
  m.HeadAngle = u.HeadAngle;
  m.Energy = u.Energy;
  m.Shield = u.Shield;
  m.HP = u.HP;
  m.Team = Table.Players[0].Team;
  m.Active = Table.Players[0].Active;
  Send(0, m);
}

void NetBattle::SendJoin() { Send(0, MsgJoin{Table.Players[0].Team}); }

void NetBattle::SendQuit() { Send(0, MsgQuit{}); }

void NetBattle::SendControl() {
  const int32_t own = OwnTank();
  if (own < 0) return;
  Send(0, ControlOf(World.Units[static_cast<size_t>(own)], Table.GetPlayerIDByTank(World.PickedUnit)));
}

void NetBattle::SendInfoRequest() {
  // One fresh request per player whose tank this copy lacks.
  for (size_t i = 1; i < Table.Players.size(); ++i) {
    const PlayerRecord& p = Table.Players[i];
    if (p.PlayerID != 0 && p.PlayerID != link_.MyId() && p.TankID == -1) Send(p.PlayerID, MsgInfoRequest{});
  }
}

void NetBattle::SendKilledBy(int32_t killerPlayer) {
  if (killerPlayer <= 0 || killerPlayer == link_.MyId()) return;
  Send(killerPlayer, MsgKilledBy{link_.MyId()});
}

void NetBattle::SendScore() {
  const PlayerRecord& own = Table.Players[0];
  Send(0, MsgScore{link_.MyId(), own.Score, own.HeldTime, own.Team});
}

void NetBattle::SendSettingRequest() { Send(0, MsgSettingRequest{link_.MyId()}); }

std::vector<WireBuilding> NetBattle::BuildingTable() const {
  std::vector<WireBuilding> t;
  for (const BuildingInstance& b : World.Builds) t.push_back({b.TypeKey, b.HP, b.X, b.Y, b.Shield});
  return t;
}

void NetBattle::SendSetting(int32_t to) {
  MsgSetting m;
  m.ModeIndex = setting_.ModeIndex;
  m.ModeName = setting_.ModeName;
  m.WinRule = setting_.WinRule;
  m.LimTank = setting_.LimTank;
  m.LimTime = setting_.LimTime;
  m.MapName = setting_.MapName;
  m.Money = setting_.Money;
  m.BattleTime = Mode.BattleTime;
  m.SenderID = link_.MyId();
  m.Buildings = BuildingTable();
  // The team goes to the side with fewer players, the requester's own
  // record left out; it is kept in that record so the next answer counts it.
  const int32_t idx = MemberIndex(to);
  if (TeamMode()) {
    int32_t zero = 0, other = 0;
    for (size_t i = 0; i < Table.Players.size(); ++i) {
      if (static_cast<int32_t>(i) == idx) continue;
      (Table.Players[i].Team == 0 ? zero : other) += 1;
    }
    m.RequesterTeam = zero > other ? 1 : 0;
  }
  if (idx > 0) Table.Players[static_cast<size_t>(idx)].Team = m.RequesterTeam;
  Send(to, m);
}

void NetBattle::SendBuildState(int32_t to) {
  MsgBuildState m;
  m.Buildings = BuildingTable();
  m.SenderID = link_.MyId();
  Send(to, m);
}

// --- receiving ---

void NetBattle::GetMessage() {
  bool settingSent = false;
  membersFresh_ = false;
  const auto one = [&](const ReceivedMessage& m) {
    if (m.from == 0) {
      OnSystem(SystemType(m.bytes), 0);
      return;
    }
    const auto decoded = DecodeGameMessage(m.bytes);
    if (!decoded) {
      Refuse("a malformed or unknown message");
      return;
    }
    if (m.from == link_.MyId()) return;
    std::visit(
        [&](const auto& msg) {
          using T = std::decay_t<decltype(msg)>;
          if constexpr (std::is_same_v<T, MsgTankInfo>) {
            OnTankInfo(m.from, msg);
            Table.SortPlayer();
          } else if constexpr (std::is_same_v<T, MsgTankState>) {
            OnTankState(m.from, msg);
          } else if constexpr (std::is_same_v<T, MsgJoin>) {
            OnJoin(m.from, msg);
          } else if constexpr (std::is_same_v<T, MsgQuit>) {
            OnQuit(m.from);
          } else if constexpr (std::is_same_v<T, MsgControl>) {
            OnControl(m.from, msg);
          } else if constexpr (std::is_same_v<T, MsgInfoRequest>) {
            if (OwnTank() >= 0 && IsMember(m.from)) SendTankInfo(OwnTank(), m.from);
          } else if constexpr (std::is_same_v<T, MsgKilledBy>) {
            OnKilledBy(m.from, msg);
          } else if constexpr (std::is_same_v<T, MsgScore>) {
            OnScore(m.from, msg);
          } else if constexpr (std::is_same_v<T, MsgSettingRequest>) {
            // Only the host speaks for the game, once per pass.
            if (msg.PlayerID != m.from) Refuse("a setting request for someone else");
            else if (link_.IsHost() && !settingSent && IsMember(m.from)) {
              SendSetting(m.from);
              settingSent = true;
            }
          } else if constexpr (std::is_same_v<T, MsgSetting>) {
            OnSetting(m.from, msg);
          } else if constexpr (std::is_same_v<T, MsgBuildState>) {
            OnBuildState(m.from, msg);
          }
        },
        *decoded);
  };
  while (!deferred_.empty()) {
    const ReceivedMessage m = std::move(deferred_.front());
    deferred_.pop_front();
    one(m);
  }
  while (auto m = link_.Receive()) one(*m);
  CountPendingKills();
}

void NetBattle::OnSystem(int32_t type, int32_t) {
  if (type != kSysPlayerCreated && type != kSysPlayerDestroyed) return;  // 257: the session knows who hosts
  SyncMembers();
  // Whoever the session no longer lists leaves as by MsgQuit; whoever it
  // lists gets a record.
  for (int32_t i = static_cast<int32_t>(Table.Players.size()) - 1; i >= 1; --i) {
    const int32_t id = Table.Players[static_cast<size_t>(i)].PlayerID;
    if (std::find(members_.begin(), members_.end(), id) == members_.end()) OnQuit(id);
  }
  if (started_ || setting_.Role == "New" || setting_.Role == "Go")
    for (int32_t id : members_)
      if (id != link_.MyId()) Table.AddPlayer(id);
}

void NetBattle::OnTankInfo(int32_t from, const MsgTankInfo& m) {
  if (!Within(m.TopSpeed, 0, kMaxTopSpeed) || !Within(m.Agile, 0, kMaxAgile) ||
      !Within(m.Accelerate, 0, kMaxTopSpeed) || !Within(m.EnergySpeed, 0, kMaxRegen) ||
      !Within(m.ShieldSpeed, 0, kMaxRegen) || !Within(m.EnergyFull, 0, 32767) || !Within(m.ShieldFull, 0, 32767) ||
      !Within(m.HeadAngle, 0, 360)) {
    Refuse("a tank description out of range");
    return;
  }
  if (!Within(m.PosX, 0, static_cast<float>(World.MapWidth)) || !Within(m.PosY, 0, static_cast<float>(World.MapHeight))) {
    Refuse("a tank off the map");
    return;
  }
  for (const WireWeapon& w : m.Weapons)
    if (w.Range < 0 || !Within(w.Speed, 0, 1000) || !Within(w.Agile, 0, kMaxAgile) || !Within(w.FireSpeed, 0, 100) ||
        !Within(w.Energy, 0, 32767) || w.Ammo < 0 || w.Ammo > 32767 || w.ClipID < 0 || w.ClipID > 32767 ||
        w.FirePower < -32768 || w.FirePower > 32767 || w.FireAngle < -32768 || w.FireAngle > 32767 ||
        w.OffsetX < -32768 || w.OffsetX > 32767) {
      Refuse("a weapon out of range");
      return;
    }
  bool listed = false;
  for (const ImageRecord& r : World.Images) listed = listed || (!m.Picture.empty() && r.Name == m.Picture);
  if (!listed && !World.Catalogue.Item(m.Picture)) {
    Refuse("a tank picture that is not in the catalogue");
    return;
  }
  const int32_t idx = MemberIndex(from);
  if (idx <= 0) return;
  // A new life whether or not this copy still holds the old tank.
  victims_[from].Armed = true;
  PlayerRecord& p = Table.Players[static_cast<size_t>(idx)];
  if (p.TankID >= 0) return;  // a player's tank is described once
  BattleUnit u;
  u.Accelerate = m.Accelerate;
  u.Agile = m.Agile;
  u.HeadAngle = m.HeadAngle;
  u.EnergyFull = static_cast<int16_t>(std::nearbyint(m.EnergyFull));
  u.Energy = u.EnergyFull;
  u.EnergySpeed = m.EnergySpeed;
  u.ShieldFull = static_cast<int16_t>(std::nearbyint(m.ShieldFull));
  u.Shield = u.ShieldFull;
  u.ShieldSpeed = m.ShieldSpeed;
  u.TopSpeed = m.TopSpeed;
  u.PosX = m.PosX;
  u.PosY = m.PosY;
  u.DescRECT = RECT{0, 0, 80, 60};
  u.CenterX = 40.0f;
  u.CenterY = 30.0f;
  u.PosOffsetX = -40.0f;
  u.PosOffsetY = -30.0f;
  u.TargetTank = -1;
  u.HP = 100;  // full until its state message says otherwise
  for (const WireWeapon& w : m.Weapons) {
    WeaponSlot s;
    s.Agile = w.Agile;
    s.Ammo = static_cast<int16_t>(w.Ammo);
    s.ClipID = static_cast<int16_t>(w.ClipID);
    s.Energy = w.Energy;
    s.FireAngle = static_cast<int16_t>(w.FireAngle);
    s.FireSpeed = w.FireSpeed;
    s.Key = w.Key;
    s.Path = w.Path;
    s.FirePower = static_cast<int16_t>(w.FirePower);
    s.Range = w.Range;
    s.Speed = w.Speed;
    s.OffsetX = static_cast<int16_t>(w.OffsetX);
    s.Enabled = 1;
    u.Weapon.push_back(std::move(s));
  }
  try {
    u.ClipID = std::to_string(UnitPicture(World, pictures_, m.Picture));
  } catch (const plat::RuntimeError&) {
    Refuse("a tank picture that cannot be loaded");
    return;
  }
  u.Team = UnitTeamOf(idx);
  u.Key = p.Name;
  const int32_t unit = NewTankIndex(World);
  World.Units[static_cast<size_t>(unit)] = std::move(u);
  Table.Players[static_cast<size_t>(idx)].TankID = unit;
}

void NetBattle::OnTankState(int32_t from, const MsgTankState& m) {
  const int32_t idx = Table.GetPlayerIndex(from, true);
  const int32_t tank = RemoteTankOf(idx);
  if (tank < 0) return;
  PlayerRecord& p = Table.Players[static_cast<size_t>(idx)];
  if (!Within(m.PosX, 0, static_cast<float>(World.MapWidth)) || !Within(m.PosY, 0, static_cast<float>(World.MapHeight)) ||
      !Within(m.HeadAngle, 0, 360) || !Within(m.Speed, -kMaxTopSpeed, kMaxTopSpeed) ||
      !Within(m.Energy, -1e6f, 1e6f) || !Within(m.Shield, -1e6f, 1e6f) || !Within(m.HP, -32768, 32767)) {
    Refuse("a tank state out of range");
    return;
  }
  BattleUnit& u = World.Units[static_cast<size_t>(tank)];
  u.PosX = m.PosX;
  u.PosY = m.PosY;
  u.Speed = m.Speed;
  u.HeadAngle = m.HeadAngle;
  u.Energy = m.Energy;
  u.Shield = m.Shield;
  u.HP = static_cast<int16_t>(std::nearbyint(m.HP));
  p.Team = m.Team;
  p.Active = m.Active;
  p.Idle = 0.0f;
  u.Team = UnitTeamOf(idx);
}

int32_t NetBattle::RemoteTankOf(int32_t idx) const {
  if (idx <= 0) return -1;
  const int32_t tank = Table.Players[static_cast<size_t>(idx)].TankID;
  if (tank < 0 || tank == OwnTank() || static_cast<size_t>(tank) >= World.Units.size()) return -1;
  return tank;
}

void NetBattle::OnJoin(int32_t from, const MsgJoin& m) {
  const int32_t idx = MemberIndex(from);
  if (idx <= 0) return;
  Table.Players[static_cast<size_t>(idx)].Team = m.Team;
  if (OwnTank() >= 0) SendTankInfo(OwnTank(), from);
  SendScore();
}

void NetBattle::OnQuit(int32_t from) {
  const int32_t idx = Table.GetPlayerIndex(from, true);
  if (idx <= 0) return;
  const int32_t tank = Table.Players[static_cast<size_t>(idx)].TankID;
  if (tank >= 0 && static_cast<size_t>(tank) < World.Units.size()) World.Units[tank].HP = -100;
  Table.RemovePlayer(from, 0);
  freeTeams_.erase(from);
  ForgetVictim(from);
  Table.SortPlayer();
}

void NetBattle::OnControl(int32_t from, const MsgControl& m) {
  const int32_t tank = RemoteTankOf(Table.GetPlayerIndex(from, true));
  if (tank < 0) return;
  if (!Within(m.AimX, -kFullMapWidth, 2.0f * kFullMapWidth) || !Within(m.AimY, -kFullMapHeight, 2.0f * kFullMapHeight)) {
    Refuse("an aim point far off the map");
    return;
  }
  BattleUnit& u = World.Units[static_cast<size_t>(tank)];
  u.MoveFB = m.MoveFB;
  u.TurnR = m.TurnR;
  u.TurnL = m.TurnL;
  u.PerSpeed = static_cast<int16_t>(std::clamp(m.PerSpeed, -50, 100));
  u.Fire = m.Fire;
  u.AimX = m.AimX;
  u.AimY = m.AimY;
  if (m.TargetOwner > 0) {
    // Only a player this copy knows: a target never makes a record.
    const int32_t t = Table.GetPlayerIndex(m.TargetOwner, true);
    if (t >= 0) u.TargetTank = Table.Players[static_cast<size_t>(t)].TankID;
  }
  for (size_t j = 0; j < m.Enabled.size() && j < u.Weapon.size(); ++j) u.Weapon[j].Enabled = m.Enabled[j];
}

void NetBattle::OnKilledBy(int32_t from, const MsgKilledBy& m) {
  if (m.PlayerID != from || !IsMember(from)) {
    Refuse("a kill report that names someone else");
    return;
  }
  VictimLife& life = victims_[from];
  if (!life.Armed || life.Pending) {
    Refuse("a second kill report for one tank");
    return;
  }
  life.Armed = false;
  if (life.Counted && Now() - life.LastCount < kKillReportGapMs) {
    life.Pending = true;
    return;
  }
  CountKill(life);
}

void NetBattle::CountPendingKills() {
  for (auto& [id, life] : victims_)
    if (life.Pending && Now() - life.LastCount >= kKillReportGapMs) CountKill(life);
}

void NetBattle::ForgetVictim(int32_t id) {
  auto it = victims_.find(id);
  if (it == victims_.end()) return;
  if (it->second.Pending) CountKill(it->second);  // the report was taken; only its second was awaited
  victims_.erase(it);
}

void NetBattle::CountKill(VictimLife& life) {
  life.Pending = false;
  life.Counted = true;
  life.LastCount = Now();
  ++KillCount;
  Table.Players[0].Score = KillCount;
  SendScore();
  profile_.AddKill();
  Table.SortPlayer();
}

void NetBattle::OnScore(int32_t from, const MsgScore& m) {
  if (m.PlayerID != from || m.Score < 0 || !Within(m.HeldTime, 0, 1e7f)) {
    Refuse("a score line out of range");
    return;
  }
  const int32_t idx = MemberIndex(from);
  if (idx <= 0) return;
  PlayerRecord& p = Table.Players[static_cast<size_t>(idx)];
  p.Score = m.Score;
  p.HeldTime = m.HeldTime;
  p.Team = m.Team;
  if (p.TankID >= 0 && static_cast<size_t>(p.TankID) < World.Units.size()) World.Units[p.TankID].Team = UnitTeamOf(idx);
  Table.SortPlayer();
}

void NetBattle::OnSetting(int32_t from, const MsgSetting& m) {
  // Taken only while waiting, and only from the host.
  if (setting_.Role == "Go" || setting_.Role == "New" || started_) {
    Refuse("settings while the battle runs");
    return;
  }
  if (from != link_.HostId() || m.SenderID != from) {
    Refuse("settings from a player who is not the host");
    return;
  }
  if (m.LimTime < 0 || m.LimTank < 0 || m.Money < 0 || m.BattleTime < 0 || m.RequesterTeam > 1) {
    Refuse("settings out of range");
    return;
  }
  if (!MapListed(m.MapName)) {
    Refuse("settings for a map this machine does not have");
    return;
  }
  std::vector<PlacedBuilding> table;
  for (const WireBuilding& b : m.Buildings) {
    if (b.Key.empty()) continue;  // removed at the host: the order of the rest is kept
    if (b.HP < -32768 || b.HP > 32767) {
      Refuse("a building out of range");
      return;
    }
    table.push_back({b.Key, b.MapX, b.MapY, static_cast<int16_t>(b.HP), b.Shield});
  }
  setting_.ModeIndex = m.ModeIndex;
  setting_.ModeName = m.ModeName;
  setting_.WinRule = m.WinRule;
  setting_.LimTank = m.LimTank;
  setting_.LimTime = m.LimTime;
  setting_.MapName = m.MapName;
  setting_.Money = m.Money;
  Table.Players[0].Team = m.RequesterTeam;
  receivedBuilds_ = std::move(table);
  setting_.Role = "GotSetting";
  StartClock(Mode, m.BattleTime);
  setting_.Role = "Go";
}

void NetBattle::OnBuildState(int32_t from, const MsgBuildState& m) {
  if (link_.IsHost() || from != link_.HostId() || m.SenderID != from) {
    Refuse("a building table from a player who is not the host");
    return;
  }
  ApplyBuildState(m.Buildings);
}

void NetBattle::ApplyBuildState(const std::vector<WireBuilding>& table) {
  // Both tables keep the buildings' order and only the host removes any,
  // so the host's table is ours less what it destroyed: walk both, update
  // what matches in place, and let what it lacks fall here too.
  size_t j = 0;
  for (BuildingInstance& b : World.Builds) {
    if (b.TypeKey.empty()) continue;
    while (j < table.size() && table[j].Key.empty()) ++j;
    if (j < table.size() && Identity(table[j]) == Identity(b)) {
      const WireBuilding& w = table[j++];
      if (w.HP < -32768 || w.HP > 32767) continue;
      b.HP = static_cast<int16_t>(w.HP);
      b.Shield = w.Shield;
      continue;
    }
    felled_.insert(Identity(b));
    b.HP = -1;
  }
}

}  // namespace fw
