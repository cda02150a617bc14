// A network battle between two copies of the real program on this machine:
// A hosts on the LAN search, B finds the game by the search and joins; both
// reach the battle and see the other's tank under its owner's name; B
// drives forward for three seconds and A's copy follows; B leaves by the
// exit question, A drops B within two seconds and plays on; both profiles
// are saved with what the battle booked. The two talk only over loopback,
// on ports free for this run, and tell each other their progress through
// files in a folder of the test.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <fstream>
#include <memory>
#include <thread>

#include "battle/sim_math.hpp"
#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/key_config.hpp"
#include "engine/modal_wait.hpp"
#include "engine/screen.hpp"
#include "frontend/main_menu.hpp"
#include "frontend/user_menu.hpp"
#include "multiplayer/lobby/lobby.hpp"
#include "multiplayer/lobby/new_game_page.hpp"
#include "multiplayer/battle/net_battle_screen.hpp"
#include "multiplayer/lobby/net_factory_visit.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"
#include "tests/e2e/game_driver.hpp"

using fwtest::Click;
using fwtest::DriverStep;
using fwtest::Lobby;
using fwtest::LobbyButton;
using fwtest::LobbyTaking;
namespace fs = std::filesystem;

namespace {
constexpr int16_t kVkReturn = 13, kVkEscape = 27, kVkUp = 38, kVkY = 89;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// A port with the next `span` free on 127.0.0.1 (UDP), for this run only.
uint16_t FreePorts(int span) {
  for (int attempt = 0; attempt < 200; ++attempt) {
    const uint16_t base = static_cast<uint16_t>(20000 + (getpid() * 131 + attempt * 977) % 40000);
    bool ok = true;
    for (int i = 0; i < span && ok; ++i) {
      const int s = socket(AF_INET, SOCK_DGRAM, 0);
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      a.sin_port = htons(static_cast<uint16_t>(base + i));
      ok = bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
      close(s);
    }
    if (ok) return base;
  }
  return 0;
}

std::shared_ptr<fw::FrmMultiClass> Battle() {
  if (fw::GameState != fw::ScreenState::NetworkBattle || !fw::MultiScreen.Exists()) return nullptr;
  auto s = std::dynamic_pointer_cast<fw::FrmMultiClass>(fw::MultiScreen.Shared());
  return s && s->Battle().RunState == "Loop" ? s : nullptr;
}

// The other player's tank in this copy, or null.
fw::BattleUnit* OtherTank() {
  auto s = Battle();
  if (!s || s->Battle().Table.Players.size() < 2) return nullptr;
  const int32_t t = s->Battle().Table.Players[1].TankID;
  auto& units = s->World().Units;
  return t >= 0 && static_cast<size_t>(t) < units.size() ? &units[static_cast<size_t>(t)] : nullptr;
}

// The other's tank drawn with its owner's name: the view put on it, one
// frame painted, and every pixel of the name in red.
bool NameUnderOtherTank(const std::string& name) {
  auto s = Battle();
  fw::BattleUnit* u = OtherTank();
  if (!s || !u || u->Key != name) return false;
  fw::BattleState& w = s->World();
  w.ScrollX = std::clamp(fw::RoundL(u->PosX) - 300, 0, w.MapWidth - 641);
  w.ScrollY = std::clamp(fw::RoundL(u->PosY) - 200, 0, w.MapHeight - 481);
  const float speed = u->Speed;
  u->Speed = 0;  // no jitter for this frame
  s->Paint();
  u->Speed = speed;
  plat::Surface ref(640, 480);
  ref.SetFont("Arial", 7.0f, false);
  ref.SetForeColor(plat::RGB(255, 255, 255));
  ref.DrawText(std::max(0, fw::RoundL(u->PosX) - w.ScrollX), std::max(0, fw::RoundL(u->PosY) - w.ScrollY) + 4,
               name);
  const plat::Surface& back = *s->View().Device().BackSurface;
  int lit = 0, red = 0;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x)
      if (ref.Row(y)[x]) ++lit, red += back.Row(y)[x] == 0xF800;
  return lit > 10 && red == lit;
}

struct Saved {
  int32_t kill = 0, death = 0, won = 0, lost = 0;
};
Saved SavedProfile() {
  fw::UsersClass saved;
  saved.File = fw::AppPath + "\\User.INI";
  saved.ReadUser();
  auto p = saved.Item(1);
  return {p->mKill, p->mDeath, p->mWon, p->mLost};
}

