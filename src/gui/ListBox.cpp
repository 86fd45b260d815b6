#include <algorithm>
#include <new>

#include "gui/Controls.h"

using gui::HRESULT;
using gui::Point;
using gui::Rect;

// Layout: the items fill the box inside a border, with the scroll bar along
// the right edge; the text sits a margin further in. One line per item, as
// high as the dialog's font 0.

CDXUTListBox::CDXUTListBox(CDXUTDialog* pDialog) : CDXUTControl(pDialog), m_ScrollBar(pDialog) {
  m_Type = DXUT_CONTROL_LISTBOX;
  SetElementCount(2);  // main, selection
  m_Elements[0].dwTextFormat = gui::DT_LEFT | gui::DT_VCENTER;
}

CDXUTListBox::~CDXUTListBox() = default;

HRESULT CDXUTListBox::OnInit() {
  m_ScrollBar.m_pDialog = m_pDialog;
  return gui::S_OK;
}

void CDXUTListBox::UpdateRects() {
  CDXUTControl::UpdateRects();
  const Rect& bb = m_rcBoundingBox;
  const int sb = std::clamp(m_nSBWidth, 0, std::max(0, m_width));
  m_rcSelection = {bb.left + m_nBorder, bb.top + m_nBorder, bb.right - sb - m_nBorder, bb.bottom - m_nBorder};
  if (m_rcSelection.right < m_rcSelection.left) m_rcSelection.right = m_rcSelection.left;
  if (m_rcSelection.bottom < m_rcSelection.top) m_rcSelection.bottom = m_rcSelection.top;
  m_rcText = {std::min(m_rcSelection.left + m_nMargin, m_rcSelection.right), m_rcSelection.top,
              std::max(m_rcSelection.right - m_nMargin, m_rcSelection.left), m_rcSelection.bottom};
  m_nTextHeight = m_pDialog ? m_pDialog->GetLineHeight() : 14;
  m_ScrollBar.m_pDialog = m_pDialog;
  m_ScrollBar.SetLocation(bb.right - sb, bb.top);
  m_ScrollBar.SetSize(sb, m_height);
  m_ScrollBar.SetPageSize(GetItemsPerPage());
  m_ScrollBar.SetTrackRange(0, static_cast<int>(m_Items.size()));
  LayoutItems();
}

int CDXUTListBox::GetItemsPerPage() const {
  return std::max(1, m_rcSelection.Height() / std::max(1, m_nTextHeight));
}

void CDXUTListBox::LayoutItems() {
  const int first = m_ScrollBar.GetTrackPos();
  const int page = GetItemsPerPage();
  for (std::size_t i = 0; i < m_Items.size(); ++i) {
    const int row = static_cast<int>(i) - first;
    if (row >= 0 && row < page) {
      const int top = m_rcSelection.top + row * m_nTextHeight;
      m_Items[i].rcActive = {m_rcSelection.left, top, m_rcSelection.right, top + m_nTextHeight};
    } else {
      m_Items[i].rcActive = {};
    }
  }
}

void CDXUTListBox::SetStyle(std::uint32_t dwStyle) {
  m_dwStyle = dwStyle;
  if (!(dwStyle & DXUT_LISTBOX_MULTISELECTION)) {
    for (std::size_t i = 0; i < m_Items.size(); ++i) m_Items[i].bSelected = static_cast<int>(i) == m_nSelected;
  }
}

void CDXUTListBox::SetScrollBarWidth(int nWidth) {
  m_nSBWidth = std::max(0, nWidth);
  UpdateRects();
}

void CDXUTListBox::SetBorder(int nBorder, int nMargin) {
  m_nBorder = std::max(0, nBorder);
  m_nMargin = std::max(0, nMargin);
  UpdateRects();
}

HRESULT CDXUTListBox::AddItem(const char16_t* wszText, void* pData) {
  return InsertItem(static_cast<int>(m_Items.size()), wszText, pData);
}

HRESULT CDXUTListBox::InsertItem(int nIndex, const char16_t* wszText, void* pData) {
  if (nIndex < 0 || nIndex > static_cast<int>(m_Items.size())) return gui::E_INVALIDARG;
  try {
    DXUTListBoxItem item;
    gui::AssignLimited(item.strText, gui::View(wszText), gui::kMaxItemText);
    item.pData = pData;
    m_Items.insert(m_Items.begin() + nIndex, std::move(item));
  } catch (const std::bad_alloc&) {
    return gui::E_OUTOFMEMORY;
  }
  // Indices at or after the insertion move down with their items.
  if (m_nSelected >= nIndex) ++m_nSelected;
  if (m_nSelStart >= nIndex) ++m_nSelStart;
  m_ScrollBar.SetTrackRange(0, static_cast<int>(m_Items.size()));
  LayoutItems();
  return gui::S_OK;
}

