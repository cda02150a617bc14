#include "tests/e2e/game_driver.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/registry.hpp"
#include "data/users.hpp"
#include "engine/fresh_press.hpp"
#include "engine/globals.hpp"
#include "engine/modal_wait.hpp"
#include "engine/startup.hpp"
#include "multiplayer/lobby/lobby.hpp"
#include "multiplayer/lobby/new_game_page.hpp"
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

namespace {
int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

std::function<bool()> Within(int64_t ms, std::function<bool()> first, std::function<void()> failure) {
  auto start = std::make_shared<int64_t>(-1);
  return [ms, first, failure, start] {
    if (*start < 0) *start = SteadyMs();
    if (first()) return true;
    if (SteadyMs() - *start > ms) failure();
    return false;
  };
}

bool NoWaitIgnoringPresses() { return !fw::WaitingForKeyOrButton() || fw::TakesKeyOrButtonNow(); }

bool SplashTakesAKey() {
  return fw::Primary && plat::Window::Instance().FramesPresented() > 0 && NoWaitIgnoringPresses();
}

bool ButtonUnder(fw::OBJRECTClass& rects, const std::string& key, float x, float y) {
  if (!rects.OrgRECT->Contains(key)) return false;
  const auto r = rects.OrgRECT->Item(key);
  return r->Enabled && fw::PtInRECT(static_cast<int32_t>(x), static_cast<int32_t>(y), r->iRECT());
}

std::shared_ptr<fw::FrmMultiMenuClass> Lobby() {
  if (fw::GameState != fw::ScreenState::NetworkLobby || !fw::MultiMenuScreen.Exists()) return nullptr;
  return std::dynamic_pointer_cast<fw::FrmMultiMenuClass>(fw::MultiMenuScreen.Shared());
}

std::shared_ptr<fw::FrmMultiMenuClass> LobbyTaking(int page) {
  auto l = Lobby();
  return l && l->Page() == page && l->RunState() == "Loop" && l->Notice().empty() && !l->Setting() &&
                 l->ClickName().empty()
             ? l
             : nullptr;
}

std::function<bool()> LobbyButton(int page, const char* key, float x, float y) {
  return [=] {
    auto l = LobbyTaking(page);
    return l && ButtonUnder(l->Buttons(), key, x, y);
  };
}

bool SearchedUntilListed() {
  auto l = LobbyTaking(2);
  if (!l) return false;
  if (l->SessionList().Count() > 0) return true;
  if (ButtonUnder(l->Buttons(), "Refresh", 100, 172)) Click(100, 172);
  return false;
}

std::function<bool()> NewGamePageAt(const char* target, float x, float y) {
  return [=] {
    auto l = Lobby();
    return l && l->Setting() && l->RunState() != "Busy" &&
           l->Setting()->TargetAt(static_cast<int32_t>(x), static_cast<int32_t>(y)) == target;
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
  auto stepSince = std::make_shared<int64_t>(SteadyMs());
  plat::SetTestDriver([pending, pumps, maxPumps, stepSince] {
    const bool late = SteadyMs() - *stepSince > kStepDeadlineMs;
    if (++*pumps > maxPumps || late) {
      std::fprintf(stderr, "driver: gave up after %lld ms and %ld pumps waiting for: %s\n",
                   static_cast<long long>(SteadyMs() - *stepSince), *pumps,
                   pending->empty() ? "the program to end" : pending->front().what.c_str());
      std::_Exit(99);
    }
    if (!pending->empty() && pending->front().when()) {
      auto step = pending->front();
      pending->erase(pending->begin());
      *stepSince = SteadyMs();
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
