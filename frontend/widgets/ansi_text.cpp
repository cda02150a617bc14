#include "frontend/widgets/ansi_text.hpp"

#include "platform/runtime/code_page.hpp"

namespace fw {

int32_t AnsiLength(std::string_view text) { return static_cast<int32_t>(text.size()); }

int32_t AnsiCharLength(int16_t code) { return static_cast<int32_t>(plat::KeyAsciiText(code).size()); }

void AppendAnsiChar(std::string& text, int16_t code) { text += plat::KeyAsciiText(code); }

void RemoveLastAnsiChar(std::string& text) {
  // Walked from the front: a trail byte may look like a lead byte when read
  // backwards.
  size_t i = 0, last = 0;
  while (i < text.size()) {
    last = i;
    i += plat::CharBytesAt(text, i);
  }
  text.erase(last);
}

}  // namespace fw
