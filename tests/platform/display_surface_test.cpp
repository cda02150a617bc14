// The display object, the primary surface and what shows in the window,
// text and outlines, pixel access, and pictures in and out.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/display/surface.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/code_page.hpp"
#include "platform/runtime/error.hpp"

namespace {
using plat::RECT;
using plat::Surface;

plat::DDSURFACEDESC2 Offscreen(int w, int h, int32_t caps) {
  plat::DDSURFACEDESC2 d;
  d.lFlags = plat::DDSD_CAPS | plat::DDSD_WIDTH | plat::DDSD_HEIGHT;
  d.lWidth = w;
  d.lHeight = h;
  d.ddsCaps.lCaps = plat::DDSCAPS_OFFSCREENPLAIN | caps;
  return d;
}

int32_t FreeVideo(const plat::DirectDraw& dd) { return dd.GetFreeMem(plat::DDSCAPS2{plat::DDSCAPS_VIDEOMEMORY, 0}); }

int Count(const Surface& s, uint16_t color) {
  return static_cast<int>(std::count(s.Pixels(), s.Pixels() + s.Width() * s.Height(), color));
}

std::string TempFile(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("fw-display-" + name)).string();
}

TEST(DisplaySurface, VideoMemoryIsTakenAndGivenBack) {
  plat::DirectDraw dd;
  dd.SetFreeVideoMemory(100000);
  {
    auto v = dd.CreateSurface(Offscreen(100, 100, plat::DDSCAPS_VIDEOMEMORY));
    EXPECT_TRUE(v->Caps() & plat::DDSCAPS_VIDEOMEMORY);
    EXPECT_EQ(FreeVideo(dd), 80000);
    auto s = dd.CreateSurface(Offscreen(100, 100, plat::DDSCAPS_SYSTEMMEMORY));
    EXPECT_TRUE(s->Caps() & plat::DDSCAPS_SYSTEMMEMORY);
    EXPECT_EQ(FreeVideo(dd), 80000);
    // Unnamed memory goes where it fits.
    auto big = dd.CreateSurface(Offscreen(300, 200, 0));
    EXPECT_TRUE(big->Caps() & plat::DDSCAPS_SYSTEMMEMORY);
    EXPECT_THROW(dd.CreateSurface(Offscreen(300, 200, plat::DDSCAPS_VIDEOMEMORY)), plat::RuntimeError);
  }
  EXPECT_EQ(FreeVideo(dd), 100000);
  EXPECT_EQ(dd.GetFreeMem(plat::DDSCAPS2{plat::DDSCAPS_SYSTEMMEMORY, 0}), 0);
}

TEST(DisplaySurface, ImpossibleDescriptionsRaise) {
  plat::DirectDraw dd;
  EXPECT_THROW(dd.CreateSurface(Offscreen(0, 10, 0)), plat::RuntimeError);
  EXPECT_THROW(dd.CreateSurface(Offscreen(-5, 10, 0)), plat::RuntimeError);
  EXPECT_THROW(dd.CreateSurface(Offscreen(100000, 10, 0)), plat::RuntimeError);
  plat::DDSURFACEDESC2 noSize;
  noSize.lFlags = plat::DDSD_CAPS;
  noSize.ddsCaps.lCaps = plat::DDSCAPS_OFFSCREENPLAIN;
  EXPECT_THROW(dd.CreateSurface(noSize), plat::RuntimeError);
}

TEST(DisplaySurface, DescriptionAndCapabilities) {
  plat::DirectDraw dd;
  auto s = dd.CreateSurface(Offscreen(33, 7, plat::DDSCAPS_SYSTEMMEMORY));
  plat::DDSURFACEDESC2 d;
  s->GetSurfaceDesc(d);
  EXPECT_EQ(d.lWidth, 33);
  EXPECT_EQ(d.lHeight, 7);
  EXPECT_EQ(d.lPitch, 66);
  EXPECT_EQ(d.ddpfPixelFormat.lRGBBitCount, 16);
  EXPECT_EQ(d.ddpfPixelFormat.lGBitMask, 0x07E0);
  plat::DDCAPS hw, hel;
  dd.GetCaps(hw, hel);
  EXPECT_TRUE(hw.ddsCaps.lCaps & plat::DDSCAPS_ALPHA);
  // SRCCOPY (0xCC) and SRCPAINT (0xEE) are the raster operations offered.
  EXPECT_EQ(hw.lRops[6], 1 << (0xCC - 192));
  EXPECT_EQ(hw.lRops[7], 1 << (0xEE - 224));
  EXPECT_EQ(hw.lRops[0], 0);
  EXPECT_EQ(dd.TestCooperativeLevel(), plat::DD_OK);
  EXPECT_EQ(dd.RestoreAllSurfaces(), plat::DD_OK);
  EXPECT_EQ(s->IsLost(), plat::DD_OK);
}

