#include <gtest/gtest.h>

#include <cerrno>

#include "engine/key_config.hpp"
#include "frontend/setup_menu.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/text_records.hpp"
#include "tests/frontend/screen_support.hpp"

namespace {

using namespace fwtest;

constexpr int kSlideIn = 80;
// Page 1 buttons at y 120, 190, 260; the key page's OK at (540, 400); key
// field i at (150 or 385, 45 row + 10).
Step ClickKeyButton() { return Click(320, 148); }
Step ClickSoundButton() { return Click(320, 218); }
Step ClickSave() { return Click(320, 288); }
Step ClickField(int i) { return Click(i <= 9 ? 200.0f : 435.0f, 45.0f * (i <= 9 ? i : i - 9) + 17); }
Step ClickKeyPageOk() { return Click(580, 420); }
constexpr int16_t kVkW = 87, kVkQ = 81, kVkUp = 38;

class SetupMenu : public ScreenTest {
 protected:
  std::shared_ptr<fw::FrmSetupMenuClass> screen = std::make_shared<fw::FrmSetupMenuClass>();
  void SetUp() override {
    ScreenTest::SetUp();
    // These start from a program folder without settings: whether the screen
    // writes one is what they look at.
    std::filesystem::remove(folder_.File("Default.cfg"));
    fw::KeyTable[fw::KEY_FORWARD] = kVkUp;
    fw::SoundVol = 4;
    fw::MusicVol = 7;
  }
  Step OnPage(int page) {
    return Until([this, page] { return screen->Page() == page; });
  }
  Step Waiting(bool yes) {
    return Until([this, yes] { return (screen->WaitingField() != 0) == yes; });
  }
  // Default.cfg as written, by key.
  std::map<std::string, int> SavedConfig() {
    std::map<std::string, int> out;
    auto reader = plat::TextRecordReader::Open(fw::AppPath + "\\Default.cfg");
    if (!reader) return out;
    while (!reader->AtEnd()) {
      const std::string key = reader->ReadString();
      out[key] = reader->ReadLong();
    }
    return out;
  }
};

TEST_F(SetupMenu, ARebindingIsSavedToTheSettingsFileOnlyBySave) {
  Run(screen, 6,
      {Wait(kSlideIn), ClickKeyButton(), OnPage(2), Wait(kSlideIn), ClickField(2), Waiting(true), Key(kVkW, 'w'),
       Waiting(false), ClickKeyPageOk(), OnPage(1), Wait(kSlideIn), ClickSave()});
  EXPECT_EQ(fw::GameState, 1);
  EXPECT_EQ(fw::KeyTable[fw::KEY_BACKWARD], kVkW);
  const auto saved = SavedConfig();
  EXPECT_EQ(saved.at("BACKWARD"), kVkW);
  EXPECT_EQ(saved.at("FORWARD"), kVkUp);
  EXPECT_EQ(saved.at("SOUNDVOL"), 4);
  EXPECT_EQ(saved.at("MUSICVOL"), 7);
  // The next battle's reading finds the same.
  fw::KeyTable = {};
  fw::ReadKeyConfig("\\Default.cfg");
  EXPECT_EQ(fw::KeyTable[fw::KEY_BACKWARD], kVkW);
}

TEST_F(SetupMenu, LeavingWithoutSaveKeepsTheOldSettings) {
  Run(screen, 6,
      {Wait(kSlideIn), ClickKeyButton(), OnPage(2), Wait(kSlideIn), ClickField(3), Key(kVkW, 'w'), Waiting(false),
       Esc(), OnPage(1), Esc()});
  EXPECT_EQ(fw::GameState, 1);
  EXPECT_EQ(fw::KeyTable[fw::KEY_RIGHT], 0);
  EXPECT_FALSE(folder_.Exists("Default.cfg"));
}

TEST_F(SetupMenu, AKeyAlreadyBoundIsRefusedAndEscNeitherBindsNorEndsTheWait) {
  Run(screen, 6,
      {Wait(kSlideIn), ClickKeyButton(), OnPage(2), Wait(kSlideIn), ClickField(4), Waiting(true),
       Key(kVkUp, 0),  // bound to FORWARD already: the wait ends, nothing changes
       Waiting(false), ClickField(5), Waiting(true), Key(kEsc, kEsc), Wait(5), Do([this] {
         EXPECT_EQ(screen->WaitingField(), 5);
       }),
       Key(kVkQ, 'q'), Waiting(false), Esc(), OnPage(1), Esc()});
  EXPECT_EQ(screen->KeyCopy()[fw::KEY_LEFT], 0);
  EXPECT_EQ(screen->KeyCopy()[fw::KEY_STOP], kVkQ);
  EXPECT_EQ(screen->KeyBox(5).Text, fw::KeyCodeName(kVkQ));
}

TEST_F(SetupMenu, ASecondFieldClickedDuringAWaitTakesItOver) {
  Run(screen, 6,
      {Wait(kSlideIn), ClickKeyButton(), OnPage(2), Wait(kSlideIn), ClickField(1), Waiting(true), ClickField(12),
       Until([this] { return screen->WaitingField() == 12; }), Key(kVkW, 'w'), Waiting(false), Wait(3),
       Esc(), OnPage(1), Esc()});
  EXPECT_EQ(screen->KeyCopy()[fw::KEY_WEAPON0 + 3], kVkW);
  EXPECT_EQ(screen->KeyCopy()[fw::KEY_FORWARD], kVkUp);
  EXPECT_FALSE(screen->KeyBox(1).InputMode);
}

TEST_F(SetupMenu, TheMouseFieldsKeepTheirNamesWhateverIsBound) {
  Run(screen, 6,
      {Wait(kSlideIn), ClickKeyButton(), OnPage(2), Wait(kSlideIn), ClickField(8), Key(kVkQ, 'q'), Waiting(false),
       ClickField(9), Key(kVkW, 'w'), Waiting(false), Esc(), OnPage(1), Esc()});
  EXPECT_EQ(screen->KeyCopy()[fw::KEY_SMALLMAP], kVkQ);
  EXPECT_EQ(screen->KeyCopy()[fw::KEY_WEAPON0], kVkW);
  EXPECT_EQ(screen->KeyBox(8).Text, "Right Button");
  EXPECT_EQ(screen->KeyBox(9).Text, "Left Button");
  EXPECT_EQ(screen->KeyBox(1).Text, fw::KeyCodeName(kVkUp));
}

TEST_F(SetupMenu, VolumesMoveByClickAndDragAndNeverBelowOne) {
  // The panel rests at x about 190..195, y 150; its effect bar from x + 20,
  // y 197, the music bar at y 267.
  Run(screen, 6,
      {Wait(kSlideIn), ClickSoundButton(), OnPage(3), Wait(kSlideIn), Click(218, 207), Click(218, 207),
       Click(218, 207), Click(218, 207), Click(218, 207),
       Do([] { fw::Board->Form_MouseDown(1, 0, 300 * 15, 277 * 15); }), Do([] { MoveTo(400, 277, 1); }),
       Click(320, 70), Click(320, 375), OnPage(1), Wait(kSlideIn), ClickSave()});
  EXPECT_EQ(fw::SoundVol, 1);
  EXPECT_EQ(fw::MusicVol, 10);
  EXPECT_EQ(fw::MusicOn, -1);
  EXPECT_EQ(SavedConfig().at("VOLUME"), 1);
}

TEST_F(SetupMenu, TheSoundSwitchActsAtOnceAndSaveWithItOffStopsTheMusic) {
  fw::MusicOn = -1;
  Run(screen, 6,
      {Wait(kSlideIn), ClickSoundButton(), OnPage(3), Wait(kSlideIn), Click(320, 130), Esc(), OnPage(1),
       Do([] { EXPECT_EQ(fw::MusicOn, 0); }), Esc()});
  EXPECT_EQ(fw::MusicOn, 0);  // kept although the screen was left without Save
  fw::MusicOn = -1;
  fw::MediaPlay->PlayBackSound(3);
  const bool musicLoaded = fw::MediaPlay->IFilter != nullptr;
  auto again = std::make_shared<fw::FrmSetupMenuClass>();
  Run(again, 6,
      {Wait(kSlideIn), ClickSoundButton(), Until([again] { return again->Page() == 3; }), Wait(kSlideIn),
       Click(320, 130), Esc(), Until([again] { return again->Page() == 1; }), Wait(kSlideIn), ClickSave()});
  EXPECT_TRUE(musicLoaded);
  EXPECT_EQ(fw::MediaPlay->IFilter, nullptr);
  EXPECT_EQ(SavedConfig().at("VOLUME"), 0);
}

TEST_F(SetupMenu, CancelOnTheSoundPageOpensTheKeyPage) {
  Run(screen, 6, {Wait(kSlideIn), ClickSoundButton(), OnPage(3), Wait(3), Click(10, 10), OnPage(2), Esc(), OnPage(1),
                  Click(632, 8)});
  EXPECT_EQ(fw::GameState, 1);
}

TEST_F(SetupMenu, ExtremeVolumesInTheSettingsFileStillLetThePlayerInAndSaveSaneOnes) {
  folder_.Write("Default.cfg", "\"MUSICVOL\",-2147483648\r\n\"SOUNDVOL\",2147483647\r\n");
  fw::ReadKeyConfig("\\Default.cfg");
  Run(screen, 6, {Wait(kSlideIn), ClickSoundButton(), OnPage(3), Wait(kSlideIn), Esc(), OnPage(1), Wait(kSlideIn),
                  ClickSave()});
  EXPECT_EQ(fw::GameState, 1);
  EXPECT_EQ(SavedConfig().at("SOUNDVOL"), 10);
  EXPECT_EQ(SavedConfig().at("MUSICVOL"), 0);
}

// The box names the picture as the system spells its folder, with letters
// the game's code page lacks (Ü) beside ones it has (遊戲).
TEST_F(SetupMenu, APictureThatCannotBeLoadedReturnsToTheMainMenu) {
  for (const std::string name : {"", "Spiele-Über-遊戲"}) {
    SCOPED_TRACE(name);
    const std::string in = name.empty() ? "" : name + "/";
    const std::string folder = name.empty() ? folder_.Path() : folder_.File(name);
    folder_.Write(in + "pic/keysetup.jpg", "not a picture");
    plat::SetProgramFolder(folder);
    fw::AppPath = folder;
    fw::GameState = 0;
    screen = std::make_shared<fw::FrmSetupMenuClass>();
    testing::internal::CaptureStderr();
    Run(screen, 6, {});
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(fw::GameState, 1);
    EXPECT_FALSE(plat::FileExists(fw::AppPath + "\\Default.cfg"));
    EXPECT_NE(said.find("Ferrowind: The setup screen cannot be shown: Unable to load the picture " + folder +
                        "\\pic\\keysetup.jpg: Invalid picture: " + folder + "/pic/keysetup.jpg\n"),
              std::string::npos)
        << said;
  }
}

TEST_F(SetupMenu, ASettingsFileThatCannotBeWrittenIsKept) {
  folder_.Write("Default.cfg", "\"FORWARD\",38\r\n");
  Run(screen, 6,
      {Wait(kSlideIn), Do([] { plat::FailNextAtomicRename(); }), ClickSave(),
       Until([] { return fw::LastError.find("Default.cfg") != std::string::npos; }), Answer(' ', ' ')});
  EXPECT_EQ(fw::GameState, 1);
  EXPECT_EQ(folder_.Read("Default.cfg"), "\"FORWARD\",38\r\n");
}

// A save that replaced the file but whose folder could not be synced is
// saved, and the player hears of it.
TEST_F(SetupMenu, ASettingsSaveWhoseFolderWasNotSyncedIsToldAndSaved) {
  Run(screen, 6,
      {Wait(kSlideIn), Do([] { plat::FailNextFileCall(plat::FileCall::SyncFolder, EIO); }), ClickSave(),
       Until([] { return fw::LastError.find("could not be synced") != std::string::npos; }), Answer(' ', ' ')});
  EXPECT_EQ(fw::GameState, 1);
  EXPECT_EQ(SavedConfig()["FORWARD"], kVkUp);
}

}  // namespace
