// The standard controls driven through their dialog: buttons, check and
// radio boxes, combo boxes, sliders and scroll bars.
#include <gtest/gtest.h>

#include "GuiTestUtil.h"

using namespace guitest;
using Codes = std::vector<std::pair<UINT, int>>;

namespace {

class ControlsTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    Prepare(d);
  }
  CDXUTDialog d;
};

// --- Buttons ---------------------------------------------------------------

TEST_F(ControlsTest, ButtonClickNeedsPressAndReleaseInside) {
  CDXUTButton* b;
  d.AddButton(1, u"Play", 40, 5, 30, 20, 0, false, &b);
  Click(d, 45, 10);
  EXPECT_EQ(rec.Codes(), (Codes{{EVENT_BUTTON_CLICKED, 1}}));
  EXPECT_EQ(rec.captures, 1);
  EXPECT_EQ(rec.releases, 1);
  rec.events.clear();

  EXPECT_TRUE(Down(d, 45, 10));
  EXPECT_TRUE(b->IsPressed());
  EXPECT_TRUE(Up(d, 200, 200));  // released outside
  EXPECT_FALSE(b->IsPressed());
  EXPECT_TRUE(rec.events.empty());

  EXPECT_FALSE(Up(d, 45, 10));  // a release without a press is nobody's
  EXPECT_TRUE(rec.events.empty());
}

TEST_F(ControlsTest, DoubleClickOnAButtonClicksTwice) {
  d.AddButton(1, u"B", 0, 0, 30, 20);
  DoubleClick(d, 5, 5);
  EXPECT_EQ(rec.Count(EVENT_BUTTON_CLICKED), 2);
}

TEST_F(ControlsTest, ReleasedPressClearsTheFocusWithoutKeyboardInput) {
  CDXUTButton* b;
  d.AddButton(1, u"B", 0, 0, 30, 20, 0, false, &b);
  Down(d, 5, 5);
  EXPECT_EQ(CDXUTDialog::GetFocusedControl(), b);
  Up(d, 5, 5);
  EXPECT_EQ(CDXUTDialog::GetFocusedControl(), nullptr);
  d.EnableKeyboardInput(true);
  Click(d, 5, 5);
  EXPECT_EQ(CDXUTDialog::GetFocusedControl(), b);
}

TEST_F(ControlsTest, SpaceClicksTheFocusedButton) {
  CDXUTButton* b;
  d.EnableKeyboardInput(true);
  d.AddButton(1, u"B", 0, 0, 30, 20, 0, false, &b);
  d.RequestFocus(b);
  EXPECT_TRUE(KeyDown(d, VK_SPACE));
  EXPECT_TRUE(rec.events.empty());  // on release
  EXPECT_TRUE(KeyUp(d, VK_SPACE));
  EXPECT_EQ(rec.Codes(), (Codes{{EVENT_BUTTON_CLICKED, 1}}));
  EXPECT_TRUE(KeyUp(d, VK_SPACE));  // a stray release does nothing
  EXPECT_EQ(rec.events.size(), 1u);
}

TEST_F(ControlsTest, DisabledAndHiddenButtonsTakeNoInput) {
  CDXUTButton* b;
  d.AddButton(1, u"B", 0, 0, 30, 20, 'B', false, &b);
  b->SetEnabled(false);
  EXPECT_FALSE(Down(d, 5, 5));
  EXPECT_FALSE(Up(d, 5, 5));
  EXPECT_FALSE(KeyDown(d, 'B'));
  b->SetEnabled(true);
  b->SetVisible(false);
  EXPECT_FALSE(Down(d, 5, 5));
  EXPECT_FALSE(KeyDown(d, 'B'));
  EXPECT_TRUE(rec.events.empty());
  EXPECT_TRUE(d.GetControlEnabled(1));
  d.SetControlEnabled(1, false);
  EXPECT_FALSE(b->GetEnabled());
}

