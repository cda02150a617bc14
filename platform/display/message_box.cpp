#include "platform/display/message_box.hpp"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/input/window.hpp"
#include "platform/runtime/code_page.hpp"
#include "platform/runtime/quit_signal.hpp"

namespace plat {
namespace {
constexpr int kMaxTextWidth = 520;
constexpr int kPadding = 20;
constexpr int kLineHeight = 20;
constexpr int kButtonW = 80, kButtonH = 26;
constexpr uint32_t kWaitSliceMs = 50;
bool g_waitHeadless = false;
bool g_opensWindow = false;

bool Headless() {
  const char* d = SDL_GetCurrentVideoDriver();
  return !d || std::strcmp(d, "dummy") == 0 || std::strcmp(d, "offscreen") == 0;
}

// Bytes of the UTF-8 character at position i; a byte that starts none, or
// a character cut short, counts alone.
size_t Utf8CharBytesAt(std::string_view s, size_t i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  const size_t n = c >= 0xF5 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 1;
  for (size_t k = 1; k < n; ++k)
    if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
  return n;
}

void BoxFont(Surface& s) {
  s.SetFont("Arial", 12.0f, false);
  s.SetForeColor(RGB(230, 230, 230));
}

bool IsOk(const SDL_Event& e) {
  if (e.type != SDL_KEYDOWN) return false;
  const SDL_Keycode k = e.key.keysym.sym;
  return k == SDLK_RETURN || k == SDLK_KP_ENTER || k == SDLK_SPACE || k == SDLK_ESCAPE;
}

bool ClickedOk(const SDL_Event& e, const RECT& ok) {
  if (e.type != SDL_MOUSEBUTTONUP || e.button.button != SDL_BUTTON_LEFT) return false;
  float x = 0, y = 0;
  Window::Instance().WindowToFrame(e.button.x, e.button.y, &x, &y);
  return x >= ok.Left && x < ok.Right && y >= ok.Top && y < ok.Bottom;
}

// Shows the box over the window's picture (black in a window opened for
// it, which has shown nothing) until it is answered; true when the wait
// ended because the game is asked to close.
bool WaitInWindow(const std::string& text, bool overPicture) {
  Window& w = Window::Instance();
  const std::vector<uint16_t> before = w.LastFrame();
  const bool hadFrame =
      overPicture && w.LastFrameWidth() == kFrameWidth && w.LastFrameHeight() == kFrameHeight;
  Surface frame(kFrameWidth, kFrameHeight);
  if (hadFrame) std::copy(before.begin(), before.end(), frame.Pixels());
  const RECT ok = DrawMessageBox(frame, text);
  w.Present(frame.Pixels(), kFrameWidth, kFrameHeight, kFrameWidth);
  // The game draws its own pointer, which does not move meanwhile.
  const int cursor = SDL_ShowCursor(SDL_QUERY);
  SDL_ShowCursor(SDL_ENABLE);
  bool quit = false;
  for (;;) {
    RunTestDriver();
    RunWaitDuty();
    if (TakeQuitSignal()) {
      quit = true;
      break;
    }
    SDL_Event e;
    if (!SDL_WaitEventTimeout(&e, kWaitSliceMs)) continue;
    if (e.type == SDL_QUIT) {
      quit = true;
      break;
    }
    if (IsOk(e) || ClickedOk(e, ok)) break;
    if (e.type == SDL_WINDOWEVENT &&
        (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED))
      w.Repaint();
  }
  SDL_ShowCursor(cursor);
  if (hadFrame) w.Present(before.data(), kFrameWidth, kFrameHeight, kFrameWidth);
  return quit;
}

// Each line is found by halving, on pieces no longer than a line can be, so
// a text of any length costs a few measurements a line.
std::vector<std::string> WrapLines(const Surface& font, const std::string& text, int width, size_t mostLines) {
  std::vector<std::string> lines;
  const size_t mostBytes = 2 * static_cast<size_t>(width) + 2;  // no character is under half a pixel wide
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const size_t paraEnd = end > start && text[end - 1] == '\r' ? end - 1 : end;
    size_t i = start;
    do {
      // Character boundaries of the candidate piece.
      std::vector<size_t> ends;
      for (size_t j = i; j < paraEnd && j - i < mostBytes;) {
        j += Utf8CharBytesAt(text, j);
        ends.push_back(std::min(j, paraEnd));
      }
      size_t lo = 0, hi = ends.size();  // ends[0, lo) fit; ends[hi, ...) do not
      while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (font.Utf8TextWidth(text.substr(i, ends[mid] - i)) <= width)
          lo = mid + 1;
        else
          hi = mid;
      }
      size_t cut = lo == 0 ? (ends.empty() ? i : ends[0]) : ends[lo - 1];  // at least one character a line
      if (cut < paraEnd && text[cut] != ' ') {
        const size_t blank = text.rfind(' ', cut);
        if (blank != std::string::npos && blank > i) cut = blank;
      }
      std::string line = text.substr(i, cut - i);
      line.erase(line.find_last_not_of(' ') + 1);
      lines.push_back(std::move(line));
      i = cut;
      while (i < paraEnd && text[i] == ' ') ++i;
    } while (i < paraEnd && lines.size() <= mostLines);
    if (end == text.size() || lines.size() > mostLines) break;
    start = end + 1;
  }
  return lines;
}

