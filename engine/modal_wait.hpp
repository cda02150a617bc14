#pragma once
// The wait that start-up's splash and the question box share: the window's
// events run until a key or a mouse button arrives.

namespace fw {

// Runs DoEvents until the window has stored a key in KeyCode or a button in
// MouseButton; neither is cleared here. Between looks the machine rests,
// except while a test holds the clock fixed.
void WaitForKeyOrButton();

}  // namespace fw
