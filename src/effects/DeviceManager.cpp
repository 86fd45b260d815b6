#include "effects/DeviceManager.h"

#include "core/Globals.h"
#include "gui/Controls.h"

bool g_bViewSelected = false;

void DeviceManager::BuildPanel(CDXUTDialogResourceManager* resources, std::int32_t backBufferWidth,
                               std::int32_t backBufferHeight) {
  if (resources) m_pResources = resources;
  if (backBufferWidth > 0 && backBufferHeight > 0) m_backBufferWidth = backBufferWidth, m_backBufferHeight = backBufferHeight;
  if (m_viewWidth == 0) {
    m_viewWidth = m_backBufferWidth / 2;
    m_viewHeight = m_backBufferHeight / 2;
  }
  m_Panel.Init(m_pResources);
  m_Panel.RemoveAllControls();
  m_Panel.SetCallback(&DeviceManager::OnGuiEvent, this);
  m_Panel.EnableCaption(true);
  m_Panel.SetCaptionText(u"Device Manager");
  m_Panel.SetFont(0, u"Arial", 14, 400);
  m_Panel.SetBackgroundColors(0x00C8C8FF);
  m_Panel.SetTexture(1, u"media\\GUI\\Widget2.dds");
  m_SettingsDialog.GetDialogControl().SetTexture(1, u"media\\GUI\\Widget2.dds");
  m_SettingsDialog.GetRevertDialogControl().SetTexture(1, u"media\\GUI\\Widget2.dds");

  // The size buttons sit in the caption bar, at the right of the view.
  const int w = m_viewWidth;
  m_Panel.AddButton(IDC_VIEW_THIRD, u".", w - 44, -15, 15, 15);
  m_Panel.AddButton(IDC_VIEW_HALF, u"o", w - 29, -15, 15, 15);
  m_Panel.AddButton(IDC_VIEW_FULL, u"O", w - 14, -15, 15, 15);
  m_Panel.AddButton(IDC_FULL_SCREEN, u"Full Screen (BCK)", 0, 44, 125, 22);
  m_Panel.AddButton(IDC_CHANGE_DEVICE, u"Change device (F2)", 0, 68, 125, 22);
  m_Panel.AddButton(IDC_TOGGLE_REF, u"Toggle REF ", 0, 92, 125, 22);
  m_Panel.AddButton(IDC_FULL_SHOW, u"Full Show (TAB)", 0, 116, 125, 22);
  m_Panel.AddButton(IDC_VIEW_SELECTED, u"View Selected", 0, 140, 125, 22);

  m_Panel.SetLocation(100, 200);
  m_Panel.SetSize(m_viewWidth, m_viewHeight);
  m_pPanel = &m_Panel;
}

void DeviceManager::SetViewFraction(int divisor) {
  m_viewWidth = m_backBufferWidth / divisor;
  m_viewHeight = m_backBufferHeight / divisor;
  BuildPanel(m_backBufferWidth, m_backBufferHeight);
}

void CALLBACK DeviceManager::OnGuiEvent(UINT nEvent, int nControlID, CDXUTControl* pControl, void* pUserContext) {
  auto* self = static_cast<DeviceManager*>(pUserContext);
  if (!self || nEvent != EVENT_BUTTON_CLICKED) return;
  switch (nControlID) {
    case IDC_VIEW_THIRD: self->SetViewFraction(3); break;
    case IDC_VIEW_HALF: self->SetViewFraction(2); break;
    case IDC_VIEW_FULL: self->SetViewFraction(1); break;
    case IDC_FULL_SCREEN: fw::ToggleFullScreen(); break;
    case IDC_CHANGE_DEVICE: self->m_SettingsDialog.SetActive(!self->m_SettingsDialog.IsActive()); break;
    case IDC_TOGGLE_REF: fw::ToggleREF(); break;
    case IDC_FULL_SHOW: g_bGuiHidden = !g_bGuiHidden; break;
    case IDC_VIEW_SELECTED:
      g_bViewSelected = !g_bViewSelected;
      if (auto* button = static_cast<CDXUTButton*>(pControl))
        button->SetText(g_bViewSelected ? u"Hide Selection" : u"View Selection");
      break;
    default: break;
  }
}
