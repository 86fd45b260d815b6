#include <gtest/gtest.h>

#include <sstream>

#include "io/BinaryIO.h"
#include "io/Utf16.h"
#include "sequence/SlideRecord.h"

using namespace mv;

namespace {

SlideRecord Make(std::uint32_t number, std::int32_t ms, std::u16string_view path) {
  SlideRecord r{};
  r.number = number;
  r.durationMs = ms;
  io::CopyToFixed(r.path, SlideRecord::kPathUnits, path);
  return r;
}

std::string Bytes(const std::vector<SlideRecord>& slides) {
  std::ostringstream os;
  seq::WriteSlideList(os, slides);
  return os.str();
}

}  // namespace

TEST(SlideRecord, LayoutIs532BytesLittleEndian) {
  std::ostringstream os;
  SlideRecord r = Make(3, 1520, u"media\\DSlide3");
  r.reserved = 0;
  seq::WriteSlideRecord(os, r);
  const std::string b = os.str();
  ASSERT_EQ(b.size(), 532u);
  EXPECT_EQ(b.substr(0, 12), std::string("\0\0\0\0\x03\0\0\0\xF0\x05\0\0", 12));
  EXPECT_EQ(b.substr(12, 4), std::string("m\0e\0", 4));
  EXPECT_EQ(b.substr(12 + 2 * 13, 2), std::string("\0\0", 2));  // terminator
  EXPECT_EQ(b.find_first_not_of('\0', 12 + 2 * 13), std::string::npos);
}

TEST(SlideList, TwelveSlidesSurviveARoundTrip) {
  std::vector<SlideRecord> in;
  for (std::uint32_t i = 0; i < 12; ++i)
    in.push_back(Make(i, 1000 * static_cast<std::int32_t>(i), u"media\\DSlide" + io::Utf8ToUtf16(std::to_string(i))));
  std::istringstream is(Bytes(in));
  std::vector<SlideRecord> out;
  ASSERT_TRUE(seq::ReadSlideList(is, out));
  ASSERT_EQ(out.size(), 12u);
  EXPECT_EQ(Bytes(out), Bytes(in));
}

TEST(SlideList, DamagedCounts) {
  const std::vector<SlideRecord> two = {Make(0, 10, u"a"), Make(1, 20, u"b")};
  const std::string records = Bytes(two).substr(4);
  struct Case {
    std::int32_t count;
    std::size_t expect;
  };
  // A count above the records present reads those present; 0 or below none.
  const Case cases[] = {{2, 2}, {1, 1}, {0, 0}, {-5, 0}, {1000000000, 2}, {INT32_MAX, 2}};
  for (const auto& c : cases) {
    std::ostringstream os;
    io::WriteI32(os, c.count);
    std::istringstream is(os.str() + records);
    std::vector<SlideRecord> out;
    ASSERT_TRUE(seq::ReadSlideList(is, out));
    EXPECT_EQ(out.size(), c.expect) << "count " << c.count;
    // What was read stays usable: the next read of the stream is not poisoned.
    EXPECT_FALSE(is.bad());
  }
}

TEST(SlideList, AShortLastRecordIsKeptAsRead) {
  std::string bytes = Bytes({Make(0, 10, u"a"), Make(7, 99, u"media\\x")});
  bytes.resize(4 + 532 + 20);  // second record cut inside its path
  std::istringstream is(bytes);
  std::vector<SlideRecord> out;
  ASSERT_TRUE(seq::ReadSlideList(is, out));
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[1].number, 7u);
  EXPECT_EQ(out[1].durationMs, 99);
  EXPECT_EQ(io::FixedView(out[1].path, 260), u"medi");
}

TEST(SlideList, MissingCountFails) {
  std::istringstream is(std::string("\x01\x00", 2));
  std::vector<SlideRecord> out;
  EXPECT_FALSE(seq::ReadSlideList(is, out));
  EXPECT_TRUE(out.empty());
}

TEST(SlideList, UnterminatedPathIsKeptByteForByte) {
  SlideRecord r{};
  for (auto& c : r.path) c = u'z';
  std::istringstream is(Bytes({r}));
  std::vector<SlideRecord> out;
  ASSERT_TRUE(seq::ReadSlideList(is, out));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(io::FixedView(out[0].path, 260).size(), 260u);
  EXPECT_EQ(Bytes(out), Bytes({r}));
}
