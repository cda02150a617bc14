#include "engine/fresh_press.hpp"

#include <bitset>

#include "platform/runtime/clock.hpp"

namespace fw {
namespace {
// Key codes are the system's virtual keys, all below 256; a code outside
// cannot be followed and counts as a new press each time.
constexpr int kKeyCodes = 256;

struct PressLog {
  std::bitset<kKeyCodes> held;
  uint64_t presses = 0;  // presses begun since start
  uint32_t lastAt = 0;   // when the latest began
  int16_t lastKey = 0;   // its key, 0 for a button
  bool latestWasRepeat = false;
};
PressLog g_log;

bool Followed(int16_t key) { return key >= 0 && key < kKeyCodes; }

void Began(int16_t key) {
  ++g_log.presses;
  g_log.lastAt = plat::timeGetTime();
  g_log.lastKey = key;
  g_log.latestWasRepeat = false;
}
}  // namespace

void NoteKeyDown(int16_t keyCode) {
  if (Followed(keyCode)) {
    if (g_log.held.test(static_cast<size_t>(keyCode))) {
      g_log.latestWasRepeat = true;
      return;
    }
    g_log.held.set(static_cast<size_t>(keyCode));
  }
  Began(keyCode);
}

void NoteKeyUp(int16_t keyCode) {
  if (Followed(keyCode)) g_log.held.reset(static_cast<size_t>(keyCode));
}

void NoteButtonDown(int16_t) { Began(0); }

void FreshPress::Open() {
  openedAt_ = plat::timeGetTime();
  pressesAtOpen_ = g_log.presses;
}

bool FreshPress::Taken() const {
  // Differences of the wrapping clock stay right across its wrap.
  return g_log.presses != pressesAtOpen_ && g_log.lastAt - openedAt_ >= kFreshPressDelayMs;
}

bool FreshPress::TakenNow() const { return !g_log.latestWasRepeat && Taken(); }

bool FreshPress::Listening() const { return plat::timeGetTime() - openedAt_ >= kFreshPressDelayMs; }

int16_t FreshPress::Key() const { return Taken() ? g_log.lastKey : 0; }

}  // namespace fw
