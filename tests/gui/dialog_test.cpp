// Dialog message handling: visibility, caption drag and minimize, routing of
// keyboard and mouse messages, hotkeys, focus, lookup and events.
#include <gtest/gtest.h>

#include <cstdint>

#include "GuiTestUtil.h"

using namespace guitest;

namespace {

class DialogTest : public GuiTest {};

TEST_F(DialogTest, InitSetsBuiltinTextureArialFontAndRegisters) {
  CDXUTDialog d;
  d.Init(&manager);
  ASSERT_NE(d.GetTexture(0), nullptr);
  EXPECT_EQ(*d.GetTexture(0), gui::kBuiltinTexture);
  ASSERT_NE(d.GetFont(0), nullptr);
  EXPECT_EQ(d.GetFont(0)->face, u"Arial");
  EXPECT_EQ(d.GetFont(0)->height, 14);
  EXPECT_EQ(d.GetFont(0)->weight, 400);
  EXPECT_TRUE(manager.IsRegistered(&d));
  d.Init(&manager);  // panels that rebuild initialise again
  EXPECT_EQ(manager.GetDialogCount(), 1);
  EXPECT_EQ(d.SetTexture(1, u"media\\GUI\\Widget2.dds"), gui::S_OK);
  EXPECT_EQ(*d.GetTexture(1), u"media\\GUI\\Widget2.dds");
  EXPECT_EQ(d.GetTexture(7), nullptr);
  EXPECT_LT(d.SetTexture(100000, u"x"), 0);
}

TEST_F(DialogTest, DefaultsMatchThePanelsExpectations) {
  CDXUTDialog d;
  EXPECT_FALSE(d.m_bNonUserEvents);
  EXPECT_FALSE(d.m_bKeyboardInput);
  EXPECT_TRUE(d.m_bMouseInput);
  EXPECT_TRUE(d.GetVisible());
  EXPECT_FALSE(d.m_bCaption);
  EXPECT_FALSE(d.GetMinimized());
  EXPECT_EQ(d.GetCaptionHeight(), 18);
  EXPECT_EQ(d.GetX(), 0);
  EXPECT_EQ(d.GetY(), 0);
}

TEST_F(DialogTest, DestroyedDialogLeavesTheManager) {
  {
    CDXUTDialog d;
    d.Init(&manager);
    EXPECT_EQ(manager.GetDialogCount(), 1);
  }
  EXPECT_EQ(manager.GetDialogCount(), 0);
}

TEST_F(DialogTest, ManagerNeverConsumesAndMayDieFirst) {
  auto* m = new CDXUTDialogResourceManager;
  CDXUTDialog d;
  d.Init(m);
  for (UINT msg : {WM_LBUTTONDOWN, WM_KEYDOWN, WM_CHAR, WM_MOUSEMOVE}) EXPECT_FALSE(m->MsgProc(msg, 0, 0));
  delete m;  // global destruction order: the dialogs outlive it
  EXPECT_EQ(d.GetManager(), nullptr);
}

TEST_F(DialogTest, InvisibleDialogConsumesNothing) {
  CDXUTDialog d;
  Prepare(d);
  d.m_bCaption = true;
  d.AddButton(1, u"Go", 10, 10, 50, 20, 'G');
  d.SetVisible(false);
  EXPECT_FALSE(Down(d, 20, 35));
  EXPECT_FALSE(Up(d, 20, 35));
  EXPECT_FALSE(Down(d, 5, 5));  // caption
  EXPECT_FALSE(KeyDown(d, 'G'));
  EXPECT_TRUE(rec.events.empty());
  EXPECT_FALSE(d.GetDragging());
}

TEST_F(DialogTest, CaptionDragCentresTheDialogUnderThePointer) {
  CDXUTDialog d;
  Prepare(d, 100, 50, 200, 100);
  d.m_bCaption = true;
  EXPECT_TRUE(Down(d, 150, 55));
  EXPECT_TRUE(d.GetDragging());
  EXPECT_EQ(rec.captures, 1);
  Move(d, 400, 300);
  EXPECT_EQ(d.GetX(), 300);  // pointer x - width / 2
  EXPECT_EQ(d.GetY(), 300);  // top edge at the pointer
  EXPECT_TRUE(Up(d, 400, 300));
  EXPECT_FALSE(d.GetDragging());
  EXPECT_EQ(rec.releases, 1);
  EXPECT_EQ(d.GetX(), 300);
  EXPECT_EQ(d.GetY(), 300);
  Move(d, 10, 10);  // no longer dragging
  EXPECT_EQ(d.GetX(), 300);
}

TEST_F(DialogTest, CaptionDragUsesIntegerHalfWidthAndAllowsNegativePositions) {
  CDXUTDialog d;
  Prepare(d, 0, 0, 201, 100);
  d.m_bCaption = true;
  Down(d, 20, 5);
  Move(d, 30, -7);
  EXPECT_EQ(d.GetX(), 30 - 100);
  EXPECT_EQ(d.GetY(), -7);
}

TEST_F(DialogTest, ReleaseOutsideTheCaptionKeepsDragging) {
  CDXUTDialog d;
  Prepare(d, 100, 50, 200, 100);
  d.m_bCaption = true;
  Down(d, 150, 55);
  Move(d, 400, 300);
  // Released above the bar as it stands: the drag goes on, the bar follows.
  Up(d, 400, 290);
  EXPECT_TRUE(d.GetDragging());
  EXPECT_EQ(d.GetY(), 290);
  Up(d, 400, 295);  // inside the bar now
  EXPECT_FALSE(d.GetDragging());
  EXPECT_EQ(d.GetX(), 300);
  EXPECT_EQ(d.GetY(), 295);
  EXPECT_EQ(rec.releases, 1);
}

TEST_F(DialogTest, LosingTheMouseEndsDragsAndPresses) {
  CDXUTDialog d;
  Prepare(d, 100, 50, 200, 100);
  d.m_bCaption = true;
  CDXUTButton* b;
  CDXUTSlider* s;
  d.AddButton(1, u"B", 0, 0, 50, 20, 0, false, &b);
  d.AddSlider(2, 0, 30, 100, 20, 0, 100, 50, false, &s);
  Down(d, 150, 55);
  ASSERT_TRUE(d.GetDragging());
  EXPECT_FALSE(d.MsgProc(WM_CAPTURECHANGED, 0, 0));
  EXPECT_FALSE(d.GetDragging());
  Move(d, 400, 300);
  EXPECT_EQ(d.GetX(), 100);

  Down(d, 105, 75);  // the button, 18 + 5 below the dialog's top
  ASSERT_TRUE(b->IsPressed());
  d.MsgProc(WM_CAPTURECHANGED, 0, 0);
  EXPECT_FALSE(b->IsPressed());
  Up(d, 105, 75);
  Down(d, 150, 58 + 40);  // the slider's thumb
  ASSERT_TRUE(s->IsPressed());
  d.MsgProc(WM_CAPTURECHANGED, 0, 0);
  Move(d, 190, 98);
  EXPECT_EQ(s->GetValue(), 50);
  EXPECT_TRUE(rec.events.empty());
}

TEST_F(DialogTest, KeyMessagesDoNotMoveADraggedDialog) {
  CDXUTDialog d;
  Prepare(d, 100, 50, 200, 100);
  d.m_bCaption = true;
  Down(d, 150, 55);
  Move(d, 400, 300);
  d.MsgProc(WM_KEYDOWN, 'A', 0x001E0001);  // repeat count and scan code, not a point
  EXPECT_EQ(d.GetX(), 300);
  EXPECT_EQ(d.GetY(), 300);
}

TEST_F(DialogTest, CaptionZones) {
  struct Case {
    int dx, dy;
    UINT msg;
    bool minimized, dragging, consumed;
  } cases[] = {
      {10, 0, WM_LBUTTONDOWN, true, false, true},     // minimize zone, left edge
      {19, 17, WM_LBUTTONDOWN, true, false, true},    // minimize zone, last pixel
      {15, 5, WM_LBUTTONDBLCLK, true, false, true},   // double-click counts too
      {9, 5, WM_LBUTTONDOWN, false, true, true},      // just left of it: drag
      {20, 5, WM_LBUTTONDOWN, false, true, true},     // just right of it: drag
      {0, 5, WM_LBUTTONDOWN, false, true, true},
      {139, 5, WM_LBUTTONDOWN, false, true, true},    // width - 61
      {140, 5, WM_LBUTTONDOWN, false, false, false},  // last 60 pixels: no drag
      {15, 18, WM_LBUTTONDOWN, false, false, false},  // below the bar
      {15, -1, WM_LBUTTONDOWN, false, false, false},  // above the bar
      {15, 5, WM_RBUTTONDOWN, false, false, false},   // right button
  };
  for (const Case& c : cases) {
    CDXUTDialog d;
    Prepare(d, 100, 50, 200, 100);
    d.m_bCaption = true;
    const bool consumed = Mouse(d, c.msg, 100 + c.dx, 50 + c.dy, MK_LBUTTON);
    SCOPED_TRACE(testing::Message() << "dx=" << c.dx << " dy=" << c.dy);
    EXPECT_EQ(consumed, c.consumed);
    EXPECT_EQ(d.GetMinimized(), c.minimized);
    EXPECT_EQ(d.GetDragging(), c.dragging);
  }
}

TEST_F(DialogTest, NoCaptionNoZones) {
  CDXUTDialog d;
  Prepare(d, 100, 50, 200, 100);
  EXPECT_FALSE(Down(d, 115, 55));
  EXPECT_FALSE(d.GetMinimized());
  EXPECT_FALSE(d.GetDragging());
}

TEST_F(DialogTest, MinimizeZoneTogglesBothWays) {
  CDXUTDialog d;
  Prepare(d, 0, 0, 200, 100);
  d.m_bCaption = true;
  Click(d, 12, 3);
  EXPECT_TRUE(d.GetMinimized());
  Click(d, 12, 3);
  EXPECT_FALSE(d.GetMinimized());
}

TEST_F(DialogTest, MinimizedDialogPassesNothingToControls) {
  CDXUTDialog d;
  Prepare(d, 0, 0, 200, 100);
  d.m_bCaption = true;
  d.AddButton(1, u"Go", 10, 10, 50, 20, 'G');
  d.SetMinimized(true);
  EXPECT_FALSE(Down(d, 20, 35));
  EXPECT_FALSE(Up(d, 20, 35));
  EXPECT_FALSE(KeyDown(d, 'G'));
  EXPECT_TRUE(rec.events.empty());
  // The caption bar still works.
  EXPECT_TRUE(Down(d, 50, 5));
  EXPECT_TRUE(d.GetDragging());
}

TEST_F(DialogTest, ControlsAreLaidOutBelowTheCaptionBar) {
  CDXUTDialog d;
  Prepare(d, 100, 200, 300, 100);
  d.m_bCaption = true;
  d.AddButton(1, u"A", 10, 5, 30, 20);
  EXPECT_EQ(d.GetControlOrigin(), (gui::Point{100, 218}));
  EXPECT_EQ(d.GetCaptionRect(), gui::Rect::FromXYWH(100, 200, 300, 18));
  EXPECT_EQ(d.GetBodyRect(), gui::Rect::FromXYWH(100, 218, 300, 100));
  EXPECT_EQ(d.ControlToWindow(d.GetControl(1)->GetBoundingBox()), gui::Rect::FromXYWH(110, 223, 30, 20));
  Click(d, 111, 224);
  EXPECT_EQ(rec.Codes(), (std::vector<std::pair<UINT, int>>{{EVENT_BUTTON_CLICKED, 1}}));
  d.m_bCaption = false;
  EXPECT_TRUE(d.GetCaptionRect().Empty());
  EXPECT_EQ(d.GetControlOrigin(), (gui::Point{100, 200}));
}

TEST_F(DialogTest, ButtonsInsideTheCaptionBarRightZone) {
  // The device panel puts its size buttons at y = -15, in the bar's last
  // 60 pixels where a press does not start a drag.
  CDXUTDialog d;
  Prepare(d, 100, 200, 300, 100);
  d.m_bCaption = true;
  d.AddButton(403, u"O", 300 - 14, -15, 15, 15);
  Click(d, 100 + 290, 200 + 18 - 10);
  EXPECT_FALSE(d.GetDragging());
  EXPECT_EQ(rec.Codes(), (std::vector<std::pair<UINT, int>>{{EVENT_BUTTON_CLICKED, 403}}));
}

TEST_F(DialogTest, GetControlMatchesIdAndType) {
  CDXUTDialog d;
  Prepare(d);
  CDXUTStatic* label = nullptr;
  CDXUTLevel* level = nullptr;
  ASSERT_EQ(d.AddLevel(611, 0.5f, 110, 83, 180, 16, false, &level), gui::S_OK);
  ASSERT_EQ(d.AddStatic(611, u"Threshold :  ", 0, 103, 120, 16, false, &label), gui::S_OK);
  EXPECT_EQ(d.GetControl(611, DXUT_CONTROL_STATIC), label);
  EXPECT_EQ(d.GetControl(611, DXUT_CONTROL_LEVEL), level);
  EXPECT_EQ(d.GetStatic(611), label);
  EXPECT_EQ(d.GetLevel(611), level);
  EXPECT_EQ(d.GetControl(611), level);  // first in creation order
  EXPECT_EQ(d.GetControl(611, DXUT_CONTROL_BUTTON), nullptr);
  EXPECT_EQ(d.GetButton(611), nullptr);
  EXPECT_EQ(d.GetControl(612), nullptr);
  EXPECT_EQ(d.GetEditBox(999), nullptr);
  // SetControlText picks the static, not the level with the same ID.
  EXPECT_EQ(d.SetControlText(611, u"Threshold : 049%"), gui::S_OK);
  EXPECT_EQ(label->GetTextString(), u"Threshold : 049%");
  EXPECT_LT(d.SetControlText(999, u"x"), 0);
}

TEST_F(DialogTest, AddOperationsReturnTheControlWithItsGeometry) {
  CDXUTDialog d;
  Prepare(d);
  CDXUTButton* b = nullptr;
  CDXUTCheckBox* c = nullptr;
  CDXUTRadioButton* r = nullptr;
  CDXUTComboBox* cb = nullptr;
  CDXUTSlider* s = nullptr;
  CDXUTEditBox* e = nullptr;
  CDXUTListBox* l = nullptr;
  CDXUTSpectrum* sp = nullptr;
  CDXUTTimeLine* t = nullptr;
  EXPECT_EQ(d.AddButton(1, u"B", 1, 2, 3, 4, 'B', true, &b), gui::S_OK);
  EXPECT_EQ(d.AddCheckBox(2, u"C", 5, 6, 70, 8, true, 'C', false, &c), gui::S_OK);
  EXPECT_EQ(d.AddRadioButton(3, 0, u"R", 9, 10, 11, 12, true, 0, false, &r), gui::S_OK);
  EXPECT_EQ(d.AddComboBox(4, 13, 14, 150, 16, 'S', false, &cb), gui::S_OK);
  EXPECT_EQ(d.AddSlider(5, 17, 18, 100, 20, 0, 255, 125, false, &s), gui::S_OK);
  EXPECT_EQ(d.AddEditBox(6, u"100", 21, 22, 50, 20, false, &e), gui::S_OK);
  EXPECT_EQ(d.AddListBox(7, 25, 26, 210, 80, 71, &l), gui::S_OK);
  EXPECT_EQ(d.AddSpectrum(8, nullptr, nullptr, nullptr, 20, 140, 440, 55, false, &sp), gui::S_OK);
  EXPECT_EQ(d.AddTimeLine(9, 0.0f, 10, 75, 300, 30, false, &t), gui::S_OK);
  ASSERT_TRUE(b && c && r && cb && s && e && l && sp && t);
  EXPECT_EQ(d.GetNumControls(), 9);
  EXPECT_EQ(b->GetBoundingBox(), gui::Rect::FromXYWH(1, 2, 3, 4));
  EXPECT_EQ(b->GetHotkey(), UINT('B'));
  EXPECT_TRUE(b->m_bIsDefault);
  EXPECT_TRUE(c->GetChecked());
  EXPECT_EQ(c->GetButtonRect(), gui::Rect::FromXYWH(5, 6, 8, 8));
  EXPECT_TRUE(r->GetChecked());
  EXPECT_EQ(s->GetValue(), 125);
  EXPECT_EQ(e->GetTextString(), u"100");
  EXPECT_EQ(l->GetStyle(), 71u);
  EXPECT_EQ(t->GetLength(), 64.0f);
  EXPECT_EQ(t->GetMarker(), 0.0f);
  for (int i = 0; i < d.GetNumControls(); ++i) EXPECT_EQ(d.GetControlByIndex(i)->m_Index, UINT(i));
  EXPECT_EQ(d.GetControlByIndex(9), nullptr);
  EXPECT_EQ(d.GetControlByIndex(-1), nullptr);
  EXPECT_EQ(d.AddControl(nullptr), gui::E_INVALIDARG);
}

TEST_F(DialogTest, TextLimits) {
  CDXUTDialog d;
  Prepare(d);
  const std::u16string longText(300, u'x');
  CDXUTStatic* s;
  CDXUTButton* b;
  d.AddStatic(1, longText.c_str(), 0, 0, 10, 10, false, &s);
  d.AddButton(2, longText.c_str(), 0, 0, 10, 10, 0, false, &b);
  EXPECT_EQ(s->GetTextString().size(), 259u);
  EXPECT_EQ(b->GetTextString().size(), 259u);
  s->SetText(std::u16string(259, u'y'));
  EXPECT_EQ(s->GetTextString().size(), 259u);
  s->SetText(std::u16string(258, u'y'));
  EXPECT_EQ(s->GetTextString().size(), 258u);
  s->SetText(static_cast<const char16_t*>(nullptr));
  EXPECT_EQ(s->GetTextString(), u"");
  d.SetCaptionText(longText.c_str());
  EXPECT_EQ(d.GetCaptionText().size(), 255u);
  char16_t small[4];
  s->SetText(u"abcdef");
  EXPECT_EQ(s->GetTextCopy(small, 4), gui::S_OK);
  EXPECT_EQ(std::u16string(small), u"abc");
  EXPECT_LT(s->GetTextCopy(small, 0), 0);
}

TEST_F(DialogTest, NonUserEventsAreDroppedUnlessAskedFor) {
  CDXUTDialog d;
  Prepare(d);
  CDXUTCheckBox* c;
  CDXUTComboBox* cb;
  d.AddCheckBox(2, u"C", 0, 0, 70, 16, false, 0, false, &c);
  d.AddComboBox(4, 0, 20, 150, 16, 0, false, &cb);
  c->SetChecked(true);
  cb->AddItem(u"first", nullptr);  // selects the first item
  EXPECT_TRUE(rec.events.empty());
  EXPECT_EQ(cb->GetSelectedIndex(), 0);
  d.EnableNonUserEvents(true);
  c->SetChecked(false);
  cb->RemoveAllItems();
  cb->AddItem(u"again", nullptr);
  EXPECT_EQ(rec.Codes(),
            (std::vector<std::pair<UINT, int>>{{EVENT_CHECKBOX_CHANGED, 2}, {EVENT_COMBOBOX_SELECTION_CHANGED, 4}}));
}

TEST_F(DialogTest, NothingIsSentWithoutACallback) {
  CDXUTDialog d;
  d.Init(&manager);
  d.SetSize(400, 300);
  d.AddButton(1, u"B", 0, 0, 50, 20, 'B');
  EXPECT_TRUE(KeyDown(d, 'B'));  // consumed, delivered nowhere
  Click(d, 5, 5);
}

TEST_F(DialogTest, HotkeysPerKind) {
  CDXUTDialog d;
  Prepare(d);
  CDXUTCheckBox* c;
  CDXUTRadioButton* r1;
  CDXUTRadioButton* r2;
  CDXUTComboBox* cb;
  d.AddButton(1, u"B", 0, 0, 50, 20, 'B');
  d.AddCheckBox(2, u"C", 0, 30, 70, 16, false, 'C', false, &c);
  d.AddComboBox(3, 0, 60, 150, 16, 'G', false, &cb);
  d.AddRadioButton(4, 7, u"R1", 0, 90, 60, 16, true, 0, false, &r1);
  d.AddRadioButton(5, 7, u"R2", 70, 90, 60, 16, false, 'R', false, &r2);
  for (int i = 0; i < 3; ++i) cb->AddItem(u"item", gui::ToData(i));

  EXPECT_TRUE(KeyDown(d, 'B'));
  EXPECT_TRUE(KeyDown(d, 'C'));
  EXPECT_TRUE(c->GetChecked());
  EXPECT_TRUE(KeyDown(d, 'C'));
  EXPECT_FALSE(c->GetChecked());
  EXPECT_TRUE(KeyDown(d, 'G'));
  EXPECT_EQ(cb->GetSelectedIndex(), 1);
  KeyDown(d, 'G');
  KeyDown(d, 'G');  // wraps to the first item
  EXPECT_EQ(cb->GetSelectedIndex(), 0);
  EXPECT_TRUE(KeyDown(d, 'R'));
  EXPECT_TRUE(r2->GetChecked());
  EXPECT_FALSE(r1->GetChecked());
  EXPECT_FALSE(KeyDown(d, 'Z'));  // nobody's hotkey
  EXPECT_FALSE(d.MsgProc(WM_KEYUP, 'B', 0));  // hotkeys act on key-down only
  EXPECT_EQ(rec.Codes(), (std::vector<std::pair<UINT, int>>{{EVENT_BUTTON_CLICKED, 1},
                                                            {EVENT_CHECKBOX_CHANGED, 2},
                                                            {EVENT_CHECKBOX_CHANGED, 2},
                                                            {EVENT_COMBOBOX_SELECTION_CHANGED, 3},
                                                            {EVENT_COMBOBOX_SELECTION_CHANGED, 3},
                                                            {EVENT_COMBOBOX_SELECTION_CHANGED, 3},
                                                            {EVENT_RADIOBUTTON_CHANGED, 5}}));
}

TEST_F(DialogTest, HotkeyGoesToTheFirstEnabledVisibleControlInCreationOrder) {
  CDXUTDialog d;
  Prepare(d);
  CDXUTButton* first;
  CDXUTButton* second;
  CDXUTButton* third;
  d.AddButton(1, u"1", 0, 0, 50, 20, 'M', false, &first);
  d.AddButton(2, u"2", 0, 30, 50, 20, 'M', false, &second);
  d.AddButton(3, u"3", 0, 60, 50, 20, 'M', false, &third);
  KeyDown(d, 'M');
  first->SetEnabled(false);
  KeyDown(d, 'M');
  second->SetVisible(false);
  KeyDown(d, 'M');
  third->SetEnabled(false);
  EXPECT_FALSE(KeyDown(d, 'M'));
  EXPECT_EQ(rec.Codes(), (std::vector<std::pair<UINT, int>>{
                             {EVENT_BUTTON_CLICKED, 1}, {EVENT_BUTTON_CLICKED, 2}, {EVENT_BUTTON_CLICKED, 3}}));
}

TEST_F(DialogTest, HotkeysAreOffWhileAnyEditBoxHasTheFocus) {
  CDXUTDialog panelA;
  CDXUTDialog panelB;
  Prepare(panelA, 0, 0, 200, 100);
  Prepare(panelB, 300, 0, 200, 100);
  panelA.AddButton(1, u"S", 0, 0, 50, 20, 'S');
  panelB.AddEditBox(2, u"", 0, 0, 100, 20);
  Click(panelB, 310, 10);  // the edit box takes the focus
  ASSERT_EQ(CDXUTDialog::GetFocusedControl(), panelB.GetEditBox(2));
  // Routing offers the key to panel A first: no hotkey fires there.
  EXPECT_FALSE(KeyDown(panelA, 'S'));
  Char(panelB, u's');
  EXPECT_EQ(panelB.GetEditBox(2)->GetTextString(), u"s");
  EXPECT_EQ(rec.Count(EVENT_BUTTON_CLICKED), 0);
  // A click on an empty spot of panel B clears the focus: hotkeys are back.
  Click(panelB, 450, 80);
  EXPECT_EQ(CDXUTDialog::GetFocusedControl(), nullptr);
  EXPECT_TRUE(KeyDown(panelA, 'S'));
  EXPECT_EQ(rec.Count(EVENT_BUTTON_CLICKED), 1);
}

TEST_F(DialogTest, TabAndArrowsMoveTheFocusOnlyWithKeyboardInput) {
  CDXUTDialog d;
  Prepare(d);
  d.AddStatic(9, u"label", 0, 0, 50, 20);  // cannot take the focus
  d.AddButton(1, u"1", 0, 30, 50, 20);
  d.AddButton(2, u"2", 0, 60, 50, 20);
  d.AddButton(3, u"3", 0, 90, 50, 20);
  EXPECT_FALSE(KeyDown(d, VK_TAB));
  EXPECT_EQ(CDXUTDialog::GetFocusedControl(), nullptr);

  d.EnableKeyboardInput(true);
  EXPECT_FALSE(KeyDown(d, VK_DOWN));  // arrows need a focused control
  EXPECT_TRUE(KeyDown(d, VK_TAB));
  EXPECT_EQ(CDXUTDialog::GetFocusedControl(), d.GetControl(1));
  KeyDown(d, VK_TAB);
  EXPECT_EQ(CDXUTDialog::GetFocusedControl(), d.GetControl(2));
  KeyDown(d, VK_RIGHT);
  EXPECT_EQ(CDXUTDialog::GetFocusedControl(), d.GetControl(3));
  KeyDown(d, VK_DOWN);  // wraps, skipping the static
  EXPECT_EQ(CDXUTDialog::GetFocusedControl(), d.GetControl(1));
  KeyDown(d, VK_UP);
  EXPECT_EQ(CDXUTDialog::GetFocusedControl(), d.GetControl(3));
  KeyDown(d, VK_LEFT);
  EXPECT_EQ(CDXUTDialog::GetFocusedControl(), d.GetControl(2));
  KeyDown(d, VK_SHIFT);
  KeyDown(d, VK_TAB);
  EXPECT_EQ(CDXUTDialog::GetFocusedControl(), d.GetControl(1));
  KeyUp(d, VK_SHIFT);
  // Space on the focused button clicks it.
  KeyDown(d, VK_SPACE);
  KeyUp(d, VK_SPACE);
  EXPECT_EQ(rec.Codes(), (std::vector<std::pair<UINT, int>>{{EVENT_BUTTON_CLICKED, 1}}));
}

TEST_F(DialogTest, OneFocusedControlForAllDialogs) {
  CDXUTDialog a;
  CDXUTDialog b;
  Prepare(a, 0, 0, 200, 100);
  Prepare(b, 300, 0, 200, 100);
  CDXUTEditBox* ea;
  CDXUTEditBox* eb;
  a.AddEditBox(1, u"", 0, 0, 100, 20, false, &ea);
  b.AddEditBox(2, u"", 0, 0, 100, 20, false, &eb);
  a.RequestFocus(ea);
  EXPECT_TRUE(ea->HasFocus());
  b.RequestFocus(eb);
  EXPECT_FALSE(ea->HasFocus());
  EXPECT_TRUE(eb->HasFocus());
  EXPECT_EQ(CDXUTDialog::GetFocusedControl(), eb);
  // Keys go to the focused control of the dialog that holds it only.
  Char(a, u'x');
  Char(b, u'y');
  EXPECT_EQ(ea->GetTextString(), u"");
  EXPECT_EQ(eb->GetTextString(), u"y");
  CDXUTDialog::ClearFocus();
  EXPECT_FALSE(eb->HasFocus());
}

TEST_F(DialogTest, DisablingOrHidingTheFocusedControlReleasesTheFocus) {
  CDXUTDialog d;
  Prepare(d);
  CDXUTEditBox* e;
  d.AddEditBox(12, u"", 0, 0, 100, 20, false, &e);
  d.RequestFocus(e);
  e->SetVisible(false);
  EXPECT_EQ(CDXUTDialog::GetFocusedControl(), nullptr);
  e->SetVisible(true);
  d.RequestFocus(e);
  e->SetEnabled(false);
  EXPECT_EQ(CDXUTDialog::GetFocusedControl(), nullptr);
  d.RequestFocus(e);  // refused while disabled
  EXPECT_EQ(CDXUTDialog::GetFocusedControl(), nullptr);
}

TEST_F(DialogTest, FocusedControlGetsTheMouseFirst) {
  CDXUTDialog d;
  Prepare(d);
  d.AddButton(1, u"1", 0, 0, 50, 20);
  d.AddButton(2, u"2", 100, 0, 50, 20);
  Down(d, 10, 10);
  // Released over the other button: the pressed one takes the release, and
  // nobody clicks.
  EXPECT_TRUE(Up(d, 110, 10));
  EXPECT_TRUE(rec.events.empty());
  auto* b1 = d.GetButton(1);
  EXPECT_FALSE(b1->IsPressed());
}

TEST_F(DialogTest, MouseEnterAndLeaveFollowThePointer) {
  CDXUTDialog d;
  Prepare(d);
  CDXUTButton* b1;
  CDXUTButton* b2;
  d.AddButton(1, u"1", 0, 0, 50, 20, 0, false, &b1);
  d.AddButton(2, u"2", 100, 0, 50, 20, 0, false, &b2);
  Move(d, 10, 10);
  EXPECT_TRUE(b1->IsMouseOver());
  Move(d, 110, 10);
  EXPECT_FALSE(b1->IsMouseOver());
  EXPECT_TRUE(b2->IsMouseOver());
  Move(d, 300, 200);
  EXPECT_FALSE(b2->IsMouseOver());
  b2->SetEnabled(false);
  Move(d, 110, 10);  // disabled controls are not "under the pointer"
  EXPECT_FALSE(b2->IsMouseOver());
}

TEST_F(DialogTest, MouseInputOffIgnoresControls) {
  CDXUTDialog d;
  Prepare(d);
  d.AddButton(1, u"1", 0, 0, 50, 20);
  d.EnableMouseInput(false);
  EXPECT_FALSE(Down(d, 10, 10));
  EXPECT_FALSE(Up(d, 10, 10));
  EXPECT_TRUE(rec.events.empty());
}

TEST_F(DialogTest, EmptyDialogSurvivesEveryMessage) {
  CDXUTDialog d;
  Prepare(d);
  d.m_bCaption = true;
  d.EnableKeyboardInput(true);
  for (UINT msg : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_MOUSEWHEEL,
                   WM_KEYDOWN, WM_KEYUP, WM_CHAR, WM_CAPTURECHANGED, WM_SIZE}) {
    for (WPARAM w : {WPARAM(0), WPARAM(VK_TAB), WPARAM(VK_DOWN), WPARAM(0xFFFFFFFF)}) {
      d.MsgProc(msg, w, MakeLParam(100, 100));
    }
  }
  EXPECT_EQ(d.GetNumControls(), 0);
  EXPECT_EQ(d.GetControlAtPoint({1, 1}), nullptr);
  d.RemoveControl(5);
  d.RemoveAllControls();
  d.ClearComboBox(3);
  d.SetControlEnabled(3, false);
  EXPECT_FALSE(d.GetControlEnabled(3));
  d.FocusDefaultControl();
  d.Refresh();
}

