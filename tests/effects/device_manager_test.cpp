// The device manager's callbacks against the recording device: the order in
// which the other managers hear of the device, what is alive between which
// callbacks, the pass table, the scene texture format, the composition and
// the panel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/Globals.h"
#include "effects/DeviceManager.h"
#include "effects/QuadVertex.h"
#include "effects/RenderTargetChain.h"
#include "framework/Camera.h"
#include "gfx/Font.h"
#include "gfx/Math.h"
#include "gfx/RecordingDevice.h"
#include "gui/Controls.h"
#include "gui/DialogResourceManager.h"
#include "io/WindowMessages.h"
#include "support/SceneEffectText.h"
#include "support/TempWorkDir.h"

using mv::test::TempWorkDir;
using Kind = gfx::RecordedEvent::Kind;

namespace {

// Every forwarded call, by name, in order; `failOn` makes that call fail.
class RecordingClients final : public DeviceClients {
 public:
  std::vector<std::string> calls;
  std::string failOn;
  int skyBoxPasses = -1;
  CDXUTDialogResourceManager resources;
  fw::CDirectionWidget widget;
  fw::CModelViewerCamera camera;
  RenderTargetChain chains[3];

  CDXUTDialogResourceManager* DialogResources() override { return &resources; }
  fw::CDirectionWidget* LightWidget() override { return &widget; }
  fw::CModelViewerCamera* SceneCamera() override { return &camera; }
  RenderTargetChain* Chains() override { return chains; }

  gfx::HRESULT CreatePostProcess(gfx::Device&) override { return Call("postprocess.create"); }
  gfx::HRESULT ResetPostProcessEffect(int i, int w, int h) override {
    if (i == 0) Call("postprocess.reset " + std::to_string(w) + "x" + std::to_string(h));
    return i == 24 ? Call("postprocess.reset 24") : gfx::S_OK;
  }
  void LosePostProcess() override { Call("postprocess.lost"); }
  void ReleasePostProcess() override { Call("postprocess.release"); }
  gfx::HRESULT CreateSkyBox(gfx::Device&, int passes) override {
    skyBoxPasses = passes;
    return Call("skybox.create");
  }
  gfx::HRESULT ResetSkyBox(gfx::Device&) override { return Call("skybox.reset"); }
  void LoseSkyBox() override { Call("skybox.lost"); }
  void DestroySkyBox() override { Call("skybox.destroy"); }
  gfx::HRESULT CreateParticles(gfx::Device&) override { return Call("particles.create"); }
  gfx::HRESULT ResetParticles(gfx::Device&) override { return Call("particles.reset"); }
  void LoseParticles() override { Call("particles.lost"); }
  void DestroyParticles() override { Call("particles.destroy"); }
  gfx::HRESULT CreateScene(gfx::Device&) override { return Call("scene.create"); }
  void LoseScene() override { Call("scene.lost"); }
  void DestroyScene() override { Call("scene.destroy"); }
  void DestroySequence() override { Call("sequence.destroy"); }

 private:
  gfx::HRESULT Call(const std::string& name) {
    calls.push_back(name);
    return name == failOn ? gfx::E_FAIL : gfx::S_OK;
  }
};

struct Rig {
  TempWorkDir dir;
  RecordingClients clients;
  DeviceManager manager{clients, true};
  std::unique_ptr<gfx::RecordingDevice> device = gfx::CreateRecordingDevice(640, 360);

  explicit Rig(bool withEffect = true, int simultaneousTargets = 4, bool floatTargets = true) {
    if (withEffect) dir.Write("fx/reflectori.fxo", mv::test::SceneEffectText());
    device->GetSettings().caps.numSimultaneousRTs = simultaneousTargets;
    device->GetSettings().floatRenderTargets = floatTargets;
  }
  gfx::HRESULT Create() { return DeviceManager::OnCreateDevice(device.get(), device->GetBackBufferDesc(), &manager); }
  gfx::HRESULT Reset() { return DeviceManager::OnResetDevice(device.get(), device->GetBackBufferDesc(), &manager); }
  void Lost() { DeviceManager::OnLostDevice(&manager); }
  void Destroy() { DeviceManager::OnDestroyDevice(&manager); }
};

}  // namespace

