#pragma once
// Where the player looks in the hall: the two view angles turned by the
// mouse, and the areas of the hall that those angles select.
#include <string>

namespace fw {

// The hall areas, also the names of the pages they open.
inline constexpr const char* kHallAreas[] = {"EQUTank", "Tank", "EXITOUT", "Weap", "ReA", "Shd", "Eng"};

// The area whose angle rectangle (edges included) holds the view, each
// angle taken to the nearest whole degree; "" when none does.
std::string HitTestArea(float yaw, float pitch);

// The cell (1 to 7) of the popup help sheet that names an area; 0 for "".
int HelpCell(const std::string& area);

struct HallView {
  float Yaw = 88.0f;     // degrees about the vertical axis
  float Pitch = 297.0f;  // degrees; the camera tilts by Pitch + 90
  int LastX = 320, LastY = 240;
  std::string Area;

  // One pointer move in the hall: turns the view by a quarter degree per
  // pixel, keeps both angles in 0 to 360, moves a pointer that reached an
  // edge back to the centre (x and y are changed for the caller) so the
  // view keeps turning, and selects the area looked at.
  void Move(float& x, float& y);
  // Called as a page opens over the hall: the pointer roams the page, and
  // not every move there reaches the hall, so the first move back in the
  // hall only marks where the pointer is and turns nothing.
  void Hold() { held_ = true; }

 private:
  bool held_ = false;
};

}  // namespace fw
