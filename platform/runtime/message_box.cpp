#include "platform/runtime/message_box.hpp"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace plat {
namespace {
bool Headless() {
  const char* env = std::getenv("SDL_VIDEODRIVER");
  if (env && (std::strcmp(env, "dummy") == 0 || std::strcmp(env, "offscreen") == 0)) return true;
  return std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr;
}
}  // namespace

void MsgBox(std::string_view text, std::string_view title) {
  const std::string t(text), c(title);
  // Always on standard error too: a message box alone leaves no trace when
  // the program is run from a script.
  std::fprintf(stderr, "%s: %s\n", c.c_str(), t.c_str());
  if (!Headless()) SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, c.c_str(), t.c_str(), nullptr);
}

}  // namespace plat