void CDXUTListBox::RemoveItem(int nIndex) {
  if (nIndex < 0 || nIndex >= static_cast<int>(m_Items.size())) return;
  m_Items.erase(m_Items.begin() + nIndex);
  // Removing the selected item leaves nothing selected rather than quietly
  // selecting its neighbour.
  auto adjust = [&](int& v) {
    if (v == nIndex)
      v = -1;
    else if (v > nIndex)
      --v;
  };
  adjust(m_nSelected);
  adjust(m_nSelStart);
  m_ScrollBar.SetTrackRange(0, static_cast<int>(m_Items.size()));
  LayoutItems();
}

void CDXUTListBox::RemoveItemByData(void* pData) {
  for (std::size_t i = 0; i < m_Items.size(); ++i) {
    if (m_Items[i].pData == pData) {
      RemoveItem(static_cast<int>(i));
      return;
    }
  }
}

void CDXUTListBox::RemoveAllItems() {
  m_Items.clear();
  m_nSelected = -1;
  m_nSelStart = -1;
  m_bDrag = false;
  m_ScrollBar.SetTrackRange(0, 0);
}

DXUTListBoxItem* CDXUTListBox::GetItem(int nIndex) {
  if (nIndex < 0 || nIndex >= static_cast<int>(m_Items.size())) return nullptr;
  return &m_Items[static_cast<std::size_t>(nIndex)];
}

const DXUTListBoxItem* CDXUTListBox::GetItem(int nIndex) const {
  if (nIndex < 0 || nIndex >= static_cast<int>(m_Items.size())) return nullptr;
  return &m_Items[static_cast<std::size_t>(nIndex)];
}

int CDXUTListBox::GetSelectedIndex(int nPreviousSelected) const {
  if (nPreviousSelected < -1) return -1;
  if (m_dwStyle & DXUT_LISTBOX_MULTISELECTION) {
    for (int i = nPreviousSelected + 1; i < static_cast<int>(m_Items.size()); ++i)
      if (m_Items[static_cast<std::size_t>(i)].bSelected) return i;
    return -1;
  }
  return m_nSelected;
}

DXUTListBoxItem* CDXUTListBox::GetSelectedItem(int nPreviousSelected) {
  return GetItem(GetSelectedIndex(nPreviousSelected));
}

void CDXUTListBox::SelectSingle(int index) {
  for (std::size_t i = 0; i < m_Items.size(); ++i) m_Items[i].bSelected = static_cast<int>(i) == index;
  m_nSelected = index;
  m_nSelStart = index;
}

void CDXUTListBox::SelectRange(int from, int to, bool bClearOthers) {
  if (from > to) std::swap(from, to);
  for (int i = 0; i < static_cast<int>(m_Items.size()); ++i) {
    DXUTListBoxItem& item = m_Items[static_cast<std::size_t>(i)];
    if (i >= from && i <= to)
      item.bSelected = true;
    else if (bClearOthers)
      item.bSelected = false;
  }
}

void CDXUTListBox::SelectItem(int nNewIndex) {
  if (m_Items.empty()) return;
  nNewIndex = std::clamp(nNewIndex, 0, static_cast<int>(m_Items.size()) - 1);
  SelectSingle(nNewIndex);
  m_ScrollBar.ShowItem(nNewIndex);
  LayoutItems();
  SendEvent(EVENT_LISTBOX_SELECTION, true);
}

int CDXUTListBox::ItemAtPoint(Point pt) const {
  if (!m_rcSelection.Contains(pt) || m_nTextHeight <= 0) return -1;
  const int i = m_ScrollBar.GetTrackPos() + (pt.y - m_rcSelection.top) / m_nTextHeight;
  if (i < 0 || i >= static_cast<int>(m_Items.size())) return -1;
  if (i - m_ScrollBar.GetTrackPos() >= GetItemsPerPage()) return -1;
  return i;
}

bool CDXUTListBox::MsgProc(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  m_ScrollBar.MsgProc(uMsg, wParam, lParam);
  if (uMsg == WM_CAPTURECHANGED) m_bDrag = false;
  return false;
}

