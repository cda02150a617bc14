#include "platform/runtime/strings.hpp"

#include "platform/runtime/code_page.hpp"

namespace plat {
namespace {
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// The second byte of a double-byte character may be an ASCII letter, but it
// is no letter of its own: folding it would make another character.
template <typename Fold>
std::string FoldCase(std::string_view s, Fold fold) {
  std::string r(s);
  for (size_t i = 0; i < r.size();) {
    const size_t n = CharBytesAt(r, i);
    if (n == 1) r[i] = fold(r[i]);
    i += n;
  }
  return r;
}
}  // namespace

std::string UCase(std::string_view s) { return FoldCase(s, Upper); }

std::string LCase(std::string_view s) { return FoldCase(s, Lower); }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size();) {
    const size_t n = CharBytesAt(a, i);
    if (n != CharBytesAt(b, i)) return false;
    if (n == 1 ? Upper(a[i]) != Upper(b[i]) : a.substr(i, 2) != b.substr(i, 2)) return false;
    i += n;
  }
  return true;
}

size_t InStrNoCase(std::string_view hay, std::string_view needle) {
  if (needle.empty()) return 1;
  // Only at character starts: a match may not begin on a trail byte.
  for (size_t i = 0; i + needle.size() <= hay.size(); i += CharBytesAt(hay, i))
    if (EqualNoCase(hay.substr(i, needle.size()), needle)) return i + 1;
  return 0;
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return std::string(s.substr(b, e - b));
}

}  // namespace plat
