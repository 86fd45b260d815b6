#pragma once
// 3D text: glyph outlines of a font, flattened to line segments, capped at
// both ends (GLU tessellator) and extruded along z.
//
// Units: one em of the font is 1.0; the first glyph's origin is at x = 0 on
// the baseline y = 0, text runs towards +x, y is up. The solid spans
// z = −extrusion … 0: the cap at z = −extrusion faces −z (normal (0, 0, −1))
// and reads left to right from a viewer on the −z side looking along +z;
// the cap at z = 0 faces +z. Triangles are clockwise seen from outside (the
// face normal cross(b − a, c − a) points outwards), so they survive
// counter-clockwise culling. Sides get one flat normal per segment.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gfx/Device.h"
#include "gfx/Math.h"

namespace gfx {

class Mesh;

struct TextGeometry {
  std::vector<Vec3> positions;
  std::vector<Vec3> normals;          // one per position
  std::vector<std::uint32_t> indices;  // three per triangle
};

// Most characters taken from one text; the rest is ignored.
inline constexpr std::size_t kMaxTextMeshChars = 1024;

// Builds the solid of `text` in `face` (resolved through fontconfig like the
// 2D fonts; weight 700 is bold). `deviation` is the largest distance, in
// ems, between a curve and its segments (values ≤ 0 or below 1e-5 are taken
// as 1e-5, which bounds the segment count); `extrusion` the depth in ems.
// Control characters draw nothing. False only when no font face opens.
bool BuildTextGeometry(std::string_view face, int weight, std::u16string_view text, float deviation,
                       float extrusion, TextGeometry& out, std::string* error = nullptr);

// The same as a device mesh: position float3 + normal float3 (24 bytes),
// 32-bit indices, all faces in subset 0. E_FAIL when the face cannot be
// opened or the text has nothing to draw (blank); the mesh stays empty.
HRESULT CreateTextMesh(Device& device, std::string_view face, int weight, std::u16string_view text,
                       float deviation, float extrusion, std::shared_ptr<Mesh>* out);
// The face as the files store it (UTF-16).
HRESULT CreateTextMesh(Device& device, std::u16string_view face, int weight, std::u16string_view text,
                       float deviation, float extrusion, std::shared_ptr<Mesh>* out);

}  // namespace gfx
