#pragma once
// A panel: a rectangle with an optional caption bar holding controls. It
// turns window messages into control events delivered to one callback.
//
// Geometry. (m_x, m_y) is the dialog's top-left corner in window pixels.
// With a caption bar, the bar occupies m_y .. m_y + caption height and the
// controls' coordinates are relative to the point just below it
// (m_x, m_y + caption height); without one they are relative to (m_x, m_y).
// A control at a negative y therefore sits inside the caption bar. The body
// (where controls live) is m_width x m_height below the bar.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gui/GuiTypes.h"
#include "gui/Painter.h"

class CDXUTDialogResourceManager;
class CDXUTStatic;
class CDXUTButton;
class CDXUTCheckBox;
class CDXUTRadioButton;
class CDXUTComboBox;
class CDXUTSlider;
class CDXUTEditBox;
class CDXUTListBox;
class CDXUTScrollBar;
class CDXUTSpectrum;
class CDXUTTimeLine;
class CDXUTLevel;

namespace gui {
inline constexpr std::u16string_view kBuiltinTexture = u"<toolkit>";
inline constexpr int kDefaultCaptionHeight = 18;
// Caption zones, measured from the dialog's left edge.
inline constexpr int kMinimizeZoneLeft = 10;   // x + 10 .. x + 20 toggles minimized
inline constexpr int kMinimizeZoneRight = 20;
inline constexpr int kDragZoneRightMargin = 60;  // the last 60 pixels do not start a drag
}  // namespace gui

struct DXUTFontInfo {
  std::u16string face;
  int height = 0;
  int weight = 0;
};

class CDXUTDialog {
 public:
  CDXUTDialog();
  ~CDXUTDialog();
  CDXUTDialog(const CDXUTDialog&) = delete;
  CDXUTDialog& operator=(const CDXUTDialog&) = delete;

  // Sets texture 0 to the built-in texture and font 0 to "Arial", 14, 400,
  // and registers with the resource manager (when given and asked to).
  void Init(CDXUTDialogResourceManager* pManager, bool bRegisterDialog = true);
  CDXUTDialogResourceManager* GetManager() const { return m_pManager; }

  // Window messages. Returns true when the message was consumed.
  bool MsgProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
  bool MsgProc(UINT uMsg, WPARAM wParam, LPARAM lParam) { return MsgProc(nullptr, uMsg, wParam, lParam); }

  // Control creation. Each returns S_OK, or E_OUTOFMEMORY when allocation
  // fails; the created control is returned through the optional pointer.
  gui::HRESULT AddStatic(int ID, const char16_t* strText, int x, int y, int width, int height,
                         bool bIsDefault = false, CDXUTStatic** ppCreated = nullptr);
  gui::HRESULT AddButton(int ID, const char16_t* strText, int x, int y, int width, int height,
                         UINT nHotkey = 0, bool bIsDefault = false, CDXUTButton** ppCreated = nullptr);
  gui::HRESULT AddCheckBox(int ID, const char16_t* strText, int x, int y, int width, int height,
                           bool bChecked = false, UINT nHotkey = 0, bool bIsDefault = false,
                           CDXUTCheckBox** ppCreated = nullptr);
  gui::HRESULT AddRadioButton(int ID, UINT nButtonGroup, const char16_t* strText, int x, int y, int width,
                              int height, bool bChecked = false, UINT nHotkey = 0, bool bIsDefault = false,
                              CDXUTRadioButton** ppCreated = nullptr);
  gui::HRESULT AddComboBox(int ID, int x, int y, int width, int height, UINT nHotKey = 0,
                           bool bIsDefault = false, CDXUTComboBox** ppCreated = nullptr);
  gui::HRESULT AddSlider(int ID, int x, int y, int width, int height, int min = 0, int max = 100,
                         int value = 50, bool bIsDefault = false, CDXUTSlider** ppCreated = nullptr);
  gui::HRESULT AddEditBox(int ID, const char16_t* strText, int x, int y, int width, int height,
                          bool bIsDefault = false, CDXUTEditBox** ppCreated = nullptr);
  gui::HRESULT AddListBox(int ID, int x, int y, int width, int height, std::uint32_t dwStyle = 0,
                          CDXUTListBox** ppCreated = nullptr);
  gui::HRESULT AddLevel(int ID, float fValue, int x, int y, int width, int height, bool bIsDefault = false,
                        CDXUTLevel** ppCreated = nullptr);
  gui::HRESULT AddSpectrum(int ID, float* pBands, bool* pSelected, std::int32_t* pHovered, int x, int y,
                           int width, int height, bool bIsDefault = false, CDXUTSpectrum** ppCreated = nullptr);
  // The second value is accepted for the panels' sake and ignored.
  gui::HRESULT AddTimeLine(int ID, float fIgnored, int x, int y, int width, int height, bool bIsDefault = false,
                           CDXUTTimeLine** ppCreated = nullptr);
  // Takes ownership of an already created control (also on failure).
  gui::HRESULT AddControl(CDXUTControl* pControl);
  gui::HRESULT InitControl(CDXUTControl* pControl);

