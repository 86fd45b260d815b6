#pragma once
// Small meshes for drawing tests, as the player's meshes come: position,
// normal and one texture coordinate pair (32 bytes), front faces clockwise
// seen from outside.
#include <cmath>
#include <vector>

namespace mvtest {

struct MeshVertex {
  float p[3], n[3], uv[2];
};

// A UV sphere of radius r around the origin, as a triangle list.
inline std::vector<MeshVertex> Sphere(float r, int slices = 24, int stacks = 12) {
  const float pi = 3.14159265f;
  auto at = [&](int i, int j) {
    const float theta = pi * static_cast<float>(i) / static_cast<float>(stacks);
    const float phi = 2.0f * pi * static_cast<float>(j) / static_cast<float>(slices);
    MeshVertex v;
    const float n[3] = {std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
    for (int k = 0; k < 3; ++k) v.n[k] = n[k], v.p[k] = n[k] * r;
    v.uv[0] = static_cast<float>(j) / static_cast<float>(slices);
    v.uv[1] = static_cast<float>(i) / static_cast<float>(stacks);
    return v;
  };
  std::vector<MeshVertex> out;
  auto tri = [&](MeshVertex a, MeshVertex b, MeshVertex c) {
    // Clockwise from outside: (b − a) × (c − a) points outwards.
    float e1[3], e2[3], cr[3], mid[3];
    for (int k = 0; k < 3; ++k) e1[k] = b.p[k] - a.p[k], e2[k] = c.p[k] - a.p[k], mid[k] = a.p[k] + b.p[k] + c.p[k];
    cr[0] = e1[1] * e2[2] - e1[2] * e2[1];
    cr[1] = e1[2] * e2[0] - e1[0] * e2[2];
    cr[2] = e1[0] * e2[1] - e1[1] * e2[0];
    const float area = cr[0] * cr[0] + cr[1] * cr[1] + cr[2] * cr[2];
    if (area < 1e-12f) return;  // the poles' degenerate halves
    if (cr[0] * mid[0] + cr[1] * mid[1] + cr[2] * mid[2] < 0) std::swap(b, c);
    out.insert(out.end(), {a, b, c});
  };
  for (int i = 0; i < stacks; ++i)
    for (int j = 0; j < slices; ++j) {
      tri(at(i, j), at(i + 1, j), at(i, j + 1));
      tri(at(i, j + 1), at(i + 1, j), at(i + 1, j + 1));
    }
  return out;
}

// A sky box vertex: position and a three-float texture coordinate.
struct SkyVertex {
  float p[3], t[3];
};

// The box from −1 to 1, seen from inside, its texture coordinates its
// positions (as the cube-map direction they stand for).
inline std::vector<SkyVertex> SkyCube() {
  std::vector<SkyVertex> out;
  const int axes[6][3] = {{0, 1, 2}, {0, 1, 2}, {1, 2, 0}, {1, 2, 0}, {2, 0, 1}, {2, 0, 1}};
  for (int f = 0; f < 6; ++f) {
    const float s = (f % 2) ? -1.0f : 1.0f;
    auto corner = [&](float a, float b) {
      SkyVertex v;
      v.p[axes[f][0]] = s;
      v.p[axes[f][1]] = a;
      v.p[axes[f][2]] = b;
      for (int k = 0; k < 3; ++k) v.t[k] = v.p[k];
      return v;
    };
    SkyVertex a = corner(-1, -1), b = corner(1, -1), c = corner(-1, 1), d = corner(1, 1);
    out.insert(out.end(), {a, b, c, c, b, d});
  }
  return out;
}

}  // namespace mvtest
