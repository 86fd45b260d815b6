// The timeline, spectrum and level controls: their shared mouse handling
// and the data their panels give them.
#include <gtest/gtest.h>

#include <array>

#include "GuiTestUtil.h"

using namespace guitest;
using Codes = std::vector<std::pair<UINT, int>>;

namespace {

// One test body per kind: the behaviour is shared.
enum class Kind { TimeLine, Spectrum, Level };

class CustomControlTest : public GuiTest, public ::testing::WithParamInterface<Kind> {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    Prepare(d, 100, 50, 480, 240);
    d.m_bCaption = true;  // controls start 18 pixels below the dialog's top
    switch (GetParam()) {
      case Kind::TimeLine: {
        CDXUTTimeLine* t;
        d.AddTimeLine(921, 0.0f, 10, 75, 300, 30, false, &t);
        control = t;
        break;
      }
      case Kind::Spectrum: {
        CDXUTSpectrum* s;
        d.AddSpectrum(921, bands.data(), selected.data(), &hovered, 10, 75, 300, 30, false, &s);
        control = s;
        break;
      }
      case Kind::Level: {
        CDXUTLevel* l;
        d.AddLevel(921, 0.25f, 10, 75, 300, 30, false, &l);
        control = l;
        break;
      }
    }
  }
  // Window pixels of a point given in control coordinates.
  static int WX(int x) { return 100 + x; }
  static int WY(int y) { return 50 + 18 + y; }

  CDXUTDialog d;
  CDXUTPointerButton* control = nullptr;
  std::array<float, 64> bands{};
  std::array<bool, 64> selected{};
  std::int32_t hovered = -1;
};

TEST_P(CustomControlTest, TypeNumbers) {
  const UINT expected[] = {DXUT_CONTROL_TIMELINE, DXUT_CONTROL_SPECTRUM, DXUT_CONTROL_LEVEL};
  EXPECT_EQ(control->GetType(), expected[static_cast<int>(GetParam())]);
  EXPECT_EQ(d.GetControl(921, control->GetType()), control);
}

TEST_P(CustomControlTest, PressAndReleaseInsideClicks) {
  EXPECT_TRUE(Down(d, WX(20), WY(80)));
  EXPECT_TRUE(control->IsPressed());
  EXPECT_EQ(rec.captures, 1);
  EXPECT_TRUE(Up(d, WX(40), WY(90)));
  EXPECT_FALSE(control->IsPressed());
  EXPECT_EQ(rec.releases, 1);
  EXPECT_EQ(rec.Codes(), (Codes{{EVENT_BUTTON_CLICKED, 921}}));
  // The panels read where the click landed, in control coordinates.
  EXPECT_EQ(control->GetLastX(), 40);
  EXPECT_EQ(control->GetLastY(), 90);
  // Without keyboard input the release gives the focus up.
  EXPECT_EQ(CDXUTDialog::GetFocusedControl(), nullptr);
}

TEST_P(CustomControlTest, PressInsideReleaseOutsideSendsNoClick) {
  Down(d, WX(20), WY(80));
  EXPECT_TRUE(Up(d, WX(400), WY(80)));  // consumed all the same
  EXPECT_FALSE(control->IsPressed());
  EXPECT_EQ(rec.releases, 1);
  EXPECT_TRUE(rec.events.empty());
  EXPECT_EQ(control->GetLastX(), 400);
}

TEST_P(CustomControlTest, ReleaseWithoutPressIsNotConsumed) {
  EXPECT_FALSE(Up(d, WX(20), WY(80)));
  EXPECT_TRUE(rec.events.empty());
  EXPECT_EQ(control->GetLastX(), 20);  // the message reached it all the same
}

TEST_P(CustomControlTest, DoubleClickPressesLikeADown) {
  EXPECT_TRUE(DblClk(d, WX(20), WY(80)));
  EXPECT_TRUE(control->IsPressed());
  Up(d, WX(20), WY(80));
  EXPECT_EQ(rec.Codes(), (Codes{{EVENT_BUTTON_CLICKED, 921}}));
}

TEST_P(CustomControlTest, EachMoveOverItReportsOnceAndIsNotConsumed) {
  EXPECT_FALSE(Move(d, WX(20), WY(80)));
  EXPECT_FALSE(Move(d, WX(21), WY(80)));
  EXPECT_FALSE(Move(d, WX(22), WY(81)));
  EXPECT_EQ(rec.Codes(), (Codes{{EVENT_CONTROL_POINTER_MOVED, 921},
                                {EVENT_CONTROL_POINTER_MOVED, 921},
                                {EVENT_CONTROL_POINTER_MOVED, 921}}));
  EXPECT_EQ(control->GetLastX(), 22);
  EXPECT_EQ(control->GetLastY(), 81);
  // Still one per move while it holds the focus (pressed): the dialog does
  // not hand the same message to it twice.
  Down(d, WX(20), WY(80));
  rec.events.clear();
  EXPECT_FALSE(Move(d, WX(30), WY(80)));
  EXPECT_EQ(rec.Count(EVENT_CONTROL_POINTER_MOVED), 1);
}

TEST_P(CustomControlTest, MovesOutsideUpdateTheLastPointerWhileItGetsThem) {
  Down(d, WX(20), WY(80));  // pressed: it has the focus, so the dialog passes every move
  Move(d, WX(350), WY(10));
  EXPECT_EQ(control->GetLastX(), 350);
  EXPECT_EQ(control->GetLastY(), 10);
  EXPECT_TRUE(rec.events.empty());  // outside: no move event
  Up(d, WX(350), WY(10));
  // Released and unfocused: moves elsewhere no longer reach it.
  Move(d, WX(400), WY(5));
  EXPECT_EQ(control->GetLastX(), 350);
}

