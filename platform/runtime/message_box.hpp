#pragma once
#include <string_view>

namespace plat {
// A modal message with an OK button; on a machine without a display (or
// with the tests' dummy driver) the text goes to standard error instead.
void MsgBox(std::string_view text, std::string_view title = "Ferrowind");
}  // namespace plat
