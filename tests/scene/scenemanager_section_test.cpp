#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "model/TimeLine.h"
#include "io/BinaryIO.h"
#include "io/Log.h"
#include "io/Utf16.h"
#include "scene/Catalog.h"
#include "scene/SceneFormat.h"
#include "scene/SceneManager.h"

namespace {

struct NullPeers : ScenePeers {
  void SetSkyBoxSize(const float[3]) override {}
  void RefreshAnimationPanel() override {}
  void PrepareMetaballs(CMesh&) override {}
  void CreateParticleSystem(CMesh&) override {}
};

std::string I32(std::int32_t v) {
  std::ostringstream o;
  mv::io::WriteI32(o, v);
  return o.str();
}

std::string Prefs() { return std::string("\0\0\0\0\0\0\0\0\x01", 9); }

std::string Fixed4() {
  std::string s;
  for (std::int32_t kind : {2, 3, 6, 8}) s += I32(kind) + I32(-1) + I32(0);
  return s;
}


class SceneSectionTest : public ::testing::Test {
 protected:
  SceneSectionTest() {
    std::istringstream in(
        "0,Tore,media\\mesh\\tore.x,MESHOBJ,,0,\n1,Titre,,TEXTOBJ,Arial,24,\n2,Secteur,,GENERATEDOBJ,,0,\n#,");
    catalog.Load(in);
  }

  // A scene with one object of most kinds and keys everywhere.
  void Populate(SceneManager& s) {
    s.SetCatalog(&catalog);
    s.SetSelectedIndex(3);
    s.InsertObject(1, -1, 0, nullptr, nullptr, -1);
    s.InsertObject(4, -1, 1, u"Bonjour", u"DejaVu Sans", 4);
    s.InsertObject(9, -1, 2, nullptr, nullptr, -1);
    s.InsertObject(10, -1, -1, nullptr, nullptr, -1);
    s.InsertObject(11, -1, -1, nullptr, nullptr, -1);
    s.InsertObject(5, -1, -1, nullptr, nullptr, 1);
    s.InsertObject(1, -1, 77, nullptr, nullptr, -1);  // outside the catalog
    for (int i = 0; i < s.GetObjectCount(); ++i) {
      CSceneObject* o = s.GetObject(i);
      TimeLine* t = o->timeLine ? o->timeLine : o->CreateTimeLine();
      t->InsertKey(t->GetKeyCount(), 25 + i);
      t->InsertKey(t->GetKeyCount(), 13);
    }
    static_cast<CLightObject*>(s.GetObject(0))->radius = 3.5f;
  }

  std::string Write(SceneManager& s) {
    std::ostringstream out;
    s.Write(out);
    return out.str();
  }

  // Reads `bytes` into a fresh manager; returns whether the stream stayed good.
  bool Read(SceneManager& s, const std::string& bytes) {
    s.SetCatalog(&catalog);
    std::istringstream in(bytes);
    s.Read(in);
    return mv::io::Good(in);
  }

  static std::vector<std::int32_t> Kinds(const SceneManager& s) {
    std::vector<std::int32_t> k;
    for (int i = 0; i < s.GetObjectCount(); ++i) k.push_back(s.GetObject(i)->kind);
    return k;
  }

  Catalog catalog;
  NullPeers peers;
};

TEST_F(SceneSectionTest, WriteThenReadReproducesTheSectionByteForByte) {
  SceneManager a(peers);
  Populate(a);
  const std::string bytes = Write(a);
  SceneManager b(peers);
  ASSERT_TRUE(Read(b, bytes));
  EXPECT_EQ(Kinds(b), Kinds(a));
  EXPECT_EQ(Write(b), bytes);
  // The last object read is selected; the panel starts over.
  EXPECT_EQ(b.GetSelectedIndex(), b.GetObjectCount() - 1);
  EXPECT_EQ(b.GetSelectedKind(), 0);
  auto* text = dynamic_cast<CMesh*>(b.GetObject(5));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::u16string(mv::io::FixedView(text->text, 260)), u"Bonjour");
  EXPECT_EQ(std::u16string(mv::io::FixedView(text->font, 60)), u"DejaVu Sans");
  EXPECT_EQ(text->parent, 4);
  EXPECT_EQ(text->catalogIndex, 1);
  // An index outside the catalog is kept (the object is listed, not loaded).
  EXPECT_EQ(static_cast<CMesh*>(b.GetObject(10))->catalogIndex, 77);
  for (int i = 0; i < b.GetObjectCount(); ++i) {
    ASSERT_NE(b.GetObject(i)->timeLine, nullptr);
    EXPECT_EQ(b.GetObject(i)->timeLine->GetKeyCount(), 2) << i;
    EXPECT_EQ(b.GetObject(i)->timeLine->GetKeyTime(0), 25 + i);
  }
}

