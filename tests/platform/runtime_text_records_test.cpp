#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/runtime/error.hpp"
#include "platform/runtime/text_records.hpp"

using plat::ErrorCode;
using plat::RuntimeError;
using plat::TextRecordReader;
using plat::TextRecordWriter;

namespace {
ErrorCode CodeOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return e.code();
  }
  return ErrorCode::General;
}
}  // namespace

TEST(TextRecords, ReadsQuotedStringsNumbersAndLineEnds) {
  TextRecordReader r("\"Tank A\",12,-3.5\r\n  \"b, with comma\" , 7 \r\n\"x\",1\n\"y\",2\r");
  EXPECT_EQ(r.ReadString(), "Tank A");
  EXPECT_EQ(r.ReadLong(), 12);
  EXPECT_FLOAT_EQ(r.ReadSingle(), -3.5f);
  EXPECT_EQ(r.ReadString(), "b, with comma");
  EXPECT_EQ(r.ReadInteger(), 7);
  EXPECT_EQ(r.ReadString(), "x");
  EXPECT_EQ(r.ReadLong(), 1);
  EXPECT_EQ(r.ReadString(), "y");
  EXPECT_EQ(r.ReadLong(), 2);
  EXPECT_TRUE(r.AtEnd());
}

TEST(TextRecords, UnquotedStringsAreTrimmedAndTrailingBlankLinesAreTheEnd) {
  TextRecordReader r("  plain text ,5\r\n\r\n  \r\n");
  EXPECT_EQ(r.ReadString(), "plain text");
  EXPECT_EQ(r.ReadLong(), 5);
  EXPECT_TRUE(r.AtEnd());
}

TEST(TextRecords, WholeNumbersRoundHalvesToEven) {
  TextRecordReader r("2.5,3.5,-2.5,0.5\r\n");
  EXPECT_EQ(r.ReadLong(), 2);
  EXPECT_EQ(r.ReadLong(), 4);
  EXPECT_EQ(r.ReadLong(), -2);
  EXPECT_EQ(r.ReadInteger(), 0);
}

TEST(TextRecords, BadFieldsRaiseTheRuntimesErrors) {
  EXPECT_EQ(CodeOf([] { TextRecordReader("abc\r\n").ReadLong(); }), ErrorCode::TypeMismatch);
  EXPECT_EQ(CodeOf([] { TextRecordReader("70000\r\n").ReadInteger(); }), ErrorCode::Overflow);
  EXPECT_EQ(CodeOf([] { TextRecordReader("3000000000\r\n").ReadLong(); }), ErrorCode::Overflow);
  EXPECT_EQ(CodeOf([] { TextRecordReader("1e300\r\n").ReadSingle(); }), ErrorCode::Overflow);
  EXPECT_EQ(CodeOf([] { TextRecordReader("nan\r\n").ReadDouble(); }), ErrorCode::TypeMismatch);
  EXPECT_EQ(CodeOf([] {
              TextRecordReader r("\"a\"\r\n");
              r.ReadString();
              r.ReadString();
            }),
            ErrorCode::InputPastEnd);
  // An unterminated quote takes the rest of the text and ends cleanly.
  TextRecordReader r("\"open");
  EXPECT_EQ(r.ReadString(), "open");
  EXPECT_TRUE(r.AtEnd());
}

TEST(TextRecords, WrittenRecordsReadBackExactly) {
  TextRecordWriter w;
  const float awkward = 0.1f + 0.2f;
  w.String("Name, with comma").Number(-2147483647 - 1).Single(awkward).Single(1e-7f).EndRecord();
  w.String("").Number(0).Double(3.141592653589).EndRecord();
  EXPECT_EQ(w.Text().substr(0, 20), "\"Name, with comma\",-");
  EXPECT_NE(w.Text().find("\r\n"), std::string::npos);
  TextRecordReader r(w.Text());
  EXPECT_EQ(r.ReadString(), "Name, with comma");
  EXPECT_EQ(r.ReadLong(), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(r.ReadSingle(), awkward);
  EXPECT_EQ(r.ReadSingle(), 1e-7f);
  EXPECT_EQ(r.ReadString(), "");
  EXPECT_EQ(r.ReadLong(), 0);
  EXPECT_EQ(r.ReadDouble(), 3.141592653589);
  EXPECT_TRUE(r.AtEnd());
}

TEST(TextRecords, AQuoteInsideAStringCannotBreakTheFile) {
  TextRecordWriter w;
  w.String("say \"hi\"").Number(1).EndRecord();
  TextRecordReader r(w.Text());
  EXPECT_EQ(r.ReadString(), "say 'hi'");
  EXPECT_EQ(r.ReadLong(), 1);
}
