#pragma once
// The maintenance hall's models, textures and pictures; their records go
// into the model index that the factory's goods write.
#include "platform/runtime/text_records.hpp"
#include "tools/mkdata/mkdata.hpp"

namespace mkdata {

void HallModels(Context& ctx, plat::TextRecordWriter& index);

}  // namespace mkdata
