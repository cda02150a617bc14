// The executable: registers the screens that exist and runs the game.
#include "engine/startup.hpp"
#include "platform/input/window.hpp"

int main() {
  const int status = fw::Main();
  plat::QuitPlatform();
  return status;
}
