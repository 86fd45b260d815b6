// The "Values Manager" panel: script selector, editing lists, buttons and
// the preview.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/Globals.h"
#include "io/WindowMessages.h"
#include "support/PanelChecks.h"
#include "values/ValuesManager.h"

namespace fs = std::filesystem;

namespace {

class ValuesPanel : public ::testing::Test {
 protected:
  void SetUp() override {
    m_savedSources = g_ValueSources;
    m_savedHidden = g_bGuiHidden;
    g_ValueSources = {};
    g_bGuiHidden = false;
    m.BuildPanel(&m_resources);
    script = m.GetDialog().GetListBox(IDC_VALUES_SCRIPT);
    operations = m.GetDialog().GetListBox(IDC_VALUES_OPERATIONS);
    selector = m.GetDialog().GetComboBox(IDC_VALUES_SELECTOR);
    ASSERT_NE(script, nullptr);
    ASSERT_NE(operations, nullptr);
    ASSERT_NE(selector, nullptr);
  }
  void TearDown() override {
    g_ValueSources = m_savedSources;
    g_bGuiHidden = m_savedHidden;
  }

  std::vector<std::u16string> Lines() const {
    std::vector<std::u16string> out;
    for (int i = 0; i < script->GetSize(); ++i) out.push_back(script->GetItem(i)->strText);
    return out;
  }
  std::vector<std::int32_t> LineCodes() const {
    std::vector<std::int32_t> out;
    for (int i = 0; i < script->GetSize(); ++i)
      out.push_back(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(script->GetItem(i)->pData)));
    return out;
  }
  static std::vector<std::int32_t> Codes(const ValueScript& s) { return {s.begin(), s.end()}; }

  void Select(int slot) {
    ASSERT_EQ(selector->SetSelectedByIndex(static_cast<UINT>(slot)), gui::S_OK);
    m.OnPanelEvent(EVENT_COMBOBOX_SELECTION_CHANGED, IDC_VALUES_SELECTOR);
  }
  // A click on a line: the list selects it and reports the selection.
  void ClickLine(CDXUTListBox* list, int i) { list->SelectItem(i); }
  void DoubleClick(CDXUTListBox* list, int i) {
    list->SelectItem(i);
    m.OnPanelEvent(EVENT_LISTBOX_ITEM_DBLCLK, list->GetID());
  }
  void Press(int id) { m.OnPanelEvent(EVENT_BUTTON_CLICKED, id); }
  std::u16string Preview() { return m.GetDialog().GetStatic(IDC_VALUES_PREVIEW)->GetTextString(); }

  std::string WriteFile(const std::vector<std::int32_t>& values) {
    fs::path dir = fs::temp_directory_path() /
                   (std::string("mv-values-panel-") +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    m_dir = dir;
    std::string path = (dir / "value.dat").string();
    std::ofstream out(path, std::ios::binary);
    for (std::int32_t v : values)
      for (int b = 0; b < 4; ++b) out.put(static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * b)) & 0xFF));
    return path;
  }
  ~ValuesPanel() override {
    if (!m_dir.empty()) fs::remove_all(m_dir);
  }

  CDXUTDialogResourceManager m_resources;
  ValuesManager m;
  CDXUTListBox* script = nullptr;
  CDXUTListBox* operations = nullptr;
  CDXUTComboBox* selector = nullptr;
  ValueSources m_savedSources;
  bool m_savedHidden = true;
  fs::path m_dir;
};

}  // namespace

