#pragma once
// The device manager: device-wide resources and the final composition. Its
// slide section is the base's panel preferences only. (Resources arrive with
// the renderer; this is the state and persistence.)
#include <cstdint>

#include "core/MVObject.h"
#include "gui/Dialog.h"

// Toggled by the panel's "View Selected" button; read by the scene renderer.
extern bool g_bViewSelected;

class DeviceManager : public MVObject {
 public:
  DeviceManager() = default;

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

 private:
  std::int32_t m_viewWidth = 640;
  std::int32_t m_viewHeight = 400;
  CDXUTDialog m_Panel;
  int m_passCount = 1;
  int m_targetsPerPass = 3;
};
