// The sky box's and the particles' share of a frame on the recording device
// with recording off, and the cost of changing the sky box (mesh and cube
// map read again), with small media written here.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "effects/DeviceClients.h"
#include "effects/DeviceManager.h"
#include "effects/ParticleManager.h"
#include "effects/RenderTargetChain.h"
#include "effects/SkyBoxManager.h"
#include "framework/Camera.h"
#include "gfx/Dds.h"
#include "gfx/Math.h"
#include "gfx/RecordingDevice.h"
#include "model/SceneObjects.h"
#include "support/AllocationCounter.h"

namespace {

void Write(const std::filesystem::path& p, const std::string& bytes) {
  std::filesystem::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

// A box of `n` x `n` quads a side (a sky box mesh of some weight).
std::string BoxX(int n) {
  std::string v, f;
  int count = 0, faces = 0;
  for (int side = 0; side < 6; ++side) {
    const int axis = side / 2;
    const float s = side % 2 ? 1.0f : -1.0f;
    const int base = count;
    for (int j = 0; j <= n; ++j)
      for (int i = 0; i <= n; ++i) {
        float p[3];
        p[axis] = s;
        p[(axis + 1) % 3] = -1.0f + 2.0f * i / n;
        p[(axis + 2) % 3] = -1.0f + 2.0f * j / n;
        v += (count ? ",\n" : "") + std::to_string(p[0]) + ";" + std::to_string(p[1]) + ";" + std::to_string(p[2]) + ";";
        ++count;
      }
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) {
        const int a = base + j * (n + 1) + i, b = a + 1, c = a + n + 1, d = c + 1;
        f += (faces ? ",\n" : "") + std::string("3;") + std::to_string(a) + "," + std::to_string(b) + "," +
             std::to_string(d) + ";,\n3;" + std::to_string(a) + "," + std::to_string(d) + "," + std::to_string(c) + ";";
        faces += 2;
      }
  }
  return "xof 0303txt 0032\nMesh Box {\n" + std::to_string(count) + ";\n" + v + ";\n" + std::to_string(faces) +
         ";\n" + f + ";\n}\n";
}

std::string CubeDds(int edge) {
  gfx::Image image;
  image.width = image.height = edge;
  image.faces = 6;
  for (int face = 0; face < 6; ++face) {
    gfx::ImageLevel level;
    level.width = level.height = edge;
    level.data.assign(std::size_t(edge) * edge * 4, std::uint8_t(40 * face));
    image.levels.push_back(level);
  }
  const auto bytes = gfx::WriteDds(image);
  return std::string(bytes.begin(), bytes.end());
}

const char* kEffect = R"(
[[parameter]]
name = "g_mWorld"
type = "float4x4"
[[parameter]]
name = "g_txScene"
type = "texture"
[[parameter]]
name = "g_txEnvMap"
type = "cube texture"
[shaders]
tex = '''
in vec2 vTex0;
void main() { mv_Target0 = texture(g_txScene, vTex0); }
'''
[[technique]]
name = "RenderSkyBox"
[[technique.pass]]
vertex = "@quad"
fragment = "@tex"
)";

class Clients final : public DeviceClients {
 public:
  Clients(SkyBoxManager& sky, ParticleManager& particles) : sky_(sky), particles_(particles) {}
  CDXUTDialogResourceManager* DialogResources() override { return nullptr; }
  fw::CDirectionWidget* LightWidget() override { return nullptr; }
  fw::CModelViewerCamera* SceneCamera() override { return nullptr; }
  RenderTargetChain* Chains() override { return chains_; }
  gfx::HRESULT CreatePostProcess(gfx::Device&) override { return gfx::S_OK; }
  gfx::HRESULT ResetPostProcessEffect(int, int, int) override { return gfx::S_OK; }
  void LosePostProcess() override {}
  void ReleasePostProcess() override {}
  gfx::HRESULT CreateSkyBox(gfx::Device& d, int passes) override { return sky_.OnCreateDevice(d, passes); }
  gfx::HRESULT ResetSkyBox(gfx::Device& d) override { return sky_.OnResetDevice(d); }
  void LoseSkyBox() override { sky_.OnLostDevice(); }
  void DestroySkyBox() override { sky_.OnDestroyDevice(); }
  gfx::HRESULT CreateParticles(gfx::Device& d) override {
    particles_.OnCreateDevice(d);
    return gfx::S_OK;
  }
  gfx::HRESULT ResetParticles(gfx::Device& d) override { return particles_.OnResetDevice(d); }
  void LoseParticles() override { particles_.OnLostDevice(); }
  void DestroyParticles() override { particles_.OnDestroyDevice(); }
  gfx::HRESULT CreateScene(gfx::Device&) override { return gfx::S_OK; }
  void LoseScene() override {}
  void DestroyScene() override {}
  void DestroySequence() override {}