TEST_F(DialogTest, PositionsFromAnyFileAreSafe) {
  // Panel preferences are read back from slide files as raw 32-bit values.
  for (int x : {INT32_MIN, -1, INT32_MAX}) {
    for (int y : {INT32_MIN, INT32_MAX}) {
      CDXUTDialog d;
      Prepare(d, x, y, 300, 200);
      d.m_bCaption = true;
      d.AddButton(1, u"B", 0, 0, 50, 20, 'B');
      for (UINT msg : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK})
        d.MsgProc(msg, 0, MakeLParam(5, 5));
      EXPECT_TRUE(d.GetCaptionRect().left <= d.GetCaptionRect().right);
      EXPECT_GE(d.GetControlOrigin().y, y);
      EXPECT_TRUE(KeyDown(d, 'B'));
    }
  }
}

TEST_F(DialogTest, CallbackMayRebuildThePanelWhileItsControlIsRunning) {
  struct Ctx {
    CDXUTDialog* d;
    int calls = 0;
  } ctx;
  CDXUTDialog d;
  Prepare(d);
  ctx.d = &d;
  d.SetCallback(
      [](UINT, int, CDXUTControl*, void* p) {
        auto* c = static_cast<Ctx*>(p);
        ++c->calls;
        c->d->RemoveAllControls();
        c->d->AddButton(1, u"new", 0, 0, 50, 20);
      },
      &ctx);
  d.AddButton(1, u"old", 0, 0, 50, 20);
  Click(d, 10, 10);
  EXPECT_EQ(ctx.calls, 1);
  EXPECT_EQ(d.GetNumControls(), 1);
  EXPECT_EQ(d.GetButton(1)->GetTextString(), u"new");
  Click(d, 10, 10);
  EXPECT_EQ(ctx.calls, 2);
}

