// Cost of the scene panel while a show plays with the GUI shown: the
// per-frame refresh from a moving mesh or an animated post-process chain,
// and the rebuild when the selection moves to an object of another kind.
// Global operator new is counted (the refresh's goal: none).
#include <benchmark/benchmark.h>

#include <sstream>

#include "core/Globals.h"
#include "effects/PostProcessManager.h"
#include "scene/Catalog.h"
#include "scene/SceneManager.h"
#include "support/AllocationCounter.h"

namespace {

struct QuietPeers : ScenePeers {
  void SetSkyBoxSize(const float[3]) override {}
  void RefreshAnimationPanel() override {}
  void PrepareMetaballs(CMesh&) override {}
  void CreateParticleSystem(CMesh&) override {}
};

struct Panel {
  Catalog catalog;
  QuietPeers peers;
  SceneManager scene{peers};
  PostProcessManager post;
  bool wasHidden = g_bGuiHidden;

  Panel() {
    g_bGuiHidden = false;
    std::istringstream in("0,Tore,a.x,MESHOBJ,,0,\n1,Danseur,b.x,ANIMOBJ,,0,\n#,");
    catalog.Load(in);
    scene.SetCatalog(&catalog);
    post.GetEffect(0).parameterName = {u"Level", u"Gain"};
    post.GetEffect(0).parameterSize = {4, 4};
    scene.SetPanelHosts(&post, nullptr, nullptr);
    scene.CreatePanel(nullptr);
    scene.InsertObject(OBJ_ANIM, -1, 1, nullptr, nullptr, -1);
  }
  ~Panel() { g_bGuiHidden = wasHidden; }
  void Select(int index) {
    scene.SetSelectedIndex(index);
    scene.RefreshPanel();
    if (scene.GetSelectedKind() != scene.GetPanelKind()) scene.BuildPanel(scene.GetSelectedKind());
    scene.RefreshPanel();
  }
};

void Report(benchmark::State& state, long long frames, long long allocations) {
  state.counters["allocs_per_frame"] = frames ? static_cast<double>(allocations) / static_cast<double>(frames) : 0.0;
  state.counters["allocs_total"] = static_cast<double>(allocations);
}

// An animated mesh (every row of the panel) whose values move every frame.
void BM_ScenePanelRefreshMovingMesh(benchmark::State& state) {
  Panel p;
  p.Select(4);
  auto* mesh = dynamic_cast<CMesh*>(p.scene.GetObject(4));
  long long frames = 0;
  const long long before = mv::bench::Allocations();
  for (auto _ : state) {
    const float t = static_cast<float>(frames % 9) * 0.11f;
    mesh->params.iPos[0] = 1.0f + t;
    mesh->params.iRot[1] = t;
    mesh->params.vDiff[2] = t;
    mesh->params.animationSpeed = t;
    p.scene.RefreshPanel();
    ++frames;
  }
  Report(state, frames, mv::bench::Allocations() - before);
}

// The post-process object with a nine-effect chain whose parameter block
// the timeline moves every frame.
void BM_ScenePanelRefreshAnimatedChain(benchmark::State& state) {
  Panel p;
  p.Select(3);
  for (int i = 0; i < 9; ++i) p.post.InsertEffect(0);
  p.post.SyncRecords();
  p.post.SetSelected(4);
  float* block = p.scene.PostProcessParameters();
  long long frames = 0;
  const long long before = mv::bench::Allocations();
  for (auto _ : state) {
    for (int i = 0; i < 72; ++i) block[i] = static_cast<float>((frames + i) % 7) * 0.5f;
    p.scene.RefreshPanel();
    ++frames;
  }
  Report(state, frames, mv::bench::Allocations() - before);
}

// Stepping between the animated mesh and the post-process object: each
// step rebuilds the panel (allocations expected: the controls are new).
void BM_ScenePanelRebuildOnKindChange(benchmark::State& state) {
  Panel p;
  int which = 0;
  for (auto _ : state) {
    p.Select(which ? 3 : 4);
    which ^= 1;
  }
  state.counters["controls"] = p.scene.Panel().GetNumControls();
}

BENCHMARK(BM_ScenePanelRefreshMovingMesh)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScenePanelRefreshAnimatedChain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScenePanelRebuildOnKindChange)->Unit(benchmark::kMicrosecond);

}  // namespace
