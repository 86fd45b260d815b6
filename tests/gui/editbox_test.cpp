// Edit boxes: typing, the editing keys, selection, the clipboard through the
// platform hooks, caret placement by the fixed metric, and the events.
#include <gtest/gtest.h>

#include "GuiTestUtil.h"

using namespace guitest;
using Codes = std::vector<std::pair<UINT, int>>;

namespace {

class EditBoxTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    Prepare(d);
    d.AddEditBox(439, u"", 0, 0, 100, 20, false, &edit);
    Click(d, 50, 10);  // focus
    ASSERT_EQ(CDXUTDialog::GetFocusedControl(), edit);
  }
  CDXUTDialog d;
  CDXUTEditBox* edit = nullptr;
};

TEST_F(EditBoxTest, EveryTypedCharacterIsOneChange) {
  Type(d, u"1 2");
  EXPECT_EQ(edit->GetTextString(), u"1 2");
  EXPECT_EQ(rec.Codes(), (Codes{{EVENT_EDITBOX_CHANGE, 439}, {EVENT_EDITBOX_CHANGE, 439}, {EVENT_EDITBOX_CHANGE, 439}}));
  EXPECT_EQ(edit->GetCaret(), 3);
  EXPECT_TRUE(Char(d, u'\r'));
  EXPECT_EQ(rec.events.back().code, EVENT_EDITBOX_STRING);
  EXPECT_EQ(rec.events.size(), 4u);
  EXPECT_EQ(edit->GetTextString(), u"1 2");  // Enter is no character
}

TEST_F(EditBoxTest, KeyDownsOfTypedKeysAreConsumedEscapeAndTabAreNot) {
  EXPECT_TRUE(KeyDown(d, 'S'));
  EXPECT_TRUE(KeyDown(d, VK_UP));
  EXPECT_FALSE(KeyDown(d, VK_ESCAPE));
  EXPECT_FALSE(KeyDown(d, VK_TAB));
  EXPECT_FALSE(Char(d, 0x1B));  // Escape's character
  EXPECT_TRUE(rec.events.empty());
}

TEST_F(EditBoxTest, BackspaceAndDelete) {
  Type(d, u"abcd");
  rec.events.clear();
  Char(d, 0x08);
  EXPECT_EQ(edit->GetTextString(), u"abc");
  KeyDown(d, VK_HOME);
  Char(d, 0x08);  // nothing before the caret: no change, no event
  KeyDown(d, VK_DELETE);
  EXPECT_EQ(edit->GetTextString(), u"bc");
  KeyDown(d, VK_END);
  KeyDown(d, VK_DELETE);  // nothing after the caret
  EXPECT_EQ(rec.Codes(), (Codes{{EVENT_EDITBOX_CHANGE, 439}, {EVENT_EDITBOX_CHANGE, 439}}));
}

TEST_F(EditBoxTest, ArrowsHomeEndAndShiftSelection) {
  Type(d, u"hello world");
  rec.events.clear();
  KeyDown(d, VK_LEFT);
  EXPECT_EQ(edit->GetCaret(), 10);
  EXPECT_EQ(edit->GetSelStart(), 10);
  KeyDown(d, VK_SHIFT);
  KeyDown(d, VK_LEFT);
  KeyDown(d, VK_LEFT);
  EXPECT_EQ(edit->GetCaret(), 8);
  EXPECT_EQ(edit->GetSelStart(), 10);
  KeyDown(d, VK_HOME);
  EXPECT_EQ(edit->GetCaret(), 0);
  EXPECT_EQ(edit->GetSelStart(), 10);
  KeyUp(d, VK_SHIFT);
  Char(d, u'X');  // replaces the selection: one change
  EXPECT_EQ(edit->GetTextString(), u"Xd");
  EXPECT_EQ(rec.Codes(), (Codes{{EVENT_EDITBOX_CHANGE, 439}}));
  KeyDown(d, VK_END);
  EXPECT_EQ(edit->GetCaret(), 2);
  KeyDown(d, VK_RIGHT);  // stays at the end
  EXPECT_EQ(edit->GetCaret(), 2);
}