void Mark(const std::string& dir, const std::string& name, const std::string& text = "") {
  std::ofstream(dir + "/" + name + ".tmp") << text;
  fs::rename(dir + "/" + name + ".tmp", dir + "/" + name);
}
bool Marked(const std::string& dir, const std::string& name) { return fs::exists(dir + "/" + name); }
std::string Read(const std::string& dir, const std::string& name) {
  std::ifstream in(dir + "/" + name);
  std::string s((std::istreambuf_iterator<char>(in)), {});
  return s;
}

// The screen `screen` shows, with its button `key` under the point.
template <class S>
std::function<bool()> ScreenButton(fw::ScreenSlot& screen, int32_t state, const char* key, float x, float y) {
  return [&screen, state, key, x, y] {
    if (fw::GameState != state || !screen.Exists()) return false;
    auto s = std::dynamic_pointer_cast<S>(screen.Shared());
    return s && fwtest::ButtonUnder(s->Rects(), key, x, y);
  };
}

// The road to the lobby's session page, with the profile renamed and its
// battle tank taken into every network factory visit.
std::vector<DriverStep> ToSessionPage(const std::string& name, std::shared_ptr<Saved> before) {
  return {
      {"the splash taking a key", fwtest::SplashTakesAKey, [] { plat::PushKeyStroke(kVkReturn); }},
      {"the profile screen's YES under the pointer",
       ScreenButton<fw::FrmUserMenuClass>(fw::UserMenuScreen, fw::ScreenState::Profiles, "YES", 480, 425),
       [name] {
         fw::Users->Item(1)->Name = name;
         Click(480, 425);
       }},
      {"the main menu's MultiPlayer under the pointer",
       ScreenButton<fw::FrmMainMenuClass>(fw::MainMenuScreen, fw::ScreenState::MainMenu, "MultiPlayer", 320, 168),
       [before] {
         *before = SavedProfile();
         const fw::Tank tank = *fw::Users->NowTank;
         fw::RunNetFactory = [tank] { fw::Users->NowTank.Set(std::make_shared<fw::Tank>(tank)); };
         Click(320, 168);
       }},
      {"the lobby's LAN search under the pointer", LobbyButton(1, "IPX", 300, 92), [] { Click(300, 92); }},
      {"the session page", [] { return LobbyTaking(2) != nullptr; }, [] {}},
  };
}

// Leaves by the exit question, then checks the saved profile in the menu.
// `answered` learns when the question took the Y: the Y goes in as the
// question waits, and the wait takes it in the same pass of the window's
// events, so the moment it was pushed is the moment the battle was left.
void LeaveAndCheck(std::vector<DriverStep>& steps, std::shared_ptr<Saved> before,
                   std::function<void(int64_t)> answered) {
  // Esc asks only while this player's tank stands in the battle.
  steps.push_back({"the battle taking Esc", [] { return Battle() && Battle()->Battle().OwnTank() >= 0; },
                   [] { plat::PushKeyStroke(kVkEscape); }});
  // The question is drawn and its wait has begun, with the key that opened
  // it cleared: the flag is raised before the wait pumps the driver.
  auto yAt = std::make_shared<int64_t>(0);
  steps.push_back({"the exit question drawn and waiting",
                   [] { return Battle() && Battle()->Prompting() && fwtest::NoWaitIgnoringPresses(); },
                   [yAt] {
                     *yAt = NowMs();
                     plat::PushKeyStroke(kVkY);
                   }});
  steps.push_back({"the exit question answering the Y",
                   fwtest::Within(30000, [] { return !(Battle() && Battle()->Prompting()); },
                                  [] {
                                    std::fprintf(stderr, "the exit question did not take its Y\n");
                                    std::_Exit(25);
                                  }),
                   [yAt, answered] { answered(*yAt); }});
  steps.push_back({"the main menu after the battle",
                   [] { return fw::GameState == fw::ScreenState::MainMenu && fw::MainMenuScreen.Exists(); },
                   [before] {
                     const Saved now = SavedProfile();
                     const bool ok = now.death > before->death && now.kill == before->kill &&
                                     now.won == before->won && now.lost == before->lost;
                     if (!ok)
                       std::fprintf(stderr, "saved: kill %d death %d won %d lost %d (before %d %d %d %d)\n", now.kill,
                                    now.death, now.won, now.lost, before->kill, before->death, before->won,
                                    before->lost);
                     std::_Exit(ok ? 0 : 21);
                   }});
}

