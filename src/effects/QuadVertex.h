#pragma once
// The vertex of every screen quad: a pre-transformed position in pixels,
// two texture coordinates and a normal that is always zero.
#include <cstddef>

#include "gfx/Device.h"

struct QuadVertex {
  float x, y, z, rhw;
  float u0, v0;
  float u1, v1;
  float nx, ny, nz;
};
static_assert(sizeof(QuadVertex) == 44);
static_assert(offsetof(QuadVertex, u0) == 16 && offsetof(QuadVertex, u1) == 24 && offsetof(QuadVertex, nx) == 32);

inline constexpr gfx::VertexElement kQuadVertexElements[] = {
    {0, 0, gfx::VertexType::Float4, gfx::VertexUsage::PositionT, 0},
    {0, 16, gfx::VertexType::Float2, gfx::VertexUsage::TexCoord, 0},
    {0, 24, gfx::VertexType::Float2, gfx::VertexUsage::TexCoord, 1},
    {0, 32, gfx::VertexType::Float3, gfx::VertexUsage::Normal, 0},
};
