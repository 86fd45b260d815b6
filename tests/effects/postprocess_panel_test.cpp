// The post-process controls, driven through a dialog's message handling as
// the user would: double clicks in the two lists, the buttons, typing into
// the parameter boxes.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/Globals.h"
#include "effects/PostProcessManager.h"
#include "gui/GuiTestUtil.h"

namespace {

using PP = PostProcessManager;

class PostProcessPanelTest : public guitest::GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    wasHidden = g_bGuiHidden;
    g_bGuiHidden = false;
    dialog.Init(&manager);
    dialog.SetCallback(&PostProcessPanelTest::Forward, this);
    dialog.SetLocation(0, 0);
    dialog.SetSize(280, 470);
    // Parameters as effect files would declare them.
    PostProcessEffect& two = post.GetEffect(0);
    two.parameterName = {u"Threshold", u"Gain"};
    two.parameterSize = {4, 1};
    two.parameterDefault = {Float4{0.5f, 1.0f, 0.0f, 0.25f}, Float4{2.0f, 0, 0, 0}};
    PostProcessEffect& one = post.GetEffect(1);
    one.parameterName = {u"Amount", u""};
    one.parameterSize = {1, 0};
    one.parameterDefault = {Float4{0.125f, 0, 0, 0}, Float4{}};
    post.BuildControls(&dialog);
  }
  void TearDown() override {
    g_bGuiHidden = wasHidden;
    GuiTest::TearDown();
  }

  static void CALLBACK Forward(UINT event, int id, CDXUTControl* control, void* self) {
    auto* t = static_cast<PostProcessPanelTest*>(self);
    t->post.OnControlEvent(event, id, control, t->block);
  }

  // Window points of list rows (no caption: controls start at the dialog's
  // corner; 6-pixel border, 14-pixel rows).
  static int RowY(int listTop, int row) { return listTop + 6 + 14 * row + 7; }
  void DoubleClickAvailable(int row) { guitest::DoubleClick(dialog, 40, RowY(68, row)); }
  void DoubleClickActive(int row) { guitest::DoubleClick(dialog, 40, RowY(173, row)); }
  void ClickActive(int row) { guitest::Click(dialog, 40, RowY(173, row)); }
  void ClickButton(int id) {
    CDXUTControl* c = dialog.GetControl(id);
    ASSERT_NE(c, nullptr) << id;
    guitest::Click(dialog, c->m_x + c->GetWidth() / 2, c->m_y + c->GetHeight() / 2);
  }

  std::vector<std::u16string> ActiveTexts() {
    std::vector<std::u16string> out;
    CDXUTListBox* list = dialog.GetListBox(PP::IDC_PP_ACTIVE);
    for (int i = 0; list && i < list->GetSize(); ++i) out.push_back(list->GetItem(i)->strText);
    return out;
  }
  std::vector<int> ChainRows() {
    std::vector<int> out;
    for (int k = 0; k + 1 < post.GetListCount(); ++k) out.push_back(post.GetListInstance(k)->effectIndex);
    return out;
  }
  bool Shown(int id) {
    CDXUTControl* c = dialog.GetControl(id);
    return c && c->GetVisible() && c->GetEnabled();
  }
  std::u16string Label(int id) { return dialog.GetStatic(id)->GetTextString(); }
  std::u16string EditText(int id) { return dialog.GetEditBox(id)->GetTextString(); }

  bool wasHidden = true;
  CDXUTDialog dialog;
  PostProcessManager post;
  float block[160] = {};  // the post-process object's 20 slots x 2 float4
};