// From the session page: NEW, the team modes when asked, the factory, OK.
void HostGame(std::vector<DriverStep>& steps, bool teams) {
  steps.push_back({"the session page's NEW under the pointer", LobbyButton(2, "NEW", 100, 72), [] { Click(100, 72); }});
  const auto page = fwtest::NewGamePageAt;
  steps.push_back({"the new-game page", page("TEAM", 220, 63), [teams] {
                     if (teams) Click(220, 63);  // TEAM: its first mode is the group battle
                   }});
  steps.push_back({"the team modes, when asked",
                   [teams] { return !teams || fw::GameSetting.TeamPlay == 1; }, [] {
                     fw::GameSetting.WinRule = 0;
                     fw::GameSetting.LimTime = 5;
                   }});
  steps.push_back({"the new-game page's EQU", page("EQU", 166, 458), [] { Click(166, 458); }});
  steps.push_back({"the tank armed for the new game",
                   [page] {
                     return page("OK", 600, 450)() && fw::GameSetting.Role == "New" && Lobby()->Setting()->Armed;
                   },
                   [] { Click(600, 450); }});
}

// From the session page: the search refreshed until the game shows, then
// JOIN.
void JoinGame(std::vector<DriverStep>& steps) {
  steps.push_back({"the game found", fwtest::SearchedUntilListed, [] { Click(400, 85); }});
  steps.push_back({"the game's row chosen, JOIN under the pointer",
                   [] {
                     return LobbyButton(2, "JOIN", 100, 122)() && Lobby()->SessionList().SelectedItem == 1;
                   },
                   [] { Click(100, 122); }});
}

[[noreturn]] void Host(const std::string& folder, const std::string& talk) {
  auto before = std::make_shared<Saved>();
  auto steps = ToSessionPage("Alpha", before);
  auto first = std::make_shared<std::pair<float, float>>();
  HostGame(steps, false);
  steps.push_back({"B's tank named in the battle", [] { return NameUnderOtherTank("Bravo"); },
                   [talk, first] {
                     *first = {OtherTank()->PosX, OtherTank()->PosY};
                     Mark(talk, "A-sees");
                   }});
  steps.push_back({"B's drive", [talk] { return Marked(talk, "B-pos"); }, [] {}});
  // B stands still where it wrote down: A's copy comes to it, or the run
  // fails with where each stood.
  auto copyAt = [talk, first](float* gotX, float* gotY) {
    float x = 0, y = 0;
    std::sscanf(Read(talk, "B-pos").c_str(), "%f %f", &x, &y);
    const fw::BattleUnit* u = OtherTank();
    *gotX = x, *gotY = y;
    const bool moved = std::hypot(x - first->first, y - first->second) > 30.0f;
    return u && moved && std::hypot(u->PosX - x, u->PosY - y) <= 60.0f;
  };
  steps.push_back({"A's copy where B is",
                   fwtest::Within(20000,
                                  [copyAt] {
                                    float x, y;
                                    return copyAt(&x, &y);
                                  },
                                  [copyAt, first] {
                                    float x, y;
                                    copyAt(&x, &y);
                                    const fw::BattleUnit* u = OtherTank();
                                    std::fprintf(stderr, "A's copy of B at %.0f %.0f, B at %.0f %.0f, from %.0f %.0f\n",
                                                 u ? u->PosX : -1.0f, u ? u->PosY : -1.0f, x, y, first->first,
                                                 first->second);
                                    std::_Exit(22);
                                  }),
                   [talk] { Mark(talk, "A-followed"); }});
  // When A dropped B is taken as it is seen; B's mark of when it left may
  // come later, once B has seen its question answered.
  auto droppedAt = std::make_shared<int64_t>(0);
  steps.push_back({"B dropped", [droppedAt] {
                     auto s = Battle();
                     if (!s || s->Battle().Table.Players.size() != 1) return false;
                     *droppedAt = NowMs();
                     return true;
                   },
                   [] {}});
  steps.push_back({"B's mark of when it left", [talk] { return Marked(talk, "B-left"); },
                   [talk, droppedAt] {
                     const int64_t after = *droppedAt - std::stoll(Read(talk, "B-left"));
                     if (after > 2000) {
                       std::fprintf(stderr, "A dropped B %lld ms after it left\n", static_cast<long long>(after));
                       std::_Exit(23);
                     }
                   }});
  steps.push_back({"A plays on", fwtest::FramesAfter([] { return Battle() != nullptr; }, 60), [] {}});
  LeaveAndCheck(steps, before, [](int64_t) {});
  const int status = fwtest::RunGame(folder, std::move(steps), 3000000);
  std::fprintf(stderr, "A ended with %d\n", status);
  std::_Exit(30);
}

