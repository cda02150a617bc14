#pragma once
// The model index "Index.txt": for each model of the "Data" archive, the
// members (its textures) that must be extracted with it.
#include <string>

#include "engine/pack.hpp"
#include "platform/runtime/text_records.hpp"

namespace fw {

// Reads the records (member, count, then count companion names; fields
// run on across line ends) into the archive's directory. A member or
// companion the archive does not hold is passed over. A record cut short or a count
// that is not a number ends the reading: the records before it stay set,
// problem says where and the result is false.
bool ReadModelIndex(plat::TextRecordReader& reader, PackFileClass& files, std::string& problem);

// Extracts "Index.txt" from DataPack and applies it, so extracting a model
// brings its companions; the extracted copy is deleted afterwards. A
// missing or bad index is noted in LastError and the factory goes on,
// its models then without textures. False in that case.
bool LoadXIndex();

}  // namespace fw
