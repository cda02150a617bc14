#pragma once
// The rule of the screens that a single press ends (the end screen, the
// briefing's state page, the closing film, the message boxes): a
// key or button still held from the screen before, or hit at the moment the
// screen appears, must not skip it unseen. Such a screen takes only a press
// that began after it opened, and none in its first moments.
#include <cstdint>

namespace fw {

// How long a screen ignores every press after it opens.
constexpr uint32_t kFreshPressDelayMs = 300;

// The window reports each key and mouse button going down and each key
// coming up; a key's repeats while held are not presses.
void NoteKeyDown(int16_t keyCode);
void NoteKeyUp(int16_t keyCode);
void NoteButtonDown(int16_t button);

class FreshPress {
 public:
  // Opens now.
  FreshPress() { Open(); }
  void Open();
  // A press began since opening, at least kFreshPressDelayMs after it;
  // stays true once it has been.
  bool Taken() const;
  // The press being handled now (the latest key or button down) is such a
  // press: for event handlers, so a held key's repeat cannot pass for the
  // fresh press of another.
  bool TakenNow() const;
  // The key of the latest fresh press, 0 for a mouse button.
  int16_t Key() const;
  // Its first moments are over: a press beginning now would be taken.
  bool Listening() const;

 private:
  uint32_t openedAt_ = 0;
  uint64_t pressesAtOpen_ = 0;
};

}  // namespace fw
