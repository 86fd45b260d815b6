#include "scene/MeshContent.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "framework/MediaSearch.h"
#include "gfx/Mesh.h"
#include "gfx/TextMesh.h"
#include "gfx/XFile.h"
#include "io/Utf16.h"
#include "model/SceneObjects.h"
#include "scene/AnimatedMesh.h"
#include "scene/Catalog.h"

namespace {

MeshLoadContext& Context() {
  static MeshLoadContext ctx;
  return ctx;
}

constexpr float kTwoPi = 6.2831855f;
constexpr float kTextDeviation = 0.001f;
constexpr float kTextExtrusion = 0.4f;
constexpr int kNormalWeight = 400;

// The one material of a 3D text or generated mesh.
mv::HRESULT AddSingleMaterial(CMesh& object, const MeshLoadContext& ctx) {
  MeshMaterial m;
  m.texture = MeshWhiteTexture(ctx);
  if (gfx::Effect* fx = ctx.sceneEffect.get()) {
    m.effect = ctx.sceneEffect;
    m.technique = fx->FirstValidTechnique();
    fx->BeginParameterBlock();
    if (auto h = fx->GetParameterByName("g_txScene")) fx->SetTexture(h, m.texture);
    if (auto h = fx->GetParameterByName("g_txEnvMap")) fx->SetTexture(h, ctx.environmentMap);
    m.parameterBlock = fx->EndParameterBlock();
  }
  object.materials.clear();
  object.materials.push_back(std::move(m));
  object.materialCount = 1;
  return mv::S_OK;
}

MeshBounds BoundsOf(const gfx::Mesh& mesh) {
  MeshBounds b;
  glm::vec3 c;
  float r = 0;
  if (gfx::Succeeded(mesh.ComputeBoundingSphere(&c, &r))) {
    b.valid = true;
    b.centre = c;
    b.radius = r;
  }
  return b;
}

void WriteVertex(float* v, float px, float py, float pz, float u, float t) {
  v[0] = px, v[1] = py, v[2] = pz;
  v[3] = px, v[4] = py, v[5] = pz;  // the normal repeats the position
  v[6] = u, v[7] = t;
}

// Fills a generated mesh for start and end in 0 … 100.
void FillGenerated(gfx::Mesh& mesh, std::int32_t start, std::int32_t end) {
  void* vb = nullptr;
  if (gfx::Failed(mesh.LockVertexBuffer(0, &vb))) return;
  auto* v = static_cast<float*>(vb);
  if (end <= start) {
    for (std::uint32_t i = 0; i < kGeneratedVertices; ++i) v[i * 8] = v[i * 8 + 1] = v[i * 8 + 2] = 0.0f;
    mesh.UnlockVertexBuffer();
    return;
  }
  for (int k = 0; k < 200; ++k) {
    const int a = 2 * (start + k * (end - start) / 200);
    const float theta = static_cast<float>(a) * kTwoPi / 199.0f;
    const float s = std::sin(theta), c = std::cos(theta);
    const float u = static_cast<float>(k) / 199.0f;
    WriteVertex(v + (2 * k) * 8, s, -1.0f, c, u, 1.0f);
    WriteVertex(v + (2 * k + 1) * 8, s, 1.0f, c, u, 0.0f);
  }
  WriteVertex(v + 400 * 8, 0, 1, 0, 0, 0);
  WriteVertex(v + 401 * 8, 0, -1, 0, 0, 0);
  mesh.UnlockVertexBuffer();

  void* ib = nullptr;
  if (gfx::Failed(mesh.LockIndexBuffer(0, &ib))) return;
  auto* idx = static_cast<std::uint32_t*>(ib);
  std::memset(idx, 0, std::size_t{kGeneratedFaces} * 3 * 4);  // degenerate faces
  std::uint32_t* p = idx;
  auto tri = [&p](std::uint32_t a, std::uint32_t b, std::uint32_t c) { *p++ = a, *p++ = b, *p++ = c; };
  for (std::uint32_t t = 0; t < 200; ++t) tri(2 * t + 2, 2 * t + 1, 2 * t);
  for (std::uint32_t t = 0; t < 200; ++t) tri(2 * t + 2, 2 * t + 3, 2 * t + 1);
  for (std::uint32_t t = 0; t < 199; ++t) tri(2 * t + 1, 2 * t + 3, 400);
  tri(400, 400, 400);  // the top cap's 200th triangle draws nothing
  for (std::uint32_t t = 0; t < 200; ++t) tri(2 * t + 2, 2 * t, 401);
  tri(0, 1, 401);
  tri(400, 401, 1);
  mesh.UnlockIndexBuffer();
}

mv::HRESULT LoadGenerated(CMesh& object, const MeshLoadContext& ctx, MeshBounds* bounds) {
  std::int32_t start = std::clamp(object.params.start, 0, 100);
  std::int32_t end = std::clamp(object.params.end, 0, 100);
  const bool generatedLayout = object.mesh && object.mesh->GetNumVertices() == kGeneratedVertices &&
                               object.mesh->GetNumFaces() == kGeneratedFaces &&
                               object.mesh->GetNumBytesPerVertex() == 32 && !object.animatedMesh;
  if (!generatedLayout) {
    if (!ctx.device) return mv::E_FAIL;
    object.ReleaseMeshResources();
    const auto& el = gfx::Mesh::PositionNormalTexElements();
    mv::HRESULT hr = gfx::Mesh::Create(*ctx.device, kGeneratedFaces, kGeneratedVertices, gfx::MESH_32BIT, el.data(),
                                       el.size(), &object.mesh);
    if (gfx::Failed(hr)) return hr;
    start = 0;
    end = 100;
  }
  FillGenerated(*object.mesh, start, end);
  object.partCount = object.mesh->GetNumFaces();
  if (bounds) *bounds = BoundsOf(*object.mesh);
  return mv::S_OK;
}

mv::HRESULT LoadText(CMesh& object, const CatalogEntry& entry, const MeshLoadContext& ctx, MeshBounds* bounds) {
  if (!ctx.device) return mv::E_FAIL;
  // The height only picks the face's size; the solid is in ems either way.
  (void)TextFontHeight(entry.number);
  std::shared_ptr<gfx::Mesh> mesh;
  const std::u16string_view face = mv::io::FixedView(object.font, kFontLength - 1);
  const std::u16string_view text = mv::io::FixedView(object.text, kNameLength - 1);
  if (gfx::Failed(gfx::CreateTextMesh(*ctx.device, face, kNormalWeight, text, kTextDeviation, kTextExtrusion, &mesh)))
    return mv::E_FAIL;
  object.mesh = std::move(mesh);
  object.partCount = object.mesh->GetNumFaces();
  object.params.start = 0;
  object.params.end = static_cast<std::int32_t>(object.partCount);
  if (bounds) *bounds = BoundsOf(*object.mesh);
  return mv::S_OK;
}

mv::HRESULT LoadHierarchy(CMesh& object, const CatalogEntry& entry, const MeshLoadContext& ctx, MeshBounds* bounds) {
  const std::u16string_view file = mv::io::FixedView(entry.file, kNameLength);
  std::filesystem::path path;
  mv::HRESULT hr = fw::FindMediaFile(file, &path);
  if (gfx::Failed(hr)) return hr;  // the object stays as it was
  object.ReleaseMeshResources();
  auto animated = std::make_shared<AnimatedMesh>();
  if (gfx::Failed(animated->Load(path, ctx, &SharedXFileCache()))) return mv::S_OK;  // listed, not drawn
  animated->SetAnimationSet(0);
  object.partCount = animated->GetPartCount();
  if (bounds) {
    bounds->valid = true;
    bounds->centre = animated->GetBoundingCentre();
    bounds->radius = animated->GetBoundingRadius();
  }
  object.animatedMesh = std::move(animated);
  return mv::S_OK;
}

}  // namespace

