#include "data/building.hpp"

#include <array>
#include <cmath>

#include "data/table_reader.hpp"
#include "platform/runtime/numeric.hpp"
#include "platform/runtime/random.hpp"

namespace fw {
namespace {
[[noreturn]] void SubscriptError(double i) {
  throw plat::RuntimeError(plat::ErrorCode::SubscriptOutOfRange, "Subscript out of range: " + std::to_string(i));
}
}  // namespace

void Building::SetData(const std::vector<int16_t>& frames) {
  if (frames.size() > 32768) SubscriptError(static_cast<double>(frames.size()));
  data_ = frames;
}

void Building::SetSingleData(int32_t i, int16_t value) {
  if (i >= 0 && i < static_cast<int32_t>(data_.size())) data_[static_cast<size_t>(i)] = value;
}

int16_t Building::GetSingleData(int32_t i) const {
  if (i < 0 || i >= static_cast<int32_t>(data_.size())) SubscriptError(i);
  return data_[static_cast<size_t>(i)];
}

void Building::TotalData(int16_t n) {
  if (n < 1) SubscriptError(n);
  data_.assign(static_cast<size_t>(n), 0);
}

void Building::DescRECT(const RECT& r) {
  descRect_ = r;
  PlaceOffsets();
}

void Building::Size(uint8_t code) {
  size_ = code;
  PlaceOffsets();
}

void Building::PlaceOffsets() {
  const double w = SingleW, h = SingleH, r = descRect_.Right, b = descRect_.Bottom;
  double x = 0, y = 0;
  switch (size_) {
    case 1: x = w / 2 - r / 2; y = h - b; break;
    case 2: x = 3 * w / 4 - r / 2; y = h - b; break;
    case 4: x = -r / 2; y = 1.5 * h - b; break;
    case 6: x = w / 4 - r / 2; y = 1.5 * h - b; break;
    case 8: x = w - r / 2; y = 2 * h - b; break;
    case 9: x = w / 2 - r / 2; y = 2 * h - b; break;
    case 12: x = 3 * w / 4 - r / 2; y = 2 * h - b; break;
    case 16: x = w - r / 2; y = 2.5 * h - b; break;
    default: return;  // no placement for other codes
  }
  OffsetX = plat::CLng(x);
  OffsetY = plat::CLng(y);
}

int16_t Building::RNDStyle() {
  plat::Randomize();
  return GetSingleData(static_cast<int32_t>(plat::Int(plat::Rnd() * static_cast<double>(data_.size()))));
}

int16_t Building::SEQStyle() {
  const double i = plat::Int(Style);
  if (i > static_cast<double>(data_.size()) - 1) {
    Style = 0.0f;
    return 0;
  }
  if (i < 0) SubscriptError(i);
  const int16_t frame = data_[static_cast<size_t>(i)];
  Style += StyleSpeed;
  return frame;
}

Buildings::Ptr Buildings::Add(const std::string& key, int16_t style, double size, int16_t totalData,
                              const RECT& descRect, const std::string& clipStyle) {
  auto b = std::make_shared<Building>();
  b->Key = key;
  b->Style = style;
  b->Size(plat::CByte(size));
  b->TotalData(totalData);
  b->ClipStyle = clipStyle;
  b->DescRECT(descRect);
  return Insert(b, key);
}

void Buildings::ClearChk() {
  for (const auto& b : *this) b->Check = 0;
}

void Buildings::Remove(int position) {
  Ptr b = Get(position);
  TryRemove(position);
  if (BuildRECT->OrgRECT->Contains(b->Key)) BuildRECT->OrgRECT->Remove(b->Key);
}

void Buildings::Remove(std::string_view key) {
  RemoveOrRaise(key);
  if (BuildRECT->OrgRECT->Contains(key)) BuildRECT->OrgRECT->Remove(key);
}

void ReadObjInfoRows(plat::TextRecordReader& reader, Buildings& buildings) {
  // The row holds five frames; a sixth is always 0, and a count beyond six
  // has no frame to read.
  constexpr int kFrameRoom = 6;
  while (!reader.AtEnd()) {
    const std::string key = reader.ReadString();
    const std::string picture = reader.ReadString();
    const std::string kind = reader.ReadString();
    const std::string name = reader.ReadString();
    const int32_t width = reader.ReadLong();
    const int32_t height = reader.ReadLong();
    const uint8_t size = reader.ReadByte();
    const float speed = reader.ReadSingle();
    const int16_t count = reader.ReadInteger();
    std::array<int16_t, kFrameRoom> frames{};
    for (int i = 0; i < 5; ++i) frames[static_cast<size_t>(i)] = reader.ReadInteger();
    const int16_t hp = reader.ReadInteger();
    const int32_t shieldFull = reader.ReadLong();
    const float shieldSpeed = reader.ReadSingle();

    if (count > kFrameRoom) SubscriptError(count);
    auto b = buildings.Add(key, 0, size, count, RECT{0, 0, width, height}, picture);
    b->SingleH = 40;
    b->SingleW = 80;
    try {
      b->DescRECT(RECT{0, 0, width, height});
    } catch (const plat::RuntimeError&) {
      buildings.Remove(key);  // a half-made type would reach the battle
      throw;
    }
    for (int i = 0; i < count; ++i) b->SetSingleData(i, frames[static_cast<size_t>(i)]);
    b->StyleSpeed = speed;
    b->Kind = kind;
    b->Name = name;
    b->HP = hp;
    b->ShieldFull = shieldFull;
    b->ShieldSpeed = shieldSpeed;
  }
}

bool ReadObjInfoIni(Buildings& buildings) {
  return ReadDataTable("objinfo.ini", "Unable to Read OBJInfo.ini", [&](plat::TextRecordReader& reader) {
    buildings.RemoveAll();
    ReadObjInfoRows(reader, buildings);
  }) == TableRead::Read;
}

}  // namespace fw
