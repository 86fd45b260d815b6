// The inspector's JSON side: floats and integers as the file holds them,
// text that is not JSON, hostile nesting, escapes in edited documents.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "SlideTool.h"
#include "effects/SectionFormat.h"
#include "io/BinaryIO.h"

namespace {

using slidetool::Document;

// A slide cut after its sky box: the sky box fields are parsed (the missing
// device section is a fault), which puts nine floats in the dump.
std::string SkyBoxSlide(const std::array<float, 9>& v) {
  std::ostringstream os;
  mv::io::WriteI32(os, 1);
  mv::effects::WritePanelPrefs(os, {0, 0, 0});
  mv::effects::SkyBoxFields f;
  std::copy(v.begin(), v.begin() + 3, f.scale.begin());
  std::copy(v.begin() + 3, v.begin() + 6, f.rotation.begin());
  std::copy(v.begin() + 6, v.end(), f.rotationSpeed.begin());
  mv::effects::WriteSkyBoxFields(os, f);
  return os.str();
}

// Dump, text, parse, build: as a user's dump-edit-build goes.
std::string ThroughText(const std::string& bytes) {
  std::string out, error;
  const auto doc = slidetool::Parse(slidetool::ToText(slidetool::Dump(bytes).doc), error);
  EXPECT_TRUE(doc) << error;
  if (!doc) return {};
  EXPECT_TRUE(slidetool::Build(*doc, out, error)) << error;
  return out;
}

std::uint32_t U32At(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  std::memcpy(&v, bytes.data() + at, 4);  // little-endian, as the files and the host
  return v;
}

// Builds a document given as text; the error when it fails.
bool BuildText(const std::string& text, std::string& out, std::string& error) {
  const auto doc = slidetool::Parse(text, error);
  if (!doc) return false;
  return slidetool::Build(*doc, out, error);
}

std::string Replace(std::string s, const std::string& what, const std::string& with) {
  return s.replace(s.find(what), what.size(), with);
}

}  // namespace

TEST(SlideToolJson, FloatsComeBackBitForBit) {
  // Edge values, then a walk over the bit space.
  std::vector<std::uint32_t> bits = {0x00000000, 0x80000000, 0x00000001, 0x007FFFFF, 0x00800000, 0x7F7FFFFF,
                                     0xFF7FFFFF, 0x3F800000, 0x3DCCCCCD, 0x42C80000, 0x7F800000, 0xFF800000,
                                     0x7FC00000, 0xFFC00001, 0x7F800001, 0x4B800001, 0x33800000, 0x5F000000,
                                     // The only magnitude whose shortest decimal, read as a
                                     // double, narrows to another float (7.038531e-26).
                                     0x15AE43FD, 0x95AE43FD};
  for (std::uint32_t b = 0x1234567; bits.size() < 20007; b = b * 2654435761u + 12345u) bits.push_back(b);
  const char* members[] = {"scale", "rotation", "rotationSpeed"};
  for (std::size_t i = 0; i < bits.size(); i += 9) {
    std::array<float, 9> v;
    for (std::size_t j = 0; j < 9; ++j) v[j] = std::bit_cast<float>(bits[(i + j) % bits.size()]);
    const std::string slide = SkyBoxSlide(v);
    const auto d = slidetool::Dump(slide);
    const Document& sky = d.doc.at("sections")[0];
    for (std::size_t j = 0; j < 9; ++j) {
      const Document& shown = sky.at(members[j / 3])[j % 3];
      ASSERT_EQ(shown.is_string(), !std::isfinite(v[j])) << std::hex << bits[(i + j) % bits.size()];
      if (shown.is_number()) {
        EXPECT_TRUE(shown.is_number_float()) << shown;
      }
    }
    ASSERT_EQ(ThroughText(slide), slide) << "floats from bit pattern " << i;
  }
}

