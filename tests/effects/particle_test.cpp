// The particle fountain: its settings, its bursts and motion, its device
// objects through create, reset, lost and destroy, and no slide data.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <sstream>

#include "effects/CRuntimeRandom.h"
#include "effects/ParticleManager.h"
#include "gfx/RecordingDevice.h"
#include "support/TempWorkDir.h"

namespace {

// A 2 x 2 uncompressed true-colour TGA.
void WriteParticleTexture(const mv::test::TempWorkDir& dir) {
  std::string tga(18, '\0');
  tga[2] = 2;
  tga[12] = 2;
  tga[14] = 2;
  tga[16] = 32;
  tga[17] = 8;
  for (int i = 0; i < 4; ++i) tga += std::string("\xFF\xFF\xFF\xFF", 4);
  dir.Write("media/particles/particle1.tga", tga);
}

}  // namespace

TEST(ParticleManager, CreatesTheFountainWithItsSettingsAndDeviceObjects) {
  mv::test::TempWorkDir dir;
  WriteParticleTexture(dir);  // found whatever the case of the stored path
  auto device = gfx::CreateRecordingDevice(64, 64);
  device->GetSettings().caps.maxPointSize = 64.0f;
  ParticleManager m;
  ASSERT_EQ(m.OnCreateDevice(*device), gfx::S_OK);
  CParticleSystem* s = m.System();
  ASSERT_NE(s, nullptr);
  EXPECT_TRUE(s->active);
  EXPECT_EQ(s->poolSize, 10u);
  EXPECT_EQ(s->particlesPerBurst, 50u);
  EXPECT_FLOAT_EQ(s->emissionInterval, 0.1f);
  EXPECT_FLOAT_EQ(s->lifetime, 500.0f);
  EXPECT_EQ(s->baseVelocity, glm::vec3(1.0f));
  EXPECT_EQ(s->acceleration, glm::vec3(1.0f));
  EXPECT_EQ(s->TextureFile(), u"Media/Particles/particle1.tga");
  EXPECT_FLOAT_EQ(s->maxPointSize, 64.0f);
  ASSERT_EQ(s->Particles().size(), 10u);
  for (const Particle& p : s->Particles()) {
    EXPECT_FALSE(p.alive);
    EXPECT_EQ(p.velocity, glm::vec3(1.0f));  // Restart: the base velocity
  }
  ASSERT_NE(s->VertexBuffer(), nullptr);
  EXPECT_EQ(s->VertexBuffer()->GetSize(), 160u);
  EXPECT_NE(s->VertexBuffer()->GetUsage() & gfx::USAGE_POINTS, 0u);
  EXPECT_NE(s->Texture(), nullptr);

  // Lost releases both; reset makes them again; destroy forgets the system.
  std::weak_ptr<gfx::VertexBuffer> vb = s->VertexBuffer();
  m.OnLostDevice();
  EXPECT_TRUE(vb.expired());
  EXPECT_EQ(s->Texture(), nullptr);
  EXPECT_EQ(m.OnResetDevice(*device), gfx::S_OK);
  EXPECT_NE(s->VertexBuffer(), nullptr);
  EXPECT_NE(s->Texture(), nullptr);
  std::weak_ptr<gfx::Texture> tex = s->Texture();
  m.OnDestroyDevice();
  EXPECT_EQ(m.System(), nullptr);
  EXPECT_TRUE(tex.expired());
  // Creating again replaces the fountain.
  m.OnCreateDevice(*device);
  EXPECT_NE(m.System(), nullptr);
}

TEST(ParticleManager, AMissingTextureFailsInitYetTheFountainIsActive) {
  mv::test::TempWorkDir dir;
  auto device = gfx::CreateRecordingDevice(64, 64);
  ParticleManager m;
  EXPECT_TRUE(gfx::Failed(m.OnCreateDevice(*device)));
  ASSERT_NE(m.System(), nullptr);
  EXPECT_TRUE(m.System()->active);
  EXPECT_EQ(m.System()->Texture(), nullptr);
}

TEST(ParticleManager, HasNoSlideData) {
  ParticleManager m;
  std::ostringstream out;
  m.Write(out);
  EXPECT_TRUE(out.str().empty());
  std::istringstream in("abc");
  m.Read(in);
  EXPECT_EQ(in.tellg(), 0);
}

