#pragma once
// The game's one window: it receives the keyboard and mouse and shows the
// 640x480 frame, scaled to the desktop with its aspect kept.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// What the window hands to the game. Key codes are Windows virtual-key
// codes, shift masks 1 Shift, 2 Ctrl, 4 Alt; mouse buttons 1 left, 2 right,
// 4 middle; mouse positions arrive in twips, as the game converts them.
class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  virtual void OnKeyDown(int16_t keyCode, int16_t shift) = 0;
  virtual void OnKeyPress(int16_t keyAscii) = 0;
  virtual void OnKeyUp(int16_t keyCode, int16_t shift) = 0;
  virtual void OnMouseDown(int16_t button, int16_t shift, float xTwips, float yTwips) = 0;
  virtual void OnMouseMove(int16_t button, int16_t shift, float xTwips, float yTwips) = 0;
  virtual void OnMouseUp(int16_t button, int16_t shift, float xTwips, float yTwips) = 0;
  // The joystick's change notification (the stick's event id).
  virtual void OnDeviceEvent(int32_t /*eventId*/) {}
  // The player closed the window.
  virtual void OnQuit() {}
};

// Screen metrics the game converts with: a 96 dots-per-inch display.
constexpr float kTwipsPerPixelX = 15.0f;
constexpr float kTwipsPerPixelY = 15.0f;
constexpr int kFrameWidth = 640;
constexpr int kFrameHeight = 480;

class Window {
 public:
  static Window& Instance();

  // Creates the window (hidden); false when SDL's video cannot start or
  // would only draw off screen because no display is reachable (a test may
  // still ask for SDL's dummy driver by name). Creating twice is harmless.
  bool Create(const char* title);
  // Shows the window covering the display: the game's 640x480 display mode
  // is the whole screen, so every frame (films too) is scaled to it.
  void Show();
  void Destroy();
  bool IsOpen() const;
  // The SDL_Window*, for the platform's own layers (display, films).
  void* NativeHandle() const;

  // Full screen on the desktop (the picture scaled, aspect kept), or a
  // normal window when the desktop refuses.
  void SetFullscreen(bool on);
  bool Fullscreen() const { return fullscreen_; }

  void SetReceiver(WindowEvents* receiver) { receiver_ = receiver; }
  WindowEvents* Receiver() const { return receiver_; }

  // Shows an RGB565 frame. Only the part that differs from the frame before
  // is scaled and sent to the display, so a screen that redraws the same
  // picture costs next to nothing. The last frame shown is kept, for screen
  // captures and for tests that look at the screen.
  void Present(const uint16_t* pixels, int width, int height, int pitchPixels);
  const std::vector<uint16_t>& LastFrame() const { return lastFrame_; }
  int LastFrameWidth() const { return lastWidth_; }
  int LastFrameHeight() const { return lastHeight_; }
  uint64_t FramesPresented() const { return framesPresented_; }
  // Draws the last frame again in full (the window was uncovered or resized).
  void Repaint();

  // What the player sees: the window's size in pixels and a pixel of it as
  // 0xRRGGBB (0 outside or without a window), for tests.
  void ShownSize(int* width, int* height) const;
  uint32_t ShownPixel(int x, int y) const;
  // Window pixels and frame pixels: where a frame position shows, and which
  // frame position a window position shows (clamped into the frame).
  void FrameToWindow(float x, float y, int* wx, int* wy) const;
  void WindowToFrame(int wx, int wy, float* x, float* y) const;

  // Moves the system pointer onto a frame position (SetCursorPos); nothing
  // without an open window.
  void WarpPointer(float x, float y);
  // The system pointer is hidden over the game (the screens draw their own)
  // and shown again at exit.
  void ShowSystemCursor(bool show);
  // Start-up's answer to an input method: typing stays on (characters come
  // only through the text input) and the method is left as the player set it.
  void DisableInputMethod();

 private:
  struct Native;
  Window();
  ~Window();
  void ShowArea(int x0, int y0, int x1, int y1);

  std::unique_ptr<Native> native_;
  bool fullscreen_ = false;
  WindowEvents* receiver_ = nullptr;
  std::vector<uint16_t> lastFrame_;
  int lastWidth_ = 0, lastHeight_ = 0;
  uint64_t framesPresented_ = 0;
};

// The system's pointer display counter: shown while it is 0 or more. Returns
// the new count.
int ShowCursor(bool show);

// Closes SDL at program exit.
void QuitPlatform();

// The exit status of a game whose display went away under it: it ends at
// once with a line on standard error.
constexpr int kDisplayLostStatus = 3;

// The runtime's DoEvents: handles every pending window event, delivering
// each to the window's receiver, then returns. A quit signal (SIGTERM,
// SIGINT) arrives as the window's close.
void DoEvents();

// A test driver runs at the start of every DoEvents: it can look at the
// frame on screen and the game's state, push input and end the run. The
// game installs none.
using TestDriver = std::function<void()>;
void SetTestDriver(TestDriver driver);
// Runs the installed driver once; for modal waits that pump on their own.
void RunTestDriver();

// A duty that every DoEvents and every modal wait of the platform runs while
// it is set: work that must go on while a nested loop or a question box
// holds the caller's own loop. Never run inside itself. Returns the duty it
// replaces, for the caller to put back.
using WaitDuty = std::function<void()>;
WaitDuty SetWaitDuty(WaitDuty duty);
void RunWaitDuty();

// Pushes input as the system would deliver it (used by tests and drivers).
void PushKeyDown(int16_t virtualKey, int16_t shift = 0);
void PushKeyUp(int16_t virtualKey, int16_t shift = 0);
void PushKeyStroke(int16_t virtualKey, int16_t shift = 0);  // down then up
// Typed text (UTF-8) as the system's text input delivers it, also what an
// input method composes. A pushed key down types its US-layout character.
void PushText(std::string_view utf8);
void PushMouseDown(int16_t button, float xPixels, float yPixels);
void PushMouseUp(int16_t button, float xPixels, float yPixels);
void PushMouseMove(float xPixels, float yPixels, int16_t buttonsHeld = 0);

// Translations between SDL and the game's key codes (0 when unknown).
int16_t VirtualKeyFromSdl(int32_t sdlKeycode);
int32_t SdlKeyFromVirtual(int16_t virtualKey);
// The code KeyPress reports for a key that types no text (Enter, Esc,
// Backspace, Tab, Ctrl+letter); 0 for every other key, whose characters
// come from the text input.
int16_t ControlKeyAscii(int32_t sdlKeycode, int16_t shift);
// The text a key types on a US keyboard with Num Lock on ("" for none): what
// the pushed key strokes of tests type.
std::string UsLayoutText(int32_t sdlKeycode, int16_t shift);

}  // namespace plat