TEST(SlideToolJson, FloatsPrintBrieflyAndNonFiniteAsTheirBits) {
  const struct {
    std::uint32_t bits;
    const char* text;
  } cases[] = {
      {0x3FC00000, "1.5"},         {0x3DCCCCCD, "0.1"},           {0x80000000, "-0.0"},
      {0x40490FDB, "3.1415927"},   {0x42C80000, "100.0"},         {0x00000001, "1e-45"},
      {0x7F7FFFFF, "3.4028235e+38"}, {0xBF800000, "-1.0"},        {0x7FC00000, "\"0x7FC00000\""},
      {0xFFC00001, "\"0xFFC00001\""}, {0x7F800000, "\"0x7F800000\""}, {0xFF800000, "\"0xFF800000\""},
      // 7.038531e-26 would read back as the next float up: the widened double instead.
      {0x15AE43FD, "7.038530691851209e-26"},
  };
  for (const auto& c : cases) {
    std::array<float, 9> v{};
    v[0] = std::bit_cast<float>(c.bits);
    const auto d = slidetool::Dump(SkyBoxSlide(v));
    const Document& sky = d.doc.at("sections")[0];
    EXPECT_EQ(sky.at("scale")[0].dump(), c.text) << std::hex << c.bits;
  }
}

TEST(SlideToolJson, FloatsReadFromEditedText) {
  const std::string doc =
      R"({"file": "slide", "sections": [{"tag": 1, "panel": {"x": 0, "y": 0, "minimized": 0}, "currentIndex": 0,
          "enabled": 1, "scale": [F, 1, 1], "rotation": [0, 0, 0], "rotationSpeed": [0, 0, 0]}]})";
  const std::size_t scale0 = 4 + 9 + 4 + 1;
  const struct {
    const char* literal;
    bool ok;
    std::uint32_t bits;
  } cases[] = {
      {"1", true, 0x3F800000},           {"0.1", true, 0x3DCCCCCD},
      {"-0.0", true, 0x80000000},        {"1e-50", true, 0x00000000},
      {"3.4028234663852886e38", true, 0x7F7FFFFF}, {"3.4028235e+38", true, 0x7F7FFFFF},
      {"-3.4028235677973362e38", true, 0xFF7FFFFF},
      {"3.4028235677973366e38", false, 0},  // halfway to the next power of two: infinity
      {"\"0x7FC00000\"", true, 0x7FC00000}, {"\"0x7fc00001\"", true, 0x7FC00001},
      {"\"0X3F800000\"", true, 0x3F800000},
      {"1e39", false, 0},                {"-1e39", false, 0},
      {"\"0x1234\"", false, 0},
      {"\"0x3F80000G\"", false, 0},      {"\"0x+3F80000\"", false, 0},
      {"\"1.5\"", false, 0},             {"null", false, 0},
      {"true", false, 0},                {"[1]", false, 0},
  };
  for (const auto& c : cases) {
    std::string out, error;
    const bool built = BuildText(Replace(doc, "F", c.literal), out, error);
    ASSERT_EQ(built, c.ok) << c.literal << ": " << error;
    if (built) {
      EXPECT_EQ(U32At(out, scale0), c.bits) << c.literal;
    } else {
      EXPECT_EQ(error.rfind("$.sections[0].scale[0]: float expected", 0), 0u) << c.literal << ": " << error;
    }
  }
}

TEST(SlideToolJson, IntegersMustFitTheirField) {
  const std::string doc =
      R"({"file": "sequence", "tag": TAG, "panel": {"x": 0, "y": 0, "minimized": MIN}, "count": 1,
          "slides": [{"reserved": RES, "number": 0, "duration": 1, "path": "p"}]})";
  const struct {
    const char* placeholder;
    const char* literal;
    bool ok;
    std::size_t offset;  // of the field in the built file
    std::size_t width;
    std::int64_t value;
    const char* member;
  } cases[] = {
      {"TAG", "2147483647", true, 0, 4, 2147483647, "$.tag"},
      {"TAG", "-2147483648", true, 0, 4, INT32_MIN, "$.tag"},
      {"TAG", "-0", true, 0, 4, 0, "$.tag"},
      {"TAG", "2147483648", false, 0, 0, 0, "$.tag"},
      {"TAG", "-2147483649", false, 0, 0, 0, "$.tag"},
      {"TAG", "99999999999999999999999", false, 0, 0, 0, "$.tag"},
      {"TAG", "1e3", false, 0, 0, 0, "$.tag"},
      {"TAG", "7.0", false, 0, 0, 0, "$.tag"},
      {"TAG", "\"7\"", false, 0, 0, 0, "$.tag"},
      {"TAG", "true", false, 0, 0, 0, "$.tag"},
      {"RES", "4294967295", true, 17, 4, 4294967295, "$.slides[0].reserved"},
      {"RES", "4294967296", false, 0, 0, 0, "$.slides[0].reserved"},
      {"RES", "-1", false, 0, 0, 0, "$.slides[0].reserved"},
      {"MIN", "255", true, 12, 1, 255, "$.panel.minimized"},
      {"MIN", "256", false, 0, 0, 0, "$.panel.minimized"},
      {"MIN", "-1", false, 0, 0, 0, "$.panel.minimized"},
  };
  for (const auto& c : cases) {
    std::string text = doc;
    for (const char* p : {"TAG", "MIN", "RES"})
      text = Replace(text, p, p == std::string(c.placeholder) ? c.literal : (p == std::string("TAG") ? "7" : "0"));
    std::string out, error;
    const bool built = BuildText(text, out, error);
    ASSERT_EQ(built, c.ok) << c.member << " = " << c.literal << ": " << error;
    if (built) {
      ASSERT_EQ(out.size(), 17u + 532u);
      std::uint32_t stored = 0;
      std::memcpy(&stored, out.data() + c.offset, c.width);
      EXPECT_EQ(stored, static_cast<std::uint32_t>(c.value)) << c.member << " = " << c.literal;
    } else {
      EXPECT_EQ(error.rfind(std::string(c.member) + ": integer in ", 0), 0u) << c.literal << ": " << error;
    }
  }
}