TEST_F(PostProcessPanelTest, ControlsAndBothLists) {
  struct C {
    int id;
    UINT type;
    const char16_t* text;
    int x, y, w, h;
  };
  const C controls[] = {
      {17, DXUT_CONTROL_CHECKBOX, u"(E)nable post-processing", 5, 25, 200, 16},
      {8, DXUT_CONTROL_STATIC, u"Available effects (Dbl click inserts effect):", 10, 50, 210, 16},
      {6, DXUT_CONTROL_LISTBOX, nullptr, 10, 68, 200, 82},
      {9, DXUT_CONTROL_STATIC, u"Active effects (Dbl click removes effect):", 10, 155, 210, 16},
      {7, DXUT_CONTROL_LISTBOX, nullptr, 10, 173, 200, 82},
      {14, DXUT_CONTROL_BUTTON, u"Move Up", 0, 265, 70, 22},
      {15, DXUT_CONTROL_BUTTON, u"Move Down", 72, 265, 75, 22},
      {16, DXUT_CONTROL_BUTTON, u"Clear All", 149, 265, 65, 22},
      {10, DXUT_CONTROL_STATIC, u"Select an active effect to set its parameter.", 5, 289, 215, 15},
      {12, DXUT_CONTROL_EDITBOX, nullptr, 5, 304, 210, 20},
      {11, DXUT_CONTROL_STATIC, u"Select an active effect to set its parameter.", 5, 324, 215, 15},
      {13, DXUT_CONTROL_EDITBOX, nullptr, 5, 339, 210, 20},
      {18, DXUT_CONTROL_STATIC, u"Predefined post-process combinations:", 5, 367, 210, 22},
      {19, DXUT_CONTROL_BUTTON, u"Blur", 5, 389, 100, 22},
      {20, DXUT_CONTROL_BUTTON, u"Bloom", 115, 389, 100, 22},
      {21, DXUT_CONTROL_BUTTON, u"Depth of Field", 5, 413, 100, 22},
      {22, DXUT_CONTROL_BUTTON, u"Edge Glow", 115, 413, 100, 22},
  };
  ASSERT_EQ(dialog.GetNumControls(), static_cast<int>(std::size(controls)));
  for (int i = 0; i < dialog.GetNumControls(); ++i) {
    const C& c = controls[i];
    CDXUTControl* control = dialog.GetControlByIndex(i);
    EXPECT_EQ(control->GetID(), c.id) << i;
    EXPECT_EQ(control->GetType(), c.type) << c.id;
    EXPECT_EQ(control->m_x, c.x) << c.id;
    EXPECT_EQ(control->m_y, c.y) << c.id;
    EXPECT_EQ(control->GetWidth(), c.w) << c.id;
    EXPECT_EQ(control->GetHeight(), c.h) << c.id;
    if (c.text) EXPECT_EQ(static_cast<CDXUTStatic*>(control)->GetTextString(), c.text) << c.id;
  }
  EXPECT_EQ(dialog.GetCheckBox(17)->GetHotkey(), UINT('E'));
  EXPECT_TRUE(dialog.GetCheckBox(17)->GetChecked());
  for (int id : {11, 12, 13}) EXPECT_FALSE(Shown(id)) << id;
  EXPECT_EQ(dialog.GetEditBox(12)->GetBorderWidth(), 1);
  EXPECT_EQ(dialog.GetEditBox(12)->GetSpacing(), 2);

  CDXUTListBox* available = dialog.GetListBox(6);
  ASSERT_EQ(available->GetSize(), 25);
  for (int row = 0; row < 25; ++row) {
    EXPECT_EQ(available->GetItem(row)->strText, PP::DisplayName(row));
    EXPECT_EQ(gui::FromData(available->GetItem(row)->pData), row);
  }
  EXPECT_EQ(ActiveTexts(), std::vector<std::u16string>{u"----"});
}

