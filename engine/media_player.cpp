#include "engine/media_player.hpp"

#include <optional>

#include "engine/form_board.hpp"
#include "engine/fresh_press.hpp"
#include "engine/globals.hpp"
#include "engine/key_config.hpp"
#include "engine/surfaces.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/numeric.hpp"
#include "platform/runtime/random.hpp"

namespace fw {

Lazy<QelMediaPlayCls> MediaPlay;

namespace {
constexpr double kIntroLimitSeconds = 104.08;
constexpr int kBattleTracks = 5;
constexpr int16_t kVkEscape = 27;

int32_t MusicVolume() { return MusicVol * 100 - 1000; }
bool KeyOrButton() { return KeyCode > 0 || MouseButton > 0; }
}  // namespace

QelMediaPlayCls::~QelMediaPlayCls() { CleanUp(); }

bool QelMediaPlayCls::LoadFile(const std::string& path, int32_t, plat::MediaKind kind) {
  if (!plat::FileExists(path)) {
    Ready = false;
    return false;
  }
  CleanUp();
  IFilter = plat::MediaGraph::RenderFile(plat::NativePath(path), kind);
  if (!IFilter) {
    Ready = false;
    return false;
  }
  IFilter->SetVolume(MusicVolume());
  return true;
}

std::string QelMediaPlayCls::FindFilm(const std::string& name) const {
  for (const std::string& folder : {AppPath, MediaPath}) {
    const std::string found = plat::Dir(folder + "\\" + name);
    if (!found.empty()) return folder + "\\" + found;
  }
  return "";
}

void QelMediaPlayCls::StartFilm() {
  IFilter->SetVideoWindow(0, 0, plat::kFrameWidth, plat::kFrameHeight);
  plat::Window::Instance().ShowSystemCursor(false);
  IFilter->Run();
  KeyCode = 0;
  KeyShift = 0;
  MouseButton = 0;
}

void QelMediaPlayCls::Load(void*) {
  const std::string film = FindFilm("Intro.avi");
  if (film.empty() || !LoadFile(film, 0, plat::MediaKind::Film)) return;
  IFilter->SetVolume(0);
  StartFilm();
  for (;;) {
    plat::DoEvents();
    if (!IFilter) return;
    IFilter->Pump();
    if (IFilter->Skipped()) return CleanUp();
    // A film shorter than the limit stays on its last picture until a key
    // or a button.
    if (IFilter->CurrentPosition() > kIntroLimitSeconds || KeyOrButton()) return;
  }
}

void QelMediaPlayCls::PlayOnTheDisplay(const std::string& name, const std::function<bool()>& over) {
  const std::string film = FindFilm(name);
  if (film.empty() || !LoadFile(film, 0, plat::MediaKind::Film)) return;
  void* hWnd = Board->hWnd();
  Primary.reset();
  BackBuffer.reset();
  if (DDraw) {
    DDraw->SetCooperativeLevel(hWnd, plat::DDSCL_NORMAL);
    DDraw->SetDisplayMode(640, 480, DX ? DX->DisplayBitsPerPixel() : plat::DirectX7().DisplayBitsPerPixel(), 0, 0);
  }
  Board->WindowState = 2;
  StartFilm();
  while (!over()) {
    plat::DoEvents();
    TestCoop();
    if (!IFilter) break;
    IFilter->Pump();
    if (IFilter->Skipped()) break;
  }
  CleanUp();
  if (DDraw) {
    DDraw->SetCooperativeLevel(hWnd, plat::DDSCL_FULLSCREEN | plat::DDSCL_EXCLUSIVE);
    DDraw->SetDisplayMode(640, 480, 16, 0, 0);
  }
  CreatePrimaryAndBackBuffer(Primary, BackBuffer, DDraw);
}

void QelMediaPlayCls::PlayLogo() {
  std::optional<FreshPress> press;
  PlayOnTheDisplay("logo.avi", [&press] {
    // A key still held from the last screen must not cut the film at once.
    if (!press) press.emplace();
    return press->Taken();
  });
}

void QelMediaPlayCls::PlayCredit() {
  PlayOnTheDisplay("Credit.avi", [this] {
    CheckLoop();
    // A button held while the mouse moves is no click.
    return KeyCode > 0 || (MouseButton > 0 && MouseMoved == 0);
  });
  GameState = 1;
}

void QelMediaPlayCls::PlayStoryEnd() {
  PlayOnTheDisplay("StoryEnd.avi",
                   [this] { return KeyCode == kVkEscape || IFilter->CurrentPosition() >= IFilter->Duration(); });
  GameState = 10;
}

int32_t QelMediaPlayCls::PlayMp3(const std::string& path) {
  if (!LoadFile(path, 0, plat::MediaKind::Music)) return 0;
  const double duration = IFilter->Duration();
  IFilter->Run();
  return plat::CLng(duration);
}

void QelMediaPlayCls::PlayBackSound(int32_t kind) {
  plat::Randomize();
  std::string name;
  switch (kind) {
    case 0: {
      const int track = static_cast<int>(plat::Int(plat::Rnd() * kBattleTracks)) + 1;
      name = "BG" + std::to_string(track) + ".MP3";
      break;
    }
    case 1: name = "Factory.mp3"; break;
    case 2: name = "Mbrief.mp3"; break;
    case 3: name = "Menu.mp3"; break;
    default: return;
  }
  // Start-up makes the program folder the current one; naming it keeps the
  // tracks found wherever the program was started from.
  PlayMp3(AppPath + "\\" + name);
}

void QelMediaPlayCls::CheckLoop() {
  if (!IFilter) return;
  if (IFilter->CurrentPosition() >= IFilter->Duration()) {
    IFilter->SetCurrentPosition(0);
    IFilter->Run();
  }
}

void QelMediaPlayCls::TestCoop() {
  // The surfaces live in memory and nothing can take the display away, so
  // there is never a loss to wait out or surfaces to restore.
}

void QelMediaPlayCls::CleanUp() {
  if (!IFilter) return;
  IFilter->Stop();
  IFilter.reset();
}

}  // namespace fw
