#include "platform/runtime/text_records.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "platform/runtime/error.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/numeric.hpp"
#include "platform/runtime/strings.hpp"

namespace plat {

TextRecordReader::TextRecordReader(std::string content) : data_(std::move(content)) {}

std::optional<TextRecordReader> TextRecordReader::Open(std::string_view gamePath, int* error, uint64_t maxBytes) {
  auto text = ReadAllText(gamePath, error, maxBytes);
  if (!text) return std::nullopt;
  return TextRecordReader(std::move(*text));
}

bool TextRecordReader::AtEnd() const {
  for (size_t i = pos_; i < data_.size(); ++i) {
    const char c = data_[i];
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\x1a') return false;
  }
  return true;
}

std::pair<std::string, bool> TextRecordReader::NextField() {
  const size_t n = data_.size();
  // A field may not start after the text ends; blank lines before a field
  // are passed over as the runtime does.
  while (pos_ < n && (data_[pos_] == ' ' || data_[pos_] == '\t' || data_[pos_] == '\r' || data_[pos_] == '\n')) {
    if (data_[pos_] == '\n') ++line_;
    ++pos_;
  }
  if (pos_ >= n || data_[pos_] == '\x1a')
    throw RuntimeError(ErrorCode::InputPastEnd, "Input past end of file (line " + std::to_string(line_) + ")");
  std::string field;
  bool quoted = false;
  if (data_[pos_] == '"') {
    quoted = true;
    ++pos_;
    const size_t close = data_.find('"', pos_);
    const size_t end = close == std::string::npos ? n : close;
    field = data_.substr(pos_, end - pos_);
    pos_ = close == std::string::npos ? n : close + 1;
    // Anything between the closing quote and the delimiter is dropped.
    while (pos_ < n && data_[pos_] != ',' && data_[pos_] != '\r' && data_[pos_] != '\n') ++pos_;
  } else {
    const size_t start = pos_;
    while (pos_ < n && data_[pos_] != ',' && data_[pos_] != '\r' && data_[pos_] != '\n') ++pos_;
    field = Trim(std::string_view(data_).substr(start, pos_ - start));
    while (!field.empty() && field.back() == '\t') field.pop_back();
  }
  // Consume one delimiter: a comma, or a line end (CR LF, CR or LF).
  if (pos_ < n) {
    if (data_[pos_] == ',') {
      ++pos_;
    } else if (data_[pos_] == '\r') {
      ++pos_;
      if (pos_ < n && data_[pos_] == '\n') ++pos_;
      ++line_;
    } else if (data_[pos_] == '\n') {
      ++pos_;
      ++line_;
    }
  }
  return {field, quoted};
}

std::string TextRecordReader::ReadString() { return NextField().first; }

double TextRecordReader::ReadNumber() {
  const int line = line_;
  auto [text, quoted] = NextField();
  (void)quoted;
  if (text.empty()) return 0.0;  // an empty field reads as zero, as the runtime does
  std::string t = text;
  if (t.size() > 2 && t[0] == '&' && (t[1] == 'H' || t[1] == 'h')) {
    long long v = 0;
    auto r = std::from_chars(t.data() + 2, t.data() + t.size(), v, 16);
    if (r.ec == std::errc() && r.ptr == t.data() + t.size()) return static_cast<double>(v);
  }
  if (t.front() == '+') t.erase(0, 1);
  double v = 0;
  auto r = std::from_chars(t.data(), t.data() + t.size(), v);
  if (r.ec != std::errc() || r.ptr != t.data() + t.size() || !std::isfinite(v))
    throw RuntimeError(ErrorCode::TypeMismatch,
                       "Type mismatch: \"" + text + "\" is not a number (line " + std::to_string(line) + ")");
  return v;
}

int32_t TextRecordReader::ReadLong() { return CLng(ReadNumber()); }
int16_t TextRecordReader::ReadInteger() { return CInt(ReadNumber()); }
uint8_t TextRecordReader::ReadByte() { return CByte(ReadNumber()); }
double TextRecordReader::ReadDouble() { return ReadNumber(); }

float TextRecordReader::ReadSingle() {
  const double v = ReadNumber();
  if (std::fabs(v) > 3.4028234663852886e38)
    throw RuntimeError(ErrorCode::Overflow, "Overflow reading a Single");
  return static_cast<float>(v);
}

bool TextRecordReader::ReadBoolean() {
  const size_t save = pos_;
  const int saveLine = line_;
  auto [text, quoted] = NextField();
  const std::string u = UCase(text);
  if (u == "#TRUE#" || u == "TRUE") return true;
  if (u == "#FALSE#" || u == "FALSE") return false;
  pos_ = save;
  line_ = saveLine;
  return ReadNumber() != 0.0;
}

std::string TextRecordReader::ReadLine() {
  const size_t n = data_.size();
  if (pos_ >= n) throw RuntimeError(ErrorCode::InputPastEnd, "Input past end of file");
  const size_t start = pos_;
  while (pos_ < n && data_[pos_] != '\r' && data_[pos_] != '\n') ++pos_;
  std::string line = data_.substr(start, pos_ - start);
  if (pos_ < n && data_[pos_] == '\r') ++pos_;
  if (pos_ < n && data_[pos_] == '\n') ++pos_;
  ++line_;
  return line;
}

void TextRecordWriter::Separate() {
  if (lineStarted_) text_ += ',';
  lineStarted_ = true;
}

TextRecordWriter& TextRecordWriter::String(std::string_view s) {
  Separate();
  text_ += '"';
  // A quote inside would end the field early on reading; the runtime cannot
  // carry one, so it is written as an apostrophe rather than break the file.
  for (char c : s) text_ += (c == '"') ? '\'' : c;
  text_ += '"';
  return *this;
}

TextRecordWriter& TextRecordWriter::Number(int64_t v) {
  Separate();
  text_ += std::to_string(v);
  return *this;
}

TextRecordWriter& TextRecordWriter::Single(float v) {
  Separate();
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  text_.append(buf, r.ptr);
  return *this;
}

TextRecordWriter& TextRecordWriter::Double(double v) {
  Separate();
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  text_.append(buf, r.ptr);
  return *this;
}

TextRecordWriter& TextRecordWriter::Boolean(bool v) {
  Separate();
  text_ += v ? "#TRUE#" : "#FALSE#";
  return *this;
}

TextRecordWriter& TextRecordWriter::EndRecord() {
  text_ += "\r\n";
  lineStarted_ = false;
  return *this;
}

bool TextRecordWriter::SaveAtomic(std::string_view gamePath) const { return WriteFileAtomic(gamePath, text_); }

}  // namespace plat
