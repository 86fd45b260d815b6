#include <algorithm>
#include <new>

#include "gui/Controls.h"

using gui::HRESULT;
using gui::Point;
using gui::Rect;

namespace {
bool IsWordSpace(char16_t c) { return c == u' ' || c == u'\t'; }
}  // namespace

CDXUTEditBox::CDXUTEditBox(CDXUTDialog* pDialog) : CDXUTControl(pDialog) {
  m_Type = DXUT_CONTROL_EDITBOX;
  m_Buffer.reserve(256);
  SetElementCount(9);  // text area and eight border pieces
  m_Elements[0].dwTextFormat = gui::DT_LEFT | gui::DT_VCENTER;
}

// Text area: the box less its border; the text starts a spacing further in.
void CDXUTEditBox::UpdateRects() {
  CDXUTControl::UpdateRects();
  const Rect& bb = m_rcBoundingBox;
  m_rcText = {bb.left + m_nBorder, bb.top + m_nBorder, bb.right - m_nBorder, bb.bottom - m_nBorder};
  if (m_rcText.right < m_rcText.left) m_rcText.right = m_rcText.left;
  if (m_rcText.bottom < m_rcText.top) m_rcText.bottom = m_rcText.top;
  const Rect& t = m_rcText;
  m_rcRender[0] = t;
  m_rcRender[1] = {bb.left, bb.top, t.left, t.top};
  m_rcRender[2] = {t.left, bb.top, t.right, t.top};
  m_rcRender[3] = {t.right, bb.top, bb.right, t.top};
  m_rcRender[4] = {bb.left, t.top, t.left, t.bottom};
  m_rcRender[5] = {t.right, t.top, bb.right, t.bottom};
  m_rcRender[6] = {bb.left, t.bottom, t.left, bb.bottom};
  m_rcRender[7] = {t.left, t.bottom, t.right, bb.bottom};
  m_rcRender[8] = {t.right, t.bottom, bb.right, bb.bottom};
  PlaceCaret(m_nCaret);
}

void CDXUTEditBox::SetBorderWidth(int nBorder) {
  m_nBorder = std::max(0, nBorder);
  UpdateRects();
}

void CDXUTEditBox::SetSpacing(int nSpacing) {
  m_nSpacing = std::max(0, nSpacing);
  UpdateRects();
}

int CDXUTEditBox::GetCharWidth() const {
  const int line = m_pDialog ? m_pDialog->GetLineHeight() : 14;
  return std::max(1, (line + 1) / 2);
}

int CDXUTEditBox::VisibleChars() const {
  const int width = m_rcText.Width() - 2 * m_nSpacing;
  return std::max(1, width / GetCharWidth());
}

int CDXUTEditBox::GetCaretX() const { return m_rcText.left + m_nSpacing + (m_nCaret - m_nFirstVisible) * GetCharWidth(); }

int CDXUTEditBox::CaretFromPoint(int x) const {
  const int cw = GetCharWidth();
  const int rel = x - (m_rcText.left + m_nSpacing);
  int index;
  if (rel < 0)
    index = m_nFirstVisible - (-rel + cw / 2) / cw;
  else
    index = m_nFirstVisible + (rel + cw / 2) / cw;
  return std::clamp(index, 0, GetTextLength());
}

// Moves the caret and scrolls the text so the caret stays in view.
void CDXUTEditBox::PlaceCaret(int nCP) {
  const int len = GetTextLength();
  m_nCaret = std::clamp(nCP, 0, len);
  m_nSelStart = std::clamp(m_nSelStart, 0, len);
  const int visible = VisibleChars();
  if (m_nCaret < m_nFirstVisible)
    m_nFirstVisible = m_nCaret;
  else if (m_nCaret > m_nFirstVisible + visible)
    m_nFirstVisible = m_nCaret - visible;
  m_nFirstVisible = std::clamp(m_nFirstVisible, 0, len);
}

void CDXUTEditBox::SetText(const char16_t* wszText, bool bSelected) { SetText(gui::View(wszText), bSelected); }

void CDXUTEditBox::SetText(std::u16string_view wszText, bool bSelected) {
  gui::AssignLimited(m_Buffer, wszText, gui::kMaxEditText);
  m_nFirstVisible = 0;
  m_nSelStart = 0;
  PlaceCaret(GetTextLength());
  m_nSelStart = bSelected ? 0 : m_nCaret;
}

