#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "model/TimeLine.h"
#include "io/BinaryIO.h"
#include "io/Utf16.h"
#include "scene/Catalog.h"
#include "scene/SceneFormat.h"
#include "scene/SceneManager.h"

namespace {

struct RecordingPeers : ScenePeers {
  void SetSkyBoxSize(const float size[3]) override {
    ++skyBoxCalls;
    std::memcpy(skyBox, size, sizeof skyBox);
  }
  void RefreshAnimationPanel() override { ++animationRefreshes; }
  void PrepareMetaballs(CMesh&) override { ++metaballs; }
  void CreateParticleSystem(CMesh&) override { ++particles; }
  int skyBoxCalls = 0;
  float skyBox[3] = {};
  int animationRefreshes = 0;
  int metaballs = 0;
  int particles = 0;
};

// Entries 0..: mesh, text, generated, anim, layer text, metaball, particle,
// light (not a mesh kind), unknown keyword.
const char* kCatalogText =
    "0,Tore,media\\mesh\\tore.x,MESHOBJ,,0,\n"
    "1,Titre,,TEXTOBJ,Arial,24,\n"
    "2,Secteur,,GENERATEDOBJ,,0,\n"
    "3,Danseur,media\\mesh\\dance.x,ANIMOBJ,,0,\n"
    "4,Calque,,LAYERTEXTOBJ,,0,\n"
    "5,Bulles,,METABALLOBJ,,0,\n"
    "6,Fontaine,,PARTICLEOBJ,,0,\n"
    "7,Lampe,,LIGHTOBJ,,0,\n"
    "8,Bizarre,,meshobj,,0,\n"
    "#,";

class SceneManagerTest : public ::testing::Test {
 protected:
  SceneManagerTest() {
    std::istringstream in(kCatalogText);
    catalog.Load(in);
    scene.SetCatalog(&catalog);
  }

  std::string WriteScene(SceneManager& s) {
    std::ostringstream out;
    s.Write(out);
    return out.str();
  }

  std::vector<std::int32_t> Kinds(const SceneManager& s) const {
    std::vector<std::int32_t> k;
    for (int i = 0; i < s.GetObjectCount(); ++i) k.push_back(s.GetObject(i)->kind);
    return k;
  }

