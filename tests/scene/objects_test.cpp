// Scene object classes: kinds, defaults, timelines they own.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "model/TimeLine.h"
#include "io/Utf16.h"
#include "scene/SceneManager.h"
#include "model/SceneObjects.h"

namespace {
std::u16string Text(const char16_t* s, std::size_t n) { return std::u16string(mv::io::FixedView(s, n)); }
}  // namespace

TEST(SceneObjects, EveryKindMakesItsClassAndTimeline) {
  struct Case {
    std::int32_t kind;
    bool (*isClass)(CSceneObject*);
    bool (*isTimeLine)(TimeLine*);
  };
  auto mesh = [](CSceneObject* o) { return dynamic_cast<CMesh*>(o) != nullptr; };
  auto meshTl = [](TimeLine* t) { return dynamic_cast<TimeLineMesh*>(t) != nullptr; };
  const Case cases[] = {
      {OBJ_MESH, mesh, meshTl},
      {OBJ_LIGHT, [](CSceneObject* o) { return dynamic_cast<CLightObject*>(o) != nullptr; },
       [](TimeLine* t) { return dynamic_cast<TimeLineLight*>(t) != nullptr; }},
      {OBJ_CAMERA, [](CSceneObject* o) { return dynamic_cast<CCameraObject*>(o) != nullptr; },
       [](TimeLine* t) { return dynamic_cast<TimeLineCamera*>(t) != nullptr; }},
      {OBJ_TEXT, mesh, meshTl},
      {OBJ_PARTICLE, mesh, meshTl},
      {OBJ_SKYBOX, [](CSceneObject* o) { return dynamic_cast<CSkyBoxObject*>(o) != nullptr; },
       [](TimeLine* t) { return dynamic_cast<TimeLineSkyBox*>(t) != nullptr; }},
      {OBJ_ANIM, mesh, meshTl},
      {OBJ_POSTPROCESS, [](CSceneObject* o) { return dynamic_cast<CPostProcessObject*>(o) != nullptr; },
       [](TimeLine* t) { return dynamic_cast<TimeLinePostProcess*>(t) != nullptr; }},
      {OBJ_GENERATED, mesh, meshTl},
      {OBJ_LAYERTEXT, [](CSceneObject* o) { return dynamic_cast<CLayerTextObject*>(o) != nullptr; },
       [](TimeLine* t) { return dynamic_cast<TimeLineLayerText*>(t) != nullptr; }},
      // Metaballs are drawn as meshes: one class and one timeline kind
      // whether made from the panel or read from a slide.
      {OBJ_METABALL, mesh, meshTl},
  };
  for (const Case& c : cases) {
    auto o = CreateSceneObject(c.kind);
    ASSERT_NE(o, nullptr) << c.kind;
    EXPECT_EQ(o->kind, c.kind);
    EXPECT_EQ(o->parent, -1);
    EXPECT_EQ(o->timeLine, nullptr);
    EXPECT_TRUE(c.isClass(o.get())) << c.kind;
    TimeLine* t = o->CreateTimeLine();
    EXPECT_EQ(o->timeLine, t);
    EXPECT_TRUE(c.isTimeLine(t)) << c.kind;
  }
  EXPECT_EQ(CreateSceneObject(0), nullptr);
  EXPECT_EQ(CreateSceneObject(12), nullptr);
  EXPECT_EQ(CreateSceneObject(-1), nullptr);
}

TEST(SceneObjects, MeshKinds) {
  for (int k = -1; k <= 12; ++k) {
    const bool mesh = k == 1 || k == 4 || k == 5 || k == 7 || k == 9;
    EXPECT_EQ(IsMeshKind(k), mesh) << k;
    EXPECT_EQ(UsesMeshClass(k), mesh || k == 11) << k;
  }
}

TEST(SceneObjects, ConstructorDefaults) {
  CLightObject light;
  EXPECT_EQ(light.radius, 1.0f);
  EXPECT_EQ(light.position[0], 0.0f);
  EXPECT_EQ(light.radiusLink, 0);

  CCameraObject cam;
  EXPECT_EQ(cam.Eye[2], 2.0f);
  EXPECT_EQ(cam.LookAt[2], 1.0f);
  EXPECT_EQ(cam.Eye[0], 0.0f);

  CLayerTextObject text;
  EXPECT_EQ(Text(text.text, kLayerTextLength), u"Insert your text !");
  EXPECT_EQ(text.Pos[0], 0.0f);
  EXPECT_EQ(text.Pos[1], 0.0f);
  EXPECT_EQ(text.Pos[2], 2.0f);
  for (float c : text.colour) EXPECT_EQ(c, 1.0f);

  CSkyBoxObject sky;
  CMetaBallObject ball;
  for (CVolumeObject* v : {static_cast<CVolumeObject*>(&sky), static_cast<CVolumeObject*>(&ball)}) {
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(v->size[c], 100.0f);
      EXPECT_EQ(v->vectorA[c], 0.0f);
      EXPECT_EQ(v->links3[c], 0);
    }
  }

  CPostProcessObject pp;
  for (float p : pp.params) EXPECT_EQ(p, 0.0f);

  CMesh mesh;
  EXPECT_EQ(Text(mesh.text, kNameLength), u"Insert your text !");
  EXPECT_EQ(Text(mesh.font, kFontLength), u"Arial");
  EXPECT_EQ(mesh.arcball, nullptr);
  EXPECT_EQ(mesh.materialCount, 0u);
  EXPECT_EQ(gfx::MatrixElement(mesh.normaliseMatrix, 1, 1), 1.0f);
  EXPECT_EQ(gfx::MatrixElement(mesh.normaliseMatrix, 4, 1), 0.0f);
}

