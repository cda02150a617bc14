#pragma once
// Start-up, the screen loop and shutdown.
#include <string>
#include <vector>

#include "platform/display/surface.hpp"

namespace fw {

// Runs start-up, the screen loop and shutdown; returns the exit status.
int Main();

// Where the films are: the root of a mounted CD-ROM or DVD holding the
// marker file, else the program folder. Sets MediaPath and returns the root
// found ("" when none).
std::string FindMediaPath();

// A mounted file system: its root and its type ("iso9660", "ext4", ...).
struct DriveRoot {
  std::string root;
  std::string type;
};
// The mounted file systems in the system's order.
std::vector<DriveRoot> GetDriveList();
// The file systems a mount table's text lists; lines it cannot read are
// skipped.
std::vector<DriveRoot> ParseMountTable(const std::string& text);
// The mount table read by GetDriveList (tests point it at their own).
extern std::string MountTableFile;

// The steps of start-up and the loop, separately callable for tests.
void InitCosSin();
float ComputeFontScale(float twipsPerPixelX);
void InitDirectDraw();
// The splash picture of the program folder, or the error that ends the
// start: one that is not there is named with its folder, one that is there
// and cannot be read is told with the cause.
void LoadSplashPicture(plat::SurfacePtr& splash);
void DisableIME(void* hWnd);
void RestoreCursor();
void ScreenLoop();

}  // namespace fw
