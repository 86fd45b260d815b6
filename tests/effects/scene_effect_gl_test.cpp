// The shipped scene effect through the device manager on a headless GL
// device: loaded for the manager's pass table, a lit sphere drawn with
// "RenderScene" into the scene targets and composed by DrawFinalImage.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "effects/DeviceClients.h"
#include "effects/DeviceManager.h"
#include "effects/RenderTargetChain.h"
#include "framework/Camera.h"
#include "gfx/Device.h"
#include "gfx/Effect.h"
#include "gfx/GLDevice.h"
#include "gfx/Math.h"
#include "support/GLTestContext.h"
#include "support/TempWorkDir.h"
#include "support/TestGeometry.h"

namespace {

constexpr int kW = 64, kH = 48;
const std::string kGolden = std::string(MV_SOURCE_DIR) + "/tests/effects/golden";

std::string ShippedSceneEffect() {
  std::ifstream in(std::string(MV_SOURCE_DIR) + "/fx/reflectori.fxo");
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The device manager's neighbours, doing nothing but lending a camera and
// the chains.
class QuietClients final : public DeviceClients {
 public:
  fw::CModelViewerCamera camera;
  RenderTargetChain chains[3];
  CDXUTDialogResourceManager* DialogResources() override { return nullptr; }
  fw::CDirectionWidget* LightWidget() override { return nullptr; }
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

class SceneEffectGL : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ctx_ = mvtest::GLTestContext::Create(&why);
    if (!ctx_) GTEST_SKIP() << "no headless GL: " << why;
    device_ = gfx::CreateGLDevice(gfx::GLDeviceDesc{kW, kH, 0});
    ASSERT_TRUE(device_);
  }
  void TearDown() override {
    if (created_) DeviceManager::OnDestroyDevice(&manager_);
    device_.reset();
    ctx_.reset();
  }
  gfx::HRESULT Create() {
    const gfx::HRESULT hr = DeviceManager::OnCreateDevice(device_.get(), device_->GetBackBufferDesc(), &manager_);
    created_ = true;
    return hr;
  }

  mv::test::TempWorkDir dir_;
  QuietClients clients_;
  DeviceManager manager_{clients_, true};
  std::unique_ptr<mvtest::GLTestContext> ctx_;
  std::unique_ptr<gfx::Device> device_;
  bool created_ = false;
};

}  // namespace

