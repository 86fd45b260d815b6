#pragma once
// The device manager: device-wide resources and the final composition. Its
// slide section is the base's panel preferences only. (Resources arrive with
// the renderer; this is the state and persistence.)
#include <cstdint>
#include <memory>

#include "core/MVObject.h"
#include "framework/Framework.h"
#include "framework/SettingsDialog.h"
#include "gui/Dialog.h"

namespace gfx {
class Device;
class Font;
class Sprite;
}

// Toggled by the panel's "View Selected" button; read by the scene renderer.
extern bool g_bViewSelected;

class DeviceManager : public MVObject {
 public:
  DeviceManager();
  ~DeviceManager() override;

  std::int32_t GetType() const override { return MV_TYPE_DEVICE; }
  // Write and Read are the base's: panel preferences only.

  std::int32_t GetViewWidth() const { return m_viewWidth; }
  std::int32_t GetViewHeight() const { return m_viewHeight; }
  void SetViewSize(std::int32_t w, std::int32_t h) { m_viewWidth = w, m_viewHeight = h; }

  // Passes of the scene and targets per pass for a device that draws into
  // `simultaneous` render targets at once.
  void SetRenderTargetCount(int simultaneous);
  int GetPassCount() const { return m_passCount; }
  int GetTargetsPerPass() const { return m_targetsPerPass; }

  // The panel-building step of start-up (and of every view-size button): a
  // view width of 0 becomes half the back buffer, the panel stands at
  // (100, 200) and from now on is the base's panel reference.
  void BuildPanel(std::int32_t backBufferWidth, std::int32_t backBufferHeight);

  CDXUTDialog& GetDialog() { return m_Panel; }
  // Shown by "Change device (F2)"; while active it takes every message.
  fw::CD3DSettingsDlg& GetSettingsDialog() { return m_SettingsDialog; }

  // The framework's device callbacks. Until the device-wide resources
  // arrive they only keep the render-target split current.
  static bool IsDeviceAcceptable(const fw::DeviceCaps& caps, const char* adapterFormat,
                                 const char* backBufferFormat, bool windowed, void* userContext);
  static bool ModifyDeviceSettings(fw::DeviceSettings* settings, const fw::DeviceCaps& caps, void* userContext);
  static fw::HRESULT OnCreateDevice(gfx::Device* device, const gfx::BackBufferDesc& backBuffer, void* userContext);
  static fw::HRESULT OnResetDevice(gfx::Device* device, const gfx::BackBufferDesc& backBuffer, void* userContext);
  static void OnLostDevice(void* userContext);
  static void OnDestroyDevice(void* userContext);

  // Font A (overlay text) and font B (layer text), made with the device;
  // the sprite that draws them, made on every reset. Null until then.
  gfx::Font* GetFont(int index) const { return index == 0 ? m_fontA.get() : index == 1 ? m_fontB.get() : nullptr; }
  gfx::Sprite* GetSprite() const { return m_sprite.get(); }

  // Composition of the finished frame into (x, y, width, height) of the
  // back buffer. It begins the scene that the frame's last step ends.
  void DrawFinalImage(gfx::Device* device, int x, int y, int width, int height);

 private:
  std::int32_t m_viewWidth = 640;
  std::int32_t m_viewHeight = 400;
  CDXUTDialog m_Panel;
  fw::CD3DSettingsDlg m_SettingsDialog;
  std::unique_ptr<gfx::Font> m_fontA;
  std::unique_ptr<gfx::Font> m_fontB;
  std::unique_ptr<gfx::Sprite> m_sprite;
  int m_passCount = 1;
  int m_targetsPerPass = 3;
};

extern DeviceManager g_DeviceManager;
