#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "AudioFixtures.h"
#include "audio/SoundManager.h"
#include "io/WindowMessages.h"
#include "gui/Gui.h"
#include "support/PanelChecks.h"

using namespace mv::audio;
using audiotest::kBinHz;

namespace {

class SoundPanel : public ::testing::Test {
 protected:
  void SetUp() override {
    m = std::make_unique<SoundManager>(std::make_unique<SoundSystem>(SoundBackend::Offline));
  }
  void Build() {
    m->BuildPanel(&resources);
    panel = &m->Panel();
  }
  void Fire(int id, UINT event) { m->OnPanelEvent(event, id, panel->GetControl(id)); }
  void SetSlider(int id, int value) {
    panel->GetSlider(id)->SetValue(value);
    Fire(id, EVENT_SLIDER_VALUE_CHANGED);
  }
  std::u16string Text(int id) { return panel->GetStatic(id)->GetText(); }
  // A click in control coordinates, through the dialog's message path.
  void Click(int x, int y) {
    gui::Point o = panel->GetControlOrigin();
    LPARAM at = MakeLParam(o.x + x, o.y + y);
    panel->MsgProc(WM_MOUSEMOVE, 0, at);
    panel->MsgProc(WM_LBUTTONDOWN, 0, at);
    panel->MsgProc(WM_LBUTTONUP, 0, at);
  }

  audiotest::ScratchFolder folder;
  CDXUTDialogResourceManager resources;
  std::unique_ptr<SoundManager> m;
  CDXUTDialog* panel = nullptr;
};

void WriteTrack(const std::string& name, double seconds = 3.0) {
  ASSERT_TRUE(audiotest::WriteSine(std::filesystem::path("media/music") / name,
                                   SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, seconds, 30 * kBinHz));
}

}  // namespace

