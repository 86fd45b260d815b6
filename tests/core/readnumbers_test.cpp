#include <gtest/gtest.h>

#include <vector>

#include "core/ReadNumbers.h"

TEST(ReadNumbers, TableOfTexts) {
  struct Case {
    std::u16string text;
    std::size_t n;
    std::vector<float> expect;  // outputs written; the rest keep the sentinel
  };
  const Case cases[] = {
      {u"1500", 1, {1500}},
      {u"  12.5 -3 7", 3, {12.5f, -3, 7}},
      {u"1 2", 4, {1, 2}},            // end of text: later outputs untouched
      {u"x 5", 2, {0, 0}},            // empty run does not move on
      {u"", 2, {}},
      {u"  42", 1, {42}},
      {u"1-2", 1, {1}},
      {u"-", 1, {0}},
  };
  for (const auto& c : cases) {
    float out[4] = {99, 99, 99, 99};
    const std::size_t w = ReadNumbers(c.text, out, c.n);
    ASSERT_EQ(w, c.expect.size());
    for (std::size_t i = 0; i < 4; ++i) {
      if (i < c.expect.size())
        EXPECT_FLOAT_EQ(out[i], c.expect[i]);
      else
        EXPECT_EQ(out[i], 99);
    }
  }
}

TEST(ReadNumbers, RunsLongerThan99CharactersContinueAsTheNextNumber) {
  // 99 digits make the first number; the rest of the run is the second.
  std::u16string text = std::u16string(99, u'0') + u"75";
  float out[2] = {-1, -1};
  ASSERT_EQ(ReadNumbers(text, out, 2), 2u);
  EXPECT_FLOAT_EQ(out[0], 0);
  EXPECT_FLOAT_EQ(out[1], 75);
}
