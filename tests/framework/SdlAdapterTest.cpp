#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "framework/SdlAdapter.h"

namespace {

using fw::SdlAdapter;
using fw::WindowMessage;

std::vector<WindowMessage> Feed(SdlAdapter& a, const SDL_Event& e) {
  WindowMessage out[SdlAdapter::kMaxMessages];
  const int n = a.Translate(e, out, SdlAdapter::kMaxMessages);
  return std::vector<WindowMessage>(out, out + n);
}

SDL_Event Motion(int x, int y, Uint32 state = 0) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.x = x;
  e.motion.y = y;
  e.motion.state = state;
  return e;
}

SDL_Event Button(bool down, Uint8 button, int x, int y, Uint8 clicks = 1) {
  SDL_Event e{};
  e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
  e.button.button = button;
  e.button.x = x;
  e.button.y = y;
  e.button.clicks = clicks;
  e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
  return e;
}

SDL_Event Key(bool down, SDL_Keycode sym, Uint16 mod = KMOD_NONE) {
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.keysym.sym = sym;
  e.key.keysym.mod = mod;
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  return e;
}

SDL_Event Wheel(int y, Uint32 direction = SDL_MOUSEWHEEL_NORMAL) {
  SDL_Event e{};
  e.type = SDL_MOUSEWHEEL;
  e.wheel.y = y;
  e.wheel.direction = direction;
  return e;
}

SdlAdapter SameSize() {
  SdlAdapter a;
  a.SetBackBufferSize(1920, 1080);
  a.SetWindowSize(1920, 1080);
  return a;
}

TEST(SdlAdapter, MouseButtonsGiveDownUpAndDoubleClickWithFlags) {
  SdlAdapter a = SameSize();
  struct Case {
    Uint8 button;
    bool down;
    Uint8 clicks;
    UINT msg;
    WPARAM keys;
  };
  const Case cases[] = {
      {SDL_BUTTON_LEFT, true, 1, WM_LBUTTONDOWN, MK_LBUTTON},
      {SDL_BUTTON_LEFT, false, 1, WM_LBUTTONUP, 0},
      {SDL_BUTTON_LEFT, true, 2, WM_LBUTTONDBLCLK, MK_LBUTTON},
      {SDL_BUTTON_LEFT, false, 2, WM_LBUTTONUP, 0},
      {SDL_BUTTON_LEFT, true, 3, WM_LBUTTONDOWN, MK_LBUTTON},
      {SDL_BUTTON_RIGHT, true, 1, WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON},
      {SDL_BUTTON_LEFT, false, 3, WM_LBUTTONUP, MK_RBUTTON},
      {SDL_BUTTON_RIGHT, false, 1, WM_RBUTTONUP, 0},
      {SDL_BUTTON_RIGHT, true, 2, WM_RBUTTONDBLCLK, MK_RBUTTON},
      {SDL_BUTTON_RIGHT, false, 2, WM_RBUTTONUP, 0},
      {SDL_BUTTON_MIDDLE, true, 1, WM_MBUTTONDOWN, MK_MBUTTON},
      {SDL_BUTTON_MIDDLE, false, 1, WM_MBUTTONUP, 0},
      {SDL_BUTTON_MIDDLE, true, 2, WM_MBUTTONDBLCLK, MK_MBUTTON},
  };
  int i = 0;
  for (const Case& c : cases) {
    const auto msgs = Feed(a, Button(c.down, c.button, 100 + i, 200 + i, c.clicks));
    ASSERT_EQ(msgs.size(), 1u) << "case " << i;
    EXPECT_EQ(msgs[0].msg, c.msg) << "case " << i;
    EXPECT_EQ(msgs[0].wParam, c.keys) << "case " << i;
    EXPECT_EQ(GetXLParam(msgs[0].lParam), 100 + i);
    EXPECT_EQ(GetYLParam(msgs[0].lParam), 200 + i);
    ++i;
  }
  EXPECT_TRUE(Feed(a, Button(true, SDL_BUTTON_X1, 1, 1)).empty());
}

