// How dialogs and controls look. Every control draws from the geometry it
// already keeps for its input (bounding box, part rectangles), so what is
// drawn is where a click acts. Pieces of the skin texture (gui/Skin.h) are
// tinted with the state colours below.
#include <algorithm>
#include <cmath>

#include "gui/Controls.h"
#include "gui/CustomControls.h"
#include "gui/Dialog.h"
#include "gui/Skin.h"

using gui::Color;
using gui::Painter;
using gui::Rect;
namespace skin = gui::skin;

namespace {

// Faces: normal, under the pointer, pressed, disabled.
constexpr Color kFaceNormal = 0xFFB4BED2;
constexpr Color kFaceHover = 0xFFDCE6FA;
constexpr Color kFacePressed = 0xFF8C9CC4;
constexpr Color kFaceDisabled = 0xFF646874;
constexpr Color kBorder = 0xFF283040;
constexpr Color kFocus = 0xFFFFC832;
constexpr Color kFaceText = 0xFF101420;
constexpr Color kDisabledText = 0xFFA0A4AC;
constexpr Color kShadow = 0xC0000000;
constexpr Color kCaptionTint = 0xFF3A4A78;
constexpr Color kCaptionText = 0xFFFFFFFF;
constexpr Color kField = 0xF0F4F6FA;       // list, drop-down and edit ground
constexpr Color kFieldDisabled = 0xF0B4B4B4;
constexpr Color kHighlight = 0xFF3C64B4;
constexpr Color kHighlightText = 0xFFFFFFFF;
constexpr Color kTrack = 0xFF384050;
constexpr Color kTrackFill = 0xFF5A8CDC;
constexpr Color kMark = 0xFF202838;
constexpr Color kStripGround = 0xE0101620;
constexpr Color kBand = 0xFF3CC878;
constexpr Color kBandSelected = 0xFFFFA028;
constexpr Color kPeak = 0xFFFFFFFF;
constexpr Color kThreshold = 0xFFFF4040;
constexpr Color kKey = 0xFF6E7C98;
constexpr Color kKeyCurrent = 0xFFFFC832;
constexpr Color kCursor = 0xFFFF5050;

Color FaceColor(bool enabled, bool pressed, bool hover) {
  if (!enabled) return kFaceDisabled;
  if (pressed) return kFacePressed;
  return hover ? kFaceHover : kFaceNormal;
}

void Frame(Painter& p, const Rect& rc, Color color) {
  if (rc.Empty()) return;
  p.FillRect({rc.left, rc.top, rc.right, rc.top + 1}, color);
  p.FillRect({rc.left, rc.bottom - 1, rc.right, rc.bottom}, color);
  p.FillRect({rc.left, rc.top + 1, rc.left + 1, rc.bottom - 1}, color);
  p.FillRect({rc.right - 1, rc.top + 1, rc.right, rc.bottom - 1}, color);
}

// Text over an unknown ground: a dark shadow one pixel down and right keeps
// it readable on light and dark panels alike.
void ShadowedText(Painter& p, const CDXUTDialog& d, UINT font, std::u16string_view text, const Rect& rc,
                  std::uint32_t format, Color color) {
  if (text.empty()) return;
  p.DrawText(d, font, text, rc.Offset(1, 1), format, kShadow);
  p.DrawText(d, font, text, rc, format, color);
}

// A square as large as fits in rc, centred.
Rect CenteredSquare(const Rect& rc, int inset) {
  const int side = std::max(0, std::min(rc.Width(), rc.Height()) - 2 * inset);
  const int x = rc.left + (rc.Width() - side) / 2, y = rc.top + (rc.Height() - side) / 2;
  return {x, y, x + side, y + side};
}

const CDXUTElement& ElementOr(const std::vector<CDXUTElement>& elements, std::size_t i) {
  static const CDXUTElement kDefault{};
  return i < elements.size() ? elements[i] : kDefault;
}

// A number as text into a fixed buffer (no allocation).
std::u16string_view NumberText(char16_t (&buf)[16], long long v) {
  char16_t tmp[16];
  int n = 0;
  const bool neg = v < 0;
  unsigned long long u = neg ? 0ull - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
  do {
    tmp[n++] = static_cast<char16_t>(u'0' + u % 10);
    u /= 10;
  } while (u && n < 15);
  int k = 0;
  if (neg) buf[k++] = u'-';
  while (n && k < 15) buf[k++] = tmp[--n];
  return {buf, static_cast<std::size_t>(k)};
}

}  // namespace

