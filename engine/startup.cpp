#include "engine/startup.hpp"

#include <cmath>
#include <csignal>
#include <cstdio>
#include <exception>

#include "engine/form_board.hpp"
#include "engine/globals.hpp"
#include "engine/joystick.hpp"
#include "engine/last_save.hpp"
#include "engine/media_player.hpp"
#include "engine/modal_wait.hpp"
#include "engine/pack.hpp"
#include "engine/program_end.hpp"
#include "engine/rects.hpp"
#include "engine/screen.hpp"
#include "engine/sound.hpp"
#include "engine/surfaces.hpp"
#include "platform/display/message_box.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/code_page.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/folder_lock.hpp"
#include "platform/runtime/game_files.hpp"
#include "platform/runtime/process.hpp"
#include "platform/runtime/quit_signal.hpp"
#include "platform/runtime/strings.hpp"
#include "platform/runtime/temp_folder.hpp"

namespace fw {

std::string MountTableFile = "/proc/self/mounts";

namespace {
constexpr double kStartupPi = 3.141592653589;

// The mount table escapes blanks and a few other characters as \ooo.
std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size()) {
      const std::string oct = s.substr(i + 1, 3);
      if (oct.size() == 3 && oct.find_first_not_of("01234567") == std::string::npos) {
        out += static_cast<char>(std::stoi(oct, nullptr, 8));
        i += 3;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

bool IsOpticalDisc(const std::string& type) { return type == "iso9660" || type == "udf"; }

void Splash() {
  plat::SurfacePtr splash;
  LoadSplashPicture(splash);
  const RECT whole = SetRECT(0, 0, 640, 480);
  BackBuffer->BltFast(0, 0, splash.get(), &whole, plat::DDBLTFAST_WAIT);
  Primary->Flip(nullptr, 0);
  // Unlike the screens that take only a fresh press, the splash passes on
  // whatever key or button stands: the intro film clears both as it starts,
  // so the press that ends the film ends the splash too, and a key pressed
  // before the film skips neither.
  PumpUntil([] { return KeyCode > 0 || MouseButton > 0; });
}

void StartUp() {
  FindMediaPath();                                                   // 1
  AppPath = plat::ProgramFolder();                                   // 2
  (void)plat::ChangeFolder(AppPath);  // the game's paths are absolute: a folder it cannot enter changes nothing
  FontScale = ComputeFontScale(plat::kTwipsPerPixelX);               // 3
  InitCosSin();                                                      // 4
  InitDirectDraw();                                                  // 5
  if (!Board->Show()) {                                              // 6
    plat::MsgBox("Unable to open the game window: no display is available (is DISPLAY set?).");
    EndProgram(1);
  }
  DisableIME(Board->hWnd());                                         // 7
  MediaPlay->Load(Board->hWnd());                                    // 8
  MediaPlay.Release();
  DDraw->SetCooperativeLevel(Board->hWnd(), plat::DDSCL_NORMAL);     // 9
  DDraw->SetCooperativeLevel(Board->hWnd(), plat::DDSCL_FULLSCREEN | plat::DDSCL_EXCLUSIVE);
  DDraw->SetDisplayMode(640, 480, 16, 0, 0);                         // 10
  // Without a primary surface nothing can be shown: end after the messages
  // rather than fail on the splash.
  if (!CreatePrimaryAndBackBuffer(Primary, BackBuffer, DDraw)) EndProgram(1);  // 11
  Splash();                                                          // 12, 13
  TellOfLastSave();
  Board->WindowState = 2;                                            // 14
  Sounds->Init(Board->hWnd(), DX.get());                             // 15
  DInput->InitDirectInput(*Board);                                   // 16
  // Copies go to a folder of this game's own, never beside the program.
  DataPack->FilePath = AppPath;                                      // 17
  DataPack->TempPath = plat::GameTempFolder();
  DataPack->LoadInf("Data");
  MissionPack->FilePath = AppPath;                                   // 18
  MissionPack->TempPath = plat::GameTempFolder();
  MissionPack->LoadInf("MissionPack");
  GameState = ScreenState::Profiles;                                 // 19
}

void Shutdown() {
  MediaPlay->PlayLogo();
  MediaPlay.Release();
  Board->Unload();
  Board.Release();
  RestoreCursor();
}
}  // namespace

std::vector<DriveRoot> GetDriveList() {
  auto text = plat::ReadAllText(MountTableFile);
  return text ? ParseMountTable(*text) : std::vector<DriveRoot>{};
}

std::vector<DriveRoot> ParseMountTable(const std::string& text) {
  std::vector<DriveRoot> roots;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    // device mountpoint type options ...
    char dev[4096], dir[4096], type[256];
    if (std::sscanf(line.c_str(), "%4095s %4095s %255s", dev, dir, type) == 3) roots.push_back({Unescape(dir), type});
  }
  return roots;
}

std::string FindMediaPath() {
  std::string result;
  MediaPath = plat::ProgramFolder();
  for (const DriveRoot& d : GetDriveList()) {
    if (!IsOpticalDisc(d.type)) continue;
    std::string root = d.root;
    if (root.empty() || root.back() != '/') root += '/';
    if (!plat::Dir(root + "Ferrowind").empty()) {
      MediaPath = root;
      result = root;
      if (MediaPath.size() > 1 && MediaPath.back() == '/') MediaPath.pop_back();
      break;
    }
    MediaPath = plat::ProgramFolder();
    result.clear();
  }
  return result;
}

float ComputeFontScale(float twipsPerPixelX) {
  return static_cast<float>(1440.0f / twipsPerPixelX / 96.0f);
}

void InitCosSin() {
  for (int i = 0; i <= 360; ++i) {
    const double a = i / 180.0 * kStartupPi;
    CosSin[static_cast<size_t>(i)] = {static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a))};
  }
}