TEST(SdlAdapter, MouseMoveCarriesHeldButtonsAndModifiers) {
  SdlAdapter a = SameSize();
  Feed(a, Key(true, SDLK_LSHIFT, KMOD_LSHIFT));
  auto msgs = Feed(a, Motion(10, 20, SDL_BUTTON_LMASK | SDL_BUTTON_MMASK));
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0].msg, WM_MOUSEMOVE);
  EXPECT_EQ(msgs[0].wParam, MK_LBUTTON | MK_MBUTTON | MK_SHIFT);
  EXPECT_EQ(msgs[0].lParam, MakeLParam(10, 20));
  Feed(a, Key(false, SDLK_LSHIFT, KMOD_NONE));
  Feed(a, Key(true, SDLK_LCTRL, KMOD_LCTRL));
  msgs = Feed(a, Motion(11, 21, SDL_BUTTON_RMASK));
  EXPECT_EQ(msgs[0].wParam, MK_RBUTTON | MK_CONTROL);
}

TEST(SdlAdapter, EveryMessageCarriesTheLastPointerPosition) {
  SdlAdapter a = SameSize();
  Feed(a, Motion(321, 654));
  const LPARAM where = MakeLParam(321, 654);
  for (const auto& m : Feed(a, Key(true, SDLK_g))) EXPECT_EQ(m.lParam, where);
  for (const auto& m : Feed(a, Key(false, SDLK_g))) EXPECT_EQ(m.lParam, where);
  for (const auto& m : Feed(a, Wheel(1))) EXPECT_EQ(m.lParam, where);
  SDL_Event text{};
  text.type = SDL_TEXTINPUT;
  std::strcpy(text.text.text, "x");
  for (const auto& m : Feed(a, text)) EXPECT_EQ(m.lParam, where);
  a.SetCaptured(true);
  SDL_Event focus{};
  focus.type = SDL_WINDOWEVENT;
  focus.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
  const auto lost = Feed(a, focus);
  ASSERT_EQ(lost.size(), 1u);
  EXPECT_EQ(lost[0].msg, WM_CAPTURECHANGED);
  EXPECT_EQ(lost[0].lParam, where);
  EXPECT_FALSE(a.IsCaptured());
  // Without capture, losing focus says nothing.
  EXPECT_TRUE(Feed(a, focus).empty());
}

TEST(SdlAdapter, KeysBecomeKeyMessagesAndAltMakesThemSystemKeys) {
  SdlAdapter a = SameSize();
  struct Case {
    bool down;
    SDL_Keycode sym;
    Uint16 mod;
    UINT msg;
    WPARAM vk;
  };
  const Case cases[] = {
      {true, SDLK_g, KMOD_NONE, WM_KEYDOWN, 71},
      {false, SDLK_g, KMOD_NONE, WM_KEYUP, 71},
      {true, SDLK_LALT, KMOD_LALT, WM_SYSKEYDOWN, VK_MENU},
      {true, SDLK_RETURN, KMOD_LALT, WM_SYSKEYDOWN, VK_RETURN},
      {false, SDLK_RETURN, KMOD_LALT, WM_SYSKEYUP, VK_RETURN},
      {false, SDLK_LALT, KMOD_NONE, WM_SYSKEYUP, VK_MENU},
      {true, SDLK_PAUSE, KMOD_NONE, WM_KEYDOWN, VK_PAUSE},
      {true, SDLK_F2, KMOD_NONE, WM_KEYDOWN, VK_F2},
  };
  for (const Case& c : cases) {
    const auto msgs = Feed(a, Key(c.down, c.sym, c.mod));
    ASSERT_GE(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].msg, c.msg) << SDL_GetKeyName(c.sym);
    EXPECT_EQ(msgs[0].wParam, c.vk) << SDL_GetKeyName(c.sym);
  }
  EXPECT_TRUE(Feed(a, Key(true, SDLK_AUDIOPLAY)).empty());
}

TEST(SdlAdapter, ControlKeysAlsoGiveTheirCharacters) {
  SdlAdapter a = SameSize();
  struct Case {
    SDL_Keycode sym;
    Uint16 mod;
    WPARAM ch;
  };
  const Case cases[] = {{SDLK_BACKSPACE, KMOD_NONE, 8}, {SDLK_TAB, KMOD_NONE, 9}, {SDLK_RETURN, KMOD_NONE, 13},
                        {SDLK_ESCAPE, KMOD_NONE, 27},   {SDLK_c, KMOD_LCTRL, 3},   {SDLK_v, KMOD_RCTRL, 22}};
  for (const Case& c : cases) {
    const auto msgs = Feed(a, Key(true, c.sym, c.mod));
    ASSERT_EQ(msgs.size(), 2u) << SDL_GetKeyName(c.sym);
    EXPECT_EQ(msgs[0].msg, WM_KEYDOWN);
    EXPECT_EQ(msgs[1].msg, WM_CHAR);
    EXPECT_EQ(msgs[1].wParam, c.ch);
  }
  // Plain letters come as text input, not from the key.
  EXPECT_EQ(Feed(a, Key(true, SDLK_c)).size(), 1u);
  EXPECT_EQ(Feed(a, Key(false, SDLK_BACKSPACE)).size(), 1u);
}

