#pragma once
// Small media of the sky box tests, written by the tests themselves: a text
// .x box with two textured materials, a one-colour TGA, a DDS cube map, and
// the test scene effect with the sky box's world matrix.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "gfx/Dds.h"
#include "support/SceneEffectText.h"

namespace mv::test::skybox {

// A box of 8 corners and 12 triangles; the first six triangles use
// material 0, the rest material 1, each material with its texture file.
inline std::string BoxX(float half, const std::string& texture0, const std::string& texture1) {
  const float h = half;
  const float corners[8][3] = {{-h, -h, -h}, {h, -h, -h}, {h, h, -h}, {-h, h, -h},
                               {-h, -h, h},  {h, -h, h},  {h, h, h},  {-h, h, h}};
  const int faces[12][3] = {{0, 1, 2}, {0, 2, 3}, {4, 6, 5}, {4, 7, 6}, {0, 4, 5}, {0, 5, 1},
                            {3, 2, 6}, {3, 6, 7}, {0, 3, 7}, {0, 7, 4}, {1, 5, 6}, {1, 6, 2}};
  const float uv[8][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 1}, {1, 1}, {1, 0}, {0, 0}};
  std::string x = "xof 0303txt 0032\nFrame Root {\n FrameTransformMatrix {\n"
                  "  1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0;;\n }\n Mesh Box {\n  8;\n";
  for (int i = 0; i < 8; ++i)
    x += "  " + std::to_string(corners[i][0]) + ";" + std::to_string(corners[i][1]) + ";" +
         std::to_string(corners[i][2]) + ";" + (i == 7 ? ";\n" : ",\n");
  x += "  12;\n";
  for (int i = 0; i < 12; ++i)
    x += "  3;" + std::to_string(faces[i][0]) + "," + std::to_string(faces[i][1]) + "," +
         std::to_string(faces[i][2]) + ";" + (i == 11 ? ";\n" : ",\n");
  x += "  MeshTextureCoords {\n   8;\n";
  for (int i = 0; i < 8; ++i)
    x += "   " + std::to_string(uv[i][0]) + ";" + std::to_string(uv[i][1]) + ";" + (i == 7 ? ";\n" : ",\n");
  x += "  }\n  MeshMaterialList {\n   2;\n   12;\n";
  for (int i = 0; i < 12; ++i) x += std::string("   ") + (i < 6 ? "0" : "1") + (i == 11 ? ";\n" : ",\n");
  for (const std::string* t : {&texture0, &texture1}) {
    x += "   Material {\n    1.0;1.0;1.0;1.0;;\n    0.0;\n    0.0;0.0;0.0;;\n    0.0;0.0;0.0;;\n";
    if (!t->empty()) x += "    TextureFilename {\n     \"" + *t + "\";\n    }\n";
    x += "   }\n";
  }
  x += "  }\n }\n}\n";
  return x;
}

// A 2 x 2 true-colour TGA of one colour (b, g, r, a bytes).
inline std::string Tga(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  std::string tga(18, '\0');
  tga[2] = 2, tga[12] = 2, tga[14] = 2, tga[16] = 32, tga[17] = 8;
  for (int i = 0; i < 4; ++i) tga += std::string{char(b), char(g), char(r), char(0xFF)};
  return tga;
}

// A cube map of 4 x 4 faces, each face one colour.
// Faces that tell apart: red `shade`, green 40 × face, or all white.
inline std::string CubeDds(std::uint8_t shade, bool white = false) {
  gfx::Image image;
  image.format = gfx::ImageFormat::RGBA8;
  image.width = image.height = 4;
  image.faces = 6;
  image.mipLevels = 1;
  for (int f = 0; f < 6; ++f) {
    gfx::ImageLevel level;
    level.width = level.height = 4;
    for (int i = 0; i < 16; ++i) level.data.insert(level.data.end(), white ? std::initializer_list<std::uint8_t>{255, 255, 255, 255}
                                                 : std::initializer_list<std::uint8_t>{shade, std::uint8_t(40 * f), 0, 255});
    image.levels.push_back(level);
  }
  const std::vector<std::uint8_t> bytes = gfx::WriteDds(image);
  return std::string(bytes.begin(), bytes.end());
}

// The scene effect of the tests, with the world matrix the sky box sets.
inline std::string SkyBoxEffectText() {
  return mv::test::SceneEffectText() + "\n[[parameter]]\nname = \"g_mWorld\"\ntype = \"float4x4\"\n";
}

}  // namespace mv::test::skybox
