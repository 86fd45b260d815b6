// The scene's drawing on the recording device: what each object sends to
// the scene effect, which technique and render states it draws with, the
// passes into the render-target table, the metaball surface and the layer
// texts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/Globals.h"
#include "effects/DeviceManager.h"
#include "effects/MetaballField.h"
#include "effects/RenderTargetChain.h"
#include "framework/Camera.h"
#include "gfx/Font.h"
#include "gfx/Math.h"
#include "gfx/RecordingDevice.h"
#include "gfx/Sprite.h"
#include "gui/DialogResourceManager.h"
#include "io/Utf16.h"
#include "scene/AnimatedMesh.h"
#include "scene/Catalog.h"
#include "scene/MeshArcBall.h"
#include "scene/MeshContent.h"
#include "scene/SceneManager.h"
#include "support/TempWorkDir.h"

using Kind = gfx::RecordedEvent::Kind;

namespace {

// The scene effect's parameters and techniques, each technique with one
// pass per row of the render-target table.
std::string SceneEffect(int passes) {
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
                        "RenderNoLight", "RenderSceneFast", "RenderSceneFastNoTrans", "RenderSkyBox",
                        "RenderSkyBox2D"}) {
    text += "\n[[technique]]\nname = \"" + std::string(t) + "\"\n";
    for (int p = 0; p < passes; ++p) text += "\n[[technique.pass]]\nvertex = \"@quad\"\nfragment = \"@tex\"\n";
  }
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
  MetaballField field{99};
  bool withField = false;
  struct ParticleCall {
    CMesh* object;
    gfx::Mat4 world;
    float elapsed;
  };
  std::vector<ParticleCall> particles;
  void SetSkyBoxSize(const float*) override {}
  void RefreshAnimationPanel() override {}
  void PrepareMetaballs(CMesh&) override {}
  void CreateParticleSystem(CMesh&) override {}
  MetaballField* Metaballs() override { return withField ? &field : nullptr; }
  std::shared_ptr<gfx::BaseTexture> sky;
  std::shared_ptr<gfx::BaseTexture> EnvironmentMap() override { return sky; }
  void RenderParticles(gfx::Device&, CMesh& o, const gfx::Mat4& w, const gfx::Mat4&, const gfx::Mat4&,
                       float e) override {
    particles.push_back({&o, w, e});
  }
};

const char* kCatalog =
    "0,Secteur,,GENERATEDOBJ,,0,\n"
    "1,Boules,,METABALLOBJ,,0,\n"
    "2,Fontaine,,PARTICLEOBJ,,0,\n"
    "#,";

