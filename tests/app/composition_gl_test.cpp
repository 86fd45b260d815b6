// The composition on a real (headless) GL device: the colour scene-save
// texture lands exactly on the view rectangle, with black bars a tenth of
// its height at its top and bottom, and the clear colour around it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "animation/AnimationManager.h"
#include "app/App.h"
#include "audio/SoundManager.h"
#include "scene/SceneManager.h"
#include "sequence/SequenceManager.h"
#include "values/ValuesManager.h"
#include "app/Bindings.h"
#include "core/Globals.h"
#include "effects/DeviceManager.h"
#include "effects/SkyBoxManager.h"
#include "framework/Framework.h"
#include "support/SceneEffectText.h"
#include "support/TempWorkDir.h"

namespace {

std::vector<std::uint8_t> g_pixels;

void Render(gfx::Device* device, double t, float e, void* ctx) {
  // The scene-save colour texture in pure red: what the scene would leave.
  std::shared_ptr<gfx::Surface> scene, back = device->GetBackBuffer();
  if (const auto& tex = g_DeviceManager.GetSceneTexture(0)) tex->GetSurfaceLevel(0, &scene);
  if (scene) {
    device->SetRenderTarget(0, scene);
    device->Clear(gfx::CLEAR_TARGET, 0xFFFF0000u, 1.0f, 0);
    device->SetRenderTarget(0, back);
  }
  g_bGuiHidden = false;
  // Only the composition is looked at here: the panels drawn over the view
  // have tests of their own.
  for (CDXUTDialog* d : {&g_SoundManager.Panel(), &g_DeviceManager.GetDialog(), &g_ValuesManager.GetDialog(),
                         &g_SceneManager.Panel(), &g_SequenceManager.MessageDialog(), &g_SequenceManager.Panel(),
                         &g_AnimationManager.Panel()})
    d->SetVisible(false);
  // The red image stands for the whole scene: the sky box, which would
  // otherwise cover or clear it, sits this frame out.
  g_SkyBoxManager.SetDeviceManager(nullptr);
  OnFrameRender(device, t, e, ctx);
  g_SkyBoxManager.SetDeviceManager(&g_DeviceManager);
  for (CDXUTDialog* d : {&g_SoundManager.Panel(), &g_DeviceManager.GetDialog(), &g_ValuesManager.GetDialog(),
                         &g_SceneManager.Panel(), &g_SequenceManager.MessageDialog(), &g_SequenceManager.Panel(),
                         &g_AnimationManager.Panel()})
    d->SetVisible(true);
  g_pixels.assign(1920u * 1080u * 4u, 0);
  if (!fw::ReadBackBuffer(g_pixels.data(), g_pixels.size())) g_pixels.clear();
}

std::uint32_t Rgb(int x, int y) {
  const std::uint8_t* p = &g_pixels[(static_cast<std::size_t>(y) * 1920 + x) * 4];
  return std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
}

}  // namespace

TEST(Headless, TheSceneImageFillsTheViewRectangleBetweenTwoBars) {
  mv::test::TempWorkDir dir;
  dir.Write("fx/reflectori.fxo", mv::test::SceneEffectText());
  std::filesystem::create_directories("media");
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  fw::ResetState();
  fw::SetHeadless(true);
  fw::SetFixedTimeStep(0.04);
  fw::SetFrameLimit(1, 0);
  g_DeviceManager.SetViewSize(640, 400);
  g_DeviceManager.BuildPanel(1920, 1080);
  BindFrameworkCallbacks();
  fw::SetCallbackMsgProc(nullptr);
  fw::SetCallbackFrameMove(nullptr);
  fw::SetCallbackFrameRender(Render);
  g_pixels.clear();
  fw::Init(false, false, nullptr, false);
  if (fw::CreateWindow("Morvane Player") < 0 || fw::CreateDevice(false, 1920, 1080) < 0)
    GTEST_SKIP() << "no headless GL context here";
  fw::MainLoop();
  g_bGuiHidden = true;
  fw::ResetState();
  ASSERT_FALSE(g_pixels.empty());

  // View (100, 200, 640, 400): bars of 40 rows at 200..239 and 560..599.
  const std::uint32_t red = 0xFF0000, black = 0, clear = 0x0A1428;
  const struct { int x, y; std::uint32_t rgb; } cases[] = {
      {420, 240, red},   {420, 559, red},   {100, 400, red},  {739, 400, red},
      {420, 200, black}, {420, 239, black}, {420, 560, black}, {420, 599, black},
      {100, 200, black}, {739, 599, black},
      {99, 400, clear},  {740, 400, clear}, {420, 199, clear}, {420, 600, clear},
  };
  for (const auto& c : cases) EXPECT_EQ(Rgb(c.x, c.y), c.rgb) << c.x << "," << c.y;
}

// With the scene effect required and missing, the player says why on
// standard error and ends with exit code 1 instead of idling.
TEST(Headless, AMissingRequiredSceneEffectEndsThePlayerWithAMessage) {
  mv::test::TempWorkDir dir;
  std::filesystem::create_directories("media");
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  fw::ResetState();
  fw::SetHeadless(true);
  g_DeviceManager.SetSceneEffectRequired(true);
  testing::internal::CaptureStderr();
  const int code = RunPlayer();
  const std::string err = testing::internal::GetCapturedStderr();
  fw::ResetState();
  if (err.find("ERR_NOWINDOW") != std::string::npos) GTEST_SKIP() << "no headless GL context here";
  EXPECT_EQ(code, 1);
  EXPECT_NE(err.find("the device could not be created: ERR_MEDIANOTFOUND"), std::string::npos) << err;
  // Nothing of the device's is left behind.
  EXPECT_EQ(g_DeviceManager.GetSceneTexture(0), nullptr);
  EXPECT_EQ(g_DeviceManager.GetWhiteTexture(), nullptr);
  EXPECT_EQ(g_DeviceManager.GetFont(0), nullptr);
}
