// The metaball surface: the case table proven closed on every case and
// between neighbours, and the field's polygonisation following the surface.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include <glm/geometric.hpp>

#include "effects/MarchingCubes.h"
#include "effects/MetaballField.h"

namespace {

using Point = std::tuple<int, int, int>;
// An edge point of the grid, by its two grid points (doubled coordinates of
// the edge's middle, so it is one key whichever cube names it).
using EdgeKey = std::tuple<int, int, int>;

struct Mesh {
  std::vector<std::array<EdgeKey, 3>> triangles;
};

// Triangles of every cube of a grid of `n` cubes per axis whose points are
// inside where `inside` says, with each vertex at its edge's middle.
template <class Inside>
Mesh Polygonise(int n, Inside inside) {
  Mesh m;
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) {
        int pattern = 0;
        for (int c = 0; c < 8; ++c)
          if (inside(i + mc::kCornerOffset[c][0], j + mc::kCornerOffset[c][1], k + mc::kCornerOffset[c][2]))
            pattern |= 1 << c;
        const mc::Case& cs = mc::TriangleTable()[static_cast<std::size_t>(pattern)];
        for (int t = 0; t < cs.triangleCount; ++t) {
          std::array<EdgeKey, 3> tri;
          for (int v = 0; v < 3; ++v) {
            const int e = cs.edges[static_cast<std::size_t>(t * 3 + v)];
            const int a = mc::kEdgeCorners[e][0], b = mc::kEdgeCorners[e][1];
            tri[static_cast<std::size_t>(v)] = {2 * i + mc::kCornerOffset[a][0] + mc::kCornerOffset[b][0],
                                                2 * j + mc::kCornerOffset[a][1] + mc::kCornerOffset[b][1],
                                                2 * k + mc::kCornerOffset[a][2] + mc::kCornerOffset[b][2]};
          }
          m.triangles.push_back(tri);
        }
      }
  return m;
}

glm::vec3 At(const EdgeKey& e) { return glm::vec3(float(std::get<0>(e)), float(std::get<1>(e)), float(std::get<2>(e))) * 0.5f; }

// A closed, consistently oriented surface: every directed edge is met once,
// and its reverse once, by another triangle. Returns the first fault.
std::string ClosedFault(const Mesh& m) {
  std::map<std::pair<EdgeKey, EdgeKey>, int> directed;
  for (const auto& t : m.triangles) {
    if (t[0] == t[1] || t[1] == t[2] || t[0] == t[2]) return "degenerate triangle";
    for (int v = 0; v < 3; ++v) ++directed[{t[static_cast<std::size_t>(v)], t[static_cast<std::size_t>((v + 1) % 3)]}];
  }
  for (const auto& [edge, count] : directed) {
    if (count != 1) return "a directed edge used " + std::to_string(count) + " times";
    const auto reverse = directed.find({edge.second, edge.first});
    if (reverse == directed.end()) return "an edge without its reverse: a hole";
  }
  return "";
}

// Six times the enclosed volume: positive when the triangles face outwards.
float SignedVolume6(const Mesh& m) {
  float v = 0;
  for (const auto& t : m.triangles) v += glm::dot(At(t[0]), glm::cross(At(t[1]), At(t[2])));
  return v;
}

}  // namespace

// Every one of the 256 cases, as the middle cube of a grid whose other
// points are outside: the whole surface closes, with its neighbours, and
// faces outwards.
TEST(MarchingCubes, EveryCaseClosesWithItsNeighboursAndFacesOut) {
  for (int pattern = 0; pattern < 256; ++pattern) {
    SCOPED_TRACE(pattern);
    const Mesh m = Polygonise(3, [&](int i, int j, int k) {
      for (int c = 0; c < 8; ++c)
        if (i == 1 + mc::kCornerOffset[c][0] && j == 1 + mc::kCornerOffset[c][1] && k == 1 + mc::kCornerOffset[c][2])
          return ((pattern >> c) & 1) != 0;
      return false;
    });
    EXPECT_EQ(ClosedFault(m), "");
    if (pattern == 0) {
      EXPECT_TRUE(m.triangles.empty());
    } else {
      EXPECT_GT(SignedVolume6(m), 0.0f);
    }
    // No triangle lies in a face of its cube, where the neighbour's would
    // cover it again.
    const mc::Case& cs = mc::TriangleTable()[static_cast<std::size_t>(pattern)];
    for (int t = 0; t < cs.triangleCount; ++t) {
      int corners = 0;
      for (int v = 0; v < 3; ++v) {
        const int e = cs.edges[static_cast<std::size_t>(t * 3 + v)];
        corners |= (1 << mc::kEdgeCorners[e][0]) | (1 << mc::kEdgeCorners[e][1]);
      }
      for (std::uint8_t mask : mc::kFaceMask) EXPECT_NE(mask & corners, corners) << "triangle " << t;
    }
  }
}