 private:
  SkyBoxManager& sky_;
  ParticleManager& particles_;
  RenderTargetChain chains_[3];
};

struct Rig {
  SkyBoxManager sky;
  ParticleManager particles;
  Clients clients{sky, particles};
  DeviceManager manager{clients, true};
  fw::CModelViewerCamera camera;
  std::unique_ptr<gfx::RecordingDevice> device;

  Rig() {
    // The repository's sprite effect, beside the build folder that holds
    // this program (build/bench/bench_skybox).
    static const std::filesystem::path sprites =
        std::filesystem::canonical("/proc/self/exe").parent_path().parent_path().parent_path() / "fx" /
        "particles.fxo";
    const auto dir = std::filesystem::temp_directory_path() / "mv-bench-skybox";
    std::filesystem::create_directories(dir / "fx");
    std::filesystem::current_path(dir);
    Write("fx/reflectori.fxo", kEffect);
    std::filesystem::copy_file(sprites, "fx/particles.fxo", std::filesystem::copy_options::overwrite_existing);
    Write("media/skybox/skybox.x", BoxX(8));
    Write("media/skybox/skybox1.x", BoxX(16));
    Write("media/skybox/Light Probes/stpeters_cross.dds", CubeDds(128));
    Write("media/skybox/Light Probes/galileo_cross.dds", CubeDds(128));
    sky.SetDeviceManager(&manager);
    sky.SetCamera(&camera);
    particles.SetDeviceManager(&manager);
    camera.SetViewParams({0, 1, -5}, {0, 0, 0});
    device = gfx::CreateRecordingDevice(1920, 1080);
    DeviceManager::OnCreateDevice(device.get(), device->GetBackBufferDesc(), &manager);
    DeviceManager::OnResetDevice(device.get(), device->GetBackBufferDesc(), &manager);
    device->SetRecording(false);
  }
  ~Rig() {
    DeviceManager::OnLostDevice(&manager);
    DeviceManager::OnDestroyDevice(&manager);
  }
};

void Report(benchmark::State& state, std::int64_t before) {
  state.counters["allocs/iter"] =
      benchmark::Counter(static_cast<double>(mv::bench::Allocations() - before) / state.iterations());
}

void BM_SkyBoxRender(benchmark::State& state) {
  Rig rig;
  for (int i = 0; i < 10; ++i) rig.sky.Render(rig.device.get());
  const auto before = mv::bench::Allocations();
  for (auto _ : state) rig.sky.Render(rig.device.get());
  Report(state, before);
}

void BM_ParticleRender(benchmark::State& state) {
  Rig rig;
  CMesh object;
  const gfx::Mat4 world = gfx::MatrixIdentity();
  const gfx::Mat4 proj = gfx::MatrixPerspectiveFovLH(0.785398f, 16.0f / 9.0f, 0.1f, 1000.0f);
  for (int i = 0; i < 10; ++i) rig.particles.Render(*rig.device, object, world, rig.camera.GetViewMatrix(), proj, 0.04f);
  const auto before = mv::bench::Allocations();
  for (auto _ : state)
    rig.particles.Render(*rig.device, object, world, rig.camera.GetViewMatrix(), proj, 0.04f);
  Report(state, before);
}

// A row change: the mesh (8 x 8 or 16 x 16 quads a side) and a 128-texel
// cube map read and built again.
void BM_SkyBoxChangeRow(benchmark::State& state) {
  Rig rig;
  int row = 0;
  for (auto _ : state) {
    row = 1 - row;
    benchmark::DoNotOptimize(rig.sky.LoadSkyBox(row));
  }
}

}  // namespace

BENCHMARK(BM_SkyBoxRender);
BENCHMARK(BM_ParticleRender);
BENCHMARK(BM_SkyBoxChangeRow)->Unit(benchmark::kMillisecond);
