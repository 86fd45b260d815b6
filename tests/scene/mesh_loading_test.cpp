#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "gfx/Effect.h"
#include "gfx/Mesh.h"
#include "gfx/RecordingDevice.h"
#include "gfx/XFile.h"
#include "io/Log.h"
#include "io/Utf16.h"
#include "model/SceneObjects.h"
#include "scene/AnimatedMesh.h"
#include "scene/Catalog.h"
#include "scene/MeshContent.h"
#include "support/TempWorkDir.h"

namespace fs = std::filesystem;

namespace {

// A scene effect of our own: the first technique does not compile.
const char* const kSceneFx = R"(
[[parameter]]
name = "Diffuse"
type = "float4"

[[parameter]]
name = "Specular"
type = "float4"

[[parameter]]
name = "Power"
type = "float"

[[parameter]]
name = "Emissive"
type = "float4"

[[parameter]]
name = "g_txScene"
type = "texture"

[[parameter]]
name = "g_txEnvMap"
type = "cube"

[[technique]]
name = "Broken"

[[technique.pass]]
vertex = "@quad"
fragment = "@copy"

[[technique]]
name = "RenderScene"

[[technique.pass]]
vertex = "@quad"
fragment = "@copy"
)";

const fs::path kRealX = fs::path(MV_SHARED_TESTDATA) / "x";
const fs::path kData = fs::path(MV_TEST_DATA);

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A 1 x 1 uncompressed 24-bit TGA.
std::string TinyTga() {
  std::string t(18, '\0');
  t[2] = 2;
  t[12] = 1;
  t[14] = 1;
  t[16] = 24;
  t += std::string("\x10\x20\x30", 3);
  return t;
}

class MeshLoading : public ::testing::Test {
 protected:
  void SetUp() override {
    device = gfx::CreateRecordingDevice(1920, 1080);
    device->GetSettings().invalidTechniques = {"Broken"};
    std::string err;
    ASSERT_EQ(device->CreateEffectFromMemory(kSceneFx, "fx/scene.fxo", &effect, &err), gfx::S_OK) << err;
    const std::uint8_t white[4] = {255, 255, 255, 255};
    ASSERT_EQ(device->CreateTextureFromRGBA(1, 1, white, &white_), gfx::S_OK);
    MeshLoadContext ctx;
    ctx.device = device.get();
    ctx.sceneEffect = effect;
    ctx.whiteTexture = white_;
    SetMeshLoadContext(ctx);
    SharedXFileCache().Clear();
    mv::io::SetLogSink([this](std::string_view line) { log += line; log += '\x1f'; });
  }
  void TearDown() override {
    mv::io::SetLogSink({});
    SetMeshLoadContext(MeshLoadContext{});
    SharedXFileCache().Clear();
  }
  MeshLoadContext Context() const { return GetMeshLoadContext(); }
  // Copies a file into the working folder under media/mesh.
  std::string Place(const fs::path& source, const std::string& name = {}) {
    const std::string n = name.empty() ? source.filename().string() : name;
    work.Write("media/mesh/" + n, Slurp(source));
    return "media\\mesh\\" + n;
  }
  CatalogEntry Entry(const std::string& windowsPath, int kind, int number = 0) {
    CatalogEntry e;
    mv::io::CopyToFixed(e.file, 260, mv::io::Utf8ToUtf16(windowsPath));
    e.kind = kind;
    e.number = number;
    return e;
  }
  int Count(const std::string& needle) const {
    int n = 0;
    for (std::size_t p = log.find(needle); p != std::string::npos; p = log.find(needle, p + 1)) ++n;
    return n;
  }
  static std::vector<gfx::Vec3> Positions(gfx::Mesh& m) {
    std::vector<gfx::Vec3> out(m.GetNumVertices());
    void* vb = nullptr;
    EXPECT_EQ(m.LockVertexBuffer(gfx::LOCK_READONLY, &vb), gfx::S_OK);
    for (std::size_t v = 0; v < out.size(); ++v)
      std::memcpy(&out[v][0], static_cast<const std::uint8_t*>(vb) + v * m.GetNumBytesPerVertex(), 12);
    m.UnlockVertexBuffer();
    return out;
  }

  mv::test::TempWorkDir work;
  std::unique_ptr<gfx::RecordingDevice> device;
  std::shared_ptr<gfx::Effect> effect;
  std::shared_ptr<gfx::Texture> white_;
  std::string log;
};

// ---- generated mesh ----------------------------------------------------------

struct GeneratedVertex {
  float p[3], n[3], uv[2];
};

std::vector<GeneratedVertex> ReadGenerated(gfx::Mesh& m) {
  EXPECT_EQ(m.GetNumBytesPerVertex(), 32u);
  std::vector<GeneratedVertex> v(m.GetNumVertices());
  void* vb = nullptr;
  EXPECT_EQ(m.LockVertexBuffer(gfx::LOCK_READONLY, &vb), gfx::S_OK);
  std::memcpy(v.data(), vb, v.size() * 32);
  m.UnlockVertexBuffer();
  return v;
}

std::vector<std::uint32_t> ReadIndices(gfx::Mesh& m) {
  std::vector<std::uint32_t> i(std::size_t{m.GetNumFaces()} * 3);
  void* ib = nullptr;
  EXPECT_EQ(m.LockIndexBuffer(gfx::LOCK_READONLY, &ib), gfx::S_OK);
  std::memcpy(i.data(), ib, i.size() * 4);
  m.UnlockIndexBuffer();
  return i;
}

