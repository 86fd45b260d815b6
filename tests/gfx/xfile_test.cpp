#include <gtest/gtest.h>

#include <filesystem>

#include "gfx/XFile.h"

namespace gfx {
namespace {

const std::filesystem::path kRealX = std::filesystem::path(MV_SHARED_TESTDATA) / "x";

TEST(XFile, AnimatedCylinderKeepsItsBonesKeysAndRate) {
  std::shared_ptr<const XFileData> d;
  std::string err;
  ASSERT_EQ(ParseXFile(kRealX / "anim_test.x", &d, &err), S_OK) << err;
  ASSERT_EQ(d->meshes.size(), 1u);
  const XMesh& m = d->meshes[0];
  ASSERT_EQ(m.bones.size(), 4u);
  EXPECT_EQ(m.bones[0].name, "joint1");
  EXPECT_EQ(m.bones[3].name, "joint4");
  for (const XBone& b : m.bones) {
    EXPECT_EQ(b.vertices.size(), b.weights.size());
    for (std::uint32_t v : b.vertices) EXPECT_LT(v, m.positions.size());
  }
  // At most four weights a vertex.
  std::vector<int> per(m.positions.size());
  for (const XBone& b : m.bones)
    for (std::uint32_t v : b.vertices) ++per[v];
  for (int n : per) EXPECT_LE(n, 4);
  ASSERT_EQ(d->animationSets.size(), 1u);
  EXPECT_EQ(d->animationSets[0].name, "cylinder_test");
  EXPECT_EQ(d->animationSets[0].ticksPerSecond, 24.0);
  EXPECT_EQ(d->animationSets[0].duration, 24.0);
  EXPECT_EQ(d->animationSets[0].channels.size(), 4u);
  EXPECT_EQ(d->frames[0].parent, -1);
  for (std::size_t i = 1; i < d->frames.size(); ++i) EXPECT_GE(d->frames[i].parent, 0);
}

TEST(XFile, TranslationsSitInTheFourthRow) {
  std::shared_ptr<const XFileData> d;
  ASSERT_EQ(ParseXFile(kRealX / "anim_test.x", &d), S_OK);
  for (const XFrame& f : d->frames)
    if (f.name == "joint1") {
      EXPECT_NEAR(f.transform[3][1], -4.795322f, 1e-5f);
      EXPECT_NEAR(f.transform[3][2], 0.029240f, 1e-5f);
      EXPECT_NEAR(f.transform[0][1], 0.999261f, 1e-5f);  // M12 as written
      return;
    }
  FAIL() << "no joint1";
}

TEST(XFile, TextureNamesStayVerbatim) {
  std::shared_ptr<const XFileData> d;
  ASSERT_EQ(ParseXFile(kRealX / "kwxport_test_cubewithvcolors.x", &d), S_OK);
  ASSERT_EQ(d->materials.size(), 3u);
  EXPECT_EQ(d->materials[0].textureFile, "C:\\code\\sourceforge\\kwxport\\trunkMerged\\test\\data\\bottom.tga");
}

TEST(XFile, FilesThatWouldCrashTheImporterFail) {
  std::shared_ptr<const XFileData> d;
  std::string err;
  EXPECT_EQ(ParseXFile(kRealX / "malformed_skinweights_oob.x", &d, &err), E_FAIL);
  EXPECT_FALSE(d);
  EXPECT_NE(err.find("malformed_skinweights_oob.x"), std::string::npos) << err;
  EXPECT_EQ(ParseXFile(kRealX / "no_such_file.x", &d, &err), ERR_NOTFOUND);
}

TEST(XFile, CacheParsesAnUnchangedFileOnce) {
  XFileCache cache;
  std::shared_ptr<const XFileData> a, b;
  const auto before = XFileCache::ParseCount();
  ASSERT_EQ(cache.Load(kRealX / "test_cube_binary.x", &a), S_OK);
  ASSERT_EQ(cache.Load(kRealX / "test_cube_binary.x", &b), S_OK);
  EXPECT_EQ(XFileCache::ParseCount(), before + 1);
  EXPECT_EQ(a, b);
  // A failure is not kept: it is tried again.
  EXPECT_LT(cache.Load(kRealX / "malformed_skinweights_oob.x", &a), 0);
  EXPECT_LT(cache.Load(kRealX / "malformed_skinweights_oob.x", &a), 0);
  EXPECT_EQ(XFileCache::ParseCount(), before + 3);
  cache.Clear();
  ASSERT_EQ(cache.Load(kRealX / "test_cube_binary.x", &a), S_OK);
  EXPECT_EQ(XFileCache::ParseCount(), before + 4);
}

}  // namespace
}  // namespace gfx
