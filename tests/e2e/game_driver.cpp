#include "tests/e2e/game_driver.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/registry.hpp"
#include "data/users.hpp"
#include "engine/fresh_press.hpp"
#include "engine/globals.hpp"
#include "engine/startup.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/files.hpp"
#include "tests/common/test_support.hpp"

namespace fwtest {
namespace fs = std::filesystem;

std::string CopyOfSampleData(bool withFilms) {
  std::string t = (fs::temp_directory_path() / "fwe2e-XXXXXX").string();
  if (!mkdtemp(t.data())) std::abort();
  fs::copy(SampleDataFolder(), t, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  if (!withFilms) {
    fs::remove(t + "/Intro.avi");
    fs::remove(t + "/logo.avi");
  }
  return t;
}

SampleDataCopy::~SampleDataCopy() { fs::remove_all(path); }

std::function<bool()> FramesAfter(std::function<bool()> first, uint64_t frames) {
  auto start = std::make_shared<uint64_t>(0);
  return [first, frames, start] {
    const uint64_t now = plat::Window::Instance().FramesPresented();
    if (*start == 0) {
      if (!first()) return false;
      *start = now;
    }
    return now >= *start + frames;
  };
}

std::function<bool()> AMomentAfter(std::function<bool()> first) {
  // Beyond the ignored moments by a margin, for the pump that delivers it.
  constexpr uint32_t kMoment = fw::kFreshPressDelayMs + 50;
  auto start = std::make_shared<std::optional<uint32_t>>();
  return [first, start] {
    const uint32_t now = plat::timeGetTime();
    if (!*start) {
      if (!first()) return false;
      *start = now;
    }
    return now - **start >= kMoment;
  };
}

void PickFirstProfile(int32_t money) {
  fw::Users->File = fw::AppPath + "\\User.INI";
  fw::Users->ReadUser();
  fw::Users->NowUser = 1;
  fw::Users->Item(1)->Mission = 1;
  fw::Users->Item(1)->Money = money;
  fw::Users->EQUFile = fw::AppPath + "\\save\\user1.DAT";
  fw::Users->LoadEQUFile();
}

void Click(float x, float y) {
  plat::PushMouseMove(x, y);
  plat::PushMouseDown(1, x, y);
  plat::PushMouseUp(1, x, y);
}

int RunGame(const std::string& programFolder, std::vector<DriverStep> steps, long maxPumps) {
  plat::SetProgramFolder(programFolder);
  auto pending = std::make_shared<std::vector<DriverStep>>(std::move(steps));
  auto pumps = std::make_shared<long>(0);
  plat::SetTestDriver([pending, pumps, maxPumps] {
    if (++*pumps > maxPumps) {
      std::fprintf(stderr, "driver: gave up waiting for: %s\n",
                   pending->empty() ? "the program to end" : pending->front().what.c_str());
      std::_Exit(99);
    }
    if (!pending->empty() && pending->front().when()) {
      auto step = pending->front();
      pending->erase(pending->begin());
      step.then();
    }
  });
  fw::RegisterScreens();
  const int status = fw::Main();
  plat::SetTestDriver(nullptr);
  plat::QuitPlatform();
  return status;
}

}  // namespace fwtest
