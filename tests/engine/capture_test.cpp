// Screen captures are the player's files: a new one never replaces an
// earlier one, and one that cannot be written says so.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/form_board.hpp"
#include "engine/globals.hpp"
#include "platform/display/notice.hpp"
#include "platform/input/window.hpp"
#include "platform/display/surface.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/files.hpp"
#include "tests/common/test_support.hpp"

namespace {

struct Capture : ::testing::Test {
  fwtest::TempProgramFolder dir;
  fw::FormBoard board;
  std::vector<uint16_t> frame = std::vector<uint16_t>(640 * 480, 0x07E0);
  void SetUp() override {
    plat::FixClock(1000);
    plat::Window::Instance().Present(frame.data(), 640, 480, 640);
  }
  void TearDown() override { plat::UnfixClock(); }
};

}  // namespace

TEST_F(Capture, EarlierCapturesSurviveAndTheNextFreeNumberIsTaken) {
  dir.Write("CapScr0.bmp", "from an earlier session");
  dir.Write("capscr1.BMP", "letter case differs");
  board.CaptureScreen();
  EXPECT_EQ(dir.Read("CapScr0.bmp"), "from an earlier session");
  EXPECT_EQ(dir.Read("capscr1.BMP"), "letter case differs");
  ASSERT_TRUE(dir.Exists("CapScr2.bmp"));
  EXPECT_EQ(dir.Read("CapScr2.bmp").substr(0, 2), "BM");
  EXPECT_EQ(board.CaptureCounter(), 3);
  board.CaptureScreen();
  EXPECT_TRUE(dir.Exists("CapScr3.bmp"));
  EXPECT_EQ(plat::CurrentNotice(), "");
}

TEST_F(Capture, ACaptureThatCannotBeWrittenSaysSoAndTheGameGoesOn) {
  // A read-only folder stops an ordinary user; the superuser is stopped
  // only by a folder that is not there.
  if (geteuid() == 0) {
    fw::AppPath = dir.Path() + "\\gone";
  } else {
    chmod(dir.Path().c_str(), 0555);
  }
  testing::internal::CaptureStderr();
  board.CaptureScreen();
  const std::string err = testing::internal::GetCapturedStderr();
  chmod(dir.Path().c_str(), 0755);
  EXPECT_NE(err.find("Unable to save the screen capture"), std::string::npos) << err;
  EXPECT_NE(err.find("CapScr0.bmp"), std::string::npos) << err;
  EXPECT_NE(plat::CurrentNotice().find("Unable to save the screen capture"), std::string::npos);
  EXPECT_EQ(board.CaptureCounter(), 1);  // the next attempt takes the next number

  // The notice stands over every frame for a few seconds, then goes.
  plat::PresentWithNotice(frame.data(), 640, 480, 640);
  const auto& shown = plat::Window::Instance().LastFrame();
  EXPECT_EQ(shown[static_cast<size_t>(479 * 640)], 0);  // the band behind the text
  EXPECT_EQ(shown[0], 0x07E0);
  plat::AdvanceClock(10000);
  plat::PresentWithNotice(frame.data(), 640, 480, 640);
  EXPECT_EQ(plat::Window::Instance().LastFrame()[static_cast<size_t>(479 * 640)], 0x07E0);
  EXPECT_EQ(plat::CurrentNotice(), "");
}

// A notice too long for one line wraps as a box's lines do, so the cause at
// its end shows, and draws the letters of the UTF-8 it is given.
TEST_F(Capture, TheNoticeWrapsSoItsCauseShowsAndDrawsItsLetters) {
  const std::string spelt = "Spiele-Über-遊戲";
  // The program folder as the system spells it; only its "gone" is not there.
  const std::string folder = dir.File(spelt + "-" + std::string(120, 'd'));
  plat::SetProgramFolder(folder);
  fw::AppPath = folder + "\\gone";
  board.CaptureScreen();
  const std::string notice = plat::CurrentNotice();
  EXPECT_NE(notice.find(spelt), std::string::npos) << notice;
  EXPECT_EQ(notice.substr(notice.size() - 25), "No such file or directory");
  plat::PresentWithNotice(frame.data(), 640, 480, 640);
  const std::vector<uint16_t> shown = plat::Window::Instance().LastFrame();
  // More than one line's band, and no letter past the right margin.
  EXPECT_EQ(shown[static_cast<size_t>((480 - 30) * 640)], 0);
  for (int y = 440; y < 480; ++y)
    for (int x = 633; x < 640; ++x) EXPECT_EQ(shown[static_cast<size_t>(y * 640 + x)], 0) << x << "," << y;

  // One short line: the band as it always was, the letters as spelt.
  plat::ShowNotice("Ü 遊戲", 5000);
  plat::PresentWithNotice(frame.data(), 640, 480, 640);
  plat::Surface expected(640, 480);
  std::copy(frame.begin(), frame.end(), expected.Pixels());
  const plat::RECT band{0, 480 - 22, 640, 480};
  expected.BltColorFill(&band, 0);
  expected.SetFont("Arial", 10.0f, true);
  expected.SetForeColor(plat::RGB(255, 220, 120));
  expected.DrawUtf8Text(8, band.Top + 4, "Ü 遊戲");
  EXPECT_TRUE(std::equal(expected.Pixels(), expected.Pixels() + 640 * 480, plat::Window::Instance().LastFrame().begin()));
  plat::AdvanceClock(10000);  // gone before the next test's frames
  plat::PresentWithNotice(frame.data(), 640, 480, 640);
  EXPECT_EQ(plat::CurrentNotice(), "");
}
