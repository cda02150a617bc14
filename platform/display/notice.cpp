#include "platform/display/notice.hpp"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/display/message_box.hpp"
#include "platform/display/surface.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"

namespace plat {
namespace {
std::string g_text;
uint32_t g_shownAt = 0;
uint32_t g_duration = 0;
std::unique_ptr<Surface> g_scratch;

bool Up() { return !g_text.empty() && timeGetTime() - g_shownAt < g_duration; }
}  // namespace

void ShowNotice(const std::string& utf8Text, uint32_t ms) {
  g_text = utf8Text;
  g_shownAt = timeGetTime();
  g_duration = ms;
  const Window& w = Window::Instance();
  if (!w.LastFrame().empty() && w.IsOpen()) {
    // Present from a copy: the window's own frame is about to be replaced.
    const std::vector<uint16_t> frame = w.LastFrame();
    PresentWithNotice(frame.data(), w.LastFrameWidth(), w.LastFrameHeight(), w.LastFrameWidth());
  }
}

std::string CurrentNotice() { return Up() ? g_text : std::string(); }

void PresentWithNotice(const uint16_t* pixels, int width, int height, int pitchPixels) {
  if (!Up() || width <= 0 || height <= 0) {
    g_text.clear();
    Window::Instance().Present(pixels, width, height, pitchPixels);
    return;
  }
  if (!g_scratch || g_scratch->Width() != width || g_scratch->Height() != height) {
    g_scratch = std::make_unique<Surface>(width, height);
    g_scratch->SetFont("Arial", 10.0f, true);
  }
  for (int y = 0; y < height; ++y)
    std::memcpy(g_scratch->Row(y), pixels + static_cast<ptrdiff_t>(y) * pitchPixels, static_cast<size_t>(width) * 2);
  // Wrapped as a box's lines are, so the cause at the end of a long path
  // shows; a dark band along the bottom keeps them readable on any picture.
  constexpr int kMargin = 8, kLineStep = 16, kMostLines = 4;
  const std::vector<std::string> lines =
      FitUtf8Text(*g_scratch, g_text, std::max(1, width - 2 * kMargin), kMostLines).lines;
  const int bandHeight = 6 + static_cast<int>(lines.size()) * kLineStep;
  const RECT band{0, std::max(0, height - bandHeight), width, height};
  g_scratch->BltColorFill(&band, 0);
  g_scratch->SetForeColor(RGB(255, 220, 120));
  for (size_t i = 0; i < lines.size(); ++i)
    g_scratch->DrawUtf8Text(kMargin, band.Top + 4 + static_cast<int>(i) * kLineStep, lines[i]);
  Window::Instance().Present(g_scratch->Pixels(), width, height, width);
}

}  // namespace plat
