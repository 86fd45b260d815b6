#include <algorithm>
#include <new>

#include "gui/Controls.h"

using gui::HRESULT;
using gui::Point;
using gui::Rect;

namespace {
constexpr int kMinThumbHeight = 8;
}

// ---------------------------------------------------------------------------
// CDXUTScrollBar: vertical, an arrow button at each end (squares as wide as
// the bar) and the track between them.

CDXUTScrollBar::CDXUTScrollBar(CDXUTDialog* pDialog) : CDXUTControl(pDialog) {
  m_Type = DXUT_CONTROL_SCROLLBAR;
  SetElementCount(4);  // track, up arrow, down arrow, thumb
}

void CDXUTScrollBar::UpdateRects() {
  CDXUTControl::UpdateRects();
  const Rect& bb = m_rcBoundingBox;
  const int arrow = std::min(m_width, m_height / 2);
  m_rcUpButton = {bb.left, bb.top, bb.right, bb.top + arrow};
  m_rcDownButton = {bb.left, bb.bottom - arrow, bb.right, bb.bottom};
  m_rcTrack = {bb.left, m_rcUpButton.bottom, bb.right, m_rcDownButton.top};
  UpdateThumbRect();
}

void CDXUTScrollBar::UpdateThumbRect() {
  const int range = m_nEnd - m_nStart;
  const int trackHeight = m_rcTrack.Height();
  if (range > m_nPageSize && trackHeight > 0) {
    const int thumbHeight = static_cast<int>(std::max<long long>(
        static_cast<long long>(trackHeight) * m_nPageSize / range, std::min(kMinThumbHeight, trackHeight)));
    const long long maxPos = static_cast<long long>(range) - m_nPageSize;
    const int top = m_rcTrack.top + static_cast<int>(static_cast<long long>(m_nPosition - m_nStart) *
                                                     (trackHeight - thumbHeight) / maxPos);
    m_rcThumb = {m_rcTrack.left, top, m_rcTrack.right, top + thumbHeight};
    m_bShowThumb = true;
  } else {
    m_rcThumb = {m_rcTrack.left, m_rcTrack.top, m_rcTrack.right, m_rcTrack.top};
    m_bShowThumb = false;
  }
}

void CDXUTScrollBar::Cap() {
  const int maxPos = std::max(m_nStart, m_nEnd - m_nPageSize);
  m_nPosition = std::clamp(m_nPosition, m_nStart, maxPos);
}

void CDXUTScrollBar::SetTrackRange(int nStart, int nEnd) {
  if (nEnd < nStart) nEnd = nStart;
  m_nStart = nStart;
  m_nEnd = nEnd;
  Cap();
  UpdateThumbRect();
}

void CDXUTScrollBar::SetTrackPos(int nPosition) {
  m_nPosition = nPosition;
  Cap();
  UpdateThumbRect();
}

void CDXUTScrollBar::SetPageSize(int nPageSize) {
  m_nPageSize = std::max(1, nPageSize);
  Cap();
  UpdateThumbRect();
}

void CDXUTScrollBar::Scroll(int nDelta) {
  const long long pos = static_cast<long long>(m_nPosition) + nDelta;
  SetTrackPos(static_cast<int>(std::clamp<long long>(pos, m_nStart, std::max(m_nStart, m_nEnd))));
}

void CDXUTScrollBar::ShowItem(int nIndex) {
  if (nIndex < 0) return;
  if (nIndex < m_nPosition)
    SetTrackPos(nIndex);
  else if (nIndex >= m_nPosition + m_nPageSize)
    SetTrackPos(nIndex - m_nPageSize + 1);
}

bool CDXUTScrollBar::MsgProc(UINT uMsg, WPARAM, LPARAM) {
  if (uMsg == WM_CAPTURECHANGED) m_bPressed = m_bDrag = false;
  return false;
}

