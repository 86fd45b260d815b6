#include "framework/SettingsDialog.h"

namespace fw {

void CD3DSettingsDlg::SetActive(bool active) {
  m_active = active;
  if (active) Refresh();
}

void CD3DSettingsDlg::Refresh() { m_settings = GetDeviceSettings(); }

LRESULT CD3DSettingsDlg::MsgProc(HWND, UINT uMsg, WPARAM wParam, LPARAM) {
  if (!m_active) return 0;
  if (uMsg == WM_KEYDOWN && (wParam == VK_ESCAPE || wParam == VK_F2)) m_active = false;
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
