// Device creation paths that fail, and what the window shows while full
// screen. Offscreen SDL driver.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <string>
#include <vector>

#include "framework/Framework.h"

namespace {

std::vector<std::string>* g_calls = nullptr;
bool g_accept = true;
gfx::HRESULT g_createResult = gfx::S_OK;
gfx::HRESULT g_resetResult = gfx::S_OK;
int g_requestedSamples = fw::MULTISAMPLE_NONE;

bool Acceptable(const fw::DeviceCaps&, const char*, const char*, bool, void*) {
  g_calls->push_back("acceptable");
  return g_accept;
}
bool Modify(fw::DeviceSettings* s, const fw::DeviceCaps&, void*) {
  g_calls->push_back("modify");
  g_requestedSamples = s->multisampleType;
  s->presentInterval = fw::PRESENT_INTERVAL_IMMEDIATE;
  return true;
}
gfx::HRESULT Created(gfx::Device*, const gfx::BackBufferDesc&, void*) {
  g_calls->push_back("created");
  return g_createResult;
}
gfx::HRESULT Reset(gfx::Device*, const gfx::BackBufferDesc&, void*) {
  g_calls->push_back("reset");
  return g_resetResult;
}
void Lost(void*) { g_calls->push_back("lost"); }
void Destroyed(void*) { g_calls->push_back("destroyed"); }
void Move(double, float, void*) { g_calls->push_back("move"); }

class DeviceCreation : public ::testing::Test {
 protected:
  void SetUp() override {
    fw::ResetState();
    g_calls = &m_calls;
    g_accept = true;
    g_createResult = g_resetResult = gfx::S_OK;
    fw::SetHeadless(true);
    fw::SetCallbackDeviceAcceptable(Acceptable);
    fw::SetCallbackModifyDeviceSettings(Modify);
    fw::SetCallbackDeviceCreated(Created);
    fw::SetCallbackDeviceReset(Reset);
    fw::SetCallbackDeviceLost(Lost);
    fw::SetCallbackDeviceDestroyed(Destroyed);
    fw::SetCallbackFrameMove(Move);
    ASSERT_EQ(fw::Init(false, false, nullptr, false), gfx::S_OK);
    ASSERT_EQ(fw::CreateWindow("Morvane Player"), gfx::S_OK);
    fw::SetFixedTimeStep(0.04);
  }
  void TearDown() override {
    fw::ResetState();
    g_calls = nullptr;
  }
  bool Probe() {
    // Whether this machine can make a GL 3.3 context at all.
    gfx::HRESULT hr = fw::CreateDevice(false, 1920, 1080);
    const bool ok = hr == gfx::S_OK;
    fw::Shutdown(0);
    fw::ResetState();
    SetUp();
    m_calls.clear();
    return ok;
  }
  std::vector<std::string> m_calls;
};

TEST_F(DeviceCreation, RejectedConfigurationCreatesNothing) {
  g_accept = false;
  const gfx::HRESULT hr = fw::CreateDevice(false, 1920, 1080);
  if (hr != fw::ERR_NOCOMPATIBLEDEVICES && m_calls.empty()) GTEST_SKIP() << "no OpenGL 3.3 context here";
  EXPECT_EQ(hr, fw::ERR_NOCOMPATIBLEDEVICES);
  EXPECT_EQ(m_calls, std::vector<std::string>{"acceptable"});
  EXPECT_EQ(fw::GetDevice(), nullptr);
  EXPECT_EQ(fw::GetBackBufferDesc().width, 0);
  // Without a device the loop runs no frame but still ends.
  fw::SetFrameLimit(3, 5);
  fw::MainLoop();
  EXPECT_EQ(fw::GetExitCode(), 5);
  EXPECT_EQ(m_calls, std::vector<std::string>{"acceptable"});
}

TEST_F(DeviceCreation, FailedCreationReleasesWhatItMade) {
  if (!Probe()) GTEST_SKIP() << "no OpenGL 3.3 context here";
  g_createResult = gfx::E_FAIL;
  EXPECT_EQ(fw::CreateDevice(false, 1920, 1080), gfx::E_FAIL);
  const std::vector<std::string> expected = {"acceptable", "modify", "created", "destroyed"};
  EXPECT_EQ(m_calls, expected);
  EXPECT_EQ(fw::GetDevice(), nullptr);
}

TEST_F(DeviceCreation, FailedResetReleasesBothStages) {
  if (!Probe()) GTEST_SKIP() << "no OpenGL 3.3 context here";
  g_resetResult = gfx::E_FAIL;
  EXPECT_EQ(fw::CreateDevice(false, 1920, 1080), gfx::E_FAIL);
  const std::vector<std::string> expected = {"acceptable", "modify", "created", "reset", "lost", "destroyed"};
  EXPECT_EQ(m_calls, expected);
  EXPECT_EQ(fw::GetDevice(), nullptr);
}

TEST_F(DeviceCreation, FullScreenHidesAndConfinesTheCursor) {
  if (!Probe()) GTEST_SKIP() << "no OpenGL 3.3 context here";
  fw::SetCursorSettings(false, true);
  ASSERT_EQ(fw::CreateDevice(false, 1920, 1080), gfx::S_OK);
  SDL_Window* w = static_cast<SDL_Window*>(fw::GetHWND());
  EXPECT_STREQ(SDL_GetWindowTitle(w), "Morvane Player");
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  // The offscreen driver cannot confine the pointer; ask the framework.
  EXPECT_TRUE(fw::IsCursorClipped());
  ASSERT_EQ(fw::ToggleFullScreen(), gfx::S_OK);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
  EXPECT_EQ(SDL_GetWindowGrab(w), SDL_FALSE);
  EXPECT_FALSE(fw::IsCursorClipped());
}

TEST_F(DeviceCreation, FullScreenIsABorderlessWindowOverTheWholeDisplay) {
  if (!Probe()) GTEST_SKIP() << "no OpenGL 3.3 context here";
  ASSERT_EQ(fw::CreateDevice(false, 1920, 1080), gfx::S_OK);
  SDL_Window* w = static_cast<SDL_Window*>(fw::GetHWND());
  SDL_Rect display{};
  ASSERT_EQ(SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(w), &display), 0);
  // Full screen, windowed (the back buffer shrunk to fit this display), and
  // full screen again after the round trip.
  const bool windowed[] = {false, true, false};
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      ASSERT_EQ(fw::ToggleFullScreen(), gfx::S_OK);
    }
    ASSERT_EQ(fw::IsWindowed(), windowed[i]);
    int x = -1, y = -1, ww = 0, wh = 0;
    SDL_GetWindowPosition(w, &x, &y);
    SDL_GetWindowSize(w, &ww, &wh);
    const Uint32 flags = SDL_GetWindowFlags(w);
    // SDL's own full-screen modes need a window manager to take effect.
    EXPECT_EQ(flags & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
    EXPECT_NE(flags & SDL_WINDOW_SHOWN, 0u);
    const bool covers = x == display.x && y == display.y && ww == display.w && wh == display.h;
    EXPECT_EQ(covers, !windowed[i]) << "step " << i << ": " << x << "," << y << " " << ww << "x" << wh << " on "
                                    << display.w << "x" << display.h;
    if (!windowed[i]) {
      EXPECT_NE(flags & SDL_WINDOW_BORDERLESS, 0u) << "step " << i;
    }
  }
}

TEST_F(DeviceCreation, DevicesAreNeverMultisampledAndTheIntervalCanBeChanged) {
  if (!Probe()) GTEST_SKIP() << "no OpenGL 3.3 context here";
  fw::ClearMultisampleTypes();
  fw::AddMultisampleType(4);
  ASSERT_EQ(fw::CreateDevice(false, 1920, 1080), gfx::S_OK);
  EXPECT_EQ(g_requestedSamples, 4);
  EXPECT_EQ(fw::GetDeviceSettings().multisampleType, fw::MULTISAMPLE_NONE);
  EXPECT_FALSE(fw::IsVsyncEnabled());
  EXPECT_NE(std::string(fw::GetFrameStats(false)).find("Vsync Off"), std::string::npos);
}

}  // namespace
