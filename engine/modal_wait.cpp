#include "engine/modal_wait.hpp"

#include "engine/fresh_press.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"

namespace fw {
namespace {
// Short enough that a key feels answered at once.
constexpr uint32_t kLookEveryMs = 5;
}  // namespace

void PumpUntil(const std::function<bool()>& done) {
  for (;;) {
    plat::DoEvents();
    if (done()) return;
    plat::Rest(kLookEveryMs);
  }
}

int16_t WaitForKeyOrButton() {
  const FreshPress press;
  PumpUntil([&press] { return press.Taken(); });
  return press.Key();
}

}  // namespace fw
