#pragma once
// The standard controls. Each keeps its state, handles its input and keeps
// its geometry (bounding box and the rectangles of its parts) up to date in
// control coordinates (see Dialog.h), so a renderer can draw it later
// without touching the input logic.
//
// Mouse handlers receive the pointer in control coordinates. Keyboard
// handlers receive WM_KEYDOWN/WM_KEYUP; the edit box also takes WM_CHAR
// through MsgProc, with the control codes Windows produces: 0x08 Backspace,
// 0x0D Enter, 0x01 Ctrl+A, 0x03 Ctrl+C, 0x16 Ctrl+V, 0x18 Ctrl+X.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gui/Dialog.h"
#include "gui/GuiTypes.h"
#include "gui/Painter.h"

class CDXUTControl {
 public:
  explicit CDXUTControl(CDXUTDialog* pDialog = nullptr);
  virtual ~CDXUTControl();
  CDXUTControl(const CDXUTControl&) = delete;
  CDXUTControl& operator=(const CDXUTControl&) = delete;

  virtual gui::HRESULT OnInit() { return gui::S_OK; }
  virtual void Refresh();
  // Draws the control in its current state (window pixels via the dialog).
  virtual void Render(gui::Painter& painter, float fElapsedTime) {}
  virtual bool MsgProc(UINT uMsg, WPARAM wParam, LPARAM lParam) { return false; }
  virtual bool HandleKeyboard(UINT uMsg, WPARAM wParam, LPARAM lParam) { return false; }
  virtual bool HandleMouse(UINT uMsg, gui::Point pt, WPARAM wParam, LPARAM lParam) { return false; }
  virtual bool CanHaveFocus() { return false; }
  virtual void OnFocusIn() { m_bHasFocus = true; }
  virtual void OnFocusOut() { m_bHasFocus = false; }
  virtual void OnMouseEnter() { m_bMouseOver = true; }
  virtual void OnMouseLeave() { m_bMouseOver = false; }
  virtual void OnHotkey() {}
  virtual bool ContainsPoint(gui::Point pt) { return m_rcBoundingBox.Contains(pt); }
  virtual void SetEnabled(bool bEnabled);  // disabling or hiding gives the focus up
  virtual bool GetEnabled() { return m_bEnabled; }
  virtual void SetVisible(bool bVisible);
  virtual bool GetVisible() { return m_bVisible; }
  virtual void SetTextColor(gui::Color color);
  virtual void UpdateRects();

  UINT GetType() const { return m_Type; }
  int GetID() const { return m_ID; }
  void SetID(int ID) { m_ID = ID; }
  void SetLocation(int x, int y);
  void SetSize(int width, int height);
  int GetX() const { return m_x; }
  int GetY() const { return m_y; }
  int GetWidth() const { return m_width; }
  int GetHeight() const { return m_height; }
  void SetHotkey(UINT nHotkey) { m_nHotkey = nHotkey; }
  UINT GetHotkey() const { return m_nHotkey; }
  void SetUserData(void* pUserData) { m_pUserData = pUserData; }
  void* GetUserData() const { return m_pUserData; }
  CDXUTDialog* GetDialog() const { return m_pDialog; }
  bool HasFocus() const { return m_bHasFocus; }
  bool IsMouseOver() const { return m_bMouseOver; }
  const gui::Rect& GetBoundingBox() const { return m_rcBoundingBox; }
  CDXUTElement* GetElement(UINT index);
  void SetElement(UINT index, const CDXUTElement& element);
  UINT GetNumElements() const { return static_cast<UINT>(m_Elements.size()); }

  bool m_bVisible = true;
  bool m_bMouseOver = false;
  bool m_bHasFocus = false;
  bool m_bIsDefault = false;
  int m_x = 0;
  int m_y = 0;
  int m_width = 0;
  int m_height = 0;
  CDXUTDialog* m_pDialog = nullptr;
  UINT m_Index = 0;
  std::vector<CDXUTElement> m_Elements;

 protected:
  // Shared helpers of the controls.
  void SendEvent(UINT nEvent, bool bTriggeredByUser);
  bool DialogTakesKeyboard() const { return m_pDialog && m_pDialog->m_bKeyboardInput; }
  void RequestFocusFromDialog();
  void ReleaseFocusUnlessKeyboard();  // a released press clears the focus without keyboard input
  void SetElementCount(UINT n);

