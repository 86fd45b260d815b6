#include "gui/Dialog.h"

#include <algorithm>
#include <limits>
#include <new>

#include "gui/Controls.h"
#include "gui/CustomControls.h"
#include "gui/DialogResourceManager.h"

using gui::HRESULT;
using gui::Point;
using gui::Rect;

CDXUTControl* CDXUTDialog::s_pControlFocus = nullptr;

namespace {

bool IsMouseMessage(UINT uMsg) {
  switch (uMsg) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
    case WM_MOUSEWHEEL:
      return true;
    default:
      return false;
  }
}

bool IsKeyboardMessage(UINT uMsg) {
  return uMsg == WM_KEYDOWN || uMsg == WM_KEYUP || uMsg == WM_SYSKEYDOWN || uMsg == WM_SYSKEYUP;
}

constexpr UINT kMaxResourceIndex = 64;

// Positions come from slide files and may be anything: geometry is worked
// out in 64 bits and brought back into range.
int Saturate(long long v) {
  return static_cast<int>(std::clamp<long long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

}  // namespace

CDXUTDialog::CDXUTDialog() = default;

CDXUTDialog::~CDXUTDialog() {
  m_nDispatchDepth = 0;
  RemoveAllControls();
  FlushGraveyard();
  if (m_pManager) m_pManager->UnregisterDialog(this);
}

void CDXUTDialog::Init(CDXUTDialogResourceManager* pManager, bool bRegisterDialog) {
  if (m_pManager && m_pManager != pManager) m_pManager->UnregisterDialog(this);
  m_pManager = pManager;
  if (pManager && bRegisterDialog) pManager->RegisterDialog(this);
  SetTexture(0, gui::kBuiltinTexture.data());
  SetFont(0, u"Arial", 14, 400);
}

// ---------------------------------------------------------------------------
// Control creation

HRESULT CDXUTDialog::InitControl(CDXUTControl* pControl) {
  if (!pControl) return gui::E_INVALIDARG;
  pControl->m_Index = static_cast<UINT>(m_Controls.size());
  pControl->m_pDialog = this;
  return pControl->OnInit();
}

HRESULT CDXUTDialog::AddControl(CDXUTControl* pControl) {
  if (!pControl) return gui::E_INVALIDARG;
  HRESULT hr = InitControl(pControl);
  if (gui::Failed(hr)) {
    delete pControl;
    return hr;
  }
  try {
    m_Controls.push_back(pControl);
  } catch (const std::bad_alloc&) {
    delete pControl;
    return gui::E_OUTOFMEMORY;
  }
  return gui::S_OK;
}

template <class T>
HRESULT CDXUTDialog::AddNew(T** ppCreated, T*& out) {
  out = nullptr;
  if (ppCreated) *ppCreated = nullptr;
  T* p = nullptr;
  try {
    p = new T(this);
  } catch (const std::bad_alloc&) {
    return gui::E_OUTOFMEMORY;
  }
  HRESULT hr = AddControl(p);
  if (gui::Failed(hr)) return hr;
  out = p;
  if (ppCreated) *ppCreated = p;
  return gui::S_OK;
}

HRESULT CDXUTDialog::AddStatic(int ID, const char16_t* strText, int x, int y, int width, int height,
                               bool bIsDefault, CDXUTStatic** ppCreated) {
  CDXUTStatic* p;
  HRESULT hr = AddNew(ppCreated, p);
  if (gui::Failed(hr)) return hr;
  p->SetID(ID);
  p->SetText(strText);
  p->SetLocation(x, y);
  p->SetSize(width, height);
  p->m_bIsDefault = bIsDefault;
  return gui::S_OK;
}

HRESULT CDXUTDialog::AddButton(int ID, const char16_t* strText, int x, int y, int width, int height,
                               UINT nHotkey, bool bIsDefault, CDXUTButton** ppCreated) {
  CDXUTButton* p;
  HRESULT hr = AddNew(ppCreated, p);
  if (gui::Failed(hr)) return hr;
  p->SetID(ID);
  p->SetText(strText);
  p->SetLocation(x, y);
  p->SetSize(width, height);
  p->SetHotkey(nHotkey);
  p->m_bIsDefault = bIsDefault;
  return gui::S_OK;
}

HRESULT CDXUTDialog::AddCheckBox(int ID, const char16_t* strText, int x, int y, int width, int height,
                                 bool bChecked, UINT nHotkey, bool bIsDefault, CDXUTCheckBox** ppCreated) {
  CDXUTCheckBox* p;
  HRESULT hr = AddNew(ppCreated, p);
  if (gui::Failed(hr)) return hr;
  p->SetID(ID);
  p->SetText(strText);
  p->SetLocation(x, y);
  p->SetSize(width, height);
  p->SetHotkey(nHotkey);
  p->m_bIsDefault = bIsDefault;
  p->m_bChecked = bChecked;
  return gui::S_OK;
}

HRESULT CDXUTDialog::AddRadioButton(int ID, UINT nButtonGroup, const char16_t* strText, int x, int y,
                                    int width, int height, bool bChecked, UINT nHotkey, bool bIsDefault,
                                    CDXUTRadioButton** ppCreated) {
  CDXUTRadioButton* p;
  HRESULT hr = AddNew(ppCreated, p);
  if (gui::Failed(hr)) return hr;
  p->SetID(ID);
  p->SetText(strText);
  p->SetButtonGroup(nButtonGroup);
  p->SetLocation(x, y);
  p->SetSize(width, height);
  p->SetHotkey(nHotkey);
  p->m_bIsDefault = bIsDefault;
  // A checked newcomer takes the group over, silently.
  if (bChecked) ClearRadioButtonGroup(nButtonGroup);
  p->m_bChecked = bChecked;
  return gui::S_OK;
}

HRESULT CDXUTDialog::AddComboBox(int ID, int x, int y, int width, int height, UINT nHotkey, bool bIsDefault,
                                 CDXUTComboBox** ppCreated) {
  CDXUTComboBox* p;
  HRESULT hr = AddNew(ppCreated, p);
  if (gui::Failed(hr)) return hr;
  p->SetID(ID);
  p->SetLocation(x, y);
  p->SetSize(width, height);
  p->SetHotkey(nHotkey);
  p->m_bIsDefault = bIsDefault;
  return gui::S_OK;
}

HRESULT CDXUTDialog::AddSlider(int ID, int x, int y, int width, int height, int min, int max, int value,
                               bool bIsDefault, CDXUTSlider** ppCreated) {
  CDXUTSlider* p;
  HRESULT hr = AddNew(ppCreated, p);
  if (gui::Failed(hr)) return hr;
  p->SetID(ID);
  p->SetLocation(x, y);
  p->SetSize(width, height);
  p->m_bIsDefault = bIsDefault;
  p->SetRange(min, max);
  p->SetValue(value);
  return gui::S_OK;
}

HRESULT CDXUTDialog::AddEditBox(int ID, const char16_t* strText, int x, int y, int width, int height,
                                bool bIsDefault, CDXUTEditBox** ppCreated) {
  CDXUTEditBox* p;
  HRESULT hr = AddNew(ppCreated, p);
  if (gui::Failed(hr)) return hr;
  p->SetID(ID);
  p->SetLocation(x, y);
  p->SetSize(width, height);
  p->m_bIsDefault = bIsDefault;
  p->SetText(strText);
  return gui::S_OK;
}

HRESULT CDXUTDialog::AddListBox(int ID, int x, int y, int width, int height, std::uint32_t dwStyle,
                                CDXUTListBox** ppCreated) {
  CDXUTListBox* p;
  HRESULT hr = AddNew(ppCreated, p);
  if (gui::Failed(hr)) return hr;
  p->SetID(ID);
  p->SetLocation(x, y);
  p->SetSize(width, height);
  p->SetStyle(dwStyle);
  return gui::S_OK;
}

HRESULT CDXUTDialog::AddLevel(int ID, float fValue, int x, int y, int width, int height, bool bIsDefault,
                              CDXUTLevel** ppCreated) {
  CDXUTLevel* p;
  HRESULT hr = AddNew(ppCreated, p);
  if (gui::Failed(hr)) return hr;
  p->SetID(ID);
  p->SetLocation(x, y);
  p->SetSize(width, height);
  p->m_bIsDefault = bIsDefault;
  p->SetValue(fValue);
  return gui::S_OK;
}

HRESULT CDXUTDialog::AddSpectrum(int ID, float* pBands, bool* pSelected, std::int32_t* pHovered, int x, int y,
                                 int width, int height, bool bIsDefault, CDXUTSpectrum** ppCreated) {
  CDXUTSpectrum* p;
  HRESULT hr = AddNew(ppCreated, p);
  if (gui::Failed(hr)) return hr;
  p->SetID(ID);
  p->SetLocation(x, y);
  p->SetSize(width, height);
  p->m_bIsDefault = bIsDefault;
  p->SetData(pBands, pSelected, pHovered);
  return gui::S_OK;
}

HRESULT CDXUTDialog::AddTimeLine(int ID, float, int x, int y, int width, int height, bool bIsDefault,
                                 CDXUTTimeLine** ppCreated) {
  CDXUTTimeLine* p;
  HRESULT hr = AddNew(ppCreated, p);
  if (gui::Failed(hr)) return hr;
  p->SetID(ID);
  p->SetLocation(x, y);
  p->SetSize(width, height);
  p->m_bIsDefault = bIsDefault;
  return gui::S_OK;
}

// ---------------------------------------------------------------------------
// Lookup

CDXUTControl* CDXUTDialog::GetControl(int ID) const {
  for (CDXUTControl* c : m_Controls)
    if (c->GetID() == ID) return c;
  return nullptr;
}

CDXUTControl* CDXUTDialog::GetControl(int ID, UINT nControlType) const {
  for (CDXUTControl* c : m_Controls)
    if (c->GetID() == ID && c->GetType() == nControlType) return c;
  return nullptr;
}

CDXUTControl* CDXUTDialog::GetControlByIndex(int index) const {
  if (index < 0 || index >= static_cast<int>(m_Controls.size())) return nullptr;
  return m_Controls[static_cast<std::size_t>(index)];
}

CDXUTControl* CDXUTDialog::GetControlAtPoint(Point pt) const {
  for (CDXUTControl* c : m_Controls) {
    if (c->GetEnabled() && c->GetVisible() && c->ContainsPoint(pt)) return c;
  }
  return nullptr;
}

CDXUTStatic* CDXUTDialog::GetStatic(int ID) const {
  return static_cast<CDXUTStatic*>(GetControl(ID, DXUT_CONTROL_STATIC));
}
CDXUTButton* CDXUTDialog::GetButton(int ID) const {
  return static_cast<CDXUTButton*>(GetControl(ID, DXUT_CONTROL_BUTTON));
}
CDXUTCheckBox* CDXUTDialog::GetCheckBox(int ID) const {
  return static_cast<CDXUTCheckBox*>(GetControl(ID, DXUT_CONTROL_CHECKBOX));
}
CDXUTRadioButton* CDXUTDialog::GetRadioButton(int ID) const {
  return static_cast<CDXUTRadioButton*>(GetControl(ID, DXUT_CONTROL_RADIOBUTTON));
}
CDXUTComboBox* CDXUTDialog::GetComboBox(int ID) const {
  return static_cast<CDXUTComboBox*>(GetControl(ID, DXUT_CONTROL_COMBOBOX));
}
CDXUTSlider* CDXUTDialog::GetSlider(int ID) const {
  return static_cast<CDXUTSlider*>(GetControl(ID, DXUT_CONTROL_SLIDER));
}
CDXUTEditBox* CDXUTDialog::GetEditBox(int ID) const {
  return static_cast<CDXUTEditBox*>(GetControl(ID, DXUT_CONTROL_EDITBOX));
}
CDXUTListBox* CDXUTDialog::GetListBox(int ID) const {
  return static_cast<CDXUTListBox*>(GetControl(ID, DXUT_CONTROL_LISTBOX));
}
CDXUTSpectrum* CDXUTDialog::GetSpectrum(int ID) const {
  return static_cast<CDXUTSpectrum*>(GetControl(ID, DXUT_CONTROL_SPECTRUM));
}
CDXUTTimeLine* CDXUTDialog::GetTimeLine(int ID) const {
  return static_cast<CDXUTTimeLine*>(GetControl(ID, DXUT_CONTROL_TIMELINE));
}
CDXUTLevel* CDXUTDialog::GetLevel(int ID) const {
  return static_cast<CDXUTLevel*>(GetControl(ID, DXUT_CONTROL_LEVEL));
}

HRESULT CDXUTDialog::SetControlText(int ID, const char16_t* strText) {
  for (CDXUTControl* c : m_Controls) {
    if (c->GetID() != ID) continue;
    switch (c->GetType()) {
      case DXUT_CONTROL_STATIC:
      case DXUT_CONTROL_BUTTON:
      case DXUT_CONTROL_CHECKBOX:
      case DXUT_CONTROL_RADIOBUTTON:
        return static_cast<CDXUTStatic*>(c)->SetText(strText);
      default:
        break;
    }
  }
  return gui::E_FAIL;
}

bool CDXUTDialog::GetControlEnabled(int ID) const {
  CDXUTControl* c = GetControl(ID);
  return c ? c->GetEnabled() : false;
}

void CDXUTDialog::SetControlEnabled(int ID, bool bEnabled) {
  if (CDXUTControl* c = GetControl(ID)) c->SetEnabled(bEnabled);
}

void CDXUTDialog::ClearRadioButtonGroup(UINT nGroup) {
  for (CDXUTControl* c : m_Controls) {
    if (c->GetType() != DXUT_CONTROL_RADIOBUTTON) continue;
    auto* radio = static_cast<CDXUTRadioButton*>(c);
    if (radio->GetButtonGroup() == nGroup) radio->m_bChecked = false;
  }
}

void CDXUTDialog::ClearComboBox(int ID) {
  if (CDXUTComboBox* combo = GetComboBox(ID)) combo->RemoveAllItems();
}

// ---------------------------------------------------------------------------
// Removal

void CDXUTDialog::ForgetControl(CDXUTControl* pControl) {
  if (s_pControlFocus == pControl) s_pControlFocus = nullptr;
  if (m_pControlMouseOver == pControl) m_pControlMouseOver = nullptr;
}

void CDXUTDialog::DisposeControl(CDXUTControl* pControl) {
  ForgetControl(pControl);
  if (m_nDispatchDepth > 0) {
    try {
      m_Graveyard.push_back(pControl);
      return;
    } catch (const std::bad_alloc&) {
      // Deleting a control that may still be running is worse than a leak.
      return;
    }
  }
  delete pControl;
}

void CDXUTDialog::FlushGraveyard() {
  for (CDXUTControl* c : m_Graveyard) delete c;
  m_Graveyard.clear();
}

void CDXUTDialog::RemoveControl(int ID) {
  for (std::size_t i = 0; i < m_Controls.size();) {
    CDXUTControl* c = m_Controls[i];
    if (c->GetID() == ID) {
      m_Controls.erase(m_Controls.begin() + static_cast<std::ptrdiff_t>(i));
      DisposeControl(c);
    } else {
      ++i;
    }
  }
  for (std::size_t i = 0; i < m_Controls.size(); ++i) m_Controls[i]->m_Index = static_cast<UINT>(i);
}

void CDXUTDialog::RemoveAllControls() {
  std::vector<CDXUTControl*> controls;
  controls.swap(m_Controls);
  for (CDXUTControl* c : controls) DisposeControl(c);
  m_pControlMouseOver = nullptr;
}

// ---------------------------------------------------------------------------
// Events and focus

void CDXUTDialog::SetCallback(PCALLBACKDXUTGUIEVENT pCallback, void* pUserContext) {
  m_pCallbackEvent = pCallback;
  m_pCallbackEventUserContext = pUserContext;
}

void CDXUTDialog::SendEvent(UINT nEvent, bool bTriggeredByUser, CDXUTControl* pControl) {
  if (!m_pCallbackEvent || !pControl) return;
  if (!bTriggeredByUser && !m_bNonUserEvents) return;
  m_pCallbackEvent(nEvent, pControl->GetID(), pControl, m_pCallbackEventUserContext);
}

void CDXUTDialog::RequestFocus(CDXUTControl* pControl) {
  if (!pControl || s_pControlFocus == pControl) return;
  if (!pControl->CanHaveFocus()) return;
  CDXUTControl* previous = s_pControlFocus;
  s_pControlFocus = pControl;
  if (previous) previous->OnFocusOut();
  pControl->OnFocusIn();
}

void CDXUTDialog::ClearFocus() {
  CDXUTControl* previous = s_pControlFocus;
  s_pControlFocus = nullptr;
  if (previous) previous->OnFocusOut();
}

CDXUTControl* CDXUTDialog::GetFocusedControl() { return s_pControlFocus; }

void CDXUTDialog::FocusDefaultControl() {
  for (CDXUTControl* c : m_Controls) {
    if (c->m_bIsDefault) {
      RequestFocus(c);
      return;
    }
  }
}

void CDXUTDialog::OnCycleFocus(bool bForward) {
  const int n = static_cast<int>(m_Controls.size());
  if (n == 0) return;
  int start;
  if (s_pControlFocus && s_pControlFocus->m_pDialog == this)
    start = static_cast<int>(s_pControlFocus->m_Index);
  else
    start = bForward ? -1 : n;
  int i = start;
  for (int step = 0; step < n; ++step) {
    i = bForward ? i + 1 : i - 1;
    if (i >= n) i = 0;
    if (i < 0) i = n - 1;
    CDXUTControl* c = m_Controls[static_cast<std::size_t>(i)];
    if (c->CanHaveFocus()) {
      RequestFocus(c);
      return;
    }
  }
}

// ---------------------------------------------------------------------------
// Appearance and geometry

void CDXUTDialog::SetBackgroundColors(gui::Color c) { SetBackgroundColors(c, c, c, c); }

void CDXUTDialog::SetBackgroundColors(gui::Color tl, gui::Color tr, gui::Color bl, gui::Color br) {
  m_colorTopLeft = tl;
  m_colorTopRight = tr;
  m_colorBottomLeft = bl;
  m_colorBottomRight = br;
}

gui::Color CDXUTDialog::GetBackgroundColor(int corner) const {
  switch (corner) {
    case 0: return m_colorTopLeft;
    case 1: return m_colorTopRight;
    case 2: return m_colorBottomLeft;
    case 3: return m_colorBottomRight;
    default: return 0;
  }
}

HRESULT CDXUTDialog::SetTexture(UINT index, const char16_t* strFilename) {
  if (index >= kMaxResourceIndex) return gui::E_INVALIDARG;
  try {
    if (m_Textures.size() <= index) m_Textures.resize(index + 1);
    m_Textures[index].assign(gui::View(strFilename));
  } catch (const std::bad_alloc&) {
    return gui::E_OUTOFMEMORY;
  }
  return gui::S_OK;
}

const std::u16string* CDXUTDialog::GetTexture(UINT index) const {
  return index < m_Textures.size() ? &m_Textures[index] : nullptr;
}

HRESULT CDXUTDialog::SetFont(UINT index, const char16_t* strFaceName, int height, int weight) {
  if (index >= kMaxResourceIndex) return gui::E_INVALIDARG;
  try {
    if (m_Fonts.size() <= index) m_Fonts.resize(index + 1);
    m_Fonts[index].face.assign(gui::View(strFaceName));
    m_Fonts[index].height = height;
    m_Fonts[index].weight = weight;
  } catch (const std::bad_alloc&) {
    return gui::E_OUTOFMEMORY;
  }
  return gui::S_OK;
}

const DXUTFontInfo* CDXUTDialog::GetFont(UINT index) const {
  return index < m_Fonts.size() ? &m_Fonts[index] : nullptr;
}

int CDXUTDialog::GetLineHeight() const {
  if (!m_Fonts.empty() && m_Fonts[0].height > 0) return m_Fonts[0].height;
  return 14;
}

void CDXUTDialog::SetCaptionText(const char16_t* pwszText) {
  gui::AssignLimited(m_wszCaption, gui::View(pwszText), gui::kMaxCaptionText);
}

Rect CDXUTDialog::GetCaptionRect() const {
  if (!m_bCaption) return {};
  return {m_x, m_y, Saturate(static_cast<long long>(m_x) + m_width),
          Saturate(static_cast<long long>(m_y) + m_nCaptionHeight)};
}

Point CDXUTDialog::GetControlOrigin() const {
  return {m_x, Saturate(static_cast<long long>(m_y) + (m_bCaption ? m_nCaptionHeight : 0))};
}

Rect CDXUTDialog::GetBodyRect() const {
  Point o = GetControlOrigin();
  return {o.x, o.y, Saturate(static_cast<long long>(o.x) + m_width), Saturate(static_cast<long long>(o.y) + m_height)};
}

Point CDXUTDialog::WindowToControl(Point p) const {
  Point o = GetControlOrigin();
  return {Saturate(static_cast<long long>(p.x) - o.x), Saturate(static_cast<long long>(p.y) - o.y)};
}

Rect CDXUTDialog::ControlToWindow(const Rect& rc) const {
  Point o = GetControlOrigin();
  return {Saturate(static_cast<long long>(rc.left) + o.x), Saturate(static_cast<long long>(rc.top) + o.y),
          Saturate(static_cast<long long>(rc.right) + o.x), Saturate(static_cast<long long>(rc.bottom) + o.y)};
}

void CDXUTDialog::Refresh() {
  if (s_pControlFocus && s_pControlFocus->m_pDialog == this) ClearFocus();
  m_pControlMouseOver = nullptr;
  for (CDXUTControl* c : m_Controls) c->Refresh();
}

// ---------------------------------------------------------------------------
// Messages

bool CDXUTDialog::MsgProc(HWND, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  gui::NoteInputMessage(uMsg, wParam);
  if (!m_bVisible) return false;

  struct DispatchScope {
    CDXUTDialog* d;
    explicit DispatchScope(CDXUTDialog* dialog) : d(dialog) { ++d->m_nDispatchDepth; }
    ~DispatchScope() {
      if (--d->m_nDispatchDepth == 0) d->FlushGraveyard();
    }
  } scope(this);

  if (uMsg == WM_CAPTURECHANGED) {
    // The window lost the mouse: drags and presses end where they are,
    // without events.
    m_bDrag = false;
    for (std::size_t i = 0; i < m_Controls.size(); ++i) m_Controls[i]->MsgProc(uMsg, wParam, lParam);
    return false;
  }

  const bool mouse = IsMouseMessage(uMsg);
  const Point windowPt{GetXLParam(lParam), GetYLParam(lParam)};
  if (mouse && HandleCaption(uMsg, windowPt)) return true;
  if (m_bMinimized) return false;

  CDXUTControl* focus = s_pControlFocus;
  if (focus && focus->m_pDialog == this && focus->GetEnabled() && focus->GetVisible()) {
    if (focus->MsgProc(uMsg, wParam, lParam)) return true;
  }
  if (IsKeyboardMessage(uMsg)) return HandleKeyboardMessage(uMsg, wParam, lParam);
  if (mouse) return HandleMouseMessage(uMsg, wParam, lParam, windowPt);
  return false;
}

bool CDXUTDialog::HandleCaption(UINT uMsg, Point p) {
  const long long x = m_x, y = m_y, px = p.x, py = p.y;
  if (m_bDrag) {
    // The release is tested against the bar where it stands before this
    // message moves it, so a release away from the bar keeps the drag on.
    const bool releaseInside =
        uMsg == WM_LBUTTONUP && px >= x && px < x + m_width && py >= y && py < y + m_nCaptionHeight;
    m_x = Saturate(px - m_width / 2);
    m_y = p.y;
    if (releaseInside) {
      gui::ReleaseCapture();
      m_bDrag = false;
      return true;
    }
  }
  if (!m_bCaption || (uMsg != WM_LBUTTONDOWN && uMsg != WM_LBUTTONDBLCLK)) return false;
  if (py < y || py >= y + m_nCaptionHeight) return false;
  if (px >= x + gui::kMinimizeZoneLeft && px < x + gui::kMinimizeZoneRight) {
    m_bMinimized = !m_bMinimized;
    return true;
  }
  if (px >= x && px < x + m_width - gui::kDragZoneRightMargin) {
    m_bDrag = true;
    gui::SetCapture();
    return true;
  }
  return false;
}

bool CDXUTDialog::HandleKeyboardMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  CDXUTControl* focus = s_pControlFocus;
  const bool focusHere = focus && focus->m_pDialog == this;
  if (focusHere && focus->GetEnabled() && focus->GetVisible()) {
    if (focus->HandleKeyboard(uMsg, wParam, lParam)) return true;
  }
  if (uMsg != WM_KEYDOWN) return false;

  // Typing into an edit box (of any dialog) never fires hotkeys.
  focus = s_pControlFocus;
  const bool editHasFocus = focus && focus->GetType() == DXUT_CONTROL_EDITBOX;
  if (!editHasFocus && wParam != 0) {
    for (std::size_t i = 0; i < m_Controls.size(); ++i) {
      CDXUTControl* c = m_Controls[i];
      if (c->GetHotkey() == wParam && c->GetEnabled() && c->GetVisible()) {
        c->OnHotkey();
        return true;
      }
    }
  }

  if (!m_bKeyboardInput) return false;
  focus = s_pControlFocus;
  const bool focusHereNow = focus && focus->m_pDialog == this;
  switch (wParam) {
    case VK_TAB:
      if (focus && !focusHereNow) return false;  // the focused dialog cycles
      OnCycleFocus(!gui::IsKeyDown(VK_SHIFT));
      return true;
    case VK_RIGHT:
    case VK_DOWN:
      if (!focusHereNow) return false;
      OnCycleFocus(true);
      return true;
    case VK_LEFT:
    case VK_UP:
      if (!focusHereNow) return false;
      OnCycleFocus(false);
      return true;
    default:
      return false;
  }
}