TEST(DeviceCallbacks, ManagersHearOfTheDeviceInOrder) {
  Rig rig;
  ASSERT_EQ(rig.Create(), 0);
  EXPECT_EQ(rig.clients.calls, (std::vector<std::string>{"postprocess.create", "skybox.create", "particles.create",
                                                          "scene.create"}));
  EXPECT_FLOAT_EQ(rig.clients.widget.GetRadius(), 2.8f);
  rig.clients.calls.clear();
  ASSERT_EQ(rig.Reset(), 0);
  EXPECT_EQ(rig.clients.calls, (std::vector<std::string>{"postprocess.reset 640x360", "postprocess.reset 24",
                                                          "particles.reset", "skybox.reset"}));
  rig.clients.calls.clear();
  rig.Lost();
  EXPECT_EQ(rig.clients.calls,
            (std::vector<std::string>{"postprocess.lost", "particles.lost", "scene.lost", "skybox.lost"}));
  rig.clients.calls.clear();
  rig.Destroy();
  EXPECT_EQ(rig.clients.calls, (std::vector<std::string>{"scene.destroy", "particles.destroy", "skybox.destroy",
                                                          "sequence.destroy", "postprocess.release"}));
}

// The first failing step ends the callback with its code; nothing after it
// is asked.
TEST(DeviceCallbacks, AFailingManagerEndsTheCallbackWithItsCode) {
  const struct { const char* failOn; bool onReset; std::size_t callsMade; } cases[] = {
      {"postprocess.create", false, 1}, {"skybox.create", false, 2}, {"particles.create", false, 3},
      {"scene.create", false, 4},       {"particles.reset", true, 3}, {"skybox.reset", true, 4},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.clients.failOn = c.failOn;
    if (c.onReset) {
      ASSERT_EQ(rig.Create(), 0);
      rig.clients.calls.clear();
      EXPECT_EQ(rig.Reset(), gfx::E_FAIL) << c.failOn;
    } else {
      EXPECT_EQ(rig.Create(), gfx::E_FAIL) << c.failOn;
    }
    EXPECT_EQ(rig.clients.calls.size(), c.callsMade) << c.failOn;
    EXPECT_EQ(rig.clients.calls.back(), c.failOn);
    rig.Lost();
    rig.Destroy();
    EXPECT_EQ(rig.device->LiveDefaultPoolResources(), 0) << c.failOn;
  }
}

