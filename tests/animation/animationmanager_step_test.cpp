// The clock's step applies the current keys once per step, after the last
// object that changed key, instead of once per changing object. This checks
// it against the step written out literally, frame by frame, on a scene
// whose objects change keys at different times and run value scripts.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "animation/AnimationManager.h"
#include "model/TimeLine.h"
#include "scene/SceneManager.h"
#include "values/Sources.h"
#include "values/ValueScript.h"

namespace {

struct NullPeers : ScenePeers {
  void SetSkyBoxSize(const float s[3]) override { std::memcpy(size, s, sizeof size); }
  void RefreshAnimationPanel() override {}
  void PrepareMetaballs(CMesh&) override {}
  void CreateParticleSystem(CMesh&) override {}
  float size[3] = {};
};

struct Show : AnimationLinks {
  bool IsSequencePlaying() override { return playing; }
  void RequestSlideAdvance() override { ++advances; }
  void ResetSlideRemaining() override {}
  void SetMusicPosition(std::int32_t) override {}
  bool playing = false;
  int advances = 0;
};

struct World {
  ScriptTable table;
  ValueSources sources{1.5f, 0.75f, 0.5f, 0.25f};
  ValueScriptEvaluator evaluator{table, sources};
  NullPeers peers;
  Show show;
  SceneManager scene{peers};
  AnimationManager anim{&scene, &show};

  World() {
    table.slots[1].Add(OP_FACTOR_TEN);
    table.slots[1].Add(OP_ADD_FACTOR);
    table.slots[2].Add(OP_NBR_SEQUENCER);
    table.slots[2].Add(OP_ADD_NBR);
    table.slots[3].Add(OP_MUL_FACTOR);
    scene.SetSelectedIndex(3);
    for (int m = 0; m < 5; ++m) scene.InsertObject(m == 2 ? OBJ_GENERATED : OBJ_MESH, -1, 0, nullptr, nullptr, -1);
    scene.InsertObject(OBJ_LAYERTEXT, -1, -1, nullptr, nullptr, -1);
    // Different durations per object: key changes spread over many frames.
    for (int i = 0; i < scene.GetObjectCount(); ++i) {
      CSceneObject* o = scene.GetObject(i);
      TimeLine* t = o->CreateTimeLine();
      for (int k = 0; k < 4; ++k) {
        if (auto* mesh = dynamic_cast<CMesh*>(o)) {
          mesh->params.iPos[0] = static_cast<float>(k * (i + 1));
          mesh->params.iPosLinks[0] = 1 + (i + k) % 3;
          mesh->params.extraValueLink = 1 + i % 3;
          mesh->params.DeformC = 10.0f * k;
        }
        if (auto* light = dynamic_cast<CLightObject*>(o)) {
          light->radius = 1.0f + k;
          light->positionLinks[1] = 2;
        }
        if (auto* cam = dynamic_cast<CCameraObject*>(o)) cam->Eye[2] = -2.0f - k;
        if (auto* sky = dynamic_cast<CSkyBoxObject*>(o)) sky->size[0] = 100.0f + k;
        t->InsertKey(k, 3 + (i * 2 + k) % 7);
      }
      t->currentKey = 0;
    }
    anim.SetPlaying(true);
  }

