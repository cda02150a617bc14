#pragma once
// The file calls a profile's deletion makes, in their order, and what a
// failure or a kill at each leaves: shared by the tables that fail them one
// by one.
#include "platform/runtime/files.hpp"

namespace fwtest {

struct DeletionCall {
  const char* what;
  plat::FileCall call;
  int skip;           // calls of that kind before it
  // What the failure's message names before the system's words: the
  // entry that refused, the file among the step's two included.
  const char* where;
  bool journal;       // the journal stands afterwards
  bool replaced;      // User.INI already holds the new profile
  bool landed;        // the deletion is complete and told as saved

  // What the next start finds when nothing is saved before it: the journal
  // finishes the deletion.
  bool NewAtNextStart() const { return journal || replaced; }
  // What a failure's message ends with: a journal that stands may still
  // land, and one whose step had not begun may be set aside.
  const char* Outcome() const {
    if (!journal) return "";
    return replaced ? "; the next start finishes it unless a later save comes first"
                    : "; the next start finishes it if it can, or sets it aside, unless a later save comes first";
  }
};

inline constexpr DeletionCall kDeletionCalls[] = {
    {"writing User.INI's new content", plat::FileCall::WriteTemporary, 0, "User.INI: ", false, false, false},
    {"trying the save folder", plat::FileCall::WriteTemporary, 1, "save: ", false, false, false},
    {"writing the journal", plat::FileCall::WriteTemporary, 2, "SaveJournal.bin: ", false, false, false},
    {"putting the journal in place", plat::FileCall::Rename, 0, "SaveJournal.bin: ", false, false, false},
    {"syncing the journal's folder", plat::FileCall::SyncFolder, 0, "the game folder: ", true, false, false},
    {"replacing User.INI", plat::FileCall::Rename, 1, "User.INI: ", true, false, false},
    {"syncing User.INI's folder", plat::FileCall::SyncFolder, 1, "the game folder: ", true, true, false},
    {"removing the goods file", plat::FileCall::Remove, 0, "save/user2.DAT: ", true, true, false},
    {"syncing the save folder", plat::FileCall::SyncFolder, 2, "save: ", true, true, false},
    {"removing the journal", plat::FileCall::Remove, 1, "", true, true, true},
};

}  // namespace fwtest
