#pragma once
// The numeric habits the battle steps share: rounding into the record
// fields' widths, the heading table read safely, headings from vectors.
#include <cmath>
#include <cstdint>
#include <limits>

#include "battle/battle_sinks.hpp"
#include "battle/battle_state.hpp"
#include "engine/globals.hpp"
#include "engine/sound.hpp"
#include "platform/runtime/numeric.hpp"
#include "platform/runtime/random.hpp"

namespace fw {

// Halves to even, as the runtime converts; values beyond the target width
// stick at its limits instead of raising, so an absurd frame factor or a
// huge hit cannot end the battle. NaN gives 0.
template <typename Int>
Int RoundTo(double v) {
  if (std::isnan(v)) return 0;
  const double r = plat::RoundHalfEven(v);
  if (r <= static_cast<double>(std::numeric_limits<Int>::min())) return std::numeric_limits<Int>::min();
  if (r >= static_cast<double>(std::numeric_limits<Int>::max())) return std::numeric_limits<Int>::max();
  return static_cast<Int>(r);
}
inline int32_t RoundL(double v) { return RoundTo<int32_t>(v); }

// The table entry of a heading at the nearest whole degree. Headings come
// from the records as they stand, and a long frame can carry one past a
// full turn before it is brought back; such a heading reads the entry of
// the same direction instead of past the table's end.
inline const CosSinPair& CosSinAt(double degrees) {
  int32_t k = RoundL(degrees);
  if (k < 0 || k > 360) k = ((k % 360) + 360) % 360;
  return CosSin[static_cast<size_t>(k)];
}

// The heading, in degrees 0..360, of the vector (dx, dy) of the given
// length: 0 along +x, 90 along +y (down the map). A vector of no length has
// no heading; `current` is returned then, so whoever steers by it keeps its
// course.
float CalAngle(float dx, float dy, float length, float current);

// A sound at a map point, heard from the view: nothing (and no random
// number drawn) when it is out of earshot; otherwise effect `first`, or one
// of the `choices` effects from it at random.
inline void SoundAt(const BattleState& world, BattleOutput& out, int32_t x, int32_t y, int32_t first,
                    int32_t choices = 1) {
  const int32_t v = SoundVolumeByDistance(world.ScrollX, world.ScrollY, x, y);
  if (v <= -10000) return;
  const int32_t effect = choices > 1 ? first + static_cast<int32_t>(plat::Int(plat::Rnd() * choices)) : first;
  out.PlayEffectSound(effect, v);
}

}  // namespace fw
