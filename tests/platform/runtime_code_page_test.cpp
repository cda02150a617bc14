// Text in the game's code page: conversions at the edges, byte rules that
// never split a double-byte character, case folding that spares them, and
// game names that meet UTF-8 file names on disk.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/runtime/code_page.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/keyed_collection.hpp"
#include "platform/runtime/strings.hpp"
#include "tests/common/test_support.hpp"

namespace {
// Code page bytes of a few texts, as the game's files hold them.
const std::string kChinese = "\xd6\xd0\xce\xc4";                          // 中文
const std::string kBell = "\xc2\xe0\xb3\xf5" "1.wav";                    // 锣初1.wav
const std::string kInstall = "\xd5\x88\xb0\xb2\xd1\x62";                 // 請安裝: trail bytes 0x88, 0xB2, 'b'
const std::string kBackslashTrail = "\xb0\x5c";                          // 癨: its second byte is a backslash
const std::string kUpperTrail = "\xd1\x42", kLowerTrail = "\xd1\x62";  // 袯 and 裝
}  // namespace

TEST(CodePage, ConvertsBothWaysAndSubstitutesWhatItCannot) {
  EXPECT_EQ(plat::ToUtf8(kChinese), "中文");
  EXPECT_EQ(plat::FromUtf8("锣初1.wav"), kBell);
  EXPECT_EQ(plat::FromUtf8(plat::ToUtf8(kInstall)), kInstall);
  EXPECT_EQ(plat::ToUtf8("plain ASCII"), "plain ASCII");
  // A lead byte at the end, a lead byte before a byte that cannot follow it,
  // and 0xFF: each becomes '?' and nothing after it is lost.
  EXPECT_EQ(plat::ToUtf8("A\xd6"), "A?");
  EXPECT_EQ(plat::ToUtf8("\xd6\x7f" "B"), "?\x7f" "B");
  EXPECT_EQ(plat::ToUtf8("\xff" "C" + kChinese), "?C中文");
  // Characters the code page lacks, and broken UTF-8.
  EXPECT_EQ(plat::FromUtf8("a\xf0\x9f\x98\x80" "b"), "a?b");
  EXPECT_EQ(plat::FromUtf8("x\xe4\xb8" "y"), "x?y");
  EXPECT_EQ(plat::FromUtf8("\xc3"), "?");
  EXPECT_TRUE(plat::ConvertsToUtf8(kInstall));
  EXPECT_TRUE(plat::ConvertsToUtf8("a?b"));
  EXPECT_FALSE(plat::ConvertsToUtf8("\xff"));
  // A long text crosses the converter's buffer.
  std::string longText;
  for (int i = 0; i < 500; ++i) longText += kChinese;
  EXPECT_EQ(plat::FromUtf8(plat::ToUtf8(longText)), longText);
}

TEST(CodePage, FixedWidthsNeverCutACharacter) {
  const std::string name = "ab" + kChinese;  // 6 bytes
  EXPECT_EQ(plat::CutToBytes(name, 6), name);
  EXPECT_EQ(plat::CutToBytes(name, 5), "ab\xd6\xd0");
  EXPECT_EQ(plat::CutToBytes(name, 3), "ab");
  EXPECT_EQ(plat::CutToBytes(name, 0), "");
  // A lone lead byte at the end is a byte of its own.
  EXPECT_EQ(plat::CutToBytes("ab\xd6", 3), "ab\xd6");
  EXPECT_EQ(plat::CharBytesAt(kInstall, 0), 2u);
  EXPECT_EQ(plat::CharBytesAt(kInstall, 5), 1u);  // from the middle: the trail alone
}

