#include "app/registry.hpp"

#include "data/map_control.hpp"
#include "engine/screen.hpp"

namespace fw {

void RegisterScreens() {
  // The battles read the map tables fresh before each visit.
  BeforeBattleScreen = LoadMapData;
}

}  // namespace fw
