#include <gtest/gtest.h>

#include "engine/form_board.hpp"
#include "engine/globals.hpp"
#include "engine/screen.hpp"
#include "platform/input/window.hpp"
#include "tests/common/test_support.hpp"
#include "tests/engine/recording_screen.hpp"

namespace {

using fwtest::ScreenCalls;
constexpr fw::ScreenEvents kAllEvents = 63;

struct Routing : ::testing::Test {
  fw::FormBoard board;
  void SetUp() override {
    ScreenCalls().clear();
    for (int s = fw::ScreenState::MainMenu; s <= fw::ScreenState::EndScreen; ++s)
      fw::RegisterScreen(static_cast<fw::ScreenState::Value>(s), kAllEvents);
    fwtest::RecordInEveryState();
  }
  void TearDown() override {
    fw::ClearScreens();
    fw::GameState = 0;
  }
};

}  // namespace

TEST_F(Routing, AStateGetsExactlyTheEventsRegisteredForIt) {
  fw::RegisterScreen(fw::ScreenState::NetworkLobby, fw::kScreenKeyUp | fw::kScreenMouseUp);
  fw::RegisterScreen(fw::ScreenState::Setup, 0);
  fwtest::RecordInEveryState();
  EXPECT_EQ(fwtest::RoutedIn(board, 3), "KeyUp Mouse ");
  EXPECT_EQ(ScreenCalls().back(), "3MouseUp1");
  EXPECT_EQ(fwtest::RoutedIn(board, 6), "");
  EXPECT_EQ(fwtest::RoutedIn(board, 9), "KeyDo KeyPr KeyUp Mouse Mouse Mouse ");
  // States with no screen of their own reach none, whatever is registered.
  for (int none : {0, 10, 11, -1, 12}) EXPECT_EQ(fwtest::RoutedIn(board, none), "") << none;
}

TEST_F(Routing, AnEventAStateDoesNotReceiveCreatesNoScreen) {
  fw::RegisterScreen(fw::ScreenState::Briefing, fw::kScreenKeyPress);
  fwtest::RecordInEveryState();
  fw::GameState = 7;
  board.Form_MouseMove(0, 0, 0, 0);
  EXPECT_FALSE(fw::BriefScreen.Exists());
  board.Form_KeyPress(13);
  EXPECT_TRUE(fw::BriefScreen.Exists());
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

TEST_F(Routing, PrintScreenActsOnItsReleaseOnly) {
  for (int state = 1; state <= 9; ++state) {
    ScreenCalls().clear();
    fw::GameState = state;
    fw::KeyCode = 0;
    board.Form_KeyDown(44, 0);
    EXPECT_TRUE(ScreenCalls().empty()) << state;
    EXPECT_EQ(fw::KeyCode, 0) << state;  // a waiting question is not answered
    board.Form_KeyUp(44, 0);
    ASSERT_FALSE(ScreenCalls().empty()) << state;
    EXPECT_EQ(ScreenCalls().back(), std::to_string(state) + "KeyUp44");
  }
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
  EXPECT_EQ(ScreenCalls().back(), "2KeyDown81");  // the screen still got the key first
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