  Catalog catalog;
  RecordingPeers peers;
  SceneManager scene{peers};
};

std::string I32(std::int32_t v) {
  std::ostringstream o;
  mv::io::WriteI32(o, v);
  return o.str();
}

// ---- construction and the slide section layout ----

TEST_F(SceneManagerTest, FreshSceneHoldsTheFourFixedObjects) {
  EXPECT_EQ(Kinds(scene), (std::vector<std::int32_t>{2, 3, 6, 8}));
  EXPECT_EQ(scene.GetSelectedIndex(), 3);
  ASSERT_NE(scene.GetLight(), nullptr);
  ASSERT_NE(scene.GetCameraObject(), nullptr);
  ASSERT_NE(scene.GetSkyBoxObject(), nullptr);
  EXPECT_EQ(scene.GetType(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(scene.GetObject(i)->slot, i);
    EXPECT_EQ(scene.GetObject(i)->parent, -1);
    EXPECT_EQ(scene.GetObject(i)->timeLine, nullptr);
  }
}

TEST_F(SceneManagerTest, FreshSceneWritesPreferencesCountAndFourShortRecords) {
  const std::string bytes = WriteScene(scene);
  std::string expect("\0\0\0\0\0\0\0\0\x01", 9);
  expect += I32(4);
  for (std::int32_t kind : {2, 3, 6, 8}) expect += I32(kind) + I32(-1) + I32(0);
  ASSERT_EQ(bytes.size(), 9u + 4u + 4u * 12u);
  EXPECT_EQ(bytes, expect);
}

TEST_F(SceneManagerTest, RecordLayoutsPerKind) {
  CSceneObject* text = scene.InsertObject(4, -1, 1, u"Bonjour", u"DejaVu Sans", 2);
  ASSERT_NE(text, nullptr);
  const std::string bytes = WriteScene(scene);
  // After the four fixed records comes the text object's record.
  const std::size_t at = 9 + 4 + 4 * 12;
  ASSERT_EQ(bytes.size(), at + 652 + 4);
  EXPECT_EQ(bytes.substr(0, 13), std::string("\0\0\0\0\0\0\0\0\x01", 9) + I32(5));
  EXPECT_EQ(bytes.substr(at, 12), I32(4) + I32(2) + I32(1));
  std::u16string textField(260, u'\0'), fontField(60, u'\0');
  std::memcpy(textField.data(), bytes.data() + at + 12, 520);
  std::memcpy(fontField.data(), bytes.data() + at + 12 + 520, 120);
  EXPECT_EQ(textField, std::u16string(u"Bonjour") + std::u16string(253, u'\0'));
  EXPECT_EQ(fontField, std::u16string(u"DejaVu Sans") + std::u16string(49, u'\0'));
  EXPECT_EQ(bytes.substr(at + 652), I32(0));  // no timeline

  EXPECT_EQ(mv::scene::RecordHeaderBytes(4), 652);
  EXPECT_EQ(mv::scene::RecordHeaderBytes(1), 12);
  EXPECT_EQ(mv::scene::RecordHeaderBytes(7), 12);
  EXPECT_EQ(mv::scene::RecordHeaderBytes(9), 12);
  EXPECT_EQ(mv::scene::RecordHeaderBytes(10), 8);
  EXPECT_EQ(mv::scene::RecordHeaderBytes(5), 8);
  EXPECT_EQ(mv::scene::RecordHeaderBytes(11), 8);
}

TEST_F(SceneManagerTest, MeshAndLayerTextRecordsAreTwelveAndEightBytes) {
  scene.InsertObject(1, -1, 0, nullptr, nullptr, -1);
  scene.InsertObject(10, -1, -1, nullptr, nullptr, -1);
  const std::string bytes = WriteScene(scene);
  const std::size_t at = 9 + 4 + 4 * 12;
  ASSERT_EQ(bytes.size(), at + 12 + 4 + 8 + 4);
  EXPECT_EQ(bytes.substr(at), I32(1) + I32(-1) + I32(0) + I32(0) + I32(10) + I32(-1) + I32(0));
}

// ---- insertion ----

TEST_F(SceneManagerTest, InsertGoesAfterTheSelectionAndSelectsTheNewObject) {
  // "Insert" with nothing chosen: kind 1 with the remembered catalog index 0.
  CSceneObject* o = scene.InsertObject(1, -1, scene.GetLastCatalogChoice(), nullptr, nullptr, -1);
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(scene.GetSelectedIndex(), 4);
  EXPECT_EQ(scene.GetObject(4), o);
  auto* mesh = dynamic_cast<CMesh*>(o);
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->kind, 1);
  EXPECT_EQ(mesh->slot, -1);
  EXPECT_EQ(mesh->catalogIndex, 0);
  EXPECT_EQ(std::u16string(mv::io::FixedView(mesh->text, 260)), u"Insert your text !");
  EXPECT_EQ(std::u16string(mv::io::FixedView(mesh->font, 60)), u"Arial");

  scene.SetSelectedIndex(3);
  CSceneObject* second = scene.InsertObject(9, -1, 2, nullptr, nullptr, 4);
  EXPECT_EQ(scene.GetSelectedIndex(), 4);
  EXPECT_EQ(scene.GetObject(4), second);
  EXPECT_EQ(scene.GetObject(5), o);
  EXPECT_EQ(second->parent, 4);
}

TEST_F(SceneManagerTest, FixedRolesKeepTheirIndicesAgainstInsertion) {
  struct Case {
    int selected;
    int position;
    int expectAt;
  };
  // The post-process object at index 3 is one of them: the post-process
  // chain reads it there.
  const Case cases[] = {{0, -1, 4}, {1, -1, 4}, {2, -1, 4}, {3, -1, 4}, {3, 0, 4},
                        {3, 2, 4},  {3, 3, 4},  {3, 4, 4},  {0, 4, 4}};
  for (const Case& c : cases) {
    RecordingPeers p;
    SceneManager s(p);
    s.SetCatalog(&catalog);
    s.SetSelectedIndex(c.selected);
    CSceneObject* o = s.InsertObject(10, c.position, -1, nullptr, nullptr, -1);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(s.GetSelectedIndex(), c.expectAt) << c.selected << " " << c.position;
    EXPECT_EQ(s.GetObject(c.expectAt), o);
    EXPECT_NE(s.GetLight(), nullptr);
    EXPECT_NE(s.GetCameraObject(), nullptr);
    EXPECT_NE(s.GetSkyBoxObject(), nullptr);
    EXPECT_NE(dynamic_cast<CPostProcessObject*>(s.GetObject(3)), nullptr);
    const std::int32_t roles[] = {2, 3, 6, 8};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(s.GetObject(i)->kind, roles[i]) << i;
    EXPECT_EQ(o->slot, c.position);
  }
}

// With the light selected, "Insert" of a mesh and of a layer text keeps
// all four roles, and the panel's catalog change cannot turn the
// post-process object into a layer text either.
TEST_F(SceneManagerTest, InsertionWithTheLightSelectedKeepsAllFourRoles) {
  RecordingPeers p;
  SceneManager s(p);
  s.SetCatalog(&catalog);
  for (const std::int32_t kind : {1, 10, 11}) {
    s.SetSelectedIndex(0);
    CSceneObject* o = s.InsertObject(kind, -1, 0, nullptr, nullptr, -1);
    ASSERT_NE(o, nullptr) << kind;
    EXPECT_EQ(s.GetObject(4), o) << kind;
    const std::int32_t roles[] = {2, 3, 6, 8};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(s.GetObject(i)->kind, roles[i]) << kind << " at " << i;
  }
  EXPECT_EQ(s.GetObjectCount(), 7);
  s.SetSelectedIndex(3);
  EXPECT_EQ(s.ChangeCatalogEntry(4, 3), 0);
  EXPECT_NE(dynamic_cast<CPostProcessObject*>(s.GetObject(3)), nullptr);
}

TEST_F(SceneManagerTest, InsertRefusesUnknownKindsAndPositionsOutsideTheList) {
  for (std::int32_t kind : {0, -1, 12, 1000}) EXPECT_EQ(scene.InsertObject(kind, -1, 0, nullptr, nullptr, -1), nullptr);
  EXPECT_EQ(scene.InsertObject(1, 5, 0, nullptr, nullptr, -1), nullptr);
  EXPECT_EQ(scene.InsertObject(1, -7, 0, nullptr, nullptr, -1), nullptr);
  scene.SetSelectedIndex(9);  // -1 asks for index 10
  EXPECT_EQ(scene.InsertObject(1, -1, 0, nullptr, nullptr, -1), nullptr);
  EXPECT_EQ(scene.GetObjectCount(), 4);
  CSceneObject* appended = scene.InsertObject(1, 4, 0, nullptr, nullptr, -1);
  EXPECT_EQ(appended, scene.GetObject(4));
}

TEST_F(SceneManagerTest, LongTextAndFontAreCutToTheirArrays) {
  const std::u16string longText(400, u't'), longFont(100, u'f');
  auto* mesh = dynamic_cast<CMesh*>(scene.InsertObject(4, -1, 1, longText.c_str(), longFont.c_str(), -1));
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mv::io::Length16(mesh->text, 260), 259u);
  EXPECT_EQ(mv::io::Length16(mesh->font, 60), 59u);
}