// ---------------------------------------------------------------------------
// Dialog

UINT CDXUTDialog::GetSkinTexture() const {
  return m_Textures.size() > 1 && !m_Textures[1].empty() ? 1u : 0u;
}

void CDXUTDialog::OnRender(Painter& painter, float fElapsedTime) {
  if (!m_bVisible) return;
  if (!m_bMinimized) {
    const bool any = ((m_colorTopLeft | m_colorTopRight | m_colorBottomLeft | m_colorBottomRight) >> 24) != 0;
    if (any)
      painter.FillGradient(GetBodyRect(), m_colorTopLeft, m_colorTopRight, m_colorBottomLeft, m_colorBottomRight);
  }
  if (m_bCaption) {
    const Rect cap = GetCaptionRect();
    painter.DrawImage(*this, GetSkinTexture(), skin::kCaption, cap, kCaptionTint);
    // The minimize zone: a small box with "-" open, "+" minimized.
    const int mid = cap.top + m_nCaptionHeight / 2;
    const Rect box{cap.left + gui::kMinimizeZoneLeft, mid - 5, cap.left + gui::kMinimizeZoneRight, mid + 5};
    painter.FillRect(box, 0x60000000);
    Frame(painter, box, 0xFFE0E8FF);
    painter.FillRect({box.left + 2, mid - 1, box.right - 2, mid + 1}, 0xFFFFFFFF);
    if (m_bMinimized) painter.FillRect({box.left + 4, box.top + 2, box.right - 4, box.bottom - 2}, 0xFFFFFFFF);
    ShadowedText(painter, *this, 0, m_wszCaption, {box.right + 6, cap.top, cap.right - 4, cap.bottom},
                 gui::DT_LEFT | gui::DT_VCENTER | gui::DT_SINGLELINE, kCaptionText);
  }
  if (m_bMinimized) return;
  // The focused control and an open drop-down go last, over the others.
  auto onTop = [](CDXUTControl* c) {
    return c == s_pControlFocus ||
           (c->GetType() == DXUT_CONTROL_COMBOBOX && static_cast<CDXUTComboBox*>(c)->IsOpened());
  };
  for (CDXUTControl* c : m_Controls)
    if (c->m_bVisible && !onTop(c)) c->Render(painter, fElapsedTime);
  for (CDXUTControl* c : m_Controls)
    if (c->m_bVisible && onTop(c)) c->Render(painter, fElapsedTime);
}

// ---------------------------------------------------------------------------
// Static, button, check box, radio button

void CDXUTStatic::Render(Painter& p, float) {
  if (!m_pDialog) return;
  const CDXUTElement& e = ElementOr(m_Elements, 0);
  const Color color = m_bEnabled ? e.fontColor : kDisabledText;
  ShadowedText(p, *m_pDialog, e.iFont, m_strText, m_pDialog->ControlToWindow(m_rcBoundingBox),
               e.dwTextFormat | gui::DT_SINGLELINE | gui::DT_NOCLIP, color);
}

void CDXUTButton::Render(Painter& p, float) {
  if (!m_pDialog) return;
  const CDXUTDialog& d = *m_pDialog;
  const Rect rc = d.ControlToWindow(m_rcBoundingBox);
  const bool pressed = m_bPressed && m_bMouseOver;
  p.DrawImage(d, d.GetSkinTexture(), pressed ? skin::kFacePressed : skin::kFace, rc,
              FaceColor(m_bEnabled, pressed, m_bMouseOver));
  Frame(p, rc, m_bHasFocus ? kFocus : kBorder);
  const CDXUTElement& e = ElementOr(m_Elements, 0);
  const Rect text = pressed ? rc.Offset(1, 1) : rc;
  p.DrawText(d, e.iFont, m_strText, text.Inflated(-2, 0), e.dwTextFormat | gui::DT_SINGLELINE,
             m_bEnabled ? kFaceText : kDisabledText);
}

