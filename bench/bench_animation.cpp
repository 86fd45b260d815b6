// Per-frame cost of the animation manager's step: 1000 mesh objects with 8
// keys each, value scripts on every linked component, the clock moving the
// keys on as it runs. Global operator new is counted so the report shows
// the allocations made while frames run (expected: none).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "animation/AnimationManager.h"
#include "model/TimeLine.h"
#include "scene/SceneManager.h"
#include "values/Sources.h"
#include "values/ValueScript.h"
#include "support/AllocationCounter.h"
#include "support/BenchScripts.h"

namespace {

constexpr int kMeshes = 1000;
constexpr int kKeys = 8;

struct QuietPeers : ScenePeers {
  void SetSkyBoxSize(const float[3]) override {}
  void RefreshAnimationPanel() override {}
  void PrepareMetaballs(CMesh&) override {}
  void CreateParticleSystem(CMesh&) override {}
};

struct PausedShow : AnimationLinks {
  bool IsSequencePlaying() override { return false; }  // the keys wrap
  void RequestSlideAdvance() override {}
  void ResetSlideRemaining() override {}
  void SetMusicPosition(std::int32_t) override {}
};

struct Show {
  ScriptTable table;
  ValueSources sources;
  ValueScriptEvaluator evaluator{table, sources};
  QuietPeers peers;
  PausedShow links;
  SceneManager scene{peers};
  AnimationManager anim{&scene, &links};

  explicit Show(std::int32_t framesPerKey) {
    mv::bench::FillBenchScripts(table);
    sources = {1.5f, 0.75f, 0.5f, 0.25f};

    scene.SetSelectedIndex(scene.GetObjectCount() - 1);
    for (int o = 0; o < kMeshes; ++o) {
      auto* mesh = static_cast<CMesh*>(scene.InsertObject(OBJ_MESH, -1, 0, nullptr, nullptr, -1));
      MeshParams& p = mesh->params;
      int n = 0;
      auto link = [&](std::int32_t& l) { l = 1 + (o + n++) % 9; };
      link(p.startLink);
      link(p.endLink);
      for (auto& l : p.iPosLinks) link(l);
      for (auto& l : p.iRotLinks) link(l);
      for (auto& l : p.iScaleLinks) link(l);
      for (auto& l : p.vDiffLinks) link(l);
      for (auto& l : p.vSpecLinks) link(l);
      link(p.ReflectivityLink);
      link(p.PowerLink);
      for (auto& l : p.flexLinks) link(l);
      link(p.extraValueLink);
    }
    // Keys for every object, the way the panel's Insert makes them.
    const std::string frames = std::to_string(framesPerKey);
    anim.SetDurationText(std::u16string(frames.begin(), frames.end()));
    for (int k = 0; k < kKeys; ++k) {
      for (int o = 0; o < scene.GetObjectCount(); ++o) {
        if (auto* mesh = dynamic_cast<CMesh*>(scene.GetObject(o))) {
          mesh->params.iPos[0] = static_cast<float>(k);
          mesh->params.vDiff[2] = 0.125f * static_cast<float>(k);
          mesh->params.end = 100 * k;
        }
      }
      anim.InsertKeyAll();
    }
    anim.PreviousKeyAll();  // from the last key back ...
    anim.NextKeyAll();      // ... and round to key 0
    anim.SetPlaying(true);
    anim.Update(0.0f, true);
    for (int i = 0; i < 30; ++i) anim.Update(0.04f, false);  // past the hold
  }
};

void RunFrames(benchmark::State& state, std::int32_t framesPerKey) {
  const long long setupStart = mv::bench::Allocations();
  Show show(framesPerKey);
  const long long setupAllocations = mv::bench::Allocations() - setupStart;
  ValueScriptEvaluator* previous = ActiveValueScripts();
  SetActiveValueScripts(&show.evaluator);
  long long frames = 0;
  const long long before = mv::bench::Allocations();
  for (auto _ : state) {
    show.sources.Sequencer += 0.04f;
    show.anim.Update(0.04f, false);
    benchmark::DoNotOptimize(show.scene.GetObject(4));
    ++frames;
  }
  const long long allocations = mv::bench::Allocations() - before;
  SetActiveValueScripts(previous);
  state.counters["objects"] = show.scene.GetObjectCount();
  state.counters["frames_per_key"] = framesPerKey;
  state.counters["allocs_per_frame"] = frames ? static_cast<double>(allocations) / static_cast<double>(frames) : 0.0;
  state.counters["allocs_total"] = static_cast<double>(allocations);
  state.counters["allocs_setup"] = static_cast<double>(setupAllocations);
  state.SetItemsProcessed(frames * kMeshes);
}

// One key a second: every 25th frame moves all 1004 timelines to their
// next key.
void BM_AnimationUpdate(benchmark::State& state) { RunFrames(state, 25); }
// Keys long enough that no key changes while measuring: the interpolation
// step alone.
void BM_AnimationUpdateNoKeyChange(benchmark::State& state) { RunFrames(state, 1000000); }
// A key change on every frame: the worst case.
void BM_AnimationUpdateKeyChangeEveryFrame(benchmark::State& state) { RunFrames(state, 1); }

BENCHMARK(BM_AnimationUpdate)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnimationUpdateNoKeyChange)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnimationUpdateKeyChangeEveryFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