TEST(DeviceCallbacks, ResourcesLiveFromCreateOrResetUntilLostOrDestroy) {
  Rig rig;
  ASSERT_EQ(rig.Create(), 0);
  DeviceManager& m = rig.manager;
  ASSERT_NE(m.GetSceneEffect(), nullptr);
  for (int t = 0; t < DeviceManager::TECH_COUNT; ++t) EXPECT_TRUE(m.GetTechnique(t)) << DeviceManager::TechniqueName(t);
  ASSERT_NE(m.GetWhiteTexture(), nullptr);
  ASSERT_NE(m.GetBlackTexture(), nullptr);
  ASSERT_NE(m.GetQuadDeclaration(), nullptr);
  EXPECT_EQ(m.GetQuadDeclaration()->GetVertexSize(0), 44u);
  EXPECT_EQ(m.GetSprite(), nullptr);  // made on reset
  // Font A for the overlay, font B (antialiased) for the layer texts.
  ASSERT_NE(m.GetFont(0), nullptr) << "no font: is fonts-liberation2 installed?";
  ASSERT_NE(m.GetFont(1), nullptr);
  for (int f = 0; f < 2; ++f) {
    EXPECT_EQ(m.GetFont(f)->RequestedFace(), "Arial");
    EXPECT_EQ(m.GetFont(f)->Height(), 15);
    EXPECT_EQ(m.GetFont(f)->Weight(), 700);
    EXPECT_EQ(m.GetFont(f)->Antialiased(), f == 1);
  }
  EXPECT_EQ(m.GetSceneTexture(0), nullptr);
  EXPECT_EQ(rig.device->LiveDefaultPoolResources(), 0);

  // The white and black texels as written.
  for (const auto& [texture, texel] : {std::pair{m.GetWhiteTexture(), 0xFFFFFFFFu}, {m.GetBlackTexture(), 0u}}) {
    EXPECT_EQ(texture->GetLevelDesc(0).width, 1);
    EXPECT_EQ(texture->GetLevelDesc(0).format, gfx::Format::A8R8G8B8);
    EXPECT_EQ(texture->GetPool(), gfx::Pool::Managed);
    gfx::LockedRect r;
    ASSERT_EQ(texture->LockRect(0, &r, gfx::LOCK_READONLY), 0);
    std::uint32_t v;
    std::memcpy(&v, r.bits, 4);
    EXPECT_EQ(v, texel);
    texture->UnlockRect(0);
  }

  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(rig.Reset(), 0);
    ASSERT_NE(m.GetSprite(), nullptr);
    for (int i = 0; i < 3; ++i) {
      ASSERT_NE(m.GetSceneTexture(i), nullptr);
      const gfx::SurfaceDesc d = m.GetSceneTexture(i)->GetLevelDesc(0);
      EXPECT_EQ(d.width, 640);
      EXPECT_EQ(d.height, 360);
      EXPECT_EQ(d.usage & gfx::USAGE_RENDERTARGET, gfx::USAGE_RENDERTARGET);
      EXPECT_EQ(d.format, gfx::Format::A16B16G16R16F);
      ASSERT_NE(rig.clients.chains[i].GetNextTarget(), nullptr);
      ASSERT_NE(rig.clients.chains[i].GetPrevTarget(), nullptr);
      EXPECT_NE(rig.clients.chains[i].GetNextTarget(), rig.clients.chains[i].GetPrevTarget());
      EXPECT_EQ(rig.clients.chains[i].GetNextTarget()->GetLevelDesc(0).format, gfx::Format::A8R8G8B8);
      // The chain holds the only reference to its textures.
      EXPECT_EQ(rig.clients.chains[i].GetNextTarget().use_count(), 1);
    }
    // Three scene-save textures and six chain textures.
    EXPECT_EQ(rig.device->LiveDefaultPoolResources(), 9);
    rig.Lost();
    EXPECT_EQ(rig.device->LiveDefaultPoolResources(), 0) << "round " << round;
    EXPECT_EQ(m.GetSprite(), nullptr);
    for (int p = 0; p < 3; ++p)
      for (int t = 0; t < 3; ++t) EXPECT_EQ(m.GetPassTarget(p, t), nullptr);
    // Device-lifetime objects survive a lost device.
    EXPECT_NE(m.GetSceneEffect(), nullptr);
    EXPECT_NE(m.GetWhiteTexture(), nullptr);
  }
  // The lost and reset notifications reached the scene effect.
  EXPECT_EQ(rig.device->Find(Kind::EffectLost).size(), 2u);
  EXPECT_EQ(rig.device->Find(Kind::EffectReset).size(), 2u);

  std::weak_ptr<gfx::Texture> white = m.GetWhiteTexture();
  std::weak_ptr<gfx::VertexDeclaration> decl = m.GetQuadDeclaration();
  rig.Destroy();
  EXPECT_TRUE(white.expired());
  EXPECT_TRUE(decl.expired());
  EXPECT_EQ(m.GetSceneEffect(), nullptr);
  EXPECT_EQ(m.GetBlackTexture(), nullptr);
  EXPECT_EQ(m.GetFont(0), nullptr);
  EXPECT_EQ(m.GetFont(1), nullptr);
  EXPECT_FALSE(m.GetTechnique(DeviceManager::TECH_NO_LIGHT));
}

