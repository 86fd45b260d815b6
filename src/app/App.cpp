#include "app/App.h"

#include <cstdio>
#include <fstream>
#include <memory>

#include "animation/AnimationManager.h"
#include "app/Bindings.h"
#include "app/PanelDrawing.h"
#include "audio/SoundManager.h"
#include "core/Globals.h"
#include "effects/DeviceManager.h"
#include "effects/MetaballField.h"
#include "effects/ParticleManager.h"
#include "effects/PostProcessManager.h"
#include "effects/RenderTargetChain.h"
#include "effects/SkyBoxManager.h"
#include "framework/Framework.h"
#include "gfx/Device.h"
#include "gfx/Font.h"
#include "gfx/Sprite.h"
#include "gui/Gui.h"
#include "io/BinaryIO.h"
#include "io/Log.h"
#include "io/Paths.h"
#include "scene/Catalog.h"
#include "scene/SceneManager.h"
#include "sequence/SequenceManager.h"
#include "values/ValuesManager.h"

namespace {

constexpr const char* kSequenceFile = "media\\sequence.mv";
constexpr std::uint32_t kClearColor = 0x000A1428;

char g_overlay[3][160];

// The three overlay lines with the device manager's first font and sprite,
// yellow, 15 pixels apart from (320, 5).
void DrawOverlayText() {
  gfx::Font* font = g_DeviceManager.GetFont(0);
  gfx::Sprite* sprite = g_DeviceManager.GetSprite();
  if (!font || !sprite) return;
  const gfx::Color yellow(1.0f, 1.0f, 0.0f, 1.0f);
  for (int i = 0; i < 3; ++i) sprite->DrawText(*font, std::string_view(g_overlay[i]), 320.0f, 5.0f + 15.0f * i, yellow);
}

}  // namespace

namespace mv::app {
StepTrace& Trace() {
  static StepTrace trace;
  return trace;
}
const char* OverlayLine(int i) { return (i >= 0 && i < 3) ? g_overlay[i] : ""; }
}  // namespace mv::app

using mv::app::Trace;

bool InitApp() {
  Log("\ninit Application...\n");
  ObjectCatalog().LoadFile();

  g_SequenceManager.BuildPanels();
  g_DeviceManager.BuildPanel(&g_DialogResourceManager, fw::kBackBufferWidth, fw::kBackBufferHeight);
  // The scene panel hosts the post-process controls and reads the values
  // panel's script; the sky box controls join once the sky box provides them.
  g_SceneManager.SetPanelHosts(&g_PostProcessManager, &ProgramSkyBoxControls(), &g_ValuesManager);
  g_SceneManager.CreatePanel(&g_DialogResourceManager);
  g_SoundManager.BuildPanel(&g_DialogResourceManager);
  g_SoundManager.LoadSettings();  // media\sound.toml: bands, threshold, live input, sync
  g_AnimationManager.BuildPanel(&g_DialogResourceManager);
  g_ValuesManager.BuildPanel(&g_DialogResourceManager);

  std::ifstream in(mv::io::NativePath(kSequenceFile), std::ios::binary);
  if (!in) return false;
  std::int32_t tag = -1;
  mv::io::ReadI32(in, tag);
  if (tag != MV_TYPE_SEQUENCE) return false;
  g_SequenceManager.Read(in);
  Log("\nInit app done\n");
  g_SkyBoxManager.SetCamera(g_SceneManager.GetCamera());
  return true;
}

bool CloseApp() {
  Log("\nClosing Application...\n");
  g_SoundManager.SaveSettings();
  // Written beside the old file and renamed into place: a failed write keeps
  // the previous show.
  const bool written = mv::io::WriteFileAtomically(mv::io::NativePath(kSequenceFile), [](std::ostream& out) {
    mv::io::WriteI32(out, MV_TYPE_SEQUENCE);
    g_SequenceManager.Write(out);
    return mv::io::Good(out);
  });
  if (!written) return false;
  Log("Close SoundManager...");
  g_SoundManager.Stop();
  Log("done\n");
  g_PostProcessManager.ReleaseEffects();
  Log("\nGUI Closed...\n");
  ObjectCatalog().Free();
  return true;
}

void OnFrameMove(double /*time*/, float elapsed, void* /*userContext*/) {
  Trace().Add("sound.analyse");
  g_SoundManager.AnalyseSpectrum();
  Trace().Add("scene.framemove");
  g_SceneManager.FrameMove(elapsed);
  Trace().Add("sequence.framemove");
  g_SequenceManager.FrameMove(elapsed);
  Trace().Add("animation.update");
  g_AnimationManager.Update(elapsed, false);
}

