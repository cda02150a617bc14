#pragma once
// How a held press on a lobby button acts: at once, once; held on the same
// button it repeats after 0.4 s, at most ten times a second; a release, or
// the pointer leaving the button, ends it. A press is also forgotten when a
// page that it opened (the factory) returns, so it cannot act again.
#include <cstdint>
#include <string>

namespace fw {

class ButtonRepeat {
 public:
  static constexpr uint32_t kFirstRepeatMs = 400;
  static constexpr uint32_t kRepeatMs = 100;

  // A left press began over the named target ("" for none).
  void Press(const std::string& target, uint32_t now);
  // The pointer is over target now; another target ends the press.
  // A press ended before the page looked still acts once: a quick click
  // falls within one frame.
  void Over(const std::string& target);
  void Release();
  // Whether the held target acts in this pass: the first look after the
  // press, then the repeats when `repeats` allows them.
  bool Due(uint32_t now, bool repeats);
  const std::string& Held() const { return held_; }

 private:
  std::string held_;
  bool acted_ = false;
  bool ended_ = false;
  uint32_t pressedAt_ = 0;
  uint32_t lastAct_ = 0;
};

}  // namespace fw
