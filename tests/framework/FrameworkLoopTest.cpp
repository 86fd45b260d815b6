// The real window and context code, run on SDL's offscreen driver.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "framework/Framework.h"

namespace {

struct Recorder {
  std::vector<std::string> calls;
  std::vector<double> times;
  std::vector<float> elapsed;
  std::vector<UINT> messages;
  std::vector<LPARAM> lParams;
  std::vector<UINT> keys;
  std::vector<bool> keyAlt;
  int frames = 0;
  int shutdownAtFrame = 0;
  bool stopMessages = false;
  bool wrongContext = false;
  std::vector<unsigned char> pixels;
  bool readOk = false;
};

Recorder* g_rec = nullptr;
int g_ctx[10];

void Note(const char* what, void* ctx, int slot) {
  g_rec->calls.push_back(what);
  if (ctx != &g_ctx[slot]) g_rec->wrongContext = true;
}

bool Acceptable(const fw::DeviceCaps& caps, const char*, const char* bb, bool windowed, void* ctx) {
  Note("acceptable", ctx, 0);
  EXPECT_GE(caps.numSimultaneousRTs, 1);
  EXPECT_STREQ(bb, "A8R8G8B8");
  EXPECT_FALSE(windowed);
  return true;
}
bool Modify(fw::DeviceSettings* s, const fw::DeviceCaps&, void* ctx) {
  Note("modify", ctx, 1);
  EXPECT_EQ(s->multisampleType, fw::MULTISAMPLE_NONE);
  return true;
}
gfx::HRESULT Created(gfx::Device* d, const gfx::BackBufferDesc& bb, void* ctx) {
  Note("created", ctx, 2);
  EXPECT_NE(d, nullptr);
  EXPECT_EQ(bb.width, 1920);
  EXPECT_EQ(bb.height, 1080);
  return gfx::S_OK;
}
gfx::HRESULT Reset(gfx::Device*, const gfx::BackBufferDesc& bb, void* ctx) {
  Note("reset", ctx, 3);
  EXPECT_EQ(bb.width, 1920);
  return gfx::S_OK;
}
void Lost(void* ctx) { Note("lost", ctx, 4); }
void Destroyed(void* ctx) { Note("destroyed", ctx, 5); }
void Move(double t, float e, void* ctx) {
  Note("move", ctx, 6);
  g_rec->times.push_back(t);
  g_rec->elapsed.push_back(e);
  if (g_rec->shutdownAtFrame && g_rec->frames + 1 == g_rec->shutdownAtFrame) fw::Shutdown(0);
}
void Render(gfx::Device* d, double, float, void* ctx) {
  Note("render", ctx, 7);
  ++g_rec->frames;
  if (g_rec->frames == 1) {
    d->Clear(gfx::CLEAR_TARGET | gfx::CLEAR_ZBUFFER, 0x000A1428, 1.0f, 0);
    g_rec->pixels.assign(1920u * 1080u * 4u, 0);
    g_rec->readOk = fw::ReadBackBuffer(g_rec->pixels.data(), g_rec->pixels.size());
  }
}
LRESULT MsgProc(HWND, UINT msg, WPARAM, LPARAM lp, bool* stop, void* ctx) {
  Note("msg", ctx, 8);
  g_rec->messages.push_back(msg);
  g_rec->lParams.push_back(lp);
  if (g_rec->stopMessages) *stop = true;
  return 0;
}
void Keyboard(UINT key, bool down, bool alt, void* ctx) {
  Note("key", ctx, 9);
  if (down) {
    g_rec->keys.push_back(key);
    g_rec->keyAlt.push_back(alt);
  }
}

class FrameworkLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    fw::ResetState();
    g_rec = &m_rec;
    fw::SetHeadless(true);
    // The program entry's order.
    fw::SetCallbackDeviceAcceptable(Acceptable, &g_ctx[0]);
    fw::SetCallbackDeviceCreated(Created, &g_ctx[2]);
    fw::SetCallbackDeviceReset(Reset, &g_ctx[3]);
    fw::SetCallbackFrameRender(Render, &g_ctx[7]);
    fw::SetCallbackDeviceLost(Lost, &g_ctx[4]);
    fw::SetCallbackDeviceDestroyed(Destroyed, &g_ctx[5]);
    fw::SetCallbackMsgProc(MsgProc, &g_ctx[8]);
    fw::SetCallbackKeyboard(Keyboard, &g_ctx[9]);
    fw::SetCallbackFrameMove(Move, &g_ctx[6]);
    fw::SetCallbackModifyDeviceSettings(Modify, &g_ctx[1]);
    fw::ClearMultisampleTypes();
    fw::AddMultisampleType(fw::MULTISAMPLE_NONE);
    fw::SetCursorSettings(false, true);
    ASSERT_EQ(fw::Init(false, false, nullptr, false), gfx::S_OK);
    fw::SetHotkeyHandling(false, true, false);
    ASSERT_EQ(fw::CreateWindow("Morvane Player"), gfx::S_OK);
    const gfx::HRESULT hr = fw::CreateDevice(false, 1920, 1080);
    if (hr == fw::ERR_CREATINGDEVICE && !HasGL()) GTEST_SKIP() << "no OpenGL 3.3 context here";
    ASSERT_EQ(hr, gfx::S_OK);
    fw::SetFixedTimeStep(1.0 / 25.0);
  }
  void TearDown() override {
    fw::ResetState();
    g_rec = nullptr;
  }
  static bool HasGL() {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_Window* w = SDL_CreateWindow("probe", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!w) return false;
    SDL_GLContext c = SDL_GL_CreateContext(w);
    if (c) SDL_GL_DeleteContext(c);
    SDL_DestroyWindow(w);
    return c != nullptr;
  }
  std::vector<std::string> CallsWithout(const char* skip) const {
    std::vector<std::string> out;
    for (const auto& c : m_rec.calls)
      if (c != skip) out.push_back(c);
    return out;
  }
  Recorder m_rec;
};

