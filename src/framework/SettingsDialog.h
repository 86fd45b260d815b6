#pragma once
// The device-settings dialog. There is one adapter and one device kind to
// choose from (the OpenGL context; the software rasteriser through
// ToggleREF), so the dialog offers the device type and windowed or full
// screen, shows the adapter, size and vsync, and applies a change with the
// framework's two toggles on "OK". While it is active it is drawn above
// every panel and the message routing hands it every message; Escape or F2
// closes it, so the keyboard is never lost to it.
#include "framework/Framework.h"
#include "gui/Dialog.h"

namespace fw {

class CD3DSettingsDlg {
 public:
  enum Control {
    IDC_ADAPTER = 1,
    IDC_DEVICE_TYPE = 2,
    IDC_WINDOWED = 3,
    IDC_FULLSCREEN = 4,
    IDC_RESOLUTION = 5,
    IDC_VSYNC = 6,
    IDC_OK = 7,
    IDC_CANCEL = 8,
  };

  CD3DSettingsDlg();

  bool IsActive() const { return m_active; }
  void SetActive(bool active);
  // Takes a fresh snapshot of the current settings and shows it.
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

  // What "OK" would do with the choices now shown: the toggles to run.
  bool WantsDeviceTypeChange() const;
  bool WantsWindowedChange() const;

 private:
  static void CALLBACK OnEvent(UINT nEvent, int nControlID, CDXUTControl* pControl, void* pUserContext);
  void Apply();

  bool m_active = false;
  DeviceSettings m_settings;
  CDXUTDialog m_dialog;
  CDXUTDialog m_revertDialog;
};

}  // namespace fw
