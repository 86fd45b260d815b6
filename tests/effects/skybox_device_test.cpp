// The sky box on the recording device: its mesh and cube map loaded with the
// device, what each frame's drawing sends (matrix, textures, technique,
// targets), failures that keep the previous sky box, its controls in the
// scene panel and their events.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "effects/DeviceManager.h"
#include "effects/SkyBoxFixtures.h"
#include "effects/RenderTargetChain.h"
#include "effects/SkyBoxManager.h"
#include "effects/SkyBoxMesh.h"
#include "framework/Camera.h"
#include "gfx/Math.h"
#include "gfx/RecordingDevice.h"
#include "gui/Controls.h"
#include "gui/Dialog.h"
#include "gui/DialogResourceManager.h"
#include "io/Result.h"
#include "model/SceneObjects.h"
#include "support/DeviceClientsStub.h"
#include "support/TempWorkDir.h"

using Kind = gfx::RecordedEvent::Kind;
using namespace mv::test::skybox;

namespace {

class TestScene final : public SkyBoxScene {
 public:
  CSkyBoxObject sky;
  CSceneObject* selected = &sky;
  std::int32_t script = 0;
  int refreshes = 0;
  CSkyBoxObject* SkyBoxObject() override { return &sky; }
  CSceneObject* SelectedObject() override { return selected; }
  std::int32_t SelectedValueScript() override { return script; }
  void RefreshScenePanel() override { ++refreshes; }
};

struct Rig {
  mv::test::TempWorkDir dir;
  SkyBoxManager sky;
  mvtest::StubDeviceClients clients{&sky};
  DeviceManager manager{clients, true};
  TestScene scene;
  fw::CModelViewerCamera camera;
  std::unique_ptr<gfx::RecordingDevice> device = gfx::CreateRecordingDevice(320, 180);

  explicit Rig(int simultaneousTargets = 4) {
    dir.Write("fx/reflectori.fxo", SkyBoxEffectText());
    dir.Write("media/skybox/skybox.x", BoxX(1.0f, "sky0.tga", "sky1.tga"));
    dir.Write("media/skybox/sky0.tga", Tga(200, 10, 10));
    dir.Write("media/skybox/sky1.tga", Tga(10, 200, 10));
    dir.Write("media/skybox/Light Probes/stpeters_cross.dds", CubeDds(10));
    dir.Write("media/skybox/cell.x", BoxX(2.0f, "cell.tga", ""));
    dir.Write("media/skybox/cell.tga", Tga(1, 2, 3));
    dir.Write("media/skybox/Light Probes/rnl_cross.dds", CubeDds(30));
    device->GetSettings().caps.numSimultaneousRTs = simultaneousTargets;
    sky.SetDeviceManager(&manager);
    sky.SetScene(&scene);
    camera.SetViewParams({1.0f, 2.0f, -5.0f}, {0.0f, 0.5f, 0.0f});
  }
  void Create() {
    ASSERT_EQ(DeviceManager::OnCreateDevice(device.get(), device->GetBackBufferDesc(), &manager), gfx::S_OK);
    ASSERT_EQ(DeviceManager::OnResetDevice(device.get(), device->GetBackBufferDesc(), &manager), gfx::S_OK);
  }
  void Destroy() {
    DeviceManager::OnLostDevice(&manager);
    DeviceManager::OnDestroyDevice(&manager);
  }
  // One frame's sky box, recorded on its own.
  void Frame() {
    device->ClearEvents();
    device->BeginScene();
    sky.Render(device.get());
    device->EndScene();
  }
  std::vector<const gfx::RecordedEvent*> Draws() const { return device->Find(Kind::Draw); }
  // The g_txScene each draw was made with, in order.
  std::vector<const gfx::BaseTexture*> SceneTexturesOfDraws() const {
    std::vector<const gfx::BaseTexture*> out;
    const gfx::BaseTexture* current = nullptr;
    for (const auto& e : device->Events()) {
      if (e.kind == Kind::SetParameter && e.name == "g_txScene") current = e.texture;
      if (e.kind == Kind::Draw) out.push_back(current);
    }
    return out;
  }
  gfx::Mat4 WorldSent() const {
    const gfx::RecordedEvent* e = device->LastParameter("g_mWorld");
    gfx::Mat4 m(0.0f);
    if (e && e->values.size() == 16) std::memcpy(&m[0][0], e->values.data(), 64);
    return m;
  }
};

void ExpectMatrixNear(const gfx::Mat4& a, const gfx::Mat4& b) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(a[r][c], b[r][c], 1e-4f) << "row " << r << " col " << c;
}

}  // namespace

