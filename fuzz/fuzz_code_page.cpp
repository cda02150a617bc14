// libs: plat_runtime
// Names and texts from the game's files on arbitrary bytes: conversion never
// fails, code page text that converts comes back byte for byte, and the byte
// rules never leave half a character.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/runtime/code_page.hpp"
#include "platform/runtime/strings.hpp"

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}

bool WholeCharacters(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) i += plat::CharBytesAt(s, i);
  return i == s.size();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string utf8 = plat::ToUtf8(text);
  if (plat::ConvertsToUtf8(text)) Check(plat::FromUtf8(utf8) == text);
  Check(plat::FromUtf8(utf8).size() <= utf8.size());
  const std::string back = plat::FromUtf8(text);  // the same bytes taken as typed text
  for (int16_t code : plat::KeyAsciiCodes(text)) Check(!plat::KeyAsciiText(code).empty() || code == 0);
  for (size_t n : {size_t{0}, size_t{1}, size_t{12}, size_t{20}, size / 2}) {
    const std::string cut = plat::CutToBytes(text, n);
    Check(cut.size() <= n && text.starts_with(cut) && WholeCharacters(cut));
    Check(cut.size() + 1 >= std::min(n, text.size()));
  }
  Check(plat::UCase(text).size() == text.size() && plat::EqualNoCase(plat::UCase(text), plat::LCase(text)));
  Check(plat::InStrNoCase(text, back) <= text.size() + 1);
  return 0;
}
