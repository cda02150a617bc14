#pragma once
// The runtime's raised errors. Game code that the original left unhandled lets
// these travel to the caller; start-up catches what reaches it and ends the
// program with the message.
#include <stdexcept>
#include <string>

#include "platform/runtime/code_page.hpp"

namespace plat {

// Error numbers follow the runtime the game was written for, so callers that
// distinguish them (a missing file from a bad field) can.
enum class ErrorCode : int {
  Overflow = 6,
  SubscriptOutOfRange = 9,
  TypeMismatch = 13,
  KeyNotFound = 5,
  BadFileName = 52,
  FileNotFound = 53,
  InputPastEnd = 62,
  PathNotFound = 76,
  DuplicateKey = 457,
  ObjectMissing = 91,
  General = 1000,
};

// A message is the game's text, in its code page, unless it names files on
// this machine: the system spells those in UTF-8, with letters the code page
// may lack, so such a message is made in UTF-8 whole.
enum class TextIn { CodePage, Utf8 };

class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(ErrorCode code, const std::string& what, TextIn in = TextIn::CodePage)
      : std::runtime_error(what), code_(code), in_(in) {}
  ErrorCode code() const { return code_; }
  // The message as it is shown.
  std::string Utf8() const { return in_ == TextIn::Utf8 ? std::string(what()) : ToUtf8(what()); }

 private:
  ErrorCode code_;
  TextIn in_;
};

// What any error says, as it is shown: a runtime error in the text it was
// made in, any other's words (the library's, in ASCII) as they stand.
inline std::string Utf8Of(const std::exception& e) {
  if (const auto* r = dynamic_cast<const RuntimeError*>(&e)) return r->Utf8();
  return e.what();
}
// The same for the game's own boards, which draw its code page: a letter
// the code page lacks shows as '?', every other as it is spelt.
inline std::string CodePageOf(const std::exception& e) { return FromUtf8(Utf8Of(e)); }

}  // namespace plat