[[noreturn]] void Joiner(const std::string& folder, const std::string& talk) {
  auto before = std::make_shared<Saved>();
  auto steps = ToSessionPage("Bravo", before);
  JoinGame(steps);
  auto driveStart = std::make_shared<uint32_t>(0);
  steps.push_back({"A's tank named in the battle, A sees ours",
                   [talk] { return NameUnderOtherTank("Alpha") && Marked(talk, "A-sees"); },
                   [driveStart] {
                     auto s = Battle();
                     fw::BattleState& w = s->World();
                     w.Units[static_cast<size_t>(w.PlayerUnit)].Style = 0;
                     *driveStart = plat::timeGetTime();
                     plat::PushKeyDown(kVkUp);
                   }});
  // Three seconds of the battle's own clock, the one its tanks move by.
  steps.push_back({"three seconds forward", [driveStart] { return plat::timeGetTime() - *driveStart >= 3000; },
                   [] {
                     plat::PushKeyUp(kVkUp);
                     // The throttle stays where the key left it: the stop key
                     // closes it.
                     fw::KeyTable[fw::KEY_STOP] = 83;
                     plat::PushKeyStroke(83);
                   }});
  steps.push_back({"stopped", [] {
                     auto s = Battle();
                     if (!s) return false;
                     const fw::BattleState& w = s->World();
                     return std::fabs(w.Units[static_cast<size_t>(w.PlayerUnit)].Speed) < 0.01f;
                   }, [talk] {
                     fw::BattleState& w = Battle()->World();
                     const fw::BattleUnit& me = w.Units[static_cast<size_t>(w.PlayerUnit)];
                     Mark(talk, "B-pos", std::to_string(me.PosX) + " " + std::to_string(me.PosY));
                   }});
  steps.push_back({"A followed", [talk] { return Marked(talk, "A-followed"); }, [] {}});
  LeaveAndCheck(steps, before, [talk](int64_t at) { Mark(talk, "B-left", std::to_string(at)); });
  const int status = fwtest::RunGame(folder, std::move(steps), 3000000);
  std::fprintf(stderr, "B ended with %d\n", status);
  std::_Exit(30);
}

