// One frame of the player's loop with every manager step: frame move
// (sound analysis, scene, sequence, animation) and frame render on the
// recording device with recording off, the GUI hidden and shown.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "animation/AnimationManager.h"
#include "model/TimeLine.h"
#include "app/App.h"
#include "core/Globals.h"
#include "gfx/RecordingDevice.h"
#include "scene/SceneManager.h"
#include "sequence/SequenceManager.h"
#include "support/AllocationCounter.h"

namespace {

void PrepareShow() {
  static bool done = false;
  if (done) return;
  done = true;
  const auto dir = std::filesystem::temp_directory_path() / "mv-bench-frame";
  std::filesystem::create_directories(dir / "media");
  std::filesystem::current_path(dir);
  InitApp();
  for (int i = 0; i < g_SceneManager.GetObjectCount(); ++i) {
    CSceneObject* o = g_SceneManager.GetObject(i);
    TimeLine* t = o->timeLine ? o->timeLine : o->CreateTimeLine();
    // Long keys: the slide never ends while the benchmark runs.
    if (t && t->GetKeyCount() == 0) t->InsertKey(0, 1 << 20);
  }
  g_bPreferencesLoaded = true;
  g_AnimationManager.SetPlaying(true);
}

void Frame(benchmark::State& state, bool guiHidden) {
  PrepareShow();
  auto device = gfx::CreateRecordingDevice(1920, 1080);
  device->SetRecording(false);
  g_bGuiHidden = guiHidden;
  double time = 0;
  // Warm up: first frames may size buffers.
  for (int i = 0; i < 10; ++i) {
    OnFrameMove(time, 0.04f, nullptr);
    OnFrameRender(device.get(), time, 0.04f, nullptr);
    time += 0.04;
  }
  const auto before = mv::bench::Allocations();
  for (auto _ : state) {
    OnFrameMove(time, 0.04f, nullptr);
    OnFrameRender(device.get(), time, 0.04f, nullptr);
    time += 0.04;
  }
  state.counters["allocs/frame"] =
      benchmark::Counter(static_cast<double>(mv::bench::Allocations() - before) / state.iterations());
}

void BM_FrameGuiHidden(benchmark::State& state) { Frame(state, true); }
void BM_FrameGuiShown(benchmark::State& state) { Frame(state, false); }

}  // namespace

BENCHMARK(BM_FrameGuiHidden);
BENCHMARK(BM_FrameGuiShown);
