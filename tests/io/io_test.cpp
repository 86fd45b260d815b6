#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "io/BinaryIO.h"
#include "io/Paths.h"
#include "io/Utf16.h"

namespace fs = std::filesystem;
using namespace mv::io;

TEST(BinaryIO, WritesLittleEndianFieldByField) {
  std::ostringstream os;
  WriteI32(os, -2);
  WriteU32(os, 0x01020304u);
  WriteF32(os, 1.0f);
  WriteBool(os, true);
  const char16_t s[3] = {u'A', 0x20AC, 0};
  WriteChars16(os, s, 3);
  const std::string expect("\xFE\xFF\xFF\xFF\x04\x03\x02\x01\x00\x00\x80\x3F\x01"
                           "A\x00\xAC\x20\x00\x00",
                           19);
  EXPECT_EQ(os.str(), expect);
}

TEST(BinaryIO, ShortReadKeepsWhatArrivedAndFailsTheStream) {
  std::istringstream is(std::string("\x07\x00", 2));
  std::int32_t v = -1;
  EXPECT_FALSE(ReadI32(is, v));
  // The two bytes that arrived replace the low bytes of the preset.
  EXPECT_EQ(v, static_cast<std::int32_t>(0xFFFF0007u));
  EXPECT_FALSE(Good(is));
}

TEST(BinaryIO, RoundTripsEveryType) {
  std::stringstream ss;
  WriteI32(ss, INT32_MIN);
  WriteF32(ss, -3.25f);
  WriteU8(ss, 200);
  std::int32_t i = 0;
  float f = 0;
  std::uint8_t b = 0;
  ASSERT_TRUE(ReadI32(ss, i) && ReadF32(ss, f) && ReadU8(ss, b));
  EXPECT_EQ(i, INT32_MIN);
  EXPECT_EQ(f, -3.25f);
  EXPECT_EQ(b, 200);
}

TEST(Utf16, ConvertsBothWaysIncludingSurrogates) {
  const std::string utf8 = "Caf\xC3\xA9 \xF0\x9F\x8E\xB5";
  const std::u16string u = Utf8ToUtf16(utf8);
  ASSERT_EQ(u.size(), 7u);
  EXPECT_EQ(u[3], 0xE9);
  EXPECT_EQ(u[5], 0xD83C);
  EXPECT_EQ(Utf16ToUtf8(u), utf8);
}

TEST(Utf16, AnsiFallsBackToWindows1252) {
  EXPECT_EQ(AnsiToUtf8("plain"), "plain");
  EXPECT_EQ(AnsiToUtf8("Caf\xC3\xA9"), "Caf\xC3\xA9");  // valid UTF-8 kept
  EXPECT_EQ(AnsiToUtf8("Caf\xE9 \x80"), "Caf\xC3\xA9 \xE2\x82\xAC");
}

TEST(Utf16, FixedArraysTruncateAndTerminate) {
  char16_t buf[4];
  CopyToFixed(buf, 4, u"abcdef");
  EXPECT_EQ(FixedView(buf, 4), u"abc");
  EXPECT_EQ(buf[3], 0);
  char16_t full[2] = {u'x', u'y'};
  EXPECT_EQ(FixedView(full, 2), u"xy");
}

class PathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("mv-paths-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    fs::create_directories(dir_ / "media" / "particles");
    std::ofstream(dir_ / "media" / "particles" / "Spark.dds") << "x";
    old_ = fs::current_path();
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(old_);
    fs::remove_all(dir_);
  }
  fs::path dir_, old_;
};

TEST_F(PathsTest, BackslashesMapAndCaseIsForgiven) {
  EXPECT_EQ(NativePath("media\\particles\\Spark.dds"), fs::path("media/particles/Spark.dds"));
  EXPECT_EQ(NativePath("Media\\Particles\\spark.DDS"), fs::path("media/particles/Spark.dds"));
  EXPECT_EQ(NativePath(u"MEDIA\\particles\\spark.dds"), fs::path("media/particles/Spark.dds"));
  // A missing file maps to the path as written, for the error message.
  EXPECT_EQ(NativePath("media\\nothing\\x.dds"), fs::path("media/nothing/x.dds"));
}

TEST_F(PathsTest, WritingAtomicallyKeepsTheOldFileOnFailure) {
  const fs::path f = "media/keep.bin";
  ASSERT_TRUE(WriteFileAtomically(f, [](std::ostream& o) { o << "good"; return true; }));
  EXPECT_FALSE(WriteFileAtomically(f, [](std::ostream& o) { o << "half"; return false; }));
  std::ifstream in(f);
  std::string s;
  in >> s;
  EXPECT_EQ(s, "good");
  EXPECT_EQ(std::distance(fs::directory_iterator("media"), fs::directory_iterator()), 2);  // no temp left
  EXPECT_FALSE(WriteFileAtomically("missing-dir/x.bin", [](std::ostream&) { return true; }));
}

TEST(Paths, StaysInWorkingFolder) {
  struct Case { const char16_t* path; bool ok; };
  const Case cases[] = {{u"media\\DSlide2", true}, {u"..\\x", false},      {u"media\\..\\..\\x", false},
                        {u"C:\\x", false},         {u"\\etc\\passwd", false}, {u"/etc/passwd", false},
                        {u"", false},              {u"media\\..x", true}};
  for (const auto& c : cases) EXPECT_EQ(StaysInWorkingFolder(c.path), c.ok) << Utf16ToUtf8(c.path);
}
