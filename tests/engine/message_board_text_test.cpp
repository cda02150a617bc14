// The question box's text read whole: wrapped inside the board, which grows
// in height to hold it, for the longest message any caller passes.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "engine/form_board.hpp"
#include "engine/message_box.hpp"
#include "platform/input/window.hpp"
#include "tests/engine/display_support.hpp"
#include "platform/runtime/compiler_false_alarms.hpp"
#include "platform/runtime/files.hpp"

namespace {

// The board picture of the sample data: 420 x 50.
constexpr int kBoardW = 420, kBoardH = 50;
constexpr uint16_t kRed = 0xF800, kBackground = 0x1111;

// The text's characters but its blanks: a line break takes blanks only.
std::string Unblanked(const std::string& text) {
  std::string s;
  for (const char c : text)
    if (c != ' ') s += c;
  return s;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l;
  return Unblanked(s);
}

// The layout's promises: every word there in order, every line inside the
// board's margins in the font it is drawn in, the board within the screen.
void ExpectWholeInside(const fw::BoardText& t, const std::string& text) {
  EXPECT_FALSE(t.cut);
  EXPECT_EQ(Joined(t.lines), Unblanked(text));
  plat::Surface measure(1, 1);
  measure.SetFont(t.font);
  for (const std::string& l : t.lines) EXPECT_LE(measure.Utf8TextWidth(l), t.width) << l;
  EXPECT_EQ(t.width, kBoardW - 40);
  EXPECT_EQ(t.height, kBoardH + static_cast<int32_t>(t.lines.size() - 1) * t.step);
  EXPECT_LE(100 + t.height, 480);
}

class MessageBoardText : public fwtest::DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    MakeArchive(fw::DataPack, "Data", {{"訊息框.bmp", fwtest::BmpBytes(kBoardW, kBoardH, 0x2222)}});
  }
  void TearDown() override {
    plat::SetTestDriver(nullptr);
    if (fw::Board.Exists()) fw::Board->Unload();
    fw::Board.Release();
    DisplayTest::TearDown();
  }
  // The text shown in the box on a plain screen, answered at once.
  static bool ShownInRed(const std::string& text) {
    if (!fw::Board->Show()) return false;
    fw::GameState = 0;
    fw::Primary->BltColorFill(nullptr, kBackground);
    plat::SetTestDriver([] {
      plat::AdvanceClock(100);
      plat::PushKeyStroke('N');
    });
    fw::ShowMessageBox(text, plat::RGB(255, 0, 0));
    return true;
  }
  static fw::BoardText Layout(const std::string& text) {
    return fw::LayOutBoardText(plat::Font{"Arial", 12.0f, false}, kBoardW, kBoardH, text);
  }
};

TEST_F(MessageBoardText, ALongMessageIsDrawnWholeInsideTheGrownBoard) {
  std::string text;
  FW_LIBRARY_FALSE_ALARM_BEGIN("-Wrestrict")
  for (int i = 1; text.size() < 300; ++i) text += (i > 1 ? " " : "") + std::string("word") + std::to_string(i);
  FW_LIBRARY_FALSE_ALARM_END
  text.resize(300);
  while (text.back() == ' ') text.pop_back();
  const fw::BoardText t = Layout(text);
  ExpectWholeInside(t, text);
  ASSERT_GE(t.lines.size(), 4u);
  // Words are broken only where a blank stood.
  std::string rejoined;
  for (const std::string& l : t.lines) rejoined += (rejoined.empty() ? "" : " ") + l;
  EXPECT_EQ(rejoined, text);
  EXPECT_EQ(t.font.Size, 12.0f);

  ASSERT_TRUE(ShownInRed(text));
  const plat::Surface& screen = *fw::Primary;
  // Ink only between the board's margins, and some on every line.
  const int left = 190 + t.x, right = left + t.width, top = 100 + t.y, bottom = 100 + t.height;
  std::vector<int> inkPerLine(t.lines.size());
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      if (screen.Row(y)[x] != kRed) continue;
      ASSERT_TRUE(x >= left && x < right && y >= top && y < bottom) << x << "," << y;
      ++inkPerLine[static_cast<size_t>(std::min<int>((y - top) / t.step, static_cast<int>(t.lines.size()) - 1))];
    }
  for (size_t i = 0; i < t.lines.size(); ++i) EXPECT_GT(inkPerLine[i], 20) << "line " << i;
  // The board runs the whole height, its bottom edge below the last line,
  // and nothing of the screen around it changed.
  for (int x = 0; x < kBoardW; ++x) {
    EXPECT_EQ(screen.Row(bottom - 1)[190 + x], fwtest::Shade(0x2222, x, kBoardH - 1)) << x;
    EXPECT_EQ(screen.Row(bottom)[190 + x], kBackground) << x;
  }
  // A short question after it: the board's own height again.
  fw::ShowMessageBox("Are you sure to exit? (Y/n)", plat::RGB(255, 0, 0));
  EXPECT_EQ(fw::MsgBoard.TextSurface->Height(), kBoardH);
  EXPECT_EQ(fw::MsgBoard.TextSurface->GetFont().Size, 12.0f);
}