TEST_F(ControlsTest, StaticsTakeNoInputAndDoNotHideWhatLiesBelow) {
  d.AddButton(1, u"B", 0, 0, 100, 20);
  d.AddStatic(2, u"label over the button", 0, 0, 100, 20);
  Click(d, 5, 5);
  EXPECT_EQ(rec.Codes(), (Codes{{EVENT_BUTTON_CLICKED, 1}}));
}

// --- Check boxes -----------------------------------------------------------

TEST_F(ControlsTest, CheckBoxFlipsOnClickSpaceAndHotkey) {
  CDXUTCheckBox* c;
  d.EnableKeyboardInput(true);
  d.AddCheckBox(612, u"Take Peak", 280, 103, 100, 16, true, 'T', false, &c);
  EXPECT_EQ(c->GetButtonRect(), gui::Rect::FromXYWH(280, 103, 16, 16));
  EXPECT_EQ(c->GetTextRect(), (gui::Rect{280 + 20, 103, 380, 119}));
  Click(d, 290, 110);
  EXPECT_FALSE(c->GetChecked());
  KeyDown(d, VK_SPACE);
  KeyUp(d, VK_SPACE);
  EXPECT_TRUE(c->GetChecked());
  KeyDown(d, 'T');
  EXPECT_FALSE(c->GetChecked());
  EXPECT_EQ(rec.Codes(), (Codes{{EVENT_CHECKBOX_CHANGED, 612}, {EVENT_CHECKBOX_CHANGED, 612},
                                {EVENT_CHECKBOX_CHANGED, 612}}));
}

TEST_F(ControlsTest, CheckBoxPressReleasedOutsideDoesNotFlip) {
  CDXUTCheckBox* c;
  d.AddCheckBox(1, u"C", 0, 0, 100, 16, false, 0, false, &c);
  Down(d, 5, 5);
  Up(d, 5, 50);
  EXPECT_FALSE(c->GetChecked());
  EXPECT_TRUE(rec.events.empty());
}

// --- Combo boxes -----------------------------------------------------------

class ComboTest : public ControlsTest {
 protected:
  void SetUp() override {
    ControlsTest::SetUp();
    d.AddComboBox(5, 0, 0, 150, 16, 'M', false, &combo);
    for (int i = 0; i < 10; ++i) {
      std::u16string text = u"item ";
      text += static_cast<char16_t>(u'0' + i);
      combo->AddItem(text.c_str(), gui::ToData(i * 10));
    }
  }
  // Window point of item i's row while the list is open (no scrolling).
  static int ItemY(int i) { return 16 + 14 * i + 5; }
  CDXUTComboBox* combo = nullptr;
};

TEST_F(ComboTest, GeometryOfTheClosedAndOpenedBox) {
  EXPECT_EQ(combo->GetButtonRect(), (gui::Rect{134, 0, 150, 16}));
  EXPECT_EQ(combo->GetTextRect(), (gui::Rect{0, 0, 134, 16}));
  EXPECT_EQ(combo->GetDropdownRect(), (gui::Rect{0, 16, 150, 116}));
  EXPECT_EQ(combo->GetDropdownTextRect(), (gui::Rect{0, 16, 134, 116}));
  EXPECT_EQ(combo->GetScrollBar().GetBoundingBox(), (gui::Rect{134, 16, 150, 116}));
  EXPECT_EQ(combo->GetScrollBar().GetPageSize(), 7);
  EXPECT_EQ(combo->GetItem(1)->rcActive, (gui::Rect{0, 30, 134, 44}));
  EXPECT_TRUE(combo->GetItem(6)->bVisible);
  EXPECT_FALSE(combo->GetItem(7)->bVisible);
  combo->SetDropHeight(20);
  EXPECT_EQ(combo->GetDropdownRect(), (gui::Rect{0, 16, 150, 36}));
  EXPECT_EQ(combo->GetScrollBar().GetPageSize(), 1);
}