// Random insides on a grid with an outside border: whatever the cases next
// to each other, the surface has no hole and no flipped patch.
TEST(MarchingCubes, RandomGridsGiveClosedOutwardSurfaces) {
  std::mt19937 random(20261210);
  for (int sample = 0; sample < 300; ++sample) {
    const int n = 5;
    std::vector<bool> in(static_cast<std::size_t>((n + 1) * (n + 1) * (n + 1)));
    const double density = 0.2 + 0.6 * double(sample % 7) / 6.0;
    std::bernoulli_distribution coin(density);
    for (int k = 1; k < n; ++k)
      for (int j = 1; j < n; ++j)
        for (int i = 1; i < n; ++i) in[static_cast<std::size_t>((k * (n + 1) + j) * (n + 1) + i)] = coin(random);
    const Mesh m = Polygonise(n, [&](int i, int j, int k) { return bool(in[static_cast<std::size_t>((k * (n + 1) + j) * (n + 1) + i)]); });
    ASSERT_EQ(ClosedFault(m), "") << "sample " << sample;
    if (!m.triangles.empty()) {
      EXPECT_GT(SignedVolume6(m), 0.0f) << "sample " << sample;
    }
  }
}

// The two tables agree: a case has triangles on a face exactly when the
// cube-face table sends the surface across it.
TEST(MarchingCubes, TheCubeFaceTableSendsTheSurfaceWhereItCrosses) {
  EXPECT_EQ(mc::CubeFaceTable()[0], 0);
  EXPECT_EQ(mc::CubeFaceTable()[255], 0);
  EXPECT_EQ(mc::CubeFaceTable()[0x01], 0b101010);  // corner 0: -x, -y, -z
  EXPECT_EQ(mc::CubeFaceTable()[0x66], 0b111100);  // the +x face inside: every face but +-x
  for (int p = 0; p < 256; ++p) {
    const mc::Case& cs = mc::TriangleTable()[static_cast<std::size_t>(p)];
    std::uint8_t touched = 0;
    for (int t = 0; t < cs.triangleCount * 3; ++t) {
      const int e = cs.edges[static_cast<std::size_t>(t)];
      for (int f = 0; f < 6; ++f) {
        const std::uint8_t corners = std::uint8_t((1 << mc::kEdgeCorners[e][0]) | (1 << mc::kEdgeCorners[e][1]));
        if ((mc::kFaceMask[f] & corners) == corners) touched |= std::uint8_t(1 << f);
      }
    }
    EXPECT_EQ(touched, mc::CubeFaceTable()[static_cast<std::size_t>(p)]) << p;
  }
}

namespace {

struct Collector final : MetaballBatchSink {
  struct Batch {
    int vertices = 0, indices = 0;
  };
  std::vector<Batch> batches;
  std::vector<std::array<glm::vec3, 3>> triangles;
  std::vector<std::array<glm::vec3, 3>> normals;
  bool indexOutOfRange = false;
  void DrawBatch(const MetaballVertex* v, int vertexCount, const std::uint32_t* idx, int indexCount) override {
    batches.push_back({vertexCount, indexCount});
    for (int t = 0; t + 2 < indexCount; t += 3) {
      std::array<glm::vec3, 3> tri, nor;
      for (int c = 0; c < 3; ++c) {
        const std::uint32_t i = idx[t + c];
        if (i >= std::uint32_t(vertexCount)) {
          indexOutOfRange = true;
          return;
        }
        tri[static_cast<std::size_t>(c)] = {v[i].position[0], v[i].position[1], v[i].position[2]};
        nor[static_cast<std::size_t>(c)] = {v[i].normal[0], v[i].normal[1], v[i].normal[2]};
      }
      triangles.push_back(tri);
      normals.push_back(nor);
    }
  }
};

MetaballField FiveBalls(int grid) {
  MetaballField f(7);
  f.SetGridSize(grid);
  const glm::vec3 at[5] = {{-0.4f, 0.0f, 0.0f}, {0.4f, 0.1f, 0.0f}, {0.0f, 0.45f, 0.2f}, {0.0f, -0.4f, -0.3f}, {0.1f, 0.0f, 0.5f}};
  for (int i = 0; i < 5; ++i) {
    MetaBall b;
    b.position = at[i];
    f.SetBall(i, b);
  }
  return f;
}

}  // namespace