// The table rows are bound pass by pass; each cell is level 0 of its
// scene-save texture.
TEST(DeviceCallbacks, PassTableFollowsTheSimultaneousTargets) {
  const struct { int n, passes, perPass; int rows[3][3]; } cases[] = {
      {3, 1, 3, {{0, 1, 2}, {-1, -1, -1}, {-1, -1, -1}}},
      {2, 2, 2, {{0, 1, -1}, {2, -1, -1}, {-1, -1, -1}}},
      {1, 3, 1, {{0, -1, -1}, {1, -1, -1}, {2, -1, -1}}},
  };
  for (const auto& c : cases) {
    Rig rig(true, c.n);
    ASSERT_EQ(rig.Create(), 0);
    ASSERT_EQ(rig.Reset(), 0);
    EXPECT_EQ(rig.manager.GetPassCount(), c.passes) << c.n;
    EXPECT_EQ(rig.manager.GetTargetsPerPass(), c.perPass) << c.n;
    EXPECT_EQ(rig.clients.skyBoxPasses, c.passes) << c.n;
    for (int p = 0; p < 3; ++p)
      for (int t = 0; t < 3; ++t) {
        const auto& cell = rig.manager.GetPassTarget(p, t);
        if (c.rows[p][t] < 0) {
          EXPECT_EQ(cell, nullptr) << c.n << " " << p << " " << t;
          continue;
        }
        ASSERT_NE(cell, nullptr) << c.n << " " << p << " " << t;
        EXPECT_EQ(cell->GetContainer(), rig.manager.GetSceneTexture(c.rows[p][t]));
        EXPECT_EQ(cell->GetLevel(), 0);
        // A row's cells can be bound together on this device.
        EXPECT_EQ(rig.device->SetRenderTarget(t, cell), 0);
      }
    rig.device->SetRenderTarget(0, rig.device->GetBackBuffer());
    for (int t = 1; t < c.perPass; ++t) rig.device->SetRenderTarget(t, nullptr);
    rig.Lost();
    rig.Destroy();
  }
}

// Binding a pass puts its row's surfaces in slots 0 .. targets-per-pass - 1
// and empties the rest of those slots.
TEST(DeviceCallbacks, BindingAPassSetsItsRowOfTargets) {
  for (const int n : {3, 2, 1}) {
    Rig rig(true, n);
    ASSERT_EQ(rig.Create(), 0);
    EXPECT_EQ(rig.manager.BindPassTargets(*rig.device, 0), gfx::ERR_INVALIDCALL);  // no table before reset
    ASSERT_EQ(rig.Reset(), 0);
    const int passes = rig.manager.GetPassCount(), perPass = rig.manager.GetTargetsPerPass();
    for (int p = 0; p < passes; ++p) {
      rig.device->ClearEvents();
      ASSERT_EQ(rig.manager.BindPassTargets(*rig.device, p), 0) << n << " " << p;
      const auto set = rig.device->Find(Kind::SetRenderTarget);
      ASSERT_EQ(set.size(), static_cast<std::size_t>(perPass)) << n;
      for (int t = 0; t < perPass; ++t) {
        EXPECT_EQ(set[t]->index, t);
        EXPECT_EQ(set[t]->surface, rig.manager.GetPassTarget(p, t).get()) << n << " " << p << " " << t;
      }
    }
    // Pass 1 of two: S2 alone, slot 1 emptied.
    if (n == 2) {
      std::shared_ptr<gfx::Surface> slot1;
      EXPECT_LT(rig.device->GetRenderTarget(1, &slot1), 0);
    }
    EXPECT_EQ(rig.manager.BindPassTargets(*rig.device, passes), gfx::E_INVALIDARG);
    EXPECT_EQ(rig.manager.BindPassTargets(*rig.device, -1), gfx::E_INVALIDARG);
    rig.device->SetRenderTarget(0, rig.device->GetBackBuffer());
    for (int t = 1; t < perPass; ++t) rig.device->SetRenderTarget(t, nullptr);
    rig.Lost();
    rig.Destroy();
  }
}

