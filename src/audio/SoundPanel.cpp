// The sound panel: playlist, transport, volume, source, and the band
// selection of the spectrum analysis.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "audio/SoundManager.h"
#include "gui/Gui.h"

using namespace mv::audio;

namespace {

enum PanelId : int {
  IDC_ENABLE_SOUND = 601,
  IDC_VOLUME = 602,
  IDC_VOLUME_TEXT = 603,
  IDC_PREV = 604,
  IDC_PLAY = 605,
  IDC_NEXT = 607,
  IDC_PLAYLIST = 608,
  IDC_PLAYING_LABEL = 609,
  IDC_THRESHOLD = 610,      // the slider; the "Custom Level :" label shares the ID
  IDC_LEVEL = 611,          // the level control; the threshold text shares the ID
  IDC_TAKE_PEAK = 612,
  IDC_TIME = 613,
  IDC_SPECTRUM = 620,
  IDC_INTERNAL_PLAYER = 621,
  IDC_LINE_IN = 622,
  IDC_MICRO = 623,
};

// printf into a fixed UTF-16 buffer (the texts are ASCII), without
// allocating: the refresh runs every frame while the panels are shown.
template <class... Args>
const char16_t* Format(char16_t (&out)[64], const char* format, Args... args) {
  char narrow[64];
  int n = std::snprintf(narrow, sizeof narrow, format, args...);
  n = std::clamp(n, 0, 63);
  for (int i = 0; i < n; ++i) out[i] = char16_t(static_cast<unsigned char>(narrow[i]));
  out[n] = u'\0';
  return out;
}

int Percent(int value) { return int(float(value) * 100.0f / 255.0f); }

}  // namespace

void SoundManager::BuildPanel(CDXUTDialogResourceManager* pManager) {
  // A second build replaces the controls instead of adding a second set.
  m_Panel.RemoveAllControls();
  m_Panel.Init(pManager);
  m_Panel.SetCallback(&SoundManager::OnGuiEvent, this);
  m_Panel.SetTexture(1, u"media\\GUI\\Widget2.dds");
  m_Panel.EnableCaption(true);
  m_Panel.SetCaptionText(u"Sound Manager");
  m_Panel.SetLocation(840, 10);
  m_Panel.SetSize(480, 240);
  m_Panel.SetBackgroundColors(0x64FFFFFF);

  m_Panel.AddStatic(IDC_PLAYING_LABEL, u"Playing : ", 5, 5, 50, 18);
  CDXUTComboBox* combo = nullptr;
  m_Panel.AddComboBox(IDC_PLAYLIST, 55, 5, 255, 18, 'S', false, &combo);
  m_Panel.AddStatic(IDC_TIME, u"--:--:--", 320, 5, 50, 18);
  m_Panel.AddButton(IDC_PREV, u"Prev", 5, 23, 60, 16);
  m_Panel.AddButton(IDC_PLAY, u"Play", 70, 23, 80, 16);
  m_Panel.AddButton(IDC_NEXT, u"Next", 155, 23, 60, 16);
  m_Panel.AddCheckBox(IDC_ENABLE_SOUND, u"Enable Sound", 5, 43, 100, 16, true);
  m_Panel.AddRadioButton(IDC_INTERNAL_PLAYER, 0, u"Internal Player", 140, 43, 100, 16, true);
  m_Panel.AddRadioButton(IDC_LINE_IN, 0, u"Line In", 260, 43, 80, 16);
  m_Panel.AddRadioButton(IDC_MICRO, 0, u"Micro", 380, 43, 80, 16);
  m_Panel.AddStatic(IDC_VOLUME_TEXT, u"Volume :", 0, 63, 120, 16);
  m_Panel.AddSlider(IDC_VOLUME, 120, 63, 100, 16, 0, 255, 125);
  m_Panel.AddStatic(IDC_THRESHOLD, u"Custom Level :", 0, 83, 120, 16);
  m_Panel.AddLevel(IDC_LEVEL, 0.0f, 110, 83, 180, 16);
  m_Panel.AddStatic(IDC_LEVEL, u"Threshold :  ", 0, 103, 120, 16);
  CDXUTSlider* threshold = nullptr;
  m_Panel.AddSlider(IDC_THRESHOLD, 110, 103, 150, 16, 0, 255, 125, false, &threshold);
  // Box and setting agree from the start: take peak is off.
  m_Panel.AddCheckBox(IDC_TAKE_PEAK, u"Take Peak", 280, 103, 100, 16, m_Bands.takePeak);
  m_Panel.AddSpectrum(IDC_SPECTRUM, m_Bands.bands.data(), m_Bands.selected.data(), &m_Bands.hovered,
                      20, 140, 440, 55, false, &m_pSpectrumControl);
  // The threshold the analysis uses is the one the slider shows (settings
  // read before the panel was built move the slider below).
  if (threshold && !m_bSettingsApplied) m_Bands.threshold = float(threshold->GetValue());
  if (m_pSpectrumControl) {
    m_pSpectrumControl->SetStrip(32, 440 - 30);  // where a click picks a band
    m_pSpectrumControl->SetPeaks(m_Bands.markers.data());
    m_pSpectrumControl->SetThreshold(m_Bands.threshold);
  }

  int count = ScanPlaylist();
  if (combo) {
    for (int i = 0; i < count; ++i)
      combo->AddItem(m_Playlist[i].wide, m_Playlist[i].name);
  }

  if (CDXUTCheckBox* box = m_Panel.GetCheckBox(IDC_ENABLE_SOUND)) box->SetChecked(true);
  if (CDXUTRadioButton* radio = m_Panel.GetRadioButton(IDC_INTERNAL_PLAYER)) radio->SetChecked(true);
  m_bSoundEnabled = true;
  if (CDXUTSlider* volume = m_Panel.GetSlider(IDC_VOLUME)) volume->SetValue(m_nVolume);
  m_pPanel = &m_Panel;
  if (m_bSettingsApplied) SyncPanelToSettings();
}