  int m_ID = 0;
  UINT m_Type = DXUT_CONTROL_BUTTON;
  UINT m_nHotkey = 0;
  void* m_pUserData = nullptr;
  bool m_bEnabled = true;
  gui::Rect m_rcBoundingBox{};
};

class CDXUTStatic : public CDXUTControl {
 public:
  explicit CDXUTStatic(CDXUTDialog* pDialog = nullptr);
  void Render(gui::Painter& painter, float fElapsedTime) override;

  bool ContainsPoint(gui::Point pt) override { return false; }  // statics take no input

  // Keeps at most 259 code units.
  gui::HRESULT SetText(const char16_t* strText);
  gui::HRESULT SetText(std::u16string_view strText);
  const char16_t* GetText() const { return m_strText.c_str(); }
  const std::u16string& GetTextString() const { return m_strText; }
  // Copies into a buffer of bufferCount units, always terminated.
  gui::HRESULT GetTextCopy(char16_t* strDest, UINT bufferCount) const;

 protected:
  std::u16string m_strText;
};

class CDXUTButton : public CDXUTStatic {
 public:
  explicit CDXUTButton(CDXUTDialog* pDialog = nullptr);
  void Render(gui::Painter& painter, float fElapsedTime) override;

  bool MsgProc(UINT uMsg, WPARAM wParam, LPARAM lParam) override;  // capture loss ends a press
  bool HandleKeyboard(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  bool HandleMouse(UINT uMsg, gui::Point pt, WPARAM wParam, LPARAM lParam) override;
  void OnHotkey() override;
  bool ContainsPoint(gui::Point pt) override { return m_rcBoundingBox.Contains(pt); }
  bool CanHaveFocus() override { return m_bVisible && m_bEnabled; }

  bool IsPressed() const { return m_bPressed; }

 protected:
  // The action of a completed click, Space or hotkey; buttons send 0x0101.
  virtual void OnClicked();
  bool m_bPressed = false;
};

class CDXUTCheckBox : public CDXUTButton {
 public:
  explicit CDXUTCheckBox(CDXUTDialog* pDialog = nullptr);
  void Render(gui::Painter& painter, float fElapsedTime) override;

  bool ContainsPoint(gui::Point pt) override;
  void UpdateRects() override;

  bool GetChecked() const { return m_bChecked; }
  // Programmatic change: sends 0x0401 as a non-user event.
  void SetChecked(bool bChecked) { SetCheckedInternal(bChecked, false); }

  const gui::Rect& GetButtonRect() const { return m_rcButton; }
  const gui::Rect& GetTextRect() const { return m_rcText; }

 protected:
  friend class CDXUTDialog;  // clears radio groups without events
  virtual void SetCheckedInternal(bool bChecked, bool bFromInput);
  void OnClicked() override;

  bool m_bChecked = false;
  gui::Rect m_rcButton{};
  gui::Rect m_rcText{};
};

class CDXUTRadioButton : public CDXUTCheckBox {
 public:
  explicit CDXUTRadioButton(CDXUTDialog* pDialog = nullptr);
  void Render(gui::Painter& painter, float fElapsedTime) override;

  // Programmatic change (non-user event); clears the rest of the group first
  // when asked.
  void SetChecked(bool bChecked, bool bClearGroup = true) { SetCheckedInternal(bChecked, bClearGroup, false); }
  void SetButtonGroup(UINT nButtonGroup) { m_nButtonGroup = nButtonGroup; }
  UINT GetButtonGroup() const { return m_nButtonGroup; }

 protected:
  virtual void SetCheckedInternal(bool bChecked, bool bClearGroup, bool bFromInput);
  void SetCheckedInternal(bool bChecked, bool bFromInput) override { SetCheckedInternal(bChecked, true, bFromInput); }
  void OnClicked() override;

  UINT m_nButtonGroup = 0;
};

class CDXUTScrollBar : public CDXUTControl {
 public:
  explicit CDXUTScrollBar(CDXUTDialog* pDialog = nullptr);
  void Render(gui::Painter& painter, float fElapsedTime) override;

