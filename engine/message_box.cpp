#include "engine/message_box.hpp"

#include "engine/globals.hpp"
#include "engine/helpers.hpp"
#include "engine/modal_wait.hpp"
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
  textSurface->SetForeColor(color);
  textSurface->BltFast(0, 0, board.get(), &whole, plat::DDBLTFAST_WAIT);
  if (!text.empty()) textSurface->DrawText(20, 15, text);
  NeedSurface(dest);
  dest->BltFast(kBoxX, kBoxY, textSurface.get(), &whole, plat::DDBLTFAST_WAIT);
  return WaitForAnswer();
}
}  // namespace

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
