// Counts C++ allocations while the sky box and the particles draw frame
// after frame on a device that records nothing: once running, a frame of
// either allocates nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "effects/DeviceManager.h"
#include "effects/ParticleManager.h"
#include "effects/RenderTargetChain.h"
#include "effects/SkyBoxFixtures.h"
#include "effects/SkyBoxManager.h"
#include "framework/Camera.h"
#include "gfx/Math.h"
#include "gfx/RecordingDevice.h"
#include "model/SceneObjects.h"
#include "support/DeviceClientsStub.h"
#include "support/TempWorkDir.h"

namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};

void* Allocate(std::size_t n) {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  return p;
}
}  // namespace

void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

class Scene final : public SkyBoxScene {
 public:
  CSkyBoxObject sky;
  CSkyBoxObject* SkyBoxObject() override { return &sky; }
  CSceneObject* SelectedObject() override { return &sky; }
  std::int32_t SelectedValueScript() override { return 0; }
  void RefreshScenePanel() override {}
};

}  // namespace

TEST(FrameAllocation, SkyBoxAndParticlesDrawWithoutAllocating) {
  using namespace mv::test::skybox;
  mv::test::TempWorkDir dir;
  dir.Write("fx/reflectori.fxo", SkyBoxEffectText());
  dir.Write("media/skybox/skybox.x", BoxX(1.0f, "sky0.tga", "sky1.tga"));
  dir.Write("media/skybox/sky0.tga", Tga(200, 10, 10));
  dir.Write("media/skybox/sky1.tga", Tga(10, 200, 10));
  dir.Write("media/skybox/Light Probes/stpeters_cross.dds", CubeDds(10));
  std::filesystem::create_directories("fx");
  std::filesystem::copy_file(std::filesystem::path(MV_SOURCE_DIR) / "fx" / "particles.fxo", "fx/particles.fxo");

  SkyBoxManager sky;
  ParticleManager particles;
  mvtest::StubDeviceClients clients(&sky, &particles);
  DeviceManager manager(clients, true);
  Scene scene;
  fw::CModelViewerCamera camera;
  camera.SetViewParams({0, 1, -5}, {0, 0, 0});
  sky.SetDeviceManager(&manager);
  sky.SetScene(&scene);
  sky.SetCamera(&camera);
  particles.SetDeviceManager(&manager);
  auto device = gfx::CreateRecordingDevice(160, 90);
  ASSERT_EQ(DeviceManager::OnCreateDevice(device.get(), device->GetBackBufferDesc(), &manager), gfx::S_OK);
  ASSERT_EQ(DeviceManager::OnResetDevice(device.get(), device->GetBackBufferDesc(), &manager), gfx::S_OK);
  ASSERT_NE(sky.GetMesh(), nullptr);
  ASSERT_NE(particles.System(), nullptr);
  device->SetRecording(false);

  CMesh object;
  object.kind = 5;
  const gfx::Mat4 world = gfx::MatrixTranslation(0, 0, 1);
  const gfx::Mat4 proj = gfx::MatrixPerspectiveFovLH(0.785398f, 16.0f / 9.0f, 0.1f, 1000.0f);
  auto frame = [&] {
    device->BeginScene();
    sky.Render(device.get());
    particles.Render(*device, object, world, camera.GetViewMatrix(), proj, 0.04f);
    device->EndScene();
  };
  for (int i = 0; i < 10; ++i) frame();
  int live = 0;
  for (const Particle& p : particles.System()->Particles()) live += p.alive ? 1 : 0;
  ASSERT_EQ(live, 10);  // the particles are being drawn

  g_allocations = 0;
  g_counting = true;
  for (int i = 0; i < 50; ++i) frame();
  g_counting = false;
  EXPECT_EQ(g_allocations.load(), 0);

  DeviceManager::OnLostDevice(&manager);
  DeviceManager::OnDestroyDevice(&manager);
}