TEST_F(SceneManagerTest, NewObjectJoinsTheExistingKeyframes) {
  // The camera gets three keys, the light one; the first object's cursor
  // is copied.
  TimeLine* cam = scene.GetObject(1)->CreateTimeLine();
  cam->InsertKey(0, 25);
  cam->InsertKey(1, 13);
  cam->InsertKey(2, 50);
  TimeLine* light = scene.GetObject(0)->CreateTimeLine();
  light->InsertKey(0, 7);
  light->currentKey = 0;
  light->segmentTime = 120.0f;
  light->segmentOffset = 40.0f;

  CSceneObject* o = scene.InsertObject(10, -1, -1, nullptr, nullptr, -1);
  ASSERT_NE(o->timeLine, nullptr);
  ASSERT_EQ(o->timeLine->GetKeyCount(), 3);
  EXPECT_EQ(o->timeLine->GetKeyTime(0), 25);
  EXPECT_EQ(o->timeLine->GetKeyTime(1), 13);
  EXPECT_EQ(o->timeLine->GetKeyTime(2), 50);
  EXPECT_EQ(o->timeLine->currentKey, 0);
  EXPECT_EQ(o->timeLine->segmentTime, 120.0f);
  EXPECT_EQ(o->timeLine->segmentOffset, 40.0f);
}

TEST_F(SceneManagerTest, NoTimelinesAnywhereGivesNoTimeline) {
  CSceneObject* o = scene.InsertObject(1, -1, 0, nullptr, nullptr, -1);
  EXPECT_EQ(o->timeLine, nullptr);
}

// ---- removal and selection ----