bool CDXUTDialog::HandleMouseMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, Point windowPt) {
  if (!m_bMouseInput) return false;
  const Point pt = WindowToControl(windowPt);

  CDXUTControl* focus = s_pControlFocus;
  CDXUTControl* focusHere =
      (focus && focus->m_pDialog == this && focus->GetEnabled() && focus->GetVisible()) ? focus : nullptr;
  if (focusHere && focusHere->HandleMouse(uMsg, pt, wParam, lParam)) return true;

  CDXUTControl* under = GetControlAtPoint(pt);
  if (uMsg == WM_MOUSEMOVE) OnMouseMove(under);
  // The focused control has already seen this message; once is enough.
  if (under && under != focusHere) {
    if (under->HandleMouse(uMsg, pt, wParam, lParam)) return true;
  }
  if (!under && uMsg == WM_LBUTTONDOWN && s_pControlFocus && s_pControlFocus->m_pDialog == this) ClearFocus();
  return false;
}

void CDXUTDialog::OnMouseMove(CDXUTControl* under) {
  if (under == m_pControlMouseOver) return;
  CDXUTControl* previous = m_pControlMouseOver;
  m_pControlMouseOver = under;
  if (previous) previous->OnMouseLeave();
  if (under) under->OnMouseEnter();
}