void OnFrameRender(gfx::Device* device, double time, float elapsed, void* /*userContext*/) {
  if (!device) return;
  Trace().Add("clear");
  device->Clear(gfx::CLEAR_TARGET | gfx::CLEAR_ZBUFFER, kClearColor, 1.0f, 0);
  std::shared_ptr<gfx::Surface> saved;
  device->GetRenderTarget(0, &saved);
  if (gfx::Succeeded(device->BeginScene())) {
    Trace().Add("skybox.render");
    g_SkyBoxManager.Render(device);
    Trace().Add("scene.render");
    g_SceneManager.Render(device, time, elapsed);
    if (!g_bGuiHidden) {
      Trace().Add("panels.refresh");
      g_AnimationManager.OnRender();
      if (g_SoundManager.IsPanelDirty()) g_SoundManager.UpdateSoundPanel();
    }
    Trace().Add("values.update");
    g_ValuesManager.UpdateValues(elapsed);
    device->EndScene();
  }
  Trace().Add("chains.flip");
  for (auto& chain : g_RenderTargetChain) chain.Flip();
  Trace().Add("targets.unbind");
  const int targets = g_DeviceManager.GetTargetsPerPass();
  for (int i = 1; i < targets; ++i) device->SetRenderTarget(i, nullptr);
  Trace().Add("postprocess.render");
  bool postProcessed = false;
  {
    PostProcessFrame frame;
    for (int i = 0; i < 3; ++i) frame.sceneTextures[static_cast<std::size_t>(i)] = g_DeviceManager.GetSceneTexture(i);
    frame.chains = g_RenderTargetChain;
    const auto* post = dynamic_cast<const CPostProcessObject*>(g_SceneManager.GetObject(3));
    frame.parameterBlock = post ? post->params : nullptr;
    const gfx::BackBufferDesc size = device->GetBackBufferDesc();
    frame.width = size.width;
    frame.height = size.height;
    frame.time = static_cast<float>(time);
    g_PostProcessManager.PerformPostProcess(*device, frame, &postProcessed);
  }
  device->SetRenderTarget(0, saved);
  saved.reset();
  Trace().Add("compose");
  const gfx::BackBufferDesc bb = device->GetBackBufferDesc();
  CDXUTDialog& view = g_DeviceManager.GetDialog();
  if (g_bGuiHidden)
    g_DeviceManager.DrawFinalImage(device, postProcessed, 0.0f, 0.0f, static_cast<float>(bb.width),
                                   static_cast<float>(bb.height));
  else
    g_DeviceManager.DrawFinalImage(device, postProcessed, static_cast<float>(view.GetX()),
                                   static_cast<float>(view.GetY()), static_cast<float>(view.GetWidth()),
                                   static_cast<float>(view.GetHeight()));
  if (!g_bGuiHidden) {
    Trace().Add("overlay");
    std::snprintf(g_overlay[0], sizeof g_overlay[0], "%s", fw::GetFrameStats(fw::IsVsyncEnabled()));
    std::snprintf(g_overlay[1], sizeof g_overlay[1], "%s", fw::GetDeviceStats());
    std::snprintf(g_overlay[2], sizeof g_overlay[2], "%3d - %3d - %3d", g_PointerX, g_PointerY,
                  g_SequenceManager.SlideCellAt(g_PointerX, g_PointerY));
    DrawOverlayText();
    DrawPanels(elapsed);
  }
  Trace().Add("endscene");
  device->EndScene();
  Trace().Add("sound.checktrack");
  g_SoundManager.CheckTrack(100, 0, 0);
}

LRESULT OnMsgProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, bool* pbNoFurtherProcessing, void*) {
  g_PointerX = GetXLParam(lParam);
  g_PointerY = GetYLParam(lParam);
  g_DialogResourceManager.MsgProc(hWnd, msg, wParam, lParam);
  auto stop = [&] {
    if (pbNoFurtherProcessing) *pbNoFurtherProcessing = true;
    return LRESULT{0};
  };
  fw::CD3DSettingsDlg& settings = g_DeviceManager.GetSettingsDialog();
  if (settings.IsActive()) {
    settings.MsgProc(hWnd, msg, wParam, lParam);
    return stop();
  }
  CDXUTDialog* const panels[] = {&g_SoundManager.Panel(),           &g_DeviceManager.GetDialog(),
                                 g_ValuesManager.GetPanel(),         &g_SceneManager.Panel(),
                                 &g_SequenceManager.MessageDialog(), &g_SequenceManager.Panel(),
                                 &g_AnimationManager.Panel()};
  for (CDXUTDialog* d : panels)
    if (d && d->MsgProc(hWnd, msg, wParam, lParam)) return stop();
  if (g_SceneManager.IsLightWidgetActive()) {
    g_SceneManager.GetLightWidget().HandleMessages(hWnd, msg, wParam, lParam);
    return stop();
  }
  g_SceneManager.MsgProc(hWnd, msg, wParam, lParam);
  return 0;
}

void OnKeyboard(UINT, bool, bool, void*) {}

int RunPlayer() {
  BindFrameworkCallbacks();

  fw::ClearMultisampleTypes();
  fw::AddMultisampleType(0);
  fw::SetCursorSettings(false, true);
  g_bPreferencesLoaded = InitApp();
  fw::Init(false, false, nullptr, false);
  fw::InstallToolkitHooks();
  fw::SetHotkeyHandling(false, true, false);
  fw::CreateWindow("Morvane Player");
  // A device that cannot be made (or whose resources cannot) leaves nothing
  // to show: say why and end with a failure instead of idling.
  const gfx::HRESULT created = fw::CreateDevice(false, 1920, 1080);
  if (gfx::Failed(created)) {
    std::fprintf(stderr, "Morvane Player: the device could not be created: %s\n", mv::ResultName(created));
    CloseApp();
    fw::ResetState();
    return 1;
  }
  fw::MainLoop();
  CloseApp();
  return fw::GetExitCode();
}