  // Lookup. GetControl(ID, type) returns the first control in creation
  // order whose ID and type both match; the typed getters use it.
  CDXUTControl* GetControl(int ID) const;
  CDXUTControl* GetControl(int ID, UINT nControlType) const;
  CDXUTControl* GetControlAtPoint(gui::Point pt) const;  // control coordinates
  CDXUTStatic* GetStatic(int ID) const;
  CDXUTButton* GetButton(int ID) const;
  CDXUTCheckBox* GetCheckBox(int ID) const;
  CDXUTRadioButton* GetRadioButton(int ID) const;
  CDXUTComboBox* GetComboBox(int ID) const;
  CDXUTSlider* GetSlider(int ID) const;
  CDXUTEditBox* GetEditBox(int ID) const;
  CDXUTListBox* GetListBox(int ID) const;
  CDXUTSpectrum* GetSpectrum(int ID) const;
  CDXUTTimeLine* GetTimeLine(int ID) const;
  CDXUTLevel* GetLevel(int ID) const;
  int GetNumControls() const { return static_cast<int>(m_Controls.size()); }
  CDXUTControl* GetControlByIndex(int index) const;

  // Text of the first static, button, check box or radio button with this
  // ID (statics keep at most 259 code units). E_FAIL when there is none.
  gui::HRESULT SetControlText(int ID, const char16_t* strText);
  bool GetControlEnabled(int ID) const;
  void SetControlEnabled(int ID, bool bEnabled);
  void ClearRadioButtonGroup(UINT nGroup);
  void ClearComboBox(int ID);

  void RemoveControl(int ID);  // every control with this ID
  void RemoveAllControls();

  // Events: nothing without a callback; an event the user did not trigger
  // is dropped unless non-user events are enabled.
  void SetCallback(PCALLBACKDXUTGUIEVENT pCallback, void* pUserContext = nullptr);
  void SendEvent(UINT nEvent, bool bTriggeredByUser, CDXUTControl* pControl);
  void EnableNonUserEvents(bool bEnable) { m_bNonUserEvents = bEnable; }
  void EnableKeyboardInput(bool bEnable) { m_bKeyboardInput = bEnable; }
  void EnableMouseInput(bool bEnable) { m_bMouseInput = bEnable; }
  bool IsKeyboardInputEnabled() const { return m_bKeyboardInput; }

  // Focus: one focused control for all dialogs.
  void RequestFocus(CDXUTControl* pControl);
  static void ClearFocus();
  static CDXUTControl* GetFocusedControl();
  void FocusDefaultControl();

