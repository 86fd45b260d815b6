#pragma once
// Shared vocabulary of the dialog toolkit: event and control
// type numbers, the event callback, geometry, display elements and the
// platform hooks (capture, clipboard, key state) the framework plugs in.
// Nothing here depends on a window system or on GL.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "io/Result.h"
#include "io/WindowMessages.h"

#ifndef CALLBACK
#define CALLBACK
#endif

class CDXUTControl;
class CDXUTDialog;

namespace gui {

using mv::E_FAIL;
using mv::E_INVALIDARG;
using mv::E_OUTOFMEMORY;
using mv::Failed;
using mv::HRESULT;
using mv::S_OK;
using mv::Succeeded;

using Color = std::uint32_t;  // ARGB, as the panels write their colours

// Item data of combo and list boxes is an opaque pointer; panels that keep
// small integers in it go through these two helpers.
inline void* ToData(std::intptr_t value) { return reinterpret_cast<void*>(value); }
inline std::intptr_t FromData(const void* data) { return reinterpret_cast<std::intptr_t>(data); }

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

// Half-open rectangle: left <= x < right, top <= y < bottom.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  static Rect FromXYWH(int x, int y, int w, int h) { return {x, y, x + w, y + h}; }
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
  bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  Rect Inflated(int dx, int dy) const { return {left - dx, top - dy, right + dx, bottom + dy}; }
  Rect Offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// Text limits, counted in UTF-16 code units including the terminating NUL
// of the fixed arrays the panels were designed around: a static of 260 units
// keeps 259 characters.
inline constexpr std::size_t kMaxControlText = 260;   // statics, buttons, check and radio boxes
inline constexpr std::size_t kMaxItemText = 256;      // list and combo items
inline constexpr std::size_t kMaxCaptionText = 256;   // dialog caption
inline constexpr std::size_t kMaxEditText = 8192;     // edit boxes: a bound, never reached by the panels

// Copies at most limit - 1 units of text (stopping at an embedded NUL) into
// out, reusing out's storage.
void AssignLimited(std::u16string& out, std::u16string_view text, std::size_t limit);
// A possibly-null C string as a view.
std::u16string_view View(const char16_t* text);

// The services the toolkit needs from the window system. The framework sets
// them once; tests install recording versions. Defaults: capture does
// nothing, the clipboard is an in-process buffer, and key state comes from
// the key messages the toolkit has seen.
struct PlatformHooks {
  std::function<void()> setCapture;
  std::function<void()> releaseCapture;
  std::function<std::u16string()> getClipboard;
  std::function<void(std::u16string_view)> setClipboard;
  std::function<bool(UINT vk)> isKeyDown;
};
void SetPlatformHooks(PlatformHooks hooks);  // empty members fall back to the defaults
void ResetPlatformHooks();

void SetCapture();
void ReleaseCapture();
std::u16string GetClipboardText();
void SetClipboardText(std::u16string_view text);
bool IsKeyDown(UINT vk);

// Default key state: updated from key-down/key-up messages (and the modifier
// bits of mouse messages) by every dialog and the resource manager.
void NoteInputMessage(UINT uMsg, WPARAM wParam);
void ResetKeyState();

}  // namespace gui

// Events delivered to a dialog's callback.
inline constexpr UINT EVENT_BUTTON_CLICKED = 0x0101;
inline constexpr UINT EVENT_CONTROL_POINTER_MOVED = 0x0102;  // timeline, spectrum, level
inline constexpr UINT EVENT_COMBOBOX_SELECTION_CHANGED = 0x0201;
inline constexpr UINT EVENT_RADIOBUTTON_CHANGED = 0x0301;
inline constexpr UINT EVENT_CHECKBOX_CHANGED = 0x0401;
inline constexpr UINT EVENT_SLIDER_VALUE_CHANGED = 0x0501;
inline constexpr UINT EVENT_EDITBOX_STRING = 0x0601;
inline constexpr UINT EVENT_EDITBOX_CHANGE = 0x0602;
inline constexpr UINT EVENT_LISTBOX_ITEM_DBLCLK = 0x0701;
inline constexpr UINT EVENT_LISTBOX_SELECTION = 0x0702;
inline constexpr UINT EVENT_LISTBOX_SELECTION_END = 0x0703;

// Control type numbers (GetControl matches ID and type).
enum DXUT_CONTROL_TYPE : UINT {
  DXUT_CONTROL_BUTTON = 0,
  DXUT_CONTROL_STATIC = 1,
  DXUT_CONTROL_CHECKBOX = 2,
  DXUT_CONTROL_RADIOBUTTON = 3,
  DXUT_CONTROL_COMBOBOX = 4,
  DXUT_CONTROL_SLIDER = 5,
  DXUT_CONTROL_EDITBOX = 6,
  DXUT_CONTROL_IMEEDITBOX = 7,  // not provided; the number stays reserved
  DXUT_CONTROL_LISTBOX = 8,
  DXUT_CONTROL_SCROLLBAR = 9,
  DXUT_CONTROL_SPECTRUM = 10,
  DXUT_CONTROL_TIMELINE = 11,
  DXUT_CONTROL_LEVEL = 12,
};

// List box style bits.
inline constexpr std::uint32_t DXUT_LISTBOX_MULTISELECTION = 1;

// The dialog's event callback: event code, control ID, control, user context.
using PCALLBACKDXUTGUIEVENT = void(CALLBACK*)(UINT nEvent, int nControlID, CDXUTControl* pControl,
                                              void* pUserContext);

// How one part of a control would be drawn: which of the dialog's textures
// and fonts, where in the texture, and with what colours. The controls take
// their font, text format and label colour from element 0 when they draw.
struct CDXUTElement {
  UINT iTexture = 0;
  UINT iFont = 0;
  gui::Rect rcTexture{};
  std::uint32_t dwTextFormat = 0;
  gui::Color fontColor = 0xFFFFFFFF;
  gui::Color textureColor = 0xFFFFFFFF;
};

namespace gui {
// Text format bits for dwTextFormat.
inline constexpr std::uint32_t DT_LEFT = 0x0;
inline constexpr std::uint32_t DT_CENTER = 0x1;
inline constexpr std::uint32_t DT_RIGHT = 0x2;
inline constexpr std::uint32_t DT_VCENTER = 0x4;
inline constexpr std::uint32_t DT_SINGLELINE = 0x20;
// Labels: not cut at their own rectangle, only at the dialog's body.
inline constexpr std::uint32_t DT_NOCLIP = 0x100;
}  // namespace gui