TEST_F(MeshLoading, GeneratedMeshFullSweepHasItsVertexTable) {
  CMesh object;
  object.kind = OBJ_GENERATED;
  MeshBounds b;
  ASSERT_EQ(LoadMeshContent(object, Entry("", OBJ_GENERATED), OBJ_GENERATED, &b), gfx::S_OK);
  ASSERT_TRUE(object.mesh);
  EXPECT_EQ(object.mesh->GetNumVertices(), 402u);
  EXPECT_EQ(object.mesh->GetNumFaces(), 2406u);
  EXPECT_TRUE(object.mesh->Uses32BitIndices());
  EXPECT_EQ(object.partCount, 2406u);
  EXPECT_EQ(object.materialCount, 1u);
  const auto v = ReadGenerated(*object.mesh);
  const int expectedA[] = {0, 0, 2, 2, 4, 4, 6};
  for (int k = 0; k < 200; ++k) {
    const int a = 2 * (k * 100 / 200);
    if (k < 7) {
      EXPECT_EQ(a, expectedA[k]);
    }
    const float th = float(a) * 6.2831855f / 199.0f;
    for (int top = 0; top < 2; ++top) {
      const GeneratedVertex& g = v[std::size_t(2 * k + top)];
      const float y = top ? 1.0f : -1.0f;
      EXPECT_FLOAT_EQ(g.p[0], std::sin(th)) << k;
      EXPECT_FLOAT_EQ(g.p[1], y);
      EXPECT_FLOAT_EQ(g.p[2], std::cos(th));
      EXPECT_FLOAT_EQ(g.n[0], g.p[0]);
      EXPECT_FLOAT_EQ(g.n[1], y);
      EXPECT_FLOAT_EQ(g.n[2], g.p[2]);
      EXPECT_FLOAT_EQ(g.uv[0], float(k) / 199.0f);
      EXPECT_FLOAT_EQ(g.uv[1], top ? 0.0f : 1.0f);
    }
  }
  // 100 distinct angles, each used by two consecutive pairs.
  EXPECT_FLOAT_EQ(v[0].p[0], v[2].p[0]);
  EXPECT_NE(v[2].p[0], v[4].p[0]);
  EXPECT_FLOAT_EQ(v[398].p[2], std::cos(198.0f * 6.2831855f / 199.0f));
  const float axis[2][3] = {{0, 1, 0}, {0, -1, 0}};
  for (int i = 0; i < 2; ++i)
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(v[std::size_t(400 + i)].p[c], axis[i][c]);
      EXPECT_EQ(v[std::size_t(400 + i)].n[c], axis[i][c]);
    }
  EXPECT_TRUE(b.valid);
}

TEST_F(MeshLoading, GeneratedMeshHasItsIndexGroups) {
  CMesh object;
  object.kind = OBJ_GENERATED;
  ASSERT_EQ(LoadMeshContent(object, Entry("", OBJ_GENERATED), OBJ_GENERATED, nullptr), gfx::S_OK);
  const auto idx = ReadIndices(*object.mesh);
  std::vector<std::uint32_t> want;
  auto tri = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) { want.insert(want.end(), {a, b, c}); };
  for (std::uint32_t t = 0; t < 200; ++t) tri(2 * t + 2, 2 * t + 1, 2 * t);
  for (std::uint32_t t = 0; t < 200; ++t) tri(2 * t + 2, 2 * t + 3, 2 * t + 1);
  for (std::uint32_t t = 0; t < 199; ++t) tri(2 * t + 1, 2 * t + 3, 400);
  tri(400, 400, 400);
  for (std::uint32_t t = 0; t < 200; ++t) tri(2 * t + 2, 2 * t, 401);
  tri(0, 1, 401);
  tri(400, 401, 1);
  ASSERT_EQ(want.size(), 802u * 3);
  for (std::size_t i = 0; i < want.size(); ++i) ASSERT_EQ(idx[i], want[i]) << "index " << i;
  for (std::size_t i = want.size(); i < idx.size(); ++i) ASSERT_EQ(idx[i], 0u) << "index " << i;
  // The end of the sweep reaches the axis.
  EXPECT_EQ(idx[199 * 3], 400u);
  EXPECT_EQ(idx[(200 + 199) * 3 + 1], 401u);
}

