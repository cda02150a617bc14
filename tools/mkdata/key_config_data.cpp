// The sample Default.cfg: every battle control bound to its own key, music
// on at middle volumes. The game itself has no defaults, so without this
// file a new player would find no key that drives the tank. A file already
// in the program folder is the player's own and stays as it is.
#include <iterator>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>

#include "engine/globals.hpp"
#include "engine/key_config.hpp"
#include "tools/mkdata/mkdata.hpp"

namespace mkdata {
namespace {

// Arrows drive (the battle takes them also unbound), Space stops, the digit
// row switches the weapon slots as they are numbered on the panel.
constexpr std::pair<int, int16_t> kBindings[] = {
    {fw::KEY_FORWARD, 38},     {fw::KEY_BACKWARD, 40},    {fw::KEY_LEFT, 37},        {fw::KEY_RIGHT, 39},
    {fw::KEY_STOP, 32},        {fw::KEY_WEAPON0, 49},     {fw::KEY_WEAPON0 + 1, 50}, {fw::KEY_WEAPON0 + 2, 51},
    {fw::KEY_WEAPON0 + 3, 52}, {fw::KEY_WEAPON0 + 4, 53}, {fw::KEY_WEAPON0 + 5, 54}, {fw::KEY_WEAPON0 + 6, 55},
    {fw::KEY_WEAPON0 + 7, 56}, {fw::KEY_WEAPON0 + 8, 57}, {fw::KEY_WEAPON0 + 9, 48}, {fw::KEY_SMALLMAP, 77},
    {fw::KEY_FREESCROLL, 16},  {fw::KEY_TURRENT, 84},
};
static_assert(std::size(kBindings) == std::tuple_size_v<decltype(fw::KeyTable)>);

void KeyConfig(Context& ctx) {
  for (const auto& [index, code] : kBindings) fw::KeyTable[static_cast<size_t>(index)] = code;
  fw::MusicOn = -1;
  fw::SoundVol = 5;
  fw::MusicVol = 5;
  // The game's own writer, so the file is the one the setup screen saves.
  fw::AppPath = ctx.LooseFolder();
  if (!fw::SaveKeyConfig("\\Default.cfg")) throw std::runtime_error("cannot write Default.cfg: " + fw::LastError);
}

Step keys("key and volume settings", 46, KeyConfig);

}  // namespace
}  // namespace mkdata
