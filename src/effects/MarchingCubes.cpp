#include "effects/MarchingCubes.h"

#include <glm/geometric.hpp>
#include <glm/vec3.hpp>

namespace mc {

namespace {

glm::vec3 Corner(int c) {
  return {float(kCornerOffset[c][0]), float(kCornerOffset[c][1]), float(kCornerOffset[c][2])};
}

int EdgeOf(int a, int b) {
  for (int e = 0; e < 12; ++e)
    if ((kEdgeCorners[e][0] == a && kEdgeCorners[e][1] == b) || (kEdgeCorners[e][0] == b && kEdgeCorners[e][1] == a))
      return e;
  return -1;
}

// Face k's four corners in turn, counter-clockwise about its outward normal
// ((c1 - c0) x (c2 - c1) along the normal).
std::array<int, 4> FaceCycle(int k) {
  std::array<int, 4> corners{};
  int n = 0;
  for (int c = 0; c < 8; ++c)
    if (kFaceMask[k] & (1 << c)) corners[static_cast<std::size_t>(n++)] = c;
  const glm::vec3 normal(float(kFaceNeighbour[k][0]), float(kFaceNeighbour[k][1]), float(kFaceNeighbour[k][2]));
  // Walk along face edges from the first corner.
  std::array<int, 4> cycle{corners[0], -1, -1, -1};
  for (int i = 1; i < 4; ++i) {
    for (int c : corners) {
      bool used = false;
      for (int j = 0; j < i; ++j) used |= cycle[static_cast<std::size_t>(j)] == c;
      if (!used && EdgeOf(cycle[static_cast<std::size_t>(i - 1)], c) >= 0) {
        cycle[static_cast<std::size_t>(i)] = c;
        break;
      }
    }
  }
  const glm::vec3 turn = glm::cross(Corner(cycle[1]) - Corner(cycle[0]), Corner(cycle[2]) - Corner(cycle[1]));
  if (glm::dot(turn, normal) < 0) std::swap(cycle[1], cycle[3]);
  return cycle;
}

// Whether two edges lie on one face of the cube.
bool OnOneFace(int e, int f) {
  const int corners = (1 << kEdgeCorners[e][0]) | (1 << kEdgeCorners[e][1]) | (1 << kEdgeCorners[f][0]) |
                      (1 << kEdgeCorners[f][1]);
  for (std::uint8_t mask : kFaceMask)
    if ((mask & corners) == corners) return true;
  return false;
}

glm::vec3 EdgeMid(int e) { return (Corner(kEdgeCorners[e][0]) + Corner(kEdgeCorners[e][1])) * 0.5f; }

Case BuildCase(int pattern, bool flip) {
  auto inside = [&](int c) { return (pattern >> c) & 1; };
  // Directed face segments: next[e] is the crossed edge the contour runs to
  // from edge e. Around each face, counter-clockwise from outside the cube,
  // a contour leaves at an inside-to-outside crossing and runs back to the
  // outside-to-inside crossing before it, which keeps the inside on its left
  // and cuts each inside corner of an ambiguous face off on its own.
  int next[12];
  for (int& n : next) n = -1;
  for (int k = 0; k < 6; ++k) {
    const std::array<int, 4> cyc = FaceCycle(k);
    int crossing[4];    // edge between cyc[i] and cyc[i+1], or -1
    bool exits[4] = {};
    for (int i = 0; i < 4; ++i) {
      const int a = cyc[static_cast<std::size_t>(i)], b = cyc[static_cast<std::size_t>((i + 1) % 4)];
      crossing[i] = inside(a) != inside(b) ? EdgeOf(a, b) : -1;
      exits[i] = inside(a) && !inside(b);
    }
    for (int i = 0; i < 4; ++i) {
      if (crossing[i] < 0 || !exits[i]) continue;
      for (int j = 1; j < 4; ++j) {
        const int p = (i + 4 - j) % 4;
        if (crossing[p] >= 0 && !exits[p]) {
          next[crossing[i]] = crossing[p];
          break;
        }
      }
    }
  }
  Case out;
  bool done[12] = {};
  for (int start = 0; start < 12; ++start) {
    if (next[start] < 0 || done[start]) continue;
    int loop[12];
    int n = 0;
    for (int e = start; e >= 0 && !done[e]; e = next[e]) {
      done[e] = true;
      loop[n++] = e;
    }
    // Clip ears whose new diagonal crosses the cube's inside: a diagonal
    // lying in a face would cover part of that face twice, once from each
    // cube that shares it.
    while (n >= 3 && out.triangleCount < kMaxTriangles) {
      int ear = 0;
      for (int i = 0; i < n && n > 3; ++i) {
        if (!OnOneFace(loop[(i + n - 1) % n], loop[(i + 1) % n])) {
          ear = i;
          break;
        }
      }
      const int a = loop[(ear + n - 1) % n], b = loop[ear], c = loop[(ear + 1) % n];
      std::uint8_t* t = &out.edges[static_cast<std::size_t>(out.triangleCount) * 3];
      t[0] = static_cast<std::uint8_t>(a);
      t[1] = static_cast<std::uint8_t>(flip ? c : b);
      t[2] = static_cast<std::uint8_t>(flip ? b : c);
      ++out.triangleCount;
      for (int i = ear; i + 1 < n; ++i) loop[i] = loop[i + 1];
      --n;
    }
  }
  return out;
}

std::array<Case, 256> BuildTable() {
  // One corner inside: its triangle must face away from it. Whichever way
  // the loops come out, all cases share the way, so one check settles it.
  const Case probe = BuildCase(1, false);
  const glm::vec3 a = EdgeMid(probe.edges[0]), b = EdgeMid(probe.edges[1]), c = EdgeMid(probe.edges[2]);
  const bool flip = glm::dot(glm::cross(b - a, c - a), (a + b + c) / 3.0f - Corner(0)) < 0;
  std::array<Case, 256> table;
  for (int p = 0; p < 256; ++p) table[static_cast<std::size_t>(p)] = BuildCase(p, flip);
  return table;
}

std::array<std::uint8_t, 256> BuildFaceTable() {
  std::array<std::uint8_t, 256> table{};
  for (int p = 0; p < 256; ++p) {
    std::uint8_t bits = 0;
    for (int k = 0; k < 6; ++k) {
      const int on = p & kFaceMask[k];
      if (on != 0 && on != kFaceMask[k]) bits |= static_cast<std::uint8_t>(1 << k);
    }
    table[static_cast<std::size_t>(p)] = bits;
  }
  return table;
}

}  // namespace

const std::array<std::uint8_t, 256>& CubeFaceTable() {
  static const std::array<std::uint8_t, 256> table = BuildFaceTable();
  return table;
}

const std::array<Case, 256>& TriangleTable() {
  static const std::array<Case, 256> table = BuildTable();
  return table;
}

}  // namespace mc