TEST_F(MeshLoading, GeneratedMeshCollapsesWhenEndIsNotAfterStart) {
  CMesh object;
  object.kind = OBJ_GENERATED;
  // The first build always sweeps 0 … 100, whatever the parameters say.
  object.params.start = 60;
  object.params.end = 40;
  ASSERT_EQ(LoadMeshContent(object, Entry("", OBJ_GENERATED), OBJ_GENERATED, nullptr), gfx::S_OK);
  EXPECT_NE(ReadGenerated(*object.mesh)[2].p[2], 0.0f);
  const struct {
    int start, end;
    bool collapsed;
  } cases[] = {{60, 40, true}, {50, 50, true}, {120, 100, true}, {-5, 0, true}, {30, 70, false}};
  for (const auto& c : cases) {
    object.params.start = c.start;
    object.params.end = c.end;
    RebuildGeneratedMesh(object);
    const auto v = ReadGenerated(*object.mesh);
    bool allZero = true;
    for (const auto& g : v) allZero = allZero && g.p[0] == 0 && g.p[1] == 0 && g.p[2] == 0;
    EXPECT_EQ(allZero, c.collapsed) << c.start << " " << c.end;
    EXPECT_EQ(object.mesh->GetNumFaces(), 2406u);
    EXPECT_EQ(object.partCount, 2406u);
  }
  // 30 … 70: a = 2 × (30 + ⌊k × 40 / 200⌋).
  object.params.start = 30;
  object.params.end = 70;
  RebuildGeneratedMesh(object);
  const auto v = ReadGenerated(*object.mesh);
  for (int k : {0, 5, 199}) {
    const float th = float(2 * (30 + k * 40 / 200)) * 6.2831855f / 199.0f;
    EXPECT_FLOAT_EQ(v[std::size_t(2 * k)].p[0], std::sin(th)) << k;
  }
}

TEST_F(MeshLoading, SingleMaterialRecordsItsTexturesInItsBlock) {
  CMesh object;
  object.kind = OBJ_GENERATED;
  ASSERT_EQ(LoadMeshContent(object, Entry("", OBJ_GENERATED), OBJ_GENERATED, nullptr), gfx::S_OK);
  ASSERT_EQ(object.materials.size(), 1u);
  const MeshMaterial& m = object.materials[0];
  EXPECT_EQ(m.effect, effect);
  EXPECT_EQ(m.texture, white_);
  EXPECT_TRUE(m.technique == effect->GetTechniqueByName("RenderScene"));
  ASSERT_TRUE(m.parameterBlock);
  effect->SetTexture("g_txScene", nullptr);
  device->ClearEvents();
  ASSERT_EQ(effect->ApplyParameterBlock(m.parameterBlock), gfx::S_OK);
  const gfx::RecordedEvent* t = device->LastParameter("g_txScene");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->texture, white_.get());
}

TEST_F(MeshLoading, WithoutSceneEffectMaterialsHoldOnlyTheirTexture) {
  MeshLoadContext ctx = Context();
  ctx.sceneEffect.reset();
  ctx.whiteTexture.reset();
  SetMeshLoadContext(ctx);
  CMesh object;
  object.kind = OBJ_GENERATED;
  ASSERT_EQ(LoadMeshContent(object, Entry("", OBJ_GENERATED), OBJ_GENERATED, nullptr), gfx::S_OK);
  ASSERT_EQ(object.materials.size(), 1u);
  EXPECT_FALSE(object.materials[0].effect);
  EXPECT_FALSE(object.materials[0].parameterBlock);
  ASSERT_TRUE(object.materials[0].texture);  // made on the device
  EXPECT_EQ(object.materials[0].texture->GetLevelDesc(0).width, 1);
}

TEST_F(MeshLoading, WithoutDeviceNothingLoads) {
  SetMeshLoadContext(MeshLoadContext{});
  CMesh object;
  EXPECT_LT(LoadMeshContent(object, Entry("", OBJ_GENERATED), OBJ_GENERATED, nullptr), 0);
  EXPECT_FALSE(object.mesh);
  EXPECT_LT(LoadMeshContent(object, Entry("", OBJ_TEXT, 24), OBJ_TEXT, nullptr), 0);
}

// ---- 3D text -----------------------------------------------------------------------

TEST(TextFontHeight, IsMinusPointsTimesDpiOver72Rounded) {
  const struct {
    int points, dpi, height;
  } cases[] = {{24, 96, -32}, {12, 96, -16}, {10, 96, -13}, {11, 96, -15}, {1, 96, -1},
               {0, 96, 0},    {72, 96, -96}, {24, 72, -24}, {-24, 96, 32}, {9, 96, -12}};
  for (const auto& c : cases) EXPECT_EQ(TextFontHeight(c.points, c.dpi), c.height) << c.points << "@" << c.dpi;
}

TEST_F(MeshLoading, TextMeshReportsItsFacesAsParts) {
  CMesh object;
  object.kind = OBJ_TEXT;
  mv::io::CopyToFixed(object.text, kNameLength, u"Hi");
  MeshBounds b;
  ASSERT_EQ(LoadMeshContent(object, Entry("", OBJ_TEXT, 24), OBJ_TEXT, &b), gfx::S_OK);
  ASSERT_TRUE(object.mesh);
  EXPECT_GT(object.mesh->GetNumFaces(), 20u);
  EXPECT_EQ(object.partCount, object.mesh->GetNumFaces());
  EXPECT_EQ(object.materialCount, 1u);
  EXPECT_TRUE(b.valid);
  EXPECT_GT(b.radius, 0.0f);
  // Extruded by 0.4 ems.
  glm::vec3 lo, hi;
  ASSERT_EQ(object.mesh->ComputeBoundingBox(&lo, &hi), gfx::S_OK);
  EXPECT_NEAR(hi.z - lo.z, 0.4f, 1e-5f);
}

TEST_F(MeshLoading, BlankTextFails) {
  CMesh object;
  object.kind = OBJ_TEXT;
  mv::io::CopyToFixed(object.text, kNameLength, u"   ");
  EXPECT_LT(LoadMeshContent(object, Entry("", OBJ_TEXT, 24), OBJ_TEXT, nullptr), 0);
  EXPECT_FALSE(object.mesh);
}

