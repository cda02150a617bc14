#pragma once
// SIGTERM and SIGINT ask the game to close, the same request as closing its
// window, so the normal way out runs (and cleans up) rather than the process
// dying where it stands. A second signal while the first is still pending
// ends the process at once, for a game that no longer looks at its events.

namespace plat {

// Installs the handlers; call before SDL starts, which then leaves them.
void CatchQuitSignals();
// True once for each signal caught since the last call.
bool TakeQuitSignal();
// Whether a caught signal is waiting to be taken.
bool QuitSignalPending();

}  // namespace plat