TEST_F(EditBoxTest, CtrlArrowsJumpWords) {
  Type(d, u"one two  three");
  KeyDown(d, VK_CONTROL);
  KeyDown(d, VK_LEFT);
  EXPECT_EQ(edit->GetCaret(), 9);
  KeyDown(d, VK_LEFT);
  EXPECT_EQ(edit->GetCaret(), 4);
  KeyDown(d, VK_RIGHT);
  EXPECT_EQ(edit->GetCaret(), 9);
  KeyUp(d, VK_CONTROL);
}

TEST_F(EditBoxTest, SelectAllCutCopyPasteThroughTheHooks) {
  Type(d, u"12.5");
  rec.events.clear();
  Char(d, 0x01);  // Ctrl+A
  EXPECT_EQ(edit->GetSelStart(), 0);
  EXPECT_EQ(edit->GetCaret(), 4);
  Char(d, 0x03);  // Ctrl+C
  EXPECT_EQ(rec.clipboard, u"12.5");
  EXPECT_TRUE(rec.events.empty());
  Char(d, 0x18);  // Ctrl+X
  EXPECT_EQ(edit->GetTextString(), u"");
  EXPECT_EQ(rec.Codes(), (Codes{{EVENT_EDITBOX_CHANGE, 439}}));
  rec.clipboard = u"3 4 5";
  Char(d, 0x16);  // Ctrl+V: one change for the whole paste
  Char(d, 0x16);
  EXPECT_EQ(edit->GetTextString(), u"3 4 53 4 5");
  EXPECT_EQ(rec.Count(EVENT_EDITBOX_CHANGE), 3);
  // A paste stops at a line break: edit boxes hold one line.
  edit->SetText(u"");
  rec.clipboard = u"7\r\n8";
  Char(d, 0x16);
  EXPECT_EQ(edit->GetTextString(), u"7");
  // An empty clipboard changes nothing.
  rec.clipboard.clear();
  rec.events.clear();
  Char(d, 0x16);
  EXPECT_TRUE(rec.events.empty());
}

TEST_F(EditBoxTest, DefaultClipboardIsInProcess) {
  gui::ResetPlatformHooks();
  Type(d, u"abc");
  Char(d, 0x01);
  Char(d, 0x03);
  KeyDown(d, VK_END);
  Char(d, 0x16);
  EXPECT_EQ(edit->GetTextString(), u"abcabc");
}

TEST_F(EditBoxTest, InsertKeyTogglesOverwrite) {
  Type(d, u"abc");
  KeyDown(d, VK_HOME);
  KeyDown(d, VK_INSERT);
  EXPECT_FALSE(edit->GetInsertMode());
  Type(d, u"XY");
  EXPECT_EQ(edit->GetTextString(), u"XYc");
  Type(d, u"Z!");  // overwrite at the end appends
  EXPECT_EQ(edit->GetTextString(), u"XYZ!");
}

TEST_F(EditBoxTest, SetTextSendsNothingAndCanSelectAll) {
  edit->SetText(u"   100");
  EXPECT_TRUE(rec.events.empty());
  EXPECT_EQ(edit->GetCaret(), 6);
  EXPECT_EQ(edit->GetSelStart(), 6);
  edit->SetText(u"250", true);
  EXPECT_EQ(edit->GetSelStart(), 0);
  Char(d, u'9');
  EXPECT_EQ(edit->GetTextString(), u"9");
  edit->SetText(static_cast<const char16_t*>(nullptr));
  EXPECT_EQ(edit->GetTextLength(), 0);
  edit->ClearText();
  EXPECT_EQ(edit->GetCaret(), 0);
}

