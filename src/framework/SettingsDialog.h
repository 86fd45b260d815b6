#pragma once
// The device-settings dialog. There is one adapter and one device kind to
// choose from (the OpenGL context; the software rasteriser through
// ToggleREF), so the dialog holds its active flag, its two panels and a
// snapshot of the settings, and is never drawn. While it is active the
// message routing hands it every message; Escape or F2 closes it, so the
// keyboard is never lost to it.
#include "framework/Framework.h"
#include "gui/Dialog.h"

namespace fw {

class CD3DSettingsDlg {
 public:
  bool IsActive() const { return m_active; }
  void SetActive(bool active);
  // Takes a fresh snapshot of the current settings.
  void Refresh();
  const DeviceSettings& GetSettings() const { return m_settings; }

  // Consumes every message while active.
  LRESULT MsgProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

  HRESULT OnCreateDevice(gfx::Device* device);
  HRESULT OnResetDevice();
  void OnLostDevice();
  void OnDestroyDevice();

  CDXUTDialog& GetDialogControl() { return m_dialog; }
  CDXUTDialog& GetRevertDialogControl() { return m_revertDialog; }

 private:
  bool m_active = false;
  DeviceSettings m_settings;
  CDXUTDialog m_dialog;
  CDXUTDialog m_revertDialog;
};

}  // namespace fw