// A device manager with its resources on a recording device and a scene
// that loads generated meshes onto it. `simultaneousTargets` picks the
// pass table (4: one pass, 2: two, 1: three).
class SceneRenderTest : public ::testing::Test {
 protected:
  void Start(int simultaneousTargets = 4) {
    const int passes = simultaneousTargets >= 3 ? 1 : simultaneousTargets == 2 ? 2 : 3;
    work.Write("fx/reflectori.fxo", SceneEffect(passes));
    device->GetSettings().caps.numSimultaneousRTs = simultaneousTargets;
    const gfx::BackBufferDesc bb = device->GetBackBufferDesc();
    ASSERT_EQ(DeviceManager::OnCreateDevice(device.get(), bb, &devices), 0);
    ASSERT_EQ(DeviceManager::OnResetDevice(device.get(), bb, &devices), 0);
    ASSERT_NE(devices.GetSceneEffect(), nullptr);
    ASSERT_EQ(devices.GetPassCount(), passes);
    SetMeshLoadContext(MeshLoadContext{device.get(), devices.SceneEffect(), devices.GetWhiteTexture(), nullptr});
    std::istringstream in(kCatalog);
    catalog.Load(in);
    scene.SetCatalog(&catalog);
    scene.SetRenderResources(&devices);
    scene.GetCamera()->SetViewParams(gfx::Vec3(0, 0, -5), gfx::Vec3(0, 0, 0));
    scene.GetCamera()->SetProjParams(0.785398f, 16.0f / 9.0f, 0.1f, 1000.0f);
  }
  void TearDown() override {
    g_bGuiHidden = true;
    g_bViewSelected = false;
    scene.OnDestroyDevice();
    SetMeshLoadContext(MeshLoadContext{});
    DeviceManager::OnLostDevice(&devices);
    DeviceManager::OnDestroyDevice(&devices);
  }
  CMesh* AddSector() {
    return dynamic_cast<CMesh*>(scene.InsertObject(OBJ_GENERATED, -1, 0, nullptr, nullptr, -1));
  }
  void Frame(double time = 1.0, float elapsed = 0.04f) {
    device->ClearEvents();
    scene.Render(device.get(), time, elapsed);
  }
  std::vector<const gfx::RecordedEvent*> Draws() const { return device->Find(Kind::Draw); }
  // The values every "name" took, in order.
  std::vector<std::vector<float>> Values(const char* name) const {
    std::vector<std::vector<float>> out;
    for (const auto* e : device->Find(Kind::SetParameter, name)) out.push_back(e->values);
    return out;
  }
  // The fill mode in force at each draw.
  std::vector<std::uint32_t> FillAtDraws() const {
    std::vector<std::uint32_t> out;
    std::uint32_t fill = gfx::FILL_SOLID;
    for (const auto& e : device->Events()) {
      if (e.kind == Kind::SetRenderState && e.state == gfx::RenderState::FillMode) fill = e.value;
      if (e.kind == Kind::Draw) out.push_back(fill);
    }
    return out;
  }

  mv::test::TempWorkDir work;
  std::unique_ptr<gfx::RecordingDevice> device = gfx::CreateRecordingDevice(1920, 1080);
  QuietClients clients;
  DeviceManager devices{clients, true};
  Catalog catalog;
  Peers peers;
  SceneManager scene{peers};
};

std::vector<float> Floats(const gfx::Mat4& m) { return std::vector<float>(gfx::MatrixData(m), gfx::MatrixData(m) + 16); }

void ExpectMatrixNear(const std::vector<float>& got, const gfx::Mat4& want, const char* what) {
  ASSERT_EQ(got.size(), 16u) << what;
  const std::vector<float> w = Floats(want);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[static_cast<std::size_t>(i)], w[static_cast<std::size_t>(i)], 1e-5f) << what << " element " << i;
}

}  // namespace

// A generated mesh draws once per material and pass with its parameters
// recorded as one block, in the order the effect expects them, ahead of the
// material's own.
TEST_F(SceneRenderTest, AMeshSendsItsParameterBlockInOrderThenDraws) {
  Start();
  CMesh* m = AddSector();
  ASSERT_NE(m, nullptr);
  ASSERT_TRUE(m->mesh);
  Frame(2.5);
  ASSERT_EQ(Draws().size(), 1u);
  EXPECT_EQ(Draws()[0]->technique, "RenderScene");
  // The per-frame two, then the block, then the draw's applications.
  std::vector<std::string> names;
  for (const auto& e : device->Events()) {
    if (e.kind == Kind::Begin) break;
    if (e.kind == Kind::SetParameter) names.push_back(e.name);
  }
  const std::vector<std::string> block = {"g_mWorld",     "g_mView", "g_mProj",   "g_mWorldView", "g_txEnvMap",
                                          "Diffuse",      "Specular", "Reflectivity", "Power2",   "DeformA",
                                          "DeformB",      "DeformC", "DeltaA",    "DeltaB",       "DeltaC",
                                          "g_fTime"};
  // Recorded, applied again before the material's block, then the material.
  std::vector<std::string> expected = {"g_vLight", "g_mRevView"};
  expected.insert(expected.end(), block.begin(), block.end());
  expected.insert(expected.end(), block.begin(), block.end());
  expected.insert(expected.end(), {"g_txScene", "g_txEnvMap"});
  // The sky of this frame over the one the material was loaded with.
  expected.push_back("g_txEnvMap");
  EXPECT_EQ(names, expected);
  // Object block, then material block, before the pass.
  std::vector<Kind> order;
  for (const auto& e : device->Events())
    if (e.kind == Kind::ApplyParameterBlock || e.kind == Kind::Begin || e.kind == Kind::BeginPass ||
        e.kind == Kind::Draw || e.kind == Kind::End)
      order.push_back(e.kind);
  EXPECT_EQ(order, (std::vector<Kind>{Kind::ApplyParameterBlock, Kind::ApplyParameterBlock, Kind::Begin,
                                      Kind::BeginPass, Kind::Draw, Kind::End}));
  EXPECT_EQ(device->LastParameter("g_fTime")->values, std::vector<float>{2.5f});
  // The material's texture reaches the effect: the white one.
  EXPECT_EQ(device->LastParameter("g_txScene")->texture, devices.GetWhiteTexture().get());
  // Drawn with blending of source alpha over its inverse, which ends off.
  EXPECT_EQ(device->GetRenderState(gfx::RenderState::AlphaBlendEnable), 0u);
  EXPECT_EQ(device->GetRenderState(gfx::RenderState::SrcBlend), gfx::BLEND_SRCALPHA);
  EXPECT_EQ(device->GetRenderState(gfx::RenderState::DestBlend), gfx::BLEND_INVSRCALPHA);
  EXPECT_EQ(device->GetRenderState(gfx::RenderState::FillMode), gfx::FILL_SOLID);
}

