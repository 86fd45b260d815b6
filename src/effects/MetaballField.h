#pragma once
// The metaball field drawn by metaball objects: five balls wandering towards
// random attractors, and the surface where their field reaches the level,
// polygonised on a grid by following it from each ball's cube, so the cost
// follows the surface and not the grid. The geometry is handed out in
// batches; the renderer draws each through its dynamic mesh.
#include <array>
#include <cstddef>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include <glm/vec3.hpp>

#include "effects/CRuntimeRandom.h"

struct MetaBall {
  glm::vec3 position{0.0f};
  glm::vec3 velocity{0.0f};
  glm::vec3 attractor{0.0f};
  float timer = 0.0f;
  float strength = 1.0f;
};

// One vertex of the surface: position, normal, texture coordinate 0
// (32 bytes, the dynamic mesh's layout).
struct MetaballVertex {
  float position[3];
  float normal[3];
  float uv[2];
};
static_assert(sizeof(MetaballVertex) == 32);

// Receives the surface a batch at a time; the arrays are the field's own and
// stay valid only during the call.
class MetaballBatchSink {
 public:
  virtual ~MetaballBatchSink() = default;
  virtual void DrawBatch(const MetaballVertex* vertices, int vertexCount, const std::uint32_t* indices,
                         int indexCount) = 0;
};

// The balls laid out for sampling the field: one lane per ball in two
// four-wide vectors, so a sample costs two vector divisions where a loop
// over the balls costs five. The balls' terms are still added one at a time
// in ball order, so every sample is bit for bit the plain loop's.
class MetaballSampler {
 public:
  static constexpr int kMaxBalls = 8;

  MetaballSampler() = default;
  MetaballSampler(const MetaBall* balls, int count);

  // Σ strength / max(|x - position|², 0.0001).
  float Value(float x, float y, float z) const;
  // The same at four points at once, one per lane.
  void Values4(const float* x, const float* y, const float* z, float* out) const;
  // normalise(Σ 2 × strength × (x - position) / |x - position|⁴): the way
  // the field falls fastest, out of the surface; +y where it is flat.
  glm::vec3 Normal(const glm::vec3& x) const;

 private:
  using Lanes = float __attribute__((vector_size(16)));
  using Mask = std::int32_t __attribute__((vector_size(16)));
  static constexpr int kVectors = kMaxBalls / 4;
  static Lanes Splat(float v) { return Lanes{v, v, v, v}; }
  // a where the mask is set, b elsewhere.
  static Lanes Select(Mask m, Lanes a, Lanes b) { return (Lanes)((m & (Mask)a) | (~m & (Mask)b)); }
  // Lanes past the balls hold +0 or -0, which leave the sum as it is.
  static float SumInOrder(const Lanes* terms) {
    float sum = 0;
    for (int v = 0; v < kVectors; ++v)
      for (int l = 0; l < 4; ++l) sum += terms[v][l];
    return sum;
  }

  Lanes m_x[kVectors]{}, m_y[kVectors]{}, m_z[kVectors]{};
  Lanes m_strength[kVectors]{}, m_twiceStrength[kVectors]{};
  // The same balls one by one, for sampling four points at once.
  struct Ball {
    float x, y, z, strength;
  };
  Ball m_ball[kMaxBalls]{};
  int m_count = 0;
};

inline MetaballSampler::MetaballSampler(const MetaBall* balls, int count)
    : m_count(count < 0 ? 0 : count > kMaxBalls ? kMaxBalls : count) {
  // Unused lanes hold a ball of no strength far away: its terms are zeros.
  for (int i = 0; i < kMaxBalls; ++i) {
    m_x[i / 4][i % 4] = m_y[i / 4][i % 4] = m_z[i / 4][i % 4] = 1000.0f;
  }
  for (int i = 0; i < m_count; ++i) {
    const MetaBall& b = balls[i];
    m_x[i / 4][i % 4] = b.position.x;
    m_y[i / 4][i % 4] = b.position.y;
    m_z[i / 4][i % 4] = b.position.z;
    m_strength[i / 4][i % 4] = b.strength;
    m_twiceStrength[i / 4][i % 4] = 2.0f * b.strength;
    m_ball[i] = {b.position.x, b.position.y, b.position.z, b.strength};
  }
}