TEST_F(PostProcessPanelTest, DoubleClicksInsertAndRemoveButNeverTheMarker) {
  DoubleClickAvailable(3);
  DoubleClickAvailable(1);
  EXPECT_EQ(ChainRows(), (std::vector<int>{3, 1}));
  EXPECT_EQ(ActiveTexts(), (std::vector<std::u16string>{PP::DisplayName(3), PP::DisplayName(1), u"----"}));
  // Every edit is mirrored into the records the slide stores.
  EXPECT_EQ(post.GetEntryCount(), 3);
  EXPECT_EQ(post.GetRecord(0).effectIndex, 3);
  EXPECT_EQ(post.GetRecord(1).effectIndex, 1);

  DoubleClickActive(2);  // the end marker
  EXPECT_EQ(ChainRows(), (std::vector<int>{3, 1}));
  EXPECT_EQ(ActiveTexts().back(), u"----");

  DoubleClickActive(0);
  EXPECT_EQ(ChainRows(), (std::vector<int>{1}));
  EXPECT_TRUE(post.IsSlotFree(0));
  EXPECT_FALSE(post.IsSlotFree(1));
  EXPECT_EQ(ActiveTexts(), (std::vector<std::u16string>{PP::DisplayName(1), u"----"}));
  EXPECT_EQ(post.GetEntryCount(), 2);
}

TEST_F(PostProcessPanelTest, InsertionGoesBeforeTheSelectedEffect) {
  DoubleClickAvailable(0);
  DoubleClickAvailable(1);
  ClickActive(1);
  DoubleClickAvailable(2);
  EXPECT_EQ(ChainRows(), (std::vector<int>{0, 2, 1}));
  // The selection stays on the item it was on.
  EXPECT_EQ(dialog.GetListBox(7)->GetSelectedIndex(), 2);
  EXPECT_EQ(post.GetSelected(), 2);
}