TEST_F(SoundPanel, LayoutAndStartState) {
  WriteTrack("b.wav");
  WriteTrack("a.wav");
  Build();
  EXPECT_EQ(panel->GetCaptionText(), u"Sound Manager");
  EXPECT_EQ(panel->GetX(), 840);
  EXPECT_EQ(panel->GetY(), 10);
  EXPECT_EQ(panel->GetWidth(), 480);
  EXPECT_EQ(panel->GetHeight(), 240);
  for (int corner = 0; corner < 4; ++corner) EXPECT_EQ(panel->GetBackgroundColor(corner), 0x64FFFFFFu);
  EXPECT_EQ(*panel->GetTexture(1), u"media\\GUI\\Widget2.dds");
  EXPECT_TRUE(resources.IsRegistered(panel));
  EXPECT_EQ(m->GetPanel(), panel);

  struct Case {
    int id;
    UINT type;
    int x, y, w, h;
    const char16_t* text;
  };
  const Case cases[] = {
      {609, DXUT_CONTROL_STATIC, 5, 5, 50, 18, u"Playing : "},
      {608, DXUT_CONTROL_COMBOBOX, 55, 5, 255, 18, nullptr},
      {613, DXUT_CONTROL_STATIC, 320, 5, 50, 18, u"--:--:--"},
      {604, DXUT_CONTROL_BUTTON, 5, 23, 60, 16, u"Prev"},
      {605, DXUT_CONTROL_BUTTON, 70, 23, 80, 16, u"Play"},
      {607, DXUT_CONTROL_BUTTON, 155, 23, 60, 16, u"Next"},
      {601, DXUT_CONTROL_CHECKBOX, 5, 43, 100, 16, u"Enable Sound"},
      {621, DXUT_CONTROL_RADIOBUTTON, 140, 43, 100, 16, u"Internal Player"},
      {622, DXUT_CONTROL_RADIOBUTTON, 260, 43, 80, 16, u"Line In"},
      {623, DXUT_CONTROL_RADIOBUTTON, 380, 43, 80, 16, u"Micro"},
      {603, DXUT_CONTROL_STATIC, 0, 63, 120, 16, u"Volume :"},
      {602, DXUT_CONTROL_SLIDER, 120, 63, 100, 16, nullptr},
      {610, DXUT_CONTROL_STATIC, 0, 83, 120, 16, u"Custom Level :"},
      {611, DXUT_CONTROL_LEVEL, 110, 83, 180, 16, nullptr},
      {611, DXUT_CONTROL_STATIC, 0, 103, 120, 16, u"Threshold :  "},
      {610, DXUT_CONTROL_SLIDER, 110, 103, 150, 16, nullptr},
      {612, DXUT_CONTROL_CHECKBOX, 280, 103, 100, 16, u"Take Peak"},
      {620, DXUT_CONTROL_SPECTRUM, 20, 140, 440, 55, nullptr},
  };
  ASSERT_EQ(panel->GetNumControls(), int(std::size(cases)));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    CDXUTControl* control = panel->GetControlByIndex(int(i));
    SCOPED_TRACE(c.id);
    EXPECT_EQ(control->GetID(), c.id);
    EXPECT_EQ(control->GetType(), c.type);
    EXPECT_EQ(control->GetX(), c.x);
    EXPECT_EQ(control->GetY(), c.y);
    EXPECT_EQ(control->GetWidth(), c.w);
    EXPECT_EQ(control->GetHeight(), c.h);
    if (c.text) {
      EXPECT_EQ(std::u16string(static_cast<CDXUTStatic*>(control)->GetText()), c.text);
    }
  }
  EXPECT_EQ(panel->GetComboBox(608)->GetHotkey(), UINT('S'));
  int lo, hi;
  panel->GetSlider(602)->GetRange(lo, hi);
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 255);
  EXPECT_EQ(panel->GetSlider(602)->GetValue(), 0);  // the volume, until a slide is read
  EXPECT_EQ(panel->GetSlider(610)->GetValue(), 125);
  EXPECT_EQ(m->Bands().threshold, 125.0f);
  EXPECT_TRUE(panel->GetCheckBox(601)->GetChecked());
  EXPECT_TRUE(panel->GetRadioButton(621)->GetChecked());
  EXPECT_FALSE(panel->GetRadioButton(622)->GetChecked());
  EXPECT_TRUE(m->IsSoundEnabled());
  // "Take Peak" and the setting agree.
  EXPECT_FALSE(panel->GetCheckBox(612)->GetChecked());
  EXPECT_FALSE(m->Bands().takePeak);
  panel->GetCheckBox(612)->SetChecked(true);
  Fire(612, EVENT_CHECKBOX_CHANGED);
  EXPECT_TRUE(m->Bands().takePeak);

  // The playlist, in scan order, with the 8-bit names as item data.
  CDXUTComboBox* combo = panel->GetComboBox(608);
  ASSERT_EQ(combo->GetNumItems(), 4u);
  EXPECT_EQ(std::u16string(combo->GetItem(0)->strText), u".");
  EXPECT_EQ(std::u16string(combo->GetItem(2)->strText), u"a.wav");
  EXPECT_STREQ(static_cast<const char*>(combo->GetItemData(3)), "b.wav");
  // The spectrum control shows the manager's arrays.
  CDXUTSpectrum* spectrum = panel->GetSpectrum(620);
  EXPECT_EQ(spectrum->m_pBands, m->Bands().bands.data());
  EXPECT_EQ(spectrum->m_pSelected, m->Bands().selected.data());
  EXPECT_EQ(spectrum->m_pHovered, &m->Bands().hovered);
  EXPECT_EQ(spectrum->m_pPeaks, m->Bands().markers.data());
  EXPECT_EQ(spectrum->m_fThreshold, 125.0f);
}

