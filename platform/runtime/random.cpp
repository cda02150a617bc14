#include "platform/runtime/random.hpp"

#include <cstring>

#include "platform/runtime/clock.hpp"

namespace plat {
namespace {
uint32_t g_state = 0x50000;  // the runtime's documented start value
bool g_fixed = false;
}  // namespace

float Rnd() {
  g_state = (g_state * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
  return static_cast<float>(g_state) / 16777216.0f;
}

void Randomize(double seed) {
  if (g_fixed) return;
  // Mix the seed's bits into the middle of the state, keeping the low byte,
  // the way the original runtime reseeds.
  uint64_t bits;
  std::memcpy(&bits, &seed, sizeof bits);
  const uint32_t hi = static_cast<uint32_t>(bits >> 32);
  const uint32_t mixed = ((hi & 0xFFFFu) ^ (hi >> 16)) << 8;
  g_state = (g_state & 0xFF0000FFu) | (mixed & 0xFFFF00u);
  g_state &= 0xFFFFFFu;
}

void Randomize() {
  if (g_fixed) return;  // no need to read the clock
  Randomize(static_cast<double>(Timer()));
}

void FixRandom(uint32_t state) {
  g_state = state & 0xFFFFFFu;
  g_fixed = true;
}
void UnfixRandom() { g_fixed = false; }
uint32_t RandomState() { return g_state; }

}  // namespace plat
