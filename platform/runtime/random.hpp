#pragma once
// The runtime's random source: a 24-bit linear congruential generator, so
// sequences are the same on every machine once seeded.
#include <cstdint>

namespace plat {

// Uniform in [0, 1).
float Rnd();
// Reseeds from the time of day (Timer), as the battles do every few steps.
void Randomize();
void Randomize(double seed);

// Test hooks: with the source fixed, Randomize leaves the sequence alone so a
// test's seed holds however often the game reseeds.
void FixRandom(uint32_t state);
void UnfixRandom();
uint32_t RandomState();

}  // namespace plat
