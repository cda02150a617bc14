// A start that stops before the game's window opens (a second copy in the
// same folder, a last save it must wait for) shows why in a box of the
// game's own window where a display is there, waits for it to be answered,
// and ends with status 1; without a display it only says so on standard
// error and ends at once. Every message names files and folders as the
// system spells them, in the box and on standard error alike.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/startup.hpp"
#include "platform/display/message_box.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/code_page.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/save_together.hpp"
#include "tests/common/test_support.hpp"

namespace {

// NoSplash stops once the game's own window shows, with an error that
// reaches Main; SaveStuck waits on a last save that can be neither
// finished nor kept aside.
enum class Stop { SecondCopy, SaveWaits, SaveStuck, NoSplash };
// SDL's dummy driver stands for a display where boxes wait on it, as the
// platform's box tests drive it; as the suites run it is no display.
enum class Display { Reached, None, DummyAsInTests };

// The message line standard error holds, "" when none.
std::string Said(const std::string& file) {
  const std::string all = plat::ReadAllText(file).value_or("");
  const std::string title = "Ferrowind: ";
  const size_t at = all.rfind(title);
  if (at == std::string::npos) return "";
  const size_t end = all.find('\n', at);
  return all.substr(at + title.size(), end == std::string::npos ? std::string::npos : end - at - title.size());
}

// Runs Main with standard error in `saidFile`, answering a box at its third
// look; its status when a box showed where a display is reached, and none
// elsewhere, otherwise a status of its own with the reason on standard
// error, which gets what Main wrote as well.
int StartAndAnswer(Stop stop, Display display, const std::function<void(const plat::RECT&)>& answer,
                   const std::string& saidFile) {
  const bool ownWindow = stop == Stop::NoSplash;  // the game's, which stays until the program ends
  if (display == Display::None) {
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
  }
  // Even boxes that would wait find nothing to open without a display.
  plat::SetMessageBoxesWaitHeadless(display != Display::DummyAsInTests);
  plat::Window& w = plat::Window::Instance();
  int looks = 0;
  bool openAtFirstLook = false, boxAsPrinted = false;
  plat::RECT ok{};
  plat::SetTestDriver([&] {
    ++looks;
    if (looks == 1) {
      openAtFirstLook = w.IsOpen();
      plat::Surface expected(plat::kFrameWidth, plat::kFrameHeight);
      ok = plat::DrawMessageBox(expected, Said(saidFile));
      const uint16_t* box = expected.Pixels();
      boxAsPrinted = w.LastFrame() == std::vector<uint16_t>(box, box + w.LastFrame().size());
    }
    if (looks == 3) answer(ok);
    if (looks > 100) plat::PushKeyStroke(13);  // never answered: let the test end
  });
  const int keptErr = dup(2);
  const int said = open(saidFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(said, 2);
  close(said);
  const int status = fw::Main();
  dup2(keptErr, 2);
  close(keptErr);
  plat::SetTestDriver(nullptr);
  std::fputs(plat::ReadAllText(saidFile).value_or("").c_str(), stderr);
  if (w.IsOpen() && !ownWindow) return std::fputs("the window stayed open\n", stderr), 20;
  if (display != Display::Reached)
    return looks == 0 || ownWindow ? status : (std::fprintf(stderr, "a box waited for %d looks\n", looks), 21);
  if (!openAtFirstLook) return std::fputs("no window showed the box\n", stderr), 22;
  if (!boxAsPrinted) return std::fputs("the window did not show the box with the printed text\n", stderr), 23;
  if (looks < 3 || looks > 5)
    return std::fprintf(stderr, "the box closed at look %d, not on the answer at 3\n", looks), 24;
  return status;
}

TEST(StartBox, AStartThatStopsShowsWhyInTheGamesWindowWhereADisplayIsThere) {
  const std::string refused =
      "Ferrowind is already running from this folder\\. Start the second copy from a copy of the folder, made while "
      "the game is closed\\.";
  // Letters the game's code page lacks (Ü) beside ones it has (遊戲).
  const std::string spelt = "Spiele-Über-遊戲";
  const auto enter = [](const plat::RECT&) { plat::PushKeyStroke(13); };
  const auto clickOk = [](const plat::RECT& ok) { plat::PushMouseUp(1, ok.Left + 5.0f, ok.Top + 5.0f); };
  const auto quitSignal = [](const plat::RECT&) { std::raise(SIGTERM); };
  const struct {
    const char* what;
    Stop stop;
    Display display;
    std::function<void(const plat::RECT&)> answer;
    std::string folderName = "";  // the game folder's own name, where the row gives one
  } cases[] = {
      {"a second copy, Enter", Stop::SecondCopy, Display::Reached, enter},
      {"a second copy, a quit signal", Stop::SecondCopy, Display::Reached, quitSignal},
      {"a save to wait for, a click on OK", Stop::SaveWaits, Display::Reached, clickOk},
      {"a second copy, no display", Stop::SecondCopy, Display::None, enter},
      {"a save to wait for, no display", Stop::SaveWaits, Display::None, enter},
      {"a save to wait for, the dummy driver as the suites run", Stop::SaveWaits, Display::DummyAsInTests,
       enter},
      {"a save to wait for in a folder named as spelt, Enter", Stop::SaveWaits, Display::Reached, enter, spelt},
      {"a save to wait for in a folder named as spelt, no display", Stop::SaveWaits, Display::None, enter, spelt},
      {"a save neither finished nor kept aside in a folder named as spelt, Enter", Stop::SaveStuck, Display::Reached,
       enter, spelt},
      {"no splash in a folder named as spelt, the dummy driver as the suites run", Stop::NoSplash,
       Display::DummyAsInTests, enter, spelt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fwtest::TempProgramFolder dir;
    const std::string in = c.folderName.empty() ? "" : c.folderName + "/";
    const std::string folder = c.folderName.empty() ? dir.Path() : dir.File(c.folderName);
    std::filesystem::create_directories(folder);
    plat::SetProgramFolder(folder);
    const std::string journal(plat::kSaveJournalName);
    int held = -1;
    if (c.stop == Stop::SecondCopy) {
      // The first game's lock, which the forked start inherits and meets.
      held = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    } else if (c.stop == Stop::SaveWaits) {
      // User.INI is new already and the goods cannot be written: a folder
      // stands at their name.
      dir.Write(in + "User.INI", std::string(384, 'p'));
      std::filesystem::create_directories(dir.File(in + "save/user1.DAT"));
      dir.Write(in + journal,
                plat::EncodeSaveJournal({{"User.INI", std::string(384, 'p')}, {"save/user1.DAT", "goods"}}));
    } else if (c.stop == Stop::SaveStuck) {
      // No save of the game's, and every name to keep it under is taken.
      dir.Write(in + journal, plat::EncodeSaveJournal({{"Notes.txt", "the player's"}}));
      for (int n = 1; n <= 999; ++n) dir.Write(in + journal + ".unfinished-" + std::to_string(n), "");
    }
    const std::string saidFile = dir.File("said.txt");
    EXPECT_EXIT(std::exit(StartAndAnswer(c.stop, c.display, c.answer, saidFile)), ::testing::ExitedWithCode(1),
                c.stop == Stop::SecondCopy ? refused : "Ferrowind: ");
    // The box showed what standard error has (StartAndAnswer compares them).
    if (!c.folderName.empty()) {
      const std::string told = c.stop == Stop::NoSplash    ? "File not found: \"create(GB).jpg\" in " + folder + "\n"
                               : c.stop == Stop::SaveStuck ? "nor kept aside (every name " + journal +
                                                                 ".unfinished-1 to -999 is taken): the game starts once "
                                                                 "the kept " + journal +
                                                                 ".unfinished files are moved out of the game folder " +
                                                                 folder + ".\n"
                                                           : "the game folder " + folder;
      EXPECT_NE(plat::ReadAllText(saidFile).value_or("").find(told), std::string::npos) << Said(saidFile);
    }
    if (held >= 0) close(held);
    EXPECT_EQ(dir.Exists(in + journal), c.stop == Stop::SaveWaits || c.stop == Stop::SaveStuck)
        << "a start that waits leaves the journal";
  }
}

// The box draws the letters of the UTF-8 it is given: the same glyphs as
// the game's own text of those letters, never its bytes read again as the
// code page.
TEST(StartBox, TheBoxDrawsTheLettersItIsGiven) {
  const std::string letters = "遊戲";  // in the code page too, so the game's text can draw them
  plat::Surface box(plat::kFrameWidth, plat::kFrameHeight), expected(plat::kFrameWidth, plat::kFrameHeight);
  plat::DrawMessageBox(box, letters);
  plat::DrawMessageBox(expected, "");
  expected.SetFont("Arial", 12.0f, false);
  expected.SetForeColor(plat::RGB(230, 230, 230));
  expected.DrawText(220, 207, plat::FromUtf8(letters));  // where the smallest box holds its one line
  EXPECT_TRUE(std::equal(box.Pixels(), box.Pixels() + 640 * 480, expected.Pixels()));
}

}  // namespace
