// The program's own panels on a headless GL device, as golden images
// (tests/app/golden/, MV_APPROVE=1 rewrites them): the sequence panel with
// a three-slide show, the message dialog's warning, the sound panel with a
// synthetic spectrum, the scene panel for the post-process object, the sky
// box object and a mesh object, and the device panel's buttons over the 3D view in a
// whole frame.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "animation/AnimationManager.h"
#include "app/App.h"
#include "app/Bindings.h"
#include "audio/SoundManager.h"
#include "core/Globals.h"
#include "effects/DeviceManager.h"
#include "effects/SkyBoxManager.h"
#include "framework/Framework.h"
#include "framework/PanelPainter.h"
#include "gui/Gui.h"
#include <sstream>

#include "model/SceneObjects.h"
#include "scene/SceneManager.h"
#include "sequence/SequenceManager.h"
#include "support/GLTestContext.h"
#include "support/SceneEffectText.h"
#include "support/TempWorkDir.h"
#include "values/ValuesManager.h"

namespace {

const std::string kGolden = std::string(MV_SOURCE_DIR) + "/tests/app/golden";
constexpr int kTolerance = 3;
constexpr int kW = 1920, kH = 1080;

struct Shot {
  std::string name;
  gui::Rect crop;
  std::vector<std::uint8_t> pixels;
};
std::vector<Shot> g_shots;

std::vector<CDXUTDialog*> AllPanels() {
  return {&g_SoundManager.Panel(),           &g_DeviceManager.GetDialog(), &g_ValuesManager.GetDialog(),
          &g_SceneManager.Panel(),           &g_SequenceManager.MessageDialog(),
          &g_SequenceManager.Panel(),        &g_AnimationManager.Panel()};
}

// Only `shown` stays visible.
void ShowOnly(CDXUTDialog* shown) {
  for (CDXUTDialog* d : AllPanels()) d->SetVisible(d == shown);
}

void Grab(const std::string& name, const gui::Rect& crop) {
  std::vector<std::uint8_t> all(std::size_t(kW) * kH * 4);
  if (!fw::ReadBackBuffer(all.data(), all.size())) return;
  Shot s{name, crop, {}};
  for (int y = crop.top; y < crop.bottom; ++y)
    for (int x = crop.left; x < crop.right; ++x) {
      const std::uint8_t* p = &all[(std::size_t(y) * kW + x) * 4];
      s.pixels.insert(s.pixels.end(), {p[0], p[1], p[2], 255});
    }
  g_shots.push_back(std::move(s));
}

// One panel alone through the device manager's painter, on the clear
// colour.
void DrawAlone(gfx::Device* device, CDXUTDialog& dialog, const std::string& name) {
  fw::PanelPainter* painter = g_DeviceManager.GetPanelPainter();
  if (!painter) return;
  device->BeginScene();
  device->Clear(gfx::CLEAR_TARGET, 0xFF0A1428, 1.0f, 0);
  painter->Draw(dialog, 0.04f);
  device->EndScene();
  gui::Rect crop = dialog.GetCaptionRect();
  const gui::Rect body = dialog.GetBodyRect();
  if (crop.Empty()) crop = body;
  crop.bottom = std::max(crop.bottom, body.bottom);
  Grab(name, crop);
}

void Render(gfx::Device* device, double t, float e, void* ctx) {
  g_bGuiHidden = false;

  // A three-slide show, the second slide current.
  for (int i = 0; i < 3; ++i) g_SequenceManager.Insert();
  g_SequenceManager.Next();
  DrawAlone(device, g_SequenceManager.Panel(), "sequence_panel");

  g_SequenceManager.ShowMessage(u"Warning !", u"Error when loading slide", 0);
  DrawAlone(device, g_SequenceManager.MessageDialog(), "message_warning");
  g_SequenceManager.ShowMessage(u"Ok !", u"Slide saved !", 3);
  DrawAlone(device, g_SequenceManager.MessageDialog(), "message_saved");

  // A spectrum falling from low to high bands with a ripple, markers above
  // the bands, five bands selected and the pointer over another.
  mv::audio::SpectrumBands& bands = g_SoundManager.Bands();
  for (int b = 0; b < 64; ++b) {
    bands.bands[std::size_t(b)] = std::clamp(0.85f - 0.011f * b + 0.08f * std::sin(b * 0.7f), 0.0f, 1.0f);
    bands.markers[std::size_t(b)] = std::min(1.0f, bands.bands[std::size_t(b)] + 0.06f + 0.02f * (b % 3));
    bands.selected[std::size_t(b)] = b >= 6 && b <= 10;
  }
  bands.threshold = 125.0f;
  bands.hovered = 30;
  bands.level = 0.62f;
  CDXUTDialog& sound = g_SoundManager.Panel();
  for (int i = 0; i < sound.GetNumControls(); ++i) {
    CDXUTControl* c = sound.GetControlByIndex(i);
    if (c->GetType() == DXUT_CONTROL_LEVEL) {
      static_cast<CDXUTLevel*>(c)->SetValue(bands.level * 1000.0f);
      static_cast<CDXUTLevel*>(c)->SetThreshold(bands.threshold / 255.0f * 1000.0f);
    }
    if (c->GetType() == DXUT_CONTROL_SPECTRUM) {
      static_cast<CDXUTSpectrum*>(c)->SetPeaks(bands.markers.data());
      static_cast<CDXUTSpectrum*>(c)->SetThreshold(bands.threshold);
    }
  }
  DrawAlone(device, sound, "sound_panel");

  // The scene panel: a fresh scene's post-process object (the chain
  // controls it hosts), then a mesh object inserted after it.
  {
    SceneManager fresh(ProgramScenePeers());
    std::stringstream section;
    fresh.Write(section);
    g_SceneManager.Read(section);
  }
  CDXUTDialog& scenePanel = g_SceneManager.Panel();
  scenePanel.SetMinimized(false);  // the fresh scene's preferences say nothing of ours
  scenePanel.SetLocation(1060, 10);
  // As a frame does it: a refresh notices the kind, the panel is built
  // for it, and refreshed again with the object's values.
  auto show = [] {
    g_SceneManager.RefreshPanel();
    if (g_SceneManager.GetSelectedKind() != g_SceneManager.GetPanelKind())
      g_SceneManager.BuildPanel(g_SceneManager.GetSelectedKind());
    g_SceneManager.RefreshPanel();
  };
  g_SceneManager.SetSelectedIndex(3);
  show();
  DrawAlone(device, scenePanel, "scene_panel_postprocess");
  g_SceneManager.SetSelectedIndex(2);
  show();
  DrawAlone(device, scenePanel, "scene_panel_skybox");
  g_SceneManager.SetSelectedIndex(3);  // the mesh goes after the post-process object
  g_SceneManager.InsertObject(OBJ_MESH, -1, -1, nullptr, nullptr, -1);
  show();
  DrawAlone(device, scenePanel, "scene_panel_mesh");

  // The whole frame with only the device panel shown: its caption and
  // buttons over the view, which holds a scene image of two colours.
  std::shared_ptr<gfx::Surface> scene, back = device->GetBackBuffer();
  if (const auto& tex = g_DeviceManager.GetSceneTexture(0)) tex->GetSurfaceLevel(0, &scene);
  if (scene) {
    device->SetRenderTarget(0, scene);
    device->Clear(gfx::CLEAR_TARGET, 0xFF3070C0u, 1.0f, 0);
    device->SetRenderTarget(0, back);
  }
  ShowOnly(&g_DeviceManager.GetDialog());
  // The two colours stand for the whole scene: the sky box sits this
  // frame out rather than cover or clear them.
  g_SkyBoxManager.SetDeviceManager(nullptr);
  OnFrameRender(device, t, e, ctx);
  g_SkyBoxManager.SetDeviceManager(&g_DeviceManager);
  const CDXUTDialog& view = g_DeviceManager.GetDialog();
  Grab("device_over_view", {view.GetX(), view.GetY(), view.GetX() + view.GetWidth(), view.GetY() + view.GetHeight()});
  for (CDXUTDialog* d : AllPanels()) d->SetVisible(true);
}

}  // namespace

