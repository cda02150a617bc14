#include "multiplayer/lobby/game_setting.hpp"

namespace fw {

GameSettingRecord GameSetting;

std::string PendingLobbyNotice;

}  // namespace fw
