#include "effects/MetaballField.h"

#include <algorithm>
#include <chrono>

#include <glm/geometric.hpp>

#include "effects/MarchingCubes.h"

MetaballField::MetaballField()
    : MetaballField(static_cast<std::uint32_t>(
          std::chrono::duration_cast<std::chrono::milliseconds>(
              std::chrono::steady_clock::now().time_since_epoch())
              .count())) {}

MetaballField::MetaballField(std::uint32_t seed) : m_random(seed) {
  m_cubeList.reserve(32);
  for (int i = 0; i < kBallCount; ++i) NewTarget(i);
}

void MetaballField::Seed(std::uint32_t seed) {
  m_random = CRuntimeRandom(seed);
  for (int i = 0; i < kBallCount; ++i) NewTarget(i);
}

int MetaballField::NextRandom() { return m_random.Next(); }

void MetaballField::NewTarget(int i) {
  auto& b = m_balls[static_cast<std::size_t>(i)];
  for (int c = 0; c < 3; ++c)
    b.attractor[c] = (static_cast<float>(NextRandom()) / 32767.0f * 2.0f - 1.0f) * 0.5f;
  b.timer = static_cast<float>(NextRandom()) / 32767.0f;
}

void MetaballField::SetGridSize(int n) {
  n = std::clamp(n, 1, 128);
  m_gridSize = n;
  m_cellSize = 2.0f / static_cast<float>(n);
  const auto points = static_cast<std::size_t>(n + 1) * (n + 1) * (n + 1);
  const auto cubes = static_cast<std::size_t>(n) * n * n;
  m_points.assign(points, PointSample{0.0f, 0u});
  for (int k = 0; k <= n; ++k)
    for (int j = 0; j <= n; ++j)
      for (int i = 0; i <= n; ++i)
        // The grid's boundary is outside, so every surface closes inside it.
        if (i == 0 || j == 0 || k == 0 || i == n || j == n || k == n) m_points[PointIndex(i, j, k)] = {0.0f, kForever};
  m_cubeStamps.assign(cubes, 0u);
  m_frame = 0;
  m_edgeVertex.assign(points * 3, 0u);
  for (int c = 0; c < 8; ++c)
    m_cornerDelta[static_cast<std::size_t>(c)] = static_cast<std::uint32_t>(
        PointIndex(mc::kCornerOffset[c][0], mc::kCornerOffset[c][1], mc::kCornerOffset[c][2]));
  for (int e = 0; e < 12; ++e) {
    const int* oa = mc::kCornerOffset[mc::kEdgeCorners[e][0]];
    const int* ob = mc::kCornerOffset[mc::kEdgeCorners[e][1]];
    const int axis = ob[0] != oa[0] ? 0 : ob[1] != oa[1] ? 1 : 2;
    const int lower[3] = {std::min(oa[0], ob[0]), std::min(oa[1], ob[1]), std::min(oa[2], ob[2])};
    m_edgeDelta[static_cast<std::size_t>(e)] =
        static_cast<std::uint32_t>(PointIndex(lower[0], lower[1], lower[2]) * 3 + static_cast<std::size_t>(axis));
  }
  // Room for a frame of a surface of this grid's size, so frames do not
  // allocate; a larger surface grows it once.
  const auto frameVertices = std::max<std::size_t>(8u * static_cast<std::size_t>(n) * static_cast<std::size_t>(n),
                                                   kBatchIndices + 3 * mc::kMaxTriangles);
  m_vertices.assign(frameVertices, MetaballVertex{});
  m_vertexEdge.assign(frameVertices, 0u);
  m_indices.assign(kBatchIndices + 3 * mc::kMaxTriangles, 0u);
  m_frameVertices = m_batchBase = 0;
  m_cubeList.clear();
  m_indexCount = 0;
}

// ---- motion -------------------------------------------------------------------

void MetaballField::Advance(float dt) {
  for (int i = 0; i < m_ballCount; ++i) {
    MetaBall& b = m_balls[static_cast<std::size_t>(i)];
    b.position += b.velocity * dt;
    b.timer -= dt;
    if (b.timer < 0) NewTarget(i);
    const glm::vec3 d = b.attractor - b.position;
    const float length = glm::length(d);
    if (length > 0) b.velocity += d / length * 0.1f * dt;
    if (glm::dot(b.velocity, b.velocity) > 0.04f) b.velocity = glm::normalize(b.velocity) * 0.2f;
    const float bound = 1.0f - m_cellSize;
    for (int c = 0; c < 3; ++c) {
      const float clamped = std::clamp(b.position[c], m_cellSize - 1.0f, bound);
      if (clamped != b.position[c]) {
        b.position[c] = clamped;
        b.velocity[c] = 0.0f;
      }
    }
  }
}

// ---- the field ----------------------------------------------------------------

float MetaballField::FieldAt(const glm::vec3& x) const { return Sampler().Value(x.x, x.y, x.z); }

