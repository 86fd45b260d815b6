#include <array>

#include "gui/Dialog.h"
#include "gui/DialogResourceManager.h"
#include "gui/GuiTypes.h"

namespace gui {
namespace {

std::u16string& LocalClipboard() {
  static std::u16string text;
  return text;
}

std::array<bool, 256>& KeyState() {
  static std::array<bool, 256> down{};
  return down;
}

PlatformHooks DefaultHooks() {
  PlatformHooks h;
  h.setCapture = [] {};
  h.releaseCapture = [] {};
  h.getClipboard = [] { return LocalClipboard(); };
  h.setClipboard = [](std::u16string_view text) { LocalClipboard().assign(text); };
  h.isKeyDown = [](UINT vk) { return vk < 256 && KeyState()[vk]; };
  return h;
}

PlatformHooks& Hooks() {
  static PlatformHooks hooks = DefaultHooks();
  return hooks;
}

}  // namespace

void AssignLimited(std::u16string& out, std::u16string_view text, std::size_t limit) {
  std::size_t n = 0;
  const std::size_t maxUnits = limit > 0 ? limit - 1 : 0;
  while (n < text.size() && n < maxUnits && text[n] != u'\0') ++n;
  out.assign(text.data(), n);
}

std::u16string_view View(const char16_t* text) { return text ? std::u16string_view(text) : std::u16string_view(); }

void SetPlatformHooks(PlatformHooks hooks) {
  PlatformHooks d = DefaultHooks();
  if (!hooks.setCapture) hooks.setCapture = d.setCapture;
  if (!hooks.releaseCapture) hooks.releaseCapture = d.releaseCapture;
  if (!hooks.getClipboard) hooks.getClipboard = d.getClipboard;
  if (!hooks.setClipboard) hooks.setClipboard = d.setClipboard;
  if (!hooks.isKeyDown) hooks.isKeyDown = d.isKeyDown;
  Hooks() = std::move(hooks);
}

void ResetPlatformHooks() { Hooks() = DefaultHooks(); }

void SetCapture() { Hooks().setCapture(); }
void ReleaseCapture() { Hooks().releaseCapture(); }
std::u16string GetClipboardText() { return Hooks().getClipboard(); }
void SetClipboardText(std::u16string_view text) { Hooks().setClipboard(text); }
bool IsKeyDown(UINT vk) { return Hooks().isKeyDown(vk); }

void NoteInputMessage(UINT uMsg, WPARAM wParam) {
  auto& keys = KeyState();
  switch (uMsg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (wParam < 256) keys[wParam] = true;
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (wParam < 256) keys[wParam] = false;
      break;
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
      // Mouse messages carry the modifier state; trust it over stale keys.
      keys[VK_SHIFT] = (wParam & MK_SHIFT) != 0;
      keys[VK_CONTROL] = (wParam & MK_CONTROL) != 0;
      break;
    default:
      break;
  }
}

void ResetKeyState() { KeyState().fill(false); }

}  // namespace gui

// ---------------------------------------------------------------------------

// Dialogs are members of global managers and may outlive this object.
CDXUTDialogResourceManager::~CDXUTDialogResourceManager() {
  for (CDXUTDialog* d : m_Dialogs) d->m_pManager = nullptr;
}

bool CDXUTDialogResourceManager::MsgProc(HWND, UINT uMsg, WPARAM wParam, LPARAM) {
  gui::NoteInputMessage(uMsg, wParam);
  return false;
}

bool CDXUTDialogResourceManager::RegisterDialog(CDXUTDialog* pDialog) {
  if (!pDialog) return false;
  if (IsRegistered(pDialog)) return true;
  m_Dialogs.push_back(pDialog);
  return true;
}

void CDXUTDialogResourceManager::UnregisterDialog(CDXUTDialog* pDialog) {
  for (auto it = m_Dialogs.begin(); it != m_Dialogs.end(); ++it) {
    if (*it == pDialog) {
      m_Dialogs.erase(it);
      return;
    }
  }
}

bool CDXUTDialogResourceManager::IsRegistered(const CDXUTDialog* pDialog) const {
  for (const CDXUTDialog* d : m_Dialogs)
    if (d == pDialog) return true;
  return false;
}

CDXUTDialog* CDXUTDialogResourceManager::GetDialog(int index) const {
  if (index < 0 || index >= static_cast<int>(m_Dialogs.size())) return nullptr;
  return m_Dialogs[static_cast<std::size_t>(index)];
}
