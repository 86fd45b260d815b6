// The "Animation Manager" panel: its controls, and the events that drive
// the manager's key editing.
#include "animation/AnimationManager.h"
#include "model/TimeLine.h"
#include "gui/Gui.h"

namespace {

constexpr gui::Color kPanelColour = 0x64FFC8FF;

struct ModeItem {
  const char16_t* text;
  int mode;
};
constexpr ModeItem kModes[] = {{u"All After", AnimationManager::ALL_AFTER},
                               {u"All Before", AnimationManager::ALL_BEFORE},
                               {u"All", AnimationManager::ALL},
                               {u"After", AnimationManager::AFTER},
                               {u"Before", AnimationManager::BEFORE}};

}  // namespace

void AnimationManager::BuildPanel(CDXUTDialogResourceManager* resources) {
  // A second build replaces the controls instead of adding a second set.
  m_panel.RemoveAllControls();
  m_panel.Init(resources, resources != nullptr);
  m_panel.SetCallback(&AnimationManager::OnGuiEvent, this);
  m_panel.SetTexture(1, u"media\\GUI\\Widget2.dds");
  m_panel.EnableCaption(true);
  m_panel.SetCaptionText(u"Animation Manager");
  m_panel.SetBackgroundColors(kPanelColour);
  m_panel.SetLocation(384, 65);
  m_panel.SetSize(370, 100);

  m_panel.AddButton(IDC_PREV, u"<", 10, 5, 30, 20);
  m_panel.AddButton(IDC_PLAY, u"Play", 40, 5, 30, 20);
  m_panel.AddButton(IDC_NEXT, u">", 70, 5, 30, 20);
  m_panel.AddButton(IDC_INSERT, u"Insert", 100, 5, 50, 20);
  m_panel.AddButton(IDC_REMOVE, u"Remove", 150, 5, 50, 20);
  m_panel.AddButton(IDC_RECORD, u"Record", 200, 5, 50, 20);
  m_panel.AddButton(IDC_PROPAGATE, u"Propagate", 270, 5, 80, 20);
  m_panel.AddStatic(IDC_STATUS, u"No Keyframe !", 10, 25, 200, 20);
  CDXUTComboBox* combo = nullptr;
  m_panel.AddComboBox(IDC_PROPAGATE_MODE, 260, 25, 100, 20, 0, false, &combo);
  if (combo)
    for (const ModeItem& m : kModes) combo->AddItem(m.text, gui::ToData(m.mode));
  CDXUTEditBox* edit = nullptr;
  m_panel.AddEditBox(IDC_DURATION, u"100", 10, 50, 50, 20, false, &edit);
  if (edit) {
    edit->SetBorderWidth(1);
    edit->SetSpacing(2);
  }
  CDXUTTimeLine* strip = nullptr;
  m_panel.AddTimeLine(IDC_TIMELINE, 0.0f, 10, 75, 300, 30, false, &strip);
  if (strip) strip->SetStrip(32, 300 - 30);  // where SeekToClick puts frames

  m_status = u"No Keyframe !";
  m_durationText = u"100";
  m_propagateMode = ALL_AFTER;
  for (int id : {IDC_PLAY, IDC_NEXT, IDC_PREV, IDC_RECORD, IDC_PROPAGATE, IDC_REMOVE}) SetButtonEnabled(id, false);
  SetButtonEnabled(IDC_INSERT, true);
  m_bPanelBuilt = true;
  SetPanel(&m_panel);
  SyncPanelControls();
}

void AnimationManager::SyncPanelControls() {
  if (!m_bPanelBuilt) return;
  if (auto* status = m_panel.GetStatic(IDC_STATUS)) {
    if (status->GetTextString() != m_status) status->SetText(m_status);
  }
  for (int id : {IDC_PLAY, IDC_PREV, IDC_NEXT, IDC_INSERT, IDC_REMOVE, IDC_RECORD, IDC_PROPAGATE}) {
    if (m_panel.GetControlEnabled(id) != IsButtonEnabled(id)) m_panel.SetControlEnabled(id, IsButtonEnabled(id));
  }
  if (auto* play = m_panel.GetButton(IDC_PLAY)) {
    if (play->GetTextString() != m_playCaption) play->SetText(m_playCaption);
  }
  if (auto* edit = m_panel.GetEditBox(IDC_DURATION)) {
    if (edit->GetTextString() != m_durationText) edit->SetText(m_durationText);
  }
  if (auto* timeline = m_panel.GetTimeLine(IDC_TIMELINE)) {
    timeline->SetLength(m_fTimeLineLength);
    timeline->SetMarker(m_fTimeLineMarker);
    const TimeLine* t = SelectedTimeLine();
    timeline->SetKeys(t ? t->GetKeyCount() : 0, t ? t->GetCurrentKey() : -1);
  }
}

void AnimationManager::OnGuiEvent(UINT event, int controlId, CDXUTControl* control, void* userContext) {
  if (userContext) static_cast<AnimationManager*>(userContext)->OnPanelEvent(event, controlId, control);
}

void AnimationManager::OnPanelEvent(UINT event, int controlId, CDXUTControl* control) {
  switch (controlId) {
    case IDC_PLAY:
      if (event == EVENT_BUTTON_CLICKED) TogglePlay();
      break;
    case IDC_PREV:
      if (event == EVENT_BUTTON_CLICKED) PreviousKeyAll();
      break;
    case IDC_NEXT:
      if (event == EVENT_BUTTON_CLICKED) NextKeyAll();
      break;
    case IDC_INSERT:
      if (event == EVENT_BUTTON_CLICKED) InsertKeyAll();
      break;
    case IDC_REMOVE:
      if (event == EVENT_BUTTON_CLICKED) RemoveKeyAll();
      break;
    case IDC_RECORD:
      if (event == EVENT_BUTTON_CLICKED) RecordKeyAll();
      break;
    case IDC_PROPAGATE:
      if (event == EVENT_BUTTON_CLICKED) Propagate(m_propagateMode);
      break;
    case IDC_PROPAGATE_MODE:
      if (auto* combo = m_panel.GetComboBox(IDC_PROPAGATE_MODE)) {
        if (combo->GetSelectedData() || combo->GetSelectedIndex() >= 0)
          m_propagateMode = static_cast<int>(gui::FromData(combo->GetSelectedData()));
      }
      break;
    case IDC_DURATION:
      if (auto* edit = m_panel.GetEditBox(IDC_DURATION)) m_durationText = edit->GetTextString();
      break;
    case IDC_TIMELINE:
      if (event == EVENT_BUTTON_CLICKED) {
        if (auto* timeline = m_panel.GetTimeLine(IDC_TIMELINE))
          SeekToClick(timeline->GetLastX(), timeline->GetWidth(), timeline->GetLength());
      }
      break;
    default:
      break;
  }
}
