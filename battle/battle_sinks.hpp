#pragma once
// What the battle world says to the outside, and the rules by which the
// campaign and the network battle differ. The world declares these; the
// battle screen implements the output with the mixer and its surfaces, a
// headless run passes NullBattleOutput or a RecordingBattleOutput, and the
// network battle passes its own rules.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/rects.hpp"

namespace fw {

class BattleState;
struct WeaponSlot;

// Sounds and pictures painted for good, as the simulation asks for them.
class BattleOutput {
 public:
  virtual ~BattleOutput() = default;
  // A battle effect sound by its number at an attenuation (hundredths of a
  // decibel, 0 loudest); the caller has already dropped inaudible ones.
  virtual void PlayEffectSound(int32_t effect, int32_t attenuation) = 0;
  // A sound of the sound table by key, once.
  virtual void PlaySoundKey(std::string_view key) = 0;
  // Paints cell `cell` (1-based) of wreck picture `wreck` (index in the
  // wreck list), stretched to `dest`, into the background tile (column, row);
  // dest is in that tile's pixels and may reach past its edges, and a wreck
  // across tile edges is asked for once per tile it covers.
  virtual void PaintWreck(int32_t column, int32_t row, int32_t wreck, int32_t cell, const RECT& dest) = 0;
};

// Progress lines and bars of the loaders, drawn on the visible screen.
class LoadProgress {
 public:
  virtual ~LoadProgress() = default;
  virtual void Line(int32_t x, int32_t y, std::string_view text) = 0;
  // A filled bar; the loaders clip it to the 640 x 480 screen.
  virtual void Bar(const RECT& r, uint16_t color565) = 0;
};

// Which archive a picture comes from, after a loose file under the program
// folder.
enum class PictureArchive : uint8_t { Data, MissionPack };
// Which list of the world a picture record belongs to.
enum class PictureList : uint8_t { Images, Wrecks, Textures, Tiles, Girl };

// The pixels of the world's pictures. The world keeps the record (name,
// grid, size); the store keeps the surface under the same list and index.
class BattlePictures {
 public:
  virtual ~BattlePictures() = default;
  struct Size {
    int32_t Width = 0;
    int32_t Height = 0;
  };
  // Loads the picture of a game path (for instance "\pic\Panel1.bmp") into
  // slot (list, index) with a black colour key; nullopt when it cannot be
  // loaded.
  virtual std::optional<Size> Load(PictureList list, int32_t index, const std::string& gamePath,
                                   PictureArchive archive) = 0;
  // The pictures about to be loaded, in order: a store may start decoding
  // them ahead. What Load gives is the same with or without the hint.
  struct Expected {
    std::string GamePath;
    PictureArchive Archive;
  };
  virtual void Expect(const std::vector<Expected>& /*pictures*/) {}
  // Drops what was expected and not loaded.
  virtual void ForgetExpected() {}
};

// The rules that differ between the campaign and the network battle. The
// steps call them at the moments named; the campaign's are the defaults.
class BattleRules {
 public:
  // Where the network battle's simulation plays differently; the campaign
  // keeps every switch off.
  struct SimVariant {
    // A right turn past 360 loses 360 and keeps its fraction (the campaign
    // rounds the heading to a whole degree).
    bool HeadingWrapsBy360 = false;
    // The building outline's sine is computed, not read from the table.
    bool ExactBuildingSine = false;
    // A destroyed building burns (the network battle shows no fires).
    bool BuildingFires = true;
    // Shots aim at the shooter's AimX/AimY, not at the cursor or the AI's
    // target.
    bool AimFromUnit = false;
    // The network AI: a dead tank is left alone, style 0 keeps its target
    // (the record of who shot it), only styles 1 to 3 run, a patrol engages
    // whatever its energy and does not reseed, and fleeing turns aside
    // without firing.
    bool NetworkAI = false;
    // The terrain test works on the unit's centre in whole pixels.
    bool WholePixelTerrain = false;
    bool operator==(const SimVariant&) const = default;
  };
  SimVariant Variant;

