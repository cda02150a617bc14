#pragma once
// Reading one table of the "Data" archive: the member is copied out into
// the program folder, read as text records, and the copy is deleted again
// whatever happened.
#include <functional>
#include <string>

#include "platform/runtime/text_records.hpp"

namespace fw {

// Extracts the member, opens the copy and hands it to read, which raises
// plat::RuntimeError on a bad record. A missing member or a raised error
// stores failure in LastError and gives false; what read stored before
// the error stays.
bool ReadDataTable(const std::string& member, const std::string& failure,
                   const std::function<void(plat::TextRecordReader&)>& read);

}  // namespace fw