TEST_F(SceneSectionTest, ReadReplacesTheWholeList) {
  SceneManager a(peers);
  const std::string fresh = Write(a);
  SceneManager b(peers);
  Populate(b);
  ASSERT_TRUE(Read(b, fresh));
  EXPECT_EQ(Kinds(b), (std::vector<std::int32_t>{2, 3, 6, 8}));
  EXPECT_EQ(b.GetSelectedIndex(), 3);
}

TEST_F(SceneSectionTest, ManyObjectsUpToTheBoundAreRead) {
  std::string bytes = Prefs() + I32(1000) + Fixed4();
  for (int i = 4; i < 1000; ++i) bytes += I32(10) + I32(-1) + I32(0);
  SceneManager s(peers);
  ASSERT_TRUE(Read(s, bytes));
  EXPECT_EQ(s.GetObjectCount(), 1000);
  EXPECT_EQ(Write(s), bytes);
}

TEST_F(SceneSectionTest, TextWithoutTerminatorIsCutToTheArray) {
  std::string bytes = Prefs() + I32(5);
  for (std::int32_t kind : {2, 3, 6, 8}) bytes += I32(kind) + I32(-1) + I32(0);
  bytes += I32(4) + I32(-1) + I32(1);
  for (int i = 0; i < 260; ++i) bytes += std::string("x\0", 2);
  for (int i = 0; i < 60; ++i) bytes += std::string("f\0", 2);
  bytes += I32(0);
  SceneManager s(peers);
  ASSERT_TRUE(Read(s, bytes));
  auto* mesh = dynamic_cast<CMesh*>(s.GetObject(4));
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mv::io::Length16(mesh->text, 260), 259u);
  EXPECT_EQ(mv::io::Length16(mesh->font, 60), 59u);
}

struct BadCase {
  const char* what;
  std::string bytes;
  std::vector<std::int32_t> kinds;  // the list afterwards
};

class SceneSectionBadInput : public SceneSectionTest, public ::testing::WithParamInterface<BadCase> {};

TEST_P(SceneSectionBadInput, FailsTheStreamAndKeepsTheFixedRoles) {
  const BadCase& c = GetParam();
  SceneManager s(peers);
  s.SetSelectedIndex(3);
  s.InsertObject(1, -1, 0, nullptr, nullptr, -1);  // replaced by whatever is read
  EXPECT_FALSE(Read(s, c.bytes)) << c.what;
  EXPECT_EQ(Kinds(s), c.kinds) << c.what;
  EXPECT_NE(s.GetLight(), nullptr);
  EXPECT_NE(s.GetCameraObject(), nullptr);
  EXPECT_NE(s.GetSkyBoxObject(), nullptr);
  EXPECT_TRUE(s.GetSelectedIndex() >= 0 && s.GetSelectedIndex() < s.GetObjectCount());
}

const std::vector<std::int32_t> kFresh{2, 3, 6, 8};

INSTANTIATE_TEST_SUITE_P(
    Sections, SceneSectionBadInput,
    ::testing::Values(
        BadCase{"empty stream", "", kFresh},
        BadCase{"preferences only", Prefs(), kFresh},
        BadCase{"no objects", Prefs() + I32(0), kFresh},
        BadCase{"negative count", Prefs() + I32(-5), kFresh},
        BadCase{"huge count, four records", Prefs() + I32(0x7FFFFFFF) + Fixed4(), kFresh},
        BadCase{"count above the bound", Prefs() + I32(65537) + Fixed4(), kFresh},
        BadCase{"unknown kind after the fixed objects", Prefs() + I32(6) + Fixed4() + I32(12) + I32(-1) + I32(0),
                kFresh},
        BadCase{"negative kind after a mesh",
                Prefs() + I32(6) + Fixed4() + I32(1) + I32(-1) + I32(0) + I32(0) + I32(-3) + I32(-1) + I32(0),
                {2, 3, 6, 8, 1}},
        BadCase{"kind 0 as the camera", Prefs() + I32(4) + I32(2) + I32(-1) + I32(0) + I32(0) + I32(-1) + I32(0),
                kFresh},
        BadCase{"a mesh in the light's place", Prefs() + I32(4) + I32(1) + I32(-1) + I32(0) + I32(0) + Fixed4(),
                kFresh},
        BadCase{"camera and light swapped",
                Prefs() + I32(3) + I32(3) + I32(-1) + I32(0) + I32(2) + I32(-1) + I32(0) + I32(6) + I32(-1) + I32(0),
                kFresh},
        BadCase{"a mesh in the post-process object's place",
                Prefs() + I32(5) + Fixed4().substr(0, 36) + I32(1) + I32(-1) + I32(0) + I32(0) + I32(8) + I32(-1) +
                    I32(0),
                kFresh},
        BadCase{"three objects: no post-process object",
                Prefs() + I32(3) + Fixed4().substr(0, 36), kFresh},
        BadCase{"only two objects", Prefs() + I32(2) + I32(2) + I32(-1) + I32(0) + I32(3) + I32(-1) + I32(0), kFresh},
        BadCase{"huge key count without keys", Prefs() + I32(4) + Fixed4().substr(0, 44) + I32(0x7FFFFFFF), kFresh},
        BadCase{"huge mesh key count after the fixed objects",
                Prefs() + I32(5) + Fixed4() + I32(1) + I32(-1) + I32(0) + I32(0x7FFFFFFF),
                {2, 3, 6, 8, 1}},
        BadCase{"truncated light key",
                Prefs() + I32(4) + I32(2) + I32(-1) + I32(1) + std::string(20, '\0'), kFresh},
        BadCase{"truncated text record", Prefs() + I32(5) + Fixed4() + I32(4) + I32(-1) + I32(1) + std::string(100, 'a'),
                {2, 3, 6, 8}}));

