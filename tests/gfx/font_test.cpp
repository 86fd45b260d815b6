#include "gfx/Font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace gfx {
namespace {

const Color kYellow(1.0f, 1.0f, 0.0f, 1.0f);

// Largest atlas coverage inside a quad's texture rectangle, and whether any
// value other than 0 and 255 occurs there.
struct Coverage {
  int max = 0;
  bool partial = false;
};

Coverage Sample(const GlyphAtlas& atlas, const GlyphQuad& q) {
  Coverage c;
  const int x0 = int(std::lround(q.u0 * atlas.Width())), x1 = int(std::lround(q.u1 * atlas.Width()));
  const int y0 = int(std::lround(q.v0 * atlas.Height())), y1 = int(std::lround(q.v1 * atlas.Height()));
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const int v = atlas.At(x, y);
      c.max = std::max(c.max, v);
      if (v != 0 && v != 255) c.partial = true;
    }
  return c;
}

TEST(FontFaces, ArialResolvesToAMetricCompatibleFace) {
  auto regular = ResolveFontFace("Arial", 400);
  ASSERT_TRUE(regular);
  EXPECT_EQ(regular->family, "Liberation Sans");
  EXPECT_FALSE(regular->file.empty());
  auto bold = ResolveFontFace("Arial", 700);
  ASSERT_TRUE(bold);
  EXPECT_EQ(bold->family, "Liberation Sans");
  EXPECT_NE(bold->style.find("Bold"), std::string::npos) << bold->style;
  EXPECT_NE(bold->file, regular->file);
  EXPECT_FALSE(bold->embolden);
}

TEST(FontFaces, UnknownFamilyFallsBackAndSaysSo) {
  auto m = ResolveFontFace("No Such Family 4711", 400);
  ASSERT_TRUE(m);
  EXPECT_FALSE(m->family.empty());
  EXPECT_NE(m->family, "No Such Family 4711");
  auto font = Font::Create("No Such Family 4711", 15, 400, true);
  ASSERT_TRUE(font);
  EXPECT_EQ(font->RequestedFace(), "No Such Family 4711");
  EXPECT_EQ(font->Family(), m->family);
}

TEST(FontFaces, EnumerationIsSortedUniqueAndHasInstalledFamilies) {
  const auto families = EnumerateFontFamilies();
  ASSERT_FALSE(families.empty());
  EXPECT_TRUE(std::is_sorted(families.begin(), families.end()));
  EXPECT_EQ(std::set<std::u16string>(families.begin(), families.end()).size(), families.size());
  EXPECT_NE(std::find(families.begin(), families.end(), u"Liberation Sans"), families.end());
  EXPECT_NE(std::find(families.begin(), families.end(), u"DejaVu Sans"), families.end());
  // Metric aliases of installed faces are listed; mere fallbacks are not.
  EXPECT_NE(std::find(families.begin(), families.end(), u"Arial"), families.end());
  EXPECT_NE(std::find(families.begin(), families.end(), u"Times New Roman"), families.end());
  EXPECT_NE(std::find(families.begin(), families.end(), u"Courier New"), families.end());
  EXPECT_EQ(std::find(families.begin(), families.end(), u"Verdana"), families.end());
  EXPECT_EQ(std::find(families.begin(), families.end(), u"Comic Sans MS"), families.end());
  const auto installed = EnumerateFontFamilies(false);
  EXPECT_EQ(std::find(installed.begin(), installed.end(), u"Arial"), installed.end());
  EXPECT_GT(families.size(), installed.size());
}

TEST(Font, OverlayFontMetricsFollowTheCellHeight) {
  std::string err;
  auto font = Font::Create("Arial", 15, 700, false, &err);
  ASSERT_TRUE(font) << err;
  EXPECT_EQ(font->Family(), "Liberation Sans");
  EXPECT_EQ(font->Height(), 15);
  EXPECT_EQ(font->Weight(), 700);
  EXPECT_FALSE(font->Antialiased());
  EXPECT_EQ(font->CellHeight(), 15.0f);
  EXPECT_EQ(font->Ascent(), 12.0f);  // Liberation Sans keeps Arial's 1854 / 434 split

  // A negative height is the em size, so the cell is taller than it.
  auto em = Font::Create(u"Arial", -32, 400, true, &err);
  ASSERT_TRUE(em) << err;
  EXPECT_GT(em->CellHeight(), 33.0f);
  EXPECT_LT(em->CellHeight(), 40.0f);
}

