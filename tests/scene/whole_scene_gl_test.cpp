// One whole frame of a scene on a headless GL device, drawn as the player
// draws it: the sky box, then every object of the scene through the shipped
// scene effect into the scene targets. The scene holds what a show holds: a
// hierarchy mesh, a 3D text, a generated mesh and metaballs, under a sky box
// made by the demo generator.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "DemoMedia.h"
#include "effects/DeviceManager.h"
#include "effects/MetaballField.h"
#include "effects/SkyBoxManager.h"
#include "framework/Camera.h"
#include "gfx/GLDevice.h"
#include "gfx/Math.h"
#include "scene/AnimatedMesh.h"
#include "scene/Catalog.h"
#include "scene/MeshContent.h"
#include "scene/SceneManager.h"
#include "support/DeviceClientsStub.h"
#include "support/GLTestContext.h"
#include "support/TempWorkDir.h"

namespace {

const std::string kGolden = std::string(MV_SOURCE_DIR) + "/tests/scene/golden";
constexpr int kW = 192, kH = 108;

struct Peers final : ScenePeers {
  SkyBoxManager* sky = nullptr;
  MetaballField field{5};
  void SetSkyBoxSize(const float size[3]) override { sky->SetScale(glm::vec3(size[0], size[1], size[2])); }
  void RefreshAnimationPanel() override {}
  void PrepareMetaballs(CMesh&) override {}
  // Fixed balls: the surface is the same on every run.
  void PlaceBalls() {
    field.SetGridSize(40);
    const glm::vec3 at[MetaballField::kBallCount] = {
        {-0.5f, 0.0f, 0.0f}, {0.45f, 0.15f, 0.0f}, {0.0f, 0.5f, 0.1f}, {0.05f, -0.45f, -0.2f}, {0.1f, 0.0f, 0.5f}};
    for (int i = 0; i < MetaballField::kBallCount; ++i) {
      MetaBall b;
      b.position = at[i];
      b.timer = 1.0f;
      field.SetBall(i, b);
    }
  }
  void CreateParticleSystem(CMesh&) override {}
  MetaballField* Metaballs() override { return &field; }
  std::shared_ptr<gfx::BaseTexture> EnvironmentMap() override { return sky->GetEnvironmentMap(); }
};

class SkyScene final : public SkyBoxScene {
 public:
  explicit SkyScene(SceneManager& scene) : scene_(scene) {}
  CSkyBoxObject* SkyBoxObject() override { return scene_.GetSkyBoxObject(); }
  CSceneObject* SelectedObject() override { return scene_.GetSelectedObject(); }
  std::int32_t SelectedValueScript() override { return 0; }
  void RefreshScenePanel() override {}

 private:
  SceneManager& scene_;
};

void Place(CSceneObject* o, float x, float y, float z, float scale) {
  auto* m = dynamic_cast<CMesh*>(o);
  ASSERT_NE(m, nullptr);
  m->params.iPos[0] = x, m->params.iPos[1] = y, m->params.iPos[2] = z;
  m->params.iScale[0] = m->params.iScale[1] = m->params.iScale[2] = scale;
}

void Colour(CSceneObject* o, float r, float g, float b) {
  auto* m = dynamic_cast<CMesh*>(o);
  ASSERT_NE(m, nullptr);
  m->params.vDiff[0] = r, m->params.vDiff[1] = g, m->params.vDiff[2] = b, m->params.vDiff[3] = 1.0f;
}

}  // namespace

