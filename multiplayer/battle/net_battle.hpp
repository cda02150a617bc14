#pragma once
// The network battle without its window: the campaign's world and steps
// under the network rules, the player table, the game messages each
// machine sends and how it applies those it receives, the joiner's wait
// for the host's settings, the map and roster, the frame with its
// once-a-second duties, the respawn of the own tank, the game mode's step
// and the way out. The battle screen draws it and feeds it input; tests
// and benchmarks run it headless, several in one process.
//
// The screen's part: it writes the own unit's controls (MoveFB, TurnL/R,
// PerSpeed, Fire, the weapons' Enabled, AimX/AimY) and World.PickedUnit as
// the player's input asks, calls Frame once a frame and draws World; it
// starts the battle music after LoadMap when the player wants music. When
// Ended() turns true it shows the end screen from Mode.Frozen (the ranking,
// team totals and result as booked) and then calls Leave; the exit
// question does SetHold(true) while it is up.
//
// Timing: every duty that runs "once a second", the join wait's give-up,
// the control resend and the respawn are counted on the game's monotonic
// clock (plat::timeGetTime); the frame factor only scales motion.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "battle/battle_sinks.hpp"
#include "battle/battle_state.hpp"
#include "battle/loaders.hpp"
#include "data/tank.hpp"
#include "multiplayer/battle/game_messages.hpp"
#include "multiplayer/battle/game_modes.hpp"
#include "multiplayer/lobby/game_setting.hpp"
#include "multiplayer/battle/net_link.hpp"
#include "multiplayer/battle/player_table.hpp"

namespace fw {

// The profile a battle books into, and the factory visit a joiner makes.
// The game passes the current user and the lobby's lending routine; tests
// pass their own, one per machine.
class NetBattleProfile {
 public:
  virtual ~NetBattleProfile() = default;
  virtual std::string Name() = 0;
  virtual void AddKill() = 0;   // the network kill statistic
  virtual void AddDeath() = 0;  // every appearance of the own tank
  // Saves the profiles; false when the save failed (nothing is lost).
  virtual bool Save() = 0;
  // The game's stats as the game modes book them.
  virtual NetResultBook& Results() = 0;
  struct Visit {
    bool Escaped = false;       // Esc in the factory: leave the battle
    std::optional<Tank> Armed;  // the tank the factory built, if any
  };
  // One factory visit with the game's money on empty lists.
  virtual Visit VisitFactory() = 0;
  // A notice for the player ("Please arm your tank first.").
  virtual void Notice(const std::string& text) = 0;
};

class NetBattle;

// The map's size from its tile grid (a tile covers 640 x 480 pixels of the
// view at the background's scale), never beyond the masks' 5120 x 3840: a
// smaller map keeps its units, view and territory inside itself.
void FitMapSize(BattleState& world);

// The network rules of the battle steps: kill credit by player, the own
// tank's controls and death reported, the roster's renumbering followed
// by the player table, buildings felled only by the host.
class NetBattleRules final : public BattleRules {
 public:
  explicit NetBattleRules(NetBattle& battle);
  void FatalShot(BattleState& world, const WeaponSlot& shot, int32_t victim) override;
  int32_t ShotOwner(const BattleState& world, int32_t shooter) override;
  void UnitControlled(BattleState& world, int32_t unit) override;
  void KillBooked(BattleState&, int32_t, int32_t) override {}
  void UnitDestroyed(BattleState& world, int32_t unit) override;
  bool BuildingMayFall(BattleState& world, int32_t building) override;
  void BuildingDestroyed(BattleState& world, int32_t building) override;
  void UnitRemoved(BattleState& world, int32_t removed, int32_t moved) override;

 private:
  NetBattle& b_;
};

class NetBattle {
 public:
  // What the join wait has come to.
  enum class Wait { Waiting, Go, GaveUp };
  // How EquTank ended.
  enum class Armed { Yes, Left };

  NetBattle(NetLink& link, NetBattleProfile& profile, BattlePictures& pictures, BattleOutput& out,
            GameSettingRecord& setting);
  ~NetBattle();
  NetBattle(const NetBattle&) = delete;
  NetBattle& operator=(const NetBattle&) = delete;

