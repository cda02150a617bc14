// libs: fw_battle
// The battle's three tables from arbitrary text, the first byte choosing
// which: the sound table, the enemy weapons, and the picture catalogue
// (read twice, as two of its files, so keys clash across groups). A bad row
// raises; the rows before it stay whole.
#include <cstddef>
#include <cstdint>
#include <string>

#include "battle/loaders.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/strings.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 3) {
    case 0: {
      std::vector<fw::SoundRow> rows;
      plat::TextRecordReader reader(text);
      try {
        fw::ParseSoundTable(reader, rows);
      } catch (const plat::RuntimeError&) {
      }
      for (size_t i = 0; i < rows.size(); ++i)
        for (size_t j = 0; j < i; ++j)
          if (plat::EqualNoCase(rows[i].Key, rows[j].Key)) __builtin_trap();
      break;
    }
    case 1: {
      fw::WeaponClass weapons;
      plat::TextRecordReader reader(text);
      try {
        fw::ParseEnemyWeapons(reader, weapons);
      } catch (const plat::RuntimeError&) {
      }
      for (const auto& w : weapons)
        if (w->Speed != static_cast<float>(static_cast<int64_t>(w->Speed))) __builtin_trap();
      break;
    }
    default: {
      fw::MapClipIndex catalogue;
      for (int32_t group : {fw::kUnitPictures, fw::kShotPictures}) {
        plat::TextRecordReader reader(text);
        try {
          fw::ParseCatalogue(reader, catalogue, group);
        } catch (const plat::RuntimeError&) {
        }
      }
      for (const auto& e : catalogue)
        if (e->RepeatX < 1 || e->RepeatY < 1 || e->Index != fw::kUnitPictures) __builtin_trap();
      break;
    }
  }
  return 0;
}