TEST_F(SceneRenderTest, AMeshOfScaleZeroReachesNoEffect) {
  Start();
  CMesh* hidden = AddSector();
  CMesh* shown = AddSector();
  hidden->params.iScale[0] = hidden->params.iScale[1] = hidden->params.iScale[2] = 0.0f;
  hidden->params.renderer = 3;
  hidden->params.vDiff[0] = 0.25f;
  shown->params.iScale[1] = 0.0f;  // one zero axis still draws
  Frame();
  ASSERT_EQ(Draws().size(), 1u);
  EXPECT_EQ(Values("Diffuse").front(), (std::vector<float>{1, 1, 1, 1}));
  for (const auto& d : Values("Diffuse")) EXPECT_NE(d[0], 0.25f);
  for (const auto* t : device->Find(Kind::SetTechnique)) EXPECT_NE(t->technique, "RenderEnvMapSceneTrans");
}

// The child of a parent at (1, 0, 0) standing at (0, 1, 0) draws at
// (1, 1, 0), turned by both rotations and sized by its own scale only.
TEST_F(SceneRenderTest, OneLevelOfParentMovesAndTurnsButDoesNotScale) {
  Start();
  CMesh* parent = AddSector();
  CMesh* child = AddSector();
  const float rotations[][2] = {{0.0f, 0.0f}, {0.5f, 0.25f}};
  for (const auto& r : rotations) {
    SCOPED_TRACE(r[0]);
    parent->params.iPos[0] = 1.0f;
    parent->params.iScale[0] = parent->params.iScale[1] = parent->params.iScale[2] = 2.0f;
    parent->params.iRot[0] = r[0];
    child->parent = 4;
    child->params.iPos[1] = 1.0f;
    child->params.iRot[1] = r[1];
    Frame();
    const auto worlds = Values("g_mWorld");
    ASSERT_EQ(worlds.size(), 4u);  // each object's block, set and applied
    const gfx::Mat4 R = gfx::MatrixMultiply(gfx::MatrixRotationYawPitchRoll(r[0], 0, 0),
                                            gfx::MatrixRotationYawPitchRoll(0, r[1], 0));
    const gfx::Mat4 W = gfx::MatrixMultiply(gfx::MatrixMultiply(child->normaliseMatrix, R), gfx::MatrixTranslation(1, 1, 0));
    ExpectMatrixNear(worlds[2], W, "child world");
    gfx::Mat4 sent;
    std::memcpy(&sent, worlds[2].data(), sizeof sent);
    // The mesh's centre lands at (1, 1, 0) ...
    const gfx::Vec3 centre = gfx::Vec3TransformCoord(gfx::Vec3(0.0f), gfx::MatrixInverse(child->normaliseMatrix));
    const gfx::Vec3 at = gfx::Vec3TransformCoord(centre, sent);
    EXPECT_NEAR(at.x, 1.0f, 1e-5f);
    EXPECT_NEAR(at.y, 1.0f, 1e-5f);
    EXPECT_NEAR(at.z, 0.0f, 1e-5f);
    // ... at the size its normalisation alone gives (the parent's 2 is its own).
    const float size = gfx::Vec3Length(gfx::Vec3TransformNormal(gfx::Vec3(1, 0, 0), sent));
    EXPECT_NEAR(size, gfx::Vec3Length(gfx::Vec3TransformNormal(gfx::Vec3(1, 0, 0), child->normaliseMatrix)), 1e-5f);
    EXPECT_NEAR(gfx::Vec3Length(gfx::Vec3TransformNormal(gfx::Vec3(1, 0, 0), [&] {
                  gfx::Mat4 p;
                  std::memcpy(&p, worlds[0].data(), sizeof p);
                  return p;
                }())),
                2.0f * size, 1e-4f);
    // World × view, and the arcball holds the rotation drawn.
    ExpectMatrixNear(Values("g_mWorldView")[2], gfx::MatrixMultiply(W, scene.GetCamera()->GetViewMatrix()),
                     "child world-view");
    ExpectMatrixNear(Floats(scene.GetLastWorldView()), gfx::MatrixMultiply(W, scene.GetCamera()->GetViewMatrix()),
                     "last world-view");
    // The arcball holds the child's own rotation (a drag turns the child
    // in its parent), the parent's the parent's.
    const gfx::Mat4 own = gfx::MatrixRotationYawPitchRoll(0, r[1], 0);
    const gfx::Mat4 ball = child->arcball->GetRotationMatrix();
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(gfx::MatrixData(ball)[i], gfx::MatrixData(own)[i], 1e-5f);
    const gfx::Mat4 parentBall = parent->arcball->GetRotationMatrix();
    const gfx::Mat4 parentOwn = gfx::MatrixRotationYawPitchRoll(r[0], 0, 0);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(gfx::MatrixData(parentBall)[i], gfx::MatrixData(parentOwn)[i], 1e-5f);
  }
}