glm::vec3 MetaballField::NormalAt(const glm::vec3& x) const { return Sampler().Normal(x); }

// ---- the surface --------------------------------------------------------------

namespace {

// A case's triangles by the distinct edges they use, in the order the
// triangles first use them: each edge's vertex is looked up once per cube.
struct CaseEdges {
  std::uint8_t edgeCount = 0;
  std::uint8_t indexCount = 0;
  std::array<std::uint8_t, 12> edges{};
  std::array<std::uint8_t, 3 * mc::kMaxTriangles> local{};  // into edges
};

std::array<CaseEdges, 256> BuildCaseEdges() {
  std::array<CaseEdges, 256> table{};
  for (std::size_t p = 0; p < 256; ++p) {
    const mc::Case& cs = mc::TriangleTable()[p];
    CaseEdges& out = table[p];
    int slot[12];
    std::fill(std::begin(slot), std::end(slot), -1);
    for (int t = 0; t < cs.triangleCount * 3; ++t) {
      const int e = cs.edges[static_cast<std::size_t>(t)];
      if (slot[e] < 0) {
        slot[e] = out.edgeCount;
        out.edges[out.edgeCount++] = static_cast<std::uint8_t>(e);
      }
      out.local[out.indexCount++] = static_cast<std::uint8_t>(slot[e]);
    }
  }
  return table;
}

const std::array<CaseEdges, 256>& CaseEdgeTable() {
  static const std::array<CaseEdges, 256> table = BuildCaseEdges();
  return table;
}

// Each edge's lower and upper corner and its axis.
struct EdgeEnds {
  int lower, upper, axis;
};
constexpr EdgeEnds Ends(int e) {
  const int a = mc::kEdgeCorners[e][0], b = mc::kEdgeCorners[e][1];
  const int* oa = mc::kCornerOffset[a];
  const int* ob = mc::kCornerOffset[b];
  const bool swap = oa[0] + oa[1] + oa[2] > ob[0] + ob[1] + ob[2];
  const int axis = ob[0] != oa[0] ? 0 : ob[1] != oa[1] ? 1 : 2;
  return swap ? EdgeEnds{b, a, axis} : EdgeEnds{a, b, axis};
}
constexpr EdgeEnds kEdgeEnds[12] = {Ends(0), Ends(1), Ends(2), Ends(3), Ends(4),  Ends(5),
                                    Ends(6), Ends(7), Ends(8), Ends(9), Ends(10), Ends(11)};

}  // namespace

void MetaballField::NextFrame() {
  // Queued and done stamps are 2 × frame and 2 × frame + 1; before they
  // run out, every stamp goes back to 0 (boundary points keep theirs).
  if (++m_frame >= 0x7FFFFFFFu) {
    for (PointSample& p : m_points)
      if (p.stamp != kForever) p.stamp = 0;
    std::fill(m_cubeStamps.begin(), m_cubeStamps.end(), 0u);
    m_frame = 1;
  }
}

void MetaballField::GrowVertices() {
  m_vertices.resize(m_vertices.size() * 2);
  m_vertexEdge.resize(m_vertexEdge.size() * 2);
}

std::uint32_t MetaballField::EdgeVertex(std::uint32_t edge, int pi, int pj, int pk, int axis, float va, float vb) {
  const std::uint32_t made = m_edgeVertex[edge];
  const std::uint32_t at = m_frameVertices;
  if (made < at && m_vertexEdge[made] == edge) {
    if (made >= m_batchBase) return made - m_batchBase;
    // An earlier batch made it; the same inputs would make the same bits.
    m_vertices[at] = m_vertices[made];
  } else {
    // Always from the edge's lower grid point: the cube on the other side
    // of a face then makes the very same vertex, bit for bit, and the
    // surface has no hairline cracks.
    const float denominator = vb - va;
    const float s = denominator != 0 ? (m_level - va) / denominator : 0.5f;
    glm::vec3 x(float(pi) * m_cellSize - 1.0f, float(pj) * m_cellSize - 1.0f, float(pk) * m_cellSize - 1.0f);
    x[axis] += m_cellSize * std::clamp(s, 0.0f, 1.0f);
    const glm::vec3 n = m_sampler.Normal(x);
    m_vertices[at] = MetaballVertex{{x.x, x.y, x.z}, {n.x, n.y, n.z}, {n.x * 0.5f + 0.5f, 0.5f - n.y * 0.5f}};
  }
  m_vertexEdge[at] = edge;
  m_edgeVertex[edge] = at;
  ++m_frameVertices;
  return at - m_batchBase;
}

