#include "multiplayer/lobby/lobby_list.hpp"

#include "engine/globals.hpp"

namespace fw {

void SetUpLobbyList(qelListBox& list, const RECT& r, float size, bool bold, int32_t textColor) {
  list.Init(DDraw);
  list.Font = plat::Font{"Arial", size, bold};
  list.DesRECT(r);
  if (list.BackSurface) list.BackSurface->SetForeColor(textColor);
  list.SelectColor = 0x404000;
}

}  // namespace fw