TEST_F(SoundPanel, VolumeAndEnable) {
  Build();
  SetSlider(602, 125);
  EXPECT_EQ(m->GetVolume(), 125);
  EXPECT_EQ(Text(603), u"Volume : 049%");
  EXPECT_EQ(m->System().GetSfxMasterVolume(), 125);
  SetSlider(602, 255);
  EXPECT_EQ(Text(603), u"Volume : 100%");
  SetSlider(602, 3);
  EXPECT_EQ(Text(603), u"Volume : 001%");

  panel->GetCheckBox(601)->SetChecked(false);
  Fire(601, EVENT_CHECKBOX_CHANGED);
  EXPECT_FALSE(m->IsSoundEnabled());
  EXPECT_EQ(m->System().GetSfxMasterVolume(), 0);
  EXPECT_FALSE(panel->GetControlEnabled(602));
  m->UpdateSoundPanel();
  EXPECT_EQ(Text(603), u"Volume : Mute");
  EXPECT_EQ(m->System().GetSfxMasterVolume(), 0);

  panel->GetCheckBox(601)->SetChecked(true);
  Fire(601, EVENT_CHECKBOX_CHANGED);
  EXPECT_TRUE(panel->GetControlEnabled(602));
  EXPECT_EQ(panel->GetSlider(602)->GetValue(), 3);
  EXPECT_EQ(m->System().GetSfxMasterVolume(), 3);
}

TEST_F(SoundPanel, ThresholdSlider) {
  Build();
  SetSlider(610, 255);
  EXPECT_EQ(m->Bands().threshold, 255.0f);
  EXPECT_EQ(Text(611), u"Threshold : 100%");
  EXPECT_EQ(panel->GetSpectrum(620)->m_fThreshold, 255.0f);
  SetSlider(610, 64);
  EXPECT_EQ(Text(611), u"Threshold : 025%");
  // The label that shares the ID with the slider is untouched.
  EXPECT_EQ(Text(610), u"Custom Level :");
}

TEST_F(SoundPanel, SpectrumClicksSelectBands) {
  Build();
  // Through the dialog: a click at x = 32 toggles band 0.
  Click(32, 150);
  EXPECT_TRUE(m->Bands().selected[0]);
  Click(32, 150);
  EXPECT_FALSE(m->Bands().selected[0]);
  // x = 32 + (w - 30) * k / 64 is band k; beyond the right end, band 63.
  Click(32 + 410 * 10 / 64 + 1, 150);
  EXPECT_TRUE(m->Bands().selected[10]);
  Click(459, 150);
  EXPECT_TRUE(m->Bands().selected[63]);
  Click(21, 150);  // left of 32: band 0
  EXPECT_TRUE(m->Bands().selected[0]);
  int count = 0;
  for (bool b : m->Bands().selected) count += b;
  EXPECT_EQ(count, 3);
}

TEST_F(SoundPanel, HoveredBandTimesOut) {
  Build();
  gui::Point o = panel->GetControlOrigin();
  panel->MsgProc(WM_MOUSEMOVE, 0, MakeLParam(o.x + 32 + 410 * 5 / 64 + 1, o.y + 150));
  EXPECT_EQ(m->Bands().hovered, 5);
  // The counter runs while a band is hovered: the 102nd refresh clears it.
  for (int i = 0; i < 101; ++i) m->UpdateSoundPanel();
  EXPECT_EQ(m->Bands().hovered, 5);
  m->UpdateSoundPanel();
  EXPECT_EQ(m->Bands().hovered, -1);
  // A new hover does not reset the counter, which restarted at 0.
  panel->MsgProc(WM_MOUSEMOVE, 0, MakeLParam(o.x + 40, o.y + 150));
  EXPECT_EQ(m->Bands().hovered, 1);
  for (int i = 0; i < 102; ++i) m->UpdateSoundPanel();
  EXPECT_EQ(m->Bands().hovered, -1);
}

TEST_F(SoundPanel, PlayToggleWithoutATrackOnlyFlipsTheCaption) {
  Build();
  Fire(605, EVENT_BUTTON_CLICKED);
  EXPECT_TRUE(m->IsStreamPlaying());
  EXPECT_TRUE(m->IsPanelDirty());
  m->UpdateSoundPanel();
  EXPECT_EQ(std::u16string(panel->GetButton(605)->GetText()), u"Stop");
  EXPECT_FALSE(m->IsPlayStateChanged());
  EXPECT_FALSE(m->System().IsPlaying(0));
  Fire(605, EVENT_BUTTON_CLICKED);
  m->UpdateSoundPanel();
  EXPECT_EQ(std::u16string(panel->GetButton(605)->GetText()), u"Play");
}

