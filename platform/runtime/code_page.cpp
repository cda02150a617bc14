#include "platform/runtime/code_page.hpp"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace plat {
namespace {

constexpr const char* kCodePage = "CP936";

bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

bool AllAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// One open conversion per direction, kept for the run: opening one costs
// far more than converting a line of text.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (Ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool Ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts s; where the source holds something the conversion refuses,
  // skip(s, at) bytes are passed over and a '?' stands in their place.
  template <typename Skip>
  std::string Run(std::string_view s, Skip skip) {
    std::string out;
    if (!Ok()) {
      for (char c : s) out += static_cast<unsigned char>(c) < 0x80 ? c : '?';
      return out;
    }
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out.reserve(s.size() * 2);
    char buf[256];
    size_t at = 0;
    while (at < s.size()) {
      char* in = const_cast<char*>(s.data() + at);
      size_t inLeft = s.size() - at;
      char* o = buf;
      size_t outLeft = sizeof buf;
      const size_t r = iconv(cd_, &in, &inLeft, &o, &outLeft);
      const int err = errno;
      out.append(buf, static_cast<size_t>(o - buf));
      at = s.size() - inLeft;
      if (r != static_cast<size_t>(-1) || err == E2BIG) continue;
      // An unknown or unfinished sequence: a stand-in, and go on after it.
      out += '?';
      at += std::max<size_t>(1, std::min(skip(s, at), s.size() - at));
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
  }

 private:
  iconv_t cd_;
};

size_t SkipCodePage(std::string_view s, size_t at) { return CharBytesAt(s, at); }

size_t SkipUtf8(std::string_view s, size_t at) {
  const unsigned char c = static_cast<unsigned char>(s[at]);
  const size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 1;
  // A sequence broken off is skipped as far as it went, so what follows it
  // is not lost.
  for (size_t k = 1; k < n; ++k)
    if (at + k >= s.size() || (static_cast<unsigned char>(s[at + k]) & 0xC0) != 0x80) return k;
  return n;
}

Converter& ToUtf8Converter() {
  static thread_local Converter c("UTF-8", kCodePage);
  return c;
}

Converter& FromUtf8Converter() {
  static thread_local Converter c(kCodePage, "UTF-8");
  return c;
}

}  // namespace

size_t CharBytesAt(std::string_view s, size_t i) {
  if (i + 1 < s.size() && IsLeadByte(static_cast<unsigned char>(s[i])) &&
      IsTrailByte(static_cast<unsigned char>(s[i + 1])))
    return 2;
  return 1;
}

bool WholeCharacters(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    if (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 == s.size()) return false;
    i += CharBytesAt(s, i);
  }
  return true;
}

size_t FindLastChar(std::string_view s, char c) {
  size_t found = std::string_view::npos;
  for (size_t i = 0; i < s.size(); i += CharBytesAt(s, i))
    if (s[i] == c && CharBytesAt(s, i) == 1) found = i;
  return found;
}

std::string ToUtf8(std::string_view codePage) {
  if (AllAscii(codePage)) return std::string(codePage);
  return ToUtf8Converter().Run(codePage, SkipCodePage);
}

std::string FromUtf8(std::string_view utf8) {
  if (AllAscii(utf8)) return std::string(utf8);
  return FromUtf8Converter().Run(utf8, SkipUtf8);
}

bool ConvertsToUtf8(std::string_view codePage) {
  if (AllAscii(codePage)) return true;
  // A '?' that the source does not hold at the same place was a stand-in.
  return FromUtf8(ToUtf8(codePage)) == codePage;
}

std::string CutToBytes(std::string_view s, size_t maxBytes) {
  size_t end = 0;
  while (end < s.size()) {
    const size_t n = CharBytesAt(s, end);
    if (end + n > maxBytes) break;
    end += n;
  }
  return std::string(s.substr(0, end));
}

std::vector<int16_t> KeyAsciiCodes(std::string_view utf8) {
  const std::string text = FromUtf8(utf8);
  std::vector<int16_t> codes;
  for (size_t i = 0; i < text.size();) {
    const size_t n = CharBytesAt(text, i);
    const unsigned v = n == 2 ? static_cast<unsigned char>(text[i]) * 256u + static_cast<unsigned char>(text[i + 1])
                              : static_cast<unsigned char>(text[i]);
    codes.push_back(static_cast<int16_t>(static_cast<uint16_t>(v)));
    i += n;
  }
  return codes;
}

std::string KeyAsciiText(int16_t keyAscii) {
  const auto v = static_cast<uint16_t>(keyAscii);
  if (v == 0) return "";
  if (v < 0x100) return std::string(1, static_cast<char>(v));
  return std::string{static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
}

}  // namespace plat
