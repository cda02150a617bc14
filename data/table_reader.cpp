#include "data/table_reader.hpp"

#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "platform/runtime/error.hpp"

namespace fw {

TableRead ReadDataTable(const std::string& member, const std::string& failure,
                        const std::function<void(plat::TextRecordReader&)>& read) {
  TableRead result = TableRead::NotInArchive;
  if (DataPack->PackFiles->Find(member)) {
    DataPack->Extract(member);
    result = TableRead::Unreadable;
    if (auto reader = plat::TextRecordReader::Open(DataPack->TempPath + member)) {
      try {
        read(*reader);
        result = TableRead::Read;
      } catch (const plat::RuntimeError&) {
        result = TableRead::BadRecord;
      }
    }
    DataPack->RemoveTempFile();
  }
  if (result != TableRead::Read) LastError = failure;
  return result;
}

}  // namespace fw
