#include "platform/runtime/quit_signal.hpp"

#include <signal.h>

namespace plat {
namespace {
volatile sig_atomic_t g_pending = 0;

void OnQuitSignal(int sig) {
  if (g_pending) {
    // The first request was never taken: the game is stuck, so let the
    // signal do what it does by default.
    signal(sig, SIG_DFL);
    raise(sig);
    return;
  }
  g_pending = 1;
}
}  // namespace

void CatchQuitSignals() {
  struct sigaction sa {};
  sa.sa_handler = OnQuitSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
}

bool TakeQuitSignal() {
  if (!g_pending) return false;
  g_pending = 0;
  return true;
}

bool QuitSignalPending() { return g_pending != 0; }

}  // namespace plat
