// The script table, the script file and the manager's section.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "values/ValuesManager.h"

namespace fs = std::filesystem;

namespace {

class ScriptFile : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() /
            ("mv-values-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }

  std::string Write(const std::vector<std::int32_t>& values, std::size_t extraBytes = 0) {
    std::string path = (m_dir / "value.dat").string();
    std::ofstream out(path, std::ios::binary);
    for (std::int32_t v : values) {
      std::uint32_t u = static_cast<std::uint32_t>(v);
      for (int b = 0; b < 4; ++b) out.put(static_cast<char>((u >> (8 * b)) & 0xFF));
    }
    for (std::size_t i = 0; i < extraBytes; ++i) out.put('\x7F');
    return path;
  }

  static std::vector<std::int32_t> Codes(const ValueScript& s) { return {s.begin(), s.end()}; }

  fs::path m_dir;
};

}  // namespace

TEST_F(ScriptFile, FourCodesPerSlotSlotZeroSkipped) {
  std::vector<std::int32_t> v{999};
  for (int s = 0; s < 10; ++s)
    for (int i = 0; i < 4; ++i) v.push_back(100 * s + i);
  ValuesManager m;
  ASSERT_EQ(m.ScriptListLineCount(), 4);
  ASSERT_TRUE(m.LoadScripts(Write(v)));
  EXPECT_TRUE(m.GetScript(0).IsEmpty());
  for (int s = 1; s < 10; ++s)
    EXPECT_EQ(Codes(m.GetScript(s)), (std::vector<std::int32_t>{100 * s, 100 * s + 1, 100 * s + 2, 100 * s + 3}))
        << "slot " << s;
  for (int s = 10; s < kScriptSlots; ++s) EXPECT_TRUE(m.GetScript(s).IsEmpty());
}

TEST_F(ScriptFile, ShortFileRepeatsTheLastValue) {
  // The leading value, slot 0's four codes, then two codes of slot 1 and
  // half of a third.
  ValuesManager m;
  ASSERT_TRUE(m.LoadScripts(Write({7, 0, 0, 0, 0, 12, 16}, 2)));
  EXPECT_EQ(Codes(m.GetScript(1)), (std::vector<std::int32_t>{12, 16, 16, 16}));
  for (int s = 2; s < 10; ++s) EXPECT_EQ(Codes(m.GetScript(s)), (std::vector<std::int32_t>(4, 16)));
}

TEST_F(ScriptFile, EmptyFileFillsWithZeros) {
  ValuesManager m;
  ASSERT_TRUE(m.LoadScripts(Write({})));
  EXPECT_EQ(Codes(m.GetScript(9)), (std::vector<std::int32_t>(4, 0)));
}

TEST_F(ScriptFile, MissingFileKeepsTheTable) {
  ValuesManager m;
  m.Scripts().slots[2].Add(OP_ADD_FACTOR);
  EXPECT_FALSE(m.LoadScripts((m_dir / "nothing.dat").string()));
  EXPECT_FALSE(m.LoadScripts(m_dir.string()));  // a folder is no file
  EXPECT_EQ(Codes(m.GetScript(2)), (std::vector<std::int32_t>{OP_ADD_FACTOR}));
}

TEST_F(ScriptFile, ReloadReplacesEdits) {
  std::vector<std::int32_t> v(41, 5);
  ValuesManager m;
  m.Scripts().slots[1].Add(1);
  m.Scripts().slots[12].Add(1);
  ASSERT_TRUE(m.LoadScripts(Write(v)));
  EXPECT_EQ(Codes(m.GetScript(1)), (std::vector<std::int32_t>(4, 5)));
  EXPECT_EQ(Codes(m.GetScript(12)), (std::vector<std::int32_t>{1}));  // beyond the file's slots
}

TEST(ValuesManager, SectionIsThePanelPreferencesOnly) {
  ValuesManager m;
  EXPECT_EQ(m.GetType(), 11);
  std::ostringstream out(std::ios::binary);
  m.Write(out);
  EXPECT_EQ(out.str().size(), MVObject::kPanelPreferencesSize);
  std::istringstream in(out.str() + "rest", std::ios::binary);
  m.Read(in);
  char rest[4];
  in.read(rest, 4);
  EXPECT_EQ(std::string(rest, 4), "rest");
}

TEST(ValuesManager, InstallsItsEvaluatorForTheTimelines) {
  ValueScriptEvaluator* before = ActiveValueScripts();
  {
    ValuesManager m;
    EXPECT_EQ(ActiveValueScripts(), &m.Evaluator());
    m.Scripts().slots[4].Add(OP_ADD_FACTOR);
    EXPECT_EQ(ApplyValueScript(4, 1.0f), 2.0f);
  }
  EXPECT_EQ(ActiveValueScripts(), before);
}

TEST(ValuesManager, UpdateValuesRunsTheDerivedStep) {
  ValueSources saved = g_ValueSources;
  g_ValueSources = {};
  ValuesManager m;
  g_ValueSources.BassValue = 0.5f;
  m.UpdateValues(0.25f);
  EXPECT_EQ(g_ValueSources.Sequencer, 0.25f);
  EXPECT_EQ(g_ValueSources.PeakValue, 0.5f);
  g_ValueSources = saved;
}
