#pragma once
// The game's one window: it receives the keyboard and mouse and shows the
// 640x480 frame, scaled to the desktop with its aspect kept.
#include <cstdint>
#include <functional>
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

  // Creates the window (hidden) and its renderer; false when SDL's video
  // cannot start. Creating twice is harmless.
  bool Create(const char* title);
  void Show();
  void Destroy();
  bool IsOpen() const { return window_ != nullptr; }
  // The SDL_Window*, for the platform's own layers (display, films).
  void* NativeHandle() const { return window_; }

  // Full screen on the desktop (the picture scaled, aspect kept), or a
  // normal window when the desktop refuses.
  void SetFullscreen(bool on);
  bool Fullscreen() const { return fullscreen_; }

  void SetReceiver(WindowEvents* receiver) { receiver_ = receiver; }
  WindowEvents* Receiver() const { return receiver_; }

  // Shows an RGB565 frame. The last frame shown is kept, for screen captures
  // and for tests that look at the screen.
  void Present(const uint16_t* pixels, int width, int height, int pitchPixels);
  const std::vector<uint16_t>& LastFrame() const { return lastFrame_; }
  int LastFrameWidth() const { return lastWidth_; }
  int LastFrameHeight() const { return lastHeight_; }
  uint64_t FramesPresented() const { return framesPresented_; }

  // The system pointer is hidden over the game (the screens draw their own)
  // and shown again at exit.
  void ShowSystemCursor(bool show);
  // Keys go to the game as keys: no input method composes them.
  void DisableInputMethod();

 private:
  Window() = default;
  void* window_ = nullptr;    // SDL_Window*
  void* renderer_ = nullptr;  // SDL_Renderer*
  void* texture_ = nullptr;   // SDL_Texture*
  int textureW_ = 0, textureH_ = 0;
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

// The runtime's DoEvents: handles every pending window event, delivering
// each to the window's receiver, then returns.
void DoEvents();

// A test driver runs at the start of every DoEvents: it can look at the
// frame on screen and the game's state, push input and end the run. The
// game installs none.
using TestDriver = std::function<void()>;
void SetTestDriver(TestDriver driver);

// Pushes input as the system would deliver it (used by tests and drivers).
void PushKeyDown(int16_t virtualKey, int16_t shift = 0);
void PushKeyUp(int16_t virtualKey, int16_t shift = 0);
void PushKeyStroke(int16_t virtualKey, int16_t shift = 0);  // down then up
void PushMouseDown(int16_t button, float xPixels, float yPixels);
void PushMouseUp(int16_t button, float xPixels, float yPixels);
void PushMouseMove(float xPixels, float yPixels, int16_t buttonsHeld = 0);

// Translations between SDL and the game's key codes (0 when unknown).
int16_t VirtualKeyFromSdl(int32_t sdlKeycode);
int32_t SdlKeyFromVirtual(int16_t virtualKey);
// The character a key press gives, as KeyPress reports it (0 for none).
int16_t KeyAsciiFor(int32_t sdlKeycode, int16_t shift, bool capsLock);

}  // namespace plat
