// Drawing the fountain: a particle object advances it every frame and its
// live particles reach the device as point sprites at the object's
// transform, on the recording device and as pixels on a headless GL one.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "effects/ParticleManager.h"
#include "gfx/GLDevice.h"
#include "gfx/Math.h"
#include "gfx/RecordingDevice.h"
#include "model/SceneObjects.h"
#include "support/GLTestContext.h"
#include "support/TempWorkDir.h"

using Kind = gfx::RecordedEvent::Kind;

namespace {

std::string WhiteTga() {
  std::string tga(18, '\0');
  tga[2] = 2, tga[12] = 2, tga[14] = 2, tga[16] = 32, tga[17] = 8;
  for (int i = 0; i < 4; ++i) tga += std::string("\xFF\xFF\xFF\xFF", 4);
  return tga;
}

struct Camera {
  gfx::Mat4 view = gfx::MatrixLookAtLH({0, 0, -5}, {0, 0, 0}, {0, 1, 0});
  gfx::Mat4 proj = gfx::MatrixPerspectiveFovLH(0.785398f, 1.0f, 0.1f, 1000.0f);
};

struct ParticleRig {
  mv::test::TempWorkDir dir;
  std::unique_ptr<gfx::RecordingDevice> device = gfx::CreateRecordingDevice(64, 64);
  ParticleManager manager;
  CMesh object;
  Camera camera;

  explicit ParticleRig(bool withTexture = true, bool withEffect = true) {
    if (withEffect) {
      std::filesystem::create_directories("fx");
      std::filesystem::copy_file(std::filesystem::path(MV_SOURCE_DIR) / "fx" / "particles.fxo", "fx/particles.fxo");
    }
    if (withTexture) dir.Write("media/particles/particle1.tga", WhiteTga());
    device->GetSettings().caps.maxPointSize = 64.0f;
    manager.OnCreateDevice(*device);
    object.kind = 5;
  }
  void Frame(CMesh& o, const gfx::Mat4& world, float elapsed) {
    device->ClearEvents();
    device->BeginScene();
    manager.Render(*device, o, world, camera.view, camera.proj, elapsed);
    device->EndScene();
  }
  void Frame(const gfx::Mat4& world, float elapsed) { Frame(object, world, elapsed); }
  std::vector<const gfx::RecordedEvent*> PointDraws() const {
    std::vector<const gfx::RecordedEvent*> out;
    for (const auto* d : device->Find(Kind::Draw))
      if (d->primitive == gfx::PrimitiveType::PointList) out.push_back(d);
    return out;
  }
  std::vector<ParticleVertex> Vertices(std::size_t n) {
    std::vector<ParticleVertex> v(n);
    void* p = nullptr;
    const auto& vb = manager.System()->VertexBuffer();
    EXPECT_EQ(vb->Lock(0, 0, &p, gfx::LOCK_READONLY), gfx::S_OK);
    std::memcpy(v.data(), p, n * sizeof(ParticleVertex));
    vb->Unlock();
    return v;
  }
};

int LiveCount(const CParticleSystem& s) {
  int n = 0;
  for (const Particle& p : s.Particles()) n += p.alive ? 1 : 0;
  return n;
}

}  // namespace