// Each message the game passes to the box, in its longest form: numbers at
// their largest, the profiles' own file names, and every name a data file or
// the system supplies at 255 bytes (the longest file name the system keeps)
// of the widest letter.
TEST_F(MessageBoardText, TheLongestFormOfEveryMessageFits) {
  const std::string max = std::to_string(INT_MAX);
  const std::string name(255, 'W');
  // A step holds User.INI and, at most, every profile's goods. The longest
  // failures of such steps are laid out from real saves with the goods.
  const std::string files = "User.INI, user1.DAT, user2.DAT, user3.DAT, user4.DAT, user5.DAT and user6.DAT";
  const std::vector<std::string> messages = {
      // The profile screen's questions and what it tells.
      "Are you sure to exit? (Y/n)",
      "Are you sure to delete it? (y/N)",
      "Do you want to give up the alteration? (Y/N)",
      "User.INI held numbers no game writes in 6 profiles: they were set back to the start.",
      "Unable to Read user6.DAT: it is kept aside at the next save.",
      max + " lines of user6.DAT cannot be read and are left out: the file is kept aside at the next save.",
      "Unable to keep the damaged user6.DAT aside (every name user6.DAT.damaged-1 to -999 is taken): nothing was saved",
      "Unable to Save " + files + ": SaveJournal.bin in the game folder is a folder, not a file",
      // The end screen's, the set-up screen's and the battle's saves.
      "Unable to Save \\Default.cfg",
      "Unable to Save \\Default.cfg: /" + name + ": Permission denied",
      "Unable to Save \\Default.cfg: No space left on device; Default.cfg changed since the game read it and is kept "
      "aside as Default.cfg.changed-999",
      "save/user6.DAT is kept aside as save/user6.DAT.damaged-999, but its folder could not be synced (save: "
      "Input/output error): nothing was saved",
      // The factory.
      "One Tank Needed At Least!",
      "The factory cannot be shown: Load File:" + name + " Faild",
      // The network lobby and battle.
      "Network lobby: Load File:" + name + " Faild",
      "Please arm your tank first.",
      // The campaign battle's loading.
      name + ", line " + max + ": the terrain area " + max + " lies wholly outside the map",
      name + ", line " + max + ": the picture \"" + name + "\" of building type \"" + name + "\" cannot be loaded",
      name + ", line " + max + ": the picture \"" + name + "\" of template \"" + name + "\" is not in the catalogue",
      name + ", line " + max + ": the building type \"" + name + "\" has no frames",
      name + ", line " + max + ": the tile picture \"" + name + "\" cannot be loaded",
      name + ": missing from the archive " + name,
      "the land mask holds " + std::to_string(LLONG_MAX) + " bytes instead of " + std::to_string(LLONG_MAX),
      "the received building \"" + name + "\" stands off the map",
      "Weapon.ini: the picture " + name + " cannot be loaded",
      "Mission " + max + " is not in this campaign yet.",
  };
  for (const std::string& m : messages) {
    SCOPED_TRACE(m);
    ExpectWholeInside(Layout(m), m);
  }
}

TEST_F(MessageBoardText, ATextTooLongForTheScreenIsCutAtItsLastLine) {
  const std::string text(20000, 'W');
  const fw::BoardText t = Layout(text);
  EXPECT_TRUE(t.cut);
  EXPECT_EQ(t.font.Size, 8.0f);
  EXPECT_LE(100 + t.height, 480);
  EXPECT_GT(100 + t.height + t.step, 480);
  EXPECT_EQ(t.lines.back().substr(t.lines.back().size() - 3), "...");
  plat::Surface measure(1, 1);
  measure.SetFont(t.font);
  for (const std::string& l : t.lines) EXPECT_LE(measure.Utf8TextWidth(l), t.width);
}

// The system names files in UTF-8, and the board draws them so: a folder
// whose name has letters the game's code page lacks, and Chinese ones, is
// spelt on the board as on the disk, each line inked as that line's UTF-8
// text and nothing else.
TEST_F(MessageBoardText, TheSystemsNamesAreDrawnAsTheyAreSpelt) {
  const std::string folder = "/home/spieler/Fremd-\u00d6rdner-\u5916\u90e8";
  const std::string text =
      "Unable to Save User.INI and save/user2.DAT: " + folder + "/Spiele-\u00dcber-\u904a\u6232: Permission denied";
  const fw::BoardText t = Layout(text);
  ExpectWholeInside(t, text);
  ASSERT_GE(t.lines.size(), 2u);
  ASSERT_TRUE(ShownInRed(text));
  EXPECT_EQ(fwtest::BoardMisspellings(text, plat::RGB(255, 0, 0)), 0);
}

}  // namespace
