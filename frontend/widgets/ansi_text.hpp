#pragma once
// Editing text held in the game's double-byte code page: a character is one
// byte below 0x81, or a lead byte 0x81..0xFE with its trail byte. Typed
// characters arrive as the code page's character codes, a double-byte one
// as a 16-bit value whose high byte is the lead byte.
#include <cstdint>
#include <string>
#include <string_view>

namespace fw {

// Bytes of the text in the code page (a double-byte character counts 2).
int32_t AnsiLength(std::string_view text);
// Bytes that the character of a typed code takes: 2 for a double-byte code.
int32_t AnsiCharLength(int16_t code);
// Appends the character of a typed code.
void AppendAnsiChar(std::string& text, int16_t code);
// Removes the last whole character; an empty text stays empty.
void RemoveLastAnsiChar(std::string& text);

}  // namespace fw