TEST_F(ValuesPanel, BuiltAsLaidOut) {
  CDXUTDialog& d = m.GetDialog();
  EXPECT_EQ(m.GetPanel(), &d);
  EXPECT_EQ(d.GetCaptionText(), u"Values Manager");
  EXPECT_TRUE(d.HasCaption());
  EXPECT_EQ(d.GetLocation().x, 800);
  EXPECT_EQ(d.GetLocation().y, 220);
  EXPECT_EQ(d.GetWidth(), 235);
  EXPECT_EQ(d.GetHeight(), 180);
  EXPECT_EQ(d.GetBackgroundColor(0), 0x64FFC8FFu);
  ASSERT_NE(d.GetTexture(1), nullptr);
  EXPECT_EQ(*d.GetTexture(1), u"media\\GUI\\Widget2.dds");
  EXPECT_EQ(selector->GetNumItems(), 10u);
  EXPECT_EQ(selector->GetItem(0)->strText, u"None");
  EXPECT_EQ(selector->GetItem(9)->strText, u"Script-009");
  EXPECT_EQ(selector->GetHotkey(), 71u);
  ASSERT_EQ(operations->GetSize(), 15);
  EXPECT_EQ(operations->GetItem(2)->strText, u"V=SIN(V)");
  EXPECT_EQ(operations->GetStyle(), 71u);
  EXPECT_EQ(Lines(), (std::vector<std::u16string>{u"Factor(const)=100", u"Nbr=(var)PeakValue",
                                                  u"V=V+(Nbr*Factor)", u"-------"}));
  EXPECT_EQ(LineCodes(), (std::vector<std::int32_t>{12, 16, 1, 0}));
  EXPECT_EQ(Preview(), u"Value = -------");
  for (int id : {IDC_VALUES_CLEAR, IDC_VALUES_UP, IDC_VALUES_DOWN, IDC_VALUES_SAVE})
    EXPECT_NE(d.GetButton(id), nullptr) << id;
}

TEST_F(ValuesPanel, ClearedListReadsOneCodePerSlot) {
  Press(IDC_VALUES_CLEAR);
  EXPECT_EQ(Lines(), (std::vector<std::u16string>{u"-------"}));
  EXPECT_EQ(m.ScriptListLineCount(), 1);
  ASSERT_TRUE(m.LoadScripts(WriteFile({0, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 99, 99})));
  EXPECT_TRUE(m.GetScript(0).IsEmpty());
  for (int s = 1; s < 10; ++s) EXPECT_EQ(Codes(m.GetScript(s)), (std::vector<std::int32_t>{10 + s})) << s;
}

TEST_F(ValuesPanel, SelectingAScriptShowsItsLines) {
  std::vector<std::int32_t> file{0, 0, 0, 0, 0, 12, 16, 1, 0};
  for (int s = 2; s < 10; ++s) file.insert(file.end(), {3, 99, 5, 0});
  ASSERT_TRUE(m.LoadScripts(WriteFile(file)));
  Select(1);
  EXPECT_EQ(Lines(), (std::vector<std::u16string>{u"Factor(const)=100", u"Nbr=(var)PeakValue",
                                                  u"V=V+(Nbr*Factor)", u"-------"}));
  EXPECT_EQ(m.GetCurrentScript(), 1);
  // Codes without a catalog entry (3, 99, and the stored 0) add no line.
  Select(2);
  EXPECT_EQ(Lines(), (std::vector<std::u16string>{u"V=V+Factor", u"-------"}));
  EXPECT_EQ(m.GetSelectedScriptLine(), -1);
  Select(0);
  EXPECT_EQ(Lines(), (std::vector<std::u16string>{u"-------"}));
}

TEST_F(ValuesPanel, HotkeyGStepsTheSelector) {
  EXPECT_EQ(selector->GetSelectedIndex(), 0);
  m.Scripts().slots[1].Add(OP_SIN);
  EXPECT_TRUE(m.GetDialog().MsgProc(WM_KEYDOWN, 71, 0));
  EXPECT_EQ(selector->GetSelectedIndex(), 1);
  EXPECT_EQ(m.GetCurrentScript(), 1);
  EXPECT_EQ(Lines(), (std::vector<std::u16string>{u"V=SIN(V)", u"-------"}));
}

