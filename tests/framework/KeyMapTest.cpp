#include <gtest/gtest.h>

#include "framework/SdlAdapter.h"

namespace {

struct KeyCase {
  SDL_Keycode sdl;
  UINT vk;
};

TEST(KeyMap, MapsSdlKeysToWindowsVirtualKeys) {
  const KeyCase cases[] = {
      {SDLK_a, 'A'},           {SDLK_g, 71},           {SDLK_z, 'Z'},
      {SDLK_0, '0'},           {SDLK_9, '9'},          {SDLK_F1, VK_F1},
      {SDLK_F2, 0x71},         {SDLK_F12, VK_F12},     {SDLK_LEFT, VK_LEFT},
      {SDLK_RIGHT, VK_RIGHT},  {SDLK_UP, VK_UP},       {SDLK_DOWN, VK_DOWN},
      {SDLK_HOME, VK_HOME},    {SDLK_END, VK_END},     {SDLK_PAGEUP, VK_PRIOR},
      {SDLK_PAGEDOWN, VK_NEXT}, {SDLK_INSERT, VK_INSERT}, {SDLK_DELETE, VK_DELETE},
      {SDLK_BACKSPACE, 0x08},  {SDLK_TAB, 0x09},       {SDLK_RETURN, 0x0D},
      {SDLK_KP_ENTER, 0x0D},   {SDLK_ESCAPE, 0x1B},    {SDLK_SPACE, 0x20},
      {SDLK_LSHIFT, VK_SHIFT}, {SDLK_RSHIFT, VK_SHIFT}, {SDLK_LCTRL, VK_CONTROL},
      {SDLK_RCTRL, VK_CONTROL}, {SDLK_LALT, VK_MENU},  {SDLK_RALT, VK_MENU},
      {SDLK_PAUSE, VK_PAUSE},  {SDLK_KP_0, 0x60},      {SDLK_KP_7, 0x67},
      {SDLK_KP_9, 0x69},       {SDLK_KP_PLUS, VK_ADD}, {SDLK_KP_MINUS, VK_SUBTRACT},
      {SDLK_KP_MULTIPLY, VK_MULTIPLY}, {SDLK_KP_DIVIDE, VK_DIVIDE}, {SDLK_KP_PERIOD, VK_DECIMAL},
      {SDLK_MINUS, VK_OEM_MINUS}, {SDLK_COMMA, VK_OEM_COMMA},
  };
  for (const KeyCase& c : cases) EXPECT_EQ(fw::MapKeyToVirtualKey(c.sdl), c.vk) << SDL_GetKeyName(c.sdl);
}

TEST(KeyMap, KeysWithoutACodeMapToZero) {
  EXPECT_EQ(fw::MapKeyToVirtualKey(SDLK_UNKNOWN), 0u);
  EXPECT_EQ(fw::MapKeyToVirtualKey(SDLK_AUDIOPLAY), 0u);
  EXPECT_EQ(fw::MapKeyToVirtualKey(SDLK_F24), 0u);
}

TEST(KeyMap, EveryLetterAndDigitIsItsUppercaseAscii) {
  for (SDL_Keycode k = SDLK_a; k <= SDLK_z; ++k) EXPECT_EQ(fw::MapKeyToVirtualKey(k), UINT('A' + (k - SDLK_a)));
  for (SDL_Keycode k = SDLK_0; k <= SDLK_9; ++k) EXPECT_EQ(fw::MapKeyToVirtualKey(k), UINT('0' + (k - SDLK_0)));
}

}  // namespace
