// Counts C++ allocations while the loop runs frames: a frame (move, render,
// message routing, present, statistics) allocates nothing once running.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "framework/Framework.h"

namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};

void* Allocate(std::size_t n) {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  return p;
}
}  // namespace

void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

int g_frame = 0;

void Move(double, float, void*) {
  ++g_frame;
  if (g_frame == 10) g_counting = true;
  fw::PostWindowMessage(WM_MOUSEMOVE, MK_LBUTTON, MakeLParam(g_frame, 2 * g_frame));
  fw::PostWindowMessage(WM_KEYDOWN, 'G', MakeLParam(g_frame, 2 * g_frame));
  if (g_frame == 40) {
    g_counting = false;
    fw::Shutdown(0);
  }
}

void Render(gfx::Device* d, double, float, void*) {
  d->Clear(gfx::CLEAR_TARGET | gfx::CLEAR_ZBUFFER, 0x000A1428, 1.0f, 0);
  fw::GetFrameStats(fw::IsVsyncEnabled());
  fw::GetDeviceStats();
}

LRESULT MsgProc(HWND, UINT, WPARAM, LPARAM, bool*, void*) { return 0; }
void Keyboard(UINT, bool, bool, void*) {}

TEST(SteadyState, AFrameAllocatesNothing) {
  fw::ResetState();
  fw::SetHeadless(true);
  fw::SetCallbackFrameMove(Move);
  fw::SetCallbackFrameRender(Render);
  fw::SetCallbackMsgProc(MsgProc);
  fw::SetCallbackKeyboard(Keyboard);
  fw::SetHotkeyHandling(false, true, false);
  ASSERT_EQ(fw::Init(false, false, nullptr, false), gfx::S_OK);
  ASSERT_EQ(fw::CreateWindow("Morvane Player"), gfx::S_OK);
  if (fw::CreateDevice(false, 1920, 1080) != gfx::S_OK) {
    fw::ResetState();
    GTEST_SKIP() << "no OpenGL 3.3 context here";
  }
  fw::SetFixedTimeStep(0.04);
  g_frame = 0;
  g_allocations = 0;
  fw::MainLoop();
  EXPECT_EQ(g_frame, 40);
  EXPECT_EQ(g_allocations.load(), 0);
  fw::ResetState();
}

}  // namespace