TEST(Font, LayoutAdvancesAlongTheLine) {
  auto font = Font::Create("Arial", 15, 700, true);
  ASSERT_TRUE(font);
  std::vector<GlyphQuad> quads;
  const TextExtent e = font->LayoutText(u"Hello", 320, 5, kYellow, quads);
  ASSERT_EQ(quads.size(), 5u);
  for (std::size_t i = 1; i < quads.size(); ++i) EXPECT_GT(quads[i].x0, quads[i - 1].x0) << i;
  for (const GlyphQuad& q : quads) {
    EXPECT_GE(q.x0, 320.0f);
    EXPECT_GE(q.y0, 5.0f);
    EXPECT_LE(q.y1, 5.0f + 15.0f + 1.0f);
    EXPECT_LT(q.x0, q.x1);
    EXPECT_LT(q.y0, q.y1);
    EXPECT_EQ(q.color, kYellow);
    // Pixel-aligned, so each texel lands on one pixel.
    EXPECT_EQ(q.x0, std::floor(q.x0));
    EXPECT_EQ(q.y0, std::floor(q.y0));
    EXPECT_FLOAT_EQ((q.u1 - q.u0) * font->Atlas().Width(), q.x1 - q.x0);
    EXPECT_FLOAT_EQ((q.v1 - q.v0) * font->Atlas().Height(), q.y1 - q.y0);
  }
  EXPECT_GT(e.width, quads.back().x1 - 320.0f - 2.0f);
  EXPECT_NEAR(e.height, font->CellHeight(), 1e-4f);

  // A space draws nothing but moves the pen.
  quads.clear();
  font->LayoutText(u"l l", 0, 0, kYellow, quads);
  ASSERT_EQ(quads.size(), 2u);
  EXPECT_GT(quads[1].x0 - quads[0].x0, font->MeasureText(u"l").width);
  EXPECT_GT(font->MeasureText(u"ll").width, font->MeasureText(u"l").width);
}

TEST(Font, LineBreaksMoveDownByTheLineHeight) {
  auto font = Font::Create("Arial", 15, 700, false);
  ASSERT_TRUE(font);
  struct Case {
    const char16_t* text;
    float lineHeight;
    float step;
  } cases[] = {
      {u"A\nA", 15, 15},
      {u"A\r\nA", 16, 16},
      {u"A\n\nA", 15, 30},
      {u"A\nA", 0, font->CellHeight()},
  };
  for (const auto& c : cases) {
    std::vector<GlyphQuad> quads;
    const TextExtent e = font->LayoutText(c.text, 10, 20, kYellow, quads, c.lineHeight);
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_FLOAT_EQ(quads[1].y0 - quads[0].y0, c.step);
    EXPECT_FLOAT_EQ(quads[1].x0, quads[0].x0);
    EXPECT_FLOAT_EQ(e.height, c.step + (c.lineHeight > 0 ? c.lineHeight : font->CellHeight()));
  }
  std::vector<GlyphQuad> quads;
  EXPECT_EQ(font->LayoutText(u"", 0, 0, kYellow, quads).height, 0.0f);
  EXPECT_TRUE(quads.empty());
}

TEST(Font, AtlasHoldsCoverageForEachGlyph) {
  auto mono = Font::Create("Arial", 15, 700, false);
  auto smooth = Font::Create("Arial", 15, 700, true);
  ASSERT_TRUE(mono && smooth);
  std::vector<GlyphQuad> mq, sq;
  mono->LayoutText(u"Ag", 0, 0, kYellow, mq);
  smooth->LayoutText(u"Ag", 0, 0, kYellow, sq);
  ASSERT_EQ(mq.size(), 2u);
  ASSERT_EQ(sq.size(), 2u);
  bool anyPartial = false;
  for (const GlyphQuad& q : mq) {
    const Coverage c = Sample(mono->Atlas(), q);
    EXPECT_EQ(c.max, 255);
    EXPECT_FALSE(c.partial);  // non-antialiased: on or off
  }
  for (const GlyphQuad& q : sq) {
    const Coverage c = Sample(smooth->Atlas(), q);
    EXPECT_GT(c.max, 128);
    anyPartial |= c.partial;
  }
  EXPECT_TRUE(anyPartial);
  // The 'g' descends below the baseline, the 'A' does not.
  EXPECT_GT(mq[1].y1, mq[0].y1);
}

