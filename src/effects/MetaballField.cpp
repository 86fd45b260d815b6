#include "effects/MetaballField.h"

#include <algorithm>
#include <chrono>

MetaballField::MetaballField()
    : MetaballField(static_cast<std::uint32_t>(
          std::chrono::duration_cast<std::chrono::milliseconds>(
              std::chrono::steady_clock::now().time_since_epoch())
              .count())) {}

MetaballField::MetaballField(std::uint32_t seed) : m_seed(seed) {
  m_cubeList.reserve(32);
  for (int i = 0; i < kBallCount; ++i) NewTarget(i);
}

int MetaballField::NextRandom() {
  m_seed = m_seed * 214013u + 2531011u;
  return static_cast<int>((m_seed >> 16) & 0x7FFF);
}

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
  m_cubeList.clear();
  m_vertexCount = m_indexCount = 0;
}