TEST(PanelsGolden, TheProgramsPanels) {
  mv::test::TempWorkDir dir;
  dir.Write("fx/reflectori.fxo", mv::test::SceneEffectText());
  std::filesystem::create_directories("media");
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  fw::ResetState();
  // Whatever other tests of this program left: panels built once, at
  // their places, open, with nothing under the pointer; no slides.
  for (CDXUTDialog* d : {&g_SoundManager.Panel(), &g_AnimationManager.Panel(), &g_ValuesManager.GetDialog()})
    d->RemoveAllControls();
  g_SequenceManager.Slides().clear();
  InitApp();
  for (CDXUTDialog* d : AllPanels()) {
    d->SetMinimized(false);
    d->SetVisible(true);
    d->Refresh();
  }
  CDXUTDialog::ClearFocus();
  g_DeviceManager.SetViewSize(640, 400);
  g_DeviceManager.BuildPanel(kW, kH);
  fw::SetHeadless(true);
  fw::SetFixedTimeStep(0.04);
  fw::SetFrameLimit(1, 0);
  BindFrameworkCallbacks();
  fw::SetCallbackMsgProc(nullptr);
  fw::SetCallbackFrameMove(nullptr);
  fw::SetCallbackFrameRender(Render);
  g_shots.clear();
  fw::Init(false, false, nullptr, false);
  if (fw::CreateWindow("Morvane Player") < 0 || fw::CreateDevice(false, kW, kH) < 0)
    GTEST_SKIP() << "no headless GL context here";
  fw::MainLoop();
  g_bGuiHidden = true;
  fw::ResetState();

  const char* const expected[] = {"sequence_panel",          "message_warning",  "message_saved",   "sound_panel",
                                  "scene_panel_postprocess", "scene_panel_skybox", "scene_panel_mesh", "device_over_view"};
  ASSERT_EQ(g_shots.size(), std::size(expected));
  for (std::size_t i = 0; i < g_shots.size(); ++i) {
    const Shot& s = g_shots[i];
    EXPECT_EQ(s.name, expected[i]);
    for (std::size_t j = 0; j < i; ++j) EXPECT_NE(g_shots[j].pixels, s.pixels) << s.name << " looks like " << g_shots[j].name;
    const std::string diff =
        mvtest::CompareWithGolden(kGolden, s.name, s.crop.Width(), s.crop.Height(), s.pixels, kTolerance);
    EXPECT_TRUE(diff.empty()) << diff;
  }
  // The device panel's "Full Show (TAB)" button is drawn (a light face)
  // where it takes its click, over the scene image (blue).
  const Shot& frame = g_shots.back();
  auto at = [&](int x, int y) { return &frame.pixels[(std::size_t(y) * frame.crop.Width() + x) * 4]; };
  const std::uint8_t* button = at(60, 18 + 116 + 11);
  const std::uint8_t* view = at(400, 200);
  EXPECT_GT(button[0], 120);
  EXPECT_LT(view[0], 0x50);
  EXPECT_GT(view[2], 0xA0);
}
