// Frames as the player sees them: scaled into the whole window, with only
// the changed part of a frame sent again, and the pointer's window positions
// taken back to the frame's pixels.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/input/window.hpp"

namespace {

uint32_t Rgb(uint16_t c) {
  const uint32_t r = ((c >> 11) & 31) * 255 / 31, g = ((c >> 5) & 63) * 255 / 63, b = (c & 31) * 255 / 31;
  return (r << 16) | (g << 8) | b;
}

struct Recorder : plat::WindowEvents {
  std::vector<std::string> log;
  void OnKeyDown(int16_t, int16_t) override {}
  void OnKeyPress(int16_t) override {}
  void OnKeyUp(int16_t, int16_t) override {}
  void OnMouseDown(int16_t, int16_t, float x, float y) override { Mouse(x, y); }
  void OnMouseMove(int16_t, int16_t, float x, float y) override { Mouse(x, y); }
  void OnMouseUp(int16_t, int16_t, float, float) override {}
  void Mouse(float x, float y) {
    log.push_back(std::to_string(static_cast<int>(x / plat::kTwipsPerPixelX)) + "," +
                  std::to_string(static_cast<int>(y / plat::kTwipsPerPixelY)));
  }
};

class Present : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(w_.Create("present"));
    w_.Show();
    w_.SetReceiver(&rec_);
    plat::DoEvents();
    w_.ShownSize(&ww_, &wh_);
  }
  void TearDown() override {
    w_.SetReceiver(nullptr);
    w_.Destroy();
  }

  // Every sampled window pixel shows the frame pixel its position maps to.
  void ExpectWindowShows(const std::vector<uint16_t>& frame, int step) {
    int wrong = 0;
    for (int wy = 0; wy < wh_; wy += step)
      for (int wx = 0; wx < ww_; wx += step) {
        float fx = 0, fy = 0;
        w_.WindowToFrame(wx, wy, &fx, &fy);
        const uint32_t want = Rgb(frame[static_cast<size_t>(fy) * 640 + static_cast<size_t>(fx)]);
        if (w_.ShownPixel(wx, wy) != want && ++wrong < 5)
          ADD_FAILURE() << "window " << wx << "," << wy << " shows " << std::hex << w_.ShownPixel(wx, wy)
                        << " for frame " << std::dec << fx << "," << fy;
      }
    EXPECT_EQ(wrong, 0);
  }

  plat::Window& w_ = plat::Window::Instance();
  Recorder rec_;
  int ww_ = 0, wh_ = 0;
};

std::vector<uint16_t> Pattern(int seed) {
  std::vector<uint16_t> f(640 * 480);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) f[y * 640 + x] = static_cast<uint16_t>((x * 97 + y * 31 + seed) * 2654435761u >> 16);
  return f;
}

}  // namespace

TEST_F(Present, TheFrameFillsTheWindowAndChangedPartsFollowExactly) {
  // The window covers the display, which is larger than the frame: the
  // picture is scaled by a factor that is not a whole number.
  ASSERT_GT(ww_, 640);
  ASSERT_GT(wh_, 480);
  std::vector<uint16_t> frame = Pattern(0);
  w_.Present(frame.data(), 640, 480, 640);
  ExpectWindowShows(frame, 3);

  // Small changes at the frame's edges and in its middle: only they are
  // sent, and every window pixel they cover must follow.
  for (auto [x, y] : {std::pair{0, 0}, {639, 479}, {639, 0}, {0, 479}, {317, 211}}) frame[y * 640 + x] ^= 0xFFFF;
  for (int y = 100; y < 132; ++y)
    for (int x = 300; x < 332; ++x) frame[y * 640 + x] = 0xF800;
  w_.Present(frame.data(), 640, 480, 640);
  ExpectWindowShows(frame, 1);
  EXPECT_EQ(w_.LastFrame(), frame);

  // A frame given with a wider pitch is read row by row.
  std::vector<uint16_t> wide(700 * 480, 0x07E0);
  w_.Present(wide.data(), 640, 480, 700);
  EXPECT_EQ(w_.LastFrame(), std::vector<uint16_t>(640 * 480, 0x07E0));
  ExpectWindowShows(w_.LastFrame(), 7);
}

TEST_F(Present, AnUncoveredWindowIsDrawnAgainInFull) {
  const std::vector<uint16_t> frame = Pattern(5);
  w_.Present(frame.data(), 640, 480, 640);
  w_.Repaint();
  ExpectWindowShows(frame, 5);
  // The same frame again sends nothing, yet counts as shown.
  const uint64_t before = w_.FramesPresented();
  w_.Present(frame.data(), 640, 480, 640);
  EXPECT_EQ(w_.FramesPresented(), before + 1);
  ExpectWindowShows(frame, 5);
}

TEST_F(Present, PointerPositionsComeBackAsFramePixelsAndStayInsideIt) {
  plat::PushMouseMove(0, 0);
  plat::PushMouseMove(639, 479);
  plat::PushMouseDown(1, 321, 17);
  plat::DoEvents();
  EXPECT_EQ(rec_.log, (std::vector<std::string>{"0,0", "639,479", "321,17"}));
  float x = 0, y = 0;
  w_.WindowToFrame(-40, ww_ + 40, &x, &y);
  EXPECT_EQ(x, 0.0f);
  EXPECT_EQ(y, 479.0f);
}
