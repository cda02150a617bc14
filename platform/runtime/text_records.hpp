#pragma once
// The runtime's sequential text records: comma-separated fields, strings in
// double quotes, numbers with a "." decimal point, CR LF line ends, read one
// field at a time. Every table of the game is in this form.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/runtime/files.hpp"

namespace plat {

class TextRecordReader {
 public:
  explicit TextRecordReader(std::string content);
  // Opens a file of at most maxBytes; nullopt when it is missing,
  // unreadable or larger, error (when given) then holding why, as
  // ReadAllText gives it.
  static std::optional<TextRecordReader> Open(std::string_view gamePath, int* error = nullptr,
                                              uint64_t maxBytes = kMostBytesRead);

  // True when nothing but blank lines and spaces remain, so a table with a
  // trailing empty line does not yield a phantom record.
  bool AtEnd() const;

  // Each read takes the next field and raises RuntimeError when there is
  // none (InputPastEnd) or it does not convert (TypeMismatch, Overflow).
  std::string ReadString();
  int32_t ReadLong();
  int16_t ReadInteger();
  uint8_t ReadByte();
  float ReadSingle();
  double ReadDouble();
  bool ReadBoolean();
  // The rest of the current line, as the runtime's Line Input.
  std::string ReadLine();

  // 1-based line number of the next field, for error messages.
  int Line() const { return line_; }

 private:
  // A raw field and whether it stood in quotes.
  std::pair<std::string, bool> NextField();
  double ReadNumber();

  std::string data_;
  size_t pos_ = 0;
  int line_ = 1;
};

// Builds records in memory; the caller saves the text in one atomic write.
class TextRecordWriter {
 public:
  TextRecordWriter& String(std::string_view s);
  TextRecordWriter& Number(int64_t v);
  // Shortest text that reads back to the same single-precision value.
  TextRecordWriter& Single(float v);
  TextRecordWriter& Double(double v);
  TextRecordWriter& Boolean(bool v);
  TextRecordWriter& EndRecord();

  const std::string& Text() const { return text_; }
  bool SaveAtomic(std::string_view gamePath) const;

 private:
  void Separate();
  std::string text_;
  bool lineStarted_ = false;
};

}  // namespace plat
