// Interpolation and the value scripts applied after it.
#include <gtest/gtest.h>

#include "model/TimeLine.h"
#include "model/SceneObjects.h"
#include "values/ValuesManager.h"
#include "timeline_test_util.h"

namespace {

// Two camera keys: eye (0,0,0) -> (10,20,40), look-at (1,1,1) -> (3,5,9).
struct CameraPair {
  CCameraObject cam;
  TimeLineCamera* t;
  CameraPair() {
    t = static_cast<TimeLineCamera*>(cam.CreateTimeLine());
    for (int c = 0; c < 3; ++c) cam.Eye[c] = 0, cam.LookAt[c] = 1;
    t->InsertKey(0, 25);
    cam.Eye[0] = 10, cam.Eye[1] = 20, cam.Eye[2] = 40;
    cam.LookAt[0] = 3, cam.LookAt[1] = 5, cam.LookAt[2] = 9;
    t->InsertKey(1, 25);
  }
};

}  // namespace

TEST(TimeLineInterpolate, EndsOfTheSegmentGiveTheKeys) {
  CameraPair p;
  p.t->Interpolate(0, 1, 0, 1000);
  EXPECT_EQ(p.cam.Eye[2], 0.0f);
  EXPECT_EQ(p.cam.LookAt[1], 1.0f);
  p.t->Interpolate(0, 1, 1000, 1000);
  EXPECT_EQ(p.cam.Eye[0], 10.0f);
  EXPECT_EQ(p.cam.Eye[2], 40.0f);
  EXPECT_EQ(p.cam.LookAt[2], 9.0f);
  p.t->Interpolate(0, 1, 250, 1000);
  EXPECT_EQ(p.cam.Eye[1], 5.0f);
  EXPECT_EQ(p.cam.LookAt[2], 3.0f);
}

