#include "engine/profile_record.hpp"

#include <algorithm>

namespace fw {

std::string ProfileRecordAt(std::string_view fileBytes, int32_t n) {
  std::string record(kProfileRecordBytes, '\0');
  std::fill_n(record.begin(), kProfileNameBytes, ' ');
  std::fill_n(record.begin() + kProfileCtlFileAt, kProfileCtlFileBytes, ' ');
  const size_t at = std::min(static_cast<size_t>(n - 1) * kProfileRecordBytes, fileBytes.size());
  fileBytes.substr(at, kProfileRecordBytes).copy(record.data(), kProfileRecordBytes);
  return record;
}

std::string ProfileNameIn(std::string_view record) {
  const std::string_view name = record.substr(0, kProfileNameBytes);
  constexpr std::string_view kPadding(" \0", 2);
  const size_t first = name.find_first_not_of(kPadding);
  if (first == std::string_view::npos) return "";
  return std::string(name.substr(first, name.find_last_not_of(kPadding) - first + 1));
}

}  // namespace fw