inline float MetaballSampler::Value(float x, float y, float z) const {
  Lanes terms[kVectors];
  for (int v = 0; v < kVectors; ++v) {
    const Lanes dx = Splat(x) - m_x[v], dy = Splat(y) - m_y[v], dz = Splat(z) - m_z[v];
    const Lanes r2 = (dx * dx + dy * dy) + dz * dz;
    const Lanes floor = Splat(0.0001f);
    terms[v] = m_strength[v] / Select(r2 < floor, floor, r2);
  }
  return SumInOrder(terms);
}

inline void MetaballSampler::Values4(const float* x, const float* y, const float* z, float* out) const {
  Lanes px, py, pz;
  std::memcpy(&px, x, sizeof px);
  std::memcpy(&py, y, sizeof py);
  std::memcpy(&pz, z, sizeof pz);
  Lanes sum = Splat(0.0f);
#pragma GCC unroll 8
  for (int i = 0; i < m_count; ++i) {
    const Ball& b = m_ball[i];
    const Lanes dx = px - Splat(b.x), dy = py - Splat(b.y), dz = pz - Splat(b.z);
    const Lanes r2 = (dx * dx + dy * dy) + dz * dz;
    const Lanes floor = Splat(0.0001f);
    sum += Splat(b.strength) / Select(r2 < floor, floor, r2);
  }
  std::memcpy(out, &sum, sizeof sum);
}

inline glm::vec3 MetaballSampler::Normal(const glm::vec3& x) const {
  Lanes tx[kVectors], ty[kVectors], tz[kVectors];
  for (int v = 0; v < kVectors; ++v) {
    const Lanes dx = Splat(x.x) - m_x[v], dy = Splat(x.y) - m_y[v], dz = Splat(x.z) - m_z[v];
    const Lanes r2 = (dx * dx + dy * dy) + dz * dz;
    const Lanes r4 = r2 * r2;
    // A ball exactly at x adds nothing (its lanes divide by zero).
    const Mask apart = r2 > Splat(0.0f);
    // One division per lane: the three components share 2 × strength / r⁴.
    const Lanes weight = Select(apart, m_twiceStrength[v] / Select(apart, r4, Splat(1.0f)), Splat(0.0f));
    tx[v] = weight * dx;
    ty[v] = weight * dy;
    tz[v] = weight * dz;
  }
  const glm::vec3 n(SumInOrder(tx), SumInOrder(ty), SumInOrder(tz));
  const float length = std::sqrt((n.x * n.x + n.y * n.y) + n.z * n.z);
  return length > 0 ? glm::vec3(n.x / length, n.y / length, n.z / length) : glm::vec3(0.0f, 1.0f, 0.0f);
}

class MetaballField {
 public:
  static constexpr int kBallCount = 5;
  static constexpr float kDefaultLevel = 10.0f;
  // The dynamic mesh: 12000 faces and 3000 vertices; a batch is drawn once
  // a cube brings it to 2970 indices or more.
  static constexpr int kMeshFaces = 12000;
  static constexpr int kMeshVertices = 3000;
  static constexpr int kBatchIndices = 2970;

  // Seeds the attractors from the clock.
  MetaballField();
  explicit MetaballField(std::uint32_t seed);
  // Restarts the generator from `seed` and gives every ball a new target
  // from it, as construction does: a show rendered offline moves its balls
  // the same way every time.
  void Seed(std::uint32_t seed);

  // Cells per axis; allocates the grids anew. N is kept within 1..128 so a
  // bad value can never ask for an unbounded grid.
  void SetGridSize(int n);
  int GetGridSize() const { return m_gridSize; }
  float GetCellSize() const { return m_cellSize; }
  float GetLevel() const { return m_level; }
  std::int32_t GetBallCount() const { return m_ballCount; }
  const MetaBall& GetBall(int i) const { return m_balls[static_cast<std::size_t>(i)]; }
  std::size_t GetFieldValueCount() const { return m_grid.size(); }
  std::size_t GetCubeFlagCount() const {
    return static_cast<std::size_t>(m_gridSize) * static_cast<std::size_t>(m_gridSize) *
           static_cast<std::size_t>(m_gridSize);
  }

