#include "gfx/TextMesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "gfx/Mesh.h"
#include "gfx/RecordingDevice.h"

namespace gfx {
namespace {

constexpr float kDepth = 0.4f;

struct Stats {
  Vec3 min{1e9f}, max{-1e9f};
  double volume = 0;        // by the divergence theorem, outward faces
  double frontArea = 0;     // of the triangles facing −z
  std::size_t triangles = 0;
};

Stats Measure(const TextGeometry& g) {
  Stats s;
  for (const Vec3& p : g.positions) {
    s.min = glm::min(s.min, p);
    s.max = glm::max(s.max, p);
  }
  for (std::size_t t = 0; t + 2 < g.indices.size(); t += 3) {
    const glm::dvec3 a = g.positions[g.indices[t]], b = g.positions[g.indices[t + 1]],
                     c = g.positions[g.indices[t + 2]];
    s.volume += glm::dot(a, glm::cross(b, c)) / 6.0;
    const glm::dvec3 face = glm::cross(b - a, c - a);
    if (face.z < 0) s.frontArea += -face.z / 2.0;
    ++s.triangles;
  }
  return s;
}

TextGeometry Build(std::u16string_view text, float deviation = 0.001f) {
  TextGeometry g;
  std::string err;
  EXPECT_TRUE(BuildTextGeometry("Arial", 400, text, deviation, kDepth, g, &err)) << err;
  return g;
}

TEST(TextMesh, LetterIIsABoxOfTheExtrusionDepth) {
  const TextGeometry g = Build(u"I");
  // Two cap triangles per side, two per side wall: 4 + 4 × 2.
  EXPECT_EQ(g.indices.size(), 12u * 3u);
  EXPECT_EQ(g.positions.size(), g.normals.size());
  const Stats s = Measure(g);
  EXPECT_FLOAT_EQ(s.min.z, -kDepth);
  EXPECT_FLOAT_EQ(s.max.z, 0.0f);
  EXPECT_NEAR(s.min.y, 0.0f, 1e-6f);  // sits on the baseline
  EXPECT_GT(s.max.y, 0.65f);  // cap height, about 0.7 em in Arial-like faces
  EXPECT_LT(s.max.y, 0.75f);
  EXPECT_GT(s.min.x, 0.0f);             // left side bearing
  const double box = double(s.max.x - s.min.x) * double(s.max.y - s.min.y);
  EXPECT_NEAR(s.frontArea, box, 1e-5);
  EXPECT_NEAR(s.volume, box * kDepth, 1e-5);
}

TEST(TextMesh, EveryTriangleFacesAlongItsNormal) {
  const TextGeometry g = Build(u"Morvane & Player @ 2 (ß)");
  ASSERT_FALSE(g.indices.empty());
  for (std::size_t t = 0; t + 2 < g.indices.size(); t += 3) {
    const Vec3 a = g.positions[g.indices[t]], b = g.positions[g.indices[t + 1]], c = g.positions[g.indices[t + 2]];
    const Vec3 n = g.normals[g.indices[t]];
    EXPECT_EQ(n, g.normals[g.indices[t + 1]]);
    EXPECT_EQ(n, g.normals[g.indices[t + 2]]);
    EXPECT_GT(glm::dot(glm::cross(b - a, c - a), n), 0.0f) << "triangle " << t / 3;
  }
  // The −z cap is the one at z = −depth.
  for (std::size_t i = 0; i < g.positions.size(); ++i) {
    if (g.normals[i] == Vec3(0, 0, -1)) {
      EXPECT_FLOAT_EQ(g.positions[i].z, -kDepth);
    }
    if (g.normals[i] == Vec3(0, 0, 1)) {
      EXPECT_FLOAT_EQ(g.positions[i].z, 0.0f);
    }
  }
}

TEST(TextMesh, HolesStayOpenAndTheSolidIsClosed) {
  const TextGeometry g = Build(u"O");
  const Stats s = Measure(g);
  const double box = double(s.max.x - s.min.x) * double(s.max.y - s.min.y);
  // A filled O would cover about π/4 of its box; the ring much less.
  EXPECT_LT(s.frontArea, 0.6 * box);
  EXPECT_GT(s.frontArea, 0.2 * box);
  // Sides and caps enclose exactly cap area × depth.
  EXPECT_NEAR(s.volume, s.frontArea * kDepth, 1e-4 * s.volume);
}

TEST(TextMesh, DeviationControlsCurveSegments) {
  const std::size_t fine = Build(u"O", 0.0005f).positions.size();
  const std::size_t coarse = Build(u"O", 0.01f).positions.size();
  EXPECT_GT(fine, coarse);
  EXPECT_EQ(Build(u"I", 0.0005f).positions.size(), Build(u"I", 0.01f).positions.size());
  // Zero or negative deviation is bounded, not endless.
  const std::size_t floor = Build(u"O", 0.0f).positions.size();
  EXPECT_EQ(floor, Build(u"O", -1.0f).positions.size());
  EXPECT_LT(floor, 20000u);
}

TEST(TextMesh, GlyphsAdvanceAndControlCharactersDrawNothing) {
  const Stats one = Measure(Build(u"I"));
  const Stats two = Measure(Build(u"II"));
  EXPECT_GT(two.max.x, one.max.x + 0.2f);
  EXPECT_NEAR(two.volume, 2 * one.volume, 1e-5);
  EXPECT_EQ(Build(u"I\nI").positions, Build(u"II").positions);
  EXPECT_TRUE(Build(u"   ").indices.empty());
  EXPECT_TRUE(Build(u"").indices.empty());
}

TEST(TextMesh, MalformedAndUnusualTextStaysFinite) {
  const char16_t odd[] = {u'A', char16_t(0xD800), u'x', char16_t(0xDFFF), 0x4E2D, 0xFFFF, 0};
  const TextGeometry g = Build(odd);
  EXPECT_FALSE(g.indices.empty());
  for (const Vec3& p : g.positions) EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
  for (std::uint32_t i : g.indices) EXPECT_LT(i, g.positions.size());
  // A long text is cut, not refused.
  const std::u16string longText(5000, u'.');
  const TextGeometry cut = Build(longText, 0.01f);
  const TextGeometry full = Build(std::u16string(kMaxTextMeshChars, u'.'), 0.01f);
  EXPECT_EQ(cut.positions.size(), full.positions.size());
  // No extrusion: caps only.
  TextGeometry flat;
  ASSERT_TRUE(BuildTextGeometry("Arial", 400, u"I", 0.001f, 0.0f, flat));
  EXPECT_EQ(flat.indices.size(), 4u * 3u);
}

TEST(TextMesh, CreatesADeviceMeshWithPositionsAndNormals) {
  auto dev = CreateRecordingDevice(64, 64);
  std::shared_ptr<Mesh> mesh;
  ASSERT_EQ(CreateTextMesh(*dev, "Arial", 400, u"I", 0.001f, kDepth, &mesh), S_OK);
  ASSERT_TRUE(mesh);
  EXPECT_EQ(mesh->GetNumFaces(), 12u);
  EXPECT_EQ(mesh->GetNumBytesPerVertex(), 24u);
  EXPECT_TRUE(mesh->Uses32BitIndices());
  const TextGeometry g = Build(u"I");
  ASSERT_EQ(mesh->GetNumVertices(), g.positions.size());
  void* vb = nullptr;
  ASSERT_EQ(mesh->LockVertexBuffer(0, &vb), S_OK);
  Vec3 p, n;
  std::memcpy(&p, static_cast<const char*>(vb) + 24, 12);
  std::memcpy(&n, static_cast<const char*>(vb) + 36, 12);
  mesh->UnlockVertexBuffer();
  EXPECT_EQ(p, g.positions[1]);
  EXPECT_EQ(n, g.normals[1]);

  std::shared_ptr<Mesh> same;
  ASSERT_EQ(CreateTextMesh(*dev, u"Arial", 400, u"I", 0.001f, kDepth, &same), S_OK);
  EXPECT_EQ(same->GetNumVertices(), mesh->GetNumVertices());

  EXPECT_EQ(CreateTextMesh(*dev, "Arial", 400, u"  ", 0.001f, kDepth, &mesh), E_FAIL);
  EXPECT_FALSE(mesh);
  EXPECT_EQ(CreateTextMesh(*dev, "Arial", 400, u"I", 0.001f, kDepth, nullptr), E_INVALIDARG);
}

}  // namespace
}  // namespace gfx
