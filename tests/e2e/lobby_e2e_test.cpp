// The network lobby through the real program, two of them on this machine:
// A hosts (LAN search, NEW, a tank armed in the factory, OK) and B finds A's
// game, joins it, and, once A has gone, is told the join failed and stays
// in the lobby. Both end normally and leave no session behind: B leaves
// the battle with Esc on its notice that no tank was armed, A its battle by
// the exit question.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/modal_wait.hpp"
#include "engine/screen.hpp"
#include "frontend/main_menu.hpp"
#include "factory/factory_screen.hpp"
#include "multiplayer/session/direct_play.hpp"
#include "multiplayer/lobby/game_setting.hpp"
#include "multiplayer/lobby/lobby.hpp"
#include "multiplayer/lobby/new_game_page.hpp"
#include "multiplayer/battle/net_battle_screen.hpp"
#include "multiplayer/lobby/net_factory_visit.hpp"
#include "platform/input/window.hpp"
#include "tests/e2e/game_driver.hpp"
#include "tests/multiplayer/lobby_shopping.hpp"
#include "tests/multiplayer/net_env.hpp"

namespace fs = std::filesystem;
using fwtest::DriverStep;
using fwtest::Lobby;

namespace {
constexpr int16_t kVkReturn = 13, kVkEscape = 27, kVkX = 'X';

// Stands in for the profile screen: the first profile, named, to the main
// menu.
std::string gPlayerName;
class StartMainMenu : public fw::Screen {
 public:
  void Load() override {
    fwtest::PickFirstProfile(0);
    fw::Users->Item(1)->Name = gPlayerName;
    fw::GameState = fw::ScreenState::MainMenu;
  }
};

std::function<bool()> OnPage(int page) {
  return [page] { return fwtest::LobbyTaking(page) != nullptr; };
}

// The marks the two programs leave for each other in a shared folder.
struct Marks {
  std::string folder;
  void Set(const char* name) const { std::ofstream(folder + "/" + name) << "1"; }
  std::function<bool()> Has(const char* name) const {
    const std::string path = folder + "/" + name;
    return [path] { return fs::exists(path); };
  }
};

std::vector<DriverStep> ToTheSessionPage(const char* name) {
  gPlayerName = name;
  return {
      {"the splash taking a key", fwtest::SplashTakesAKey,
       [] {
         fw::RegisterScreen(fw::ScreenState::Profiles, fw::kScreenKeyDown, fw::MakeScreen<StartMainMenu>);
         plat::PushKeyStroke(kVkReturn);
       }},
      {"the main menu's MultiPlayer under the pointer",
       [] {
         if (fw::GameState != fw::ScreenState::MainMenu || !fw::MainMenuScreen.Exists()) return false;
         auto m = std::dynamic_pointer_cast<fw::FrmMainMenuClass>(fw::MainMenuScreen.Shared());
         return m && fwtest::ButtonUnder(m->Rects(), "MultiPlayer", 320, 168);
       },
       [] { fwtest::Click(320, 168); }},
      {"the connection page's IPX under the pointer", fwtest::LobbyButton(1, "IPX", 300, 92),
       [] { fwtest::Click(300, 92); }},
      {"the session page", OnPage(2), [] {}},
  };
}

std::shared_ptr<fw::FrmFactoryClass> Factory() {
  if (!fw::FactoryScreen.Exists() || fw::GameState != fw::ScreenState::Factory) return nullptr;
  return std::dynamic_pointer_cast<fw::FrmFactoryClass>(fw::FactoryScreen.Shared());
}

void Bye() { std::raise(SIGTERM); }

std::shared_ptr<fw::FrmMultiClass> Battle() {
  if (!fw::MultiScreen.Exists() || fw::GameState != fw::ScreenState::NetworkBattle) return nullptr;
  return std::dynamic_pointer_cast<fw::FrmMultiClass>(fw::MultiScreen.Shared());
}

[[noreturn]] void Host(const std::string& folder, const Marks& marks) {
  std::vector<DriverStep> steps = ToTheSessionPage("Ann");
  const std::vector<DriverStep> rest = {
      {"the session page's NEW under the pointer", fwtest::LobbyButton(2, "NEW", 100, 72), [] { fwtest::Click(100, 72); }},
      {"the new-game page's EQU", fwtest::NewGamePageAt("EQU", 166, 458), [] { fwtest::Click(166, 458); }},
      {"the factory running", [] { return Factory() && Factory()->State() == "RUN"; },
       [] {
         if (!fwtest::ShopForANetworkTank(Factory()->Rules())) std::_Exit(21);
         Factory()->Rules().ClickArea(fw::FactoryRules::kExitArea);
       }},
      {"the new-game page again, the tank armed",
       [] { return !Factory() && fwtest::NewGamePageAt("OK", 600, 450)() && Lobby()->Setting()->Armed; },
       [] { fwtest::Click(600, 450); }},
      {"the battle as host",
       [] { return fw::GameState == fw::ScreenState::NetworkBattle && fw::GameSetting.Role == "New"; },
       [&marks] {
         if (!fw::NetTank->Key.empty() && fw::DPlay().IsHost()) marks.Set("hosting");
         else std::_Exit(22);
       }},
      // Esc asks only while the battle runs with the host's tank in it.
      {"the joiner listing the game again, the battle taking Esc",
       [listed = marks.Has("listed")] {
         auto b = Battle();
         return listed() && b && b->Battle().RunState == "Loop" && b->Battle().OwnTank() >= 0 && !b->Prompting();
       },
       [] { plat::PushKeyStroke(kVkEscape); }},
      // The battle asks before it lets its player go, and leaves for the
      // main menu.
      {"the exit question", [] { return Battle() && Battle()->Prompting(); }, [] { plat::PushKeyStroke('Y'); }},
      {"the main menu, out of the session", [] { return fw::GameState == fw::ScreenState::MainMenu; },
       [&marks] {
         if (fw::DPlay().InSession()) std::_Exit(23);
         marks.Set("gone");
         Bye();
       }},
  };
  steps.insert(steps.end(), rest.begin(), rest.end());
  std::_Exit(fwtest::RunGame(folder, steps));
}

[[noreturn]] void Joiner(const std::string& folder, const Marks& marks) {
  std::vector<DriverStep> steps = ToTheSessionPage("Bob");
  auto joinRowOne = [] {
    fwtest::Click(300, 82);   // the row
    fwtest::Click(100, 122);  // JOIN
  };
  const std::vector<DriverStep> rest = {
      {"the host's game", marks.Has("hosting"), [] {}},
      {"the host's row, JOIN under the pointer",
       [] {
         return fwtest::SearchedUntilListed() && Lobby()->SessionList().Count() == 1 &&
                fwtest::LobbyButton(2, "JOIN", 100, 122)();
       },
       [joinRowOne] {
         if (Lobby()->SessionList().Item(1)->Text != "Ann   (1)") std::_Exit(31);
         joinRowOne();
       }},
      // The joiner's factory builds nothing here: the battle asks it to arm
      // a tank first, and Esc on that notice leaves for the lobby.
      {"the battle's notice to the joiner, taking a key",
       [] {
         return fw::GameState == fw::ScreenState::NetworkBattle && fw::GameSetting.Role == "Go" &&
                fw::TakesKeyOrButtonNow();
       },
       [] { plat::PushKeyStroke(kVkEscape); }},
      {"the connection page again, IPX under the pointer", fwtest::LobbyButton(1, "IPX", 300, 92),
       [] {
         if (fw::DPlay().InSession()) std::_Exit(32);
         fwtest::Click(300, 92);
       }},
      {"the host's game listed again",
       [] { return fwtest::SearchedUntilListed() && Lobby()->SessionList().Count() == 1; },
       [&marks] { marks.Set("listed"); }},
      {"the host gone, JOIN under the pointer",
       [gone = marks.Has("gone")] { return gone() && fwtest::LobbyButton(2, "JOIN", 100, 122)(); }, joinRowOne},
      {"the failure notice up, taking a key",
       [] { return Lobby() && Lobby()->Notice() == "CFail" && fwtest::NoWaitIgnoringPresses(); },
       [] { plat::PushKeyStroke(kVkX); }},
      {"the session page still", OnPage(2),
       [] {
         if (fw::GameState != fw::ScreenState::NetworkLobby || fw::DPlay().InSession()) std::_Exit(33);
         plat::PushKeyStroke(kVkEscape);
       }},
      {"a fresh connection page", OnPage(1), [] { plat::PushKeyStroke(kVkEscape); }},
      {"the main menu", [] { return fw::GameState == fw::ScreenState::MainMenu; }, Bye},
  };
  steps.insert(steps.end(), rest.begin(), rest.end());
  fw::RunNetFactory = [] {};
  std::_Exit(fwtest::RunGame(folder, steps));
}

// Waits for a child with a deadline; a child past it is killed.
int WaitFor(pid_t child, std::chrono::steady_clock::time_point deadline) {
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

}  // namespace

TEST(LobbyRoad, TwoProgramsHostAndJoinThenAJoinToAGoneHostFailsInTheLobby) {
  fwtest::LoopbackNetwork net;
  fwtest::SampleDataCopy a, b;
  fwtest::SampleDataCopy shared;
  const Marks marks{shared.path};
  const pid_t host = fork();
  ASSERT_GE(host, 0);
  if (host == 0) Host(a.path, marks);
  const pid_t joiner = fork();
  ASSERT_GE(joiner, 0);
  if (joiner == 0) Joiner(b.path, marks);
  // Far beyond the road's length on a machine whose every core is busy with
  // sanitized programs; a step that hangs ends its program sooner, by the
  // driver's deadline, naming the step.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(8);
  EXPECT_EQ(WaitFor(host, deadline), 0) << "the host";
  EXPECT_EQ(WaitFor(joiner, deadline), 0) << "the joiner";

  // Nothing answers a search on this machine's ports any more.
  fw::qelDirectPlay look;
  ASSERT_TRUE(look.Init());
  ASSERT_TRUE(look.OpenConnection(1));
  EXPECT_TRUE(look.DPEnumSessions.empty());
}