TEST(DeviceCallbacks, SceneTexturesFallBackToEightBitsWithoutFloatTargets) {
  for (const bool floatTargets : {true, false}) {
    Rig rig(true, 4, floatTargets);
    ASSERT_EQ(rig.Create(), 0);
    ASSERT_EQ(rig.Reset(), 0);
    const gfx::Format expected = floatTargets ? gfx::Format::A16B16G16R16F : gfx::Format::A8R8G8B8;
    EXPECT_EQ(rig.manager.GetSceneTextureFormat(), expected);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(rig.manager.GetSceneTexture(i)->GetLevelDesc(0).format, expected) << floatTargets;
      EXPECT_EQ(rig.clients.chains[i].GetPrevTarget()->GetLevelDesc(0).format, gfx::Format::A8R8G8B8);
    }
    rig.Lost();
    rig.Destroy();
  }
}

TEST(DeviceCallbacks, ProjectionFollowsTheBackBufferOnEveryReset) {
  Rig rig;
  ASSERT_EQ(rig.Create(), 0);
  for (const auto& [w, h] : {std::pair{640, 360}, {800, 800}}) {
    rig.Lost();
    ASSERT_EQ(rig.device->Reset(w, h), 0);
    rig.device->ClearEvents();
    ASSERT_EQ(rig.Reset(), 0);
    const gfx::Mat4 expected = gfx::MatrixPerspectiveFovLH(0.785398f, float(w) / float(h), 0.1f, 1000.0f);
    const gfx::RecordedEvent* proj = rig.device->LastParameter("g_mProj");
    ASSERT_NE(proj, nullptr);
    ASSERT_EQ(proj->values.size(), 16u);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(proj->values[i], (&expected[0][0])[i], 1e-5f) << w << "x" << h << " " << i;
    // The camera's own projection is the one the effect got.
    EXPECT_NEAR(rig.clients.camera.GetProjMatrix()[1][1], expected[1][1], 1e-6f);
    EXPECT_EQ(rig.manager.GetSceneTexture(0)->GetLevelDesc(0).width, w);
  }
  rig.Lost();
  rig.Destroy();
}

TEST(DeviceCallbacks, AMissingSceneEffectEndsCreationWhenRequired) {
  Rig rig(false);
  const gfx::HRESULT hr = rig.Create();
  EXPECT_EQ(hr, fw::ERR_MEDIANOTFOUND);
  EXPECT_TRUE(rig.clients.calls.empty());  // nothing after the effect ran
  rig.Destroy();
  EXPECT_EQ(rig.manager.GetFont(0), nullptr);
}

TEST(DeviceCallbacks, AMissingSceneEffectIsLoggedWhenOptional) {
  Rig rig(false);
  rig.manager.SetSceneEffectRequired(false);
  ASSERT_EQ(rig.Create(), 0);
  ASSERT_EQ(rig.Reset(), 0);
  EXPECT_EQ(rig.manager.GetSceneEffect(), nullptr);
  EXPECT_FALSE(rig.manager.GetTechnique(DeviceManager::TECH_NO_LIGHT));
  rig.device->ClearEvents();
  // Nothing to compose with: the scene begins and nothing is drawn.
  EXPECT_EQ(rig.manager.DrawFinalImage(rig.device.get(), false, 0, 0, 640, 360), 0);
  EXPECT_EQ(rig.device->CountDraws(), 0);
  EXPECT_EQ(rig.device->Find(Kind::BeginScene).size(), 1u);
  rig.device->EndScene();
  rig.Lost();
  rig.Destroy();
}

TEST(DeviceCallbacks, ABrokenSceneEffectEndsCreationEvenWhenOptional) {
  Rig rig(false);
  rig.dir.Write("fx/reflectori.fxo", "[[technique]\nname = ");
  rig.manager.SetSceneEffectRequired(false);
  EXPECT_LT(rig.Create(), 0);
  rig.Destroy();
}

namespace {

std::vector<QuadVertex> Vertices(const gfx::RecordedEvent& e) {
  std::vector<QuadVertex> v(e.vertices.size() / sizeof(QuadVertex));
  std::memcpy(v.data(), e.vertices.data(), v.size() * sizeof(QuadVertex));
  return v;
}

}  // namespace

