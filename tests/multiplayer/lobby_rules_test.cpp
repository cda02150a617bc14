// The lobby's rules that need no screen: counting pieces of text, typing an
// address, the providers' slots and a held button's repeats.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "multiplayer/lobby/address_dialogs.hpp"
#include "multiplayer/session/direct_play.hpp"
#include "multiplayer/lobby/lobby.hpp"
#include "multiplayer/lobby/lobby_button_repeat.hpp"
#include "multiplayer/lobby/new_game_page.hpp"

namespace {

TEST(LobbyRules, GetStrCountCountsEveryPlaceOverlapsIncluded) {
  const struct {
    const char* text;
    const char* piece;
    int32_t n;
  } cases[] = {{"192.168.0.1", ".", 3}, {"aaa", "aa", 2}, {"", ".", 0}, {"1.2.3.4.", ".", 4},
               {"abc", "", 3},         {"a", "aa", 0},   {"AaA", "a", 1}};
  for (const auto& c : cases)
    EXPECT_EQ(fw::FrmMultiMenuClass::GetStrCount(c.text, c.piece), c.n) << c.text << " / " << c.piece;
}

// Keys as the window stores them: digits, the numeric pad, dots, Backspace,
// Enter and Esc.
std::vector<int16_t> Keys(const std::string& typed) {
  std::vector<int16_t> keys;
  for (char c : typed) {
    if (c >= '0' && c <= '9') keys.push_back(static_cast<int16_t>(c));
    if (c == '.') keys.push_back(190);
    if (c == ',') keys.push_back(110);  // the pad's decimal point
    if (c == '<') keys.push_back(8);
    if (c == '\n') keys.push_back(13);
    if (c == 'e') keys.push_back(27);
    if (c == 'p') keys.push_back(96 + 5);  // pad 5
  }
  return keys;
}

TEST(LobbyRules, AddressDialogTyping) {
  using S = fw::IpAddressEntry::Status;
  const struct {
    const char* typed;
    S status;
    const char* result;  // the address given when done
    const char* shown;   // what the dialog shows at the end
  } cases[] = {
      {"300", S::Typing, "", "255."},                       // above 255 is held there and completes
      {"007", S::Typing, "", "7."},                         // a completed octet loses its leading zeros
      {"10.0.0.1.", S::Done, "10.0.0.1", "10.0.0.1"},       // the fourth dot ends the entry
      {"192168000001", S::Done, "192.168.0.1", "192.168.0.1"},  // twelve digits, no dot
      {"1921680.5\n", S::Done, "192.168.0.5", ""},          // Enter keeps the octet being typed
      {"1921680.p\n", S::Done, "192.168.0.5", ""},          // a pad digit too
      {"127.0.0.1\n", S::Done, "127.0.0.1", ""},           // the dot typed after three digits is theirs
      {"192.168.1.10\n", S::Done, "192.168.1.10", ""},
      {"1921680.\n", S::Done, "192.168.0.", ""},           // three octets: given, and no address
      {"1..2\n", S::Done, "1..2", ""},
      {"300..", S::Typing, "", "255.."},                    // only the one dot right after is theirs
      {"\n", S::Done, "", ""},                              // nothing typed opens nothing
      {"....", S::Done, "...", ""},                         // bare dots are no octets
      {"1,2,3,4,", S::Done, "1.2.3.4", ""},                 // the pad's point is a dot
      {"12<3.", S::Typing, "", "13."},                      // Backspace in the octet
      {"12.<5", S::Typing, "", "125"},                      // Backspace takes the dot, digits go on
      {"1.2e", S::Cancelled, "", ""},                       // Esc gives nothing
  };
  for (const auto& c : cases) {
    fw::IpAddressEntry entry;
    S status = S::Typing;
    for (int16_t k : Keys(c.typed)) {
      status = entry.Key(k);
      if (status != S::Typing) break;
    }
    EXPECT_EQ(status, c.status) << c.typed;
    EXPECT_EQ(entry.Result(), c.result) << c.typed;
    if (status == S::Typing) {
      EXPECT_EQ(entry.Shown(), c.shown) << c.typed;
    }
  }
}

TEST(LobbyRules, TheShownAddressNeverPassesSixteenCharacters) {
  fw::IpAddressEntry entry;
  for (int16_t k : Keys("1.2.3"))
    entry.Key(k);
  for (int i = 0; i < 40; ++i) entry.Key('9');
  EXPECT_LE(entry.Shown().size(), 16u + 3u);
}

TEST(LobbyRules, ProvidersFillTheirSlotsTheLastOfAKindWinning) {
  using Slots = std::array<int32_t, 4>;  // provider index per slot, 0 unavailable
  const struct {
    std::vector<const char*> names;
    Slots slots;
  } cases[] = {
      {{"LAN search", "Internet"}, {0, 0, 0, 0}},
      {{"Modem Connection For DirectPlay"}, {0, 0, 1, 0}},
      {{"IPX and TCP both"}, {1, 0, 0, 0}},
      {{"x", "TCP one", "ipx", "y", "tcp two"}, {3, 5, 0, 0}},
      {{"Serial cable", "SERIAL two", "tcp"}, {0, 3, 0, 2}},
  };
  for (const auto& c : cases) {
    fw::DPlay().EnumConnections.clear();
    for (const char* n : c.names) fw::DPlay().EnumConnections.push_back({n});
    fw::FrmMultiMenuClass lobby;
    lobby.SetConnect();
    for (size_t s = 0; s < 4; ++s) {
      EXPECT_EQ(lobby.Connects()[s].Available, c.slots[s] != 0) << c.names[0] << " slot " << s;
      EXPECT_EQ(lobby.Connects()[s].ProviderIndex, c.slots[s]) << c.names[0] << " slot " << s;
    }
  }
  fw::DPlay().EnumConnections.clear();
}

TEST(LobbyRules, AHeldButtonActsOnceThenRepeatsAtMostTenTimesASecond) {
  const struct {
    bool repeats;
    std::vector<uint32_t> looks;  // ms after the press at which the page looks
    int acts;
  } cases[] = {
      {true, {0, 16, 33, 399}, 1},                    // nothing more before 0.4 s
      {true, {0, 400, 450, 500, 520, 600}, 4},        // then one every 0.1 s at most
      {true, {0, 400, 401, 402, 403}, 2},             // however often the page looks
      {false, {0, 400, 500, 600, 5000}, 1},           // a button that does not repeat acts once
  };
  for (const auto& c : cases) {
    fw::ButtonRepeat r;
    r.Press("UP1", 1000);
    int acts = 0;
    for (uint32_t t : c.looks) acts += r.Due(1000 + t, c.repeats);
    EXPECT_EQ(acts, c.acts);
  }
  fw::ButtonRepeat r;
  r.Press("UP1", 0xFFFFFF00u);  // across the clock's wrap
  EXPECT_TRUE(r.Due(0xFFFFFF00u, true));
  EXPECT_TRUE(r.Due(0xFFFFFF00u + 500, true));
  r.Release();
  EXPECT_FALSE(r.Due(0xFFFFFF00u + 1000, true));
  r.Press("UP1", 0);
  EXPECT_TRUE(r.Due(0, true));
  r.Over("DOWN1");  // the pointer moved off the button
  EXPECT_FALSE(r.Due(500, true));
  r.Press("UP1", 0);
  r.Release();  // a click quicker than a frame still acts, once
  EXPECT_TRUE(r.Due(10, true));
  EXPECT_FALSE(r.Due(500, true));
}

TEST(LobbyRules, HelpTextOnlyForTheFiveModes) {
  EXPECT_EQ(fw::ModeHelpFor("Base Defensing")[0], "The aim is to destroy the enemy ");
  EXPECT_EQ(fw::ModeHelpFor("Group Life-and-Death Battle")[2], "most enemies.");
  EXPECT_TRUE(fw::ModeHelpFor("")[0].empty());
  EXPECT_TRUE(fw::ModeHelpFor("death battle")[0].empty());
}

}  // namespace