TEST_F(ValuesPanel, DoubleClickInsertsTheRememberedOperation) {
  // Nothing remembered yet: no insertion.
  m.OnPanelEvent(EVENT_LISTBOX_ITEM_DBLCLK, IDC_VALUES_OPERATIONS);
  EXPECT_EQ(script->GetSize(), 4);
  ClickLine(operations, 3);  // "V=V+Factor"
  // No script line selected: inserted after the end marker.
  m.OnPanelEvent(EVENT_LISTBOX_ITEM_DBLCLK, IDC_VALUES_OPERATIONS);
  EXPECT_EQ(LineCodes(), (std::vector<std::int32_t>{12, 16, 1, 0, 5}));
  EXPECT_EQ(m.GetSelectedScriptLine(), 4);
  // Again without a new selection: above the previous one.
  ClickLine(operations, 2);  // "V=SIN(V)"
  m.OnPanelEvent(EVENT_LISTBOX_ITEM_DBLCLK, IDC_VALUES_OPERATIONS);
  EXPECT_EQ(LineCodes(), (std::vector<std::int32_t>{12, 16, 1, 0, 4, 5}));
  // A selected script line is the insertion point.
  ClickLine(script, 1);
  m.OnPanelEvent(EVENT_LISTBOX_ITEM_DBLCLK, IDC_VALUES_OPERATIONS);
  EXPECT_EQ(LineCodes(), (std::vector<std::int32_t>{12, 4, 16, 1, 0, 4, 5}));
}

TEST_F(ValuesPanel, DoubleClickIntoAClearedListGoesFirst) {
  Press(IDC_VALUES_CLEAR);
  ClickLine(operations, 10);  // "Factor(const)=100"
  m.OnPanelEvent(EVENT_LISTBOX_ITEM_DBLCLK, IDC_VALUES_OPERATIONS);
  EXPECT_EQ(LineCodes(), (std::vector<std::int32_t>{12, 0}));
}

TEST_F(ValuesPanel, InsertionPointStaysInsideAListThatShrank) {
  ClickLine(script, 3);  // the end marker of four lines
  Press(IDC_VALUES_CLEAR);
  ClickLine(operations, 0);
  m.OnPanelEvent(EVENT_LISTBOX_ITEM_DBLCLK, IDC_VALUES_OPERATIONS);
  EXPECT_EQ(LineCodes(), (std::vector<std::int32_t>{0, 1}));
}

TEST_F(ValuesPanel, DoubleClickRemovesALineButNotTheEndMarker) {
  DoubleClick(script, 3);  // end marker
  EXPECT_EQ(LineCodes(), (std::vector<std::int32_t>{12, 16, 1, 0}));
  DoubleClick(script, 1);
  EXPECT_EQ(LineCodes(), (std::vector<std::int32_t>{12, 1, 0}));
}

TEST_F(ValuesPanel, UpAndDownMoveLinesButNeverTheEnds) {
  struct Case {
    int button;
    int line;
    std::vector<std::int32_t> codes;
    int selected;
  };
  const Case cases[] = {
      {IDC_VALUES_UP, 0, {12, 16, 1, 0}, 0},    // first line
      {IDC_VALUES_UP, 3, {12, 16, 1, 0}, 3},    // last line
      {IDC_VALUES_UP, 2, {12, 1, 16, 0}, 1},
      {IDC_VALUES_DOWN, 2, {12, 16, 1, 0}, 2},  // second to last
      {IDC_VALUES_DOWN, 3, {12, 16, 1, 0}, 3},  // last
      {IDC_VALUES_DOWN, 0, {16, 12, 1, 0}, 1},
  };
  for (const Case& c : cases) {
    Press(IDC_VALUES_CLEAR);
    script->RemoveAllItems();
    for (std::int32_t code : {12, 16, 1})
      script->AddItem(ValueOperationLabel(code), reinterpret_cast<void*>(static_cast<std::intptr_t>(code)));
    script->AddItem(u"-------", nullptr);
    ClickLine(script, c.line);
    Press(c.button);
    EXPECT_EQ(LineCodes(), c.codes) << c.button << " on " << c.line;
    EXPECT_EQ(script->GetSelectedIndex(-1), c.selected) << c.button << " on " << c.line;
    EXPECT_EQ(script->GetItem(c.selected)->strText,
              c.codes[c.selected] ? ValueOperationLabel(c.codes[c.selected]) : u"-------");
  }
}