void CDXUTCheckBox::Render(Painter& p, float) {
  if (!m_pDialog) return;
  const CDXUTDialog& d = *m_pDialog;
  const Rect box = CenteredSquare(d.ControlToWindow(m_rcButton), 1);
  const bool pressed = m_bPressed && m_bMouseOver;
  p.DrawImage(d, d.GetSkinTexture(), pressed ? skin::kFacePressed : skin::kFace, box,
              FaceColor(m_bEnabled, pressed, m_bMouseOver));
  Frame(p, box, m_bHasFocus ? kFocus : kBorder);
  if (m_bChecked)
    p.DrawImage(d, d.GetSkinTexture(), skin::kCheckMark, box.Inflated(-1, -1), m_bEnabled ? kFaceText : kDisabledText);
  const CDXUTElement& e = ElementOr(m_Elements, 0);
  ShadowedText(p, d, e.iFont, m_strText, d.ControlToWindow(m_rcText),
               e.dwTextFormat | gui::DT_SINGLELINE | gui::DT_NOCLIP, m_bEnabled ? e.fontColor : kDisabledText);
}

void CDXUTRadioButton::Render(Painter& p, float) {
  if (!m_pDialog) return;
  const CDXUTDialog& d = *m_pDialog;
  const Rect box = CenteredSquare(d.ControlToWindow(m_rcButton), 1);
  const bool pressed = m_bPressed && m_bMouseOver;
  p.DrawImage(d, d.GetSkinTexture(), skin::kKnob, box, FaceColor(m_bEnabled, pressed, m_bMouseOver));
  p.DrawImage(d, d.GetSkinTexture(), skin::kRadioRing, box, m_bHasFocus ? kFocus : kBorder);
  if (m_bChecked)
    p.DrawImage(d, d.GetSkinTexture(), skin::kRadioDot, box, m_bEnabled ? kFaceText : kDisabledText);
  const CDXUTElement& e = ElementOr(m_Elements, 0);
  ShadowedText(p, d, e.iFont, m_strText, d.ControlToWindow(m_rcText),
               e.dwTextFormat | gui::DT_SINGLELINE | gui::DT_NOCLIP, m_bEnabled ? e.fontColor : kDisabledText);
}

// ---------------------------------------------------------------------------
// Scroll bar, combo box, slider

void CDXUTScrollBar::Render(Painter& p, float) {
  if (!m_pDialog || m_rcBoundingBox.Empty()) return;
  const CDXUTDialog& d = *m_pDialog;
  const UINT tex = d.GetSkinTexture();
  const bool active = m_bEnabled && m_bShowThumb;
  p.FillRect(d.ControlToWindow(m_rcTrack), 0xFF9CA6BA);
  for (int i = 0; i < 2; ++i) {
    const Rect rc = d.ControlToWindow(i == 0 ? m_rcUpButton : m_rcDownButton);
    p.DrawImage(d, tex, skin::kFace, rc, FaceColor(active, false, false));
    Frame(p, rc, kBorder);
    p.DrawImage(d, tex, i == 0 ? skin::kArrowUp : skin::kArrowDown, CenteredSquare(rc, 3),
                active ? kFaceText : kDisabledText);
  }
  if (m_bShowThumb) {
    const Rect thumb = d.ControlToWindow(m_rcThumb);
    p.DrawImage(d, tex, skin::kFace, thumb, FaceColor(m_bEnabled, m_bDrag, false));
    Frame(p, thumb, kBorder);
  }
}

