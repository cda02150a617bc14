#pragma once
// One profile as User.INI stores it, and where it stands in the file: read
// here alone, by the profiles' reader and by the start, which matches a
// killed save's record before anything reads the profiles.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fw {

// The name, padded with spaces; eight numbers of four bytes, little-endian;
// the control file's name, padded with spaces. Six records open the file;
// whatever follows them is someone else's, kept as it stands.
inline constexpr size_t kProfileRecordBytes = 64;
inline constexpr size_t kProfileNameBytes = 20;
inline constexpr size_t kProfileNumbersAt = kProfileNameBytes;
inline constexpr size_t kProfileNumbers = 8;
inline constexpr size_t kProfileCtlFileAt = kProfileNumbersAt + 4 * kProfileNumbers;
inline constexpr size_t kProfileCtlFileBytes = 12;
static_assert(kProfileCtlFileAt + kProfileCtlFileBytes == kProfileRecordBytes);
inline constexpr int32_t kProfilesInFile = 6;
inline constexpr size_t kProfilesBytes = kProfilesInFile * kProfileRecordBytes;

// Profile n's record (1 to 6) as the game reads it from a file's bytes:
// what the file holds of it, the rest from the blank record (spaces and
// zeros), so that a short file reads as blank profiles.
std::string ProfileRecordAt(std::string_view fileBytes, int32_t n);

// The name a record holds, in the file's code page, without its padding:
// spaces, or the NULs other writers pad with.
std::string ProfileNameIn(std::string_view record);

}  // namespace fw