bool CDXUTScrollBar::HandleMouse(UINT uMsg, Point pt, WPARAM, LPARAM) {
  if (!m_bEnabled || !m_bVisible) return false;
  switch (uMsg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (m_rcUpButton.Contains(pt)) {
        m_bPressed = true;
        gui::SetCapture();
        Scroll(-1);
        return true;
      }
      if (m_rcDownButton.Contains(pt)) {
        m_bPressed = true;
        gui::SetCapture();
        Scroll(1);
        return true;
      }
      if (m_bShowThumb && m_rcThumb.Contains(pt)) {
        m_bDrag = true;
        m_bPressed = true;
        m_nThumbOffsetY = pt.y - m_rcThumb.top;
        gui::SetCapture();
        return true;
      }
      if (m_bShowThumb && m_rcTrack.Contains(pt)) {
        m_bPressed = true;
        gui::SetCapture();
        Scroll(pt.y < m_rcThumb.top ? -m_nPageSize : m_nPageSize);
        return true;
      }
      break;
    case WM_MOUSEMOVE:
      if (m_bDrag) {
        const int range = m_nEnd - m_nStart;
        const int travel = m_rcTrack.Height() - m_rcThumb.Height();
        if (travel > 0 && range > m_nPageSize) {
          const int top = std::clamp(pt.y - m_nThumbOffsetY, m_rcTrack.top, m_rcTrack.top + travel);
          const long long maxPos = static_cast<long long>(range) - m_nPageSize;
          SetTrackPos(m_nStart + static_cast<int>((static_cast<long long>(top - m_rcTrack.top) * maxPos + travel / 2) /
                                                  travel));
        }
        return true;
      }
      break;
    case WM_LBUTTONUP:
      if (m_bPressed) {
        m_bPressed = false;
        m_bDrag = false;
        gui::ReleaseCapture();
        return true;
      }
      break;
    default:
      break;
  }
  return false;
}

// ---------------------------------------------------------------------------
// CDXUTComboBox: the text box with a square button at its right; when
// opened, the drop-down hangs directly below with its scroll bar at the
// right and one line per item.

CDXUTComboBox::CDXUTComboBox(CDXUTDialog* pDialog) : CDXUTButton(pDialog), m_ScrollBar(pDialog) {
  m_Type = DXUT_CONTROL_COMBOBOX;
  SetElementCount(4);  // main, button, drop-down, selection
}

CDXUTComboBox::~CDXUTComboBox() = default;

HRESULT CDXUTComboBox::OnInit() {
  m_ScrollBar.m_pDialog = m_pDialog;
  return gui::S_OK;
}

void CDXUTComboBox::UpdateRects() {
  CDXUTButton::UpdateRects();
  const Rect& bb = m_rcBoundingBox;
  const int buttonWidth = std::min(m_height, m_width);
  m_rcButton = {bb.right - buttonWidth, bb.top, bb.right, bb.bottom};
  m_rcText = {bb.left, bb.top, m_rcButton.left, bb.bottom};
  m_rcDropdown = {bb.left, bb.bottom, bb.right, bb.bottom + std::max(0, m_nDropHeight)};
  const int sb = std::clamp(m_nSBWidth, 0, m_width);
  m_rcDropdownText = {m_rcDropdown.left, m_rcDropdown.top, m_rcDropdown.right - sb, m_rcDropdown.bottom};
  m_ScrollBar.m_pDialog = m_pDialog;
  m_ScrollBar.SetLocation(m_rcDropdown.right - sb, m_rcDropdown.top);
  m_ScrollBar.SetSize(sb, m_rcDropdown.Height());
  const int line = m_pDialog ? m_pDialog->GetLineHeight() : 14;
  m_ScrollBar.SetPageSize(std::max(1, m_rcDropdown.Height() / line));
  LayoutItems();
}

void CDXUTComboBox::LayoutItems() {
  const int line = m_pDialog ? m_pDialog->GetLineHeight() : 14;
  const int first = m_ScrollBar.GetTrackPos();
  for (std::size_t i = 0; i < m_Items.size(); ++i) {
    DXUTComboBoxItem& item = m_Items[i];
    const int row = static_cast<int>(i) - first;
    item.rcActive = {m_rcDropdownText.left, m_rcDropdownText.top + row * line, m_rcDropdownText.right,
                     m_rcDropdownText.top + (row + 1) * line};
    item.bVisible = row >= 0 && item.rcActive.bottom <= m_rcDropdownText.bottom;
  }
}

bool CDXUTComboBox::ContainsPoint(Point pt) {
  return m_rcBoundingBox.Contains(pt) || (m_bOpened && m_rcDropdown.Contains(pt));
}

void CDXUTComboBox::SetDropHeight(UINT nHeight) {
  m_nDropHeight = static_cast<int>(std::min<UINT>(nHeight, 1u << 16));
  UpdateRects();
}

void CDXUTComboBox::SetScrollBarWidth(int nWidth) {
  m_nSBWidth = std::max(0, nWidth);
  UpdateRects();
}

void CDXUTComboBox::Close() { m_bOpened = false; }

bool CDXUTComboBox::MsgProc(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  m_ScrollBar.MsgProc(uMsg, wParam, lParam);
  return CDXUTButton::MsgProc(uMsg, wParam, lParam);
}

