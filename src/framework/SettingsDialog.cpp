#include "framework/SettingsDialog.h"

#include <string>

#include "gui/Controls.h"
#include "io/Utf16.h"

namespace fw {

namespace {
constexpr int kHardware = 0;
constexpr int kReference = 1;
}  // namespace

CD3DSettingsDlg::CD3DSettingsDlg() {
  m_dialog.SetCallback(&CD3DSettingsDlg::OnEvent, this);
  m_dialog.EnableCaption(true);
  m_dialog.SetCaptionText(u"Direct3D Settings");
  m_dialog.SetLocation(0, 0);
  m_dialog.SetSize(400, 170);
  m_dialog.SetBackgroundColors(0xF0283040);
  m_dialog.AddStatic(IDC_ADAPTER, u"", 10, 10, 380, 18);
  m_dialog.AddComboBox(IDC_DEVICE_TYPE, 10, 34, 200, 20);
  if (CDXUTComboBox* types = m_dialog.GetComboBox(IDC_DEVICE_TYPE)) {
    types->AddItem(u"HARDWARE", nullptr);
    types->AddItem(u"REFERENCE", nullptr);
  }
  m_dialog.AddRadioButton(IDC_WINDOWED, 1, u"Windowed", 10, 60, 120, 18);
  m_dialog.AddRadioButton(IDC_FULLSCREEN, 1, u"Full screen", 140, 60, 120, 18, true);
  m_dialog.AddStatic(IDC_RESOLUTION, u"", 10, 84, 200, 18);
  // The presentation interval is the framework's choice; shown only.
  m_dialog.AddCheckBox(IDC_VSYNC, u"Vertical sync", 10, 108, 160, 18);
  m_dialog.SetControlEnabled(IDC_VSYNC, false);
  m_dialog.AddButton(IDC_OK, u"OK", 230, 136, 75, 22);
  m_dialog.AddButton(IDC_CANCEL, u"Cancel", 315, 136, 75, 22);
  m_revertDialog.EnableCaption(true);
  m_revertDialog.SetCaptionText(u"Direct3D Settings");
  m_revertDialog.SetBackgroundColors(0xF0283040);
}

void CD3DSettingsDlg::SetActive(bool active) {
  m_active = active;
  if (active) Refresh();
}

void CD3DSettingsDlg::Refresh() {
  m_settings = GetDeviceSettings();
  std::string adapter = GetDeviceStats();
  m_dialog.GetStatic(IDC_ADAPTER)->SetText(mv::io::Utf8ToUtf16(adapter));
  if (CDXUTComboBox* types = m_dialog.GetComboBox(IDC_DEVICE_TYPE))
    types->SetSelectedByIndex(m_settings.deviceType == DeviceType::Reference ? kReference : kHardware);
  m_dialog.GetRadioButton(m_settings.windowed ? IDC_WINDOWED : IDC_FULLSCREEN)->SetChecked(true);
  const std::string size = std::to_string(m_settings.width) + " x " + std::to_string(m_settings.height);
  m_dialog.GetStatic(IDC_RESOLUTION)->SetText(mv::io::Utf8ToUtf16(size));
  m_dialog.GetCheckBox(IDC_VSYNC)->SetChecked(m_settings.presentInterval != PRESENT_INTERVAL_IMMEDIATE);
}

bool CD3DSettingsDlg::WantsDeviceTypeChange() const {
  const CDXUTComboBox* types = m_dialog.GetComboBox(IDC_DEVICE_TYPE);
  const bool wantsReference = types && types->GetSelectedIndex() == kReference;
  return wantsReference != (m_settings.deviceType == DeviceType::Reference);
}

bool CD3DSettingsDlg::WantsWindowedChange() const {
  const CDXUTRadioButton* windowed = m_dialog.GetRadioButton(IDC_WINDOWED);
  return windowed && windowed->GetChecked() != m_settings.windowed;
}

void CD3DSettingsDlg::Apply() {
  const bool type = WantsDeviceTypeChange(), windowed = WantsWindowedChange();
  m_active = false;
  if (type) ToggleREF();
  if (windowed) ToggleFullScreen();
}

void CALLBACK CD3DSettingsDlg::OnEvent(UINT nEvent, int nControlID, CDXUTControl*, void* pUserContext) {
  auto* self = static_cast<CD3DSettingsDlg*>(pUserContext);
  if (!self || nEvent != EVENT_BUTTON_CLICKED) return;
  if (nControlID == IDC_OK) self->Apply();
  if (nControlID == IDC_CANCEL) self->m_active = false;
}

LRESULT CD3DSettingsDlg::MsgProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (!m_active) return 0;
  if (uMsg == WM_KEYDOWN && (wParam == VK_ESCAPE || wParam == VK_F2)) {
    m_active = false;
    return 1;
  }
  m_dialog.MsgProc(hWnd, uMsg, wParam, lParam);
  return 1;
}

HRESULT CD3DSettingsDlg::OnCreateDevice(gfx::Device*) { return gfx::S_OK; }

HRESULT CD3DSettingsDlg::OnResetDevice() {
  if (m_active) Refresh();
  return gfx::S_OK;
}

void CD3DSettingsDlg::OnLostDevice() {}
void CD3DSettingsDlg::OnDestroyDevice() {}

}  // namespace fw
