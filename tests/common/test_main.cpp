// Every suite runs headless: SDL's dummy video and audio drivers.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/runtime/files.hpp"
#include "platform/runtime/temp_folder.hpp"

namespace {
// A failure a test planned and never met must not fail a call of the next.
class ForgetPlannedFailures : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { plat::ForgetPlannedFileCallFailures(); }
};
}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  // Whatever the program and the programs it starts put in the temporary
  // folder (sample data, the games' own folders, what a game that a test
  // kills or a failed assertion leaves) lands in one folder that goes with
  // the program, and a program killed on its deadline leaves it to the next.
  static const plat::ScratchFolder scratch("fwtest-");
  setenv("TMPDIR", scratch.Path().c_str(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new ForgetPlannedFailures);
  return RUN_ALL_TESTS();
}
