// What stands at a data file's name never stalls or sinks the game: a FIFO
// is an unreadable file to each reader, answered at once, as is a huge film
// or track (a film's real pictures play, and its huge tail is its end), and
// a file larger than its kind is refused by its reader's own error before it
// is read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "engine/form_board.hpp"
#include "engine/media_player.hpp"
#include "platform/audio/media_graph.hpp"
#include "platform/audio/sound_buffer.hpp"
#include "platform/d3d/texture.hpp"
#include "platform/d3d/xfile.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/files.hpp"
#include "tests/engine/display_support.hpp"
#include "tests/platform/audio_test_media.hpp"

namespace {

const std::string kTooLarge = plat::SystemErrorText(plat::kTooLargeToRead);
constexpr uint64_t kHugeMedia = uint64_t{2} << 30;

std::string SampleBytes(const std::string& name) {
  std::ifstream in(audiotest::SampleData() + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FileReaders : public fwtest::DisplayTest {
 protected:
  void Fifo(const std::string& rel) {
    folder_.Write(rel, "");
    std::filesystem::remove(folder_.File(rel));
    ASSERT_EQ(::mkfifo(folder_.File(rel).c_str(), 0600), 0) << rel;
  }
  // A file of `size` bytes that begins with `head`: the rest is a hole, so
  // a size of gigabytes costs no disk.
  void Sparse(const std::string& rel, const std::string& head, uint64_t size) {
    std::filesystem::remove(folder_.File(rel));
    folder_.Write(rel, head);
    ASSERT_EQ(::truncate(folder_.File(rel).c_str(), static_cast<off_t>(size)), 0) << rel;
  }
  // An archive whose directory is written as given, read as the game does.
  void OpenArchive(fw::Lazy<fw::qelPackage>& pack, const std::string& name, const std::string& inf) {
    folder_.Write(name + ".INF", inf);
    pack->FilePath = folder_.Path();
    pack->TempPath = folder_.Path();
    pack->LoadInf(name);
  }
  std::string Picture(const std::string& name, bool fromMissionPack = false) {
    plat::SurfacePtr s;
    if (fromMissionPack)
      fw::LoadSurfaceFromMissionPack(fw::AppPath + "\\pic\\" + name, s, fw::DDraw, false, 0, 0, false);
    else
      fw::LoadSurfaceFromPack(fw::AppPath + "\\pic\\" + name, s, fw::DDraw);
    return "loaded " + std::to_string(s->Width()) + "x" + std::to_string(s->Height());
  }
  static std::string Made(bool made) { return made ? "made" : "refused"; }
};

std::string Entry(const std::string& member, uint64_t size) {
  return "\"" + member + "\",1," + std::to_string(size) + "\r\n";
}

// Each call is made in a child process: one that waits on the FIFO, or
// reads a huge file through, fails its row at the deadline instead of
// hanging the run.
TEST_F(FileReaders, AFifoOrAHugeMediaFileAtAFilesNameIsAnsweredAtOnce) {
  const std::string bmp = fwtest::BmpBytes(2, 2, 0x1000);
  OpenArchive(fw::DataPack, "Data", Entry("Pic.bmp", bmp.size()));
  OpenArchive(fw::MissionPack, "MissionPack", Entry("Map.bmp", bmp.size()));
  std::string why;
  auto sound = plat::DirectSoundCreate("", &why);
  ASSERT_TRUE(sound) << why;
  const auto media = [] { return fw::MediaPlay->IFilter ? "playing" : "skipped"; };
  const std::string filmHead = audiotest::SolidFilm(8, 4, 64, 48, audiotest::CycleColour).substr(0, 4096);
  // A film screen run with the clock going on a quarter second a pass and a
  // mouse button long after the film's pictures have played.
  const auto filmThenButton = [](const std::function<void()>& play) {
    return [play] {
      if (!fw::Board->Show()) return std::string("no window for the button");
      int passes = 0;
      bool film = false;
      plat::SetTestDriver([&] {
        plat::AdvanceClock(250);
        film = film || (fw::MediaPlay->IFilter && fw::MediaPlay->IFilter->HasVideo());
        if (++passes == 24) plat::PushMouseDown(1, 10, 10);
      });
      play();
      plat::SetTestDriver(nullptr);
      return std::string(film ? "played" : "skipped") + ", the button answered at pass " + std::to_string(passes);
    };
  };
  const struct {
    const char* name;  // the entry's place in the program folder
    std::function<std::string()> call;
    std::vector<std::string> says;
    std::function<void()> plant = {};  // a FIFO unless the row plants another entry
  } cases[] = {
      {"Dir.INF", [&] { fw::qelPackage p; p.FilePath = folder_.Path(); p.LoadInf("Dir"); return "read"; },
       {"raised: Unable to read \"Dir.INF\"", "not a regular file"}},
      {"List.txt", [&] { fw::DataPack->SetFileExt(folder_.Path() + "\\List.txt"); return "read"; },
       {"raised: Unable to read ", "List.txt", "not a regular file"}},
      {"Data.PAK", [&] { return Picture("Pic.bmp"); }, {"raised: ", "Pic.bmp", "Data.PAK cannot be read"}},
      {"MissionPack.PAK", [&] { return Picture("Map.bmp", true); },
       {"raised: ", "Map.bmp", "MissionPack.PAK cannot be read"}},
      {"pic/Loose.bmp",
       [&] {
         plat::SurfacePtr s;
         fw::LoadPictureSurface(fw::AppPath + "\\pic\\Loose.bmp", s, fw::DDraw, 0, 0, false);
         return "loaded";
       },
       {"raised: Invalid picture: " + folder_.File("pic/Loose.bmp") + ": not a regular file"}},
      {"Skin.bmp", [&] { return Made(plat::LoadTextureFile(folder_.File("Skin.bmp")) != nullptr); }, {"refused"}},
      {"Tank.x",
       [&] {
         std::string error;
         return plat::xfile::Load(folder_.File("Tank.x"), &error) ? "loaded" : error;
       },
       {"cannot open ", "Tank.x", "not a regular file"}},
      {"Shot.wav", [&] { return Made(sound->CreateSoundBufferFromFile(folder_.File("Shot.wav"), {}, {}) != nullptr); },
       {"refused"}},
      {"Menu.mp3",
       [&] { return Made(plat::MediaGraph::RenderFile(folder_.File("Menu.mp3"), plat::MediaKind::Music) != nullptr); },
       {"refused"}},
      {"Intro.avi",
       [&] { return Made(plat::MediaGraph::RenderFile(folder_.File("Intro.avi"), plat::MediaKind::Film) != nullptr); },
       {"refused"}},
      // Sparse: holes the film probe would read to their end.
      {"Menu.mp3", [&] { fw::MediaPlay->PlayBackSound(3); return media(); }, {"skipped"},
       [&] { Sparse("Menu.mp3", "", kHugeMedia); }},
      {"Intro.avi", [&] { fw::MediaPlay->Load(nullptr); return media(); }, {"skipped"},
       [&] { Sparse("Intro.avi", filmHead, kHugeMedia); }},
      // Whole films with a sparse tail: the pictures play, then the tail is
      // the film's end.
      {"Intro.avi", filmThenButton([] { fw::MediaPlay->Load(nullptr); }), {"played, the button answered at pass 24"},
       [&] { Sparse("Intro.avi", SampleBytes("Intro.avi"), kHugeMedia); }},
      {"logo.avi", filmThenButton([] { fw::MediaPlay->PlayLogo(); }), {"played, the button answered at pass 24"},
       [&] { Sparse("logo.avi", SampleBytes("logo.avi"), kHugeMedia); }},
      // Sound at a film's name is played only up to its bound.
      {"Intro.avi", [&] { fw::MediaPlay->Load(nullptr); return media(); }, {"skipped"},
       [&] { Sparse("Intro.avi", SampleBytes("BG1.MP3"), kHugeMedia); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.name << ", row " << (&c - cases + 1));
    if (c.plant)
      c.plant();
    else
      Fifo(c.name);
    const std::optional<std::string> answer = fwtest::AnswerInChild(c.call);
    if (!answer) {
      ADD_FAILURE() << "no answer by the deadline: the call waited on what stands there";
      continue;
    }
    for (const std::string& part : c.says) EXPECT_NE(answer->find(part), std::string::npos) << *answer;
  }
}

// Sizes past a bound are sparse files of a byte more; files exactly at it
// are read where that is cheap.
TEST_F(FileReaders, AFileLargerThanItsKindIsRefusedByItsReaderBeforeItIsRead) {
  const std::string bmp = fwtest::BmpBytes(2, 2, 0x1000);
  const uint64_t picture = plat::kMostPictureBytes;
  Sparse("Data.PAK", bmp, fw::kMostMemberBytes + 1);
  OpenArchive(fw::DataPack, "Data",
              Entry("Big.bmp", picture + 1) + Entry("Fit.bmp", picture) + Entry("Huge.map", fw::kMostMemberBytes + 1));
  Sparse("MissionPack.PAK", bmp, picture + 1);
  OpenArchive(fw::MissionPack, "MissionPack", Entry("Big.bmp", picture + 1));
  std::string why;
  auto sound = plat::DirectSoundCreate("", &why);
  ASSERT_TRUE(sound) << why;
  const auto directory = [&](const std::string& name) {
    return [&, name] {
      fw::qelPackage p;
      p.FilePath = folder_.Path();
      p.LoadInf(name);
      return std::to_string(p.PackFiles->Count()) + " members";
    };
  };
  const auto loosePicture = [&](const std::string& name) {
    return [&, name] {
      plat::SurfacePtr s;
      fw::LoadPictureSurface(fw::AppPath + "\\pic\\" + name, s, fw::DDraw, 0, 0, false);
      return "loaded " + std::to_string(s->Width()) + "x" + std::to_string(s->Height());
    };
  };
  const auto raised = [](const std::function<std::string()>& call) {
    try {
      return call();
    } catch (const plat::RuntimeError& e) {
      return std::string("raised: ") + e.what();
    }
  };
  const struct {
    const char* what;
    std::function<void()> plant;
    std::function<std::string()> call;
    std::vector<std::string> says;
  } cases[] = {
      {"a directory past its bound", [&] { Sparse("Over.INF", Entry("a", 1), fw::kMostIndexBytes + 1); },
       directory("Over"), {"raised: Damaged archive directory \"Over.INF\"", kTooLarge}},
      {"a directory at its bound",
       [&] { folder_.Write("At.INF", Entry("a", 1) + std::string(fw::kMostIndexBytes - Entry("a", 1).size(), ' ')); },
       directory("At"), {"1 members"}},
      {"a companion list past the directory's bound", [&] { Sparse("List.txt", "", fw::kMostIndexBytes + 1); },
       [&] { fw::DataPack->SetFileExt(folder_.Path() + "\\List.txt"); return "read"; },
       {"raised: Damaged archive directory ", "List.txt", kTooLarge}},
      {"a loose picture past its bound", [&] { Sparse("pic/Over.bmp", bmp, picture + 1); }, loosePicture("Over.bmp"),
       {"raised: Invalid picture: " + folder_.File("pic/Over.bmp") + ": " + kTooLarge}},
      {"a loose picture past its bound, before an archive's",
       [&] { Sparse("pic/Over.bmp", bmp, picture + 1); }, [&] { return Picture("Over.bmp"); },
       {"raised: ", "Invalid picture: " + folder_.File("pic/Over.bmp") + ": " + kTooLarge}},
      {"a loose picture at its bound", [&] { Sparse("pic/At.bmp", bmp, picture); }, loosePicture("At.bmp"),
       {"loaded 2x2"}},
      {"a member picture past its bound", [] {}, [&] { return Picture("Big.bmp"); },
       {"raised: ", "Big.bmp in Data.PAK is " + kTooLarge}},
      {"a member picture at its bound", [] {}, [&] { return Picture("Fit.bmp"); }, {"loaded 2x2"}},
      {"a member picture past its bound, its copy kept", [] {}, [&] { return Picture("Big.bmp", true); },
       {"raised: ", "Big.bmp in MissionPack.PAK is " + kTooLarge}},
      {"a member read whole past the archive's bound", [] {},
       [&] {
         return fw::DataPack->ReadMember("Huge.map") ? std::string("read") : fw::DataPack->WhyUnreadable("Huge.map");
       },
       {"Huge.map in Data.PAK is " + kTooLarge}},
      {"a member copied out past the archive's bound", [] {},
       [&] {
         fw::DataPack->Extract("Huge.map");
         return Made(folder_.Exists("Huge.map"));
       },
       {"refused"}},
      {"a model past its bound", [&] { Sparse("Over.x", "xof 0302txt 0032\n", plat::xfile::kMaxFileBytes + 1); },
       [&] {
         std::string error;
         return plat::xfile::Load(folder_.File("Over.x"), &error) ? "loaded" : error;
       },
       {"the file is too large"}},
      {"a sound past its bound", [&] { Sparse("Over.wav", audiotest::Wav(0.05), plat::kMostSoundBytes + 1); },
       [&] { return Made(sound->CreateSoundBufferFromFile(folder_.File("Over.wav"), {}, {}) != nullptr); },
       {"refused"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.plant();
    const std::string answer = raised(c.call);
    for (const std::string& part : c.says) EXPECT_NE(answer.find(part), std::string::npos) << answer;
    fw::DataPack->RemoveTempFile();
    fw::MissionPack->RemoveTempFile();
  }
}

}  // namespace