bool CDXUTListBox::HandleKeyboard(UINT uMsg, WPARAM wParam, LPARAM) {
  if (!m_bEnabled || !m_bVisible) return false;
  if (uMsg != WM_KEYDOWN) return false;
  const int count = static_cast<int>(m_Items.size());
  if (count == 0) return false;
  const int page = GetItemsPerPage();
  int target = m_nSelected;
  switch (wParam) {
    case VK_UP: target = m_nSelected < 0 ? 0 : m_nSelected - 1; break;
    case VK_DOWN: target = m_nSelected < 0 ? 0 : m_nSelected + 1; break;
    case VK_PRIOR: target = (m_nSelected < 0 ? 0 : m_nSelected) - std::max(1, page - 1); break;
    case VK_NEXT: target = (m_nSelected < 0 ? 0 : m_nSelected) + std::max(1, page - 1); break;
    case VK_HOME: target = 0; break;
    case VK_END: target = count - 1; break;
    case VK_SPACE:
      if (m_nSelected >= 0) SendEvent(EVENT_LISTBOX_ITEM_DBLCLK, true);
      return true;
    default:
      return false;
  }
  target = std::clamp(target, 0, count - 1);
  if (target != m_nSelected) {
    if ((m_dwStyle & DXUT_LISTBOX_MULTISELECTION) && gui::IsKeyDown(VK_SHIFT) && m_nSelStart >= 0) {
      SelectRange(m_nSelStart, target, true);
      m_nSelected = target;
    } else {
      SelectSingle(target);
    }
    m_ScrollBar.ShowItem(target);
    LayoutItems();
    SendEvent(EVENT_LISTBOX_SELECTION, true);
  }
  return true;
}

bool CDXUTListBox::HandleMouse(UINT uMsg, Point pt, WPARAM wParam, LPARAM lParam) {
  if (!m_bEnabled || !m_bVisible) return false;
  if ((uMsg == WM_LBUTTONDOWN || uMsg == WM_LBUTTONDBLCLK) && m_rcBoundingBox.Contains(pt))
    RequestFocusFromDialog();
  if (m_ScrollBar.HandleMouse(uMsg, pt, wParam, lParam)) {
    LayoutItems();
    return true;
  }
  const bool multi = (m_dwStyle & DXUT_LISTBOX_MULTISELECTION) != 0;
  switch (uMsg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (!m_rcBoundingBox.Contains(pt)) break;
      const int i = ItemAtPoint(pt);
      if (i < 0) return true;  // border or empty rows: nothing to select
      m_bDrag = true;
      gui::SetCapture();
      if (uMsg == WM_LBUTTONDBLCLK && m_Items[static_cast<std::size_t>(i)].bSelected) {
        // The press before the double-click has already selected the item.
        SendEvent(EVENT_LISTBOX_ITEM_DBLCLK, true);
        return true;
      }
      const bool shift = (wParam & MK_SHIFT) != 0;
      const bool ctrl = (wParam & MK_CONTROL) != 0;
      if (multi && shift && m_nSelStart >= 0) {
        SelectRange(m_nSelStart, i, !ctrl);
        m_nSelected = i;
      } else if (multi && ctrl) {
        DXUTListBoxItem& item = m_Items[static_cast<std::size_t>(i)];
        item.bSelected = !item.bSelected;
        m_nSelected = i;
        m_nSelStart = i;
      } else {
        SelectSingle(i);
      }
      SendEvent(EVENT_LISTBOX_SELECTION, true);
      if (uMsg == WM_LBUTTONDBLCLK) SendEvent(EVENT_LISTBOX_ITEM_DBLCLK, true);
      return true;
    }
    case WM_LBUTTONUP:
      if (m_bDrag) {
        m_bDrag = false;
        gui::ReleaseCapture();
        if (m_nSelected >= 0) SendEvent(EVENT_LISTBOX_SELECTION_END, true);
        return true;
      }
      break;
    case WM_MOUSEMOVE:
      if (m_bDrag && !m_Items.empty()) {
        // Dragging past the top or bottom scrolls and keeps selecting.
        const int first = m_ScrollBar.GetTrackPos();
        int i;
        if (pt.y < m_rcSelection.top) {
          m_ScrollBar.Scroll(-1);
          i = m_ScrollBar.GetTrackPos();
        } else if (pt.y >= m_rcSelection.top + GetItemsPerPage() * m_nTextHeight) {
          m_ScrollBar.Scroll(1);
          i = m_ScrollBar.GetTrackPos() + GetItemsPerPage() - 1;
        } else {
          i = first + (pt.y - m_rcSelection.top) / std::max(1, m_nTextHeight);
        }
        i = std::clamp(i, 0, static_cast<int>(m_Items.size()) - 1);
        LayoutItems();
        if (i != m_nSelected) {
          if (multi && m_nSelStart >= 0) {
            SelectRange(m_nSelStart, i, true);
            m_nSelected = i;
          } else {
            const int anchor = m_nSelStart;
            SelectSingle(i);
            if (multi) m_nSelStart = anchor;
          }
          SendEvent(EVENT_LISTBOX_SELECTION, true);
        }
        return true;
      }
      break;
    case WM_MOUSEWHEEL:
      if (m_rcBoundingBox.Contains(pt)) {
        m_ScrollBar.Scroll(-GetWheelDelta(wParam) / WHEEL_DELTA);
        LayoutItems();
        return true;
      }
      break;
    default:
      break;
  }
  return false;
}
