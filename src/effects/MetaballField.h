#pragma once
// The metaball field drawn by metaball objects: five balls wandering towards
// random attractors and the sampling grid the surface is polygonised on.
// (The polygonisation arrives with the renderer; this is the state.)
#include <array>
#include <cstdint>
#include <vector>

#include <glm/vec3.hpp>

struct MetaBall {
  glm::vec3 position{0.0f};
  glm::vec3 velocity{0.0f};
  glm::vec3 attractor{0.0f};
  float timer = 0.0f;
  float strength = 1.0f;
};

class MetaballField {
 public:
  static constexpr int kBallCount = 5;
  static constexpr float kDefaultLevel = 10.0f;

  // Seeds the attractors from the clock.
  MetaballField();
  explicit MetaballField(std::uint32_t seed);

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

 private:
  // 0..32767, like the C runtime's generator.
  int NextRandom();

  float m_level = kDefaultLevel;
  std::int32_t m_ballCount = kBallCount;
  std::array<MetaBall, kBallCount> m_balls{};
  int m_gridSize = 0;
  float m_cellSize = 0.0f;
  std::vector<float> m_fieldValues;
  std::vector<std::uint8_t> m_pointFlags;
  std::vector<std::uint8_t> m_cubeFlags;
  std::vector<std::array<std::int32_t, 3>> m_cubeList;
  std::int32_t m_vertexCount = 0;
  std::int32_t m_indexCount = 0;
  std::uint32_t m_seed = 1;
};

extern MetaballField g_MetaballField;
