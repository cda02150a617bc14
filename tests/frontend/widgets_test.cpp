#include <gtest/gtest.h>

#include <memory>

#include "frontend/widgets/ansi_text.hpp"
#include "frontend/widgets/list_box.hpp"
#include "frontend/widgets/scroll_bar.hpp"
#include "frontend/widgets/text_box.hpp"
#include "platform/display/surface.hpp"
#include "platform/runtime/error.hpp"

namespace {

using fw::RECT;

// Two code-page characters of two bytes each.
const std::string kWide1 = "\xB0\xA1";
const std::string kWide2 = "\xD6\xD0";
constexpr int16_t kWideCode = static_cast<int16_t>(0xB0A1);

std::shared_ptr<plat::DirectDraw> Display() { return std::make_shared<plat::DirectDraw>(); }

fw::qelListBox ListOf(int rows, int height = 352) {
  fw::qelListBox list;
  list.Init(Display());
  list.DesRECT(RECT{10, 20, 210, 20 + height});
  for (int i = 1; i <= rows; ++i) list.Add("row " + std::to_string(i), "");
  return list;
}

TEST(ListBox, RowHeightAndVisibleRowsFollowTheFont) {
  for (auto [size, height] : {std::pair{12.0f, 16}, {9.0f, 12}, {10.0f, 13}}) {
    fw::qelListBox list;
    list.Font.Size = size;
    list.Init(Display());
    list.DesRECT(RECT{0, 0, 100, 352});
    EXPECT_EQ(list.TextHeight, height) << size;
  }
  EXPECT_EQ(ListOf(0).MaxCol, 21);
  // Lower than one row: no row is shown and none can be picked.
  fw::qelListBox low = ListOf(3, 10);
  EXPECT_EQ(low.MaxCol, -1);
  EXPECT_EQ(low.Click(20, 22), 0);
}

TEST(ListBox, ScrollingStopsAtBothEnds) {
  fw::qelListBox shortList = ListOf(5);
  shortList.Scroll(true);
  EXPECT_EQ(shortList.ListIndex, 1);
  fw::qelListBox list = ListOf(30);
  for (int i = 0; i < 20; ++i) list.Scroll(true);
  EXPECT_EQ(list.ListIndex, 9);
  for (int i = 0; i < 20; ++i) list.Scroll(false);
  EXPECT_EQ(list.ListIndex, 1);
  fw::qelListBox empty = ListOf(0);
  empty.Scroll(false);
  empty.Scroll(true);
  EXPECT_EQ(empty.ListIndex, 1);
}

TEST(ListBox, ClickSelectsTheRowUnderThePointAndKeepsItOnScroll) {
  fw::qelListBox list = ListOf(30);
  EXPECT_EQ(list.Click(50, 20 + 16 * 2 + 3), 3);
  list.Scroll(true);
  list.Scroll(true);
  EXPECT_EQ(list.SelectedItem, 3);  // the selection is a row, not a place on screen
  EXPECT_EQ(list.Click(50, 20), 3);  // the first visible row is now row 3
  // The bottom edge lies below the last visible row.
  EXPECT_EQ(list.Click(50, 20 + 352), 0);
  EXPECT_EQ(list.Click(5, 30), 0);  // beside the list clears the selection too
  EXPECT_EQ(list.SelectedItem, 0);

  fw::qelListBox few = ListOf(2);
  EXPECT_EQ(few.Click(50, 20 + 16 * 5), 0);  // below the last row
  fw::qelListBox empty = ListOf(0);
  empty.SelectedItem = 4;
  EXPECT_EQ(empty.Click(50, 25), 0);
  EXPECT_EQ(empty.SelectedItem, 0);
}

TEST(ListBox, RemovingRowsKeepsOrClearsTheSelection) {
  fw::qelListBox list = ListOf(4);
  list.SelectedItem = 4;
  list.Remove(4);
  EXPECT_EQ(list.SelectedItem, 0);
  list.SelectedItem = 2;
  list.Remove(1);
  EXPECT_EQ(list.SelectedItem, 2);
  EXPECT_EQ(list.Item(2)->Text, "row 3");
  EXPECT_EQ(list.Item(2)->Index, 3);  // indexes are never renumbered
  list.ListIndex = 5;
  list.RemoveAll();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.SelectedItem, 0);
  EXPECT_EQ(list.ListIndex, 5);
  list.SelectedItem = 7;
  list.RemoveAll();  // an empty list changes nothing
  EXPECT_EQ(list.SelectedItem, 7);
  EXPECT_THROW(list.Remove(1), plat::RuntimeError);
}