TEST(DisplaySurface, PrimaryShowsItsFramesInTheWindow) {
  plat::FixClock(1000);
  plat::DirectDraw dd;
  dd.SetDisplayMode(640, 480, 16, 0, 0);
  plat::DDSURFACEDESC2 d;
  d.lFlags = plat::DDSD_CAPS | plat::DDSD_BACKBUFFERCOUNT;
  d.ddsCaps.lCaps = plat::DDSCAPS_PRIMARYSURFACE | plat::DDSCAPS_FLIP | plat::DDSCAPS_COMPLEX;
  d.lBackBufferCount = 1;
  auto primary = dd.CreateSurface(d);
  auto back = primary->GetAttachedSurface(plat::DDSCAPS2{plat::DDSCAPS_BACKBUFFER, 0});
  ASSERT_TRUE(primary->IsPrimary());
  EXPECT_FALSE(back->IsPrimary());
  EXPECT_EQ(back->Width(), 640);
  plat::Window& w = plat::Window::Instance();

  // Drawing on the back buffer shows nothing until the flip.
  const uint64_t frames = w.FramesPresented();
  back->BltColorFill(nullptr, 0x1234);
  EXPECT_EQ(w.FramesPresented(), frames);
  EXPECT_EQ(primary->Flip(nullptr, 0), plat::DD_OK);
  EXPECT_EQ(w.FramesPresented(), frames + 1);
  ASSERT_EQ(w.LastFrameWidth(), 640);
  EXPECT_EQ(w.LastFrame()[0], 0x1234);
  EXPECT_EQ(primary->Pixels()[0], 0x1234);
  // A blit onto the primary shows at once.
  Surface sprite(2, 2);
  sprite.BltColorFill(nullptr, 0xF00F);
  primary->BltFast(10, 20, &sprite, nullptr, plat::DDBLTFAST_WAIT);
  EXPECT_EQ(w.LastFrame()[20 * 640 + 10], 0xF00F);
  EXPECT_EQ(w.FramesPresented(), frames + 2);

  EXPECT_EQ(back->Flip(nullptr, 0), plat::DDERR_NOTFLIPPABLE);
  EXPECT_THROW(back->GetAttachedSurface(plat::DDSCAPS2{plat::DDSCAPS_BACKBUFFER, 0}), plat::RuntimeError);
  plat::UnfixClock();
}

TEST(DisplaySurface, TextIsDrawnInTheForeColourOnly) {
  Surface s(200, 40);
  s.BltColorFill(nullptr, 0x0841);
  s.SetFont("Arial", 12, false);
  s.SetForeColor(plat::RGB(255, 0, 0));
  s.DrawText(4, 4, "Are you sure? (Y/n)");
  const int red = Count(s, 0xF800);
  EXPECT_GT(red, 60);
  EXPECT_EQ(red + Count(s, 0x0841), 200 * 40);
  // Nothing above the text cell's top.
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 200; ++x) ASSERT_EQ(s.Row(y)[x], 0x0841);

  Surface bold(200, 40);
  bold.SetFont(plat::Font{"Arial", 12, true});
  bold.SetForeColor(plat::RGB(255, 255, 255));
  bold.DrawText(4, 4, "Are you sure? (Y/n)");
  EXPECT_GT(Count(bold, 0xFFFF), red);
  EXPECT_TRUE(bold.GetFont().Bold);
}

TEST(DisplaySurface, TextFacesAndEdges) {
  for (const char* face : {"Times New Roman", "Fixedsys", "Small Fonts", "新細明體", "No Such Face"}) {
    Surface s(120, 30);
    s.SetFont(face, 10, false);
    s.SetForeColor(plat::RGB(0, 255, 0));
    s.DrawText(2, 2, "Text 123");
    EXPECT_GT(Count(s, 0x07E0), 20) << face;
  }
  // Chinese text in a Latin face still shows, in the CJK face.
  Surface cjk(120, 30);
  cjk.SetFont("Arial", 12, false);
  cjk.SetForeColor(plat::RGB(255, 255, 255));
  cjk.DrawText(2, 2, plat::FromUtf8("請安裝"));
  EXPECT_GT(Count(cjk, 0xFFFF), 30);
  // Text cut at every edge, and text nowhere near the surface.
  Surface edge(20, 10);
  edge.SetForeColor(plat::RGB(255, 255, 255));
  for (auto [x, y] : {std::pair{-30, 0}, std::pair{15, 0}, std::pair{0, -8}, std::pair{0, 7},
                      std::pair{INT32_MIN, INT32_MIN}, std::pair{INT32_MAX, 5}})
    edge.DrawText(x, y, "WWWWWW");
  edge.DrawText(0, 0, "");
  SUCCEED();
}

