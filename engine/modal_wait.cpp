#include "engine/modal_wait.hpp"

#include "engine/fresh_press.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"

namespace fw {
namespace {
// Short enough that a key feels answered at once.
constexpr uint32_t kLookEveryMs = 5;
const FreshPress* g_waiting = nullptr;
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
  // Put back however the wait ends, a throw from a pump included.
  struct Waiting {
    const FreshPress* outer = g_waiting;
    explicit Waiting(const FreshPress& p) { g_waiting = &p; }
    ~Waiting() { g_waiting = outer; }
  } waiting(press);
  PumpUntil([&press] { return press.Taken(); });
  return press.Key();
}

bool WaitingForKeyOrButton() { return g_waiting != nullptr; }
bool TakesKeyOrButtonNow() { return g_waiting && g_waiting->Listening(); }

}  // namespace fw