TEST_F(ComboTest, FirstItemIsSelectedItemsKeepTheirData) {
  EXPECT_EQ(combo->GetNumItems(), 10u);
  EXPECT_EQ(combo->GetSelectedIndex(), 0);
  EXPECT_EQ(gui::FromData(combo->GetSelectedData()), 0);
  EXPECT_EQ(gui::FromData(combo->GetItemData(3)), 30);
  EXPECT_EQ(gui::FromData(combo->GetItemData(u"item 4")), 40);
  EXPECT_EQ(combo->GetItemData(10), nullptr);
  EXPECT_EQ(combo->GetItemData(-1), nullptr);
  EXPECT_EQ(combo->GetItemData(u"missing"), nullptr);
  EXPECT_TRUE(combo->ContainsItem(u"item 9"));
  EXPECT_FALSE(combo->ContainsItem(u"item 1", 2));
  EXPECT_EQ(combo->GetItem(10), nullptr);
}

TEST_F(ComboTest, ProgrammaticSelectionSendsNothing) {
  EXPECT_EQ(combo->SetSelectedByData(gui::ToData(70)), gui::S_OK);
  EXPECT_EQ(combo->GetSelectedIndex(), 7);
  EXPECT_EQ(combo->SetSelectedByIndex(2), gui::S_OK);
  EXPECT_EQ(combo->SetSelectedByText(u"item 5"), gui::S_OK);
  EXPECT_EQ(combo->GetSelectedIndex(), 5);
  EXPECT_EQ(combo->SetSelectedByIndex(10), gui::E_INVALIDARG);
  EXPECT_LT(combo->SetSelectedByData(gui::ToData(-1)), 0);
  EXPECT_LT(combo->SetSelectedByText(u"nope"), 0);
  EXPECT_EQ(combo->GetSelectedIndex(), 5);
  EXPECT_TRUE(rec.events.empty());
}

TEST_F(ComboTest, ClickOpensChoosingAnItemSelectsIt) {
  Click(d, 10, 8);
  EXPECT_TRUE(combo->IsOpened());
  EXPECT_TRUE(rec.events.empty());
  Move(d, 10, ItemY(2));
  EXPECT_EQ(combo->GetFocusedIndex(), 2);
  Click(d, 10, ItemY(3));
  EXPECT_FALSE(combo->IsOpened());
  EXPECT_EQ(combo->GetSelectedIndex(), 3);
  EXPECT_EQ(rec.Codes(), (Codes{{EVENT_COMBOBOX_SELECTION_CHANGED, 5}}));
  // Choosing the selected item again changes nothing.
  Click(d, 10, 8);
  Click(d, 10, ItemY(3));
  EXPECT_EQ(rec.events.size(), 1u);
  // A second click on the box closes the list without choosing.
  Click(d, 10, 8);
  Click(d, 10, 8);
  EXPECT_FALSE(combo->IsOpened());
  EXPECT_EQ(rec.events.size(), 1u);
}

TEST_F(ComboTest, ClickElsewhereClosesAndPassesOn) {
  CDXUTButton* b;
  d.AddButton(9, u"B", 200, 0, 50, 20, 0, false, &b);
  Click(d, 10, 8);
  ASSERT_TRUE(combo->IsOpened());
  Click(d, 210, 5);
  EXPECT_FALSE(combo->IsOpened());
  EXPECT_EQ(rec.Codes(), (Codes{{EVENT_BUTTON_CLICKED, 9}}));
}

TEST_F(ComboTest, OpenedListCoversTheControlsBelow) {
  d.AddButton(9, u"below", 0, 30, 100, 20);
  Click(d, 10, 8);
  Click(d, 10, 35);  // item 1's row over the button
  EXPECT_EQ(rec.Codes(), (Codes{{EVENT_COMBOBOX_SELECTION_CHANGED, 5}}));
  EXPECT_EQ(combo->GetSelectedIndex(), 1);
}