TEST(MetaballField, TheSurfaceIsClosedFacesOutAndComesInBatches) {
  MetaballField f = FiveBalls(32);
  Collector sink;
  f.Polygonise(sink);
  ASSERT_FALSE(sink.batches.empty());
  EXPECT_FALSE(sink.indexOutOfRange);
  for (std::size_t b = 0; b < sink.batches.size(); ++b) {
    EXPECT_LE(sink.batches[b].vertices, MetaballField::kMeshVertices);
    EXPECT_LE(sink.batches[b].indices, 3 * MetaballField::kMeshFaces);
    if (b + 1 < sink.batches.size()) {
      EXPECT_GE(sink.batches[b].indices, MetaballField::kBatchIndices) << b;
    }
  }
  // Vertices are shared only within a batch: weld by position to see the
  // whole surface.
  std::map<std::tuple<long, long, long>, int> ids;
  auto id = [&](const glm::vec3& p) {
    const auto key = std::make_tuple(std::lround(p.x * 1e5), std::lround(p.y * 1e5), std::lround(p.z * 1e5));
    return ids.emplace(key, int(ids.size())).first->second;
  };
  std::map<std::pair<int, int>, int> directed;
  int outward = 0;
  for (std::size_t t = 0; t < sink.triangles.size(); ++t) {
    const auto& tri = sink.triangles[t];
    const glm::vec3 n = glm::cross(tri[1] - tri[0], tri[2] - tri[0]);
    const glm::vec3 vn = sink.normals[t][0] + sink.normals[t][1] + sink.normals[t][2];
    outward += glm::dot(n, vn) > 0;
    const int a = id(tri[0]), b = id(tri[1]), c = id(tri[2]);
    ++directed[{a, b}], ++directed[{b, c}], ++directed[{c, a}];
  }
  // Interpolated vertices can make a sliver flat; nearly all face outwards.
  EXPECT_GT(outward, int(sink.triangles.size() * 99 / 100));
  int holes = 0;
  for (const auto& [e, count] : directed) holes += count != 1 || !directed.count({e.second, e.first});
  EXPECT_EQ(holes, 0);
}

// Only the cubes the surface crosses are visited, every one of them.
TEST(MetaballField, OnlyTheCubesTheSurfaceCrossesAreVisited) {
  const int n = 32;
  MetaballField f = FiveBalls(n);
  Collector sink;
  f.Polygonise(sink);
  const float cell = 2.0f / n;
  auto value = [&](int i, int j, int k) {
    if (i == 0 || j == 0 || k == 0 || i == n || j == n || k == n) return 0.0f;
    return f.FieldAt({i * cell - 1, j * cell - 1, k * cell - 1});
  };
  int crossed = 0;
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) {
        int in = 0;
        for (int c = 0; c < 8; ++c)
          in += value(i + mc::kCornerOffset[c][0], j + mc::kCornerOffset[c][1], k + mc::kCornerOffset[c][2]) > f.GetLevel();
        crossed += in != 0 && in != 8;
      }
  ASSERT_GT(crossed, 100);
  // The crossed cubes, plus the few inside ones walked through on the way
  // down from each ball.
  EXPECT_GE(f.GetCubesVisited(), crossed);
  EXPECT_LE(f.GetCubesVisited(), crossed + 5 * n);
  EXPECT_LT(f.GetCubesVisited(), n * n * n / 5);
  // The same frame twice gives the same surface.
  Collector again;
  f.Polygonise(again);
  EXPECT_EQ(again.triangles.size(), sink.triangles.size());
}

