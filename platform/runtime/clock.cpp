#include "platform/runtime/clock.hpp"

#include <chrono>
#include <cstdint>
#include <ctime>
#include <thread>

namespace plat {
namespace {
bool g_fixed = false;
uint32_t g_fixedMs = 0;
double g_fixedTimer = 0.0;

uint32_t RealMs() {
  using namespace std::chrono;
  static const auto start = steady_clock::now();
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now() - start).count());
}
}  // namespace

uint32_t timeGetTime() { return g_fixed ? g_fixedMs : RealMs(); }

float Timer() {
  if (g_fixed) return static_cast<float>(g_fixedTimer);
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t t = system_clock::to_time_t(now);
  // The battle reseeds from this clock several times a frame; the local
  // time of day is worked out once per second, not at every call.
  static thread_local std::time_t lastSecond = -1;
  static thread_local int32_t lastDaySeconds = 0;
  if (t != lastSecond) {
    std::tm local{};
    localtime_r(&t, &local);
    lastSecond = t;
    lastDaySeconds = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
  }
  const double frac = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000 / 1000.0;
  return static_cast<float>(lastDaySeconds + frac);
}

void Rest(uint32_t ms) {
  if (!g_fixed) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void FixClock(uint32_t ms, float secondsSinceMidnight) {
  g_fixed = true;
  g_fixedMs = ms;
  g_fixedTimer = secondsSinceMidnight;
}

void AdvanceClock(uint32_t ms) {
  g_fixedMs += ms;
  g_fixedTimer += ms / 1000.0;
  if (g_fixedTimer >= 86400.0) g_fixedTimer -= 86400.0;
}

void UnfixClock() { g_fixed = false; }
bool ClockFixed() { return g_fixed; }

}  // namespace plat