TEST(CodePage, CaseFoldingAndSearchesSpareDoubleByteCharacters) {
  // The second bytes 'B' and 'b' belong to two different characters.
  EXPECT_FALSE(plat::EqualNoCase(kUpperTrail, kLowerTrail));
  EXPECT_EQ(plat::UCase(kInstall + "x.bmp"), kInstall + "X.BMP");
  EXPECT_EQ(plat::LCase(kUpperTrail + "A"), kUpperTrail + "a");
  EXPECT_TRUE(plat::EqualNoCase(kBell, "\xc2\xe0\xb3\xf5" "1.WAV"));
  // A search finds whole characters only.
  EXPECT_EQ(plat::InStrNoCase(kInstall, "b"), 0u);
  EXPECT_EQ(plat::InStrNoCase(kInstall + "b", "B"), 7u);
  EXPECT_EQ(plat::InStrNoCase("x" + kChinese, kChinese), 2u);
  EXPECT_EQ(plat::FindLastChar("pic\\" + kBackslashTrail + ".bmp", '\\'), 3u);
  EXPECT_EQ(plat::FindLastChar(kBackslashTrail, '\\'), std::string::npos);
  // Keys of a keyed collection are told apart the same way.
  plat::KeyedCollection<int> c;
  EXPECT_TRUE(c.Add(std::make_shared<int>(1), kUpperTrail));
  EXPECT_TRUE(c.Add(std::make_shared<int>(2), kLowerTrail));
  EXPECT_EQ(*c.Find(kLowerTrail), 2);
}

TEST(CodePage, KeyPressCodesCarryDoubleByteCharactersWhole) {
  const std::vector<int16_t> codes = plat::KeyAsciiCodes("a中1");
  ASSERT_EQ(codes.size(), 3u);
  EXPECT_EQ(codes[0], 'a');
  EXPECT_EQ(static_cast<uint16_t>(codes[1]), 0xD6D0);
  EXPECT_LT(codes[1], 0);  // as the runtime reports it
  EXPECT_EQ(codes[2], '1');
  std::string typed;
  for (int16_t code : plat::KeyAsciiCodes("中文")) typed += plat::KeyAsciiText(code);
  EXPECT_EQ(typed, kChinese);
  EXPECT_EQ(plat::KeyAsciiText(0), "");
  EXPECT_EQ(plat::KeyAsciiCodes("\xf0\x9f\x98\x80"), std::vector<int16_t>{'?'});
}

TEST(CodePage, GameNamesStandOnDiskInUtf8) {
  fwtest::TempProgramFolder dir;
  dir.Write("pic/锣初1.wav", "bell");
  // The game names the file in its code page, the folder in any case.
  const std::string game = dir.Path() + "\\PIC\\" + kBell;
  EXPECT_TRUE(plat::FileExists(game));
  EXPECT_EQ(plat::NativePath(game), dir.File("pic/锣初1.wav"));
  EXPECT_EQ(plat::Dir(game), kBell);
  EXPECT_EQ(plat::ListFiles(dir.Path() + "\\pic"), std::vector<std::string>{kBell});
  // A new file is created under its UTF-8 name.
  ASSERT_TRUE(plat::WriteFile(dir.Path() + "\\" + kInstall + ".txt", "x", 1));
  EXPECT_TRUE(dir.Exists("請安裝.txt"));
  // A backslash as a character's second byte separates nothing.
  ASSERT_TRUE(plat::WriteFile(dir.Path() + "\\" + kBackslashTrail, "y", 1));
  EXPECT_TRUE(dir.Exists("癨"));
  EXPECT_TRUE(plat::RemoveFile(dir.Path() + "\\" + kBackslashTrail));
  EXPECT_FALSE(dir.Exists("癨"));
}

TEST(CodePage, AProgramFolderNamedInUtf8StaysAsItIs) {
  fwtest::TempProgramFolder dir;
  // Its last character's final byte and the backslash after it would pair
  // as a double-byte character if the folder were read as game text.
  const std::string folder = dir.Path() + "/遊戲";
  std::filesystem::create_directories(folder + "/save");
  plat::SetProgramFolder(folder);
  EXPECT_EQ(plat::NativePath(folder + "\\save\\user1.DAT"), folder + "/save/user1.DAT");
  EXPECT_EQ(plat::NativePath(folder + "\\" + kChinese), folder + "/中文");
  plat::SetProgramFolder(dir.Path());
  // Outside the program folder, a path the system spells also resolves.
  EXPECT_EQ(plat::NativePath(folder + "/save"), folder + "/save");
}
