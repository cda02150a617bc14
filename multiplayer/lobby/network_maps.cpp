#include "multiplayer/lobby/network_maps.hpp"

#include <algorithm>
#include <exception>
#include <string_view>

#include "battle/loaders.hpp"
#include "data/tank.hpp"
#include "platform/runtime/code_page.hpp"
#include "platform/runtime/text_records.hpp"

namespace fw {
namespace {

// Whether a settings message can carry the text: at most `cap` bytes, not
// ending on the first half of a double-byte character.
bool Carried(std::string_view text, size_t cap) { return text.size() <= cap && plat::WholeCharacters(text); }

}  // namespace

std::string NetworkMapFault(qelPackage& pack, const std::string& inf, bool bases) {
  const std::string place = pack.MemberPlace(inf);
  MapDescription d;
  try {
    const auto bytes = pack.ReadMember(inf);
    if (!bytes) return place + " cannot be read: " + pack.WhyUnreadable(inf);
    plat::TextRecordReader reader(std::string(bytes->begin(), bytes->end()));
    d = ParseMapDescription(reader);
  } catch (const std::exception& e) {
    return place + " is not a map: " + e.what();
  }
  // What a file of another kind reads as: nothing to stand on, nowhere to
  // start.
  if (!d.HasMap) return place + " is not a map: it has no tile grid";
  if (d.Terrains.empty()) return place + " is not a map: it has no spawn area";
  if (d.BuildingRows.size() > kMaxSettingBuildings)
    return place + " has " + std::to_string(d.BuildingRows.size()) + " buildings, more than the " +
           std::to_string(kMaxSettingBuildings) + " a game's settings carry to a joiner";
  // Names the settings message could not carry: the joiners would wait
  // for settings the host cannot send.
  const std::string mapName = qelPackage::GetMainName(inf);
  if (!Carried(mapName, kMaxSettingMapNameBytes))
    return place + ": its name is longer than the " + std::to_string(kMaxSettingMapNameBytes) +
           " bytes a game's settings carry, or ends inside a character";
  for (const MapDescription::BuildingRow& b : d.BuildingRows)
    if (!Carried(b.TypeKey, kMaxSettingBuildingKeyBytes))
      return place + " has the building type \"" + b.TypeKey + "\", longer than the " +
             std::to_string(kMaxSettingBuildingKeyBytes) + " bytes a game's settings carry, or ending inside a character";
  if (bases)
    for (int32_t base : {kTeam0Base, kTeam1Base})
      if (std::none_of(d.BuildingRows.begin(), d.BuildingRows.end(),
                       [base](const MapDescription::BuildingRow& b) { return LeadingNumber(b.TypeKey) == base; }))
        return place + " has no base " + std::to_string(base) + " for \"Base Defensing\"";
  return "";
}

}  // namespace fw
