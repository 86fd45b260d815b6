#include "effects/MetaballField.h"

#include <algorithm>
#include <chrono>
#include <utility>

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
  m_fieldValues.assign(points, 0.0f);
  m_pointFlags.assign(points, 0);
  m_cubeFlags.assign(cubes, 0);
  m_edgeVertex.assign(points * 3, 0u);
  m_batchSerial = 1;
  m_cubeList.clear();
  m_vertexCount = m_indexCount = 0;
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

float MetaballField::FieldAt(const glm::vec3& x) const {
  float sum = 0;
  for (int i = 0; i < m_ballCount; ++i) {
    const MetaBall& b = m_balls[static_cast<std::size_t>(i)];
    const glm::vec3 d = x - b.position;
    sum += b.strength / std::max(glm::dot(d, d), 0.0001f);
  }
  return sum;
}

glm::vec3 MetaballField::NormalAt(const glm::vec3& x) const {
  glm::vec3 n(0.0f);
  for (int i = 0; i < m_ballCount; ++i) {
    const MetaBall& b = m_balls[static_cast<std::size_t>(i)];
    const glm::vec3 d = x - b.position;
    const float r2 = glm::dot(d, d);
    if (r2 > 0) n += 2.0f * b.strength * d / (r2 * r2);
  }
  const float length = glm::length(n);
  return length > 0 ? n / length : glm::vec3(0.0f, 1.0f, 0.0f);
}

glm::vec3 MetaballField::PointPosition(int i, int j, int k) const {
  return {float(i) * m_cellSize - 1.0f, float(j) * m_cellSize - 1.0f, float(k) * m_cellSize - 1.0f};
}

float MetaballField::PointValue(int i, int j, int k) {
  const std::size_t p = PointIndex(i, j, k);
  if (m_pointFlags[p]) return m_fieldValues[p];
  const int n = m_gridSize;
  // The grid's boundary is outside, so every surface closes inside it.
  const bool boundary = i == 0 || j == 0 || k == 0 || i == n || j == n || k == n;
  m_fieldValues[p] = boundary ? 0.0f : FieldAt(PointPosition(i, j, k));
  m_pointFlags[p] = 1;
  return m_fieldValues[p];
}

// ---- the surface --------------------------------------------------------------

int MetaballField::PolygoniseCube(int i, int j, int k) {
  float value[8];
  int pattern = 0;
  for (int c = 0; c < 8; ++c) {
    value[c] = PointValue(i + mc::kCornerOffset[c][0], j + mc::kCornerOffset[c][1], k + mc::kCornerOffset[c][2]);
    if (value[c] > m_level) pattern |= 1 << c;
  }
  m_cubeFlags[CubeIndex(i, j, k)] = 1;
  ++m_cubesVisited;
  const mc::Case& cs = mc::TriangleTable()[static_cast<std::size_t>(pattern)];
  for (int t = 0; t < cs.triangleCount * 3; ++t) {
    const int e = cs.edges[static_cast<std::size_t>(t)];
    int a = mc::kEdgeCorners[e][0], b = mc::kEdgeCorners[e][1];
    // Always from the edge's lower grid point: the cube on the other side
    // of a face then makes the very same vertex, bit for bit, and the
    // surface has no hairline cracks.
    const int* oa = mc::kCornerOffset[a];
    const int* ob = mc::kCornerOffset[b];
    if (oa[0] + oa[1] + oa[2] > ob[0] + ob[1] + ob[2]) {
      std::swap(a, b);
      std::swap(oa, ob);
    }
    const int axis = ob[0] != oa[0] ? 0 : ob[1] != oa[1] ? 1 : 2;
    const int pi = i + oa[0], pj = j + oa[1], pk = k + oa[2];
    // One vertex per grid edge and batch, whichever of its four cubes
    // meets it first.
    const std::size_t edge = PointIndex(pi, pj, pk) * 3 + static_cast<std::size_t>(axis);
    std::uint32_t& slot = m_edgeVertex[edge];
    if ((slot >> kEdgeIndexBits) != m_batchSerial) {
      const float denominator = value[b] - value[a];
      const float s = denominator != 0 ? (m_level - value[a]) / denominator : 0.5f;
      glm::vec3 x = PointPosition(pi, pj, pk);
      x[axis] += m_cellSize * std::clamp(s, 0.0f, 1.0f);
      const glm::vec3 n = NormalAt(x);
      MetaballVertex& v = m_vertices[static_cast<std::size_t>(m_vertexCount)];
      v = MetaballVertex{{x.x, x.y, x.z}, {n.x, n.y, n.z}, {n.x * 0.5f + 0.5f, 0.5f - n.y * 0.5f}};
      slot = m_batchSerial << kEdgeIndexBits | static_cast<std::uint32_t>(m_vertexCount++);
    }
    m_indices[static_cast<std::size_t>(m_indexCount++)] = slot & ((1u << kEdgeIndexBits) - 1);
  }
  return pattern;
}