void CDXUTComboBox::OnFocusOut() {
  CDXUTButton::OnFocusOut();
  Close();
}

// Makes the focused item the selection; sends 0x0201 when it changed or
// when asked to send regardless.
void CDXUTComboBox::SelectFocused(bool bAlwaysSend) {
  if (m_iFocused < 0 || m_iFocused >= static_cast<int>(m_Items.size())) return;
  const bool changed = m_iSelected != m_iFocused;
  m_iSelected = m_iFocused;
  if (changed || bAlwaysSend) SendEvent(EVENT_COMBOBOX_SELECTION_CHANGED, true);
}

bool CDXUTComboBox::HandleKeyboard(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (!m_bEnabled || !m_bVisible) return false;
  if (uMsg != WM_KEYDOWN) return false;
  const int count = static_cast<int>(m_Items.size());
  switch (wParam) {
    case VK_RETURN:
      if (m_bOpened) {
        Close();
        SelectFocused(false);
        ReleaseFocusUnlessKeyboard();
        return true;
      }
      return false;
    case VK_F4:
      if (lParam & (LPARAM{1} << 30)) return true;  // auto-repeat
      if (m_bOpened) {
        Close();
        SelectFocused(true);
        ReleaseFocusUnlessKeyboard();
      } else {
        m_bOpened = true;
        m_iFocused = m_iSelected;
        m_ScrollBar.ShowItem(m_iFocused);
        LayoutItems();
      }
      return true;
    case VK_LEFT:
    case VK_UP:
      if (m_iFocused > 0) {
        --m_iFocused;
        m_ScrollBar.ShowItem(m_iFocused);
        LayoutItems();
        if (!m_bOpened) SelectFocused(false);
      }
      return true;
    case VK_RIGHT:
    case VK_DOWN:
      if (m_iFocused + 1 < count) {
        ++m_iFocused;
        m_ScrollBar.ShowItem(m_iFocused);
        LayoutItems();
        if (!m_bOpened) SelectFocused(false);
      }
      return true;
    default:
      return false;
  }
}

