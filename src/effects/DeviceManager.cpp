#include "effects/DeviceManager.h"

bool g_bViewSelected = false;

void DeviceManager::SetRenderTargetCount(int simultaneous) {
  if (simultaneous >= 3) {
    m_passCount = 1, m_targetsPerPass = 3;
  } else if (simultaneous == 2) {
    m_passCount = 2, m_targetsPerPass = 2;
  } else {
    m_passCount = 3, m_targetsPerPass = 1;
  }
}

void DeviceManager::BuildPanel(std::int32_t backBufferWidth, std::int32_t backBufferHeight) {
  if (m_viewWidth == 0) {
    m_viewWidth = backBufferWidth / 2;
    m_viewHeight = backBufferHeight / 2;
  }
  m_Panel.SetLocation(100, 200);
  m_pPanel = &m_Panel;
}
