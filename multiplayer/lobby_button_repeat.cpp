#include "multiplayer/lobby_button_repeat.hpp"

namespace fw {

void ButtonRepeat::Press(const std::string& target, uint32_t now) {
  held_ = target;
  acted_ = false;
  pressedAt_ = now;
  lastAct_ = now;
}

void ButtonRepeat::Over(const std::string& target) {
  if (target != held_) held_.clear();
}

bool ButtonRepeat::Due(uint32_t now, bool repeats) {
  if (held_.empty()) return false;
  if (!acted_) {
    acted_ = true;
    lastAct_ = now;
    return true;
  }
  // Differences of the wrapping millisecond clock stay right across a wrap.
  if (!repeats || now - pressedAt_ < kFirstRepeatMs || now - lastAct_ < kRepeatMs) return false;
  lastAct_ = now;
  return true;
}

}  // namespace fw