// ---- .x hierarchies ------------------------------------------------------------------

struct Counts {
  const char* file;
  std::uint32_t frames, containers, parts, bones, sets;
};

TEST_F(MeshLoading, RealFilesLoadWithTheirCounts) {
  const Counts cases[] = {
      {"test_cube_text.x", 2, 1, 1, 1, 0},
      {"test_cube_binary.x", 2, 1, 1, 1, 0},
      {"test_cube_compressed.x", 2, 1, 1, 1, 0},
      {"kwxport_test_cubewithvcolors.x", 1, 3, 3, 0, 0},
      {"anim_test.x", 5, 1, 1, 4, 1},
  };
  for (const Counts& c : cases) {
    SCOPED_TRACE(c.file);
    AnimatedMesh m;
    ASSERT_EQ(m.Load(kRealX / c.file, Context()), gfx::S_OK);
    EXPECT_EQ(m.CountFrames(), c.frames);
    EXPECT_EQ(m.Containers().size(), c.containers);
    EXPECT_EQ(m.GetPartCount(), c.parts);
    EXPECT_EQ(m.GetBoneCount(), c.bones);
    EXPECT_EQ(m.GetAnimationSetCount(), c.sets);
    EXPECT_GT(m.GetBoundingRadius(), 0.0f);
    EXPECT_EQ(m.GetBoundingCentre(), gfx::Vec3(0.0f));
  }
}

TEST_F(MeshLoading, CubeEncodingsGiveTheSameCube) {
  std::vector<std::vector<gfx::Vec3>> all;
  for (const char* f : {"test_cube_text.x", "test_cube_binary.x", "test_cube_compressed.x"}) {
    AnimatedMesh m;
    ASSERT_EQ(m.Load(kRealX / f, Context()), gfx::S_OK) << f;
    all.push_back(Positions(*m.Containers()[0]->mesh));
    EXPECT_EQ(m.Containers()[0]->mesh->GetNumFaces(), 12u);
  }
  EXPECT_EQ(all[0], all[1]);
  EXPECT_EQ(all[0], all[2]);
}

TEST_F(MeshLoading, MissingTexturesWarnAndGetTheWhiteTexture) {
  AnimatedMesh m;
  ASSERT_EQ(m.Load(kRealX / "kwxport_test_cubewithvcolors.x", Context()), gfx::S_OK);
  EXPECT_EQ(Count("***Warning - Error when loading texture "), 3);
  EXPECT_EQ(Count("bottom.tga"), 1);
  for (MeshContainer* c : m.Containers()) {
    ASSERT_EQ(c->materials.size(), 1u);
    EXPECT_EQ(c->materials[0].texture, white_);
  }
}

TEST_F(MeshLoading, MalformedSkinWeightsAreRejectedCleanly) {
  AnimatedMesh m;
  EXPECT_LT(m.Load(kRealX / "malformed_skinweights_oob.x", Context()), 0);
  EXPECT_EQ(Count("DirectX Reported Error:"), 1);
  EXPECT_EQ(m.GetFrameRoot(), nullptr);
  // Through the catalog: the object stays listed without a hierarchy.
  CMesh object;
  const CatalogEntry e = Entry(Place(kRealX / "malformed_skinweights_oob.x"), OBJ_MESH);
  EXPECT_EQ(LoadMeshContent(object, e, OBJ_MESH, nullptr), gfx::S_OK);
  EXPECT_FALSE(object.animatedMesh);
  EXPECT_EQ(Count("DirectX Reported Error:"), 2);
}

TEST_F(MeshLoading, GarbageFilesFailWithoutCrashing) {
  const std::string cases[] = {"", "xof 0303txt 0032\nFrame {", "xof 0303bin 0032\x01\x02\x03",
                               "xof 0303tzip0032\xff\xff\xff\xff", "not an x file at all"};
  int i = 0;
  for (const std::string& bytes : cases) {
    const std::string name = "junk" + std::to_string(i++) + ".x";
    work.Write(name, bytes);
    AnimatedMesh m;
    EXPECT_LT(m.Load(work.Path() / name, Context()), 0) << name;
    EXPECT_EQ(m.GetFrameRoot(), nullptr);
  }
}