TEST(MetaballField, BallsMoveTowardsTheirAttractorsWithinTheGrid) {
  MetaballField f(3);
  f.SetGridSize(10);  // cell 0.2: positions stay within [-0.8, 0.8]
  MetaBall b;
  b.position = {0.0f, 0.0f, 0.0f};
  b.velocity = {0.0f, 0.0f, 0.0f};
  b.attractor = {0.3f, 0.0f, -0.4f};
  b.timer = 10.0f;
  f.SetBall(0, b);
  f.Advance(0.5f);
  // Position first (with the old velocity), then the pull: 0.1 per second
  // along the unit direction.
  EXPECT_EQ(f.GetBall(0).position, glm::vec3(0.0f));
  EXPECT_NEAR(f.GetBall(0).velocity.x, 0.6f * 0.05f, 1e-6f);
  EXPECT_NEAR(f.GetBall(0).velocity.z, -0.8f * 0.05f, 1e-6f);
  EXPECT_FLOAT_EQ(f.GetBall(0).timer, 9.5f);

  b.position = {0.7f, 0.0f, 0.0f};
  b.velocity = {1.0f, 0.0f, 0.0f};  // too fast, and heading out
  b.attractor = {0.7f, 0.5f, 0.0f};
  f.SetBall(0, b);
  f.Advance(0.5f);
  EXPECT_FLOAT_EQ(f.GetBall(0).position.x, 0.8f);  // clamped at 1 - cell
  EXPECT_EQ(f.GetBall(0).velocity.x, 0.0f);        // and stopped on that axis
  EXPECT_LE(glm::length(f.GetBall(0).velocity), 0.2f + 1e-6f);
}

TEST(MetaballField, ReseedingRepeatsTheBallsMotion) {
  // Two fields seeded alike move alike however they started, so a show
  // rendered twice polygonises the same surfaces.
  MetaballField a(123u), b(987u);
  a.Seed(42u);
  b.Seed(42u);
  for (int step = 0; step < 50; ++step) {
    a.Advance(0.04f);
    b.Advance(0.04f);
  }
  for (int i = 0; i < MetaballField::kBallCount; ++i) {
    EXPECT_EQ(a.GetBall(i).position[0], b.GetBall(i).position[0]) << i;
    EXPECT_EQ(a.GetBall(i).position[1], b.GetBall(i).position[1]) << i;
    EXPECT_EQ(a.GetBall(i).attractor[2], b.GetBall(i).attractor[2]) << i;
  }
  MetaballField c(42u), d(42u);
  c.Seed(43u);
  bool differs = false;
  for (int i = 0; i < MetaballField::kBallCount; ++i) differs |= c.GetBall(i).attractor[0] != d.GetBall(i).attractor[0];
  EXPECT_TRUE(differs);
}

// The cube-face table is what the face masks say: bit k when the pattern's
// corners on face k are mixed, for every one of the 256 patterns.
TEST(MarchingCubes, TheCubeFaceTableComesFromTheFaceMasks) {
  const std::uint8_t masks[6] = {0x66, 0x99, 0xF0, 0x0F, 0xCC, 0x33};
  for (int p = 0; p < 256; ++p) {
    std::uint8_t want = 0;
    for (int k = 0; k < 6; ++k) {
      const int on = p & masks[k];
      if (on != 0 && on != masks[k]) want |= std::uint8_t(1 << k);
    }
    EXPECT_EQ(mc::CubeFaceTable()[static_cast<std::size_t>(p)], want) << p;
  }
  // The masks name the faces whose neighbours the table points to: the +x
  // face holds corners 1, 2, 5, 6, all at x offset 1.
  for (int k = 0; k < 6; ++k)
    for (int c = 0; c < 8; ++c) {
      if (!(masks[k] & (1 << c))) continue;
      for (int axis = 0; axis < 3; ++axis) {
        const int n = mc::kFaceNeighbour[k][axis];
        if (n > 0) {
          EXPECT_EQ(mc::kCornerOffset[c][axis], 1) << k << " " << c;
        }
        if (n < 0) {
          EXPECT_EQ(mc::kCornerOffset[c][axis], 0) << k << " " << c;
        }
      }
    }
}