TEST_F(PostProcessPanelTest, MoveUpAndDownAtTheEndsChangeNothing) {
  for (int row : {0, 1, 2}) DoubleClickAvailable(row);
  ClickActive(0);
  ClickButton(PP::IDC_PP_MOVE_UP);
  EXPECT_EQ(ChainRows(), (std::vector<int>{0, 1, 2}));
  ClickActive(2);
  ClickButton(PP::IDC_PP_MOVE_DOWN);
  EXPECT_EQ(ChainRows(), (std::vector<int>{0, 1, 2}));
  ClickActive(3);  // the marker
  ClickButton(PP::IDC_PP_MOVE_UP);
  EXPECT_EQ(ChainRows(), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(ActiveTexts().back(), u"----");

  ClickActive(2);
  ClickButton(PP::IDC_PP_MOVE_UP);
  EXPECT_EQ(ChainRows(), (std::vector<int>{0, 2, 1}));
  EXPECT_EQ(dialog.GetListBox(7)->GetSelectedIndex(), 1);
  ClickButton(PP::IDC_PP_MOVE_UP);
  EXPECT_EQ(ChainRows(), (std::vector<int>{2, 0, 1}));
  ClickButton(PP::IDC_PP_MOVE_DOWN);
  EXPECT_EQ(ChainRows(), (std::vector<int>{0, 2, 1}));
  EXPECT_EQ(ActiveTexts(), (std::vector<std::u16string>{PP::DisplayName(0), PP::DisplayName(2), PP::DisplayName(1), u"----"}));
  EXPECT_EQ(post.GetRecord(0).effectIndex, 0);
  EXPECT_EQ(post.GetRecord(1).effectIndex, 2);
}

TEST_F(PostProcessPanelTest, ClearAllAndTheFourCombinations) {
  for (int row : {0, 1, 2, 3}) DoubleClickAvailable(row);
  ClickButton(PP::IDC_PP_CLEAR);
  EXPECT_TRUE(ChainRows().empty());
  EXPECT_EQ(ActiveTexts(), std::vector<std::u16string>{u"----"});
  EXPECT_EQ(post.CountFreeSlots(), 20);
  EXPECT_EQ(post.GetEntryCount(), 1);

  struct Case {
    int button;
    std::vector<int> rows;
  };
  const Case cases[] = {{PP::IDC_PP_BLUR, {9, 2, 3, 2, 3, 10}},
                        {PP::IDC_PP_BLOOM, {9, 9, 6, 4, 5, 4, 5, 10, 12}},
                        {PP::IDC_PP_DOF, {9, 2, 3, 2, 3, 10, 14}},
                        {PP::IDC_PP_EDGE_GLOW, {13, 9, 4, 5, 12}}};
  for (const Case& c : cases) {
    // Each starts over a longer chain than its own.
    for (int i = 0; i < 4; ++i) DoubleClickAvailable(i);
    ClickButton(PP::IDC_PP_BLOOM);
    for (int i = 0; i < 4; ++i) DoubleClickAvailable(i);
    ClickButton(c.button);
    EXPECT_EQ(ChainRows(), c.rows) << c.button;
    std::vector<std::u16string> texts;
    for (int row : c.rows) texts.emplace_back(PP::DisplayName(row));
    texts.emplace_back(u"----");
    EXPECT_EQ(ActiveTexts(), texts) << c.button;
    const int n = static_cast<int>(c.rows.size());
    EXPECT_EQ(post.CountFreeSlots(), 20 - n) << c.button;
    for (int k = 0; k < n; ++k) {
      EXPECT_EQ(post.GetRecord(k).effectIndex, c.rows[static_cast<std::size_t>(k)]) << c.button;
      EXPECT_EQ(post.GetRecord(k).parameterSlot, k) << c.button;
    }
    EXPECT_EQ(post.GetEntryCount(), n + 1);
  }
}

TEST_F(PostProcessPanelTest, ParameterLabelsFollowTheSelectedEffect) {
  DoubleClickAvailable(0);  // two parameters
  DoubleClickAvailable(1);  // one
  DoubleClickAvailable(2);  // none
  ClickActive(0);
  EXPECT_EQ(Label(10), u"Threshold");
  EXPECT_EQ(Label(11), u"Gain");
  for (int id : {10, 11, 12, 13}) EXPECT_TRUE(Shown(id)) << id;
  EXPECT_EQ(EditText(12), u"0.50000 1.00000 0.00000 0.25000");
  EXPECT_EQ(EditText(13), u"2.00000");

  ClickActive(1);
  EXPECT_EQ(Label(10), u"Amount");
  EXPECT_TRUE(Shown(12));
  EXPECT_EQ(EditText(12), u"0.12500");
  EXPECT_FALSE(Shown(11));
  EXPECT_FALSE(Shown(13));

  ClickActive(2);
  EXPECT_EQ(Label(10), u"Selected effect has no parameters.");
  for (int id : {11, 12, 13}) EXPECT_FALSE(Shown(id)) << id;

  ClickActive(0);
  ClickActive(3);  // the marker
  EXPECT_EQ(Label(10), u"Select an active effect to set its parameter.");
  for (int id : {11, 12, 13}) EXPECT_FALSE(Shown(id)) << id;
}

TEST_F(PostProcessPanelTest, TypingAParameterReachesTheInstanceTheBlockAndTheRecord) {
  DoubleClickAvailable(1);
  DoubleClickAvailable(0);  // slot 1
  ClickActive(1);
  CDXUTEditBox* edit = dialog.GetEditBox(12);
  guitest::Click(dialog, 20, 314);  // focus
  ASSERT_TRUE(edit->HasFocus());
  guitest::Char(dialog, 0x01);  // select all
  guitest::Type(dialog, u"1 2");
  EXPECT_EQ(post.GetListInstance(1)->parameters[0], (Float4{1, 2, 0, 0}));
  EXPECT_EQ(post.GetRecord(1).parameters[0], (Float4{1, 2, 0, 0}));
  const float* slot1 = block + 2 * 1 * 4;
  EXPECT_EQ(std::vector<float>(slot1, slot1 + 4), (std::vector<float>{1, 2, 0, 0}));
  EXPECT_EQ(block[0], 0.0f);  // slot 0 is not touched

  // A refresh keeps what the user is typing, then shows the block's values.
  post.RefreshParameters(block);
  EXPECT_EQ(EditText(12), u"1 2");
  block[2 * 1 * 4 + 4] = 7.5f;  // the timeline moved parameter 1
  CDXUTDialog::ClearFocus();
  post.RefreshParameters(block);
  EXPECT_EQ(EditText(12), u"1.000 2.000 0.000 0.000");
  EXPECT_EQ(EditText(13), u"7.500");
  EXPECT_EQ(post.GetListInstance(1)->parameters[1][0], 7.5f);
}

TEST_F(PostProcessPanelTest, RefreshDoesNothingWhileTheGuiIsHidden) {
  DoubleClickAvailable(1);
  ClickActive(0);
  block[0] = 3.0f;
  g_bGuiHidden = true;
  post.RefreshParameters(block);
  EXPECT_EQ(post.GetListInstance(0)->parameters[0][0], 0.125f);
  EXPECT_EQ(EditText(12), u"0.12500");
}

TEST_F(PostProcessPanelTest, EnableBoxSwitchesTheChainAndARebuildShowsItsState) {
  ClickButton(PP::IDC_PP_ENABLE);
  EXPECT_FALSE(post.IsEnabled());
  CDXUTDialog again;
  again.Init(&manager);
  post.BuildControls(&again);
  EXPECT_FALSE(again.GetCheckBox(17)->GetChecked());
  again.GetCheckBox(17)->SetChecked(true);
  post.OnControlEvent(EVENT_CHECKBOX_CHANGED, 17, again.GetCheckBox(17), block);
  EXPECT_TRUE(post.IsEnabled());
}

TEST_F(PostProcessPanelTest, RebuildShowsTheStoredChainAndFreeSlotsStayFree) {
  for (int row : {4, 0, 2}) DoubleClickAvailable(row);
  // A slide round trip, then a new dialog as when the object is shown again.
  std::stringstream file;
  post.Write(file);
  PostProcessManager loaded;
  loaded.Read(file);
  CDXUTDialog again;
  again.Init(&manager);
  loaded.BuildControls(&again);
  CDXUTListBox* list = again.GetListBox(7);
  ASSERT_EQ(list->GetSize(), 4);
  const int rows[] = {4, 0, 2};
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(list->GetItem(k)->strText, PP::DisplayName(rows[k]));
    EXPECT_EQ(list->GetItem(k)->pData, loaded.GetListInstance(k));
  }
  EXPECT_EQ(list->GetItem(3)->strText, u"----");
  EXPECT_EQ(list->GetItem(3)->pData, nullptr);
  ASSERT_TRUE(loaded.InsertEffect(7));
  const int slot = loaded.GetListInstance(3)->parameterSlot;
  EXPECT_EQ(slot, 3);
}

TEST_F(PostProcessPanelTest, TheTwentiethEffectIsRefusedAndNineteenSurviveASave) {
  for (int i = 0; i < 19; ++i) DoubleClickAvailable(i % 5);
  ASSERT_EQ(post.GetListCount(), 20);
  DoubleClickAvailable(0);
  EXPECT_EQ(post.GetListCount(), 20);
  EXPECT_EQ(ActiveTexts().size(), 20u);
  EXPECT_EQ(post.CountFreeSlots(), 1);
  EXPECT_EQ(post.GetEntryCount(), 20);

  std::stringstream file;
  post.Write(file);
  EXPECT_EQ(file.str().size(), 4u + 20u * 44u);
  PostProcessManager loaded;
  loaded.Read(file);
  ASSERT_EQ(loaded.GetListCount(), 20);
  for (int k = 0; k < 19; ++k) EXPECT_EQ(loaded.GetListInstance(k)->effectIndex, k % 5) << k;
}

}  // namespace