  // Appearance and layout.
  void SetBackgroundColors(gui::Color colorAllCorners);
  void SetBackgroundColors(gui::Color topLeft, gui::Color topRight, gui::Color bottomLeft, gui::Color bottomRight);
  gui::Color GetBackgroundColor(int corner) const;  // 0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right
  gui::HRESULT SetTexture(UINT index, const char16_t* strFilename);
  const std::u16string* GetTexture(UINT index) const;
  gui::HRESULT SetFont(UINT index, const char16_t* strFaceName, int height, int weight);
  const DXUTFontInfo* GetFont(UINT index) const;
  // Height of font 0 (14 when unset): the line height of list and combo items.
  int GetLineHeight() const;
  void EnableCaption(bool bEnable) { m_bCaption = bEnable; }
  bool HasCaption() const { return m_bCaption; }
  void SetCaptionText(const char16_t* pwszText);
  const std::u16string& GetCaptionText() const { return m_wszCaption; }
  int GetCaptionHeight() const { return m_nCaptionHeight; }
  void SetCaptionHeight(int nHeight) { m_nCaptionHeight = nHeight; }
  void SetVisible(bool bVisible) { m_bVisible = bVisible; }
  bool GetVisible() const { return m_bVisible; }
  bool GetDragging() const { return m_bDrag; }
  void SetSize(int width, int height) { m_width = width, m_height = height; }
  int GetWidth() const { return m_width; }
  int GetHeight() const { return m_height; }
  gui::Point GetLocation() const { return {m_x, m_y}; }

  // The manager base persists these.
  int GetX() const { return m_x; }
  int GetY() const { return m_y; }
  void SetLocation(int x, int y) { m_x = x, m_y = y; }
  bool GetMinimized() const { return m_bMinimized; }
  void SetMinimized(bool minimized) { m_bMinimized = minimized; }

  // Geometry in window pixels, for a renderer and for tests.
  gui::Rect GetCaptionRect() const;  // empty without a caption bar
  gui::Rect GetBodyRect() const;     // where the controls live
  gui::Point GetControlOrigin() const;
  gui::Point WindowToControl(gui::Point windowPt) const;
  gui::Rect ControlToWindow(const gui::Rect& rc) const;

  void Refresh();
  // Draws the dialog back to front: background, caption bar and, unless
  // minimized, its visible controls, the focused one last (an open combo
  // list lies over its neighbours). An invisible dialog draws nothing.
  void OnRender(gui::Painter& painter, float fElapsedTime);
  // The texture the controls take their look from: 1 when the panel set
  // one, else the built-in 0.
  UINT GetSkinTexture() const;

  // Public fields, as the panels set them directly.
  bool m_bNonUserEvents = false;
  bool m_bKeyboardInput = false;
  bool m_bMouseInput = true;
  bool m_bCaption = false;
  int m_x = 0;
  int m_y = 0;
  int m_width = 0;
  int m_height = 0;

 private:
  friend class CDXUTControl;
  friend class CDXUTDialogResourceManager;

  bool m_bVisible = true;
  bool m_bMinimized = false;
  bool m_bDrag = false;
  std::u16string m_wszCaption;
  int m_nCaptionHeight = gui::kDefaultCaptionHeight;
  gui::Color m_colorTopLeft = 0;
  gui::Color m_colorTopRight = 0;
  gui::Color m_colorBottomLeft = 0;
  gui::Color m_colorBottomRight = 0;
  std::vector<std::u16string> m_Textures;
  std::vector<DXUTFontInfo> m_Fonts;
  std::vector<CDXUTControl*> m_Controls;  // owned, creation order
  PCALLBACKDXUTGUIEVENT m_pCallbackEvent = nullptr;
  void* m_pCallbackEventUserContext = nullptr;

  CDXUTDialogResourceManager* m_pManager = nullptr;
  CDXUTControl* m_pControlMouseOver = nullptr;
  // Controls removed while a message is being dispatched stay alive until
  // the dispatch ends, so a callback may rebuild the panel safely.
  int m_nDispatchDepth = 0;
  std::vector<CDXUTControl*> m_Graveyard;

  template <class T>
  gui::HRESULT AddNew(T** ppCreated, T*& out);
  bool HandleCaption(UINT uMsg, gui::Point windowPt);
  bool HandleKeyboardMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
  bool HandleMouseMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, gui::Point windowPt);
  void OnMouseMove(CDXUTControl* pUnder);
  void OnCycleFocus(bool bForward);
  void DisposeControl(CDXUTControl* pControl);
  void FlushGraveyard();
  void ForgetControl(CDXUTControl* pControl);

  static CDXUTControl* s_pControlFocus;
};