TEST(SkyBoxDevice, CreationLoadsTheCurrentSkyBoxAndDestructionLetsAllGo) {
  Rig rig;
  rig.Create();
  const mv::effects::SkyBoxMesh* mesh = rig.sky.GetMesh();
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->GetName(), "CDXUTXMeshFile_Mesh");
  ASSERT_EQ(mesh->GetNumMaterials(), 2u);
  ASSERT_NE(mesh->GetTexture(0), nullptr);
  ASSERT_NE(mesh->GetTexture(1), nullptr);
  EXPECT_EQ(mesh->GetMesh()->GetNumFaces(), 12u);
  EXPECT_EQ(mesh->GetMesh()->GetNumBytesPerVertex(), sizeof(mv::effects::SkyBoxVertex));
  ASSERT_NE(rig.sky.GetEnvironmentMap(), nullptr);
  EXPECT_EQ(rig.sky.GetEnvironmentMap()->GetLevelDesc(0).width, 4);
  EXPECT_TRUE(rig.sky.GetTechnique());
  // The declaration: position float3 at 0, texture coordinate 0 float3 at 12.
  ASSERT_NE(rig.sky.GetVertexDeclaration(), nullptr);
  const auto& e = rig.sky.GetVertexDeclaration()->GetElements();
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].usage, gfx::VertexUsage::Position);
  EXPECT_EQ(e[0].type, gfx::VertexType::Float3);
  EXPECT_EQ(e[0].offset, 0);
  EXPECT_EQ(e[1].usage, gfx::VertexUsage::TexCoord);
  EXPECT_EQ(e[1].usageIndex, 0);
  EXPECT_EQ(e[1].type, gfx::VertexType::Float3);
  EXPECT_EQ(e[1].offset, 12);

  std::weak_ptr<gfx::CubeTexture> env = rig.sky.GetEnvironmentMap();
  std::weak_ptr<gfx::Texture> texture = mesh->GetTexture(0);
  std::weak_ptr<gfx::VertexDeclaration> decl = rig.sky.GetVertexDeclaration();

  // Lost and reset keep the (managed) sky box: it is still drawn after.
  DeviceManager::OnLostDevice(&rig.manager);
  EXPECT_EQ(rig.device->LiveDefaultPoolResources(), 0);
  ASSERT_EQ(DeviceManager::OnResetDevice(rig.device.get(), rig.device->GetBackBufferDesc(), &rig.manager),
            gfx::S_OK);
  rig.sky.SetCamera(&rig.camera);
  rig.Frame();
  EXPECT_EQ(rig.Draws().size(), 2u);

  rig.Destroy();
  EXPECT_EQ(rig.sky.GetMesh(), nullptr);
  EXPECT_EQ(rig.sky.GetEnvironmentMap(), nullptr);
  EXPECT_TRUE(env.expired());
  EXPECT_TRUE(texture.expired());
  EXPECT_TRUE(decl.expired());
}

TEST(SkyBoxDevice, EnabledBoxIsScaledRotatedAndTurnedWithTheViewOnly) {
  Rig rig;
  rig.Create();
  rig.sky.SetCamera(&rig.camera);
  rig.scene.sky.size[0] = 2, rig.scene.sky.size[1] = 3, rig.scene.sky.size[2] = 4;
  rig.scene.sky.vectorC[0] = 0.5f, rig.scene.sky.vectorC[1] = -0.25f, rig.scene.sky.vectorC[2] = 0.125f;
  rig.Frame();

  gfx::Mat4 view = rig.camera.GetViewMatrix();
  ASSERT_NE(gfx::MatrixElement(view, 4, 3), 0.0f);  // the camera does stand away from the origin
  gfx::MatrixElement(view, 4, 1) = gfx::MatrixElement(view, 4, 2) = gfx::MatrixElement(view, 4, 3) = 0.0f;
  const gfx::Mat4 expected = gfx::MatrixMultiply(
      gfx::MatrixMultiply(gfx::MatrixScaling(2, 3, 4), gfx::MatrixRotationYawPitchRoll(0.5f, -0.25f, 0.125f)), view);
  ExpectMatrixNear(rig.WorldSent(), expected);
  EXPECT_EQ(rig.sky.GetScale(), glm::vec3(2, 3, 4));
  EXPECT_EQ(rig.sky.GetCurrentRotation(), glm::vec3(0.5f, -0.25f, 0.125f));

  const gfx::RecordedEvent* env = rig.device->LastParameter("g_txEnvMap");
  ASSERT_NE(env, nullptr);
  EXPECT_EQ(env->texture, rig.sky.GetEnvironmentMap().get());
  // One draw per subset, each with its own texture, in the sky box technique.
  const auto draws = rig.Draws();
  ASSERT_EQ(draws.size(), 2u);
  for (const auto* d : draws) EXPECT_EQ(d->technique, "RenderSkyBox");
  const auto textures = rig.SceneTexturesOfDraws();
  EXPECT_EQ(textures[0], rig.sky.GetMesh()->GetTexture(0).get());
  EXPECT_EQ(textures[1], rig.sky.GetMesh()->GetTexture(1).get());
  EXPECT_NE(textures[0], textures[1]);
  EXPECT_EQ(rig.device->Find(Kind::CommitChanges).size(), 2u);
}

