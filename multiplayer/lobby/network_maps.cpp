#include "multiplayer/lobby/network_maps.hpp"

#include <algorithm>
#include <exception>

#include "battle/loaders.hpp"
#include "data/tank.hpp"
#include "platform/runtime/text_records.hpp"

namespace fw {

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
  if (bases)
    for (int32_t base : {kTeam0Base, kTeam1Base})
      if (std::none_of(d.BuildingRows.begin(), d.BuildingRows.end(),
                       [base](const MapDescription::BuildingRow& b) { return LeadingNumber(b.TypeKey) == base; }))
        return place + " has no base " + std::to_string(base) + " for \"Base Defensing\"";
  return "";
}

}  // namespace fw