TEST(WholeSceneGL, OneFrameOfASkyBoxAHierarchyA3DTextAGeneratedMeshAndMetaballs) {
  std::string why;
  auto ctx = mvtest::GLTestContext::Create(&why);
  if (!ctx) GTEST_SKIP() << "no headless GL: " << why;
  mv::test::TempWorkDir dir;
  std::string error;
  ASSERT_TRUE(mv::demo::WriteDemoMedia(dir.Path(), error)) << error;
  std::ifstream shipped(std::string(MV_SOURCE_DIR) + "/fx/reflectori.fxo");
  ASSERT_TRUE(shipped) << "fx/reflectori.fxo";
  dir.Write("fx/reflectori.fxo", std::string(std::istreambuf_iterator<char>(shipped), {}));

  auto device = gfx::CreateGLDevice(gfx::GLDeviceDesc{kW, kH, 0});
  ASSERT_TRUE(device);
  SkyBoxManager sky;
  mvtest::StubDeviceClients clients(&sky);
  DeviceManager manager(clients, true);
  Peers peers;
  peers.sky = &sky;
  SceneManager scene{peers};
  SkyScene skyScene(scene);
  sky.SetDeviceManager(&manager);
  sky.SetScene(&skyScene);
  sky.SetCamera(scene.GetCamera());
  const gfx::BackBufferDesc bb = device->GetBackBufferDesc();
  ASSERT_EQ(DeviceManager::OnCreateDevice(device.get(), bb, &manager), gfx::S_OK);
  ASSERT_EQ(DeviceManager::OnResetDevice(device.get(), bb, &manager), gfx::S_OK);
  SetMeshLoadContext(MeshLoadContext{device.get(), manager.SceneEffect(), manager.GetWhiteTexture(), nullptr});

  Catalog catalog;
  ASSERT_GT(catalog.LoadFile(), 0u);
  scene.SetCatalog(&catalog);
  scene.SetRenderResources(&manager);

  // The warm sky of the first row, around everything.
  ASSERT_EQ(sky.LoadSkyBox(0), gfx::S_OK);
  ASSERT_NE(sky.GetMesh(), nullptr);
  ASSERT_NE(sky.GetEnvironmentMap(), nullptr);
  sky.SetEnabled(true);
  sky.SetScale(glm::vec3(100.0f));
  CSkyBoxObject* box = scene.GetSkyBoxObject();
  box->size[0] = box->size[1] = box->size[2] = 100.0f;

  CSceneObject* tower = scene.InsertObject(OBJ_MESH, -1, mv::demo::kEntryTower, nullptr, nullptr, -1);
  CSceneObject* title = scene.InsertObject(OBJ_TEXT, -1, mv::demo::kEntryTitle, u"MV", u"Arial", -1);
  CSceneObject* generated = scene.InsertObject(OBJ_GENERATED, -1, mv::demo::kEntryGenerated, nullptr, nullptr, -1);
  CSceneObject* balls = scene.InsertObject(OBJ_METABALL, -1, mv::demo::kEntryMetaballs, nullptr, nullptr, -1);
  ASSERT_NE(tower, nullptr);
  ASSERT_NE(title, nullptr);
  ASSERT_NE(generated, nullptr);
  ASSERT_NE(balls, nullptr);
  ASSERT_TRUE(dynamic_cast<CMesh*>(tower)->animatedMesh);
  ASSERT_TRUE(dynamic_cast<CMesh*>(title)->mesh);
  ASSERT_TRUE(dynamic_cast<CMesh*>(generated)->mesh);
  Place(tower, -1.6f, -0.9f, 0.5f, 1.0f);
  Place(title, 0.0f, 1.0f, 0.0f, 1.2f);
  Colour(title, 1.0f, 0.8f, 0.2f);
  Place(generated, 1.6f, -0.4f, 0.0f, 0.8f);
  Colour(generated, 0.3f, 1.0f, 0.7f);
  Place(balls, 0.0f, -0.5f, 0.0f, 1.0f);
  peers.PlaceBalls();
  Colour(balls, 0.9f, 0.3f, 0.8f);

  // A light up and to the right, in front of the objects.
  CLightObject* light = scene.GetLight();
  light->position[0] = 0.5f, light->position[1] = 1.0f, light->position[2] = -1.0f;
  light->radius = 4.0f;
  scene.GetCamera()->SetViewParams(gfx::Vec3(0.0f, 0.4f, -5.0f), gfx::Vec3(0.0f, 0.0f, 0.0f));
  scene.GetCamera()->SetProjParams(0.785398f, float(kW) / float(kH), 0.1f, 1000.0f);

  // As a frame of the player: clear, sky box, scene, all inside one scene.
  device->Clear(gfx::CLEAR_TARGET | gfx::CLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
  ASSERT_EQ(device->BeginScene(), gfx::S_OK);
  sky.Render(device.get());
  scene.Render(device.get(), 1.0, 0.0f);
  device->EndScene();

  std::vector<std::uint8_t> px;
  ASSERT_EQ(device->ReadSurfaceRGBA8(manager.GetPassTarget(0, 0).get(), &px), gfx::S_OK);
  ASSERT_EQ(px.size(), std::size_t(kW) * kH * 4);
  // Not one flat colour: the sky, the objects and their shading all differ.
  std::set<std::uint32_t> colours;
  for (std::size_t i = 0; i + 3 < px.size(); i += 4)
    colours.insert(std::uint32_t(px[i] >> 3) << 10 | std::uint32_t(px[i + 1] >> 3) << 5 | (px[i + 2] >> 3));
  EXPECT_GT(colours.size(), 50u);
  const std::string diff = mvtest::CompareWithGolden(kGolden, "whole_scene", kW, kH, px, 6);
  EXPECT_TRUE(diff.empty()) << diff;

  scene.OnDestroyDevice();
  SetMeshLoadContext(MeshLoadContext{});
  DeviceManager::OnLostDevice(&manager);
  DeviceManager::OnDestroyDevice(&manager);
}