TEST_F(SceneSectionTest, FailedSectionLeavesTheRestOfTheStreamUnread) {
  // A bad kind stops the section where it stands: nothing after it is
  // applied, and the caller sees the failure.
  std::string bytes = Prefs() + I32(7) + Fixed4() + I32(10) + I32(-1) + I32(0) + I32(99) + I32(-1) + I32(0) +
                      I32(1) + I32(-1) + I32(0) + I32(0);
  SceneManager s(peers);
  EXPECT_FALSE(Read(s, bytes));
  EXPECT_EQ(Kinds(s), (std::vector<std::int32_t>{2, 3, 6, 8, 10}));
}

TEST(SceneFormat, RecordHeaderRoundTrip) {
  mv::scene::SceneRecordHeader r;
  r.kind = 4;
  r.parent = 7;
  r.catalogIndex = 3;
  mv::io::CopyToFixed(r.text, 260, u"abc");
  mv::io::CopyToFixed(r.font, 60, u"Arial");
  std::stringstream ss;
  mv::scene::WriteSceneRecordHeader(ss, r);
  EXPECT_EQ(ss.str().size(), 652u);
  mv::scene::SceneRecordHeader back;
  EXPECT_EQ(mv::scene::ReadSceneRecordHeader(ss, back), mv::scene::RecordStatus::Ok);
  EXPECT_EQ(back.kind, 4);
  EXPECT_EQ(back.parent, 7);
  EXPECT_EQ(back.catalogIndex, 3);
  EXPECT_EQ(std::u16string(mv::io::FixedView(back.text, 260)), u"abc");
  EXPECT_EQ(std::u16string(mv::io::FixedView(back.font, 60)), u"Arial");

  std::istringstream unknown(I32(12) + I32(-1));
  EXPECT_EQ(mv::scene::ReadSceneRecordHeader(unknown, back), mv::scene::RecordStatus::UnknownKind);
  std::istringstream shortStream(I32(1) + I32(-1));
  EXPECT_EQ(mv::scene::ReadSceneRecordHeader(shortStream, back), mv::scene::RecordStatus::StreamFailed);
}

}  // namespace

namespace {

TEST_F(SceneSectionTest, TraceLinesNameEachObject) {
  SceneManager a(peers);
  a.SetCatalog(&catalog);
  a.SetSelectedIndex(3);
  a.InsertObject(1, -1, 0, nullptr, nullptr, -1);
  a.InsertObject(1, -1, 9, nullptr, nullptr, -1);
  std::string log;
  mv::io::SetLogSink([&](std::string_view s) { log += s; });
  const std::string bytes = Write(a);
  SceneManager b(peers);
  Read(b, bytes);
  mv::io::SetLogSink({});
  EXPECT_NE(log.find("\nWriting Object #0 - Mesh -1 - Type 2 - none"), std::string::npos);
  EXPECT_NE(log.find("\nWriting Object #4 - Mesh 0 - Type 1 - Tore"), std::string::npos);
  EXPECT_NE(log.find("\nWriting Object #5 - Mesh 9 - Type 1 - none"), std::string::npos);
  EXPECT_NE(log.find("\nReading Object #1 - Mesh -1 - Type 3 - none"), std::string::npos);
  EXPECT_NE(log.find("\nReading Object #4 - Mesh 0 - Type 1 - Tore"), std::string::npos);
}

TEST_F(SceneSectionTest, CreatedDeviceLetsTheCameraMoveWithTheKeys) {
  SceneManager s(peers);
  EXPECT_FALSE(s.GetCamera()->IsPositionMovementEnabled());
  s.OnCreateDevice();
  EXPECT_TRUE(s.GetCamera()->IsPositionMovementEnabled());
  s.OnDestroyDevice();
  EXPECT_EQ(s.GetObjectCount(), 0);
}

}  // namespace
