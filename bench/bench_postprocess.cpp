// The post-process chain per frame: the CPU cost of the "Bloom" chain on the
// recording device (what the chain itself costs, with its allocations), and
// the frame time of each of the four combinations at 640x360 on the headless
// GL context (llvmpipe here), finished before the clock stops.
#include <benchmark/benchmark.h>

#include <epoxy/gl.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "effects/PostProcessManager.h"
#include "effects/RenderTargetChain.h"
#include "gfx/GLDevice.h"
#include "gfx/RecordingDevice.h"
#include "support/AllocationCounter.h"
#include "support/HeadlessGL.h"

namespace {

// The effects load from "fx/" under the working folder: a folder of their
// own, holding a copy of the shipped ones.
bool EnterEffectsFolder() {
  static const bool ok = [] {
    std::error_code ec;
    const auto dir = std::filesystem::temp_directory_path(ec) / "mv-bench-postprocess";
    std::filesystem::remove_all(dir, ec);
    std::filesystem::create_directories(dir, ec);
    std::filesystem::copy(std::filesystem::path(MV_SOURCE_DIR) / "fx", dir / "fx",
                          std::filesystem::copy_options::recursive, ec);
    if (ec) return false;
    std::filesystem::current_path(dir, ec);
    return !ec;
  }();
  return ok;
}

// Three chains, three scene textures and the post-process object's block,
// as the frame hands them to the chain.
struct Frame {
  RenderTargetChain chains[3];
  std::array<std::shared_ptr<gfx::Texture>, 3> scene;
  std::vector<float> block = std::vector<float>(160, 0.0f);

  Frame(gfx::Device& device, int w, int h) {
    for (auto& c : chains) {
      std::shared_ptr<gfx::Texture> a, b;
      device.CreateTexture(w, h, 1, gfx::USAGE_RENDERTARGET, gfx::Format::A8R8G8B8, gfx::Pool::Default, &a);
      device.CreateTexture(w, h, 1, gfx::USAGE_RENDERTARGET, gfx::Format::A8R8G8B8, gfx::Pool::Default, &b);
      c.Init(a, b);
    }
    // A picture with bright spots, edges and depth for the effects to work on.
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * h * 4);
    for (int i = 0; i < 3; ++i) {
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          std::uint8_t* p = &px[(static_cast<std::size_t>(y) * w + x) * 4];
          const bool cell = ((x / 32 + y / 32) & 1) != 0;
          p[0] = std::uint8_t(cell ? 230 : 30), p[1] = std::uint8_t(40 + i * 80), p[2] = std::uint8_t(x * 255 / w);
          p[3] = 255;
        }
      device.CreateTextureFromRGBA(w, h, px.data(), &scene[static_cast<std::size_t>(i)]);
    }
  }
  PostProcessFrame For(int w, int h, float time) {
    PostProcessFrame f;
    f.sceneTextures = scene;
    f.chains = chains;
    f.parameterBlock = block.data();
    f.width = w;
    f.height = h;
    f.time = time;
    return f;
  }
};

// The chain of `c` with every effect's defaults in the block, as a slide
// made in the editor holds it.
void Apply(PostProcessManager& m, PostProcessCombination c, std::vector<float>& block) {
  m.ApplyCombination(c);
  m.SyncRecords();
  m.StoreParameters(block.data());
}

void BM_BloomChainRecording(benchmark::State& state) {
  if (!EnterEffectsFolder()) {
    state.SkipWithError("the effect files could not be copied");
    return;
  }
  auto device = gfx::CreateRecordingDevice(1920, 1080);
  PostProcessManager m;
  if (gfx::Failed(m.OnCreateDevice(*device))) {
    state.SkipWithError("the effects did not load");
    return;
  }
  Frame frame(*device, 1920, 1080);
  Apply(m, PostProcessCombination::Bloom, frame.block);
  bool performed = false;
  // The first frames grow what stays: the recorder's event list, the
  // chains' first-render flags.
  for (int i = 0; i < 3; ++i) {
    device->ClearEvents();
    m.PerformPostProcess(*device, frame.For(1920, 1080, 0.0f), &performed);
  }
  const std::int64_t before = mv::bench::Allocations();
  std::int64_t frames = 0;
  std::size_t events = 0;
  for (auto _ : state) {
    device->ClearEvents();
    m.PerformPostProcess(*device, frame.For(1920, 1080, float(frames) * 0.04f), &performed);
    events = device->Events().size();
    ++frames;
  }
  // The recorder keeps every call with its names and values: most of
  // these are its own; the GL run below shows the chain's.
  state.counters["allocs_per_frame"] = frames ? double(mv::bench::Allocations() - before) / double(frames) : 0.0;
  state.counters["device_calls"] = double(events);
  state.counters["performed"] = performed ? 1.0 : 0.0;
  m.ReleaseEffects();
}
BENCHMARK(BM_BloomChainRecording)->Unit(benchmark::kMicrosecond);

void BM_CombinationGL(benchmark::State& state) {
  if (!mv::bench::HeadlessGL()) {
    state.SkipWithError("no headless GL");
    return;
  }
  if (!EnterEffectsFolder()) {
    state.SkipWithError("the effect files could not be copied");
    return;
  }
  constexpr int kW = 640, kH = 360;
  auto device = gfx::CreateGLDevice(gfx::GLDeviceDesc{kW, kH, 0});
  PostProcessManager m;
  if (!device || gfx::Failed(m.OnCreateDevice(*device))) {
    state.SkipWithError("the effects did not load");
    return;
  }
  m.OnResetDevice(kW, kH);  // kernels in texels of this size
  Frame frame(*device, kW, kH);
  const auto c = static_cast<PostProcessCombination>(state.range(0));
  Apply(m, c, frame.block);
  bool performed = false;
  m.PerformPostProcess(*device, frame.For(kW, kH, 0.0f), &performed);
  glFinish();
  std::int64_t frames = 0;
  const std::int64_t before = mv::bench::Allocations();
  for (auto _ : state) {
    m.PerformPostProcess(*device, frame.For(kW, kH, float(frames) * 0.04f), &performed);
    glFinish();  // the rasterisation, not just the submission
    ++frames;
  }
  // The chain's own allocations: the GL device records nothing.
  state.counters["allocs_per_frame"] = frames ? double(mv::bench::Allocations() - before) / double(frames) : 0.0;
  state.counters["effects"] = double(m.GetListCount() - 1);
  state.counters["performed"] = performed ? 1.0 : 0.0;
  state.SetLabel(c == PostProcessCombination::Blur           ? "Blur"
                 : c == PostProcessCombination::Bloom        ? "Bloom"
                 : c == PostProcessCombination::DepthOfField ? "Depth of Field"
                                                             : "Edge Glow");
  m.ReleaseEffects();
}
BENCHMARK(BM_CombinationGL)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
