#pragma once
// The wait that start-up's splash and the question box share: the window's
// events run until a fresh key or mouse button press arrives.

#include <cstdint>

namespace fw {

// Runs DoEvents until a press that began after the call (and not in its
// first moments, see fresh_press.hpp) arrives; returns its key, 0 for a
// mouse button. KeyCode and MouseButton are not cleared here. Between looks
// the machine rests, except while a test holds the clock fixed.
int16_t WaitForKeyOrButton();

// For test drivers, which must press only when a wait listens: whether such
// a wait is under way, and whether it takes a press beginning now.
bool WaitingForKeyOrButton();
bool TakesKeyOrButtonNow();

}  // namespace fw