// The image quad over the rectangle with the source texture, then the two
// black bars a tenth of the height (truncated) high, through RenderNoLight.
TEST(DrawFinalImage, ImageQuadThenTwoBlackBars) {
  const struct { bool post; float x, y, w, h, bar; } cases[] = {
      {false, 0, 0, 640, 360, 36}, {true, 100, 200, 640, 400, 40}, {false, 100, 200, 1920, 1080, 108},
      {true, 10, 20, 333, 99, 9},
  };
  for (const auto& c : cases) {
    Rig rig;
    ASSERT_EQ(rig.Create(), 0);
    ASSERT_EQ(rig.Reset(), 0);
    rig.device->ClearEvents();
    EXPECT_EQ(rig.manager.DrawFinalImage(rig.device.get(), c.post, c.x, c.y, c.w, c.h), 0);
    const auto draws = rig.device->Find(Kind::Draw);
    ASSERT_EQ(draws.size(), 3u);
    for (const auto* d : draws) {
      EXPECT_EQ(d->technique, "RenderNoLight");
      EXPECT_EQ(d->primitive, gfx::PrimitiveType::TriangleStrip);
      EXPECT_EQ(d->value, 2u);
      EXPECT_TRUE(d->userMemory);
    }
    const auto textures = rig.device->Find(Kind::SetParameter, "g_txScene");
    ASSERT_EQ(textures.size(), 2u);
    const gfx::BaseTexture* source =
        c.post ? rig.clients.chains[0].GetPrevTarget().get() : rig.manager.GetSceneTexture(0).get();
    EXPECT_EQ(textures[0]->texture, source);
    EXPECT_EQ(textures[1]->texture, rig.manager.GetBlackTexture().get());

    const auto image = Vertices(*draws[0]);
    ASSERT_EQ(image.size(), 4u);
    const float xs[4] = {c.x - 0.5f, c.x + c.w - 0.5f, c.x - 0.5f, c.x + c.w - 0.5f};
    const float ys[4] = {c.y - 0.5f, c.y - 0.5f, c.y + c.h - 0.5f, c.y + c.h - 0.5f};
    const float us[4] = {0, 1, 0, 1}, vs[4] = {0, 0, 1, 1};
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(image[i].x, xs[i]);
      EXPECT_EQ(image[i].y, ys[i]);
      EXPECT_EQ(image[i].z, 0.5f);
      EXPECT_EQ(image[i].rhw, 1.0f);
      EXPECT_EQ(image[i].u0, us[i]);
      EXPECT_EQ(image[i].v0, vs[i]);
      EXPECT_EQ(image[i].u1, 0.0f);
      EXPECT_EQ(image[i].nx, 0.0f);
    }
    const auto top = Vertices(*draws[1]), bottom = Vertices(*draws[2]);
    ASSERT_EQ(top.size(), 4u);
    ASSERT_EQ(bottom.size(), 4u);
    EXPECT_EQ(top[0].y, c.y - 0.5f);
    EXPECT_EQ(top[3].y, c.y + c.bar - 0.5f);
    EXPECT_EQ(bottom[0].y, c.y + c.h - c.bar - 0.5f);
    EXPECT_EQ(bottom[3].y, c.y + c.h - 0.5f);
    EXPECT_EQ(top[0].x, c.x - 0.5f);
    EXPECT_EQ(bottom[3].x, c.x + c.w - 0.5f);
    // The scene begun here is left for the frame to end.
    EXPECT_EQ(rig.device->Find(Kind::BeginScene).size(), 1u);
    EXPECT_TRUE(rig.device->Find(Kind::EndScene).empty());
    rig.device->EndScene();
    rig.Lost();
    rig.Destroy();
  }
}

TEST(DrawFinalImage, AFailedBeginSceneDrawsNothing) {
  Rig rig;
  ASSERT_EQ(rig.Create(), 0);
  ASSERT_EQ(rig.Reset(), 0);
  rig.device->GetSettings().failBeginScene = true;
  rig.device->ClearEvents();
  EXPECT_LT(rig.manager.DrawFinalImage(rig.device.get(), false, 0, 0, 640, 360), 0);
  EXPECT_EQ(rig.device->CountDraws(), 0);
  rig.Lost();
  rig.Destroy();
}

// ---- the panel ---------------------------------------------------------------