TEST_F(ComboTest, KeyboardMovesSelectsAndCommits) {
  Click(d, 10, 8);  // open: the combo has the focus
  Click(d, 10, 8);  // closed again, focus kept
  ASSERT_EQ(CDXUTDialog::GetFocusedControl(), combo);
  // Closed: arrows move the selection at once.
  KeyDown(d, VK_DOWN);
  KeyDown(d, VK_RIGHT);
  EXPECT_EQ(combo->GetSelectedIndex(), 2);
  KeyDown(d, VK_UP);
  EXPECT_EQ(combo->GetSelectedIndex(), 1);
  KeyDown(d, VK_LEFT);
  KeyDown(d, VK_LEFT);  // stays on the first
  EXPECT_EQ(combo->GetSelectedIndex(), 0);
  EXPECT_EQ(rec.Count(EVENT_COMBOBOX_SELECTION_CHANGED), 4);
  rec.events.clear();

  // F4 opens; arrows move the focused item only; Enter commits.
  EXPECT_TRUE(KeyDown(d, VK_F4));
  EXPECT_TRUE(combo->IsOpened());
  KeyDown(d, VK_DOWN);
  KeyDown(d, VK_DOWN);
  EXPECT_EQ(combo->GetFocusedIndex(), 2);
  EXPECT_EQ(combo->GetSelectedIndex(), 0);
  EXPECT_TRUE(rec.events.empty());
  EXPECT_TRUE(KeyDown(d, VK_RETURN));
  EXPECT_FALSE(combo->IsOpened());
  EXPECT_EQ(combo->GetSelectedIndex(), 2);
  EXPECT_EQ(rec.Codes(), (Codes{{EVENT_COMBOBOX_SELECTION_CHANGED, 5}}));
}

TEST_F(ComboTest, F4ClosingCommitsAndReports) {
  d.RequestFocus(combo);
  KeyDown(d, VK_F4);
  KeyDown(d, VK_F4, LPARAM(1) | (LPARAM(1) << 30));  // auto-repeat ignored
  EXPECT_TRUE(combo->IsOpened());
  KeyDown(d, VK_DOWN);
  KeyDown(d, VK_F4);
  EXPECT_FALSE(combo->IsOpened());
  EXPECT_EQ(combo->GetSelectedIndex(), 1);
  // Closing with F4 reports even when nothing changed.
  d.RequestFocus(combo);
  KeyDown(d, VK_F4);
  KeyDown(d, VK_F4);
  EXPECT_EQ(rec.Count(EVENT_COMBOBOX_SELECTION_CHANGED), 2);
}

TEST_F(ComboTest, EnterOnAClosedComboIsNotConsumed) {
  d.RequestFocus(combo);
  EXPECT_FALSE(KeyDown(d, VK_RETURN));
}

TEST_F(ComboTest, HotkeyStepsAndWraps) {
  combo->SetSelectedByIndex(8);
  KeyDown(d, 'M');
  EXPECT_EQ(combo->GetSelectedIndex(), 9);
  KeyDown(d, 'M');
  EXPECT_EQ(combo->GetSelectedIndex(), 0);
  EXPECT_EQ(rec.Count(EVENT_COMBOBOX_SELECTION_CHANGED), 2);
  combo->RemoveAllItems();
  EXPECT_TRUE(KeyDown(d, 'M'));  // still the combo's key, nothing to step
  EXPECT_EQ(combo->GetSelectedIndex(), -1);
  EXPECT_EQ(combo->GetSelectedData(), nullptr);
  EXPECT_EQ(combo->GetSelectedItem(), nullptr);
  EXPECT_EQ(rec.Count(EVENT_COMBOBOX_SELECTION_CHANGED), 2);
}