TEST(Font, SteadyStateAddsNothingToTheAtlas) {
  auto font = Font::Create("Arial", 15, 700, false);
  ASSERT_TRUE(font);
  GlyphAtlas& atlas = font->Atlas();
  EXPECT_TRUE(atlas.Dirty());  // a fresh atlas needs its first upload
  std::vector<GlyphQuad> quads;
  font->LayoutText(u"Frame 12 fps", 0, 0, kYellow, quads);
  EXPECT_TRUE(atlas.Dirty());
  EXPECT_LT(atlas.DirtyTop(), atlas.DirtyBottom());
  atlas.ClearDirty();
  const std::vector<GlyphQuad> first = quads;
  const std::size_t capacity = quads.capacity();
  for (int frame = 0; frame < 3; ++frame) {
    quads.clear();
    font->LayoutText(u"Frame 12 fps", 0, 0, kYellow, quads);
    EXPECT_FALSE(atlas.Dirty());
    EXPECT_EQ(quads.capacity(), capacity);
    ASSERT_EQ(quads.size(), first.size());
    for (std::size_t i = 0; i < quads.size(); ++i) EXPECT_EQ(quads[i].u0, first[i].u0);
  }
  // A new glyph marks only its rows.
  font->LayoutText(u"Q", 0, 0, kYellow, quads);
  EXPECT_TRUE(atlas.Dirty());
  EXPECT_LE(atlas.DirtyBottom() - atlas.DirtyTop(), 20);
}

TEST(Font, Utf8AndUtf16LayOutAlike) {
  auto font = Font::Create("Arial", 15, 400, true);
  ASSERT_TRUE(font);
  std::vector<GlyphQuad> a, b;
  font->LayoutText(u"Grüße\nÅngström", 3, 4, kYellow, a);
  font->LayoutText(std::string_view("Grüße\nÅngström"), 3, 4, kYellow, b);
  ASSERT_EQ(a.size(), b.size());
  ASSERT_EQ(a.size(), 13u);
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].x0, b[i].x0);
    EXPECT_EQ(a[i].y0, b[i].y0);
    EXPECT_EQ(a[i].u0, b[i].u0);
  }
}

TEST(Font, MalformedTextIsDrawnWithReplacementGlyphs) {
  auto font = Font::Create("Arial", 15, 700, false);
  ASSERT_TRUE(font);
  std::vector<GlyphQuad> quads;
  const char16_t lone[] = {u'A', char16_t(0xD800), u'B', char16_t(0xDC00), 0};
  font->LayoutText(std::u16string_view(lone), 0, 0, kYellow, quads);
  font->LayoutText(std::string_view("A\xff\xfe\xc3" "B\x80"), 0, 20, kYellow, quads);
  font->LayoutText(u"\U0001F600\u4E2D\t\x01", 0, 40, kYellow, quads);
  EXPECT_GE(quads.size(), 4u);  // at least the A and B of both lines
  for (const GlyphQuad& q : quads) {
    EXPECT_TRUE(std::isfinite(q.x0) && std::isfinite(q.y1));
    EXPECT_GE(q.u0, 0.0f);
    EXPECT_LE(q.v1, 1.0f);
  }
}