TEST(SdlAdapter, TextInputBecomesUtf16Characters) {
  SdlAdapter a = SameSize();
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  std::strcpy(e.text.text, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5");  // a é € 🎵
  const auto msgs = Feed(a, e);
  ASSERT_EQ(msgs.size(), 5u);
  const WPARAM expected[] = {u'a', 0xE9, 0x20AC, 0xD83C, 0xDFB5};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(msgs[i].msg, WM_CHAR);
    EXPECT_EQ(msgs[i].wParam, expected[i]);
  }
}

TEST(SdlAdapter, MalformedTextNeverReadsPastTheEvent) {
  SdlAdapter a = SameSize();
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  // No terminator, a truncated sequence at the very end.
  std::memset(e.text.text, 'b', sizeof e.text.text);
  e.text.text[sizeof e.text.text - 1] = static_cast<char>(0xE2);
  const auto msgs = Feed(a, e);
  ASSERT_EQ(msgs.size(), sizeof e.text.text);
  EXPECT_EQ(msgs.back().wParam, 0xFFFDu);
  e.text.text[0] = static_cast<char>(0xC0);  // overlong
  e.text.text[1] = static_cast<char>(0x80);
  e.text.text[2] = 0;
  const auto bad = Feed(a, e);
  ASSERT_GE(bad.size(), 1u);
  EXPECT_EQ(bad[0].wParam, 0xFFFDu);
}

TEST(SdlAdapter, WheelDeltaIsInMultiplesOf120InTheHighWord) {
  SdlAdapter a = SameSize();
  Feed(a, Motion(5, 6, SDL_BUTTON_LMASK));
  auto msgs = Feed(a, Wheel(1));
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0].msg, WM_MOUSEWHEEL);
  EXPECT_EQ(GetWheelDelta(msgs[0].wParam), 120);
  EXPECT_EQ(msgs[0].wParam & 0xFFFF, MK_LBUTTON);
  msgs = Feed(a, Wheel(-2));
  EXPECT_EQ(GetWheelDelta(msgs[0].wParam), -240);
  msgs = Feed(a, Wheel(3, SDL_MOUSEWHEEL_FLIPPED));
  EXPECT_EQ(GetWheelDelta(msgs[0].wParam), -360);
  // Huge scrolls saturate instead of wrapping the 16-bit field.
  msgs = Feed(a, Wheel(100000));
  EXPECT_GT(GetWheelDelta(msgs[0].wParam), 0);
  EXPECT_EQ(GetWheelDelta(msgs[0].wParam) % 120, 0);
  EXPECT_TRUE(Feed(a, Wheel(0)).empty());
}

TEST(SdlAdapter, CloseEventsBecomeWmClose) {
  SdlAdapter a = SameSize();
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  auto msgs = Feed(a, quit);
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0].msg, WM_CLOSE);
  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  msgs = Feed(a, close);
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0].msg, WM_CLOSE);
}

