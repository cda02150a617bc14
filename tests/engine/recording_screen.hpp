#pragma once
// A screen that notes which of its handlers the window called, and a board
// that sends one event of each kind in a state: the routing tests of the
// engine and of the program's registration share them.
#include <memory>
#include <string>
#include <vector>

#include "engine/form_board.hpp"
#include "engine/globals.hpp"
#include "engine/screen.hpp"

namespace fwtest {

// Every handler call of every recording screen, as "<state><handler><value>".
inline std::vector<std::string>& ScreenCalls() {
  static std::vector<std::string> calls;
  return calls;
}

class RecordingScreen : public fw::Screen {
 public:
  explicit RecordingScreen(int state) : state_(state) {}
  void Load() override { Note("Load", 0); }
  void KeyDown(int16_t& k, int16_t&) override { Note("KeyDown", k); }
  void KeyPress(int16_t& k) override { Note("KeyPress", k); }
  void KeyUp(int16_t& k, int16_t&) override { Note("KeyUp", k); }
  void MouseDown(int16_t& b, int16_t&, float&, float&) override { Note("MouseDown", b); }
  void MouseMove(int16_t& b, int16_t&, float&, float&) override { Note("MouseMove", b); }
  void MouseUp(int16_t& b, int16_t&, float&, float&) override { Note("MouseUp", b); }

 private:
  void Note(const char* what, int v) { ScreenCalls().push_back(std::to_string(state_) + what + std::to_string(v)); }
  int state_;
};

// Puts a recording screen in every state's slot, keeping what is registered.
inline void RecordInEveryState() {
  for (int s = fw::ScreenState::MainMenu; s <= fw::ScreenState::EndScreen; ++s) {
    fw::ScreenForState(s)->Release();
    fw::ScreenForState(s)->SetFactory([s] { return std::make_shared<RecordingScreen>(s); });
  }
}

// Which kinds of event reached the screen of a state, one of each sent: the
// first five letters of each handler called, in order.
inline std::string RoutedIn(fw::FormBoard& board, int state) {
  ScreenCalls().clear();
  fw::GameState = state;
  board.Form_KeyDown(65, 0);
  board.Form_KeyPress(97);
  board.Form_KeyUp(65, 0);
  board.Form_MouseDown(1, 0, 15, 15);
  board.Form_MouseMove(0, 0, 15, 15);
  board.Form_MouseUp(1, 0, 15, 15);
  std::string out;
  for (const auto& c : ScreenCalls()) out += c.substr(std::to_string(state).size(), 5) + " ";
  return out;
}

}  // namespace fwtest
