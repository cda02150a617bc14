#include "app/registry.hpp"

#include "battle/battle_screen.hpp"
#include "data/map_control.hpp"
#include "engine/screen.hpp"
#include "factory/factory_screen.hpp"
#include "factory/rules/combin_all.hpp"
#include "frontend/brief.hpp"
#include "frontend/end_screen.hpp"
#include "frontend/main_menu.hpp"
#include "frontend/menu_common.hpp"
#include "frontend/setup_menu.hpp"
#include "frontend/user_menu.hpp"
#include "missions/campaign.hpp"
#include "multiplayer/lobby/lobby.hpp"
#include "multiplayer/battle/net_battle_screen.hpp"

namespace fw {

namespace {
// What the window passes to each kind of screen: the menus are clicked and
// typed at, the battles steered by keys held down and released.
constexpr ScreenEvents kMenuEvents = kScreenKeyPress | kScreenMouseDown | kScreenMouseMove;
constexpr ScreenEvents kBattleEvents =
    kScreenKeyDown | kScreenKeyUp | kScreenMouseDown | kScreenMouseMove | kScreenMouseUp;
}  // namespace

void RegisterScreens() {
  using S = ScreenState;
  // One line per screen: its state, its events, its class (none: a
  // placeholder stands in) and what runs before each visit. The battles read
  // the map tables fresh before each visit.
  RegisterScreen(S::MainMenu, kMenuEvents, MakeScreen<FrmMainMenuClass>);
  RegisterScreen(S::CampaignBattle, kBattleEvents, MakeScreen<FrmMainClass>, LoadMapData);
  SetMissionScriptMaker(MakeCampaignScript);
  // The lobby's held buttons stop on release.
  RegisterScreen(S::NetworkLobby, kMenuEvents | kScreenMouseUp, MakeScreen<FrmMultiMenuClass>);
  RegisterScreen(S::NetworkBattle, kBattleEvents, MakeScreen<FrmMultiClass>, LoadMapData);
  RegisterScreen(S::Profiles, kMenuEvents, MakeScreen<FrmUserMenuClass>);
  RegisterScreen(S::Setup, kMenuEvents | kScreenKeyDown, MakeScreen<FrmSetupMenuClass>);
  RegisterScreen(S::Briefing, kMenuEvents, MakeScreen<FrmBriefClass>);
  RegisterScreen(S::Factory, kMenuEvents | kScreenKeyDown | kScreenKeyUp, MakeScreen<FrmFactoryClass>);
  RegisterScreen(S::EndScreen, kMenuEvents, MakeScreen<FrmEndScreenClass>);
  // The profile screen and the briefing build the battle tank through the
  // factory's rules, which know the catalogues.
  BuildBattleTank = CombinAllOnUsers;
}

}  // namespace fw
