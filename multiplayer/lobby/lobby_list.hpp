#pragma once
// The lists of the lobby's pages and dialogs share one look.
#include <cstdint>

#include "engine/rects.hpp"
#include "frontend/widgets/list_box.hpp"

namespace fw {

// A list of the lobby's pages: Arial at the size, its rows' colour, the
// selection's colour.
void SetUpLobbyList(qelListBox& list, const RECT& r, float size, bool bold, int32_t textColor);

}  // namespace fw
