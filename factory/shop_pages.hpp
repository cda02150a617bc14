#pragma once
// The five shop pages of the factory: weapons, shields, engines, reactors
// and tanks share one layout (the goods for sale, the player's own items,
// the turning preview, the item's figures, the money and the BUY, SELL and
// EXIT buttons) and differ only in their catalogue and figures.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "factory/rules/catalogs.hpp"

namespace fw {

// A word that drifts over the preview for a while, then jumps elsewhere.
struct WordMark {
  int32_t X = 0;
  int32_t Y = 0;
  int32_t Frames = 0;  // frames left at this place
  int32_t Frame = 0;   // cell of the word sheet
};

// What a page keeps from frame to frame; each page has its own, so it
// resumes where it left off.
struct ShopPageAnimation {
  std::array<WordMark, 3> Marks;
  int32_t Blink = 0;

  // One frame of the word marks: a mark whose time is up goes to a new
  // place near its base for 20 to 69 frames; the others count down.
  void MoveMarks();
  // One frame of the money warning while the money is short: shown on 10
  // frames, hidden on 11. True when shown on this frame.
  bool BlinkWarning();
};

struct AttributeLine {
  std::string Text;
  int32_t X = 0;
  int32_t Y = 0;
};

// The page of a factory state: the item kind it sells, 0 for a state that
// is no shop.
int32_t ShopKind(const std::string& state);

// A weapon's flight path as its page names it; "" for an unknown path.
const char* PathName(int32_t path);

// The figures of a catalogue entry as its page prints them, and its price
// as the money is compared with it. False when the name is in no catalogue
// of the kind (then nothing is printed).
bool ShopAttributes(const FactoryCatalogs& catalogs, int32_t kind, const std::string& name,
                    std::vector<AttributeLine>& lines, double& price);

}  // namespace fw