TEST_F(SceneRenderTest, PercentParametersAreSentAsFractions) {
  Start();
  CMesh* m = AddSector();
  struct Case {
    float reflectivity, power, deformC, deltaB;
    float sentReflectivity, sentPower2, sentDeformC, sentDeltaB;
  };
  const Case cases[] = {
      {50, 0, 0, 0, 0.5f, 10.0f, 0.0f, 0.0f},
      {0, 100, 25, -30, 0.0f, 0.0f, 0.25f, -0.3f},
      {100, 40, 200, 5, 1.0f, 6.0f, 2.0f, 0.05f},
  };
  for (const Case& c : cases) {
    m->params.Reflectivity = c.reflectivity;
    m->params.Power = c.power;
    m->params.DeformC = c.deformC;
    m->params.Delta[1] = c.deltaB;
    Frame();
    EXPECT_FLOAT_EQ(device->LastParameter("Reflectivity")->values[0], c.sentReflectivity) << c.reflectivity;
    EXPECT_FLOAT_EQ(device->LastParameter("Power2")->values[0], c.sentPower2) << c.power;
    EXPECT_FLOAT_EQ(device->LastParameter("DeformC")->values[0], c.sentDeformC) << c.deformC;
    EXPECT_FLOAT_EQ(device->LastParameter("DeltaB")->values[0], c.sentDeltaB) << c.deltaB;
    // The defaults of the others: DeformA and DeformB at 50 percent.
    EXPECT_FLOAT_EQ(device->LastParameter("DeformA")->values[0], 0.5f);
    EXPECT_FLOAT_EQ(device->LastParameter("DeltaA")->values[0], 0.0f);
  }
}

