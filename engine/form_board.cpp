#include "engine/form_board.hpp"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/fresh_press.hpp"
#include "engine/globals.hpp"
#include "engine/joystick.hpp"
#include "engine/program_end.hpp"
#include "engine/screen.hpp"
#include "platform/display/notice.hpp"
#include "platform/display/surface.hpp"
#include "platform/runtime/files.hpp"

namespace fw {

Lazy<FormBoard> Board;

namespace {
constexpr int16_t kVkPrintScreen = 44;
constexpr int16_t kVkQ = 'Q';
constexpr int16_t kShiftCtrl = 1 | 2;
// Long enough to read, short enough not to stay in the way.
constexpr uint32_t kCaptureNoticeMs = 4000;

// The screen of the current state when it receives the event; holding the
// pointer keeps the object alive even if the handler makes the loop release
// it. Asking creates the object, as an event in a new state does.
std::shared_ptr<Screen> CurrentScreen(ScreenEvent event) {
  ScreenSlot* slot = ScreenForState(GameState);
  return slot && slot->Receives(event) ? slot->Shared() : nullptr;
}
}  // namespace

FormBoard::FormBoard() = default;

FormBoard::~FormBoard() {
  if (plat::Window::Instance().Receiver() == this) plat::Window::Instance().SetReceiver(nullptr);
}

bool FormBoard::Show() {
  plat::Window& w = plat::Window::Instance();
  if (!w.Create("Ferrowind")) return false;
  w.SetReceiver(this);
  Form_Load();
  w.Show();
  return true;
}

void FormBoard::Unload() {
  plat::Window& w = plat::Window::Instance();
  if (w.Receiver() == this) w.SetReceiver(nullptr);
  w.ShowSystemCursor(true);
  w.Destroy();
}

void* FormBoard::hWnd() const { return plat::Window::Instance().NativeHandle(); }

void FormBoard::Form_Load() {
  // The screens draw their own pointer; no system pointer shows over them.
  plat::Window::Instance().ShowSystemCursor(false);
}

void FormBoard::Form_KeyDown(int16_t keyCode, int16_t shift) {
  // Print Screen acts on its release alone: its press must neither reach a
  // screen nor answer a question that waits for a key.
  if (keyCode == kVkPrintScreen) return;
  NoteKeyDown(keyCode);
  KeyCode = keyCode;
  KeyShift = shift;
  if (auto s = CurrentScreen(kScreenKeyDown)) s->KeyDown(keyCode, shift);
  // The handler may have changed the arguments; the chord is judged after it.
  if (keyCode == kVkQ && shift == kShiftCtrl) DebugOn = DebugOn == 1 ? 0 : 1;
}

void FormBoard::Form_KeyPress(int16_t keyAscii) {
  if (auto s = CurrentScreen(kScreenKeyPress)) s->KeyPress(keyAscii);
}

void FormBoard::Form_KeyUp(int16_t keyCode, int16_t shift) {
  NoteKeyUp(keyCode);
  if (auto s = CurrentScreen(kScreenKeyUp)) s->KeyUp(keyCode, shift);
  if (keyCode == kVkPrintScreen) CaptureScreen();
}

namespace {
// Mouse down and move keep the event in the globals the same way; only the
// moved flag tells them apart.
void KeepMouseEvent(int16_t button, int16_t shift, float x, float y, uint8_t moved) {
  MouseButton = button;
  MouseShift = shift;
  MouseX = x;
  MouseY = y;
  MouseMoved = moved;
}
}  // namespace

void FormBoard::Form_MouseDown(int16_t button, int16_t shift, float xTwips, float yTwips) {
  float x = xTwips / plat::kTwipsPerPixelX;
  float y = yTwips / plat::kTwipsPerPixelY;
  NoteButtonDown(button);
  KeepMouseEvent(button, shift, x, y, 0);
  if (auto s = CurrentScreen(kScreenMouseDown)) s->MouseDown(button, shift, x, y);
}

void FormBoard::Form_MouseMove(int16_t button, int16_t shift, float xTwips, float yTwips) {
  float x = xTwips / plat::kTwipsPerPixelX;
  float y = yTwips / plat::kTwipsPerPixelY;
  KeepMouseEvent(button, shift, x, y, 1);
  if (auto s = CurrentScreen(kScreenMouseMove)) s->MouseMove(button, shift, x, y);
}

void FormBoard::Form_MouseUp(int16_t button, int16_t shift, float xTwips, float yTwips) {
  float x = xTwips / plat::kTwipsPerPixelX;
  float y = yTwips / plat::kTwipsPerPixelY;
  if (auto s = CurrentScreen(kScreenMouseUp)) s->MouseUp(button, shift, x, y);
}

void FormBoard::DirectXEvent_DXCallback(int32_t eventId) {
  if (DInput->Work) DInput->CallBack(eventId);
}

void FormBoard::OnQuit() { EndProgram(0); }

void FormBoard::CaptureScreen() {
  // There is no clipboard picture here: the frame on screen is what the
  // player saw when pressing the key.
  const plat::Window& w = plat::Window::Instance();
  if (w.LastFrame().empty()) {
    ++captureCounter_;
    return;
  }
  const std::vector<uint8_t> bmp =
      plat::EncodeBmp(w.LastFrame().data(), w.LastFrameWidth(), w.LastFrameHeight(), w.LastFrameWidth());
  // Captures of earlier sessions (and of another game in the same folder)
  // are the player's: take the next number that is free, and create the
  // file only if it is still free when written.
  constexpr int kMostTries = 100000;
  std::string name;
  int error = EEXIST;
  for (int tries = 0; tries < kMostTries && error == EEXIST && captureCounter_ < INT32_MAX; ++tries) {
    name = AppPath + "\\CapScr" + std::to_string(captureCounter_) + ".bmp";
    error = plat::FileExists(name) ? EEXIST : plat::WriteNewFile(name, bmp.data(), bmp.size());
    ++captureCounter_;
  }
  if (error == 0) return;
  const std::string message = "Unable to save the screen capture " + plat::NativePath(name) + ": " +
                              (error == EEXIST ? "no free number" : std::strerror(error));
  std::fprintf(stderr, "%s\n", message.c_str());
  plat::ShowNotice(message, kCaptureNoticeMs);
}

}  // namespace fw