namespace {

// Welds the batches by position (exactly: a vertex shared by two cubes is
// made the same way by both) and counts the edges that are not shared by
// exactly two triangles, once each way.
struct Welded {
  std::map<std::tuple<float, float, float>, int> ids;
  std::map<std::pair<int, int>, int> directed;
  int Id(const glm::vec3& p) { return ids.emplace(std::make_tuple(p.x, p.y, p.z), int(ids.size())).first->second; }
  explicit Welded(const Collector& sink) {
    for (const auto& tri : sink.triangles) {
      const int a = Id(tri[0]), b = Id(tri[1]), c = Id(tri[2]);
      ++directed[{a, b}], ++directed[{b, c}], ++directed[{c, a}];
    }
  }
  int OpenEdges() const {
    int open = 0;
    for (const auto& [e, count] : directed) {
      const auto back = directed.find({e.second, e.first});
      open += count != 1 || back == directed.end() || back->second != 1;
    }
    return open;
  }
  // Pieces of surface that share no vertex.
  int Components() const {
    std::vector<int> parent(ids.size());
    for (std::size_t i = 0; i < parent.size(); ++i) parent[i] = int(i);
    auto find = [&](int x) {
      while (parent[static_cast<std::size_t>(x)] != x) x = parent[static_cast<std::size_t>(x)] = parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(x)])];
      return x;
    };
    for (const auto& [e, count] : directed) parent[static_cast<std::size_t>(find(e.first))] = find(e.second);
    int roots = 0;
    for (std::size_t i = 0; i < parent.size(); ++i) roots += find(int(i)) == int(i);
    return roots;
  }
};
int OpenEdges(const Collector& sink) { return Welded(sink).OpenEdges(); }

}  // namespace

// One ball alone, two apart and two close enough to merge: each surface is
// closed, every edge shared by exactly two triangles, and the merged pair
// is one piece where the pair apart is two.
TEST(MetaballField, OneBallAndTwoMergingBallsGiveClosedSurfaces) {
  struct Case {
    const char* what;
    std::vector<glm::vec3> at;
    int pieces;
  };
  // Strength 0.4 at level 10: a lone ball's surface has radius 0.2. (No
  // grid point may lie exactly at the level: its vertices would collapse
  // onto it.)
  const Case cases[] = {
      {"one ball", {{0.1f, -0.05f, 0.02f}}, 1},
      {"two apart", {{-0.5f, 0.0f, 0.0f}, {0.5f, 0.0f, 0.0f}}, 2},
      {"two merging", {{-0.19f, 0.013f, 0.0f}, {0.19f, 0.0f, 0.007f}}, 1},
  };
  for (const Case& c : cases) {
    MetaballField f(11);
    f.SetGridSize(40);
    for (int i = 0; i < MetaballField::kBallCount; ++i) {
      MetaBall b;
      const bool used = i < static_cast<int>(c.at.size());
      b.position = used ? c.at[static_cast<std::size_t>(i)] : glm::vec3(0.0f);
      b.strength = used ? 0.4f : 0.0f;  // the others add nothing to the field
      f.SetBall(i, b);
    }
    Collector sink;
    f.Polygonise(sink);
    ASSERT_FALSE(sink.triangles.empty()) << c.what;
    EXPECT_FALSE(sink.indexOutOfRange) << c.what;
    const Welded w(sink);
    EXPECT_EQ(w.OpenEdges(), 0) << c.what;
    EXPECT_EQ(w.Components(), c.pieces) << c.what;
  }
}

// A surface larger than one batch is cut where a cube brings the batch to
// the mark, and nothing is lost between the batches.
TEST(MetaballField, BatchesAreCutAtTheMarkAndLoseNothing) {
  MetaballField f = FiveBalls(64);
  Collector sink;
  f.Polygonise(sink);
  ASSERT_GE(sink.batches.size(), 3u);
  int total = 0;
  for (std::size_t b = 0; b < sink.batches.size(); ++b) {
    total += sink.batches[b].indices;
    if (b + 1 < sink.batches.size()) {
      EXPECT_GE(sink.batches[b].indices, MetaballField::kBatchIndices);
      // A cube adds at most 12 triangles past the mark.
      EXPECT_LT(sink.batches[b].indices, MetaballField::kBatchIndices + 3 * mc::kMaxTriangles);
    }
    EXPECT_EQ(sink.batches[b].indices % 3, 0);
  }
  EXPECT_EQ(static_cast<std::size_t>(total), 3 * sink.triangles.size());
  EXPECT_EQ(OpenEdges(sink), 0);
}
