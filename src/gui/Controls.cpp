#include "gui/Controls.h"

#include <algorithm>

using gui::HRESULT;
using gui::Point;
using gui::Rect;

// ---------------------------------------------------------------------------
// CDXUTControl

CDXUTControl::CDXUTControl(CDXUTDialog* pDialog) : m_pDialog(pDialog) {}

CDXUTControl::~CDXUTControl() {
  if (CDXUTDialog::s_pControlFocus == this) CDXUTDialog::s_pControlFocus = nullptr;
}

void CDXUTControl::Refresh() {
  m_bMouseOver = false;
  m_bHasFocus = false;
}

void CDXUTControl::SetTextColor(gui::Color color) {
  if (!m_Elements.empty()) m_Elements[0].fontColor = color;
}

void CDXUTControl::UpdateRects() { m_rcBoundingBox = Rect::FromXYWH(m_x, m_y, m_width, m_height); }

void CDXUTControl::SetLocation(int x, int y) {
  m_x = x;
  m_y = y;
  UpdateRects();
}

void CDXUTControl::SetSize(int width, int height) {
  m_width = width;
  m_height = height;
  UpdateRects();
}

CDXUTElement* CDXUTControl::GetElement(UINT index) {
  return index < m_Elements.size() ? &m_Elements[index] : nullptr;
}

void CDXUTControl::SetElement(UINT index, const CDXUTElement& element) {
  if (index >= 64) return;
  if (m_Elements.size() <= index) m_Elements.resize(index + 1);
  m_Elements[index] = element;
}

void CDXUTControl::SetElementCount(UINT n) { m_Elements.resize(n); }

void CDXUTControl::SendEvent(UINT nEvent, bool bTriggeredByUser) {
  if (m_pDialog) m_pDialog->SendEvent(nEvent, bTriggeredByUser, this);
}

void CDXUTControl::RequestFocusFromDialog() {
  if (m_pDialog && !m_bHasFocus) m_pDialog->RequestFocus(this);
}

void CDXUTControl::ReleaseFocusUnlessKeyboard() {
  if (!DialogTakesKeyboard() && CDXUTDialog::s_pControlFocus == this) CDXUTDialog::ClearFocus();
}

// Controls that are switched off or hidden give the focus up, so that a
// hidden edit box cannot keep the hotkeys of every panel blocked.
void CDXUTControl::SetEnabled(bool bEnabled) {
  m_bEnabled = bEnabled;
  if (!bEnabled && CDXUTDialog::s_pControlFocus == this) CDXUTDialog::ClearFocus();
}

void CDXUTControl::SetVisible(bool bVisible) {
  m_bVisible = bVisible;
  if (!bVisible && CDXUTDialog::s_pControlFocus == this) CDXUTDialog::ClearFocus();
}

// ---------------------------------------------------------------------------
// CDXUTStatic

CDXUTStatic::CDXUTStatic(CDXUTDialog* pDialog) : CDXUTControl(pDialog) {
  m_Type = DXUT_CONTROL_STATIC;
  m_strText.reserve(gui::kMaxControlText);
  SetElementCount(1);
  m_Elements[0].dwTextFormat = gui::DT_CENTER | gui::DT_VCENTER;
}

HRESULT CDXUTStatic::SetText(const char16_t* strText) { return SetText(gui::View(strText)); }

HRESULT CDXUTStatic::SetText(std::u16string_view strText) {
  gui::AssignLimited(m_strText, strText, gui::kMaxControlText);
  return gui::S_OK;
}

HRESULT CDXUTStatic::GetTextCopy(char16_t* strDest, UINT bufferCount) const {
  if (!strDest || bufferCount == 0) return gui::E_INVALIDARG;
  const std::size_t n = std::min<std::size_t>(m_strText.size(), bufferCount - 1);
  std::copy_n(m_strText.data(), n, strDest);
  strDest[n] = u'\0';
  return gui::S_OK;
}

