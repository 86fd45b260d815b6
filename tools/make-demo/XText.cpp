#include "XText.h"

#include <cmath>
#include <cstdio>

namespace mv::demo {

XMatrix XIdentity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }
XMatrix XTranslation(float x, float y, float z) { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1}; }
XMatrix XRotationY(float a) {
  const float c = std::cos(a), s = std::sin(a);
  return {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1};
}
XMatrix XRotationZ(float a) {
  const float c = std::cos(a), s = std::sin(a);
  return {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}
XMatrix XScaling(float x, float y, float z) { return {x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0, 0, 0, 0, 1}; }
XMatrix XMultiply(const XMatrix& a, const XMatrix& b) {
  XMatrix r{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float s = 0;
      for (int k = 0; k < 4; ++k) s += a[std::size_t(i * 4 + k)] * b[std::size_t(k * 4 + j)];
      r[std::size_t(i * 4 + j)] = s;
    }
  return r;
}

namespace {

std::string Num(float v) {
  char b[32];
  // Fixed notation: every .x reader takes it; six decimals keep unit data exact enough.
  std::snprintf(b, sizeof b, "%.6f", static_cast<double>(v));
  return b;
}

void Matrix(std::string& o, const XMatrix& m) {
  for (std::size_t i = 0; i < 16; ++i) {
    o += Num(m[i]);
    o += i == 15 ? ";;" : ",";
  }
}

void Indent(std::string& o, int depth) { o.append(std::size_t(depth) * 2, ' '); }

void WriteMaterial(std::string& o, const XTextMaterial& m, int d) {
  Indent(o, d);
  o += "Material {\n";
  Indent(o, d + 1);
  o += Num(m.diffuse[0]) + ";" + Num(m.diffuse[1]) + ";" + Num(m.diffuse[2]) + ";" + Num(m.diffuse[3]) + ";;\n";
  Indent(o, d + 1);
  o += Num(m.power) + ";\n";
  Indent(o, d + 1);
  o += Num(m.specular[0]) + ";" + Num(m.specular[1]) + ";" + Num(m.specular[2]) + ";;\n";
  Indent(o, d + 1);
  o += Num(m.emissive[0]) + ";" + Num(m.emissive[1]) + ";" + Num(m.emissive[2]) + ";;\n";
  if (!m.texture.empty()) {
    Indent(o, d + 1);
    o += "TextureFilename {\n";
    Indent(o, d + 2);
    o += "\"" + m.texture + "\";\n";
    Indent(o, d + 1);
    o += "}\n";
  }
  Indent(o, d);
  o += "}\n";
}

void WriteVectors(std::string& o, const std::vector<XVec3>& v, int d) {
  Indent(o, d);
  o += std::to_string(v.size()) + ";\n";
  for (std::size_t i = 0; i < v.size(); ++i) {
    Indent(o, d);
    o += Num(v[i].x) + ";" + Num(v[i].y) + ";" + Num(v[i].z) + ";" + (i + 1 == v.size() ? ";\n" : ",\n");
  }
}

void WriteFaces(std::string& o, const std::vector<std::array<std::uint32_t, 3>>& f, int d) {
  Indent(o, d);
  o += std::to_string(f.size()) + ";\n";
  for (std::size_t i = 0; i < f.size(); ++i) {
    Indent(o, d);
    o += "3;" + std::to_string(f[i][0]) + "," + std::to_string(f[i][1]) + "," + std::to_string(f[i][2]) +
         (i + 1 == f.size() ? ";;\n" : ";,\n");
  }
}

void WriteMesh(std::string& o, const XTextMesh& m, int d) {
  Indent(o, d);
  o += "Mesh " + m.name + " {\n";
  WriteVectors(o, m.positions, d + 1);
  WriteFaces(o, m.faces, d + 1);
  if (!m.normals.empty()) {
    Indent(o, d + 1);
    o += "MeshNormals {\n";
    WriteVectors(o, m.normals, d + 2);
    WriteFaces(o, m.faces, d + 2);
    Indent(o, d + 1);
    o += "}\n";
  }
  if (!m.uvs.empty()) {
    Indent(o, d + 1);
    o += "MeshTextureCoords {\n";
    Indent(o, d + 2);
    o += std::to_string(m.uvs.size()) + ";\n";
    for (std::size_t i = 0; i < m.uvs.size(); ++i) {
      Indent(o, d + 2);
      o += Num(m.uvs[i].u) + ";" + Num(m.uvs[i].v) + ";" + (i + 1 == m.uvs.size() ? ";\n" : ",\n");
    }
    Indent(o, d + 1);
    o += "}\n";
  }
  if (!m.materials.empty()) {
    Indent(o, d + 1);
    o += "MeshMaterialList {\n";
    Indent(o, d + 2);
    o += std::to_string(m.materials.size()) + ";\n";
    Indent(o, d + 2);
    o += std::to_string(m.faces.size()) + ";\n";
    for (std::size_t i = 0; i < m.faces.size(); ++i) {
      Indent(o, d + 2);
      o += std::to_string(m.faceMaterials.empty() ? 0u : m.faceMaterials[i]) + (i + 1 == m.faces.size() ? ";;\n" : ",\n");
    }
    for (const auto& mat : m.materials) WriteMaterial(o, mat, d + 2);
    Indent(o, d + 1);
    o += "}\n";
  }
  if (!m.skins.empty()) {
    Indent(o, d + 1);
    o += "XSkinMeshHeader {\n";
    Indent(o, d + 2);
    o += "2;\n";
    Indent(o, d + 2);
    o += "4;\n";
    Indent(o, d + 2);
    o += std::to_string(m.skins.size()) + ";\n";
    Indent(o, d + 1);
    o += "}\n";
    for (const auto& s : m.skins) {
      Indent(o, d + 1);
      o += "SkinWeights {\n";
      Indent(o, d + 2);
      o += "\"" + s.bone + "\";\n";
      Indent(o, d + 2);
      o += std::to_string(s.vertices.size()) + ";\n";
      for (std::size_t i = 0; i < s.vertices.size(); ++i) {
        Indent(o, d + 2);
        o += std::to_string(s.vertices[i]) + (i + 1 == s.vertices.size() ? ";\n" : ",\n");
      }
      for (std::size_t i = 0; i < s.weights.size(); ++i) {
        Indent(o, d + 2);
        o += Num(s.weights[i]) + (i + 1 == s.weights.size() ? ";\n" : ",\n");
      }
      Indent(o, d + 2);
      Matrix(o, s.offset);
      o += "\n";
      Indent(o, d + 1);
      o += "}\n";
    }
  }
  Indent(o, d);
  o += "}\n";
}

void WriteFrame(std::string& o, const XTextFrame& f, int d) {
  Indent(o, d);
  o += "Frame " + f.name + " {\n";
  Indent(o, d + 1);
  o += "FrameTransformMatrix {\n";
  Indent(o, d + 2);
  Matrix(o, f.transform);
  o += "\n";
  Indent(o, d + 1);
  o += "}\n";
  for (const auto& m : f.meshes) WriteMesh(o, m, d + 1);
  for (const auto& c : f.children) WriteFrame(o, c, d + 1);
  Indent(o, d);
  o += "}\n";
}

}  // namespace

std::string WriteXText(const XTextFile& file) {
  std::string o = "xof 0303txt 0032\n";
  for (const auto& f : file.frames) WriteFrame(o, f, 0);
  if (!file.animationSets.empty()) o += "AnimTicksPerSecond {\n  " + std::to_string(file.ticksPerSecond) + ";\n}\n";
  for (const auto& set : file.animationSets) {
    o += "AnimationSet " + set.name + " {\n";
    for (const auto& a : set.animations) {
      o += "  Animation {\n    {" + a.frame + "}\n    AnimationKey {\n      4;\n      " +
           std::to_string(a.keys.size()) + ";\n";
      for (std::size_t i = 0; i < a.keys.size(); ++i) {
        o += "      " + std::to_string(a.keys[i].time) + ";16;";
        Matrix(o, a.keys[i].matrix);
        o += i + 1 == a.keys.size() ? ";\n" : ",\n";
      }
      o += "    }\n  }\n";
    }
    o += "}\n";
  }
  return o;
}

}  // namespace mv::demo
