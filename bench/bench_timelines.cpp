// Per-frame cost of the timelines: 1000 mesh objects with 8 keys each,
// interpolated and passed through value scripts on every linked component.
// Global operator new is counted so the report shows the allocations made
// while frames run (expected: none).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "model/TimeLine.h"
#include "model/SceneObjects.h"
#include "values/Sources.h"
#include "values/ValueScript.h"
#include "support/AllocationCounter.h"
#include "support/BenchScripts.h"

namespace {

constexpr int kObjects = 1000;
constexpr int kKeys = 8;
constexpr int kFramesPerKey = 25;  // one second a key
constexpr float kFrameMs = 40.0f;

struct Scene {
  ScriptTable table;
  ValueSources sources;
  ValueScriptEvaluator evaluator{table, sources};
  std::vector<std::unique_ptr<CMesh>> meshes;

  explicit Scene(bool scripts) {
    mv::bench::FillBenchScripts(table);
    sources = {1.5f, 0.75f, 0.5f, 0.25f};

    for (int o = 0; o < kObjects; ++o) {
      auto mesh = std::make_unique<CMesh>();
      mesh->kind = OBJ_MESH;
      MeshParams& p = mesh->params;
      if (scripts) {
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
      TimeLine* t = mesh->CreateTimeLine();
      for (int k = 0; k < kKeys; ++k) {
        p.iPos[0] = static_cast<float>(k);
        p.iRot[1] = 0.1f * static_cast<float>(k);
        p.vDiff[2] = 0.125f * static_cast<float>(k);
        p.end = 100 * k;
        t->InsertKey(k, kFramesPerKey);
      }
      meshes.push_back(std::move(mesh));
    }
  }
};

void RunFrames(benchmark::State& state, bool scripts) {
  const long long setupStart = mv::bench::Allocations();
  Scene scene(scripts);
  // Non-zero: shows the counting operator new is the one in use.
  const long long setupAllocations = mv::bench::Allocations() - setupStart;
  ValueScriptEvaluator* previous = ActiveValueScripts();
  SetActiveValueScripts(&scene.evaluator);
  const float d = kFramesPerKey * kFrameMs;
  long long frame = 0;
  long long allocationsBefore = mv::bench::Allocations();
  for (auto _ : state) {
    const int key = static_cast<int>((frame / kFramesPerKey) % kKeys);
    const int next = key == kKeys - 1 ? key : key + 1;
    const float t = static_cast<float>(frame % kFramesPerKey) * kFrameMs;
    scene.sources.Sequencer += 0.04f;
    for (auto& mesh : scene.meshes) mesh->timeLine->Interpolate(key, next, t, d);
    benchmark::DoNotOptimize(scene.meshes.front()->params.iPos[0]);
    ++frame;
  }
  const long long allocations = mv::bench::Allocations() - allocationsBefore;
  SetActiveValueScripts(previous);
  state.counters["objects"] = kObjects;
  state.counters["allocs_per_frame"] =
      frame ? static_cast<double>(allocations) / static_cast<double>(frame) : 0.0;
  state.counters["allocs_total"] = static_cast<double>(allocations);
  state.counters["allocs_setup"] = static_cast<double>(setupAllocations);
  state.SetItemsProcessed(frame * kObjects);
}

void BM_TimelinesInterpolateWithScripts(benchmark::State& state) { RunFrames(state, true); }
void BM_TimelinesInterpolateNoScripts(benchmark::State& state) { RunFrames(state, false); }

BENCHMARK(BM_TimelinesInterpolateWithScripts)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TimelinesInterpolateNoScripts)->Unit(benchmark::kMicrosecond);

}  // namespace