TEST(ListBox, KeysAndPlacementFollowTheCollection) {
  fw::qelListBox list = ListOf(0);
  list.Add("a", "A");
  list.Add("c", "C");
  list.Add("b", "B", 2);
  list.Add("d", "", 0, 3);
  EXPECT_EQ(list.Item(2)->Text, "b");
  EXPECT_EQ(list.Item(4)->Text, "d");
  EXPECT_EQ(list.Item("c")->Text, "c");
  EXPECT_THROW(list.Add("again", "a"), plat::RuntimeError);
  EXPECT_THROW(list.Item("none"), plat::RuntimeError);
}

TEST(ListBox, DrawsTheBackgroundAndTheSelectedBandOnly) {
  fw::qelListBox list = ListOf(3);
  list.BackColor = plat::RGB(0, 0, 255);
  list.SelectColor = plat::RGB(255, 0, 0);
  list.DesRECT(RECT{10, 20, 210, 372});  // the key follows BackColor as it was then
  auto target = std::make_shared<plat::Surface>(640, 480);
  target->BltColorFill(nullptr, 0x07E0);
  list.SelectedItem = 2;
  list.Blt(target, plat::DDBLT_WAIT | plat::DDBLT_KEYSRC);
  // The background is keyed out; the band of row 2 shows at its place.
  EXPECT_EQ(target->Row(20 + 5)[150], 0x07E0);
  EXPECT_EQ(target->Row(20 + 16 + 5)[150], plat::ColorTo565(plat::RGB(255, 0, 0)));
  EXPECT_EQ(target->Row(20 + 32 + 5)[150], 0x07E0);
  // Scrolled out of view, the band is not drawn anywhere.
  list.ListIndex = 3;
  target->BltColorFill(nullptr, 0x07E0);
  list.Blt(target, plat::DDBLT_WAIT | plat::DDBLT_KEYSRC);
  EXPECT_EQ(target->Row(20 + 5)[150], 0x07E0);
}

// A sheet whose cells are filled with their own number, so a drawn cell
// can be told from its pixels.
plat::SurfacePtr NumberedSheet() {
  auto sheet = std::make_shared<plat::Surface>(40, 160);
  for (int cell = 1; cell <= 16; ++cell) {
    const RECT r{((cell - 1) % 2) * 20, ((cell - 1) / 2) * 20, ((cell - 1) % 2) * 20 + 20, ((cell - 1) / 2) * 20 + 20};
    sheet->BltColorFill(&r, static_cast<uint16_t>(cell * 100));
  }
  return sheet;
}

fw::qelScrollBarClass VerticalBar() {
  fw::qelScrollBarClass bar;
  bar.Init(RECT{0, 0, 16, 100}, Display());
  bar.SetBackClip(NumberedSheet(), 2, 8);
  bar.Min = 0;
  bar.Max = 10;
  bar.Value = 0;
  return bar;
}

TEST(ScrollBar, ArrowsAndTrackSetTheValueWithinItsRange) {
  fw::qelScrollBarClass bar = VerticalBar();
  EXPECT_EQ(bar.Click(8, 8), 1);
  EXPECT_EQ(bar.Value, 0);  // never below Min
  EXPECT_EQ(bar.Click(8, 95), 2);
  EXPECT_EQ(bar.Value, 1);
  EXPECT_EQ(bar.Click(8, 50), 3);
  EXPECT_EQ(bar.Value, 5);  // Int((50 - 16) * 11 / 68)
  bar.Value = 10;
  bar.Click(8, 99);
  EXPECT_EQ(bar.Value, 10);  // never above Max
  bar.Value = 42;
  EXPECT_EQ(bar.Click(100, 50), 0);  // outside: only clamped
  EXPECT_EQ(bar.Value, 10);

  fw::qelScrollBarClass volume;
  volume.Init(RECT{20, 47, 240, 67}, Display());
  volume.HScroll = false;
  volume.Max = 10;
  volume.Value = 0;
  EXPECT_EQ(volume.Click(25, 55), 1);
  EXPECT_EQ(volume.Value, 1);  // a volume bar's Min is 1
  EXPECT_EQ(volume.Click(130, 55), 3);
  EXPECT_EQ(volume.Value, 6);  // Int((130 - 20 - 20) * 10 / 180) + 1
}