TEST_F(DialogTest, RemoveControlKeepsOrderAndIndices) {
  CDXUTDialog d;
  Prepare(d);
  d.AddButton(1, u"a", 0, 0, 10, 10);
  d.AddStatic(2, u"b", 0, 0, 10, 10);
  d.AddButton(2, u"c", 0, 0, 10, 10);
  d.AddButton(3, u"d", 0, 0, 10, 10, 0, true);
  d.RemoveControl(2);  // every control with the ID
  ASSERT_EQ(d.GetNumControls(), 2);
  EXPECT_EQ(d.GetControlByIndex(0)->GetID(), 1);
  EXPECT_EQ(d.GetControlByIndex(1)->GetID(), 3);
  EXPECT_EQ(d.GetControlByIndex(1)->m_Index, 1u);
  d.FocusDefaultControl();
  EXPECT_EQ(CDXUTDialog::GetFocusedControl(), d.GetControl(3));
  d.Refresh();  // forgets focus and hover
  EXPECT_EQ(CDXUTDialog::GetFocusedControl(), nullptr);
}

TEST_F(DialogTest, RemovedFocusedControlLeavesNoDanglingFocus) {
  CDXUTDialog d;
  Prepare(d);
  CDXUTEditBox* e;
  d.AddEditBox(12, u"", 0, 0, 100, 20, false, &e);
  d.RequestFocus(e);
  d.RemoveControl(12);
  EXPECT_EQ(CDXUTDialog::GetFocusedControl(), nullptr);
  EXPECT_EQ(d.GetControl(12), nullptr);
  Char(d, u'x');
  KeyDown(d, 'X');
}

TEST_F(DialogTest, RadioGroupsAreIndependent) {
  CDXUTDialog d;
  Prepare(d);
  CDXUTRadioButton *a, *b, *c;
  d.AddRadioButton(621, 0, u"Internal Player", 0, 0, 100, 16, true, 0, false, &a);
  d.AddRadioButton(622, 0, u"Line In", 120, 0, 80, 16, false, 0, false, &b);
  d.AddRadioButton(700, 1, u"Other group", 0, 30, 80, 16, true, 0, false, &c);
  Click(d, 125, 5);
  EXPECT_FALSE(a->GetChecked());
  EXPECT_TRUE(b->GetChecked());
  EXPECT_TRUE(c->GetChecked());
  Click(d, 125, 5);  // clicking the checked one reports again
  EXPECT_EQ(rec.Codes(), (std::vector<std::pair<UINT, int>>{{EVENT_RADIOBUTTON_CHANGED, 622},
                                                            {EVENT_RADIOBUTTON_CHANGED, 622}}));
  d.ClearRadioButtonGroup(0);
  EXPECT_FALSE(b->GetChecked());
  EXPECT_TRUE(c->GetChecked());
  EXPECT_EQ(rec.events.size(), 2u);
}

}  // namespace
