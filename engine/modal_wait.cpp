#include "engine/modal_wait.hpp"

#include "engine/globals.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"

namespace fw {
namespace {
// Short enough that a key feels answered at once.
constexpr uint32_t kLookEveryMs = 5;

bool Answered() { return KeyCode > 0 || MouseButton > 0; }
}  // namespace

void WaitForKeyOrButton() {
  while (!Answered()) {
    plat::DoEvents();
    if (!Answered()) plat::Rest(kLookEveryMs);
  }
}

}  // namespace fw