TEST(Font, MissingCharactersComeFromAFaceThatHasThem) {
  auto font = Font::Create("Arial", 15, 400, true);
  ASSERT_TRUE(font);
  EXPECT_TRUE(font->FallbackFamilies().empty());
  std::vector<GlyphQuad> quads;
  // The snowman is in DejaVu Sans, not in Liberation Sans.
  font->LayoutText(u"A\u2603B", 0, 0, kYellow, quads);
  ASSERT_EQ(quads.size(), 3u);
  const auto fallbacks = font->FallbackFamilies();
  ASSERT_EQ(fallbacks.size(), 1u);
  EXPECT_EQ(fallbacks[0], "DejaVu Sans");
  EXPECT_GT(Sample(font->Atlas(), quads[1]).max, 128);
  EXPECT_GT(quads[2].x0, quads[1].x1 - 1.0f);  // its own advance moves the pen past it
  // UTF-8 finds the same glyph.
  std::vector<GlyphQuad> utf8;
  font->LayoutText(std::string_view("A\xe2\x98\x83" "B"), 0, 0, kYellow, utf8);
  ASSERT_EQ(utf8.size(), 3u);
  EXPECT_EQ(utf8[1].u0, quads[1].u0);
  EXPECT_EQ(utf8[2].x0, quads[2].x0);
  // Found once: the next frame adds nothing.
  font->Atlas().ClearDirty();
  quads.clear();
  font->LayoutText(u"A\u2603B", 0, 0, kYellow, quads);
  EXPECT_FALSE(font->Atlas().Dirty());
  EXPECT_EQ(font->FallbackFamilies().size(), 1u);
  // Control characters draw nothing and take no room.
  quads.clear();
  font->LayoutText(u"A\tB\x01", 0, 0, kYellow, quads);
  EXPECT_EQ(quads.size(), 2u);
  EXPECT_FLOAT_EQ(font->MeasureText(u"A\tB").width, font->MeasureText(u"AB").width);
}

TEST(Font, BoldIsWiderThanRegular) {
  auto regular = Font::Create("Arial", 15, 400, true);
  auto bold = Font::Create("Arial", 15, 700, true);
  ASSERT_TRUE(regular && bold);
  EXPECT_GT(bold->MeasureText(u"Morvane Player").width, regular->MeasureText(u"Morvane Player").width);
}

TEST(Font, FullAtlasDropsGlyphsWithoutFailing) {
  auto font = Font::Create("Arial", 40, 400, true, nullptr, 48);
  ASSERT_TRUE(font);
  std::vector<GlyphQuad> quads;
  font->LayoutText(u"WWWWMMMMQQQQ", 0, 0, kYellow, quads);
  EXPECT_TRUE(font->Atlas().Full());
  EXPECT_GE(quads.size(), 1u);
  EXPECT_LT(quads.size(), 12u);
  for (const GlyphQuad& q : quads) {
    EXPECT_LE(q.u1, 1.0f);
    EXPECT_LE(q.v1, 1.0f);
  }
}

TEST(GlyphAtlas, PacksWithoutOverlapAndKeepsBorders) {
  GlyphAtlas atlas(32, 32);
  atlas.ClearDirty();
  const std::uint8_t block[4 * 3] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  struct Placed {
    int x, y;
  };
  std::vector<Placed> placed;
  for (int i = 0; i < 6; ++i) {
    int x = -1, y = -1;
    ASSERT_TRUE(atlas.Insert(4, 3, block, 4, x, y)) << i;
    placed.push_back({x, y});
    EXPECT_GE(x, 1);
    EXPECT_GE(y, 1);
  }
  for (std::size_t i = 0; i < placed.size(); ++i)
    for (std::size_t j = i + 1; j < placed.size(); ++j) {
      // Rectangles grown by the one-pixel gutter do not overlap.
      const bool apart = placed[i].x + 5 <= placed[j].x || placed[j].x + 5 <= placed[i].x ||
                         placed[i].y + 4 <= placed[j].y || placed[j].y + 4 <= placed[i].y;
      EXPECT_TRUE(apart) << i << " " << j;
    }
  for (const Placed& p : placed) {
    EXPECT_EQ(atlas.At(p.x, p.y), 1);
    EXPECT_EQ(atlas.At(p.x + 3, p.y + 2), 12);
    EXPECT_EQ(atlas.At(p.x - 1, p.y), 0);
    EXPECT_EQ(atlas.At(p.x + 4, p.y), 0);
    EXPECT_EQ(atlas.At(p.x, p.y + 3), 0);
  }
  EXPECT_TRUE(atlas.Dirty());
  int x, y;
  EXPECT_TRUE(atlas.Insert(0, 0, nullptr, 0, x, y));  // empty glyph: no room taken
  EXPECT_FALSE(atlas.Insert(40, 2, block, 4, x, y));  // wider than the atlas
  EXPECT_TRUE(atlas.Full());
}

}  // namespace
}  // namespace gfx
