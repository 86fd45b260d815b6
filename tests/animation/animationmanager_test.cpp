#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "animation/AnimationManager.h"
#include "model/TimeLine.h"
#include "io/BinaryIO.h"
#include "scene/SceneManager.h"

namespace {

std::u16string Text(int v) {
  const std::string s = std::to_string(v);
  return std::u16string(s.begin(), s.end());
}

struct NullPeers : ScenePeers {
  void SetSkyBoxSize(const float[3]) override { ++views; }
  void RefreshAnimationPanel() override {}
  void PrepareMetaballs(CMesh&) override {}
  void CreateParticleSystem(CMesh&) override {}
  int views = 0;
};

struct FakeShow : AnimationLinks {
  bool IsSequencePlaying() override { return playing; }
  void RequestSlideAdvance() override { ++advances; }
  void ResetSlideRemaining() override { ++resets; }
  void SetMusicPosition(std::int32_t ms) override { music.push_back(ms); }
  bool playing = false;
  int advances = 0;
  int resets = 0;
  std::vector<std::int32_t> music;
};

class AnimationManagerTest : public ::testing::Test {
 protected:
  CLightObject& Light() { return *scene.GetLight(); }
  TimeLine& LightTimeLine() { return *Light().timeLine; }

  // Every object gets `keys` keys; the light's position x is k at key k.
  void KeyEveryObject(int keys, std::int32_t duration) {
    anim.SetDurationText(Text(duration));
    for (int k = 0; k < keys; ++k) {
      Light().position[0] = static_cast<float>(k);
      anim.InsertKeyAll();
      scene.SetSelectedIndex(0);
    }
  }

  int KeyChangeStep(int maxSteps, float dt) {
    const int start = LightTimeLine().currentKey;
    for (int step = 1; step <= maxSteps; ++step) {
      anim.Update(dt, false);
      if (LightTimeLine().currentKey != start) return step;
    }
    return -1;
  }

