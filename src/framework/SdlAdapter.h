#pragma once
// The one place where SDL events become the window messages the toolkit and
// the managers understand. Every message carries the pointer position, in
// back-buffer pixels, in its lParam (MakeLParam), key messages included.
#include <SDL2/SDL.h>

#include "io/WindowMessages.h"

namespace fw {

struct WindowMessage {
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

// Where a picture of src size lands inside dst when scaled to fit with its
// aspect kept (bars left/right or top/bottom). Empty when either is empty.
struct ViewportRect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
};
ViewportRect LetterboxRect(int srcW, int srcH, int dstW, int dstH);

// Windows virtual-key code of an SDL key; 0 when the key has none.
UINT MapKeyToVirtualKey(SDL_Keycode key);

class SdlAdapter {
 public:
  // A text event of 32 bytes of UTF-8 gives at most 32 UTF-16 units.
  static constexpr int kMaxMessages = 40;

  SdlAdapter();
  // Window size in the units of the mouse events, and the back buffer size.
  void SetWindowSize(int w, int h);
  void SetBackBufferSize(int w, int h);
  ViewportRect GetViewport() const { return m_viewport; }
  void WindowToBackBuffer(int wx, int wy, int* bx, int* by) const;

  // Fills `out` with the messages of one event; returns how many.
  int Translate(const SDL_Event& event, WindowMessage* out, int capacity);

  int PointerX() const { return m_pointerX; }
  int PointerY() const { return m_pointerY; }
  LPARAM PointerLParam() const { return MakeLParam(m_pointerX, m_pointerY); }
  // Mouse capture as the toolkit asked for it; losing focus while captured
  // gives WM_CAPTURECHANGED.
  void SetCaptured(bool captured) { m_captured = captured; }
  bool IsCaptured() const { return m_captured; }
  void Reset();

 private:
  WPARAM MouseKeys() const;
  void SetPointerFromWindow(int wx, int wy);

  int m_windowW = 0;
  int m_windowH = 0;
  int m_backW = 0;
  int m_backH = 0;
  ViewportRect m_viewport;
  int m_pointerX = 0;
  int m_pointerY = 0;
  WPARAM m_buttons = 0;  // MK_LBUTTON | MK_RBUTTON | MK_MBUTTON held
  Uint16 m_mods = 0;     // SDL key modifiers as of the last key event
  bool m_captured = false;
};

}  // namespace fw