TEST(SceneObjects, DefaultMeshParameters) {
  const MeshParams& p = kDefaultMeshParams;
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(p.iPos[c], 0.0f);
    EXPECT_EQ(p.iRot[c], 0.0f);
    EXPECT_EQ(p.iScale[c], 1.0f);
  }
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(p.vDiff[c], 1.0f);
    EXPECT_EQ(p.vSpec[c], 0.1f);
  }
  EXPECT_EQ(p.fillMode, 3);
  EXPECT_EQ(p.shadeMode, 3);
  EXPECT_EQ(p.renderer, 0);
  EXPECT_EQ(p.lighting, 1);
  EXPECT_EQ(p.DeformA, 50.0f);
  EXPECT_EQ(p.DeformB, 50.0f);
  EXPECT_EQ(p.end, 0);
  EXPECT_EQ(p.extraValueLink, 0);
}

TEST(SceneObjects, ValueLinkTexts) {
  EXPECT_EQ(std::u16string(ValueLinkText(0)), u"--");
  EXPECT_EQ(std::u16string(ValueLinkText(1)), u"01");
  EXPECT_EQ(std::u16string(ValueLinkText(9)), u"09");
  EXPECT_EQ(std::u16string(ValueLinkText(10)), u"!");
  EXPECT_EQ(std::u16string(ValueLinkText(12)), u"!");
  EXPECT_EQ(std::u16string(ValueLinkText(-3)), u"!");
}

TEST(SceneObjects, MetaballFromThePanelSurvivesSaveAndLoad) {
  // A mesh object turned into a metaball by the panel keeps its class and
  // its mesh timeline; the object read back for kind 11 reads it whole.
  auto made = CreateSceneObject(OBJ_MESH);
  made->kind = OBJ_METABALL;
  auto* mesh = static_cast<CMesh*>(made.get());
  TimeLine* t = made->CreateTimeLine();
  mesh->params.iPos[0] = 2.5f;
  t->InsertKey(0, 12);
  mesh->params.iPos[0] = 5.0f;
  t->InsertKey(1, 13);
  std::ostringstream out(std::ios::binary);
  ASSERT_TRUE(made->WriteTimeLine(out));
  out.write("NEXT", 4);

  auto read = CreateSceneObject(OBJ_METABALL);
  std::istringstream in(out.str(), std::ios::binary);
  ASSERT_TRUE(read->ReadTimeLine(in));
  char next[4];
  in.read(next, 4);
  EXPECT_EQ(std::string(next, 4), "NEXT");
  auto* back = dynamic_cast<TimeLineMesh*>(read->timeLine);
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->GetKeyCount(), 2);
  EXPECT_EQ(back->GetKey(1)->params.iPos[0], 5.0f);
  back->GoToKey(0);
  EXPECT_EQ(static_cast<CMesh*>(read.get())->params.iPos[0], 2.5f);
}

TEST(SceneObjects, DestroyingAnObjectReleasesItsTimeline) {
  // Replaced, deleted and destroyed with keys: every key is released once
  // (the sanitizer build would report a double delete or a leak).
  auto o = CreateSceneObject(OBJ_POSTPROCESS);
  o->CreateTimeLine()->InsertKey(0, 1);
  o->CreateTimeLine()->InsertKey(0, 1);
  o->DeleteTimeLine();
  EXPECT_EQ(o->timeLine, nullptr);
  o->CreateTimeLine()->InsertKey(0, 1);
  o.reset();
  EXPECT_EQ(o, nullptr);
}

TEST(SceneObjects, ReleasingMeshResourcesKeepsParametersAndTimeline) {
  CMesh mesh;
  mesh.materials.resize(3);
  mesh.materialCount = 3;
  mesh.partCount = 7;
  mesh.params.iPos[1] = 4;
  mesh.CreateTimeLine()->InsertKey(0, 2);
  mesh.ReleaseMeshResources();
  EXPECT_TRUE(mesh.materials.empty());
  EXPECT_EQ(mesh.materialCount, 0u);
  EXPECT_EQ(mesh.partCount, 0u);
  EXPECT_EQ(mesh.params.iPos[1], 4.0f);
  ASSERT_NE(mesh.timeLine, nullptr);
  EXPECT_EQ(mesh.timeLine->GetKeyCount(), 1);
}

// A scene starts with its fixed objects, of the classes their kinds make,
// each able to take keys.
TEST(SceneObjects, TheFixedObjectsHaveTheirClasses) {
  struct : ScenePeers {
    void SetSkyBoxSize(const float[3]) override {}
    void RefreshAnimationPanel() override {}
    void PrepareMetaballs(CMesh&) override {}
    void CreateParticleSystem(CMesh&) override {}
  } peers;
  SceneManager g_SceneManager(peers);
  ASSERT_GE(g_SceneManager.GetObjectCount(), 4);
  EXPECT_NE(dynamic_cast<CLightObject*>(g_SceneManager.GetObject(0)), nullptr);
  EXPECT_NE(dynamic_cast<CCameraObject*>(g_SceneManager.GetObject(1)), nullptr);
  EXPECT_NE(dynamic_cast<CSkyBoxObject*>(g_SceneManager.GetObject(2)), nullptr);
  EXPECT_NE(dynamic_cast<CPostProcessObject*>(g_SceneManager.GetObject(3)), nullptr);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(g_SceneManager.GetObject(i)->parent, -1);
}
