// The program's single objects, bound together as the player runs them.
#include <gtest/gtest.h>

#include "animation/AnimationManager.h"
#include "app/Bindings.h"
#include "audio/SoundManager.h"
#include "effects/DeviceManager.h"
#include "effects/PostProcessManager.h"
#include "effects/SkyBoxManager.h"
#include "gui/DialogResourceManager.h"
#include "model/SceneObjects.h"
#include "model/TimeLine.h"
#include "scene/SceneManager.h"
#include "sequence/SequenceManager.h"
#include "values/ValuesManager.h"

// The sequence manager reaches every section of a slide in file order.
TEST(ProgramBindings, TheShowReachesTheProgramsManagers) {
  const ShowManagers& m = ProgramShowManagers();
  EXPECT_EQ(m.skyBox, &g_SkyBoxManager);
  EXPECT_EQ(m.device, &g_DeviceManager);
  EXPECT_EQ(m.postProcess, &g_PostProcessManager);
  EXPECT_EQ(m.scene, &g_SceneManager);
  EXPECT_EQ(m.sound, &g_SoundManager);
  EXPECT_EQ(m.animation, &g_AnimationManager);
  EXPECT_EQ(m.values, &g_ValuesManager);
  EXPECT_EQ(m.dialogResources, &g_DialogResourceManager);
}

// The clock's links reach the program's sequence manager: an advance asked
// through them is the show's.
TEST(ProgramBindings, TheClockAdvancesTheProgramsShow) {
  const std::int32_t saved = g_SequenceManager.GetRemaining();
  g_SequenceManager.SetRemaining(5000);
  ProgramAnimationLinks().RequestSlideAdvance();
  EXPECT_EQ(g_SequenceManager.GetRemaining(), -1);
  g_SequenceManager.SetRemaining(saved);
}

// The scene's peers size the program's sky box.
TEST(ProgramBindings, TheScenesPeersSizeTheProgramsSkyBox) {
  const glm::vec3 saved = g_SkyBoxManager.GetScale();
  const float size[3] = {2.0f, 3.0f, 5.0f};
  ProgramScenePeers().SetSkyBoxSize(size);
  EXPECT_EQ(g_SkyBoxManager.GetScale(), glm::vec3(2, 3, 5));
  g_SkyBoxManager.SetScale(saved);
}

// In the program the timelines run the scripts of the values manager.
TEST(ProgramBindings, TheProgramsValuesManagerDrivesTheTimelines) {
  ASSERT_EQ(ActiveValueScripts(), &g_ValuesManager.Evaluator());
  ValueScript& slot = g_ValuesManager.Scripts().slots[7];
  ValueScriptEvaluator& ev = g_ValuesManager.Evaluator();
  const float savedFactor = ev.factor;
  slot.Clear();
  slot.Add(OP_FACTOR_TEN);
  slot.Add(OP_ADD_FACTOR);
  CLightObject light;
  TimeLine* t = light.CreateTimeLine();
  light.radius = 1;
  light.radiusLink = 7;
  t->InsertKey(0, 1);
  t->Interpolate(0, 0, 0, 40);
  EXPECT_EQ(light.radius, 11.0f);
  slot.Clear();
  ev.factor = savedFactor;
}
