#include "multiplayer/lobby/new_game_page.hpp"

#include <algorithm>
#include <cctype>

#include "data/users.hpp"
#include "engine/cursor.hpp"
#include "engine/globals.hpp"
#include "engine/sound.hpp"
#include "engine/surfaces.hpp"
#include "frontend/menu_common.hpp"
#include "multiplayer/lobby/game_setting.hpp"
#include "multiplayer/lobby/lobby_list.hpp"
#include "multiplayer/lobby/net_factory_visit.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"

namespace fw {
namespace {

struct SettingButton {
  const char* key;
  RECT r;
};
const SettingButton kSettingButtons[] = {
    {"Single", {37, 53, 126, 73}},     {"Team", {177, 53, 263, 73}},    {"LimTime", {152, 111, 194, 127}},
    {"LimTank", {152, 141, 194, 157}}, {"Money", {114, 350, 170, 366}}, {"EQU", {145, 448, 187, 468}},
    {"OK", {579, 439, 623, 462}},      {"Cancel", {528, 438, 573, 460}}, {"UP1", {227, 113, 237, 121}},
    {"Down1", {227, 122, 237, 129}},   {"UP2", {227, 140, 237, 148}},   {"Down2", {227, 149, 237, 157}},
    {"UP3", {172, 348, 184, 356}},     {"Down3", {172, 357, 184, 365}}};

const char* const kSingleModes[] = {"Death Battle", "Territy Hegemonist"};
const char* const kTeamModes[] = {"Group Life-and-Death Battle", "Group Territy Hegemonist", "Base Defensing"};

constexpr float kNoticeStart = 3.0f;

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

int32_t Step(int32_t value, int32_t by, int32_t low, int32_t high) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{value} + by, low, high));
}

// A scroll bar over a list: with fewer rows than the list shows its range
// would be empty, and a click on its track would divide by zero.
int32_t ScrollMax(int32_t rows, int32_t shown) { return std::max(rows - shown, 1); }

void DrawMarker(const plat::SurfacePtr& s, int32_t x, int32_t y) {
  // A ring of radius 3 drawn with a five-pixel pen.
  for (int32_t r = 1; r <= 5; ++r) s->DrawCircle(x, y, r);
}

}  // namespace

std::array<std::string, 3> ModeHelpFor(const std::string& modeName) {
  if (modeName == "Death Battle") return {"To win, you must kill the most ", "enemies.", ""};
  if (modeName == "Territy Hegemonist") return {"To win, you must be the final ", "survivor of the appointed area.", ""};
  if (modeName == "Group Life-and-Death Battle")
    return {"Join one of the two camps.To ", "win, your camp must kill the ", "most enemies."};
  if (modeName == "Group Territy Hegemonist")
    return {"To wim, your camp must be the", "final survivor in the appointed ", "area."};
  if (modeName == "Base Defensing") return {"The aim is to destroy the enemy ", "base.", ""};
  return {};
}

NewGamePage::NewGamePage(NewGameLobby& lobby)
    : Lobby(lobby),
      ModeList(std::make_shared<qelListBox>()),
      MapList(std::make_shared<qelListBox>()),
      EquipList(std::make_shared<qelListBox>()) {
  LoadSurfaceFromPack(AppPath + "\\pic\\MultiSetting.jpg", PagePicture, DDraw);
  SetSurfaceColorKey(PagePicture, plat::DDCKEY_SRCBLT, 1, 1);
  LoadSurfaceFromPack(AppPath + "\\pic\\MultiSetting1.BMP", LitButtons, DDraw);
  LoadSurfaceFromPack(AppPath + "\\pic\\Scroll2.BMP", ScrollSheet, DDraw);
  LoadSurfaceFromPack(AppPath + "\\pic\\Multinewcanel.jpg", LitCancel, DDraw);

  SetUpLobbyList(*ModeList, SetRECT(25, 87, 136, 176), 12.0f / FontScale, false, plat::RGB(255, 255, 255));
  FillModes(false);
  ModeList->SelectedItem = 1;
  SetUpLobbyList(*MapList, SetRECT(378, 59, 580, 176), 12.0f / FontScale, false, plat::RGB(0, 255, 0));
  SetUpLobbyList(*EquipList, SetRECT(54, 390, 275, 439), 10.0f / FontScale, false, plat::RGB(0, 255, 255));
  Lobby.LoadMapList(*MapList);

  MapScroll.Init(SetRECT(581, 61, 596, 177), DDraw);
  MapScroll.HScroll = true;
  MapScroll.SetBackClip(ScrollSheet, 2, 8);
  MapScroll.Max = ScrollMax(MapList->Count(), 6);
  EquipScroll.Init(SetRECT(275, 390, 287, 439), DDraw);
  EquipScroll.HScroll = true;
  EquipScroll.SetBackClip(ScrollSheet, 2, 8);
  EquipScroll.Max = 1;

  auto& rects = *Lobby.SettingButtons().OrgRECT;
  rects.RemoveAll();
  for (const auto& b : kSettingButtons) rects.Add(b.key, b.r);
}

