#pragma once
// The window messages and virtual-key codes the toolkit and the managers
// work with. The SDL adapter is the one place that produces them; nothing
// here depends on SDL, so the toolkit builds without a window system.
#include <cstdint>

using HWND = void*;
using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// Messages.
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_ACTIVATE = 0x0006;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_ACTIVATEAPP = 0x001C;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_SYSKEYDOWN = 0x0104;
inline constexpr UINT WM_SYSKEYUP = 0x0105;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
inline constexpr UINT WM_MBUTTONDOWN = 0x0207;
inline constexpr UINT WM_MBUTTONUP = 0x0208;
inline constexpr UINT WM_MBUTTONDBLCLK = 0x0209;
inline constexpr UINT WM_MOUSEWHEEL = 0x020A;
inline constexpr UINT WM_CAPTURECHANGED = 0x0215;

// Button and modifier flags carried in wParam of mouse messages.
inline constexpr WPARAM MK_LBUTTON = 0x0001;
inline constexpr WPARAM MK_RBUTTON = 0x0002;
inline constexpr WPARAM MK_SHIFT = 0x0004;
inline constexpr WPARAM MK_CONTROL = 0x0008;
inline constexpr WPARAM MK_MBUTTON = 0x0010;
inline constexpr int WHEEL_DELTA = 120;

// Virtual-key codes ('A'..'Z' and '0'..'9' are their ASCII codes).
inline constexpr UINT VK_BACK = 0x08;
inline constexpr UINT VK_TAB = 0x09;
inline constexpr UINT VK_RETURN = 0x0D;
inline constexpr UINT VK_SHIFT = 0x10;
inline constexpr UINT VK_CONTROL = 0x11;
inline constexpr UINT VK_MENU = 0x12;
inline constexpr UINT VK_PAUSE = 0x13;
inline constexpr UINT VK_CAPITAL = 0x14;
inline constexpr UINT VK_ESCAPE = 0x1B;
inline constexpr UINT VK_SPACE = 0x20;
inline constexpr UINT VK_PRIOR = 0x21;
inline constexpr UINT VK_NEXT = 0x22;
inline constexpr UINT VK_END = 0x23;
inline constexpr UINT VK_HOME = 0x24;
inline constexpr UINT VK_LEFT = 0x25;
inline constexpr UINT VK_UP = 0x26;
inline constexpr UINT VK_RIGHT = 0x27;
inline constexpr UINT VK_DOWN = 0x28;
inline constexpr UINT VK_INSERT = 0x2D;
inline constexpr UINT VK_DELETE = 0x2E;
inline constexpr UINT VK_NUMPAD0 = 0x60;
inline constexpr UINT VK_MULTIPLY = 0x6A;
inline constexpr UINT VK_ADD = 0x6B;
inline constexpr UINT VK_SUBTRACT = 0x6D;
inline constexpr UINT VK_DECIMAL = 0x6E;
inline constexpr UINT VK_DIVIDE = 0x6F;
inline constexpr UINT VK_F1 = 0x70;
inline constexpr UINT VK_F2 = 0x71;
inline constexpr UINT VK_F3 = 0x72;
inline constexpr UINT VK_F4 = 0x73;
inline constexpr UINT VK_F5 = 0x74;
inline constexpr UINT VK_F6 = 0x75;
inline constexpr UINT VK_F7 = 0x76;
inline constexpr UINT VK_F8 = 0x77;
inline constexpr UINT VK_F9 = 0x78;
inline constexpr UINT VK_F10 = 0x79;
inline constexpr UINT VK_F11 = 0x7A;
inline constexpr UINT VK_F12 = 0x7B;
inline constexpr UINT VK_SNAPSHOT = 0x2C;
inline constexpr UINT VK_NUMLOCK = 0x90;
inline constexpr UINT VK_SCROLL = 0x91;
inline constexpr UINT VK_OEM_1 = 0xBA;       // ;:
inline constexpr UINT VK_OEM_PLUS = 0xBB;    // =+
inline constexpr UINT VK_OEM_COMMA = 0xBC;
inline constexpr UINT VK_OEM_MINUS = 0xBD;
inline constexpr UINT VK_OEM_PERIOD = 0xBE;
inline constexpr UINT VK_OEM_2 = 0xBF;       // /?
inline constexpr UINT VK_OEM_3 = 0xC0;       // `~
inline constexpr UINT VK_OEM_4 = 0xDB;       // [{
inline constexpr UINT VK_OEM_5 = 0xDC;       // \|
inline constexpr UINT VK_OEM_6 = 0xDD;       // ]}
inline constexpr UINT VK_OEM_7 = 0xDE;       // '"

// Pointer position packing: low and high 16 bits, sign-extended on the way out.
constexpr LPARAM MakeLParam(int x, int y) {
  return static_cast<LPARAM>((static_cast<std::uint32_t>(static_cast<std::uint16_t>(x))) |
                             (static_cast<std::uint32_t>(static_cast<std::uint16_t>(y)) << 16));
}
constexpr int GetXLParam(LPARAM lp) { return static_cast<std::int16_t>(lp & 0xFFFF); }
constexpr int GetYLParam(LPARAM lp) { return static_cast<std::int16_t>((lp >> 16) & 0xFFFF); }
// Wheel delta in the high word of wParam, signed.
constexpr WPARAM MakeWheelWParam(int delta, WPARAM keys) {
  return (static_cast<WPARAM>(static_cast<std::uint16_t>(delta)) << 16) | (keys & 0xFFFF);
}
constexpr int GetWheelDelta(WPARAM wp) { return static_cast<std::int16_t>((wp >> 16) & 0xFFFF); }
