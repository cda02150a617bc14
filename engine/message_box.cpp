#include "engine/message_box.hpp"

#include <algorithm>
#include <cstdio>

#include "engine/globals.hpp"
#include "engine/helpers.hpp"
#include "engine/modal_wait.hpp"
#include "platform/display/message_box.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/code_page.hpp"
#include "platform/runtime/error.hpp"

namespace fw {

MsgBoardRecord MsgBoard;
// The member name is the archive's, in the game's code page.
const std::string& BoardPicture() {
  static const std::string name = plat::FromUtf8("\\pic\\訊息框.bmp");
  return name;
}

namespace {
constexpr int32_t kBoxX = 190, kBoxY = 100;
constexpr int32_t kScreenHeight = 480;
constexpr float kSmallestPoints = 8.0f;

void NeedSurface(const plat::SurfacePtr& s) {
  if (!s) throw plat::RuntimeError(plat::ErrorCode::ObjectMissing, "Object variable not set: no surface to draw on");
}

// The answer: the key, or 0 for a mouse button.
int16_t WaitForAnswer() {
  MouseButton = 0;
  KeyCode = 0;
  const int16_t key = WaitForKeyOrButton();
  KeyCode = 0;
  return key;
}

// The lowest row a line of text inks below its top, in this font: measured
// on the letters that reach furthest, in the Latin face and in the face
// that draws the game's Chinese text.
int32_t InkBottom(const plat::Font& font) {
  plat::Surface scratch(200, 200);
  scratch.SetFont(font);
  scratch.SetForeColor(plat::RGB(255, 255, 255));
  scratch.DrawText(0, 0, "Mgjpqy|_");
  scratch.DrawText(100, 0, plat::FromUtf8("訊息框"));
  int32_t bottom = 0;
  for (int32_t y = 0; y < scratch.Height(); ++y)
    for (int32_t x = 0; x < scratch.Width(); ++x)
      if (scratch.Row(y)[x] != 0) bottom = y;
  return bottom;
}

// The board picture drawn height pixels tall: its upper half at the top, its
// lower half at the bottom, and the row between them repeated in the gap,
// so the edges and the frame run the whole height.
void DrawBoard(plat::Surface& onto, plat::Surface& board, const RECT& whole, int32_t height) {
  const int32_t middle = whole.Bottom / 2;
  const RECT upper{0, 0, whole.Right, middle}, lower{0, middle, whole.Right, whole.Bottom};
  const RECT row{0, middle, whole.Right, middle + 1};
  const int32_t lowerTop = height - (whole.Bottom - middle);
  onto.BltFast(0, 0, &board, &upper, plat::DDBLTFAST_WAIT);
  for (int32_t y = middle; y < lowerTop; ++y) onto.BltFast(0, y, &board, &row, plat::DDBLTFAST_WAIT);
  onto.BltFast(0, lowerTop, &board, &lower, plat::DDBLTFAST_WAIT);
}

int16_t ShowOn(const plat::SurfacePtr& dest, const DisplayPtr& dd, bool ddraw4, plat::SurfacePtr& board,
               plat::SurfacePtr& textSurface, const std::string& text, int32_t color) {
  if (!board) {
    if (ddraw4)
      LoadSurface4FromPack(AppPath + BoardPicture(), board, dd, false, 0, 0);
    else
      LoadSurfaceFromPack(AppPath + BoardPicture(), board, dd, false, 0, 0);
  }
  RECT whole;
  GetCellRect(whole, board, 1, 1, 1);
  if (!textSurface) {
    CreateOffscreenSurface(whole.Right, whole.Bottom, textSurface, dd, false);
    SetSurfaceFont(textSurface, "Arial", 12.0f / FontScale, plat::RGB(200, 200, 200), false);
  }
  // A message longer than the board is wide is read whole on more lines,
  // the board growing downwards to hold them.
  const plat::Font font = textSurface->GetFont();
  const BoardText layout = LayOutBoardText(font, whole.Right, whole.Bottom, text);
  // The terminal keeps what the screen has no room for.
  if (layout.cut) std::fprintf(stderr, "Ferrowind: %s\n", text.c_str());
  if (textSurface->Height() != layout.height) {
    CreateOffscreenSurface(whole.Right, layout.height, textSurface, dd, false);
    textSurface->SetFont(font);
  }
  // Drawn in the size that fits; the box's own font stays for the next.
  plat::Surface& onto = *textSurface;
  onto.SetFont(layout.font);
  onto.SetForeColor(color);
  DrawBoard(onto, *board, whole, layout.height);
  for (size_t i = 0; i < layout.lines.size(); ++i)
    onto.DrawUtf8Text(layout.x, layout.y + static_cast<int32_t>(i) * layout.step, layout.lines[i]);
  onto.SetFont(font);
  NeedSurface(dest);
  const RECT drawn{0, 0, whole.Right, layout.height};
  dest->BltFast(kBoxX, kBoxY, textSurface.get(), &drawn, plat::DDBLTFAST_WAIT);
  return WaitForAnswer();
}
}  // namespace

BoardText LayOutBoardText(const plat::Font& font, int32_t boardWidth, int32_t boardHeight, const std::string& text) {
  const int32_t room = std::max(boardHeight, kScreenHeight - kBoxY);
  plat::Surface measure(1, 1);
  BoardText out;
  out.width = std::max(1, boardWidth - 2 * out.x);
  size_t mostLines = 1;
  // The box's own size first; a text too long for the screen at it is
  // drawn a point smaller at a time, down to the factory labels' size.
  const float smallest = std::min(font.Size, kSmallestPoints / FontScale);
  for (float size = font.Size;; size = std::max(smallest, size - 1.0f / FontScale)) {
    out.font = plat::Font{font.Name, size, font.Bold};
    measure.SetFont(out.font);
    out.step = InkBottom(out.font) + 2;
    mostLines = 1 + static_cast<size_t>((room - boardHeight) / out.step);
    out.lines = text.empty() ? std::vector<std::string>{} : plat::WrapUtf8Text(measure, text, out.width, mostLines);
    out.height = boardHeight + static_cast<int32_t>(std::max<size_t>(out.lines.size(), 1) - 1) * out.step;
    if (out.height <= room || size <= smallest) break;
  }
  if (out.height > room) {
    const plat::FittedText fitted = plat::FitUtf8Text(measure, text, out.width, mostLines);
    out.lines = fitted.lines;
    out.height = boardHeight + static_cast<int32_t>(out.lines.size() - 1) * out.step;
    out.cut = true;
  }
  return out;
}

int16_t ShowMessageBox(const std::string& text, int32_t color) {
  return ShowOn(Primary, DDraw, false, MsgBoard.BoardPicture, MsgBoard.TextSurface, text, color);
}

int16_t ShowMessageBox4(const plat::SurfacePtr& dest, const DisplayPtr& dd4, const std::string& text, int32_t color) {
  return ShowOn(dest, dd4, true, MsgBoard.BoardPicture4, MsgBoard.TextSurface4, text, color);
}

void DrawTextBoard(const plat::SurfacePtr& dest, int32_t x, int32_t y, const std::string& text) {
  NeedSurface(dest);
  plat::SurfacePtr board;
  LoadSurfaceFromPack(AppPath + BoardPicture(), board, DDraw, false, 0, 0);
  const RECT whole = GetSurfaceSize(board);
  dest->BltFast(x, y, board.get(), &whole, plat::DDBLTFAST_WAIT);
  dest->DrawText(LongSum(x, 10), LongSum(y, 5), text);
}

void DrawTextSurface4(const plat::SurfacePtr& surface, int32_t x, int32_t y, const std::string& text) {
  NeedSurface(surface);
  surface->SetFont(plat::Font{"Arial", 8.0f / FontScale, false});
  surface->SetForeColor(plat::RGB(0, 255, 0));
  const int64_t n = AnsiByteLen(text);
  const RECT label{x, y, LongSum(x, 6 * n + 2), LongSum(y, 14)};
  int32_t r = 0, g = 80, b = 0;
  surface->BltColorFill(&label, static_cast<uint16_t>(RGBTo565(r, g, b)));
  surface->DrawBox(label.Left, label.Top, label.Right, label.Bottom);
  surface->DrawText(LongSum(x, 4), LongSum(y, 2), text);
}

}  // namespace fw