void SoundManager::SyncPanelToSettings() {
  char16_t text[64];
  if (CDXUTSlider* slider = m_Panel.GetSlider(IDC_THRESHOLD)) {
    slider->SetValue(int(std::lround(m_Bands.threshold)));
    if (CDXUTStatic* label = m_Panel.GetStatic(IDC_LEVEL))
      label->SetText(Format(text, "Threshold : %3.3d%%", Percent(slider->GetValue())));
  }
  if (m_pSpectrumControl) m_pSpectrumControl->SetThreshold(m_Bands.threshold);
  if (CDXUTCheckBox* box = m_Panel.GetCheckBox(IDC_TAKE_PEAK)) box->SetChecked(m_Bands.takePeak);
  int source = IDC_INTERNAL_PLAYER;
  if (m_SourceMode == kSourceLiveInput)
    source = m_RecordingLine == RecordingLine::LineIn ? IDC_LINE_IN : IDC_MICRO;
  if (CDXUTRadioButton* radio = m_Panel.GetRadioButton(source)) radio->SetChecked(true);
}

void CALLBACK SoundManager::OnGuiEvent(UINT nEvent, int nControlID, CDXUTControl* pControl,
                                       void* pUserContext) {
  static_cast<SoundManager*>(pUserContext)->OnPanelEvent(nEvent, nControlID, pControl);
}

