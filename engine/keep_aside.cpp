#include "engine/keep_aside.hpp"

#include <cerrno>

#include "platform/runtime/files.hpp"
#include "platform/runtime/save_together.hpp"

namespace fw {

FileCause CauseOf(const std::string& gameFolder, const std::string& rel, int error) {
  // A folder that refuses the search refuses every look inside it, however
  // the file's own mode reads: the folder is what the player mends.
  const plat::FolderEntry by = plat::LookRefusedBy(gameFolder, rel, error);
  if (by.path == rel) return {plat::SystemErrorText(error), ""};
  return {by.Named() + ": " + plat::SystemErrorText(error), by.Named() + " can be searched (chmod u+x)"};
}

std::string ChangedSinceRead(const std::string& rel) {
  return rel + " " + plat::SystemErrorText(plat::kChangedSinceRead);
}

std::string KeptAsideAs(const std::string& copy) { return "it is kept aside as " + copy; }

std::string CannotBeRead(const std::string& gameFolder, const std::string& rel, int error) {
  return rel + " cannot be read (" + CauseOf(gameFolder, rel, error).text + ")";
}

KeptCopy KeepAside(const std::string& gameFolder, const std::string& rel, std::string_view kind,
                    std::string_view tag) {
  int error = 0;
  KeptCopy kept{plat::KeepCopyAside(gameFolder + "\\" + rel, tag, &error), "", error};
  const size_t slash = rel.find_last_of('/');
  const std::string name = rel.substr(slash + 1);
  if (!kept.name.empty()) {
    kept.name = rel.substr(0, slash + 1) + kept.name;
    // The copy stands, but the disk may not hold its name yet: the file it
    // keeps is not replaced before it does.
    if (error != 0)
      kept.refusal = plat::KeptButNotSynced(rel, kept.name,
                                            plat::FolderHolding(rel).Named() + ": " + plat::SystemErrorText(error)) +
                     ": nothing was saved";
    return kept;
  }
  if (plat::NoRegularFile(error) || error == plat::kLinkToNoFile) return kept;
  const FileCause cause = CauseOf(gameFolder, rel, error);
  const std::string why =
      error == EEXIST ? "every name " + name + "." + std::string(tag) + "-1 to -999 is taken" : cause.text;
  kept.refusal = "Unable to keep the " + std::string(kind) + " " + name + " aside (" + why +
                 (cause.remedy.empty() ? "): nothing was saved" : "): nothing is saved until " + cause.remedy);
  return kept;
}

}  // namespace fw
