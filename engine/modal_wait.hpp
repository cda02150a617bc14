#pragma once
// The waits of the screens that hold until a key or a mouse button: the
// splash and the question box.

#include <cstdint>
#include <functional>

namespace fw {

// Runs DoEvents, then again until `done` holds. Between looks the machine rests, except
// while a test holds the clock fixed.
void PumpUntil(const std::function<bool()>& done);

// Runs DoEvents until a press that began after the call (and not in its
// first moments, see fresh_press.hpp) arrives; returns its key, 0 for a
// mouse button. KeyCode and MouseButton are not cleared here.
int16_t WaitForKeyOrButton();

// For test drivers, which must press only when a wait listens: whether such
// a wait is under way, and whether it takes a press beginning now.
bool WaitingForKeyOrButton();
bool TakesKeyOrButtonNow();

}  // namespace fw
