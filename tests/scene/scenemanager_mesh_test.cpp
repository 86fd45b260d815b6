#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "gfx/Mesh.h"
#include "gfx/RecordingDevice.h"
#include "io/Log.h"
#include "scene/AnimatedMesh.h"
#include "scene/Catalog.h"
#include "scene/MeshContent.h"
#include "scene/SceneManager.h"
#include "support/TempWorkDir.h"

namespace fs = std::filesystem;

namespace {

struct Peers : ScenePeers {
  void SetSkyBoxSize(const float*) override {}
  void RefreshAnimationPanel() override {}
  void PrepareMetaballs(CMesh&) override {}
  void CreateParticleSystem(CMesh&) override {}
};

const char* kCatalog =
    "0,Rig,media\\mesh\\rig.x,ANIMOBJ,,0,\n"
    "1,Titre,,TEXTOBJ,Arial,24,\n"
    "2,Secteur,,GENERATEDOBJ,,0,\n"
    "3,Absent,media\\mesh\\absent.x,MESHOBJ,,0,\n"
    "4,Casse,media\\mesh\\broken.x,MESHOBJ,,0,\n"
    "#,";

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class SceneMeshTest : public ::testing::Test {
 protected:
  void SetUp() override {
    work.Write("media/mesh/rig.x", Slurp(fs::path(MV_TEST_DATA) / "rig.x"));
    work.Write("media/mesh/broken.x",
               Slurp(fs::path(MV_SHARED_TESTDATA) / "x" / "malformed_skinweights_oob.x"));
    device = gfx::CreateRecordingDevice(1920, 1080);
    MeshLoadContext ctx;
    ctx.device = device.get();
    SetMeshLoadContext(ctx);
    SharedXFileCache().Clear();
    std::istringstream in(kCatalog);
    catalog.Load(in);
    scene.SetCatalog(&catalog);
    mv::io::SetLogSink([this](std::string_view l) { log += l; });
  }
  void TearDown() override {
    mv::io::SetLogSink({});
    scene.RemoveAllObjects();
    SetMeshLoadContext(MeshLoadContext{});
    SharedXFileCache().Clear();
  }
  CMesh* Insert(int catalogIndex) {
    const std::int32_t kind = catalog.Get(catalogIndex)->kind;
    return dynamic_cast<CMesh*>(scene.InsertObject(kind, -1, catalogIndex, nullptr, nullptr, -1));
  }

  mv::test::TempWorkDir work;
  std::unique_ptr<gfx::RecordingDevice> device;
  Catalog catalog;
  Peers peers;
  SceneManager scene{peers};
  std::string log;
};

TEST_F(SceneMeshTest, AnimatedEntryScalesByItsRadiusAndDrawsAllParts) {
  CMesh* m = Insert(0);
  ASSERT_NE(m, nullptr);
  ASSERT_TRUE(m->animatedMesh);
  EXPECT_EQ(m->kind, OBJ_ANIM);
  EXPECT_EQ(m->partCount, 2u);
  EXPECT_EQ(m->params.start, 0);
  EXPECT_EQ(m->params.end, 2);
  const float s = 1.0f / m->animatedMesh->GetBoundingRadius();
  // Centre forced to 0: the matrix only scales.
  EXPECT_EQ(m->normaliseMatrix, gfx::MatrixScaling(s, s, s));
}

TEST_F(SceneMeshTest, GeneratedAndTextEntriesGetTheirEnds) {
  CMesh* gen = Insert(2);
  ASSERT_TRUE(gen && gen->mesh);
  EXPECT_EQ(gen->params.end, 100);
  EXPECT_EQ(gen->partCount, 2406u);
  CMesh* text = Insert(1);
  ASSERT_TRUE(text && text->mesh);
  EXPECT_EQ(text->params.start, 0);
  EXPECT_EQ(static_cast<std::uint32_t>(text->params.end), text->mesh->GetNumFaces());
  EXPECT_NE(text->normaliseMatrix, gfx::MatrixIdentity());
  // The timeline step rebuilds the sector from its parameters.
  gen->params.start = 60;
  gen->params.end = 40;
  scene.ApplySceneToViews();
  glm::vec3 lo, hi;
  ASSERT_EQ(gen->mesh->ComputeBoundingBox(&lo, &hi), gfx::S_OK);
  EXPECT_EQ(lo, glm::vec3(0.0f));
  EXPECT_EQ(hi, glm::vec3(0.0f));
}

TEST_F(SceneMeshTest, MissingFileLeavesTheObjectAsItWas) {
  CMesh* m = Insert(0);
  ASSERT_TRUE(m && m->animatedMesh);
  AnimatedMesh* before = m->animatedMesh.get();
  EXPECT_FALSE(scene.LoadCatalogEntry(3));
  EXPECT_EQ(m->animatedMesh.get(), before);
  EXPECT_EQ(m->kind, OBJ_ANIM);
  EXPECT_EQ(m->catalogIndex, 0);
}

TEST_F(SceneMeshTest, BrokenHierarchyLeavesTheObjectListedAndUndrawn) {
  const int count = scene.GetObjectCount();
  CMesh* m = Insert(4);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(scene.GetObjectCount(), count + 1);
  EXPECT_FALSE(m->animatedMesh);
  EXPECT_EQ(m->kind, OBJ_MESH);
  EXPECT_NE(log.find("DirectX Reported Error:"), std::string::npos);
}

TEST_F(SceneMeshTest, ChangingTheEntryReplacesTheContent) {
  CMesh* m = Insert(0);
  ASSERT_TRUE(m && m->animatedMesh);
  const int index = scene.GetSelectedIndex();
  EXPECT_EQ(scene.ChangeCatalogEntry(2, index), OBJ_GENERATED);
  EXPECT_FALSE(m->animatedMesh);
  ASSERT_TRUE(m->mesh);
  EXPECT_EQ(m->mesh->GetNumVertices(), 402u);
  EXPECT_EQ(scene.ChangeCatalogEntry(0, index), OBJ_ANIM);
  EXPECT_FALSE(m->mesh);
  EXPECT_TRUE(m->animatedMesh);
}

}  // namespace