TEST_P(CustomControlTest, DisabledOrHiddenIgnoresEverything) {
  for (int variant = 0; variant < 2; ++variant) {
    Move(d, WX(5), WY(5));  // outside: does not reach the control
    if (variant == 0) control->SetEnabled(false);
    if (variant == 1) control->SetVisible(false);
    control->m_nLastX = -1;
    control->m_nLastY = -1;
    EXPECT_FALSE(Move(d, WX(20), WY(80)));
    EXPECT_FALSE(Down(d, WX(20), WY(80)));
    EXPECT_FALSE(Up(d, WX(20), WY(80)));
    EXPECT_FALSE(control->HandleMouse(WM_LBUTTONDOWN, {20, 80}, 0, 0));
    EXPECT_FALSE(control->IsPressed());
    EXPECT_EQ(control->m_nLastX, -1);
    EXPECT_EQ(control->m_nLastY, -1);
    EXPECT_TRUE(rec.events.empty());
    control->SetEnabled(true);
    control->SetVisible(true);
  }
}

TEST_P(CustomControlTest, KeepsTheFocusWithKeyboardInputAndClicksOnSpaceLikeAButton) {
  d.EnableKeyboardInput(true);
  Click(d, WX(20), WY(80));
  EXPECT_EQ(CDXUTDialog::GetFocusedControl(), control);
  rec.events.clear();
  EXPECT_TRUE(KeyDown(d, VK_SPACE));
  EXPECT_TRUE(KeyUp(d, VK_SPACE));
  EXPECT_EQ(rec.Codes(), (Codes{{EVENT_BUTTON_CLICKED, 921}}));
  EXPECT_EQ(control->GetLastX(), 20);  // the click the panel reads is the last pointer
}

TEST_P(CustomControlTest, MinimizedDialogHidesIt) {
  d.SetMinimized(true);
  EXPECT_FALSE(Move(d, WX(20), WY(80)));
  EXPECT_FALSE(Down(d, WX(20), WY(80)));
  EXPECT_TRUE(rec.events.empty());
}

INSTANTIATE_TEST_SUITE_P(AllKinds, CustomControlTest,
                         ::testing::Values(Kind::TimeLine, Kind::Spectrum, Kind::Level),
                         [](const testing::TestParamInfo<Kind>& info) {
                           switch (info.param) {
                             case Kind::TimeLine: return "TimeLine";
                             case Kind::Spectrum: return "Spectrum";
                             default: return "Level";
                           }
                         });

class CustomControlDataTest : public GuiTest {};

TEST_F(CustomControlDataTest, FieldsAndSetters) {
  CDXUTDialog d;
  Prepare(d);
  float bands[64] = {};
  bool selected[64] = {};
  std::int32_t hovered = -1;
  float peaks[64] = {};
  CDXUTSpectrum* s;
  CDXUTLevel* l;
  CDXUTTimeLine* t;
  d.AddSpectrum(620, bands, selected, &hovered, 20, 140, 440, 55, false, &s);
  d.AddLevel(611, 1.5f, 110, 83, 180, 16, false, &l);
  d.AddTimeLine(921, 123.0f, 10, 75, 300, 30, false, &t);
  EXPECT_EQ(s->m_pBands, bands);
  EXPECT_EQ(s->m_pSelected, selected);
  EXPECT_EQ(s->m_pHovered, &hovered);
  EXPECT_EQ(s->m_pPeaks, nullptr);
  s->m_pPeaks = peaks;
  s->m_fThreshold = 125.0f;
  float other[64] = {};
  s->SetData(other, nullptr, nullptr);
  EXPECT_EQ(s->m_pBands, other);
  EXPECT_EQ(s->m_pSelected, nullptr);
  EXPECT_EQ(s->m_pPeaks, peaks);  // SetData leaves the markers alone
  EXPECT_FLOAT_EQ(l->GetValue(), 1.5f);
  l->SetValue(42.0f);
  EXPECT_FLOAT_EQ(l->m_fValue, 42.0f);
  EXPECT_FLOAT_EQ(t->m_fLength, 64.0f);  // the second creation value is ignored
  EXPECT_FLOAT_EQ(t->m_fMarker, 0.0f);
  t->m_fMarker = 12.0f;
  t->m_fLength = 100.0f;
  EXPECT_FLOAT_EQ(t->GetMarker(), 12.0f);
  EXPECT_EQ(s->GetBoundingBox(), gui::Rect::FromXYWH(20, 140, 440, 55));
}

TEST_F(CustomControlDataTest, SpectrumBandFromTheLastPointerAsTheSoundPanelComputesIt) {
  // The sound panel maps the last x to a band with (x - 32) / (w - 30) * 64:
  // x = 32 is band 0 and the far right clamps to 63, which needs the x
  // relative to the dialog, as the control keeps it.
  CDXUTDialog d;
  Prepare(d, 840, 10, 480, 240);
  d.m_bCaption = true;
  CDXUTSpectrum* s;
  d.AddSpectrum(620, nullptr, nullptr, nullptr, 20, 140, 440, 55, false, &s);
  auto band = [&](int x) {
    int b = static_cast<int>((static_cast<float>(x) - 32.0f) / (static_cast<float>(s->GetWidth()) - 30.0f) * 64.0f);
    return std::clamp(b, 0, 63);
  };
  Click(d, 840 + 32, 10 + 18 + 150);
  EXPECT_EQ(band(s->GetLastX()), 0);
  Click(d, 840 + 459, 10 + 18 + 150);
  EXPECT_EQ(band(s->GetLastX()), 63);
  EXPECT_EQ(rec.Count(EVENT_BUTTON_CLICKED), 2);
}

}  // namespace
