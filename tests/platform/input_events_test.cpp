#include <gtest/gtest.h>

#include <SDL.h>

#include <string>
#include <vector>

#include "platform/input/window.hpp"

namespace {

struct Recorder : plat::WindowEvents {
  std::vector<std::string> log;
  void OnKeyDown(int16_t k, int16_t s) override { log.push_back("down " + std::to_string(k) + "/" + std::to_string(s)); }
  void OnKeyPress(int16_t a) override { log.push_back("press " + std::to_string(a)); }
  void OnKeyUp(int16_t k, int16_t s) override { log.push_back("up " + std::to_string(k) + "/" + std::to_string(s)); }
  void OnMouseDown(int16_t b, int16_t, float x, float y) override { Mouse("mdown", b, x, y); }
  void OnMouseMove(int16_t b, int16_t, float x, float y) override { Mouse("move", b, x, y); }
  void OnMouseUp(int16_t b, int16_t, float x, float y) override { Mouse("mup", b, x, y); }
  void Mouse(const char* what, int16_t b, float x, float y) {
    log.push_back(std::string(what) + " " + std::to_string(b) + " " + std::to_string(static_cast<int>(x)) + "," +
                  std::to_string(static_cast<int>(y)));
  }
};

struct WindowEventsTest : ::testing::Test {
  Recorder rec;
  void SetUp() override {
    ASSERT_TRUE(plat::Window::Instance().Create("test"));
    plat::Window::Instance().SetReceiver(&rec);
    plat::DoEvents();  // drop what the window's creation queued
    rec.log.clear();
  }
  void TearDown() override {
    plat::Window::Instance().SetReceiver(nullptr);
    plat::Window::Instance().Destroy();
  }
};

}  // namespace

TEST_F(WindowEventsTest, KeysArriveAsVirtualKeysWithTheirCharacters) {
  plat::PushKeyDown('A', 1);
  plat::PushKeyUp('A', 1);
  plat::PushKeyStroke(27);
  plat::PushKeyDown(38);  // an arrow gives no character
  plat::PushKeyDown('C', 2);
  plat::DoEvents();
  const std::vector<std::string> expected{"down 65/1", "press 65", "up 65/1", "down 27/0", "press 27",
                                          "up 27/0",   "down 38/0", "down 67/2", "press 3"};
  EXPECT_EQ(rec.log, expected);
}

// The debug chord compares the shift state exactly, so the lock keys and
// which hand's Ctrl or Shift is held must not change what a key down says.
TEST_F(WindowEventsTest, ModifiersAsAnXServerReportsThemGiveTheGamesShiftState) {
  const struct {
    Uint16 mod;
    int16_t shift;
  } cases[] = {{KMOD_LCTRL | KMOD_LSHIFT, 3},
               {KMOD_RCTRL | KMOD_RSHIFT, 3},
               {KMOD_LCTRL | KMOD_LSHIFT | KMOD_NUM | KMOD_CAPS, 3},
               {KMOD_LCTRL | KMOD_NUM, 2},
               {KMOD_NUM | KMOD_CAPS | KMOD_MODE, 0},
               {KMOD_RALT | KMOD_LSHIFT, 5}};
  for (const auto& c : cases) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.state = SDL_PRESSED;
    e.key.keysym.sym = SDLK_q;
    e.key.keysym.scancode = SDL_SCANCODE_Q;
    e.key.keysym.mod = c.mod;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    rec.log.clear();
    plat::DoEvents();
    ASSERT_FALSE(rec.log.empty()) << c.mod;
    EXPECT_EQ(rec.log.front(), "down 81/" + std::to_string(c.shift)) << "mod " << c.mod;
  }
}

TEST_F(WindowEventsTest, MouseArrivesInTwipsOfTheFrame) {
  plat::PushMouseMove(10, 20, 1);
  plat::PushMouseDown(2, 100, 50);
  plat::PushMouseUp(4, 639, 479);
  plat::DoEvents();
  const std::vector<std::string> expected{"move 1 150,300", "mdown 2 1500,750", "mup 4 9585,7185"};
  EXPECT_EQ(rec.log, expected);
}