TEST_F(FrameworkLoop, RunsTheCallbacksInOrderAndShutdownEndsWithItsExitCode) {
  m_rec.shutdownAtFrame = 3;
  EXPECT_EQ(fw::GetDevice() != nullptr, true);
  EXPECT_EQ(fw::MainLoop(), gfx::S_OK);
  const std::vector<std::string> expected = {"acceptable", "modify", "created", "reset", "move", "render",
                                             "move",       "render", "move",    "msg",   "lost", "destroyed"};
  EXPECT_EQ(m_rec.calls, expected);
  EXPECT_FALSE(m_rec.wrongContext);
  ASSERT_EQ(m_rec.messages.size(), 1u);
  EXPECT_EQ(m_rec.messages[0], WM_CLOSE);
  ASSERT_EQ(m_rec.times.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FLOAT_EQ(m_rec.elapsed[i], 0.04f);
    EXPECT_NEAR(m_rec.times[i], 0.04 * (i + 1), 1e-9);
  }
  EXPECT_EQ(fw::GetExitCode(), 0);
  EXPECT_EQ(fw::GetDevice(), nullptr);
  EXPECT_EQ(fw::GetHWND(), nullptr);
}

TEST_F(FrameworkLoop, ClearReachesTheBackBufferTopRowFirst) {
  fw::SetFrameLimit(1, 0);
  fw::MainLoop();
  ASSERT_TRUE(m_rec.readOk);
  for (std::size_t at : {std::size_t(0), std::size_t(1920 * 540 + 960), std::size_t(1920 * 1080 - 1)}) {
    EXPECT_EQ(m_rec.pixels[at * 4 + 0], 0x0A);
    EXPECT_EQ(m_rec.pixels[at * 4 + 1], 0x14);
    EXPECT_EQ(m_rec.pixels[at * 4 + 2], 0x28);
    EXPECT_EQ(m_rec.pixels[at * 4 + 3], 0x00);
  }
}

TEST_F(FrameworkLoop, FrameLimitEndsTheLoopWithItsExitCode) {
  fw::SetFrameLimit(5, 3);
  fw::MainLoop();
  EXPECT_EQ(m_rec.frames, 5);
  EXPECT_EQ(fw::GetExitCode(), 3);
  EXPECT_EQ(fw::GetFrameCount(), 5);
}

TEST_F(FrameworkLoop, EscapeClosesTheWindow) {
  fw::SetFrameLimit(50, 9);
  fw::PostWindowMessage(WM_KEYDOWN, VK_ESCAPE, MakeLParam(7, 8));
  fw::MainLoop();
  EXPECT_EQ(m_rec.frames, 0);
  EXPECT_EQ(fw::GetExitCode(), 0);
  ASSERT_EQ(m_rec.messages.size(), 2u);
  EXPECT_EQ(m_rec.messages[0], WM_KEYDOWN);
  EXPECT_EQ(m_rec.messages[1], WM_CLOSE);
  EXPECT_EQ(m_rec.lParams[1], MakeLParam(7, 8));
  ASSERT_EQ(m_rec.keys.size(), 1u);
  EXPECT_EQ(m_rec.keys[0], VK_ESCAPE);
}

