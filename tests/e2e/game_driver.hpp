#pragma once
// Runs the real program in a child process, driven by a script of steps
// that the event pump consults: "when this holds, do that".
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace fwtest {

struct DriverStep {
  std::string what;                 // for the failure message
  std::function<bool()> when;       // checked at every pump
  std::function<void()> then;       // runs once, when it first holds
};

// A condition that holds once the frames shown since `first` first held
// reach a count: time for pictures to slide in.
std::function<bool()> FramesAfter(std::function<bool()> first, uint64_t frames);

// A condition that holds a moment after `first` first held: long enough for
// a screen that one press ends (the splash, a question, the end screen) to
// take the press, as it ignores the presses of its first moments.
std::function<bool()> AMomentAfter(std::function<bool()> first);

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
// status 99) after maxPumps pumps.
int RunGame(const std::string& programFolder, std::vector<DriverStep> steps, long maxPumps = 200000);

}  // namespace fwtest