TEST_F(WindowEventsTest, TheTestDriverRunsAtEveryPump) {
  int pumps = 0;
  plat::SetTestDriver([&] {
    if (++pumps == 2) plat::PushKeyStroke('Z');
  });
  plat::DoEvents();
  plat::DoEvents();
  plat::SetTestDriver(nullptr);
  EXPECT_EQ(pumps, 2);
  ASSERT_EQ(rec.log.size(), 3u);
  EXPECT_EQ(rec.log[1], "press 122");
}

TEST(KeyTranslation, EveryBindableKeyRoundTrips) {
  for (int vk = 1; vk < 256; ++vk) {
    const int32_t sdl = plat::SdlKeyFromVirtual(static_cast<int16_t>(vk));
    if (sdl == SDLK_UNKNOWN) continue;
    // Left and right twins share one virtual key; either comes back to it.
    EXPECT_EQ(plat::VirtualKeyFromSdl(sdl), vk) << vk;
  }
  for (int vk : {65, 90, 48, 57, 112, 123, 37, 38, 39, 40, 13, 27, 32, 8, 9, 16, 17, 18, 44, 96, 105})
    EXPECT_NE(plat::SdlKeyFromVirtual(static_cast<int16_t>(vk)), SDLK_UNKNOWN) << vk;
}

TEST(KeyTranslation, KeysThatTypeNothingStillReportTheirCode) {
  EXPECT_EQ(plat::ControlKeyAscii(SDLK_RETURN, 0), 13);
  EXPECT_EQ(plat::ControlKeyAscii(SDLK_KP_ENTER, 0), 13);
  EXPECT_EQ(plat::ControlKeyAscii(SDLK_ESCAPE, 1), 27);
  EXPECT_EQ(plat::ControlKeyAscii(SDLK_BACKSPACE, 0), 8);
  EXPECT_EQ(plat::ControlKeyAscii(SDLK_TAB, 0), 9);
  EXPECT_EQ(plat::ControlKeyAscii(SDLK_c, 2), 3);
  // Characters come from the text input alone, or a key would type twice.
  for (int32_t key : {SDLK_a, SDLK_1, SDLK_KP_5, SDLK_SPACE, SDLK_F1}) EXPECT_EQ(plat::ControlKeyAscii(key, 0), 0) << key;
  EXPECT_EQ(plat::ControlKeyAscii(SDLK_x, 4), 0);
  // What a pushed stroke types on a US keyboard.
  EXPECT_EQ(plat::UsLayoutText(SDLK_a, 1), "A");
  EXPECT_EQ(plat::UsLayoutText(SDLK_1, 1), "!");
  EXPECT_EQ(plat::UsLayoutText(SDLK_KP_5, 0), "5");
  EXPECT_EQ(plat::UsLayoutText(SDLK_RETURN, 0), "");
  EXPECT_EQ(plat::UsLayoutText(SDLK_c, 2), "");
}

TEST_F(WindowEventsTest, TypedTextArrivesAsCodePageCharacters) {
  // An input method commits Chinese; a keypad digit types itself; a text
  // longer than one event comes whole.
  plat::PushText("中文");
  plat::PushKeyStroke(101);  // keypad 5
  std::string many;
  for (int i = 0; i < 15; ++i) many += "字";
  plat::PushText(many);
  plat::DoEvents();
  std::vector<std::string> expected{"press " + std::to_string(static_cast<int16_t>(0xD6D0)),
                                    "press " + std::to_string(static_cast<int16_t>(0xCEC4)), "down 101/0", "press 53",
                                    "up 101/0"};
  for (int i = 0; i < 15; ++i) expected.push_back("press " + std::to_string(static_cast<int16_t>(0xD7D6)));
  EXPECT_EQ(rec.log, expected);
}
