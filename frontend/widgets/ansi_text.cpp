#include "frontend/widgets/ansi_text.hpp"

namespace fw {
namespace {
bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// Byte offset of each character's start, walked from the front, since a
// trail byte may look like a lead byte when read backwards.
size_t LastCharStart(std::string_view text) {
  size_t i = 0, last = 0;
  while (i < text.size()) {
    last = i;
    i += (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
  }
  return last;
}
}  // namespace

int32_t AnsiLength(std::string_view text) { return static_cast<int32_t>(text.size()); }

int32_t AnsiCharLength(int16_t code) { return static_cast<uint16_t>(code) > 0xFF ? 2 : 1; }

void AppendAnsiChar(std::string& text, int16_t code) {
  const auto c = static_cast<uint16_t>(code);
  if (c > 0xFF) text += static_cast<char>(c >> 8);
  text += static_cast<char>(c & 0xFF);
}

void RemoveLastAnsiChar(std::string& text) {
  if (text.empty()) return;
  text.erase(LastCharStart(text));
}

}  // namespace fw