TEST_F(SceneEffectGL, SphereThroughTheSceneTargetsAndTheFinalImage) {
  dir_.Write("fx/reflectori.fxo", ShippedSceneEffect());
  ASSERT_EQ(Create(), gfx::S_OK);
  ASSERT_EQ(DeviceManager::OnResetDevice(device_.get(), device_->GetBackBufferDesc(), &manager_), gfx::S_OK);
  gfx::Effect* fx = manager_.GetSceneEffect();
  ASSERT_NE(fx, nullptr);
  // Fresh scene targets read as the clear colour with alpha 0 ("nothing
  // drawn") until the scene draws into them.
  for (int i = 0; i < 3; ++i) {
    std::shared_ptr<gfx::Surface> s;
    manager_.GetSceneTexture(i)->GetSurfaceLevel(0, &s);
    std::vector<float> texels;
    ASSERT_EQ(device_->ReadSurfaceFloat(s.get(), &texels), gfx::S_OK);
    EXPECT_NEAR(texels[0], 0x0A / 255.0f, 1e-3f) << i;
    EXPECT_NEAR(texels[2], 0x28 / 255.0f, 1e-3f) << i;
    EXPECT_EQ(texels[3], 0.0f) << i;
  }
  // Loaded for this device's table: one pass per row.
  gfx::TechniqueDesc desc;
  ASSERT_EQ(fx->GetTechniqueDesc(manager_.GetTechnique(DeviceManager::TECH_RENDER_SCENE), &desc), gfx::S_OK);
  EXPECT_EQ(desc.passes, manager_.GetPassCount());

  const gfx::Mat4 view = gfx::MatrixLookAtLH(gfx::Vec3(0, 0.5f, -3), gfx::Vec3(0, 0, 0), gfx::Vec3(0, 1, 0));
  const gfx::Mat4 world = gfx::MatrixRotationYawPitchRoll(0.5f, 0.2f, 0.0f);
  gfx::Mat4 rev = gfx::MatrixInverse(view);
  rev[3][0] = rev[3][1] = rev[3][2] = 0;
  gfx::Mat4 proj;
  ASSERT_EQ(fx->GetMatrix(fx->GetParameterByName("g_mProj"), &proj), gfx::S_OK);  // set by the reset
  fx->SetMatrix("g_mWorld", world);
  fx->SetMatrix("g_mView", view);
  fx->SetMatrix("g_mWorldView", gfx::MatrixMultiply(world, view));
  fx->SetMatrix("g_mRevView", rev);
  fx->SetVector("g_vLight", gfx::Vec4Transform(gfx::Vec4Transform(gfx::Vec4(-2, 2, -2, 1), view), proj));
  fx->SetVector("Diffuse", {0.9f, 0.5f, 0.2f, 1.0f});
  fx->SetVector("Specular", {0.6f, 0.6f, 0.6f, 1.0f});
  fx->SetFloat("Power2", 4.0f);
  fx->SetTexture("g_txScene", manager_.GetWhiteTexture());

  const std::vector<mvtest::MeshVertex> sphere = mvtest::Sphere(1.0f);
  const gfx::VertexElement el[] = {{0, 0, gfx::VertexType::Float3, gfx::VertexUsage::Position, 0},
                                   {0, 12, gfx::VertexType::Float3, gfx::VertexUsage::Normal, 0},
                                   {0, 24, gfx::VertexType::Float2, gfx::VertexUsage::TexCoord, 0}};
  std::shared_ptr<gfx::VertexDeclaration> decl;
  ASSERT_EQ(device_->CreateVertexDeclaration(el, 3, &decl), gfx::S_OK);

  std::shared_ptr<gfx::Surface> back;
  device_->GetRenderTarget(0, &back);
  ASSERT_EQ(device_->BeginScene(), gfx::S_OK);
  for (int p = 0; p < manager_.GetPassCount(); ++p) {
    ASSERT_EQ(manager_.BindPassTargets(*device_, p), gfx::S_OK);
    device_->Clear(gfx::CLEAR_TARGET | gfx::CLEAR_ZBUFFER, 0x000A1428, 1.0f, 0);
  }
  device_->SetRenderState(gfx::RenderState::CullMode, gfx::CULL_CCW);
  device_->SetRenderState(gfx::RenderState::SpecularEnable, 1);
  device_->SetVertexDeclaration(decl);
  fx->SetTechnique(manager_.GetTechnique(DeviceManager::TECH_RENDER_SCENE));
  unsigned passes = 0;
  ASSERT_EQ(fx->Begin(&passes, 0), gfx::S_OK);
  for (unsigned p = 0; p < passes; ++p) {
    ASSERT_EQ(manager_.BindPassTargets(*device_, static_cast<int>(p)), gfx::S_OK);
    fx->BeginPass(p);
    ASSERT_EQ(device_->DrawPrimitiveUP(gfx::PrimitiveType::TriangleList, static_cast<std::uint32_t>(sphere.size() / 3),
                                       sphere.data(), sizeof(mvtest::MeshVertex)),
              gfx::S_OK);
    fx->EndPass();
  }
  fx->End();
  for (int t = 1; t < 3; ++t) device_->SetRenderTarget(t, nullptr);
  device_->SetRenderTarget(0, back);
  device_->EndScene();

  // The normal and position targets hold the sphere: view-space, facing the
  // camera, in front of it; nothing where nothing was drawn.
  std::vector<float> normal, position;
  std::shared_ptr<gfx::Surface> ns, ps;
  manager_.GetSceneTexture(1)->GetSurfaceLevel(0, &ns);
  manager_.GetSceneTexture(2)->GetSurfaceLevel(0, &ps);
  ASSERT_EQ(device_->ReadSurfaceFloat(ns.get(), &normal), gfx::S_OK);
  ASSERT_EQ(device_->ReadSurfaceFloat(ps.get(), &position), gfx::S_OK);
  const std::size_t centre = (static_cast<std::size_t>(kH / 2) * kW + kW / 2) * 4, corner = 4 * (kW + 1);
  EXPECT_LT(normal[centre + 2], -0.8f);
  EXPECT_GT(position[centre + 2], 1.5f);
  EXPECT_LT(position[centre + 2], 3.0f);
  EXPECT_EQ(position[centre + 3], 1.0f);
  EXPECT_EQ(position[corner + 3], 0.0f);

  ASSERT_EQ(manager_.DrawFinalImage(device_.get(), false, 0, 0, kW, kH), gfx::S_OK);
  device_->EndScene();
  std::vector<std::uint8_t> px;
  ASSERT_EQ(device_->ReadSurfaceRGBA8(nullptr, &px), gfx::S_OK);
  auto at = [&](int x, int y) { return &px[(static_cast<std::size_t>(y) * kW + x) * 4]; };
  // The bars: a tenth of the height, black, over the image's top and bottom.
  for (int x = 0; x < kW; x += 9) {
    EXPECT_EQ(at(x, 0)[0] + at(x, 0)[1] + at(x, 0)[2], 0) << x;
    EXPECT_EQ(at(x, kH - 1)[0] + at(x, kH - 1)[1] + at(x, kH - 1)[2], 0) << x;
  }
  // The clear colour around the sphere, the lit orange sphere in the middle.
  EXPECT_NEAR(at(2, kH / 2)[2], 0x28, 2);
  EXPECT_GT(at(kW / 2, kH / 2)[0], at(kW / 2, kH / 2)[2] + 60);
  std::string diff = mvtest::CompareWithGolden(kGolden, "scene_effect_sphere", kW, kH, px, 3);
  EXPECT_TRUE(diff.empty()) << diff;
  DeviceManager::OnLostDevice(&manager_);
}

// A file whose shaders do not build, or that lacks a technique the player
// draws with, ends device creation: the show would otherwise go on black.
TEST_F(SceneEffectGL, ABrokenOrIncompleteSceneEffectEndsDeviceCreation) {
  std::string broken = ShippedSceneEffect();
  const std::string line = "vec3 lit = tex.rgb";
  const std::size_t at = broken.find(line);
  ASSERT_NE(at, std::string::npos);
  broken.replace(at, line.size(), "vec3 lit = undeclared.rgb");
  std::string incomplete = ShippedSceneEffect();
  const std::size_t sky2d = incomplete.find("name = \"RenderSkyBox2D\"");
  ASSERT_NE(sky2d, std::string::npos);
  incomplete.replace(sky2d, 23, "name = \"RenderSkyBox3D\"");
  for (const std::string* text : {&broken, &incomplete}) {
    dir_.Write("fx/reflectori.fxo", *text);
    EXPECT_EQ(Create(), gfx::E_FAIL);
    EXPECT_EQ(manager_.GetSceneEffect(), nullptr);
    DeviceManager::OnDestroyDevice(&manager_);
    created_ = false;
  }
}
