// The network battle's frame: the campaign's layers in the network look,
// then the score board, the remaining time, the message and the pointer,
// copied onto the screen without waiting; the debug rows and the end
// screen's final scores.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>

#include "battle/battle_sim.hpp"
#include "battle/sim_math.hpp"
#include "engine/cursor.hpp"
#include "engine/globals.hpp"
#include "engine/surfaces.hpp"
#include "multiplayer/battle/game_modes.hpp"
#include "multiplayer/battle/net_battle_screen.hpp"
#include "platform/display/message_box.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/error.hpp"

namespace fw {

namespace {
constexpr size_t kScoreRows = 11;
constexpr size_t kEndRows = 15;
const int32_t kGreen = plat::RGB(0, 255, 0);
const int32_t kRed = plat::RGB(255, 0, 0);
const int32_t kYellow = plat::RGB(255, 255, 0);

bool ContainsNoCase(const std::string& text, const std::string& part) {
  auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  return lower(text).find(lower(part)) != std::string::npos;
}

void TeamLine(std::vector<ScreenText>& out, const PlayerTable& table) {
  if (table.TeamScore[2] <= 0) return;
  // Allied is the own team, whichever number it has.
  const SideScores side = FromOwnSide(table);
  out.push_back({50, 30, "Score of Allied Forces: " + StrNumber(side.Allied), kGreen});
  out.push_back({200, 30, "Score of Enemy: " + StrNumber(side.Enemy), kRed});
}
}  // namespace

std::string StrNumber(int64_t n) {
  std::string text = std::to_string(n);
  if (n >= 0) text.insert(text.begin(), ' ');
  return text;
}

std::string HeldTimeText(float seconds) {
  const double s = std::isfinite(seconds) ? std::clamp(static_cast<double>(seconds), 0.0, 1e9) : 0.0;
  const int64_t minutes = static_cast<int64_t>(std::floor(s / 60.0));
  const int64_t rest = static_cast<int64_t>(std::nearbyint(s)) % 60;  // halves to even
  return StrNumber(minutes) + ":" + std::to_string(rest);
}

std::vector<ScreenText> ScoreBoardTexts(const PlayerTable& table, const std::string& modeName) {
  std::vector<ScreenText> out;
  TeamLine(out, table);
  const bool territory = ContainsNoCase(modeName, "Territy");
  // The ranking is shorter than the table after a join until the next
  // sort: the rows end where it ends.
  const size_t rows = std::min({table.Players.size(), table.SortedPlayers.size(), kScoreRows});
  for (size_t i = 0; i < rows; ++i) {
    const PlayerRecord& p = table.SortedPlayers[i];
    const int32_t y = 50 + 20 * static_cast<int32_t>(i);
    out.push_back({50, y, "Player: " + p.Name, kYellow});
    out.push_back({200, y, "score: " + StrNumber(p.Score), kYellow});
    if (territory) out.push_back({400, y, "Time  " + HeldTimeText(p.HeldTime), kYellow});
  }
  return out;
}

std::vector<ScreenText> EndScreenTexts(const PlayerTable& frozen) {
  std::vector<ScreenText> out;
  TeamLine(out, frozen);
  const size_t rows = std::min(frozen.SortedPlayers.size(), kEndRows);
  for (size_t i = 0; i < rows; ++i) {
    const PlayerRecord& p = frozen.SortedPlayers[i];
    const int32_t y = static_cast<int32_t>(i) * 20 + 60;
    out.push_back({100, y, StrNumber(static_cast<int64_t>(i) + 1) + " Player:" + p.Name, kYellow});
    out.push_back({350, y, "score:" + std::to_string(p.Score), kYellow});
  }
  return out;
}

void DrawScreenTexts(plat::Surface& target, const std::vector<ScreenText>& texts) {
  for (const ScreenText& t : texts) {
    target.SetFont("Arial", 12.0f / FontScale, t.Bold);
    target.SetForeColor(t.Color);
    target.DrawText(t.X, t.Y, t.Text);
  }
}

void FrmMultiClass::SetLook() {
  BattleLook& look = view_->Look;
  look.NameLabels = true;
  look.SixDegreeCells = true;
  look.HelpPopups = false;
  look.Territory = battle_->Mode.TerritoryRect;
  look.OwnMark = true;
  look.MarkX = battle_->Mode.EnemyBaseX;
  look.MarkY = battle_->Mode.EnemyBaseY;
}

void FrmMultiClass::Paint() {
  BattleState& w = battle_->World;
  const plat::SurfacePtr back = view_->Device().BackSurface;
  if (!back) {
    StepEffects(w);  // nobody draws them, but they still age and leave
    return;
  }
  SetLook();
  view_->Device().ClearBackSurface();
  view_->MakeBackMap(back);
  view_->DrawOBJ(back);
  view_->DrawEffects();
  if (DebugOn == 1) DebugMode2(back);
  view_->DrawPanel(back);
  if (ShowInfo) DrawScore(back);
  if (battle_->Setting().WinRule == 0) {
    SetSurfaceFont(back, "Arial", 12.0f / FontScale, kYellow, false);
    back->DrawText(550, 10, battle_->Mode.TimeText);
  }
  view_->DrawMessage(back);
  DrawCursor(back, RoundL(w.MouseX), RoundL(w.MouseY));
  if (paced_) plat::WaitForRefresh();
  // A display still busy with the last frame drops this one rather than
  // stall the loop.
  if (Primary) {
    const RECT whole{0, 0, 640, 480};
    Primary->BltFast(0, 0, back.get(), &whole, plat::DDBLTFAST_DONOTWAIT);
  }
}

void FrmMultiClass::DrawScore(const plat::SurfacePtr& target) {
  if (target) DrawScreenTexts(*target, ScoreBoardTexts(battle_->Table, battle_->Setting().ModeName));
}

void FrmMultiClass::DebugMode2(const plat::SurfacePtr& t) {
  if (!t) return;
  const BattleState& w = battle_->World;
  char factor[32];
  std::snprintf(factor, sizeof factor, "%.2f", static_cast<double>(w.FrameFactor));
  t->SetFont("Small Fonts", 5.0f, false);
  t->SetForeColor(plat::RGB(0, 200, 0));
  DrawDebugCounters(*t, w, battle_->FramesPerSecond);
  t->DrawText(0, 12, factor);
  t->DrawText(0, 96, "Lock(" + std::string(battle_->Held() ? "held" : "running") + "):");
  t->DrawText(0, 112, DebugNumber(w.ScrollX) + DebugNumber(w.ScrollY));
  int32_t y = 124;
  for (const PlayerRecord& p : battle_->Table.Players) {
    t->DrawText(0, y, "PlayerID:" + DebugNumber(p.PlayerID) + "  TankID:" + DebugNumber(p.TankID) +
                          " Idle: " + DebugNumber(p.Idle) + " Score: " + DebugNumber(p.Score) +
                          " Team: " + DebugNumber(p.Team) + "State: " + DebugNumber(p.Active));
    y += 12;
  }
  const uint8_t mode = view_->DrawMode();
  t->DrawText(100, 0, mode == 1 ? "Use Hardware AlphaBlend" : "Use Software AlphaBlend");
  t->DrawText(100, 12, "AlphaMode: " + DebugNumber(mode));
  t->DrawText(100, 24, std::string("DescBlend: ") + (mode == 2 ? "OR" : mode == 3 ? "KEY" : "ADD"));
}

void FrmMultiClass::EndScreen() {
  plat::SurfacePtr picture;
  try {
    LoadSurfaceFromPack(AppPath + "\\ProcessPic.jpg", picture, DDraw);
  } catch (const plat::RuntimeError&) {
    picture = nullptr;
  }
  battle_->SetHold(true);
  prompting_ = true;  // the keys are the end screen's
  const PlayerTable& frozen = battle_->Mode.Frozen;
  if (!picture) {
    // The result is booked already; the player still learns where it stood.
    std::string text = "The battle is over.";
    for (const ScreenText& t : EndScreenTexts(frozen)) text += "\n" + t.Text;
    plat::MsgBox(text);
    return;
  }
  DrawScreenTexts(*picture, EndScreenTexts(frozen));
  if (Primary) {
    const RECT whole = GetSurfaceSize(picture);
    Primary->BltFast(0, 0, picture.get(), &whole, plat::DDBLTFAST_WAIT);
  }
  KeyCode = 0;
  MouseButton = 0;
  while (KeyCode == 0 && MouseButton == 0) HeldPass();
}

}  // namespace fw
