#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>

#include "Json.h"

using mvjson::Value;

TEST(SlideToolJson, ParsesAndWritesNestedDocuments) {
  const std::string text =
      R"({"a": [1, -2, 3.5e2, true, false, null], "b": {"s": "x\"y\\z\n\u00e9\ud83d\ude00", "e": {}}, "c": []})";
  mvjson::ParseError err;
  auto v = mvjson::Parse(text, &err);
  ASSERT_TRUE(v) << err.message;
  const Value* a = v->Find("a");
  ASSERT_TRUE(a && a->IsArray());
  ASSERT_EQ(a->Items().size(), 6u);
  EXPECT_EQ(a->Items()[1].AsInt(-10, 10), -2);
  EXPECT_EQ(a->Items()[2].AsFloat(), 350.0f);
  EXPECT_FALSE(a->Items()[2].AsInt(0, 1000));  // not an integer literal
  EXPECT_EQ(a->Items()[3].AsBool(), true);
  EXPECT_TRUE(a->Items()[5].IsNull());
  const Value* s = v->Find("b")->Find("s");
  ASSERT_TRUE(s && s->IsString());
  EXPECT_EQ(s->Text(), "x\"y\\z\n\xC3\xA9\xF0\x9F\x98\x80");
  // Written and read again: the same document.
  auto again = mvjson::Parse(mvjson::Write(*v));
  ASSERT_TRUE(again);
  EXPECT_EQ(mvjson::Write(*again), mvjson::Write(*v));
  EXPECT_EQ(again->Members()[0].first, "a");  // member order kept
  EXPECT_EQ(again->Members()[2].first, "c");
}

TEST(SlideToolJson, RejectsMalformedText) {
  const char* cases[] = {"",   "{",   "[1,]", "{\"a\" 1}", "\"abc",     "01",       "1.",
                         "-",  "tru", "[1] 2", "\"\\x\"",  "\"\\u12\"", "{\"a\":}", "\"a\nb\""};
  for (const char* c : cases) {
    mvjson::ParseError err;
    EXPECT_FALSE(mvjson::Parse(c, &err)) << c;
    EXPECT_FALSE(err.message.empty()) << c;
    EXPECT_LE(err.offset, std::string(c).size()) << c;
  }
}

TEST(SlideToolJson, NestingIsBounded) {
  EXPECT_TRUE(mvjson::Parse(std::string(60, '[') + std::string(60, ']')));
  mvjson::ParseError err;
  EXPECT_FALSE(mvjson::Parse(std::string(100000, '['), &err));
  EXPECT_EQ(err.message, "nesting too deep");
}

TEST(SlideToolJson, FloatsComeBackBitForBit) {
  // Edge values, then a walk over the bit space.
  std::vector<std::uint32_t> bits = {0x00000000, 0x80000000, 0x00000001, 0x007FFFFF, 0x00800000, 0x7F7FFFFF,
                                     0xFF7FFFFF, 0x3F800000, 0x3DCCCCCD, 0x42C80000, 0x7F800000, 0xFF800000,
                                     0x7FC00000, 0xFFC00001, 0x7F800001};
  for (std::uint32_t b = 0x1234567; bits.size() < 20000; b = b * 2654435761u + 12345u) bits.push_back(b);
  for (std::uint32_t b : bits) {
    const float f = std::bit_cast<float>(b);
    const Value v = Value::Float(f);
    EXPECT_EQ(v.IsString(), !std::isfinite(f)) << std::hex << b;
    auto parsed = mvjson::Parse(mvjson::Write(v));
    ASSERT_TRUE(parsed) << std::hex << b;
    const auto back = parsed->AsFloat();
    ASSERT_TRUE(back) << std::hex << b;
    EXPECT_EQ(std::bit_cast<std::uint32_t>(*back), b);
  }
}

TEST(SlideToolJson, IntegerRanges) {
  EXPECT_EQ(Value::Number("2147483647").AsInt(INT32_MIN, INT32_MAX), 2147483647);
  EXPECT_EQ(Value::Number("-2147483648").AsInt(INT32_MIN, INT32_MAX), INT32_MIN);
  EXPECT_FALSE(Value::Number("2147483648").AsInt(INT32_MIN, INT32_MAX));
  EXPECT_FALSE(Value::Number("99999999999999999999999").AsInt(INT32_MIN, INT32_MAX));
  EXPECT_FALSE(Value::Number("1e3").AsInt(0, 10000));
  EXPECT_FALSE(Value::String("0x1234").AsFloat());  // bits need all eight digits
  EXPECT_FALSE(Value::Number("1e39").AsFloat());    // beyond float range
}