TEST(SkyBoxDevice, DisabledBoxIsDrawnBlackScaledNotRotated) {
  Rig rig;
  rig.Create();
  rig.sky.SetCamera(nullptr);  // drawn even without a camera
  rig.sky.SetEnabled(false);
  rig.sky.SetScale({5, 6, 7});
  rig.scene.sky.size[0] = 99;  // nothing is copied from the object
  rig.scene.sky.vectorC[0] = 1.0f;
  rig.Frame();
  ExpectMatrixNear(rig.WorldSent(), gfx::MatrixScaling(5, 6, 7));
  const auto textures = rig.SceneTexturesOfDraws();
  ASSERT_EQ(textures.size(), 2u);
  for (const auto* t : textures) EXPECT_EQ(t, rig.manager.GetBlackTexture().get());
  EXPECT_EQ(rig.sky.GetScale(), glm::vec3(5, 6, 7));
}

TEST(SkyBoxDevice, WithoutACameraTheEnabledBoxDrawsNothing) {
  Rig rig;
  rig.Create();
  rig.Frame();
  EXPECT_TRUE(rig.Draws().empty());
  EXPECT_EQ(rig.device->LastParameter("g_mWorld"), nullptr);
}

// Whatever the box cannot cover is cleared: every scene target, to the
// clear colour with alpha 0, and render target 0 given back.
TEST(SkyBoxDevice, WithNothingToDrawTheSceneTargetsAreClearedInstead) {
  for (const bool noMesh : {true, false}) {
    SCOPED_TRACE(noMesh ? "no sky box mesh" : "no camera");
    Rig rig;
    if (noMesh) std::filesystem::remove(rig.dir.Path() / "media/skybox/skybox.x");
    rig.Create();
    if (!noMesh) rig.sky.SetCamera(nullptr);
    ASSERT_EQ(rig.sky.GetMesh() == nullptr, noMesh);
    std::shared_ptr<gfx::Surface> back;
    rig.device->GetRenderTarget(0, &back);
    rig.Frame();
    EXPECT_TRUE(rig.Draws().empty());
    // A clear reaches every target bound at the time.
    std::vector<const gfx::Surface*> cleared;
    const gfx::Surface* bound[4] = {back.get(), nullptr, nullptr, nullptr};
    for (const auto& e : rig.device->Events()) {
      if (e.kind == Kind::SetRenderTarget && e.index >= 0 && e.index < 4) bound[e.index] = e.surface;
      if (e.kind == Kind::Clear) {
        EXPECT_EQ(e.value, 0x000A1428u);
        EXPECT_EQ(e.index & gfx::CLEAR_ZBUFFER, 0) << "the frame's depth stays as the frame cleared it";
        for (const gfx::Surface* b : bound)
          if (b) cleared.push_back(b);
      }
    }
    for (int i = 0; i < 3; ++i) {
      std::shared_ptr<gfx::Surface> s;
      ASSERT_EQ(rig.manager.GetSceneTexture(i)->GetSurfaceLevel(0, &s), gfx::S_OK);
      EXPECT_NE(std::find(cleared.begin(), cleared.end(), s.get()), cleared.end()) << "scene target " << i;
    }
    std::shared_ptr<gfx::Surface> after;
    rig.device->GetRenderTarget(0, &after);
    EXPECT_EQ(after, back);
  }
}