  NullPeers peers;
  SceneManager scene{peers};
  FakeShow show;
  AnimationManager anim{&scene, &show};
};

TEST_F(AnimationManagerTest, TypeAndSectionAreTheBaseOnes) {
  EXPECT_EQ(anim.GetType(), 8);
  std::ostringstream out;
  anim.Write(out);
  EXPECT_EQ(out.str(), std::string("\0\0\0\0\0\0\0\0\x01", 9));
}

TEST_F(AnimationManagerTest, StoppedClockDoesNothingUnlessForced) {
  KeyEveryObject(2, 10);
  anim.Update(1.0f, false);
  EXPECT_EQ(LightTimeLine().segmentTime, 0.0f);
  EXPECT_EQ(show.resets, 0);
  anim.Update(0.0f, true);
  EXPECT_EQ(show.resets, 1);
  EXPECT_EQ(anim.GetStartDelay(), 2.0f);
}

TEST_F(AnimationManagerTest, HundredFramesLastFourSecondsAfterTheOneSecondHold) {
  KeyEveryObject(2, 100);
  anim.PreviousKeyAll();  // back to key 0 ("<" from key 1)
  ASSERT_EQ(LightTimeLine().currentKey, 0);
  anim.SetPlaying(true);
  anim.Update(0.0f, true);  // forced restart: segment times 0, delay 2 s
  // 25 frames of 40 ms hold (delay 2.0 down to 1.0), then 100 frames run.
  const int step = KeyChangeStep(400, 0.04f);
  EXPECT_EQ(step, 125);
  EXPECT_EQ(LightTimeLine().currentKey, 1);
  EXPECT_EQ(LightTimeLine().segmentTime, 0.0f);
  EXPECT_EQ(anim.GetSegmentDuration(), 4000.0f);
}

TEST_F(AnimationManagerTest, InterpolatesBetweenKeysWhileRunning) {
  KeyEveryObject(2, 100);
  anim.PreviousKeyAll();
  anim.SetPlaying(true);
  anim.Update(0.0f, true);
  for (int i = 0; i < 25; ++i) anim.Update(0.04f, false);  // the hold
  EXPECT_EQ(LightTimeLine().segmentTime, 0.0f);
  for (int i = 0; i < 50; ++i) anim.Update(0.04f, false);  // 2 s of 4
  EXPECT_NEAR(LightTimeLine().segmentTime, 2000.0f, 0.5f);
  EXPECT_NEAR(Light().position[0], 0.5f, 1e-3f);
}

TEST_F(AnimationManagerTest, LastKeyWrapsInPauseAndEndsTheSlideWhilePlaying) {
  KeyEveryObject(2, 10);  // cursor on key 1, the last
  anim.SetPlaying(true);
  anim.Update(0.0f, true);
  anim.Update(0.0f, false);
  anim.Update(0.0f, false);
  // On the last key the key is held (interpolated with itself) ...
  for (int i = 0; i < 27; ++i) anim.Update(0.04f, false);
  EXPECT_EQ(LightTimeLine().currentKey, 1);
  EXPECT_EQ(Light().position[0], 1.0f);
  // ... until its 10 frames have run: the sequence is not playing, so wrap.
  for (int i = 0; i < 20 && LightTimeLine().currentKey == 1; ++i) anim.Update(0.04f, false);
  EXPECT_EQ(LightTimeLine().currentKey, 0);
  EXPECT_GE(LightTimeLine().segmentOffset, 400.0f);  // the time reached
  EXPECT_EQ(Light().position[0], 0.0f);
  EXPECT_EQ(show.advances, 0);

  // While the sequence plays, the last key asks for the next slide instead.
  anim.NextKeyAll();
  ASSERT_EQ(LightTimeLine().currentKey, 1);
  show.playing = true;
  for (int i = 0; i < 20 && show.advances == 0; ++i) anim.Update(0.04f, false);
  EXPECT_GE(show.advances, 1);
  EXPECT_EQ(LightTimeLine().currentKey, 1);
}

TEST_F(AnimationManagerTest, ObjectWithoutKeysEndsTheSlideAtOnce) {
  Light().CreateTimeLine();  // a timeline, no keys
  show.playing = true;
  anim.SetPlaying(true);
  anim.Update(0.0f, true);
  EXPECT_EQ(show.advances, 1);  // the forced step already runs the keys
  anim.Update(0.04f, false);
  EXPECT_EQ(show.advances, 2);
}

TEST_F(AnimationManagerTest, MeshWithoutKeysIsResetAtEveryKeyChange) {
  scene.SetSelectedIndex(3);
  auto* mesh = dynamic_cast<CMesh*>(scene.InsertObject(1, -1, 0, nullptr, nullptr, -1));
  ASSERT_NE(mesh, nullptr);
  mesh->CreateTimeLine();
  mesh->params.iPos[0] = 5.0f;
  Light().CreateTimeLine()->InsertKey(0, 10);
  Light().timeLine->InsertKey(1, 10);
  Light().timeLine->currentKey = 0;
  anim.NextKey(0);
  EXPECT_EQ(mesh->params.iPos[0], 0.0f);
  EXPECT_EQ(mesh->params.fillMode, 3);
}

TEST_F(AnimationManagerTest, PreviousAndNextKeysWrap) {
  KeyEveryObject(3, 10);
  ASSERT_EQ(LightTimeLine().currentKey, 2);
  anim.NextKeyAll();
  EXPECT_EQ(LightTimeLine().currentKey, 0);
  EXPECT_EQ(Light().position[0], 0.0f);
  anim.PreviousKeyAll();
  EXPECT_EQ(LightTimeLine().currentKey, 2);
  EXPECT_EQ(Light().position[0], 2.0f);
  anim.PreviousKeyAll();
  EXPECT_EQ(LightTimeLine().currentKey, 1);
  EXPECT_EQ(Light().position[0], 1.0f);
  // Without keys the cursor stays at 0.
  Light().CreateTimeLine();
  anim.PrevKey(0);
  EXPECT_EQ(LightTimeLine().currentKey, 0);
}

TEST_F(AnimationManagerTest, InsertGoesAfterTheSelectedObjectsCurrentKey) {
  scene.SetSelectedIndex(1);
  anim.SetDurationText(u"  25 frames");
  anim.InsertKeyAll();
  for (int i = 0; i < scene.GetObjectCount(); ++i) {
    ASSERT_NE(scene.GetObject(i)->timeLine, nullptr);
    EXPECT_EQ(scene.GetObject(i)->timeLine->GetKeyCount(), 1);
    EXPECT_EQ(scene.GetObject(i)->timeLine->GetKeyTime(0), 25);
  }
  anim.SetDurationText(u"13");
  anim.InsertKeyAll();
  anim.InsertKeyAll();
  // The selected camera is on key 2: the next insertion is at 3.
  ASSERT_EQ(scene.GetObject(1)->timeLine->currentKey, 2);
  scene.GetCameraObject()->Eye[0] = 9.0f;
  anim.SetDurationText(u"7");
  anim.InsertKeyAll();
  auto* cam = static_cast<TimeLineCamera*>(scene.GetObject(1)->timeLine);
  ASSERT_EQ(cam->GetKeyCount(), 4);
  EXPECT_EQ(cam->GetKey(3)->eye[0], 9.0f);
  EXPECT_EQ(cam->GetKeyTime(3), 7);
  // Durations as the sequence panel's "Calc" sums them: 25 + 13 frames.
  EXPECT_EQ(LightTimeLine().GetKeyTime(0) * 1000 / 25 + LightTimeLine().GetKeyTime(1) * 1000 / 25, 1520);
}

TEST_F(AnimationManagerTest, InsertRefusedByShortTimelinesLeavesTheOthers) {
  KeyEveryObject(3, 10);
  Light().CreateTimeLine();  // the light starts again with no keys
  scene.SetSelectedIndex(1);  // the camera is on key 2
  anim.InsertKeyAll();        // index 3: too far for the light
  EXPECT_EQ(LightTimeLine().GetKeyCount(), 0);
  EXPECT_EQ(scene.GetObject(1)->timeLine->GetKeyCount(), 4);
}

TEST_F(AnimationManagerTest, RemoveAndRecordWorkOnEveryCurrentKey) {
  KeyEveryObject(3, 10);
  anim.RemoveKeyAll();  // removes key 2, the last
  EXPECT_EQ(LightTimeLine().GetKeyCount(), 2);
  EXPECT_EQ(LightTimeLine().currentKey, 1);  // kept inside the keys
  Light().position[0] = 42.0f;
  anim.SetDurationText(u"33");
  anim.RecordKeyAll();
  auto* t = static_cast<TimeLineLight*>(Light().timeLine);
  EXPECT_EQ(t->GetKey(1)->position[0], 42.0f);
  EXPECT_EQ(t->GetKeyTime(1), 33);
  EXPECT_EQ(t->GetKey(0)->position[0], 0.0f);
}

TEST_F(AnimationManagerTest, PropagateModes) {
  struct Case {
    int mode;
    std::vector<bool> recaptured;  // keys 0..4
    int cursorAfter;
  };
  const Case cases[] = {
      {AnimationManager::ALL_AFTER, {false, false, true, true, true}, 2},
      {AnimationManager::ALL_BEFORE, {true, true, true, false, false}, 2},
      {AnimationManager::ALL, {true, true, true, true, true}, 2},
      {AnimationManager::AFTER, {false, false, true, false, false}, 3},
      {AnimationManager::BEFORE, {false, false, true, false, false}, 1},
  };
  for (const Case& c : cases) {
    NullPeers p;
    SceneManager s(p);
    FakeShow f;
    AnimationManager a(&s, &f);
    s.SetSelectedIndex(0);
    for (int k = 0; k < 5; ++k) {
      a.SetDurationText(Text(10 + k));
      a.InsertKeyAll();
      s.SetSelectedIndex(0);
    }
    auto* t = static_cast<TimeLineLight*>(s.GetLight()->timeLine);
    t->currentKey = 2;
    s.GetLight()->radius = 7.0f;
    a.Propagate(c.mode);
    for (int k = 0; k < 5; ++k) {
      EXPECT_EQ(t->GetKey(k)->radius == 7.0f, c.recaptured[static_cast<std::size_t>(k)]) << c.mode << " key " << k;
      EXPECT_EQ(t->GetKeyTime(k), 10 + k);  // durations kept
    }
    EXPECT_EQ(t->currentKey, c.cursorAfter) << c.mode;
    // Only the selected object's timeline changes.
    EXPECT_EQ(static_cast<TimeLineCamera*>(s.GetObject(1)->timeLine)->GetKeyCount(), 5);
  }
}

TEST_F(AnimationManagerTest, AfterAndBeforeKeepTheCursorOnTheKeys) {
  KeyEveryObject(3, 10);
  scene.SetSelectedIndex(0);
  LightTimeLine().currentKey = 2;
  anim.Propagate(AnimationManager::AFTER);
  EXPECT_EQ(LightTimeLine().currentKey, 2);
  LightTimeLine().currentKey = 0;
  anim.Propagate(AnimationManager::BEFORE);
  EXPECT_EQ(LightTimeLine().currentKey, 0);
}

TEST_F(AnimationManagerTest, PanelTextsAndButtons) {
  scene.SetSelectedIndex(0);
  anim.UpdatePanel();
  EXPECT_EQ(anim.GetStatusText(), u"No keyframe !");
  for (int id : {901, 902, 903, 906, 907, 911}) EXPECT_FALSE(anim.IsButtonEnabled(id)) << id;
  EXPECT_TRUE(anim.IsButtonEnabled(905));

  KeyEveryObject(2, 25);
  anim.PreviousKeyAll();  // edit dirty: the box shows key 0's duration
  anim.UpdatePanel();
  EXPECT_EQ(anim.GetStatusText(), u"Key :   1/  2 - Pause Mode");
  EXPECT_EQ(anim.GetDurationText(), u"25");
  EXPECT_EQ(anim.GetTimeLineLength(), 25.0f);
  for (int id : {901, 902, 903, 906, 907, 911}) EXPECT_TRUE(anim.IsButtonEnabled(id)) << id;

  anim.TogglePlay();
  EXPECT_FALSE(anim.IsButtonEnabled(905));  // Insert stays off while playing
  anim.UpdatePanel();
  EXPECT_EQ(anim.GetPlayCaption(), u"Stop");
  EXPECT_TRUE(anim.IsButtonEnabled(906));
  EXPECT_FALSE(anim.IsButtonEnabled(905));
  LightTimeLine().segmentTime = 520.0f;
  LightTimeLine().segmentOffset = 20.0f;
  anim.UpdatePanel();
  EXPECT_EQ(anim.GetStatusText(), u"Key:  1/  2-Frame:  13-Time: 500");
  EXPECT_EQ(anim.GetTimeLineMarker(), 13.0f);
  anim.TogglePlay();
  anim.UpdatePanel();
  EXPECT_EQ(anim.GetPlayCaption(), u"Play");
  EXPECT_TRUE(anim.IsButtonEnabled(905));

  // A selected object without keys shows "No keyframe !" even while playing.
  anim.SetPlaying(true);
  scene.SetSelectedIndex(3);
  scene.GetObject(3)->CreateTimeLine();
  anim.UpdatePanel();
  EXPECT_EQ(anim.GetStatusText(), u"No keyframe !");
}

TEST_F(AnimationManagerTest, DurationTextThatIsNoNumberGivesZero) {
  anim.SetDurationText(u"abc");
  EXPECT_EQ(anim.GetDurationFrames(), 0);
  anim.SetDurationText(u"12.9");
  EXPECT_EQ(anim.GetDurationFrames(), 12);
  anim.SetDurationText(u"99999999999999");
  EXPECT_EQ(anim.GetDurationFrames(), 2147483647);
}

TEST_F(AnimationManagerTest, TimelineClickSeeksEveryTimelineAndTheMusic) {
  KeyEveryObject(2, 100);
  anim.PreviousKeyAll();
  struct Case {
    int x;
    int frame;
  };
  // Width 300, length 100: ((x - 32) / 270) * 100 + 1.
  const Case cases[] = {{32, 1}, {167, 51}, {302, 99}, {1000, 99}, {0, 0}};
  for (const Case& c : cases) {
    anim.SeekToClick(c.x, 300, 100.0f);
    EXPECT_EQ(anim.GetTimeLineMarker(), static_cast<float>(c.frame)) << c.x;
    ASSERT_FALSE(show.music.empty());
    EXPECT_EQ(show.music.back(), c.frame * 40) << c.x;
    EXPECT_EQ(LightTimeLine().segmentTime, c.frame * 40.0f) << c.x;
    EXPECT_EQ(LightTimeLine().segmentOffset, c.frame * 40.0f) << c.x;
    EXPECT_NEAR(Light().position[0], c.frame / 100.0f, 1e-4f) << c.x;
  }
  EXPECT_FALSE(anim.IsPlaying());  // the click's step ran with the clock forced on
  anim.SeekToClick(100, 30, 100.0f);  // degenerate width
  EXPECT_EQ(anim.GetTimeLineMarker(), 0.0f);
}

TEST_F(AnimationManagerTest, ReadRestoresPreferencesThenRestartsTheClock) {
  KeyEveryObject(2, 10);
  LightTimeLine().segmentTime = 300.0f;
  std::istringstream in(std::string("\x05\0\0\0\x06\0\0\0\0", 9));
  anim.Read(in);
  EXPECT_EQ(show.resets, 1);
  EXPECT_EQ(anim.GetStartDelay(), 2.0f);
  EXPECT_EQ(LightTimeLine().segmentTime, 0.0f);
  std::istringstream shortIn(std::string("\x05\0", 2));
  anim.Read(shortIn);
  EXPECT_EQ(show.resets, 1);  // a failed stream restarts nothing
}

TEST_F(AnimationManagerTest, RenderHookRefreshesOnlyWhenDirty) {
  KeyEveryObject(1, 10);
  anim.Update(0.0f, true);
  EXPECT_TRUE(anim.IsPanelDirty());
  anim.OnRender();
  EXPECT_FALSE(anim.IsPanelDirty());
}

TEST_F(AnimationManagerTest, HugeAndNegativeSegmentTimesStayHarmless) {
  KeyEveryObject(2, 0x7FFFFFFF);
  anim.SetPlaying(true);
  LightTimeLine().segmentTime = 3.0e38f;
  anim.Update(0.0f, false);
  LightTimeLine().segmentTime = -5.0f;
  anim.Update(0.0f, false);
  EXPECT_GE(LightTimeLine().segmentTime, 0.0f);
  anim.UpdatePanel();
}

}  // namespace