TEST_F(FrameworkLoop, AltEnterAndPauseReachTheCallbacksAndToggleNothing) {
  fw::SetFrameLimit(3, 0);
  fw::PostWindowMessage(WM_SYSKEYDOWN, VK_MENU, 0);
  fw::PostWindowMessage(WM_SYSKEYDOWN, VK_RETURN, 0);
  fw::PostWindowMessage(WM_KEYDOWN, VK_PAUSE, 0);
  fw::MainLoop();
  const std::vector<UINT> keys = {VK_MENU, VK_RETURN, VK_PAUSE};
  EXPECT_EQ(m_rec.keys, keys);
  const std::vector<bool> alt = {true, true, false};
  EXPECT_EQ(m_rec.keyAlt, alt);
  EXPECT_FALSE(fw::IsWindowed());
  EXPECT_FALSE(fw::IsTimePaused());
  EXPECT_EQ(m_rec.frames, 3);
  // Time kept running.
  EXPECT_NEAR(m_rec.times.back(), 0.12, 1e-9);
}

TEST_F(FrameworkLoop, PauseHotkeyFreezesTimeWhenEnabled) {
  fw::SetHotkeyHandling(false, true, true);
  fw::SetFrameLimit(3, 0);
  fw::PostWindowMessage(WM_KEYDOWN, VK_PAUSE, 0);
  fw::MainLoop();
  EXPECT_TRUE(fw::IsTimePaused());
  for (float e : m_rec.elapsed) EXPECT_EQ(e, 0.0f);
}

TEST_F(FrameworkLoop, StoppedMessagesGoNoFurther) {
  m_rec.stopMessages = true;
  fw::SetFrameLimit(2, 4);
  fw::PostWindowMessage(WM_KEYDOWN, VK_ESCAPE, 0);
  fw::MainLoop();
  // Neither the keyboard callback nor the framework saw Escape.
  EXPECT_TRUE(m_rec.keys.empty());
  EXPECT_EQ(m_rec.frames, 2);
  EXPECT_EQ(fw::GetExitCode(), 4);
}

TEST_F(FrameworkLoop, SdlEventsArriveAsMessagesInBackBufferPixels) {
  int ww = 0, wh = 0;
  SDL_GetWindowSize(static_cast<SDL_Window*>(fw::GetHWND()), &ww, &wh);
  ASSERT_GT(ww, 0);
  SDL_Event e{};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.button = SDL_BUTTON_LEFT;
  e.button.clicks = 1;
  e.button.x = ww / 2;
  e.button.y = wh / 2;
  ASSERT_EQ(SDL_PushEvent(&e), 1);
  fw::SetFrameLimit(1, 0);
  fw::MainLoop();
  bool seen = false;
  for (std::size_t i = 0; i < m_rec.messages.size(); ++i) {
    if (m_rec.messages[i] != WM_LBUTTONDOWN) continue;
    seen = true;
    EXPECT_NEAR(GetXLParam(m_rec.lParams[i]), 960, 2);
    EXPECT_NEAR(GetYLParam(m_rec.lParams[i]), 540, 2);
  }
  EXPECT_TRUE(seen);
}

TEST_F(FrameworkLoop, StatisticsNameOpenGLTheBackBufferAndTheRate) {
  fw::SetFrameLimit(40, 0);
  std::string texts[3];
  fw::SetCallbackFrameMove(
      [](double, float, void* out) {
        if (fw::GetFrameCount() == 35) {
          auto* s = static_cast<std::string*>(out);
          s[0] = fw::GetFrameStats(true);
          s[1] = fw::GetFrameStats(false);
          s[2] = fw::GetDeviceStats();
        }
      },
      texts);
  fw::MainLoop();
  // The offscreen driver takes a swap interval and never waits: frames are
  // not synchronised, whatever the settings ask for.
  EXPECT_EQ(texts[0].rfind("OpenGL ", 0), 0u) << texts[0];
  EXPECT_NE(texts[0].find("25.00 fpsVsync Off (1920x1080), A8R8G8B8 (D24S8)"), std::string::npos) << texts[0];
  EXPECT_NE(texts[1].find(" Vsync Off (1920x1080)"), std::string::npos) << texts[1];
  EXPECT_EQ(texts[1].find("fps"), std::string::npos);
  EXPECT_TRUE(texts[2].rfind("HARDWARE", 0) == 0 || texts[2].rfind("SOFTWARE", 0) == 0) << texts[2];
  EXPECT_NE(texts[2].find(" vp): "), std::string::npos) << texts[2];
  EXPECT_EQ(fw::GetDeviceSettings().presentInterval, fw::PRESENT_INTERVAL_ONE);
  EXPECT_FALSE(fw::IsVsyncEnabled());
}

