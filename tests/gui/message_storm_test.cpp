// Arbitrary message sequences over panels holding every kind of control:
// nothing crashes, and the state stays consistent.
#include <gtest/gtest.h>

#include <random>

#include "GuiTestUtil.h"

using namespace guitest;

namespace {

class MessageStormTest : public GuiTest {};

void BuildPanel(CDXUTDialog& d, float* bands, bool* selected, std::int32_t* hovered) {
  d.m_bCaption = true;
  d.AddButton(1, u"B", 0, 0, 40, 20, 'B');
  d.AddStatic(2, u"S", 40, 0, 40, 20);
  d.AddCheckBox(3, u"C", 0, 25, 80, 16, true, 'C');
  d.AddRadioButton(4, 0, u"R1", 0, 45, 60, 16, true, 'R');
  d.AddRadioButton(5, 0, u"R2", 60, 45, 60, 16, false);
  CDXUTComboBox* combo;
  d.AddComboBox(6, 0, 65, 150, 16, 'M', false, &combo);
  for (int i = 0; i < 12; ++i) combo->AddItem(u"item", gui::ToData(i));
  d.AddSlider(7, 0, 85, 100, 16, -10, 10, 0);
  d.AddEditBox(8, u"12.5", 0, 105, 100, 20);
  CDXUTListBox* list;
  d.AddListBox(9, 150, 0, 150, 80, 1, &list);
  for (int i = 0; i < 15; ++i) list->AddItem(u"line", gui::ToData(i));
  d.AddListBox(10, 150, 90, 150, 60, 0);
  d.AddTimeLine(11, 0, 0, 130, 200, 20);
  d.AddSpectrum(12, bands, selected, hovered, 0, 155, 300, 30);
  d.AddLevel(13, 0.5f, 0, 190, 100, 10);
  d.AddButton(14, u"cap", 250, -15, 15, 15, 'X');
}

TEST_F(MessageStormTest, RandomMessagesKeepEverythingConsistent) {
  CDXUTDialog a;
  CDXUTDialog b;
  float bands[64] = {};
  bool selected[64] = {};
  std::int32_t hovered = -1;
  Prepare(a, 0, 0, 320, 220);
  Prepare(b, 330, 0, 320, 220);
  BuildPanel(a, bands, selected, &hovered);
  BuildPanel(b, bands, selected, &hovered);
  b.EnableKeyboardInput(true);
  b.EnableNonUserEvents(true);

  std::mt19937 rng(1234);
  const UINT messages[] = {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN,
                           WM_MOUSEWHEEL, WM_KEYDOWN,    WM_KEYUP,     WM_CHAR,          WM_CAPTURECHANGED};
  const WPARAM keys[] = {VK_TAB, VK_SPACE, VK_RETURN, VK_UP,   VK_DOWN, VK_LEFT,  VK_RIGHT, VK_HOME, VK_END,
                         VK_F4,  VK_PRIOR, VK_NEXT,   VK_BACK, VK_DELETE, VK_SHIFT, VK_CONTROL, 'B', 'C',
                         'R',    'M',      'X',       0x16,    0x01,    0x18,     0x03,     0x08,    'a'};
  rec.clipboard = u"3 4";
  for (int step = 0; step < 30000; ++step) {
    const UINT msg = messages[rng() % std::size(messages)];
    CDXUTDialog& target = (rng() % 2) ? a : b;
    WPARAM w;
    LPARAM l;
    if (msg == WM_KEYDOWN || msg == WM_KEYUP || msg == WM_CHAR) {
      w = keys[rng() % std::size(keys)];
      l = 1;
    } else {
      w = (rng() % 4 == 0) ? MK_SHIFT : (rng() % 4 == 0) ? MK_CONTROL : 0;
      if (msg == WM_MOUSEWHEEL) w = MakeWheelWParam((int(rng() % 5) - 2) * WHEEL_DELTA, w);
      l = MakeLParam(int(rng() % 760) - 50, int(rng() % 300) - 40);
    }
    target.MsgProc(msg, w, l);
    if (step % 997 == 0) {
      // Rebuild one panel now and then, as the scene panel does.
      CDXUTDialog& d = (rng() % 2) ? a : b;
      d.RemoveAllControls();
      BuildPanel(d, bands, selected, &hovered);
    }
    if (step % 1499 == 0) (rng() % 2 ? a : b).SetMinimized(rng() % 2 == 0);

    // The focus is either nothing or a live, focusable control of a panel.
    CDXUTControl* focus = CDXUTDialog::GetFocusedControl();
    if (focus) {
      ASSERT_TRUE(focus->GetDialog() == &a || focus->GetDialog() == &b);
      ASSERT_EQ(focus->GetDialog()->GetControlByIndex(int(focus->m_Index)), focus);
    }
  }
  for (CDXUTDialog* d : {&a, &b}) {
    CDXUTListBox* list = d->GetListBox(9);
    ASSERT_NE(list, nullptr);
    for (int i = list->GetSelectedIndex(-1); i != -1; i = list->GetSelectedIndex(i)) ASSERT_LT(i, list->GetSize());
    CDXUTComboBox* combo = d->GetComboBox(6);
    ASSERT_LT(combo->GetSelectedIndex(), int(combo->GetNumItems()));
    int lo, hi;
    d->GetSlider(7)->GetRange(lo, hi);
    ASSERT_GE(d->GetSlider(7)->GetValue(), lo);
    ASSERT_LE(d->GetSlider(7)->GetValue(), hi);
    int checked = 0;
    for (int id : {4, 5}) checked += d->GetRadioButton(id)->GetChecked();
    ASSERT_LE(checked, 1);
  }
  EXPECT_FALSE(rec.events.empty());
}

}  // namespace