void CDXUTComboBox::Render(Painter& p, float elapsed) {
  if (!m_pDialog) return;
  const CDXUTDialog& d = *m_pDialog;
  const UINT tex = d.GetSkinTexture();
  const CDXUTElement& e = ElementOr(m_Elements, 0);
  const Rect rc = d.ControlToWindow(m_rcBoundingBox);
  const bool pressed = m_bPressed && m_bMouseOver;
  p.DrawImage(d, tex, skin::kFace, rc, FaceColor(m_bEnabled, false, m_bMouseOver || m_bOpened));
  const Rect button = d.ControlToWindow(m_rcButton);
  p.DrawImage(d, tex, pressed ? skin::kFacePressed : skin::kFace, button, FaceColor(m_bEnabled, pressed, m_bMouseOver));
  p.FillRect({button.left, button.top, button.left + 1, button.bottom}, kBorder);
  p.DrawImage(d, tex, skin::kArrowDown, CenteredSquare(button, 4), m_bEnabled ? kFaceText : kDisabledText);
  Frame(p, rc, m_bHasFocus ? kFocus : kBorder);
  if (m_iSelected >= 0 && m_iSelected < static_cast<int>(m_Items.size()))
    p.DrawText(d, e.iFont, m_Items[static_cast<std::size_t>(m_iSelected)].strText,
               d.ControlToWindow(m_rcText).Inflated(-4, 0), gui::DT_LEFT | gui::DT_VCENTER | gui::DT_SINGLELINE,
               m_bEnabled ? kFaceText : kDisabledText);
  if (!m_bOpened) return;
  const Rect drop = d.ControlToWindow(m_rcDropdown);
  p.FillRect(drop, kField);
  Frame(p, drop, kBorder);
  for (std::size_t i = 0; i < m_Items.size(); ++i) {
    const DXUTComboBoxItem& item = m_Items[i];
    if (!item.bVisible) continue;
    const Rect row = d.ControlToWindow(item.rcActive);
    const bool focused = static_cast<int>(i) == m_iFocused;
    if (focused) p.FillRect(row.Inflated(-1, 0), kHighlight);
    p.DrawText(d, e.iFont, item.strText, row.Inflated(-4, 0), gui::DT_LEFT | gui::DT_VCENTER | gui::DT_SINGLELINE,
               focused ? kHighlightText : kFaceText);
  }
  m_ScrollBar.Render(p, elapsed);
}

void CDXUTSlider::Render(Painter& p, float) {
  if (!m_pDialog) return;
  const CDXUTDialog& d = *m_pDialog;
  const Rect rc = d.ControlToWindow(m_rcBoundingBox);
  const int th = std::max(4, rc.Height() / 4);
  const int top = rc.top + (rc.Height() - th) / 2;
  const Rect track{rc.left, top, rc.right, top + th};
  p.FillRect(track, kTrack);
  const int cx = d.ControlToWindow(m_rcButton).left + m_height / 2;
  if (m_bEnabled) p.FillRect({track.left + 1, track.top + 1, std::clamp(cx, track.left + 1, track.right - 1), track.bottom - 1}, kTrackFill);
  const Rect thumb = CenteredSquare(d.ControlToWindow(m_rcButton), 0);
  p.DrawImage(d, d.GetSkinTexture(), skin::kKnob, thumb, FaceColor(m_bEnabled, m_bPressed, m_bMouseOver));
  p.DrawImage(d, d.GetSkinTexture(), skin::kRadioRing, thumb, m_bHasFocus ? kFocus : kBorder);
}

// ---------------------------------------------------------------------------
// Edit box: one cell per code unit, as the caret and the hit test count them.

void CDXUTEditBox::Render(Painter& p, float) {
  if (!m_pDialog) return;
  const CDXUTDialog& d = *m_pDialog;
  const Color border = m_bHasFocus ? kFocus : (m_bEnabled ? 0xFF5A6478 : 0xFF808080);
  for (int i = 1; i < 9; ++i) p.FillRect(d.ControlToWindow(m_rcRender[i]), border);
  const Rect area = d.ControlToWindow(m_rcText);
  p.FillRect(area, m_bEnabled ? kField : kFieldDisabled);

  const CDXUTElement& e = ElementOr(m_Elements, 0);
  const int cw = GetCharWidth();
  const int first = std::clamp(m_nFirstVisible, 0, GetTextLength());
  const int count = std::min(VisibleChars(), GetTextLength() - first);
  const int x0 = area.left + m_nSpacing;
  const int selA = std::min(m_nCaret, m_nSelStart), selB = std::max(m_nCaret, m_nSelStart);
  const Rect inner = area.Inflated(0, -1);
  if (m_bHasFocus && selA != selB) {
    const int a = std::clamp(selA, first, first + count), b = std::clamp(selB, first, first + count);
    if (b > a) p.FillRect({x0 + (a - first) * cw, inner.top, x0 + (b - first) * cw, inner.bottom}, m_SelBkColor);
  }
  for (int i = 0; i < count; ++i) {
    const int index = first + i;
    const bool selected = m_bHasFocus && index >= selA && index < selB;
    // Centred on its cell; a wide glyph may spill into its neighbours but
    // not out of the text area.
    const int centre = x0 + i * cw + cw / 2;
    const int half = std::max(1, std::min({cw + cw / 2, centre - area.left, area.right - centre}));
    const Rect cell{centre - half, area.top, centre + half, area.bottom};
    p.DrawText(d, e.iFont, std::u16string_view(m_Buffer).substr(static_cast<std::size_t>(index), 1), cell,
               gui::DT_CENTER | gui::DT_VCENTER | gui::DT_SINGLELINE,
               !m_bEnabled ? kDisabledText : selected ? m_SelTextColor : m_TextColor);
  }
  if (m_bHasFocus) {
    const int cx = std::clamp(GetCaretX() + area.left - m_rcText.left, area.left, area.right - 1);
    if (m_bInsertMode)
      p.FillRect({cx, inner.top + 1, std::min(cx + 2, area.right), inner.bottom - 1}, m_CaretColor);
    else
      p.FillRect({cx, inner.top + 1, std::min(cx + cw, area.right), inner.bottom - 1}, (m_CaretColor & 0x00FFFFFF) | 0x80000000);
  }
}

