#pragma once
// Writes .x files in the text format: frames with their transforms, meshes
// with normals, texture coordinates, materials and skin weights, and
// animation sets of matrix keys. Matrices are given as the file stores them:
// 16 floats, row by row, for row vectors (translation in the last row).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace mv::demo {

using XMatrix = std::array<float, 16>;
XMatrix XIdentity();
XMatrix XTranslation(float x, float y, float z);
XMatrix XRotationY(float radians);
XMatrix XRotationZ(float radians);
XMatrix XScaling(float x, float y, float z);
// a then b (row vectors: a × b).
XMatrix XMultiply(const XMatrix& a, const XMatrix& b);

struct XVec3 {
  float x = 0, y = 0, z = 0;
};
struct XVec2 {
  float u = 0, v = 0;
};

struct XTextMaterial {
  float diffuse[4] = {1, 1, 1, 1};
  float power = 20.0f;
  float specular[3] = {0.5f, 0.5f, 0.5f};
  float emissive[3] = {0, 0, 0};
  std::string texture;  // empty: none
};

struct XTextSkin {
  std::string bone;
  std::vector<std::uint32_t> vertices;
  std::vector<float> weights;
  XMatrix offset = XIdentity();
};

struct XTextMesh {
  std::string name;
  std::vector<XVec3> positions;
  std::vector<XVec3> normals;  // one per position
  std::vector<XVec2> uvs;      // one per position, or none
  std::vector<std::array<std::uint32_t, 3>> faces;
  std::vector<std::uint32_t> faceMaterials;  // one per face; empty: all 0
  std::vector<XTextMaterial> materials;
  std::vector<XTextSkin> skins;
};

struct XTextFrame {
  std::string name;
  XMatrix transform = XIdentity();
  std::vector<XTextMesh> meshes;
  std::vector<XTextFrame> children;
};

struct XMatrixKey {
  std::uint32_t time = 0;  // ticks
  XMatrix matrix = XIdentity();
};
struct XTextAnimation {
  std::string frame;
  std::vector<XMatrixKey> keys;
};
struct XTextAnimationSet {
  std::string name;
  std::vector<XTextAnimation> animations;
};

struct XTextFile {
  std::vector<XTextFrame> frames;
  std::vector<XTextAnimationSet> animationSets;
  std::uint32_t ticksPerSecond = 4800;
};

std::string WriteXText(const XTextFile& file);

}  // namespace mv::demo
