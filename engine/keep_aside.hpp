#pragma once
// A player's file that a save of the game's would replace, kept aside
// first, and what the player hears of a file the game cannot read or keep.
#include <string>
#include <string_view>

namespace fw {

// Why a file of the game folder (rel, "/"-separated below gameFolder) could
// not be looked at, read or kept, as the player mends it: the system's
// words, after the name of a folder on the way that cannot be searched
// where that is what refused; remedy then says what lets the game in
// ("save can be searched (chmod u+x)"), and is "" otherwise.
struct FileCause {
  std::string text;
  std::string remedy;
};
FileCause CauseOf(const std::string& gameFolder, const std::string& rel, int error);

// What the player is told of a file and of its copy, each spelt here alone;
// files and copies by their path from the game folder ("save/user1.DAT").
// "<rel> changed since the game read it"
std::string ChangedSinceRead(const std::string& rel);
// "it is kept aside as <copy>"
std::string KeptAsideAs(const std::string& copy);
// "<rel> cannot be read (<cause>)", the cause as CauseOf words it.
std::string CannotBeRead(const std::string& gameFolder, const std::string& rel, int error);

// The file at gameFolder\rel kept aside as "<name>.<tag>-<k>" (see
// plat::KeepCopyAside) before a save replaces it. Where nothing stands at
// the name, or no regular file, or a link to none, there is nothing to keep
// and the save goes on, to refuse such an entry itself.
struct KeptCopy {
  // The copy by its path from the game folder ("save/user1.DAT.damaged-1");
  // "" when there was nothing to keep.
  std::string name;
  // Why the save must not go on: "Unable to keep the damaged user1.DAT
  // aside (<cause>): nothing was saved", or for a copy made whose folder
  // could not be synced, "save/user1.DAT is kept aside as
  // save/user1.DAT.damaged-1, but its folder could not be synced (save:
  // <cause>): nothing was saved"; "" when it may.
  std::string refusal;
  // Why no copy was made, or why the folder of the one made could not be
  // synced, as plat::KeepCopyAside gives it.
  int error = 0;
};
KeptCopy KeepAside(const std::string& gameFolder, const std::string& rel, std::string_view kind,
                    std::string_view tag);

}  // namespace fw