// What exporters get wrong, written into the hand-made rig: each loads with
// consistent content or is refused, never read out of bounds.
TEST_F(MeshLoading, DamagedRigsLoadConsistentlyOrNotAtAll) {
  const std::string rig = Slurp(kData / "rig.x");
  const struct {
    const char* name;
    std::string from, to;
    bool loads;
  } cases[] = {
      {"face past the vertices", "3;4,7,6;;", "3;4,7,60;;", true},
      {"fewer texture coordinates", "    8;\n    0.0;0.0;,\n    1.0;0.0;,\n    1.0;1.0;,\n    0.0;1.0;,\n    0.0;0.0;,"
       "\n    1.0;0.0;,\n    1.0;1.0;,\n    0.0;1.0;;", "    2;\n    0.0;0.0;,\n    1.0;0.0;;", false},
      {"material past the list", "    0,\n    0,\n    1,\n    1;", "    0,\n    0,\n    1,\n    7;", true},
      {"fewer face materials", "    4;\n    0,\n    0,\n    1,\n    1;", "    2;\n    0,\n    1;", false},
      {"normal past its list", "   MeshTextureCoords {",
       "   MeshNormals {\n    1;\n    0.0;1.0;0.0;;\n    4;\n    3;0,0,0;,\n    3;0,0,0;,\n    3;0,0,9;,\n"
       "    3;0,0,0;;\n   }\n   MeshTextureCoords {", false},
      {"normals in range", "   MeshTextureCoords {",
       "   MeshNormals {\n    2;\n    0.0;1.0;0.0;,\n    0.0;-1.0;0.0;;\n    4;\n    3;1,1,1;,\n    3;1,1,1;,\n"
       "    3;0,0,0;,\n    3;0,0,0;;\n   }\n   MeshTextureCoords {", true},
      {"skin weight past the vertices", "    4,\n    5,\n    6,\n    7;", "    4,\n    5,\n    6,\n    8;", false},
      {"no animation keys", "   2;\n   2;\n   0;3;0.0,2.0,0.0;;,\n   100;3;0.0,4.0,0.0;;;", "   2;\n   0;;", false},
  };
  int i = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text = rig;
    const std::size_t at = text.find(c.from);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, c.from.size(), c.to);
    const std::string file = "damaged" + std::to_string(i++) + ".x";
    work.Write(file, text);
    AnimatedMesh m;
    const bool loaded = gfx::Succeeded(m.Load(work.Path() / file, Context()));
    EXPECT_EQ(loaded, c.loads);
    if (!loaded) continue;
    for (MeshContainer* mc : m.Containers()) {
      std::vector<std::uint32_t> idx(std::size_t{mc->mesh->GetNumFaces()} * 3);
      void* ib = nullptr;
      ASSERT_EQ(mc->mesh->LockIndexBuffer(gfx::LOCK_READONLY, &ib), gfx::S_OK);
      std::memcpy(idx.data(), ib, idx.size() * 4);
      mc->mesh->UnlockIndexBuffer();
      for (std::uint32_t v : idx) EXPECT_LT(v, mc->mesh->GetNumVertices());
      ASSERT_FALSE(mc->materials.empty());
    }
    m.SetAnimationType(ANIM_PING_PONG);
    m.SetSpeed(1);
    m.Update(0.7f);
    for (MeshContainer* mc : m.Containers()) {
      if (!mc->skinnedMesh) continue;
      for (const gfx::Vec3& p : Positions(*mc->skinnedMesh)) {
        EXPECT_TRUE(std::isfinite(p.x + p.y + p.z));
      }
    }
  }
}

TEST_F(MeshLoading, MissingFileLeavesTheObjectAsItWas) {
  CMesh object;
  object.kind = OBJ_MESH;
  ASSERT_EQ(LoadMeshContent(object, Entry(Place(kData / "rig.x"), OBJ_MESH), OBJ_MESH, nullptr), gfx::S_OK);
  ASSERT_TRUE(object.animatedMesh);
  const AnimatedMesh* before = object.animatedMesh.get();
  const std::uint32_t parts = object.partCount;
  EXPECT_LT(LoadMeshContent(object, Entry("media\\mesh\\absent.x", OBJ_MESH), OBJ_MESH, nullptr), 0);
  EXPECT_EQ(object.animatedMesh.get(), before);
  EXPECT_EQ(object.partCount, parts);
}

TEST_F(MeshLoading, HandMadeRigHasItsHierarchyMaterialsAndSkin) {
  work.Write("media/tex/skin.tga", TinyTga());
  CMesh object;
  MeshBounds b;
  ASSERT_EQ(LoadMeshContent(object, Entry(Place(kData / "rig.x"), OBJ_ANIM), OBJ_ANIM, &b), gfx::S_OK);
  ASSERT_TRUE(object.animatedMesh);
  AnimatedMesh& m = *object.animatedMesh;
  EXPECT_EQ(m.CountFrames(), 4u);
  for (const char* f : {"Root", "Arm", "Hand", "Body"}) EXPECT_NE(m.FindFrame(f), nullptr) << f;
  EXPECT_EQ(m.FindFrame("Arm")->firstChild, m.FindFrame("Hand"));
  EXPECT_EQ(m.FindFrame("Arm")->sibling, m.FindFrame("Body"));
  EXPECT_EQ(Count("Added frame: "), 4);
  EXPECT_EQ(Count("Added mesh: "), 2);
  EXPECT_EQ(Count("Mesh has skinning info.\n Number of bones is: 1"), 2);
  const auto cs = m.Containers();
  ASSERT_EQ(cs.size(), 2u);
  EXPECT_EQ(object.partCount, 2u);
  EXPECT_EQ(m.GetAnimationSetCount(), 2u);
  EXPECT_EQ(m.GetCurrentAnimationSet(), 0);
  EXPECT_DOUBLE_EQ(m.GetAnimationSetDuration(0), 1.0);
  // Skin.tga only exists in the media folder; nowhere.tga nowhere.
  ASSERT_EQ(cs[0]->materials.size(), 1u);
  ASSERT_TRUE(cs[0]->materials[0].texture);
  EXPECT_NE(cs[0]->materials[0].texture, white_);
  EXPECT_EQ(cs[1]->materials[0].texture, white_);
  EXPECT_EQ(Count("***Warning - Error when loading texture nowhere.tga"), 1);
  // The first valid technique; the block holds the file's power, never its diffuse.
  EXPECT_TRUE(cs[0]->materials[0].technique == effect->GetTechniqueByName("RenderScene"));
  device->ClearEvents();
  ASSERT_EQ(effect->ApplyParameterBlock(cs[0]->materials[0].parameterBlock), gfx::S_OK);
  const gfx::RecordedEvent* power = device->LastParameter("Power");
  ASSERT_NE(power, nullptr);
  EXPECT_EQ(power->values.at(0), 8.0f);
  EXPECT_EQ(device->LastParameter("Diffuse"), nullptr);
  EXPECT_EQ(device->LastParameter("Specular"), nullptr);
  const gfx::RecordedEvent* tex = device->LastParameter("g_txScene");
  ASSERT_NE(tex, nullptr);
  EXPECT_EQ(tex->texture, cs[0]->materials[0].texture.get());
  // Adjacency: the two triangles of a quad share their diagonal.
  ASSERT_EQ(cs[0]->adjacency.size(), 6u);
  EXPECT_EQ(cs[0]->adjacency[2], 1u);  // edge 2-0 of face 0
  EXPECT_EQ(cs[0]->adjacency[0], 0xFFFFFFFFu);
  EXPECT_TRUE(b.valid);
  EXPECT_GT(b.radius, 1.0f);
}

