#pragma once
// The orders of the sample missions. Shared by the sample data writer,
// which prints them on the briefing pages, and the campaign's tests, whose
// scripted player may know only what they say.

namespace mkdata {

// Each mission's orders as the briefing shows them: what wins it, and
// what the player will meet on the way.
inline constexpr const char* kMissionOrders[20] = {
    "Rescue the leader who waits north of your start where the radar marks, then fight through to the appointed spot in the east that the radar marks next.",
    "Destroy all rebels. Their reinforcements keep coming until the reserve is spent.",
    "Destroy the main buildings in the rebels' base in the south of the map. Its command centre is the heart of it.",
    "Destroy all rebels in their eight camps. An escort drives with you.",
    "Destroy all rebels. Three allies fight at your side; rebel waves come from the east.",
    "Destroy the two conveyance vehicles. Each drives with an escort of four.",
    "Destroy all rebels. Every one of them attacks, and the town's command post must stand.",
    "Destroy all rebels. Four waves come through the two gates; two escorts drive with you.",
    "Break open the scientist's prison where the radar's mark blinks, then annihilate all rebels.",
    "Destroy all rebels. Three allies drive with you; three waves will come.",
    "Destroy the magazine in the depot town in the west, or all rebels. The captives in the south-east follow you once you reach them.",
    "Destroy all rebels. Attackers wait beyond the valley; waves follow once you press on.",
    "Destroy all rebels or the tank factory in the east. Hunters keep coming while their reserve lasts.",
    "Destroy all rebels or the helicopter base in the east. Your two allies join you at the landing field.",
    "The hostage is in one of three prisons: in the north, the west and the south of the map. Break them open, then leave for the fleeing spot.",
    "Destroy all rebels: fifty of them come over the whole map.",
    "Drive to the point the radar marks and destroy the attackers. The chemical factory must not fall.",
    "Destroy all rebels. Hunters come from every side; three escorts drive with you.",
    "Destroy all rebels, eighty of them. Fresh escorts join you as yours fall.",
    "Destroy all tank factories, in the east, and rebels. Hunters keep coming while a factory stands."};

}  // namespace mkdata