HRESULT CDXUTEditBox::GetTextCopy(char16_t* strDest, UINT bufferCount) const {
  if (!strDest || bufferCount == 0) return gui::E_INVALIDARG;
  const std::size_t n = std::min<std::size_t>(m_Buffer.size(), bufferCount - 1);
  std::copy_n(m_Buffer.data(), n, strDest);
  strDest[n] = u'\0';
  return gui::S_OK;
}

void CDXUTEditBox::ClearText() {
  m_Buffer.clear();
  m_nFirstVisible = 0;
  m_nSelStart = 0;
  PlaceCaret(0);
}

void CDXUTEditBox::OnFocusIn() {
  CDXUTControl::OnFocusIn();
  m_bCaretOn = true;
}

void CDXUTEditBox::DeleteSelectionText() {
  const int first = std::min(m_nCaret, m_nSelStart);
  const int last = std::max(m_nCaret, m_nSelStart);
  m_Buffer.erase(static_cast<std::size_t>(first), static_cast<std::size_t>(last - first));
  m_nSelStart = first;
  PlaceCaret(first);
}

bool CDXUTEditBox::InsertText(int at, std::u16string_view text) {
  const std::size_t room = gui::kMaxEditText - 1 - std::min(m_Buffer.size(), gui::kMaxEditText - 1);
  if (text.size() > room) text = text.substr(0, room);
  // Keep only what a single line can hold: stop at the first NUL or line break.
  std::size_t n = 0;
  while (n < text.size() && text[n] != u'\0' && text[n] != u'\r' && text[n] != u'\n') ++n;
  if (n == 0) return false;
  try {
    m_Buffer.insert(static_cast<std::size_t>(at), text.data(), n);
  } catch (const std::bad_alloc&) {
    return false;
  }
  m_nSelStart = at + static_cast<int>(n);
  PlaceCaret(at + static_cast<int>(n));
  return true;
}

void CDXUTEditBox::CopyToClipboard() {
  if (m_nCaret == m_nSelStart) return;
  const int first = std::min(m_nCaret, m_nSelStart);
  const int last = std::max(m_nCaret, m_nSelStart);
  gui::SetClipboardText(std::u16string_view(m_Buffer).substr(static_cast<std::size_t>(first),
                                                               static_cast<std::size_t>(last - first)));
}

void CDXUTEditBox::PasteFromClipboard() {
  const std::u16string clip = gui::GetClipboardText();
  const bool hadSelection = m_nCaret != m_nSelStart;
  if (hadSelection) DeleteSelectionText();
  const bool inserted = InsertText(m_nCaret, clip);
  if (hadSelection || inserted) SendEvent(EVENT_EDITBOX_CHANGE, true);
}

bool CDXUTEditBox::MsgProc(UINT uMsg, WPARAM wParam, LPARAM) {
  if (uMsg == WM_CAPTURECHANGED) m_bMouseDrag = false;
  if (!m_bEnabled || !m_bVisible) return false;
  if (uMsg != WM_CHAR) return false;
  const char16_t c = static_cast<char16_t>(wParam);
  switch (wParam) {
    case 0x08:  // Backspace
      if (m_nCaret != m_nSelStart) {
        DeleteSelectionText();
        SendEvent(EVENT_EDITBOX_CHANGE, true);
      } else if (m_nCaret > 0) {
        m_Buffer.erase(static_cast<std::size_t>(m_nCaret - 1), 1);
        m_nSelStart = m_nCaret - 1;
        PlaceCaret(m_nCaret - 1);
        SendEvent(EVENT_EDITBOX_CHANGE, true);
      }
      return true;
    case 0x18:  // Ctrl+X
    case 0x03:  // Ctrl+C
      CopyToClipboard();
      if (wParam == 0x18 && m_nCaret != m_nSelStart) {
        DeleteSelectionText();
        SendEvent(EVENT_EDITBOX_CHANGE, true);
      }
      return true;
    case 0x16:  // Ctrl+V
      PasteFromClipboard();
      return true;
    case 0x01:  // Ctrl+A
      m_nSelStart = 0;
      PlaceCaret(GetTextLength());
      return true;
    case 0x0D:  // Enter
      SendEvent(EVENT_EDITBOX_STRING, true);
      return true;
    default:
      break;
  }
  // Other control characters (Tab, Escape, Ctrl+letters) are not text.
  if (wParam < 0x20 || wParam == 0x7F || wParam > 0xFFFF) return wParam != 0x1B && wParam != 0x09;
  if (m_nCaret != m_nSelStart) DeleteSelectionText();
  if (!m_bInsertMode && m_nCaret < GetTextLength()) {
    m_Buffer[static_cast<std::size_t>(m_nCaret)] = c;
    m_nSelStart = m_nCaret + 1;
    PlaceCaret(m_nCaret + 1);
  } else if (!InsertText(m_nCaret, std::u16string_view(&c, 1))) {
    return true;  // full: the character is dropped
  }
  SendEvent(EVENT_EDITBOX_CHANGE, true);
  return true;
}

