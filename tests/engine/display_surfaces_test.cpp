// Picture loading from loose files and archives, the memory choice, the
// surface utilities, and frames reaching the window.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "engine/form_board.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/files.hpp"
#include "tests/engine/display_support.hpp"

namespace {
using fw::RECT;
using fwtest::BmpBytes;
using fwtest::SamePicture;

class DisplaySurfaces : public fwtest::DisplayTest {};

TEST_F(DisplaySurfaces, LooseFileComesBeforeTheArchiveMember) {
  MakeArchive(fw::DataPack, "Data", {{"X.bmp", BmpBytes(8, 6, 0x1000)}, {"Other.bmp", BmpBytes(2, 2, 0)}});
  folder_.Write("pic/x.BMP", BmpBytes(8, 6, 0x2000));
  // A copy extracted earlier is cleaned up by the next successful load.
  fw::DataPack->Extract("Other.bmp");
  ASSERT_TRUE(folder_.Exists("Other.bmp"));

  plat::SurfacePtr s;
  EXPECT_TRUE(fw::LoadSurfaceFromPack(fw::AppPath + "\\pic\\X.bmp", s, fw::DDraw));
  EXPECT_TRUE(SamePicture(s, 8, 6, 0x2000));
  EXPECT_FALSE(folder_.Exists("X.bmp"));
  EXPECT_FALSE(folder_.Exists("Other.bmp"));
  EXPECT_EQ(fw::DataPack->ExtractFiles->Count(), 0);

  // Without the loose file the member is extracted, loaded and deleted.
  std::filesystem::remove(folder_.File("pic/x.BMP"));
  EXPECT_TRUE(fw::LoadSurfaceFromPack(fw::AppPath + "\\pic\\X.bmp", s, fw::DDraw));
  EXPECT_TRUE(SamePicture(s, 8, 6, 0x1000));
  EXPECT_FALSE(folder_.Exists("X.bmp"));
  // A bare name is a member, or a loose file in the program folder.
  EXPECT_TRUE(fw::LoadSurfaceFromPack("Other.bmp", s, fw::DDraw));
  EXPECT_TRUE(SamePicture(s, 2, 2, 0));
  folder_.Write("Bare.bmp", BmpBytes(3, 3, 0x0300));
  EXPECT_TRUE(fw::LoadSurfaceFromPack("Bare.bmp", s, fw::DDraw));
  EXPECT_TRUE(SamePicture(s, 3, 3, 0x0300));
  EXPECT_TRUE(folder_.Exists("Bare.bmp"));
}

TEST_F(DisplaySurfaces, FactoryLoaderAndMissionPackRules) {
  MakeArchive(fw::DataPack, "Data", {{"Scroll2.BMP", BmpBytes(4, 4, 0x3000)}});
  MakeArchive(fw::MissionPack, "MissionPack", {{"MapA.bmp", BmpBytes(5, 3, 0x4000)}});
  folder_.Write("pic/Scroll2.BMP", BmpBytes(4, 4, 0x5000));
  plat::SurfacePtr s;
  // The factory's loader always takes the archive.
  EXPECT_TRUE(fw::LoadSurface4FromPack(fw::AppPath + "\\pic\\Scroll2.BMP", s, fw::DDraw));
  EXPECT_TRUE(SamePicture(s, 4, 4, 0x3000));
  EXPECT_FALSE(folder_.Exists("Scroll2.BMP"));
  // MissionPack copies stay when asked to.
  EXPECT_TRUE(fw::LoadSurfaceFromMissionPack(fw::AppPath + "\\MapA.bmp", s, fw::DDraw, false, 0, 0, false));
  EXPECT_TRUE(SamePicture(s, 5, 3, 0x4000));
  EXPECT_TRUE(folder_.Exists("MapA.bmp"));
  fw::MissionPack->RemoveTempFile();
  EXPECT_TRUE(fw::LoadSurfaceFromMissionPack(fw::AppPath + "\\MapA.bmp", s, fw::DDraw, false, 0, 0, true));
  EXPECT_FALSE(folder_.Exists("MapA.bmp"));
}

TEST_F(DisplaySurfaces, PicturesDecodedAheadLoadAsTheLoadersWould) {
  MakeArchive(fw::DataPack, "Data",
              {{"X.bmp", BmpBytes(8, 6, 0x1000)}, {"Y.bmp", BmpBytes(4, 4, 0x2000)}, {"Bad.bmp", "not a picture"}});
  MakeArchive(fw::MissionPack, "MissionPack", {{"T.bmp", BmpBytes(5, 3, 0x4000)}});
  folder_.Write("pic/y.BMP", BmpBytes(4, 4, 0x3000));
  fw::SurfacePrefetch ahead;
  const std::string x = fw::AppPath + "\\pic\\X.bmp", y = fw::AppPath + "\\pic\\Y.bmp",
                    t = fw::AppPath + "\\T.bmp", bad = fw::AppPath + "\\Bad.bmp", missing = fw::AppPath + "\\No.bmp";
  for (const std::string& name : {x, y, bad, missing}) ahead.Begin(*fw::DataPack, name);
  ahead.Begin(*fw::MissionPack, t);
  ahead.Begin(*fw::MissionPack, t);  // once is enough
  // A copy extracted before is still cleaned up by the load, as ever.
  fw::DataPack->Extract("Bad.bmp");

  plat::SurfacePtr s;
  EXPECT_TRUE(ahead.Finish(*fw::DataPack, fw::AppPath + "\\PIC\\x.BMP", s, fw::DDraw));
  EXPECT_TRUE(SamePicture(s, 8, 6, 0x1000));
  EXPECT_FALSE(folder_.Exists("Bad.bmp"));
  EXPECT_EQ(fw::DataPack->ExtractFiles->Count(), 0);
  EXPECT_TRUE(ahead.Finish(*fw::DataPack, y, s, fw::DDraw));
  EXPECT_TRUE(SamePicture(s, 4, 4, 0x3000));  // the loose file comes first
  // Taken in another order than begun, and from the other archive.
  EXPECT_TRUE(ahead.Finish(*fw::MissionPack, t, s, fw::DDraw, false, 10, 6));
  ASSERT_EQ(s->Width(), 10);
  EXPECT_EQ(s->Row(5)[9], fwtest::Shade(0x4000, 4, 2));
  EXPECT_FALSE(folder_.Exists("T.bmp"));

  // Failures raise, note the file and leave the caller's surface alone.
  const plat::Surface* before = s.get();
  try {
    ahead.Finish(*fw::DataPack, missing, s, fw::DDraw);
    FAIL() << "no error";
  } catch (const plat::RuntimeError& e) {
    EXPECT_EQ(e.code(), plat::ErrorCode::FileNotFound);
    EXPECT_NE(std::string(e.what()).find("No.bmp"), std::string::npos) << e.what();
  }
  EXPECT_EQ(fw::LastError, "Load File:" + missing + " Faild");
  EXPECT_THROW(ahead.Finish(*fw::DataPack, bad, s, fw::DDraw), plat::RuntimeError);
  EXPECT_EQ(s.get(), before);

  // What was taken, never begun or cleared is not there to take.
  EXPECT_FALSE(ahead.Finish(*fw::DataPack, x, s, fw::DDraw));
  EXPECT_FALSE(ahead.Finish(*fw::MissionPack, x, s, fw::DDraw));
  ahead.Begin(*fw::DataPack, x);
  ahead.Clear();
  EXPECT_FALSE(ahead.Finish(*fw::DataPack, x, s, fw::DDraw));
  EXPECT_EQ(s.get(), before);
}

TEST_F(DisplaySurfaces, SizeGivenStretchesThePicture) {
  folder_.Write("p.bmp", BmpBytes(2, 2, 0x6000));
  plat::SurfacePtr s;
  fw::LoadPictureSurface(fw::AppPath + "\\p.bmp", s, fw::DDraw, 0, 7, false);
  EXPECT_TRUE(SamePicture(s, 2, 2, 0x6000));
  fw::LoadPictureSurface(fw::AppPath + "\\p.bmp", s, fw::DDraw, 4, 4, false);
  ASSERT_EQ(s->Width(), 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(s->Row(y)[x], fwtest::Shade(0x6000, x / 2, y / 2));
}

TEST_F(DisplaySurfaces, VideoMemoryOnlyWhenMoreIsFree) {
  folder_.Write("p.bmp", BmpBytes(10, 10, 0));
  plat::SurfacePtr s;
  fw::DDraw->SetFreeVideoMemory(200);  // exactly 10 x 10 x 2
  fw::LoadPictureSurface(fw::AppPath + "\\p.bmp", s, fw::DDraw, 0, 0, true);
  EXPECT_TRUE(s->Caps() & plat::DDSCAPS_SYSTEMMEMORY);
  fw::CreateOffscreenSurface(10, 10, s, fw::DDraw, true);
  EXPECT_TRUE(s->Caps() & plat::DDSCAPS_SYSTEMMEMORY);
  fw::DDraw->SetFreeVideoMemory(201);
  fw::CreateOffscreenSurface(10, 10, s, fw::DDraw, false);
  EXPECT_TRUE(s->Caps() & plat::DDSCAPS_SYSTEMMEMORY);
  fw::LoadPictureSurface(fw::AppPath + "\\p.bmp", s, fw::DDraw, 0, 0, true);
  EXPECT_TRUE(s->Caps() & plat::DDSCAPS_VIDEOMEMORY);
  EXPECT_EQ(fw::GetFreeVideoMemory(), 1);
  s.reset();
  EXPECT_EQ(fw::GetFreeVideoMemory(), 201);
  // The decision is taken from the picture's own size, not the stretched one.
  fw::LoadPictureSurface(fw::AppPath + "\\p.bmp", s, fw::DDraw, 1, 1, true);
  EXPECT_TRUE(s->Caps() & plat::DDSCAPS_VIDEOMEMORY);
}

TEST_F(DisplaySurfaces, PicturesThatCannotBeLoadedRaise) {
  MakeArchive(fw::DataPack, "Data", {{"Bad.bmp", "not a picture at all"}});
  plat::SurfacePtr s = std::make_shared<plat::Surface>(3, 3);
  const plat::Surface* before = s.get();
  try {
    fw::LoadSurfaceFromPack(fw::AppPath + "\\pic\\Missing.bmp", s, fw::DDraw);
    FAIL() << "no error";
  } catch (const plat::RuntimeError& e) {
    EXPECT_EQ(e.code(), plat::ErrorCode::FileNotFound);
    EXPECT_NE(std::string(e.what()).find("Missing.bmp"), std::string::npos);
  }
  EXPECT_EQ(fw::LastError, "Load File:" + fw::AppPath + "\\pic\\Missing.bmp Faild");
  EXPECT_THROW(fw::LoadSurfaceFromPack(fw::AppPath + "\\Bad.bmp", s, fw::DDraw), plat::RuntimeError);
  // The caller keeps its surface, and no copy is left behind.
  EXPECT_EQ(s.get(), before);
  EXPECT_FALSE(folder_.Exists("Bad.bmp"));
}

TEST_F(DisplaySurfaces, ADamagedMemberIsNamedWithItsArchiveNotTheCopy) {
  MakeArchive(fw::DataPack, "Data",
              {{"Bad.bmp", "not a picture at all"}, {"Long.bmp", BmpBytes(2, 2, 0)}, {"Empty.bmp", BmpBytes(2, 2, 0)}});
  MakeArchive(fw::MissionPack, "MissionPack", {{"Bad.bmp", "not a picture either"}, {"Long.bmp", BmpBytes(2, 2, 0)}});
  for (auto* pack : {&fw::DataPack, &fw::MissionPack}) {
    (*pack)->PackFiles->Find("Long.bmp")->FileSize = 1 << 20;
    if (auto e = (*pack)->PackFiles->Find("Empty.bmp")) e->FileSize = 0;
  }
  const struct {
    const char* file;
    bool mission;  // from MissionPack, its copy kept
    const char* says;
  } cases[] = {
      {"Bad.bmp", false, "Invalid picture: Bad.bmp in Data.PAK"},
      {"Long.bmp", false, "Long.bmp lies past the end of Data.PAK"},
      {"Empty.bmp", false, "the entry of Empty.bmp in Data.INF is damaged"},
      {"Gone.bmp", false, "Gone.bmp is not listed in Data.INF"},
      {"Bad.bmp", true, "Invalid picture: Bad.bmp in MissionPack.PAK"},
      {"Long.bmp", true, "Long.bmp lies past the end of MissionPack.PAK"},
      {"Gone.bmp", true, "Gone.bmp is not listed in MissionPack.INF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    plat::SurfacePtr s;
    try {
      const std::string path = fw::AppPath + "\\pic\\" + c.file;
      if (c.mission)
        fw::LoadSurfaceFromMissionPack(path, s, fw::DDraw, false, 0, 0, false);
      else
        fw::LoadSurface4FromPack(path, s, fw::DDraw);
      ADD_FAILURE() << "no error";
    } catch (const plat::RuntimeError& e) {
      const std::string what = e.what();
      EXPECT_NE(what.find(c.says), std::string::npos) << what;
      EXPECT_NE(what.find(std::string("\\pic\\") + c.file), std::string::npos) << what;
      EXPECT_EQ(what.find(folder_.Path() + "/"), std::string::npos) << what;
    }
    fw::MissionPack->RemoveTempFile();
  }
}

// A picture's error names its file as the system spells the folder, with
// letters the game's code page lacks (Ü) beside ones it has (遊戲): the
// prefix, the cause and the archive's name all in UTF-8, from any loader.
TEST_F(DisplaySurfaces, PictureErrorsNameTheirFilesAsSpelt) {
  const std::string spelt = folder_.File("Spiele-Über-遊戲");
  std::filesystem::create_directories(spelt + "/pic");
  plat::SetProgramFolder(spelt);
  fw::AppPath = spelt;
  folder_.Write("Spiele-Über-遊戲/pic/Scroll1.BMP", "not a picture");
  MakeArchive(fw::DataPack, "Data", {{"Bad.bmp", "not a picture at all"}});
  const std::string loose = "Unable to load the picture " + spelt + "\\pic\\Scroll1.BMP: Invalid picture: " + spelt +
                            "/pic/Scroll1.BMP";
  const struct {
    const char* what;
    std::function<void(plat::SurfacePtr&)> load;
    std::string says;
  } cases[] = {
      {"a loose file", [](plat::SurfacePtr& s) { fw::LoadSurfaceFromPack(fw::AppPath + "\\pic\\Scroll1.BMP", s, fw::DDraw); },
       loose},
      {"a loose file decoded ahead",
       [](plat::SurfacePtr& s) {
         fw::SurfacePrefetch ahead;
         ahead.Begin(*fw::DataPack, fw::AppPath + "\\pic\\Scroll1.BMP");
         ahead.Finish(*fw::DataPack, fw::AppPath + "\\pic\\Scroll1.BMP", s, fw::DDraw);
       },
       loose},
      {"an archive member", [](plat::SurfacePtr& s) { fw::LoadSurface4FromPack(fw::AppPath + "\\pic\\Bad.bmp", s, fw::DDraw); },
       "Unable to load the picture " + spelt + "\\pic\\Bad.bmp: Invalid picture: Bad.bmp in Data.PAK"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    plat::SurfacePtr s;
    try {
      c.load(s);
      ADD_FAILURE() << "no error";
    } catch (const plat::RuntimeError& e) {
      EXPECT_EQ(e.Utf8(), c.says);
    }
  }
}

TEST_F(DisplaySurfaces, OffscreenSurfacesAndTheirLimits) {
  plat::SurfacePtr s;
  fw::CreateOffscreenSurface(60, 70, s, fw::DDraw, false);
  EXPECT_EQ(fw::GetSurfaceSize(s).Right, 60);
  EXPECT_EQ(fw::GetSurfaceSize(s).Bottom, 70);
  try {
    fw::CreateOffscreenSurface(40000, 40000, s, fw::DDraw, false);
    FAIL() << "no error";
  } catch (const plat::RuntimeError& e) {
    EXPECT_EQ(e.code(), plat::ErrorCode::Overflow);
  }
  EXPECT_THROW(fw::CreateOffscreenSurface(0, 5, s, fw::DDraw, false), plat::RuntimeError);
  const RECT none = fw::GetSurfaceSize(nullptr);
  EXPECT_EQ(none.Left | none.Top | none.Right | none.Bottom, 0);
}

TEST_F(DisplaySurfaces, FontColourAndKey) {
  plat::SurfacePtr s;
  fw::CreateOffscreenSurface(8, 8, s, fw::DDraw, false);
  fw::SetSurfaceFont(s, "Fixedsys", 6, plat::RGB(0, 255, 0), true);
  EXPECT_EQ(s->GetFont().Name, "Fixedsys");
  EXPECT_TRUE(s->GetFont().Bold);
  EXPECT_EQ(s->GetForeColor(), plat::RGB(0, 255, 0));
  fw::SetSurfaceColorKey(s, plat::DDCKEY_SRCBLT, 0, 0);
  EXPECT_TRUE(s->HasColorKey());
  EXPECT_THROW(fw::SetSurfaceColorKey(nullptr, plat::DDCKEY_SRCBLT, 0, 0), plat::RuntimeError);
}

TEST_F(DisplaySurfaces, PrimarySurfaceFailureShowsItsMessages) {
  plat::SurfacePtr p = fw::Primary, b = fw::BackBuffer;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(fw::CreatePrimaryAndBackBuffer(p, b, nullptr));
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_LT(said.find("Can't Create Primary Surface!"), said.find("Please install DiredtX7.0a."));
  EXPECT_EQ(p, fw::Primary);
  EXPECT_EQ(fw::Primary->Width(), 640);
  EXPECT_EQ(fw::BackBuffer->Height(), 480);
}

TEST_F(DisplaySurfaces, CellRectangles) {
  auto s = std::make_shared<plat::Surface>(100, 60);
  RECT r;
  fw::GetCellRect(r, s, 5, 6, 7);
  EXPECT_EQ(r.Left, 20);
  EXPECT_EQ(r.Top, 10);
  EXPECT_EQ(r.Right, 40);
  EXPECT_EQ(r.Bottom, 20);
  fw::GetCellRect(r, s, 5, 6, 0);
  EXPECT_EQ(r.Left + r.Top, 0);
  EXPECT_EQ(r.Right, 20);
  fw::GetCellRect(r, s, 5, 6, 31);
  EXPECT_EQ(r.Left, 80);
  EXPECT_EQ(r.Bottom, 60);
  // Cell sizes round halves to even: 101 / 2 is 50, 105 / 2 is 52.
  fw::GetCellRect(r, std::make_shared<plat::Surface>(101, 105), 2, 2, 4);
  EXPECT_EQ(r.Left, 50);
  EXPECT_EQ(r.Top, 52);
  fw::GetCellRect(r, nullptr, 5, 6, 3);
  EXPECT_EQ(r.Right, 0);
}

TEST_F(DisplaySurfaces, SplashPicturesPixelsReachTheWindowAfterTheFlip) {
  folder_.Write("create(GB).jpg", BmpBytes(640, 480, 0x0A0A));  // a BMP under any name loads
  plat::SurfacePtr splash;
  fw::LoadPictureSurface(fw::AppPath + "\\create(GB).jpg", splash, fw::DDraw, 0, 0, true);
  const RECT whole = fw::SetRECT(0, 0, 640, 480);
  fw::BackBuffer->BltFast(0, 0, splash.get(), &whole, plat::DDBLTFAST_WAIT);
  fw::Primary->Flip(nullptr, 0);
  const plat::Window& w = plat::Window::Instance();
  ASSERT_EQ(w.LastFrameWidth(), 640);
  ASSERT_EQ(w.LastFrameHeight(), 480);
  EXPECT_TRUE(std::equal(splash->Pixels(), splash->Pixels() + 640 * 480, w.LastFrame().begin()));
}

TEST_F(DisplaySurfaces, PrintScreenWritesTheFrameOnScreen) {
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) fw::BackBuffer->Row(y)[x] = fwtest::Shade(0x7777, x, y);
  fw::Primary->Flip(nullptr, 0);
  fw::FormBoard board;
  board.Form_KeyUp(44, 0);
  auto shot = plat::LoadPictureFile(folder_.File("CapScr0.bmp"));
  ASSERT_TRUE(shot);
  EXPECT_TRUE(SamePicture(shot, 640, 480, 0x7777));
}

}  // namespace