  bool MsgProc(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  bool HandleMouse(UINT uMsg, gui::Point pt, WPARAM wParam, LPARAM lParam) override;
  void UpdateRects() override;

  void SetTrackRange(int nStart, int nEnd);
  int GetTrackPos() const { return m_nPosition; }
  void SetTrackPos(int nPosition);
  int GetPageSize() const { return m_nPageSize; }
  void SetPageSize(int nPageSize);
  int GetTrackStart() const { return m_nStart; }
  int GetTrackEnd() const { return m_nEnd; }
  void Scroll(int nDelta);     // by items
  void ShowItem(int nIndex);   // scrolls so that the item is in the page

  const gui::Rect& GetUpButtonRect() const { return m_rcUpButton; }
  const gui::Rect& GetDownButtonRect() const { return m_rcDownButton; }
  const gui::Rect& GetTrackRect() const { return m_rcTrack; }
  const gui::Rect& GetThumbRect() const { return m_rcThumb; }
  bool IsThumbShown() const { return m_bShowThumb; }

 protected:
  void Cap();
  void UpdateThumbRect();

  bool m_bShowThumb = true;
  bool m_bDrag = false;     // the thumb is being dragged
  bool m_bPressed = false;  // an arrow or the track was pressed
  gui::Rect m_rcUpButton{};
  gui::Rect m_rcDownButton{};
  gui::Rect m_rcTrack{};
  gui::Rect m_rcThumb{};
  int m_nPosition = 0;  // first item shown
  int m_nPageSize = 1;
  int m_nStart = 0;     // first item
  int m_nEnd = 1;       // one past the last item
  int m_nThumbOffsetY = 0;
};

struct DXUTComboBoxItem {
  std::u16string strText;  // at most 255 code units
  void* pData = nullptr;
  gui::Rect rcActive{};    // in the drop-down, control coordinates
  bool bVisible = false;   // inside the drop-down's visible page
};

class CDXUTComboBox : public CDXUTButton {
 public:
  explicit CDXUTComboBox(CDXUTDialog* pDialog = nullptr);
  void Render(gui::Painter& painter, float fElapsedTime) override;
  ~CDXUTComboBox() override;

