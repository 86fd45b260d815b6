// Mesh loading costs: each real .x file parsed cold (the importer is tried
// in a child process first) and loaded from the cache, the generated sector
// and a 3D text built, and the per-frame cost of posing and skinning the
// animated cylinder (with the allocations it makes: the goal is none).
#include <benchmark/benchmark.h>

#include <filesystem>

#include "gfx/RecordingDevice.h"
#include "gfx/XFile.h"
#include "io/Utf16.h"
#include "model/SceneObjects.h"
#include "scene/AnimatedMesh.h"
#include "scene/Catalog.h"
#include "scene/MeshContent.h"
#include "support/AllocationCounter.h"

namespace {

namespace fs = std::filesystem;

const fs::path kX = fs::path(__FILE__).parent_path() / ".." / ".." / "shared" / "testdata" / "x";
const char* const kFiles[] = {"test_cube_text.x", "test_cube_binary.x", "test_cube_compressed.x",
                              "kwxport_test_cubewithvcolors.x", "anim_test.x"};

struct Setup {
  Setup() : device(gfx::CreateRecordingDevice(1920, 1080)) {
    device->SetRecording(false);
    context.device = device.get();
  }
  std::unique_ptr<gfx::RecordingDevice> device;
  MeshLoadContext context;
};

Setup& Shared() {
  static Setup s;
  return s;
}

void BM_LoadCold(benchmark::State& state) {
  const fs::path file = kX / kFiles[state.range(0)];
  state.SetLabel(kFiles[state.range(0)]);
  gfx::XFileCache cache;
  for (auto _ : state) {
    cache.Clear();
    AnimatedMesh m;
    if (gfx::Failed(m.Load(file, Shared().context, &cache))) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(m.GetPartCount());
  }
}
BENCHMARK(BM_LoadCold)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

void BM_LoadCached(benchmark::State& state) {
  const fs::path file = kX / kFiles[state.range(0)];
  state.SetLabel(kFiles[state.range(0)]);
  gfx::XFileCache cache;
  {
    AnimatedMesh warm;
    warm.Load(file, Shared().context, &cache);
  }
  for (auto _ : state) {
    AnimatedMesh m;
    if (gfx::Failed(m.Load(file, Shared().context, &cache))) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(m.GetPartCount());
  }
}
BENCHMARK(BM_LoadCached)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

// The rejected file: what a bad asset costs the show.
void BM_RejectMalformed(benchmark::State& state) {
  for (auto _ : state) {
    AnimatedMesh m;
    benchmark::DoNotOptimize(m.Load(kX / "malformed_skinweights_oob.x", Shared().context));
  }
}
BENCHMARK(BM_RejectMalformed)->Unit(benchmark::kMillisecond);

void BM_GeneratedMesh(benchmark::State& state) {
  SetMeshLoadContext(Shared().context);
  CatalogEntry e;
  e.kind = OBJ_GENERATED;
  for (auto _ : state) {
    CMesh object;
    object.kind = OBJ_GENERATED;
    benchmark::DoNotOptimize(LoadMeshContent(object, e, OBJ_GENERATED, nullptr));
  }
  SetMeshLoadContext(MeshLoadContext{});
}
BENCHMARK(BM_GeneratedMesh)->Unit(benchmark::kMicrosecond);

// The rebuild after every timeline step.
void BM_GeneratedRebuild(benchmark::State& state) {
  SetMeshLoadContext(Shared().context);
  CatalogEntry e;
  e.kind = OBJ_GENERATED;
  CMesh object;
  object.kind = OBJ_GENERATED;
  LoadMeshContent(object, e, OBJ_GENERATED, nullptr);
  int i = 0;
  for (auto _ : state) {
    object.params.start = i % 50;
    object.params.end = 50 + i % 50;
    ++i;
    RebuildGeneratedMesh(object);
  }
  SetMeshLoadContext(MeshLoadContext{});
}
BENCHMARK(BM_GeneratedRebuild)->Unit(benchmark::kMicrosecond);

void BM_TextMesh(benchmark::State& state) {
  SetMeshLoadContext(Shared().context);
  CatalogEntry e;
  e.kind = OBJ_TEXT;
  e.number = 24;
  for (auto _ : state) {
    CMesh object;
    object.kind = OBJ_TEXT;
    if (gfx::Failed(LoadMeshContent(object, e, OBJ_TEXT, nullptr))) state.SkipWithError("text failed");
  }
  SetMeshLoadContext(MeshLoadContext{});
}
BENCHMARK(BM_TextMesh)->Unit(benchmark::kMillisecond);

void BM_SkinCylinderFrame(benchmark::State& state) {
  AnimatedMesh m;
  if (gfx::Failed(m.Load(kX / "anim_test.x", Shared().context))) {
    state.SkipWithError("load failed");
    return;
  }
  m.SetAnimationType(ANIM_LOOP_FORWARD);
  m.SetSpeed(1.0f);
  m.Update(0.0f);
  const std::int64_t before = mv::bench::Allocations();
  for (auto _ : state) m.Update(1.0f / 60.0f);
  state.counters["allocs/frame"] =
      benchmark::Counter(double(mv::bench::Allocations() - before) / double(state.iterations()));
}
BENCHMARK(BM_SkinCylinderFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
