#include "framework/SdlAdapter.h"

#include <cstdint>

namespace fw {
namespace {

struct KeyEntry {
  SDL_Keycode sdl;
  UINT vk;
};

// Letters and digits are handled by range below; everything else is here.
constexpr KeyEntry kKeyTable[] = {
    {SDLK_BACKSPACE, VK_BACK},
    {SDLK_TAB, VK_TAB},
    {SDLK_RETURN, VK_RETURN},
    {SDLK_RETURN2, VK_RETURN},
    {SDLK_KP_ENTER, VK_RETURN},
    {SDLK_LSHIFT, VK_SHIFT},
    {SDLK_RSHIFT, VK_SHIFT},
    {SDLK_LCTRL, VK_CONTROL},
    {SDLK_RCTRL, VK_CONTROL},
    {SDLK_LALT, VK_MENU},
    {SDLK_RALT, VK_MENU},
    {SDLK_PAUSE, VK_PAUSE},
    {SDLK_CAPSLOCK, VK_CAPITAL},
    {SDLK_ESCAPE, VK_ESCAPE},
    {SDLK_SPACE, VK_SPACE},
    {SDLK_PAGEUP, VK_PRIOR},
    {SDLK_PAGEDOWN, VK_NEXT},
    {SDLK_END, VK_END},
    {SDLK_HOME, VK_HOME},
    {SDLK_LEFT, VK_LEFT},
    {SDLK_UP, VK_UP},
    {SDLK_RIGHT, VK_RIGHT},
    {SDLK_DOWN, VK_DOWN},
    {SDLK_PRINTSCREEN, VK_SNAPSHOT},
    {SDLK_INSERT, VK_INSERT},
    {SDLK_DELETE, VK_DELETE},
    {SDLK_KP_0, VK_NUMPAD0 + 0},
    {SDLK_KP_1, VK_NUMPAD0 + 1},
    {SDLK_KP_2, VK_NUMPAD0 + 2},
    {SDLK_KP_3, VK_NUMPAD0 + 3},
    {SDLK_KP_4, VK_NUMPAD0 + 4},
    {SDLK_KP_5, VK_NUMPAD0 + 5},
    {SDLK_KP_6, VK_NUMPAD0 + 6},
    {SDLK_KP_7, VK_NUMPAD0 + 7},
    {SDLK_KP_8, VK_NUMPAD0 + 8},
    {SDLK_KP_9, VK_NUMPAD0 + 9},
    {SDLK_KP_MULTIPLY, VK_MULTIPLY},
    {SDLK_KP_PLUS, VK_ADD},
    {SDLK_KP_MINUS, VK_SUBTRACT},
    {SDLK_KP_PERIOD, VK_DECIMAL},
    {SDLK_KP_DIVIDE, VK_DIVIDE},
    {SDLK_F1, VK_F1},
    {SDLK_F2, VK_F2},
    {SDLK_F3, VK_F3},
    {SDLK_F4, VK_F4},
    {SDLK_F5, VK_F5},
    {SDLK_F6, VK_F6},
    {SDLK_F7, VK_F7},
    {SDLK_F8, VK_F8},
    {SDLK_F9, VK_F9},
    {SDLK_F10, VK_F10},
    {SDLK_F11, VK_F11},
    {SDLK_F12, VK_F12},
    {SDLK_NUMLOCKCLEAR, VK_NUMLOCK},
    {SDLK_SCROLLLOCK, VK_SCROLL},
    {SDLK_SEMICOLON, VK_OEM_1},
    {SDLK_EQUALS, VK_OEM_PLUS},
    {SDLK_COMMA, VK_OEM_COMMA},
    {SDLK_MINUS, VK_OEM_MINUS},
    {SDLK_PERIOD, VK_OEM_PERIOD},
    {SDLK_SLASH, VK_OEM_2},
    {SDLK_BACKQUOTE, VK_OEM_3},
    {SDLK_LEFTBRACKET, VK_OEM_4},
    {SDLK_BACKSLASH, VK_OEM_5},
    {SDLK_RIGHTBRACKET, VK_OEM_6},
    {SDLK_QUOTE, VK_OEM_7},
};

// Floor division, so that points left of or above the picture map to
// negative back-buffer pixels rather than being pulled towards zero.
long long FloorDiv(long long a, long long b) {
  long long q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

int ClampToShort(long long v) {
  if (v < -32768) return -32768;
  if (v > 32767) return 32767;
  return static_cast<int>(v);
}

// Decodes one UTF-8 sequence; malformed input yields U+FFFD and advances by
// one byte so that nothing loops.
char32_t DecodeUtf8(const unsigned char* s, int* advance) {
  const unsigned char c = s[0];
  int len = 0;
  char32_t cp = 0;
  if (c < 0x80) {
    *advance = 1;
    return c;
  } else if ((c & 0xE0) == 0xC0) {
    len = 2, cp = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3, cp = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4, cp = c & 0x07;
  } else {
    *advance = 1;
    return 0xFFFD;
  }
  for (int i = 1; i < len; ++i) {
    if ((s[i] & 0xC0) != 0x80) {
      *advance = 1;
      return 0xFFFD;
    }
    cp = (cp << 6) | (s[i] & 0x3F);
  }
  static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  *advance = len;
  if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
  return cp;
}

}  // namespace

ViewportRect LetterboxRect(int srcW, int srcH, int dstW, int dstH) {
  if (srcW <= 0 || srcH <= 0 || dstW <= 0 || dstH <= 0) return {};
  ViewportRect r;
  // Compare aspect ratios exactly in integers.
  if (static_cast<long long>(dstW) * srcH <= static_cast<long long>(dstH) * srcW) {
    r.w = dstW;
    r.h = static_cast<int>((static_cast<long long>(dstW) * srcH * 2 + srcW) / (2LL * srcW));
  } else {
    r.h = dstH;
    r.w = static_cast<int>((static_cast<long long>(dstH) * srcW * 2 + srcH) / (2LL * srcH));
  }
  if (r.w < 1) r.w = 1;
  if (r.h < 1) r.h = 1;
  r.x = (dstW - r.w) / 2;
  r.y = (dstH - r.h) / 2;
  return r;
}

UINT MapKeyToVirtualKey(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return static_cast<UINT>('A' + (key - SDLK_a));
  if (key >= SDLK_0 && key <= SDLK_9) return static_cast<UINT>('0' + (key - SDLK_0));
  for (const KeyEntry& e : kKeyTable)
    if (e.sdl == key) return e.vk;
  return 0;
}

SdlAdapter::SdlAdapter() { Reset(); }

void SdlAdapter::Reset() {
  m_windowW = m_windowH = 0;
  m_backW = m_backH = 0;
  m_viewport = {};
  m_pointerX = m_pointerY = 0;
  m_buttons = 0;
  m_mods = 0;
  m_captured = false;
}

void SdlAdapter::SetWindowSize(int w, int h) {
  m_windowW = w;
  m_windowH = h;
  m_viewport = LetterboxRect(m_backW, m_backH, m_windowW, m_windowH);
}

void SdlAdapter::SetBackBufferSize(int w, int h) {
  m_backW = w;
  m_backH = h;
  m_viewport = LetterboxRect(m_backW, m_backH, m_windowW, m_windowH);
}

void SdlAdapter::WindowToBackBuffer(int wx, int wy, int* bx, int* by) const {
  if (m_viewport.w <= 0 || m_viewport.h <= 0) {
    *bx = ClampToShort(wx);
    *by = ClampToShort(wy);
    return;
  }
  // The back-buffer pixel under the window pixel's centre: the one the
  // scaled picture shows there, so both edges of the picture reach the
  // edges of the back buffer at any scale.
  *bx = ClampToShort(FloorDiv((2LL * (wx - m_viewport.x) + 1) * m_backW, 2LL * m_viewport.w));
  *by = ClampToShort(FloorDiv((2LL * (wy - m_viewport.y) + 1) * m_backH, 2LL * m_viewport.h));
}

void SdlAdapter::SetPointerFromWindow(int wx, int wy) { WindowToBackBuffer(wx, wy, &m_pointerX, &m_pointerY); }

WPARAM SdlAdapter::MouseKeys() const {
  WPARAM keys = m_buttons;
  if (m_mods & KMOD_SHIFT) keys |= MK_SHIFT;
  if (m_mods & KMOD_CTRL) keys |= MK_CONTROL;
  return keys;
}

int SdlAdapter::Translate(const SDL_Event& e, WindowMessage* out, int capacity) {
  int n = 0;
  auto emit = [&](UINT msg, WPARAM wp) {
    if (n < capacity) out[n++] = WindowMessage{msg, wp, PointerLParam()};
  };

  switch (e.type) {
    case SDL_MOUSEMOTION: {
      SetPointerFromWindow(e.motion.x, e.motion.y);
      WPARAM held = 0;
      if (e.motion.state & SDL_BUTTON_LMASK) held |= MK_LBUTTON;
      if (e.motion.state & SDL_BUTTON_RMASK) held |= MK_RBUTTON;
      if (e.motion.state & SDL_BUTTON_MMASK) held |= MK_MBUTTON;
      m_buttons = held;
      emit(WM_MOUSEMOVE, MouseKeys());
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const bool down = e.type == SDL_MOUSEBUTTONDOWN;
      WPARAM mask = 0;
      UINT downMsg = 0, upMsg = 0, dblMsg = 0;
      switch (e.button.button) {
        case SDL_BUTTON_LEFT:
          mask = MK_LBUTTON, downMsg = WM_LBUTTONDOWN, upMsg = WM_LBUTTONUP, dblMsg = WM_LBUTTONDBLCLK;
          break;
        case SDL_BUTTON_RIGHT:
          mask = MK_RBUTTON, downMsg = WM_RBUTTONDOWN, upMsg = WM_RBUTTONUP, dblMsg = WM_RBUTTONDBLCLK;
          break;
        case SDL_BUTTON_MIDDLE:
          mask = MK_MBUTTON, downMsg = WM_MBUTTONDOWN, upMsg = WM_MBUTTONUP, dblMsg = WM_MBUTTONDBLCLK;
          break;
        default:
          return 0;
      }
      SetPointerFromWindow(e.button.x, e.button.y);
      if (down) {
        m_buttons |= mask;
        // Windows turns every second click of a series into a double click.
        const bool dbl = e.button.clicks >= 2 && e.button.clicks % 2 == 0;
        emit(dbl ? dblMsg : downMsg, MouseKeys());
      } else {
        m_buttons &= ~mask;
        emit(upMsg, MouseKeys());
      }
      break;
    }
    case SDL_MOUSEWHEEL: {
      long long steps = e.wheel.y;
      if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) steps = -steps;
      if (steps == 0) break;
      long long delta = steps * WHEEL_DELTA;
      // The delta travels in 16 bits; keep it a multiple of WHEEL_DELTA.
      const long long maxDelta = (32767 / WHEEL_DELTA) * WHEEL_DELTA;
      if (delta > maxDelta) delta = maxDelta;
      if (delta < -maxDelta) delta = -maxDelta;
      emit(WM_MOUSEWHEEL, MakeWheelWParam(static_cast<int>(delta), MouseKeys()));
      break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      m_mods = e.key.keysym.mod;
      const UINT vk = MapKeyToVirtualKey(e.key.keysym.sym);
      if (vk == 0) break;
      const bool down = e.type == SDL_KEYDOWN;
      const bool alt = (m_mods & KMOD_ALT) != 0 || vk == VK_MENU;
      emit(down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP), vk);
      // The characters that come with control keys (what TranslateMessage
      // would post): SDL sends no text for them.
      if (down && !alt) {
        UINT ch = 0;
        if (vk == VK_BACK || vk == VK_TAB || vk == VK_RETURN || vk == VK_ESCAPE)
          ch = vk;
        else if ((m_mods & KMOD_CTRL) && vk >= 'A' && vk <= 'Z')
          ch = vk - 'A' + 1;
        if (ch != 0) emit(WM_CHAR, ch);
      }
      break;
    }
    case SDL_TEXTINPUT: {
      const unsigned char* s = reinterpret_cast<const unsigned char*>(e.text.text);
      std::size_t i = 0;
      const std::size_t size = sizeof(e.text.text);
      while (i < size && s[i] != 0) {
        int adv = 1;
        // Never read past the array, even when it lacks a terminator.
        unsigned char buf[4] = {0, 0, 0, 0};
        for (std::size_t k = 0; k < 4 && i + k < size; ++k) buf[k] = s[i + k];
        char32_t cp = DecodeUtf8(buf, &adv);
        i += static_cast<std::size_t>(adv);
        if (cp >= 0x10000) {
          cp -= 0x10000;
          emit(WM_CHAR, static_cast<WPARAM>(0xD800 + (cp >> 10)));
          emit(WM_CHAR, static_cast<WPARAM>(0xDC00 + (cp & 0x3FF)));
        } else {
          emit(WM_CHAR, static_cast<WPARAM>(cp));
        }
      }
      break;
    }
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          SetWindowSize(e.window.data1, e.window.data2);
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          if (m_captured) {
            m_captured = false;
            emit(WM_CAPTURECHANGED, 0);
          }
          break;
        case SDL_WINDOWEVENT_CLOSE:
          emit(WM_CLOSE, 0);
          break;
        default:
          break;
      }
      break;
    case SDL_QUIT:
      emit(WM_CLOSE, 0);
      break;
    default:
      break;
  }
  return n;
}

}  // namespace fw
