// The CPU cost of the scene manager's Render for a demo-sized scene on the
// recording device with recording off: generated meshes with parents, 3D
// surfaces of every renderer, a metaball object and layer texts, GUI
// hidden, one pass per frame.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "effects/DeviceManager.h"
#include "effects/MetaballField.h"
#include "effects/RenderTargetChain.h"
#include "core/Globals.h"
#include "framework/Camera.h"
#include "gfx/RecordingDevice.h"
#include "gui/DialogResourceManager.h"
#include "io/Utf16.h"
#include "scene/AnimatedMesh.h"
#include "scene/Catalog.h"
#include "scene/MeshContent.h"
#include "scene/SceneManager.h"
#include "support/AllocationCounter.h"

namespace {

std::string SceneEffect() {
  std::string text;
  const char* params[][2] = {
      {"g_mWorld", "float4x4"}, {"g_mView", "float4x4"},  {"g_mProj", "float4x4"},  {"g_mWorldView", "float4x4"},
      {"g_mRevView", "float4x4"}, {"g_vLight", "float4"}, {"g_txScene", "texture"}, {"g_txEnvMap", "cube texture"},
      {"Diffuse", "float4"},    {"Specular", "float4"},   {"Reflectivity", "float"}, {"Power2", "float"},
      {"DeformA", "float"},     {"DeformB", "float"},     {"DeformC", "float"},     {"DeltaA", "float"},
      {"DeltaB", "float"},      {"DeltaC", "float"},      {"g_fTime", "float"},
  };
  for (const auto& p : params)
    text += "[[parameter]]\nname = \"" + std::string(p[0]) + "\"\ntype = \"" + std::string(p[1]) + "\"\n\n";
  text += "[shaders]\ntex = '''\nin vec2 vTex0;\nvoid main() { mv_Target0 = texture(g_txScene, vTex0); }\n'''\n";
  for (const char* t : {"RenderScene", "RenderEnvMapScene", "RenderEnvMapSceneTrans", "RenderEnvMapSceneTextureFront",
                        "RenderNoLight", "RenderSceneFast", "RenderSceneFastNoTrans", "RenderSkyBox", "RenderSkyBox2D"})
    text += "\n[[technique]]\nname = \"" + std::string(t) +
            "\"\n\n[[technique.pass]]\nvertex = \"@quad\"\nfragment = \"@tex\"\n";
  return text;
}

class QuietClients final : public DeviceClients {
 public:
  CDXUTDialogResourceManager resources;
  fw::CDirectionWidget widget;
  fw::CModelViewerCamera camera;
  RenderTargetChain chains[3];
  CDXUTDialogResourceManager* DialogResources() override { return &resources; }
  fw::CDirectionWidget* LightWidget() override { return &widget; }
  fw::CModelViewerCamera* SceneCamera() override { return &camera; }
  RenderTargetChain* Chains() override { return chains; }
  gfx::HRESULT CreatePostProcess(gfx::Device&) override { return gfx::S_OK; }
  gfx::HRESULT ResetPostProcessEffect(int, int, int) override { return gfx::S_OK; }
  void LosePostProcess() override {}
  void ReleasePostProcess() override {}
  gfx::HRESULT CreateSkyBox(gfx::Device&, int) override { return gfx::S_OK; }
  gfx::HRESULT ResetSkyBox(gfx::Device&) override { return gfx::S_OK; }
  void LoseSkyBox() override {}
  void DestroySkyBox() override {}
  gfx::HRESULT CreateParticles(gfx::Device&) override { return gfx::S_OK; }
  gfx::HRESULT ResetParticles(gfx::Device&) override { return gfx::S_OK; }
  void LoseParticles() override {}
  void DestroyParticles() override {}
  gfx::HRESULT CreateScene(gfx::Device&) override { return gfx::S_OK; }
  void LoseScene() override {}
  void DestroyScene() override {}
  void DestroySequence() override {}
};

struct Peers : ScenePeers {
  MetaballField field{42};
  void SetSkyBoxSize(const float*) override {}
  void RefreshAnimationPanel() override {}
  void PrepareMetaballs(CMesh&) override {}
  void CreateParticleSystem(CMesh&) override {}
  MetaballField* Metaballs() override { return &field; }
};

// `metaballs`: whether the scene holds a metaball object.
void SceneRender(benchmark::State& state, bool metaballs) {
  const auto dir = std::filesystem::temp_directory_path() / "mv-bench-scene-render";
  std::filesystem::create_directories(dir / "fx");
  std::filesystem::current_path(dir);
  std::ofstream(dir / "fx" / "reflectori.fxo") << SceneEffect();

  auto device = gfx::CreateRecordingDevice(1920, 1080);
  QuietClients clients;
  DeviceManager devices(clients, true);
  const gfx::BackBufferDesc bb = device->GetBackBufferDesc();
  if (gfx::Failed(DeviceManager::OnCreateDevice(device.get(), bb, &devices)) ||
      gfx::Failed(DeviceManager::OnResetDevice(device.get(), bb, &devices))) {
    state.SkipWithError("device objects");
    return;
  }
  SetMeshLoadContext(MeshLoadContext{device.get(), devices.SceneEffect(), devices.GetWhiteTexture(), nullptr});
  Catalog catalog;
  std::istringstream entries("0,Secteur,,GENERATEDOBJ,,0,\n#,");
  catalog.Load(entries);
  {
    Peers peers;
    SceneManager scene(peers);
    scene.SetCatalog(&catalog);
    scene.SetRenderResources(&devices);
    scene.GetCamera()->SetViewParams(gfx::Vec3(0, 0, -5), gfx::Vec3(0, 0, 0));
    // Twelve meshes, every renderer, half of them children of the first.
    for (int i = 0; i < 12; ++i) {
      auto* m = dynamic_cast<CMesh*>(scene.InsertObject(OBJ_GENERATED, -1, 0, nullptr, nullptr, i % 2 ? 4 : -1));
      if (!m) continue;
      m->params.renderer = i % 6;
      m->params.iPos[0] = 0.1f * i;
      m->params.iRot[0] = 0.2f * i;
    }
    if (metaballs) scene.InsertObject(OBJ_METABALL, -1, -1, nullptr, nullptr, -1);
    for (int i = 0; i < 3; ++i)
      if (auto* t = dynamic_cast<CLayerTextObject*>(scene.InsertObject(OBJ_LAYERTEXT, -1, -1, nullptr, nullptr, -1))) {
        t->Pos[0] = 20.0f + 100.0f * i;
        t->Pos[1] = 40.0f;
        mv::io::CopyToFixed(t->text, kLayerTextLength, u"Morvane live");
      }
    g_bGuiHidden = true;
    device->SetRecording(false);
    double time = 0;
    for (int i = 0; i < 10; ++i, time += 0.04) scene.Render(device.get(), time, 0.04f);
    const auto before = mv::bench::Allocations();
    for (auto _ : state) {
      scene.Render(device.get(), time, 0.04f);
      time += 0.04;
    }
    state.counters["allocs/frame"] =
        benchmark::Counter(static_cast<double>(mv::bench::Allocations() - before) / state.iterations());
    state.counters["objects"] = scene.GetObjectCount();
    scene.OnDestroyDevice();
  }
  SetMeshLoadContext(MeshLoadContext{});
  DeviceManager::OnLostDevice(&devices);
  DeviceManager::OnDestroyDevice(&devices);
}

void BM_SceneRenderDemo(benchmark::State& state) { SceneRender(state, false); }
void BM_SceneRenderDemoWithMetaballs(benchmark::State& state) { SceneRender(state, true); }

}  // namespace

BENCHMARK(BM_SceneRenderDemo)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SceneRenderDemoWithMetaballs)->Unit(benchmark::kMicrosecond);
