#pragma once
// Runs the real program in a child process, driven by a script of steps
// that the event pump consults: "when this holds, do that".
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/rects.hpp"

namespace fw {
class FrmMultiMenuClass;
}

namespace fwtest {

struct DriverStep {
  std::string what;                 // for the failure message
  std::function<bool()> when;       // checked at every pump
  std::function<void()> then;       // runs once, when it first holds
};

// How long a step may wait for its condition before the run gives up on it:
// long enough for a loaded machine running the program under the sanitizers.
constexpr int64_t kStepDeadlineMs = 150000;

// A condition that holds once `first` does and then gives up the run with
// `failure` (which names what was late and ends the program) once `ms` have
// passed since the step began waiting.
std::function<bool()> Within(int64_t ms, std::function<bool()> first, std::function<void()> failure);

// The splash takes a key now: shown, and past any moments in which its wait
// ignores presses.
bool SplashTakesAKey();

// No wait for a key or button is under way in its first moments, which
// ignore presses: a press now reaches whatever waits.
bool NoWaitIgnoringPresses();

// The clickable area `key` lies under the point now, enabled: a click there
// reaches it, wherever its sliding has got to.
bool ButtonUnder(fw::OBJRECTClass& rects, const std::string& key, float x, float y);

// A condition that holds once the frames shown since `first` first held
// reach a count: time for pictures to slide in.
std::function<bool()> FramesAfter(std::function<bool()> first, uint64_t frames);

// A condition that holds a moment after `first` first held: long enough for
// a screen that one press ends (the splash, a question, the end screen) to
// take the press, as it ignores the presses of its first moments.
std::function<bool()> AMomentAfter(std::function<bool()> first);

// The network lobby on screen, or null.
std::shared_ptr<fw::FrmMultiMenuClass> Lobby();
// The lobby on its page and taking presses: no notice over it, no wait
// under way, no click still to be handled; or null.
std::shared_ptr<fw::FrmMultiMenuClass> LobbyTaking(int page);
// The lobby taking presses on its page with its button `key` under the point.
std::function<bool()> LobbyButton(int page, const char* key, float x, float y);
// Holds once the session page lists a game and takes clicks; until then
// searches again each time the page takes a click: an answer a loaded
// machine sends late is found by a later search.
bool SearchedUntilListed();
// The new-game page taking clicks with `target` under the point: its
// buttons stand still, and its loop runs with no wait under way.
std::function<bool()> NewGamePageAt(const char* target, float x, float y);

// A left click at a point of the 640 x 480 screen.
void Click(float x, float y);

// A copy of the sample data set in a new folder the caller may change;
// without the films, start-up goes straight to the splash and shutdown ends
// at once.
std::string CopyOfSampleData(bool withFilms = true);

// Makes profile 1 of the folder's User.INI the current player at mission 1
// with the money given (in memory only) and loads its equipment file, as
// picking it on the profile screen does.
void PickFirstProfile(int32_t money);

// A copy of the sample data set without the films, removed with the object.
struct SampleDataCopy {
  std::string path = CopyOfSampleData(false);
  SampleDataCopy() = default;
  SampleDataCopy(const SampleDataCopy&) = delete;
  SampleDataCopy& operator=(const SampleDataCopy&) = delete;
  ~SampleDataCopy();
};

// Runs start-up, the screen loop and shutdown on the folder with the steps
// installed as the test driver; returns Main's exit status. Gives up (exit
// status 99, naming the step) when a step has waited kStepDeadlineMs, or
// after maxPumps pumps.
int RunGame(const std::string& programFolder, std::vector<DriverStep> steps, long maxPumps = 200000);

}  // namespace fwtest