// The path in a word: from after its first separator to its last one, so
// that the path's start and its entry's name stay; {npos, 0} when none.
std::pair<size_t, size_t> PathMiddle(const std::string& text, size_t from, size_t to) {
  const size_t first = text.find_first_of("/\\", from);
  if (first == std::string::npos || first >= to) return {std::string::npos, 0};
  const size_t last = text.find_last_of("/\\", to - 1);
  return {first + 1, last > first ? last - first - 1 : 0};
}

// The middles of the text's paths, longest first: one word (a run between
// blanks) is one path, as the system's messages name files.
std::vector<std::pair<size_t, size_t>> PathMiddles(const std::string& text) {
  std::vector<std::pair<size_t, size_t>> middles;
  for (size_t i = 0; i < text.size();) {
    const size_t end = std::min(text.find_first_of(" \n", i), text.size());
    const auto middle = PathMiddle(text, i, end);
    if (middle.first != std::string::npos && middle.second > 3) middles.push_back(middle);
    i = end + 1;
  }
  std::stable_sort(middles.begin(), middles.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
  return middles;
}

// The text with `drop` characters taken out of the middle's own middle and
// "..." in their place.
std::string WithoutMiddle(const std::string& text, size_t at, const std::vector<size_t>& starts, size_t drop) {
  const size_t chars = starts.size() - 1;  // starts ends with the middle's end
  const size_t keepHead = (chars - drop) / 2;
  return text.substr(0, at + starts[keepHead]) + "..." + text.substr(at + starts[keepHead + drop]);
}

}  // namespace

std::vector<std::string> WrapUtf8Text(const Surface& font, const std::string& utf8, int width, size_t mostLines) {
  return WrapLines(font, utf8, width, mostLines);
}

FittedText FitUtf8Text(const Surface& font, const std::string& text, int width, size_t mostLines) {
  const auto fits = [&](const std::string& t) { return WrapLines(font, t, width, mostLines).size() <= mostLines; };
  std::string shown = text;
  // Paths give way in their middles, the longest first: what a player must
  // act on is the entry's name and the words after it.
  while (!fits(shown)) {
    const auto middles = PathMiddles(shown);
    if (middles.empty()) break;
    const auto [at, length] = middles.front();
    const std::string_view middle = std::string_view(shown).substr(at, length);
    std::vector<size_t> starts;
    for (size_t j = 0; j < length; j += Utf8CharBytesAt(middle, j)) starts.push_back(j);
    starts.push_back(length);
    size_t lo = 1, hi = starts.size() - 1;  // characters dropped
    // Not enough even without the whole middle: the next path gives way too.
    if (!fits(WithoutMiddle(shown, at, starts, hi))) {
      shown = WithoutMiddle(shown, at, starts, hi);
      continue;
    }
    while (lo < hi) {
      const size_t mid = (lo + hi) / 2;
      if (fits(WithoutMiddle(shown, at, starts, mid)))
        hi = mid;
      else
        lo = mid + 1;
    }
    shown = WithoutMiddle(shown, at, starts, hi);
  }
  FittedText out{WrapLines(font, shown, width, mostLines), false};
  if (out.lines.size() <= mostLines) return out;
  // Still too long: cut after the last line that fits.
  out.lines.resize(mostLines);
  out.cut = true;
  std::string& last = out.lines.back();
  while (!last.empty() && font.Utf8TextWidth(last + "...") > width) {
    size_t cut = 0;
    for (size_t j = 0; j < last.size(); j += Utf8CharBytesAt(last, j)) cut = j;
    last.erase(cut);
  }
  last += "...";
  return out;
}