// ---------------------------------------------------------------------------
// CDXUTButton

CDXUTButton::CDXUTButton(CDXUTDialog* pDialog) : CDXUTStatic(pDialog) {
  m_Type = DXUT_CONTROL_BUTTON;
  SetElementCount(2);  // face, pressed fill
}

bool CDXUTButton::MsgProc(UINT uMsg, WPARAM, LPARAM) {
  if (uMsg == WM_CAPTURECHANGED) m_bPressed = false;
  return false;
}

void CDXUTButton::OnClicked() { SendEvent(EVENT_BUTTON_CLICKED, true); }

void CDXUTButton::OnHotkey() {
  if (DialogTakesKeyboard()) RequestFocusFromDialog();
  OnClicked();
}

bool CDXUTButton::HandleKeyboard(UINT uMsg, WPARAM wParam, LPARAM) {
  if (!m_bEnabled || !m_bVisible) return false;
  if (wParam != VK_SPACE) return false;
  if (uMsg == WM_KEYDOWN) {
    m_bPressed = true;
    return true;
  }
  if (uMsg == WM_KEYUP) {
    if (m_bPressed) {
      m_bPressed = false;
      OnClicked();
    }
    return true;
  }
  return false;
}

bool CDXUTButton::HandleMouse(UINT uMsg, Point pt, WPARAM, LPARAM) {
  if (!m_bEnabled || !m_bVisible) return false;
  switch (uMsg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (ContainsPoint(pt)) {
        m_bPressed = true;
        gui::SetCapture();
        RequestFocusFromDialog();
        return true;
      }
      break;
    case WM_LBUTTONUP:
      if (m_bPressed) {
        m_bPressed = false;
        gui::ReleaseCapture();
        ReleaseFocusUnlessKeyboard();
        if (ContainsPoint(pt)) OnClicked();
        return true;
      }
      break;
    default:
      break;
  }
  return false;
}

// ---------------------------------------------------------------------------
// CDXUTCheckBox and CDXUTRadioButton

CDXUTCheckBox::CDXUTCheckBox(CDXUTDialog* pDialog) : CDXUTButton(pDialog) {
  m_Type = DXUT_CONTROL_CHECKBOX;
  SetElementCount(2);  // box, check mark
  m_Elements[0].dwTextFormat = gui::DT_LEFT | gui::DT_VCENTER;
}

bool CDXUTCheckBox::ContainsPoint(Point pt) {
  return m_rcBoundingBox.Contains(pt) || m_rcButton.Contains(pt);
}

// The box is a square as high as the control at its left; the text starts a
// quarter box further right.
void CDXUTCheckBox::UpdateRects() {
  CDXUTButton::UpdateRects();
  m_rcButton = {m_rcBoundingBox.left, m_rcBoundingBox.top, m_rcBoundingBox.left + m_height,
                m_rcBoundingBox.bottom};
  m_rcText = m_rcBoundingBox;
  m_rcText.left = std::min(m_rcText.right, m_rcText.left + m_height + m_height / 4);
}

void CDXUTCheckBox::OnClicked() { SetCheckedInternal(!m_bChecked, true); }

void CDXUTCheckBox::SetCheckedInternal(bool bChecked, bool bFromInput) {
  m_bChecked = bChecked;
  SendEvent(EVENT_CHECKBOX_CHANGED, bFromInput);
}

CDXUTRadioButton::CDXUTRadioButton(CDXUTDialog* pDialog) : CDXUTCheckBox(pDialog) {
  m_Type = DXUT_CONTROL_RADIOBUTTON;
}

void CDXUTRadioButton::OnClicked() { SetCheckedInternal(true, true, true); }

void CDXUTRadioButton::SetCheckedInternal(bool bChecked, bool bClearGroup, bool bFromInput) {
  if (bChecked && bClearGroup && m_pDialog) m_pDialog->ClearRadioButtonGroup(m_nButtonGroup);
  m_bChecked = bChecked;
  SendEvent(EVENT_RADIOBUTTON_CHANGED, bFromInput);
}

