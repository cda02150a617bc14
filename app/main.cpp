// The executable: registers the screens that exist and runs the game.
#include "app/registry.hpp"
#include "engine/startup.hpp"
#include "platform/input/window.hpp"

int main() {
  fw::RegisterScreens();
  const int status = fw::Main();
  plat::QuitPlatform();
  return status;
}
