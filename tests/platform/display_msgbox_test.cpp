// The runtime's message box drawn in the game's window: long texts wrap
// inside the screen, Chinese text breaks between characters, and the wait
// ends on its keys, a click on OK, or a quit signal that then reaches the
// game.
#include <gtest/gtest.h>

#include <signal.h>

#include <string>
#include <vector>

#include "platform/display/message_box.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/quit_signal.hpp"

namespace {

std::string Joined(const std::vector<std::string>& lines, const char* sep) {
  std::string s;
  for (size_t i = 0; i < lines.size(); ++i) s += (i ? sep : "") + lines[i];
  return s;
}

TEST(MessageBoxText, WrapsAtWordsAndInsideChineseTextKeepingEveryCharacter) {
  plat::Surface s(640, 480);
  s.SetFont("Arial", 12.0f, false);
  std::string english;
  for (int i = 0; i < 40; ++i) english += "Unable to read the archive member number " + std::to_string(i) + ". ";
  english.pop_back();
  const auto lines = plat::WrapUtf8Text(s, english, 300);
  ASSERT_GT(lines.size(), 10u);
  for (const auto& l : lines) {
    EXPECT_LE(s.Utf8TextWidth(l), 300) << l;
    EXPECT_NE(l.back(), ' ');
  }
  EXPECT_EQ(Joined(lines, " "), english);

  std::string chinese;
  for (int i = 0; i < 12; ++i) chinese += "無法起始繪圖頁,請安裝";
  const auto cjk = plat::WrapUtf8Text(s, chinese, 200);
  ASSERT_GT(cjk.size(), 3u);
  for (const auto& l : cjk) EXPECT_LE(s.Utf8TextWidth(l), 200);
  EXPECT_EQ(Joined(cjk, ""), chinese);

  EXPECT_EQ(plat::WrapUtf8Text(s, "one\r\ntwo\n\nthree", 300), (std::vector<std::string>{"one", "two", "", "three"}));
  EXPECT_EQ(plat::WrapUtf8Text(s, "", 300), std::vector<std::string>{""});
}

TEST(MessageBoxText, AHugeMessageStaysInsideTheScreen) {
  plat::Surface frame(640, 480);
  frame.BltColorFill(nullptr, 0x1234);
  std::string text;
  for (int i = 0; i < 400; ++i) text += "word" + std::to_string(i) + " ";
  text += std::string(1000, 'x');
  const plat::RECT ok = plat::DrawMessageBox(frame, text);
  EXPECT_GE(ok.Left, 0);
  EXPECT_LE(ok.Right, 640);
  EXPECT_GE(ok.Top, 0);
  EXPECT_LE(ok.Bottom, 480);
  // A margin of the picture shows all round.
  for (int x = 0; x < 640; ++x) {
    EXPECT_EQ(frame.Row(0)[x], 0x1234);
    EXPECT_EQ(frame.Row(479)[x], 0x1234);
  }
  for (int y = 0; y < 480; ++y) {
    EXPECT_EQ(frame.Row(y)[0], 0x1234);
    EXPECT_EQ(frame.Row(y)[639], 0x1234);
  }
}

// Text too long for its lines gives way in the middle of its longest path:
// the path's start, the entry's name and every word after it (the cause,
// what to do) stay, and the whole still keeps to its lines.
TEST(MessageBoxText, ALongPathGivesWayInItsMiddleKeepingItsNameAndTheWordsAfterIt) {
  plat::Surface s(640, 480);
  s.SetFont("Arial", 12.0f, false);
  std::string deep = "/work/p";
  while (deep.size() < 4040 - 15) deep += "/Spiele-Über-遊戲";
  const std::string path = deep + "/create(GB).jpg";
  const std::string remedy =
      "the owner of the game folder, or an administrator, lets the game change it (chattr -i, or gives the file back).";
  const struct {
    const char* what;
    std::string text;
    std::vector<std::string> kept;  // in this order
    bool cut;
  } cases[] = {
      {"a 4,040-byte path, its remedy after it", "Unable to Save " + path + ": Operation not permitted: " + remedy,
       {"Unable to Save /work/p/", "/create(GB).jpg: Operation not permitted: " + remedy}, false},
      {"the longer of two paths gives way first", "Unable to keep " + path + " aside as /tmp/a/b/kept-1: " + remedy,
       {"Unable to keep /work/p/", "/create(GB).jpg aside as /tmp/a/b/kept-1: " + remedy}, false},
      {"no path: cut at its end", std::string(3000, 'x') + " " + remedy, {std::string(80, 'x')}, true},
  };
  const auto unbroken = [](std::string t) {
    std::erase(t, ' ');
    return t;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_GE(c.text.size(), 3000u);
    const plat::FittedText fitted = plat::FitUtf8Text(s, c.text, 520, 18);
    EXPECT_LE(fitted.lines.size(), 18u);
    for (const auto& l : fitted.lines) EXPECT_LE(s.Utf8TextWidth(l), 520) << l;
    EXPECT_EQ(fitted.cut, c.cut);
    const std::string shown = unbroken(Joined(fitted.lines, ""));
    size_t at = 0;
    for (const auto& k : c.kept) {
      at = shown.find(unbroken(k), at);
      EXPECT_NE(at, std::string::npos) << k << "\n" << shown;
    }
    if (!c.cut) {
      EXPECT_EQ(shown.substr(shown.size() - 10), unbroken(remedy).substr(unbroken(remedy).size() - 10));
    }
  }
}

struct QuitRecorder : plat::WindowEvents {
  int quits = 0, keys = 0;
  void OnKeyDown(int16_t, int16_t) override { ++keys; }
  void OnKeyPress(int16_t) override {}
  void OnKeyUp(int16_t, int16_t) override {}
  void OnMouseDown(int16_t, int16_t, float, float) override {}
  void OnMouseMove(int16_t, int16_t, float, float) override {}
  void OnMouseUp(int16_t, int16_t, float, float) override {}
  void OnQuit() override { ++quits; }
};

class MessageBoxWait : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::CatchQuitSignals();
    ASSERT_TRUE(w_.Create("box"));
    w_.Show();
    w_.SetReceiver(&rec_);
    plat::DoEvents();
    picture_.assign(640 * 480, 0x4208);
    w_.Present(picture_.data(), 640, 480, 640);
    plat::SetMessageBoxesWaitHeadless(true);
  }
  void TearDown() override {
    plat::SetMessageBoxesWaitHeadless(false);
    plat::SetTestDriver(nullptr);
    w_.SetReceiver(nullptr);
    w_.Destroy();
  }
  // Runs a box whose wait calls the step at each look; the looks it took.
  int Box(std::function<void(int)> step) {
    int looks = 0;
    plat::SetTestDriver([&] {
      ++looks;
      if (looks > 200) ADD_FAILURE() << "the box never closed";
      step(looks);
      if (looks > 200) plat::PushKeyStroke(13);
    });
    plat::MsgBox("Something went wrong.");
    plat::SetTestDriver(nullptr);
    return looks;
  }

  plat::Window& w_ = plat::Window::Instance();
  QuitRecorder rec_;
  std::vector<uint16_t> picture_;
};