void LoadSplashPicture(plat::SurfacePtr& splash) {
  try {
    LoadPictureSurface(AppPath + "\\create(GB).jpg", splash, DDraw, 0, 0, true);
  } catch (const plat::RuntimeError& e) {
    // Only a picture that is not there is not found: anything else keeps
    // the reader's cause.
    if (e.code() != plat::ErrorCode::FileNotFound) throw;
    throw plat::RuntimeError(plat::ErrorCode::FileNotFound,
                             "File not found: \"create(GB).jpg\" in " + plat::NativePath(AppPath), plat::TextIn::Utf8);
  }
}

void InitDirectDraw() {
  DX = std::make_shared<plat::DirectX7>();
  DDraw = DX->DirectDrawCreate("");
  if (!DDraw || DDraw->SetCooperativeLevel(nullptr, plat::DDSCL_NORMAL) != plat::DD_OK ||
      DDraw->SetDisplayMode(640, 480, DX->DisplayBitsPerPixel(), 0, 0) != plat::DD_OK) {
    plat::MsgBox(plat::FromUtf8("無法起始繪圖頁,請安裝DirectX7."));
    EndProgram(1);
  }
}

void DisableIME(void*) { plat::Window::Instance().DisableInputMethod(); }

void RestoreCursor() {
  while (plat::ShowCursor(false) >= 0) {
  }
  while (plat::ShowCursor(true) <= 0) {
  }
}

void ScreenLoop() {
  for (;;) {
    plat::DoEvents();
    const int32_t state = GameState;
    if (const auto* pass = PassThroughState(state)) {
      (*pass)();
      continue;
    }
    ScreenSlot* slot = ScreenForState(state);
    if (!slot) return;
    slot->BeforeVisit();
    slot->Visit();
  }
}

int Main() {
  // Before SDL starts, so it keeps these handlers: a signal then closes the
  // game, or a box that stops its start, the way closing its window does.
  plat::CatchQuitSignals();
  // Each game saves the six profiles whole from its own memory: a second
  // game in the same folder would wipe what this one saved. Before anything
  // else, so that the second writes nothing; held until Main returns.
  const plat::FolderLock folderLock(plat::ProgramFolder());
  if (folderLock.state() == plat::FolderLock::State::HeldElsewhere) {
    const plat::BoxesOpenTheWindow tellOnTheDesktop;
    plat::MsgBox(
        "Ferrowind is already running from this folder. Start the second copy from a copy of the folder, made while "
        "the game is closed.");
    return 1;
  }
  // A file-size limit smaller than a file the game saves would kill it in
  // the middle of the save: ignored, the write fails ("File too large") and
  // the save is told as failed like any other, the last one's at start too.
  std::signal(SIGXFSZ, SIG_IGN);
  // Every way out of the game passes here; the exit handler covers exit().
  struct TempFolderRemoval {
    ~TempFolderRemoval() { plat::RemoveGameTempFolder(); }
  } removal;
  // A game killed while saving money and goods together left the step's
  // journal: finish it before anything reads the files.
  bool finished = false;
  {
    const plat::BoxesOpenTheWindow tellOnTheDesktop;
    finished = FinishLastSave(plat::ProgramFolder());
  }
  if (!finished) return 1;
  // Saves of a game killed while saving leave their temporary files.
  plat::RemoveStaleGameSaveFiles(plat::ProgramFolder());
  try {
    StartUp();
    ScreenLoop();
    Shutdown();
    return 0;
  } catch (const ProgramEnd& end) {
    return end.exitCode;
  } catch (const plat::RuntimeError& e) {
    plat::MsgBoxUtf8(e.Utf8());
    return 1;
  } catch (const std::exception& e) {
    // The library's and the system's words, not the game's: in UTF-8.
    plat::MsgBoxUtf8(std::string("Unexpected error: ") + e.what());
    return 1;
  }
}

}  // namespace fw
