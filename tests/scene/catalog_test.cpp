#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "io/Log.h"
#include "io/Utf16.h"
#include "scene/Catalog.h"

namespace {

std::u16string Name(const CatalogEntry* e) { return std::u16string(mv::io::FixedView(e->name, 260)); }

Catalog LoadText(const std::string& text, std::size_t* count = nullptr) {
  Catalog c;
  std::istringstream in(text);
  const std::size_t n = c.Load(in);
  if (count) *count = n;
  return c;
}

struct CountCase {
  const char* what;
  std::string text;
  std::size_t entries;
};

class CatalogCount : public ::testing::TestWithParam<CountCase> {};

TEST_P(CatalogCount, GivesTheExpectedNumberOfEntries) {
  const CountCase& c = GetParam();
  std::size_t n = 99;
  Catalog cat = LoadText(c.text, &n);
  EXPECT_EQ(n, c.entries) << c.what;
  EXPECT_EQ(cat.Count(), c.entries) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CatalogCount,
    ::testing::Values(
        CountCase{"first field is the end marker", "#,0,a,MESHOBJ,,0,", 0},
        CountCase{"end marker without a comma", "#\n", 0},
        CountCase{"empty file", "", 0},
        CountCase{"three rows, no end marker",
                  "0,A,a.x,MESHOBJ,,0,\n1,B,b.x,ANIMOBJ,,0,\n2,C,,TEXTOBJ,Arial,24,\n", 3},
        CountCase{"marker after two rows", "0,A,a.x,MESHOBJ,,0,\n1,B,,TEXTOBJ,,24,\n#,\n2,C,,MESHOBJ,,0,", 2},
        CountCase{"indices 0, 1, 1", "0,A,,MESHOBJ,,0,\n1,B,,MESHOBJ,,0,\n1,C,,MESHOBJ,,0,\n", 2},
        CountCase{"index above the count is accepted", "0,A,,MESHOBJ,,0,\n7,B,,MESHOBJ,,0,\n", 2},
        CountCase{"negative index ends at once", "-1,A,,MESHOBJ,,0,\n", 0},
        CountCase{"index of four characters fails the stream", "1000,A,,MESHOBJ,,0,\n", 1},
        CountCase{"number of four characters ends after that row",
                  "0,A,,TEXTOBJ,Arial,1000,\n1,B,,MESHOBJ,,0,\n", 1},
        CountCase{"windows line ends", "0,A,a.x,MESHOBJ,,0,\r\n1,B,b.x,MESHOBJ,,0,\r\n#,\r\n", 2}));

TEST(Catalog, ReadsEveryFieldOfARow) {
  Catalog cat = LoadText("0,Tore,media\\mesh\\tore.x,MESHOBJ,unused,0,\n1,Titre,,TEXTOBJ,Arial,24,\n#,");
  ASSERT_EQ(cat.Count(), 2u);
  const CatalogEntry* e = cat.Get(0);
  EXPECT_EQ(Name(e), u"Tore");
  EXPECT_EQ(std::u16string(mv::io::FixedView(e->file, 260)), u"media\\mesh\\tore.x");
  EXPECT_EQ(e->kind, 1);
  EXPECT_EQ(std::u16string(mv::io::FixedView(e->text, 60)), u"unused");
  const CatalogEntry* t = cat.Get(1);
  EXPECT_EQ(Name(t), u"Titre");
  EXPECT_EQ(t->kind, 4);
  EXPECT_EQ(std::u16string(mv::io::FixedView(t->text, 60)), u"Arial");
  EXPECT_EQ(t->number, 24);
  EXPECT_EQ(cat.Get(2), nullptr);
  EXPECT_EQ(cat.Get(-1), nullptr);
}

TEST(Catalog, LineBreaksBelongToTheFollowingField) {
  // Only the index skips leading white space; a break before a name stays.
  Catalog cat = LoadText("0,\nA,a.x,MESHOBJ,,0,\n\n\n  1,B,,MESHOBJ,,0,");
  ASSERT_EQ(cat.Count(), 2u);
  EXPECT_EQ(Name(cat.Get(0)), u"\nA");
  EXPECT_EQ(Name(cat.Get(1)), u"B");
}

TEST(Catalog, KeywordsAreExactAndCaseSensitive) {
  struct K {
    const char* keyword;
    std::int32_t kind;
  };
  const K cases[] = {{"MESHOBJ", 1},      {"LIGHTOBJ", 2},      {"CAMERAOBJ", 3},  {"TEXTOBJ", 4},
                     {"PARTICLEOBJ", 5},  {"ANIMOBJ", 7},       {"POSTPROCESSOBJ", 8},
                     {"GENERATEDOBJ", 9}, {"LAYERTEXTOBJ", 10}, {"METABALLOBJ", 11},
                     {"meshobj", 0},      {"MESHOBJ ", 0},      {"SKYBOXOBJ", 0},  {"", 0}};
  for (const K& k : cases) {
    Catalog cat = LoadText(std::string("0,N,,") + k.keyword + ",,0,");
    ASSERT_EQ(cat.Count(), 1u) << k.keyword;
    EXPECT_EQ(cat.Get(0)->kind, k.kind) << k.keyword;
  }
}

TEST(Catalog, OverlongNameKeepsTheRowAndEndsTheCatalog) {
  const std::string longName(300, 'x');
  Catalog cat = LoadText("0,A,,MESHOBJ,,0,\n1," + longName + ",b.x,MESHOBJ,,0,\n2,C,,MESHOBJ,,0,\n");
  ASSERT_EQ(cat.Count(), 2u);
  const CatalogEntry* e = cat.Get(1);
  // The first 254 characters were read; everything after is empty.
  EXPECT_EQ(Name(e), std::u16string(254, u'x'));
  EXPECT_EQ(e->file[0], 0);
  EXPECT_EQ(e->kind, 0);
  EXPECT_EQ(e->number, 0);
}

TEST(Catalog, FieldLimitsAcceptExactlyTheirLength) {
  const std::string name(254, 'n'), text(59, 't');
  Catalog cat = LoadText("999," + name + "," + std::string(254, 'f') + ",POSTPROCESSOBJ," + text +
                         ",123,\n");
  ASSERT_EQ(cat.Count(), 1u);
  EXPECT_EQ(Name(cat.Get(0)).size(), 254u);
  EXPECT_EQ(cat.Get(0)->kind, 8);
  EXPECT_EQ(mv::io::Length16(cat.Get(0)->text, 60), 59u);
  EXPECT_EQ(cat.Get(0)->number, 123);
  // A 60-character text field fails the row after it.
  Catalog bad = LoadText("0,A,,MESHOBJ," + std::string(60, 't') + ",5,\n1,B,,MESHOBJ,,0,");
  ASSERT_EQ(bad.Count(), 1u);
  EXPECT_EQ(bad.Get(0)->number, 0);
}

TEST(Catalog, AnsiTextIsUtf8OrWindows1252) {
  Catalog cat = LoadText("0,Caf\xC3\xA9,,MESHOBJ,,0,\n1,Caf\xE9 \x80,,MESHOBJ,,0,\n");
  ASSERT_EQ(cat.Count(), 2u);
  EXPECT_EQ(Name(cat.Get(0)), u"Caf\u00e9");
  EXPECT_EQ(Name(cat.Get(1)), u"Caf\u00e9 \u20ac");
}

TEST(Catalog, LogsEveryReferencedObject) {
  std::vector<std::string> lines;
  mv::io::SetLogSink([&](std::string_view s) { lines.emplace_back(s); });
  LoadText("0,Tore,,MESHOBJ,,0,\n5,Cube,,MESHOBJ,,0,\n#,");
  mv::io::SetLogSink({});
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Referencing Object : 0 , Tore...\n");
  EXPECT_EQ(lines[1], "Referencing Object : 1 , Cube...\n");
}

TEST(Catalog, LoadReplacesAndFreeEmpties) {
  Catalog cat;
  std::istringstream a("0,A,,MESHOBJ,,0,\n1,B,,MESHOBJ,,0,");
  EXPECT_EQ(cat.Load(a), 2u);
  std::istringstream b("0,C,,TEXTOBJ,,0,");
  EXPECT_EQ(cat.Load(b), 1u);
  EXPECT_EQ(Name(cat.Get(0)), u"C");
  cat.Free();
  EXPECT_EQ(cat.Count(), 0u);
  EXPECT_EQ(cat.Get(0), nullptr);
}

TEST(Catalog, LoadsTheFileFromTheWorkingFolder) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("mv_catalog_" + std::to_string(::getpid()));
  fs::create_directories(dir / "Media" / "mesh");
  {
    std::ofstream f(dir / "Media" / "mesh" / "objects.mesh", std::ios::binary);
    f << "0,Tore,media\\mesh\\tore.x,MESHOBJ,,0,\n#,";
  }
  const fs::path old = fs::current_path();
  fs::current_path(dir);
  Catalog cat;
  const std::size_t n = cat.LoadFile();  // found despite the case of "Media"
  Catalog missing;
  const std::size_t m = missing.LoadFile("media\\mesh\\none.mesh");
  fs::current_path(old);
  fs::remove_all(dir);
  EXPECT_EQ(n, 1u);
  EXPECT_EQ(m, 0u);
  EXPECT_EQ(missing.Count(), 0u);
}

TEST(Catalog, BinaryGarbageNeverLoopsOrOverflows) {
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 131 + 7) & 0xFF);
  Catalog cat = LoadText(junk);
  EXPECT_LE(cat.Count(), 1000u);
}

}  // namespace