TEST(ScrollBar, APressedArrowShowsForOneFrameAndTheThumbNeverVanishes) {
  fw::qelScrollBarClass bar = VerticalBar();
  auto target = std::make_shared<plat::Surface>(640, 480);
  bar.Click(8, 8);
  bar.Blt(target, plat::DDBLTFAST_WAIT);
  EXPECT_EQ(target->Row(5)[5], 200);  // cell 2: the first arrow pressed
  bar.Blt(target, plat::DDBLTFAST_WAIT);
  EXPECT_EQ(target->Row(5)[5], 100);
  bar.Max = 1000000;
  bar.Value = 0;
  bar.Blt(target, plat::DDBLTFAST_WAIT);
  EXPECT_EQ(target->Row(16)[5], 700);  // the thumb, at least 2 pixels long
  EXPECT_EQ(target->Row(17)[5], 700);
  EXPECT_EQ(target->Row(18)[5], 500);  // then the track
}

TEST(TextBox, TypingStaysWithinItsByteLimitWithoutSplittingACharacter) {
  fw::qelTextBox box;
  int16_t a = 'a', wide = kWideCode, bs = 8, esc = 27, enter = 13;
  box.KeyPress(a);
  EXPECT_EQ(box.Text, "");  // MaxLen 0 accepts nothing
  box.MaxLen = 4;
  box.Text = kWide1 + kWide2;
  box.KeyPress(a);
  EXPECT_EQ(box.Text, kWide1 + kWide2);
  box.Text = kWide1 + "a";
  box.KeyPress(wide);  // 3 bytes: a double-byte character would pass 4
  EXPECT_EQ(box.Text, kWide1 + "a");
  box.KeyPress(a);
  EXPECT_EQ(box.Text, kWide1 + "aa");
  box.Text = "a" + kWide1;
  box.KeyPress(bs);
  EXPECT_EQ(box.Text, "a");
  box.KeyPress(bs);
  box.KeyPress(bs);
  EXPECT_EQ(box.Text, "");
  box.KeyPress(wide);
  EXPECT_EQ(box.Text, kWide1);
  for (int16_t ignored : {37, 39, 36, 35, 46}) box.KeyPress(ignored);
  EXPECT_EQ(box.Text, kWide1);
  box.InputMode = true;
  box.KeyPress(esc);
  EXPECT_EQ(box.Text, "");
  EXPECT_TRUE(box.InputMode);
  box.Text = "x";
  box.KeyPress(enter);
  EXPECT_EQ(box.Text, "x");
  EXPECT_FALSE(box.InputMode);
}

TEST(TextBox, AClickSwitchesTheHighlightOnInsideAndOffElsewhere) {
  fw::qelTextBox box;
  box.DesRECT(RECT{150, 55, 250, 70});
  box.Text = "WWWW";
  box.ForeColor = plat::RGB(255, 255, 255);
  box.BackColor = plat::RGB(0, 200, 0);
  auto target = std::make_shared<plat::Surface>(640, 480);
  auto brightest = [&] {
    uint16_t best = 0;
    for (int y = 55; y < 75; ++y)
      for (int x = 150; x < 200; ++x) best = std::max(best, target->Row(y)[x]);
    return best;
  };
  EXPECT_TRUE(box.Click(250, 70));  // edges count as inside
  box.Blt(target);
  EXPECT_EQ(brightest(), 0xFFFF);
  EXPECT_FALSE(box.Click(251, 70));
  target->BltColorFill(nullptr, 0);
  box.Blt(target);
  EXPECT_EQ(brightest(), plat::ColorTo565(plat::RGB(0, 200, 0)));
}

TEST(AnsiText, TheLastCharacterIsFoundFromTheFront) {
  // Two double-byte characters, the second with an ASCII trail byte: read
  // backwards, the "A" would look like a character of its own.
  std::string s = "\xA1\xB0\xA1" "A";
  fw::RemoveLastAnsiChar(s);
  EXPECT_EQ(s, "\xA1\xB0");
  EXPECT_EQ(fw::AnsiLength(s), 2);
  fw::RemoveLastAnsiChar(s);
  EXPECT_EQ(s, "");
  EXPECT_EQ(fw::AnsiCharLength(kWideCode), 2);
  EXPECT_EQ(fw::AnsiCharLength('a'), 1);
}

}  // namespace
