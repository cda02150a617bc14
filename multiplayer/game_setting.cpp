#include "multiplayer/game_setting.hpp"

namespace fw {

GameSettingRecord GameSetting;

}  // namespace fw
