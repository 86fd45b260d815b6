#include "gui/CustomControls.h"

using gui::Point;

bool CDXUTPointerButton::HandleMouse(UINT uMsg, Point pt, WPARAM, LPARAM) {
  if (!m_bEnabled || !m_bVisible) return false;
  m_nLastX = pt.x;
  m_nLastY = pt.y;
  switch (uMsg) {
    case WM_MOUSEMOVE:
      if (m_rcBoundingBox.Contains(pt)) SendEvent(EVENT_CONTROL_POINTER_MOVED, true);
      return false;  // the dialog's other handling still sees the move
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      m_bPressed = true;
      gui::SetCapture();
      RequestFocusFromDialog();
      return true;
    case WM_LBUTTONUP:
      if (!m_bPressed) return false;
      m_bPressed = false;
      gui::ReleaseCapture();
      ReleaseFocusUnlessKeyboard();
      if (m_rcBoundingBox.Contains(pt)) SendEvent(EVENT_BUTTON_CLICKED, true);
      return true;
    default:
      return false;
  }
}

CDXUTLevel::CDXUTLevel(CDXUTDialog* pDialog) : CDXUTPointerButton(pDialog) { m_Type = DXUT_CONTROL_LEVEL; }

CDXUTTimeLine::CDXUTTimeLine(CDXUTDialog* pDialog) : CDXUTPointerButton(pDialog) {
  m_Type = DXUT_CONTROL_TIMELINE;
}

CDXUTSpectrum::CDXUTSpectrum(CDXUTDialog* pDialog) : CDXUTPointerButton(pDialog) {
  m_Type = DXUT_CONTROL_SPECTRUM;
}

void CDXUTSpectrum::SetData(float* pBands, bool* pSelected, std::int32_t* pHovered) {
  m_pBands = pBands;
  m_pSelected = pSelected;
  m_pHovered = pHovered;
}