// ---------------------------------------------------------------------------
// CDXUTSlider

CDXUTSlider::CDXUTSlider(CDXUTDialog* pDialog) : CDXUTControl(pDialog) {
  m_Type = DXUT_CONTROL_SLIDER;
  SetElementCount(2);  // track, thumb
}

bool CDXUTSlider::ContainsPoint(Point pt) { return m_rcBoundingBox.Contains(pt) || m_rcButton.Contains(pt); }

// The thumb is a square as high as the control, centred on the value's
// position along the track (which is the whole width).
void CDXUTSlider::UpdateRects() {
  CDXUTControl::UpdateRects();
  m_nButtonX = PosFromValue(m_nValue);
  const int half = m_height / 2;
  m_rcButton = {m_nButtonX - half, m_rcBoundingBox.top, m_nButtonX - half + m_height, m_rcBoundingBox.bottom};
}

int CDXUTSlider::PosFromValue(int value) const {
  const long long span = static_cast<long long>(m_nMax) - m_nMin;
  if (span <= 0 || m_width <= 0) return m_rcBoundingBox.left;
  return m_rcBoundingBox.left + static_cast<int>((static_cast<long long>(value) - m_nMin) * m_width / span);
}

int CDXUTSlider::ValueFromPos(int x) const {
  const long long span = static_cast<long long>(m_nMax) - m_nMin;
  if (span <= 0 || m_width <= 0) return m_nMin;
  const long long offset = static_cast<long long>(x) - m_rcBoundingBox.left;
  // Round to the nearest value.
  long long num = offset * span;
  long long v = (num >= 0 ? num + m_width / 2 : num - m_width / 2) / m_width;
  v += m_nMin;
  return static_cast<int>(std::clamp<long long>(v, m_nMin, m_nMax));
}

void CDXUTSlider::SetRange(int nMin, int nMax) {
  if (nMin > nMax) std::swap(nMin, nMax);
  m_nMin = nMin;
  m_nMax = nMax;
  SetValueInternal(m_nValue, false);
}

void CDXUTSlider::SetValueInternal(int nValue, bool bFromInput) {
  nValue = std::clamp(nValue, m_nMin, m_nMax);
  const bool changed = nValue != m_nValue;
  m_nValue = nValue;
  UpdateRects();
  if (changed && bFromInput) SendEvent(EVENT_SLIDER_VALUE_CHANGED, true);
}

bool CDXUTSlider::MsgProc(UINT uMsg, WPARAM, LPARAM) {
  if (uMsg == WM_CAPTURECHANGED) m_bPressed = false;
  return false;
}

bool CDXUTSlider::HandleMouse(UINT uMsg, Point pt, WPARAM, LPARAM) {
  if (!m_bEnabled || !m_bVisible) return false;
  switch (uMsg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (m_rcButton.Contains(pt)) {
        // Grabbing the thumb keeps it where it was grabbed.
        m_bPressed = true;
        m_nDragOffset = pt.x - m_nButtonX;
        gui::SetCapture();
        RequestFocusFromDialog();
        return true;
      }
      if (m_rcBoundingBox.Contains(pt)) {
        // A click on the track jumps the thumb under the pointer and goes on
        // as a drag.
        m_bPressed = true;
        m_nDragOffset = 0;
        gui::SetCapture();
        RequestFocusFromDialog();
        SetValueInternal(ValueFromPos(pt.x), true);
        return true;
      }
      break;
    case WM_MOUSEMOVE:
      if (m_bPressed) {
        SetValueInternal(ValueFromPos(pt.x - m_nDragOffset), true);
        return true;
      }
      break;
    case WM_LBUTTONUP:
      if (m_bPressed) {
        m_bPressed = false;
        gui::ReleaseCapture();
        ReleaseFocusUnlessKeyboard();
        return true;
      }
      break;
    default:
      break;
  }
  return false;
}
