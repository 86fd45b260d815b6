// The frame render with the device manager's resources in place (scene
// effect, composition, overlay) allocates nothing once running, with the
// GUI hidden and shown.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "animation/AnimationManager.h"
#include "app/App.h"
#include "audio/SoundManager.h"
#include "sequence/SequenceManager.h"
#include "app/Bindings.h"
#include "core/Globals.h"
#include "effects/DeviceManager.h"
#include "gfx/Effect.h"
#include "gfx/Sprite.h"
#include "framework/Framework.h"
#include "support/SceneEffectText.h"
#include "support/TempWorkDir.h"

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
bool g_composed = false;  // the composition's technique was there to draw with

void Render(gfx::Device* device, double t, float e, void* ctx) {
  ++g_frame;
  const gfx::Effect* fx = g_DeviceManager.GetSceneEffect();
  g_composed = fx && fx->IsTechniqueValid(g_DeviceManager.GetTechnique(DeviceManager::TECH_NO_LIGHT));
  // Half the counted frames with the overlay, half without.
  g_bGuiHidden = g_frame % 2 == 0;
  if (g_frame == 10) g_counting = true;
  OnFrameRender(device, t, e, ctx);
  if (g_frame == 30) g_counting = false;
}

}  // namespace

TEST(SteadyState, AFrameRenderAllocatesNothing) {
  mv::test::TempWorkDir dir;
  dir.Write("fx/reflectori.fxo", mv::test::SceneEffectText());
  std::filesystem::create_directories("media");
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  fw::ResetState();
  fw::SetHeadless(true);
  fw::SetFixedTimeStep(0.04);
  fw::SetFrameLimit(32, 0);
  BindFrameworkCallbacks();
  fw::SetCallbackMsgProc(nullptr);
  fw::SetCallbackFrameMove(nullptr);
  fw::SetCallbackFrameRender(Render);
  g_frame = 0;
  g_composed = false;
  g_allocations = 0;
  fw::Init(false, false, nullptr, false);
  if (fw::CreateWindow("Morvane Player") < 0 || fw::CreateDevice(false, 1920, 1080) < 0)
    GTEST_SKIP() << "no headless GL context here";
  fw::MainLoop();
  EXPECT_GE(g_frame, 30);
  EXPECT_TRUE(g_composed);
  EXPECT_EQ(g_allocations.load(), 0);
  g_bGuiHidden = true;
  fw::ResetState();
}

namespace {

int g_panelDraws = 0;

// Every panel built and shown, with live spectrum data and a three-slide
// show: drawing them allocates nothing once their glyphs are made.
void RenderPanels(gfx::Device* device, double t, float e, void* ctx) {
  ++g_frame;
  g_bGuiHidden = false;
  mv::audio::SpectrumBands& bands = g_SoundManager.Bands();
  for (int b = 0; b < 64; ++b) bands.bands[std::size_t(b)] = 0.5f + 0.4f * float((b + g_frame) % 7) / 7.0f;
  if (g_frame == 10) g_counting = true;
  OnFrameRender(device, t, e, ctx);
  if (g_frame == 30) g_counting = false;
  const gfx::Sprite* sprite = g_DeviceManager.GetSprite();
  g_panelDraws = sprite ? sprite->LastBatchDraws() : 0;
}

}  // namespace

TEST(SteadyState, DrawingEveryPanelAllocatesNothing) {
  mv::test::TempWorkDir dir;
  dir.Write("fx/reflectori.fxo", mv::test::SceneEffectText());
  std::filesystem::create_directories("media");
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  fw::ResetState();
  InitApp();
  g_bGuiHidden = false;
  for (int i = 0; i < 3; ++i) g_SequenceManager.Insert();
  fw::SetHeadless(true);
  fw::SetFixedTimeStep(0.04);
  fw::SetFrameLimit(32, 0);
  BindFrameworkCallbacks();
  fw::SetCallbackMsgProc(nullptr);
  fw::SetCallbackFrameMove(nullptr);
  fw::SetCallbackFrameRender(RenderPanels);
  g_frame = 0;
  g_allocations = 0;
  fw::Init(false, false, nullptr, false);
  if (fw::CreateWindow("Morvane Player") < 0 || fw::CreateDevice(false, 1920, 1080) < 0)
    GTEST_SKIP() << "no headless GL context here";
  fw::MainLoop();
  EXPECT_GE(g_frame, 30);
  EXPECT_GT(g_panelDraws, 0) << "the panels were drawn";
  EXPECT_EQ(g_allocations.load(), 0);
  g_bGuiHidden = true;
  fw::ResetState();
}