  virtual ~BattleRules() = default;
  // Every hit that leaves unit `victim` at 0 hull points or below (the unit
  // step removes it), `shooter` being the shot's unit (-1 unknown). The
  // network battle records the shooter's player here, so the last such hit
  // names the killer whatever happens to the indices before the removal.
  virtual void FatalHit(BattleState& /*world*/, int32_t /*shooter*/, int32_t /*victim*/) {}
  // The same hit with its shot, which names its owner even after the
  // shooter's unit is gone; it passes the shooter's index on by default.
  virtual void FatalShot(BattleState& world, const WeaponSlot& shot, int32_t victim);
  // The owner a new shot of unit `shooter` records (WeaponSlot::FireOwner);
  // the campaign names none.
  virtual int32_t ShotOwner(const BattleState& /*world*/, int32_t /*shooter*/) { return 0; }
  // After the AI of unit `unit` ran in the unit step (also for style 0);
  // the network battle sends the own tank's controls from here.
  virtual void UnitControlled(BattleState& /*world*/, int32_t /*unit*/) {}
  // A shot of unit `shooter` (an index, -1 when unknown) brought unit
  // `victim` from 0 or more hull points below 0: called once per unit.
  // The campaign books a kill when the shooter is the player's unit and
  // the victim is of the other team.
  virtual void KillBooked(BattleState& world, int32_t shooter, int32_t victim);
  // Unit `unit` is destroyed by the unit step, before it leaves the roster.
  virtual void UnitDestroyed(BattleState& /*world*/, int32_t /*unit*/) {}
  // Whether building `building`, its hull below 1, may fall in this copy
  // of the battle; one that may not stays at 1 hull point. The network
  // battle lets only the host's copy destroy buildings.
  virtual bool BuildingMayFall(BattleState& /*world*/, int32_t /*building*/) { return true; }
  // Building `building` is destroyed, before it leaves the array.
  virtual void BuildingDestroyed(BattleState& /*world*/, int32_t /*building*/) {}
  // After a unit left the roster: every index equal to `removed` became -1
  // and every index equal to `moved` (the old last index) became `removed`.
  virtual void UnitRemoved(BattleState& /*world*/, int32_t /*removed*/, int32_t /*moved*/) {}
};

// Both at once, as the steps take them.
struct BattleEnv {
  BattleOutput& Out;
  BattleRules& Rules;
};

// Hears nothing, paints nothing.
class NullBattleOutput : public BattleOutput {
 public:
  void PlayEffectSound(int32_t, int32_t) override {}
  void PlaySoundKey(std::string_view) override {}
  void PaintWreck(int32_t, int32_t, int32_t, int32_t, const RECT&) override {}
};

class NullLoadProgress : public LoadProgress {
 public:
  void Line(int32_t, int32_t, std::string_view) override {}
  void Bar(const RECT&, uint16_t) override {}
};

// Keeps every request, for tests and replays.
class RecordingBattleOutput : public BattleOutput {
 public:
  struct Wreck {
    int32_t Column, Row, Picture, Cell;
    RECT Dest;
    bool operator==(const Wreck&) const = default;
  };
  std::vector<std::pair<int32_t, int32_t>> EffectSounds;  // (effect, attenuation)
  std::vector<std::string> SoundKeys;
  std::vector<Wreck> Wrecks;

  void PlayEffectSound(int32_t effect, int32_t attenuation) override { EffectSounds.emplace_back(effect, attenuation); }
  void PlaySoundKey(std::string_view key) override { SoundKeys.emplace_back(key); }
  void PaintWreck(int32_t column, int32_t row, int32_t wreck, int32_t cell, const RECT& dest) override {
    Wrecks.push_back({column, row, wreck, cell, dest});
  }
};

class RecordingLoadProgress : public LoadProgress {
 public:
  struct Text {
    int32_t X, Y;
    std::string S;
  };
  std::vector<Text> Lines;
  std::vector<RECT> Bars;
  void Line(int32_t x, int32_t y, std::string_view text) override { Lines.push_back({x, y, std::string(text)}); }
  void Bar(const RECT& r, uint16_t) override { Bars.push_back(r); }
};

}  // namespace fw