void NewGamePage::FillModes(bool team) {
  ModeList->RemoveAll();
  if (team)
    for (const char* m : kTeamModes) ModeList->Add(m, "");
  else
    for (const char* m : kSingleModes) ModeList->Add(m, "");
}

std::string NewGamePage::TargetAt(int32_t x, int32_t y) const {
  if (PtInRECT(x, y, MapScroll.DesRECT())) return "MAPSCROLL";
  if (PtInRECT(x, y, EquipScroll.DesRECT())) return "EQUIPSCROLL";
  if (PtInRECT(x, y, ModeList->DesRECT())) return "MODELIST";
  if (PtInRECT(x, y, MapList->DesRECT())) return "MAPLIST";
  for (const auto& b : kSettingButtons)
    if (PtInRECT(x, y, b.r)) return Upper(b.key);
  return "";
}

bool NewGamePage::Repeats(const std::string& target) {
  return target == "MAPSCROLL" || target == "EQUIPSCROLL" || target == "UP1" || target == "DOWN1" ||
         target == "UP2" || target == "DOWN2" || target == "UP3" || target == "DOWN3";
}

void NewGamePage::TakeMode() {
  if (ModeList->SelectedItem < 1 || ModeList->SelectedItem > ModeList->Count()) return;
  GameSetting.ModeIndex = static_cast<uint8_t>(ModeList->SelectedItem);
  GameSetting.ModeName = ModeList->Item(ModeList->SelectedItem)->Text;
}

void NewGamePage::Pass(bool& result) {
  ButtonRepeat& repeat = Lobby.Repeat();
  const std::string held = repeat.Held();
  if (repeat.Due(plat::timeGetTime(), Repeats(held)))
    Act(held, WholePixel(Lobby.PointerX()), WholePixel(Lobby.PointerY()), result);
  if (ModeList->SelectedItem < 1)
    ModeList->SelectedItem = 1;
  else
    TakeMode();
  if (MapList->SelectedItem < 1)
    MapList->SelectedItem = 1;
  else if (MapList->SelectedItem <= MapList->Count())
    GameSetting.MapName = MapList->Item(MapList->SelectedItem)->Text;
  ModeHelp = ModeHelpFor(GameSetting.ModeName);
}

void NewGamePage::Act(const std::string& target, int32_t x, int32_t y, bool& result) {
  if (target == "MAPSCROLL" || target == "EQUIPSCROLL") {
    const bool map = target == "MAPSCROLL";
    qelScrollBarClass& bar = map ? MapScroll : EquipScroll;
    if (bar.Click(x, y) != 0) {
      (map ? MapList : EquipList)->ListIndex = bar.Value;
      PlaySoundKey(2, false);
    }
    return;
  }
  if (target == "MODELIST") {
    ModeList->Click(x, y);
    // The maps offered follow the mode just chosen.
    TakeMode();
    Lobby.LoadMapList(*MapList);
    MapScroll.Max = ScrollMax(MapList->Count(), 6);
    PlaySoundKey(2, false);
    return;
  }
  if (target == "MAPLIST") {
    MapList->Click(x, y);
    PlaySoundKey(2, false);
    return;
  }
  if (target.empty()) return;
  PlaySoundKey(2, false);
  GameSettingRecord& g = GameSetting;
  if (target == "SINGLE" || target == "TEAM") {
    g.TeamPlay = target == "TEAM" ? 1 : 0;
    FillModes(g.TeamPlay == 1);
  } else if (target == "LIMTIME") {
    g.WinRule = 0;
  } else if (target == "UP1" || target == "DOWN1") {
    g.LimTime = Step(g.LimTime, target == "UP1" ? 1 : -1, 5, 999);
  } else if (target == "LIMTANK") {
    g.WinRule = 1;
  } else if (target == "UP2" || target == "DOWN2") {
    g.LimTank = Step(g.LimTank, target == "UP2" ? 1 : -1, 3, 999);
  } else if (target == "UP3" || target == "DOWN3") {
    g.Money = Step(g.Money, target == "UP3" ? 10 : -10, 1000, 30000);
  } else if (target == "OK") {
    if (MapList->Count() == 0)
      Refuse("There is no map for this game mode.");
    else if (g.Role != "New" || !Armed)
      Refuse("Please arm your tank first.");
    else {
      Lobby.EndPage();
      result = true;
    }
  } else if (target == "CANCEL") {
    Lobby.EndPage();
    result = false;
  } else if (target == "EQU") {
    Equip();
  }
}