TEST_F(SoundPanel, ChoosingATrackPlaysItAndNextRestartsIt) {
  WriteTrack("a.wav");
  Build();
  CDXUTComboBox* combo = panel->GetComboBox(608);
  combo->SetSelectedByIndex(2);
  Fire(608, EVENT_COMBOBOX_SELECTION_CHANGED);
  EXPECT_STREQ(m->GetSelectedTrack(), "a.wav");
  EXPECT_FALSE(m->IsOpenFailed());
  EXPECT_TRUE(m->System().IsPlaying(0));
  m->UpdateSoundPanel();
  EXPECT_EQ(std::u16string(panel->GetButton(605)->GetText()), u"Stop");
  m->System().Advance(0.5);
  m->UpdateSoundPanel();
  EXPECT_EQ(Text(613), u"500");
  Fire(607, EVENT_BUTTON_CLICKED);  // Next: the same track from the start
  EXPECT_EQ(m->System().StreamGetTime(m->GetStream()), 0);
  EXPECT_TRUE(m->System().IsPlaying(0));
  Fire(604, EVENT_BUTTON_CLICKED);  // Prev: nothing
  EXPECT_TRUE(m->System().IsPlaying(0));
  // Choosing "." fails to open: no stream, the show goes on.
  combo->SetSelectedByIndex(0);
  Fire(608, EVENT_COMBOBOX_SELECTION_CHANGED);
  EXPECT_EQ(m->GetStream(), 0);
  EXPECT_FALSE(m->System().IsPlaying(0));
}

TEST_F(SoundPanel, LevelShowsTheBandLevelTimesAThousand) {
  WriteTrack("a.wav");
  Build();
  m->OpenTrack("a.wav");
  m->Play();
  m->Bands().selected[30] = true;
  m->Bands().threshold = 0.0f;
  m->System().Advance(0.1);
  m->AnalyseSpectrum();
  ASSERT_GT(m->GetBandLevel(), 0.5f);
  m->UpdateSoundPanel();
  EXPECT_FLOAT_EQ(panel->GetLevel(611)->GetValue(), m->GetBandLevel() * 1000.0f);
  EXPECT_FALSE(m->IsPanelDirty());
}

TEST_F(SoundPanel, SourceButtonsMuteAndSwitchTheSource) {
  WriteTrack("a.wav");
  Build();
  SetSlider(602, 200);
  m->OpenTrack("a.wav");
  m->SetStreamPlaying(true);
  m->Play();
  struct Case {
    int id;
    SoundManager::SourceMode mode;
  };
  const Case cases[] = {{622, SoundManager::kSourceLiveInput},
                        {623, SoundManager::kSourceLiveInput},
                        {621, SoundManager::kSourceInternalPlayer}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    SetSlider(602, 200);
    panel->GetRadioButton(c.id)->SetChecked(true);
    Fire(c.id, EVENT_RADIOBUTTON_CHANGED);
    EXPECT_EQ(m->GetVolume(), 0);
    EXPECT_EQ(panel->GetSlider(602)->GetValue(), 0);
    EXPECT_EQ(m->System().GetSfxMasterVolume(), 0);
    EXPECT_EQ(m->GetSourceMode(), c.mode);
    EXPECT_EQ(m->System().IsRecording(), c.mode == SoundManager::kSourceLiveInput);
    EXPECT_EQ(m->System().IsPlaying(0), c.mode == SoundManager::kSourceInternalPlayer);
  }
}

// Building the panel again gives the same controls, once each, and they
// still act on the manager.
TEST_F(SoundPanel, ABuildAgainKeepsOneSetOfControls) {
  Build();
  const int count = panel->GetNumControls();
  Build();
  EXPECT_EQ(panel->GetNumControls(), count);
  EXPECT_EQ(mvtest::DuplicateControlIds(*panel), 0);
  SetSlider(602, 125);
  EXPECT_EQ(m->GetVolume(), 125);
  EXPECT_EQ(Text(603), u"Volume : 049%");
}
