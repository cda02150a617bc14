#pragma once
// A scratch program folder with a display: DirectDraw, the primary surface
// and its back buffer, and helpers that write pictures and archives.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>

#include "engine/cursor.hpp"
#include "engine/globals.hpp"
#include "engine/message_box.hpp"
#include "engine/pack.hpp"
#include "engine/surfaces.hpp"
#include "platform/display/surface.hpp"
#include "platform/runtime/clock.hpp"
#include "tests/common/test_support.hpp"

namespace fwtest {

// Pixels of the question box's board (as the last box left it) where its
// ink of the colour differs from the text's own, drawn as UTF-8 in the
// layout the box gives it: 0 when the board spells the text as it is
// spelt. -1 when no box was shown or the text would have no ink.
inline int BoardMisspellings(const std::string& utf8, int32_t color) {
  if (!fw::MsgBoard.TextSurface || !fw::MsgBoard.BoardPicture) return -1;
  const plat::Surface& drawn = *fw::MsgBoard.TextSurface;
  const fw::BoardText t = fw::LayOutBoardText(drawn.GetFont(), fw::MsgBoard.BoardPicture->Width(),
                                              fw::MsgBoard.BoardPicture->Height(), utf8);
  plat::Surface spelt(drawn.Width(), drawn.Height());
  spelt.SetFont(t.font);
  spelt.SetForeColor(color);
  for (size_t i = 0; i < t.lines.size(); ++i)
    spelt.DrawUtf8Text(t.x, t.y + static_cast<int32_t>(i) * t.step, t.lines[i]);
  const uint16_t ink = plat::ColorTo565(color);
  int differing = 0, inked = 0;
  for (int y = 0; y < drawn.Height(); ++y)
    for (int x = 0; x < drawn.Width(); ++x) {
      inked += spelt.Row(y)[x] == ink;
      differing += (spelt.Row(y)[x] == ink) != (drawn.Row(y)[x] == ink);
    }
  return inked == 0 ? -1 : differing;
}

// A picture of w x h whose pixel (x, y) is Shade(seed, x, y).
inline uint16_t Shade(uint16_t seed, int x, int y) {
  return static_cast<uint16_t>(seed ^ (x * 0x0841 + y * 0x1003)) | 0x0020;
}

// The surface as a BMP file holds it, made by the platform's own writer.
inline std::string BmpBytes(const plat::Surface& s) {
  const std::string file = (std::filesystem::temp_directory_path() / "fw-display-picture.bmp").string();
  plat::SaveBmp(s.Pixels(), s.Width(), s.Height(), s.PitchPixels(), file);
  std::ifstream in(file, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::filesystem::remove(file);
  return bytes;
}

inline std::string BmpBytes(int w, int h, uint16_t seed) {
  plat::Surface s(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) s.Row(y)[x] = Shade(seed, x, y);
  return BmpBytes(s);
}

inline bool SamePicture(const plat::SurfacePtr& s, int w, int h, uint16_t seed) {
  if (!s || s->Width() != w || s->Height() != h) return false;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (s->Row(y)[x] != Shade(seed, x, y)) return false;
  return true;
}

class DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::FixClock(5000);
    ResetGlobals();
    fw::DDraw = std::make_shared<plat::DirectDraw>();
    fw::DDraw->SetDisplayMode(640, 480, 16, 0, 0);
    ASSERT_TRUE(fw::CreatePrimaryAndBackBuffer(fw::Primary, fw::BackBuffer, fw::DDraw));
    fw::LastError.clear();
  }
  void TearDown() override {
    ResetGlobals();
    plat::UnfixClock();
  }
  static void ResetGlobals() {
    fw::DataPack.Release();
    fw::MissionPack.Release();
    fw::CursorSurface.reset();
    fw::CursorSurface4.reset();
    fw::MsgBoard = fw::MsgBoardRecord{};
    fw::Primary.reset();
    fw::BackBuffer.reset();
    fw::DDraw.reset();
  }

  // Builds the archive from the members given and opens it as the game does.
  void MakeArchive(fw::Lazy<fw::qelPackage>& pack, const std::string& name,
                   const std::map<std::string, std::string>& members) {
    const std::string stage = "stage-" + name;
    for (const auto& [member, bytes] : members) folder_.Write(stage + "/" + member, bytes);
    fw::qelPackage packer;
    packer.FilePath = folder_.Path() + "\\" + stage;
    packer.TempPath = folder_.Path();
    ASSERT_TRUE(packer.AddArchive(name));
    std::filesystem::remove_all(folder_.File(stage));
    pack->FilePath = folder_.Path();
    pack->TempPath = folder_.Path();
    pack->LoadInf(name);
  }

  TempProgramFolder folder_;
};

}  // namespace fwtest