TEST(SkyBoxDevice, EachPassBindsItsRowOfTheTargetTable) {
  // Two simultaneous targets: two passes (S0 S1, then S2).
  Rig rig(2);
  rig.dir.Write("fx/reflectori.fxo", [] {
    std::string text = SkyBoxEffectText();
    const std::string one = "name = \"RenderSkyBox\"\n\n[[technique.pass]]\nstates = { ZEnable = false }\n"
                            "vertex = \"@quad\"\nfragment = \"@tex\"\n";
    const std::size_t at = text.find(one);
    text.insert(at + one.size(), "\n[[technique.pass]]\nvertex = \"@quad\"\nfragment = \"@tex\"\n");
    return text;
  }());
  rig.Create();
  rig.sky.SetCamera(&rig.camera);
  rig.Frame();
  std::vector<std::pair<int, const gfx::Surface*>> bound;
  int pass = -1;
  std::vector<std::vector<const gfx::Surface*>> perPass(2);
  for (const auto& e : rig.device->Events()) {
    if (e.kind == Kind::SetRenderTarget && pass + 1 < 2) perPass[pass + 1].push_back(e.surface);
    if (e.kind == Kind::BeginPass) pass = e.index;
  }
  ASSERT_EQ(rig.Draws().size(), 4u);  // 2 passes x 2 subsets
  EXPECT_EQ(perPass[0], (std::vector<const gfx::Surface*>{rig.manager.GetPassTarget(0, 0).get(),
                                                          rig.manager.GetPassTarget(0, 1).get()}));
  EXPECT_EQ(perPass[1], (std::vector<const gfx::Surface*>{rig.manager.GetPassTarget(1, 0).get(), nullptr}));
}

TEST(SkyBoxDevice, RowThreeIsTheCellWithTheTwoDimensionalTechnique) {
  Rig rig;
  rig.Create();
  rig.sky.SetCamera(&rig.camera);
  const mv::effects::SkyBoxMesh* before = rig.sky.GetMesh();
  ASSERT_EQ(rig.sky.LoadSkyBox(3), gfx::S_OK);
  EXPECT_NE(rig.sky.GetMesh(), before);
  EXPECT_EQ(rig.sky.GetCurrentIndex(), 3);
  rig.Frame();
  const auto draws = rig.Draws();
  ASSERT_EQ(draws.size(), 2u);
  for (const auto* d : draws) EXPECT_EQ(d->technique, "RenderSkyBox2D");
  // cell.x's first material names its texture; the second names none and
  // draws with the white one, so the cube map shows there instead of black.
  const auto textures = rig.SceneTexturesOfDraws();
  EXPECT_EQ(textures[0], rig.sky.GetMesh()->GetTexture(0).get());
  EXPECT_NE(textures[0], rig.manager.GetWhiteTexture().get());
  EXPECT_EQ(textures[1], rig.manager.GetWhiteTexture().get());
  // The cell is the larger box: its corners reach 2.
  glm::vec3 lo, hi;
  ASSERT_EQ(rig.sky.GetMesh()->GetMesh()->ComputeBoundingBox(&lo, &hi), gfx::S_OK);
  EXPECT_FLOAT_EQ(hi.x, 2.0f);
}

