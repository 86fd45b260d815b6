// The panels refresh their controls every frame and every pointer move goes
// through the dialogs: once warmed up, none of that may allocate.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "GuiTestUtil.h"

namespace {
bool g_counting = false;
long g_allocations = 0;
}  // namespace

void* operator new(std::size_t n) {
  if (g_counting) ++g_allocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
// GCC cannot see that this free pairs with the malloc above.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

using namespace guitest;

namespace {

class SteadyStateTest : public GuiTest {};

TEST_F(SteadyStateTest, PerFrameRefreshAndPointerMovesDoNotAllocate) {
  CDXUTDialog d;
  Prepare(d, 100, 50, 480, 240);
  d.m_bCaption = true;
  float bands[64] = {};
  bool selected[64] = {};
  std::int32_t hovered = -1;
  CDXUTStatic* status;
  CDXUTButton* play;
  CDXUTEditBox* duration;
  CDXUTSlider* slider;
  CDXUTLevel* level;
  CDXUTSpectrum* spectrum;
  CDXUTComboBox* combo;
  CDXUTListBox* list;
  d.AddStatic(804, u"Sequence", 10, 55, 150, 20, false, &status);
  d.AddButton(801, u"Play", 40, 5, 30, 20, 0, false, &play);
  d.AddEditBox(808, u"", 95, 80, 50, 20, false, &duration);
  d.AddSlider(448, 160, 80, 80, 20, 0, 1000, 50, false, &slider);
  d.AddLevel(611, 0.0f, 110, 83, 180, 16, false, &level);
  d.AddSpectrum(620, bands, selected, &hovered, 20, 140, 440, 55, false, &spectrum);
  d.AddComboBox(1610, 10, 20, 210, 16, 'G', false, &combo);
  d.AddListBox(1601, 250, 20, 210, 80, 71, &list);
  for (int i = 0; i < 10; ++i) combo->AddItem(u"Script-00x", gui::ToData(i));
  for (int i = 0; i < 4; ++i) list->AddItem(u"Factor(const)=100", gui::ToData(i));

  auto frame = [&](int n) {
    status->SetText(n % 2 ? u"Slide : 001/003 - 1000 ms" : u"Slide : 002/003 - Pause Mode");
    d.SetControlText(801, n % 2 ? u"Stop" : u"Play");
    duration->SetText(n % 2 ? u"10000" : u"  500");
    slider->SetValue(n % 1000);
    level->SetValue(static_cast<float>(n));
    combo->SetSelectedByData(gui::ToData(n % 10));
    (void)list->GetSelectedIndex(-1);
    Move(d, 100 + 20 + (n % 440), 50 + 18 + 160);  // over the spectrum: 0x0102 each time
    Move(d, 100 + 5, 50 + 18 + 2);
    KeyDown(d, 'Q');
  };
  for (int n = 0; n < 3; ++n) frame(n);
  rec.events.reserve(1000);
  g_allocations = 0;
  g_counting = true;
  for (int n = 3; n < 200; ++n) frame(n);
  g_counting = false;
  EXPECT_EQ(g_allocations, 0);
  EXPECT_GT(rec.Count(EVENT_CONTROL_POINTER_MOVED), 190);
}

}  // namespace
