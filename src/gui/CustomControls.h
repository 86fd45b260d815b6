#pragma once
// The timeline, spectrum and level controls of the animation and sound
// panels. They share one mouse behaviour: they remember the last pointer
// position given to them, send 0x0101 when the left button is released over
// them after going down on them, and 0x0102 for each pointer move over them
// (never consuming the move).
//
// The last pointer position is kept in the coordinates the dialog hands to
// its controls (control coordinates, Dialog.h): the panels turn it into a
// band or a frame with formulas written against the dialog's own layout.
#include <cstdint>

#include "gui/Controls.h"

class CDXUTPointerButton : public CDXUTButton {
 public:
  explicit CDXUTPointerButton(CDXUTDialog* pDialog = nullptr) : CDXUTButton(pDialog) {}

  // Only the mouse handling differs from a button's; Space and a hotkey
  // click them as they click a button.
  bool HandleMouse(UINT uMsg, gui::Point pt, WPARAM wParam, LPARAM lParam) override;

  int GetLastX() const { return m_nLastX; }
  // Where the panel's pointer formula puts its strip: from `left` (control
  // coordinates of the dialog) over `span` pixels. Drawn data lines up with
  // what a click there means. Unset, the strip is the control's own box.
  void SetStrip(int left, int span) { m_nStripLeft = left, m_nStripSpan = span; }
  int GetStripLeft() const { return m_nStripSpan > 0 ? m_nStripLeft : m_x; }
  int GetStripSpan() const { return m_nStripSpan > 0 ? m_nStripSpan : m_width; }
  int GetLastY() const { return m_nLastY; }
  bool IsPressed() const { return m_bPressed; }

  std::int32_t m_nLastX = 0;
  std::int32_t m_nLastY = 0;

 protected:
  int m_nStripLeft = 0;
  int m_nStripSpan = 0;
};

class CDXUTLevel : public CDXUTPointerButton {
 public:
  explicit CDXUTLevel(CDXUTDialog* pDialog = nullptr);
  void Render(gui::Painter& painter, float fElapsedTime) override;

  void SetValue(float fValue) { m_fValue = fValue; }
  float GetValue() const { return m_fValue; }
  // The scale drawn across the strip, and a threshold mark on it (shown
  // only when not negative); both in the value's unit.
  void SetScale(float fFull) { m_fFull = fFull; }
  void SetThreshold(float fThreshold) { m_fThreshold = fThreshold; }

  float m_fValue = 0.0f;
  float m_fFull = 1000.0f;
  float m_fThreshold = -1.0f;
};

class CDXUTTimeLine : public CDXUTPointerButton {
 public:
  explicit CDXUTTimeLine(CDXUTDialog* pDialog = nullptr);
  void Render(gui::Painter& painter, float fElapsedTime) override;
  // The keys of the object the timeline belongs to, shown above the strip.
  void SetKeys(int nCount, int nCurrent) { m_nKeyCount = nCount, m_nCurrentKey = nCurrent; }
  int GetKeyCount() const { return m_nKeyCount; }
  int GetCurrentKey() const { return m_nCurrentKey; }

  void SetMarker(float fMarker) { m_fMarker = fMarker; }
  float GetMarker() const { return m_fMarker; }
  void SetLength(float fLength) { m_fLength = fLength; }
  float GetLength() const { return m_fLength; }

  float m_fMarker = 0.0f;   // position within the strip, in frames
  float m_fLength = 64.0f;  // length of the strip, in frames
  int m_nKeyCount = 0;
  int m_nCurrentKey = -1;
};

class CDXUTSpectrum : public CDXUTPointerButton {
 public:
  static constexpr int kBands = 64;

  explicit CDXUTSpectrum(CDXUTDialog* pDialog = nullptr);
  void Render(gui::Painter& painter, float fElapsedTime) override;

  // Non-owning: the arrays (64 entries each) belong to the sound manager.
  void SetData(float* pBands, bool* pSelected, std::int32_t* pHovered);
  void SetPeaks(float* pPeaks) { m_pPeaks = pPeaks; }
  void SetThreshold(float fThreshold) { m_fThreshold = fThreshold; }

  float* m_pPeaks = nullptr;
  float m_fThreshold = 0.0f;
  float* m_pBands = nullptr;
  bool* m_pSelected = nullptr;
  std::int32_t* m_pHovered = nullptr;
};
