#include "multiplayer/lobby/lobby_button_repeat.hpp"

namespace fw {

void ButtonRepeat::Press(const std::string& target, uint32_t now) {
  held_ = target;
  acted_ = false;
  ended_ = false;
  pressedAt_ = now;
  lastAct_ = now;
}

void ButtonRepeat::Over(const std::string& target) {
  if (target != held_) Release();
}

void ButtonRepeat::Release() {
  if (acted_)
    held_.clear();
  else
    ended_ = true;
}

bool ButtonRepeat::Due(uint32_t now, bool repeats) {
  if (held_.empty()) return false;
  if (!acted_) {
    acted_ = true;
    lastAct_ = now;
    if (ended_) held_.clear();
    return true;
  }
  // Differences of the wrapping millisecond clock stay right across a wrap.
  if (!repeats || now - pressedAt_ < kFirstRepeatMs || now - lastAct_ < kRepeatMs) return false;
  lastAct_ = now;
  return true;
}

}  // namespace fw