void NewGamePage::Refuse(const std::string& why) {
  Refusal = why;
  ArmNotice = kNoticeStart;
}

void NewGamePage::Equip() {
  Armed = NetFactoryVisit(GameSetting.Money);
  // The press that opened the factory ended inside it.
  Lobby.ForgetPress();
  EquipList->RemoveAll();
  for (const auto& item : *NetEQU) EquipList->Add(item->ID, "");
  EquipScroll.Max = std::max(EquipList->Count() - 2, 1);
  GameSetting.Role = Armed ? "New" : "";
}

void NewGamePage::Draw() {
  Lobby.TestCoop();
  const plat::SurfacePtr& back = BackBuffer;
  back->BltFast(0, 0, PagePicture.get(), nullptr, plat::DDBLTFAST_WAIT);
  ModeList->Blt(back, plat::DDBLT_WAIT | plat::DDBLT_KEYSRC);
  MapList->Blt(back, plat::DDBLT_WAIT | plat::DDBLT_KEYSRC);
  MapScroll.Blt(back, plat::DDBLTFAST_WAIT | plat::DDBLTFAST_SRCCOLORKEY);
  EquipList->Blt(back, plat::DDBLT_WAIT | plat::DDBLT_KEYSRC);
  EquipScroll.Blt(back, plat::DDBLTFAST_WAIT | plat::DDBLTFAST_SRCCOLORKEY);

  const GameSettingRecord& g = GameSetting;
  back->SetForeColor(plat::RGB(255, 0, 0));
  DrawMarker(back, g.TeamPlay == 0 ? 39 : 175, 63);
  const int32_t white = plat::RGB(255, 255, 255);
  if (g.WinRule == 0) {
    DrawMarker(back, 157, 119);
    SetSurfaceFont(back, "Arial", 10.0f / FontScale, white, false);
    back->DrawText(195, 113, std::to_string(g.LimTime));
  } else if (g.WinRule == 1) {
    DrawMarker(back, 130, 149);
    SetSurfaceFont(back, "Arial", 10.0f / FontScale, white, false);
    back->DrawText(195, 142, std::to_string(g.LimTank));
  }
  back->DrawText(130, 352, std::to_string(g.Money));
  if (!ModeHelp[0].empty()) {
    SetSurfaceFont(back, "Arial", 12.0f / FontScale, plat::RGB(0, 255, 255), false);
    back->DrawText(34, 214, ModeHelp[0]);
    back->DrawText(34, 230, ModeHelp[1]);
    back->DrawText(34, 246, ModeHelp[2]);
  }
  const int32_t px = WholePixel(Lobby.PointerX()), py = WholePixel(Lobby.PointerY());
  std::string lit;
  for (const auto& b : kSettingButtons)
    if (PtInRECT(px, py, b.r)) {
      lit = Upper(b.key);
      break;
    }
  if (lit == "OK" || lit == "EQU") {
    RECT cell;
    GetCellRect(cell, LitButtons, 1, 2, lit == "OK" ? 2 : 1);
    if (lit == "OK") cell.Right -= 24;
    back->BltFast(lit == "OK" ? 576 : 130, lit == "OK" ? 440 : 447, LitButtons.get(), &cell, plat::DDBLTFAST_WAIT);
  } else if (lit == "CANCEL") {
    back->BltFast(527, 435, LitCancel.get(), nullptr, plat::DDBLTFAST_WAIT);
  }
  back->SetForeColor(plat::RGB(255, 255, 0));
  if (!g.ModeName.empty()) back->DrawText(465, 285, g.ModeName);
  if (!g.MapName.empty()) back->DrawText(465, 315, g.MapName);
  if (g.WinRule == 1)
    back->DrawText(465, 375, "smash " + std::to_string(g.LimTank) + " tank(s)");
  else
    back->DrawText(465, 345, std::to_string(g.LimTime) + " minutes");
  if (DebugOn == 1) back->DrawText(0, 0, std::to_string(px) + std::to_string(py));
  if (ArmNotice > 0.0f) {
    ArmNotice -= 0.1f;
    Lobby.DialogFrame()->BltFast(back, plat::DDBLTFAST_WAIT, 190, 100, 1);
    SetSurfaceFont(back, "Arial", 12.0f / FontScale, plat::RGB(200, 200, 200), false);
    back->DrawText(200, 105, Refusal);
  }
  PresentMenuFrame();
}

}  // namespace fw
