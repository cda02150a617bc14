#pragma once
// The one window: keeps the last key and mouse event in the globals and
// routes each event to the screen of the current state.
#include <cstdint>

#include "engine/lazy.hpp"
#include "platform/input/window.hpp"

namespace fw {

class FormBoard : public plat::WindowEvents {
 public:
  FormBoard();
  ~FormBoard() override;

  // Creates and shows the platform window; false when there is no display.
  bool Show();
  void Unload();
  void* hWnd() const;

  void Form_Load();
  void Form_KeyDown(int16_t keyCode, int16_t shift);
  void Form_KeyPress(int16_t keyAscii);
  void Form_KeyUp(int16_t keyCode, int16_t shift);
  void Form_MouseDown(int16_t button, int16_t shift, float xTwips, float yTwips);
  void Form_MouseMove(int16_t button, int16_t shift, float xTwips, float yTwips);
  void Form_MouseUp(int16_t button, int16_t shift, float xTwips, float yTwips);
  void DirectXEvent_DXCallback(int32_t eventId);
  // Saves the frame on screen as "CapScr<n>.bmp" with the next number no
  // file has; one that cannot be written is reported on the screen and on
  // standard error.
  void CaptureScreen();

  int32_t CaptureCounter() const { return captureCounter_; }
  // The value the start-up sets once the window covers the display.
  int32_t WindowState = 0;

  // plat::WindowEvents
  void OnKeyDown(int16_t keyCode, int16_t shift) override { Form_KeyDown(keyCode, shift); }
  void OnKeyPress(int16_t keyAscii) override { Form_KeyPress(keyAscii); }
  void OnKeyUp(int16_t keyCode, int16_t shift) override { Form_KeyUp(keyCode, shift); }
  void OnMouseDown(int16_t b, int16_t s, float x, float y) override { Form_MouseDown(b, s, x, y); }
  void OnMouseMove(int16_t b, int16_t s, float x, float y) override { Form_MouseMove(b, s, x, y); }
  void OnMouseUp(int16_t b, int16_t s, float x, float y) override { Form_MouseUp(b, s, x, y); }
  void OnDeviceEvent(int32_t eventId) override { DirectXEvent_DXCallback(eventId); }
  // Closing the window ends the program as the profile screen's quit would,
  // without the closing film.
  void OnQuit() override;

 private:
  int32_t captureCounter_ = 0;
};

extern Lazy<FormBoard> Board;

}  // namespace fw