TEST(SkyBoxDevice, AMeshThatCannotBeLoadedKeepsThePreviousSkyBox) {
  const struct {
    const char* name;
    const char* bytes;  // null: no file
  } cases[] = {{"missing", nullptr}, {"garbage", "xof 0303txt 0032\nFrame {"}, {"no triangles", "xof 0303txt 0032\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    if (c.bytes) rig.dir.Write("media/skybox/skybox1.x", c.bytes);
    rig.dir.Write("media/skybox/Light Probes/galileo_cross.dds", CubeDds(99));
    rig.Create();
    const mv::effects::SkyBoxMesh* mesh = rig.sky.GetMesh();
    const gfx::CubeTexture* env = rig.sky.GetEnvironmentMap().get();
    const gfx::TechniqueHandle technique = rig.sky.GetTechnique();
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(rig.sky.LoadSkyBox(1), gfx::S_OK);
    EXPECT_EQ(rig.sky.GetCurrentIndex(), 0);
    EXPECT_EQ(rig.sky.GetMesh(), mesh);
    EXPECT_EQ(rig.sky.GetEnvironmentMap().get(), env);
    EXPECT_TRUE(rig.sky.GetTechnique() == technique);
  }
}

TEST(SkyBoxDevice, AMissingOrUnreadableCubeMapLeavesNoEnvironmentMap) {
  const struct {
    const char* name;
    const char* bytes;
    gfx::HRESULT expected;
  } cases[] = {{"missing", nullptr, mv::ERR_MEDIANOTFOUND}, {"unreadable", "DDS not really", mv::ERR_MEDIANOTFOUND}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    rig.dir.Write("media/skybox/skybox2.x", BoxX(3.0f, "", ""));
    if (c.bytes) rig.dir.Write("media/skybox/Light Probes/grace_cross.dds", c.bytes);
    rig.Create();
    ASSERT_NE(rig.sky.GetEnvironmentMap(), nullptr);
    EXPECT_EQ(rig.sky.LoadSkyBox(2), c.expected);
    EXPECT_EQ(rig.sky.GetEnvironmentMap(), nullptr);
    EXPECT_EQ(rig.sky.GetCurrentIndex(), 2);  // the mesh did load
    rig.sky.SetCamera(&rig.camera);
    rig.Frame();
    const gfx::RecordedEvent* env = rig.device->LastParameter("g_txEnvMap");
    ASSERT_NE(env, nullptr);
    EXPECT_EQ(env->texture, nullptr);
    EXPECT_EQ(rig.Draws().size(), 2u);
  }
}

TEST(SkyBoxDevice, ASlideSectionLoadsItsRowOnTheDevice) {
  Rig rig;
  rig.Create();
  SkyBoxManager source;
  source.LoadSkyBox(3);  // no device: only remembered
  std::stringstream ss;
  source.Write(ss);
  rig.sky.Read(ss);
  EXPECT_EQ(rig.sky.GetCurrentIndex(), 3);
  rig.sky.SetCamera(&rig.camera);
  rig.Frame();
  ASSERT_FALSE(rig.Draws().empty());
  EXPECT_EQ(rig.Draws()[0]->technique, "RenderSkyBox2D");
}

TEST(SkyBoxMesh, TangentsFollowTheTextureAndStayPerpendicularToTheNormal) {
  // One quad in the z = 0 plane, u along +x: tangent +x whatever the normal.
  std::vector<mv::effects::SkyBoxVertex> v(4);
  const float p[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (int i = 0; i < 4; ++i) {
    v[i].position[0] = p[i][0], v[i].position[1] = p[i][1];
    v[i].texCoord[0] = p[i][0], v[i].texCoord[1] = p[i][1];
    v[i].normal[2] = -1.0f;
  }
  mv::effects::ComputeTangents(v, {0, 1, 2, 0, 2, 3});
  for (const auto& x : v) {
    EXPECT_NEAR(x.tangent[0], 1.0f, 1e-5f);
    EXPECT_NEAR(x.tangent[1], 0.0f, 1e-5f);
    EXPECT_NEAR(x.tangent[2], 0.0f, 1e-5f);
  }
  // Without texture coordinates: still a unit vector perpendicular to the normal.
  for (auto& x : v) x.texCoord[0] = x.texCoord[1] = 0.0f;
  mv::effects::ComputeTangents(v, {0, 1, 2, 0, 2, 3});
  for (const auto& x : v) {
    const glm::vec3 t(x.tangent[0], x.tangent[1], x.tangent[2]);
    EXPECT_NEAR(glm::length(t), 1.0f, 1e-5f);
    EXPECT_NEAR(t.z, 0.0f, 1e-5f);
  }
}

// ---- the controls in the scene panel ----------------------------------------

namespace {

struct PanelRig {
  CDXUTDialog dialog;
  SkyBoxManager sky;
  TestScene scene;
  PanelRig() {
    sky.SetScene(&scene);
    sky.BuildControls(&dialog);
  }
};

}  // namespace

TEST(SkyBoxControls, RowsOfTheScenePanel) {
  PanelRig rig;
  EXPECT_EQ(rig.sky.GetPanel(), &rig.dialog);
  const struct {
    int id;
    UINT type;
    const char16_t* text;
    int x, y, w, h;
    UINT hotkey;
  } rows[] = {
      {1124, DXUT_CONTROL_CHECKBOX, u"Enable sky(B)ox", 5, 25, 200, 16, 'B'},
      {1123, DXUT_CONTROL_COMBOBOX, nullptr, 5, 50, 210, 16, 'S'},
      {1130, DXUT_CONTROL_STATIC, u"Pos:", 0, 75, 50, 16, 0},
      {1127, DXUT_CONTROL_EDITBOX, u"", 55, 75, 120, 20, 0},
      {1131, DXUT_CONTROL_BUTTON, u"?", 180, 77, 16, 14, 0},
      {1132, DXUT_CONTROL_BUTTON, u"?", 200, 77, 16, 14, 0},
      {1133, DXUT_CONTROL_BUTTON, u"?", 220, 77, 16, 14, 0},
      {1134, DXUT_CONTROL_STATIC, u"Rot:", 0, 100, 50, 16, 0},
      {1128, DXUT_CONTROL_EDITBOX, u"", 55, 100, 120, 20, 0},
      {1135, DXUT_CONTROL_BUTTON, u"?", 180, 102, 16, 14, 0},
      {1136, DXUT_CONTROL_BUTTON, u"?", 200, 102, 16, 14, 0},
      {1137, DXUT_CONTROL_BUTTON, u"?", 220, 102, 16, 14, 0},
      {1138, DXUT_CONTROL_STATIC, u"vRot:", 0, 125, 50, 16, 0},
      {1129, DXUT_CONTROL_EDITBOX, u"", 55, 125, 120, 20, 0},
      {1139, DXUT_CONTROL_BUTTON, u"?", 180, 127, 16, 14, 0},
      {1140, DXUT_CONTROL_BUTTON, u"?", 200, 127, 16, 14, 0},
      {1141, DXUT_CONTROL_BUTTON, u"?", 220, 127, 16, 14, 0},
  };
  EXPECT_EQ(rig.dialog.GetNumControls(), int(std::size(rows)));
  for (const auto& r : rows) {
    SCOPED_TRACE(r.id);
    CDXUTControl* c = rig.dialog.GetControl(r.id, r.type);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->GetX(), r.x);
    EXPECT_EQ(c->GetY(), r.y);
    EXPECT_EQ(c->GetWidth(), r.w);
    EXPECT_EQ(c->GetHeight(), r.h);
    EXPECT_EQ(c->GetHotkey(), r.hotkey);
    if (r.type == DXUT_CONTROL_EDITBOX) {
      auto* e = static_cast<CDXUTEditBox*>(c);
      EXPECT_EQ(e->GetTextString(), r.text);
      EXPECT_EQ(e->GetBorderWidth(), 1);
      EXPECT_EQ(e->GetSpacing(), 2);
    } else if (r.text) {
      EXPECT_EQ(static_cast<CDXUTStatic*>(c)->GetTextString(), r.text);
    }
  }
  EXPECT_TRUE(rig.dialog.GetCheckBox(1124)->GetChecked());
  CDXUTComboBox* combo = rig.dialog.GetComboBox(1123);
  ASSERT_EQ(combo->GetNumItems(), 9u);
  for (int r = 0; r < 9; ++r) {
    EXPECT_EQ(combo->GetItemData(r), reinterpret_cast<void*>(std::intptr_t{r}));
    EXPECT_EQ(std::u16string(combo->GetItem(r)->strText),
              u"(C)urrent skybox: Sky " + std::u16string(1, char16_t(u'1' + r)));
  }
}

TEST(SkyBoxControls, EditBoxesSetTheManagerAndTheSelectedObject) {
  const struct {
    int id;
    const char16_t* text;
    glm::vec3 expected;
  } cases[] = {
      {1127, u"1 2", {1, 2, 0}},
      {1128, u"0.5 -1 3", {0.5f, -1, 3}},
      {1129, u"  -2.5", {-2.5f, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    PanelRig rig;
    CDXUTEditBox* edit = rig.dialog.GetEditBox(c.id);
    edit->SetText(c.text);
    SkyBoxManager::OnGuiEvent(EVENT_EDITBOX_CHANGE, c.id, edit, nullptr);
    const float* object = c.id == 1127 ? rig.scene.sky.size : c.id == 1128 ? rig.scene.sky.vectorA : rig.scene.sky.vectorB;
    const glm::vec3 manager = c.id == 1127   ? rig.sky.GetScale()
                              : c.id == 1128 ? rig.sky.GetRotation()
                                             : rig.sky.GetRotationSpeed();
    EXPECT_EQ(manager, c.expected);
    EXPECT_EQ(glm::vec3(object[0], object[1], object[2]), c.expected);
  }
}

TEST(SkyBoxControls, LinkButtonsTakeTheSelectedValueScript) {
  for (int id = 1131; id <= 1141; ++id) {
    if (id == 1134 || id == 1138) continue;  // the labels
    SCOPED_TRACE(id);
    PanelRig rig;
    rig.scene.script = 12;
    SkyBoxManager::OnGuiEvent(EVENT_BUTTON_CLICKED, id, rig.dialog.GetButton(id), nullptr);
    const int component = (id - 1131) % 4;
    const std::int32_t* triple = id <= 1133 ? rig.scene.sky.links3 : id <= 1137 ? rig.scene.sky.links1 : rig.scene.sky.links2;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(triple[i], i == component ? 12 : 0);
    EXPECT_EQ(rig.scene.refreshes, 1);
    rig.sky.RefreshControls();
    EXPECT_EQ(rig.dialog.GetButton(id)->GetTextString(), u"!");
  }
}

TEST(SkyBoxControls, RefreshShowsTheSelectedSkyBoxObject) {
  PanelRig rig;
  rig.scene.sky.size[0] = 1.5f;
  rig.scene.sky.vectorA[1] = -2.0f;
  rig.scene.sky.vectorB[2] = 0.25f;
  rig.scene.sky.links1[0] = 3;
  rig.sky.SetEnabled(false);
  rig.sky.LoadSkyBox(5);  // no device: remembered
  rig.sky.RefreshControls();
  EXPECT_EQ(rig.dialog.GetEditBox(1127)->GetTextString(), u"1.500 100.000 100.000");
  EXPECT_EQ(rig.dialog.GetEditBox(1128)->GetTextString(), u"0.000 -2.000 0.000");
  EXPECT_EQ(rig.dialog.GetEditBox(1129)->GetTextString(), u"0.000 0.000 0.250");
  EXPECT_EQ(rig.dialog.GetButton(1135)->GetTextString(), u"03");
  EXPECT_EQ(rig.dialog.GetButton(1131)->GetTextString(), u"--");
  EXPECT_FALSE(rig.dialog.GetCheckBox(1124)->GetChecked());
  EXPECT_EQ(rig.dialog.GetComboBox(1123)->GetSelectedIndex(), 5);
  // Another kind selected: nothing is written.
  CCameraObject camera;
  rig.scene.selected = &camera;
  rig.scene.sky.size[0] = 9.0f;
  rig.sky.RefreshControls();
  EXPECT_EQ(rig.dialog.GetEditBox(1127)->GetTextString(), u"1.500 100.000 100.000");
}

TEST(SkyBoxControls, CheckBoxAndComboBox) {
  Rig rig;
  rig.Create();
  CDXUTDialog dialog;
  rig.sky.BuildControls(&dialog);
  CDXUTCheckBox* box = dialog.GetCheckBox(1124);
  box->SetChecked(false);
  SkyBoxManager::OnGuiEvent(EVENT_CHECKBOX_CHANGED, 1124, box, nullptr);
  EXPECT_FALSE(rig.sky.IsEnabled());
  CDXUTComboBox* combo = dialog.GetComboBox(1123);
  ASSERT_EQ(combo->SetSelectedByIndex(3), gfx::S_OK);
  SkyBoxManager::OnGuiEvent(EVENT_COMBOBOX_SELECTION_CHANGED, 1123, combo, nullptr);
  EXPECT_EQ(rig.sky.GetCurrentIndex(), 3);
  rig.sky.SetCamera(&rig.camera);
  rig.sky.SetEnabled(true);
  rig.Frame();
  ASSERT_FALSE(rig.Draws().empty());
  EXPECT_EQ(rig.Draws()[0]->technique, "RenderSkyBox2D");
  // Ids outside the sky box's are not its own.
  rig.sky.SetEnabled(true);
  SkyBoxManager::OnGuiEvent(EVENT_CHECKBOX_CHANGED, 1122, box, nullptr);
  SkyBoxManager::OnGuiEvent(EVENT_CHECKBOX_CHANGED, 1142, box, nullptr);
  EXPECT_TRUE(rig.sky.IsEnabled());
}
