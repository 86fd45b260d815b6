// The sky box on a headless GL device: the box mesh's vertices reach a
// shader that reads the sky box layout, and the scene's colour target ends
// up filled with the box's own textures, turned by the sky box object.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <iterator>
#include <string>

#include "effects/DeviceManager.h"
#include "effects/RenderTargetChain.h"
#include "effects/SkyBoxFixtures.h"
#include "effects/SkyBoxManager.h"
#include "framework/Camera.h"
#include "gfx/GLDevice.h"
#include "model/SceneObjects.h"
#include "support/DeviceClientsStub.h"
#include "support/GLTestContext.h"
#include "support/TempWorkDir.h"

using namespace mv::test::skybox;

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

TEST(SkyBoxGL, TheBoxFillsTheColourTargetWithItsTextures) {
  std::string why;
  auto ctx = mvtest::GLTestContext::Create(&why);
  if (!ctx) GTEST_SKIP() << "no headless GL: " << why;
  mv::test::TempWorkDir dir;
  // The shipped scene effect: the device needs all of its techniques, and
  // its sky box multiplies the box's texture by the cube map (white here).
  std::ifstream shipped(std::string(MV_SOURCE_DIR) + "/fx/reflectori.fxo");
  ASSERT_TRUE(shipped) << "fx/reflectori.fxo";
  dir.Write("fx/reflectori.fxo", std::string(std::istreambuf_iterator<char>(shipped), {}));
  dir.Write("media/skybox/skybox.x", BoxX(1.0f, "sky0.tga", "sky1.tga"));
  dir.Write("media/skybox/sky0.tga", Tga(200, 10, 10));
  dir.Write("media/skybox/sky1.tga", Tga(10, 200, 10));
  dir.Write("media/skybox/Light Probes/stpeters_cross.dds", CubeDds(255, true));

  constexpr int kW = 64, kH = 48;
  auto device = gfx::CreateGLDevice(gfx::GLDeviceDesc{kW, kH, 0});
  ASSERT_TRUE(device);
  SkyBoxManager sky;
  mvtest::StubDeviceClients clients(&sky);
  DeviceManager manager(clients, true);
  Scene scene;
  fw::CModelViewerCamera camera;
  camera.SetViewParams({0, 0, -3}, {0, 0, 0});  // looking along +z; the box is around the viewer
  sky.SetDeviceManager(&manager);
  sky.SetScene(&scene);
  sky.SetCamera(&camera);
  const gfx::BackBufferDesc bb = device->GetBackBufferDesc();
  ASSERT_EQ(DeviceManager::OnCreateDevice(device.get(), bb, &manager), gfx::S_OK);
  ASSERT_EQ(DeviceManager::OnResetDevice(device.get(), bb, &manager), gfx::S_OK);
  ASSERT_NE(sky.GetMesh(), nullptr);

  auto draw = [&](float yaw) {
    scene.sky.vectorC[0] = yaw;
    device->BeginScene();
    device->SetRenderTarget(0, manager.GetPassTarget(0, 0));
    device->Clear(gfx::CLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
    sky.Render(device.get());
    device->EndScene();
    std::vector<std::uint8_t> rgba;
    EXPECT_EQ(device->ReadSurfaceRGBA8(manager.GetPassTarget(0, 0).get(), &rgba), gfx::S_OK);
    int red = 0, green = 0, other = 0, clear = 0;
    for (std::size_t i = 0; i + 3 < rgba.size(); i += 4) {
      if (rgba[i] > 150 && rgba[i + 1] < 60 && rgba[i + 2] < 60)
        ++red;
      else if (rgba[i + 1] > 150 && rgba[i] < 60 && rgba[i + 2] < 60)
        ++green;
      else
        ++other;
      if (rgba[i + 2] > 150) ++clear;
    }
    return std::array<int, 4>{red, green, other, clear};
  };
  // Straight ahead is the +z side, of the first material: all red.
  auto counts = draw(0.0f);
  EXPECT_EQ(counts[0], kW * kH);
  // Turned by 45 degrees, the view looks into a corner: the +z side on one
  // half, an x side (second material) on the other; nothing left uncovered.
  counts = draw(0.785398f);
  EXPECT_GT(counts[0], kW * kH / 4);
  EXPECT_GT(counts[1], kW * kH / 4);
  EXPECT_EQ(counts[2], 0);
  // Disabled: the box is drawn black, over the whole target.
  sky.SetEnabled(false);
  counts = draw(0.0f);
  EXPECT_EQ(counts[0] + counts[1], 0);
  EXPECT_EQ(counts[3], 0);

  DeviceManager::OnLostDevice(&manager);
  DeviceManager::OnDestroyDevice(&manager);
}