bool CDXUTComboBox::HandleMouse(UINT uMsg, Point pt, WPARAM wParam, LPARAM lParam) {
  if (!m_bEnabled || !m_bVisible) return false;
  if (m_bOpened && m_ScrollBar.HandleMouse(uMsg, pt, wParam, lParam)) {
    LayoutItems();
    return true;
  }
  auto itemAt = [&](Point p) -> int {
    for (std::size_t i = 0; i < m_Items.size(); ++i)
      if (m_Items[i].bVisible && m_Items[i].rcActive.Contains(p)) return static_cast<int>(i);
    return -1;
  };
  switch (uMsg) {
    case WM_MOUSEMOVE:
      if (m_bOpened && m_rcDropdown.Contains(pt)) {
        const int i = itemAt(pt);
        if (i >= 0) m_iFocused = i;
        return true;
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (m_rcBoundingBox.Contains(pt)) {
        m_bPressed = true;
        gui::SetCapture();
        RequestFocusFromDialog();
        if (m_bOpened) {
          Close();
        } else {
          m_bOpened = true;
          m_iFocused = m_iSelected;
          m_ScrollBar.ShowItem(m_iFocused);
          LayoutItems();
        }
        return true;
      }
      if (m_bOpened && m_rcDropdown.Contains(pt)) {
        const int i = itemAt(pt);
        if (i >= 0) {
          m_iFocused = i;
          Close();
          SelectFocused(false);
          ReleaseFocusUnlessKeyboard();
        }
        return true;
      }
      if (m_bOpened) {
        // A click elsewhere closes the list and goes on to what lies below.
        Close();
        ReleaseFocusUnlessKeyboard();
      }
      break;
    case WM_LBUTTONUP:
      if (m_bPressed) {
        m_bPressed = false;
        gui::ReleaseCapture();
        return true;
      }
      break;
    case WM_MOUSEWHEEL: {
      const int steps = GetWheelDelta(wParam) / WHEEL_DELTA;
      if (steps == 0) return true;
      if (m_bOpened) {
        m_ScrollBar.Scroll(-steps);
        LayoutItems();
      } else {
        const int count = static_cast<int>(m_Items.size());
        if (count > 0) {
          m_iFocused = std::clamp(m_iSelected - steps, 0, count - 1);
          SelectFocused(false);
        }
      }
      return true;
    }
    default:
      break;
  }
  return false;
}

void CDXUTComboBox::OnHotkey() {
  if (m_bOpened || m_Items.empty()) return;
  if (DialogTakesKeyboard()) RequestFocusFromDialog();
  m_iSelected = m_iSelected + 1 >= static_cast<int>(m_Items.size()) ? 0 : m_iSelected + 1;
  m_iFocused = m_iSelected;
  SendEvent(EVENT_COMBOBOX_SELECTION_CHANGED, true);
}

HRESULT CDXUTComboBox::AddItem(const char16_t* strText, void* pData) {
  try {
    DXUTComboBoxItem item;
    gui::AssignLimited(item.strText, gui::View(strText), gui::kMaxItemText);
    item.pData = pData;
    m_Items.push_back(std::move(item));
  } catch (const std::bad_alloc&) {
    return gui::E_OUTOFMEMORY;
  }
  m_ScrollBar.SetTrackRange(0, static_cast<int>(m_Items.size()));
  LayoutItems();
  if (m_Items.size() == 1) {
    m_iSelected = 0;
    m_iFocused = 0;
    SendEvent(EVENT_COMBOBOX_SELECTION_CHANGED, false);
  }
  return gui::S_OK;
}

void CDXUTComboBox::RemoveAllItems() {
  m_Items.clear();
  m_ScrollBar.SetTrackRange(0, 0);
  m_iSelected = -1;
  m_iFocused = -1;
  Close();
}

void CDXUTComboBox::RemoveItem(UINT index) {
  if (index >= m_Items.size()) return;
  m_Items.erase(m_Items.begin() + static_cast<std::ptrdiff_t>(index));
  const int i = static_cast<int>(index);
  const int count = static_cast<int>(m_Items.size());
  auto adjust = [&](int& v) {
    if (v > i) --v;
    if (v >= count) v = count - 1;
  };
  adjust(m_iSelected);
  adjust(m_iFocused);
  m_ScrollBar.SetTrackRange(0, count);
  LayoutItems();
}

int CDXUTComboBox::FindItem(const char16_t* strText, UINT iStart) const {
  std::u16string_view text = gui::View(strText);
  if (text.size() >= gui::kMaxItemText) text = text.substr(0, gui::kMaxItemText - 1);
  for (std::size_t i = iStart; i < m_Items.size(); ++i)
    if (m_Items[i].strText == text) return static_cast<int>(i);
  return -1;
}

bool CDXUTComboBox::ContainsItem(const char16_t* strText, UINT iStart) const { return FindItem(strText, iStart) >= 0; }

void* CDXUTComboBox::GetItemData(const char16_t* strText) const {
  const int i = FindItem(strText);
  return i >= 0 ? m_Items[static_cast<std::size_t>(i)].pData : nullptr;
}

void* CDXUTComboBox::GetItemData(int nIndex) const {
  if (nIndex < 0 || nIndex >= static_cast<int>(m_Items.size())) return nullptr;
  return m_Items[static_cast<std::size_t>(nIndex)].pData;
}

void* CDXUTComboBox::GetSelectedData() const { return GetItemData(m_iSelected); }

DXUTComboBoxItem* CDXUTComboBox::GetSelectedItem() {
  if (m_iSelected < 0 || m_iSelected >= static_cast<int>(m_Items.size())) return nullptr;
  return &m_Items[static_cast<std::size_t>(m_iSelected)];
}

DXUTComboBoxItem* CDXUTComboBox::GetItem(UINT index) { return index < m_Items.size() ? &m_Items[index] : nullptr; }

const DXUTComboBoxItem* CDXUTComboBox::GetItem(UINT index) const {
  return index < m_Items.size() ? &m_Items[index] : nullptr;
}

HRESULT CDXUTComboBox::SetSelectedByIndex(UINT index) {
  if (index >= m_Items.size()) return gui::E_INVALIDARG;
  m_iSelected = m_iFocused = static_cast<int>(index);
  return gui::S_OK;
}

HRESULT CDXUTComboBox::SetSelectedByText(const char16_t* strText) {
  const int i = FindItem(strText);
  if (i < 0) return gui::E_FAIL;
  m_iSelected = m_iFocused = i;
  return gui::S_OK;
}

HRESULT CDXUTComboBox::SetSelectedByData(void* pData) {
  for (std::size_t i = 0; i < m_Items.size(); ++i) {
    if (m_Items[i].pData == pData) {
      m_iSelected = m_iFocused = static_cast<int>(i);
      return gui::S_OK;
    }
  }
  return gui::E_FAIL;
}
