#pragma once
// Reading one table of the "Data" archive: the member is copied out into
// the program folder, read as text records, and the copy is deleted again
// whatever happened.
#include <functional>
#include <string>

#include "platform/runtime/text_records.hpp"

namespace fw {

// How a table read ended. A member the directory lists can still fail to
// come out (a data file cut short or gone, a copy the disk or a file size
// limit refuses): the player then looks at the archive's files or the
// disk, not for a missing table, so the two are told apart.
enum class TableRead {
  Read,
  NotInArchive,  // the directory does not list the member
  Unreadable,    // listed, but no readable copy could be made of it
  BadRecord,     // read raised plat::RuntimeError
};

// Extracts the member, opens the copy and hands it to read, which raises
// plat::RuntimeError on a bad record. Any result but Read stores failure
// in LastError; what read stored before an error stays.
TableRead ReadDataTable(const std::string& member, const std::string& failure,
                        const std::function<void(plat::TextRecordReader&)>& read);

}  // namespace fw