  // The step as the clock defines it, applying the keys at every change.
  void LiteralStep(float dt) {
    for (int i = 0; i < scene.GetObjectCount(); ++i)
      if (TimeLine* t = scene.GetObject(i)->timeLine) t->segmentTime += dt * 1000.0f;
    for (int i = 0; i < scene.GetObjectCount(); ++i) {
      TimeLine* t = scene.GetObject(i)->timeLine;
      if (!t) continue;
      if (t->segmentTime < 0) t->segmentTime = 0;
      const int cur = t->currentKey;
      const int next = cur == t->GetKeyCount() - 1 ? cur : cur + 1;
      const int frame = static_cast<int>(t->segmentTime * 25.0f / 1000.0f);
      if (frame >= t->GetKeyTime(cur)) anim.NextKey(i);
      const float d = t->GetKeyTime(cur) * 1000.0f / 25.0f;
      if (frame < t->GetKeyTime(cur) && d > 0) t->Interpolate(cur, next, t->segmentTime, d);
    }
    scene.ApplySceneToViews();
  }
};

void ExpectSameObjects(const SceneManager& a, const SceneManager& b, int frame) {
  ASSERT_EQ(a.GetObjectCount(), b.GetObjectCount());
  for (int i = 0; i < a.GetObjectCount(); ++i) {
    const CSceneObject* x = a.GetObject(i);
    const CSceneObject* y = b.GetObject(i);
    ASSERT_EQ(x->timeLine->currentKey, y->timeLine->currentKey) << frame << " " << i;
    ASSERT_EQ(x->timeLine->segmentTime, y->timeLine->segmentTime) << frame << " " << i;
    ASSERT_EQ(x->timeLine->segmentOffset, y->timeLine->segmentOffset) << frame << " " << i;
    if (auto* m = dynamic_cast<const CMesh*>(x)) {
      ASSERT_EQ(std::memcmp(&m->params, &static_cast<const CMesh*>(y)->params, sizeof m->params), 0)
          << frame << " " << i;
    } else if (auto* l = dynamic_cast<const CLightObject*>(x)) {
      auto* r = static_cast<const CLightObject*>(y);
      ASSERT_EQ(std::memcmp(l->position, r->position, sizeof l->position), 0) << frame;
      ASSERT_EQ(l->radius, r->radius) << frame;
      ASSERT_EQ(std::memcmp(l->positionLinks, r->positionLinks, sizeof l->positionLinks), 0) << frame;
    } else if (auto* c = dynamic_cast<const CCameraObject*>(x)) {
      auto* r = static_cast<const CCameraObject*>(y);
      ASSERT_EQ(std::memcmp(c->Eye, r->Eye, sizeof c->Eye), 0) << frame;
      ASSERT_EQ(std::memcmp(c->LookAt, r->LookAt, sizeof c->LookAt), 0) << frame;
    } else if (auto* s = dynamic_cast<const CSkyBoxObject*>(x)) {
      ASSERT_EQ(std::memcmp(s->size, static_cast<const CSkyBoxObject*>(y)->size, sizeof s->size), 0) << frame;
    } else if (auto* t = dynamic_cast<const CLayerTextObject*>(x)) {
      ASSERT_EQ(std::memcmp(t->Pos, static_cast<const CLayerTextObject*>(y)->Pos, sizeof t->Pos), 0) << frame;
    }
  }
}

void Compare(bool sequencePlaying) {
  auto literal = std::make_unique<World>();
  auto clock = std::make_unique<World>();
  literal->show.playing = clock->show.playing = sequencePlaying;
  ValueScriptEvaluator* previous = ActiveValueScripts();
  for (int frame = 0; frame < 200; ++frame) {
    literal->sources.Sequencer = clock->sources.Sequencer = 0.04f * frame;
    SetActiveValueScripts(&literal->evaluator);
    literal->LiteralStep(0.04f);
    SetActiveValueScripts(&clock->evaluator);
    clock->anim.Update(0.04f, false);  // no start delay armed: runs at once
    ASSERT_EQ(literal->evaluator.factor, clock->evaluator.factor);
    ASSERT_EQ(literal->show.advances, clock->show.advances);
    ASSERT_EQ(std::memcmp(literal->peers.size, clock->peers.size, sizeof literal->peers.size), 0);
    ExpectSameObjects(literal->scene, clock->scene, frame);
    if (::testing::Test::HasFatalFailure()) break;
  }
  SetActiveValueScripts(previous);
}

TEST(AnimationManagerStep, MatchesTheLiteralStepWhileWrapping) { Compare(false); }
TEST(AnimationManagerStep, MatchesTheLiteralStepWhileTheShowPlays) { Compare(true); }

}  // namespace