bool CDXUTEditBox::HandleKeyboard(UINT uMsg, WPARAM wParam, LPARAM) {
  if (!m_bEnabled || !m_bVisible) return false;
  if (uMsg != WM_KEYDOWN) return false;
  const bool shift = gui::IsKeyDown(VK_SHIFT);
  const bool ctrl = gui::IsKeyDown(VK_CONTROL);
  const int len = GetTextLength();
  auto moveTo = [&](int pos) {
    PlaceCaret(pos);
    if (!shift) m_nSelStart = m_nCaret;
  };
  switch (wParam) {
    case VK_TAB:
      return false;  // the dialog's navigation
    case VK_ESCAPE:
      return false;  // the application's
    case VK_HOME:
      moveTo(0);
      return true;
    case VK_END:
      moveTo(len);
      return true;
    case VK_INSERT:
      if (ctrl)
        CopyToClipboard();
      else if (shift)
        PasteFromClipboard();
      else
        m_bInsertMode = !m_bInsertMode;
      return true;
    case VK_DELETE:
      if (m_nCaret != m_nSelStart) {
        if (shift) CopyToClipboard();
        DeleteSelectionText();
        SendEvent(EVENT_EDITBOX_CHANGE, true);
      } else if (m_nCaret < len) {
        m_Buffer.erase(static_cast<std::size_t>(m_nCaret), 1);
        SendEvent(EVENT_EDITBOX_CHANGE, true);
      }
      return true;
    case VK_LEFT: {
      int pos = m_nCaret;
      if (ctrl) {
        while (pos > 0 && IsWordSpace(m_Buffer[static_cast<std::size_t>(pos - 1)])) --pos;
        while (pos > 0 && !IsWordSpace(m_Buffer[static_cast<std::size_t>(pos - 1)])) --pos;
      } else if (pos > 0) {
        --pos;
      }
      moveTo(pos);
      return true;
    }
    case VK_RIGHT: {
      int pos = m_nCaret;
      if (ctrl) {
        while (pos < len && !IsWordSpace(m_Buffer[static_cast<std::size_t>(pos)])) ++pos;
        while (pos < len && IsWordSpace(m_Buffer[static_cast<std::size_t>(pos)])) ++pos;
      } else if (pos < len) {
        ++pos;
      }
      moveTo(pos);
      return true;
    }
    default:
      // Every other key belongs to the text being typed, so it reaches no
      // other panel.
      return true;
  }
}

bool CDXUTEditBox::HandleMouse(UINT uMsg, Point pt, WPARAM wParam, LPARAM) {
  if (!m_bEnabled || !m_bVisible) return false;
  switch (uMsg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (!m_rcBoundingBox.Contains(pt)) return false;
      m_bMouseDrag = true;
      gui::SetCapture();
      RequestFocusFromDialog();
      const int pos = CaretFromPoint(pt.x);
      PlaceCaret(pos);
      if (!(wParam & MK_SHIFT)) m_nSelStart = m_nCaret;
      return true;
    }
    case WM_MOUSEMOVE:
      if (m_bMouseDrag) {
        PlaceCaret(CaretFromPoint(pt.x));
        return true;
      }
      return false;
    case WM_LBUTTONUP:
      if (m_bMouseDrag) {
        m_bMouseDrag = false;
        gui::ReleaseCapture();
        return true;
      }
      return false;
    default:
      return false;
  }
}
