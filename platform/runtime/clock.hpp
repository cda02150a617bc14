#pragma once
// The game's two clocks, both replaceable by tests so a battle can replay
// frame for frame.
#include <cstdint>

namespace plat {

// Milliseconds since an arbitrary start, wrapping at 2^32.
uint32_t timeGetTime();
// Seconds since midnight, local time, with fractions.
float Timer();

// Lets the machine rest for a while between two looks at the window's
// events. Returns at once while a test holds the clock fixed: the test's
// driver decides when time moves.
void Rest(uint32_t ms);

// Test hooks: a fixed clock stays where it is put until moved.
void FixClock(uint32_t ms, float secondsSinceMidnight = 0.0f);
void AdvanceClock(uint32_t ms);
void UnfixClock();
bool ClockFixed();

}  // namespace plat