void MetaballField::NextBatch() {
  // Stamps tell this batch's vertices from older ones without clearing;
  // only a wrap of the counter needs the table cleared.
  if (++m_batchSerial >= (1u << (32 - kEdgeIndexBits))) {
    std::fill(m_edgeVertex.begin(), m_edgeVertex.end(), 0u);
    m_batchSerial = 1;
  }
}

void MetaballField::QueueNeighbours(int i, int j, int k, int pattern) {
  const std::uint8_t faces = mc::CubeFaceTable()[static_cast<std::size_t>(pattern)];
  for (int f = 0; f < 6; ++f) {
    if (!(faces & (1 << f))) continue;
    const int ni = i + mc::kFaceNeighbour[f][0], nj = j + mc::kFaceNeighbour[f][1], nk = k + mc::kFaceNeighbour[f][2];
    if (ni < 0 || nj < 0 || nk < 0 || ni >= m_gridSize || nj >= m_gridSize || nk >= m_gridSize) continue;
    std::uint8_t& flag = m_cubeFlags[CubeIndex(ni, nj, nk)];
    if (flag) continue;
    flag = 2;
    m_cubeList.push_back({ni, nj, nk});
  }
}

void MetaballField::Flush(MetaballBatchSink& sink) {
  if (m_indexCount > 0) sink.DrawBatch(m_vertices.data(), m_vertexCount, m_indices.data(), m_indexCount);
  m_vertexCount = m_indexCount = 0;
  NextBatch();
}

void MetaballField::Polygonise(MetaballBatchSink& sink) {
  m_cubesVisited = 0;
  m_vertexCount = m_indexCount = 0;
  if (m_gridSize <= 0) return;
  // A batch holds up to 2969 indices before its last cube; a cube adds at
  // most one vertex per index.
  const std::size_t room = kBatchIndices + 3 * mc::kMaxTriangles;
  if (m_vertices.size() < room) m_vertices.resize(room);
  if (m_indices.size() < room) m_indices.resize(room);
  std::fill(m_pointFlags.begin(), m_pointFlags.end(), std::uint8_t{0});
  std::fill(m_cubeFlags.begin(), m_cubeFlags.end(), std::uint8_t{0});
  m_cubeList.clear();
  NextBatch();
  auto afterCube = [&] {
    if (m_indexCount >= kBatchIndices) Flush(sink);
  };
  const int n = m_gridSize;
  for (int b = 0; b < m_ballCount; ++b) {
    const glm::vec3& p = m_balls[static_cast<std::size_t>(b)].position;
    int cube[3];
    for (int c = 0; c < 3; ++c)
      cube[c] = std::clamp(static_cast<int>((p[c] + 1.0f) / m_cellSize + 0.5f), 0, n - 1);
    // Down from the ball until the surface is met (or the grid ends).
    for (;;) {
      if (m_cubeFlags[CubeIndex(cube[0], cube[1], cube[2])] == 1) break;
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