std::shared_ptr<gfx::Texture> MeshWhiteTexture(const MeshLoadContext& ctx) {
  if (ctx.whiteTexture) return ctx.whiteTexture;
  static std::weak_ptr<gfx::Texture> made;
  static const gfx::Device* madeFor = nullptr;
  std::shared_ptr<gfx::Texture> t = made.lock();
  if (t && madeFor == ctx.device) return t;
  const std::uint8_t white[4] = {255, 255, 255, 255};
  if (!ctx.device || gfx::Failed(ctx.device->CreateTextureFromRGBA(1, 1, white, &t))) return nullptr;
  made = t;
  madeFor = ctx.device;
  return t;
}

void SetMeshLoadContext(const MeshLoadContext& context) { Context() = context; }
const MeshLoadContext& GetMeshLoadContext() { return Context(); }

gfx::XFileCache& SharedXFileCache() {
  static gfx::XFileCache cache;
  return cache;
}

gfx::TextureCache& SharedTextureCache() {
  static gfx::TextureCache cache;
  return cache;
}

std::int32_t TextFontHeight(std::int32_t points, std::int32_t dpi) {
  // A multiply-divide in 64 bits, rounded half away from zero.
  const std::int64_t num = std::int64_t{points} * dpi;
  const std::int64_t q = (std::llabs(num) * 2 + 72) / 144;
  return static_cast<std::int32_t>(-(num < 0 ? -q : q));
}

mv::HRESULT LoadMeshContent(CMesh& object, const CatalogEntry& entry, int kind, MeshBounds* bounds) {
  if (bounds) *bounds = MeshBounds{};
  const MeshLoadContext& ctx = Context();
  mv::HRESULT hr = mv::S_OK;
  switch (kind) {
    case OBJ_MESH:
    case OBJ_ANIM:
      return LoadHierarchy(object, entry, ctx, bounds);
    case OBJ_TEXT:
      object.ReleaseMeshResources();
      hr = LoadText(object, entry, ctx, bounds);
      break;
    case OBJ_GENERATED:
      hr = LoadGenerated(object, ctx, bounds);
      break;
    default:
      return mv::S_OK;
  }
  if (gfx::Failed(hr)) return hr;
  return AddSingleMaterial(object, ctx);
}

void RebuildGeneratedMesh(CMesh& object) {
  if (object.kind != OBJ_GENERATED || !object.mesh) return;
  FillGenerated(*object.mesh, std::clamp(object.params.start, 0, 100), std::clamp(object.params.end, 0, 100));
}

void ReleaseMeshContent(CMesh& object, bool alsoTimeLine) {
  object.ReleaseMeshResources();
  if (alsoTimeLine) object.DeleteTimeLine();
}