TEST_F(MeshLoading, EffectInstancesAreTracedNotLoaded) {
  std::string rig = Slurp(kData / "rig.x");
  const std::string tex = "TextureFilename {\n      \"nowhere.tga\";\n     }";
  const std::size_t at = rig.find(tex);
  ASSERT_NE(at, std::string::npos);
  rig.insert(at + tex.size(), "\n     EffectInstance {\n      \"shiny.fx\";\n     }");
  work.Write("fx_rig.x", rig);
  AnimatedMesh m;
  ASSERT_EQ(m.Load(work.Path() / "fx_rig.x", Context()), gfx::S_OK);
  EXPECT_EQ(Count("This .x file references an effect file. Effect files are not handled by this demo\n"), 2);
  EXPECT_EQ(m.Containers().size(), 2u);
  // Without one, no such trace.
  log.clear();
  AnimatedMesh plain;
  ASSERT_EQ(plain.Load(kData / "rig.x", Context()), gfx::S_OK);
  EXPECT_EQ(Count("references an effect file"), 0);
}

TEST_F(MeshLoading, SkinnedContainersFollowTheirBones) {
  CMesh object;
  ASSERT_EQ(LoadMeshContent(object, Entry(Place(kData / "rig.x"), OBJ_ANIM), OBJ_ANIM, nullptr), gfx::S_OK);
  AnimatedMesh& m = *object.animatedMesh;
  MeshContainer* arm = nullptr;
  MeshContainer* ghost = nullptr;
  for (MeshContainer* c : m.Containers()) (c->skin->boneNames[0] == "Arm" ? arm : ghost) = c;
  ASSERT_TRUE(arm && ghost);
  MeshParams p;
  p.animationSet = 0;
  p.animationType = ANIM_SINGLE;
  p.animationSpeed = 1.0f;
  m.HandOver(p);
  const struct {
    float elapsed, y;
  } steps[] = {{0.0f, 2.0f}, {0.5f, 3.0f}, {0.25f, 3.5f}, {10.0f, 4.0f}};
  for (const auto& s : steps) {
    m.Update(s.elapsed);
    for (const gfx::Vec3& v : Positions(*arm->skinnedMesh)) EXPECT_NEAR(v.y, s.y, 1e-5f) << m.GetTime();
    // A bone the hierarchy lacks: its vertices stay with their frame.
    for (const gfx::Vec3& v : Positions(*ghost->skinnedMesh)) EXPECT_NEAR(v.y, 0.0f, 1e-6f);
  }
  // The container's own mesh keeps the bind pose.
  for (const gfx::Vec3& v : Positions(*arm->mesh)) EXPECT_EQ(v.y, 2.0f);
  EXPECT_EQ(AnimatedMesh::DrawMatrix(*arm), gfx::MatrixIdentity());
}

TEST_F(MeshLoading, FirstRotationKeyTurnsItsFrameAsTheFileMatrixDoes) {
  struct Case {
    fs::path file;
    int set;
    const char* frame;
  } cases[] = {{kData / "rig.x", 1, "Hand"}, {kRealX / "anim_test.x", 0, "joint1"}, {kRealX / "anim_test.x", 0, "joint2"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.frame);
    AnimatedMesh m;
    ASSERT_EQ(m.Load(c.file, Context()), gfx::S_OK);
    m.SetAnimationSet(c.set);
    m.SetAnimationType(ANIM_STOP);
    m.Update(0.0f);
    const MeshFrame* f = m.FindFrame(c.frame);
    ASSERT_NE(f, nullptr);
    for (int r = 0; r < 4; ++r)
      for (int col = 0; col < 4; ++col) EXPECT_NEAR(f->transform[r][col], f->bindTransform[r][col], 2e-3f);
  }
}

