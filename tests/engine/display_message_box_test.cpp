// The pointer, the question box, the text board and the factory's labels.
#include <gtest/gtest.h>

#include "engine/form_board.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/code_page.hpp"
#include "platform/runtime/error.hpp"
#include "tests/engine/display_support.hpp"

namespace {
using fw::RECT;
using fwtest::BmpBytes;

// The pointer sheet: frame n (1 to 30) is filled with colour n * 0x0841,
// with a black (transparent) last column and row.
std::string PointerSheet() {
  plat::Surface s(160, 192);
  for (int y = 0; y < 192; ++y)
    for (int x = 0; x < 160; ++x) {
      const int n = (y / 32) * 5 + x / 32 + 1;
      s.Row(y)[x] = (x % 32 == 31 || y % 32 == 31) ? 0 : static_cast<uint16_t>(n * 0x0841);
    }
  return BmpBytes(s);
}

class DisplayMessageBox : public fwtest::DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    MakeArchive(fw::DataPack, "Data", {{"Arraw256.BMP", PointerSheet()}, {"訊息框.bmp", BmpBytes(300, 40, 0x2222)}});
  }
  void TearDown() override {
    plat::SetTestDriver(nullptr);
    if (fw::Board.Exists()) fw::Board->Unload();
    fw::Board.Release();
    DisplayTest::TearDown();
  }
  // A driver that moves the fixed clock a tenth of a second at each pump,
  // so a wait's first moments pass, then does what it is given.
  static plat::TestDriver Ticking(std::function<void()> f) {
    return [f] {
      plat::AdvanceClock(100);
      f();
    };
  }
  // A frame of the pointer as drawn on a fresh 640 x 480 target.
  plat::SurfacePtr Target() {
    auto t = std::make_shared<plat::Surface>(640, 480);
    t->BltColorFill(nullptr, 0x1111);
    return t;
  }
};

TEST_F(DisplayMessageBox, PointerStepsThroughItsThirtyFrames) {
  auto t = Target();
  fw::DrawCursor(t, 100, 100);
  EXPECT_EQ(t->Row(100)[100], 1 * 0x0841);
  EXPECT_EQ(t->Row(131)[100], 0x1111);  // black is transparent
  EXPECT_TRUE(fw::CursorSurface->HasColorKey());
  for (int call = 2; call <= 30; ++call) fw::DrawCursor(t, 100, 100);
  EXPECT_EQ(t->Row(100)[100], 30 * 0x0841);
  fw::DrawCursor(t, 100, 100);  // the 31st call
  EXPECT_EQ(t->Row(100)[100], 1 * 0x0841);
  EXPECT_EQ(fw::MsgBoard.CursorFrame, 1);
  // The pointer sheet came from the archive and left no copy.
  EXPECT_FALSE(folder_.Exists("Arraw256.BMP"));
}

TEST_F(DisplayMessageBox, PointerIsCutAtTheRightAndBottom) {
  auto t = Target();
  fw::DrawCursor(t, 630, 470);
  EXPECT_EQ(t->Row(470)[630], 0x0841);
  EXPECT_EQ(t->Row(479)[639], 0x0841);
  // Only the left 10 columns and top 10 rows of the frame were taken.
  EXPECT_EQ(t->Row(469)[630], 0x1111);
  EXPECT_EQ(t->Row(470)[629], 0x1111);
  fw::DrawCursor4(t, 0, 0);  // no factory sheet yet: draws nothing, but counts
  EXPECT_EQ(t->Row(0)[0], 0x1111);
  fw::CursorSurface4 = fw::CursorSurface;
  fw::DrawCursor4(t, 0, 0);
  EXPECT_EQ(t->Row(0)[0], 2 * 0x0841);
  EXPECT_EQ(fw::MsgBoard.CursorFrame4, 2);
  EXPECT_THROW(fw::DrawCursor(nullptr, 0, 0), plat::RuntimeError);
}

TEST_F(DisplayMessageBox, AnswersWithTheKeyOrZeroForAClick) {
  ASSERT_TRUE(fw::Board->Show());
  fw::GameState = 0;
  int pumps = 0;
  plat::SetTestDriver(Ticking([&] {
    if (++pumps == 3) plat::PushKeyStroke('Y');
  }));
  fw::KeyCode = 55;
  EXPECT_EQ(fw::ShowMessageBox("Are you sure to exit? (Y/n)", plat::RGB(255, 0, 0)), 89);
  EXPECT_EQ(fw::KeyCode, 0);
  EXPECT_GE(pumps, 3);

  pumps = 0;
  plat::SetTestDriver(Ticking([&] {
    if (++pumps == 3) plat::PushMouseDown(1, 300.0f, 120.0f);
  }));
  EXPECT_EQ(fw::ShowMessageBox("Are you sure to delete it? (y/N)", plat::RGB(255, 0, 0)), 0);
  EXPECT_EQ(fw::MouseButton, 1);
}

