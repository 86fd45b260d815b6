#include "gfx/TextMesh.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <GL/glu.h>
#include <hb-ft.h>
#include <hb.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <deque>

#include "gfx/Font.h"
#include "gfx/Mesh.h"
#include "io/Utf16.h"

namespace gfx {
namespace {

using DVec2 = glm::dvec2;
constexpr double kMinDeviation = 1e-5;
constexpr int kMaxCurveSegments = 256;

// Collects the contours of one glyph in ems, curves flattened.
struct OutlineSink {
  std::vector<std::vector<DVec2>> contours;
  DVec2 offset{0.0};
  double scale = 1.0;  // ems per font unit
  double tolerance = 1e-3;
  DVec2 last{0.0};

  DVec2 Em(const FT_Vector* v) const { return offset + DVec2(double(v->x), double(v->y)) * scale; }
  void Add(const DVec2& p) {
    if (contours.empty()) contours.emplace_back();
    auto& c = contours.back();
    if (c.empty() || c.back() != p) c.push_back(p);
    last = p;
  }
  int Segments(double secondDifference, double factor) const {
    const double n = std::ceil(std::sqrt(factor * secondDifference / tolerance));
    return std::clamp(std::isfinite(n) ? int(n) : 1, 1, kMaxCurveSegments);
  }
};

int MoveTo(const FT_Vector* to, void* user) {
  auto* s = static_cast<OutlineSink*>(user);
  s->contours.emplace_back();
  s->Add(s->Em(to));
  return 0;
}

int LineTo(const FT_Vector* to, void* user) {
  auto* s = static_cast<OutlineSink*>(user);
  s->Add(s->Em(to));
  return 0;
}

// Uniform steps: a quadratic strays from its chords by at most
// |p0 − 2p1 + p2| / (4n²), a cubic by 3·max second difference / (4n²).
int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
  auto* s = static_cast<OutlineSink*>(user);
  const DVec2 p0 = s->last, p1 = s->Em(control), p2 = s->Em(to);
  const int n = s->Segments(glm::length(p0 - 2.0 * p1 + p2), 0.25);
  for (int i = 1; i <= n; ++i) {
    const double t = double(i) / n, u = 1.0 - t;
    s->Add(u * u * p0 + 2.0 * u * t * p1 + t * t * p2);
  }
  return 0;
}

int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  auto* s = static_cast<OutlineSink*>(user);
  const DVec2 p0 = s->last, p1 = s->Em(c1), p2 = s->Em(c2), p3 = s->Em(to);
  const double d = std::max(glm::length(p0 - 2.0 * p1 + p2), glm::length(p1 - 2.0 * p2 + p3));
  const int n = s->Segments(d, 0.75);
  for (int i = 1; i <= n; ++i) {
    const double t = double(i) / n, u = 1.0 - t;
    s->Add(u * u * u * p0 + 3.0 * u * u * t * p1 + 3.0 * u * t * t * p2 + t * t * t * p3);
  }
  return 0;
}

// Cap triangulation through the GLU tessellator. Vertex data pointers carry
// index + 1 into `points`.
struct Tess {
  std::vector<DVec2>* points = nullptr;
  std::vector<std::uint32_t>* triangles = nullptr;
  std::deque<std::array<double, 3>> coords;  // must stay put until the polygon ends
  std::uint32_t pending[3] = {};
  int count = 0;
  bool failed = false;
};

void* Tag(std::size_t index) { return reinterpret_cast<void*>(index + 1); }
std::uint32_t Untag(void* p) { return std::uint32_t(reinterpret_cast<std::uintptr_t>(p) - 1); }

void GLAPIENTRY TessBegin(GLenum, void* data) { static_cast<Tess*>(data)->count = 0; }
void GLAPIENTRY TessEdgeFlag(GLboolean, void*) {}  // its presence forces plain triangles
void GLAPIENTRY TessEnd(void*) {}
void GLAPIENTRY TessError(GLenum, void* data) { static_cast<Tess*>(data)->failed = true; }
void GLAPIENTRY TessVertex(void* vertex, void* data) {
  auto* t = static_cast<Tess*>(data);
  t->pending[t->count++] = Untag(vertex);
  if (t->count == 3) {
    t->triangles->insert(t->triangles->end(), t->pending, t->pending + 3);
    t->count = 0;
  }
}
void GLAPIENTRY TessCombine(GLdouble coords[3], void*[4], GLfloat[4], void** out, void* data) {
  auto* t = static_cast<Tess*>(data);
  t->points->push_back(DVec2(coords[0], coords[1]));
  *out = Tag(t->points->size() - 1);
}

struct TessHandle {
  GLUtesselator* tess = gluNewTess();
  ~TessHandle() {
    if (tess) gluDeleteTess(tess);
  }
};