TEST_F(MessageBoxWait, ItsKeysAndAClickOnOkCloseItAndThePictureComesBack) {
  std::vector<uint16_t> shown;
  // Each answer is pushed at the fifth look; the box closes on it, not before.
  const auto closesOnIt = [](int looks) { return looks >= 5 && looks <= 7; };
  EXPECT_PRED1(closesOnIt, Box([&](int look) {
                 if (look == 1) shown = w_.LastFrame();
                 if (look == 2) plat::PushKeyStroke('A');  // not an answer
                 if (look == 5) plat::PushKeyStroke(13);
               }));
  EXPECT_NE(shown, picture_);  // the box was on the screen
  EXPECT_EQ(w_.LastFrame(), picture_);
  EXPECT_PRED1(closesOnIt, Box([](int look) {
                 if (look == 5) plat::PushKeyStroke(27);
               }));
  plat::Surface probe(640, 480);
  const plat::RECT ok = plat::DrawMessageBox(probe, "Something went wrong.");
  EXPECT_PRED1(closesOnIt, Box([&](int look) {
                 if (look == 2) plat::PushMouseUp(1, ok.Left - 30, ok.Top + 5);  // beside the button
                 if (look == 5) plat::PushMouseUp(1, ok.Left + 5, ok.Top + 5);
               }));
  plat::DoEvents();
  EXPECT_EQ(rec_.keys, 0);  // the box's keys are its own
  EXPECT_EQ(rec_.quits, 0);
}

TEST_F(MessageBoxWait, AQuitSignalClosesItAndThenTheGame) {
  const int looks = Box([](int look) {
    if (look == 5) raise(SIGTERM);
  });
  EXPECT_GE(looks, 5);
  EXPECT_LE(looks, 6);
  EXPECT_EQ(rec_.quits, 0);
  plat::DoEvents();
  EXPECT_EQ(rec_.quits, 1);
}

}  // namespace