TEST(SdlAdapter, LetterboxRectKeepsTheAspect) {
  struct Case {
    int dw, dh;
    fw::ViewportRect r;
  };
  const Case cases[] = {
      {1920, 1080, {0, 0, 1920, 1080}},  {1024, 768, {0, 96, 1024, 576}},  {2560, 1080, {320, 0, 1920, 1080}},
      {960, 540, {0, 0, 960, 540}},      {1280, 1024, {0, 152, 1280, 720}}, {0, 100, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    const fw::ViewportRect r = fw::LetterboxRect(1920, 1080, c.dw, c.dh);
    EXPECT_EQ(r.x, c.r.x) << c.dw << "x" << c.dh;
    EXPECT_EQ(r.y, c.r.y) << c.dw << "x" << c.dh;
    EXPECT_EQ(r.w, c.r.w) << c.dw << "x" << c.dh;
    EXPECT_EQ(r.h, c.r.h) << c.dw << "x" << c.dh;
  }
}

TEST(SdlAdapter, PointerMapsToTheBackBufferPixelUnderItInAnyWindowSize) {
  struct Case {
    int ww, wh;  // window
    int wx, wy;  // pointer in the window
    int bx, by;  // back-buffer pixel
  };
  const Case cases[] = {
      // The window of a full-screen 1920 x 1080 display: one to one.
      {1920, 1080, 0, 0, 0, 0},
      {1920, 1080, 241, 98, 241, 98},
      {1920, 1080, 1919, 1079, 1919, 1079},
      // A 1280 x 720 display: two window pixels for three back-buffer pixels.
      {1280, 720, 0, 0, 0, 0},
      {1280, 720, 160, 65, 240, 98},
      {1280, 720, 161, 66, 242, 99},
      {1280, 720, 640, 360, 960, 540},
      {1280, 720, 1279, 719, 1919, 1079},
      // Twice the back buffer.
      {3840, 2160, 1, 1, 0, 0},
      {3840, 2160, 2, 3, 1, 1},
      {3840, 2160, 3839, 2159, 1919, 1079},
      // 1366 x 768: the picture is 1365 wide, a bar of one pixel at the right.
      {1366, 768, 1364, 767, 1919, 1079},
      {1366, 768, 1365, 0, 1920, 0},
      // 4:3: picture 1024 x 576 at y = 96; above it lies outside the buffer.
      {1024, 768, 0, 96, 0, 0},
      {1024, 768, 512, 384, 960, 540},
      {1024, 768, 1023, 671, 1919, 1079},
      {1024, 768, 0, 0, 0, -180},
      {1024, 768, 1024, 768, 1920, 1260},
      // 21:9: picture 1920 x 1080 at x = 320.
      {2560, 1080, 320, 0, 0, 0},
      {2560, 1080, 319, 500, -1, 500},
      {2560, 1080, 2239, 1079, 1919, 1079},
  };
  for (const Case& c : cases) {
    SdlAdapter a;
    a.SetBackBufferSize(1920, 1080);
    a.SetWindowSize(c.ww, c.wh);
    const auto msgs = Feed(a, Motion(c.wx, c.wy));
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(GetXLParam(msgs[0].lParam), c.bx) << c.ww << "x" << c.wh << " at " << c.wx << "," << c.wy;
    EXPECT_EQ(GetYLParam(msgs[0].lParam), c.by) << c.ww << "x" << c.wh << " at " << c.wx << "," << c.wy;
  }
}

TEST(SdlAdapter, EveryWindowPixelOfThePictureMapsIntoItsOwnFootprint) {
  // A window pixel covers back-buffer columns [wx * 1920 / w, (wx + 1) *
  // 1920 / w); the mapped pixel must be one of them, whatever the scale.
  const int sizes[][2] = {{1920, 1080}, {1280, 720}, {960, 540}, {1366, 768}, {1600, 900},
                          {3840, 2160}, {800, 450},  {1024, 768}, {2560, 1080}};
  for (const auto& size : sizes) {
    SdlAdapter a;
    a.SetBackBufferSize(1920, 1080);
    a.SetWindowSize(size[0], size[1]);
    const fw::ViewportRect r = a.GetViewport();
    for (int i = 0; i < r.w; ++i) {
      int bx = 0, by = 0;
      a.WindowToBackBuffer(r.x + i, r.y, &bx, &by);
      const long long lo = 1920LL * i / r.w, hiExcl = (1920LL * (i + 1) + r.w - 1) / r.w;
      ASSERT_TRUE(bx >= lo && bx < hiExcl) << size[0] << "x" << size[1] << " column " << i << " -> " << bx;
    }
    for (int j = 0; j < r.h; ++j) {
      int bx = 0, by = 0;
      a.WindowToBackBuffer(r.x, r.y + j, &bx, &by);
      const long long lo = 1080LL * j / r.h, hiExcl = (1080LL * (j + 1) + r.h - 1) / r.h;
      ASSERT_TRUE(by >= lo && by < hiExcl) << size[0] << "x" << size[1] << " row " << j << " -> " << by;
    }
  }
}

TEST(SdlAdapter, AWindowResizeReachesTheMappingThroughItsEvent) {
  SdlAdapter a = SameSize();
  SDL_Event size{};
  size.type = SDL_WINDOWEVENT;
  size.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
  size.window.data1 = 1280;
  size.window.data2 = 720;
  EXPECT_TRUE(Feed(a, size).empty());
  const auto msgs = Feed(a, Button(true, SDL_BUTTON_LEFT, 1279, 719));
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0].lParam, MakeLParam(1919, 1079));
}

}  // namespace