TEST_F(DisplayMessageBox, TakesNoHeldKeyNorAPressInItsFirstMoments) {
  ASSERT_TRUE(fw::Board->Show());
  fw::GameState = 0;
  // Fire held from the screen before, still repeating while the box shows.
  plat::PushKeyDown(' ');
  plat::DoEvents();
  int pumps = 0;
  plat::SetTestDriver(Ticking([&] {
    ++pumps;
    if (pumps == 2) plat::PushKeyStroke('Y');  // 0.2 s after it opened: too soon
    if (pumps >= 3 && pumps < 8) plat::PushKeyDown(' ');
    if (pumps == 8) plat::PushKeyStroke('N');
  }));
  EXPECT_EQ(fw::ShowMessageBox("Are you sure to exit? (Y/n)", plat::RGB(255, 0, 0)), 'N');
  EXPECT_EQ(pumps, 8);
  plat::SetTestDriver(nullptr);
  plat::PushKeyUp(' ');
  plat::DoEvents();
}

TEST_F(DisplayMessageBox, PrintScreenAnswersNoQuestion) {
  ASSERT_TRUE(fw::Board->Show());
  fw::GameState = 0;
  int pumps = 0;
  plat::SetTestDriver(Ticking([&] {
    ++pumps;
    if (pumps == 4) plat::PushKeyStroke(44);
    if (pumps == 5) plat::PushKeyStroke('N');
  }));
  EXPECT_EQ(fw::ShowMessageBox("Are you sure to exit? (Y/n)", plat::RGB(255, 0, 0)), 'N');
  EXPECT_GE(pumps, 5);
}

TEST_F(DisplayMessageBox, EmptyTextShowsTheBareBoardOnScreen) {
  ASSERT_TRUE(fw::Board->Show());
  fw::GameState = 0;
  plat::SetTestDriver(Ticking([] { plat::PushKeyStroke('N'); }));
  EXPECT_EQ(fw::ShowMessageBox("", plat::RGB(255, 0, 0)), 'N');
  const plat::Window& w = plat::Window::Instance();
  ASSERT_EQ(w.LastFrameWidth(), 640);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 300; ++x)
      ASSERT_EQ(w.LastFrame()[(100 + y) * 640 + 190 + x], fwtest::Shade(0x2222, x, y)) << x << "," << y;
  EXPECT_EQ(fw::MsgBoard.TextSurface->Width(), 300);

  // With text, the board under the text keeps its pixels elsewhere and the
  // text is in the colour given.
  plat::SetTestDriver(Ticking([] { plat::PushKeyStroke('N'); }));
  fw::ShowMessageBox("WWW", plat::RGB(255, 0, 0));
  int red = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 300; ++x) red += w.LastFrame()[(100 + y) * 640 + 190 + x] == 0xF800;
  EXPECT_GT(red, 30);
  EXPECT_EQ(w.LastFrame()[100 * 640 + 190], fwtest::Shade(0x2222, 0, 0));
}

TEST_F(DisplayMessageBox, TextBoardDrawsTheBoardAndOneLine) {
  auto t = Target();
  t->SetForeColor(plat::RGB(0, 255, 0));
  fw::DrawTextBoard(t, 190, 100, "Are you sure to exit? (Y/n)");
  EXPECT_EQ(t->Row(100)[190], fwtest::Shade(0x2222, 0, 0));
  EXPECT_EQ(t->Row(139)[489], fwtest::Shade(0x2222, 299, 39));
  EXPECT_EQ(t->Row(140)[190], 0x1111);
  int green = 0;
  for (int y = 105; y < 140; ++y)
    for (int x = 200; x < 490; ++x) green += t->Row(y)[x] == 0x07E0;
  EXPECT_GT(green, 50);
}

TEST_F(DisplayMessageBox, LabelWidthFollowsTheAnsiByteLength) {
  for (const std::string& text : {std::string("Shd1"), plat::FromUtf8("中文")}) {
    auto t = Target();
    fw::DrawTextSurface4(t, 10, 20, text);
    // 4 ANSI bytes: 6 x 4 + 2 = 26 wide, 14 high, outlined in green.
    EXPECT_EQ(t->Row(20)[10], 0x07E0) << text;
    EXPECT_EQ(t->Row(33)[35], 0x07E0) << text;
    EXPECT_EQ(t->Row(34)[35], 0x1111) << text;
    EXPECT_EQ(t->Row(33)[36], 0x1111) << text;
    EXPECT_EQ(t->Row(21)[11] == 0x0280 || t->Row(21)[11] == 0x07E0, true) << text;
    int fill = 0;
    for (int y = 20; y < 34; ++y)
      for (int x = 10; x < 36; ++x) fill += t->Row(y)[x] == 0x0280;
    EXPECT_GT(fill, 100) << text;
  }
}

}  // namespace
