#pragma once
// The one object shared by all dialogs. Dialogs register with it at
// initialisation; its message procedure only watches the key state and
// never consumes a message. Its device hooks are here for the device
// manager to call; the panels' device objects belong to whoever draws
// them (fw::PanelPainter), so these hold none.
#include <vector>

#include "gui/GuiTypes.h"

class CDXUTDialog;

class CDXUTDialogResourceManager {
 public:
  CDXUTDialogResourceManager() = default;
  ~CDXUTDialogResourceManager();
  CDXUTDialogResourceManager(const CDXUTDialogResourceManager&) = delete;
  CDXUTDialogResourceManager& operator=(const CDXUTDialogResourceManager&) = delete;

  // Always false.
  bool MsgProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
  bool MsgProc(UINT uMsg, WPARAM wParam, LPARAM lParam) { return MsgProc(nullptr, uMsg, wParam, lParam); }

  gui::HRESULT OnCreateDevice() { return gui::S_OK; }
  gui::HRESULT OnResetDevice() { return gui::S_OK; }
  void OnLostDevice() {}
  void OnDestroyDevice() {}

  // Registering twice keeps one entry.
  bool RegisterDialog(CDXUTDialog* pDialog);
  void UnregisterDialog(CDXUTDialog* pDialog);
  bool IsRegistered(const CDXUTDialog* pDialog) const;
  int GetDialogCount() const { return static_cast<int>(m_Dialogs.size()); }
  CDXUTDialog* GetDialog(int index) const;

 private:
  std::vector<CDXUTDialog*> m_Dialogs;
};

extern CDXUTDialogResourceManager g_DialogResourceManager;
