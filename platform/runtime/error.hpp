#pragma once
// The runtime's raised errors. Game code that the original left unhandled lets
// these travel to the caller; start-up catches what reaches it and ends the
// program with the message.
#include <stdexcept>
#include <string>

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

class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(ErrorCode code, const std::string& what) : std::runtime_error(what), code_(code) {}
  ErrorCode code() const { return code_; }

 private:
  ErrorCode code_;
};

}  // namespace plat