struct FreeTypeHandles {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  hb_font_t* font = nullptr;
  hb_buffer_t* buffer = nullptr;
  ~FreeTypeHandles() {
    if (buffer) hb_buffer_destroy(buffer);
    if (font) hb_font_destroy(font);
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

double SignedArea2(const DVec2& a, const DVec2& b, const DVec2& c) {
  return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

// Appends a triangle wound so that cross(b − a, c − a) points along `n`.
void AddFacing(TextGeometry& g, std::uint32_t a, std::uint32_t b, std::uint32_t c, const Vec3& n) {
  const Vec3 face = glm::cross(g.positions[b] - g.positions[a], g.positions[c] - g.positions[a]);
  if (glm::dot(face, n) < 0.0f) std::swap(b, c);
  g.indices.insert(g.indices.end(), {a, b, c});
}

}  // namespace

bool BuildTextGeometry(std::string_view faceName, int weight, std::u16string_view text, float deviation,
                       float extrusion, TextGeometry& out, std::string* error) {
  out = {};
  auto fail = [&](std::string why) {
    if (error) *error = "3D text font \"" + std::string(faceName) + "\": " + why;
    return false;
  };
  const auto match = ResolveFontFace(faceName, weight);
  if (!match) return fail("no font face found");
  FreeTypeHandles ft;
  if (FT_Init_FreeType(&ft.library)) return fail("FreeType could not start");
  if (FT_New_Face(ft.library, match->file.c_str(), match->index, &ft.face))
    return fail("cannot open " + match->file);
  if (!FT_IS_SCALABLE(ft.face) || ft.face->units_per_EM == 0) return fail(match->file + " has no outlines");

  // Shape in font units: a HarfBuzz font at its default scale (the em).
  hb_face_t* hbFace = hb_ft_face_create_referenced(ft.face);
  ft.font = hb_font_create(hbFace);
  hb_face_destroy(hbFace);
  ft.buffer = hb_buffer_create();
  std::u16string visible;
  for (char16_t c : text.substr(0, kMaxTextMeshChars))
    if (c >= 0x20 && c != 0x7F) visible.push_back(c);
  hb_buffer_add_utf16(ft.buffer, reinterpret_cast<const std::uint16_t*>(visible.data()), int(visible.size()),
                      0, int(visible.size()));
  hb_buffer_guess_segment_properties(ft.buffer);
  hb_shape(ft.font, ft.buffer, nullptr, 0);
  unsigned count = 0;
  const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(ft.buffer, &count);
  const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(ft.buffer, &count);

  const double em = 1.0 / double(ft.face->units_per_EM);
  const double tolerance = std::max(double(deviation), kMinDeviation);
  const float depth = std::isfinite(extrusion) ? extrusion : 0.0f;
  const bool embolden = weight >= 600 && match->embolden;
  FT_Outline_Funcs funcs{};
  funcs.move_to = MoveTo;
  funcs.line_to = LineTo;
  funcs.conic_to = ConicTo;
  funcs.cubic_to = CubicTo;

  std::vector<DVec2> capPoints;
  std::vector<std::uint32_t> capTriangles;
  struct SideRun {
    std::vector<DVec2> points;
    bool fillRight;
  };
  std::vector<SideRun> sides;
  TessHandle tess;
  if (!tess.tess) return fail("GLU tessellator unavailable");
  gluTessCallback(tess.tess, GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(TessBegin));
  gluTessCallback(tess.tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(TessVertex));
  gluTessCallback(tess.tess, GLU_TESS_END_DATA, reinterpret_cast<_GLUfuncptr>(TessEnd));
  gluTessCallback(tess.tess, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<_GLUfuncptr>(TessEdgeFlag));
  gluTessCallback(tess.tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(TessCombine));
  gluTessCallback(tess.tess, GLU_TESS_ERROR_DATA, reinterpret_cast<_GLUfuncptr>(TessError));
  gluTessNormal(tess.tess, 0.0, 0.0, 1.0);

  double penX = 0.0, penY = 0.0;
  for (unsigned i = 0; i < count; ++i) {
    const DVec2 origin(penX + pos[i].x_offset * em, penY + pos[i].y_offset * em);
    penX += pos[i].x_advance * em;
    penY += pos[i].y_advance * em;
    if (FT_Load_Glyph(ft.face, info[i].codepoint, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING))
      continue;
    FT_GlyphSlot slot = ft.face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE || slot->outline.n_points == 0) continue;
    if (embolden) FT_Outline_Embolden(&slot->outline, FT_Pos(ft.face->units_per_EM / 24));
    OutlineSink sink;
    sink.offset = origin;
    sink.scale = em;
    sink.tolerance = tolerance;
    if (FT_Outline_Decompose(&slot->outline, &funcs, &sink)) continue;
    const bool fillRight = FT_Outline_Get_Orientation(&slot->outline) != FT_ORIENTATION_POSTSCRIPT;
    const int winding = (slot->outline.flags & FT_OUTLINE_EVEN_ODD_FILL) ? GLU_TESS_WINDING_ODD
                                                                         : GLU_TESS_WINDING_NONZERO;
    gluTessProperty(tess.tess, GLU_TESS_WINDING_RULE, winding);

    Tess state;
    state.points = &capPoints;
    state.triangles = &capTriangles;
    const std::size_t trianglesBefore = capTriangles.size(), pointsBefore = capPoints.size();
    gluTessBeginPolygon(tess.tess, &state);
    for (auto& contour : sink.contours) {
      if (contour.size() > 1 && contour.front() == contour.back()) contour.pop_back();
      if (contour.size() < 3) continue;
      gluTessBeginContour(tess.tess);
      for (const DVec2& p : contour) {
        capPoints.push_back(p);
        state.coords.push_back({p.x, p.y, 0.0});
        gluTessVertex(tess.tess, state.coords.back().data(), Tag(capPoints.size() - 1));
      }
      gluTessEndContour(tess.tess);
      sides.push_back({contour, fillRight});
    }
    gluTessEndPolygon(tess.tess);
    if (state.failed || state.count != 0) {
      // Drop what this glyph added to the caps; its sides still stand.
      capTriangles.resize(trianglesBefore);
      capPoints.resize(pointsBefore);
    }
  }

  // Caps: the −z cap at z = −depth, the +z cap at z = 0.
  const std::uint32_t capCount = std::uint32_t(capPoints.size());
  for (const DVec2& p : capPoints) {
    out.positions.emplace_back(float(p.x), float(p.y), -depth);
    out.normals.emplace_back(0.0f, 0.0f, -1.0f);
  }
  for (const DVec2& p : capPoints) {
    out.positions.emplace_back(float(p.x), float(p.y), 0.0f);
    out.normals.emplace_back(0.0f, 0.0f, 1.0f);
  }
  for (std::size_t t = 0; t + 2 < capTriangles.size(); t += 3) {
    const std::uint32_t a = capTriangles[t], b = capTriangles[t + 1], c = capTriangles[t + 2];
    if (SignedArea2(capPoints[a], capPoints[b], capPoints[c]) == 0.0) continue;
    AddFacing(out, a, b, c, Vec3(0, 0, -1));
    AddFacing(out, a + capCount, b + capCount, c + capCount, Vec3(0, 0, 1));
  }

  // Sides: one quad per segment with the segment's outward normal.
  if (depth != 0.0f) {
    for (const SideRun& run : sides) {
      const std::size_t n = run.points.size();
      for (std::size_t k = 0; k < n; ++k) {
        const DVec2 p0 = run.points[k], p1 = run.points[(k + 1) % n];
        const DVec2 d = p1 - p0;
        const double len = glm::length(d);
        if (!(len > 0.0)) continue;
        // Filled on the right of the direction: outside is on the left.
        const DVec2 outward = run.fillRight ? DVec2(-d.y, d.x) / len : DVec2(d.y, -d.x) / len;
        const Vec3 normal(float(outward.x), float(outward.y), 0.0f);
        const std::uint32_t base = std::uint32_t(out.positions.size());
        out.positions.insert(out.positions.end(), {Vec3(float(p0.x), float(p0.y), -depth),
                                                   Vec3(float(p1.x), float(p1.y), -depth),
                                                   Vec3(float(p1.x), float(p1.y), 0.0f),
                                                   Vec3(float(p0.x), float(p0.y), 0.0f)});
        out.normals.insert(out.normals.end(), 4, normal);
        AddFacing(out, base, base + 1, base + 2, normal);
        AddFacing(out, base, base + 2, base + 3, normal);
      }
    }
  }
  return true;
}

HRESULT CreateTextMesh(Device& device, std::string_view face, int weight, std::u16string_view text,
                       float deviation, float extrusion, std::shared_ptr<Mesh>* out) {
  if (!out) return E_INVALIDARG;
  out->reset();
  TextGeometry g;
  if (!BuildTextGeometry(face, weight, text, deviation, extrusion, g) || g.indices.empty()) return E_FAIL;
  static const VertexElement kElements[] = {
      {0, 0, VertexType::Float3, VertexUsage::Position, 0},
      {0, 12, VertexType::Float3, VertexUsage::Normal, 0},
  };
  std::shared_ptr<Mesh> mesh;
  HRESULT hr = Mesh::Create(device, std::uint32_t(g.indices.size() / 3), std::uint32_t(g.positions.size()),
                            MESH_32BIT, kElements, 2, &mesh);
  if (Failed(hr)) return hr;
  void* vb = nullptr;
  if (Failed(hr = mesh->LockVertexBuffer(0, &vb))) return hr;
  auto* v = static_cast<float*>(vb);
  for (std::size_t i = 0; i < g.positions.size(); ++i, v += 6) {
    std::memcpy(v, &g.positions[i], 12);
    std::memcpy(v + 3, &g.normals[i], 12);
  }
  mesh->UnlockVertexBuffer();
  void* ib = nullptr;
  if (Failed(hr = mesh->LockIndexBuffer(0, &ib))) return hr;
  std::memcpy(ib, g.indices.data(), g.indices.size() * sizeof(std::uint32_t));
  mesh->UnlockIndexBuffer();
  *out = std::move(mesh);
  return S_OK;
}

HRESULT CreateTextMesh(Device& device, std::u16string_view face, int weight, std::u16string_view text,
                       float deviation, float extrusion, std::shared_ptr<Mesh>* out) {
  return CreateTextMesh(device, std::string_view(mv::io::Utf16ToUtf8(face)), weight, text, deviation, extrusion,
                        out);
}

}  // namespace gfx
