#pragma once
// The game's text is held as it stands in its files: bytes of the Chinese
// Windows code page 936, where a lead byte 0x81-0xFE and the byte after it
// make one character. Text becomes UTF-8 only where it leaves the game: drawn
// on a surface, or named to the file system; typed text comes back from UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// Whether c starts a double-byte character.
constexpr bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
// Bytes of the character at position i: 2 for a lead byte with a byte after
// it, else 1 (a lead byte at the very end stands alone).
size_t CharBytesAt(std::string_view s, size_t i);

// Whether the text ends on a whole character, not on the lead byte of a
// double-byte one: a text cut there would lose it when drawn or saved.
bool WholeCharacters(std::string_view s);

// Position of the last character c (a single-byte one, such as a path
// separator), never the second byte of a double-byte character; npos when
// there is none.
size_t FindLastChar(std::string_view s, char c);

// Conversions between the code page and UTF-8. A byte sequence the source
// does not hold, or a character the target lacks, becomes '?', so the
// result is always well formed.
std::string ToUtf8(std::string_view codePage);
std::string FromUtf8(std::string_view utf8);
// Whether the text converts to UTF-8 without a single substitution.
bool ConvertsToUtf8(std::string_view codePage);

// The longest prefix of at most maxBytes bytes that ends on a character
// boundary: a fixed-width field is never cut inside a character.
std::string CutToBytes(std::string_view s, size_t maxBytes);

// A key press reports one character: a single byte, or a double-byte
// character as lead * 256 + trail in 16 bits (negative, as the lead byte's
// top bit is set).
std::vector<int16_t> KeyAsciiCodes(std::string_view utf8);
// The text of one key press's character: one or two bytes ("" for 0).
std::string KeyAsciiText(int16_t keyAscii);

}  // namespace plat
