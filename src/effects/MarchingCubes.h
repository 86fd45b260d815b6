#pragma once
// The tables the metaball surface is polygonised with, for the corner
// numbering of the cube-face masks: corner i of a cube lies at the offset
// kCornerOffset[i] from its lowest grid point, and bit i of a corner
// pattern says that corner i is inside the surface.
//
// The triangle table is built once, at start-up, from the corner states
// alone: on every face the crossed edges are joined so that each inside
// corner of a face with two diagonal inside corners is cut off on its own,
// the face contours are chained into loops around the cube and each loop is
// fanned into triangles. A face is joined the same way from both cubes that
// share it, so neighbouring cubes always meet edge to edge and every surface
// is closed.
#include <array>
#include <cstdint>

namespace mc {

inline constexpr int kCornerOffset[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1},
                                            {0, 1, 0}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1}};
// The twelve edges by their two corners.
inline constexpr int kEdgeCorners[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                            {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
// Face k's corners (bit k of the cube-face table) and the neighbour across
// it: +x, -x, +y, -y, +z, -z.
inline constexpr std::uint8_t kFaceMask[6] = {0x66, 0x99, 0xF0, 0x0F, 0xCC, 0x33};
inline constexpr int kFaceNeighbour[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};

inline constexpr int kMaxTriangles = 12;

struct Case {
  std::uint8_t triangleCount = 0;
  // Edge indices, three per triangle. Seen from outside the surface (where
  // the field is below the level) a triangle's corners run clockwise in the
  // left-handed frame, so (b - a) x (c - a) points out of the surface.
  std::array<std::uint8_t, 3 * kMaxTriangles> edges{};
};

// Bit k set when the pattern's corners on face k are neither all inside nor
// all outside: the surface crosses into the neighbour across face k.
const std::array<std::uint8_t, 256>& CubeFaceTable();
const std::array<Case, 256>& TriangleTable();

}  // namespace mc