// ---------------------------------------------------------------------------
// List box

void CDXUTListBox::Render(Painter& p, float elapsed) {
  if (!m_pDialog) return;
  const CDXUTDialog& d = *m_pDialog;
  const Rect rc = d.ControlToWindow(m_rcBoundingBox);
  p.FillRect(rc, m_bEnabled ? kField : kFieldDisabled);
  Frame(p, rc, m_bHasFocus ? kFocus : kBorder);
  const CDXUTElement& e = ElementOr(m_Elements, 0);
  const Rect text = d.ControlToWindow(m_rcText);
  for (const DXUTListBoxItem& item : m_Items) {
    if (item.rcActive.Empty()) continue;
    const Rect row = d.ControlToWindow(item.rcActive);
    if (item.bSelected) p.FillRect(row, kHighlight);
    p.DrawText(d, e.iFont, item.strText, {text.left, row.top, text.right, row.bottom},
               gui::DT_LEFT | gui::DT_VCENTER | gui::DT_SINGLELINE,
               !m_bEnabled ? kDisabledText : item.bSelected ? kHighlightText : kFaceText);
  }
  m_ScrollBar.Render(p, elapsed);
}

// ---------------------------------------------------------------------------
// Level, timeline and spectrum: their data, live, on a dark strip.

void CDXUTLevel::Render(Painter& p, float) {
  if (!m_pDialog) return;
  const CDXUTDialog& d = *m_pDialog;
  const Rect rc = d.ControlToWindow(m_rcBoundingBox);
  p.FillRect(rc, kStripGround);
  const Rect in = rc.Inflated(-2, -2);
  const float full = m_fFull > 0.0f ? m_fFull : 1.0f;
  auto xOf = [&](float v) {
    const float t = std::isfinite(v) ? std::clamp(v / full, 0.0f, 1.0f) : 0.0f;
    return in.left + static_cast<int>(std::lround(t * static_cast<float>(in.Width())));
  };
  const bool over = m_fThreshold >= 0.0f && m_fValue > m_fThreshold;
  p.FillRect({in.left, in.top, xOf(m_fValue), in.bottom}, m_bEnabled ? (over ? kBandSelected : kBand) : kDisabledText);
  if (m_fThreshold >= 0.0f) {
    const int x = std::min(xOf(m_fThreshold), in.right - 1);
    p.FillRect({x, rc.top, x + 1, rc.bottom}, kThreshold);
  }
  Frame(p, rc, m_bHasFocus ? kFocus : kBorder);
}

