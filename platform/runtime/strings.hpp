#pragma once
// Text helpers with the runtime's semantics: case folding is ASCII-only, as
// the game's keys and file names are ASCII; other bytes pass through.
#include <string>
#include <string_view>

namespace plat {

std::string UCase(std::string_view s);
std::string LCase(std::string_view s);
bool EqualNoCase(std::string_view a, std::string_view b);
// 1-based position of needle in hay at or after start, 0 when absent (InStr).
size_t InStrNoCase(std::string_view hay, std::string_view needle);
std::string Trim(std::string_view s);
// The longest prefix of s of at most maxBytes bytes that does not cut a UTF-8
// character in two.
std::string TruncateUtf8(std::string_view s, size_t maxBytes);

}  // namespace plat