namespace {

std::unique_ptr<CFountainParticleSys> Fountain(float spread) {
  auto made = std::make_unique<CFountainParticleSys>();
  CFountainParticleSys& f = *made;
  f.poolSize = 10;
  f.particlesPerBurst = 50;
  f.emissionInterval = 0.1f;
  f.lifetime = 500.0f;
  f.baseVelocity = glm::vec3(1.0f);
  f.acceleration = glm::vec3(1.0f);
  f.spreadSpeed = spread;
  auto device = gfx::CreateRecordingDevice(8, 8);
  f.Init(*device);  // no texture here: the pool is made all the same
  f.active = true;
  return made;
}

int Alive(const CFountainParticleSys& f) {
  int n = 0;
  for (const Particle& p : f.Particles()) n += p.alive;
  return n;
}

}  // namespace

TEST(FountainParticleSys, TheFirstBurstStartsTheWholePoolLaterOnesOnlyTheDead) {
  auto fp = Fountain(1.0f);
  CFountainParticleSys& f = *fp;
  f.Update(0.05f);
  EXPECT_EQ(Alive(f), 0);   // 0.05 s: no burst yet
  f.Update(0.06f);          // 0.11 s > 0.1 s
  EXPECT_EQ(Alive(f), 10);  // 50 allowed, 10 in the pool
  for (const Particle& p : f.Particles()) {
    EXPECT_GE(p.age, 0.06f);
    EXPECT_LE(p.age, 499.5f + 0.06f);
  }
  // Killing one by age: the next burst starts it alone.
  auto gp = Fountain(0.0f);
  CFountainParticleSys& g = *gp;
  g.lifetime = 0.2f;  // ages are drawn in [0, lifetime - 0.5]: below 0, so they die soon
  g.Update(0.11f);
  EXPECT_EQ(Alive(g), 10);
  for (int i = 0; i < 20; ++i) g.Update(0.05f);
  EXPECT_LT(Alive(g), 10);
}

TEST(FountainParticleSys, WithoutSpreadEveryParticleStartsWithTheBaseVelocity) {
  auto fp = Fountain(0.0f);
  CFountainParticleSys& f = *fp;
  f.Update(0.11f);  // burst, then the first step of 0.11 s
  for (const Particle& p : f.Particles()) {
    ASSERT_TRUE(p.alive);
    const glm::vec3 v = glm::vec3(1.0f) + glm::vec3(1.0f) * 0.11f;  // new velocity first
    EXPECT_EQ(p.velocity, v);
    EXPECT_EQ(p.position, v * 0.11f);  // then the position with it
  }
}

// The spread follows the C runtime's sequence: the age, then z, then the
// angle, each r / 32767 scaled into its range.
TEST(FountainParticleSys, TheSpreadIsARandomUnitVectorDrawnZFirst) {
  auto fp = Fountain(2.0f);
  CFountainParticleSys& f = *fp;
  f.Update(0.11f);
  CRuntimeRandom r;
  const float age = r.Range(0.0f, 499.5f);
  const float z = r.Range(-1.0f, 1.0f);
  const float theta = r.Range(-std::numbers::pi_v<float>, std::numbers::pi_v<float>);
  const float rho = std::sqrt(1.0f - z * z);
  const glm::vec3 spread(rho * std::cos(theta), rho * std::sin(theta), z);
  const Particle& p = f.Particles()[0];
  EXPECT_FLOAT_EQ(p.age, age + 0.11f);
  const glm::vec3 v = glm::vec3(1.0f) + spread * 2.0f + glm::vec3(0.11f);
  EXPECT_NEAR(p.velocity.x, v.x, 1e-5f);
  EXPECT_NEAR(p.velocity.y, v.y, 1e-5f);
  EXPECT_NEAR(p.velocity.z, v.z, 1e-5f);
  EXPECT_NEAR(glm::length(spread), 1.0f, 1e-5f);
}

TEST(FountainParticleSys, AnInactiveFountainDoesNothing) {
  auto fp = Fountain(1.0f);
  CFountainParticleSys& f = *fp;
  f.active = false;
  f.Update(1.0f);
  EXPECT_EQ(Alive(f), 0);
  EXPECT_EQ(f.emissionTimer, 0.0f);
}