// a + (b - a) * t / d in single precision, left to right. Each case is one
// where double precision, a + (b - a) * (t / d) and a * (1 - u) + b * u all
// round to another float, so any of them fails here.
TEST(TimeLineInterpolate, SinglePrecisionFormula) {
  struct Case {
    float a, b, t, d;
    float expected;
  };
  const Case cases[] = {
      {201.0979f, -490.211914f, 239.0f, 269.0f, -413.114197f},
      {-255.230591f, 902.496704f, 27.0f, 122.0f, 0.987731934f},
      {314.79895f, -434.560547f, 59.0f, 78.0f, -252.024292f},
      {-726.247803f, 364.903931f, 587.0f, 905.0f, -18.5062866f},
      {-872.755432f, 273.253052f, 419.0f, 677.0f, -163.482788f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    const float inDouble = float(double(c.a) + (double(c.b) - double(c.a)) * double(c.t) / double(c.d));
    const volatile float u = c.t / c.d;
    const float reordered = c.a + (c.b - c.a) * u;
    const float lerp = c.a * (1.0f - u) + c.b * u;
    ASSERT_NE(inDouble, c.expected);
    ASSERT_NE(reordered, c.expected);
    ASSERT_NE(lerp, c.expected);

    CLightObject light;
    TimeLine* t = light.CreateTimeLine();
    light.radius = c.a;
    t->InsertKey(0, 1);
    light.radius = c.b;
    t->InsertKey(1, 1);
    t->Interpolate(0, 1, c.t, c.d);
    EXPECT_EQ(light.radius, c.expected);
  }
}

TEST(TimeLineInterpolate, OutOfRangeKeysChangeNothing) {
  CameraPair p;
  p.cam.Eye[0] = 123;
  p.t->Interpolate(2, 2, 0, 40);
  p.t->Interpolate(-1, 0, 0, 40);
  EXPECT_EQ(p.cam.Eye[0], 123.0f);
}

TEST(TimeLineInterpolate, MeshStepsUntouchedAndTruncatedWords) {
  ScopedScripts s;  // no scripts: links do nothing
  CMesh mesh;
  auto* t = static_cast<TimeLineMesh*>(mesh.CreateTimeLine());
  MeshParams& o = mesh.params;
  o.start = 0, o.end = 10, o.fillMode = 1, o.renderer = 1, o.animationType = 2;
  o.iScaleLinks[0] = 3, o.extraValue = 4;
  t->InsertKey(0, 1);
  o.start = 3, o.end = -10, o.fillMode = 2, o.renderer = 4, o.animationType = 4;
  o.iScaleLinks[0] = 5, o.iPos[0] = 8, o.extraValue = 100;
  t->InsertKey(1, 1);
  o.ownIndex = 42, o.renderer = 5, o.extraValue = 7;
  t->Interpolate(0, 1, 50, 100);
  EXPECT_EQ(o.ownIndex, 42);      // untouched
  EXPECT_EQ(o.renderer, 5);       // untouched
  EXPECT_EQ(o.extraValue, 7.0f);  // not interpolated
  EXPECT_EQ(o.fillMode, 1);       // step: key i
  EXPECT_EQ(o.animationType, 2);
  EXPECT_EQ(o.iScaleLinks[0], 3);
  EXPECT_EQ(o.start, 1);          // 1.5 truncated
  EXPECT_EQ(o.end, 0);            // 0.0
  t->Interpolate(0, 1, 60, 100);
  EXPECT_EQ(o.end, -2);           // -2.0
  t->Interpolate(0, 1, 55, 100);
  EXPECT_EQ(o.end, -1);           // -1.0 ... toward zero
  EXPECT_EQ(o.iPos[0], 4.4f);
}

TEST(TimeLineInterpolate, LastKeyIsConstantButScriptsFollowTheirSource) {
  ScopedScripts s;
  s.Set(1, {OP_FACTOR_ONE, OP_NBR_SEQUENCER, OP_ADD_NBR});
  CLightObject light;
  TimeLine* t = light.CreateTimeLine();
  light.radius = 2;
  light.radiusLink = 1;
  t->InsertKey(0, 10);
  light.radiusLink = 0;  // the key's link wins
  s.sources.Sequencer = 0.5f;
  t->Interpolate(0, 0, 0, 400);
  EXPECT_EQ(light.radius, 2.5f);
  EXPECT_EQ(light.radiusLink, 1);
  s.sources.Sequencer = 1.5f;
  t->Interpolate(0, 0, 40, 400);
  EXPECT_EQ(light.radius, 3.5f);
}

TEST(TimeLineInterpolate, ExtraValueKeepsGrowing) {
  ScopedScripts s;
  s.Set(2, {OP_FACTOR_TEN, OP_ADD_FACTOR});
  CMesh mesh;
  TimeLine* t = mesh.CreateTimeLine();
  mesh.params.extraValueLink = 2;
  t->InsertKey(0, 10);
  for (int frame = 1; frame <= 5; ++frame) {
    t->Interpolate(0, 0, frame * 40.0f, 400);
    EXPECT_EQ(mesh.params.extraValue, 10.0f * frame);
  }
}

TEST(TimeLineInterpolate, FactorCarriesFromOneComponentToTheNext) {
  ScopedScripts s;
  s.Set(1, {OP_FACTOR_TEN});     // sets the factor, uses nothing
  s.Set(2, {OP_ADD_FACTOR});     // uses whatever factor is left
  CCameraObject cam;
  TimeLine* t = cam.CreateTimeLine();
  // Look-at runs before eye: look-at z sets the factor, eye x uses it.
  cam.lookAtLinks[2] = 1;
  cam.eyeLinks[0] = 2;
  t->InsertKey(0, 1);
  s.evaluator.factor = 1.0f;
  t->Interpolate(0, 0, 0, 40);
  EXPECT_EQ(cam.Eye[0], 0.0f + 10.0f);
  EXPECT_EQ(s.evaluator.factor, 10.0f);

  // Swapped: eye x is evaluated after look-at, so it sees the old factor.
  s.evaluator.factor = 1.0f;
  cam.lookAtLinks[2] = 2;
  cam.eyeLinks[0] = 1;
  cam.Eye[0] = 0;
  cam.LookAt[2] = 1;
  t->UpdateKey(0, 1);
  t->Interpolate(0, 0, 0, 40);
  EXPECT_EQ(cam.LookAt[2], 1.0f + 1.0f);
  EXPECT_EQ(cam.Eye[0], 0.0f);
}

// The 26 float components of a mesh in the order their scripts run, each
// with its own link.
struct MeshComponent {
  const char* name;
  float* (*value)(MeshParams&);
  std::int32_t* (*link)(MeshParams&);
};

float& ComponentValue(MeshParams& p, const MeshComponent& c) { return *c.value(p); }

#define MV_FIELD(f) [](MeshParams& p) { return &p.f; }
#define MV_ARRAY(f, i) [](MeshParams& p) { return &p.f[i]; }
const MeshComponent kMeshScriptOrder[] = {
    {"DeformA", MV_FIELD(DeformA), [](MeshParams& p) { return &p.flexLinks[0]; }},
    {"DeformB", MV_FIELD(DeformB), [](MeshParams& p) { return &p.flexLinks[1]; }},
    {"DeformC", MV_FIELD(DeformC), [](MeshParams& p) { return &p.flexLinks[2]; }},
    {"DeltaA", MV_ARRAY(Delta, 0), [](MeshParams& p) { return &p.flexLinks[3]; }},
    {"DeltaB", MV_ARRAY(Delta, 1), [](MeshParams& p) { return &p.flexLinks[4]; }},
    {"DeltaC", MV_ARRAY(Delta, 2), [](MeshParams& p) { return &p.flexLinks[5]; }},
    {"word 62", MV_FIELD(extraValue), [](MeshParams& p) { return &p.extraValueLink; }},
    {"Power", MV_FIELD(Power), [](MeshParams& p) { return &p.PowerLink; }},
    {"Reflectivity", MV_FIELD(Reflectivity), [](MeshParams& p) { return &p.ReflectivityLink; }},
    {"iPos x", MV_ARRAY(iPos, 0), [](MeshParams& p) { return &p.iPosLinks[0]; }},
    {"iPos y", MV_ARRAY(iPos, 1), [](MeshParams& p) { return &p.iPosLinks[1]; }},
    {"iPos z", MV_ARRAY(iPos, 2), [](MeshParams& p) { return &p.iPosLinks[2]; }},
    {"iRot x", MV_ARRAY(iRot, 0), [](MeshParams& p) { return &p.iRotLinks[0]; }},
    {"iRot y", MV_ARRAY(iRot, 1), [](MeshParams& p) { return &p.iRotLinks[1]; }},
    {"iRot z", MV_ARRAY(iRot, 2), [](MeshParams& p) { return &p.iRotLinks[2]; }},
    {"vDiff r", MV_ARRAY(vDiff, 0), [](MeshParams& p) { return &p.vDiffLinks[0]; }},
    {"vDiff g", MV_ARRAY(vDiff, 1), [](MeshParams& p) { return &p.vDiffLinks[1]; }},
    {"vDiff b", MV_ARRAY(vDiff, 2), [](MeshParams& p) { return &p.vDiffLinks[2]; }},
    {"vDiff a", MV_ARRAY(vDiff, 3), [](MeshParams& p) { return &p.vDiffLinks[3]; }},
    {"iScale x", MV_ARRAY(iScale, 0), [](MeshParams& p) { return &p.iScaleLinks[0]; }},
    {"iScale y", MV_ARRAY(iScale, 1), [](MeshParams& p) { return &p.iScaleLinks[1]; }},
    {"iScale z", MV_ARRAY(iScale, 2), [](MeshParams& p) { return &p.iScaleLinks[2]; }},
    {"vSpec r", MV_ARRAY(vSpec, 0), [](MeshParams& p) { return &p.vSpecLinks[0]; }},
    {"vSpec g", MV_ARRAY(vSpec, 1), [](MeshParams& p) { return &p.vSpecLinks[1]; }},
    {"vSpec b", MV_ARRAY(vSpec, 2), [](MeshParams& p) { return &p.vSpecLinks[2]; }},
    {"vSpec a", MV_ARRAY(vSpec, 3), [](MeshParams& p) { return &p.vSpecLinks[3]; }},
};
#undef MV_FIELD
#undef MV_ARRAY

// For every consecutive pair of the order: the first sets the factor to 10,
// the second adds the factor and sets it back to 1. The second reads 10 only
// when it runs after the first; every pair holding proves the whole order.
TEST(TimeLineInterpolate, MeshScriptOrder) {
  static_assert(std::size(kMeshScriptOrder) == 26);
  ScopedScripts s;
  s.Set(1, {OP_FACTOR_TEN});
  s.Set(2, {OP_ADD_FACTOR, OP_FACTOR_ONE});
  for (std::size_t k = 0; k + 1 < std::size(kMeshScriptOrder); ++k) {
    const MeshComponent& first = kMeshScriptOrder[k];
    const MeshComponent& second = kMeshScriptOrder[k + 1];
    SCOPED_TRACE(std::string(first.name) + " before " + second.name);
    CMesh mesh;
    TimeLine* t = mesh.CreateTimeLine();
    MeshParams& o = mesh.params;
    for (const MeshComponent& c : kMeshScriptOrder) ComponentValue(o, c) = 0.0f;
    *first.link(o) = 1;
    *second.link(o) = 2;
    t->InsertKey(0, 1);
    s.evaluator.factor = 1.0f;
    t->Interpolate(0, 0, 0, 40);
    EXPECT_EQ(ComponentValue(o, second), 10.0f);
    EXPECT_EQ(ComponentValue(o, first), 0.0f);
  }
}

TEST(TimeLineInterpolate, IntegerVariantHasItsOwnFactorAndSource) {
  ScopedScripts s;
  s.Set(3, {OP_NBR_BASS_VALUE, OP_ADD_NBR});
  s.Set(4, {OP_FACTOR_HUNDRED});
  CMesh mesh;
  TimeLine* t = mesh.CreateTimeLine();
  mesh.params.start = 10;
  mesh.params.startLink = 3;
  mesh.params.Power = 0;
  mesh.params.PowerLink = 4;  // float factor := 100, not the integer one
  t->InsertKey(0, 1);
  s.sources.Sequencer = 1000;
  s.sources.BassValue = 2.75f;
  t->Interpolate(0, 0, 0, 40);
  EXPECT_EQ(s.evaluator.factor, 100.0f);
  EXPECT_EQ(s.evaluator.intFactor, 1.0f);
  EXPECT_EQ(s.evaluator.intSource, ValueSource::BassValue);
  EXPECT_EQ(s.evaluator.source, ValueSource::Sequencer);
  EXPECT_EQ(mesh.params.start, 12);  // 10 + 2.75 truncated
}

TEST(TimeLineInterpolate, LinksBeyondTwelveLeaveTheComponent) {
  ScopedScripts s;
  for (int slot = 0; slot < kScriptSlots; ++slot) s.Set(slot, {OP_ADD_FACTOR});
  CLightObject light;
  TimeLine* t = light.CreateTimeLine();
  light.position[0] = light.position[1] = light.position[2] = 1;
  light.positionLinks[0] = 12;  // evaluated
  light.positionLinks[1] = 13;  // not
  light.positionLinks[2] = -1;  // not (unsigned comparison)
  t->InsertKey(0, 1);
  t->Interpolate(0, 0, 0, 40);
  EXPECT_EQ(light.position[0], 2.0f);
  EXPECT_EQ(light.position[1], 1.0f);
  EXPECT_EQ(light.position[2], 1.0f);
}

TEST(TimeLineInterpolate, LayerTextThirdComponentUsesThirdLink) {
  ScopedScripts s;
  s.Set(5, {OP_FACTOR_HUNDRED, OP_ADD_FACTOR});
  CLayerTextObject text;
  TimeLine* t = text.CreateTimeLine();
  text.Pos[0] = text.Pos[1] = text.Pos[2] = 0;
  text.posLinks[2] = 5;
  t->InsertKey(0, 1);
  t->Interpolate(0, 0, 0, 40);
  EXPECT_EQ(text.Pos[0], 0.0f);
  EXPECT_EQ(text.Pos[1], 0.0f);
  EXPECT_EQ(text.Pos[2], 100.0f);
}

TEST(TimeLineInterpolate, VolumesInterpolateSizeAndCopyLinksWithoutScripts) {
  ScopedScripts s;
  s.Set(1, {OP_FACTOR_HUNDRED, OP_ADD_FACTOR});
  CSkyBoxObject sky;
  TimeLine* t = sky.CreateTimeLine();
  sky.size[0] = 100;
  sky.links1[0] = 1;
  t->InsertKey(0, 1);
  sky.size[0] = 200;
  sky.links1[0] = 0;
  t->InsertKey(1, 1);
  sky.links1[0] = 9;
  t->Interpolate(0, 1, 20, 40);
  EXPECT_EQ(sky.size[0], 150.0f);
  EXPECT_EQ(sky.links1[0], 1);
}

TEST(TimeLineInterpolate, PostProcessSubtractsTheSegmentOffset) {
  CPostProcessObject pp;
  TimeLine* t = pp.CreateTimeLine();
  pp.params[7] = 0;
  t->InsertKey(0, 1);
  pp.params[7] = 100;
  t->InsertKey(1, 1);
  t->segmentOffset = 200;
  t->Interpolate(0, 1, 300, 400);
  EXPECT_EQ(pp.params[7], 25.0f);
}

TEST(TimeLineInterpolate, WithoutAnEvaluatorValuesPassUnchanged) {
  struct NoEvaluator {
    ValueScriptEvaluator* saved = ActiveValueScripts();
    NoEvaluator() { SetActiveValueScripts(nullptr); }
    ~NoEvaluator() { SetActiveValueScripts(saved); }
  } none;
  CMesh mesh;
  TimeLine* t = mesh.CreateTimeLine();
  mesh.params.extraValue = 3;
  mesh.params.extraValueLink = 1;
  t->InsertKey(0, 1);
  t->Interpolate(0, 0, 0, 40);
  EXPECT_EQ(mesh.params.extraValue, 3.0f);
}