namespace {

struct PanelRig {
  CDXUTDialogResourceManager resources;
  DeviceManager manager;
  PanelRig() { manager.BuildPanel(&resources, 1920, 1080); }
  void Click(int id) {
    CDXUTButton* b = manager.GetDialog().GetButton(id);
    ASSERT_NE(b, nullptr) << id;
    manager.GetDialog().SendEvent(EVENT_BUTTON_CLICKED, true, b);
  }
};

}  // namespace

TEST(DevicePanel, ButtonsCaptionFontAndBackground) {
  PanelRig rig;
  CDXUTDialog& d = rig.manager.GetDialog();
  EXPECT_TRUE(d.HasCaption());
  EXPECT_EQ(d.GetCaptionText(), u"Device Manager");
  ASSERT_NE(d.GetFont(0), nullptr);
  EXPECT_EQ(d.GetFont(0)->face, u"Arial");
  EXPECT_EQ(d.GetFont(0)->height, 14);
  EXPECT_EQ(d.GetFont(0)->weight, 400);
  for (int corner = 0; corner < 4; ++corner) EXPECT_EQ(d.GetBackgroundColor(corner), 0x00C8C8FFu);
  ASSERT_NE(d.GetTexture(1), nullptr);
  EXPECT_EQ(*d.GetTexture(1), u"media\\GUI\\Widget2.dds");
  ASSERT_NE(rig.manager.GetSettingsDialog().GetDialogControl().GetTexture(1), nullptr);
  EXPECT_EQ(*rig.manager.GetSettingsDialog().GetRevertDialogControl().GetTexture(1), u"media\\GUI\\Widget2.dds");
  EXPECT_TRUE(rig.resources.IsRegistered(&d));

  const struct { int id; const char16_t* text; int x, y, w, h; } buttons[] = {
      {1, u".", 640 - 44, -15, 15, 15},
      {402, u"o", 640 - 29, -15, 15, 15},
      {403, u"O", 640 - 14, -15, 15, 15},
      {404, u"Full Screen (BCK)", 0, 44, 125, 22},
      {4, u"Change device (F2)", 0, 68, 125, 22},
      {3, u"Toggle REF ", 0, 92, 125, 22},
      {401, u"Full Show (TAB)", 0, 116, 125, 22},
      {405, u"View Selected", 0, 140, 125, 22},
  };
  ASSERT_EQ(d.GetNumControls(), 8);
  for (const auto& b : buttons) {
    CDXUTButton* c = d.GetButton(b.id);
    ASSERT_NE(c, nullptr) << b.id;
    EXPECT_EQ(std::u16string(c->GetText()), b.text) << b.id;
    EXPECT_EQ(c->GetX(), b.x) << b.id;
    EXPECT_EQ(c->GetY(), b.y) << b.id;
    EXPECT_EQ(c->GetWidth(), b.w) << b.id;
    EXPECT_EQ(c->GetHeight(), b.h) << b.id;
  }
  // The view rectangle is the panel's.
  EXPECT_EQ(d.GetX(), 100);
  EXPECT_EQ(d.GetY(), 200);
  EXPECT_EQ(d.GetWidth(), 640);
  EXPECT_EQ(d.GetHeight(), 400);
}

TEST(DevicePanel, ViewSelectedTwiceGivesHideThenViewSelection) {
  PanelRig rig;
  g_bViewSelected = false;
  rig.Click(DeviceManager::IDC_VIEW_SELECTED);
  EXPECT_TRUE(g_bViewSelected);
  EXPECT_EQ(std::u16string(rig.manager.GetDialog().GetButton(405)->GetText()), u"Hide Selection");
  rig.Click(DeviceManager::IDC_VIEW_SELECTED);
  EXPECT_FALSE(g_bViewSelected);
  EXPECT_EQ(std::u16string(rig.manager.GetDialog().GetButton(405)->GetText()), u"View Selection");
}

TEST(DevicePanel, FullShowTogglesTheGuiHiddenFlag) {
  PanelRig rig;
  g_bGuiHidden = true;
  rig.Click(DeviceManager::IDC_FULL_SHOW);
  EXPECT_FALSE(g_bGuiHidden);
  rig.Click(DeviceManager::IDC_FULL_SHOW);
  EXPECT_TRUE(g_bGuiHidden);
}