  // --- the screen's fields other code reads ---
  BattleState World;  // Units, Builds, shots, effects, masks, view (ScrollX/Y), picked unit
  std::string RunState;
  std::optional<Tank> UserTK;
  int32_t OwnTank() const { return World.PlayerUnit; }
  PlayerTable Table;  // Players (element 0 own), SortedPlayers, TeamScore
  GameModeState Mode;  // BattleTime, TimeText, TerritoryRect, EnemyBase, the frozen result
  int32_t KillCount = 0;
  int32_t GameState = 4;      // the next screen state once the battle is over
  std::string ExitNotice;     // "CFail" when the join wait gave up
  float FramesPerSecond = 0.0f;
  std::string LastError;      // why loading failed

  // --- the joiner's wait: the screen shows "Trying to Connect.  Please
  // Wait." with WaitSeconds() and calls PollJoinWait every pass; Esc is
  // AbandonJoinWait. ---
  void BeginJoinWait();
  Wait PollJoinWait();
  int32_t WaitSeconds() const;
  void AbandonJoinWait();
  // The joiner's factory visit, repeated until a tank is armed or the
  // player leaves with Esc (then the session is left and the lobby is next).
  Armed EquTank();

  // --- loading, in the order the screen shows its progress: tables, the
  // map (the host's from its file, a joiner's buildings from the host's
  // table), then the map's size. False with LastError when it fails; the
  // screen then leaves to the main menu. ---
  bool LoadMap(LoadProgress& progress);
  // Why the loaded map cannot be played (empty, or a "Base Defensing" map
  // without its two bases), naming the archive and the member; empty when
  // it can.
  std::string UnfitMap() const;
  // The battle starts: own record, MsgJoin, ranking, the frame clock.
  void Start();

  // --- the frame ---
  // One frame: announcements, frame timing with the once-a-second duties,
  // respawn, the game mode's step, messages, then the simulation. While
  // held (exit question, end screen) only the messages are drained and
  // the once-a-second duties run; idle time is not counted and the world
  // does not step.
  void Frame();
  void SetHold(bool held);
  bool Held() const { return held_; }
  // The battle ended by its mode's rule: the frozen ranking and result.
  bool Ended() const;
  // The way out: MsgQuit, the session left, the profiles saved, main menu
  // next. False when the save failed (the screen says so).
  bool Leave();

  // --- the roster of the network battle ---
  // The own tank from UserTK: style 0, team 0, spot 1, a random area 1..4,
  // a random heading, no target. -1 when no unit can be made.
  int32_t AddOwnTank();
  // The unit under a screen point, -1 none.
  int32_t GetTankAtPos(int32_t x, int32_t y) const;
  // Keeps the view inside the map, whatever its size.
  void ClampView();

  // --- the senders, each with its condition ---
  void SendTankInfo(int32_t unit, int32_t to);
  void SendTankState();
  void SendJoin();
  void SendQuit();
  void SendControl();
  void SendInfoRequest();
  void SendKilledBy(int32_t killerPlayer);
  void SendScore();
  void SendSettingRequest();
  void SendSetting(int32_t to);
  void SendBuildState(int32_t to);

  // --- receiving ---
  void GetMessage();

  // --- waits that hold the game loop (the factory visit, a question box, the
  // map load): each pass keeps the session read, so the inbox never fills
  // and nobody is dropped for a long wait. Before the battle starts what
  // arrives waits in order, a sender's superseded messages folded; once it
  // runs, messages are applied and the own tank's state goes out once a
  // second, as while held.
  void Pump();
  // Makes every wait of the platform pump this battle while it lives.
  class PumpScope {
   public:
    explicit PumpScope(NetBattle& battle);
    ~PumpScope();
    PumpScope(const PumpScope&) = delete;
    PumpScope& operator=(const PumpScope&) = delete;

   private:
    std::function<void()> previous_;
  };
  // Messages waiting for the battle to start, after folding.
  size_t Backlog() const { return deferred_.size(); }

  // Where the own tank's last fatal hit came from (player id), 0 none.
  int32_t OwnKiller() const { return ownKiller_; }
  NetLink& Link() { return link_; }
  bool IsHost() const { return link_.IsHost(); }
  GameSettingRecord& Setting() { return setting_; }
  // Counts of refused messages, by reason, for tests and the log.
  const std::map<std::string, int32_t>& Refused() const { return refused_; }