TEST(ParticleDrawing, LiveParticlesReachTheDeviceAsPointSpritesAtTheObjectsTransform) {
  ParticleRig rig;
  const gfx::Mat4 world = gfx::MatrixTranslation(5.0f, 0.0f, 1.0f);
  // Not yet a burst: nothing alive, nothing drawn.
  rig.Frame(world, 0.05f);
  EXPECT_TRUE(rig.PointDraws().empty());
  // Past the interval: the burst starts the whole pool.
  rig.Frame(world, 0.06f);
  CParticleSystem& s = *rig.manager.System();
  ASSERT_EQ(LiveCount(s), 10);
  auto draws = rig.PointDraws();
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0]->value, 10u);
  EXPECT_EQ(draws[0]->technique, "RenderParticles");
  EXPECT_FALSE(draws[0]->indexed);

  const gfx::RecordedEvent* m = rig.device->LastParameter("g_mWorldViewProj");
  ASSERT_NE(m, nullptr);
  const gfx::Mat4 expected = gfx::MatrixMultiply(gfx::MatrixMultiply(world, rig.camera.view), rig.camera.proj);
  ASSERT_EQ(m->values.size(), 16u);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(m->values[i], (&expected[0][0])[i], 1e-4f) << i;
  const gfx::RecordedEvent* tex = rig.device->LastParameter("g_txParticle");
  ASSERT_NE(tex, nullptr);
  EXPECT_EQ(tex->texture, s.Texture().get());

  // The buffer holds the live particles, in the fountain's colour.
  auto v = rig.Vertices(10);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(glm::vec3(v[i].position[0], v[i].position[1], v[i].position[2]), s.Particles()[i].position) << i;
    EXPECT_EQ(v[i].color, 0xFFFF8080u) << i;
  }
  // Sprites: the pass turns them on; the point size is the fountain's 0.5
  // seen from 5 units, and the device gets its own size back afterwards.
  bool sprites = false;
  std::vector<std::uint32_t> sizes;
  for (const auto& e : rig.device->Events()) {
    if (e.kind == Kind::SetRenderState && e.state == gfx::RenderState::PointSpriteEnable && e.value == 1) sprites = true;
    if (e.kind == Kind::SetRenderState && e.state == gfx::RenderState::PointSize) sizes.push_back(e.value);
  }
  EXPECT_TRUE(sprites);
  const float pixels = 0.5f * gfx::MatrixElement(rig.camera.proj, 2, 2) * 0.5f * 64.0f / 6.0f;
  EXPECT_NEAR(rig.manager.LastPointSize(), pixels, 1e-3f);
  ASSERT_GE(sizes.size(), 2u);
  EXPECT_EQ(sizes.front(), gfx::FloatBits(rig.manager.LastPointSize()));
  EXPECT_EQ(rig.device->GetRenderState(gfx::RenderState::PointSize), gfx::FloatBits(1.0f));

  // The next frame moves them on.
  const glm::vec3 before = s.Particles()[0].position;
  rig.Frame(world, 0.02f);
  EXPECT_NE(s.Particles()[0].position, before);
  v = rig.Vertices(10);
  EXPECT_EQ(glm::vec3(v[0].position[0], v[0].position[1], v[0].position[2]), s.Particles()[0].position);
}

TEST(ParticleDrawing, AMissingTextureDrawsWithAWhiteOne) {
  ParticleRig rig(false);
  ASSERT_EQ(rig.manager.System()->Texture(), nullptr);
  rig.Frame(gfx::MatrixIdentity(), 0.2f);
  ASSERT_EQ(rig.PointDraws().size(), 1u);
  const gfx::RecordedEvent* tex = rig.device->LastParameter("g_txParticle");
  ASSERT_NE(tex, nullptr);
  ASSERT_NE(tex->texture, nullptr);
  auto* white = const_cast<gfx::Texture*>(dynamic_cast<const gfx::Texture*>(tex->texture));
  ASSERT_NE(white, nullptr);
  EXPECT_EQ(white->GetLevelDesc(0).width, 1);
  gfx::LockedRect rect;
  ASSERT_EQ(white->LockRect(0, &rect, gfx::LOCK_READONLY), gfx::S_OK);
  EXPECT_EQ(*static_cast<const std::uint32_t*>(rect.bits), 0xFFFFFFFFu);
  white->UnlockRect(0);
}

TEST(ParticleDrawing, WithoutTheEffectTheFountainStillRuns) {
  ParticleRig rig(true, false);
  rig.Frame(gfx::MatrixIdentity(), 0.2f);
  EXPECT_EQ(LiveCount(*rig.manager.System()), 10);
  EXPECT_TRUE(rig.PointDraws().empty());
}

TEST(ParticleDrawing, TheFountainBelongsToTheObjectItWasMadeFor) {
  ParticleRig rig;
  CMesh other;
  other.kind = 5;
  ASSERT_EQ(rig.manager.OnParticleObjectLoaded(rig.object), gfx::S_OK);
  EXPECT_EQ(rig.manager.Owner(), &rig.object);
  // Both drawn each frame: the fountain advances once, with its owner.
  for (int frame = 0; frame < 3; ++frame) {
    rig.Frame(other, gfx::MatrixIdentity(), 0.2f);
    EXPECT_TRUE(rig.PointDraws().empty());
    rig.Frame(rig.object, gfx::MatrixIdentity(), 0.2f);
    EXPECT_EQ(rig.PointDraws().size(), 1u);
  }
  EXPECT_EQ(rig.manager.Owner(), &rig.object);
  // The owner is no longer drawn (removed): the other one takes over.
  rig.Frame(other, gfx::MatrixIdentity(), 0.2f);
  EXPECT_TRUE(rig.PointDraws().empty());
  rig.Frame(other, gfx::MatrixIdentity(), 0.2f);
  EXPECT_EQ(rig.PointDraws().size(), 1u);
  EXPECT_EQ(rig.manager.Owner(), &other);
  // Loading a particle entry gives a fresh fountain to that object.
  ASSERT_EQ(LiveCount(*rig.manager.System()), 10);
  rig.manager.OnParticleObjectLoaded(rig.object);
  EXPECT_EQ(LiveCount(*rig.manager.System()), 0);
  EXPECT_EQ(rig.manager.Owner(), &rig.object);
}