// A player of the three: all in the battle, each copy's clock is fixed and
// moved on a quarter second a pass until the five minutes run out; each
// end screen lists the three with its own side's team line, and is left
// once all three show theirs.
[[noreturn]] void GroupPlayer(const std::string& folder, const std::string& talk, const std::string& name,
                              bool host) {
  auto before = std::make_shared<Saved>();
  auto steps = ToSessionPage(name, before);
  if (host)
    HostGame(steps, true);
  else
    JoinGame(steps);
  // Once fixed, the game's clock moves only here; the session keeps its own.
  auto tick = [] {
    if (!plat::ClockFixed()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    plat::AdvanceClock(250);
  };
  steps.push_back({"all three in the battle",
                   [] {
                     auto s = Battle();
                     if (!s || s->Battle().Table.Players.size() != 3) return false;
                     for (const auto& p : s->Battle().Table.Players)
                       if (p.TankID < 0) return false;
                     return true;
                   },
                   [] { plat::FixClock(plat::timeGetTime()); }});
  // The end screen drawn and waiting for its press: the flag is raised
  // before the wait pumps the driver.
  const auto endScreen = [] {
    if (!fw::MultiScreen.Exists() || fw::GameState != fw::ScreenState::NetworkBattle) return false;
    auto s = std::dynamic_pointer_cast<fw::FrmMultiClass>(fw::MultiScreen.Shared());
    return s && s->Battle().Ended() && s->Prompting();
  };
  steps.push_back({"the end screen drawn",
                   [tick, endScreen] {
                     tick();
                     return endScreen();
                   },
                   [talk, name] {
                     auto s = std::dynamic_pointer_cast<fw::FrmMultiClass>(fw::MultiScreen.Shared());
                     const fw::PlayerTable& frozen = s->Battle().Mode.Frozen;
                     const auto texts = fw::EndScreenTexts(frozen);
                     const int32_t own = frozen.TeamScore[frozen.Players[0].Team == 1 ? 1 : 0];
                     const bool teamLine = frozen.TeamScore[2] > 0 && texts.size() == 2 + 2 * 3 &&
                                           texts[0].Text == "Score of Allied Forces: " + fw::StrNumber(own);
                     int rows = 0;
                     for (int r = 0; r < 3; ++r) {
                       int lit = 0;
                       for (int y = 60 + 20 * r; y < 75 + 20 * r; ++y)
                         for (int x = 100; x < 300; ++x) lit += fw::Primary->Row(y)[x] == 0xFFE0;
                       rows += lit > 10;
                     }
                     if (!teamLine || rows != 3) {
                       std::fprintf(stderr, "%s: the end screen shows %zu texts, team line %d, %d rows\n",
                                    name.c_str(), texts.size(), teamLine, rows);
                       std::_Exit(24);
                     }
                     Mark(talk, "end-" + name);
                   }});
  steps.push_back({"all three at their end screens, this one taking a press",
                   [tick, talk, endScreen] {
                     tick();
                     return Marked(talk, "end-Alpha") && Marked(talk, "end-Bravo") && Marked(talk, "end-Carla") &&
                            endScreen() && fwtest::NoWaitIgnoringPresses();
                   },
                   [] { plat::PushKeyStroke(kVkReturn); }});
  steps.push_back({"the main menu after the battle",
                   [tick] {
                     tick();
                     return fw::GameState == fw::ScreenState::MainMenu && fw::MainMenuScreen.Exists();
                   },
                   [before] {
                     const Saved now = SavedProfile();
                     const bool ok = now.won + now.lost == before->won + before->lost + 1 && now.death > before->death;
                     if (!ok)
                       std::fprintf(stderr, "saved: won %d lost %d death %d (before %d %d %d)\n", now.won, now.lost,
                                    now.death, before->won, before->lost, before->death);
                     std::_Exit(ok ? 0 : 21);
                   }});
  const int status = fwtest::RunGame(folder, std::move(steps), 3000000);
  std::fprintf(stderr, "%s ended with %d\n", name.c_str(), status);
  std::_Exit(30);
}

// Runs each player in a program of its own, on ports free for this run,
// and gives each the exit status it ended with (-1: stopped at the
// deadline).
std::vector<int> RunPlayers(const std::vector<std::function<void(const std::string&, const std::string&)>>& players) {
  std::vector<std::unique_ptr<fwtest::SampleDataCopy>> folders;
  std::string talk = (fs::temp_directory_path() / "fwe2e-talk-XXXXXX").string();
  if (!mkdtemp(talk.data())) return {};
  const uint16_t game = FreePorts(9);
  if (game == 0) return {};
  setenv("FERROWIND_BROADCAST", "127.255.255.255", 1);
  setenv("FERROWIND_PORT", std::to_string(game).c_str(), 1);
  setenv("FERROWIND_DISCOVERY_PORT", std::to_string(game + 8).c_str(), 1);
  std::vector<pid_t> pids;
  for (const auto& play : players) {
    folders.push_back(std::make_unique<fwtest::SampleDataCopy>());
    const pid_t pid = fork();
    if (pid == 0) play(folders.back()->path, talk);
    pids.push_back(pid);
  }
  std::vector<int> status(players.size(), -1);
  // Far beyond a road's length on a machine whose every core is busy with
  // sanitized programs; a step that hangs ends its program sooner, by the
  // driver's deadline, naming the step.
  const int64_t deadline = NowMs() + 480000;
  auto open = [&] { return std::count(status.begin(), status.end(), -1) > 0; };
  while (open() && NowMs() < deadline) {
    int st = 0;
    const pid_t done = waitpid(-1, &st, WNOHANG);
    for (size_t i = 0; i < pids.size(); ++i)
      if (done == pids[i]) status[i] = WIFEXITED(st) ? WEXITSTATUS(st) : 128;
    if (done <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  for (size_t i = 0; i < pids.size(); ++i)
    if (status[i] < 0) kill(pids[i], SIGKILL), waitpid(pids[i], nullptr, 0);
  fs::remove_all(talk);
  return status;
}

TEST(NetworkRoad, TwoProgramsOnLoopbackPlayAndPartWithTheirProfilesSaved) {
  EXPECT_EQ(RunPlayers({Host, Joiner}), (std::vector<int>{0, 0}));
}

TEST(NetworkRoad, ThreeProgramsPlayAGroupBattleToItsTimeLimitAndEachEndScreenListsAll) {
  using namespace std::placeholders;
  EXPECT_EQ(RunPlayers({std::bind(GroupPlayer, _1, _2, "Alpha", true), std::bind(GroupPlayer, _1, _2, "Bravo", false),
                        std::bind(GroupPlayer, _1, _2, "Carla", false)}),
            (std::vector<int>{0, 0, 0}));
}

}  // namespace