TEST_F(SceneManagerTest, RemoveTakesOnlyMeshObjects) {
  for (int selected : {0, 1, 2, 3}) {
    scene.SetSelectedIndex(selected);
    scene.SetPanelDirty(false);
    scene.RemoveSelectedObject();
    EXPECT_EQ(scene.GetObjectCount(), 4);
    EXPECT_EQ(scene.GetSelectedIndex(), 0);
    EXPECT_TRUE(scene.IsPanelDirty());
  }
  scene.SetSelectedIndex(3);
  CSceneObject* keep = scene.InsertObject(10, -1, -1, nullptr, nullptr, -1);
  scene.InsertObject(7, -1, 3, nullptr, nullptr, -1);
  scene.RemoveSelectedObject();  // the animated mesh goes
  EXPECT_EQ(Kinds(scene), (std::vector<std::int32_t>{2, 3, 6, 8, 10}));
  EXPECT_EQ(scene.GetObject(4), keep);
  scene.SetSelectedIndex(4);
  scene.RemoveSelectedObject();  // a layer text stays
  EXPECT_EQ(scene.GetObjectCount(), 5);
}

TEST_F(SceneManagerTest, RemoveAllEmptiesTheListAndKeepsTheSelection) {
  scene.SetSelectedIndex(2);
  scene.RemoveAllObjects();
  EXPECT_EQ(scene.GetObjectCount(), 0);
  EXPECT_EQ(scene.GetSelectedIndex(), 2);
  EXPECT_EQ(scene.GetLight(), nullptr);
  scene.RemoveSelectedObject();  // nothing to do on an empty list
  EXPECT_EQ(scene.GetSelectedIndex(), 2);
  scene.ApplySceneToViews();  // no roles: nothing to hand over
  EXPECT_EQ(peers.skyBoxCalls, 0);
}

TEST_F(SceneManagerTest, SelectionWrapsBothWays) {
  scene.SetSelectedIndex(3);
  scene.SelectNext();
  EXPECT_EQ(scene.GetSelectedIndex(), 0);
  scene.SelectPrevious();
  EXPECT_EQ(scene.GetSelectedIndex(), 3);
  scene.SelectPrevious();
  EXPECT_EQ(scene.GetSelectedIndex(), 2);
  scene.SelectNext();
  EXPECT_EQ(scene.GetSelectedIndex(), 3);
  EXPECT_EQ(peers.animationRefreshes, 4);
  EXPECT_TRUE(scene.IsPanelDirty());

  scene.RemoveAllObjects();
  scene.SetSelectedIndex(5);
  scene.SelectPrevious();
  EXPECT_EQ(scene.GetSelectedIndex(), 5);  // "<" leaves it
  scene.SelectNext();
  EXPECT_EQ(scene.GetSelectedIndex(), 0);  // ">" resets it
}

// ---- catalog entries ----

TEST_F(SceneManagerTest, CatalogLoadsAreRejectedOutsideTheCatalogAndFailWithoutMeshes) {
  CSceneObject* o = scene.InsertObject(1, -1, 42, nullptr, nullptr, -1);
  ASSERT_NE(o, nullptr);  // listed all the same
  EXPECT_EQ(static_cast<CMesh*>(o)->catalogIndex, 42);
  EXPECT_FALSE(scene.LoadCatalogEntry(42));
  EXPECT_FALSE(scene.LoadCatalogEntry(-1));
  EXPECT_FALSE(scene.LoadCatalogEntry(4));  // layer text: not loaded into a mesh
  EXPECT_FALSE(scene.LoadCatalogEntry(0));  // no mesh content yet: the load fails
  EXPECT_EQ(o->kind, 1);
  scene.SetSelectedIndex(0);
  EXPECT_FALSE(scene.LoadCatalogEntry(0));  // the light is not a mesh
  EXPECT_EQ(scene.GetObject(0)->kind, 2);
}

TEST_F(SceneManagerTest, ChangingToALayerTextReplacesTheObjectAndAlignsItsKeys) {
  scene.GetObject(1)->CreateTimeLine()->InsertKey(0, 30);
  CSceneObject* mesh = scene.InsertObject(1, -1, 0, nullptr, nullptr, 3);
  ASSERT_EQ(scene.GetSelectedIndex(), 4);
  EXPECT_EQ(scene.ChangeCatalogEntry(4, 4), 10);
  CSceneObject* now = scene.GetObject(4);
  ASSERT_NE(now, nullptr);
  EXPECT_NE(dynamic_cast<CLayerTextObject*>(now), nullptr);
  EXPECT_EQ(now->kind, 10);
  EXPECT_EQ(now->parent, 3);
  ASSERT_NE(now->timeLine, nullptr);
  EXPECT_EQ(now->timeLine->GetKeyCount(), 1);
  EXPECT_EQ(scene.GetObjectCount(), 5);
  (void)mesh;  // deleted by the change
}

