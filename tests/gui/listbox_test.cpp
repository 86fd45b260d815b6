// List boxes: single and multi selection with the mouse and the keyboard,
// double clicks, drag selection, item operations and scrolling.
#include <gtest/gtest.h>

#include "GuiTestUtil.h"

using namespace guitest;
using Codes = std::vector<std::pair<UINT, int>>;

namespace {

// A list at (10, 40), 210 x 80, as the values panel lays it out: items are
// 14 pixels high from y = 46, four to a page, the scroll bar on the right.
class ListBoxTest : public GuiTest {
 protected:
  void Build(std::uint32_t style, int items) {
    Prepare(d);
    d.AddListBox(1600, 10, 40, 210, 80, style, &list);
    for (int i = 0; i < items; ++i) {
      std::u16string text = u"line ";
      text += static_cast<char16_t>(u'0' + i);
      ASSERT_EQ(list->AddItem(text.c_str(), gui::ToData(100 + i)), gui::S_OK);
    }
  }
  static int RowY(int row) { return 46 + 14 * row + 3; }
  std::vector<int> Selected() const {
    std::vector<int> out;
    for (int i = list->GetSelectedIndex(-1); i != -1; i = list->GetSelectedIndex(i)) out.push_back(i);
    return out;
  }
  CDXUTDialog d;
  CDXUTListBox* list = nullptr;
};

TEST_F(ListBoxTest, Geometry) {
  Build(0, 6);
  EXPECT_EQ(list->GetSelectionRect(), (gui::Rect{16, 46, 198, 114}));
  EXPECT_EQ(list->GetTextRect(), (gui::Rect{21, 46, 193, 114}));
  EXPECT_EQ(list->GetItemsPerPage(), 4);
  EXPECT_EQ(list->GetScrollBar().GetBoundingBox(), (gui::Rect{204, 40, 220, 120}));
  EXPECT_EQ(list->GetItem(2)->rcActive, (gui::Rect{16, 74, 198, 88}));
  EXPECT_TRUE(list->GetItem(4)->rcActive.Empty());  // below the page
}

TEST_F(ListBoxTest, ClickSelectsReleaseEndsDoubleClickReports) {
  Build(0, 6);
  EXPECT_EQ(list->GetSelectedIndex(), -1);
  Click(d, 30, RowY(1));
  EXPECT_EQ(list->GetSelectedIndex(), 1);
  EXPECT_EQ(rec.Codes(), (Codes{{EVENT_LISTBOX_SELECTION, 1600}, {EVENT_LISTBOX_SELECTION_END, 1600}}));
  rec.events.clear();
  DoubleClick(d, 30, RowY(2));
  EXPECT_EQ(list->GetSelectedIndex(), 2);
  EXPECT_EQ(rec.Count(EVENT_LISTBOX_SELECTION), 1);
  EXPECT_EQ(rec.Count(EVENT_LISTBOX_ITEM_DBLCLK), 1);
  // The double click comes after the selection it acts on.
  EXPECT_EQ(rec.events.front().code, UINT(EVENT_LISTBOX_SELECTION));
  EXPECT_EQ(rec.events[2].code, UINT(EVENT_LISTBOX_ITEM_DBLCLK));
  // A double click straight onto an unselected item selects it first.
  rec.events.clear();
  DblClk(d, 30, RowY(0));
  EXPECT_EQ(rec.Codes(), (Codes{{EVENT_LISTBOX_SELECTION, 1600}, {EVENT_LISTBOX_ITEM_DBLCLK, 1600}}));
}

TEST_F(ListBoxTest, ClicksOnTheBorderOrBelowTheItemsSelectNothing) {
  Build(0, 2);
  EXPECT_TRUE(Down(d, 12, 42));           // border
  EXPECT_TRUE(Down(d, 30, RowY(3)));      // an empty row
  Up(d, 30, RowY(3));
  EXPECT_EQ(list->GetSelectedIndex(), -1);
  EXPECT_TRUE(rec.events.empty());
}

TEST_F(ListBoxTest, SingleSelectionIgnoresModifiers) {
  Build(0, 6);
  Click(d, 30, RowY(0));
  Click(d, 30, RowY(2), MK_SHIFT);
  Click(d, 30, RowY(3), MK_CONTROL);
  EXPECT_EQ(list->GetSelectedIndex(), 3);
  EXPECT_FALSE(list->GetItem(0)->bSelected);
  EXPECT_TRUE(list->GetItem(3)->bSelected);
}

TEST_F(ListBoxTest, MultiSelectionWithShiftAndCtrl) {
  Build(71, 6);  // style bit 0: multi-selection
  Click(d, 30, RowY(0));
  EXPECT_EQ(Selected(), (std::vector<int>{0}));
  Click(d, 30, RowY(2), MK_SHIFT);
  EXPECT_EQ(Selected(), (std::vector<int>{0, 1, 2}));
  Click(d, 30, RowY(1), MK_CONTROL);
  EXPECT_EQ(Selected(), (std::vector<int>{0, 2}));
  Click(d, 30, RowY(3), MK_SHIFT | MK_CONTROL);  // adds 1..3 to the selection
  EXPECT_EQ(Selected(), (std::vector<int>{0, 1, 2, 3}));
  Click(d, 30, RowY(2), MK_SHIFT);  // a plain Shift range replaces it
  EXPECT_EQ(Selected(), (std::vector<int>{1, 2}));
  Click(d, 30, RowY(3));
  EXPECT_EQ(Selected(), (std::vector<int>{3}));
  // GetSelectedIndex with a previous index walks the selection.
  Click(d, 30, RowY(0), MK_CONTROL);
  EXPECT_EQ(list->GetSelectedIndex(), 0);
  EXPECT_EQ(list->GetSelectedIndex(0), 3);
  EXPECT_EQ(list->GetSelectedIndex(3), -1);
  EXPECT_EQ(list->GetSelectedIndex(-7), -1);
  EXPECT_EQ(list->GetSelectedItem(0), list->GetItem(3));
}

TEST_F(ListBoxTest, DragSelectsARangeAndEndsWithSelectionEnd) {
  Build(1, 6);
  Down(d, 30, RowY(0));
  Move(d, 30, RowY(2));
  EXPECT_EQ(Selected(), (std::vector<int>{0, 1, 2}));
  Up(d, 30, RowY(2));
  EXPECT_EQ(rec.events.back().code, UINT(EVENT_LISTBOX_SELECTION_END));
  EXPECT_EQ(rec.Count(EVENT_LISTBOX_SELECTION), 2);
  // Dragging below the page scrolls.
  Down(d, 30, RowY(3));
  Move(d, 30, 130);
  EXPECT_EQ(list->GetScrollBar().GetTrackPos(), 1);
  EXPECT_EQ(Selected(), (std::vector<int>{3, 4}));
  Up(d, 30, 130);
}

TEST_F(ListBoxTest, KeyboardMovesTheSelection) {
  Build(0, 10);
  Click(d, 30, RowY(1));
  rec.events.clear();
  ASSERT_EQ(CDXUTDialog::GetFocusedControl(), list);  // the list keeps the focus
  KeyDown(d, VK_DOWN);
  EXPECT_EQ(list->GetSelectedIndex(), 2);
  KeyDown(d, VK_UP);
  KeyDown(d, VK_UP);
  KeyDown(d, VK_UP);  // stays on the first: no event
  EXPECT_EQ(list->GetSelectedIndex(), 0);
  KeyDown(d, VK_NEXT);  // a page less one line
  EXPECT_EQ(list->GetSelectedIndex(), 3);
  KeyDown(d, VK_END);
  EXPECT_EQ(list->GetSelectedIndex(), 9);
  EXPECT_EQ(list->GetScrollBar().GetTrackPos(), 6);
  KeyDown(d, VK_PRIOR);
  EXPECT_EQ(list->GetSelectedIndex(), 6);
  KeyDown(d, VK_HOME);
  EXPECT_EQ(list->GetSelectedIndex(), 0);
  EXPECT_EQ(list->GetScrollBar().GetTrackPos(), 0);
  EXPECT_EQ(rec.Count(EVENT_LISTBOX_SELECTION), 7);
  KeyDown(d, VK_SPACE);
  EXPECT_EQ(rec.events.back().code, UINT(EVENT_LISTBOX_ITEM_DBLCLK));
  EXPECT_FALSE(KeyDown(d, 'Q'));
}

TEST_F(ListBoxTest, ShiftArrowsExtendAMultiSelection) {
  Build(1, 6);
  Click(d, 30, RowY(1));
  KeyDown(d, VK_SHIFT);
  KeyDown(d, VK_DOWN);
  KeyDown(d, VK_DOWN);
  EXPECT_EQ(Selected(), (std::vector<int>{1, 2, 3}));
  KeyUp(d, VK_SHIFT);
  KeyDown(d, VK_DOWN);
  EXPECT_EQ(Selected(), (std::vector<int>{4}));
}

TEST_F(ListBoxTest, SelectItemClampsAndReportsAsTheUser) {
  Build(0, 4);
  list->SelectItem(-5);
  EXPECT_EQ(list->GetSelectedIndex(), 0);
  list->SelectItem(99);
  EXPECT_EQ(list->GetSelectedIndex(), 3);
  EXPECT_EQ(rec.Codes(), (Codes{{EVENT_LISTBOX_SELECTION, 1600}, {EVENT_LISTBOX_SELECTION, 1600}}));
  list->RemoveAllItems();
  list->SelectItem(0);  // empty: nothing
  EXPECT_EQ(rec.events.size(), 2u);
  EXPECT_EQ(list->GetSelectedIndex(), -1);
}

TEST_F(ListBoxTest, SelectItemInAMultiListMakesItTheOnlySelection) {
  Build(1, 4);
  Click(d, 30, RowY(0));
  Click(d, 30, RowY(2), MK_CONTROL);
  list->SelectItem(1);
  EXPECT_EQ(Selected(), (std::vector<int>{1}));
}

TEST_F(ListBoxTest, InsertAndRemoveKeepTheSelectionOnItsItem) {
  Build(0, 4);
  list->SelectItem(2);
  EXPECT_EQ(list->InsertItem(0, u"top", nullptr), gui::S_OK);
  EXPECT_EQ(list->GetSelectedIndex(), 3);
  EXPECT_EQ(list->GetItem(0)->strText, u"top");
  EXPECT_EQ(list->InsertItem(5, u"end", nullptr), gui::S_OK);  // == size is allowed
  EXPECT_EQ(list->InsertItem(7, u"far", nullptr), gui::E_INVALIDARG);
  EXPECT_EQ(list->InsertItem(-1, u"neg", nullptr), gui::E_INVALIDARG);
  EXPECT_EQ(list->GetSize(), 6);
  list->RemoveItem(1);
  EXPECT_EQ(list->GetSelectedIndex(), 2);
  EXPECT_EQ(gui::FromData(list->GetSelectedItem()->pData), 102);
  list->RemoveItem(2);  // the selected item: nothing selected afterwards
  EXPECT_EQ(list->GetSelectedIndex(), -1);
  list->RemoveItem(10);
  list->RemoveItem(-1);
  EXPECT_EQ(list->GetSize(), 4);
  list->RemoveItemByData(gui::ToData(103));
  EXPECT_EQ(list->GetSize(), 3);
  EXPECT_EQ(list->GetItem(3), nullptr);
  EXPECT_EQ(list->GetItem(-1), nullptr);
}

TEST_F(ListBoxTest, LongItemTextIsCutTo255Units) {
  Build(0, 0);
  const std::u16string longText(300, u'x');
  list->AddItem(longText.c_str(), nullptr);
  EXPECT_EQ(list->GetItem(0)->strText.size(), 255u);
}

TEST_F(ListBoxTest, EmptyListIgnoresEverything) {
  Build(1, 0);
  Click(d, 30, RowY(0));
  DoubleClick(d, 30, RowY(0));
  d.RequestFocus(list);
  for (UINT vk : {VK_UP, VK_DOWN, VK_PRIOR, VK_NEXT, VK_HOME, VK_END, VK_SPACE}) KeyDown(d, vk);
  d.MsgProc(WM_MOUSEWHEEL, MakeWheelWParam(-WHEEL_DELTA, 0), MakeLParam(30, 60));
  EXPECT_TRUE(rec.events.empty());
  EXPECT_EQ(list->GetSelectedIndex(), -1);
  EXPECT_EQ(list->GetSelectedItem(), nullptr);
}

TEST_F(ListBoxTest, ScrollBarArrowAndWheel) {
  Build(0, 10);
  Click(d, 210, 115);  // down arrow
  EXPECT_EQ(list->GetScrollBar().GetTrackPos(), 1);
  EXPECT_TRUE(list->GetItem(0)->rcActive.Empty());
  Click(d, 30, RowY(0));
  EXPECT_EQ(list->GetSelectedIndex(), 1);
  d.MsgProc(WM_MOUSEWHEEL, MakeWheelWParam(-3 * WHEEL_DELTA, 0), MakeLParam(30, 60));
  EXPECT_EQ(list->GetScrollBar().GetTrackPos(), 4);
  Click(d, 210, 45);  // up arrow
  EXPECT_EQ(list->GetScrollBar().GetTrackPos(), 3);
}

TEST_F(ListBoxTest, SwitchingOffMultiSelectionKeepsOneItem) {
  Build(1, 4);
  Click(d, 30, RowY(0));
  Click(d, 30, RowY(2), MK_SHIFT);
  list->SetStyle(0);
  EXPECT_EQ(list->GetSelectedIndex(), 2);
  EXPECT_FALSE(list->GetItem(0)->bSelected);
  EXPECT_TRUE(list->GetItem(2)->bSelected);
}

}  // namespace
