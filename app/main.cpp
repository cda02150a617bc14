// The executable: registers the screens that exist and runs the game.
#include "data/map_control.hpp"
#include "engine/screen.hpp"
#include "engine/startup.hpp"
#include "platform/input/window.hpp"

int main() {
  fw::BeforeBattleScreen = fw::LoadMapData;
  const int status = fw::Main();
  plat::QuitPlatform();
  return status;
}