 private:
  friend class NetBattleRules;
  void OnSystem(int32_t type, int32_t who);
  void OnTankInfo(int32_t from, const MsgTankInfo& m);
  void OnTankState(int32_t from, const MsgTankState& m);
  void OnJoin(int32_t from, const MsgJoin& m);
  void OnQuit(int32_t from);
  void OnControl(int32_t from, const MsgControl& m);
  void OnKilledBy(int32_t from, const MsgKilledBy& m);
  void OnScore(int32_t from, const MsgScore& m);
  void OnSetting(int32_t from, const MsgSetting& m);
  void OnBuildState(int32_t from, const MsgBuildState& m);
  void ApplyBuildState(const std::vector<WireBuilding>& table);
  void Refuse(const std::string& why);
  bool IsMember(int32_t id);
  // The record of a session member, added when missing; -1 for anyone the
  // session does not list.
  int32_t MemberIndex(int32_t id);
  // The unit of the player at table index idx, when it is another player's
  // and this copy has it; -1 otherwise: only its owner moves the own tank.
  int32_t RemoteTankOf(int32_t idx) const;
  uint8_t UnitTeamOf(int32_t playerIndex);
  void OncePerSecond(float idleSeconds);
  void CalFPS(bool countIdle);
  void Respawn();
  void FlushControl(bool force);
  void Send(int32_t to, const GameMessage& m);
  bool TeamMode() const;
  void SyncMembers();
  std::vector<WireBuilding> BuildingTable() const;

  NetLink& link_;
  NetBattleProfile& profile_;
  BattlePictures& pictures_;
  BattleOutput& out_;
  GameSettingRecord& setting_;
  NetBattleRules rules_;
  BattleEnv env_;

  bool held_ = false;
  bool started_ = false;
  // Frame timing on the monotonic clock.
  uint32_t lastTime_ = 0;
  uint32_t lastSecond_ = 0;
  int32_t frameCount_ = 0;
  uint32_t respawnFrom_ = 0;  // when the own tank was lost (or the battle began)
  bool respawnPending_ = true;
  // The join wait.
  uint32_t waitStart_ = 0;
  uint32_t lastRequest_ = 0;
  std::deque<ReceivedMessage> deferred_;  // what arrived before the battle started
  // Takes what the session holds while the battle has not started.
  void TakeBeforeStart();
  void Defer(ReceivedMessage m);
  void SecondDuties(uint32_t now, bool countIdle);
  bool pumping_ = false;
  uint32_t fpsFrom_ = 0;
  // Control resends.
  std::optional<MsgControl> lastControl_;
  bool controlDirty_ = false;
  uint32_t lastControlSent_ = 0;  // the 50 ms slot of the last send
  bool controlEverSent_ = false;
  // Kill credit.
  int32_t ownKiller_ = 0;
  // Per victim: a kill report counts once per tank it described since the
  // report before, and at most once a second: delivery can bring an honest
  // report close behind the one before, so such a report waits for its
  // second (one at most) instead of being lost.
  struct VictimLife {
    bool Armed = false;    // a tank was described since the last report taken
    bool Counted = false;  // a report of this victim was counted
    bool Pending = false;  // a report waits for its second
    uint32_t LastCount = 0;
  };
  void CountKill(VictimLife& life);
  void CountPendingKills();
  void ForgetVictim(int32_t id);
  std::map<int32_t, VictimLife> victims_;
  // Free modes: one unit team per player, stable while it plays.
  std::map<int32_t, uint8_t> freeTeams_;
  std::map<std::string, int32_t> refused_;
  std::set<std::string> loggedOnce_;
  std::vector<int32_t> members_;
  bool membersFresh_ = false;
  uint32_t lastJoinSent_ = 0;
  bool buildStateDirty_ = false;
  std::set<std::string> felled_;  // buildings the host destroyed, not yet gone here
  std::vector<PlacedBuilding> receivedBuilds_;  // the host's table, for the joiner's map

 public:
  // Headless runs age the effects as the drawing would; the screen clears
  // this and ages them while it draws.
  bool AgeEffects = true;
};

}  // namespace fw