void SoundManager::OnPanelEvent(UINT nEvent, int nControlID, CDXUTControl* pControl) {
  char16_t text[64];
  switch (nControlID) {
    case IDC_ENABLE_SOUND: {
      auto* box = m_Panel.GetCheckBox(IDC_ENABLE_SOUND);
      if (!box) return;
      m_bSoundEnabled = box->GetChecked();
      CDXUTSlider* slider = m_Panel.GetSlider(IDC_VOLUME);
      if (!m_bSoundEnabled) {
        m_System->SetSfxMasterVolume(0);
        if (slider) slider->SetEnabled(false);
      } else {
        m_System->SetSfxMasterVolume(m_nVolume);
        if (slider) {
          slider->SetEnabled(true);
          slider->SetValue(m_nVolume);
        }
      }
      break;
    }
    case IDC_VOLUME: {
      CDXUTSlider* slider = m_Panel.GetSlider(IDC_VOLUME);
      if (!slider) return;
      m_nVolume = std::clamp(slider->GetValue(), 0, 255);
      if (CDXUTStatic* label = m_Panel.GetStatic(IDC_VOLUME_TEXT))
        label->SetText(Format(text, "Volume : %3.3d%%", Percent(m_nVolume)));
      m_System->SetSfxMasterVolume(m_nVolume);
      break;
    }
    case IDC_PREV:
      break;
    case IDC_PLAY:
      m_bPlayStateChanged = true;
      m_bStreamPlaying = !m_bStreamPlaying;
      if (m_bStreamPlaying)
        Play();
      else
        Stop();
      m_bPanelDirty = true;
      break;
    case IDC_PLAYLIST:
    case IDC_NEXT: {
      if (nControlID == IDC_PLAYLIST) {
        auto* combo = m_Panel.GetComboBox(IDC_PLAYLIST);
        if (!combo) return;
        m_pSelectedTrack = static_cast<const char*>(combo->GetSelectedData());
        m_bOpenFailed = false;
      }
      CheckTrack(-1, 0, 0);
      // The Play button follows a track that started playing.
      if (m_System->IsPlaying(kStreamChannel) && !m_bStreamPlaying) {
        m_bStreamPlaying = true;
        m_bPlayStateChanged = true;
        m_bPanelDirty = true;
      }
      break;
    }
    case IDC_THRESHOLD: {
      CDXUTSlider* slider = m_Panel.GetSlider(IDC_THRESHOLD);
      if (!slider) return;
      m_Bands.threshold = float(slider->GetValue());
      if (CDXUTStatic* label = m_Panel.GetStatic(IDC_LEVEL))
        label->SetText(Format(text, "Threshold : %3.3d%%", Percent(slider->GetValue())));
      if (m_pSpectrumControl) m_pSpectrumControl->SetThreshold(m_Bands.threshold);
      break;
    }
    case IDC_TAKE_PEAK:
      if (auto* box = m_Panel.GetCheckBox(IDC_TAKE_PEAK)) m_Bands.takePeak = box->GetChecked();
      break;
    case IDC_SPECTRUM: {
      auto* spectrum = m_Panel.GetSpectrum(IDC_SPECTRUM);
      if (!spectrum || (nEvent != EVENT_BUTTON_CLICKED && nEvent != EVENT_CONTROL_POINTER_MOVED))
        return;
      const float position = float(spectrum->GetLastX() - 32) / float(spectrum->GetWidth() - 30);
      float scaled = std::trunc(position * 64.0f);
      if (!(scaled >= 0.0f)) scaled = 0.0f;  // also a NaN from a zero width
      const int band = std::min(int(std::min(scaled, 63.0f)), kBandCount - 1);
      if (nEvent == EVENT_BUTTON_CLICKED)
        m_Bands.selected[std::size_t(band)] = !m_Bands.selected[std::size_t(band)];
      else
        m_Bands.hovered = band;
      break;
    }
    case IDC_INTERNAL_PLAYER:
    case IDC_LINE_IN:
    case IDC_MICRO: {
      // Every source choice mutes the output first: a performer feeding
      // line-in gets no feedback loop.
      m_System->SetSfxMasterVolume(0);
      if (CDXUTSlider* slider = m_Panel.GetSlider(IDC_VOLUME)) slider->SetValue(0);
      m_nVolume = 0;
      bool live = nControlID != IDC_INTERNAL_PLAYER;
      RecordingLine line =
          nControlID == IDC_LINE_IN ? RecordingLine::LineIn : RecordingLine::Microphone;
      if (!SelectSource(live ? kSourceLiveInput : kSourceInternalPlayer, line) && live) {
        // No capture: the internal player stays the source.
        if (CDXUTRadioButton* radio = m_Panel.GetRadioButton(IDC_INTERNAL_PLAYER))
          radio->SetChecked(true);
      }
      break;
    }
    default:
      break;
  }
}

void SoundManager::OnBandsAnalysed() {
  if (m_pSpectrumControl) m_pSpectrumControl->SetPeaks(m_Bands.markers.data());
}

void SoundManager::UpdateSoundPanel() {
  char16_t text[64];
  if (CDXUTStatic* time = m_Panel.GetStatic(IDC_TIME))
    time->SetText(Format(text, "%d", std::max(0, m_System->StreamGetTime(m_Stream))));
  CDXUTSlider* slider = m_Panel.GetSlider(IDC_VOLUME);
  if (m_nVolume != 0 && slider && slider->GetValue() != m_nVolume) slider->SetValue(m_nVolume);
  if (m_bSoundEnabled) {
    Format(text, "Volume : %3.3d%%", Percent(m_nVolume));
    m_System->SetSfxMasterVolume(m_nVolume);
  } else {
    Format(text, "Volume : Mute");
    m_System->SetSfxMasterVolume(0);
  }
  if (CDXUTStatic* label = m_Panel.GetStatic(IDC_VOLUME_TEXT)) label->SetText(text);
  if (CDXUTLevel* level = m_Panel.GetLevel(IDC_LEVEL)) {
    level->SetValue(m_Bands.level * 1000.0f);
    level->SetThreshold(m_Bands.threshold / 255.0f * 1000.0f);
  }
  if (m_bPlayStateChanged) {
    m_Panel.SetControlText(IDC_PLAY, m_bStreamPlaying ? u"Stop" : u"Play");
    m_bPlayStateChanged = false;
  }
  if (m_Bands.hovered != -1) {
    if (m_nHoverRefreshCount++ > 100) {
      m_nHoverRefreshCount = 0;
      m_Bands.hovered = -1;
    }
  }
  m_bPanelDirty = false;
}
