#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "effects/DeviceManager.h"
#include "effects/MetaballField.h"
#include "effects/ParticleManager.h"
#include "effects/RenderTargetChain.h"
#include "gfx/RecordingDevice.h"
#include "io/BinaryIO.h"

TEST(ParticleManager, PassesStreamThroughUntouched) {
  ParticleManager m;
  EXPECT_EQ(m.GetType(), 9);
  std::ostringstream os;
  os << "abc";
  EXPECT_EQ(&m.Write(os), &os);
  EXPECT_EQ(os.str(), "abc");
  std::istringstream is("xyz");
  is.get();
  EXPECT_EQ(&m.Read(is), &is);
  EXPECT_EQ(is.tellg(), 1);
  EXPECT_TRUE(mv::io::Good(is));
}

TEST(DeviceManager, SectionIsPanelPreferencesOnly) {
  DeviceManager m;
  EXPECT_EQ(m.GetType(), 2);
  EXPECT_EQ(m.GetViewWidth(), 640);
  EXPECT_EQ(m.GetViewHeight(), 400);
  std::ostringstream before;
  m.Write(before);  // panel not built yet: the defaults
  EXPECT_EQ(before.str(), std::string("\0\0\0\0\0\0\0\0\x01", 9));
  m.BuildPanel(1920, 1080);
  m.GetDialog().SetLocation(-20, 70);
  m.GetDialog().SetMinimized(false);
  std::stringstream ss;
  m.Write(ss);
  EXPECT_EQ(ss.str(), std::string("\xEC\xFF\xFF\xFF\x46\0\0\0\0", 9));
  DeviceManager r;
  r.BuildPanel(1920, 1080);
  r.Read(ss);
  EXPECT_EQ(r.GetDialog().GetX(), -20);
  EXPECT_EQ(r.GetDialog().GetY(), 70);
  EXPECT_FALSE(r.GetDialog().GetMinimized());
}

TEST(DeviceManager, BuildPanelPlacesItAndFillsZeroWidth) {
  DeviceManager m;
  m.SetViewSize(0, 0);
  m.BuildPanel(1920, 1080);
  EXPECT_EQ(m.GetViewWidth(), 960);
  EXPECT_EQ(m.GetViewHeight(), 540);
  EXPECT_EQ(m.GetDialog().GetX(), 100);
  EXPECT_EQ(m.GetDialog().GetY(), 200);
  EXPECT_EQ(m.GetPanel(), &m.GetDialog());
}

TEST(DeviceManager, PassLayoutFromSimultaneousTargets) {
  const struct { int n, passes, perPass; } cases[] = {{4, 1, 3}, {3, 1, 3}, {2, 2, 2}, {1, 3, 1}, {0, 3, 1}};
  for (const auto& c : cases) {
    DeviceManager m;
    m.SetRenderTargetCount(c.n);
    EXPECT_EQ(m.GetPassCount(), c.passes) << c.n;
    EXPECT_EQ(m.GetTargetsPerPass(), c.perPass) << c.n;
  }
}

// The chain flips between the two textures it was given and holds one
// reference to each until released.
TEST(RenderTargetChain, FlipSwapsPreviousAndNextAndHoldsItsTextures) {
  auto device = gfx::CreateRecordingDevice(64, 32);
  std::shared_ptr<gfx::Texture> a, b;
  ASSERT_EQ(device->CreateTexture(64, 32, 1, gfx::USAGE_RENDERTARGET, gfx::Format::A8R8G8B8, gfx::Pool::Default, &a), 0);
  ASSERT_EQ(device->CreateTexture(64, 32, 1, gfx::USAGE_RENDERTARGET, gfx::Format::A8R8G8B8, gfx::Pool::Default, &b), 0);
  std::weak_ptr<gfx::Texture> weakA = a, weakB = b;
  RenderTargetChain c;
  c.Init(std::move(a), std::move(b));
  EXPECT_FALSE(weakA.expired());
  EXPECT_EQ(c.GetNextTarget(), weakA.lock());
  EXPECT_EQ(c.GetPrevTarget(), weakB.lock());
  c.Flip();
  EXPECT_EQ(c.GetNext(), 1);
  EXPECT_EQ(c.GetNextTarget(), weakB.lock());
  EXPECT_EQ(c.GetPrevTarget(), weakA.lock());
  c.Release();
  EXPECT_EQ(c.GetNextTarget(), nullptr);
  EXPECT_TRUE(weakA.expired());
  EXPECT_TRUE(weakB.expired());
}

TEST(MetaballField, ConstructionAndGrid) {
  MetaballField f(1234);
  EXPECT_EQ(f.GetLevel(), 10.0f);
  EXPECT_EQ(f.GetBallCount(), 5);
  for (int i = 0; i < 5; ++i) {
    const auto& b = f.GetBall(i);
    EXPECT_EQ(b.position, glm::vec3(0.0f));
    EXPECT_EQ(b.strength, 1.0f);
    for (int c = 0; c < 3; ++c) {
      EXPECT_GE(b.attractor[c], -0.5f);
      EXPECT_LE(b.attractor[c], 0.5f);
    }
    EXPECT_GE(b.timer, 0.0f);
    EXPECT_LE(b.timer, 1.0f);
  }
  f.SetGridSize(64);
  EXPECT_EQ(f.GetCellSize(), 2.0f / 64.0f);
  EXPECT_EQ(f.GetFieldValueCount(), 65u * 65u * 65u);
  EXPECT_EQ(f.GetCubeFlagCount(), 64u * 64u * 64u);
  f.SetGridSize(1 << 20);  // bounded
  EXPECT_EQ(f.GetGridSize(), 128);
}