TEST(ParticleDrawing, NothingBeforeTheDeviceNorAfterItsDestruction) {
  ParticleManager m;
  CMesh object;
  EXPECT_EQ(m.OnParticleObjectLoaded(object), gfx::S_OK);
  EXPECT_EQ(m.System(), nullptr);
  ParticleRig rig;
  rig.manager.OnDestroyDevice();
  rig.Frame(gfx::MatrixIdentity(), 0.2f);
  EXPECT_TRUE(rig.device->Find(Kind::Draw).empty());
}

TEST(ParticleDrawing, SpritesLightPixelsOnAHeadlessGLDevice) {
  std::string why;
  auto ctx = mvtest::GLTestContext::Create(&why);
  if (!ctx) GTEST_SKIP() << "no headless GL: " << why;
  mv::test::TempWorkDir dir;
  std::filesystem::create_directories("fx");
  std::filesystem::copy_file(std::filesystem::path(MV_SOURCE_DIR) / "fx" / "particles.fxo", "fx/particles.fxo");
  constexpr int kSize = 64;
  auto device = gfx::CreateGLDevice(gfx::GLDeviceDesc{kSize, kSize, 0});
  ASSERT_TRUE(device);
  ParticleManager manager;
  manager.OnCreateDevice(*device);  // no texture: white sprites
  CParticleSystem& s = *manager.System();
  s.particlesPerBurst = 1;  // one sprite: its colour unsaturated, its place known
  CMesh object;
  Camera camera;
  auto frame = [&](float elapsed) {
    device->Clear(gfx::CLEAR_TARGET | gfx::CLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    device->BeginScene();
    manager.Render(*device, object, gfx::MatrixIdentity(), camera.view, camera.proj, elapsed);
    device->EndScene();
    std::vector<std::uint8_t> rgba;
    EXPECT_EQ(device->ReadSurfaceRGBA8(nullptr, &rgba), gfx::S_OK);
    return rgba;
  };
  auto lit = [](const std::vector<std::uint8_t>& rgba, int* red, int* blue) {
    int n = 0;
    *red = *blue = 0;
    for (std::size_t i = 0; i + 3 < rgba.size(); i += 4)
      if (rgba[i] > 40) ++n, *red = std::max<int>(*red, rgba[i]), *blue = std::max<int>(*blue, rgba[i + 2]);
    return n;
  };
  int red = 0, blue = 0;
  EXPECT_EQ(lit(frame(0.05f), &red, &blue), 0);  // before the first burst
  const auto pixels = frame(0.06f);
  const int n = lit(pixels, &red, &blue);
  EXPECT_GT(n, 4);
  EXPECT_LT(n, kSize * kSize / 4);
  // The fountain's colour (1, 0.5, 0.5): red strongest, blue about half.
  EXPECT_GT(red, 200);
  EXPECT_GT(blue, 90);
  EXPECT_LT(blue, 170);
  // The sprites stand where the particles are: the lit pixels' centre is
  // the projection of their (shared) position.
  const glm::vec3 p = s.Particles()[0].position;
  const glm::vec4 clip = gfx::Vec3Transform(p, gfx::MatrixMultiply(camera.view, camera.proj));
  const float px = (clip.x / clip.w * 0.5f + 0.5f) * kSize, py = (0.5f - clip.y / clip.w * 0.5f) * kSize;
  double sx = 0, sy = 0;
  int count = 0;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x)
      if (pixels[(std::size_t(y) * kSize + x) * 4] > 40) sx += x + 0.5, sy += y + 0.5, ++count;
  ASSERT_GT(count, 0);
  EXPECT_NEAR(sx / count, px, 1.5);
  EXPECT_NEAR(sy / count, py, 1.5);
}