TEST(DevicePanel, ChangeDeviceTogglesTheSettingsDialog) {
  PanelRig rig;
  EXPECT_FALSE(rig.manager.GetSettingsDialog().IsActive());
  rig.Click(DeviceManager::IDC_CHANGE_DEVICE);
  EXPECT_TRUE(rig.manager.GetSettingsDialog().IsActive());
  rig.Click(DeviceManager::IDC_CHANGE_DEVICE);
  EXPECT_FALSE(rig.manager.GetSettingsDialog().IsActive());
}

// Each size button sets the view to a fraction of the back buffer and
// rebuilds the panel at (100, 200): the size buttons follow the new width.
TEST(DevicePanel, SizeButtonsResizeTheViewAndRebuild) {
  const struct { int id, w, h; } cases[] = {{1, 640, 360}, {402, 960, 540}, {403, 1920, 1080}};
  for (const auto& c : cases) {
    PanelRig rig;
    rig.manager.GetDialog().SetLocation(5, 6);
    rig.Click(c.id);
    CDXUTDialog& d = rig.manager.GetDialog();
    EXPECT_EQ(rig.manager.GetViewWidth(), c.w) << c.id;
    EXPECT_EQ(rig.manager.GetViewHeight(), c.h) << c.id;
    EXPECT_EQ(d.GetWidth(), c.w);
    EXPECT_EQ(d.GetHeight(), c.h);
    EXPECT_EQ(d.GetX(), 100);
    EXPECT_EQ(d.GetY(), 200);
    EXPECT_EQ(d.GetNumControls(), 8);
    EXPECT_EQ(d.GetButton(403)->GetX(), c.w - 14);
    EXPECT_EQ(d.GetButton(1)->GetX(), c.w - 44);
  }
}

// A real click on the button, where it stands on screen, reaches it.
TEST(DevicePanel, AClickAtTheButtonTogglesFullShow) {
  PanelRig rig;
  g_bGuiHidden = true;
  CDXUTDialog& d = rig.manager.GetDialog();
  const gui::Rect r = d.ControlToWindow(d.GetButton(401)->GetBoundingBox());
  const LPARAM at = MakeLParam((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  d.MsgProc(WM_LBUTTONDOWN, MK_LBUTTON, at);
  d.MsgProc(WM_LBUTTONUP, 0, at);
  EXPECT_FALSE(g_bGuiHidden);
  g_bGuiHidden = true;
}

TEST(DeviceAcceptable, AllThreeCapabilitiesAreRequired) {
  const struct { bool blend, cube; int ps; bool accepted; } cases[] = {
      {true, true, 2, true}, {true, true, 3, true}, {false, true, 3, false}, {true, false, 3, false},
      {true, true, 1, false},
  };
  for (const auto& c : cases) {
    fw::DeviceCaps caps;
    caps.postPixelShaderBlending = c.blend;
    caps.cubeRenderTargets = c.cube;
    caps.pixelShaderVersionMajor = c.ps;
    EXPECT_EQ(DeviceManager::IsDeviceAcceptable(caps, "X8R8G8B8", "A8R8G8B8", false, nullptr), c.accepted);
  }
}

TEST(DeviceAcceptable, ModifySettingsFallsBackToSoftwareVertexProcessing) {
  const struct { bool tnl; int vs; fw::VertexProcessing expected; } cases[] = {
      {true, 3, fw::VertexProcessing::Hardware}, {false, 3, fw::VertexProcessing::Software},
      {true, 0, fw::VertexProcessing::Software}, {true, 1, fw::VertexProcessing::Hardware},
  };
  for (const auto& c : cases) {
    fw::DeviceCaps caps;
    caps.hardwareTransformAndLight = c.tnl;
    caps.vertexShaderVersionMajor = c.vs;
    fw::DeviceSettings s;
    EXPECT_TRUE(DeviceManager::ModifyDeviceSettings(&s, caps, nullptr));
    EXPECT_EQ(s.vertexProcessing, c.expected);
  }
}