// Text in the game's code page is drawn as its characters: each has its own
// glyph (a missing glyph is one box for all) and none is a stand-in.
TEST(DisplaySurface, CodePageTextShowsItsCharacters) {
  auto draw = [](const std::string& text, const std::string& face) {
    auto s = std::make_shared<Surface>(80, 30);
    s->SetFont(face, 12, false);
    s->SetForeColor(plat::RGB(255, 255, 255));
    s->DrawText(2, 2, text);
    return std::vector<uint16_t>(s->Pixels(), s->Pixels() + 80 * 30);
  };
  for (const char* face : {"Arial", "新細明體"}) {
    const std::string fontName = plat::FromUtf8(face);
    const auto zhong = draw(plat::FromUtf8("中"), fontName), wen = draw(plat::FromUtf8("文"), fontName);
    const auto unknown = draw("?", fontName), box = draw(plat::FromUtf8("\xee\x80\x80"), fontName);
    EXPECT_NE(zhong, wen) << face;
    EXPECT_NE(zhong, unknown) << face;
    EXPECT_NE(zhong, box) << face;
    EXPECT_GT(std::count(zhong.begin(), zhong.end(), 0xFFFF), 20) << face;
    // The same bytes drawn twice give the same picture.
    EXPECT_EQ(zhong, draw(plat::FromUtf8("中"), fontName)) << face;
  }
}

TEST(DisplaySurface, BoxesLinesAndCircles) {
  Surface s(8, 6);
  s.SetForeColor(plat::RGB(255, 255, 255));
  s.DrawBox(1, 1, 5, 4);  // right and bottom edges are not drawn
  const char* expect[] = {
      "........",
      ".####...",
      ".#..#...",
      ".####...",
      "........",
      "........",
  };
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(s.Row(y)[x] != 0, expect[y][x] == '#') << x << "," << y;

  Surface line(6, 3);
  line.SetForeColor(plat::RGB(0, 0, 255));
  line.DrawLine(0, 0, 4, 2);  // the end point is not drawn
  EXPECT_EQ(Count(line, 0x001F), 4);
  EXPECT_EQ(line.Row(0)[0], 0x001F);
  EXPECT_EQ(line.Row(2)[4], 0);
  line.DrawLine(-1000000, 1, 1000000, 1);
  EXPECT_EQ(line.Row(1)[0], 0x001F);
  EXPECT_EQ(line.Row(1)[5], 0x001F);

  Surface circle(11, 11);
  circle.SetForeColor(plat::RGB(255, 255, 0));
  circle.DrawCircle(5, 5, 3);
  EXPECT_EQ(circle.Row(5)[8], 0xFFE0);
  EXPECT_EQ(circle.Row(2)[5], 0xFFE0);
  EXPECT_EQ(circle.Row(5)[5], 0);
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 11; ++x) EXPECT_EQ(circle.Row(y)[x], circle.Row(10 - y)[10 - x]);
  const int before = Count(circle, 0xFFE0);
  circle.DrawCircle(5, 5, 0);
  circle.DrawCircle(INT32_MAX, INT32_MAX, INT32_MAX);
  EXPECT_EQ(Count(circle, 0xFFE0), before);
}

TEST(DisplaySurface, LockedPixelsOutsideAreHarmless) {
  Surface s(3, 2);
  plat::DDSURFACEDESC2 d;
  EXPECT_EQ(s.Lock(nullptr, d, 0), plat::DD_OK);
  EXPECT_EQ(d.lWidth, 3);
  s.SetLockedPixel(2, 1, 0xBEEF);
  s.SetLockedPixel(3, 1, 0xBEEF);
  s.SetLockedPixel(-1, 0, 0xBEEF);
  EXPECT_EQ(s.GetLockedPixel(2, 1), 0xBEEF);
  EXPECT_EQ(s.GetLockedPixel(3, 0), 0);
  EXPECT_EQ(Count(s, 0xBEEF), 1);
  EXPECT_EQ(s.Unlock(nullptr), plat::DD_OK);
}

TEST(DisplaySurface, PicturesRoundTripThroughBmp) {
  Surface s(37, 11);
  for (int i = 0; i < 37 * 11; ++i) s.Pixels()[i] = static_cast<uint16_t>(i * 2654435761u >> 16);
  const std::string file = TempFile("roundtrip.bmp");
  ASSERT_TRUE(plat::SaveBmp(s.Pixels(), s.Width(), s.Height(), s.PitchPixels(), file));
  auto back = plat::LoadPictureFile(file);
  ASSERT_TRUE(back);
  ASSERT_EQ(back->Width(), 37);
  ASSERT_EQ(back->Height(), 11);
  EXPECT_TRUE(std::equal(s.Pixels(), s.Pixels() + 37 * 11, back->Pixels()));
  // Pictures are opaque off-screen surfaces with no key.
  EXPECT_FALSE(back->HasColorKey());

  std::ofstream(file, std::ios::binary | std::ios::trunc) << "BM this is not a picture";
  EXPECT_FALSE(plat::LoadPictureFile(file));
  std::filesystem::remove(file);
  EXPECT_FALSE(plat::LoadPictureFile(file));
}

}  // namespace