TEST_F(ComboTest, ScrollingTheOpenedList) {
  Click(d, 10, 8);
  // The scroll bar's down arrow at the bottom right of the list.
  Click(d, 140, 110);
  EXPECT_EQ(combo->GetScrollBar().GetTrackPos(), 1);
  EXPECT_FALSE(combo->GetItem(0)->bVisible);
  EXPECT_EQ(combo->GetItem(1)->rcActive.top, 16);
  Click(d, 10, ItemY(0));  // the top row is item 1 now
  EXPECT_EQ(combo->GetSelectedIndex(), 1);
  Click(d, 10, 8);
  d.MsgProc(WM_MOUSEWHEEL, MakeWheelWParam(-2 * WHEEL_DELTA, 0), MakeLParam(10, 40));
  EXPECT_EQ(combo->GetScrollBar().GetTrackPos(), 3);
  d.MsgProc(WM_MOUSEWHEEL, MakeWheelWParam(100 * WHEEL_DELTA, 0), MakeLParam(10, 40));
  EXPECT_EQ(combo->GetScrollBar().GetTrackPos(), 0);
}

TEST_F(ComboTest, RemoveItemKeepsTheSelectionOnItsItem) {
  combo->SetSelectedByIndex(5);
  combo->RemoveItem(2);
  EXPECT_EQ(combo->GetSelectedIndex(), 4);
  EXPECT_EQ(gui::FromData(combo->GetSelectedData()), 50);
  combo->RemoveItem(100);  // refused
  EXPECT_EQ(combo->GetNumItems(), 9u);
  combo->SetSelectedByIndex(8);
  combo->RemoveItem(8);
  EXPECT_EQ(combo->GetSelectedIndex(), 7);
}

TEST_F(ComboTest, LosingTheFocusClosesTheList) {
  Click(d, 10, 8);
  ASSERT_TRUE(combo->IsOpened());
  CDXUTDialog::ClearFocus();
  EXPECT_FALSE(combo->IsOpened());
}

TEST_F(ComboTest, LongItemTextIsCut) {
  combo->RemoveAllItems();
  const std::u16string longText(400, u'a');
  combo->AddItem(longText.c_str(), nullptr);
  EXPECT_EQ(combo->GetItem(0)->strText.size(), 255u);
  EXPECT_EQ(combo->FindItem(longText.c_str()), 0);
}

// --- Sliders ---------------------------------------------------------------

TEST_F(ControlsTest, SliderSetValueClampsSilently) {
  CDXUTSlider* s;
  d.AddSlider(602, 0, 0, 100, 20, 0, 255, 125, false, &s);
  s->SetValue(300);
  EXPECT_EQ(s->GetValue(), 255);
  s->SetValue(-4);
  EXPECT_EQ(s->GetValue(), 0);
  int lo, hi;
  s->SetRange(50, 10);  // put in order
  s->GetRange(lo, hi);
  EXPECT_EQ(lo, 10);
  EXPECT_EQ(hi, 50);
  EXPECT_EQ(s->GetValue(), 10);
  EXPECT_TRUE(rec.events.empty());
}

TEST_F(ControlsTest, SliderTrackClickJumpsAndThumbDragFollows) {
  CDXUTSlider* s;
  d.AddSlider(448, 0, 0, 100, 20, 0, 100, 50, false, &s);
  EXPECT_EQ(s->GetThumbRect(), (gui::Rect{40, 0, 60, 20}));
  Down(d, 80, 10);  // track
  EXPECT_EQ(s->GetValue(), 80);
  Up(d, 80, 10);
  EXPECT_EQ(rec.Codes(), (Codes{{EVENT_SLIDER_VALUE_CHANGED, 448}}));
  EXPECT_EQ(s->GetThumbRect(), (gui::Rect{70, 0, 90, 20}));
  rec.events.clear();

  Down(d, 82, 10);  // on the thumb, 2 pixels right of its centre
  EXPECT_EQ(s->GetValue(), 80);
  EXPECT_TRUE(rec.events.empty());
  Move(d, 32, 50);  // dragging works away from the track too
  EXPECT_EQ(s->GetValue(), 30);
  Move(d, 32, 50);  // no change, no event
  Move(d, -500, 10);
  EXPECT_EQ(s->GetValue(), 0);
  Move(d, 500, 10);
  EXPECT_EQ(s->GetValue(), 100);
  Up(d, 500, 10);
  EXPECT_FALSE(s->IsPressed());
  Move(d, 20, 10);  // released: no more drag
  EXPECT_EQ(s->GetValue(), 100);
  EXPECT_EQ(rec.Count(EVENT_SLIDER_VALUE_CHANGED), 3);
}