TEST_F(MeshLoading, AnimatedCylinderDeformsWithItsBones) {
  AnimatedMesh m;
  ASSERT_EQ(m.Load(kRealX / "anim_test.x", Context()), gfx::S_OK);
  EXPECT_DOUBLE_EQ(m.GetAnimationSetDuration(0), 1.0);  // 24 ticks at 24 a second
  MeshContainer* c = m.Containers().at(0);
  ASSERT_TRUE(c->skin);
  EXPECT_EQ(c->boneOffsets.size(), 4u);
  m.SetAnimationType(ANIM_LOOP_FORWARD);
  m.SetSpeed(1.0f);
  m.Update(0.0f);
  const auto start = Positions(*c->skinnedMesh);
  m.Update(9.0f / 24.0f);  // tick 10: the bend is deepest
  const auto later = Positions(*c->skinnedMesh);
  float most = 0;
  for (std::size_t v = 0; v < start.size(); ++v) {
    ASSERT_TRUE(std::isfinite(later[v].x) && std::isfinite(later[v].y) && std::isfinite(later[v].z));
    most = std::max(most, gfx::Vec3Length(later[v] - start[v]));
  }
  EXPECT_GT(most, 0.3f);
  // Stop holds the pose.
  m.SetAnimationType(ANIM_STOP);
  m.Update(0.2f);
  EXPECT_EQ(Positions(*c->skinnedMesh), later);
}

TEST_F(MeshLoading, AnimationTypesMapTheClockIntoTheSet) {
  const struct {
    int type;
    float speed, elapsed;
    double pose;
  } cases[] = {
      {ANIM_STOP, 1, 0.4f, 0.0},           {ANIM_SINGLE, 1, 0.4f, 0.4},        {ANIM_SINGLE, 1, 1.5f, 1.0},
      {ANIM_LOOP_FORWARD, 1, 1.25f, 0.25}, {ANIM_LOOP_BACKWARD, 1, 1.25f, 0.75}, {ANIM_PING_PONG, 1, 1.25f, 0.75},
      {ANIM_PING_PONG, 1, 0.5f, 0.5},      {ANIM_LOOP_FORWARD, 2, 0.75f, 0.5},  {ANIM_LOOP_FORWARD, 0, 0.75f, 0.0},
      {ANIM_LOOP_FORWARD, -1, 0.25f, 0.75},
  };
  for (const auto& c : cases) {
    AnimatedMesh m;
    ASSERT_EQ(m.Load(kData / "rig.x", Context()), gfx::S_OK);
    m.SetAnimationType(c.type);
    m.SetSpeed(c.speed);
    m.Update(c.elapsed);
    EXPECT_NEAR(m.PoseTime(), c.pose, 1e-6) << "type " << c.type << " speed " << c.speed;
  }
}

TEST_F(MeshLoading, HandOverTakesPartsSetTypeAndSpeed) {
  AnimatedMesh m;
  ASSERT_EQ(m.Load(kData / "rig.x", Context()), gfx::S_OK);
  MeshParams p;
  p.start = 1;
  p.end = 2;
  p.animationSet = 1;
  p.animationType = ANIM_LOOP_BACKWARD;
  p.animationSpeed = 0.5f;
  m.HandOver(p);
  EXPECT_EQ(m.GetCurrentAnimationSet(), 1);
  const bool drawn[] = {false, true, false};
  for (std::uint32_t part = 0; part < 3; ++part) EXPECT_EQ(m.IsPartDrawn(part), drawn[part]) << part;
  m.Update(0.5f);  // 0.25 s into a backward loop of 1 s
  EXPECT_NEAR(m.PoseTime(), 0.75, 1e-6);
}

TEST_F(MeshLoading, RigidContainersDrawWithTheirFrame) {
  AnimatedMesh m;
  ASSERT_EQ(m.Load(kRealX / "kwxport_test_cubewithvcolors.x", Context()), gfx::S_OK);
  m.Update(0.0f);
  for (MeshContainer* c : m.Containers()) {
    EXPECT_FALSE(c->skin);
    EXPECT_FALSE(c->skinnedMesh);
    EXPECT_NEAR(AnimatedMesh::DrawMatrix(*c)[3][1], -0.492f, 1e-3f);
  }
}

TEST_F(MeshLoading, AnimationSetSelectionIsBoundedByTheCount) {
  AnimatedMesh m;
  ASSERT_EQ(m.Load(kData / "rig.x", Context()), gfx::S_OK);
  m.SetAnimationType(ANIM_LOOP_FORWARD);
  m.SetSpeed(1);
  m.Update(0.3f);
  m.SetAnimationSet(0);  // the current set: nothing changes
  EXPECT_FLOAT_EQ(m.GetTime(), 0.3f);
  for (int bad : {2, -1, 99}) {
    m.SetAnimationSet(bad);
    EXPECT_EQ(m.GetCurrentAnimationSet(), 0);
  }
  m.SetAnimationSet(1);
  EXPECT_EQ(m.GetCurrentAnimationSet(), 1);
  EXPECT_FLOAT_EQ(m.GetTime(), 0.0f);
  // Arm goes back to its file pose once Lift no longer drives it.
  m.Update(0.0f);
  EXPECT_EQ(m.FindFrame("Arm")->transform, m.FindFrame("Arm")->bindTransform);
}

