#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "engine/form_board.hpp"
#include "engine/globals.hpp"
#include "engine/screen.hpp"
#include "platform/input/window.hpp"
#include "tests/common/test_support.hpp"

namespace {

// Records which handler of which state's screen ran.
std::vector<std::string> g_calls;

class RecordingScreen : public fw::Screen {
 public:
  explicit RecordingScreen(int state) : state_(state) {}
  void Load() override {}
  void KeyDown(int16_t& k, int16_t&) override { Note("KeyDown", k); }
  void KeyPress(int16_t& k) override { Note("KeyPress", k); }
  void KeyUp(int16_t& k, int16_t&) override { Note("KeyUp", k); }
  void MouseDown(int16_t& b, int16_t&, float&, float&) override { Note("MouseDown", b); }
  void MouseMove(int16_t& b, int16_t&, float&, float&) override { Note("MouseMove", b); }
  void MouseUp(int16_t& b, int16_t&, float&, float&) override { Note("MouseUp", b); }

 private:
  void Note(const char* what, int v) { g_calls.push_back(std::to_string(state_) + what + std::to_string(v)); }
  int state_;
};

struct Routing : ::testing::Test {
  fw::FormBoard board;
  void SetUp() override {
    g_calls.clear();
    for (int s = 1; s <= 9; ++s) {
      fw::ScreenForState(s)->Release();
      fw::ScreenForState(s)->SetFactory([s] { return std::make_shared<RecordingScreen>(s); });
    }
  }
  void TearDown() override {
    for (int s = 1; s <= 9; ++s) {
      fw::ScreenForState(s)->Release();
      fw::ScreenForState(s)->SetFactory(nullptr);
    }
    fw::GameState = 0;
  }
  // Which kinds of event reached the screen of a state.
  std::string RoutedIn(int state) {
    g_calls.clear();
    fw::GameState = state;
    board.Form_KeyDown(65, 0);
    board.Form_KeyPress(97);
    board.Form_KeyUp(65, 0);
    board.Form_MouseDown(1, 0, 15, 15);
    board.Form_MouseMove(0, 0, 15, 15);
    board.Form_MouseUp(1, 0, 15, 15);
    std::string out;
    for (const auto& c : g_calls) out += c.substr(std::to_string(state).size(), 5) + " ";
    return out;
  }
};

}  // namespace

TEST_F(Routing, EachStateGetsTheEventsOfItsTable) {
  EXPECT_EQ(RoutedIn(1), "KeyPr Mouse Mouse ");
  EXPECT_EQ(RoutedIn(2), "KeyDo KeyUp Mouse Mouse Mouse ");
  EXPECT_EQ(RoutedIn(3), "KeyPr Mouse Mouse ");
  EXPECT_EQ(RoutedIn(4), "KeyDo KeyUp Mouse Mouse Mouse ");
  EXPECT_EQ(RoutedIn(5), "KeyPr Mouse Mouse ");
  EXPECT_EQ(RoutedIn(6), "KeyDo KeyPr Mouse Mouse ");
  EXPECT_EQ(RoutedIn(7), "KeyPr Mouse Mouse ");
  EXPECT_EQ(RoutedIn(8), "KeyDo KeyPr KeyUp Mouse Mouse ");
  EXPECT_EQ(RoutedIn(9), "KeyPr Mouse Mouse ");
  for (int none : {0, 10, 11, -1, 12}) EXPECT_EQ(RoutedIn(none), "") << none;
}

TEST_F(Routing, AnEventCreatesTheScreenOfItsState) {
  fw::GameState = 7;
  EXPECT_FALSE(fw::BriefScreen.Exists());
  board.Form_MouseMove(0, 0, 0, 0);
  EXPECT_TRUE(fw::BriefScreen.Exists());
}

TEST_F(Routing, GlobalsHoldTheLastEventInPixels) {
  fw::GameState = 5;
  board.Form_MouseDown(2, 1, 150, 150);
  EXPECT_EQ(fw::MouseX, 10.0f);
  EXPECT_EQ(fw::MouseY, 10.0f);
  EXPECT_EQ(fw::MouseButton, 2);
  EXPECT_EQ(fw::MouseShift, 1);
  EXPECT_EQ(fw::MouseMoved, 0);
  board.Form_MouseMove(3, 0, 30, 45);
  EXPECT_EQ(fw::MouseX, 2.0f);
  EXPECT_EQ(fw::MouseY, 3.0f);
  EXPECT_EQ(fw::MouseButton, 3);
  EXPECT_EQ(fw::MouseMoved, 1);
  board.Form_MouseUp(1, 0, 600, 600);  // mouse up writes nothing
  EXPECT_EQ(fw::MouseX, 2.0f);
  board.Form_KeyDown(38, 2);
  EXPECT_EQ(fw::KeyCode, 38);
  EXPECT_EQ(fw::KeyShift, 2);
}

TEST_F(Routing, DebugChordTogglesInEveryState) {
  fw::DebugOn = 0;
  fw::GameState = 1;  // no key-down handler here
  board.Form_KeyDown('Q', 3);
  EXPECT_EQ(fw::DebugOn, 1);
  board.Form_KeyDown('Q', 2);  // Ctrl alone is not the chord
  EXPECT_EQ(fw::DebugOn, 1);
  fw::GameState = 2;
  board.Form_KeyDown('Q', 3);
  EXPECT_EQ(fw::DebugOn, 0);
  EXPECT_EQ(g_calls.back(), "2KeyDown81");  // the screen still got the key first
  fw::DebugOn = 7;
  board.Form_KeyDown('Q', 3);
  EXPECT_EQ(fw::DebugOn, 1);
}

TEST_F(Routing, PrintScreenSavesTheFrameAsTheNextCapture) {
  fwtest::TempProgramFolder dir;
  std::vector<uint16_t> frame(640 * 480, 0xF800);
  plat::Window::Instance().Present(frame.data(), 640, 480, 640);
  fw::GameState = 5;
  board.Form_KeyUp(44, 0);
  board.Form_KeyUp(44, 0);
  EXPECT_TRUE(dir.Exists("CapScr0.bmp"));
  EXPECT_TRUE(dir.Exists("CapScr1.bmp"));
  EXPECT_EQ(board.CaptureCounter(), 2);
  const std::string bmp = dir.Read("CapScr0.bmp");
  ASSERT_GT(bmp.size(), 54u + 3);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  // Bottom-up 24-bit rows: the first pixel stored is pure red (B, G, R).
  const size_t offset = static_cast<unsigned char>(bmp[10]) | static_cast<unsigned char>(bmp[11]) << 8;
  EXPECT_EQ(static_cast<unsigned char>(bmp[offset]), 0);
  EXPECT_EQ(static_cast<unsigned char>(bmp[offset + 1]), 0);
  EXPECT_GE(static_cast<unsigned char>(bmp[offset + 2]), 248);
}