RECT DrawMessageBox(Surface& frame, const std::string& utf8) {
  BoxFont(frame);
  // Lines beyond the screen's height give way; standard error has them all.
  const size_t maxLines = (kFrameHeight - 4 * kPadding - kButtonH) / kLineHeight;
  const std::vector<std::string> lines = FitUtf8Text(frame, utf8, kMaxTextWidth, maxLines).lines;
  int textW = kButtonW;
  for (const std::string& l : lines) textW = std::max(textW, static_cast<int>(frame.Utf8TextWidth(l)));
  const int boxW = std::max(textW, 200) + 2 * kPadding;
  const int boxH = kPadding + static_cast<int>(lines.size()) * kLineHeight + kPadding + kButtonH + kPadding;
  const int x = (kFrameWidth - boxW) / 2, y = (kFrameHeight - boxH) / 2;
  const RECT box{x, y, x + boxW, y + boxH};
  frame.BltColorFill(&box, ColorTo565(RGB(36, 40, 48)));
  frame.SetForeColor(RGB(160, 168, 180));
  frame.DrawBox(box.Left, box.Top, box.Right, box.Bottom);
  BoxFont(frame);
  for (size_t i = 0; i < lines.size(); ++i)
    frame.DrawUtf8Text(x + kPadding, y + kPadding + static_cast<int>(i) * kLineHeight, lines[i]);
  const int bx = x + (boxW - kButtonW) / 2, by = box.Bottom - kPadding - kButtonH;
  const RECT ok{bx, by, bx + kButtonW, by + kButtonH};
  frame.BltColorFill(&ok, ColorTo565(RGB(64, 72, 88)));
  frame.SetForeColor(RGB(200, 200, 200));
  frame.DrawBox(ok.Left, ok.Top, ok.Right, ok.Bottom);
  BoxFont(frame);
  frame.DrawText(bx + (kButtonW - frame.TextWidth("OK")) / 2, by + 4, "OK");
  return ok;
}

// The game's texts are in its code page; a terminal shows UTF-8.
void MsgBox(std::string_view text, std::string_view title) { MsgBoxUtf8(ToUtf8(text), ToUtf8(title)); }

void MsgBoxUtf8(std::string_view utf8, std::string_view title) {
  const std::string t(utf8);
  std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(title.size()), title.data(), t.c_str());
  Window& w = Window::Instance();
  const bool ownWindow = g_opensWindow && !w.IsOpen();
  if (ownWindow && !w.Create("Ferrowind")) return;  // no display
  struct Closed {
    bool own;
    ~Closed() {
      if (own) Window::Instance().Destroy();
    }
  } const closed{ownWindow};
  if (!w.IsOpen() || (Headless() && !g_waitHeadless)) return;
  if (ownWindow) w.Show();
  if (WaitInWindow(t, !ownWindow)) {
    // Passed on, so the game's own loop closes as the player asked.
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
  }
}

void SetMessageBoxesWaitHeadless(bool wait) { g_waitHeadless = wait; }

BoxesOpenTheWindow::BoxesOpenTheWindow() : before_(g_opensWindow) { g_opensWindow = true; }
BoxesOpenTheWindow::~BoxesOpenTheWindow() { g_opensWindow = before_; }

}  // namespace plat
