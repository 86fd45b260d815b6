#include "app/OfflineRun.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "app/App.h"
#include "app/Bindings.h"
#include "audio/SoundManager.h"
#include "audio/SoundSystem.h"
#include "core/Globals.h"
#include "effects/MetaballField.h"
#include "effects/PostProcessManager.h"
#include "framework/Framework.h"
#include "scene/Catalog.h"
#include "sequence/SequenceManager.h"

namespace mv::app {

namespace {

struct OfflineState {
  int fps = 25;
  const OfflineRunHooks* hooks = nullptr;
  std::int64_t frame = 0;
  std::int64_t samplesMixed = 0;
  std::vector<float> sound;
  std::vector<std::uint8_t> picture;
  bool failed = false;
};
OfflineState* g_offline = nullptr;

void OfflineFrameMove(double time, float elapsed, void* context) {
  OfflineState& s = *g_offline;
  // Whole samples up to this frame's end: rounding never lets the sound
  // drift from the pictures.
  const std::int64_t until = (s.frame + 1) * mv::audio::kOutputRate / s.fps;
  const int n = static_cast<int>(until - s.samplesMixed);
  s.sound.assign(static_cast<std::size_t>(n) * 2, 0.0f);
  g_SoundManager.System().Mix(s.sound.data(), n);
  s.samplesMixed = until;
  if (s.hooks->sound) s.hooks->sound(s.frame, s.sound.data(), n);
  OnFrameMove(time, elapsed, context);
}

void OfflineFrameRender(gfx::Device* device, double time, float elapsed, void* context) {
  OnFrameRender(device, time, elapsed, context);
  OfflineState& s = *g_offline;
  if (s.hooks->picture && !s.failed) {
    if (!fw::ReadBackBuffer(s.picture.data(), s.picture.size()) ||
        !s.hooks->picture(s.frame, s.picture.data(), fw::kBackBufferWidth, fw::kBackBufferHeight))
      s.failed = true;
  }
  ++s.frame;
  if (s.failed) fw::Shutdown(1);
}

}  // namespace

int RunShowOffline(int fps, std::int64_t frameLimit, const OfflineRunHooks& hooks) {
  OfflineState state;
  state.fps = fps > 0 ? fps : 25;
  state.hooks = &hooks;
  state.picture.resize(std::size_t(fw::kBackBufferWidth) * fw::kBackBufferHeight * 4);
  g_offline = &state;

  BindFrameworkCallbacks();
  fw::SetCallbackFrameMove(&OfflineFrameMove);
  fw::SetCallbackFrameRender(&OfflineFrameRender);
  fw::ClearMultisampleTypes();
  fw::AddMultisampleType(0);
  // The balls start from the same place every time.
  g_MetaballField.Seed(1);
  g_SoundManager.SetSoundSystem(std::make_unique<mv::audio::SoundSystem>(mv::audio::SoundBackend::Offline));
  g_bPreferencesLoaded = InitApp();
  if (hooks.started) {
    double seconds = 0;
    for (const SlideRecord& r : g_SequenceManager.Slides()) seconds += r.durationMs / 1000.0;
    hooks.started(seconds);
  }
  fw::SetHeadless(true);
  fw::SetFixedTimeStep(1.0 / state.fps);
  if (frameLimit > 0) fw::SetFrameLimit(static_cast<int>(frameLimit), 0);
  fw::Init(false, false, nullptr, false);
  fw::SetHotkeyHandling(false, true, false);
  fw::CreateWindow("Morvane Player");
  const gfx::HRESULT created = fw::CreateDevice(false, fw::kBackBufferWidth, fw::kBackBufferHeight);
  int rc = 0;
  if (gfx::Failed(created)) {
    std::fprintf(stderr, "the device could not be created: %s\n", mv::ResultName(created));
    rc = 1;
  } else {
    fw::MainLoop();
    rc = state.failed ? 1 : fw::GetExitCode();
  }
  g_SoundManager.Stop();
  g_PostProcessManager.ReleaseEffects();
  ObjectCatalog().Free();
  fw::ResetState();
  g_offline = nullptr;
  return rc;
}

}  // namespace mv::app