TEST_F(ControlsTest, SliderWithAnEmptyRangeStaysPut) {
  CDXUTSlider* s;
  d.AddSlider(1, 0, 0, 100, 20, 7, 7, 3, false, &s);
  EXPECT_EQ(s->GetValue(), 7);
  Click(d, 90, 10);
  EXPECT_EQ(s->GetValue(), 7);
  EXPECT_TRUE(rec.events.empty());
}

TEST_F(ControlsTest, DisabledSliderIgnoresTheMouse) {
  CDXUTSlider* s;
  d.AddSlider(602, 0, 0, 100, 20, 0, 255, 125, false, &s);
  s->SetEnabled(false);
  Click(d, 10, 10);
  EXPECT_EQ(s->GetValue(), 125);
  EXPECT_TRUE(rec.events.empty());
}

// --- Scroll bars -----------------------------------------------------------

TEST_F(ControlsTest, ScrollBarRangeThumbAndShowItem) {
  CDXUTScrollBar sb(&d);
  sb.SetLocation(0, 0);
  sb.SetSize(16, 100);
  sb.SetPageSize(4);
  sb.SetTrackRange(0, 4);
  EXPECT_FALSE(sb.IsThumbShown());  // everything fits
  sb.SetTrackRange(0, 20);
  EXPECT_TRUE(sb.IsThumbShown());
  EXPECT_EQ(sb.GetUpButtonRect(), (gui::Rect{0, 0, 16, 16}));
  EXPECT_EQ(sb.GetDownButtonRect(), (gui::Rect{0, 84, 16, 100}));
  EXPECT_EQ(sb.GetThumbRect().top, 16);
  sb.ShowItem(10);
  EXPECT_EQ(sb.GetTrackPos(), 7);
  sb.ShowItem(2);
  EXPECT_EQ(sb.GetTrackPos(), 2);
  sb.SetTrackPos(1000);
  EXPECT_EQ(sb.GetTrackPos(), 16);
  EXPECT_EQ(sb.GetThumbRect().bottom, 84);
  sb.SetTrackPos(-3);
  EXPECT_EQ(sb.GetTrackPos(), 0);
  sb.SetTrackRange(0, 0);
  EXPECT_EQ(sb.GetTrackPos(), 0);
}

TEST_F(ControlsTest, ScrollBarThumbDrag) {
  CDXUTScrollBar sb(&d);
  sb.SetLocation(0, 0);
  sb.SetSize(16, 100);
  sb.SetPageSize(4);
  sb.SetTrackRange(0, 20);
  const gui::Rect thumb = sb.GetThumbRect();
  EXPECT_TRUE(sb.HandleMouse(WM_LBUTTONDOWN, {8, thumb.top + 1}, MK_LBUTTON, 0));
  EXPECT_TRUE(sb.HandleMouse(WM_MOUSEMOVE, {8, 84 - thumb.Height() + 1}, MK_LBUTTON, 0));
  EXPECT_EQ(sb.GetTrackPos(), 16);
  EXPECT_TRUE(sb.HandleMouse(WM_LBUTTONUP, {8, 50}, 0, 0));
  EXPECT_FALSE(sb.HandleMouse(WM_MOUSEMOVE, {8, 20}, 0, 0));
  // The track below the thumb pages up; above it pages down.
  sb.SetTrackPos(0);
  EXPECT_TRUE(sb.HandleMouse(WM_LBUTTONDOWN, {8, 80}, MK_LBUTTON, 0));
  EXPECT_EQ(sb.GetTrackPos(), 4);
  sb.HandleMouse(WM_LBUTTONUP, {8, 80}, 0, 0);
  EXPECT_EQ(rec.captures, rec.releases);
}

}  // namespace