void CDXUTTimeLine::Render(Painter& p, float) {
  if (!m_pDialog) return;
  const CDXUTDialog& d = *m_pDialog;
  const Rect rc = d.ControlToWindow(m_rcBoundingBox);
  p.FillRect(rc, kStripGround);
  // The strip where a click seeks: frame f sits at left + (f - 1) / length.
  const Rect strip = d.ControlToWindow({GetStripLeft(), m_rcBoundingBox.top, GetStripLeft() + GetStripSpan(),
                                        m_rcBoundingBox.bottom});
  const float length = m_fLength > 0.0f && std::isfinite(m_fLength) ? m_fLength : 1.0f;
  auto xOf = [&](float frame) {
    const float t = std::clamp((frame - 1.0f) / length, 0.0f, 1.0f);
    return strip.left + static_cast<int>(std::lround(t * static_cast<float>(strip.Width())));
  };
  const int keyBar = std::max(4, rc.Height() / 4);
  // One cell per key of the object, the current one lit.
  if (m_nKeyCount > 0) {
    const int cells = std::min(m_nKeyCount, std::max(1, (rc.Width() - 4) / 3));
    const int w = rc.Width() - 4;
    for (int k = 0; k < cells; ++k) {
      const int a = rc.left + 2 + k * w / cells, b = rc.left + 2 + (k + 1) * w / cells - 1;
      const bool current = (m_nKeyCount == cells ? k : k * m_nKeyCount / cells) == m_nCurrentKey;
      p.FillRect({a, rc.top + 2, std::max(a + 1, b), rc.top + 2 + keyBar}, current ? kKeyCurrent : kKey);
    }
  }
  // Frame ticks: every frame when there is room, else every 25 (a second).
  const int tickTop = rc.bottom - std::max(3, rc.Height() / 5);
  const int step = strip.Width() >= static_cast<int>(length) * 4 ? 1 : 25;
  int ticks = 0;
  for (int f = 1; f <= static_cast<int>(length) && ticks < 512; f += step, ++ticks) {
    const int x = xOf(static_cast<float>(f));
    p.FillRect({x, (f - 1) % 25 == 0 ? tickTop - 3 : tickTop, x + 1, rc.bottom - 1}, 0xFF8890A8);
  }
  // The current frame, and its number beside it.
  const int x = std::min(xOf(m_fMarker), rc.right - 2);
  p.FillRect({x - 1, rc.top + 1, x + 1, rc.bottom - 1}, kCursor);
  char16_t buf[16];
  const std::u16string_view number = NumberText(buf, std::isfinite(m_fMarker) ? std::lround(m_fMarker) : 0);
  const CDXUTElement& e = ElementOr(m_Elements, 0);
  const bool right = x < rc.left + rc.Width() / 2;
  const Rect label = right ? Rect{x + 4, rc.top + keyBar, rc.right - 2, rc.bottom}
                           : Rect{rc.left + 2, rc.top + keyBar, x - 4, rc.bottom};
  p.DrawText(d, e.iFont, number, label, (right ? gui::DT_LEFT : gui::DT_RIGHT) | gui::DT_VCENTER | gui::DT_SINGLELINE,
             0xFFFFFFFF);
  Frame(p, rc, m_bHasFocus ? kFocus : kBorder);
}

void CDXUTSpectrum::Render(Painter& p, float) {
  if (!m_pDialog) return;
  const CDXUTDialog& d = *m_pDialog;
  const Rect rc = d.ControlToWindow(m_rcBoundingBox);
  p.FillRect(rc, kStripGround);
  // Band b lies where a click selects it: left + b / 64 of the strip.
  const Rect strip = d.ControlToWindow({GetStripLeft(), m_rcBoundingBox.top, GetStripLeft() + GetStripSpan(),
                                        m_rcBoundingBox.bottom});
  const int top = rc.top + 2, bottom = rc.bottom - 2, h = std::max(1, bottom - top);
  auto yOf = [&](float v) {
    const float t = std::isfinite(v) ? std::clamp(v, 0.0f, 1.0f) : 0.0f;
    return bottom - static_cast<int>(std::lround(t * static_cast<float>(h)));
  };
  const int hovered = m_pHovered ? *m_pHovered : -1;
  for (int b = 0; b < kBands; ++b) {
    const int a = strip.left + b * strip.Width() / kBands;
    const int z = std::max(a + 1, strip.left + (b + 1) * strip.Width() / kBands - 1);
    const bool selected = m_pSelected && m_pSelected[b];
    if (selected) p.FillRect({a, top, z, bottom}, 0x50FFA028);
    if (b == hovered) p.FillRect({a, top, z, bottom}, 0x40FFFFFF);
    if (m_pBands) p.FillRect({a, yOf(m_pBands[b]), z, bottom}, selected ? kBandSelected : kBand);
    if (m_pPeaks) {
      const int y = yOf(m_pPeaks[b]);
      p.FillRect({a, std::max(top, y - 1), z, std::max(top, y - 1) + 2}, kPeak);
    }
  }
  const int ty = yOf(m_fThreshold / 255.0f);
  p.FillRect({rc.left + 1, ty, rc.right - 1, ty + 1}, kThreshold);
  Frame(p, rc, m_bHasFocus ? kFocus : kBorder);
}
