// Kept apart from the rest of the framework so that only a program that
// installs the hooks links the toolkit's hook functions.
#include "framework/Framework.h"

#if __has_include("gui/GuiTypes.h")
#include "gui/GuiTypes.h"
#define MV_FW_HAVE_GUI_HOOKS 1
#endif

namespace fw {

void InstallToolkitHooks() {
#ifdef MV_FW_HAVE_GUI_HOOKS
  gui::PlatformHooks hooks;
  hooks.setCapture = [] { SetCapture(); };
  hooks.releaseCapture = [] { ReleaseCapture(); };
  hooks.getClipboard = [] { return GetClipboardText(); };
  hooks.setClipboard = [](std::u16string_view text) { SetClipboardText(text); };
  hooks.isKeyDown = [](UINT vk) { return IsKeyDown(vk); };
  gui::SetPlatformHooks(std::move(hooks));
#endif
}

}  // namespace fw