int MetaballField::PolygoniseCube(int i, int j, int k) {
  const std::size_t p0 = PointIndex(i, j, k);
  float value[8];
  int pattern = 0;
  for (int c = 0; c < 8; ++c) {
    PointSample& point = m_points[p0 + m_cornerDelta[static_cast<std::size_t>(c)]];
    // Computed once per frame, by the first cube that needs it.
    if (point.stamp < m_frame) {
      point.value = m_sampler.Value(float(i + mc::kCornerOffset[c][0]) * m_cellSize - 1.0f,
                                    float(j + mc::kCornerOffset[c][1]) * m_cellSize - 1.0f,
                                    float(k + mc::kCornerOffset[c][2]) * m_cellSize - 1.0f);
      point.stamp = m_frame;
    }
    value[c] = point.value;
    if (value[c] > m_level) pattern |= 1 << c;
  }
  m_cubeStamps[CubeIndex(i, j, k)] = 2 * m_frame + 1;
  ++m_cubesVisited;
  const CaseEdges& cs = CaseEdgeTable()[static_cast<std::size_t>(pattern)];
  if (cs.edgeCount == 0) return pattern;
  if (m_frameVertices + 12 > m_vertices.size()) GrowVertices();
  std::uint32_t vertex[12];
  for (int u = 0; u < cs.edgeCount; ++u) {
    const int e = cs.edges[static_cast<std::size_t>(u)];
    const EdgeEnds& ends = kEdgeEnds[e];
    const int* o = mc::kCornerOffset[ends.lower];
    // One vertex per grid edge and batch, whichever of its four cubes
    // meets it first.
    vertex[u] = EdgeVertex(static_cast<std::uint32_t>(p0 * 3) + m_edgeDelta[static_cast<std::size_t>(e)], i + o[0],
                           j + o[1], k + o[2], ends.axis, value[ends.lower], value[ends.upper]);
  }
  std::uint32_t* out = &m_indices[static_cast<std::size_t>(m_indexCount)];
  for (int t = 0; t < cs.indexCount; ++t) out[t] = vertex[cs.local[static_cast<std::size_t>(t)]];
  m_indexCount += cs.indexCount;
  return pattern;
}

void MetaballField::QueueNeighbours(int i, int j, int k, int pattern) {
  const std::uint8_t faces = mc::CubeFaceTable()[static_cast<std::size_t>(pattern)];
  const std::uint32_t queued = 2 * m_frame;
  for (int f = 0; f < 6; ++f) {
    if (!(faces & (1 << f))) continue;
    const int ni = i + mc::kFaceNeighbour[f][0], nj = j + mc::kFaceNeighbour[f][1], nk = k + mc::kFaceNeighbour[f][2];
    if (ni < 0 || nj < 0 || nk < 0 || ni >= m_gridSize || nj >= m_gridSize || nk >= m_gridSize) continue;
    std::uint32_t& stamp = m_cubeStamps[CubeIndex(ni, nj, nk)];
    if (stamp >= queued) continue;  // queued or done this frame
    stamp = queued;
    m_cubeList.push_back({ni, nj, nk});
  }
}

void MetaballField::Flush(MetaballBatchSink& sink) {
  if (m_indexCount > 0)
    sink.DrawBatch(m_vertices.data() + m_batchBase, static_cast<int>(m_frameVertices - m_batchBase), m_indices.data(),
                   m_indexCount);
  m_batchBase = m_frameVertices;
  m_indexCount = 0;
}

void MetaballField::Polygonise(MetaballBatchSink& sink) {
  m_cubesVisited = 0;
  m_indexCount = 0;
  m_frameVertices = m_batchBase = 0;
  if (m_gridSize <= 0) return;
  NextFrame();
  m_sampler = Sampler();
  m_cubeList.clear();
  auto afterCube = [&] {
    if (m_indexCount >= kBatchIndices) Flush(sink);
  };
  const int n = m_gridSize;
  const std::uint32_t done = 2 * m_frame + 1;
  for (int b = 0; b < m_ballCount; ++b) {
    const glm::vec3& p = m_balls[static_cast<std::size_t>(b)].position;
    int cube[3];
    for (int c = 0; c < 3; ++c)
      cube[c] = std::clamp(static_cast<int>((p[c] + 1.0f) / m_cellSize + 0.5f), 0, n - 1);
    // Down from the ball until the surface is met (or the grid ends).
    for (;;) {
      if (m_cubeStamps[CubeIndex(cube[0], cube[1], cube[2])] == done) break;
      const int pattern = PolygoniseCube(cube[0], cube[1], cube[2]);
      afterCube();
      if (pattern == 255) {
        if (cube[2] == 0) break;
        --cube[2];
        continue;
      }
      QueueNeighbours(cube[0], cube[1], cube[2], pattern);
      while (!m_cubeList.empty()) {
        const std::array<std::int32_t, 3> q = m_cubeList.back();
        m_cubeList.pop_back();
        const int pq = PolygoniseCube(q[0], q[1], q[2]);
        afterCube();
        QueueNeighbours(q[0], q[1], q[2], pq);
      }
      break;
    }
  }
  Flush(sink);
}