TEST_F(EditBoxTest, BorderSpacingAndFixedMetricPlaceTheCaret) {
  // Border 5, spacing 4: text from x = 9, 7 pixels a code unit.
  EXPECT_EQ(edit->GetBorderWidth(), 5);
  EXPECT_EQ(edit->GetSpacing(), 4);
  EXPECT_EQ(edit->GetTextRect(), (gui::Rect{5, 5, 95, 15}));
  EXPECT_EQ(edit->GetRenderRect(1), (gui::Rect{0, 0, 5, 5}));
  EXPECT_EQ(edit->GetRenderRect(8), (gui::Rect{95, 15, 100, 20}));
  EXPECT_EQ(edit->GetCharWidth(), 7);
  edit->SetText(u"0123456789");
  Click(d, 9 + 7 * 2 + 2, 10);
  EXPECT_EQ(edit->GetCaret(), 2);
  Click(d, 9 + 7 * 2 + 4, 10);  // past the middle of the third unit
  EXPECT_EQ(edit->GetCaret(), 3);
  EXPECT_EQ(edit->GetCaretX(), 9 + 21);
  // Dragging selects.
  Down(d, 9, 10);
  Move(d, 9 + 7 * 5, 10);
  Up(d, 9 + 7 * 5, 10);
  EXPECT_EQ(edit->GetSelStart(), 0);
  EXPECT_EQ(edit->GetCaret(), 5);
  // The panels' border 1 and spacing 2.
  edit->SetBorderWidth(1);
  edit->SetSpacing(2);
  EXPECT_EQ(edit->GetTextRect(), (gui::Rect{1, 1, 99, 19}));
  Click(d, 3 + 7 * 4, 10);
  EXPECT_EQ(edit->GetCaret(), 4);
}

TEST_F(EditBoxTest, LongTextScrollsToKeepTheCaretInView) {
  // 90 - 2 * 4 = 82 pixels: 11 units visible.
  edit->SetText(u"abcdefghijklmnopqrstuvwxyz");
  EXPECT_EQ(edit->GetFirstVisible(), 26 - 11);
  KeyDown(d, VK_HOME);
  EXPECT_EQ(edit->GetFirstVisible(), 0);
  Click(d, 9 + 7 * 3, 10);
  EXPECT_EQ(edit->GetCaret(), 3);
}

TEST_F(EditBoxTest, ClickOutsideLeavesTheFocusElsewhere) {
  d.AddButton(2, u"b", 200, 0, 50, 20, 'B');
  Click(d, 210, 5);
  EXPECT_NE(CDXUTDialog::GetFocusedControl(), edit);
  Type(d, u"zz");
  EXPECT_EQ(edit->GetTextString(), u"");
  EXPECT_TRUE(KeyDown(d, 'B'));  // hotkeys work again
}

TEST_F(EditBoxTest, TextLengthIsBounded) {
  edit->SetText(std::u16string(100000, u'9'));
  EXPECT_EQ(edit->GetTextLength(), int(gui::kMaxEditText - 1));
  rec.events.clear();
  Char(d, u'1');
  EXPECT_EQ(edit->GetTextLength(), int(gui::kMaxEditText - 1));
  EXPECT_TRUE(rec.events.empty());
}

TEST_F(EditBoxTest, DisabledEditBoxTakesNothing) {
  edit->SetEnabled(false);
  Type(d, u"abc");
  Click(d, 50, 10);
  EXPECT_EQ(edit->GetTextString(), u"");
  EXPECT_TRUE(rec.events.empty());
}

TEST_F(EditBoxTest, SurrogatePairsArriveAsTwoUnits) {
  Type(d, u"\U0001F600");
  EXPECT_EQ(edit->GetTextString(), u"\U0001F600");
  EXPECT_EQ(edit->GetTextLength(), 2);
  EXPECT_EQ(rec.Count(EVENT_EDITBOX_CHANGE), 2);
}

}  // namespace