  // A new attractor and timer for ball i, from the field's generator.
  void NewTarget(int i);
  // Places ball i (tools and tests; the show moves them with Advance).
  void SetBall(int i, const MetaBall& ball) { m_balls[static_cast<std::size_t>(i)] = ball; }

  // The balls' motion over dt seconds.
  void Advance(float dt);

  // The field at a point, and the direction it falls fastest (the outward
  // normal of the surface through the point, normalised).
  float FieldAt(const glm::vec3& x) const;
  glm::vec3 NormalAt(const glm::vec3& x) const;
  // The balls as they are now, for sampling many points.
  MetaballSampler Sampler() const { return MetaballSampler(m_balls.data(), m_ballCount); }

  // Polygonises this frame's surface into `sink`. Allocates nothing once the
  // grid is set (the cube list keeps the capacity it grew to).
  void Polygonise(MetaballBatchSink& sink);
  // Cubes polygonised by the last Polygonise.
  int GetCubesVisited() const { return m_cubesVisited; }

 private:
  // 0..32767, like the C runtime's generator.
  int NextRandom();

  std::size_t PointIndex(int i, int j, int k) const {
    const auto n = static_cast<std::size_t>(m_gridSize) + 1;
    return (static_cast<std::size_t>(k) * n + static_cast<std::size_t>(j)) * n + static_cast<std::size_t>(i);
  }
  // Starts a frame: new stamps, and the tables cleared only when the
  // stamps wrap.
  void NextFrame();
  // Polygonises cube (i, j, k) and returns its corner pattern.
  int PolygoniseCube(int i, int j, int k);
  // Gives the current batch its vertex on a grid edge (a copy when an
  // earlier batch of the frame made it); returns its index in the batch.
  std::uint32_t NewEdgeVertex(std::uint32_t& latest, std::uint32_t edge, int pi, int pj, int pk, int axis, float va,
                              float vb);
  void QueueNeighbours(int i, int j, int k, int pattern);
  void Flush(MetaballBatchSink& sink);
  void GrowVertices();

  float m_level = kDefaultLevel;
  std::int32_t m_ballCount = kBallCount;
  std::array<MetaBall, kBallCount> m_balls{};
  int m_gridSize = 0;
  float m_cellSize = 0.0f;
  // Everything kept per grid point, together so that a cube finds it in
  // the few cache lines of its corners: the field value (valid while its
  // stamp is this frame's; boundary points are 0 for good and carry
  // kForever), the stamp of the cube whose lowest corner the point is
  // (2 × frame when queued this frame, 2 × frame + 1 when done), and the
  // latest vertex on each of the three grid edges leaving it towards +x,
  // +y and +z.
  struct GridPoint {
    float value;
    std::uint32_t stamp;
    std::uint32_t cubeStamp;
    std::uint32_t edgeVertex[3];
  };
  static constexpr std::uint32_t kForever = 0xFFFFFFFFu;
  std::vector<GridPoint> m_grid;
  std::uint32_t m_frame = 0;
  // The LIFO queue: m_queued entries in use, the vector's size its room.
  std::vector<std::array<std::int32_t, 3>> m_cubeList;
  std::size_t m_queued = 0;
  // Offsets in the grid of a cube's corners and of its neighbours across
  // its faces, for the grid size, and each grid line's coordinate.
  std::array<std::uint32_t, 8> m_cornerDelta{};
  std::array<std::uint32_t, 12> m_edgeDelta{};  // lower corner × 3 + axis
  std::array<std::ptrdiff_t, 6> m_faceDelta{};
  std::vector<float> m_coord;
  const std::uint8_t* m_faceTable = nullptr;
  MetaballSampler m_sampler;
  // Every vertex of the frame, batch after batch; the batch being filled
  // starts at m_batchBase. A grid edge's latest vertex holds while that
  // vertex names the edge (point index × 3 + axis) back: no table is
  // cleared between frames, and a vertex an earlier batch made is copied
  // into the current one instead of made again.
  std::vector<MetaballVertex> m_vertices;
  std::vector<std::uint32_t> m_vertexEdge;
  std::uint32_t m_frameVertices = 0;
  std::uint32_t m_batchBase = 0;
  std::int32_t m_indexCount = 0;
  std::vector<std::uint32_t> m_indices;
  int m_cubesVisited = 0;
  CRuntimeRandom m_random;
};

extern MetaballField g_MetaballField;