// Renderer index → technique; one outside the table keeps the previous
// object's technique.
TEST_F(SceneRenderTest, TheRendererIndexPicksTheTechnique) {
  Start();
  CMesh* first = AddSector();
  CMesh* second = AddSector();
  const char* names[] = {"RenderScene",    "RenderEnvMapScene", "RenderEnvMapSceneTextureFront",
                         "RenderEnvMapSceneTrans", "RenderSceneFast", "RenderSceneFastNoTrans"};
  for (int r = 0; r < 6; ++r) {
    first->params.renderer = 0;
    second->params.renderer = r;
    Frame();
    ASSERT_EQ(Draws().size(), 2u);
    EXPECT_EQ(Draws()[1]->technique, names[r]) << r;
  }
  for (const std::int32_t outside : {6, 200, -1}) {
    first->params.renderer = 3;
    second->params.renderer = outside;
    Frame();
    ASSERT_EQ(Draws().size(), 2u);
    EXPECT_EQ(Draws()[1]->technique, "RenderEnvMapSceneTrans") << outside;
  }
}

// Fill modes: the object's own with the GUI hidden or for the selection;
// with the GUI shown the others are wireframe under "View Selected" and
// solid without it. Shade mode and lighting follow the object.
TEST_F(SceneRenderTest, FillModesFollowTheSelectionAndViewSelected) {
  Start();
  CMesh* a = AddSector();
  CMesh* b = AddSector();
  CMesh* c = AddSector();
  a->params.fillMode = gfx::FILL_POINT;
  b->params.fillMode = gfx::FILL_POINT;
  c->params.fillMode = gfx::FILL_SOLID;
  scene.SetSelectedIndex(5);  // b
  struct Case {
    bool guiHidden, viewSelected;
    std::vector<std::uint32_t> fill;
  };
  const Case cases[] = {
      {true, false, {1, 1, 3}},
      {true, true, {1, 1, 3}},
      {false, true, {2, 1, 2}},
      {false, false, {3, 1, 3}},
  };
  for (const Case& k : cases) {
    g_bGuiHidden = k.guiHidden;
    g_bViewSelected = k.viewSelected;
    Frame();
    EXPECT_EQ(FillAtDraws(), k.fill) << k.guiHidden << k.viewSelected;
    EXPECT_EQ(device->GetRenderState(gfx::RenderState::FillMode), gfx::FILL_SOLID);
  }
  // Lighting is on or off whatever number the word holds.
  a->params.lighting = 7;
  b->params.lighting = 0;
  c->params.shadeMode = gfx::SHADE_FLAT;
  Frame();
  std::vector<std::uint32_t> lighting, shade;
  for (const auto* e : device->Find(Kind::SetRenderState, "Lighting")) lighting.push_back(e->value);
  for (const auto* e : device->Find(Kind::SetRenderState, "ShadeMode")) shade.push_back(e->value);
  EXPECT_EQ(lighting, (std::vector<std::uint32_t>{1, 0, 1}));
  EXPECT_EQ(shade, (std::vector<std::uint32_t>{3, 3, 1}));
}

// Each pass draws into its row of the render-target table, for one, two
// and three passes (devices of 4, 2 and 1 simultaneous targets).
class SceneRenderPasses : public SceneRenderTest, public ::testing::WithParamInterface<int> {};

TEST_P(SceneRenderPasses, EachPassBindsItsRowOfTheTable) {
  Start(GetParam());
  ASSERT_NE(AddSector(), nullptr);
  Frame();
  const int passes = devices.GetPassCount();
  const int perPass = devices.GetTargetsPerPass();
  std::map<int, const gfx::Surface*> bound;
  std::vector<int> drawnPasses;
  for (const auto& e : device->Events()) {
    if (e.kind == Kind::SetRenderTarget) bound[e.index] = e.surface;
    if (e.kind != Kind::Draw) continue;
    drawnPasses.push_back(e.index);
    for (int t = 0; t < perPass; ++t)
      EXPECT_EQ(bound[t], devices.GetPassTarget(e.index, t).get()) << "pass " << e.index << " slot " << t;
  }
  std::vector<int> expected;
  for (int p = 0; p < passes; ++p) expected.push_back(p);
  EXPECT_EQ(drawnPasses, expected);
  // Every cell of each row was used, the empty ones as unbound slots.
  EXPECT_NE(bound[0], nullptr);
}

