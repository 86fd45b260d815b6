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
  m_cubeList.resize(32);
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

void MetaballField::SetGridSize(int n) {
  n = std::clamp(n, 1, 128);
  m_gridSize = n;
  m_cellSize = 2.0f / static_cast<float>(n);
  const auto points = static_cast<std::size_t>(n + 1) * (n + 1) * (n + 1);
  m_grid.assign(points, GridPoint{0.0f, 0u, 0u, {0u, 0u, 0u}});
  for (int k = 0; k <= n; ++k)
    for (int j = 0; j <= n; ++j)
      for (int i = 0; i <= n; ++i)
        // The grid's boundary is outside, so every surface closes inside it.
        if (i == 0 || j == 0 || k == 0 || i == n || j == n || k == n) m_grid[PointIndex(i, j, k)].stamp = kForever;
  m_frame = 0;
  m_coord.resize(static_cast<std::size_t>(n) + 1);
  for (int i = 0; i <= n; ++i) m_coord[static_cast<std::size_t>(i)] = float(i) * m_cellSize - 1.0f;
  for (int f = 0; f < 6; ++f)
    m_faceDelta[static_cast<std::size_t>(f)] = static_cast<std::ptrdiff_t>(
        PointIndex(1 + mc::kFaceNeighbour[f][0], 1 + mc::kFaceNeighbour[f][1], 1 + mc::kFaceNeighbour[f][2])) -
        static_cast<std::ptrdiff_t>(PointIndex(1, 1, 1));
  for (int c = 0; c < 8; ++c)
    m_cornerDelta[static_cast<std::size_t>(c)] = static_cast<std::uint32_t>(
        PointIndex(mc::kCornerOffset[c][0], mc::kCornerOffset[c][1], mc::kCornerOffset[c][2]));
  for (int e = 0; e < 12; ++e)
    m_edgeDelta[static_cast<std::size_t>(e)] =
        m_cornerDelta[static_cast<std::size_t>(kEdgeEnds[e].lower)] * 3 + static_cast<std::uint32_t>(kEdgeEnds[e].axis);
  // Room for a frame of a surface of this grid's size, so frames do not
  // allocate; a larger surface grows it once.
  const auto frameVertices = std::max<std::size_t>(8u * static_cast<std::size_t>(n) * static_cast<std::size_t>(n),
                                                   kBatchIndices + 3 * mc::kMaxTriangles);
  m_vertices.assign(frameVertices, MetaballVertex{});
  m_vertexEdge.assign(frameVertices, 0u);
  m_indices.assign(kBatchIndices + 3 * mc::kMaxTriangles, 0u);
  m_frameVertices = m_batchBase = 0;
  // The queue too: it grows by doubling should a surface need more.
  m_cubeList.resize(std::max<std::size_t>(m_cubeList.size(), frameVertices));
  m_queued = 0;
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

void MetaballField::NextFrame() {
  // Queued and done stamps are 2 × frame and 2 × frame + 1; before they
  // run out, every stamp goes back to 0 (boundary points keep theirs).
  if (++m_frame >= 0x7FFFFFFFu) {
    for (GridPoint& p : m_grid) {
      if (p.stamp != kForever) p.stamp = 0;
      p.cubeStamp = 0;
    }
    m_frame = 1;
  }
}

void MetaballField::GrowVertices() {
  m_vertices.resize(m_vertices.size() * 2);
  m_vertexEdge.resize(m_vertexEdge.size() * 2);
}

std::uint32_t MetaballField::NewEdgeVertex(std::uint32_t& latest, std::uint32_t edge, int pi, int pj, int pk, int axis,
                                           float va, float vb) {
  const std::uint32_t made = latest;
  const std::uint32_t at = m_frameVertices;
  if (made < at && m_vertexEdge[made] == edge) {
    // An earlier batch made it; the same inputs would make the same bits.
    m_vertices[at] = m_vertices[made];
  } else {
    // Always from the edge's lower grid point: the cube on the other side
    // of a face then makes the very same vertex, bit for bit, and the
    // surface has no hairline cracks.
    const float denominator = vb - va;
    const float s = denominator != 0 ? (m_level - va) / denominator : 0.5f;
    float p[3] = {m_coord[static_cast<std::size_t>(pi)], m_coord[static_cast<std::size_t>(pj)],
                  m_coord[static_cast<std::size_t>(pk)]};
    p[axis] += m_cellSize * std::clamp(s, 0.0f, 1.0f);
    const glm::vec3 x(p[0], p[1], p[2]);
    const glm::vec3 n = m_sampler.Normal(x);
    m_vertices[at] = MetaballVertex{{x.x, x.y, x.z}, {n.x, n.y, n.z}, {n.x * 0.5f + 0.5f, 0.5f - n.y * 0.5f}};
  }
  m_vertexEdge[at] = edge;
  latest = at;
  ++m_frameVertices;
  return at - m_batchBase;
}

int MetaballField::PolygoniseCube(int i, int j, int k) {
  const std::size_t p0 = PointIndex(i, j, k);
  GridPoint* const cube = &m_grid[p0];
  GridPoint* corner[8];
  unsigned missing = 0;
#pragma GCC unroll 8
  for (int c = 0; c < 8; ++c) {
    corner[c] = cube + m_cornerDelta[static_cast<std::size_t>(c)];
    missing |= unsigned(corner[c]->stamp < m_frame) << c;
  }
  // Corners not yet sampled this frame are sampled together, a lane each.
  const float* const coord = m_coord.data();
  while (missing) {
    float x[4]{}, y[4]{}, z[4]{}, value[4];
    int lane[4];
    int count = 0;
    for (; missing && count < 4; missing &= missing - 1, ++count) {
      const int c = __builtin_ctz(missing);
      lane[count] = c;
      x[count] = coord[i + mc::kCornerOffset[c][0]];
      y[count] = coord[j + mc::kCornerOffset[c][1]];
      z[count] = coord[k + mc::kCornerOffset[c][2]];
    }
    m_sampler.Values4(x, y, z, value);
    for (int l = 0; l < count; ++l) {
      GridPoint& point = *corner[lane[l]];
      point.value = value[l];
      point.stamp = m_frame;
    }
  }
  float value[8];
  int pattern = 0;
#pragma GCC unroll 8
  for (int c = 0; c < 8; ++c) {
    value[c] = corner[c]->value;
    pattern |= (value[c] > m_level) << c;
  }
  cube->cubeStamp = 2 * m_frame + 1;
  ++m_cubesVisited;
  const CaseEdges& cs = CaseEdgeTable()[static_cast<std::size_t>(pattern)];
  if (cs.edgeCount == 0) return pattern;
  if (m_frameVertices + 12 > m_vertices.size()) GrowVertices();
  std::uint32_t vertex[12];
  for (int u = 0; u < cs.edgeCount; ++u) {
    const int e = cs.edges[static_cast<std::size_t>(u)];
    const EdgeEnds& ends = kEdgeEnds[e];
    GridPoint& lower = *corner[ends.lower];
    // One vertex per grid edge and batch, whichever of its four cubes
    // meets it first.
    const auto edge = static_cast<std::uint32_t>(p0 * 3) + m_edgeDelta[e];
    const std::uint32_t made = lower.edgeVertex[ends.axis];
    if (made >= m_batchBase && made < m_frameVertices && m_vertexEdge[made] == edge) {
      vertex[u] = made - m_batchBase;
      continue;
    }
    const int* o = mc::kCornerOffset[ends.lower];
    vertex[u] = NewEdgeVertex(lower.edgeVertex[ends.axis], edge, i + o[0], j + o[1], k + o[2], ends.axis,
                              value[ends.lower], value[ends.upper]);
  }
  std::uint32_t* out = &m_indices[static_cast<std::size_t>(m_indexCount)];
  for (int t = 0; t < cs.indexCount; ++t) out[t] = vertex[cs.local[static_cast<std::size_t>(t)]];
  m_indexCount += cs.indexCount;
  return pattern;
}

void MetaballField::QueueNeighbours(int i, int j, int k, int pattern) {
  const int last = m_gridSize - 1;
  // The faces the surface crosses, less those on the grid's side.
  unsigned faces = m_faceTable[static_cast<std::size_t>(pattern)];
  faces &= unsigned(i < last) | unsigned(i > 0) << 1 | unsigned(j < last) << 2 | unsigned(j > 0) << 3 |
           unsigned(k < last) << 4 | unsigned(k > 0) << 5;
  if (m_queued + 6 > m_cubeList.size()) m_cubeList.resize(m_cubeList.size() * 2);
  const std::uint32_t queued = 2 * m_frame;
  GridPoint* const cube = &m_grid[PointIndex(i, j, k)];
  for (; faces; faces &= faces - 1) {
    const int f = __builtin_ctz(faces);
    std::uint32_t& stamp = cube[m_faceDelta[static_cast<std::size_t>(f)]].cubeStamp;
    if (stamp >= queued) continue;  // queued or done this frame
    stamp = queued;
    m_cubeList[m_queued++] = {i + mc::kFaceNeighbour[f][0], j + mc::kFaceNeighbour[f][1], k + mc::kFaceNeighbour[f][2]};
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
  m_faceTable = mc::CubeFaceTable().data();
  m_queued = 0;
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
      if (m_grid[PointIndex(cube[0], cube[1], cube[2])].cubeStamp == done) break;
      const int pattern = PolygoniseCube(cube[0], cube[1], cube[2]);
      afterCube();
      if (pattern == 255) {
        if (cube[2] == 0) break;
        --cube[2];
        continue;
      }
      QueueNeighbours(cube[0], cube[1], cube[2], pattern);
      while (m_queued > 0) {
        const std::array<std::int32_t, 3> q = m_cubeList[--m_queued];
        const int pq = PolygoniseCube(q[0], q[1], q[2]);
        afterCube();
        QueueNeighbours(q[0], q[1], q[2], pq);
      }
      break;
    }
  }
  Flush(sink);
}
