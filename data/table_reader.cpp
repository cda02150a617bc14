#include "data/table_reader.hpp"

#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "platform/runtime/error.hpp"

namespace fw {

bool ReadDataTable(const std::string& member, const std::string& failure,
                   const std::function<void(plat::TextRecordReader&)>& read) {
  DataPack->Extract(member);
  bool ok = false;
  if (auto reader = plat::TextRecordReader::Open(DataPack->TempPath + member)) {
    try {
      read(*reader);
      ok = true;
    } catch (const plat::RuntimeError&) {
    }
  }
  DataPack->RemoveTempFile();
  if (!ok) LastError = failure;
  return ok;
}

}  // namespace fw