INSTANTIATE_TEST_SUITE_P(Tables, SceneRenderPasses, ::testing::Values(4, 2, 1));

TEST_F(SceneRenderTest, ALayerTextIsDrawnAtItsTruncatedPosition) {
  Start();
  auto* text = dynamic_cast<CLayerTextObject*>(scene.InsertObject(OBJ_LAYERTEXT, -1, -1, nullptr, nullptr, -1));
  ASSERT_NE(text, nullptr);
  text->Pos[0] = 10.9f;
  text->Pos[1] = 20.2f;
  mv::io::CopyToFixed(text->text, kLayerTextLength, u"Morvane\nlive");
  text->colour[0] = 0.5f;
  Frame();
  auto quads = [&] {
    std::vector<std::uint8_t> bytes;
    for (const auto* d : Draws()) bytes.insert(bytes.end(), d->vertices.begin(), d->vertices.end());
    return bytes;
  };
  const std::vector<std::uint8_t> drawn = quads();
  ASSERT_FALSE(drawn.empty());
  const gfx::Color colour(0.5f, 1, 1, 1);
  device->ClearEvents();
  devices.GetSprite()->DrawText(*devices.GetFont(1), std::u16string_view(u"Morvane\nlive"), 10.0f, 20.0f, colour, 16.0f);
  EXPECT_EQ(drawn, quads());
  // The sprite itself keeps fractions: the truncation is the scene's.
  device->ClearEvents();
  devices.GetSprite()->DrawText(*devices.GetFont(1), std::u16string_view(u"Morvane\nlive"), 10.9f, 20.2f, colour, 16.0f);
  EXPECT_NE(drawn, quads());
  // A position that is no number draws nothing and breaks nothing.
  text->Pos[0] = std::nanf("");
  Frame();
  EXPECT_TRUE(Draws().empty());
}

// The metaball surface goes through the dynamic mesh in batches, each one
// drawn with "RenderScene" whatever the object's renderer.
TEST_F(SceneRenderTest, MetaballsDrawTheFieldInBatchesWithRenderScene) {
  Start();
  peers.withField = true;
  // As a slide makes it: a metaball object with the default parameters and
  // a field without a grid yet.
  auto* balls = dynamic_cast<CMesh*>(scene.InsertObject(OBJ_METABALL, -1, -1, nullptr, nullptr, -1));
  ASSERT_NE(balls, nullptr);
  balls->params.renderer = 4;
  ASSERT_EQ(peers.field.GetGridSize(), 0);
  Frame();
  EXPECT_EQ(peers.field.GetGridSize(), 64);
  const auto draws = Draws();
  ASSERT_FALSE(draws.empty());
  std::uint32_t triangles = 0;
  for (const auto* d : draws) {
    EXPECT_EQ(d->technique, "RenderScene");
    EXPECT_TRUE(d->indexed);
    EXPECT_LE(d->value, static_cast<std::uint32_t>(MetaballField::kMeshFaces));
    triangles += d->value;
  }
  EXPECT_GT(triangles, 100u);
  // Every batch but the last reached the flush mark.
  for (std::size_t i = 0; i + 1 < draws.size(); ++i) EXPECT_GE(draws[i]->value * 3, 2970u);
  // The balls moved on by the frame.
  const glm::vec3 before = peers.field.GetBall(0).position;
  Frame();
  EXPECT_NE(peers.field.GetBall(0).position, before);
}

