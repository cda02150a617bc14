#pragma once
// The save a killed game left unfinished, met at start before anything reads
// the profiles or an equipment file.
#include <string>
#include <vector>

#include "platform/runtime/save_together.hpp"

namespace fw {

// Whether a journal holds what the game saves in one step: User.INI, whole
// six profiles followed by the tail the file on the disk (in now) already
// has, and the equipment files save/user<n>.DAT of profiles 1 to 6
// (written, or removed for a deleted profile), each at most once: every
// save of the profiles or of goods is such a step. A User.INI whose tail
// cannot be read is named as unread. Where the step changes User.INI and
// User.INI holds its new profiles, the money for the step's goods is spent:
// each goods file of it holding other bytes is owed (kept aside, and the
// step finished over it).
plat::JournalVerdict ProfileJournalProblem(const std::vector<plat::FileContent>& files,
                                          const std::vector<plat::FileNow>& now);

// Finishes the last save in gameFolder, or keeps its journal aside; then
// the player is to be told, once, by TellOfLastSave. False (after saying
// why and what would let the game start) only when the journal can neither
// be finished nor kept aside (kept aside it would leave a file it already
// changed beside others it did not, or it, or a file that would tell,
// cannot be read), or when a file it would replace cannot be kept aside
// first: a game started then could not save either, and the journal waits
// for the start that can finish it. The notice names each copy kept.
bool FinishLastSave(const std::string& gameFolder);

// What FinishLastSave has to tell, "" when nothing: shown in the game's
// window by TellOfLastSave, which then forgets it.
const std::string& LastSaveNotice();
void TellOfLastSave();

}  // namespace fw
