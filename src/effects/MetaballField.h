#pragma once
// The metaball field drawn by metaball objects: five balls wandering towards
// random attractors, and the surface where their field reaches the level,
// polygonised on a grid by following it from each ball's cube, so the cost
// follows the surface and not the grid. The geometry is handed out in
// batches; the renderer draws each through its dynamic mesh.
#include <array>
#include <cstdint>
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
  std::size_t GetFieldValueCount() const { return m_fieldValues.size(); }
  std::size_t GetCubeFlagCount() const { return m_cubeFlags.size(); }

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
  std::size_t CubeIndex(int i, int j, int k) const {
    const auto n = static_cast<std::size_t>(m_gridSize);
    return (static_cast<std::size_t>(k) * n + static_cast<std::size_t>(j)) * n + static_cast<std::size_t>(i);
  }
  glm::vec3 PointPosition(int i, int j, int k) const;
  float PointValue(int i, int j, int k);
  // Polygonises cube (i, j, k) and returns its corner pattern.
  int PolygoniseCube(int i, int j, int k);
  void QueueNeighbours(int i, int j, int k, int pattern);
  void Flush(MetaballBatchSink& sink);
  void NextBatch();

  float m_level = kDefaultLevel;
  std::int32_t m_ballCount = kBallCount;
  std::array<MetaBall, kBallCount> m_balls{};
  int m_gridSize = 0;
  float m_cellSize = 0.0f;
  std::vector<float> m_fieldValues;
  std::vector<std::uint8_t> m_pointFlags;
  std::vector<std::uint8_t> m_cubeFlags;
  std::vector<std::array<std::int32_t, 3>> m_cubeList;
  // Per grid edge (point index × 3 + axis): the batch that made its vertex
  // (high bits) and that vertex's index in the batch (low 12 bits; a batch
  // holds fewer than 4096 vertices).
  static constexpr int kEdgeIndexBits = 12;
  static_assert(kBatchIndices + 36 < (1 << kEdgeIndexBits));
  std::vector<std::uint32_t> m_edgeVertex;
  std::uint32_t m_batchSerial = 1;
  std::int32_t m_vertexCount = 0;
  std::int32_t m_indexCount = 0;
  std::vector<MetaballVertex> m_vertices;
  std::vector<std::uint32_t> m_indices;
  int m_cubesVisited = 0;
  CRuntimeRandom m_random;
};

extern MetaballField g_MetaballField;
