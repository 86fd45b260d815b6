// The program's single objects as the shell defines them, before main.
#include <gtest/gtest.h>

#include "audio/SoundManager.h"
#include "effects/DeviceManager.h"
#include "effects/MetaballField.h"
#include "effects/ParticleManager.h"
#include "effects/PostProcessManager.h"
#include "effects/RenderTargetChain.h"
#include "effects/SkyBoxManager.h"

TEST(EffectsGlobals, TagsAndStartState) {
  EXPECT_EQ(g_SkyBoxManager.GetType(), 1);
  EXPECT_EQ(g_DeviceManager.GetType(), 2);
  EXPECT_EQ(g_PostProcessManager.GetType(), 6);
  EXPECT_EQ(g_ParticleManager.GetType(), 9);
  EXPECT_TRUE(g_PostProcessManager.IsEnabled());
  EXPECT_EQ(g_MetaballField.GetBallCount(), 5);
  for (const auto& chain : g_RenderTargetChain) EXPECT_TRUE(chain.IsFirstRender());
}

// The program's own manager, constructed with the other globals before
// main: initialised (through the dummy driver here, unless a device test
// has moved it offline), silent until a slide sets the volume, no track.
TEST(SoundManagerGlobal, InitialisedSilentWithoutATrack) {
  EXPECT_TRUE(g_SoundManager.System().IsInitialized());
  EXPECT_TRUE(g_SoundManager.System().IsFftActive());
  EXPECT_EQ(g_SoundManager.GetVolume(), 0);
  EXPECT_EQ(g_SoundManager.System().GetSfxMasterVolume(), 0);
  EXPECT_TRUE(g_SoundManager.IsOpenFailed());
  EXPECT_EQ(g_SoundManager.GetStream(), 0);
}