  gui::HRESULT OnInit() override;
  bool MsgProc(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  bool HandleKeyboard(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  bool HandleMouse(UINT uMsg, gui::Point pt, WPARAM wParam, LPARAM lParam) override;
  void OnHotkey() override;
  bool CanHaveFocus() override { return m_bVisible && m_bEnabled; }
  void OnFocusOut() override;
  bool ContainsPoint(gui::Point pt) override;
  void UpdateRects() override;

  gui::HRESULT AddItem(const char16_t* strText, void* pData);
  void RemoveAllItems();
  void RemoveItem(UINT index);
  bool ContainsItem(const char16_t* strText, UINT iStart = 0) const;
  int FindItem(const char16_t* strText, UINT iStart = 0) const;
  void* GetItemData(const char16_t* strText) const;
  void* GetItemData(int nIndex) const;
  void SetDropHeight(UINT nHeight);
  int GetDropHeight() const { return m_nDropHeight; }
  int GetScrollBarWidth() const { return m_nSBWidth; }
  void SetScrollBarWidth(int nWidth);

  int GetSelectedIndex() const { return m_iSelected; }
  void* GetSelectedData() const;
  DXUTComboBoxItem* GetSelectedItem();
  UINT GetNumItems() const { return static_cast<UINT>(m_Items.size()); }
  DXUTComboBoxItem* GetItem(UINT index);
  const DXUTComboBoxItem* GetItem(UINT index) const;

  // Programmatic selection: no event. E_INVALIDARG / E_FAIL when refused.
  gui::HRESULT SetSelectedByIndex(UINT index);
  gui::HRESULT SetSelectedByText(const char16_t* strText);
  gui::HRESULT SetSelectedByData(void* pData);

  bool IsOpened() const { return m_bOpened; }
  int GetFocusedIndex() const { return m_iFocused; }
  CDXUTScrollBar& GetScrollBar() { return m_ScrollBar; }
  const gui::Rect& GetTextRect() const { return m_rcText; }
  const gui::Rect& GetButtonRect() const { return m_rcButton; }
  const gui::Rect& GetDropdownRect() const { return m_rcDropdown; }
  const gui::Rect& GetDropdownTextRect() const { return m_rcDropdownText; }

 protected:
  void LayoutItems();
  void SelectFocused(bool bAlwaysSend);
  void Close();

  int m_iSelected = -1;
  int m_iFocused = -1;
  int m_nDropHeight = 100;
  CDXUTScrollBar m_ScrollBar;
  int m_nSBWidth = 16;
  bool m_bOpened = false;
  gui::Rect m_rcText{};
  gui::Rect m_rcButton{};
  gui::Rect m_rcDropdown{};
  gui::Rect m_rcDropdownText{};
  std::vector<DXUTComboBoxItem> m_Items;
};

class CDXUTSlider : public CDXUTControl {
 public:
  explicit CDXUTSlider(CDXUTDialog* pDialog = nullptr);
  void Render(gui::Painter& painter, float fElapsedTime) override;

  bool ContainsPoint(gui::Point pt) override;
  bool CanHaveFocus() override { return m_bVisible && m_bEnabled; }
  bool MsgProc(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  bool HandleMouse(UINT uMsg, gui::Point pt, WPARAM wParam, LPARAM lParam) override;
  void UpdateRects() override;

  // Clamped to the range; no event.
  void SetValue(int nValue) { SetValueInternal(nValue, false); }
  int GetValue() const { return m_nValue; }
  void GetRange(int& nMin, int& nMax) const { nMin = m_nMin, nMax = m_nMax; }
  // A reversed range is put in order; the value is clamped into it.
  void SetRange(int nMin, int nMax);

  bool IsPressed() const { return m_bPressed; }
  const gui::Rect& GetThumbRect() const { return m_rcButton; }

 protected:
  void SetValueInternal(int nValue, bool bFromInput);
  int ValueFromPos(int x) const;
  int PosFromValue(int value) const;

  int m_nValue = 50;
  int m_nMin = 0;
  int m_nMax = 100;
  int m_nDragOffset = 0;  // pointer x minus thumb centre while dragging
  int m_nButtonX = 0;     // thumb centre, control coordinates
  bool m_bPressed = false;
  gui::Rect m_rcButton{};
};

// Caret positions count UTF-16 code units. With no text shaping available,
// every code unit advances by the same width: half the font height, rounded
// up (7 pixels for the default 14-pixel font).
class CDXUTEditBox : public CDXUTControl {
 public:
  explicit CDXUTEditBox(CDXUTDialog* pDialog = nullptr);
  void Render(gui::Painter& painter, float fElapsedTime) override;

  bool HandleKeyboard(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  bool HandleMouse(UINT uMsg, gui::Point pt, WPARAM wParam, LPARAM lParam) override;
  bool MsgProc(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  void UpdateRects() override;
  bool CanHaveFocus() override { return m_bVisible && m_bEnabled; }
  void OnFocusIn() override;

  // No event. The caret goes to the end; bSelected selects the whole text.
  void SetText(const char16_t* wszText, bool bSelected = false);
  void SetText(std::u16string_view wszText, bool bSelected = false);
  const char16_t* GetText() const { return m_Buffer.c_str(); }
  const std::u16string& GetTextString() const { return m_Buffer; }
  int GetTextLength() const { return static_cast<int>(m_Buffer.size()); }
  gui::HRESULT GetTextCopy(char16_t* strDest, UINT bufferCount) const;
  void ClearText();  // no event
  void SetBorderWidth(int nBorder);
  int GetBorderWidth() const { return m_nBorder; }
  void SetSpacing(int nSpacing);
  int GetSpacing() const { return m_nSpacing; }
  void SetTextColor(gui::Color color) override { m_TextColor = color; }
  void SetSelectedTextColor(gui::Color color) { m_SelTextColor = color; }
  void SetSelectedBackColor(gui::Color color) { m_SelBkColor = color; }
  void SetCaretColor(gui::Color color) { m_CaretColor = color; }

  int GetCaret() const { return m_nCaret; }
  int GetSelStart() const { return m_nSelStart; }
  int GetFirstVisible() const { return m_nFirstVisible; }
  bool GetInsertMode() const { return m_bInsertMode; }
  // Character advance of the fixed metric, in pixels.
  int GetCharWidth() const;
  // The caret's x in control coordinates.
  int GetCaretX() const;
  const gui::Rect& GetTextRect() const { return m_rcText; }
  // 0: text area; 1..8: border pieces (top-left, top, top-right, left,
  // right, bottom-left, bottom, bottom-right).
  const gui::Rect& GetRenderRect(int i) const { return m_rcRender[i]; }

 protected:
  void PlaceCaret(int nCP);
  void DeleteSelectionText();
  void CopyToClipboard();
  void PasteFromClipboard();
  int CaretFromPoint(int x) const;
  int VisibleChars() const;
  bool InsertText(int at, std::u16string_view text);  // false when the text is full

  std::u16string m_Buffer;
  int m_nBorder = 5;
  int m_nSpacing = 4;
  gui::Rect m_rcText{};
  gui::Rect m_rcRender[9]{};
  bool m_bCaretOn = true;
  int m_nCaret = 0;
  bool m_bInsertMode = true;
  int m_nSelStart = 0;
  int m_nFirstVisible = 0;
  gui::Color m_TextColor = 0xFF101010;
  gui::Color m_SelTextColor = 0xFFFFFFFF;
  gui::Color m_SelBkColor = 0xFF282850;
  gui::Color m_CaretColor = 0xFF000000;
  bool m_bMouseDrag = false;
};

struct DXUTListBoxItem {
  std::u16string strText;  // at most 255 code units
  void* pData = nullptr;
  gui::Rect rcActive{};    // control coordinates; empty when scrolled out
  bool bSelected = false;
};

class CDXUTListBox : public CDXUTControl {
 public:
  explicit CDXUTListBox(CDXUTDialog* pDialog = nullptr);
  void Render(gui::Painter& painter, float fElapsedTime) override;
  ~CDXUTListBox() override;

  gui::HRESULT OnInit() override;
  bool CanHaveFocus() override { return m_bVisible && m_bEnabled; }
  bool MsgProc(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  bool HandleKeyboard(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  bool HandleMouse(UINT uMsg, gui::Point pt, WPARAM wParam, LPARAM lParam) override;
  void UpdateRects() override;

  std::uint32_t GetStyle() const { return m_dwStyle; }
  void SetStyle(std::uint32_t dwStyle);
  int GetSize() const { return static_cast<int>(m_Items.size()); }
  int GetScrollBarWidth() const { return m_nSBWidth; }
  void SetScrollBarWidth(int nWidth);
  void SetBorder(int nBorder, int nMargin);
  int GetTextHeight() const { return m_nTextHeight; }

  gui::HRESULT AddItem(const char16_t* wszText, void* pData);
  // Index 0 .. size; E_INVALIDARG otherwise.
  gui::HRESULT InsertItem(int nIndex, const char16_t* wszText, void* pData);
  void RemoveItem(int nIndex);  // ignored when out of range
  void RemoveItemByData(void* pData);
  void RemoveAllItems();

  DXUTListBoxItem* GetItem(int nIndex);  // none when out of range
  const DXUTListBoxItem* GetItem(int nIndex) const;
  // With multi-selection: the next selected index after nPreviousSelected
  // (-1 starts from the top), or -1. Otherwise the single selection.
  int GetSelectedIndex(int nPreviousSelected = -1) const;
  DXUTListBoxItem* GetSelectedItem(int nPreviousSelected = -1);
  // Makes the item (clamped into the list) the selection, as a click would,
  // and sends 0x0702 as a user event. Nothing happens on an empty list.
  void SelectItem(int nNewIndex);

  CDXUTScrollBar& GetScrollBar() { return m_ScrollBar; }
  const gui::Rect& GetSelectionRect() const { return m_rcSelection; }
  const gui::Rect& GetTextRect() const { return m_rcText; }
  int GetItemsPerPage() const;

 protected:
  int ItemAtPoint(gui::Point pt) const;  // -1 when none
  void LayoutItems();
  void SelectRange(int from, int to, bool bClearOthers);
  void SelectSingle(int index);

  gui::Rect m_rcText{};
  gui::Rect m_rcSelection{};
  CDXUTScrollBar m_ScrollBar;
  int m_nSBWidth = 16;
  int m_nBorder = 6;
  int m_nMargin = 5;
  int m_nTextHeight = 14;
  std::uint32_t m_dwStyle = 0;
  int m_nSelected = -1;  // single selection, or the caret item with multi-selection
  int m_nSelStart = -1;  // anchor of Shift selections
  bool m_bDrag = false;
  std::vector<DXUTListBoxItem> m_Items;
};
