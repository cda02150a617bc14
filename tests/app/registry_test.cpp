// The program's registration: which of the window's events reach each
// screen, and which visits read the map tables first.
#include <gtest/gtest.h>

#include "app/registry.hpp"
#include "engine/form_board.hpp"
#include "engine/screen.hpp"
#include "tests/engine/recording_screen.hpp"

namespace {

struct Registry : ::testing::Test {
  fw::FormBoard board;
  void SetUp() override {
    fw::RegisterScreens();
    fwtest::RecordInEveryState();
  }
  void TearDown() override {
    fw::ClearScreens();
    fw::GameState = 0;
  }
};

}  // namespace

TEST_F(Registry, EachStateGetsTheEventsOfItsTable) {
  // Menus take key presses and the mouse's downs and moves; the battles take
  // keys down and up and every mouse event; the setup screen also key downs,
  // the factory key downs and ups, the lobby mouse ups (its held buttons).
  EXPECT_EQ(fwtest::RoutedIn(board, 1), "KeyPr Mouse Mouse ");
  EXPECT_EQ(fwtest::RoutedIn(board, 2), "KeyDo KeyUp Mouse Mouse Mouse ");
  EXPECT_EQ(fwtest::RoutedIn(board, 3), "KeyPr Mouse Mouse Mouse ");
  EXPECT_EQ(fwtest::RoutedIn(board, 4), "KeyDo KeyUp Mouse Mouse Mouse ");
  EXPECT_EQ(fwtest::RoutedIn(board, 5), "KeyPr Mouse Mouse ");
  EXPECT_EQ(fwtest::RoutedIn(board, 6), "KeyDo KeyPr Mouse Mouse ");
  EXPECT_EQ(fwtest::RoutedIn(board, 7), "KeyPr Mouse Mouse ");
  EXPECT_EQ(fwtest::RoutedIn(board, 8), "KeyDo KeyPr KeyUp Mouse Mouse ");
  EXPECT_EQ(fwtest::RoutedIn(board, 9), "KeyPr Mouse Mouse ");
  for (int none : {0, 10, 11, -1, 12}) EXPECT_EQ(fwtest::RoutedIn(board, none), "") << none;
}

TEST_F(Registry, OnlyTheBattlesReadTheMapTablesBeforeTheirVisit) {
  for (int s = fw::ScreenState::MainMenu; s <= fw::ScreenState::EndScreen; ++s) {
    const bool battle = s == fw::ScreenState::CampaignBattle || s == fw::ScreenState::NetworkBattle;
    EXPECT_EQ(fw::ScreenForState(s)->HasBeforeVisit(), battle) << s;
  }
}
