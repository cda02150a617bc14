#pragma once
// The player's key bindings, music switch and volumes, kept in Default.cfg.
#include <array>
#include <cstdint>
#include <string>

namespace fw {

// Battle controls, in this order.
enum KeyIndex : int {
  KEY_FORWARD = 0,
  KEY_BACKWARD = 1,
  KEY_LEFT = 2,
  KEY_RIGHT = 3,
  KEY_STOP = 4,
  KEY_WEAPON0 = 5,  // to KEY_WEAPON0 + 9
  KEY_SMALLMAP = 15,
  KEY_FREESCROLL = 16,
  KEY_TURRENT = 17,
};

extern std::array<int16_t, 18> KeyTable;
extern int16_t MusicOn;  // -1 on, 0 off
extern int32_t SoundVol;
extern int32_t MusicVol;

// Both take a name relative to the program folder ("\Default.cfg"). Failures
// leave their text in LastError and return quietly. A file that is there and
// cannot be read, or whose reading stops at a line, is also told through
// TakeKeyConfigNotice, once for each new cause, and kept aside once (as
// "<name>.damaged-<k>") by the next save before it is replaced.
void ReadKeyConfig(const std::string& name);
// Returns false when the file could not be written (anything but a regular
// file or a link to one at the name is refused, and so is one a look could
// not judge), or one that cannot be read whole as it stands then, whose
// settings were not read whole since, or that holds other bytes than the
// game read or wrote there, could not be kept aside (the old file stays).
// A copy no reading of the file told of, and a file replaced whose folder
// could not be synced, are told through TakeKeyConfigNotice.
bool SaveKeyConfig(const std::string& name);
// What the player is to hear of the file, "" when nothing: returned once.
std::string TakeKeyConfigNotice();
std::string KeyCodeName(int16_t code);

}  // namespace fw
