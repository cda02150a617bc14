#pragma once
// Text helpers with the runtime's semantics on text in the game's code page:
// case folding touches the ASCII letters only, never a byte of a double-byte
// character, so a Chinese name matches only itself.
#include <string>
#include <string_view>

namespace plat {

std::string UCase(std::string_view s);
std::string LCase(std::string_view s);
bool EqualNoCase(std::string_view a, std::string_view b);
// 1-based position of needle in hay at or after start, 0 when absent (InStr).
size_t InStrNoCase(std::string_view hay, std::string_view needle);
std::string Trim(std::string_view s);

}  // namespace plat