TEST(SlideToolJson, TextThatIsNotJsonIsRefusedWithItsPlace) {
  const char* cases[] = {"",      "{",         "[1,]",       "{\"a\" 1}",   "\"abc",       "01",
                         "1.",    "-",         "tru",        "[1] 2",       "\"\\x\"",     "\"\\u12\"",
                         "{\"a\":}", "\"a\nb\"", "\"\\ud800\"", "\"\xFF\"",  "{\"a\": 1} // note", "{'a': 1}"};
  for (const char* c : cases) {
    std::string error;
    EXPECT_FALSE(slidetool::Parse(c, error)) << c;
    EXPECT_EQ(error.rfind("parse error at line ", 0), 0u) << c << ": " << error;
    EXPECT_NE(error.find(", column "), std::string::npos) << c << ": " << error;
  }
  // Numbers beyond a double are refused too (the library throws out_of_range).
  for (const char* c : {"[1e400]", "{\"tag\": -1e999}"}) {
    std::string error;
    EXPECT_FALSE(slidetool::Parse(c, error)) << c;
    EXPECT_EQ(error.rfind("number overflow parsing '", 0), 0u) << c << ": " << error;
  }
}

TEST(SlideToolJson, HostileNestingIsAnErrorNotACrash) {
  std::string out, error;
  EXPECT_FALSE(slidetool::Parse(std::string(100000, '['), error));
  EXPECT_FALSE(error.empty());
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  ASSERT_FALSE(BuildText(deep, out, error));
  EXPECT_EQ(error, "$: object expected");
  ASSERT_FALSE(BuildText(R"({"file": "slide", "sections": )" + deep + "}", out, error));
  EXPECT_EQ(error, "$.sections[0]: object expected");
}

TEST(SlideToolJson, EscapedTextReachesTheFile) {
  const std::string doc =
      R"({"file": "sequence", "tag": 7, "panel": {"x": 0, "y": 0, "minimized": 1}, "count": 1,
          "slides": [{"reserved": 0, "number": 0, "duration": 1,
                      "path": "a\"\\\n\u00e9\ud83d\ude00\/\u0041"}]})";
  std::string out, error;
  ASSERT_TRUE(BuildText(doc, out, error)) << error;
  const std::u16string expected = u"a\"\\\n\u00e9\U0001F600/A";
  for (std::size_t i = 0; i <= expected.size(); ++i) {
    const std::size_t at = 17 + 12 + 2 * i;
    const char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(out[at]) |
                                                (static_cast<unsigned char>(out[at + 1]) << 8));
    EXPECT_EQ(unit, i < expected.size() ? expected[i] : u'\0') << i;
  }
  // A member repeated: the last one counts, as in the library.
  ASSERT_TRUE(BuildText(Replace(doc, R"("tag": 7,)", R"("tag": 3, "tag": 7,)"), out, error)) << error;
  EXPECT_EQ(U32At(out, 0), 7u);
}