TEST_F(FrameworkLoop, ToggleFullScreenRunsLostAndResetAroundTheSwitch) {
  m_rec.calls.clear();
  EXPECT_FALSE(fw::IsWindowed());
  ASSERT_EQ(fw::ToggleFullScreen(), gfx::S_OK);
  EXPECT_TRUE(fw::IsWindowed());
  const std::vector<std::string> expected = {"lost", "reset"};
  EXPECT_EQ(m_rec.calls, expected);
  EXPECT_EQ(fw::GetBackBufferDesc().width, 1920);
  EXPECT_EQ(fw::GetBackBufferDesc().height, 1080);
  ASSERT_EQ(fw::ToggleFullScreen(), gfx::S_OK);
  EXPECT_FALSE(fw::IsWindowed());
}

TEST_F(FrameworkLoop, ToggleRefSwitchesToTheSoftwareRasteriserOnMesa) {
  if (std::string(fw::GetDeviceStats()).find("Mesa") == std::string::npos &&
      std::string(fw::GetDeviceStats()).find("llvmpipe") == std::string::npos)
    GTEST_SKIP() << "not a Mesa driver";
  m_rec.calls.clear();
  ASSERT_EQ(fw::ToggleREF(), gfx::S_OK);
  ASSERT_NE(fw::GetDevice(), nullptr);
  EXPECT_EQ(std::string(fw::GetDeviceStats()).rfind("REFERENCE", 0), 0u) << fw::GetDeviceStats();
  const std::vector<std::string> expected = {"lost", "destroyed", "acceptable", "modify", "created", "reset"};
  EXPECT_EQ(m_rec.calls, expected);
  ASSERT_EQ(fw::ToggleREF(), gfx::S_OK);
  EXPECT_EQ(std::string(fw::GetDeviceStats()).rfind("REFERENCE", 0), std::string::npos);
  fw::SetFrameLimit(1, 0);
  fw::MainLoop();
  EXPECT_EQ(m_rec.frames, 1);
}

TEST_F(FrameworkLoop, ShutdownOutsideTheLoopReleasesAtOnce) {
  fw::Shutdown(0);
  EXPECT_EQ(fw::GetDevice(), nullptr);
  EXPECT_EQ(fw::GetHWND(), nullptr);
  EXPECT_EQ(m_rec.calls.back(), "destroyed");
  EXPECT_EQ(fw::MainLoop(), gfx::S_OK);
  EXPECT_EQ(m_rec.frames, 0);
}

TEST(FrameworkNoWindow, MainLoopWithoutAWindowFails) {
  fw::ResetState();
  EXPECT_EQ(fw::MainLoop(), fw::ERR_NOWINDOW);
  EXPECT_NE(fw::GetExitCode(), 0);
  EXPECT_EQ(fw::GetDevice(), nullptr);
  EXPECT_STREQ(fw::GetFrameStats(true), "");
  fw::ResetState();
}

}  // namespace

namespace {

int g_reposts = 0;
LRESULT Reposting(HWND, UINT msg, WPARAM, LPARAM, bool*, void*) {
  if (msg == WM_MOUSEMOVE) {
    ++g_reposts;
    fw::PostWindowMessage(WM_MOUSEMOVE, 0, 0);
  }
  return 0;
}

TEST_F(FrameworkLoop, MessagesPostedWhileRoutingWaitForTheNextIteration) {
  g_reposts = 0;
  fw::SetCallbackMsgProc(Reposting);
  fw::PostWindowMessage(WM_MOUSEMOVE, 0, 0);
  fw::SetFrameLimit(4, 0);
  fw::MainLoop();
  // One per loop iteration, not an endless chain inside the first one.
  EXPECT_EQ(g_reposts, 4);
  EXPECT_EQ(m_rec.frames, 4);
}

}  // namespace
