#include "engine/modal_wait.hpp"

#include "engine/fresh_press.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"

namespace fw {
namespace {
// Short enough that a key feels answered at once.
constexpr uint32_t kLookEveryMs = 5;
}  // namespace

int16_t WaitForKeyOrButton() {
  const FreshPress press;
  while (!press.Taken()) {
    plat::DoEvents();
    if (!press.Taken()) plat::Rest(kLookEveryMs);
  }
  return press.Key();
}

}  // namespace fw