TEST_F(SceneManagerTest, ChangeCatalogEntryByKind) {
  struct Case {
    std::int32_t entry;
    std::int32_t kind;  // the object's kind afterwards
    int metaballs;
    int particles;
  };
  const Case cases[] = {
      {0, 1, 0, 0}, {1, 4, 0, 0}, {2, 9, 0, 0}, {3, 7, 0, 0},
      {5, 11, 1, 0}, {6, 5, 0, 1},
      {7, 1, 0, 0},  // a light entry: the object stays a mesh
      {8, 1, 0, 0},  // unknown keyword: treated as a mesh
  };
  for (const Case& c : cases) {
    RecordingPeers p;
    SceneManager s(p);
    s.SetCatalog(&catalog);
    s.InsertObject(1, -1, 0, nullptr, nullptr, -1);
    EXPECT_EQ(s.ChangeCatalogEntry(c.entry, 4), c.kind) << c.entry;
    auto* mesh = dynamic_cast<CMesh*>(s.GetObject(4));
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->kind, c.kind) << c.entry;
    EXPECT_EQ(mesh->catalogIndex, c.entry);
    EXPECT_EQ(mesh->params.ownIndex, 4);
    EXPECT_EQ(s.GetSelectedKind(), c.kind);
    EXPECT_EQ(p.metaballs, c.metaballs);
    EXPECT_EQ(p.particles, c.particles);
    EXPECT_TRUE(s.IsPanelDirty());
  }
}

TEST_F(SceneManagerTest, ChangeCatalogEntryTakesTextAndFontFromThePanel) {
  auto* mesh = dynamic_cast<CMesh*>(scene.InsertObject(1, -1, 0, u"avant", u"Courier", -1));
  scene.ChangeCatalogEntry(1, 4, u"ignored", u"ignored");
  // Not a text yet: the default text, the font unchanged.
  EXPECT_EQ(std::u16string(mv::io::FixedView(mesh->text, 260)), u"Insert your text !");
  EXPECT_EQ(std::u16string(mv::io::FixedView(mesh->font, 60)), u"Courier");
  scene.ChangeCatalogEntry(1, 4, u"Salut", u"DejaVu Serif");
  EXPECT_EQ(std::u16string(mv::io::FixedView(mesh->text, 260)), u"Salut");
  EXPECT_EQ(std::u16string(mv::io::FixedView(mesh->font, 60)), u"DejaVu Serif");
  scene.ChangeCatalogEntry(1, 4, u"Encore", nullptr);  // no font chosen
  EXPECT_EQ(std::u16string(mv::io::FixedView(mesh->font, 60)), u"DejaVu Serif");
}

TEST_F(SceneManagerTest, ChangeCatalogEntryRefusesFixedObjectsAndBadIndices) {
  EXPECT_EQ(scene.ChangeCatalogEntry(4, 1), 0);  // the camera stays a camera
  EXPECT_NE(scene.GetCameraObject(), nullptr);
  scene.InsertObject(1, -1, 0, nullptr, nullptr, -1);
  EXPECT_EQ(scene.ChangeCatalogEntry(99, 4), 0);
  EXPECT_EQ(scene.ChangeCatalogEntry(0, 9), 0);
  EXPECT_EQ(scene.GetObject(4)->kind, 1);
}

// ---- views ----

TEST_F(SceneManagerTest, ApplySceneToViewsHandsTheSkyBoxSize) {
  auto* sky = scene.GetSkyBoxObject();
  sky->size[0] = 10;
  sky->size[1] = 20;
  sky->size[2] = 30;
  scene.ApplySceneToViews();
  EXPECT_EQ(peers.skyBoxCalls, 1);
  EXPECT_EQ(peers.skyBox[0], 10);
  EXPECT_EQ(peers.skyBox[1], 20);
  EXPECT_EQ(peers.skyBox[2], 30);
}

// ---- the font list ----

TEST_F(SceneManagerTest, FontListIsSortedAndBounded) {
  const auto& fonts = scene.GetFontList();
  EXPECT_LE(fonts.size(), 1024u);
  for (std::size_t i = 0; i < fonts.size(); ++i) {
    EXPECT_EQ(fonts[i][59], 0);
    EXPECT_GT(mv::io::Length16(fonts[i].data(), 60), 0u);
    if (i > 0) {
      EXPECT_LT(mv::io::FixedView(fonts[i - 1].data(), 60), mv::io::FixedView(fonts[i].data(), 60));
    }
  }
}

}  // namespace