// Meshes load before the sky box does, and a row change brings another
// cube map: whatever their materials recorded, every draw of every kind
// reflects the sky of its frame.
TEST_F(SceneRenderTest, EveryDrawReflectsTheCurrentSky) {
  Start();
  peers.withField = true;
  ASSERT_NE(AddSector(), nullptr);
  ASSERT_NE(scene.InsertObject(OBJ_METABALL, -1, -1, nullptr, nullptr, -1), nullptr);
  auto envAtDraws = [&] {
    std::vector<const gfx::BaseTexture*> out;
    const gfx::BaseTexture* current = nullptr;
    for (const auto& e : device->Events()) {
      if (e.kind == Kind::SetParameter && e.name == "g_txEnvMap") current = e.texture;
      if (e.kind == Kind::Draw) out.push_back(current);
    }
    return out;
  };
  // Two cube maps, as two rows of the sky box table would bring.
  std::shared_ptr<gfx::CubeTexture> first, second;
  ASSERT_EQ(device->CreateCubeTexture(8, 1, 0, gfx::Format::A8R8G8B8, gfx::Pool::Managed, &first), gfx::S_OK);
  ASSERT_EQ(device->CreateCubeTexture(8, 1, 0, gfx::Format::A8R8G8B8, gfx::Pool::Managed, &second), gfx::S_OK);
  for (const std::shared_ptr<gfx::BaseTexture>& sky :
       {std::shared_ptr<gfx::BaseTexture>(first), std::shared_ptr<gfx::BaseTexture>(second)}) {
    peers.sky = sky;
    Frame();
    const auto env = envAtDraws();
    ASSERT_GE(env.size(), 2u);  // the sector and at least one metaball batch
    for (const auto* t : env) EXPECT_EQ(t, sky.get());
  }
}

// A particle object is handed to the particle system at its place, with
// its world matrix, and sends nothing to the scene effect itself.
TEST_F(SceneRenderTest, AParticleObjectIsHandedToTheParticleDraw) {
  Start();
  auto* fountain = dynamic_cast<CMesh*>(scene.InsertObject(OBJ_PARTICLE, -1, -1, nullptr, nullptr, -1));
  ASSERT_NE(fountain, nullptr);
  fountain->params.iPos[2] = 3.0f;
  Frame(1.0, 0.02f);
  ASSERT_EQ(peers.particles.size(), 1u);
  EXPECT_EQ(peers.particles[0].object, fountain);
  EXPECT_EQ(peers.particles[0].elapsed, 0.02f);
  EXPECT_EQ(gfx::MatrixElement(peers.particles[0].world, 4, 3), 3.0f);
  EXPECT_TRUE(Values("g_mWorld").empty());
}

// The light vector and the reversed view are set once per frame.
TEST_F(SceneRenderTest, TheLightGoesThroughViewAndProjection) {
  Start();
  CLightObject* light = scene.GetLight();
  light->position[0] = 1.0f;
  light->position[1] = 2.0f;
  light->position[2] = -1.0f;
  light->radius = 2.0f;
  Frame();
  const gfx::Mat4& view = scene.GetCamera()->GetViewMatrix();
  const gfx::Vec4 l = gfx::Vec4Transform(gfx::Vec4Transform(gfx::Vec4(2, 4, -2, 1), view),
                                         scene.GetCamera()->GetProjMatrix());
  const auto sent = device->LastParameter("g_vLight");
  ASSERT_NE(sent, nullptr);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(sent->values[static_cast<std::size_t>(i)], l[i], 1e-4f);
  gfx::Mat4 rev = gfx::MatrixInverse(view);
  gfx::MatrixElement(rev, 4, 1) = gfx::MatrixElement(rev, 4, 2) = gfx::MatrixElement(rev, 4, 3) = 0.0f;
  ExpectMatrixNear(device->LastParameter("g_mRevView")->values, rev, "reversed view");
  EXPECT_NE(gfx::MatrixElement(gfx::MatrixInverse(view), 4, 3), 0.0f);  // the camera does stand off
}

// The panel is rebuilt when the selection's kind changes and refreshed
// when marked dirty, at the start of the frame, without a device as well.
TEST_F(SceneRenderTest, ThePanelFollowsTheSelectedKind) {
  scene.SetSelectedKind(OBJ_LAYERTEXT);
  scene.SetPanelDirty(false);
  scene.Render(nullptr, 0.0, 0.0f);
  EXPECT_EQ(scene.GetPanelKind(), OBJ_LAYERTEXT);
  EXPECT_FALSE(scene.IsPanelDirty());
}
