#include <gtest/gtest.h>

#include "core/Globals.h"
#include "effects/DeviceManager.h"
#include "effects/MetaballField.h"
#include "effects/ParticleManager.h"
#include "effects/PostProcessManager.h"
#include "effects/RenderTargetChain.h"
#include "effects/SkyBoxManager.h"

// The program's single effects objects, as the shell defines them.
TEST(EffectsGlobals, TagsAndStartState) {
  EXPECT_EQ(g_SkyBoxManager.GetType(), 1);
  EXPECT_EQ(g_DeviceManager.GetType(), 2);
  EXPECT_EQ(g_PostProcessManager.GetType(), 6);
  EXPECT_EQ(g_ParticleManager.GetType(), 9);
  EXPECT_TRUE(g_PostProcessManager.IsEnabled());
  EXPECT_EQ(g_MetaballField.GetBallCount(), 5);
  for (const auto& chain : g_RenderTargetChain) EXPECT_TRUE(chain.IsFirstRender());
}