TEST_F(ValuesPanel, SaveStoresEveryLineEndMarkerIncluded) {
  Select(3);
  Press(IDC_VALUES_CLEAR);
  ClickLine(operations, 10);  // Factor 100
  m.OnPanelEvent(EVENT_LISTBOX_ITEM_DBLCLK, IDC_VALUES_OPERATIONS);
  Press(IDC_VALUES_SAVE);
  EXPECT_EQ(Codes(m.GetScript(3)), (std::vector<std::int32_t>{12, 0}));
  EXPECT_TRUE(m.GetScript(1).IsEmpty());
}

TEST_F(ValuesPanel, PreviewOfAnEmptyScriptIsAHundred) {
  Select(4);
  m.RefreshPreview();
  EXPECT_EQ(Preview(), u"Value 100.00");
}

TEST_F(ValuesPanel, PreviewRunsTheScriptOnTheSharedEvaluator) {
  m.Scripts().slots[2].Add(OP_FACTOR_HUNDRED);
  m.Scripts().slots[2].Add(OP_ADD_NBR);
  Select(2);
  g_ValueSources.Sequencer = 2.5f;
  m.RefreshPreview();
  EXPECT_EQ(Preview(), u"Value 350.00");
  // A source left by another evaluation changes the preview.
  m.Evaluator().source = ValueSource::BassValue;
  g_ValueSources.BassValue = 1.0f;
  m.RefreshPreview();
  EXPECT_EQ(Preview(), u"Value 200.00");
}

TEST_F(ValuesPanel, PreviewSkippedWhileTheGuiIsHidden) {
  g_bGuiHidden = true;
  m.RefreshPreview();
  EXPECT_EQ(Preview(), u"Value = -------");
}

TEST_F(ValuesPanel, UpdateValuesAdvancesSourcesThenPreviews) {
  m.Scripts().slots[1].Add(OP_ADD_NBR);
  Select(1);
  m.UpdateValues(0.5f);
  EXPECT_EQ(g_ValueSources.Sequencer, 0.5f);
  EXPECT_EQ(Preview(), u"Value 100.50");
}

TEST_F(ValuesPanel, PanelPreferencesRoundTrip) {
  m.GetDialog().SetLocation(-40, 12);
  m.GetDialog().SetMinimized(true);
  std::ostringstream out(std::ios::binary);
  m.Write(out);
  ASSERT_EQ(out.str().size(), 9u);
  m.GetDialog().SetLocation(0, 0);
  m.GetDialog().SetMinimized(false);
  std::istringstream in(out.str(), std::ios::binary);
  m.Read(in);
  EXPECT_EQ(m.GetDialog().GetLocation().x, -40);
  EXPECT_EQ(m.GetDialog().GetLocation().y, 12);
  EXPECT_TRUE(m.GetDialog().GetMinimized());
}

// Building the panel again gives the same controls, once each.
TEST_F(ValuesPanel, ABuildAgainKeepsOneSetOfControls) {
  const int count = m.GetDialog().GetNumControls();
  m.BuildPanel(&m_resources);
  EXPECT_EQ(m.GetDialog().GetNumControls(), count);
  EXPECT_EQ(mvtest::DuplicateControlIds(m.GetDialog()), 0);
  EXPECT_NE(m.GetDialog().GetListBox(IDC_VALUES_SCRIPT), nullptr);
}