TEST_F(MeshLoading, SecondLoadOfTheSameFileReadsNoFile) {
  const std::string path = Place(kData / "rig.x");
  CMesh a, b;
  const auto before = gfx::XFileCache::ParseCount();
  ASSERT_EQ(LoadMeshContent(a, Entry(path, OBJ_ANIM), OBJ_ANIM, nullptr), gfx::S_OK);
  EXPECT_EQ(gfx::XFileCache::ParseCount(), before + 1);
  ASSERT_EQ(LoadMeshContent(b, Entry(path, OBJ_ANIM), OBJ_ANIM, nullptr), gfx::S_OK);
  EXPECT_EQ(gfx::XFileCache::ParseCount(), before + 1);
  ASSERT_TRUE(a.animatedMesh && b.animatedMesh);
  // Each object keeps its own animation state.
  a.animatedMesh->SetAnimationType(ANIM_LOOP_FORWARD);
  a.animatedMesh->SetSpeed(1);
  a.animatedMesh->Update(0.5f);
  b.animatedMesh->Update(0.0f);
  EXPECT_FLOAT_EQ(a.animatedMesh->GetTime(), 0.5f);
  EXPECT_FLOAT_EQ(b.animatedMesh->GetTime(), 0.0f);
  EXPECT_NE(a.animatedMesh->FindFrame("Arm")->transform, b.animatedMesh->FindFrame("Arm")->transform);
  // A changed file is read again.
  const fs::path file = work.Path() / "media/mesh/rig.x";
  fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(5));
  CMesh c;
  ASSERT_EQ(LoadMeshContent(c, Entry(path, OBJ_ANIM), OBJ_ANIM, nullptr), gfx::S_OK);
  EXPECT_EQ(gfx::XFileCache::ParseCount(), before + 2);
}

TEST_F(MeshLoading, TexturesAreSharedByPath) {
  work.Write("media/tex/skin.tga", TinyTga());
  const std::string path = Place(kData / "rig.x");
  CMesh a, b;
  ASSERT_EQ(LoadMeshContent(a, Entry(path, OBJ_ANIM), OBJ_ANIM, nullptr), gfx::S_OK);
  const auto loads = gfx::TextureCache::FileLoadCount();
  ASSERT_EQ(LoadMeshContent(b, Entry(path, OBJ_ANIM), OBJ_ANIM, nullptr), gfx::S_OK);
  EXPECT_EQ(gfx::TextureCache::FileLoadCount(), loads);
  EXPECT_EQ(a.animatedMesh->Containers()[0]->materials[0].texture,
            b.animatedMesh->Containers()[0]->materials[0].texture);
}

TEST_F(MeshLoading, ReleaseDropsContentAndOptionallyTheTimeline) {
  for (bool timeline : {false, true}) {
    CMesh object;
    object.CreateTimeLine();
    ASSERT_EQ(LoadMeshContent(object, Entry(Place(kData / "rig.x"), OBJ_ANIM), OBJ_ANIM, nullptr), gfx::S_OK);
    std::weak_ptr<AnimatedMesh> held = object.animatedMesh;
    ReleaseMeshContent(object, timeline);
    EXPECT_TRUE(held.expired());
    EXPECT_EQ(object.materialCount, 0u);
    EXPECT_TRUE(object.materials.empty());
    EXPECT_EQ(object.timeLine == nullptr, timeline);
  }
  CMesh gen;
  gen.kind = OBJ_GENERATED;
  ASSERT_EQ(LoadMeshContent(gen, Entry("", OBJ_GENERATED), OBJ_GENERATED, nullptr), gfx::S_OK);
  std::weak_ptr<gfx::Mesh> mesh = gen.mesh;
  ReleaseMeshContent(gen, false);
  EXPECT_TRUE(mesh.expired());
  EXPECT_EQ(gen.materialCount, 0u);
}

TEST(MeshHierarchy, NonStandardMeshFailsItsContainer) {
  std::vector<std::string> lines;
  mv::io::SetLogSink([&](std::string_view l) { lines.emplace_back(l); });
  auto device = gfx::CreateRecordingDevice(64, 64);
  MeshLoadContext ctx;
  ctx.device = device.get();
  CMeshHierarchy h(ctx, ".");
  MeshContainer* c = nullptr;
  EXPECT_LT(h.CreateMeshContainer(nullptr, MeshContainerSource{}, &c), 0);
  EXPECT_EQ(c, nullptr);
  MeshFrame* f = nullptr;
  ASSERT_EQ(h.CreateFrame(nullptr, &f), gfx::S_OK);
  EXPECT_EQ(f->transform, gfx::MatrixIdentity());
  EXPECT_EQ(f->combined, gfx::MatrixIdentity());
  EXPECT_EQ(h.DestroyFrame(f), gfx::S_OK);
  mv::io::SetLogSink({});
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Added Mesh: no name given\n");
  EXPECT_EQ(lines[1], "Added frame: no name given\n");
}

TEST(MeshAdjacency, SharedEdgesFindEachOther) {
  // Two triangles over the same diagonal, written with duplicated vertices.
  const std::vector<gfx::Vec3> p = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  const std::vector<std::uint32_t> i = {0, 1, 2, 3, 4, 5};
  const auto adj = GenerateAdjacency(p, i, 0.000001f);
  const std::vector<std::uint32_t> want = {0xFFFFFFFFu, 0xFFFFFFFFu, 1, 0, 0xFFFFFFFFu, 0xFFFFFFFFu};
  EXPECT_EQ(adj, want);
}

}  // namespace
